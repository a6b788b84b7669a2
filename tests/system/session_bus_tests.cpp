// The session bus of the system tests: dbus-daemon --session on
// /run/user/<uid>/bus with the stand-in notification service on it, reached
// by a failed run that is given the bus's address.

#include "system_fixture.h"

namespace rk::test {
namespace {

TEST_F(SystemTest, AFailedRunGivenTheUsersBusReachesTheStandInService) {
    StartSessionBus();
    InstallProgram();
    AddJob("Lost Source", "C:\\Gone Folder");
    const RunResult run = rk::test::Run(
        {(program / "rkbak").string(), "/ib/Lost Source"},
        {"DBUS_SESSION_BUS_ADDRESS=" + UserBus(), "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(LastOutcome("Lost Source"), "failed");
    Eventually(std::chrono::seconds(5),
               [&] { return Notifications().find("Lost Source") != std::string::npos; });
    EXPECT_NE(Notifications().find("app=Ravelkeep"), std::string::npos) << Notifications();
    EXPECT_NE(Notifications().find("Lost Source"), std::string::npos) << Notifications();
}

} // namespace
} // namespace rk::test
