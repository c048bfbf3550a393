// Watching a foot switch's keyboard and mouse hidraw nodes, on fake trees whose nodes are FIFOs.
#if defined(__linux__)

#include "assignment/press_line.h"
#include "device/hidraw_platform.h"
#include "support/fake_hidraw_tree.h"
#include "support/fakes.h"
#include "window/pedal_testing.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace treadle {
namespace {

using namespace treadle::testing;

const char* kOtherUevent = "DRIVER=hid-generic\nHID_ID=0003:0000046D:0000C31C\nHID_NAME=keyboard\n";

// Keyboard as report 1 (modifiers, reserved, six keys) and mouse as report 2 (three buttons,
// padding, x, y) on one node, as some devices present them.
const Bytes kNumberedComposite = {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7,
                                  0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08,
                                  0x81, 0x01, 0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x19, 0x00, 0x29, 0x65,
                                  0x81, 0x00, 0xC0, 0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x02, 0x09, 0x01, 0xA1,
                                  0x00, 0x05, 0x09, 0x19, 0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75,
                                  0x01, 0x81, 0x02, 0x95, 0x01, 0x75, 0x05, 0x81, 0x01, 0x05, 0x01, 0x09, 0x30, 0x09,
                                  0x31, 0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x02, 0x81, 0x06, 0xC0, 0xC0};

std::vector<std::string> Texts(const WatchRead& read) {
    std::vector<std::string> texts;
    for (const WatchedPress& p : read.presses) {
        texts.push_back(p.interfacePath.substr(p.interfacePath.rfind('/') + 1) + " " + PressText(p.press));
    }
    return texts;
}

// Reads until `wanted` presses came or a read comes back empty-handed.
WatchRead ReadPresses(InputWatch& watch, size_t wanted) {
    WatchRead all;
    while (all.presses.size() < wanted) {
        WatchRead r = watch.Read(2000);
        if (r.presses.empty() && r.lost.empty()) {
            break;
        }
        all.presses.insert(all.presses.end(), r.presses.begin(), r.presses.end());
        all.lost.insert(all.lost.end(), r.lost.begin(), r.lost.end());
    }
    return all;
}

TEST(HidrawWatch, HearsOnlyTheFootSwitchsKeyboardAndMouse) {
    FakeTree tree;
    tree.Add(0, kOtherUevent, kKeyboardDescriptor, Node::Fifo);
    tree.AddFootSwitch(1, Node::Fifo, Node::Fifo);
    FifoDevice other(tree.DevNode(0));
    FifoDevice keyboard(tree.DevNode(1));
    FifoDevice mouse(tree.DevNode(2));
    FifoDevice config(tree.DevNode(3));
    HidrawPlatform hid(tree.Roots());
    WatchStart watch = hid.WatchInput(0x2704, 0x2018);
    ASSERT_TRUE(watch.ok()) << watch.error;

    other.Send({0x02, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00});
    config.Send({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07});
    keyboard.Send({0x01, 0x00, 0x3A, 0x00, 0x00, 0x00, 0x00, 0x00});
    keyboard.Send({0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    // Rollover: two pedals at once, then one let go and pressed again.
    keyboard.Send({0x00, 0x00, 0x04, 0x05, 0x00, 0x00, 0x00, 0x00});
    keyboard.Send({0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00});
    keyboard.Send({0x00, 0x00, 0x05, 0x04, 0x00, 0x00, 0x00, 0x00});
    keyboard.Send({0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    mouse.Send({0x01, 0x00, 0x00});
    mouse.Send({0x00, 0x00, 0x00});
    mouse.Send({0x01, 0x00, 0x00});

    const WatchRead read = ReadPresses(*watch.watch, 6);
    EXPECT_EQ(Texts(read), (std::vector<std::string>{"hidraw1 ctrl+f1", "hidraw1 a", "hidraw1 b", "hidraw1 a",
                                                     "hidraw2 mouse-left", "hidraw2 mouse-left"}));
    EXPECT_TRUE(read.lost.empty());
    EXPECT_TRUE(watch.watch->Read(50).presses.empty()) << "the other keyboard's key is never heard";
}

TEST(HidrawWatch, ReadsNumberedReportsOfOneNode) {
    FakeTree tree;
    tree.Add(0, kFootSwitchUevent, kNumberedComposite, Node::Fifo);
    FifoDevice node(tree.DevNode(0));
    HidrawPlatform hid(tree.Roots());
    WatchStart watch = hid.WatchInput(0x2704, 0x2018);
    ASSERT_TRUE(watch.ok()) << watch.error;

    // hidraw hands over one report per read; a FIFO does so when each is read before the next.
    const std::vector<std::pair<Bytes, std::vector<std::string>>> steps = {
        {{0x01, 0x90, 0x00, 0x58, 0x00, 0x00, 0x00, 0x00, 0x00}, {"hidraw0 rctrl+rwin+kp-enter"}},
        {{0x02, 0x04, 0x00, 0x00}, {"hidraw0 mouse-middle"}},
        {{0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, {}},
        {{0x02, 0x00, 0x00, 0x00}, {}},
        {{0x01, 0x00, 0x00, 0x87, 0x00, 0x00, 0x00, 0x00, 0x00}, {"hidraw0 0x87"}},
    };
    for (const auto& [report, expected] : steps) {
        node.Send(report);
        EXPECT_EQ(Texts(watch.watch->Read(expected.empty() ? 0 : 2000)), expected);
    }
}

TEST(HidrawWatch, ANodeThatDisappearsIsNamedAndTheOthersAreStillWatched) {
    FakeTree tree;
    tree.AddFootSwitch(0, Node::File, Node::Fifo);
    auto keyboard = std::make_unique<FifoDevice>(tree.DevNode(0));
    auto mouse = std::make_unique<FifoDevice>(tree.DevNode(1));
    HidrawPlatform hid(tree.Roots());
    WatchStart watch = hid.WatchInput(0x2704, 0x2018);
    ASSERT_TRUE(watch.ok()) << watch.error;

    // Pressed when the keyboard goes: the press still counts, and nothing more comes from it.
    keyboard->Send({0x00, 0x00, 0x3A, 0x00, 0x00, 0x00, 0x00, 0x00});
    tree.Remove(0);
    keyboard.reset();
    WatchRead read = ReadPresses(*watch.watch, 1);
    EXPECT_EQ(Texts(read), std::vector<std::string>{"hidraw0 f1"});
    if (read.lost.empty()) {
        read = watch.watch->Read(2000);
    }
    ASSERT_EQ(read.lost.size(), 1u);
    EXPECT_NE(read.lost[0].find("hidraw0 is gone"), std::string::npos) << read.lost[0];
    EXPECT_FALSE(read.ended);

    mouse->Send({0x02, 0x00, 0x00});
    EXPECT_EQ(Texts(ReadPresses(*watch.watch, 1)), std::vector<std::string>{"hidraw1 mouse-right"});
    tree.Remove(1);
    mouse.reset();
    read = watch.watch->Read(2000);
    EXPECT_EQ(read.lost.size(), 1u);
    read = watch.watch->Read(2000);
    EXPECT_TRUE(read.ended);
    EXPECT_NE(read.error.find("unplugged"), std::string::npos) << read.error;
}

TEST(HidrawWatch, SaysWhyNothingCanBeWatched) {
    FakeTree tree;
    tree.Add(0, kOtherUevent, kKeyboardDescriptor, Node::Fifo);
    HidrawPlatform hid(tree.Roots());
    WatchStart watch = hid.WatchInput(0x2704, 0x2018);
    EXPECT_FALSE(watch.ok());
    EXPECT_EQ(watch.error, "no keyboard or mouse interface of a foot switch 2704:2018 found");

    // Only the configuration interface present: nothing to listen to either.
    tree.Add(1, kFootSwitchUevent, kConfigDescriptor);
    EXPECT_FALSE(hid.WatchInput(0x2704, 0x2018).ok());
}

// The window's pedal test on a real foot switch: presses are matched against what the window
// wrote, and against nothing before it wrote anything.
TEST(HidrawWatch, ThePedalTestMatchesWhatTheWindowWrote) {
    FakeTree tree;
    tree.AddFootSwitch(0, Node::File, Node::Fifo);
    FifoDevice keyboard(tree.DevNode(0));
    FifoDevice mouse(tree.DevNode(1));
    HidrawPlatform hid(tree.Roots());
    FakeClock clock;
    PedalTest model(hid, clock);
    EXPECT_FALSE(model.CanPressPedals());
    model.Poll();
    EXPECT_EQ(model.Status(), "");

    keyboard.Send({0x01, 0x00, 0x3A, 0x00, 0x00, 0x00, 0x00, 0x00});
    keyboard.Send({0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    for (int i = 0; i < 100 && model.Presses().empty(); ++i) {
        model.Poll();
    }
    ASSERT_EQ(model.Presses().size(), 1u);
    EXPECT_EQ(model.Presses()[0].combination, "ctrl+f1");
    EXPECT_EQ(model.Presses()[0].match, "") << "nothing written: nothing to compare with";

    model.SetProgrammed(2, PedalPress{false, 0x01, 0x3A, 0});
    model.SetProgrammed(3, PedalPress{true, 0, 0, 1});
    keyboard.Send({0x01, 0x00, 0x3A, 0x00, 0x00, 0x00, 0x00, 0x00});
    mouse.Send({0x02, 0x00, 0x00});
    for (int i = 0; i < 100 && model.Presses().size() < 3; ++i) {
        model.Poll();
    }
    ASSERT_EQ(model.Presses().size(), 3u);
    EXPECT_EQ(model.Presses()[1].match, "switch 2");
    EXPECT_EQ(model.Presses()[0].combination, "mouse-right");
    EXPECT_EQ(model.Presses()[0].match, "warning: matches no programmed switch");
}

// The window's pedal test reads on the window's thread: a node that never runs dry once kept
// its poll from returning, freezing the window.
TEST(HidrawWatch, ThePedalTestsPollReturnsFromANodeThatNeverRunsDry) {
    FakeTree tree;
    tree.AddFootSwitch(0, Node::File, Node::Fifo);
    fs::remove(tree.DevNode(0));
    fs::create_symlink("/dev/zero", tree.DevNode(0));
    HidrawPlatform hid(tree.Roots());
    FakeClock clock;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(10);
        PedalTest model(hid, clock);
        for (int i = 0; i < 20; ++i) {
            model.Poll();
        }
        std::_Exit(model.Status().empty() && model.Presses().empty() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status)) << "the poll never returned";
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
}

// The window's pedal test on a real foot switch: what the window's own buttons wrote is what
// the presses are matched against; no pedal buttons, for the pedals are pressed by foot.
TEST(HidrawWatch, TheWindowsPedalTestMatchesWhatItsButtonsWrote) {
    FakeTree tree;
    tree.AddFootSwitch(0, Node::File, Node::Fifo);
    FifoDevice keyboard(tree.DevNode(0));
    FifoDevice mouse(tree.DevNode(1));
    HidrawPlatform hid(tree.Roots());
    WindowFixture f(hid, {Language::English, true});
    USB& w = *f.window;
    for (int i = 0; i < w.Command_pedal.Count(); ++i) {
        EXPECT_FALSE(w.Command_pedal[i].Visible()) << i;
    }
    w.TimerTick();
    ASSERT_TRUE(w.DeviceDetected);
    w.UserSelectItem(w.Combo1, 1);
    w.UserClick(w.Command_ctrl);
    w.UserClick(w.Command_key[0]);  // F1 on switch 2
    w.UserSelectItem(w.Combo1, 2);
    w.UserClick(w.Command_L_btn);  // a left click on switch 3

    keyboard.Send({0x01, 0x00, 0x3A, 0x00, 0x00, 0x00, 0x00, 0x00});
    keyboard.Send({0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    mouse.Send({0x01, 0x00, 0x00});
    mouse.Send({0x02, 0x00, 0x00});
    const std::vector<std::string>& list = w.Find(kPedalPressList)->Items();
    for (int i = 0; i < 200 && list.size() < 3; ++i) {
        w.TimerTick();
    }
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[2], f.clock.stamp + "   ctrl+f1   switch 2");
    EXPECT_EQ(list[1], f.clock.stamp + "   mouse-left   switch 3");
    EXPECT_EQ(list[0], f.clock.stamp + "   mouse-right   warning: matches no programmed switch");
}

}  // namespace
}  // namespace treadle

#endif
