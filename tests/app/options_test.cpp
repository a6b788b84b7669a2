// The Options dialog through the scripted seam: what it shows, what it
// refuses and in which order, and what OK saves.

#include "app/frm_options.h"
#include "app_fixture.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace rk::test {
namespace {

using app::ShowOptions;

// Types the three entries and presses OK.
void Enter(QDialog& form, const std::string& zip, const std::string& unzip,
           const std::string& store) {
    Child<QLineEdit>(form, "txtZip").setText(QString::fromStdString(zip));
    Child<QLineEdit>(form, "txtUnzip").setText(QString::fromStdString(unzip));
    Child<QLineEdit>(form, "txtStore").setText(QString::fromStdString(store));
    Child<QPushButton>(form, "cmdOK").click();
}

std::string TextOf(QDialog& form, const char* name) {
    return Child<QLineEdit>(form, name).text().toStdString();
}

using OptionsTest = AppTest;

TEST_F(OptionsTest, LoadShowsCaptionsAndTheSavedSettings) {
    WriteSettings("ziputil=C:\\z\\zip\r\nunziputil=C:\\z\\unzip\r\njobs=C:\\Store\r\n");
    seam.AnswerForm([](QDialog& form) {
        EXPECT_EQ(form.windowTitle(), "Ravelkeep Options");
        EXPECT_EQ(Child<QGroupBox>(form, "Frame2").title(), "Tools");
        EXPECT_EQ(Child<QGroupBox>(form, "Frame1").title(), "Backup");
        EXPECT_EQ(Child<QLabel>(form, "lblZip").text(), "Location of zip utility");
        EXPECT_EQ(Child<QLabel>(form, "lblUnzip").text(), "Location of unzip utility");
        EXPECT_EQ(Child<QLabel>(form, "lblStore").text(), "Store all Ravelkeep files in");
        for (const char* chooser : {"cmdChooseZip", "cmdChooseUnzip", "cmdChooseStore"})
            EXPECT_EQ(Child<QPushButton>(form, chooser).text(), "...");
        EXPECT_TRUE(Child<QPushButton>(form, "cmdOK").isDefault());
        EXPECT_EQ(Child<QPushButton>(form, "cmdCancel").text(), "Cancel");
        EXPECT_EQ(TextOf(form, "txtZip"), "C:\\z\\zip");
        EXPECT_EQ(TextOf(form, "txtUnzip"), "C:\\z\\unzip");
        EXPECT_EQ(TextOf(form, "txtStore"), "C:\\Store");
        Child<QPushButton>(form, "cmdCancel").click();
    });
    EXPECT_FALSE(ShowOptions());
    EXPECT_EQ(seam.Problems(), "");
}

struct Refusal {
    const char* why;
    std::string zip, unzip, store;
    std::string message;
};

TEST_F(OptionsTest, RefusesInOrderAndSavesNothing) {
    const std::string zip = Utility("rkzip");
    const std::string unzip = Utility("rkunzip");
    const std::string store = Folder("Store");
    const Refusal refusals[] = {
        {"all empty", "", "", "", "Information not complete!"},
        {"one empty, others missing", "C:\\no\\zip", "", "C:\\no", "Information not complete!"},
        {"zip before unzip", "C:\\no\\zip", "C:\\no\\unzip", "C:\\no",
         "Could not locate zip utility. Cannot continue."},
        {"spaces are not empty", "C:\\no\\zip", "   ", "   ",
         "Could not locate zip utility. Cannot continue."},
        {"unzip before store", zip, "C:\\no\\unzip", "C:\\no",
         "Could not locate unzip utility. Cannot continue."},
        {"store", zip, unzip, "C:\\no",
         "Backup folder does not exist. Please create it before continuing."},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.why);
        seam = ui::ScriptedSeam{};
        seam.AnswerForm([&](QDialog& form) {
            Enter(form, refusal.zip, refusal.unzip, refusal.store);
            // Refused: the dialog stays open with the entries as typed.
            EXPECT_TRUE(form.isVisible());
            EXPECT_EQ(TextOf(form, "txtStore"), refusal.store);
            Child<QPushButton>(form, "cmdCancel").click();
        });
        seam.AnswerMessage(ui::Answer::OK);
        EXPECT_FALSE(ShowOptions());
        ASSERT_EQ(seam.Calls().size(), 2u);
        const ui::RecordedCall& message = seam.Calls()[1];
        EXPECT_EQ(message.text, refusal.message);
        EXPECT_EQ(message.icon, ui::Icon::Critical);
        EXPECT_EQ(message.buttons, ui::Buttons::OK);
        EXPECT_EQ(message.title, "Ravelkeep");
        EXPECT_EQ(seam.Problems(), "");
        EXPECT_FALSE(SettingsWritten());
        EXPECT_EQ(ZipUtilPath, "");
        EXPECT_EQ(JobStoreFolder, "");
    }
}

TEST_F(OptionsTest, OkSavesAsTypedInOrderAndUpdatesTheProgramValues) {
    Utility("rkunzip");
    // A folder passes as the zip utility; a trailing space is kept as typed.
    const std::string zip = Folder("tools");
    const std::string unzip = "C:\\tools\\rkunzip ";
    const std::string store = Folder("Store") + "\\";
    seam.AnswerForm([&](QDialog& form) {
        Enter(form, zip, unzip, store);
        EXPECT_FALSE(form.isVisible());
    });
    EXPECT_TRUE(ShowOptions());
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_EQ(ZipUtilPath, zip);
    EXPECT_EQ(UnzipUtilPath, unzip);
    EXPECT_EQ(JobStoreFolder, "C:\\Store\\");
    EXPECT_EQ(ReadSetting("ziputil"), zip);
    EXPECT_EQ(ReadSetting("jobs"), "C:\\Store\\");
    const std::string file = Settings();
    const auto zipAt = file.find("ziputil=");
    const auto unzipAt = file.find("unziputil=");
    const auto jobsAt = file.find("jobs=");
    ASSERT_NE(jobsAt, std::string::npos);
    EXPECT_LT(zipAt, unzipAt);
    EXPECT_LT(unzipAt, jobsAt);
    EXPECT_NE(file.find("unziputil=" + unzip), std::string::npos);
}

TEST_F(OptionsTest, CancelAndCloseBoxChangeNothing) {
    const std::string before = "ziputil=C:\\z\\zip\r\nunziputil=C:\\z\\unzip\r\njobs=C:\\Old\r\n";
    WriteSettings(before);
    const std::string store = Folder("Store");
    const std::string zip = Utility("rkzip");
    const std::string unzip = Utility("rkunzip");
    const auto edit = [&](QDialog& form) {
        Child<QLineEdit>(form, "txtZip").setText(QString::fromStdString(zip));
        Child<QLineEdit>(form, "txtUnzip").setText(QString::fromStdString(unzip));
        Child<QLineEdit>(form, "txtStore").setText(QString::fromStdString(store));
    };
    seam.AnswerForm([&](QDialog& form) {
        edit(form);
        Child<QPushButton>(form, "cmdCancel").click();
    });
    seam.AnswerForm([&](QDialog& form) {
        edit(form);
        form.close();
    });
    EXPECT_FALSE(ShowOptions());
    EXPECT_FALSE(ShowOptions());
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_EQ(Settings(), "[settings]\r\n" + before);
    EXPECT_EQ(ZipUtilPath, "");
    EXPECT_EQ(JobStoreFolder, "");
}

TEST_F(OptionsTest, ChooserButtonsFillTheirBoxesOnlyWhenConfirmed) {
    const auto tools = sandbox.c() / "tools";
    seam.AnswerForm([&](QDialog& form) {
        Child<QPushButton>(form, "cmdChooseZip").click();
        Child<QPushButton>(form, "cmdChooseUnzip").click();
        Child<QPushButton>(form, "cmdChooseStore").click();
        Child<QPushButton>(form, "cmdChooseUnzip").click();
        Child<QPushButton>(form, "cmdChooseStore").click();
        EXPECT_EQ(TextOf(form, "txtZip"), "C:\\tools\\rkzip");
        EXPECT_EQ(TextOf(form, "txtUnzip"), "C:\\tools\\rkunzip");
        EXPECT_EQ(TextOf(form, "txtStore"), "C:\\Store");
        Child<QPushButton>(form, "cmdCancel").click();
    });
    seam.AnswerFile((tools / "rkzip").string());
    seam.AnswerFile((tools / "rkunzip").string());
    seam.AnswerFolder((sandbox.c() / "Store").string());
    seam.AnswerFile(std::nullopt);
    seam.AnswerFolder(std::nullopt);
    ShowOptions();
    EXPECT_EQ(seam.Problems(), "");

    const ui::RecordedCall& zipDialog = seam.Calls()[1];
    EXPECT_EQ(zipDialog.title, "Select the zip utility");
    ASSERT_TRUE(zipDialog.fileRequest.has_value());
    EXPECT_EQ(zipDialog.fileRequest->mode, ui::FileDialogMode::Open);
    EXPECT_EQ(zipDialog.fileRequest->filters.size(), 2u);
    // The list keeps its order; it opens at "All Files", where rkzip shows.
    EXPECT_EQ(zipDialog.fileRequest->filters[0].description, "EXE Files (*.exe)");
    EXPECT_EQ(zipDialog.fileRequest->initialFilter, 1u);
    EXPECT_EQ(zipDialog.fileRequest->defaultSuffix, "");
    std::error_code ec;
    EXPECT_TRUE(
        std::filesystem::equivalent(zipDialog.fileRequest->initialFolder, ProgramFolder(), ec));
    EXPECT_NE(zipDialog.fileRequest->owner, nullptr);
    EXPECT_EQ(seam.Calls()[2].title, "Select the unzip utility");
    EXPECT_EQ(seam.Calls()[3].title, "Select where you want to store your backups");
    // The folder browser opens at the job store in the box.
    EXPECT_EQ(seam.Calls()[5].defaultText, (sandbox.c() / "Store").string());
}

} // namespace
} // namespace rk::test
