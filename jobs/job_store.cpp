#include "jobs/job_store.h"

#include "core/file_checks.h"
#include "core/job_files.h"
#include "core/program_values.h"
#include "core/settings.h"
#include "core/text.h"
#include "platform/clock.h"
#include "platform/file_system.h"

#include <ctime>
#include <iomanip>
#include <locale>
#include <sstream>
#include <stdexcept>

namespace rk {

namespace {

constexpr const char* kTakenName = "A backup job with that name already exists!";
constexpr const char* kShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

SettingsPlace JobSettings(const std::string& jobFolder,
                          std::string_view section = JobSection::Settings) {
    return JobSettingsPlace(jobFolder, section);
}

// Takes a half-made job away again: its settings and exclusion files, then
// the folder (only when it is empty by then).
void RemoveHalfMadeJob(const std::string& jobFolder) {
    platform::DeleteFile(AddBackslash(jobFolder) + std::string(JobSettingsFileName));
    platform::DeleteFile(ExclusionFilePath(jobFolder));
    platform::RemoveFolder(jobFolder);
}

// Makes the folder and its "rkjob.ini" with "created"; refuses a folder
// that is taken. Both are the user's alone (modes 0700 and 0600): the
// settings name the folders that are backed up. Rewrites of the settings
// keep the file's mode.
[[nodiscard]] Result<void> MakeJobFolder(const std::string& jobFolder) {
    if (FolderExists(jobFolder))
        return Result<void>::Failure(kTakenName);
    if (!platform::CreatePrivateFolder(jobFolder))
        return Result<void>::Failure("The backup job folder \"" + jobFolder +
                                     "\" could not be created.");
    platform::CreateFileExclusively(AddBackslash(jobFolder) + std::string(JobSettingsFileName), "");
    WriteSetting("created", SystemDateTimeText(), JobSettings(jobFolder));
    if (ReadSetting("created", "", JobSettings(jobFolder)).empty()) {
        RemoveHalfMadeJob(jobFolder);
        return Result<void>::Failure(
            "The settings file of the backup job could not be written in \"" + jobFolder + "\".");
    }
    return {};
}

} // namespace

std::string SystemDateTimeText() {
    const std::time_t now = platform::Now();
    std::tm local{};
    localtime_r(&now, &local);
    std::ostringstream text;
    try {
        text.imbue(std::locale(""));
    } catch (const std::runtime_error&) {
        // An unknown locale in the environment: the classic one writes it.
    }
    text << std::put_time(&local, "%x %X");
    return text.str();
}

bool JobExists(const std::string& name) {
    return Job(JobStoreFolder, name).exists();
}

Result<void> MakeJob(const std::string& name) {
    if (ContainsAnyChar(name, RefusedJobNameCharacters))
        return Result<void>::Failure("Name cannot contain the characters \\/:*?<>|\"");
    const std::string jobFolder = Job(JobStoreFolder, name).folder();
    if (Result<void> made = MakeJobFolder(jobFolder); !made)
        return made;
    const std::string templatePath = AppFolder + ExclusionTemplateName;
    if (!platform::CopyFile(templatePath, ExclusionFilePath(jobFolder))) {
        RemoveHalfMadeJob(jobFolder);
        return Result<void>::Failure(
            "The exclusion template \"" + templatePath +
            "\" could not be copied into the new backup job, so the job was not made.");
    }
    return {};
}

std::string GetShellFolder(const std::string& valueName) {
    return RegReadString(RegistryRootKey::HKEY_CURRENT_USER, kShellFoldersKey, valueName);
}

Result<void> MakeMyDocumentsJob() {
    const std::string documents = GetShellFolder("Personal");
    const std::string name = GetPathPart(documents + ".$$$", PathPartBaseName);
    const std::string jobFolder = Job(JobStoreFolder, name).folder();
    if (Result<void> made = MakeJobFolder(jobFolder); !made)
        return made;
    WriteSetting("folder", documents, JobSettings(jobFolder));
    // The documents folder is also the job's one source folder, so the job
    // can be backed up as it stands.
    WriteSourceFolders(jobFolder, std::vector<std::string>{documents});
    return {};
}

} // namespace rk
