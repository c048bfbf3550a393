// treadlectl on fake hidraw trees of several foot switches, some of them broken.
#if defined(__linux__)

#include "cli/runner_fixture.h"
#include "device/hidraw_platform.h"
#include "support/fake_hidraw_tree.h"

namespace treadle::cli {
namespace {

using treadle::testing::FakeTree;
using treadle::testing::Node;

class HidrawTree : public Runner {
  protected:
    HidrawTree() {
        systemPlatform_ = [this] { return std::make_unique<HidrawPlatform>(tree_->Roots()); };
    }
    std::unique_ptr<FakeTree> tree_ = std::make_unique<FakeTree>();
};

// With three foot switches of which one's configuration interface cannot be used, --all once
// said "2 of 2 devices done" and exit 0, while list showed the third as unusable.
TEST_F(HidrawTree, AllCountsTheFootSwitchItCouldNotOpen) {
    const struct {
        const char* name;
        std::function<void(FakeTree&, int)> breakIt;
    } faults[] = {
        {"node gone", [](FakeTree& t, int n) { fs::remove(t.DevNode(n)); }},
        {"node a folder",
         [](FakeTree& t, int n) {
             fs::remove(t.DevNode(n));
             fs::create_directory(t.DevNode(n));
         }},
        {"descriptor empty",
         [](FakeTree& t, int n) {
             std::ofstream(t.Roots().sysfs + "/class/hidraw/hidraw" + std::to_string(n) + "/device/report_descriptor",
                           std::ios::trunc);
         }},
    };
    for (const auto& fault : faults) {
        tree_.reset();
        tree_ = std::make_unique<FakeTree>();
        tree_->AddFootSwitch(0);
        tree_->AddFootSwitch(3);
        tree_->AddFootSwitch(6);
        fault.breakIt(*tree_, 8);
        ASSERT_EQ(Run({"list"}), kExitOk) << fault.name;
        EXPECT_NE(out_.str().find(tree_->DevPath(8) + "\t"), std::string::npos) << fault.name << "\n" << out_.str();

        EXPECT_EQ(Run({"--all", "set", "1", "a"}), kExitFailed) << fault.name;
        EXPECT_NE(out_.str().find("2 of 3 devices done"), std::string::npos) << fault.name << ": " << out_.str();
        EXPECT_NE(err_.str().find(tree_->DevPath(8) + ": cannot open the device: "), std::string::npos)
            << fault.name << ": " << err_.str();
        EXPECT_EQ(tree_->NodeBytes(2).size(), 3u * 8u) << fault.name << ": the first was written";
        EXPECT_EQ(tree_->NodeBytes(5).size(), 3u * 8u) << fault.name << ": the second was written";
    }
}

// provision on a fake tree: the foot switch present at the start is left alone, one that
// appears while it waits is programmed and named by its serial number, one without a serial
// by its USB port; one that goes and comes back is not programmed twice.
TEST_F(HidrawTree, ProvisionProgramsTheFootSwitchesThatArrive) {
    using treadle::testing::kConfigDescriptor;
    using treadle::testing::kKeyboardDescriptor;
    using treadle::testing::kMouseDescriptor;
    const std::string base = "DRIVER=hid-generic\nHID_ID=0003:00002704:00002018\nHID_NAME=foot switch\n";
    auto addFootSwitch = [&](int n, const std::string& extra, const char* port) {
        for (int i = 0; i < 3; ++i) {
            tree_->Add(n + i, base + extra + "HID_PHYS=" + port + "/input" + std::to_string(i) + "\n",
                       i == 0   ? kKeyboardDescriptor
                       : i == 1 ? kMouseDescriptor
                                : kConfigDescriptor);
        }
    };
    addFootSwitch(0, "HID_UNIQ=\n", "usb-0000:00:14.0-1");
    Write("office.toml", "[switches]\n1 = \"a\"\n");
    int polls = 0;
    sleeper_.onSleep = [&](int ms) {
        if (ms != 250) {
            return;
        }
        ++polls;
        if (polls == 2) {
            addFootSwitch(3, "HID_UNIQ=SN0042\n", "usb-0000:00:14.0-2");
        } else if (polls == 4) {
            addFootSwitch(6, "", "usb-0000:00:14.0-3");
        } else if (polls == 5) {
            for (int i = 3; i < 6; ++i) {
                tree_->Remove(i);  // SN0042 is unplugged ...
            }
        } else if (polls == 6) {
            addFootSwitch(3, "HID_UNIQ=SN0042\n", "usb-0000:00:14.0-2");  // ... and plugged in again
        }
    };
    EXPECT_EQ(Run({"provision", Path("office.toml"), "--timeout", "2500"}), kExitOk) << err_.str();
    const std::vector<std::string> lines = Lines(out_.str());
    ASSERT_EQ(lines.size(), 5u) << out_.str();
    EXPECT_EQ(lines[0], "already plugged in, left alone: usb-0000:00:14.0-1");
    EXPECT_EQ(lines[1].rfind("1 12:00:00 serial SN0042: programmed: applied ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2].rfind("2 12:00:00 usb-0000:00:14.0-3: programmed: applied ", 0), 0u) << lines[2];
    EXPECT_EQ(lines[3], "plugged in again, already done: serial SN0042 (--again programs it again)");
    EXPECT_EQ(lines[4], "2 foot switches: 2 programmed, 0 failed (no more within 2500 ms)");
    EXPECT_TRUE(tree_->NodeBytes(2).empty()) << "the one present at the start was left alone";
    EXPECT_EQ(tree_->NodeBytes(8).size(), 3u * 8u);
}

}  // namespace
}  // namespace treadle::cli

#endif
