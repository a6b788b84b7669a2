#include "rkbak/copy_life.h"

#include "core/report_lines.h"
#include "core/text.h"
#include "engine/job_copy.h"
#include "platform/clock.h"

#include <ostream>

namespace rk {

namespace {

// The job's name: the last part of its folder.
std::string JobNameOf(std::string folder) {
    while (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    const std::size_t slash = folder.rfind('\\');
    return slash == std::string::npos ? folder : folder.substr(slash + 1);
}

} // namespace

void CopyAfterLife(const std::string& jobFolder, std::ostream& errors,
                   const DesktopNotice& notify) {
    const CopyEnd end = CopyJob(jobFolder, {}, platform::Now());
    if (!end.configured || end.complete)
        return;
    ReportLine(errors, "job \"" + JobNameOf(jobFolder) + "\": " + end.PendingLine());
    const std::time_t now = platform::Now();
    const CopyRecord record = ReadCopyRecord(jobFolder);
    if (!notify || !CopyNoticeDue(record, now))
        return;
    notify("The copy of \"" + JobNameOf(jobFolder) + "\" to " + record.remote +
               " has been pending since " + record.pendingSince,
           CopyPendingText(record));
    (void)RecordCopyNotice(jobFolder, now);
}

} // namespace rk
