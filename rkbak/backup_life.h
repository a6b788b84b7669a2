#pragma once
// The windowless incremental backup of one job ("/ib/NAME"), for schedulers.

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

namespace rk {

// Tells the desktop: a summary and the body.
using DesktopNotice = std::function<void(const std::string& summary, const std::string& body)>;

// The line told when the disk holding the job's folder is not connected;
// `hostPath` is the missing folder.
std::string DiskNotConnectedText(const std::string& jobName, const std::string& hostPath);

// The missing folder (the job store, else the job's folder), host path, when
// it is missing because the disk that holds it is not connected.
std::optional<std::string> FolderOnDiskNotConnected(const std::string& jobName);

// The run's first step, before the configuration check (JobStoreFolder set,
// nothing created). A schedule's retry (`retry`) of a job whose last run was
// not skipped ends at once with 0, recording and telling nothing. When the
// job's disk is not connected: its line on `errors`, exit 1; a scheduled run
// records the skip and tells the desktop through `notify`, a retry keeps the
// record and tells the desktop nothing new. Otherwise nothing: the run goes
// on.
std::optional<int> AnswerBeforeIncrementalBackup(const std::string& jobName, bool retry,
                                                 std::ostream& errors, const DesktopNotice& notify);

// Backs the job up; 0 when the archive was made, 1 when the run failed or
// some files could not be read, 2 when there is no such job. Every problem is
// one line on `errors`. A run that goes ahead clears the job's skip record.
int RunIncrementalBackupLife(const std::string& jobName, std::ostream& errors);

} // namespace rk
