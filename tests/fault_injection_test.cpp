// Faults in the middle of an action: the device pulled out between the frames of a key
// assignment or during clear-all, writes and reads that fail. Nothing crashes or hangs, the
// log says what happened, and the next tick finds the device again.
#include "support/fakes.h"

#include <gtest/gtest.h>

#include <functional>

namespace treadle::testing {
namespace {

// A virtual foot switch with a hook after every write and every sleep, where a test pulls
// the device out or puts it back at exactly the moment it wants.
class HookedSleeper final : public Sleeper {
  public:
    std::function<void(int)> onSleep;
    int count = 0;
    void Sleep(int) override {
        ++count;
        if (onSleep) {
            onSleep(count);
        }
    }
};

class HookedPlatform final : public HidPlatform {
  public:
    explicit HookedPlatform(VirtualFootSwitch& inner) : inner_(inner) {}
    std::function<void(int)> afterWrite;  // called with the number of writes so far
    int writes = 0;

    std::vector<std::string> EnumerateInterfaces() override { return inner_.EnumerateInterfaces(); }
    OpenResult OpenReadWrite(const std::string& path) override { return inner_.OpenReadWrite(path); }
    OpenResult OpenForTimedRead(const std::string& path) override { return inner_.OpenForTimedRead(path); }
    bool GetAttributes(HidHandle handle, HidAttributes& out) override { return inner_.GetAttributes(handle, out); }
    bool PeekAttributes(const std::string& path, HidAttributes& out) override {
        return inner_.PeekAttributes(path, out);
    }
    bool PeekCaps(const std::string& path, HidCaps& out) override { return inner_.PeekCaps(path, out); }
    bool GetCaps(HidHandle handle, HidCaps& out) override { return inner_.GetCaps(handle, out); }
    WriteResult Write(HidHandle handle, std::span<const std::uint8_t> report) override {
        const WriteResult result = inner_.Write(handle, report);
        ++writes;
        if (afterWrite) {
            afterWrite(writes);
        }
        return result;
    }
    ReadResult ReadTimed(HidHandle handle, std::span<std::uint8_t> buffer, int timeoutMs) override {
        return inner_.ReadTimed(handle, buffer, timeoutMs);
    }
    bool Close(HidHandle handle) override { return inner_.Close(handle); }
    std::string ErrorText(std::uint32_t code) override { return inner_.ErrorText(code); }

  private:
    VirtualFootSwitch& inner_;
};

struct Hooked {
    HookedSleeper sleeper;
    VirtualFootSwitch device{VirtualFootSwitch::Options{1, {}, {}, &sleeper}};
    HookedPlatform platform{device};
    FakeClock clock;
    FakeBoxes boxes;
    FakeUrl url;
    USB window{WindowServices{platform, clock, sleeper, boxes, url}};

    Hooked() {
        window.Form_Load();
        window.Timer1_Timer();
    }
    const std::string& LastLine() const { return window.lstResults.Items().back(); }
    bool Logged(const std::string& message) const {
        for (const std::string& line : window.lstResults.Items()) {
            if (line.find(message) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
};

const char* kCheckConnection = "写入失败，请检查设备连接。";

// Pulled out after the n-th of the three frames of a key assignment (the sleeps come after
// frames 1 and 2): the assignment is reported as failed, the next tick shows the device gone,
// and once it is back the same click succeeds.
class KeyAssignmentUnplugged : public ::testing::TestWithParam<int> {};

TEST_P(KeyAssignmentUnplugged, IsReportedAndRecovered) {
    Hooked h;
    ASSERT_TRUE(h.window.DeviceDetected);
    const int afterFrame = GetParam();
    h.platform.afterWrite = [&](int n) {
        if (n == afterFrame) {
            h.device.Unplug();
        }
    };
    h.window.Command_key_Click(0);
    EXPECT_NE(h.LastLine().find(kCheckConnection), std::string::npos) << h.LastLine();
    EXPECT_EQ(h.device.Received().size(), static_cast<size_t>(afterFrame));

    h.platform.afterWrite = nullptr;
    h.window.Timer1_Timer();
    EXPECT_EQ(h.window.Label3.Text(), "请插入设备！");
    EXPECT_FALSE(h.window.Command_key[0].Enabled());

    h.device.Plug();
    h.window.Timer1_Timer();
    EXPECT_EQ(h.window.Label3.Text(), "设备连接成功！");
    h.window.Command_key_Click(0);
    EXPECT_EQ(h.LastLine().find(kCheckConnection), std::string::npos) << h.LastLine();
    EXPECT_EQ(h.device.Received().size(), static_cast<size_t>(afterFrame) + 3);
}

// Frames 1 and 2 are the last ones written: a fault after frame 3 comes too late to matter.
INSTANTIATE_TEST_SUITE_P(AfterFrame, KeyAssignmentUnplugged, ::testing::Values(1, 2),
                         [](const auto& info) { return "Frame" + std::to_string(info.param); });

TEST(FaultInjection, UnpluggedDuringAPauseOfAKeyAssignment) {
    Hooked h;
    h.sleeper.onSleep = [&](int n) {
        if (n == 2) {
            h.device.Unplug();  // before the long-press frame
        }
    };
    h.window.Command_key_Click(0);
    EXPECT_NE(h.LastLine().find(kCheckConnection), std::string::npos) << h.LastLine();
    EXPECT_EQ(h.device.Received().size(), 2u);
}

TEST(FaultInjection, UnpluggedInTheMiddleOfClearAll) {
    Hooked h;
    h.platform.afterWrite = [&](int n) {
        if (n == 10) {
            h.device.Unplug();
        }
    };
    h.window.Command1_Click();
    // Clear-all goes on trying every slot and then says that it failed.
    EXPECT_NE(h.LastLine().find(kCheckConnection), std::string::npos) << h.LastLine();
    EXPECT_EQ(h.device.Received().size(), 10u);
    h.device.Plug();
    h.platform.afterWrite = nullptr;
    h.window.Timer1_Timer();
    ASSERT_TRUE(h.window.DeviceDetected);
    h.window.Command1_Click();
    EXPECT_EQ(h.LastLine().find(kCheckConnection), std::string::npos) << h.LastLine();
    EXPECT_EQ(h.device.Received().size(), 42u);
}

TEST(FaultInjection, ReadsThatTimeOutOrFailThenTheDeviceComesBack) {
    Hooked h;
    h.window.ReadInputReport();  // nothing queued: a time-out
    EXPECT_TRUE(h.Logged("CancelIo"));
    EXPECT_TRUE(h.window.DeviceDetected);

    h.device.FailNextWait(31);
    h.window.ReadInputReport();
    EXPECT_TRUE(h.Logged("Readfile undefined error"));
    EXPECT_FALSE(h.window.DeviceDetected);

    // The next send searches again and writes.
    h.window.Command_key_Click(0);
    EXPECT_TRUE(h.window.DeviceDetected);
    EXPECT_EQ(h.LastLine().find("写入失败"), std::string::npos) << h.LastLine();
}

TEST(FaultInjection, FailedAndShortWritesOfEveryActionAreSaid) {
    for (const auto fault : {VirtualFootSwitch::WriteFault::Fail, VirtualFootSwitch::WriteFault::Short}) {
        Hooked h;
        h.device.SetWriteFault(fault);
        const std::vector<std::function<void()>> actions = {
            [&] { h.window.Command_key_Click(5); }, [&] { h.window.Command_L_btn_Click(); },
            [&] { h.window.Command1_Click(); },     [&] { h.window.Command2_Click(); },
            [&] { h.window.Iwrite_Click(); },       [&] { h.window.Command_auto_run_Click(); }};
        for (const auto& action : actions) {
            const size_t before = h.window.lstResults.Items().size();
            action();
            ASSERT_GT(h.window.lstResults.Items().size(), before);
            EXPECT_NE(h.LastLine().find(kCheckConnection), std::string::npos) << h.LastLine();
        }
        h.device.SetWriteFault(VirtualFootSwitch::WriteFault::None);
        h.window.Combo1.SetText("1");  // clear-all left switch 0 in the box
        h.window.Timer1_Timer();
        h.window.Command_key_Click(5);
        EXPECT_EQ(h.LastLine().find("写入失败"), std::string::npos) << h.LastLine();
    }
}

}  // namespace
}  // namespace treadle::testing
