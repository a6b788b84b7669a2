#include "core/settings.h"

#include "core/program_values.h"
#include "core/text.h"
#include "core/text_lines.h"
#include "platform/ascii_text.h"
#include "platform/file_system.h"
#include "platform/ini_lines.h"
#include "platform/system_folders.h"

#include <iostream>
#include <utility>
#include <vector>

namespace rk {

namespace {

// The longest value an ordinary key gives back (a 512-character buffer with
// its closing NUL).
constexpr std::size_t OrdinaryValueLimit = 511;

std::function<void(std::string_view)>& FailureHandler() {
    static std::function<void(std::string_view)> handler;
    return handler;
}

void ReportExtendedWriteFailure() {
    const auto& handler = FailureHandler();
    if (handler)
        handler(ExtendedWriteFailureText);
    else
        std::cerr << ProgramTitle << ": " << ExtendedWriteFailureText << '\n';
}

struct ResolvedPlace {
    std::string section;
    std::string path;
};

ResolvedPlace Resolve(const SettingsPlace& place) {
    const std::string section =
        place.section ? *place.section : std::string(DefaultSettingsSection);
    const std::string folder = place.folder ? *place.folder : AppFolder;
    const std::string fileName =
        place.fileName ? *place.fileName : platform::ProgramBaseName() + ".ini";
    return {section, AddBackslash(folder) + fileName};
}

bool IsExtendedKey(std::string_view key) {
    return LowerCase(key.substr(0, 3)) == "ex_";
}

std::string SectionHeader(std::string_view section) {
    return "[" + std::string(section) + "]";
}

bool FileExists(const std::string& path) {
    return platform::GetAttributes(path).has_value();
}

bool IsReadOnly(const std::string& path) {
    const auto attributes = platform::GetAttributes(path);
    return attributes && (*attributes & platform::kAttrReadOnly) != 0;
}

// Writes the new content unless the existing file is read-only, which the
// program never overwrites.
[[nodiscard]] Result<void> Replace(const std::string& path, std::string_view content) {
    if (IsReadOnly(path))
        return Result<void>::Failure("the settings file " + path + " is read-only");
    if (!platform::WriteFileAtomically(path, content))
        return Result<void>::Failure("the settings file " + path + " could not be written");
    return {};
}

// ---- Ordinary keys -------------------------------------------------------
// Headers may be indented; keys and values lose the blanks (spaces, tabs)
// around them; every other line of the file is kept as it is.

using platform::kSettingsRules;

std::string TrimBlanks(std::string_view text) {
    return std::string(platform::TrimFrom(text, platform::kBlanks, platform::kBlanks));
}

bool IsOrdinaryHeader(std::string_view line) {
    return platform::IsIniHeader(line, kSettingsRules);
}

bool OrdinaryKeyMatches(std::string_view line, std::string_view wanted) {
    const auto key = platform::IniEntryKey(line, kSettingsRules);
    return key && platform::SameIgnoringAsciiCase(*key, wanted);
}

// Keys and values are written on one line: anything from a line break or NUL
// on could never be read back as part of them.
std::string_view OneLine(std::string_view text) {
    return text.substr(0, text.find_first_of(std::string_view("\r\n\0", 3)));
}

// The line ranges [header, end) of every section named `section`.
std::vector<std::pair<std::size_t, std::size_t>>
SectionRanges(const std::vector<std::string>& lines, std::string_view section) {
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!platform::IsIniHeaderOf(lines[i], section, kSettingsRules))
            continue;
        std::size_t end = i + 1;
        while (end < lines.size() && !IsOrdinaryHeader(lines[end]))
            ++end;
        ranges.emplace_back(i, end);
    }
    return ranges;
}

std::string ReadOrdinary(std::string_view key, std::string_view defaultValue,
                         const ResolvedPlace& place, std::size_t limit = OrdinaryValueLimit) {
    const auto content = platform::ReadFile(place.path);
    if (content) {
        if (const auto found =
                platform::FindIniEntry(*content, place.section, key, kSettingsRules)) {
            std::string value = TrimBlanks(TrimAtNull(*found));
            if (value.size() > limit)
                value.resize(limit);
            return value;
        }
    }
    return std::string(TrimAtNull(defaultValue.substr(0, limit)));
}

[[nodiscard]] Result<void> WriteOrdinary(std::optional<std::string_view> key,
                                         std::optional<std::string_view> value,
                                         const ResolvedPlace& place) {
    const bool exists = FileExists(place.path);
    std::optional<std::string> content;
    if (exists) {
        content = platform::ReadFile(place.path);
        // A file that cannot be read is never replaced.
        if (!content)
            return Result<void>::Failure("the settings file " + place.path + " could not be read");
    }
    std::vector<std::string> lines = platform::SplitLines(content ? *content : std::string());
    const auto ranges = SectionRanges(lines, place.section);

    if (!key) {
        // No key: the whole section goes, header and entries.
        if (ranges.empty())
            return {};
        for (auto it = ranges.rbegin(); it != ranges.rend(); ++it)
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(it->first),
                        lines.begin() + static_cast<std::ptrdiff_t>(it->second));
        return Replace(place.path, JoinLines(lines));
    }

    const std::string wanted = TrimBlanks(*key);
    if (!value) {
        // No value: the entry goes.
        bool removed = false;
        for (auto it = ranges.rbegin(); it != ranges.rend(); ++it) {
            for (std::size_t i = it->second; i-- > it->first + 1;) {
                if (OrdinaryKeyMatches(lines[i], wanted)) {
                    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
                    removed = true;
                }
            }
        }
        if (removed)
            return Replace(place.path, JoinLines(lines));
        return {};
    }

    const std::string entry = std::string(OneLine(*key)) + "=" + std::string(OneLine(*value));
    for (const auto& [header, end] : ranges) {
        for (std::size_t i = header + 1; i < end; ++i) {
            if (OrdinaryKeyMatches(lines[i], wanted)) {
                lines[i] = entry;
                return Replace(place.path, JoinLines(lines));
            }
        }
    }
    if (ranges.empty()) {
        lines.push_back(SectionHeader(place.section));
        lines.push_back(entry);
    } else {
        // After the last line of the section that is not blank, so blank
        // lines before the next header stay where they are.
        const auto [header, end] = ranges.front();
        std::size_t insertAt = header + 1;
        for (std::size_t i = header + 1; i < end; ++i) {
            if (!TrimBlanks(lines[i]).empty())
                insertAt = i + 1;
        }
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
    }
    return Replace(place.path, JoinLines(lines));
}

// ---- Extended values -----------------------------------------------------
// The file is read with ReadTextLine; a header is a line whose very first
// character is "["; the key is the text before the first "=" and the value
// the text between the first and the second "=".

bool IsExtendedHeader(std::string_view line) {
    return !line.empty() && line.front() == '[';
}

bool ExtendedKeyMatches(std::string_view line, std::string_view wantedLower) {
    return LowerCase(Trim(line.substr(0, line.find('=')))) == wantedLower;
}

std::string ExtendedValueOf(std::string_view line) {
    const auto first = line.find('=');
    if (first == std::string_view::npos)
        return {};
    const auto rest = line.substr(first + 1);
    return std::string(rest.substr(0, rest.find('=')));
}

// The content of the settings file, created empty when it does not exist;
// nothing when it can be neither read nor created.
std::optional<std::string> OpenOrCreate(const std::string& path) {
    if (FileExists(path))
        return platform::ReadFile(path);
    if (!platform::WriteFileAtomically(path, ""))
        return std::nullopt;
    return std::string();
}

} // namespace

std::string ReadExtendedValue(std::string_view key, std::string_view defaultValue,
                              const SettingsPlace& place) {
    const ResolvedPlace where = Resolve(place);
    const auto content = OpenOrCreate(where.path);
    if (!content)
        return {};
    const std::string header = SectionHeader(where.section);
    const std::string wanted = LowerCase(key);
    std::string current;
    std::size_t position = 0;
    std::string line;
    while (ReadTextLine(*content, position, line)) {
        if (IsExtendedHeader(line))
            current = line;
        else if (SameText(current, header) && ExtendedKeyMatches(line, wanted))
            return ExtendedValueOf(line);
    }
    return std::string(defaultValue);
}

Result<void> WriteExtendedValue(std::string_view key, std::string_view value,
                                const SettingsPlace& place) {
    const ResolvedPlace where = Resolve(place);
    const auto content = OpenOrCreate(where.path);
    if (!content) {
        ReportExtendedWriteFailure();
        return Result<void>::Failure("the settings file " + where.path +
                                     " could be neither read nor made");
    }
    const std::string header = SectionHeader(where.section);
    const std::string wanted = LowerCase(key);
    const std::string entry = std::string(key) + "=" + std::string(value);

    bool sectionSeen = false;
    bool keyWritten = false;
    std::vector<std::string> lines;
    std::string current;
    std::size_t position = 0;
    std::string line;
    while (ReadTextLine(*content, position, line)) {
        if (!line.empty() && line.front() == '\0')
            continue;
        if (IsExtendedHeader(line)) {
            current = line;
            if (SameText(current, header))
                sectionSeen = true;
        } else if (SameText(current, header) && ExtendedKeyMatches(line, wanted)) {
            line = entry;
            keyWritten = true;
        }
        lines.push_back(line);
    }

    std::vector<std::string> output;
    output.reserve(lines.size() + 2);
    for (const auto& kept : lines) {
        output.push_back(kept);
        if (sectionSeen && !keyWritten && IsExtendedHeader(kept) && SameText(kept, header))
            output.push_back(entry);
    }
    if (!sectionSeen) {
        output.push_back(header);
        output.push_back(entry);
    }
    Result<void> written = Replace(where.path, JoinLines(output));
    if (!written)
        ReportExtendedWriteFailure();
    return written;
}

std::string ReadSetting(std::string_view key, std::string_view defaultValue,
                        const SettingsPlace& place) {
    if (IsExtendedKey(key))
        return ReadExtendedValue(key, defaultValue, place);
    return ReadOrdinary(key, defaultValue, Resolve(place));
}

std::string ReadWholeSetting(std::string_view key, std::string_view defaultValue,
                             const SettingsPlace& place) {
    return ReadOrdinary(key, defaultValue, Resolve(place), std::string_view::npos);
}

bool SettingCanHold(std::string_view value) {
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        return false;
    return TrimBlanks(value) == value;
}

Result<void> WriteSetting(std::optional<std::string_view> key,
                          std::optional<std::string_view> value, const SettingsPlace& place) {
    if (key && IsExtendedKey(*key))
        return WriteExtendedValue(*key, value.value_or(std::string_view()), place);
    return WriteOrdinary(key, value, Resolve(place));
}

void SetExtendedWriteFailureHandler(std::function<void(std::string_view)> handler) {
    FailureHandler() = std::move(handler);
}

} // namespace rk
