// The Windows HID layer on the system it runs on. Under Wine, with no hardware, SetupAPI
// shows Wine's own virtual HID mouse (845E:0001) and keyboard (845E:0002); on a Windows
// machine, whatever is plugged in. Either way there is no foot switch.
#include "device/hid_usages.h"
#include "device/windows_hid_platform.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

namespace treadle::testing {
namespace {

TEST(SystemHid, EveryInterfaceCanBeDescribedAndNoKeyboardOrMouseIsOpened) {
    auto platform = MakeSystemHidPlatform();
    const std::vector<std::string> paths = platform->EnumerateInterfaces();
    ASSERT_FALSE(paths.empty()) << "the system shows no HID interface at all";
    int keyboardsAndMice = 0;
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        EXPECT_EQ(path.rfind(R"(\\?\)", 0), 0u);
        HidAttributes ids;
        EXPECT_TRUE(platform->PeekAttributes(path, ids));
        HidCaps caps;
        ASSERT_TRUE(platform->PeekCaps(path, caps));
        EXPECT_GT(caps.inputReportLength + caps.outputReportLength + caps.featureReportLength, 0);
        const OpenResult opened = OpenForWriting(*platform, path);
        if (hid::IsKeyboardOrMouse(caps.usagePage, caps.usage)) {
            ++keyboardsAndMice;
            EXPECT_EQ(opened.failure, OpenFailure::Refused) << opened.error;
        }
        if (opened.ok()) {
            platform->Close(opened.handle);
        }
    }
    EXPECT_GT(keyboardsAndMice, 0);
}

TEST(SystemHid, WithoutAFootSwitchTheWindowAsksForTheDevice) {
    auto platform = MakeSystemHidPlatform();
    WindowFixture f(*platform);
    f.window->Timer1_Timer();
    EXPECT_EQ(f.window->Label3.Text(), "请插入设备！");
    EXPECT_FALSE(f.window->DeviceDetected);
    EXPECT_FALSE(f.window->Iwrite.Enabled());
    EXPECT_TRUE(f.window->lstResults.Items().empty());
}

TEST(SystemHid, SystemErrorTextsComeWithoutTheirLineBreak) {
    auto platform = MakeSystemHidPlatform();
    WindowFixture f(*platform);
    const std::string text = f.window->GetSystemErrorText(2);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), '\r');
    EXPECT_EQ(f.window->GetSystemErrorText(99999), "");
}

TEST(SystemHid, HandlesThatAreNotOpenAreRefused) {
    auto platform = MakeSystemHidPlatform();
    const std::uint8_t report[8] = {};
    EXPECT_NE(platform->Write(7, report).error, "");
    std::uint8_t buffer[8] = {};
    EXPECT_EQ(platform->ReadTimed(7, buffer, 10).status, ReadStatus::Failed);
    EXPECT_FALSE(platform->Close(7));
    const OpenResult missing =
        platform->OpenReadWrite(R"(\\?\hid#no_such_device#0#{4d1e55b2-f16f-11cf-88cb-001111000030})");
    EXPECT_FALSE(missing.ok());
    EXPECT_NE(missing.error, "");
}

}  // namespace
}  // namespace treadle::testing
