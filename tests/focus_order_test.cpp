#include "window/focus_order.h"

#include "support/fakes.h"
#include "window/keyboard_layout.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace treadle {
namespace {

using testing::WindowFixture;

std::vector<std::string> Names(const std::vector<const Control*>& controls) {
    std::vector<std::string> names;
    for (const Control* c : controls) {
        names.push_back(c->DisplayName());
    }
    return names;
}

// The order without the keyboard panel's controls, which are checked against the layout.
std::vector<std::string> OutsideTheKeyboard(const std::vector<const Control*>& order) {
    std::vector<std::string> names;
    for (const Control* c : order) {
        if (c->container != "FrameKeyBoard") {
            names.push_back(c->DisplayName());
        }
    }
    return names;
}

std::vector<std::string> KeyboardPart(const std::vector<const Control*>& order) {
    std::vector<std::string> names;
    for (const Control* c : order) {
        if (c->container == "FrameKeyBoard") {
            names.push_back(c->DisplayName());
        }
    }
    return names;
}

std::vector<std::string> LayoutNames() {
    std::vector<std::string> names;
    for (const KeyPlace& k : KeyboardLayout()) {
        names.push_back(k.index < 0 ? std::string(k.name) : std::string(k.name) + "(" + std::to_string(k.index) + ")");
    }
    return names;
}

TEST(FocusOrder, ReadsFrameByFrameAndTheKeyboardRowByRow) {
    struct Case {
        bool advanced;
        std::vector<std::string> outside;  // in order, the keyboard panel's controls left out
        size_t keyboardAfter;              // how many of them come before the keyboard's
    };
    const Case cases[] = {
        // The top band's frames left to right, the keyboard, then the log's column: Clear sits
        // left of the list. Text_delay is in the hidden delay frame of the top band.
        {false,
         {"Combo1", "Check1", "Iwrite", "Text_delay", "Command_L_btn", "Command_M_btn", "Command_R_btn", "Clear",
          "lstResults"},
         7},
        // The column right of the keyboard reads top to bottom, the delay's button beside its
        // box; then the log's band with the profile buttons and the frame text box at its
        // right; then the pedal test.
        {true,
         {"Combo1",
          "Check1",
          "Iwrite",
          "Command_L_btn",
          "Command_M_btn",
          "Command_R_btn",
          "Text_delay",
          "Command2",
          "Command_auto_run",
          "Option2",
          "Option1",
          "Command1",
          "Clear",
          "lstResults",
          "Command_save_profile",
          "Command_load_profile",
          "TextIW",
          "List_pedal_presses",
          "Command_pedal(0)",
          "Command_pedal(1)",
          "Command_pedal(2)",
          "Command_pedal(3)"},
         6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.advanced ? "advanced" : "plain");
        WindowFixture f({}, {Language::Chinese, c.advanced});
        const std::vector<const Control*> order = FocusOrder(*f.window);
        EXPECT_EQ(OutsideTheKeyboard(order), c.outside);
        std::vector<std::string> panel = LayoutNames();
        panel.push_back("Label11");  // the guide's link at the panel's top right
        EXPECT_EQ(KeyboardPart(order), panel);
        ASSERT_GT(order.size(), c.keyboardAfter);
        EXPECT_EQ(order[c.keyboardAfter]->DisplayName(), "Command_key(36)");     // Esc opens the panel
        EXPECT_EQ(order[c.keyboardAfter + 1]->DisplayName(), "Command_key(0)");  // then F1
    }
}

TEST(FocusOrder, HoldsEveryControlInViewOnceAndTheKeysRowAfterRow) {
    for (bool advanced : {false, true}) {
        SCOPED_TRACE(advanced ? "advanced" : "plain");
        WindowFixture f({}, {Language::English, advanced});
        USB& w = *f.window;
        const std::vector<const Control*> order = FocusOrder(w);
        std::map<const Control*, int> seen;
        for (const Control* c : order) {
            ++seen[c];
        }
        for (const Control& c : w.Controls()) {
            const bool expected = TakesFocus(c) && w.InView(c);
            EXPECT_EQ(seen.count(&c) != 0, expected) << c.DisplayName();
            if (expected) {
                EXPECT_EQ(seen[&c], 1) << c.DisplayName();
            }
        }
        // Keys: a row's top never rises, and within a row the keys go left to right.
        const Control* last = nullptr;
        for (const Control* c : order) {
            if (c->container != "FrameKeyBoard" || c->kind != ControlKind::Button) {
                continue;
            }
            if (last != nullptr) {
                EXPECT_GE(c->place.top, last->place.top) << c->DisplayName();
                if (c->place.top == last->place.top) {
                    EXPECT_GT(c->place.left, last->place.left) << c->DisplayName();
                }
            }
            last = c;
        }
    }
}

TEST(FocusOrder, TabReachesTheEnabledControlsOfVisibleFrames) {
    WindowFixture f;
    USB& w = *f.window;
    // Before the device is found, the keys and the device's buttons are disabled.
    EXPECT_EQ(Names(TabStops(w)), (std::vector<std::string>{"Combo1", "Check1", "Label11", "Clear", "lstResults"}));

    w.contion_Click();
    ASSERT_TRUE(w.DeviceDetected);
    const std::vector<const Control*> stops = TabStops(w);
    // Text_delay stays out: its frame is hidden.
    EXPECT_EQ(stops.size(), FocusOrder(w).size() - 1);
    for (const Control* c : stops) {
        EXPECT_NE(c->name, "Text_delay");
        EXPECT_TRUE(c->Enabled() && c->Visible()) << c->DisplayName();
    }
    w.Frame1.SetVisible(true);
    EXPECT_EQ(TabStops(w).size(), FocusOrder(w).size());
    w.Command_ctrl.SetEnabled(false);
    EXPECT_EQ(TabStops(w).size(), FocusOrder(w).size() - 1);
}

TEST(FocusOrder, TheArrowKeysMoveBetweenThePlaybackOptionsOnly) {
    WindowFixture f({}, {Language::Chinese, true});
    USB& w = *f.window;
    const std::vector<std::string> options{"Option2", "Option1"};
    EXPECT_EQ(Names(ArrowGroup(w, w.Option1)), options);
    EXPECT_EQ(Names(ArrowGroup(w, w.Option2)), options);
    for (const Control* other : {&w.Combo1, &w.Command_auto_run, &w.Command_key[0], &w.Check1}) {
        EXPECT_TRUE(ArrowGroup(w, *other).empty()) << other->DisplayName();
    }
}

}  // namespace
}  // namespace treadle
