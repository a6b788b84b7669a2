#include "ui/help.h"

#include "platform/drive_map.h"
#include "ui/seam.h"

namespace rk::ui {

namespace {
std::string helpFile;
}

void RegisterHelpFile(std::string_view windowsPath) {
    helpFile = std::string(windowsPath);
}

const std::string& HelpFile() {
    return helpFile;
}

void ShowHelp() {
    Current().ShowHelp(platform::ToHostPath(helpFile).value_or(helpFile));
}

} // namespace rk::ui
