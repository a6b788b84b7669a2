#include "engine/stored_file.h"

#include <limits>

namespace rk {

std::string CStoredFile::ZipSources(std::int16_t index) const {
    if (index < 0 || index >= ZipSourcesCount())
        return {};
    return sources_[static_cast<std::size_t>(index)];
}

void CStoredFile::SetZipSources(std::int16_t index, std::string_view archivePath) {
    if (index < 0 || index >= ZipSourcesCount())
        return;
    sources_[static_cast<std::size_t>(index)] = std::string(archivePath);
}

void CStoredFile::AddZipSource(std::string_view sNewZipSource) {
    if (sources_.size() >= static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max()))
        return;
    sources_.emplace_back(sNewZipSource);
}

} // namespace rk
