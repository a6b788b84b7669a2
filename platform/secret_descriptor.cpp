#include "platform/secret_descriptor.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>

namespace rk::platform {

namespace {

// Descriptors below this one are the targets a started process receives
// (standard streams, the progress channel, the password channel).
constexpr int kLowestKept = 10;

bool WriteWhole(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(descriptor, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

} // namespace

Result<SecretDescriptor> SecretDescriptor::Holding(std::string_view bytes) {
    const int made = memfd_create("ravelkeep-password", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (made < 0)
        return Result<SecretDescriptor>::Failure(
            std::string("no memory file for the password could be made: ") + std::strerror(errno));
    const int descriptor = fcntl(made, F_DUPFD_CLOEXEC, kLowestKept);
    const int error = errno;
    close(made);
    if (descriptor < 0)
        return Result<SecretDescriptor>::Failure(
            std::string("no memory file for the password could be made: ") + std::strerror(error));
    SecretDescriptor held(descriptor);
    if (!WriteWhole(descriptor, bytes) ||
        fcntl(descriptor, F_ADD_SEALS, F_SEAL_WRITE | F_SEAL_GROW | F_SEAL_SHRINK | F_SEAL_SEAL) !=
            0 ||
        lseek(descriptor, 0, SEEK_SET) != 0)
        return Result<SecretDescriptor>::Failure(
            std::string("the password could not be handed over: ") + std::strerror(errno));
    return held;
}

SecretDescriptor::SecretDescriptor(SecretDescriptor&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)) {}

SecretDescriptor& SecretDescriptor::operator=(SecretDescriptor&& other) noexcept {
    if (this != &other) {
        if (descriptor_ >= 0)
            close(descriptor_);
        descriptor_ = std::exchange(other.descriptor_, -1);
    }
    return *this;
}

SecretDescriptor::~SecretDescriptor() {
    if (descriptor_ >= 0)
        close(descriptor_);
}

} // namespace rk::platform
