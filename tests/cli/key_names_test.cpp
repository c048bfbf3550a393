#include "assignment/key_names.h"

#include "assignment/key_naming.h"
#include "support/fakes.h"
#include "support/test_names.h"
#include "window/keyboard_layout.h"

#include <gtest/gtest.h>

#include <array>
#include <set>

namespace treadle::cli {
namespace {

std::string Upper(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return s;
}

// Every key button of the on-screen keyboard has a name, and the name gives the usage the
// window's own key table holds for that button.
TEST(KeyNames, EveryOnScreenKeyMapsToTheWindowsKeyTable) {
    treadle::testing::WindowFixture fixture;
    std::set<std::string> names;
    int keys = 0;
    for (const KeyPlace& place : KeyboardLayout()) {
        if (place.index < 0) {
            continue;  // a modifier toggle
        }
        ++keys;
        const std::string name = KeyButtonName(place.index);
        ASSERT_FALSE(name.empty()) << "key button " << place.index << " has no name";
        EXPECT_TRUE(names.insert(name).second) << name << " names two buttons";
        const int usage = fixture.window->KeyTable[static_cast<size_t>(place.index)];
        for (const std::string& written : {name, Upper(name)}) {
            const KeyParse parsed = ParseKey(written);
            ASSERT_TRUE(parsed.ok()) << written << ": " << parsed.error;
            EXPECT_FALSE(parsed.choice.mouse);
            EXPECT_EQ(parsed.choice.usage, usage) << written;
            EXPECT_EQ(parsed.choice.modifiers, 0) << written;
        }
    }
    EXPECT_EQ(keys, 96);
    EXPECT_EQ(ParseKey("backslash").choice.usage, 0x32);
}

// A case's name: its text, then its place in the table (two cases may share a text).
std::string NameOf(const char* text, size_t index) {
    return treadle::testing::TestNameFromText(text) + "_" + std::to_string(index);
}

struct GoodKey {
    const char* text;
    bool mouse;
    int modifiers;
    int usage;
    const char* combination;
};

class GoodKeys : public ::testing::TestWithParam<GoodKey> {};

TEST_P(GoodKeys, Parse) {
    const GoodKey& k = GetParam();
    const KeyParse parsed = ParseKey(k.text);
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    EXPECT_EQ(parsed.choice.mouse, k.mouse);
    EXPECT_EQ(parsed.choice.modifiers, k.modifiers);
    EXPECT_EQ(parsed.choice.usage, k.usage);
    EXPECT_EQ(KeyCombinationText(parsed.choice), k.combination);
    // What the slot bytes of the choice read back as is the same choice.
    const std::optional<KeyChoice> back =
        k.mouse ? ChoiceFromSlot(0xFE, static_cast<std::uint8_t>(k.usage), 0, 0)
                : ChoiceFromSlot(static_cast<std::uint8_t>(k.modifiers), static_cast<std::uint8_t>(k.usage), 0, 0);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, parsed.choice);
}

INSTANTIATE_TEST_SUITE_P(
    Table, GoodKeys,
    ::testing::Values(GoodKey{"ctrl+shift+f1", false, 0x03, 0x3A, "ctrl+shift+f1"},
                      GoodKey{"shift+ctrl+f1", false, 0x03, 0x3A, "ctrl+shift+f1"},
                      GoodKey{"F1+SHIFT+Ctrl", false, 0x03, 0x3A, "ctrl+shift+f1"},
                      GoodKey{"rwin+ralt+rshift+rctrl+win+alt+shift+ctrl+a", false, 0xFF, 0x04,
                              "ctrl+shift+alt+win+rctrl+rshift+ralt+rwin+a"},
                      GoodKey{"ralt+a", false, 0x40, 0x04, "ralt+a"},
                      GoodKey{"win+rctrl+l", false, 0x18, 0x0F, "win+rctrl+l"}, GoodKey{"f13", false, 0, 0x68, "f13"},
                      GoodKey{"F24", false, 0, 0x73, "f24"}, GoodKey{"0x87", false, 0, 0x87, "0x87"},
                      GoodKey{"0X3a", false, 0, 0x3A, "f1"}, GoodKey{"ctrl+0x0", false, 0x01, 0x00, "ctrl+0x00"},
                      GoodKey{"0x04", false, 0, 0x04, "a"}, GoodKey{"0xDF", false, 0, 0xDF, "0xdf"},
                      GoodKey{"0xE8", false, 0, 0xE8, "0xe8"}, GoodKey{"0x53", false, 0, 0x53, "numlock"},
                      GoodKey{"alt+kp-enter", false, 0x04, 0x58, "alt+kp-enter"},
                      GoodKey{"mouse-left", true, 0, 1, "mouse-left"},
                      GoodKey{"Mouse-Middle", true, 0, 4, "mouse-middle"},
                      GoodKey{"mouse-right", true, 0, 2, "mouse-right"}),
    [](const auto& info) { return NameOf(info.param.text, info.index); });

struct BadKey {
    const char* text;
    const char* error;  // a part of the message
};

class BadKeys : public ::testing::TestWithParam<BadKey> {};

TEST_P(BadKeys, AreRefusedNamingTheBadPart) {
    const KeyParse parsed = ParseKey(GetParam().text);
    ASSERT_FALSE(parsed.ok());
    EXPECT_NE(parsed.error.find(GetParam().error), std::string::npos) << parsed.error;
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadKeys,
    ::testing::Values(BadKey{"", "empty key"}, BadKey{"ctrl+", "empty part in \"ctrl+\""},
                      BadKey{"ctrl++a", "empty part"}, BadKey{"ctrl+ctrl+a", "\"ctrl\" is given twice"},
                      BadKey{"ctrl+Ctrl+a", "\"ctrl\" is given twice"}, BadKey{"a+a", "\"a\" is given twice"},
                      BadKey{"a+b", "two keys \"a\" and \"b\": a switch"},
                      BadKey{"ctrl+f1+f2", "two keys \"f1\" and \"f2\": a switch takes one key"},
                      BadKey{"a+mouse-left", "two keys"}, BadKey{"ctrl+shift", "has no key"},
                      BadKey{"ctrl+foo", "unknown key \"foo\""}, BadKey{"ctrl+foo", "'treadlectl keys' lists"},
                      BadKey{"f25", "unknown key \"f25\""}, BadKey{"kp_enter", "did you mean \"kp-enter\"?"},
                      BadKey{"backslah", "did you mean \"backslash\"?"}, BadKey{"+", "empty part"},
                      BadKey{"0x100", "raw usage \"0x100\" must be 0x00 to 0xFF"}, BadKey{"0x", "unknown key \"0x\""},
                      BadKey{"ctrl+0x", "unknown key \"0x\""}, BadKey{"0xg1", "must be 0x00 to 0xFF"},
                      BadKey{"ctrl+mouse-left", "a mouse click takes no modifiers"},
                      // No key, the keyboard's error codes and the modifiers as keys.
                      BadKey{"0x00", "usage \"0x00\" means no key"}, BadKey{"0x01", "is a keyboard error code"},
                      BadKey{"ctrl+0x03", "usage \"0x03\" is a keyboard error code"},
                      BadKey{"0xE0", "usage \"0xe0\" is the modifier ctrl: write it by its name"},
                      BadKey{"shift+0xe7", "is the modifier rwin"}, BadKey{"0xe4", "is the modifier rctrl"}),
    [](const auto& info) { return NameOf(info.param.text, info.index); });

// Names are taken in any case, letters at both ends of the alphabet included.
TEST(KeyNames, UpperCaseNamesAreTheSameKeys) {
    struct Case {
        const char* text;
        const char* combination;
    };
    const Case cases[] = {
        {"A", "a"},
        {"Z", "z"},
        {"CTRL+Z", "ctrl+z"},
        {"Shift+A", "shift+a"},
        {"RSHIFT+KP-ENTER", "rshift+kp-enter"},
        {"RaLt+RwIn+Q", "ralt+rwin+q"},
        {"PgUp", "pgup"},
        {"LBRACKET", "lbracket"},
        {"F12", "f12"},
        {"MOUSE-RIGHT", "mouse-right"},
        {"0XFF", "0xff"},
    };
    for (const Case& c : cases) {
        const KeyParse parsed = ParseKey(c.text);
        ASSERT_TRUE(parsed.ok()) << c.text << ": " << parsed.error;
        EXPECT_EQ(KeyCombinationText(parsed.choice), c.combination) << c.text;
        EXPECT_EQ(parsed.choice, ParseKey(c.combination).choice) << c.text;
    }
}

// A key with every modifier but left Ctrl stores the same bytes as a click: the click wins
// when slots are read back, and the key is marked as looking like one.
TEST(KeyNames, ClickLookalikeKeys) {
    const KeyParse key = ParseKey("shift+alt+win+rctrl+rshift+ralt+rwin+a");
    ASSERT_TRUE(key.ok());
    EXPECT_TRUE(LooksLikeClick(key.choice));
    EXPECT_FALSE(LooksLikeClick(ParseKey("ctrl+a").choice));
    EXPECT_TRUE(ChoiceFromSlot(0xFE, 0x04, 0, 0)->mouse);
    EXPECT_FALSE(ChoiceFromSlot(0xFF, 0xFF, 0xFF, 0xFF).has_value());
    EXPECT_FALSE(ChoiceFromSlot(0x01, 0x04, 0x00, 0x01).has_value());
}

// Slots that older versions let a switch hold hold no key that can be set: show and export
// treat them as written by no assignment, rather than as a key that apply then refuses.
TEST(KeyNames, SlotsHoldingNoSettableKeyAreNoChoice) {
    const std::array<std::uint8_t, 2> noKeys[] = {{0x00, 0x00}, {0x00, 0x01}, {0x04, 0x03}, {0x00, 0xE0}, {0x02, 0xE7}};
    for (const auto& [modifiers, usage] : noKeys) {
        EXPECT_FALSE(ChoiceFromSlot(modifiers, usage, 0, 0).has_value()) << int(modifiers) << " " << int(usage);
    }
    const std::optional<KeyChoice> alone = ChoiceFromSlot(0x01, 0x00, 0, 0);
    ASSERT_TRUE(alone.has_value());
    EXPECT_EQ(KeyCombinationText(*alone), "ctrl+0x00");
}

TEST(KeyNames, EveryListedNameParses) {
    for (const std::string& name : AllKeyNames()) {
        const KeyParse parsed = ParseKey(name);
        const bool modifier = name == "ctrl" || name == "shift" || name == "alt" || name == "win" || name == "rctrl" ||
                              name == "rshift" || name == "ralt" || name == "rwin";
        EXPECT_EQ(parsed.ok(), !modifier) << name << ": " << parsed.error;
    }
    EXPECT_EQ(AllKeyNames().size(), 8u + 96u + 12u + 3u);  // modifiers, on-screen keys, F13 to F24, clicks
}

}  // namespace
}  // namespace treadle::cli
