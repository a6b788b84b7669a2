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
    // Whole: the first 511 characters of a longer path name another folder.
    return ReadWholeSetting("folder" + std::to_string(n), "",
                            JobSettingsPlace(jobFolder, JobSection::Folders));
}

Result<void> CheckSourceFolder(std::string_view value) {
    using Failure = Result<void>;
    if (value.size() > kLongestSourceFolder)
        return Failure::Failure("its path is " + std::to_string(value.size()) +
                                " characters long; at most " +
                                std::to_string(kLongestSourceFolder) + " can be kept");
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        return Failure::Failure("its path holds a line break");
    if (!SettingCanHold(value))
        return Failure::Failure("its path starts or ends with a blank");
    return {};
}

void WriteSourceFolders(std::string_view jobFolder, const std::vector<std::string>& values) {
    const SettingsPlace place = JobSettingsPlace(jobFolder, JobSection::Folders);
    WriteSetting(std::nullopt, std::nullopt, place);
    WriteSetting("foldercount", " " + std::to_string(values.size()), place);
    for (std::size_t n = 1; n <= values.size(); ++n)
        WriteSetting("folder" + std::to_string(n), values[n - 1], place);
}

std::string ExclusionFilePath(std::string_view jobFolder) {
    return AddBackslash(jobFolder) + std::string(ExclusionFileName);
}

} // namespace rk
