#include <gtest/gtest.h>

#include <map>
#include <set>

#include "support/fakes.h"

namespace treadle {
namespace {

using testing::WindowFixture;

TEST(KeyTable, EntriesAndCaptions) {
    WindowFixture f;
    USB& w = *f.window;
    struct Case {
        int index;
        int usage;
        const char* caption;
    };
    const Case cases[] = {
        {0, 58, "F1"},         {11, 69, "F12"},      {40, 39, "0"},       {41, 30, "1"},
        {49, 38, "9"},         {50, 4, "A"},         {75, 29, "Z"},       {27, 50, "\\"},  // 0x32, not 0x31
        {21, 83, "Numlock"},   {81, 83, "Num"},      {80, 40, "Enter"},   {95, 88, "Ent"},
        {92, 89, "1"},         {87, 97, "9"},        {96, 98, "0"},       {97, 99, "./Del"},
        {76, 44, " "},         {36, 41, "Esc"},      {37, 53, "~"},       {31, 101, "Menu"},
        {32, 82, "↑"},         {33, 81, "↓"},        {34, 80, "←"},       {35, 79, "→"},
        {13, 70, "PrtSC"},     {18, 42, "Backspace"}, {82, 84, "/"},      {28, 56, "/"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(w.KeyTable[static_cast<size_t>(c.index)], c.usage) << c.index;
        EXPECT_EQ(w.Command_key[c.index].Text(), c.caption) << c.index;
    }
    for (size_t empty : {79u, 98u, 99u, 100u}) {
        EXPECT_EQ(w.KeyTable[empty], 0) << empty;
    }
    EXPECT_EQ(w.Command_key[79].Text(), "enter");
}

TEST(KeyTable, EveryVisibleKeyHasACaptionAndAUsage) {
    WindowFixture f;
    USB& w = *f.window;
    std::map<int, int> usages;
    for (int i = 0; i < w.Command_key.Count(); ++i) {
        if (i == 79) {
            continue;
        }
        EXPECT_FALSE(w.Command_key[i].Text().empty()) << i;
        const int usage = w.KeyTable[static_cast<size_t>(i)];
        EXPECT_GE(usage, 0x04) << i;
        EXPECT_LE(usage, 0x65) << i;
        usages[usage]++;
    }
    // Only Num Lock is on two buttons (the hidden spare 21 and the keypad's 81).
    for (const auto& [usage, count] : usages) {
        EXPECT_EQ(count, usage == 83 ? 2 : 1) << usage;
    }
}

TEST(KeyTable, FilledInLoadOrderAroundTheSwitchSelector) {
    // The F keys come before the selector's items, every other key after them.
    testing::FakeClock clock;
    testing::FakeSleeper sleeper;
    testing::FakeBoxes boxes;
    testing::FakeUrl url;
    VirtualFootSwitch device;
    USB w(WindowServices{device, clock, sleeper, boxes, url});
    std::vector<std::string> order;
    w.AddChangeListener([&](const Control& c, Property p) {
        if (p == Property::Text || p == Property::Items) {
            order.push_back(c.DisplayName());
        }
    });
    w.Form_Load();
    ASSERT_GE(order.size(), 16u);
    EXPECT_EQ(order[0], "Command_key(0)");
    EXPECT_EQ(order[11], "Command_key(11)");
    for (size_t i = 12; i < 16; ++i) {
        EXPECT_EQ(order[i], "Combo1");
    }
    EXPECT_EQ(order[16], "Command_key(12)");
    EXPECT_EQ(order.back(), "Command_key(97)");
}

TEST(KeyboardLayout, PlacesSizesAndFonts) {
    WindowFixture f;
    USB& w = *f.window;
    struct Case {
        const char* name;
        int index;
        Twips place;
    };
    const Case cases[] = {
        {"Command_key", 0, {1050, 200, 500, 500}},      // F1
        {"Command_key", 36, {120, 200, 500, 500}},      // Esc
        {"Command_key", 76, {2130, 2960, 3140, 500}},   // space
        {"Command_key", 95, {11400, 2430, 500, 1020}},  // keypad Ent, two rows
        {"Command_key", 88, {11400, 1380, 500, 1020}},  // keypad +, two rows
        {"Command_key", 97, {10880, 2960, 500, 495}},
        {"Command_key", 49, {4800, 840, 500, 500}},
        {"Command_key", 65, {5540, 1380, 500, 500}},  // P
        {"Command_key", 62, {4500, 2430, 500, 500}},  // M
        {"Command_ctrl", -1, {120, 2960, 650, 500}},
        {"Command_shift_r", -1, {6580, 2430, 1325, 500}},
        {"Command_ctrl_r", -1, {7280, 2960, 630, 500}},
    };
    for (const Case& c : cases) {
        const Control* control = w.Find(c.name, c.index);
        ASSERT_NE(control, nullptr) << c.name << c.index;
        EXPECT_EQ(control->place.left, c.place.left) << control->DisplayName();
        EXPECT_EQ(control->place.top, c.place.top) << control->DisplayName();
        EXPECT_EQ(control->place.width, c.place.width) << control->DisplayName();
        EXPECT_EQ(control->place.height, c.place.height) << control->DisplayName();
        EXPECT_EQ(control->container, "FrameKeyBoard");
    }
    EXPECT_EQ(w.Command_key[12].font.points, 6.75);
    EXPECT_EQ(w.Command_key[18].font.points, 7.5);
    EXPECT_EQ(w.Command_key[13].font.face, "Microsoft YaHei UI");
    EXPECT_EQ(w.Command_key[76].font.face, "宋体");
    EXPECT_EQ(w.Command_key[0].font.face, "微软雅黑");
    EXPECT_EQ(w.Command_key[0].font.points, 9);
    EXPECT_TRUE(w.Command_ctrl.graphical);
    EXPECT_EQ(w.Command_ctrl.Text(), "Ctrl");
    EXPECT_EQ(w.Command_win_r.Text(), "Win");
}

TEST(KeyboardLayout, KeysInsideThePanelDoNotOverlap) {
    WindowFixture f;
    std::vector<const Control*> panel;
    for (const Control& c : f.window->Controls()) {
        if (c.container == "FrameKeyBoard" && c.kind == ControlKind::Button) {
            panel.push_back(&c);
        }
    }
    ASSERT_EQ(panel.size(), 96u + 8u);
    for (size_t i = 0; i < panel.size(); ++i) {
        const Twips& a = panel[i]->place;
        EXPECT_LE(a.left + a.width, 12020) << panel[i]->DisplayName();
        EXPECT_LE(a.top + a.height, 3585) << panel[i]->DisplayName();
        for (size_t j = i + 1; j < panel.size(); ++j) {
            const Twips& b = panel[j]->place;
            const bool overlap = a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
                                 b.top < a.top + a.height;
            EXPECT_FALSE(overlap) << panel[i]->DisplayName() << " and " << panel[j]->DisplayName();
        }
    }
}

}  // namespace
}  // namespace treadle
