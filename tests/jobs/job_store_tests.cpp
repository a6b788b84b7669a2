#include "core/program_values.h"
#include "core/settings.h"
#include "jobs/command_numbers.h"
#include "jobs/frm_main.h"
#include "jobs/job_store.h"
#include "platform/file_system.h"
#include "support/sandbox.h"
#include "ui/qt_test_app.h"
#include "ui/scripted_seam.h"

#include <QAction>

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using namespace rk;
using ui::Answer;
using ui::Icon;

class JobStoreTest : public ::testing::Test {
  protected:
    rk::test::Sandbox box;
    ui::ScriptedSeam seam;
    ui::SeamScope scope{seam};
    fs::path store = box.c() / "Backups";

    void SetUp() override {
        fs::create_directories(store);
        fs::create_directories(box.c() / "App");
        AppFolder = "C:\\App\\";
        JobStoreFolder = "C:\\Backups\\";
        box.write(box.c() / "App" / "excl.txt", "*.tmp\r\n*\\cache\\*\r\n");
    }

    // The main window the jobs are made through, as a person makes them
    // (no first-start offer when it opens).
    jobs::frmMain& Window() {
        if (!window) {
            test::EnsureQtApplication();
            window = std::make_unique<jobs::frmMain>(false);
        }
        return *window;
    }

    // File > New with `name` typed in, the message that may refuse it
    // answered with OK when `answerRefusal`: true when the job was made
    // without a message.
    bool MakeJob(const std::string& name, bool answerRefusal = false) {
        const std::size_t before = Messages().size();
        seam.AnswerInput(name);
        if (answerRefusal)
            seam.AnswerMessage(Answer::OK);
        Window().mnuFile.at(jobs::FileCommand::NewJob)->trigger();
        return Messages().size() == before;
    }

    void OfferMyDocumentsJob() { Window().OfferMyDocumentsJob(); }

    // The messages shown so far, in order (the input boxes left out).
    std::vector<ui::RecordedCall> Messages() const {
        std::vector<ui::RecordedCall> messages;
        for (const ui::RecordedCall& call : seam.Calls())
            if (call.kind == ui::CallKind::Message)
                messages.push_back(call);
        return messages;
    }

    void expectMessage(size_t index, const std::string& text, Icon icon) {
        const std::vector<ui::RecordedCall> messages = Messages();
        ASSERT_LT(index, messages.size());
        EXPECT_EQ(messages[index].text, text);
        EXPECT_EQ(messages[index].icon, icon);
        EXPECT_EQ(messages[index].buttons, ui::Buttons::OK);
    }

    std::unique_ptr<jobs::frmMain> window;
};

TEST_F(JobStoreTest, MakesJobsAndRefusesBadOrTakenNames) {
    for (const std::string name : {"Weekly", "My Job 2.0", "Ünïcode"}) {
        ASSERT_TRUE(MakeJob(name)) << name;
        EXPECT_EQ(box.read(store / name / "excl.ini"), "*.tmp\r\n*\\cache\\*\r\n")
            << "byte for byte";
        EXPECT_FALSE(
            ReadSetting("created", "", {"settings", "C:\\Backups\\" + name, "rkjob.ini"}).empty());
    }
    fs::create_directories(store / "NotAJob");
    EXPECT_FALSE(MakeJob("a:b", true));
    EXPECT_FALSE(MakeJob("say \"hi\"", true));
    EXPECT_FALSE(MakeJob("Weekly", true));
    EXPECT_FALSE(MakeJob("NotAJob", true));
    expectMessage(0, "Name cannot contain the characters \\/:*?<>|\"", Icon::Exclamation);
    expectMessage(1, "Name cannot contain the characters \\/:*?<>|\"", Icon::Exclamation);
    expectMessage(2, "A backup job with that name already exists!", Icon::Exclamation);
    expectMessage(3, "A backup job with that name already exists!", Icon::Exclamation);
    EXPECT_EQ(seam.Problems(), "");

    EXPECT_EQ(ListJobs("C:\\Backups\\"),
              (std::vector<std::string>{"My Job 2.0", "Weekly", "Ünïcode"}));
    EXPECT_TRUE(JobExists("Weekly"));
    EXPECT_FALSE(JobExists("NotAJob"));
    EXPECT_FALSE(JobExists(""));
    EXPECT_FALSE(JobExists("..\\Backups\\Weekly"));
}

// A new job's folder and settings (which name the folders backed up) are the
// user's alone, also after the settings are written anew; a job whose modes
// the user set keeps them.
TEST_F(JobStoreTest, NewJobsArePrivateAndExistingOnesKeepTheirModes) {
    const auto modeOf = [](const fs::path& path) {
        struct stat info {};
        return lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0u;
    };
    ASSERT_TRUE(MakeJob("Private"));
    EXPECT_EQ(modeOf(store / "Private"), 0700u);
    EXPECT_EQ(modeOf(store / "Private" / "rkjob.ini"), 0600u);
    WriteSetting("rootbk", "rk_2026_12_01_10_00_00.zip",
                 {"settings", "C:\\Backups\\Private", "rkjob.ini"});
    EXPECT_EQ(modeOf(store / "Private" / "rkjob.ini"), 0600u);
    EXPECT_EQ(ReadSetting("rootbk", "", {"settings", "C:\\Backups\\Private", "rkjob.ini"}),
              "rk_2026_12_01_10_00_00.zip");

    box.write(store / "Shared" / "rkjob.ini", "[settings]\r\ncreated=today\r\n");
    ASSERT_EQ(chmod((store / "Shared").c_str(), 0755), 0);
    ASSERT_EQ(chmod((store / "Shared" / "rkjob.ini").c_str(), 0644), 0);
    WriteSetting("rootbk", "rk_2026_12_01_10_00_00.zip",
                 {"settings", "C:\\Backups\\Shared", "rkjob.ini"});
    EXPECT_EQ(modeOf(store / "Shared"), 0755u);
    EXPECT_EQ(modeOf(store / "Shared" / "rkjob.ini"), 0644u);
}

TEST_F(JobStoreTest, AMissingTemplateLeavesNoHalfMadeJob) {
    fs::remove(box.c() / "App" / "excl.txt");
    EXPECT_FALSE(MakeJob("Weekly", true));
    EXPECT_FALSE(fs::exists(store / "Weekly"));
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].text.find("excl.txt"), std::string::npos);
    EXPECT_EQ(Messages()[0].icon, Icon::Exclamation);
}

TEST_F(JobStoreTest, HiddenSettingsFileListsTheJobButDoesNotMakeAJobStore) {
    box.write(store / "Hidden" / ".keep", "");
    box.write(store / "Hidden" / "rkjob.ini", "[settings]\r\n");
    ASSERT_TRUE(fs::exists(store / "Hidden" / "rkjob.ini"));
    if (!platform::SetAttributes("C:\\Backups\\Hidden\\rkjob.ini", platform::kAttrHidden))
        GTEST_SKIP() << "this file system keeps no user attributes";
    EXPECT_EQ(ListJobs("C:\\Backups\\"), (std::vector<std::string>{"Hidden"}));
    EXPECT_FALSE(FolderHasJobs("C:\\Backups"));
    box.write(store / "Plain" / "rkjob.ini", "");
    EXPECT_TRUE(FolderHasJobs("C:\\Backups"));
    EXPECT_FALSE(FolderHasJobs("C:\\Backups\\Plain")) << "no subfolders";
}

TEST_F(JobStoreTest, DeletingRemovesHiddenAndReadOnlyFilesButNotSubfolders) {
    box.write(store / "Old" / "rkjob.ini", "");
    box.write(store / "Old" / "rk_2001_01_01_00_00_00.zip", "zip");
    box.write(store / "Old" / ".rkzip-state", "db");
    chmod((store / "Old" / "rk_2001_01_01_00_00_00.zip").c_str(), 0444);
    DeleteJobFolder("C:\\Backups\\Old");
    EXPECT_FALSE(fs::exists(store / "Old"));

    box.write(store / "Nested" / "rkjob.ini", "");
    box.write(store / "Nested" / "sub" / "keep.txt", "x");
    DeleteJobFolder("C:\\Backups\\Nested");
    EXPECT_TRUE(fs::exists(store / "Nested" / "sub" / "keep.txt"));
    EXPECT_FALSE(fs::exists(store / "Nested" / "rkjob.ini"));
    EXPECT_TRUE(ListJobs("C:\\Backups\\").empty());
}

TEST_F(JobStoreTest, DeletingNeverChangesWhatALinkPointsTo) {
    box.write(store / "Linked" / "rkjob.ini", "[settings]\r\n");
    box.write(box.c() / "Outside" / "precious.txt", "kept read-only");
    fs::permissions(box.c() / "Outside" / "precious.txt", fs::perms::owner_read);
    fs::create_symlink(box.c() / "Outside" / "precious.txt", store / "Linked" / "link");
    DeleteJobFolder("C:\\Backups\\Linked");
    EXPECT_FALSE(fs::exists(fs::symlink_status(store / "Linked")));
    EXPECT_EQ(fs::status(box.c() / "Outside" / "precious.txt").permissions(),
              fs::perms::owner_read);
    EXPECT_EQ(box.read(box.c() / "Outside" / "precious.txt"), "kept read-only");
}

TEST_F(JobStoreTest, MyDocumentsOfferMakesABackableJob) {
    box.write(box.registry(),
              "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell "
              "Folders]\nPersonal=D:\\Data\\My Documents\n");
    seam.AnswerMessage(Answer::No);
    OfferMyDocumentsJob();
    EXPECT_FALSE(fs::exists(store / "My Documents"));

    seam.AnswerMessage(Answer::Yes);
    OfferMyDocumentsJob();
    const SettingsPlace folders{"folders", "C:\\Backups\\My Documents", "rkjob.ini"};
    EXPECT_EQ(ReadSetting("folder", "", {"settings", "C:\\Backups\\My Documents", "rkjob.ini"}),
              "D:\\Data\\My Documents");
    EXPECT_EQ(ReadSetting("foldercount", "", folders), "1");
    EXPECT_EQ(ReadSetting("folder1", "", folders), "D:\\Data\\My Documents");
    EXPECT_FALSE(fs::exists(store / "My Documents" / "excl.ini"));

    seam.AnswerMessage(Answer::Yes);
    seam.AnswerMessage(Answer::OK);
    OfferMyDocumentsJob();
    ASSERT_EQ(seam.Calls().size(), 4u);
    EXPECT_EQ(seam.Calls()[0].text,
              "Do you want Ravelkeep to automatically create a backup job for your 'My Documents' "
              "folder?");
    EXPECT_EQ(seam.Calls()[0].buttons, ui::Buttons::YesNo);
    EXPECT_EQ(seam.Calls()[0].icon, Icon::Question);
    EXPECT_EQ(seam.Calls()[3].text, "A backup job with that name already exists!");
    EXPECT_EQ(seam.Problems(), "");
}

} // namespace
