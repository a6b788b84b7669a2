#pragma once
// One restore run, without a window: find the archives of the date range,
// extract them newest first into one folder (all files, or the files picked
// in the file picker), and for Consolidate zip that folder into one new
// archive, check it by content, and only then delete the archives it
// replaces. The extract dialog gathers the inputs and shows the outcome; what
// the run says to the person, and the picker, come through small interfaces.

#include "engine/extract_plan.h"
#include "engine/job.h"
#include "engine/progress_display.h"
#include "engine/run_result.h"

#include <string>
#include <string_view>
#include <vector>

namespace rk::restore {

// What a restore run adds to its RunResult. Its status: Done when the action
// was carried out completely, Partial when it was carried out but some
// replaced backups could not be deleted, Failed at the failure end (nothing
// was deleted), Refused when it was not started (no destination, or a run is
// in progress).
struct ExtractDetails {
    // The folder the run made and extracted into (empty when it made none).
    std::string extractionFolder;
    // The run replaced a consolidated backup that was there before with one
    // that failed: the extraction folder holds the only sound copy of what
    // that backup held, and must be kept.
    bool extractionHoldsOnlyCopy = false;
};

using ExtractOutcome = RunResult<ExtractDetails>;

enum class NoticeKind { Plain, Exclamation, Critical };

// What a run says to the person and asks. A silent run tells nothing and asks
// nothing; it still opens the extraction folder.
class RestoreConversation {
  public:
    virtual ~RestoreConversation() = default;
    virtual void Tell(std::string_view text, NoticeKind kind) = 0;
    // True when the person answers OK.
    virtual bool Confirm(std::string_view question) = 0;
    virtual void OpenFolder(const std::string& folder) = 0;
    // Called between two utility runs, so that a window stays drawn.
    virtual void KeepResponsive() {}
};

// The outcome of the file picker.
struct PickedFiles {
    // False when an archive could not be listed: which, and why.
    bool listed = true;
    std::string failedArchive;
    std::string reason;
    // True after OK, with the texts of the chosen entries.
    bool confirmed = false;
    std::vector<std::string> names;
};

class FilePicker {
  public:
    virtual ~FilePicker() = default;
    // Lists the archives (names in `sourceFolder`, oldest first) and lets the
    // person choose; `infoText` heads the list.
    virtual PickedFiles Pick(const std::string& sourceFolder,
                             const std::vector<std::string>& archiveNames,
                             const std::string& infoText) = 0;
};

// The line the file picker's heading gains when the range holds encrypted
// backups.
inline constexpr const char* kEncryptedNamesNote =
    "These backups are encrypted: the names of their files stay readable without the password, "
    "their contents do not.";

struct RestoreRequest {
    bool silent = false;
    std::string source;      // the folder holding the archives
    std::string destination; // the folder to extract into
    CalendarDay startDay{};
    CalendarDay endDay{};
    // The two days in the short date form, for the texts of the run.
    std::string startText;
    std::string endText;
    ExtractAction action = ExtractAction::ExtractPicked;
    bool deleteReplaced = false;
    // The archive names of the source folder, in list order.
    std::vector<std::string> archiveNames;
};

// The run, with the installation's utilities and its list files where
// ProgramListFilePath puts them.
ExtractOutcome RunRestore(const Installation& installation, const RestoreRequest& request,
                          ProgressDisplay& progress, RestoreConversation& conversation,
                          FilePicker& picker);

} // namespace rk::restore
