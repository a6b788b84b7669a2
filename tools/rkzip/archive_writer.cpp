#include "tools/rkzip/archive_writer.h"

#include "tools/common/messages.h"
#include "tools/common/zip_format.h"
#include "tools/rkzip/durability.h"
#include "tools/rkzip/entry_encryption.h"
#include "tools/rkzip/entry_preparation.h"
#include "tools/rkzip/file_source.h"
#include "tools/rkzip/new_archive.h"
#include "tools/rkzip/packed_source.h"
#include "tools/rkzip/packing_ahead.h"
#include "tools/rkzip/rewritten_archive.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace rk::tools {

namespace {

constexpr zip_uint16_t kExtendedTimestampId = zip_format::kExtendedTimestampId;

// What the writer keeps for one file while libzip writes the archive.
struct EntryState {
    FileReadState read;
    PackedSourceState packed;
    zip_uint64_t entry = 0; // its index in the archive
};

// Queues the files to pack in the order libzip writes their entries (by
// index: an entry replacing one of an existing archive keeps that one's
// place), leaving out sources libzip has dropped.
void QueueForPacking(PackingAhead& packing, std::vector<EntryState*> packed) {
    std::sort(packed.begin(), packed.end(),
              [](const EntryState* a, const EntryState* b) { return a->entry < b->entry; });
    packing.Reserve(packed.size());
    for (EntryState* state : packed) {
        if (state->packed.dropped)
            continue;
        state->packed.job = packing.Add(state->read);
        state->packed.queued = true;
    }
}

// Adds one entry; false when libzip refuses it (`problem` says why).
bool AddEntry(zip_t* archive, const SourceFile& file, const Prepared& prepared,
              const std::string* linkTarget, PackingAhead& packing, EntryState& state,
              std::string& problem) {
    zip_int64_t index = -1;
    const std::string stored = file.StoredName();
    if (file.kind == SourceKind::Folder) {
        if (zip_name_locate(archive, stored.c_str(), 0) >= 0)
            return true;
        index = zip_dir_add(archive, stored.c_str(), ZIP_FL_ENC_GUESS);
    } else {
        zip_source_t* source = nullptr;
        if (file.kind == SourceKind::Link) {
            void* copy = std::malloc(linkTarget->size() + 1);
            if (copy != nullptr)
                std::memcpy(copy, linkTarget->data(), linkTarget->size());
            source =
                copy == nullptr ? nullptr : zip_source_buffer(archive, copy, linkTarget->size(), 1);
            if (source == nullptr)
                std::free(copy);
        } else if (prepared.packAhead) {
            state.read.file = &file;
            state.read.storeAsItIs = prepared.storeAsItIs;
            state.packed.packing = &packing;
            state.packed.read = &state.read;
            source = MakePackedSource(archive, state.packed);
        } else {
            state.read.file = &file;
            source = MakeFileSource(archive, state.read);
        }
        if (source == nullptr) {
            problem = zip_strerror(archive);
            return false;
        }
        index = zip_file_add(archive, stored.c_str(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_GUESS);
        if (index < 0)
            zip_source_free(source);
    }
    if (index < 0) {
        problem = zip_strerror(archive);
        return false;
    }
    const auto entry = static_cast<zip_uint64_t>(index);
    state.entry = entry;
    if (prepared.packAhead || prepared.deflate)
        zip_set_file_compression(archive, entry, ZIP_CM_DEFLATE,
                                 static_cast<zip_uint32_t>(kDeflateLevel));
    else
        zip_set_file_compression(archive, entry, ZIP_CM_STORE, 0);
    // A file packed ahead comes encrypted from its packing thread, and libzip
    // copies it as it is; libzip encrypts any other file's entry itself
    // (WinZip AES-256 too, with the archive's default password). Links stay
    // plain, as in a new archive.
    if (file.kind == SourceKind::File && EncryptingEntries() &&
        zip_file_set_encryption(archive, entry, ZIP_EM_AES_256, nullptr) != 0) {
        problem = zip_strerror(archive);
        zip_delete(archive, entry);
        return false;
    }
    zip_file_set_external_attributes(archive, entry, 0, ZIP_OPSYS_UNIX, ExternalAttributes(file));
    zip_file_set_mtime(archive, entry, static_cast<time_t>(file.mtime), 0);
    if (file.mtime >= 0 && file.mtime <= 0x7fffffff) {
        const auto t = static_cast<std::uint32_t>(file.mtime);
        const std::array<zip_uint8_t, 5> field{
            1, static_cast<zip_uint8_t>(t), static_cast<zip_uint8_t>(t >> 8),
            static_cast<zip_uint8_t>(t >> 16), static_cast<zip_uint8_t>(t >> 24)};
        zip_file_extra_field_set(archive, entry, kExtendedTimestampId, ZIP_EXTRA_FIELD_NEW,
                                 field.data(), static_cast<zip_uint16_t>(field.size()),
                                 ZIP_FL_LOCAL | ZIP_FL_CENTRAL);
    }
    return true;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// Adds the files to an existing archive with libzip, which copies the
// entries kept into a new temporary archive that takes the archive's place
// once it is on the disk (OpenForRewriting). A file that fails while libzip
// writes makes the whole write fail; it is then left out and the archive
// written again from the start.
void AddToArchive(const std::string& archiveHost, const std::string& archiveName,
                  const std::vector<const SourceFile*>& files,
                  const std::vector<Prepared>& prepared,
                  const std::vector<std::string>& linkTargets, WriteOutcome& outcome) {
    const auto notStored = [&outcome](std::size_t i) {
        return outcome.fates[i] == FileFate::NotStored;
    };
    for (;;) {
        // Declared first: the archive's sources use it until it is closed.
        PackingAhead packing;
        int code = 0;
        int systemError = 0;
        zip_t* archive = OpenForRewriting(archiveHost, code, systemError);
        if (archive == nullptr) {
            outcome.archive = Result<void>::Failure(
                "can't open zip archive '" + archiveName + "': " +
                (systemError != 0 && code == ZIP_ER_OPEN ? ErrnoText(systemError)
                                                         : ZipErrorText(code)));
            return;
        }
        if (EncryptingEntries() &&
            zip_set_default_password(archive, EntryPassword().c_str()) != 0) {
            outcome.archive = Result<void>::Failure("can't open zip archive '" + archiveName +
                                                    "': " + zip_strerror(archive));
            zip_discard(archive);
            return;
        }
        EncryptWhenPacking(EncryptingEntries());
        // Never resized, so the archive's sources may point into it.
        std::vector<EntryState> states(files.size());
        std::vector<EntryState*> packed;
        for (size_t i = 0; i < files.size(); ++i) {
            if (notStored(i))
                continue;
            std::string problem;
            const std::string* linkTarget =
                prepared[i].link == kNoLink ? nullptr : &linkTargets[prepared[i].link];
            if (!AddEntry(archive, *files[i], prepared[i], linkTarget, packing, states[i],
                          problem)) {
                outcome.fates[i] = FileFate::NotStored;
                outcome.problems.push_back("can't add '" + files[i]->WindowsPath() +
                                           "': " + problem + " (not stored)");
            } else if (prepared[i].packAhead) {
                packed.push_back(&states[i]);
            }
        }
        QueueForPacking(packing, std::move(packed));
        packing.Start();
        const bool closed = zip_close(archive) == 0;
        // Every worker has finished with the read states once it stops.
        packing.Stop();
        if (closed) {
            for (size_t i = 0; i < files.size(); ++i)
                if (!notStored(i) && states[i].read.changed)
                    outcome.fates[i] = FileFate::StoredWhileChanging;
            break;
        }
        bool leftOut = false;
        for (size_t i = 0; i < files.size(); ++i) {
            if (states[i].read.failed && !notStored(i)) {
                outcome.fates[i] = FileFate::NotStored;
                outcome.problems.push_back(NotReadProblem(*files[i], states[i].read.failure));
                leftOut = true;
            }
        }
        if (!leftOut) {
            outcome.archive = Result<void>::Failure("can't close zip archive '" + archiveName +
                                                    "': " + zip_strerror(archive));
            zip_discard(archive);
            return;
        }
        zip_discard(archive);
        for (size_t i = 0; i < files.size(); ++i)
            if (states[i].read.fd >= 0)
                close(states[i].read.fd);
    }
}

} // namespace

WriteOutcome WriteArchive(const std::string& archiveHost, const std::string& archiveName,
                          const std::vector<const SourceFile*>& files) {
    WriteOutcome outcome;
    outcome.fates.assign(files.size(), FileFate::Stored);
    std::vector<Prepared> prepared;
    std::vector<std::string> linkTargets;
    prepared.reserve(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        prepared.push_back(Prepare(*files[i], linkTargets));
        if (!prepared.back().readable) {
            outcome.fates[i] = FileFate::NotStored;
            outcome.problems.push_back(NotReadProblem(*files[i], prepared.back().failure));
        }
    }
    if (Exists(archiveHost)) {
        // Flushed to disk before it replaces the archive, and the folder after.
        AddToArchive(archiveHost, archiveName, files, prepared, linkTargets, outcome);
        return outcome;
    }
    WriteNewArchive(archiveHost, archiveName, files, prepared, linkTargets, outcome);
    if (!outcome.archive)
        return outcome;
    int error = 0;
    if (!FlushFileAndFolder(archiveHost, error)) {
        outcome.archive = Result<void>::Failure("can't flush zip archive '" + archiveName +
                                                "' to disk: " + ErrnoText(error));
    }
    return outcome;
}

} // namespace rk::tools
