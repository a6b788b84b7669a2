#pragma once
// The Windows path text under which an archive entry appears in listings,
// in the file picker and in "@" list files, and the way back.
//
// A stored name ("/" between folders, any bytes but NUL in a component)
// whose components are valid UTF-8 and hold no backslash, double quote or
// control character is listed in its plain form: the components joined by
// "\" ("Data/a b/f.txt" is "Data\a b\f.txt").
//
// Any other name is listed in its escaped form, which always starts with a
// backslash (a plain form never does): "\", then the name with "/" written
// as "\" and each byte that a plain form cannot hold written as "%" and two
// upper-case hexadecimal digits, "%" itself as "%25". So "coll\x.txt" is
// listed as "\coll%5Cx.txt", "caf\xE9.txt" as "\caf%E9.txt" and "Icon\r" as
// "\Icon%0D". Both forms are one-to-one, and no plain form equals an escaped
// one, so a listed name always names exactly one stored name.

#include <optional>
#include <string>
#include <string_view>

namespace rk {

// The listed form of a stored name.
std::string ListedName(std::string_view storedName);

// The stored name a listed form stands for ("\" between folders of a plain
// form becomes "/"); nothing when an escaped form holds a "%" that is not
// followed by two hexadecimal digits.
std::optional<std::string> StoredNameOf(std::string_view listedName);

// True for text that is valid UTF-8.
bool IsValidUtf8(std::string_view text);

} // namespace rk
