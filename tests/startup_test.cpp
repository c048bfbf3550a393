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

}  // namespace
}  // namespace treadle
