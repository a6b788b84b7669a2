#include "tools/rkunzip/archive_test.h"

#include "tools/common/exit_codes.h"
#include "tools/common/messages.h"
#include "tools/rkunzip/entry_content.h"
#include "tools/rkunzip/entry_plan.h"

#include <vector>

namespace rk::tools {

namespace {

// Reads the file or link entry to its end as an extraction does; false
// (and `problem`) when it does not read back.
bool ReadsBack(EntryContent& content, const EntryInfo& info, std::vector<char>& buffer,
               std::string& problem) {
    if (info.kind == EntryKind::Link) {
        std::string target;
        return ReadLinkTarget(content, info.index, info.size, target, problem);
    }
    if (!content.Open(info.index, problem))
        return false;
    std::int64_t n = 0;
    while ((n = content.Read(buffer.data(), buffer.size(), problem)) > 0) {
    }
    content.Close();
    return n == 0;
}

} // namespace

int TestArchive(zip_t* archive, const std::string& archiveHost, const DirectoryFacts& facts,
                const std::string& archiveWindows) {
    UnzipCommand everything;
    everything.recreateFolders = true;
    EntryPlan plan = PlanEntries(archive, everything, EntrySelection{}, facts.namesWithNul);
    SharedArchive shared(archive, archiveHost, facts.localHeaders);
    EntryContent content(shared);
    std::vector<char> buffer(256 * 1024);
    std::size_t failed = 0;
    std::size_t wrongPassword = 0;
    EntryInfo info;
    for (const auto& entry : plan.entries) {
        std::string problem;
        if (entry.problem != kNoProblem) {
            Report(plan.problems[entry.problem]);
            ++failed;
            continue;
        }
        if (!ReadPlannedEntry(archive, entry.index, info, facts.namesWithNul, problem)) {
            Report(problem);
            ++failed;
            continue;
        }
        if (info.kind == EntryKind::Folder || ReadsBack(content, info, buffer, problem))
            continue;
        // An encrypted entry refused names itself in the lines callers know.
        if (content.refusal() != Refusal::None)
            Report(RefusalText(info.name, content.refusal()));
        else
            Report("test of '" + info.name + "' failed: " + problem);
        if (content.refusal() == Refusal::Password)
            ++wrongPassword;
        ++failed;
    }
    if (failed != 0) {
        const zip_int64_t count = zip_get_num_entries(archive, 0);
        Report(std::to_string(failed) + " of the " + std::to_string(count) + " entries of '" +
               archiveWindows + "' do not read back correctly");
        return wrongPassword == failed ? kExitWrongPassword : kExitPartial;
    }
    return kExitOk;
}

} // namespace rk::tools
