#pragma once
// The numbers of the main window's commands: each menu item's index in its
// menu's array. The buttons and the toolbar forward to these numbers
// (button i runs job command (i + 1) * 10, toolbar button i file command
// i * 10), so they are the commands' names throughout.

#include <cstdint>

namespace rk::jobs {

namespace FileCommand {
inline constexpr std::int16_t Connect = 5;
inline constexpr std::int16_t NewJob = 10;
inline constexpr std::int16_t DeleteJob = 20;
inline constexpr std::int16_t GetJobFromCopy = 25;
inline constexpr std::int16_t Refresh = 30;
inline constexpr std::int16_t Options = 40;
inline constexpr std::int16_t Exit = 50;
} // namespace FileCommand

namespace JobCommand {
inline constexpr std::int16_t RootBackup = 10;
inline constexpr std::int16_t IncrementalBackup = 20;
inline constexpr std::int16_t ViewExtractConsolidate = 30;
inline constexpr std::int16_t RestoreFiles = 32;
inline constexpr std::int16_t SourceFolders = 40;
inline constexpr std::int16_t Exclusions = 42;
inline constexpr std::int16_t VerifyBackups = 44;
inline constexpr std::int16_t Encryption = 45;
inline constexpr std::int16_t Schedule = 46;
inline constexpr std::int16_t Keep = 47;
inline constexpr std::int16_t ThinNow = 48;
inline constexpr std::int16_t CopyTo = 50;
inline constexpr std::int16_t CopyNow = 51;
} // namespace JobCommand

namespace HelpCommand {
inline constexpr std::int16_t Contents = 10;
inline constexpr std::int16_t UpgradeNotes = 16;
inline constexpr std::int16_t About = 20;
} // namespace HelpCommand

} // namespace rk::jobs
