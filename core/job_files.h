#pragma once
// A backup job's folder in the job store and what the program keeps there:
// the settings file "rkjob.ini" with its sections and keys, the exclusion
// file "excl.ini", and the list of source folders ("foldercount" and
// "folder1", "folder2", ... of section "folders").
//
// Jobs are addressed by their folder: the job store folder followed by the
// job's name (a trailing backslash is allowed).

#include "core/settings.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rk {

inline constexpr std::string_view JobSettingsFileName = "rkjob.ini";
inline constexpr std::string_view ExclusionFileName = "excl.ini";

// Sections of the job settings file.
namespace JobSection {
inline constexpr std::string_view Settings = "settings";     // created, folder, rootbk
inline constexpr std::string_view Folders = "folders";       // the source folders
inline constexpr std::string_view LastBackup = "lastbackup"; // the last run's result
inline constexpr std::string_view LastVerify = "lastverify"; // the last verification
inline constexpr std::string_view Schedule = "schedule";     // the schedule as installed
inline constexpr std::string_view Keep = "keep";             // the keep policy (thinning)
inline constexpr std::string_view LastThin = "lastthin";     // the last thinning run
} // namespace JobSection

// The place of one section of the job's settings file.
SettingsPlace JobSettingsPlace(std::string_view jobFolder, std::string_view section);

// The job folder of the job named `jobName` in the job store.
std::string JobFolderOf(std::string_view jobName);

// The most source folders a job can list.
inline constexpr long long kMostSourceFolders = 32767;

// "foldercount" as written, read the way the program reads a number: its
// leading number, 0 when there is none. The main window shows this value as
// it is (a job of exactly one folder shows that folder).
double DeclaredFolderCount(std::string_view jobFolder);

// How many "folderN" keys a declared count asks to be read: none for a count
// that is not above 0, else the count rounded half to even. The backup run
// and the folder editor both refuse a count above kMostSourceFolders, each
// with its own message.
long long ListedFolderCount(double declared);

// The value of "folderN" (N from 1), read whole, empty when absent.
std::string SourceFolderValue(std::string_view jobFolder, long long n);

// The longest source folder value kept: the longest path Windows text can
// give.
inline constexpr std::size_t kLongestSourceFolder = 32767;

// Whether `value` can be kept as a source folder, or why not (it would not
// read back as the same folder).
[[nodiscard]] Result<void> CheckSourceFolder(std::string_view value);

// Replaces the section of source folders with these values: "foldercount"
// written with a leading blank, then "folder1"... in order.
void WriteSourceFolders(std::string_view jobFolder, const std::vector<std::string>& values);

// The path of the job's exclusion file.
std::string ExclusionFilePath(std::string_view jobFolder);

} // namespace rk
