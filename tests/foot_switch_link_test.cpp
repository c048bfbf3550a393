// The link to the foot switch: the one search (the window's and treadlectl's rules in one),
// the one send sequence, and the frames it carries.
#include "device/foot_switch_link.h"

#include "support/scripted_platform.h"
#include "text/catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace treadle {
namespace {

constexpr HidAttributes kOurs{kFootSwitchVendorId, kFootSwitchProductId};
constexpr HidAttributes kOther{0x1234, 0x5678};
constexpr HidCaps kConfigCaps = testing::kScriptedConfigCaps;
constexpr HidCaps kKeyboardCaps{9, 2, 0, 0x01, 0x06};

// Interfaces of our choosing; every opening, close and write is recorded.
using ListedPlatform = testing::ScriptedPlatform;

TEST(Search, OneSearchForTheWindowAndTheCommandLine) {
    ListedPlatform hid;
    hid.interfaces = {
        {"told-other", kOther},                                           // passed over unopened
        {"untold-other", kOther, OpenFailure::None, kConfigCaps, false},  // opened to learn its IDs
        {"keyboard", kOurs, OpenFailure::None, kKeyboardCaps},            // the foot switch's keyboard
        {"denied", kOurs, OpenFailure::AccessDenied},                     // no udev rule yet
        {"short", kOurs, OpenFailure::None, {8, 4, 0, 0xFF00, 1}},        // too short for a frame
        {"config", kOurs},
        {"second", kOurs},
    };
    SearchRequest request;
    const SearchResult all = Search(hid, request);
    std::vector<std::string> paths;
    std::vector<InterfaceState> states;
    for (const InterfaceInfo& info : all.interfaces) {
        paths.push_back(info.path);
        states.push_back(info.state);
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"untold-other", "keyboard", "denied", "short", "config", "second"}));
    EXPECT_EQ(states, (std::vector<InterfaceState>{InterfaceState::Unusable, InterfaceState::Keyboard,
                                                   InterfaceState::NoAccess, InterfaceState::Unusable,
                                                   InterfaceState::Usable, InterfaceState::Usable}));
    EXPECT_EQ(std::count(hid.opened.begin(), hid.opened.end(), "told-other"), 0);
    EXPECT_EQ(std::count(hid.opened.begin(), hid.opened.end(), "keyboard"), 0) << "the system would let it open";
    EXPECT_TRUE(all.deniedMatch);
    // Denied, with IDs that cannot be told without opening it: no permission problem of ours.
    ListedPlatform untold;
    untold.interfaces = {{"untold-denied", kOurs, OpenFailure::AccessDenied, kConfigCaps, false}};
    EXPECT_FALSE(Search(untold, request).deniedMatch);
    EXPECT_EQ(all.connected, 0);
    EXPECT_EQ(all.lastPath, "second");
    EXPECT_TRUE(hid.open.empty()) << "the search leaves nothing open";
    EXPECT_EQ(all.interfaces[3].why, "");
    EXPECT_EQ(all.interfaces[2].why, "denied by the script");

    // The window's search keeps the first match that opens, and looks no further.
    hid.opened.clear();
    request.connectFirst = true;
    const SearchResult window = Search(hid, request);
    ASSERT_NE(window.connected, 0);
    EXPECT_EQ(window.interfaces.back().path, "short");
    EXPECT_EQ(hid.open.at(window.connected), "short");
    EXPECT_EQ(hid.open.size(), 1u);
    EXPECT_EQ(hid.opened.back(), "short");
}

TEST(Search, EveryInterfaceOrNoneThatMatches) {
    ListedPlatform hid;
    hid.interfaces = {{"told-other", kOther}, {"config", kOurs}};
    SearchRequest request;
    request.everyInterface = true;
    const SearchResult all = Search(hid, request);
    ASSERT_EQ(all.interfaces.size(), 2u);
    EXPECT_TRUE(all.interfaces[0].capsKnown) << "a listing of every interface gives each one's lengths";
    EXPECT_EQ(all.interfaces[0].state, InterfaceState::Usable);
    EXPECT_FALSE(Matches(all.interfaces[0], DeviceIds{}));
    EXPECT_TRUE(IsFootSwitch(all.interfaces[1], DeviceIds{}));

    // IDs the window cannot read match nothing, not even an interface whose IDs are 0.
    hid.interfaces = {{"zero", {0, 0}}, {"config", kOurs}};
    SearchRequest unusable;
    unusable.idsValid = false;
    unusable.connectFirst = true;
    const SearchResult none = Search(hid, unusable);
    EXPECT_EQ(none.connected, 0);
    EXPECT_TRUE(none.interfaces.empty());
    EXPECT_EQ(none.lastPath, "config");
}

class FakeSleeper final : public Sleeper {
public:
    std::vector<int> sleeps;
    void Sleep(int ms) override { sleeps.push_back(ms); }
};

std::vector<std::uint8_t> Report(std::initializer_list<std::uint8_t> frame, size_t length = 8) {
    std::vector<std::uint8_t> report(length, 0);
    std::copy(frame.begin(), frame.end(), report.begin() + 1);
    return report;
}

TEST(Send, AKeyAssignmentIsTheKeyThenTheDelayAndTheLongPress50MsApart) {
    ListedPlatform hid;
    FakeSleeper sleeper;
    FootSwitchLink link(hid, sleeper);
    const FrameJob job = KeyAssignmentJob(KeyFrame(SwitchSlotByte(2), modifier::kCtrl, 0x3A), 300, 1);
    const JobResult sent = link.Send(Connection{"config", 1, 8}, job);
    EXPECT_TRUE(sent.Outcomes().AllWritten());
    EXPECT_EQ(hid.written, (std::vector<std::vector<std::uint8_t>>{
                               Report({0xAA, 0x01, 0x04, 0x01, 0x3A, 0x00, 0x00}),
                               Report({0xAA, 0x01, 0x7C, 0x79, 0x01, 0x01, 0x2C}),
                               Report({0xAA, 0x01, 0x78, 0x79, 0x01, 0x01, 0x00}),
                           }));
    EXPECT_EQ(sleeper.sleeps, (std::vector<int>{kPauseMs, kPauseMs}));
}

TEST(Send, AFailedFrameStopsTheJobUnlessItKeepsGoing) {
    struct Case {
        bool keepGoing;
        size_t writes;
        std::vector<int> sleeps;
        std::vector<SendOutcome> outcomes;
    };
    const Case cases[] = {
        {false, 2, {kPauseMs}, {SendOutcome::Written, SendOutcome::Failed}},
        {true, 3, {kPauseMs, kPauseMs}, {SendOutcome::Written, SendOutcome::Failed, SendOutcome::Written}},
    };
    for (const Case& c : cases) {
        ListedPlatform hid;
        hid.failWrites = {1};
        FakeSleeper sleeper;
        FootSwitchLink link(hid, sleeper);
        FrameJob job = KeyAssignmentJob(KeyFrame(0, 0, 4), 0, 0);
        job.keepGoing = c.keepGoing;
        const JobResult sent = link.Send(Connection{"config", 1, 8}, job);
        EXPECT_EQ(hid.written.size(), c.writes) << c.keepGoing;
        EXPECT_EQ(sleeper.sleeps, c.sleeps) << c.keepGoing;
        std::vector<SendOutcome> outcomes;
        for (const StepResult& step : sent.steps) {
            outcomes.push_back(step.Outcome());
        }
        EXPECT_EQ(outcomes, c.outcomes) << c.keepGoing;
        EXPECT_EQ(sent.steps[1].failure, StepFailure::Device);
        EXPECT_EQ(sent.steps[1].write.error, "stalled");
    }
}

TEST(Send, EachStepAsksWhereToGoAndHearsWhatBecameOfIt) {
    ListedPlatform hid;
    FakeSleeper sleeper;
    FootSwitchLink link(hid, sleeper);
    FrameJob job;
    job.keepGoing = true;
    job.steps = {{ClearSlotFrame(0), {}, 0}, {Frame{}, "aa 01 02", 0}, {Frame{}, "aa zz", 0}, {RunModeFrame(true, true), {}, 0}};
    const Connection shortReport{"short", 1, 4};
    std::vector<size_t> heard;
    const JobResult sent = link.Send(
        job, [&](size_t step) { return step == 0 ? nullptr : &shortReport; },
        [&](size_t step, const StepResult&) { heard.push_back(step); });
    EXPECT_EQ(heard, (std::vector<size_t>{0, 1, 2, 3}));
    ASSERT_EQ(sent.steps.size(), 4u);
    EXPECT_EQ(sent.steps[0].failure, StepFailure::NotConnected);
    EXPECT_EQ(sent.steps[1].failure, StepFailure::None);
    EXPECT_EQ(sent.steps[2].failure, StepFailure::BadFrame);
    EXPECT_EQ(sent.steps[2].error, "the frame text has a character that is not a hex digit at position 3");
    // Reports of the connection's length: typed text and frames alike are cut to fit.
    EXPECT_EQ(hid.written, (std::vector<std::vector<std::uint8_t>>{{0x00, 0xAA, 0x01, 0x02}, {0x00, 0xAA, 0x01, 0x7C}}));
    EXPECT_STREQ(sent.Outcomes().FailureLine(Language::English), Text(Msg::WriteFailed, Language::English));
}

// Every frame the window shows, typed back in, is the report the link sends for it: the
// frame box and the command line can never disagree about what a frame is.
TEST(Protocol, AFrameAndItsTextMakeTheSameReport) {
    const Frame frames[] = {
        KeyFrame(SwitchSlotByte(2), 0x03, 0x3A),
        KeyFrame(0xFC, 0xFF, 0x65),
        MouseFrame(SwitchSlotByte(4), mouse::kMiddle),
        DelayFrame(65535),
        DelayFrame(-1),
        LongPressFrame(2),
        ClearSlotFrame(31),
        RunModeFrame(false, true),
    };
    for (const Frame& frame : frames) {
        for (int length : {1, 2, 7, 8, 9, 65}) {
            const ReportConversion fromBytes = FrameToReport(frame, length);
            const ReportConversion fromText = FrameTextToReport(FrameText(frame), length);
            ASSERT_TRUE(fromBytes.ok());
            EXPECT_EQ(fromBytes.report, fromText.report) << FrameText(frame) << " in " << length;
            EXPECT_EQ(fromBytes.report.size(), static_cast<size_t>(length));
        }
        EXPECT_FALSE(FrameToReport(frame, 0).ok());
    }
    EXPECT_EQ(FrameText(DelayFrame(-1)), "AA 01 7C 79 01 00 00");
    EXPECT_EQ(FrameText(DelayFrame(70000)), "AA 01 7C 79 01 FF FF");
    EXPECT_EQ(ByteListText(FrameToReport(MouseFrame(8, mouse::kRight), 9).report), "00 AA 02 08 FE 02 00 00 00");
}

}  // namespace
}  // namespace treadle
