#include "device/virtual_foot_switch.h"

#include "support/fakes.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace treadle {
namespace {

namespace fs = std::filesystem;
using Report = std::vector<std::uint8_t>;
using treadle::testing::TempDir;

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

HidHandle OpenConfig(VirtualFootSwitch& d, int device = 0) {
    const OpenResult r = d.OpenReadWrite(VirtualFootSwitch::ConfigPath(device));
    EXPECT_TRUE(r.ok()) << r.error;
    return r.handle;
}

TEST(VirtualFootSwitch, PresentsKeyboardMouseThenConfiguration) {
    VirtualFootSwitch d;
    const std::vector<std::string> paths = d.EnumerateInterfaces();
    ASSERT_EQ(paths.size(), 3u);
    EXPECT_EQ(OpenForWriting(d, paths[0]).failure, OpenFailure::Refused);
    EXPECT_EQ(OpenForWriting(d, paths[1]).failure, OpenFailure::Refused);
    // Opened past the rule, the keyboard says what it is and takes no frame.
    const OpenResult keyboard = d.OpenForTimedRead(paths[0]);
    ASSERT_TRUE(keyboard.ok());
    HidCaps keyboardCaps;
    ASSERT_TRUE(d.GetCaps(keyboard.handle, keyboardCaps));
    EXPECT_EQ(keyboardCaps.usage, 0x06);
    EXPECT_EQ(d.Write(keyboard.handle, std::vector<std::uint8_t>(8, 0)).written, 0);
    EXPECT_TRUE(d.Close(keyboard.handle));
    const OpenResult config = d.OpenReadWrite(paths[2]);
    ASSERT_TRUE(config.ok());
    HidAttributes ids;
    ASSERT_TRUE(d.GetAttributes(config.handle, ids));
    EXPECT_EQ(ids.vendorId, 0x2704);
    EXPECT_EQ(ids.productId, 0x2018);
    HidCaps caps;
    ASSERT_TRUE(d.GetCaps(config.handle, caps));
    EXPECT_EQ(caps.inputReportLength, 8);
    EXPECT_EQ(caps.outputReportLength, 8);
    EXPECT_EQ(d.OpenReadWrite("virtual:2:config").failure, OpenFailure::Gone);
    EXPECT_EQ(d.OpenReadWrite("virtual:1:other").failure, OpenFailure::Gone);
    EXPECT_EQ(d.OpenReadWrite("/dev/hidraw0").failure, OpenFailure::Gone);
}

TEST(VirtualFootSwitch, TellsIdsAndUsagesWithoutOpening) {
    VirtualFootSwitch d;
    const std::vector<std::string> paths = d.EnumerateInterfaces();
    ASSERT_EQ(paths.size(), 3u);
    const std::pair<std::uint16_t, std::uint16_t> usages[] = {{0x01, 0x06}, {0x01, 0x02}, {0xFF00, 0x01}};
    for (size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(paths[i]);
        HidAttributes ids;
        ASSERT_TRUE(d.PeekAttributes(paths[i], ids));
        EXPECT_EQ(ids.vendorId, kFootSwitchVendorId);
        EXPECT_EQ(ids.productId, kFootSwitchProductId);
        HidCaps caps;
        ASSERT_TRUE(d.PeekCaps(paths[i], caps));
        EXPECT_EQ(std::make_pair(caps.usagePage, caps.usage), usages[i]);
    }
    HidCaps caps;
    EXPECT_EQ(caps.outputReportLength, 0);
    ASSERT_TRUE(d.PeekCaps(paths[2], caps));
    EXPECT_EQ(caps.outputReportLength, VirtualFootSwitch::kReportLength);
    EXPECT_FALSE(d.PeekCaps("virtual:7:config", caps));
    d.Unplug();
    HidAttributes ids;
    EXPECT_FALSE(d.PeekAttributes(paths[2], ids));
    EXPECT_FALSE(d.PeekCaps(paths[2], caps));
    EXPECT_EQ(d.OpenHandleCount(), 0);
}

TEST(VirtualFootSwitch, StoresOnlyWellFormedFramesAndRecordsEverything) {
    struct Case {
        Report report;
        int slot;  // -1: nothing stored
    };
    const Case cases[] = {
        {{0x00, 0xAA, 0x01, 0x04, 0x01, 0x3A, 0x00, 0x00}, 1},  {{0x00, 0xAA, 0x02, 0x08, 0xFE, 0x01, 0x00, 0x00}, 2},
        {{0x00, 0xAA, 0x01, 0x7C, 0x79, 0x01, 0x01, 0x2C}, 31}, {{0x00, 0xAA, 0x01, 0x78, 0x79, 0x01, 0x01, 0x00}, 30},
        {{0x00, 0xAA, 0x01, 0x80, 0x01, 0x02, 0x03, 0x04}, -1},  // slot byte too high
        {{0x00, 0xAA, 0x01, 0x05, 0x01, 0x02, 0x03, 0x04}, -1},  // not a multiple of 4
        {{0x00, 0xAA, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04}, -1},  // kind 0
        {{0x00, 0xAB, 0x01, 0x00, 0x01, 0x02, 0x03, 0x04}, -1},  // no frame start
        {{0x00, 0xAA, 0x03, 0x00, 0x01, 0x02, 0x03, 0x04}, -1},  // unknown kind
    };
    for (const Case& c : cases) {
        VirtualFootSwitch d;
        const HidHandle h = OpenConfig(d);
        const SlotTable before = d.Slots();
        const WriteResult r = d.Write(h, c.report);
        EXPECT_EQ(r.written, 8) << r.error;
        ASSERT_EQ(d.Received().size(), 1u);
        EXPECT_EQ(d.Received()[0], c.report);
        SlotTable expected = before;
        if (c.slot >= 0) {
            std::copy(c.report.begin() + 4, c.report.end(), expected[static_cast<size_t>(c.slot)].begin());
        }
        EXPECT_EQ(d.Slots(), expected) << ByteListText(c.report);
    }
}

TEST(VirtualFootSwitch, RefusesWritesItCannotTake) {
    VirtualFootSwitch d;
    const HidHandle h = OpenConfig(d);
    const Report frame{0x00, 0xAA, 0x01, 0x00, 0x01, 0x04, 0x00, 0x00};
    EXPECT_EQ(d.Write(h + 100, frame).written, 0);
    EXPECT_EQ(d.Write(h, Report{0x00, 0xAA}).written, 0);  // a report of the wrong length
    d.SetWriteFault(VirtualFootSwitch::WriteFault::Fail);
    EXPECT_EQ(d.Write(h, frame).written, 0);
    d.SetWriteFault(VirtualFootSwitch::WriteFault::Short);
    const WriteResult shortWrite = d.Write(h, frame);
    EXPECT_EQ(shortWrite.written, 7);
    EXPECT_FALSE(shortWrite.error.empty());
    d.SetWriteFault(VirtualFootSwitch::WriteFault::None);
    d.Unplug();
    EXPECT_EQ(d.Write(h, frame).written, 0);
    EXPECT_TRUE(d.EnumerateInterfaces().empty());
    EXPECT_TRUE(d.Received().empty());
    EXPECT_EQ(d.Slots()[0], (SlotBytes{0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(VirtualFootSwitch, TimedReadsFromTheQueue) {
    testing::FakeSleeper sleeper;
    VirtualFootSwitch d({1, "", "", &sleeper});
    const HidHandle h = d.OpenForTimedRead(VirtualFootSwitch::ConfigPath(0)).handle;
    std::array<std::uint8_t, 8> buffer{};
    d.QueueInputReport({0x00, 0x01, 0x0A, 0xFF});
    const ReadResult done = d.ReadTimed(h, buffer, 100);
    EXPECT_EQ(done.status, ReadStatus::Completed);
    EXPECT_EQ(done.bytesRead, 4);
    EXPECT_EQ(buffer[2], 0x0A);
    EXPECT_TRUE(sleeper.sleeps.empty());
    const ReadResult late = d.ReadTimed(h, buffer, 100);
    EXPECT_EQ(late.status, ReadStatus::TimedOut);
    EXPECT_EQ(sleeper.sleeps, std::vector<int>{100});
    d.FailNextWait(5);
    const ReadResult failed = d.ReadTimed(h, buffer, 100);
    EXPECT_EQ(failed.status, ReadStatus::Failed);
    EXPECT_EQ(failed.errorCode, 5u);
    EXPECT_EQ(d.ReadTimed(h, buffer, 100).status, ReadStatus::TimedOut);  // only the next wait fails
    d.QueueInputReport(Report(20, 0x11));                                 // longer than the buffer: cut, never overrun
    EXPECT_EQ(d.ReadTimed(h, buffer, 100).bytesRead, 8);
}

TEST(VirtualFootSwitch, CaptureFileGetsOneFlushedLinePerReport) {
    TempDir dir;
    VirtualFootSwitch d({1, "", (dir / "capture.txt").string(), nullptr});
    std::string error;
    ASSERT_TRUE(d.Start(error)) << error;
    const HidHandle h = OpenConfig(d);
    ASSERT_EQ(d.Write(h, Report{0x00, 0xAA, 0x01, 0x04, 0x01, 0x3A, 0x00, 0x00}).written, 8);
    // Read while the device is still alive: each line is flushed as it is written.
    EXPECT_EQ(ReadFile(dir / "capture.txt"), "00 AA 01 04 01 3A 00 00\n");
    ASSERT_EQ(d.Write(h, Report{0x00, 0x0a, 0, 0, 0, 0, 0, 0xff}).written, 8);
    EXPECT_EQ(ReadFile(dir / "capture.txt"), "00 AA 01 04 01 3A 00 00\n00 0A 00 00 00 00 00 FF\n");
}

TEST(VirtualFootSwitch, StateFileKeepsSlotsAcrossRuns) {
    TempDir dir;
    const std::string state = (dir / "pedals.state").string();
    {
        VirtualFootSwitch d({1, state, "", nullptr});
        std::string error;
        ASSERT_TRUE(d.Start(error)) << error;  // no file yet: a fresh device
        const HidHandle h = OpenConfig(d);
        ASSERT_EQ(d.Write(h, Report{0x00, 0xAA, 0x01, 0x04, 0x01, 0x3A, 0x00, 0x00}).written, 8);
    }
    VirtualFootSwitch again({1, state, "", nullptr});
    std::string error;
    ASSERT_TRUE(again.Start(error)) << error;
    EXPECT_EQ(again.Slots()[1], (SlotBytes{0x01, 0x3A, 0x00, 0x00}));
    EXPECT_EQ(again.Slots()[0], (SlotBytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_FALSE(fs::exists(state + ".tmp"));
}

TEST(VirtualFootSwitch, MalformedStateFilesAreRefusedWithTheirLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"slot 00: 01 02 03 04\n", ":1: a slot line before any"},
        {"device 1\nslot 02: 01 02 03 04\n", ":2: slot byte must be a multiple of 4"},
        {"device 1\nslot 80: 01 02 03 04\n", ":2: slot byte must be a multiple of 4"},
        {"device 1\nslot 00: 01 02 03\n", ":2: a slot holds four bytes"},
        {"device 1\nslot 00: 01 02 03 0G\n", ":2: a slot holds four bytes"},
        {"device 1\nslot 00: 01 02 03 04 05\n", ":2: unexpected text"},
        {"device 1\nslot 00: 01 02 03 04 Key\n", ":2: unexpected text after the four bytes"},
        {"device 1\nslot 00: 01 02 03 04 key mouse\n", ":2: unexpected text after the frame kind"},
        {"device 2\n", ":1: device number must be 1 to 1"},
        {"# fine\n\nwhat\n", ":3: expected 'device N'"},
        {"device 1\nslot 0: 01 02 03 04\n", ":2: slot byte must be two hex digits"},
        {"device 1abc\nslot 00: 01 02 03 04\n", ":1: device number must be 1 to 1"},
        {"device 1 2\n", ":1: unexpected text after the device number"},
        {"device 1\nslot 00: 01 02 03 04\nslot 00: 01 02 03 05\n", ":3: slot 00 is given twice"},
        {"device 1\nslot 00: 01 02 03 04", ":2: the file is cut short"},
        {"", "the file is empty"},
        {"# only a heading\n", "the file names no device"},
    };
    TempDir dir;
    for (auto [text, why] : cases) {
        const fs::path state = dir / "bad.state";
        std::ofstream(state) << text;
        VirtualFootSwitch d({1, state.string(), "", nullptr});
        std::string error;
        EXPECT_FALSE(d.Start(error)) << text;
        EXPECT_NE(error.find(why), std::string::npos) << error;
        EXPECT_EQ(d.Slots()[0], (SlotBytes{0xFF, 0xFF, 0xFF, 0xFF})) << "nothing half-loaded";
    }
}

// A state file saved by an editor in another encoding was called "cut short" or gave
// "expected 'device N'"; a UTF-8 byte order mark is read past.
TEST(VirtualFootSwitch, StateFilesInOtherEncodingsAreNamedAndAUtf8MarkIsRead) {
    const std::string utf16 = std::string(
        "d\0e\0v\0i\0c\0e\0 \0"
        "1\0\n\0",
        18);
    const std::pair<std::string, std::string> refused[] = {
        {"\xFF\xFE" + utf16, ": the file is UTF-16 text; a state file is plain text: save it as UTF-8"},
        {utf16, ": the file is UTF-16 text"},
        {std::string("\xFE\xFF\0d\0e", 6), ": the file is UTF-16 text"},
        {std::string("\xFF\xFE\0\0d\0\0\0", 8), ": the file is UTF-32 text"},
    };
    TempDir dir;
    const fs::path state = dir / "edited.state";
    for (const auto& [text, why] : refused) {
        std::ofstream(state, std::ios::binary) << text;
        VirtualFootSwitch d({1, state.string(), "", nullptr});
        std::string error;
        EXPECT_FALSE(d.Start(error));
        EXPECT_EQ(error.rfind(state.string() + why, 0), 0u) << error;
    }
    std::ofstream(state, std::ios::binary) << "\xEF\xBB\xBF"
                                              "device 1\nslot 04: 01 3A 00 00 key\n";
    VirtualFootSwitch d({1, state.string(), "", nullptr});
    std::string error;
    ASSERT_TRUE(d.Start(error)) << error;
    EXPECT_EQ(d.Slots()[1], (SlotBytes{0x01, 0x3A, 0x00, 0x00}));
}

TEST(VirtualFootSwitch, AStateFileThatCannotBeWrittenFailsTheWrite) {
    VirtualFootSwitch d({1, "/nonexistent-dir/sub/state", "", nullptr});
    std::string error;
    ASSERT_TRUE(d.Start(error));
    const HidHandle h = OpenConfig(d);
    const WriteResult r = d.Write(h, Report{0x00, 0xAA, 0x01, 0x04, 0x01, 0x3A, 0x00, 0x00});
    EXPECT_EQ(r.written, 0);
    EXPECT_NE(r.error.find("state file"), std::string::npos);
    EXPECT_EQ(d.Slots()[1], (SlotBytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_TRUE(d.Received().empty());
}

TEST(VirtualFootSwitch, StateFilesKeepTheFrameKindAndOldOnesStillRead) {
    TempDir dir;
    const std::string state = (dir / "pedals.state").string();
    // A state file from before the kind was kept: a click and a key that reads alike.
    std::ofstream(state) << "device 1\nslot 00: FE 01 00 00\nslot 04: 01 3A 00 00\n";
    {
        VirtualFootSwitch d({1, state, "", nullptr});
        std::string error;
        ASSERT_TRUE(d.Start(error)) << error;
        EXPECT_EQ(d.Kinds()[0], SlotKind::Unknown);
        EXPECT_EQ(d.ProgrammedSwitches(),
                  (std::vector<ProgrammedSwitch>{{1, {true, 0, 0, 1}}, {2, {false, 0x01, 0x3A, 0}}}));
        // Switch 3 gets a key whose bytes read like a click, switch 4 a click.
        const HidHandle h = OpenConfig(d);
        ASSERT_TRUE(d.Write(h, Report{0x00, 0xAA, 0x01, 0x08, 0xFE, 0x01, 0x00, 0x00}).error.empty());
        ASSERT_TRUE(d.Write(h, Report{0x00, 0xAA, 0x02, 0x0C, 0xFE, 0x04, 0x00, 0x00}).error.empty());
        ASSERT_TRUE(d.Write(h, Report{0x00, 0xAA, 0x01, 0x7C, 0x79, 0x01, 0x00, 0x00}).error.empty());
    }
    const std::string text = ReadFile(state);
    EXPECT_NE(text.find("slot 00: FE 01 00 00\n"), std::string::npos) << text;
    EXPECT_NE(text.find("slot 08: FE 01 00 00 key\n"), std::string::npos) << text;
    EXPECT_NE(text.find("slot 0C: FE 04 00 00 mouse\n"), std::string::npos) << text;
    EXPECT_NE(text.find("slot 7C: 79 01 00 00\n"), std::string::npos) << "settings slots keep no kind\n" << text;

    VirtualFootSwitch again({1, state, "", nullptr});
    std::string error;
    ASSERT_TRUE(again.Start(error)) << error;
    EXPECT_EQ(again.Kinds()[2], SlotKind::Key);
    EXPECT_EQ(again.Kinds()[3], SlotKind::Mouse);
    EXPECT_EQ(
        again.ProgrammedSwitches(),
        (std::vector<ProgrammedSwitch>{
            {1, {true, 0, 0, 1}}, {2, {false, 0x01, 0x3A, 0}}, {3, {false, 0xFE, 0x01, 0}}, {4, {true, 0, 0, 4}}}));
}

TEST(VirtualFootSwitch, APressedPedalSendsWhatItsSlotMeansAndLetsGo) {
    testing::FakeSleeper sleeper;
    VirtualFootSwitch d({2, "", "", &sleeper});
    std::string error;
    ASSERT_TRUE(d.Start(error));
    const HidHandle h = OpenConfig(d);
    ASSERT_TRUE(d.Write(h, Report{0x00, 0xAA, 0x01, 0x04, 0x01, 0x3A, 0x00, 0x00}).error.empty());
    ASSERT_TRUE(d.Write(h, Report{0x00, 0xAA, 0x02, 0x08, 0xFE, 0x02, 0x00, 0x00}).error.empty());
    WatchStart watch = d.WatchInput(kFootSwitchVendorId, kFootSwitchProductId);
    ASSERT_TRUE(watch.ok()) << watch.error;
    EXPECT_FALSE(d.WatchInput(0x1234, kFootSwitchProductId).ok());

    ASSERT_TRUE(d.PressPedal(2, error)) << error;
    ASSERT_TRUE(d.PressPedal(3, error)) << error;
    ASSERT_TRUE(d.PressPedal(2, error)) << error;  // released in between: a second press
    WatchRead read = watch.watch->Read(0);
    ASSERT_EQ(read.presses.size(), 3u);
    EXPECT_EQ(read.presses[0].interfacePath, "virtual:1:keyboard");
    EXPECT_EQ(read.presses[0].press, (PedalPress{false, 0x01, 0x3A, 0}));
    EXPECT_EQ(read.presses[1].interfacePath, "virtual:1:mouse");
    EXPECT_EQ(read.presses[1].press, (PedalPress{true, 0, 0, 2}));
    EXPECT_EQ(read.presses[2].press, read.presses[0].press);
    EXPECT_EQ(d.DeviceOfPath(read.presses[1].interfacePath), 0);

    // An erased switch sends nothing; nor does a pedal that does not exist.
    EXPECT_FALSE(d.PressPedal(1, error));
    EXPECT_NE(error.find("switch 1 holds no assignment"), std::string::npos) << error;
    EXPECT_FALSE(d.PressPedal(5, error));
    EXPECT_TRUE(watch.watch->Read(10).presses.empty());
    EXPECT_EQ(sleeper.sleeps, std::vector<int>{10});

    d.Unplug(0);
    EXPECT_FALSE(d.PressPedal(2, error));
    read = watch.watch->Read(0);
    EXPECT_EQ(read.lost, std::vector<std::string>{"virtual:1 is gone (unplugged)"});
    EXPECT_FALSE(read.ended) << "device 2 is still watched";
    d.Unplug(1);
    read = watch.watch->Read(0);
    EXPECT_TRUE(read.ended);
}

}  // namespace
}  // namespace treadle
