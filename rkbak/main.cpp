// rkbak: the program. Its argument text is the arguments joined by single
// spaces; Main chooses the life from it.

#include "app/main.h"
#include "app/command_line.h"
#include "core/report_lines.h"
#include "engine/job_passwords.h"
#include "engine/tool_runner.h"
#include "jobs/frm_main.h"
#include "platform/drive_map.h"
#include "platform/system_folders.h"
#include "platform/unattended_run.h"
#include "rkbak/backup_life.h"
#include "rkbak/failure_notification.h"
#include "rkbak/lives.h"
#include "rkbak/password_at_hand.h"
#include "rkbak/quit_on_signal.h"
#include "ui/headless_seam.h"
#include "ui/qt_seam.h"
#include "ui/seam.h"

#include <QApplication>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>

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

// An unattended windowless life shows nothing, so it needs no display: Qt
// starts offscreen unless a platform was named. True when it was chosen here.
bool ChoosePlatformForNobody() {
    if (std::getenv("QT_QPA_PLATFORM") != nullptr)
        return false;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return true;
}

// A windowless life started with a display that is gone (a timer started from
// an old session) must still run: Qt tries the display's platform, then
// offscreen. True when that list was set here.
bool AllowFallbackToNoDisplay() {
    if (std::getenv("QT_QPA_PLATFORM") != nullptr)
        return false;
    setenv("QT_QPA_PLATFORM",
           std::getenv("WAYLAND_DISPLAY") != nullptr ? "wayland;xcb;offscreen" : "xcb;offscreen",
           1);
    return true;
}

// The windowless lives print only their own lines: Qt's remarks (a missing
// XDG_RUNTIME_DIR, a display that cannot be opened) would land in cron mail.
void QuietQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg)
        rk::ReportLine(std::cerr, message.toStdString());
}

// Nobody can see a window on these platforms.
bool PersonPresent() {
    const QString platform = QGuiApplication::platformName();
    return platform != "offscreen" && platform != "minimal";
}

constexpr const char* kUsage =
    "Usage: rkbak                         start the window\n"
    "       rkbak /ib/NAME                make an incremental backup of the job NAME\n"
    "       rkbak /verify/NAME            read every archive of the job NAME back\n"
    "       rkbak /c/START/END/FOLDER     consolidate the archives in FOLDER dated\n"
    "                                     from START to END into one\n"
    "       rkbak /thin/NAME              thin the archives of the job NAME by its\n"
    "                                     keep policy (Keep... in the Job menu)\n"
    "       rkbak --help | --version\n"
    "The windowless actions exit with 0 when they succeeded, 1 when they failed or\n"
    "were incomplete (or the backup disk is not connected), and 2 for a bad command\n"
    "line, a job without a keep policy for /thin, or an unconfigured installation.\n"
    "Started by a schedule, by systemd, with RAVELKEEP_UNATTENDED=1 or with no\n"
    "terminal, they show no dialog and tell the desktop instead. /ib thins a job\n"
    "with a keep policy after its backup.\n";

// "--help" and "--version" alone are answered before Qt starts.
bool AnsweredConventionally(int argc, char** argv) {
    if (argc != 2)
        return false;
    const std::string_view argument = argv[1];
    if (argument == "--help") {
        std::cout << kUsage;
        return true;
    }
    if (argument == "--version") {
        std::cout << "rkbak (Ravelkeep) " RK_VERSION_TEXT "\n";
        return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (AnsweredConventionally(argc, argv))
        return 0;
    const std::string argumentText = ArgumentText(argc, argv);
    const bool windowless =
        rk::app::ParseCommandLine(argumentText).life != rk::app::Life::Interactive;
    // Started by a schedule, under systemd or with no terminal, a windowless
    // life waits for no one, whatever DISPLAY says.
    const bool unattended = windowless && rk::platform::RunIsUnattended();
    const bool platformChosenForLackOfDisplay = ChoosePlatformWithoutDisplay();
    const bool platformChosenForNobody =
        unattended && !platformChosenForLackOfDisplay && ChoosePlatformForNobody();
    const bool fallbackAllowed = windowless && !platformChosenForLackOfDisplay &&
                                 !platformChosenForNobody && AllowFallbackToNoDisplay();
    if (windowless)
        qInstallMessageHandler(QuietQtMessage);

    rk::platform::ReloadDriveMap();
    if (const std::string error = rk::platform::DriveMapError(); !error.empty()) {
        rk::ReportLine(std::cerr, error);
        return rk::app::ExitUnusable;
    }

    QApplication application(argc, argv);
    // The desktop entry installed with the program: its name and icon.
    QGuiApplication::setDesktopFileName("ravelkeep");
    // Without a person every message becomes a line on standard error and no
    // question ever waits for an answer.
    const bool personPresent = PersonPresent() && !unattended;
    rk::ui::QtSeam qtSeam;
    rk::ui::HeadlessSeam headlessSeam(std::cerr);
    rk::ui::SeamScope seamScope(personPresent ? static_cast<rk::ui::Seam&>(qtSeam)
                                              : static_cast<rk::ui::Seam&>(headlessSeam));
    // While a utility runs the window keeps repainting but takes no input,
    // except, during a backup, on its Cancel button (the rest of the window is
    // disabled then).
    rk::SetToolWaitHook([] {
        QCoreApplication::processEvents(
            rk::ToolStoppable() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents, 40);
    });

    std::unique_ptr<rk::jobs::frmMain> mainWindow;
    rk::app::MainContext context;
    context.programFolderHost = rk::platform::ProgramFolderHost();
    context.personPresent = personPresent;
    // A platform without a display named on purpose (QT_QPA_PLATFORM) still
    // gets the main window; one chosen here for want of a display does not.
    context.windowWithoutDisplayRequested = !personPresent && !platformChosenForLackOfDisplay;
    context.unattended = unattended;
    context.notify = [](const std::string& summary, const std::string& body) {
        rk::NotifyFailureOrSay(summary, body, std::cerr);
    };
    context.lives = rk::MakeLives(mainWindow, personPresent);
    // The keyring may show its own unlock prompt only to a person.
    rk::SetKeyringMayPrompt(personPresent);
    context.lives.incrementalBackupFirst = [&context](const rk::app::CommandLine& command) {
        if (const std::optional<int> answered = rk::AnswerBeforeIncrementalBackup(
                command.jobName, rk::platform::RunIsRetry(), std::cerr, context.notify))
            return answered;
        return rk::AnswerBeforeEncryptedBackup(command.jobName, rk::platform::RunIsRetry(),
                                               std::cerr, context.notify);
    };
    if (fallbackAllowed && !personPresent) {
        const char* display = std::getenv("WAYLAND_DISPLAY") != nullptr
                                  ? std::getenv("WAYLAND_DISPLAY")
                                  : std::getenv("DISPLAY");
        context.displayProblem = std::string("the display ") + (display ? display : "") +
                                 " cannot be opened, so no dialog can be shown";
    }

    const rk::app::MainOutcome outcome = rk::app::Main(argumentText, context);
    if (!outcome.interactive)
        return outcome.exitCode;
    rk::QuitEventLoopOnSignals();
    return QApplication::exec();
}
