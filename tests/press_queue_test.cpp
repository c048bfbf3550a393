// Pedal presses passed between programs through the queue beside a state file: the queue on
// its own, and two virtual foot switches on one state file as two programs have them.
#include "device/press_queue.h"

#include "device/virtual_foot_switch.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace treadle {
namespace {

namespace fs = std::filesystem;
using Report = std::vector<std::uint8_t>;
using treadle::testing::TempDir;

QueuedReport Key(int device, std::uint8_t usage) { return {device, true, {0, 0, 0, usage, 0, 0, 0, 0, 0}}; }

TEST(PressQueue, ReadersTakeOnlyWhatCameAfterThemInOrder) {
    TempDir dir;
    const PressQueue queue((dir / "pedals.state").string());
    EXPECT_EQ(queue.Path(), (dir / "pedals.state.presses").string());

    std::uint64_t early = 99;
    ASSERT_EQ(queue.Newest(early), "");
    EXPECT_EQ(early, 0u) << "no file: nothing queued";
    ASSERT_EQ(queue.Append({Key(0, 0x04), Key(0, 0x00)}), "");

    std::uint64_t late = 0;
    ASSERT_EQ(queue.Newest(late), "");
    EXPECT_EQ(late, 2u);
    ASSERT_EQ(queue.Append({Key(1, 0x05)}), "");
    ASSERT_EQ(queue.Append({{0, false, {0, 1, 0, 0, 0}}}), "");

    std::vector<QueuedReport> taken;
    ASSERT_EQ(queue.Take(early, taken), "");
    EXPECT_EQ(taken,
              (std::vector<QueuedReport>{Key(0, 0x04), Key(0, 0x00), Key(1, 0x05), {0, false, {0, 1, 0, 0, 0}}}));
    EXPECT_EQ(early, 4u);
    taken.clear();
    ASSERT_EQ(queue.Take(late, taken), "");
    EXPECT_EQ(taken, (std::vector<QueuedReport>{Key(1, 0x05), {0, false, {0, 1, 0, 0, 0}}}));
    taken.clear();
    ASSERT_EQ(queue.Take(late, taken), "");
    EXPECT_TRUE(taken.empty()) << "taken once";

    // The file removed and begun again numbers from 1: a reader past that starts over.
    fs::remove(queue.Path());
    ASSERT_EQ(queue.Append({Key(0, 0x06)}), "");
    ASSERT_EQ(queue.Take(late, taken), "");
    EXPECT_EQ(taken, (std::vector<QueuedReport>{Key(0, 0x06)}));
    EXPECT_EQ(late, 1u);
}

TEST(PressQueue, KeepsOnlyTheNewestReports) {
    TempDir dir;
    const PressQueue queue((dir / "pedals.state").string());
    std::uint64_t start = 0;
    for (std::size_t i = 0; i < PressQueue::kKeptReports + 10; ++i) {
        ASSERT_EQ(queue.Append({Key(0, static_cast<std::uint8_t>(i))}), "");
    }
    std::vector<QueuedReport> taken;
    ASSERT_EQ(queue.Take(start, taken), "");
    ASSERT_EQ(taken.size(), PressQueue::kKeptReports);
    EXPECT_EQ(taken.front(), Key(0, 10));
    EXPECT_EQ(start, PressQueue::kKeptReports + 10);
}

TEST(PressQueue, AMalformedQueueIsNamedAndLeftAlone) {
    TempDir dir;
    const PressQueue queue((dir / "pedals.state").string());
    const std::pair<const char*, const char*> cases[] = {
        {"1 1 keyboard 00 04\nwhat\n", ":2: expected 'NUMBER DEVICE keyboard|mouse BYTES'"},
        {"1 0 keyboard 00\n", ":1: expected"},
        {"1 1 pedal 00\n", ":1: expected"},
        {"1 1 mouse 0G\n", ":1: a report is up to 64 bytes of two hex digits"},
        {"1 1 mouse\n", ":1: a report has at least one byte"},
    };
    for (const auto& [text, why] : cases) {
        std::ofstream(queue.Path()) << text;
        std::uint64_t after = 0;
        std::vector<QueuedReport> taken;
        EXPECT_NE(queue.Take(after, taken).find(queue.Path() + why), std::string::npos) << text;
        const std::string error = queue.Append({Key(0, 4)});
        EXPECT_NE(error.find("remove it to begin again"), std::string::npos) << error;
        std::ifstream in(queue.Path());
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), text) << "left as it was";
    }
}

class TwoPrograms : public ::testing::Test {
  protected:
    TwoPrograms()
        : state_((dir_ / "pedals.state").string()),
          watching_({0, state_, "", &sleeper_}),
          pressing_({0, state_, "", &sleeper_}) {
        std::string error;
        EXPECT_TRUE(watching_.Start(error)) << error;
        EXPECT_TRUE(pressing_.Start(error)) << error;
    }
    void Program(VirtualFootSwitch& d, Report frame) {
        frame.insert(frame.begin(), 0x00);
        const OpenResult open = d.OpenReadWrite(VirtualFootSwitch::ConfigPath(0));
        ASSERT_TRUE(open.ok()) << open.error;
        EXPECT_EQ(d.Write(open.handle, frame).error, "");
        d.Close(open.handle);
    }

    TempDir dir_;
    std::string state_;
    testing::FakeSleeper sleeper_;
    VirtualFootSwitch watching_;
    VirtualFootSwitch pressing_;
};

// One program watches; another, started later, programs switch 2 and presses its pedal.
TEST_F(TwoPrograms, AWatchHearsThePressesOfAnotherProgram) {
    Program(pressing_, {0xAA, 0x01, 0x00, 0x00, 0x04, 0x00, 0x00});  // switch 1: a
    std::string error;
    ASSERT_TRUE(pressing_.PressPedal(1, error)) << error;  // before the watch: not heard

    WatchStart watch = watching_.WatchInput(kFootSwitchVendorId, kFootSwitchProductId);
    ASSERT_TRUE(watch.ok()) << watch.error;
    EXPECT_TRUE(watch.watch->Read(0).presses.empty());

    Program(pressing_, {0xAA, 0x01, 0x04, 0x01, 0x3A, 0x00, 0x00});  // switch 2: ctrl+f1
    ASSERT_TRUE(pressing_.PressPedal(2, error)) << error;
    Program(pressing_, {0xAA, 0x02, 0x08, 0xFE, 0x01, 0x00, 0x00});  // switch 3: left click
    ASSERT_TRUE(pressing_.PressPedal(3, error)) << error;
    const WatchRead read = watch.watch->Read(0);
    ASSERT_EQ(read.presses.size(), 2u) << read.error;
    EXPECT_EQ(read.presses[0].interfacePath, "virtual:1:keyboard");
    EXPECT_EQ(read.presses[0].press, (PedalPress{false, 0x01, 0x3A, 0}));
    EXPECT_EQ(read.presses[1].interfacePath, "virtual:1:mouse");
    EXPECT_EQ(read.presses[1].press, (PedalPress{true, 0, 0, 1}));
    // The watching program matches them against the switches as they are now programmed.
    EXPECT_EQ(
        watching_.ProgrammedSwitches(),
        (std::vector<ProgrammedSwitch>{{1, {false, 0, 0x04, 0}}, {2, {false, 0x01, 0x3A, 0}}, {3, {true, 0, 0, 1}}}));
    EXPECT_TRUE(watch.watch->Read(0).presses.empty()) << "each press heard once";

    // The watching program's own presses go the same way, and are heard once too.
    ASSERT_TRUE(watching_.PressPedal(1, error)) << error;
    const WatchRead own = watch.watch->Read(0);
    ASSERT_EQ(own.presses.size(), 1u);
    EXPECT_EQ(own.presses[0].press, (PedalPress{false, 0, 0x04, 0}));
    EXPECT_TRUE(sleeper_.sleeps.empty());
}

TEST_F(TwoPrograms, AQueueThatCannotBeReadEndsTheWatchWithTheReason) {
    WatchStart watch = watching_.WatchInput(kFootSwitchVendorId, kFootSwitchProductId);
    ASSERT_TRUE(watch.ok());
    std::ofstream(PressQueue::PathOf(state_)) << "garbage\n";
    const WatchRead read = watch.watch->Read(0);
    EXPECT_TRUE(read.ended);
    EXPECT_NE(read.error.find(PressQueue::PathOf(state_) + ":1: expected"), std::string::npos) << read.error;
    Program(pressing_, {0xAA, 0x01, 0x00, 0x00, 0x04, 0x00, 0x00});
    std::string error;
    // The press is still made in the program that pressed, and said not to reach the others.
    EXPECT_TRUE(pressing_.PressPedal(1, error)) << error;
    EXPECT_EQ(pressing_.PressNote().rfind("the press is not passed on to other programs: ", 0), 0u)
        << pressing_.PressNote();
    EXPECT_NE(pressing_.PressNote().find("remove it to begin again"), std::string::npos) << pressing_.PressNote();
}

}  // namespace
}  // namespace treadle
