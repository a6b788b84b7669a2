#include "engine/stored_file.h"

#include <functional>
#include <mutex>
#include <unordered_set>

namespace rk {

namespace {

struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
        return std::hash<std::string_view>{}(text);
    }
};

// The one kept copy of an archive path. A file list is filled archive by
// archive, so the path asked for last is tried first.
const std::string* KeptPath(std::string_view path) {
    thread_local const std::string* last = nullptr;
    if (last != nullptr && *last == path)
        return last;
    static std::mutex mutex;
    static std::unordered_set<std::string, TextHash, std::equal_to<>> kept;
    std::lock_guard lock(mutex);
    auto found = kept.find(path);
    if (found == kept.end())
        found = kept.emplace(path).first;
    last = &*found;
    return last;
}

} // namespace

std::string CStoredFile::ZipSources(int index) const {
    if (index < 0 || index >= ZipSourcesCount())
        return {};
    return *sources_[static_cast<std::size_t>(index)];
}

void CStoredFile::SetZipSources(int index, std::string_view archivePath) {
    if (index < 0 || index >= ZipSourcesCount())
        return;
    sources_[static_cast<std::size_t>(index)] = KeptPath(archivePath);
}

void CStoredFile::AddZipSource(std::string_view sNewZipSource) {
    sources_.push_back(KeptPath(sNewZipSource));
}

} // namespace rk
