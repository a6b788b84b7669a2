#include "tools/rkzip/dos_bits_reading.h"

#include "platform/file_system.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <sys/statfs.h>
#include <sys/xattr.h>

namespace rk::tools {

namespace {

// Overlay file systems answer for each file from the layer it lies in, so
// one file's answer says nothing of the others.
constexpr long kOverlayMagic = 0x794c7630;

// The devices of the file systems without attributes met in this run: a
// handful at most, looked up by every packing thread without a lock.
class AttributelessDevices {
  public:
    bool Holds(dev_t device) const {
        const std::size_t count = count_.load(std::memory_order_acquire);
        for (std::size_t i = 0; i < count; ++i)
            if (devices_[i] == device)
                return true;
        return false;
    }

    void Add(dev_t device) {
        std::lock_guard lock(mutex_);
        const std::size_t count = count_.load(std::memory_order_relaxed);
        if (count == devices_.size() || Holds(device))
            return; // past that many, files are simply asked
        devices_[count] = device;
        count_.store(count + 1, std::memory_order_release);
    }

  private:
    std::array<dev_t, 32> devices_{};
    std::atomic<std::size_t> count_{0};
    std::mutex mutex_;
};

AttributelessDevices& Attributeless() {
    static AttributelessDevices devices;
    return devices;
}

bool Unsupported(int error) {
    return error == ENOTSUP || error == EOPNOTSUPP;
}

// Notes the device as keeping no attributes, unless the answer came from an
// overlay (`fsType`), where it holds for one file only.
void NoteUnsupported(DeviceOf device, long fsType) {
    if (device.known && fsType != kOverlayMagic)
        Attributeless().Add(device.device);
}

unsigned BitsOf(const char* buffer, ssize_t length) {
    if (length <= 0)
        return 0;
    return platform::DosAttributeBitsOfValue(
        std::string_view(buffer, static_cast<std::size_t>(length)));
}

} // namespace

DeviceOf DeviceOfFound(const SourceFile& file) {
    DeviceOf device;
    if (file.onPlaceDevice && file.place != nullptr && file.place->deviceKnown) {
        device.device = file.place->device;
        device.known = true;
    }
    return device;
}

bool KeepsNoAttributes(dev_t device) {
    return Attributeless().Holds(device);
}

unsigned ReadDosBitsOf(int fd, DeviceOf device) {
    if (device.known && KeepsNoAttributes(device.device))
        return 0;
    char buffer[256];
    const ssize_t length = fgetxattr(fd, platform::kDosAttributeName, buffer, sizeof buffer);
    if (length < 0 && Unsupported(errno)) {
        struct statfs system {};
        if (device.known && fstatfs(fd, &system) == 0)
            NoteUnsupported(device, static_cast<long>(system.f_type));
        return 0;
    }
    return BitsOf(buffer, length);
}

unsigned ReadDosBitsAt(const std::string& hostPath, DeviceOf device) {
    if (device.known && KeepsNoAttributes(device.device))
        return 0;
    char buffer[256];
    const ssize_t length =
        lgetxattr(hostPath.c_str(), platform::kDosAttributeName, buffer, sizeof buffer);
    if (length < 0 && Unsupported(errno)) {
        struct statfs system {};
        if (device.known && statfs(hostPath.c_str(), &system) == 0)
            NoteUnsupported(device, static_cast<long>(system.f_type));
        return 0;
    }
    return BitsOf(buffer, length);
}

} // namespace rk::tools
