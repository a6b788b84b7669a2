#pragma once
// The names held by backup archives, as the unzip utility lists them, merged
// into one list of distinct file names, each remembering the archives that
// hold it.

#include "engine/stored_file.h"
#include "engine/tool_runner.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace rk {

struct Installation;

// The merged file list: one CStoredFile per distinct name, the key being the
// name with letter case ignored, kept in the order names were first met.
class MergedFileList {
  public:
    // The entry stored under the key of `name`; a new one named `name` when
    // the key is not there yet. Its name may be set to another spelling of
    // the same key, never to another key.
    CStoredFile& Entry(std::string_view name);
    // The entry under the key of `name`, or nothing.
    const CStoredFile* Find(std::string_view name) const;

    const std::vector<CStoredFile>& Entries() const { return entries_; }
    std::size_t Count() const { return entries_.size(); }

  private:
    // The slot of the name's entry, or the empty slot where it belongs.
    std::size_t SlotOf(std::string_view name, std::size_t hash) const;
    void Grow();

    std::vector<CStoredFile> entries_;
    // An open-addressed table over the entries, never more than half full:
    // each slot holds the hash of a key and its entry's number plus one (0
    // for an empty slot). Keys are not kept apart: an entry's name is its key
    // with letter case ignored.
    struct Slot {
        std::size_t hash = 0;
        std::uint32_t entry = 0;
    };
    std::vector<Slot> slots_;
    std::string key_; // room for the key of the name looked up
};

// The fields of a listing file's text: a comma or a line end (CR LF, LF or CR)
// ends a field; blanks before a field are skipped; a field that begins with a
// double quote runs to the next double quote, without the quotes (whatever
// follows up to the next comma or line end is dropped). Empty fields name no
// file and are left out.
std::vector<std::string> ListingFields(std::string_view text);
// The same fields, handed over one by one as they are found.
void ForEachListingField(std::string_view text,
                         const std::function<void(std::string_view field)>& take);

// Runs the installation's unzip utility to write the names stored in the
// archive into the listing file, and waits for it. A path that cannot go into
// the command line starts nothing: the outcome then says why. Whatever the
// name held before is removed first (a link is removed, never followed); a
// run that fails leaves no listing file. The caller removes the listing once
// it has read it.
ToolOutcome WriteArchiveListing(const Installation& installation, const std::string& archivePath,
                                const std::string& listingPath);

// True when a listing run made its listing: started, exit code 0, file there.
bool ListingMade(const ToolOutcome& outcome, const std::string& listingPath);

// Merges one listing file into the list: each name gets (or finds) its
// entry, takes that name's spelling and the archive as one more source.
// False, with nothing added, when the listing file cannot be read.
bool ReadArchiveListing(MergedFileList& files, const std::string& archivePath,
                        const std::string& listingPath);

// Deletes the file; every failure, a missing file included, is ignored.
void DeleteFileQuietly(const std::string& path);

// Where a list file of the program lives: in the installation's program
// folder when it is
// this user's and nobody else can write into it, else in the private
// temporary folder (an installation owned by someone else, or shared); empty
// text when neither can be had.
std::string ProgramListFilePath(const Installation& installation, std::string_view fileName);

} // namespace rk
