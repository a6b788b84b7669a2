#include "tools/rkunzip/extraction.h"

#include "tools/common/dos_bits.h"
#include "tools/common/stored_names.h"
#include "tools/rkunzip/entry_info.h"

#include <sys/stat.h>

namespace rk::tools {

namespace {

constexpr zip_uint64_t kLongestLinkTarget = 4096;

mode_t CurrentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

FileAttributes AttributesFor(const EntryInfo& info, const UnzipCommand& command, mode_t mask) {
    FileAttributes attributes;
    attributes.mode = info.hasMode ? (info.mode & 0777) : (0666 & ~mask);
    attributes.mtime = info.mtime;
    if (command.restoreReadOnly) {
        if ((info.dosBits & kDosReadOnly) != 0)
            attributes.mode &= static_cast<mode_t>(~0222);
    } else {
        attributes.mode |= S_IRUSR | S_IWUSR;
    }
    if (command.restoreHidden)
        attributes.dosBits |= info.dosBits & kDosHidden;
    if (command.restoreSystem)
        attributes.dosBits |= info.dosBits & kDosSystem;
    return attributes;
}

bool ReadLinkTarget(zip_t* archive, const EntryInfo& info, std::string& target,
                    std::string& problem) {
    if (info.size > kLongestLinkTarget) {
        problem = "link target too long";
        return false;
    }
    zip_file_t* reader = zip_fopen_index(archive, info.index, 0);
    if (reader == nullptr) {
        problem = zip_strerror(archive);
        return false;
    }
    target.assign(static_cast<size_t>(info.size), '\0');
    const zip_int64_t n = zip_fread(reader, target.data(), info.size);
    if (n < 0 || static_cast<zip_uint64_t>(n) != info.size) {
        problem = n < 0 ? zip_file_strerror(reader) : "short read";
        zip_fclose(reader);
        return false;
    }
    zip_fclose(reader);
    if (target.empty() || target.find('\0') != std::string::npos) {
        problem = "not a valid link target";
        return false;
    }
    return true;
}

} // namespace

ExtractionOutcome Extract(zip_t* archive, const UnzipCommand& command,
                          const EntrySelection& selection, Destination& destination) {
    ExtractionOutcome outcome;
    const mode_t mask = CurrentUmask();
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        EntryInfo info;
        if (!ReadEntryInfo(archive, static_cast<zip_uint64_t>(i), info)) {
            outcome.problems.push_back("can't read entry " + std::to_string(i) + ": " +
                                       zip_strerror(archive));
            continue;
        }
        if (info.kind != EntryKind::Folder && !selection.Selects(info.name))
            continue;
        if (info.kind == EntryKind::Folder && (!selection.empty() || !command.recreateFolders))
            continue;
        const CheckedName checked = CheckEntryName(info.name);
        if (!checked.refusal.empty()) {
            outcome.problems.push_back("refused '" + info.name + "': " + checked.refusal);
            continue;
        }
        if (checked.components.empty())
            continue;
        std::string problem;
        if (info.kind == EntryKind::Folder) {
            if (destination.Folder(checked.components, checked.components.size(), problem) < 0)
                outcome.problems.push_back("refused '" + info.name + "': " + problem);
            continue;
        }
        const size_t folderCount = command.recreateFolders ? checked.components.size() - 1 : 0;
        const int folder = destination.Folder(checked.components, folderCount, problem);
        if (folder < 0) {
            outcome.problems.push_back("refused '" + info.name + "': " + problem);
            continue;
        }
        const std::string& name = checked.components.back();
        if (!command.replaceExisting && Destination::Exists(folder, name)) {
            ++outcome.kept;
            continue;
        }
        PlaceResult result = PlaceResult::Failed;
        if (info.kind == EntryKind::Link) {
            std::string target;
            if (ReadLinkTarget(archive, info, target, problem))
                result =
                    destination.MakeLink(folder, name, target, command.replaceExisting, problem);
        } else {
            zip_file_t* reader = zip_fopen_index(archive, info.index, 0);
            if (reader == nullptr) {
                problem = zip_strerror(archive);
            } else {
                result =
                    destination.WriteFile(folder, name, reader, AttributesFor(info, command, mask),
                                          command.replaceExisting, problem);
                zip_fclose(reader);
            }
        }
        switch (result) {
        case PlaceResult::Written:
            ++outcome.written;
            break;
        case PlaceResult::Existed:
            ++outcome.kept;
            break;
        case PlaceResult::Refused:
        case PlaceResult::Failed:
            outcome.problems.push_back("can't extract '" + info.name + "': " + problem);
            break;
        }
    }
    return outcome;
}

} // namespace rk::tools
