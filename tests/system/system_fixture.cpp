#include "system_fixture.h"

#include "engine/last_backup.h"
#include "private_namespace.h"

#include <algorithm>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace rk::test {

namespace fs = std::filesystem;

void SystemTest::SetUp() {
    if (geteuid() != 0)
        GTEST_SKIP() << "the system tests run as root: they make a private mount namespace";
    if (const auto problem = EnterPrivateMountNamespace())
        GTEST_SKIP() << "no private mount namespace can be made here: " << *problem;
    // Only the namespace's own /run, /root and /media are seen from here on:
    // the machine's runtime folders, root's home and removable disks stay
    // untouched.
    for (const char* folder : {"/run", "/media"})
        ASSERT_EQ(MountEmptyFolder(folder), std::nullopt);
    ASSERT_EQ(MountEmptyFolder("/root", "mode=0700"), std::nullopt);
    fs::create_directories(RuntimeFolder());
    fs::permissions(RuntimeFolder(), fs::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", RuntimeFolder().c_str(), 1);
    setenv("XDG_STATE_HOME", (box.root() / "state").c_str(), 1);
    fs::create_directories(box.root() / "state");
}

void SystemTest::TearDown() {
    notifier_.Stop();
    sessionBus_.Stop();
}

std::string SystemTest::RuntimeFolder() {
    return "/run/user/" + std::to_string(geteuid());
}

std::string SystemTest::UserBus() {
    return "unix:path=" + RuntimeFolder() + "/bus";
}

void SystemTest::InstallProgram() {
    InstallProgramCopy(box, program, "C:\\Program Files\\rk", storeText);
}

void SystemTest::AddJob(const std::string& name, const std::string& sourceText) const {
    box.write(store / name / "rkjob.ini",
              "[settings]\r\ncreated=x\r\n[folders]\r\nfoldercount= 1\r\n"
              "folder1=" +
                  sourceText + "\r\n");
    fs::copy_file(ProgramDir() / "excl.txt", store / name / "excl.ini",
                  fs::copy_options::overwrite_existing);
}

std::vector<fs::path> SystemTest::Archives(const std::string& job) const {
    std::vector<fs::path> archives;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(store / job, error))
        if (entry.path().extension() == ".zip")
            archives.push_back(entry.path());
    std::sort(archives.begin(), archives.end());
    return archives;
}

std::string SystemTest::LastOutcome(const std::string& job) const {
    const std::string content = box.read(store / job / "rkjob.ini");
    if (content.find("[lastbackup]") == std::string::npos)
        return {};
    const std::optional<LastBackup> last = ReadLastBackup(storeText + "\\" + job);
    return last ? last->outcome : std::string();
}

void SystemTest::StartSessionBus() {
    ASSERT_TRUE(Have("/usr/bin/dbus-daemon"));
    const std::string socket = RuntimeFolder() + "/bus";
    ASSERT_EQ(sessionBus_.Start({"/usr/bin/dbus-daemon", "--session", "--nofork", "--nopidfile",
                                 "--address=" + UserBus()},
                                {{}, box.root() / "dbus-daemon.log", {}}),
              std::nullopt);
    ASSERT_TRUE(Eventually(std::chrono::seconds(10), [&] { return fs::exists(socket); }))
        << box.read(box.root() / "dbus-daemon.log");
    ASSERT_EQ(
        notifier_.Start(
            {(ProgramDir() / "rk_fake_notifier").string(), "--serve", notificationLog.string()},
            {{"DBUS_SESSION_BUS_ADDRESS=" + UserBus(), "DISPLAY", "QT_QPA_PLATFORM=offscreen"},
             box.root() / "notifier.log",
             {}}),
        std::nullopt);
    ASSERT_TRUE(Eventually(std::chrono::seconds(10), [&] { return fs::exists(notificationLog); }))
        << box.read(box.root() / "notifier.log");
}

std::string SystemTest::Notifications() const {
    return box.read(notificationLog);
}

bool SystemTest::Have(const std::string& executable) {
    if (access(executable.c_str(), X_OK) == 0)
        return true;
    ADD_FAILURE() << executable << " is not installed (scripts/setup.sh installs it)";
    return false;
}

} // namespace rk::test
