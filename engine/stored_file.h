#pragma once
// One file name found in the listings of a range of backup archives, with the
// archives that hold it, in the order they were added.

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
    std::string ZipSources(int index) const;
    void SetZipSources(int index, std::string_view archivePath);
    int ZipSourcesCount() const { return static_cast<int>(sources_.size()); }

    // Appends one archive path; a file keeps every archive that holds it.
    void AddZipSource(std::string_view sNewZipSource);

  private:
    std::string fileName_;
    // Archive paths are few and each is held by many files: they are kept
    // once, for the life of the program, and pointed at.
    std::vector<const std::string*> sources_;
};

} // namespace rk
