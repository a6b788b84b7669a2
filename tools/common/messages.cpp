#include "tools/common/messages.h"

#include <cstdio>
#include <cstring>
#include <zip.h>

namespace rk::tools {

namespace {
std::string& NameHolder() {
    static std::string name = "rk";
    return name;
}
} // namespace

void SetToolName(std::string_view name) {
    NameHolder() = std::string(name);
}

void Report(std::string_view text) {
    std::string line = NameHolder();
    line += ": ";
    line += text;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

std::string ErrnoText(int error) {
    // The reentrant form: rkunzip's workers name errors at the same time.
    char buffer[256];
    return strerror_r(error, buffer, sizeof buffer);
}

std::string ZipErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

} // namespace rk::tools
