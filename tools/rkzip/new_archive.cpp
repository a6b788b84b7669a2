#include "tools/rkzip/new_archive.h"

#include "tools/common/messages.h"
#include "tools/rkzip/archive_lock.h"
#include "tools/rkzip/archive_output.h"
#include "tools/rkzip/entry_encryption.h"
#include "tools/rkzip/packing_ahead.h"
#include "tools/rkzip/streamed_entry.h"
#include "tools/rkzip/zip_records.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rk::tools {

namespace {

// Files read as they are written get zip64 sizes in their local header from
// this size on, so that growing past 4 GiB on the way does not fail them.
constexpr std::uint64_t kZip64SizesFrom = 1ull << 31;

// Moves the finished temporary archive into place, never over an archive
// that appeared meanwhile.
bool MoveIntoPlace(const std::string& temporary, const std::string& archiveHost, int& error) {
    if (renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, archiveHost.c_str(), RENAME_NOREPLACE) ==
        0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
        error = errno;
        return false;
    }
    // A file system that cannot refuse to replace: asked first.
    struct stat info {};
    if (lstat(archiveHost.c_str(), &info) == 0) {
        error = EEXIST;
        return false;
    }
    if (rename(temporary.c_str(), archiveHost.c_str()) != 0) {
        error = errno;
        return false;
    }
    return true;
}

class NewArchiveWriter {
  public:
    NewArchiveWriter(const std::vector<const SourceFile*>& files,
                     const std::vector<Prepared>& prepared,
                     const std::vector<std::string>& linkTargets, WriteOutcome& outcome,
                     ArchiveOutput& out)
        : files_(files), prepared_(prepared), linkTargets_(linkTargets), outcome_(outcome),
          out_(out), records_(files.size()), present_(files.size(), false) {}

    // False when the archive cannot be written; `failure()` says why.
    bool Write();
    int failure() const { return failure_; }

  private:
    bool stored(std::size_t i) const { return outcome_.fates[i] != FileFate::NotStored; }
    void WriteFolder(std::size_t i, const std::string& name);
    void WriteLink(std::size_t i, const std::string& name);
    bool WriteStreamed(std::size_t i, const std::string& name, FileReadState& read, bool deflate);
    void WriteHeader(std::size_t i, const std::string& name);
    void NotStored(std::size_t i, int error);
    void WriteCentralDirectory();

    const std::vector<const SourceFile*>& files_;
    const std::vector<Prepared>& prepared_;
    const std::vector<std::string>& linkTargets_;
    WriteOutcome& outcome_;
    ArchiveOutput& out_;
    std::vector<EntryRecord> records_;
    std::vector<bool> present_;
    std::vector<unsigned char> header_;
    PackingAhead packing_;
    int failure_ = 0;
};

void NewArchiveWriter::WriteHeader(std::size_t i, const std::string& name) {
    header_.clear();
    AppendLocalHeader(header_, records_[i], name);
    out_.Append(header_);
}

void NewArchiveWriter::NotStored(std::size_t i, int error) {
    outcome_.fates[i] = FileFate::NotStored;
    outcome_.problems.push_back(NotReadProblem(*files_[i], error));
}

void NewArchiveWriter::WriteFolder(std::size_t i, const std::string& name) {
    WriteHeader(i, name);
    present_[i] = true;
}

// A link's target is stored plain even when the run encrypts: like the
// entries' names it stays readable, and bsdtar restores no link whose target
// is encrypted.
void NewArchiveWriter::WriteLink(std::size_t i, const std::string& name) {
    const std::string& target = linkTargets_[prepared_[i].link];
    EntryRecord& record = records_[i];
    record.size = target.size();
    record.compressedSize = target.size();
    record.crc = static_cast<std::uint32_t>(libdeflate_crc32(0, target.data(), target.size()));
    WriteHeader(i, name);
    out_.Append(target.data(), target.size());
    present_[i] = true;
}

bool NewArchiveWriter::WriteStreamed(std::size_t i, const std::string& name, FileReadState& read,
                                     bool deflate) {
    EntryRecord& record = records_[i];
    record.zip64Sizes = files_[i]->stamp.size >= kZip64SizesFrom;
    record.deflated = deflate;
    // Its local header says so before its data.
    record.encrypted = EncryptingEntries();
    WriteHeader(i, name);
    switch (StreamFile(read, deflate, out_, record)) {
    case Streamed::Written:
        out_.Patch(record.offset + LocalCrcOffset(), LocalCrcAndSizes(record));
        if (record.zip64Sizes)
            out_.Patch(record.offset + LocalZip64SizesOffset(name), LocalZip64Sizes(record));
        present_[i] = true;
        return true;
    case Streamed::ReadFailed:
        out_.CutTo(record.offset);
        NotStored(i, read.failure);
        return true;
    case Streamed::TooLarge:
        out_.CutTo(record.offset);
        NotStored(i, EFBIG);
        return true;
    case Streamed::OutputFailed:
        failure_ = out_.ok() ? ENOMEM : out_.error();
        return false;
    }
    return false;
}

bool NewArchiveWriter::Write() {
    // The files packed ahead, in the order their entries are written.
    std::size_t packedCount = 0;
    for (std::size_t i = 0; i < files_.size(); ++i)
        if (stored(i) && prepared_[i].packAhead)
            ++packedCount;
    std::vector<FileReadState> reads(packedCount);
    packing_.Reserve(packedCount);
    {
        std::size_t next = 0;
        for (std::size_t i = 0; i < files_.size(); ++i)
            if (stored(i) && prepared_[i].packAhead) {
                reads[next].file = files_[i];
                reads[next].storeAsItIs = prepared_[i].storeAsItIs;
                packing_.Add(reads[next++]);
            }
    }
    // This writer stores what the packing threads give as it is: they
    // encrypt it when the run encrypts.
    EncryptWhenPacking(EncryptingEntries());
    packing_.Start();

    std::size_t job = 0;
    for (std::size_t i = 0; i < files_.size() && out_.ok(); ++i) {
        if (!stored(i))
            continue;
        const SourceFile& file = *files_[i];
        EntryRecord& record = records_[i];
        record.offset = out_.offset();
        record.externalAttributes = ExternalAttributes(file);
        SetTimes(record, file.mtime);
        const std::string name = file.StoredName();
        if (file.kind == SourceKind::Folder) {
            WriteFolder(i, name);
            continue;
        }
        if (file.kind == SourceKind::Link) {
            WriteLink(i, name);
            continue;
        }
        if (!prepared_[i].packAhead) {
            FileReadState read;
            read.file = &file;
            if (!WriteStreamed(i, name, read, prepared_[i].deflate))
                return false;
            if (read.changed)
                outcome_.fates[i] = FileFate::StoredWhileChanging;
            continue;
        }
        FileReadState& read = reads[job];
        const PackedEntry& packed = packing_.Wait(job);
        switch (packed.outcome) {
        case PackedEntry::Outcome::Ready:
            record.deflated = packed.deflated;
            record.encrypted = packed.encrypted;
            record.crc = packed.crc;
            record.size = packed.size;
            record.compressedSize = packed.bytes.size();
            WriteHeader(i, name);
            out_.Append(packed.bytes.data(), packed.bytes.size());
            present_[i] = true;
            break;
        case PackedEntry::Outcome::Failed:
            // Read, but not encrypted: left out as a file not read is.
            NotStored(i, read.failure != 0 ? read.failure : EIO);
            break;
        case PackedEntry::Outcome::TooLarge:
            // It grew past what is packed in memory: read again as it is
            // written.
            if (!WriteStreamed(i, name, read, !read.storeAsItIs))
                return false;
            break;
        case PackedEntry::Outcome::Stopped:
            failure_ = ECANCELED;
            return false;
        }
        packing_.Release(job);
        ++job;
        if (read.changed && outcome_.fates[i] != FileFate::NotStored)
            outcome_.fates[i] = FileFate::StoredWhileChanging;
    }
    packing_.Stop();
    if (!out_.ok()) {
        failure_ = out_.error();
        return false;
    }
    WriteCentralDirectory();
    out_.Flush();
    if (!out_.ok()) {
        failure_ = out_.error();
        return false;
    }
    return true;
}

void NewArchiveWriter::WriteCentralDirectory() {
    const std::uint64_t directoryOffset = out_.offset();
    std::uint64_t entries = 0;
    std::vector<unsigned char> bytes;
    for (std::size_t i = 0; i < files_.size(); ++i) {
        if (!present_[i])
            continue;
        bytes.clear();
        AppendCentralRecord(bytes, records_[i], files_[i]->StoredName());
        out_.Append(bytes);
        ++entries;
    }
    bytes.clear();
    AppendEndRecords(bytes, entries, directoryOffset, out_.offset() - directoryOffset);
    out_.Append(bytes);
}

} // namespace

void WriteNewArchive(const std::string& archiveHost, const std::string& archiveName,
                     const std::vector<const SourceFile*>& files,
                     const std::vector<Prepared>& prepared,
                     const std::vector<std::string>& linkTargets, WriteOutcome& outcome) {
    std::string temporary;
    const int fd = MakeTemporaryArchive(archiveHost, temporary);
    if (fd < 0) {
        outcome.archive = Result<void>::Failure("can't open zip archive '" + archiveName +
                                                "': " + ErrnoText(errno));
        return;
    }
    int error = 0;
    bool written = false;
    {
        ArchiveOutput out(fd);
        NewArchiveWriter writer(files, prepared, linkTargets, outcome, out);
        written = writer.Write();
        error = writer.failure();
    }
    if (written && fsync(fd) != 0) {
        written = false;
        error = errno;
    }
    if (close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && !MoveIntoPlace(temporary, archiveHost, error))
        written = false;
    if (!written) {
        unlink(temporary.c_str());
        outcome.archive = Result<void>::Failure("can't write zip archive '" + archiveName +
                                                "': " + ErrnoText(error));
    }
}

} // namespace rk::tools
