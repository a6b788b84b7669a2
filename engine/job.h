#pragma once
// A backup job and the installation its runs work in.
//
// An Installation is what a run needs of the program around it: the program
// folder, the job store and the two utilities. The forms and start-up keep
// the program-wide values (core/program_values.h); a run is handed an
// Installation built from them at the call, so it reads nothing else.
//
// A Job is one job of a job store: its name and its folder, and everything
// the program keeps in that folder — the settings file "rkjob.ini" with its
// sections, the exclusion file "excl.ini", the source folders, the archives
// "rk_*.zip", the last run's result — and the record of a run skipped for a
// disk not connected, kept beside the user's state.

#include "core/job_files.h"
#include "core/settings.h"
#include "engine/backup_mode.h"
#include "engine/last_backup.h"
#include "engine/skipped_run.h"

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rk {

struct Installation {
    std::string programFolder; // with one trailing backslash
    std::string jobStore;      // with one trailing backslash
    std::string zipUtility;    // full path, as typed
    std::string unzipUtility;  // full path, as typed
};

// The installation as the program-wide values name it now.
Installation CurrentInstallation();

// The characters a job name may not hold: \ / : * ? < > | and the double quote.
inline constexpr const char* RefusedJobNameCharacters = "\\/:*?<>|\"";

class Job {
  public:
    // The job `name` of the job store folder `jobStore` (Windows text,
    // ending with a backslash).
    Job(std::string_view jobStore, std::string name);
    // The job `name` of the installation's job store.
    Job(const Installation& installation, std::string name);

    const std::string& name() const { return name_; }
    // The job store folder followed by the name, without a trailing
    // backslash.
    const std::string& folder() const { return folder_; }
    // The folder with one trailing backslash, to put a file name after.
    std::string folderPath() const;

    // True when the name can name a job (not blank, none of
    // RefusedJobNameCharacters) and its folder holds "rkjob.ini" (hidden or
    // not).
    bool exists() const;

    // One section of "rkjob.ini" (JobSection).
    SettingsPlace section(std::string_view name) const;
    std::string settingsFile() const;
    std::string exclusionFile() const;

    // "foldercount" as written (DeclaredFolderCount), and "folderN" read
    // whole (N from 1).
    double declaredFolderCount() const;
    std::string sourceFolder(long long n) const;

    // "rootbk": the archive of the last root backup, empty when none.
    std::string rootBackup() const;
    void recordRootBackup(const std::string& archiveName) const;

    // The job's archives, every one, in the one order JobArchiveNames gives.
    std::vector<std::string> archives() const;

    // The last run recorded, or nothing; recording one writes nothing for a
    // job whose name is blank or whose folder does not exist.
    std::optional<LastBackup> lastBackup() const;
    void recordLastBackup(BackupMode mode, const BackupOutcome& outcome,
                          const std::tm& ended) const;

    // The record of the job's last scheduled run skipped for a disk not
    // connected, or nothing.
    std::optional<SkippedRun> skippedRun() const;

  private:
    std::string name_;
    std::string folder_;
};

} // namespace rk
