#include "tools/rkzip/source_file.h"

namespace rk::tools {

ChangeStamp StampOf(const struct stat& info) {
    ChangeStamp stamp;
    stamp.ctimeNs = static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1000000000 +
                    static_cast<std::int64_t>(info.st_ctim.tv_nsec);
    stamp.size = static_cast<std::uint64_t>(info.st_size);
    stamp.inode = static_cast<std::uint64_t>(info.st_ino);
    return stamp;
}

} // namespace rk::tools
