#pragma once
// Writing below the destination folder and nowhere else. Every folder on the
// way is opened without following links, so an entry can never be written
// through a symbolic link (one made by an earlier entry included); files are
// written under a temporary name and put in place without replacing what is
// there, unless asked to.

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>
#include <zip.h>

namespace rk::tools {

enum class PlaceResult { Written, Existed, Refused, Failed };

struct FileAttributes {
    mode_t mode = 0644;
    std::int64_t mtime = 0;
    unsigned dosBits = 0; // hidden and system bits to record, if any
};

class Destination {
  public:
    Destination() = default;
    ~Destination();
    Destination(const Destination&) = delete;
    Destination& operator=(const Destination&) = delete;

    // Opens the destination folder, making it and its parents when missing.
    // Each worker writing into the same destination has its own number, so
    // their temporary names never meet.
    bool Open(const std::string& host, std::string& error, unsigned worker = 0);
    const std::string& host() const { return host_; }

    // The folder below the destination for these components, made when
    // missing; -1 when refused or failed (`problem` says why).
    int Folder(const std::vector<std::string>& components, size_t count, std::string& problem);

    // Writes the open entry `reader` as file `name` in `folderFd`.
    PlaceResult WriteFile(int folderFd, const std::string& name, zip_file_t* reader,
                          const FileAttributes& attributes, bool replace, std::string& problem);
    // Makes the link `name` in `folderFd` pointing at `target`.
    PlaceResult MakeLink(int folderFd, const std::string& name, const std::string& target,
                         bool replace, std::string& problem);
    // True when `name` exists in `folderFd` (links are not followed).
    static bool Exists(int folderFd, const std::string& name);

  private:
    std::string NextTemporaryName();
    PlaceResult PutInPlace(int folderFd, const std::string& temporary, const std::string& name,
                           bool replace, std::string& problem);

    std::string host_;
    int root_ = -1;
    std::map<std::string, int> folders_;
    unsigned counter_ = 0;
    std::string temporaryPrefix_; // names this run's temporary files
    mode_t umask_ = 022;
    std::vector<char> buffer_;
};

} // namespace rk::tools
