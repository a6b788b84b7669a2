#include "platform/drive_map.h"

#include <array>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace rk::platform {

namespace {

struct DriveMap {
    std::array<std::optional<std::string>, 26> roots;
    std::string error;
};

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/')
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr)
        return pw->pw_dir;
    return "/";
}

// A host root without trailing slashes ("/" stays "/").
std::string CleanRoot(const std::string& root) {
    std::string cleaned = std::filesystem::path(root).lexically_normal().string();
    while (cleaned.size() > 1 && cleaned.back() == '/')
        cleaned.pop_back();
    return cleaned;
}

DriveMap LoadMap() {
    DriveMap map;
    const char* setting = std::getenv("RAVELKEEP_DRIVES");
    if (setting == nullptr) {
        map.roots['C' - 'A'] = CleanRoot(HomeFolder());
        map.roots['Z' - 'A'].emplace(1, '/');
        return map;
    }
    const std::string text = setting;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(';', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string entry = text.substr(start, end - start);
        start = end + 1;
        if (entry.empty())
            continue;
        const bool wellFormed = entry.size() >= 3 &&
                                std::isalpha(static_cast<unsigned char>(entry[0])) &&
                                entry[1] == '=' && entry[2] == '/';
        if (!wellFormed) {
            map.roots = {};
            map.error = "RAVELKEEP_DRIVES: malformed entry '" + entry +
                        "' (expected LETTER=/absolute/folder, entries separated by ';')";
            return map;
        }
        const int index = std::toupper(static_cast<unsigned char>(entry[0])) - 'A';
        if (map.roots[static_cast<size_t>(index)]) {
            map.roots = {};
            map.error = "RAVELKEEP_DRIVES: drive ";
            map.error.push_back(static_cast<char>('A' + index));
            map.error.append(": is given twice");
            return map;
        }
        map.roots[static_cast<size_t>(index)] = CleanRoot(entry.substr(2));
    }
    return map;
}

std::mutex& MapMutex() {
    static std::mutex mutex;
    return mutex;
}

DriveMap& Map() {
    static DriveMap map = LoadMap();
    return map;
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// Drops trailing dots and spaces of a component, as Win32 does.
std::string TrimComponent(std::string_view component) {
    size_t end = component.size();
    while (end > 0 && (component[end - 1] == '.' || component[end - 1] == ' '))
        --end;
    return std::string(component.substr(0, end));
}

struct ParsedPath {
    enum class Kind { Drive, Unc, Rooted, Relative } kind = Kind::Relative;
    char drive = 0;     // for Drive
    std::string server; // for Unc: "\\server\share"
    std::vector<std::string> components;
    // Each component as written, trailing dots and spaces kept (empty for
    // "." and ".."); "\\?\" paths keep them in `components` too.
    std::vector<std::string> written;
    bool literal = false; // a "\\?\X:\" path
    bool dropped = false; // a name of dots and spaces only was left out
};

// "\\?\X:\": a drive path whose names are taken as they stand.
bool IsLiteralDrivePath(std::string_view text) {
    return text.size() >= 6 && text.substr(0, 4) == kLiteralPrefix &&
           std::isalpha(static_cast<unsigned char>(text[4])) && text[5] == ':';
}

ParsedPath Parse(std::string_view text) {
    ParsedPath parsed;
    size_t pos = 0;
    if (IsLiteralDrivePath(text)) {
        parsed.kind = ParsedPath::Kind::Drive;
        parsed.literal = true;
        parsed.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(text[4])));
        pos = 6;
    } else if (text.size() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1])) {
        parsed.kind = ParsedPath::Kind::Unc;
        pos = 2;
    } else if (text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) &&
               text[1] == ':') {
        parsed.kind = ParsedPath::Kind::Drive;
        parsed.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
        pos = 2;
    } else if (!text.empty() && IsSeparator(text[0])) {
        parsed.kind = ParsedPath::Kind::Rooted;
    }
    std::vector<std::string> raw;
    while (pos <= text.size()) {
        size_t end = pos;
        while (end < text.size() && !IsSeparator(text[end]))
            ++end;
        if (end > pos)
            raw.emplace_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    size_t first = 0;
    if (parsed.kind == ParsedPath::Kind::Unc) {
        // The server and share names are the root of the path.
        parsed.server = "\\\\";
        for (; first < raw.size() && first < 2; ++first)
            parsed.server += (first ? "\\" : "") + raw[first];
    }
    for (size_t i = first; i < raw.size(); ++i) {
        const std::string& component = raw[i];
        // "." and ".." resolve in every path, so that no text leaves its
        // drive's root.
        if (parsed.literal && component != "." && component != "..") {
            parsed.components.push_back(component);
            parsed.written.push_back(component);
            continue;
        }
        if (component == ".")
            continue;
        if (component == "..") {
            if (!parsed.components.empty() && parsed.components.back() != "..") {
                parsed.components.pop_back();
                parsed.written.pop_back();
            } else if (parsed.kind == ParsedPath::Kind::Relative) {
                parsed.components.push_back("..");
                parsed.written.push_back("..");
            }
            continue;
        }
        std::string trimmed = TrimComponent(component);
        if (!trimmed.empty()) {
            parsed.components.push_back(std::move(trimmed));
            parsed.written.push_back(component);
        } else {
            parsed.dropped = true;
        }
    }
    return parsed;
}

std::string Join(const std::vector<std::string>& components, char separator) {
    std::string joined;
    for (size_t i = 0; i < components.size(); ++i) {
        if (i > 0)
            joined += separator;
        joined += components[i];
    }
    return joined;
}

std::string CurrentFolder() {
    std::error_code ec;
    auto cwd = std::filesystem::current_path(ec);
    return ec ? std::string("/") : cwd.string();
}

} // namespace

bool ReloadDriveMap(std::string* error) {
    std::lock_guard lock(MapMutex());
    Map() = LoadMap();
    if (error != nullptr)
        *error = Map().error;
    return Map().error.empty();
}

std::string DriveMapError() {
    std::lock_guard lock(MapMutex());
    return Map().error;
}

std::string NormalizeWindowsPath(std::string_view windowsPath) {
    const ParsedPath parsed = Parse(windowsPath);
    std::string rest = Join(parsed.components, '\\');
    switch (parsed.kind) {
    case ParsedPath::Kind::Drive:
        return (parsed.literal ? std::string(kLiteralPrefix) : std::string()) +
               std::string(1, parsed.drive) + ":\\" + rest;
    case ParsedPath::Kind::Unc:
        return rest.empty() ? parsed.server : parsed.server + "\\" + rest;
    case ParsedPath::Kind::Rooted:
        return "\\" + rest;
    case ParsedPath::Kind::Relative:
        break;
    }
    return rest;
}

std::optional<std::string> ToHostPath(std::string_view windowsPath) {
    ParsedPath parsed = Parse(windowsPath);
    if (parsed.kind == ParsedPath::Kind::Unc)
        return std::nullopt;
    if (parsed.kind == ParsedPath::Kind::Rooted || parsed.kind == ParsedPath::Kind::Relative) {
        const std::string here = ToWindowsPath(CurrentFolder());
        std::string combined;
        if (parsed.kind == ParsedPath::Kind::Rooted)
            combined = here.substr(0, 2) + "\\" + std::string(windowsPath);
        else
            combined = here + "\\" + std::string(windowsPath);
        parsed = Parse(combined);
        if (parsed.kind != ParsedPath::Kind::Drive)
            return std::nullopt;
    }
    std::optional<std::string> root;
    {
        std::lock_guard lock(MapMutex());
        root = Map().roots[static_cast<size_t>(parsed.drive - 'A')];
    }
    if (!root)
        return std::nullopt;
    // A name written with trailing dots or spaces is that name when the host
    // has it (a folder "proj." beside "proj"); only otherwise does it mean
    // the name without them, as on Windows.
    std::string host = *root;
    for (size_t i = 0; i < parsed.components.size(); ++i) {
        if (host.back() != '/')
            host += '/';
        const std::string& written = parsed.written[i];
        struct stat info {};
        if (written != parsed.components[i] && lstat((host + written).c_str(), &info) == 0)
            host += written;
        else
            host += parsed.components[i];
    }
    return host;
}

std::string ToWindowsPathKept(std::string_view hostPath) {
    std::string windows = ToWindowsPath(hostPath);
    // Compared without the file system: what the text means must not hang
    // on whether the folder still exists.
    const ParsedPath parsed = Parse(windows);
    if (parsed.components == parsed.written && !parsed.dropped)
        return windows;
    return std::string(kLiteralPrefix) + windows;
}

std::string ToWindowsPath(std::string_view hostPath) {
    std::filesystem::path path(hostPath);
    if (path.is_relative())
        path = std::filesystem::path(CurrentFolder()) / path;
    std::string normal = path.lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/')
        normal.pop_back();

    int bestDrive = -1;
    size_t bestLength = 0;
    {
        std::lock_guard lock(MapMutex());
        for (size_t i = 0; i < 26; ++i) {
            const auto& root = Map().roots[i];
            if (!root)
                continue;
            const bool matches =
                *root == "/" || normal == *root ||
                (normal.size() > root->size() && normal.compare(0, root->size(), *root) == 0 &&
                 normal[root->size()] == '/');
            const size_t length = *root == "/" ? 0 : root->size();
            if (matches && (bestDrive < 0 || length > bestLength)) {
                bestDrive = static_cast<int>(i);
                bestLength = length;
            }
        }
    }
    std::string rest;
    if (bestDrive < 0)
        bestDrive = 'Z' - 'A';
    rest = normal.substr(bestLength);
    while (!rest.empty() && rest.front() == '/')
        rest.erase(0, 1);
    for (char& c : rest)
        if (c == '/')
            c = '\\';
    return std::string(1, static_cast<char>('A' + bestDrive)) + ":\\" + rest;
}

} // namespace rk::platform
