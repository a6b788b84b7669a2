#include "restore_fixture.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace rk::test {

namespace fs = std::filesystem;

std::vector<std::string> RestoreFixture::StoredNames(const fs::path& archive) {
    return ArchiveNames(archive);
}

std::string RestoreFixture::StoredContent(const fs::path& archive, const std::string& name) {
    return rk::test::Run({"/usr/bin/unzip", "-p", archive.string(), name}).out;
}

Files RestoreFixture::FilesIn(const fs::path& folder) {
    Files files;
    if (!fs::is_directory(folder))
        return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        files[fs::relative(entry.path(), folder).generic_string()] = content.str();
    }
    return files;
}

std::vector<std::string> RestoreFixture::JobArchives() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(job))
        if (entry.path().extension() == ".zip")
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace rk::test
