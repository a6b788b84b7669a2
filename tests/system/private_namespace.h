#pragma once
// The private mount namespace a system test runs in: the folders the real
// cron, systemd user manager and session bus use (/run, the crontab spool,
// root's home) are covered by empty file systems of the test's own, so
// nothing of the machine's is read or changed, and every mount goes when the
// test process ends.

#include <optional>
#include <string>

namespace rk::test {

// Moves this process into a new mount namespace whose mounts do not
// propagate back; the reason when it cannot (it needs root). Must be called
// while the process has one thread.
std::optional<std::string> EnterPrivateMountNamespace();

// Mounts an empty tmpfs over `folder` (which must exist), with mount options
// such as "mode=0755"; the reason when it cannot.
std::optional<std::string> MountEmptyFolder(const std::string& folder,
                                            const std::string& options = "mode=0755");

// Mounts `source` (a file or folder) over `target` as well; the reason when
// it cannot.
std::optional<std::string> BindMount(const std::string& source, const std::string& target);

// Mounts cgroup2 over `folder`; the reason when it cannot.
std::optional<std::string> MountCgroup2(const std::string& folder);

// Unmounts `target`; the reason when it cannot.
std::optional<std::string> Unmount(const std::string& target);

} // namespace rk::test
