// Thinning through the built program: "rkbak /thin/NAME" and its exit codes
// (a bad command line, nothing to thin, a failed thinning told to the
// desktop), and the thinning "rkbak /ib/NAME" does after the backup of a job
// with a keep policy. The real rkzip and rkunzip make and read every archive.

#include "platform/drive_map.h"
#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

// "rk_yyyy_mm_dd_hh_00_00.zip" for the local day `daysAgo` days before today.
std::string NameDaysAgo(int daysAgo, int hour) {
    std::time_t now = std::time(nullptr);
    std::tm day{};
    localtime_r(&now, &day);
    day.tm_mday -= daysAgo;
    day.tm_hour = 12; // away from a change of summer time
    now = std::mktime(&day);
    localtime_r(&now, &day);
    char text[64];
    std::snprintf(text, sizeof text, "rk_%04d_%02d_%02d_%02d_00_00.zip", day.tm_year + 1900,
                  day.tm_mon + 1, day.tm_mday, hour);
    return text;
}

// The name a thinned period's archive takes: its newest archive's, "_C" added.
std::string Consolidated(const std::string& newest) {
    return newest.substr(0, newest.size() - 4) + "_C.zip";
}

class ThinLife : public ::testing::Test {
  protected:
    Sandbox box;
    fs::path program = box.c() / "prog";
    fs::path job = box.c() / "Store" / "Daily";
    fs::path notifications = box.root() / "notifications.log";
    std::vector<std::string> made; // the archives made before the run

    void SetUp() override {
        fs::create_directories(program);
        for (const char* file : {"rkbak", "rkzip", "rkunzip", "rk_fake_zip", "excl.txt"})
            fs::copy_file(ProgramDir() / file, program / file);
        Configure("C:\\prog\\rkzip");
        box.write(job / "excl.ini", "*.tmp\r\n");
        box.write(box.c() / "Data" / "a.txt", "alpha now");
    }

    void Configure(const std::string& zipUtility) {
        box.write(program / "rkbak.ini", "[settings]\r\n"
                                         "ziputil=" +
                                             zipUtility +
                                             "\r\n"
                                             "unziputil=C:\\prog\\rkunzip\r\n"
                                             "jobs=C:\\Store\r\n"
                                             "UpgradePromptShown=-1\r\n");
    }

    // The job's settings: one source folder, the root backup, and `more`.
    void Settings(const std::string& more) {
        box.write(
            job / "rkjob.ini",
            "[settings]\r\ncreated=x\r\nrootbk=" + (made.empty() ? std::string() : made.front()) +
                "\r\n[folders]\r\nfoldercount=1\r\nfolder1=C:\\Data\r\n" + more);
    }
    static std::string ProposedPolicy() {
        return "[keep]\r\ndays=2\r\nweeks=4\r\nmonths=6\r\nyears=-1\r\n";
    }

    // An archive of the job made by the real rkzip: "a.txt" names the
    // archive; `extra` adds "b.txt" holding the archive's name too.
    void MakeArchive(const std::string& name, bool extra = false) {
        const fs::path staging = box.root() / "staging" / name;
        box.write(staging / "a.txt", "a of " + name);
        if (extra)
            box.write(staging / "b.txt", "b of " + name);
        const RunResult zipped =
            rk::test::Run({(ProgramDir() / "rkzip").string(), "-a", "-p", "-r", "-^^",
                           platform::ToWindowsPath((job / name).string()),
                           platform::ToWindowsPath(staging.string()) + "\\*.*"});
        ASSERT_EQ(zipped.exitCode, 0) << zipped.err;
        made.push_back(name);
    }

    std::vector<std::string> Archives() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(job))
            if (entry.path().extension() == ".zip")
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::vector<std::string> MadeSorted() const {
        std::vector<std::string> names = made;
        std::sort(names.begin(), names.end());
        return names;
    }

    // What the archive holds as `file`, read by Info-ZIP's unzip.
    std::string Held(const std::string& archive, const std::string& file) const {
        return rk::test::Run({"/usr/bin/unzip", "-p", (job / archive).string(), file}).out;
    }

    bool ExtractionLeftBehind() const {
        for (const auto& entry : fs::directory_iterator(box.root() / "tmp"))
            if (entry.path().filename().string().rfind("rkthin", 0) == 0)
                return true;
        return false;
    }

    RunResult Start(const std::string& argument, std::vector<std::string> env = {}) const {
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.emplace_back(name);
        return rk::test::Run({(program / "rkbak").string(), argument}, env);
    }
    RunResult OnSessionBus(const std::string& argument, std::vector<std::string> env = {}) const {
        for (const char* name :
             {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS"})
            env.emplace_back(name);
        return rk::test::Run({"/usr/bin/dbus-run-session", "--",
                              (ProgramDir() / "rk_fake_notifier").string(), notifications.string(),
                              (program / "rkbak").string(), argument},
                             env);
    }

    // Archives of past days: a root backup 200 days ago alone in its week,
    // two archives 100 days ago, three 40 days ago (the middle one with a
    // second file), two of yesterday.
    void MakePastArchives() {
        MakeArchive(NameDaysAgo(200, 12));
        MakeArchive(NameDaysAgo(100, 1));
        MakeArchive(NameDaysAgo(100, 2));
        MakeArchive(NameDaysAgo(40, 1));
        MakeArchive(NameDaysAgo(40, 2), true);
        MakeArchive(NameDaysAgo(40, 3));
        MakeArchive(NameDaysAgo(1, 1));
        MakeArchive(NameDaysAgo(1, 2));
    }
};

TEST_F(ThinLife, AnUnknownJobIsABadCommandLine) {
    MakeArchive(NameDaysAgo(40, 1));
    MakeArchive(NameDaysAgo(40, 2));
    Settings(ProposedPolicy());
    const RunResult result = Start("/thin/Weekly");
    EXPECT_EQ(result.exitCode, 2) << result.err;
    EXPECT_NE(result.err.find("rkbak: there is no backup job named \"Weekly\" in C:\\Store\\"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(Archives(), MadeSorted());
}

TEST_F(ThinLife, AJobWithoutAKeepPolicyIsABadCommandLineAndKeepsEverything) {
    MakeArchive(NameDaysAgo(40, 1));
    MakeArchive(NameDaysAgo(40, 2));
    Settings("");
    const RunResult result = Start("/thin/Daily");
    EXPECT_EQ(result.exitCode, 2) << result.err;
    EXPECT_NE(result.err.find("rkbak: job \"Daily\" has no keep policy: it keeps every backup "
                              "(choose one with Keep... in the Job menu)\n"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(Archives(), MadeSorted());
    EXPECT_EQ(box.read(job / "rkjob.ini").find("[lastthin]"), std::string::npos);
}

TEST_F(ThinLife, NothingToThinEndsWellAndSaysNothing) {
    MakeArchive(NameDaysAgo(1, 1));
    MakeArchive(NameDaysAgo(1, 2));
    MakeArchive(NameDaysAgo(0, 1));
    Settings(ProposedPolicy());
    const RunResult result = Start("/thin/Daily");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(Archives(), MadeSorted());
    const std::string settings = box.read(job / "rkjob.ini");
    EXPECT_NE(settings.find("[lastthin]\r\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("\r\nbefore=3\r\nafter=3\r\nfreed=0\r\noutcome=nothing\r\n"),
              std::string::npos)
        << settings;
}

// The stand-in zip utility spoils each archive it makes: the content check
// fails, nothing is deleted, and the desktop is told why.
TEST_F(ThinLife, AFailedThinningExitsOneAndTellsTheDesktopWhy) {
    MakePastArchives();
    Settings(ProposedPolicy());
    Configure("C:\\prog\\rk_fake_zip");
    const RunResult result = OnSessionBus("/thin/Daily", {"RK_FAKE_ZIP=corrupt"});
    EXPECT_EQ(result.exitCode, 1) << result.err;
    const std::string said = "rkbak: job \"Daily\": the thinning failed: ";
    const std::size_t line = result.err.find(said);
    ASSERT_NE(line, std::string::npos) << result.err;
    const std::string reason =
        result.err.substr(line + said.size(), result.err.find('\n', line) - line - said.size());
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(Archives(), MadeSorted());
    EXPECT_FALSE(ExtractionLeftBehind());

    const std::string sent = box.read(notifications);
    EXPECT_NE(sent.find("summary=The thinning of \"Daily\" failed\nbody=job \"Daily\": the "
                        "thinning failed: " +
                        reason),
              std::string::npos)
        << sent;
    const std::string settings = box.read(job / "rkjob.ini");
    EXPECT_NE(settings.find("\r\nbefore=8\r\nafter=8\r\nfreed=0\r\noutcome=failed\r\nreason="),
              std::string::npos)
        << settings;
}

TEST_F(ThinLife, ABackupOfAJobWithAPolicyIsFollowedByItsThinning) {
    MakePastArchives();
    Settings(ProposedPolicy());
    const RunResult result = Start("/ib/Daily");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");

    const std::vector<std::string> now = Archives();
    ASSERT_EQ(now.size(), 6U);
    const std::string& backup = now.back();
    EXPECT_EQ(std::find(made.begin(), made.end(), backup), made.end()) << backup;
    // The root backup alone in its week and every archive of the last two
    // days stay as they are; each older day of several archives is one.
    EXPECT_EQ(now, (std::vector<std::string>{made[0], Consolidated(made[2]), Consolidated(made[5]),
                                             made[6], made[7], backup}));
    // Each consolidated archive holds each file's newest version of its day.
    EXPECT_EQ(Held(Consolidated(made[2]), "a.txt"), "a of " + made[2]);
    EXPECT_EQ(Held(Consolidated(made[5]), "a.txt"), "a of " + made[5]);
    EXPECT_EQ(Held(Consolidated(made[5]), "b.txt"), "b of " + made[4]);
    EXPECT_EQ(Held(made[0], "a.txt"), "a of " + made[0]);
    EXPECT_FALSE(ExtractionLeftBehind());

    const std::string settings = box.read(job / "rkjob.ini");
    EXPECT_NE(settings.find("[lastthin]\r\ntime="), std::string::npos) << settings;
    EXPECT_NE(settings.find("\r\nbefore=9\r\nafter=6\r\nfreed="), std::string::npos) << settings;
    EXPECT_NE(settings.find("\r\noutcome=thinned\r\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("\r\noutcome=made\r\n"), std::string::npos) << settings;
}

TEST_F(ThinLife, ABackupOfAJobWithoutAPolicyThinsNothing) {
    MakePastArchives();
    Settings("");
    const RunResult result = Start("/ib/Daily");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    std::vector<std::string> expected = MadeSorted();
    const std::vector<std::string> now = Archives();
    ASSERT_EQ(now.size(), made.size() + 1);
    expected.push_back(now.back());
    EXPECT_EQ(now, expected);
    const std::string settings = box.read(job / "rkjob.ini");
    EXPECT_EQ(settings.find("[lastthin]"), std::string::npos) << settings;
    EXPECT_NE(settings.find("\r\noutcome=made\r\n"), std::string::npos) << settings;
}

} // namespace
} // namespace rk::test
