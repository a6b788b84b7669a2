#include "tools/rkzip/source_file.h"

#include "tools/common/stored_names.h"

namespace rk::tools {

ChangeStamp StampOf(const struct stat& info) {
    ChangeStamp stamp;
    stamp.ctimeNs = static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1000000000 +
                    static_cast<std::int64_t>(info.st_ctim.tv_nsec);
    stamp.size = static_cast<std::uint64_t>(info.st_size);
    stamp.inode = static_cast<std::uint64_t>(info.st_ino);
    return stamp;
}

std::string JoinHost(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    return folder.back() == '/' ? folder + name : folder + '/' + name;
}

std::string JoinWindows(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    return folder.back() == '\\' ? folder + name : folder + '\\' + name;
}

std::string SourceFile::HostPath() const {
    return name.empty() ? place->host : JoinHost(place->host, name);
}

std::string SourceFile::WindowsPath() const {
    return name.empty() ? place->windows : JoinWindows(place->windows, name);
}

std::string SourceFile::StoredName() const {
    std::string stored = name.empty() ? place->stored : JoinStored(place->stored, name);
    if (kind == SourceKind::Folder)
        stored += '/';
    return stored;
}

} // namespace rk::tools
