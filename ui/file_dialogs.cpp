#include "ui/file_dialogs.h"

#include "core/file_checks.h"
#include "core/program_values.h"
#include "core/text.h"
#include "platform/drive_map.h"
#include "ui/seam.h"

#include <vector>

namespace rk::ui {

namespace {

// Step 1: a trailing backslash goes unless the folder is a root like "C:\";
// an empty or missing folder becomes the program folder.
std::string InitialFolder(std::string_view initialFolder) {
    std::string folder(initialFolder);
    if (folder.size() > 3 && folder.back() == '\\')
        folder.pop_back();
    if (folder.empty() || !FolderExists(folder))
        folder = AppFolder;
    return folder;
}

std::vector<FileFilter> ParseFilter(const std::vector<std::string>& pieces, std::int16_t count) {
    std::vector<FileFilter> filters;
    for (std::int16_t i = 1; i + 1 <= count; i = static_cast<std::int16_t>(i + 2))
        filters.push_back(FileFilter{pieces[static_cast<std::size_t>(i)],
                                     pieces[static_cast<std::size_t>(i) + 1]});
    return filters;
}

// The last "."-piece of the first pattern ("*.exe" gives "exe").
std::string DefaultExtensionOf(const std::vector<std::string>& pieces, std::int16_t count) {
    const std::string firstPattern = count >= 2 ? pieces[2] : std::string();
    std::vector<std::string> parts;
    const std::int16_t partCount = SplitString(parts, firstPattern, ".", false);
    return parts[static_cast<std::size_t>(partCount)];
}

// Patterns only Windows programs match.
bool WindowsProgramPattern(const std::string& pattern) {
    for (const char* program : {"*.exe", "*.com", "*.bat", "*.cmd"})
        if (SameText(Trim(pattern), program))
            return true;
    return false;
}

} // namespace

std::size_t InitialFilter(const std::vector<FileFilter>& filters) {
    for (std::size_t i = 0; i < filters.size(); ++i) {
        const std::string pattern = Trim(filters[i].pattern);
        if (pattern == "*.*" || pattern == "*")
            return i;
        if (!WindowsProgramPattern(filters[i].pattern))
            return 0;
    }
    return 0;
}

int ShowFileDialog(std::string& outputPath, std::int16_t mode, QWidget* owner,
                   std::string_view title, std::string_view initialFolder, std::string_view filter,
                   std::optional<std::string_view> defaultExtension) {
    outputPath.clear();
    if (mode != 0 && mode != 1)
        return 0;

    std::vector<std::string> pieces;
    const std::int16_t count = SplitString(pieces, filter, ",", false);

    FileDialogRequest request;
    request.mode = mode == 0 ? FileDialogMode::Open : FileDialogMode::Save;
    request.owner = owner;
    request.title = std::string(title);
    request.initialFolder = platform::ToHostPath(InitialFolder(initialFolder)).value_or("");
    request.filters = ParseFilter(pieces, count);
    request.initialFilter = InitialFilter(request.filters);
    request.defaultSuffix =
        defaultExtension ? std::string(*defaultExtension) : DefaultExtensionOf(pieces, count);

    const std::optional<std::string> chosen = Current().FileDialog(request);
    if (!chosen)
        return 0;
    outputPath = Trim(platform::ToWindowsPath(*chosen));
    return 1;
}

std::string BrowseForFolder(QWidget* owner, std::string_view title,
                            std::string_view initialFolder) {
    std::string start;
    if (!initialFolder.empty())
        start = platform::ToHostPath(initialFolder).value_or("");
    const std::optional<std::string> chosen = Current().FolderDialog(owner, title, start);
    if (!chosen || chosen->empty())
        return {};
    return platform::ToWindowsPath(*chosen);
}

} // namespace rk::ui
