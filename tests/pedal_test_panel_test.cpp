// The pedal-test panel of the advanced view, driven through the window's entry points on the
// virtual foot switch.
#include "support/fakes.h"
#include "window/advanced_view.h"
#include "window/pedal_testing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace treadle {
namespace {

using testing::WindowFixture;

const std::vector<std::string>& Presses(USB& w) { return w.Find(kPedalPressList)->Items(); }
const std::string& Status(USB& w) { return w.Find(kPedalStatus)->Text(); }

void ChooseSwitch(USB& w, int number) { w.UserSelectItem(w.Combo1, number - 1); }

TEST(PedalTestPanel, PressesOfProgrammedSwitchesShowTheirTimeCombinationAndSwitch) {
    struct Case {
        Language language;
        const char* caption;
        const char* pedal2;
        const char* key;
        const char* mouse;
        const char* noMatchPrefix;
        const char* holdsNothing;
    };
    for (const Case& c :
         {Case{Language::English, "Pedal test", "Pedal 2", "switch 2", "switch 3", "Cannot press",
               "Cannot press the pedal: switch 1 holds no assignment (FF FF FF FF): its pedal sends nothing"},
          Case{Language::Chinese, "踏板测试", "踏板 2", "开关 2", "开关 3", "不能踩下踏板",
               "不能踩下踏板：开关 1 没有写入任何键值（FF FF FF FF）：它的踏板不发送任何内容"}}) {
        SCOPED_TRACE(LanguageCode(c.language));
        WindowFixture f({}, {c.language, true});
        USB& w = *f.window;
        EXPECT_EQ(w.Find(kPedalTestFrame)->Text(), c.caption);
        ASSERT_EQ(w.Command_pedal.Count(), kPedalButtons);
        EXPECT_EQ(w.Command_pedal[1].Text(), c.pedal2);
        f.clock.stamp = "2026/12/7 9:15:02";
        w.TimerTick();  // connects, and the pedal test starts listening
        ASSERT_TRUE(w.DeviceDetected);
        EXPECT_TRUE(Presses(w).empty());
        EXPECT_EQ(Status(w), "");

        // Switch 2: ctrl+F1, through the window's toggles and key button.
        ChooseSwitch(w, 2);
        w.UserClick(w.Command_ctrl);
        w.UserClick(w.Command_key[0]);  // F1
        ASSERT_FALSE(f.Log().empty());
        // Switch 3: the left mouse button.
        ChooseSwitch(w, 3);
        w.UserClick(w.Command_L_btn);

        f.clock.stamp = "2026/12/7 9:15:10";
        w.UserClick(w.Command_pedal[1]);
        ASSERT_EQ(Presses(w).size(), 1u);
        EXPECT_EQ(Presses(w)[0], std::string("2026/12/7 9:15:10   ctrl+f1   ") + c.key);

        f.clock.stamp = "2026/12/7 9:15:11";
        w.UserClick(w.Command_pedal[2]);
        ASSERT_EQ(Presses(w).size(), 2u);
        EXPECT_EQ(Presses(w)[0], std::string("2026/12/7 9:15:11   mouse-left   ") + c.mouse) << "newest first";
        EXPECT_EQ(Presses(w)[1], std::string("2026/12/7 9:15:10   ctrl+f1   ") + c.key);

        // Pedal 1 holds nothing: the status line says so and the list stays.
        w.UserClick(w.Command_pedal[0]);
        EXPECT_EQ(Presses(w).size(), 2u);
        EXPECT_EQ(Status(w).rfind(c.noMatchPrefix, 0), 0u) << Status(w);
        EXPECT_EQ(Status(w), c.holdsNothing) << "said wholly in the window's language";
        w.UserClick(w.Command_pedal[1]);
        EXPECT_EQ(Status(w), "");
        EXPECT_EQ(Presses(w).size(), 3u);

        // Later ticks add nothing that was not pressed.
        w.TimerTick();
        EXPECT_EQ(Presses(w).size(), 3u);
    }
}

// Two switches with the same combination: the press names both, joined in the window's language.
TEST(PedalTestPanel, APressMatchingTwoSwitchesNamesBoth) {
    struct Case {
        Language language;
        const char* match;
    };
    for (const Case& c : {Case{Language::English, "switch 2 or 4"}, Case{Language::Chinese, "开关 2 或 4"}}) {
        SCOPED_TRACE(LanguageCode(c.language));
        WindowFixture f({}, {c.language, true});
        USB& w = *f.window;
        w.TimerTick();
        ASSERT_TRUE(w.DeviceDetected);
        for (int number : {2, 4}) {
            ChooseSwitch(w, number);
            w.UserClick(w.Command_shift);
            w.UserClick(w.Command_key[0]);  // F1
            w.UserClick(w.Command_shift);   // off again for the next switch
        }
        f.clock.stamp = "2026/12/7 9:20:00";
        w.UserClick(w.Command_pedal[3]);
        ASSERT_EQ(Presses(w).size(), 1u) << Status(w);
        EXPECT_EQ(Presses(w)[0], std::string("2026/12/7 9:20:00   shift+f1   ") + c.match);
    }
}

TEST(PedalTestPanel, TheStatusLineSaysWhyNothingIsHeard) {
    WindowFixture f({}, {Language::English, true});
    USB& w = *f.window;
    w.TimerTick();
    EXPECT_EQ(Status(w), "");
    f.device->Unplug();
    w.TimerTick();
    EXPECT_EQ(Status(w), "Not listening: the virtual foot switch was unplugged");
    f.device->Plug();
    w.TimerTick();
    EXPECT_EQ(Status(w), "");
    // The status line is the only thing the unplugging changed in the panel.
    EXPECT_TRUE(Presses(w).empty());
}

TEST(PedalTestPanel, ThePlainWindowHasNoPanelAndNoPedalTest) {
    WindowFixture plain;
    WindowFixture advanced({}, {Language::Chinese, true});
    EXPECT_EQ(plain.window->PedalTester(), nullptr);
    EXPECT_NE(advanced.window->PedalTester(), nullptr);
    EXPECT_EQ(plain.window->Command_pedal.Count(), 0);
    for (const char* name : {kPedalTestFrame, kPedalPressList, kPedalStatus}) {
        EXPECT_EQ(plain.window->Find(name), nullptr) << name;
        EXPECT_NE(advanced.window->Find(name), nullptr) << name;
    }
    for (int i = 0; i < kPedalButtons; ++i) {
        EXPECT_EQ(plain.window->Find(kPedalButton, i), nullptr) << i;
    }
    // The tick does in the plain window what Timer1's tick does, and nothing more.
    WindowFixture byTimer;
    plain.window->TimerTick();
    byTimer.window->Timer1_Timer();
    ASSERT_EQ(plain.window->Controls().size(), byTimer.window->Controls().size());
    for (size_t i = 0; i < plain.window->Controls().size(); ++i) {
        const Control& a = plain.window->Controls()[i];
        const Control& b = byTimer.window->Controls()[i];
        EXPECT_EQ(a.Text(), b.Text()) << a.DisplayName();
        EXPECT_EQ(a.Items(), b.Items()) << a.DisplayName();
        EXPECT_EQ(a.Enabled(), b.Enabled()) << a.DisplayName();
    }
    EXPECT_EQ(plain.device->Received(), byTimer.device->Received());
}

TEST(PedalTestPanel, PedalButtonsShowOnlyWhereThePedalsCanBePressed) {
    WindowFixture f({}, {Language::English, true});
    for (int i = 0; i < kPedalButtons; ++i) {
        EXPECT_TRUE(f.window->Command_pedal[i].Visible()) << i;
        EXPECT_TRUE(f.window->Command_pedal[i].Enabled()) << i;
        EXPECT_EQ(f.window->Command_pedal[i].Text(), "Pedal " + std::to_string(i + 1));
    }
    EXPECT_TRUE(f.window->PedalTester()->CanPressPedals());
}

}  // namespace
}  // namespace treadle
