#include "support/fakes.h"
#include "support/scripted_platform.h"

#include <gtest/gtest.h>

namespace treadle {
namespace {

using testing::ScriptedPlatform;
using testing::WindowFixture;

constexpr HidAttributes kOurs{0x2704, 0x2018};

TEST(Discovery, NoInterfaceAtAll) {
    ScriptedPlatform platform;
    WindowFixture f(platform);
    USB& w = *f.window;
    w.Timer1_Timer();
    EXPECT_TRUE(w.LastInterfaceReached);
    EXPECT_FALSE(w.DeviceDetected);
    EXPECT_EQ(w.Label3.Text(), "请插入设备！");
    EXPECT_FALSE(w.Command_key[0].Enabled());
    w.VendorIDText = "&H2704";
    w.ProductIDText = "&H2018";
    EXPECT_FALSE(w.FindTheHid());
}

TEST(Discovery, PlugInPullOutAndPlugInAgain) {
    WindowFixture f;
    USB& w = *f.window;
    w.Timer1_Timer();  // the virtual foot switch is there from the start
    EXPECT_TRUE(w.DeviceDetected);
    EXPECT_TRUE(w.DeviceEverDetected);
    EXPECT_EQ(w.Label3.Text(), "设备连接成功！");
    EXPECT_TRUE(w.Command_key[0].Enabled());
    EXPECT_TRUE(w.Command_auto_run.Enabled());
    EXPECT_EQ(w.OutputReportLength, 8);
    EXPECT_EQ(w.InputReportLength, 8);
    EXPECT_EQ(w.DevicePath, VirtualFootSwitch::ConfigPath(0));
    EXPECT_GT(w.HIDHandle, 0);
    EXPECT_GT(w.ReadHandle, 0);

    f.device->Unplug();
    w.Timer1_Timer();
    EXPECT_FALSE(w.DeviceDetected);
    EXPECT_TRUE(w.DeviceEverDetected);
    EXPECT_EQ(w.Label3.Text(), "请插入设备！");
    EXPECT_FALSE(w.Command_key[0].Enabled());
    EXPECT_FALSE(w.Command2.Enabled());
    EXPECT_EQ(w.OutputReportLength, 8);  // lengths stay from the last success

    f.device->Plug();
    w.Timer1_Timer();
    EXPECT_TRUE(w.DeviceDetected);
    EXPECT_EQ(w.Label3.Text(), "设备连接成功！");
    EXPECT_TRUE(w.Command_key[97].Enabled());
}

TEST(Discovery, KeyboardAndMouseInterfacesAreSkipped) {
    ScriptedPlatform platform;
    // The system would let them open: they are passed over for what they are.
    platform.interfaces = {{"kbd", kOurs, OpenFailure::None, {9, 2, 0, 0x01, 0x06}},
                           {"mouse", kOurs, OpenFailure::None, {5, 0, 0, 0x01, 0x02}},
                           {"config", kOurs}};
    WindowFixture f(platform);
    f.window->Timer1_Timer();
    EXPECT_TRUE(f.window->DeviceDetected);
    EXPECT_EQ(f.window->DevicePath, "config");
}

TEST(Discovery, TheFirstOpenableMatchWins) {
    ScriptedPlatform platform;
    platform.interfaces = {{"other", {0x1234, 0x2018}},
                           {"first", kOurs, OpenFailure::None, {8, 8, 0, 0xFF00, 1}},
                           {"second", kOurs, OpenFailure::None, {65, 65, 0, 0xFF00, 1}}};
    WindowFixture f(platform);
    USB& w = *f.window;
    w.Timer1_Timer();
    EXPECT_EQ(w.DevicePath, "first");
    EXPECT_EQ(w.OutputReportLength, 8);
    // The examined non-matching interface was closed again: only our pair is open.
    EXPECT_EQ(platform.open.size(), 2u);
    EXPECT_EQ(platform.open[w.HIDHandle], "first");
    EXPECT_EQ(platform.open[w.ReadHandle], "first");
}

TEST(Discovery, IdTextsAreTrimmedAndReadAsHex) {
    struct Case {
        const char* vid;
        const char* pid;
        bool found;
    };
    const Case cases[] = {
        {"2704", "2018", true},     {"  2704  ", " 2018", true}, {"2704", "02018", false},
        {"", "2018", false},        {"27 04", "2018", false},    {"27O4", "2018", false},
        {"0x2704", "2018", false},  {"2704", "", false},         {"02704", "2018", false},
    };
    for (const Case& c : cases) {
        WindowFixture f;
        USB& w = *f.window;
        w.TextVID.SetText(c.vid);
        w.TextPID.SetText(c.pid);
        w.Timer1_Timer();
        EXPECT_EQ(w.DeviceDetected, c.found) << '"' << c.vid << "\" \"" << c.pid << '"';
        EXPECT_EQ(w.Label3.Text(), c.found ? "设备连接成功！" : "请插入设备！");
    }
    EXPECT_EQ(ParseIdText("&H2704"), 0x2704);
    EXPECT_EQ(ParseIdText("&hffff"), 0xFFFF);
    EXPECT_EQ(ParseIdText("&H0"), 0);
    EXPECT_EQ(ParseIdText("&H"), -1);
    EXPECT_EQ(ParseIdText("&H12345"), -1);
    EXPECT_EQ(ParseIdText("2704"), -1);
}

TEST(Discovery, AnInterfaceThatCannotBeOpenedNeverMatchesEvenForZeroIds) {
    ScriptedPlatform platform;
    platform.interfaces = {{"refused", {0, 0}, OpenFailure::Refused}, {"denied", {0, 0}, OpenFailure::AccessDenied}};
    WindowFixture f(platform);
    USB& w = *f.window;
    w.TextVID.SetText("0");
    w.TextPID.SetText("0");
    w.Timer1_Timer();
    EXPECT_FALSE(w.DeviceDetected);
    EXPECT_EQ(w.HIDHandle, 0);
}

TEST(Discovery, AClickWithoutUsableIdsAsksForThemInsteadOfSearching) {
    WindowFixture f;
    USB& w = *f.window;
    w.TextVID.SetText("");
    w.TextPID.SetText("");
    w.contion_Click();
    ASSERT_EQ(f.boxes.shown.size(), 1u);
    EXPECT_EQ(f.boxes.shown[0].text, "please input VendorID and  ProductID");
    EXPECT_EQ(f.boxes.shown[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(f.device->OpenHandleCount(), 0);
    w.Timer1_Timer();  // ticks never show the box
    EXPECT_EQ(f.boxes.shown.size(), 1u);
    EXPECT_EQ(w.Label3.Text(), "请插入设备！");
}

TEST(Discovery, HandleCountStaysFlatOverThousandsOfTicks) {
    WindowFixture f;
    USB& w = *f.window;
    for (int tick = 0; tick < 5000; ++tick) {
        if (tick % 1000 == 500) {
            f.device->Unplug();
        } else if (tick % 1000 == 600) {
            f.device->Plug();
        }
        w.Timer1_Timer();
        ASSERT_LE(f.device->OpenHandleCount(), 2) << "tick " << tick;
    }
    EXPECT_EQ(f.device->OpenHandleCount(), 2);
    w.Form_Unload();
    EXPECT_EQ(f.device->OpenHandleCount(), 0);
}

TEST(Discovery, UnloadClosesTheStoredPairAndLogsBothLines) {
    WindowFixture f;
    USB& w = *f.window;
    w.Timer1_Timer();
    const HidHandle write = w.HIDHandle;
    const HidHandle read = w.ReadHandle;
    w.Form_Unload();
    EXPECT_EQ(f.Log(), (std::vector<std::string>{f.Stamped("CloseHandle (HIDHandle)"),
                                                 f.Stamped("CloseHandle (ReadHandle)")}));
    EXPECT_EQ(f.device->OpenHandleCount(), 0);
    EXPECT_EQ(w.HIDHandle, write);  // the variables keep their values
    EXPECT_EQ(w.ReadHandle, read);
}

TEST(Discovery, UnloadWithoutAnyConnectionLogsBothLines) {
    WindowFixture f;
    f.window->Form_Unload();
    EXPECT_EQ(f.Log(), (std::vector<std::string>{f.Stamped("CloseHandle (HIDHandle)"),
                                                 f.Stamped("CloseHandle (ReadHandle)")}));
}

TEST(Discovery, MissingPermissionIsSaidOncePerPlugIn) {
    WindowFixture f;
    USB& w = *f.window;
    f.device->DenyAccess(true);
    for (int i = 0; i < 5; ++i) {
        w.Timer1_Timer();
    }
    EXPECT_FALSE(w.DeviceDetected);
    EXPECT_EQ(f.Log(), (std::vector<std::string>{f.Stamped(USB::kNoAccessMessage)}));
    f.device->Unplug();
    w.Timer1_Timer();
    f.device->Plug();
    w.Timer1_Timer();
    w.Timer1_Timer();
    EXPECT_EQ(f.Log().size(), 2u);
    f.device->DenyAccess(false);
    w.Timer1_Timer();
    EXPECT_TRUE(w.DeviceDetected);
    EXPECT_EQ(f.Log().size(), 2u);
}

// udev gives the user access a moment after the node appears: a tick that meets the node
// before that says nothing, and a click on the connect button says it at once.
TEST(Discovery, AccessDeniedForOneTickOnlyIsNotReported) {
    WindowFixture f;
    USB& w = *f.window;
    f.device->DenyAccess(true);
    w.TimerTick();
    EXPECT_FALSE(w.DeviceDetected);
    EXPECT_TRUE(f.Log().empty());
    f.device->DenyAccess(false);
    w.TimerTick();
    EXPECT_TRUE(w.DeviceDetected);
    EXPECT_TRUE(f.Log().empty());

    f.device->DenyAccess(true);
    f.device->Unplug();
    w.TimerTick();
    f.device->Plug();
    w.contion_Click();
    EXPECT_EQ(f.Log(), (std::vector<std::string>{f.Stamped(USB::kNoAccessMessage)}));
}

TEST(Discovery, TicksDuringARunningHandlerAreSkipped) {
    WindowFixture f;
    USB& w = *f.window;
    w.LogMessage("a line for Clear to remove");
    // A modal box's nested event loop can deliver a tick while the handler that opened it
    // still runs; here the tick arrives from inside the Clear handler.
    bool tickDelivered = false;
    w.AddChangeListener([&](const Control& c, Property p) {
        if (&c == &w.lstResults && p == Property::Items) {
            tickDelivered = true;
            w.Timer1_Timer();
        }
    });
    w.UserClick(w.Clear);
    EXPECT_TRUE(tickDelivered);
    EXPECT_FALSE(w.DeviceDetected);  // the tick did not search
    EXPECT_EQ(f.device->OpenHandleCount(), 0);
    w.Timer1_Timer();  // the next tick, with no handler running, does
    EXPECT_TRUE(w.DeviceDetected);
}

}  // namespace
}  // namespace treadle
