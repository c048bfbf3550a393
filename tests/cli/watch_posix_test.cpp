// treadlectl watch on a fake hidraw tree whose keyboard and mouse nodes are FIFOs.
#if defined(__linux__)

#include "cli/runner_fixture.h"
#include "device/hidraw_platform.h"
#include "support/fake_hidraw_tree.h"

#include <chrono>
#include <thread>

namespace treadle::cli {
namespace {

using treadle::testing::FakeTree;
using treadle::testing::FifoDevice;
using treadle::testing::Node;

// Waits until the node is open twice in this process: by the test's device end and by the watch.
void WaitUntilOpenedTwice(const fs::path& node) {
    for (int tries = 0; tries < 2000; ++tries) {
        int opened = 0;
        for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
            std::error_code ec;
            if (fs::read_symlink(e.path(), ec) == node) {
                ++opened;
            }
        }
        if (opened >= 2) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ADD_FAILURE() << node << " was never opened by the watch";
}

class Watch : public Runner {
  protected:
    Watch() {
        systemPlatform_ = [this] { return std::make_unique<HidrawPlatform>(tree_.Roots()); };
    }
    FakeTree tree_;
};

TEST_F(Watch, PrintsTheKeyThenTheClickAndNothingOfAnotherDevice) {
    tree_.Add(0, "HID_ID=0003:0000046D:0000C31C\n", treadle::testing::kKeyboardDescriptor, Node::Fifo);
    tree_.AddFootSwitch(1, Node::File, Node::Fifo);
    FifoDevice other(tree_.DevNode(0));
    FifoDevice keyboard(tree_.DevNode(1));
    FifoDevice mouse(tree_.DevNode(2));
    other.Send({0x02, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00});
    keyboard.Send({0x01, 0x00, 0x3A, 0x00, 0x00, 0x00, 0x00, 0x00});
    keyboard.Send({0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    mouse.Send({0x01, 0x00, 0x00});
    mouse.Send({0x00, 0x00, 0x00});

    EXPECT_EQ(Run({"watch", "--count", "2", "--timeout", "5000"}), kExitOk) << err_.str();
    EXPECT_EQ(out_.str(), "ctrl+f1\nmouse-left\n");
    EXPECT_EQ(err_.str(), "");
}

TEST_F(Watch, FailsWhenNoPressComesOrTheDeviceGoes) {
    tree_.AddFootSwitch(0, Node::File, Node::Fifo);
    {
        FifoDevice keyboard(tree_.DevNode(0));
        EXPECT_EQ(Run({"watch", "--timeout", "50"}), kExitFailed);
        EXPECT_EQ(out_.str(), "");
        EXPECT_EQ(err_.str(), "treadlectl: no pedal press within 50 ms\n");

        keyboard.Send({0x00, 0x00, 0x1E, 0x00, 0x00, 0x00, 0x00, 0x00});
        EXPECT_EQ(Run({"watch", "--count", "3", "--timeout", "100"}), kExitFailed);
        EXPECT_EQ(out_.str(), "1\n");
        EXPECT_EQ(err_.str(), "treadlectl: only 1 of 3 pedal presses within 100 ms\n");
    }
    // Both nodes gone while watched (their writers closed): the watch ends at once.
    {
        auto keyboard = std::make_unique<FifoDevice>(tree_.DevNode(0));
        auto mouse = std::make_unique<FifoDevice>(tree_.DevNode(1));
        mouse->Send({0x04, 0x00, 0x00});
        std::thread unplug([&] {
            WaitUntilOpenedTwice(tree_.DevNode(0));
            WaitUntilOpenedTwice(tree_.DevNode(1));
            keyboard.reset();
            mouse.reset();
        });
        const int status = Run({"watch", "--timeout", "20000"});
        unplug.join();
        EXPECT_EQ(status, kExitFailed);
        EXPECT_EQ(out_.str(), "mouse-middle\n");
        EXPECT_NE(err_.str().find("hidraw0 is gone"), std::string::npos) << err_.str();
        EXPECT_NE(err_.str().find("may have been unplugged"), std::string::npos) << err_.str();
    }
    tree_.Remove(0);
    tree_.Remove(1);
    EXPECT_EQ(Run({"watch", "--timeout", "50"}), kExitFailed);
    EXPECT_EQ(err_.str(), "treadlectl: no keyboard or mouse interface of a foot switch 2704:2018 found\n");
}

}  // namespace
}  // namespace treadle::cli

#endif
