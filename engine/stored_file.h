#pragma once
// One file name found in the listings of a range of backup archives, with the
// archives that hold it, in the order they were added.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rk {

class CStoredFile {
  public:
    // The file name as the listing gave it.
    const std::string& FileName() const { return fileName_; }
    void SetFileName(std::string_view name) { fileName_ = std::string(name); }

    // The full path of the index-th archive that holds the file (from 0).
    // An index outside 0 .. ZipSourcesCount() - 1 gives empty text and is
    // ignored when written.
    std::string ZipSources(std::int16_t index) const;
    void SetZipSources(std::int16_t index, std::string_view archivePath);
    std::int16_t ZipSourcesCount() const { return static_cast<std::int16_t>(sources_.size()); }

    // Appends one archive path. A file held by more than 32767 archives keeps
    // the first 32767.
    void AddZipSource(std::string_view sNewZipSource);

  private:
    std::string fileName_;
    // Archive paths are few and each is held by many files: they are kept
    // once, for the life of the program, and pointed at.
    std::vector<const std::string*> sources_;
};

} // namespace rk
