// ShowFileDialog and BrowseForFolder: what the dialog is asked to show, and
// what the caller gets back (Windows path text, or 0 / empty text).

#include "core/program_values.h"
#include "support/sandbox.h"
#include "ui/file_dialogs.h"
#include "ui/qt_test_app.h"
#include "ui/scripted_seam.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace rk::ui {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view ExeFilter = "EXE Files (*.exe),*.exe,All Files (*.*),*.*";

class FileDialogsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::EnsureQtApplication();
        fs::create_directories(sandbox.c() / "prog");
        fs::create_directories(sandbox.c() / "data");
        AppFolder = "C:\\prog\\";
    }

    // Opens the dialog on a fresh script that cancels; the request it saw.
    FileDialogRequest Ask(std::string_view initialFolder, std::string_view filter,
                          std::optional<std::string_view> extension = std::nullopt,
                          std::int16_t mode = 0) {
        seam = ScriptedSeam{};
        seam.AnswerFile(std::nullopt);
        std::string path;
        ShowFileDialog(path, mode, nullptr, "Pick", initialFolder, filter, extension);
        EXPECT_EQ(seam.Calls().size(), 1u);
        return seam.Calls().empty() ? FileDialogRequest{} : *seam.Calls().back().fileRequest;
    }

    test::Sandbox sandbox;
    ScriptedSeam seam;
    SeamScope scope{seam};
};

bool SameFolder(const std::string& hostPath, const fs::path& expected) {
    std::error_code ec;
    return !hostPath.empty() && fs::equivalent(hostPath, expected, ec);
}

TEST_F(FileDialogsTest, CancelGivesZeroAndEmptiesTheOutputPath) {
    seam.AnswerFile(std::nullopt);
    std::string path = "left over";
    EXPECT_EQ(ShowFileDialog(path, 0, nullptr, "Select", "", ExeFilter), 0);
    EXPECT_EQ(path, "");
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(FileDialogsTest, ConfirmedFileComesBackAsWindowsPathText) {
    seam.AnswerFile((sandbox.c() / "tools" / "rk zip").string());
    std::string path;
    EXPECT_NE(ShowFileDialog(path, 1, nullptr, "Save", "", ExeFilter), 0);
    EXPECT_EQ(path, "C:\\tools\\rk zip");
    EXPECT_EQ(seam.Calls()[0].fileRequest->mode, FileDialogMode::Save);
    EXPECT_EQ(seam.Calls()[0].title, "Save");
}

TEST_F(FileDialogsTest, OtherModesShowNothing) {
    std::string path = "x";
    EXPECT_EQ(ShowFileDialog(path, 2, nullptr, "Select", "", ExeFilter), 0);
    EXPECT_EQ(path, "");
    EXPECT_TRUE(seam.Calls().empty());
}

TEST_F(FileDialogsTest, InitialFolderFallsBackToTheProgramFolder) {
    const fs::path program = sandbox.c() / "prog";
    EXPECT_TRUE(SameFolder(Ask("", ExeFilter).initialFolder, program));
    EXPECT_TRUE(SameFolder(Ask("C:\\missing", ExeFilter).initialFolder, program));
    EXPECT_TRUE(SameFolder(Ask("C:\\data\\", ExeFilter).initialFolder, sandbox.c() / "data"));
    EXPECT_TRUE(SameFolder(Ask("C:\\data", ExeFilter).initialFolder, sandbox.c() / "data"));
}

TEST_F(FileDialogsTest, FilterPiecesPairDescriptionsWithPatterns) {
    const FileDialogRequest request = Ask("", ExeFilter);
    ASSERT_EQ(request.filters.size(), 2u);
    EXPECT_EQ(request.filters[0].description, "EXE Files (*.exe)");
    EXPECT_EQ(request.filters[0].pattern, "*.exe");
    EXPECT_EQ(request.filters[1].description, "All Files (*.*)");
    EXPECT_EQ(request.filters[1].pattern, "*.*");
}

struct ExtensionRow {
    std::string_view filter;
    std::optional<std::string_view> given;
    std::string expected;
};

TEST_F(FileDialogsTest, DefaultExtensionRule) {
    const ExtensionRow rows[] = {
        {ExeFilter, std::nullopt, "exe"},          // from the first pattern
        {ExeFilter, "", ""},                       // given empty: kept empty
        {ExeFilter, "zip", "zip"},                 // given: used unchanged
        {"Archives,*.tar.gz", std::nullopt, "gz"}, // the last "."-piece
        {"Anything,*", std::nullopt, "*"},         // no dot: the whole pattern
        {"", std::nullopt, ""},                    // no pattern at all
    };
    for (const ExtensionRow& row : rows) {
        EXPECT_EQ(Ask("", row.filter, row.given).defaultSuffix, row.expected)
            << "filter " << row.filter;
    }
}

TEST_F(FileDialogsTest, AnUnpairedDescriptionIsDropped) {
    const FileDialogRequest request = Ask("", "Text (*.txt),*.txt,Orphan");
    ASSERT_EQ(request.filters.size(), 1u);
    EXPECT_EQ(request.filters[0].pattern, "*.txt");
}

TEST_F(FileDialogsTest, BrowseForFolderGivesWindowsTextOrEmpty) {
    seam.AnswerFolder(std::nullopt);
    EXPECT_EQ(BrowseForFolder(nullptr, "Select a folder"), "");
    seam.AnswerFolder((sandbox.c() / "data").string());
    EXPECT_EQ(BrowseForFolder(nullptr, "Select a folder"), "C:\\data");
    ASSERT_EQ(seam.Calls().size(), 2u);
    EXPECT_EQ(seam.Calls()[0].kind, CallKind::Folder);
    EXPECT_EQ(seam.Calls()[0].title, "Select a folder");
    EXPECT_EQ(seam.Problems(), "");
}

TEST(InitialFilter, OpensAtAllFilesAfterWindowsProgramPatternsOnly) {
    const struct {
        std::vector<FileFilter> filters;
        std::size_t initial;
    } rows[] = {
        {{{"EXE Files (*.exe)", "*.exe"}, {"All Files (*.*)", "*.*"}}, 1},
        {{{"Programs", "*.EXE;*.com"}, {"All", " * "}}, 0}, // two patterns in one entry
        {{{"Programs", "*.bat"}, {"Scripts", "*.cmd"}, {"All", "*"}}, 2},
        {{{"Lists (*.txt)", "*.txt"}, {"All Files (*.*)", "*.*"}}, 0},
        {{{"EXE Files (*.exe)", "*.exe"}}, 0},
        {{}, 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(InitialFilter(row.filters), row.initial)
            << (row.filters.empty() ? "" : row.filters[0].pattern);
}

} // namespace
} // namespace rk::ui
