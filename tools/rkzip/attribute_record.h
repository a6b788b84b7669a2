#pragma once
// The archive attribute record of one archive folder: an SQLite database
// ".rkzip-state" beside the archives, holding for each file backed up into
// that folder (keyed by its host path) the change stamp seen when it was
// read. A file has the archive attribute when the record holds no stamp for
// it or a different one.

#include "tools/rkzip/source_file.h"

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace rk::tools {

inline constexpr const char* kRecordFileName = ".rkzip-state";

class AttributeRecord {
  public:
    explicit AttributeRecord(std::string folderHost);

    // Every stamp held; an empty map when there is no record yet. False (and
    // `error`) when a record exists but cannot be read.
    bool Load(std::unordered_map<std::string, ChangeStamp>& stamps, std::string& error) const;

    // Clears the attribute of the given files by recording their stamps, in
    // one transaction. With `replaceAll`, stamps of every other file are
    // dropped first (a full backup of the folder's job).
    bool Clear(const std::vector<std::pair<std::string, ChangeStamp>>& stamps, bool replaceAll,
               std::string& error) const;

    std::string path() const;

  private:
    std::string folderHost_;
};

} // namespace rk::tools
