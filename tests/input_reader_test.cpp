#include <gtest/gtest.h>

#include "support/fakes.h"

namespace treadle {
namespace {

using testing::WindowFixture;
using Lines = std::vector<std::string>;

TEST(InputReader, NeverConnectedSaysSoAndNothingElse) {
    WindowFixture f;
    f.window->ReadInputReport();
    EXPECT_EQ(f.Log(), (Lines{"读出失败请先连接"}));
}

TEST(InputReader, CompletedReadShowsItsBytes) {
    WindowFixture f;
    USB& w = *f.window;
    w.Timer1_Timer();
    w.PrepareReadEvent();
    f.device->QueueInputReport({0x00, 0x0A, 0xFF, 0x01, 0x00, 0x00, 0x00, 0x7C});
    w.ReadInputReport();
    EXPECT_EQ(f.Log(), (Lines{f.Stamped("CreateEvent"), f.Stamped("ReadFile"), "waiting for ReadFile",
                              f.Stamped("WaitForSingleObject"), "ReadFile completed successfully.", " Report ID: 0",
                              " Report Data:", " 0A", " FF", " 01", " 00", " 00", " 00", " 7C",
                              f.Stamped("ResetEvent")}));
    EXPECT_EQ(w.lstResults.ListIndex(), static_cast<int>(f.Log().size()) - 1);
    EXPECT_TRUE(f.sleeper.sleeps.empty());
}

TEST(InputReader, TimeOutCancelsAndShowsTheBuffer) {
    WindowFixture f;
    USB& w = *f.window;
    w.Timer1_Timer();
    w.ReadInputReport();  // prepares the event itself
    EXPECT_EQ(f.Log(), (Lines{f.Stamped("CreateEvent"), f.Stamped("ReadFile"), "waiting for ReadFile",
                              f.Stamped("WaitForSingleObject"), "Readfile timeout",
                              "************ReadFile timeout*************", "CancelIO", f.Stamped("CancelIo"),
                              " Report ID: 0", " Report Data:", " 00", " 00", " 00", " 00", " 00", " 00", " 00",
                              f.Stamped("ResetEvent")}));
    EXPECT_EQ(f.sleeper.sleeps, std::vector<int>{100});
}

TEST(InputReader, ReportIdInDecimalAndLengthOne) {
    WindowFixture f;
    USB& w = *f.window;
    w.Timer1_Timer();
    w.InputReportLength = 1;
    f.device->QueueInputReport({200, 1, 2});
    w.ReadInputReport();
    const Lines& log = f.Log();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 3], " Report ID: 200");
    EXPECT_EQ(log[log.size() - 2], " Report Data:");
}

TEST(InputReader, AFailedWaitClearsDeviceDetectedSoTheNextSendSearches) {
    WindowFixture f;
    USB& w = *f.window;
    w.Timer1_Timer();
    f.device->FailNextWait(5);
    w.ReadInputReport();
    EXPECT_FALSE(w.DeviceDetected);
    EXPECT_NE(std::find(f.Log().begin(), f.Log().end(), "Readfile undefined error"), f.Log().end());
    const HidHandle before = w.HIDHandle;
    EXPECT_EQ(w.SendFrame(), SendOutcome::Written);
    EXPECT_TRUE(w.DeviceDetected);
    EXPECT_NE(w.HIDHandle, before);  // searched and reopened
    EXPECT_EQ(f.device->OpenHandleCount(), 2);
}

TEST(SystemErrorText, ComesFromThePlatform) {
    WindowFixture f;
    EXPECT_FALSE(f.window->GetSystemErrorText(2).empty());
    EXPECT_EQ(f.window->GetSystemErrorText(987654), "");
}

TEST(MakerLabel, OpensTheConfiguredPageAndChangesNothing) {
    for (bool connected : {false, true}) {
        WindowFixture f;
        USB& w = *f.window;
        if (connected) {
            w.Timer1_Timer();
        }
        int changes = 0;
        w.AddChangeListener([&](const Control&, Property) { ++changes; });
        w.UserClick(w.Label11);
        ASSERT_EQ(f.url.opened.size(), 1u);
        EXPECT_EQ(f.url.opened[0], w.MakerPage);
        EXPECT_NE(w.MakerPage.find("guide.html"), std::string::npos);
        EXPECT_EQ(changes, 0);
        EXPECT_TRUE(f.Log().empty());
    }
}

}  // namespace
}  // namespace treadle
