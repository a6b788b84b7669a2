// rkbak: the program. Its argument text is the arguments joined by single
// spaces; Main chooses the life from it.

#include "app/main.h"
#include "engine/tool_runner.h"
#include "jobs/frm_main.h"
#include "platform/drive_map.h"
#include "platform/system_folders.h"
#include "rkbak/lives.h"
#include "rkbak/quit_on_signal.h"
#include "ui/headless_seam.h"
#include "ui/qt_seam.h"
#include "ui/seam.h"

#include <QApplication>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

namespace {

std::string ArgumentText(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            text += ' ';
        text += argv[i];
    }
    return text;
}

// From cron or a systemd timer there is no display: Qt then starts on its
// offscreen platform instead of aborting. True when it was chosen here.
bool ChoosePlatformWithoutDisplay() {
    const bool hasDisplay =
        std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
    if (hasDisplay || std::getenv("QT_QPA_PLATFORM") != nullptr)
        return false;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return true;
}

// Nobody can see a window on these platforms.
bool PersonPresent() {
    const QString platform = QGuiApplication::platformName();
    return platform != "offscreen" && platform != "minimal";
}

} // namespace

int main(int argc, char** argv) {
    const std::string argumentText = ArgumentText(argc, argv);
    const bool platformChosenForLackOfDisplay = ChoosePlatformWithoutDisplay();

    rk::platform::ReloadDriveMap();
    if (const std::string error = rk::platform::DriveMapError(); !error.empty()) {
        std::cerr << "rkbak: " << error << '\n';
        return rk::app::ExitUnusable;
    }

    QApplication application(argc, argv);
    // The desktop entry installed with the program: its name and icon.
    QGuiApplication::setDesktopFileName("ravelkeep");
    // Without a person every message becomes a line on standard error and no
    // question ever waits for an answer.
    const bool personPresent = PersonPresent();
    rk::ui::QtSeam qtSeam;
    rk::ui::HeadlessSeam headlessSeam(std::cerr);
    rk::ui::SeamScope seamScope(personPresent ? static_cast<rk::ui::Seam&>(qtSeam)
                                              : static_cast<rk::ui::Seam&>(headlessSeam));
    // While a utility runs the window keeps repainting but takes no input.
    rk::SetToolWaitHook(
        [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 40); });

    std::unique_ptr<rk::jobs::frmMain> mainWindow;
    rk::app::MainContext context;
    context.programFolderHost = rk::platform::ProgramFolderHost();
    context.personPresent = personPresent;
    // A platform without a display named on purpose (QT_QPA_PLATFORM) still
    // gets the main window; one chosen here for want of a display does not.
    context.windowWithoutDisplayRequested = !personPresent && !platformChosenForLackOfDisplay;
    context.lives = rk::MakeLives(mainWindow, personPresent);

    const rk::app::MainOutcome outcome = rk::app::Main(argumentText, context);
    if (!outcome.interactive)
        return outcome.exitCode;
    rk::QuitEventLoopOnSignals();
    return QApplication::exec();
}
