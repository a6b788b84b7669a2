#include "core/job_files.h"

#include "core/program_values.h"
#include "core/text.h"

namespace rk {

SettingsPlace JobSettingsPlace(std::string_view jobFolder, std::string_view section) {
    return {std::string(section), std::string(jobFolder), std::string(JobSettingsFileName)};
}

std::string JobFolderOf(std::string_view jobName) {
    return JobStoreFolder + std::string(jobName);
}

double DeclaredFolderCount(std::string_view jobFolder) {
    return LeadingNumber(
        ReadSetting("foldercount", "0", JobSettingsPlace(jobFolder, JobSection::Folders)));
}

long long ListedFolderCount(double declared) {
    return declared > 0 ? RoundHalfEven(declared) : 0;
}

std::string SourceFolderValue(std::string_view jobFolder, long long n) {
    return ReadSetting("folder" + std::to_string(n), "",
                       JobSettingsPlace(jobFolder, JobSection::Folders));
}

void WriteSourceFolderCount(std::string_view jobFolder, std::size_t count) {
    WriteSetting("foldercount", " " + std::to_string(count),
                 JobSettingsPlace(jobFolder, JobSection::Folders));
}

void WriteSourceFolderValue(std::string_view jobFolder, std::size_t n, std::string_view value) {
    WriteSetting("folder" + std::to_string(n), value,
                 JobSettingsPlace(jobFolder, JobSection::Folders));
}

std::string ExclusionFilePath(std::string_view jobFolder) {
    return AddBackslash(jobFolder) + std::string(ExclusionFileName);
}

} // namespace rk
