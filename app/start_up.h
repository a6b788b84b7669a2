#pragma once
// The start-up steps that come before the life is chosen: the program-wide
// values, the job store default and the configuration check.

#include "platform/result.h"

#include <string>
#include <string_view>

namespace rk::app {

inline constexpr std::string_view MustConfigureText =
    "Ravelkeep must first be configured before you can use it.\r\n\r\nPress OK to continue.";
inline constexpr std::string_view NotConfiguredText =
    "Ravelkeep has not been properly configured. Cannot continue.";

inline constexpr std::string_view ZipAppPathsKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\wzzip.exe";
inline constexpr std::string_view UnzipAppPathsKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\wzunzip.exe";

// AppFolder from the program's host folder, and the help file beside it.
void SetProgramFolder(std::string_view programFolderHost);

// The job store folder "jobs" names, with one trailing backslash; the
// default "C:\Backups\" when blank. Nothing is created or written.
std::string JobStoreSettingFolder();

// JobStoreFolder from "jobs"; when blank, "C:\Backups" is created (failures
// ignored) and written back.
void ApplyJobStoreSetting();

// ZipUtilPath and UnzipUtilPath from their settings, as read.
void ReadUtilitySettings();

// Whether the program is configured; else the first reason it is not.
[[nodiscard]] Result<void> CheckConfiguration();

// The configuration check's dialogs: the notice, the Options dialog (with the
// utility boxes pre-filled from the registry when a utility setting is blank),
// the check again and, when it still fails, the closing message. True when the
// program is configured afterwards.
bool ConfigureWithUser();

} // namespace rk::app
