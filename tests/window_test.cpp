#include <gtest/gtest.h>

#include <set>

#include "support/fakes.h"

namespace treadle {
namespace {

using testing::WindowFixture;

TEST(WindowStartUp, ControlsStartAsDesigned) {
    WindowFixture f;
    USB& w = *f.window;
    EXPECT_EQ(w.Combo1.Text(), "1");
    EXPECT_EQ(w.Combo1.Items(), (std::vector<std::string>{"1", "2", "3", "4"}));
    EXPECT_EQ(w.Check1.Value(), 0);
    EXPECT_EQ(w.Option2.Value(), 1);
    EXPECT_EQ(w.Option1.Value(), 0);
    EXPECT_EQ(w.Text_delay.Text(), "0");
    EXPECT_EQ(w.TextVID.Text(), "2704");
    EXPECT_EQ(w.TextPID.Text(), "2018");
    EXPECT_EQ(w.TextIW.Text(), "aa 01 00 00 3C 00 00");
    EXPECT_FALSE(w.TextIW.Enabled());
    EXPECT_EQ(w.Label3.Text(), "请插入设备！");
    EXPECT_TRUE(w.lstResults.Items().empty());
    EXPECT_EQ(w.Command_auto_run.BackColor(), colors::kButtonFace);
    for (const char* usable : {"Clear", "Combo1", "Check1", "lstResults", "Option1", "Option2"}) {
        EXPECT_TRUE(w.Find(usable)->Enabled()) << usable;
    }
    EXPECT_FALSE(w.DeviceDetected);
    EXPECT_FALSE(w.DeviceEverDetected);
    EXPECT_EQ(w.HIDHandle, 0);
    EXPECT_EQ(w.OutputReportLength, 0);
}

TEST(WindowStartUp, EveryDeviceActionControlIsDisabledBeforeAnySearch) {
    WindowFixture f;
    USB& w = *f.window;
    for (int i = 0; i < w.Command_key.Count(); ++i) {
        EXPECT_FALSE(w.Command_key[i].Enabled()) << i;
    }
    ASSERT_EQ(USB::DeviceControlNames().size(), 15u);  // the eight toggles and seven other controls
    for (const char* name : USB::DeviceControlNames()) {
        EXPECT_FALSE(w.Find(name)->Enabled()) << name;
    }
    EXPECT_EQ(f.device->OpenHandleCount(), 0);
}

TEST(WindowStartUp, HiddenControlsAndControlsBeyondTheClientArea) {
    WindowFixture f;
    USB& w = *f.window;
    for (const char* name : {"Frame1", "Frame4", "Command1", "Command2", "Label1", "TextVID", "Label2", "TextPID"}) {
        EXPECT_FALSE(w.Find(name)->Visible()) << name;
    }
    EXPECT_FALSE(w.Command_key[21].Visible());
    EXPECT_FALSE(w.Command_key[79].Visible());
    EXPECT_EQ(w.Command_key[21].container, "");
    EXPECT_EQ(w.Command_key[79].container, "");
    // Everything on the window itself that starts at 12840 or more lies wholly outside.
    for (const Control& c : w.Controls()) {
        if (c.container.empty() && c.place.left >= 12840) {
            EXPECT_GE(c.place.left, USB::kClientWidth) << c.DisplayName();
        }
    }
    for (const char* name : {"contion", "TextIW", "Frame4", "Command1", "Command2", "TextVID", "TextPID"}) {
        EXPECT_GE(w.Find(name)->place.left, USB::kClientWidth) << name;
    }
}

TEST(WindowStartUp, EveryControlNameIsUnique) {
    WindowFixture f;
    std::set<std::string> names;
    for (const Control& c : f.window->Controls()) {
        EXPECT_TRUE(names.insert(c.DisplayName()).second) << c.DisplayName();
    }
    EXPECT_EQ(f.window->Command_key.Count(), kKeyButtonCount);
}

TEST(DeviceControls, EnableAndDisableWalkTheWholeGroupAndAreIdempotent) {
    WindowFixture f;
    USB& w = *f.window;
    auto groupEnabled = [&](bool expected) {
        for (int i = 0; i < w.Command_key.Count(); ++i) {
            if (w.Command_key[i].Enabled() != expected) {
                return false;
            }
        }
        for (const char* name : USB::DeviceControlNames()) {
            if (w.Find(name)->Enabled() != expected) {
                return false;
            }
        }
        return true;
    };
    w.EnableDeviceControls();
    EXPECT_TRUE(groupEnabled(true));
    w.EnableDeviceControls();
    EXPECT_TRUE(groupEnabled(true));
    // Controls outside the group are never touched.
    EXPECT_TRUE(w.Clear.Enabled());
    EXPECT_FALSE(w.TextIW.Enabled());
    EXPECT_TRUE(w.Label11.Enabled());
    w.DisableDeviceControls();
    w.DisableDeviceControls();
    EXPECT_TRUE(groupEnabled(false));
    EXPECT_TRUE(w.Combo1.Enabled());
    EXPECT_TRUE(w.Check1.Enabled());
    EXPECT_TRUE(w.Option1.Enabled());
}

TEST(ChangeListener, ReportsOnlyRealChanges) {
    WindowFixture f;
    USB& w = *f.window;
    std::vector<std::string> changes;
    w.AddChangeListener([&](const Control& c, Property) { changes.push_back(c.DisplayName()); });
    w.EnableDeviceControls();
    const size_t afterEnable = changes.size();
    EXPECT_EQ(afterEnable, 98u + 15u);
    w.EnableDeviceControls();
    EXPECT_EQ(changes.size(), afterEnable);
    w.Label3.SetText("请插入设备！");  // the same text again
    EXPECT_EQ(changes.size(), afterEnable);
}

TEST(ActivityLog, LineFormatAndSelection) {
    WindowFixture f;
    USB& w = *f.window;
    w.LogMessage("单次播放！");
    w.LogMessage("");
    w.LogMessage(" leading blank");
    EXPECT_EQ(f.Log(), (std::vector<std::string>{"[2026/12/6 8:40:48]:单次播放！", "[2026/12/6 8:40:48]:",
                                                 "[2026/12/6 8:40:48]: leading blank"}));
    EXPECT_EQ(w.lstResults.ListIndex(), 2);
    // A user's selection of an older line gives way to the next new line.
    w.UserSelectItem(w.lstResults, 0);
    EXPECT_EQ(w.lstResults.ListIndex(), 0);
    f.clock.stamp = "2026/12/6 8:40:49";
    w.LogMessage("next");
    EXPECT_EQ(w.lstResults.ListIndex(), 3);
    EXPECT_EQ(f.Log().back(), "[2026/12/6 8:40:49]:next");
}

TEST(ActivityLog, ClearEmptiesTheListAndWritesNothing) {
    WindowFixture f;
    USB& w = *f.window;
    w.UserClick(w.Clear);  // on an empty list
    EXPECT_TRUE(f.Log().empty());
    w.LogMessage("a");
    w.LogMessage("b");
    w.UserClick(w.Clear);
    EXPECT_TRUE(f.Log().empty());
    EXPECT_EQ(w.lstResults.ListIndex(), -1);
    const std::string frame = w.TextIW.Text();
    w.LogMessage("c");
    EXPECT_EQ(f.Log(), (std::vector<std::string>{f.Stamped("c")}));
    EXPECT_EQ(w.lstResults.ListIndex(), 0);
    EXPECT_EQ(w.TextIW.Text(), frame);
}

TEST(ActivityLog, PlainLinesCarryNoStampAndDoNotMoveTheSelection) {
    WindowFixture f;
    USB& w = *f.window;
    w.LogMessage("first");
    w.AddPlainLine(" Report Data:");
    EXPECT_EQ(f.Log().back(), " Report Data:");
    EXPECT_EQ(w.lstResults.ListIndex(), 0);
    w.SelectLastLine();
    EXPECT_EQ(w.lstResults.ListIndex(), 1);
}

TEST(WindowEvents, KeyPressDoesNothing) {
    WindowFixture f;
    USB& w = *f.window;
    std::vector<std::string> changes;
    w.AddChangeListener([&](const Control& c, Property) { changes.push_back(c.DisplayName()); });
    for (int key : {97, 65, 13, 27, 32}) {
        w.Form_KeyPress(key);
    }
    EXPECT_TRUE(changes.empty());
    EXPECT_TRUE(f.device->Received().empty());
}

TEST(WindowEvents, UserEventsOnDisabledControlsAreIgnored) {
    WindowFixture f;
    USB& w = *f.window;
    w.UserEditText(w.TextIW, "ff");  // TextIW is disabled
    EXPECT_EQ(w.TextIW.Text(), "aa 01 00 00 3C 00 00");
}

TEST(WindowEvents, ComboTakesTypedTextAndChosenItems) {
    WindowFixture f;
    USB& w = *f.window;
    w.UserSelectItem(w.Combo1, 2);
    EXPECT_EQ(w.Combo1.Text(), "3");
    w.UserEditText(w.Combo1, " 4 ");
    EXPECT_EQ(w.Combo1.Text(), " 4 ");
}

}  // namespace
}  // namespace treadle

namespace treadle {
namespace {

// The maker's label opens the guide quietly; where nothing can open it, a box in the window's
// language says so and where the guide is, and nothing else changes.
TEST(MakersLabel, SaysWhereTheGuideIsWhenNothingCanOpenIt) {
    struct Case {
        Language language;
        bool opens;
        const char* saying;  // what the box must say; null: no box
    };
    const Case cases[] = {
        {Language::Chinese, true, nullptr},
        {Language::Chinese, false, "无法打开用户指南"},
        {Language::English, false, "The user guide could not be opened"},
    };
    for (const Case& c : cases) {
        testing::WindowFixture f(VirtualFootSwitch::Options{}, WindowOptions{c.language, false});
        USB& w = *f.window;
        w.MakerPage = "file:///usr/share/treadle/guide.html";
        f.url.opens = c.opens;
        const size_t logLines = f.Log().size();
        w.UserClick(w.Label11);
        EXPECT_EQ(f.url.opened, std::vector<std::string>{w.MakerPage});
        EXPECT_EQ(f.Log().size(), logLines);
        if (c.saying == nullptr) {
            EXPECT_TRUE(f.boxes.shown.empty());
            continue;
        }
        ASSERT_EQ(f.boxes.shown.size(), 1u);
        EXPECT_NE(f.boxes.shown[0].text.find(c.saying), std::string::npos) << f.boxes.shown[0].text;
        EXPECT_NE(f.boxes.shown[0].text.find("\n/usr/share/treadle/guide.html"), std::string::npos)
            << "the guide's path, without file://";
        EXPECT_EQ(f.boxes.shown[0].buttons, MessageButtons::Ok);
    }
}

}  // namespace
}  // namespace treadle
