#pragma once
// A sandboxed program folder (C:\prog) with its settings file, a scripted
// seam, and helpers to reach a form's controls by name.

#include "core/program_values.h"
#include "core/settings.h"
#include "platform/system_folders.h"
#include "support/sandbox.h"
#include "ui/qt_test_app.h"
#include "ui/scripted_seam.h"

#include <QDialog>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace rk::test {

class AppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureQtApplication();
        std::filesystem::create_directories(ProgramFolder());
        AppFolder = "C:\\prog\\";
        JobStoreFolder.clear();
        ZipUtilPath.clear();
        UnzipUtilPath.clear();
    }
    void TearDown() override { SetExtendedWriteFailureHandler({}); }

    std::filesystem::path ProgramFolder() const { return sandbox.c() / "prog"; }
    std::filesystem::path SettingsFile() const {
        return ProgramFolder() / (platform::ProgramBaseName() + ".ini");
    }
    // Writes the program settings file: "[settings]" and the given lines.
    void WriteSettings(std::string_view lines) const {
        sandbox.write(SettingsFile(), "[settings]\r\n" + std::string(lines));
    }
    std::string Settings() const { return sandbox.read(SettingsFile()); }
    bool SettingsWritten() const { return std::filesystem::exists(SettingsFile()); }

    // An existing file C:\tools\<name>; its Windows path.
    std::string Utility(const std::string& name) const {
        sandbox.write(sandbox.c() / "tools" / name, "utility");
        return "C:\\tools\\" + name;
    }
    // An existing folder C:\<name>; its Windows path.
    std::string Folder(const std::string& name) const {
        std::filesystem::create_directories(sandbox.c() / name);
        return "C:\\" + name;
    }
    // The registry store's App Paths answers for the two utilities.
    void WriteAppPaths(const std::string& zip, const std::string& unzip) const {
        const std::string key =
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
        sandbox.write(sandbox.registry(), "[" + key + "wzzip.exe]\n@=" + zip + "\n[" + key +
                                              "wzunzip.exe]\n@=" + unzip + "\n");
    }

    Sandbox sandbox;
    ui::ScriptedSeam seam;
    ui::SeamScope scope{seam};
};

// A control of a form by its name; throws when the form has none.
template <typename Control> Control& Child(QWidget& form, const char* name) {
    auto* control = form.findChild<Control*>(name);
    if (control == nullptr)
        throw std::runtime_error(std::string("no control ") + name);
    return *control;
}

} // namespace rk::test
