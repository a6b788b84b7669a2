#include "engine/job_store_folder.h"

#include "core/job_files.h"
#include "core/text.h"
#include "platform/file_system.h"

namespace rk {

namespace {

using platform::kAttrDirectory;
using platform::kAttrHidden;
using platform::kAttrNormal;
using platform::kAttrReadOnly;
using platform::kAttrSystem;

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

bool HoldsSettingsFile(const std::string& jobFolder, unsigned mask) {
    return !platform::Enumerate(AddBackslash(jobFolder) + std::string(JobSettingsFileName), mask)
                .empty();
}

} // namespace

std::vector<std::string> ListJobs(const std::string& jobStoreFolder) {
    std::vector<std::string> jobs;
    for (const auto& name : Subfolders(jobStoreFolder)) {
        if (HoldsJobSettings(jobStoreFolder + name))
            jobs.push_back(name);
    }
    return jobs;
}

bool FolderHasJobs(const std::string& folder) {
    const std::string base = AddBackslash(folder);
    for (const auto& name : Subfolders(base)) {
        if (HoldsSettingsFile(base + name, kAttrNormal))
            return true;
    }
    return false;
}

bool HoldsJobSettings(const std::string& jobFolder) {
    return HoldsSettingsFile(jobFolder, kAttrNormal | kAttrReadOnly | kAttrHidden | kAttrSystem);
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
