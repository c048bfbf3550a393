// treadlectl provision on the Windows HID layer, its Win32 calls played by a script in which
// foot switches are plugged in while provision waits.
#include "cli/provision.h"
#include "cli/runner_fixture.h"
#include "windows/fake_win32_hid_calls.h"

namespace treadle::cli {
namespace {

using treadle::testing::FakeInterface;
using treadle::testing::FakeWin32HidCalls;
using treadle::testing::MakeInterface;

// A foot switch's three collections as Windows shows them; `unit` tells its paths apart.
std::vector<FakeInterface> FootSwitch(char unit) {
    const std::string tail = std::string("#7&") + unit + "&0&000";
    auto keyboard = MakeInterface(R"(\\?\hid#vid_2704&pid_2018&mi_00)" + tail + "0", 0x01, 0x06, 9, 2);
    keyboard.openError = ERROR_ACCESS_DENIED;
    auto mouse = MakeInterface(R"(\\?\hid#vid_2704&pid_2018&mi_01)" + tail + "1", 0x01, 0x02, 5, 0);
    mouse.openError = ERROR_ACCESS_DENIED;
    auto config = MakeInterface(R"(\\?\hid#vid_2704&pid_2018&mi_02)" + tail + "2", 0xFF00, 0x01, 8, 8);
    return {keyboard, mouse, config};
}

class ProvisionOnWindows : public Runner {
  protected:
    ProvisionOnWindows() {
        systemPlatform_ = [this] {
            auto owned = std::make_unique<FakeWin32HidCalls>();
            calls_ = owned.get();
            calls_->writtenAlsoTo = &written_;
            return std::make_unique<WindowsHidPlatform>(std::move(owned));
        };
    }
    FakeWin32HidCalls* calls_ = nullptr;  // goes with the platform at the end of a run
    std::vector<std::vector<std::uint8_t>> written_;
};

TEST_F(ProvisionOnWindows, ProgramsEachFootSwitchAsItIsPluggedIn) {
    const std::string profile = Write("office.toml", "[switches]\n1 = \"ctrl+f1\"\n");
    int polls = 0;
    sleeper_.onSleep = [&](int ms) {
        if (ms != Provisioner::kPollMs) {
            return;
        }
        ++polls;
        if (polls == 1 || polls == 3) {
            for (const FakeInterface& i : FootSwitch(polls == 1 ? 'a' : 'b')) {
                calls_->interfaces.push_back(i);
            }
        }
    };
    ASSERT_EQ(Run({"provision", profile, "--count", "2"}), kExitOk) << err_.str();
    const std::vector<std::string> lines = Lines(out_.str());
    // Windows tells no serial number here: each plug-in is programmed, and the first line of each says so.
    ASSERT_EQ(lines.size(), 5u) << out_.str();
    EXPECT_EQ(lines[0], R"(\\?\hid#vid_2704&pid_2018&mi_02#7&a&0&0002: the system tells no serial number: every )"
                        "plug-in is programmed");
    EXPECT_NE(lines[1].find(R"(1 12:00:00 \\?\hid#vid_2704&pid_2018&mi_02#7&a&0&0002: programmed: applied )"),
              std::string::npos)
        << lines[1];
    EXPECT_NE(lines[3].find(R"(2 12:00:00 \\?\hid#vid_2704&pid_2018&mi_02#7&b&0&0002: programmed: applied )"),
              std::string::npos)
        << lines[3];
    EXPECT_EQ(lines[4], "2 foot switches: 2 programmed, 0 failed");
    // Each got the three reports of the key assignment, in order.
    const std::vector<std::uint8_t> key = {0x00, 0xAA, 0x01, 0x00, 0x01, 0x3A, 0x00, 0x00};
    ASSERT_EQ(written_.size(), 6u);
    EXPECT_EQ(written_[0], key);
    EXPECT_EQ(written_[3], key);
}

}  // namespace
}  // namespace treadle::cli
