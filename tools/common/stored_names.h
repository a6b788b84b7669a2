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

// One line of a listing for a stored name: "\" between folders, and the whole
// name in double quotes when it holds a comma. No line end.
std::string ListingLine(std::string_view storedName);

// The form used to compare an entry of an "@" list with a stored name: "/"
// between folders, no leading "/", ASCII lower case.
std::string ComparableName(std::string_view name);

// An entry name checked for extraction: its folder components and file name,
// in order, or the reason it is refused (a ".." component, an absolute or
// drive-letter name). "\" counts as a separator too; empty and "." components
// are dropped. An entry naming nothing (only separators) gives no components.
struct CheckedName {
    std::vector<std::string> components;
    bool isFolder = false;
    std::string refusal;
};
CheckedName CheckEntryName(std::string_view storedName);

} // namespace rk::tools
