#include "ui/shell_open.h"

#include "platform/drive_map.h"
#include "ui/seam.h"

namespace rk::ui {

bool ShellOpen(std::string_view windowsPath) {
    const auto hostPath = platform::ToHostPath(windowsPath);
    if (!hostPath)
        return false;
    return Current().OpenInDesktop(*hostPath);
}

} // namespace rk::ui
