// The restore run on its own, without the extract dialog: a picker and a
// conversation that answer from the test, and the real utilities.

#include "restore/run/restore_run.h"
#include "restore_fixture.h"

namespace rk::test {
namespace {

using namespace rk::restore;

class Recorded final : public RestoreConversation {
  public:
    void Tell(std::string_view text, NoticeKind) override { told.emplace_back(text); }
    bool Confirm(std::string_view question) override {
        asked.emplace_back(question);
        return answer;
    }
    void OpenFolder(const std::string& folder) override { opened.push_back(folder); }

    bool answer = true;
    std::vector<std::string> told;
    std::vector<std::string> asked;
    std::vector<std::string> opened;
};

class Choosing final : public FilePicker {
  public:
    PickedFiles Pick(const std::string& source, const std::vector<std::string>& archives,
                     const std::string& info) override {
        shownArchives = archives;
        shownSource = source;
        shownInfo = info;
        PickedFiles picked;
        picked.confirmed = true;
        picked.names = {"sub\\b.txt"};
        return picked;
    }
    std::vector<std::string> shownArchives;
    std::string shownSource;
    std::string shownInfo;
};

class RestoreRunModule : public RestoreFixture {
  protected:
    void SetUp() override {
        RestoreFixture::SetUp();
        MakeThreeBackups();
        request.source = JobFolder();
        request.destination = "C:\\Restore";
        request.startDay = std::chrono::year{2026} / 12 / 2;
        request.endDay = std::chrono::year{2026} / 12 / 3;
        request.startText = "2.12.2026";
        request.endText = "3.12.2026";
        request.archiveNames = JobArchives();
    }
    RestoreRequest request;
    Recorded conversation;
    Choosing picker;
};

TEST_F(RestoreRunModule, PickedFilesOfTheRangeComeBackInTheirNewestVersion) {
    const ExtractOutcome outcome =
        RunRestore(CurrentInstallation(), request, progress, conversation, picker);
    ASSERT_EQ(outcome.status, RunStatus::Done) << outcome.reason;
    EXPECT_EQ(picker.shownArchives, (std::vector<std::string>{"rk_2026_12_02_23_59_00.zip",
                                                              "rk_2026_12_03_00_00_00.zip"}));
    EXPECT_EQ(picker.shownInfo, "Destination: C:\\Restore\r\nBackups: 2.12.2026 to 3.12.2026");
    ASSERT_EQ(conversation.asked.size(), 1u);
    EXPECT_NE(conversation.asked[0].find("EXTRACT INDIVIDUAL FILES (1 files selected)"),
              std::string::npos)
        << conversation.asked[0];
    EXPECT_EQ(conversation.told, (std::vector<std::string>{"Done"}));
    EXPECT_EQ(conversation.opened,
              (std::vector<std::string>{"C:\\Restore\\rk_2026_12_03_00_00_00"}));
    EXPECT_EQ(FilesIn(box.c() / "Restore" / "rk_2026_12_03_00_00_00"),
              (Files{{"sub/b.txt", "b three"}}));
}

TEST_F(RestoreRunModule, ANoAtTheConfirmationTouchesNothing) {
    request.action = ExtractAction::Consolidate;
    request.deleteReplaced = true;
    conversation.answer = false;
    const ExtractOutcome outcome =
        RunRestore(CurrentInstallation(), request, progress, conversation, picker);
    EXPECT_EQ(outcome.status, RunStatus::Failed);
    EXPECT_EQ(progress.status, "Could not complete last action");
    EXPECT_EQ(JobArchives().size(), 3u);
    EXPECT_FALSE(std::filesystem::exists(box.c() / "Restore"));
    EXPECT_TRUE(picker.shownArchives.empty());
}

} // namespace
} // namespace rk::test
