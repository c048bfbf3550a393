// treadlectl watch on a fake hidraw tree whose keyboard and mouse nodes are FIFOs.
#if defined(__linux__)

#include "cli/runner_fixture.h"
#include "device/hidraw_platform.h"
#include "support/fake_hidraw_tree.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

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

// Runs `body` in a child that is stopped after a few seconds, so that a watch that never
// returns fails the test instead of hanging it; the child's exit status is what body returned.
template <typename Body>
int InChildWithAlarm(Body body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(10);
        std::_Exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A node that never runs dry (one that reads like /dev/zero, or a FIFO fed without pause)
// once kept the watch reading it for ever, storing presses it never printed.
TEST_F(Watch, ANodeThatNeverRunsDryLetsCountAndTimeOutHold) {
    tree_.AddFootSwitch(0, Node::File, Node::Fifo);
    fs::remove(tree_.DevNode(0));
    fs::create_symlink("/dev/zero", tree_.DevNode(0));
    const auto start = std::chrono::steady_clock::now();
    const int endless = InChildWithAlarm([&] {
        const int status = Run({"watch", "--timeout", "300"});
        return status == kExitFailed && err_.str() == "treadlectl: no pedal press within 300 ms\n" ? 0 : 1;
    });
    EXPECT_EQ(endless, 0) << "exit 0: failed as it should; 1: another result; 142: never returned";
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

    // The mouse node flooded with presses and releases, written far faster than read.
    const int mouse = ::open(tree_.DevNode(1).c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(mouse, 0);
    std::atomic<bool> stop{false};
    std::thread flood([&] {
        std::vector<std::uint8_t> burst;
        for (int i = 0; i < 4096; ++i) {
            burst.insert(burst.end(), {static_cast<std::uint8_t>(i % 2), 0x00, 0x00});
        }
        while (!stop) {
            (void)!::write(mouse, burst.data(), burst.size());  // a full pipe only waits for the reader
        }
    });
    const int flooded = InChildWithAlarm([&] {
        const int status = Run({"watch", "--count", "2", "--timeout", "500"});
        return status == kExitOk && out_.str() == "mouse-left\nmouse-left\n" ? 0 : 1;
    });
    stop = true;
    flood.join();
    ::close(mouse);
    EXPECT_EQ(flooded, 0) << "exit 0: two presses printed; 1: another result; 142: never returned";
}

}  // namespace
}  // namespace treadle::cli

#endif
