#include "support/rclone_config.h"

#include <fstream>
#include <sstream>
#include <unistd.h>

namespace rk::test {

PrivateRcloneConfig::PrivateRcloneConfig(const std::filesystem::path& file) : file_(file) {
    std::filesystem::create_directories(file_.parent_path());
    std::ofstream(file_, std::ios::trunc).flush();
    environment_.Set("RCLONE_CONFIG", file_.string());
}

void PrivateRcloneConfig::Replace(const std::string& name, const std::string& body) const {
    std::ifstream in(file_);
    std::stringstream kept;
    bool skipping = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] == '[')
            skipping = line == "[" + name + "]";
        if (!skipping)
            kept << line << "\n";
    }
    in.close();
    std::ofstream out(file_, std::ios::trunc);
    out << kept.str() << "[" << name << "]\n" << body << "\n";
}

void PrivateRcloneConfig::AddLocalRemote(const std::string& name) const {
    Replace(name, "type = local\n");
}

void PrivateRcloneConfig::AddWebDavRemote(const std::string& name, const std::string& url) const {
    Replace(name, "type = webdav\nurl = " + url + "\nvendor = other\n");
}

bool HaveRclone() {
    for (const char* folder : {"/usr/bin/rclone", "/usr/local/bin/rclone", "/bin/rclone"})
        if (access(folder, X_OK) == 0)
            return true;
    return false;
}

std::string ServedPort(const std::string& log) {
    const std::string prefix = "http://127.0.0.1:";
    for (std::size_t at = log.find(prefix); at != std::string::npos;
         at = log.find(prefix, at + 1)) {
        const std::size_t first = at + prefix.size();
        std::size_t end = first;
        while (end < log.size() && log[end] >= '0' && log[end] <= '9')
            ++end;
        if (end > first && end < log.size() && log[end] == '/')
            return log.substr(first, end - first);
    }
    return {};
}

} // namespace rk::test
