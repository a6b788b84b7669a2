// What a screen reader is told about every field and button of every form:
// each has a name, the text boxes the names of their labels, and the "..."
// buttons names that tell them apart.

#include "app/frm_options.h"
#include "app/frm_upgrade.h"
#include "jobs/folder_gatherer.h"
#include "jobs/frm_schedule.h"
#include "main_window_fixture.h"
#include "restore/frm_extract.h"
#include "restore/picker/frm_view_files.h"
#include "support/scheduler_stand_ins.h"
#include "ui/help_window.h"
#include "ui/spoken_name.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QTextBrowser>

#include <map>
#include <set>

namespace rk::test {
namespace {

// Every input and button of the form a person can reach, by object name,
// with what a screen reader says it is.
std::map<std::string, std::string> SpokenNames(QWidget& form) {
    std::map<std::string, std::string> names;
    for (QWidget* widget : form.findChildren<QWidget*>()) {
        const bool input =
            qobject_cast<QLineEdit*>(widget) || qobject_cast<QListWidget*>(widget) ||
            qobject_cast<QAbstractSpinBox*>(widget) || qobject_cast<QComboBox*>(widget) ||
            qobject_cast<QPlainTextEdit*>(widget) || qobject_cast<QTextBrowser*>(widget) ||
            qobject_cast<QAbstractButton*>(widget);
        // The text box inside a spin box or combo box is part of it.
        const bool part = qobject_cast<QAbstractSpinBox*>(widget->parentWidget()) ||
                          qobject_cast<QComboBox*>(widget->parentWidget());
        // Buttons Qt adds inside its own widgets (a clear button) have no
        // object name.
        if (!input || part || widget->objectName().isEmpty() || widget->isHidden())
            continue;
        names[widget->objectName().toStdString()] = SpokenName(widget);
    }
    return names;
}

void ExpectEveryoneNamed(QWidget& form) {
    form.show();
    const std::map<std::string, std::string> names = SpokenNames(form);
    EXPECT_FALSE(names.empty()) << form.objectName().toStdString();
    std::set<std::string> distinct;
    for (const auto& [object, name] : names) {
        EXPECT_NE(name, "") << form.objectName().toStdString() << ": " << object;
        EXPECT_NE(name, "...") << form.objectName().toStdString() << ": " << object;
        EXPECT_TRUE(distinct.insert(name).second)
            << form.objectName().toStdString() << ": " << object << " is also called " << name;
    }
}

TEST_F(MainWindowTest, EveryFormNamesEveryFieldForScreenReaders) {
    SchedulerStandIns standIns(sandbox);
    const auto window = Open();
    ExpectEveryoneNamed(*window);
    const std::map<std::string, std::string> main = SpokenNames(*window);
    EXPECT_EQ(main.at("lstBackupJobs"), "Backup jobs");
    EXPECT_EQ(main.at("txtSource"), "Folder to backup (source)");

    app::frmOptions options;
    ExpectEveryoneNamed(options);
    const std::map<std::string, std::string> named = SpokenNames(options);
    EXPECT_EQ(named.at("txtZip"), "Location of zip utility");
    EXPECT_EQ(named.at("txtUnzip"), "Location of unzip utility");
    EXPECT_EQ(named.at("txtStore"), "Store all Ravelkeep files in");

    restore::frmExtract extract(*window);
    ExpectEveryoneNamed(extract);
    const std::map<std::string, std::string> range = SpokenNames(extract);
    EXPECT_EQ(range.at("txtSource"), "Source Folder");
    EXPECT_EQ(range.at("txtDestination"), "Destination Folder");
    EXPECT_EQ(range.at("axStartDate"), "Start date");

    // Windows path text tells the Linux path it stands for.
    options.txtStore->setText("C:\\Backups");
    EXPECT_EQ(options.txtStore->toolTip().toStdString(), (sandbox.c() / "Backups").string());
    options.txtStore->setText("");
    EXPECT_EQ(options.txtStore->toolTip().toStdString(), "");

    jobs::FolderGatherer folders;
    ExpectEveryoneNamed(folders);
    frmViewFiles picker;
    ExpectEveryoneNamed(picker);
    app::frmUpgrade upgrade;
    ExpectEveryoneNamed(upgrade);
    jobs::frmSchedule schedule("Named", {"/opt/rk/rkbak", ""});
    ExpectEveryoneNamed(schedule);
    ui::HelpWindow help;
    ExpectEveryoneNamed(help);
}

} // namespace
} // namespace rk::test
