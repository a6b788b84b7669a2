// The upgrade notes: captions, the check box read from "UpgradePromptShown",
// the value written on every way of closing, and start-up's decision.

#include "app/frm_upgrade.h"
#include "app_fixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

namespace rk::test {
namespace {

using UpgradeTest = AppTest;

bool TickedOnLoad() {
    app::frmUpgrade form;
    return Child<QCheckBox>(form, "chkNoShowAgain").isChecked();
}

TEST_F(UpgradeTest, Captions) {
    app::frmUpgrade form;
    EXPECT_EQ(form.objectName(), "frmUpgrade");
    EXPECT_EQ(form.windowTitle(), "Upgraders");
    EXPECT_EQ(Child<QLabel>(form, "lblUpgrade1").text(),
              "Ravelkeep 2 is not compatible with backup sets created with Ravelkeep 1. If you "
              "are upgrading, it is recommended that you consolidate them (using the Consolidate "
              "option) and archive your old backup sets and remove them from the Backups folder.");
    EXPECT_EQ(Child<QLabel>(form, "lblUpgrade2").text(),
              "Launch Ravelkeep 1. Select View/Extract/Consilidate. Once consolidated, move the "
              "backup sets to another location.");
    EXPECT_EQ(Child<QCheckBox>(form, "chkNoShowAgain").text(), "Do not show me this again");
    EXPECT_EQ(Child<QPushButton>(form, "cmdOK").text(), "OK");
}

TEST_F(UpgradeTest, CheckBoxIsClearOnlyForAStoredZero) {
    struct Row {
        const char* stored; // nullptr: no setting at all
        bool ticked;
    };
    const Row rows[] = {{nullptr, false}, {"0", false}, {"", false},   {"abc", false},
                        {"-1", true},     {"1", true},  {"0.4", true}, {"  -1", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stored ? row.stored : "(none)");
        if (row.stored != nullptr)
            WriteSettings(std::string("UpgradePromptShown=") + row.stored + "\r\n");
        else
            std::filesystem::remove(SettingsFile());
        EXPECT_EQ(TickedOnLoad(), row.ticked);
    }
}

TEST_F(UpgradeTest, EveryWayOfClosingStoresTheCheckBox) {
    struct Row {
        const char* how;
        bool tick;
        std::function<void(QDialog&)> close;
        const char* stored;
    };
    const auto ok = [](QDialog& form) { Child<QPushButton>(form, "cmdOK").click(); };
    const auto closeBox = [](QDialog& form) { form.close(); };
    const auto escape = [](QDialog& form) { form.reject(); };
    const Row rows[] = {{"OK ticked", true, ok, "-1"},
                        {"OK clear", false, ok, "0"},
                        {"close box ticked", true, closeBox, "-1"},
                        {"close box clear", false, closeBox, "0"},
                        {"Esc ticked", true, escape, "-1"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.how);
        seam = ui::ScriptedSeam{};
        seam.AnswerForm([&](QDialog& form) {
            Child<QCheckBox>(form, "chkNoShowAgain").setChecked(row.tick);
            row.close(form);
        });
        app::ShowUpgradeNotes();
        EXPECT_EQ(seam.Problems(), "");
        EXPECT_EQ(ReadSetting("UpgradePromptShown"), row.stored);
    }
}

TEST_F(UpgradeTest, StartUpShowsTheNotesUnlessTheValueRoundsToMinusOne) {
    struct Row {
        const char* stored;
        bool due;
    };
    const Row rows[] = {{"-1", false},  {"-1.2", false}, {"-0.6", false}, {"0", true},
                        {"", true},     {"1", true},     {"abc", true},   {"-0.5", true},
                        {"-1.5", true}, {"-2", true}};
    EXPECT_TRUE(app::UpgradeNotesDue()) << "no settings file";
    for (const Row& row : rows) {
        WriteSettings(std::string("UpgradePromptShown=") + row.stored + "\r\n");
        EXPECT_EQ(app::UpgradeNotesDue(), row.due) << row.stored;
    }
}

} // namespace
} // namespace rk::test
