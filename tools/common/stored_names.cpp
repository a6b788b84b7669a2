#include "tools/common/stored_names.h"

#include "core/listed_names.h"
#include "platform/ascii_text.h"

#include <cctype>

namespace rk::tools {

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

bool HasDriveLetter(std::string_view name) {
    return name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':';
}

// "/" between folders, no leading or doubled "/"; ASCII lower case when asked.
std::string ComparableForm(std::string_view name, bool backslashSeparates, bool lowerCase) {
    std::string comparable;
    comparable.reserve(name.size());
    for (char c : name) {
        if (c == '/' || (backslashSeparates && c == '\\')) {
            if (comparable.empty() || comparable.back() == '/')
                continue;
            comparable += '/';
        } else {
            comparable += lowerCase ? rk::platform::LowerAscii(c) : c;
        }
    }
    return comparable;
}

} // namespace

std::string FullPathName(std::string_view windowsPath) {
    std::string_view rest = windowsPath;
    if (HasDriveLetter(rest))
        rest.remove_prefix(2);
    while (!rest.empty() && IsSeparator(rest.front()))
        rest.remove_prefix(1);
    std::string stored;
    stored.reserve(rest.size());
    for (char c : rest)
        stored += IsSeparator(c) ? '/' : c;
    return stored;
}

std::string JoinStored(std::string_view folder, std::string_view name) {
    if (folder.empty())
        return std::string(name);
    std::string joined(folder);
    if (joined.back() != '/')
        joined += '/';
    joined += name;
    return joined;
}

std::string ListingLine(std::string_view storedName, bool backslashSeparates) {
    std::string line = ListedName(backslashSeparates ? ComparableForm(storedName, true, false)
                                                     : std::string(storedName));
    const bool blankEnd = !line.empty() && (line.front() == ' ' || line.back() == ' ');
    if (blankEnd || line.find(',') != std::string::npos)
        line = '"' + line + '"';
    return line;
}

std::string ComparableName(std::string_view name, bool backslashSeparates) {
    return ComparableForm(name, backslashSeparates, true);
}

CheckedName CheckEntryName(std::string_view storedName, bool backslashSeparates) {
    return CheckEntryName(storedName, backslashSeparates, backslashSeparates);
}

CheckedName CheckEntryName(std::string_view storedName, bool backslashSeparates, bool madeOnDos) {
    const auto separator = [&](char c) { return c == '/' || (backslashSeparates && c == '\\'); };
    CheckedName checked;
    if (!storedName.empty() && separator(storedName.front())) {
        checked.refusal = "absolute name";
        return checked;
    }
    if (madeOnDos && HasDriveLetter(storedName)) {
        checked.refusal = "name with a drive letter";
        return checked;
    }
    checked.isFolder = !storedName.empty() && separator(storedName.back());
    size_t start = 0;
    while (start <= storedName.size()) {
        size_t end = start;
        while (end < storedName.size() && !separator(storedName[end]))
            ++end;
        const std::string_view part = storedName.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            checked.components.clear();
            checked.refusal = "name leading out of the destination (\"..\")";
            return checked;
        }
        checked.components.emplace_back(part);
    }
    return checked;
}

} // namespace rk::tools
