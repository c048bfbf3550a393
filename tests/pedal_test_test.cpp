// The pedal-test model on the virtual foot switch and on a platform that cannot be watched.
#include "window/pedal_testing.h"

#include "support/fakes.h"

#include <gtest/gtest.h>

namespace treadle {
namespace {

using Report = std::vector<std::uint8_t>;

class PedalTestModel : public ::testing::Test {
  protected:
    PedalTestModel() : device_({1, "", "", &sleeper_}) {
        std::string error;
        EXPECT_TRUE(device_.Start(error)) << error;
        config_ = device_.OpenReadWrite(VirtualFootSwitch::ConfigPath(0)).handle;
    }
    void Program(Report frame) {
        frame.insert(frame.begin(), 0x00);
        EXPECT_TRUE(device_.Write(config_, frame).error.empty());
    }

    testing::FakeSleeper sleeper_;
    testing::FakeClock clock_;
    VirtualFootSwitch device_;
    HidHandle config_ = 0;
};

TEST_F(PedalTestModel, ListsEachPressWithItsTimeCombinationAndSwitch) {
    Program({0xAA, 0x01, 0x04, 0x01, 0x3A, 0x00, 0x00});  // switch 2: ctrl+f1
    Program({0xAA, 0x02, 0x08, 0xFE, 0x01, 0x00, 0x00});  // switch 3: left click
    PedalTest model(device_, clock_);
    EXPECT_TRUE(model.CanPressPedals());
    EXPECT_FALSE(model.Poll()) << "nothing pressed yet";
    EXPECT_EQ(model.Status(), "");

    std::string error;
    ASSERT_TRUE(model.PressPedal(2, error)) << error;
    clock_.stamp = "2026/12/6 8:41:02";
    ASSERT_TRUE(model.PressPedal(3, error)) << error;
    ASSERT_EQ(model.Presses().size(), 2u);
    EXPECT_EQ(model.Presses()[0].time, "2026/12/6 8:41:02");
    EXPECT_EQ(model.Presses()[0].combination, "mouse-left");
    EXPECT_EQ(model.Presses()[0].match, "switch 3");
    EXPECT_EQ(model.Presses()[1].time, "2026/12/6 8:40:48");
    EXPECT_EQ(model.Presses()[1].combination, "ctrl+f1");
    EXPECT_EQ(model.Presses()[1].match, "switch 2");

    EXPECT_FALSE(model.PressPedal(1, error));
    EXPECT_NE(error.find("switch 1 holds no assignment"), std::string::npos) << error;
    EXPECT_EQ(model.Presses().size(), 2u);
    EXPECT_TRUE(sleeper_.sleeps.empty()) << "a poll never waits";
}

TEST_F(PedalTestModel, KeepsTheLastPressesOnly) {
    Program({0xAA, 0x01, 0x00, 0x00, 0x04, 0x00, 0x00});
    PedalTest model(device_, clock_);
    std::string error;
    for (size_t i = 0; i < PedalTest::kKeptPresses + 3; ++i) {
        clock_.stamp = std::to_string(i);
        ASSERT_TRUE(model.PressPedal(1, error)) << error;
    }
    ASSERT_EQ(model.Presses().size(), PedalTest::kKeptPresses);
    EXPECT_EQ(model.Presses().front().time, std::to_string(PedalTest::kKeptPresses + 2));
    EXPECT_EQ(model.Presses().back().time, "3");
    model.ClearPresses();
    EXPECT_TRUE(model.Presses().empty());
}

TEST_F(PedalTestModel, SaysWhenTheDeviceGoesAndListensAgainWhenItIsBack) {
    Program({0xAA, 0x01, 0x00, 0x00, 0x04, 0x00, 0x00});
    PedalTest model(device_, clock_);
    EXPECT_FALSE(model.Poll());
    device_.Unplug();
    EXPECT_TRUE(model.Poll());
    EXPECT_EQ(model.Status(), "the virtual foot switch was unplugged");
    device_.Plug();
    EXPECT_TRUE(model.Poll());
    EXPECT_EQ(model.Status(), "");
    std::string error;
    ASSERT_TRUE(model.PressPedal(1, error)) << error;
    ASSERT_EQ(model.Presses().size(), 1u);
    EXPECT_EQ(model.Presses().front().combination, "a");
}

// A platform whose input cannot be watched, and which is not the virtual foot switch.
class Unwatchable final : public HidPlatform {
  public:
    std::vector<std::string> EnumerateInterfaces() override { return {}; }
    OpenResult OpenReadWrite(const std::string&) override { return {}; }
    OpenResult OpenForTimedRead(const std::string&) override { return {}; }
    bool GetAttributes(HidHandle, HidAttributes&) override { return false; }
    bool GetCaps(HidHandle, HidCaps&) override { return false; }
    WriteResult Write(HidHandle, std::span<const std::uint8_t>) override { return {}; }
    ReadResult ReadTimed(HidHandle, std::span<std::uint8_t>, int) override { return {}; }
    bool Close(HidHandle) override { return false; }
    std::string ErrorText(std::uint32_t) override { return {}; }
};

TEST(PedalTestModelOnARealSystem, SaysWhyItCannotListenAndPressesNothing) {
    Unwatchable hid;
    testing::FakeClock clock;
    PedalTest model(hid, clock);
    EXPECT_FALSE(model.CanPressPedals());
    EXPECT_TRUE(model.Poll());
    EXPECT_EQ(model.Status(), "watching the foot switch's input is not supported on this system");
    EXPECT_FALSE(model.Poll()) << "the same status is no change";
    std::string error;
    EXPECT_FALSE(model.PressPedal(1, error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace treadle
