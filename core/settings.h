#pragma once
// Sectioned settings files ("[section]" headers, "key=value" lines): the
// program settings file beside the executable and each job's "rkjob.ini".
// Keys starting with "ex_" (any case) are extended values without the
// 511-character limit of ordinary keys. Every write replaces the file
// atomically, and says why when it could not: a file that cannot be read or
// is read-only is never replaced. Most writers go on without the value (the
// setting then reads as before), so the result is theirs to read or leave.

#include "platform/result.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace rk {

inline constexpr std::string_view DefaultSettingsSection = "settings";

// Where a setting lives. Unset members take the defaults: section "settings",
// folder AppFolder, file name = executable base name + ".ini".
struct SettingsPlace {
    std::optional<std::string> section;
    std::optional<std::string> folder;
    std::optional<std::string> fileName;
};

std::string ReadSetting(std::string_view key, std::string_view defaultValue = {},
                        const SettingsPlace& place = {});

// An ordinary key's value read whole, past the 511 characters ReadSetting
// gives: for values that name a folder, which a cut value would name
// another folder by.
std::string ReadWholeSetting(std::string_view key, std::string_view defaultValue,
                             const SettingsPlace& place);

// True when `value`, written to an ordinary key, reads back whole as the same
// text: no line break or NUL in it, no blank (space, tab) at either end.
bool SettingCanHold(std::string_view value);

// A null key together with a null value deletes the whole section.
Result<void> WriteSetting(std::optional<std::string_view> key,
                          std::optional<std::string_view> value, const SettingsPlace& place = {});

std::string ReadExtendedValue(std::string_view key, std::string_view defaultValue = {},
                              const SettingsPlace& place = {});
// A failure is also handed to the failure handler below.
Result<void> WriteExtendedValue(std::string_view key, std::string_view value,
                                const SettingsPlace& place = {});

// The message shown when an extended value cannot be written.
inline constexpr std::string_view ExtendedWriteFailureText =
    "There was an error while reading extended values from the config file.";

// Called with ExtendedWriteFailureText when an extended write fails; the
// program installs one that shows a message box. Without one, the text goes to
// standard error.
void SetExtendedWriteFailureHandler(std::function<void(std::string_view)> handler);

} // namespace rk
