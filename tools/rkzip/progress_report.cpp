#include "tools/rkzip/progress_report.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace rk::tools {

namespace {

struct Channel {
    int fd = -1;
    std::uint64_t filesTotal = 0;
    std::uint64_t bytesTotal = 0;
    std::atomic<std::uint64_t> filesDone{0};
    std::atomic<std::uint64_t> bytesDone{0};
    std::atomic<std::int64_t> nextLineAt{0}; // steady clock, milliseconds
    std::mutex writing;
};

Channel& TheChannel() {
    static Channel channel;
    return channel;
}

constexpr std::int64_t kLineIntervalMs = 100;

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The descriptor the environment names, when it is an open one above the
// standard three.
int ChannelFromEnvironment() {
    const char* text = std::getenv("RKZIP_PROGRESS_FD");
    if (text == nullptr || *text == '\0')
        return -1;
    char* end = nullptr;
    errno = 0;
    const long fd = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || fd < 3 || fd > 65535)
        return -1;
    const int flags = fcntl(static_cast<int>(fd), F_GETFD);
    if (flags < 0)
        return -1;
    fcntl(static_cast<int>(fd), F_SETFD, flags | FD_CLOEXEC);
    return static_cast<int>(fd);
}

void WriteLine(Channel& channel) {
    const std::uint64_t files = channel.filesDone.load(std::memory_order_relaxed);
    const std::uint64_t bytes = channel.bytesDone.load(std::memory_order_relaxed);
    char line[128];
    const int length = std::snprintf(
        line, sizeof line, "rkzip-progress %llu %llu %llu %llu\n",
        static_cast<unsigned long long>(files < channel.filesTotal ? files : channel.filesTotal),
        static_cast<unsigned long long>(channel.filesTotal),
        static_cast<unsigned long long>(bytes < channel.bytesTotal ? bytes : channel.bytesTotal),
        static_cast<unsigned long long>(channel.bytesTotal));
    if (length <= 0)
        return;
    // A reader that went away ends the reporting, never the run.
    if (write(channel.fd, line, static_cast<std::size_t>(length)) < 0 && errno == EPIPE) {
        close(channel.fd);
        channel.fd = -1;
    }
}

void MaybeWriteLine() {
    Channel& channel = TheChannel();
    if (channel.fd < 0)
        return;
    const std::int64_t now = NowMs();
    std::int64_t due = channel.nextLineAt.load(std::memory_order_relaxed);
    if (now < due || !channel.nextLineAt.compare_exchange_strong(due, now + kLineIntervalMs))
        return;
    const std::lock_guard<std::mutex> lock(channel.writing);
    if (channel.fd >= 0)
        WriteLine(channel);
}

} // namespace

void StartProgress(std::uint64_t filesTotal, std::uint64_t bytesTotal) {
    Channel& channel = TheChannel();
    channel.fd = ChannelFromEnvironment();
    if (channel.fd < 0)
        return;
    // A closed channel must not end the run by SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    channel.filesTotal = filesTotal;
    channel.bytesTotal = bytesTotal;
    channel.nextLineAt.store(NowMs() + kLineIntervalMs);
    const std::lock_guard<std::mutex> lock(channel.writing);
    WriteLine(channel);
}

void AddProgressBytes(std::size_t bytes) {
    TheChannel().bytesDone.fetch_add(bytes, std::memory_order_relaxed);
    MaybeWriteLine();
}

void AddProgressFile() {
    TheChannel().filesDone.fetch_add(1, std::memory_order_relaxed);
    MaybeWriteLine();
}

void TakeBackProgress(std::size_t bytes, bool file) {
    Channel& channel = TheChannel();
    channel.bytesDone.fetch_sub(bytes, std::memory_order_relaxed);
    if (file)
        channel.filesDone.fetch_sub(1, std::memory_order_relaxed);
}

void FinishProgress() {
    Channel& channel = TheChannel();
    const std::lock_guard<std::mutex> lock(channel.writing);
    if (channel.fd < 0)
        return;
    WriteLine(channel);
    close(channel.fd);
    channel.fd = -1;
}

} // namespace rk::tools
