#include "window/startup.h"

#include "support/fakes.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace treadle {
namespace {

using treadle::testing::FakeBoxes;
using treadle::testing::FakeSleeper;

TEST(StartPlatform, ABadStateOrCaptureFileIsShownInABoxAndOnStderr) {
    const treadle::testing::TempDir dir;
    const std::string badState = (dir / "bad.state").string();
    std::ofstream(badState) << "device 1\nslot 04: zz\n";
    struct Case {
        const char* what;
        CommandLine options;
        std::string named;  // a part of the reason, in the box and on stderr
    };
    const Case cases[] = {
        {"malformed state file", {false, false, true, badState, ""}, badState + ":2"},
        {"capture file in no folder",
         {false, false, true, "", "/nonexistent-dir/capture.txt"},
         "cannot open the capture file /nonexistent-dir/capture.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeSleeper sleeper;
        FakeBoxes boxes;
        std::ostringstream err;
        EXPECT_EQ(StartPlatform(c.options, sleeper, boxes, err, "treadle"), nullptr);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].title, "Treadle");
        EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::Ok);
        EXPECT_NE(boxes.shown[0].text.find(c.named), std::string::npos) << boxes.shown[0].text;
        EXPECT_EQ(err.str(), "treadle: " + boxes.shown[0].text + "\n");
    }
    EXPECT_EQ(kBadStartStatus, 2);
}

TEST(StartPlatform, AGoodVirtualFootSwitchStartsWithoutABox) {
    const treadle::testing::TempDir dir;
    FakeSleeper sleeper;
    FakeBoxes boxes;
    std::ostringstream err;
    CommandLine options;
    options.virtualDevice = true;
    options.stateFile = (dir / "new.state").string();
    options.captureFile = (dir / "capture.txt").string();
    const std::unique_ptr<HidPlatform> platform = StartPlatform(options, sleeper, boxes, err, "treadle");
    ASSERT_NE(platform, nullptr);
    EXPECT_EQ(platform->EnumerateInterfaces().size(), 3u);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(err.str().empty());
}

// Every window program (Qt, Win32, the page) starts through PlanStart: what it prints, whether
// it stops, and how the window shows.
TEST(PlanStart, SaysWhatToPrintAndWhetherToStop) {
    struct Case {
        std::vector<std::string> arguments;
        const char* environment;
        bool stop;
        int status;
        std::string out;  // the start of the standard output
        std::string err;
        Language language;
        bool advanced;
    };
    const std::string usage = "Usage: tr [--lang zh|en]";
    const Case cases[] = {
        {{}, nullptr, false, 0, "", "", Language::Chinese, false},
        {{"--lang=en", "--advanced", "--virtual=s"}, "zh", false, 0, "", "", Language::English, true},
        {{}, "en", false, 0, "", "", Language::English, false},
        {{},
         "fr",
         false,
         0,
         "",
         "tr: TREADLE_LANG='fr' names no language of the window (zh or en); the window is in Chinese\n",
         Language::Chinese,
         false},
        {{"--help"}, nullptr, true, 0, usage, "", Language::Chinese, false},
        {{"--version"},
         nullptr,
         true,
         0,
         std::string("treadle ") + TREADLE_VERSION + "\n",
         "",
         Language::Chinese,
         false},
        {{"--capture", "c"},
         nullptr,
         true,
         2,
         "",
         "tr: --capture records what the virtual foot switch receives, so it needs --virtual\nTry 'tr --help' for more "
         "information.\n",
         Language::Chinese,
         false},
        {{"--virtual", "--virtual=s"},
         nullptr,
         true,
         2,
         "",
         "tr: --virtual given twice\nTry 'tr --help' for more information.\n",
         Language::Chinese,
         false},
    };
    for (const Case& c : cases) {
        const StartPlan plan = PlanStart(c.arguments, c.environment, "tr");
        SCOPED_TRACE(c.arguments.empty() ? "(none)" : c.arguments.front());
        EXPECT_EQ(plan.stop, c.stop);
        EXPECT_EQ(plan.status, c.status);
        EXPECT_EQ(plan.out.substr(0, c.out.size()), c.out);
        EXPECT_EQ(plan.out.empty(), c.out.empty());
        EXPECT_EQ(plan.err, c.err);
        if (!c.stop) {
            EXPECT_EQ(plan.window.language, c.language);
            EXPECT_EQ(plan.window.advanced, c.advanced);
        }
    }
    EXPECT_EQ(PlanStart({"--virtual=s", "--capture=c"}, nullptr, "tr").options.stateFile, "s");
}

}  // namespace
}  // namespace treadle
