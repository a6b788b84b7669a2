// The job's source folders, edited in the folder list editor, and its
// exclusion file, opened in the desktop's editor.

#include "core/file_checks.h"
#include "core/job_files.h"
#include "core/program_values.h"
#include "core/settings.h"
#include "core/text.h"
#include "jobs/frm_main.h"
#include "jobs/job_store.h"
#include "platform/drive_map.h"
#include "ui/file_dialogs.h"
#include "ui/seam.h"
#include "ui/shell_open.h"

#include <algorithm>
#include <limits>

namespace rk::jobs {

namespace {

// A folder as a message names it: a path too long to read in a message box is
// shown by its start and its end.
std::string ShownFolder(const std::string& folder) {
    constexpr std::size_t kShownEnds = 120;
    if (folder.size() <= 2 * kShownEnds + 3)
        return folder;
    return folder.substr(0, kShownEnds) + "..." + folder.substr(folder.size() - kShownEnds);
}

} // namespace

void frmMain::ChooseSourceFolders() {
    const std::optional<std::string> name = SelectedJobName();
    if (!name)
        return;
    const std::string jobFolder = JobFolderOf(*name);

    axFolderGatherer->SetTitleText("Folders to Back Up");
    axFolderGatherer->SetPromptText("Select the folders you want backed up:");
    axFolderGatherer->Clear();
    const long long count = ListedFolderCount(DeclaredFolderCount(jobFolder));
    if (count > 0) {
        // A count no one could have made (a damaged or hand-edited file) is
        // refused as the backup run refuses it.
        if (count > kMostSourceFolders) {
            ui::MsgBox("The backup job \"" + *name + "\" gives " + std::to_string(count) +
                           " source folders; at most 32767 are possible.",
                       ui::Buttons::OK, ui::Icon::Exclamation);
            return;
        }
        for (long long n = 1; n <= count; ++n)
            axFolderGatherer->Add(FolderItem{SourceFolderValue(jobFolder, n)});
    }
    axFolderGatherer->Prepare();
    axFolderGatherer->Present();

    if (axFolderGatherer->Confirmed()) {
        const FolderItems& items = axFolderGatherer->Items();
        std::vector<std::string> folders;
        for (std::size_t n = 1; n <= items.Count(); ++n)
            folders.push_back(items.Item(n).displayname);
        WriteSourceFolders(jobFolder, folders);
    }
    UpdateProperties();
}

void frmMain::axFolderGatherer_RequestNewItem(std::optional<FolderItem>& item) {
    const std::string shown =
        ui::BrowseForFolder(axFolderGatherer, "Select the folder you want to backup");
    if (shown.empty())
        return;
    // The folder chosen on the host is kept as text that means it alone: a
    // name ending in a dot or a space ("proj.") is kept after "\\?\", so that
    // it is never read as its sibling ("proj"), and a trailing blank is kept
    // before a backslash, which reading the settings would otherwise drop.
    const std::optional<std::string> host = platform::ToHostPath(shown);
    std::string folder = host ? platform::ToWindowsPathKept(*host) : shown;
    if (!folder.empty() && (folder.back() == ' ' || folder.back() == '\t'))
        folder += '\\';
    if (const Result<void> kept = CheckSourceFolder(folder); !kept) {
        ui::MsgBox("The folder " + ShownFolder(folder) +
                       " cannot be kept in the backup job's settings: " + kept.reason() + ".",
                   ui::Buttons::OK, ui::Icon::Exclamation);
        return;
    }
    // The job store holds the backups themselves: backing them up again
    // would copy every earlier archive into each new one.
    const std::string chosen = AddBackslash(folder);
    if (JobStoreFolder.size() >= chosen.size() &&
        SameText(std::string_view(JobStoreFolder).substr(0, chosen.size()), chosen))
        ui::MsgBox("The folder " + folder + " holds the job store " + JobStoreFolder +
                       ". The backups kept there are left out of the backups of this folder.",
                   ui::Buttons::OK, ui::Icon::Exclamation);
    item = FolderItem{folder};
}

void frmMain::EditExclusions() {
    const std::optional<std::string> name = SelectedJobName();
    if (!name)
        return;
    const std::string exclusions = ExclusionFilePath(JobFolderOf(*name));
    // A missing exclusion file (a job made by the first-start offer) opens
    // nothing, and says nothing.
    if (PathExists(exclusions))
        ui::ShellOpen(exclusions);
}

} // namespace rk::jobs
