#pragma once
// Keeping the job folder free of half-written archives. rkzip writes a new
// archive, and an existing one rewritten with entries added, as
// "<archive>.XXXXXX" beside it (MakeTemporaryArchive) and renames that into
// place; a run stopped or killed on the way would leave the
// temporary file behind. So a run holds an exclusive flock on
// ".rkzip-state-lock.<archive>" in the archive's folder while it writes: the
// temporary files of an archive whose lock is held belong to the holder, and
// those of an archive whose lock file no one holds were left by a killed run.

#include <functional>
#include <string>
#include <string_view>

namespace rk::tools {

// The name of the lock file of an archive.
std::string ArchiveLockName(std::string_view archiveName);

// True for "<archive>.XXXXXX", the names temporary archives take: the
// archive's name, a dot and exactly six letters or digits.
bool IsTemporaryArchiveName(std::string_view name, std::string_view archiveName);

// Watches for the stop signals (WatchStopSignals): on one, the temporary
// archives and the lock of the archive held (if any) are removed, and the
// archive itself when this run created it, and the process ends by the
// signal. A signal that comes once the run has committed
// (ArchiveLock::Commit) is let go: the run ends by itself. Called once,
// before any other thread is started.
void WatchStopSignalsForArchive();

// Makes the temporary archive "<archive>.XXXXXX" for `archiveHost` (mode
// 0600) and gives its descriptor, or -1 with errno set; `temporary` receives
// its path. A stop signal never falls between its making and the clean-up
// that removes it: once the clean-up has begun, this waits for the process to
// end.
int MakeTemporaryArchive(const std::string& archiveHost, std::string& temporary);

// Removes what killed runs left in the folder: for each lock file that no
// running rkzip holds, the temporary archives of its archive and the lock
// file. What a running rkzip holds is left alone.
void CleanUpAfterKilledRuns(const std::string& folderHost);

// The lock of one archive, held from construction (which waits while another
// run holds it) to destruction, which removes the lock file before letting go.
// When the lock file cannot be made (a folder that cannot be written, a name
// too long), the run goes on without it, and fails or succeeds as it would.
class ArchiveLock {
  public:
    ArchiveLock(const std::string& folderHost, const std::string& archiveName);
    ~ArchiveLock();
    ArchiveLock(const ArchiveLock&) = delete;
    ArchiveLock& operator=(const ArchiveLock&) = delete;

    bool held() const { return held_; }

    // Runs `finish` (recording what was stored) so that a stop signal cannot
    // cut it short: the signal waits, and after it the run is no longer
    // stopped.
    void Commit(const std::function<void()>& finish) const;

  private:
    bool held_ = false;
};

} // namespace rk::tools
