#pragma once
// Names as archives store them (UTF-8, "/" between folders) and as listings
// and list files give them back (Windows form, "\" between folders).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rk::tools {

// The name stored under -P: the full Windows path without its drive
// ("C:\Data\a\f.txt" gives "Data/a/f.txt"). A "\\server\share" prefix is
// dropped the same way, keeping the server and share as folders.
std::string FullPathName(std::string_view windowsPath);

// Joins a folder name (may be empty) and a relative part with "/".
std::string JoinStored(std::string_view folder, std::string_view name);

// One line of a listing for a stored name: its listed form (core/listed_names.h),
// in double quotes when it holds a comma or starts or ends with a blank, so
// that the reading of a listing (fields ended by a comma or a line end,
// blanks before a field skipped) gives it back. No line end.
// `backslashSeparates` for names of archives made on DOS or Windows.
std::string ListingLine(std::string_view storedName, bool backslashSeparates);

// The form used to compare a stored name with a name an "@" list gives:
// "/" between folders ("\" too when `backslashSeparates`), no leading or
// doubled "/", ASCII lower case.
std::string ComparableName(std::string_view name, bool backslashSeparates);

// An entry name checked for extraction: its folder components and file name,
// in order, or the reason it is refused (a ".." component, an absolute name,
// and for archives made on DOS or Windows a drive-letter name). "\" is a
// separator too when `backslashSeparates`, else part of the name; empty and
// "." components are dropped. An entry naming nothing (only separators)
// gives no components.
struct CheckedName {
    std::vector<std::string> components;
    bool isFolder = false;
    std::string refusal;
};
CheckedName CheckEntryName(std::string_view storedName, bool backslashSeparates);
// The same where a drive letter means something (`madeOnDos`) though "\"
// does not separate: a name from DOS or Windows that uses "/".
CheckedName CheckEntryName(std::string_view storedName, bool backslashSeparates, bool madeOnDos);

} // namespace rk::tools
