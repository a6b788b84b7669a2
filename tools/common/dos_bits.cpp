#include "tools/common/dos_bits.h"

#include "platform/file_system.h"

#include <cstdio>
#include <sys/xattr.h>

namespace rk::tools {

namespace {
constexpr const char* kAttributeName = "user.DOSATTRIB";
}

unsigned ReadDosBits(const std::string& hostPath) {
    return platform::ReadDosAttributeBits(hostPath);
}

bool WriteDosBits(int fd, unsigned bits) {
    bits &= kDosHidden | kDosSystem;
    if (bits == 0)
        return true;
    char text[16];
    const int length = std::snprintf(text, sizeof text, "0x%x", bits);
    return fsetxattr(fd, kAttributeName, text, static_cast<size_t>(length), 0) == 0;
}

} // namespace rk::tools
