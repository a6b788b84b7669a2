// Finding the session bus as a scheduled run must: from the variables when
// they are there, else the user's own bus socket under /run/user.

#include "platform/session_bus.h"
#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace rk::platform {
namespace {

namespace fs = std::filesystem;

// A listening socket at the path, closed when the test ends.
class BusSocket {
  public:
    explicit BusSocket(const fs::path& path) {
        fs::create_directories(path.parent_path());
        fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string text = path.string();
        text.copy(address.sun_path, sizeof address.sun_path - 1);
        bound_ =
            fd_ >= 0 && bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~BusSocket() {
        if (fd_ >= 0)
            close(fd_);
    }
    BusSocket(const BusSocket&) = delete;
    BusSocket& operator=(const BusSocket&) = delete;
    bool bound() const { return bound_; }

  private:
    int fd_ = -1;
    bool bound_ = false;
};

TEST(SessionBus, TheVariablesFirstThenTheUsersOwnSocket) {
    rk::test::Sandbox box;
    const fs::path runtime = box.root() / "runtime";
    const fs::path userRun = box.root() / "run-user";
    const uid_t me = getuid();
    fs::create_directories(runtime);
    fs::create_directories(userRun);

    // Nothing anywhere: no bus.
    EXPECT_EQ(SessionBusAddressFrom(nullptr, nullptr, userRun.string(), me), std::nullopt);
    EXPECT_EQ(SessionBusAddressFrom("", runtime.c_str(), userRun.string(), me), std::nullopt);

    // The user's socket, as cron leaves it (neither variable set).
    const BusSocket userBus(userRun / "bus");
    ASSERT_TRUE(userBus.bound());
    EXPECT_EQ(SessionBusAddressFrom(nullptr, nullptr, userRun.string(), me),
              "unix:path=" + (userRun / "bus").string());
    // Someone else's socket is not taken.
    EXPECT_EQ(SessionBusAddressFrom(nullptr, nullptr, userRun.string(), me + 1), std::nullopt);

    // XDG_RUNTIME_DIR's socket comes before it; the variable before both.
    const BusSocket runtimeBus(runtime / "bus");
    ASSERT_TRUE(runtimeBus.bound());
    EXPECT_EQ(SessionBusAddressFrom(nullptr, runtime.c_str(), userRun.string(), me),
              "unix:path=" + (runtime / "bus").string());
    EXPECT_EQ(SessionBusAddressFrom("unix:path=/x", runtime.c_str(), userRun.string(), me),
              "unix:path=/x");
    // A relative XDG_RUNTIME_DIR is not used.
    EXPECT_EQ(SessionBusAddressFrom(nullptr, "runtime", (box.root() / "none").string(), me),
              std::nullopt);
}

TEST(SessionBus, OnlyASocketCounts) {
    rk::test::Sandbox box;
    const fs::path userRun = box.root() / "run-user";
    box.write(userRun / "bus", "a file, not a socket");
    EXPECT_EQ(SessionBusAddressFrom(nullptr, nullptr, userRun.string(), getuid()), std::nullopt);

    // A link to a socket in the user's folder is not the user's socket.
    const fs::path other = box.root() / "other";
    const BusSocket elsewhere(other / "bus");
    ASSERT_TRUE(elsewhere.bound());
    const fs::path linked = box.root() / "linked";
    fs::create_directories(linked);
    fs::create_symlink(other / "bus", linked / "bus");
    EXPECT_EQ(SessionBusAddressFrom(nullptr, nullptr, linked.string(), getuid()), std::nullopt);
}

} // namespace
} // namespace rk::platform
