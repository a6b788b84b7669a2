#pragma once
// A private rclone configuration for one test: a file in the sandbox named by
// RCLONE_CONFIG while the test runs, so rclone never reads or writes the
// user's own. Remotes are added to it as the test needs them.

#include "support/saved_environment.h"

#include <filesystem>
#include <string>

namespace rk::test {

class PrivateRcloneConfig {
  public:
    // The file `file` (host path) is made empty and named by RCLONE_CONFIG.
    explicit PrivateRcloneConfig(const std::filesystem::path& file);

    // A remote of type "local": NAME:/some/folder is that host folder.
    void AddLocalRemote(const std::string& name) const;
    // A WebDAV remote at `url` ("http://127.0.0.1:PORT/"); replaces one of
    // the same name.
    void AddWebDavRemote(const std::string& name, const std::string& url) const;

    const std::filesystem::path& file() const { return file_; }

  private:
    void Replace(const std::string& name, const std::string& body) const;
    std::filesystem::path file_;
    SavedEnvironment environment_;
};

// Whether rclone is installed (the tests that need it are skipped without).
bool HaveRclone();

// The port "rclone serve webdav" says it listens on in its log
// ("http://127.0.0.1:PORT/"); empty while it has not said so.
std::string ServedPort(const std::string& log);

} // namespace rk::test
