#include "jobs/job_store.h"

#include "core/file_checks.h"
#include "core/job_files.h"
#include "core/program_values.h"
#include "core/settings.h"
#include "core/text.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "ui/seam.h"

#include <ctime>
#include <iomanip>
#include <locale>
#include <sstream>
#include <stdexcept>

namespace rk {

namespace {

using platform::kAttrDirectory;
using platform::kAttrHidden;
using platform::kAttrNormal;
using platform::kAttrReadOnly;
using platform::kAttrSystem;

constexpr const char* kTakenName = "A backup job with that name already exists!";
constexpr const char* kShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

SettingsPlace JobSettings(const std::string& jobFolder,
                          std::string_view section = JobSection::Settings) {
    return JobSettingsPlace(jobFolder, section);
}

// Direct subfolders of a folder (ending with a backslash), in listing order.
std::vector<std::string> Subfolders(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : platform::Enumerate(folder + "*.*", kAttrDirectory)) {
        if (entry.name == "." || entry.name == "..")
            continue;
        const auto attributes = platform::GetAttributes(folder + entry.name);
        if (attributes && (*attributes & kAttrDirectory) != 0)
            names.push_back(entry.name);
    }
    return names;
}

bool HoldsJobSettings(const std::string& jobFolder, unsigned mask) {
    return !platform::Enumerate(AddBackslash(jobFolder) + std::string(JobSettingsFileName), mask)
                .empty();
}

void Refuse(const std::string& text) {
    ui::MsgBox(text, ui::Buttons::OK, ui::Icon::Exclamation);
}

// Takes a half-made job away again: its settings and exclusion files, then
// the folder (only when it is empty by then).
void RemoveHalfMadeJob(const std::string& jobFolder) {
    platform::DeleteFile(AddBackslash(jobFolder) + std::string(JobSettingsFileName));
    platform::DeleteFile(ExclusionFilePath(jobFolder));
    platform::RemoveFolder(jobFolder);
}

// Makes the folder and its "rkjob.ini" with "created"; reports a failure.
// Both are the user's alone (modes 0700 and 0600): the settings name the
// folders that are backed up. Rewrites of the settings keep the file's mode.
bool MakeJobFolder(const std::string& jobFolder) {
    if (!platform::CreatePrivateFolder(jobFolder)) {
        Refuse("The backup job folder \"" + jobFolder + "\" could not be created.");
        return false;
    }
    platform::CreateFileExclusively(AddBackslash(jobFolder) + std::string(JobSettingsFileName), "");
    WriteSetting("created", SystemDateTimeText(), JobSettings(jobFolder));
    if (ReadSetting("created", "", JobSettings(jobFolder)).empty()) {
        RemoveHalfMadeJob(jobFolder);
        Refuse("The settings file of the backup job could not be written in \"" + jobFolder +
               "\".");
        return false;
    }
    return true;
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

std::vector<std::string> ListJobs(const std::string& jobStoreFolder) {
    std::vector<std::string> jobs;
    for (const auto& name : Subfolders(jobStoreFolder)) {
        if (HoldsJobSettings(jobStoreFolder + name,
                             kAttrNormal | kAttrReadOnly | kAttrHidden | kAttrSystem))
            jobs.push_back(name);
    }
    return jobs;
}

bool FolderHasJobs(const std::string& folder) {
    const std::string base = AddBackslash(folder);
    for (const auto& name : Subfolders(base)) {
        if (HoldsJobSettings(base + name, kAttrNormal))
            return true;
    }
    return false;
}

bool JobExists(const std::string& name) {
    if (Trim(name).empty() || ContainsAnyChar(name, RefusedJobNameCharacters))
        return false;
    return HoldsJobSettings(JobStoreFolder + name,
                            kAttrNormal | kAttrReadOnly | kAttrHidden | kAttrSystem);
}

bool MakeJob(const std::string& name) {
    if (ContainsAnyChar(name, RefusedJobNameCharacters)) {
        Refuse("Name cannot contain the characters \\/:*?<>|\"");
        return false;
    }
    const std::string jobFolder = JobStoreFolder + name;
    if (FolderExists(jobFolder)) {
        Refuse(kTakenName);
        return false;
    }
    if (!MakeJobFolder(jobFolder))
        return false;
    const std::string templatePath = AppFolder + ExclusionTemplateName;
    if (!platform::CopyFile(templatePath, ExclusionFilePath(jobFolder))) {
        RemoveHalfMadeJob(jobFolder);
        Refuse("The exclusion template \"" + templatePath +
               "\" could not be copied into the new backup job, so the job was not made.");
        return false;
    }
    return true;
}

std::string GetShellFolder(const std::string& valueName) {
    return RegReadString(RegistryRootKey::HKEY_CURRENT_USER, kShellFoldersKey, valueName);
}

void OfferMyDocumentsJob() {
    if (ui::MsgBox("Do you want Ravelkeep to automatically create a backup job for your 'My "
                   "Documents' folder?",
                   ui::Buttons::YesNo, ui::Icon::Question) != ui::Answer::Yes)
        return;
    const std::string documents = GetShellFolder("Personal");
    const std::string name = GetPathPart(documents + ".$$$", PathPartBaseName);
    const std::string jobFolder = JobStoreFolder + name;
    if (FolderExists(jobFolder)) {
        Refuse(kTakenName);
        return;
    }
    if (!MakeJobFolder(jobFolder))
        return;
    WriteSetting("folder", documents, JobSettings(jobFolder));
    // The documents folder is also the job's one source folder, so the job
    // can be backed up as it stands.
    WriteSourceFolders(jobFolder, std::vector<std::string>{documents});
}

void DeleteJobFolder(const std::string& path) {
    const std::string base = AddBackslash(path);
    for (const auto& entry :
         platform::Enumerate(base + "*", kAttrNormal | kAttrHidden | kAttrSystem)) {
        platform::SetAttributes(base + entry.name, kAttrNormal);
        platform::DeleteFile(base + entry.name);
    }
    platform::RemoveFolder(path);
}

} // namespace rk
