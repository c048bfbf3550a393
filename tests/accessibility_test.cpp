#include "window/accessibility.h"

#include "support/fakes.h"
#include "window/focus_order.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace treadle {
namespace {

using testing::WindowFixture;

TEST(AccessibleNames, KeysTogglesBoxesAndFramesInBothLanguages) {
    struct Case {
        const char* name;
        int index;
        const char* chinese;
        const char* english;
    };
    const Case cases[] = {
        {"Command_ctrl", -1, "左Ctrl", "Left Ctrl"},
        {"Command_shift_r", -1, "右Shift", "Right Shift"},
        {"Command_win", -1, "左Win", "Left Win"},
        {"Command_key", 0, "F1", "F1"},
        {"Command_key", 11, "F12", "F12"},
        {"Command_key", 81, "数字锁定", "Num Lock"},
        {"Command_key", 76, "空格", "Space"},
        {"Command_key", 50, "A", "A"},
        {"Command_key", 40, "0", "0"},
        {"Command_key", 96, "小键盘0", "Keypad 0"},
        {"Command_key", 95, "小键盘回车", "Keypad Enter"},
        {"Command_key", 84, "小键盘减号", "Keypad Minus"},
        {"Command_key", 16, "减号", "Minus"},
        {"Command_key", 34, "左箭头", "Left Arrow"},
        {"Combo1", -1, "开关选择", "Switch"},
        {"lstResults", -1, "状态信息", "Status"},
        {"Text_delay", -1, "延时", "Delay"},
        {"TextIW", -1, "待写入的数据帧（手动写入）", "Frame that Write sends"},
        {"FrameKeyBoard", -1, "键盘", "Keyboard"},
        {"Frame3", -1, "鼠标按键", "Mouse"},
        {"Command_L_btn", -1, "左键", "Left"},
        {"Option2", -1, "循环播放", "Loop"},
    };
    WindowFixture zh({}, {Language::Chinese, false});
    WindowFixture en({}, {Language::English, false});
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.index));
        EXPECT_EQ(AccessibleName(*zh.window, *zh.window->Find(c.name, c.index)), c.chinese);
        EXPECT_EQ(AccessibleName(*en.window, *en.window->Find(c.name, c.index)), c.english);
    }
}

TEST(AccessibleNames, EveryControlInViewHasOneAndNoTwoKeysShareOne) {
    for (Language language : {Language::Chinese, Language::English}) {
        for (bool advanced : {false, true}) {
            WindowFixture f({}, {language, advanced});
            USB& w = *f.window;
            std::set<std::string> keyNames;
            for (const Control& c : w.Controls()) {
                // A label without text (the pedal test's status before a press) has nothing to say.
                if (c.kind == ControlKind::Timer || !w.InView(c) ||
                    (c.kind == ControlKind::Label && c.Text().empty())) {
                    continue;
                }
                const std::string name = AccessibleName(w, c);
                EXPECT_FALSE(name.empty()) << c.DisplayName();
                if (c.container == "FrameKeyBoard" && c.kind == ControlKind::Button) {
                    EXPECT_TRUE(keyNames.insert(name).second) << c.DisplayName() << " " << name;
                }
            }
            EXPECT_EQ(keyNames.size(), 104u);
        }
    }
}

TEST(AccessibleNames, BoxesAndListsAreNamedByTheirLabels) {
    WindowFixture f({}, {Language::English, true});
    USB& w = *f.window;
    EXPECT_EQ(NamingLabel(w, w.Combo1), &w.Label6);
    EXPECT_EQ(NamingLabel(w, w.Text_delay), &w.Label5);
    EXPECT_EQ(NamingLabel(w, w.lstResults), &w.Label4);
    EXPECT_EQ(NamingLabel(w, *w.Find("TextIW")), w.Find("Label_frame_text"));
    // The pedal presses are named by their frame's caption, which is no label.
    EXPECT_EQ(NamingLabel(w, *w.Find(kPedalPressList)), nullptr);
    EXPECT_EQ(AccessibleName(w, *w.Find(kPedalPressList)), "Pedal test");
    EXPECT_EQ(NamingLabel(w, w.Command_key[0]), nullptr);
}

TEST(AccessibleRoles, FollowTheControlsKinds) {
    WindowFixture f({}, {Language::English, true});
    USB& w = *f.window;
    struct Case {
        const Control* control;
        AccessibleRole role;
    };
    const Case cases[] = {
        {&w.Command_ctrl, AccessibleRole::ToggleButton},
        {&w.Command_win_r, AccessibleRole::ToggleButton},
        {&w.Command_auto_run, AccessibleRole::ToggleButton},
        {&w.Command_key[0], AccessibleRole::PushButton},
        {&w.Clear, AccessibleRole::PushButton},
        {&w.Check1, AccessibleRole::CheckBox},
        {&w.Option1, AccessibleRole::RadioButton},
        {&w.Combo1, AccessibleRole::ComboBox},
        {&w.TextIW, AccessibleRole::Text},
        {&w.lstResults, AccessibleRole::List},
        {&w.Frame2, AccessibleRole::Grouping},
        {&w.Label11, AccessibleRole::Link},
        {&w.Label3, AccessibleRole::Label},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RoleOf(*c.control), c.role) << c.control->DisplayName();
    }
}

TEST(AccessibleState, TogglesReportTheTypedStateAndOthersNone) {
    WindowFixture f({}, {Language::English, true});
    USB& w = *f.window;
    w.contion_Click();
    ASSERT_TRUE(w.DeviceDetected);
    EXPECT_EQ(TogglePressed(w, w.Command_ctrl), false);
    w.UserClick(w.Command_ctrl);
    w.UserClick(w.Command_alt_r);
    EXPECT_EQ(TogglePressed(w, w.Command_ctrl), true);
    EXPECT_EQ(TogglePressed(w, w.Command_alt_r), true);
    EXPECT_EQ(TogglePressed(w, w.Command_ctrl_r), false);
    EXPECT_EQ(TogglePressed(w, w.Command_auto_run), false);
    w.UserClick(w.Command_auto_run);
    EXPECT_EQ(TogglePressed(w, w.Command_auto_run), true);
    w.UserClick(w.Command_ctrl);
    EXPECT_EQ(TogglePressed(w, w.Command_ctrl), false);
    EXPECT_EQ(TogglePressed(w, w.Command_key[0]), std::nullopt);
    EXPECT_EQ(TogglePressed(w, w.Check1), std::nullopt);
}

}  // namespace
}  // namespace treadle
