#include "engine/job.h"

#include "core/program_values.h"
#include "core/text.h"
#include "engine/job_archives.h"
#include "engine/job_store_folder.h"

#include <utility>

namespace rk {

Installation CurrentInstallation() {
    return {AppFolder, JobStoreFolder, ZipUtilPath, UnzipUtilPath};
}

Job::Job(std::string_view jobStore, std::string name)
    : name_(std::move(name)), folder_(std::string(jobStore) + name_) {}

Job::Job(const Installation& installation, std::string name)
    : Job(installation.jobStore, std::move(name)) {}

std::string Job::folderPath() const {
    return AddBackslash(folder_);
}

bool Job::exists() const {
    if (Trim(name_).empty() || ContainsAnyChar(name_, RefusedJobNameCharacters))
        return false;
    return HoldsJobSettings(folder_);
}

SettingsPlace Job::section(std::string_view name) const {
    return JobSettingsPlace(folder_, name);
}

std::string Job::settingsFile() const {
    return folderPath() + std::string(JobSettingsFileName);
}

std::string Job::exclusionFile() const {
    return ExclusionFilePath(folder_);
}

double Job::declaredFolderCount() const {
    return DeclaredFolderCount(folder_);
}

std::string Job::sourceFolder(long long n) const {
    return SourceFolderValue(folder_, n);
}

std::string Job::rootBackup() const {
    return ReadSetting("rootbk", "", section(JobSection::Settings));
}

void Job::recordRootBackup(const std::string& archiveName) const {
    WriteSetting("rootbk", archiveName, section(JobSection::Settings));
}

std::vector<std::string> Job::archives() const {
    return JobArchiveNames(folder_);
}

std::optional<LastBackup> Job::lastBackup() const {
    return ReadLastBackup(folder_);
}

void Job::recordLastBackup(BackupMode mode, const BackupOutcome& outcome,
                           const std::tm& ended) const {
    if (Trim(name_).empty())
        return;
    RecordLastBackup(folder_, mode, outcome, ended);
}

std::optional<SkippedRun> Job::skippedRun() const {
    return ReadSkippedRun(folder_);
}

} // namespace rk
