#pragma once
// The archive attribute record of one archive folder: an SQLite database
// ".rkzip-state" beside the archives, holding for each file backed up into
// that folder (keyed by its host path) the change stamp seen when it was
// read. A file has the archive attribute when the record holds no stamp for
// it or a different one.

#include "platform/result.h"
#include "tools/rkzip/source_file.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rk::tools {

inline constexpr const char* kRecordFileName = ".rkzip-state";

// The stamps of a record by host path: the paths kept end to end in one
// block and found through an open-addressed table, so loading a record of
// many files takes a handful of allocations.
class StampTable {
  public:
    // Room for about `count` paths without growing.
    void Reserve(std::size_t count);
    // Keeps the first stamp given for a path.
    void Add(std::string_view path, const ChangeStamp& stamp);
    // The stamp held for the path, or nothing.
    const ChangeStamp* Find(std::string_view path) const;
    std::size_t size() const { return entries_.size(); }
    void clear();

  private:
    struct Entry {
        std::size_t offset = 0;
        std::size_t length = 0;
        ChangeStamp stamp;
    };
    std::string_view PathOf(const Entry& entry) const {
        return std::string_view(paths_).substr(entry.offset, entry.length);
    }
    // The slot holding the path, or the empty slot where it belongs.
    std::size_t SlotOf(std::string_view path, std::size_t hash) const;
    void Grow(std::size_t slots);

    std::string paths_;
    std::vector<Entry> entries_;
    // Entry number plus one; 0 marks an empty slot. Never more than half full.
    std::vector<std::uint32_t> slots_;
};

class AttributeRecord {
  public:
    explicit AttributeRecord(std::string folderHost);

    // Every stamp held; an empty map when there is no record yet. A failure
    // when a record exists but cannot be read.
    // `expected` is about how many stamps the record holds, for room.
    [[nodiscard]] Result<void> Load(StampTable& stamps, std::size_t expected) const;

    // Clears the attribute of the given files by recording the stamps they
    // had when found, in one transaction. With `replaceAll`, stamps of every
    // other file are dropped first (a full backup of the folder's job).
    [[nodiscard]] Result<void> Clear(const std::vector<const SourceFile*>& files,
                                     bool replaceAll) const;

    std::string path() const;

  private:
    std::string folderHost_;
};

} // namespace rk::tools
