#include "app/start_up.h"

#include "app/frm_options.h"
#include "core/file_checks.h"
#include "core/program_values.h"
#include "core/settings.h"
#include "core/text.h"
#include "platform/drive_map.h"
#include "platform/file_system.h"
#include "ui/help.h"
#include "ui/qt_text.h"
#include "ui/seam.h"

#include <QLineEdit>

namespace rk::app {

namespace {
constexpr std::string_view DefaultJobStore = "C:\\Backups";
// The program folder as the operating system names it.
std::string ProgramFolderHost;
} // namespace

void SetProgramFolder(std::string_view programFolderHost) {
    ProgramFolderHost = std::string(programFolderHost);
    AppFolder = AddBackslash(platform::ToWindowsPath(programFolderHost));
    ui::RegisterHelpFile(AppFolder + "rkbak.hlp");
}

std::string JobStoreSettingFolder() {
    const std::string jobs = ReadSetting("jobs");
    return AddBackslash(Trim(jobs).empty() ? std::string(DefaultJobStore) : jobs);
}

void ApplyJobStoreSetting() {
    if (!Trim(ReadSetting("jobs")).empty()) {
        JobStoreFolder = JobStoreSettingFolder();
        return;
    }
    // The job store holds every job's settings: it is the user's alone.
    platform::CreatePrivateFolder(DefaultJobStore);
    JobStoreFolder = AddBackslash(DefaultJobStore);
    WriteSetting("jobs", DefaultJobStore);
}

void ReadUtilitySettings() {
    ZipUtilPath = ReadSetting("ziputil");
    UnzipUtilPath = ReadSetting("unziputil");
}

Result<void> CheckConfiguration() {
    using Failure = Result<void>;
    // The settings file lives in the program folder: a drive map that names
    // no drive for it leaves every setting unread.
    const auto mapped = platform::ToHostPath(AppFolder);
    if (!ProgramFolderHost.empty() &&
        (!mapped || platform::ToWindowsPath(*mapped) != platform::ToWindowsPath(ProgramFolderHost)))
        return Failure::Failure(
            "the program folder " + ProgramFolderHost +
            " is on no drive of the drive map (RAVELKEEP_DRIVES), so its settings cannot be "
            "read");
    if (Trim(ZipUtilPath).empty())
        return Failure::Failure("the location of the zip utility is not set");
    if (Trim(UnzipUtilPath).empty())
        return Failure::Failure("the location of the unzip utility is not set");
    if (Trim(JobStoreFolder).empty())
        return Failure::Failure("the job store folder is not set");
    if (!PathExists(ZipUtilPath))
        return Failure::Failure("the zip utility " + ZipUtilPath + " does not exist");
    if (!PathExists(UnzipUtilPath))
        return Failure::Failure("the unzip utility " + UnzipUtilPath + " does not exist");
    if (!FolderExists(JobStoreFolder))
        return Failure::Failure("the job store folder " + JobStoreFolder + " does not exist");
    return {};
}

bool ConfigureWithUser() {
    ui::MsgBox(MustConfigureText, ui::Buttons::OK, ui::Icon::None);
    {
        frmOptions options;
        if (Trim(ZipUtilPath).empty() || Trim(UnzipUtilPath).empty()) {
            options.txtZip->setText(ui::ToQString(
                RegReadString(RegistryRootKey::HKEY_LOCAL_MACHINE, ZipAppPathsKey, "")));
            options.txtUnzip->setText(ui::ToQString(
                RegReadString(RegistryRootKey::HKEY_LOCAL_MACHINE, UnzipAppPathsKey, "")));
        }
        ui::Current().ShowModal(options);
    }
    if (!CheckConfiguration()) {
        ui::MsgBox(NotConfiguredText, ui::Buttons::OK, ui::Icon::Critical);
        return false;
    }
    return true;
}

} // namespace rk::app
