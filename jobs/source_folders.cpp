// The job's source folders, edited in the folder list editor, and its
// exclusion file, opened in the desktop's editor.

#include "core/file_checks.h"
#include "core/job_files.h"
#include "core/program_values.h"
#include "core/settings.h"
#include "core/text.h"
#include "jobs/frm_main.h"
#include "jobs/job_store.h"
#include "ui/file_dialogs.h"
#include "ui/seam.h"
#include "ui/shell_open.h"

#include <algorithm>
#include <limits>

namespace rk::jobs {

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
    const std::string folder =
        ui::BrowseForFolder(axFolderGatherer, "Select the folder you want to backup");
    if (folder.empty())
        return;
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
