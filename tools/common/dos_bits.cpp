#include "tools/common/dos_bits.h"

#include <cctype>
#include <cstdio>
#include <string_view>
#include <sys/xattr.h>

namespace rk::tools {

namespace {
constexpr const char* kAttributeName = "user.DOSATTRIB";
}

unsigned ReadDosBits(const std::string& hostPath) {
    char buffer[256];
    const ssize_t length = lgetxattr(hostPath.c_str(), kAttributeName, buffer, sizeof buffer);
    if (length <= 0)
        return 0;
    const std::string_view value(buffer, static_cast<size_t>(length));
    if (value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X')) {
        unsigned bits = 0;
        for (size_t i = 2; i < value.size() && std::isxdigit(static_cast<unsigned char>(value[i]));
             ++i) {
            const int c = std::tolower(static_cast<unsigned char>(value[i]));
            bits = bits * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : c - 'a' + 10);
        }
        return bits;
    }
    if (value.size() >= 8) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(buffer);
        return static_cast<unsigned>(bytes[4]) | static_cast<unsigned>(bytes[5]) << 8;
    }
    return 0;
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
