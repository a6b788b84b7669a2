#pragma once
// The main window in a sandbox: a program folder C:\prog with its settings
// file (the first-start offer already made) and exclusion template, a job
// store C:\Backups, a scripted seam, and helpers that make jobs on disk and
// select them in the job list as a person would.

#include "core/program_values.h"
#include "core/settings.h"
#include "jobs/frm_main.h"
#include "platform/system_folders.h"
#include "support/sandbox.h"
#include "ui/help.h"
#include "ui/qt_test_app.h"
#include "ui/scripted_seam.h"

#include <QAction>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace rk::test {

namespace fs = std::filesystem;

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureQtApplication();
        fs::create_directories(ProgramFolder());
        fs::create_directories(Store());
        AppFolder = "C:\\prog\\";
        JobStoreFolder = "C:\\Backups\\";
        ZipUtilPath = "C:\\prog\\rkzip";
        UnzipUtilPath = "C:\\prog\\rkunzip";
        ui::RegisterHelpFile(AppFolder + "rkbak.hlp");
        WriteProgramSettings("jobs=C:\\Backups\r\nautopromptshown=-1\r\n");
        sandbox.write(ProgramFolder() / "excl.txt", "*.tmp\r\n");
    }

    fs::path ProgramFolder() const { return sandbox.c() / "prog"; }
    fs::path Store() const { return sandbox.c() / "Backups"; }
    fs::path ProgramSettingsFile() const {
        return ProgramFolder() / (platform::ProgramBaseName() + ".ini");
    }
    void WriteProgramSettings(std::string_view lines) const {
        sandbox.write(ProgramSettingsFile(), "[settings]\r\n" + std::string(lines));
    }

    // A job folder C:\Backups\<name> whose "rkjob.ini" holds `settings`.
    fs::path Job(const std::string& name, std::string_view settings = "[settings]\r\n") const {
        sandbox.write(Store() / name / "rkjob.ini", settings);
        return Store() / name;
    }
    std::string JobSettings(const std::string& name) const {
        return sandbox.read(Store() / name / "rkjob.ini");
    }

    // The loaded, refreshed window (not shown, as the tests need no screen).
    std::unique_ptr<jobs::frmMain> Open() {
        auto window = std::make_unique<jobs::frmMain>();
        window->DataRefresh();
        return window;
    }

    // The job names of the list, in order.
    static std::vector<std::string> Listed(const jobs::frmMain& window) {
        std::vector<std::string> names;
        names.reserve(static_cast<std::size_t>(window.lstBackupJobs->count()));
        for (int row = 0; row < window.lstBackupJobs->count(); ++row)
            names.push_back(window.lstBackupJobs->item(row)->text().toStdString());
        return names;
    }
    // Clicks the job in the list; fails the test when it is not listed.
    static void Select(jobs::frmMain& window, const std::string& name) {
        const auto found =
            window.lstBackupJobs->findItems(QString::fromStdString(name), Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name;
        window.lstBackupJobs->setCurrentItem(found.front());
    }
    // A day as the window writes it: the system's short date form.
    static std::string ShortDate(int year, int month, int day) {
        return QLocale::system()
            .toString(QDate(year, month, day), QLocale::ShortFormat)
            .toStdString();
    }
    static std::string Text(const QLabel* label) { return label->text().toStdString(); }
    static std::string Text(const QLineEdit* box) { return box->text().toStdString(); }

    Sandbox sandbox;
    ui::ScriptedSeam seam;
    ui::SeamScope scope{seam};
};

} // namespace rk::test
