#include "assignment/assignment_log.h"

#include "device/protocol.h"
#include "device/virtual_foot_switch.h"
#include "settings/settings_input.h"
#include "support/test_names.h"

#include <gtest/gtest.h>

namespace treadle {
namespace {

struct ReportCase {
    const char* text;
    int length;
    const char* report;  // capture format, from byte 0
};

void PrintTo(const ReportCase& c, std::ostream* os) {
    *os << '"' << c.text << "\" in " << c.length << " bytes -> " << c.report;
}

class FrameTextToReportTest : public ::testing::TestWithParam<ReportCase> {};

TEST_P(FrameTextToReportTest, PairsAtFixedPositionsPaddedWithZeros) {
    const ReportCase& c = GetParam();
    const ReportConversion r = FrameTextToReport(c.text, c.length);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(ByteListText(r.report), c.report) << '"' << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Table, FrameTextToReportTest,
    ::testing::Values(ReportCase{"aa 01 7C 79 01", 8, "00 AA 01 7C 79 01 00 00"},
                      ReportCase{"aa 01 00 00 3C 00 00", 8, "00 AA 01 00 00 3C 00 00"},
                      ReportCase{"aa 01 02 03 04 05 06 07 08", 8, "00 AA 01 02 03 04 05 06"},
                      ReportCase{"abc", 8, "00 AB C0 00 00 00 00 00"},
                      ReportCase{"abcdef0123456", 8, "00 AB CD EF 01 23 45 60"},
                      ReportCase{"abcdef1", 5, "00 AB CD EF 01"},  // the last pair is one digit
                      ReportCase{"", 8, "00 00 00 00 00 00 00 00"}, ReportCase{"a a01", 8, "00 AA 01 00 00 00 00 00"},
                      ReportCase{"AA 01", 8, "00 AA 01 00 00 00 00 00"}, ReportCase{"aa 01", 1, "00"},
                      ReportCase{"aa 00 ff ff ff ff", 8, "00 AA 00 FF FF FF FF 00"},
                      ReportCase{"   ", 8, "00 00 00 00 00 00 00 00"}),
    [](const ::testing::TestParamInfo<ReportCase>& info) {
        return testing::TestNameFromText(info.param.text) + "_In" + std::to_string(info.param.length) + "Bytes";
    });

TEST(FrameTextToReport, OddDigitCountsRoundTheirPairCountToEven) {
    // "a" has k = 0, so seven "00" pairs follow it: a0 00 00 00 00 00 0 -> A0 00 ...
    EXPECT_EQ(ByteListText(FrameTextToReport("a", 8).report), "00 A0 00 00 00 00 00 00");
    // 5 digits: k = 2, five pairs appended: abcde0000000000 -> AB CD E0 00 ...
    EXPECT_EQ(ByteListText(FrameTextToReport("abcde", 8).report), "00 AB CD E0 00 00 00 00");
}

TEST(FrameTextToReport, RefusesWhatWouldBeAGuess) {
    EXPECT_FALSE(FrameTextToReport("aa 0g", 8).ok());
    EXPECT_FALSE(FrameTextToReport("aa\t01", 8).ok());
    EXPECT_FALSE(FrameTextToReport("aa 01", 0).ok());
    EXPECT_FALSE(FrameTextToReport("aa 01", -3).ok());
    // Text beyond the report is ignored, whatever it holds.
    EXPECT_TRUE(FrameTextToReport("aa 01 02 03 04 05 06 zz", 8).ok());
    EXPECT_TRUE(FrameTextToReport("aa 01 02 03 04 05 06 zz", 8).error.empty());
}

TEST(KeyFrameText, ComposerExamples) {
    struct Case {
        int switchNumber;
        std::uint8_t modifiers;
        std::uint8_t key;
        const char* text;
    };
    const Case cases[] = {
        {1, 0x00, 0, "aa 01 00 00 00 00 00"},    {2, 0x03, 58, "aa 01 04 03 3A 00 00"},
        {4, 0x40, 4, "aa 01 0C 40 04 00 00"},    {3, 0x00, 0, "aa 01 08 00 00 00 00"},
        {2, 0x01, 58, "aa 01 04 01 3A 00 00"},   {1, 0xFF, 41, "aa 01 00 FF 29 00 00"},
        {1, 0x00, 0x65, "aa 01 00 00 65 00 00"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FrameText(KeyFrame(SwitchSlotByte(c.switchNumber), c.modifiers, c.key)), c.text);
    }
}

TEST(MouseFrameText, ButtonsAndSlots) {
    EXPECT_EQ(FrameText(MouseFrame(SwitchSlotByte(1), mouse::kLeft)), "aa 02 00 FE 01 00 00");
    EXPECT_EQ(FrameText(MouseFrame(SwitchSlotByte(1), mouse::kMiddle)), "aa 02 00 FE 04 00 00");
    EXPECT_EQ(FrameText(MouseFrame(SwitchSlotByte(1), mouse::kRight)), "aa 02 00 FE 02 00 00");
    EXPECT_EQ(FrameText(MouseFrame(SwitchSlotByte(3), mouse::kLeft)), "aa 02 08 FE 01 00 00");
}

// The switch box names a switch only by exactly 1, 2, 3 or 4; every number still has the
// slot byte the preview has always shown for it.
TEST(SwitchNumbers, OnlyOneToFourAndThePreviewsSlotByte) {
    struct Case {
        const char* text;
        int number;
        std::uint8_t previewSlotByte;
    };
    const Case cases[] = {
        {"1", 1, 0x00},      {"2", 2, 0x04},   {" 4 ", 4, 0x0C}, {"3.0", 3, 0x08}, {"0", 0, 0xFC},
        {"5", 0, 0x10},      {"-1", 0, 0xF8},  {"31", 0, 0x78},  {"32", 0, 0x7C},  {"1.5", 0, 0x02},
        {"4.0001", 0, 0x0C}, {"abc", 0, 0xFC}, {"", 0, 0xFC},
    };
    for (const Case& c : cases) {
        const SwitchChoice choice = SwitchChoiceOf(c.text);
        EXPECT_EQ(choice.number, c.number) << '"' << c.text << '"';
        EXPECT_EQ(choice.previewSlotByte, c.previewSlotByte) << '"' << c.text << '"';
    }
}

TEST(LogTexts, ModifiersInLogOrderAndTheTwoSpacings) {
    EXPECT_EQ(ModifierLogText(0), "");
    EXPECT_EQ(ModifierLogText(0x03), "Ctrl + Shift + ");
    EXPECT_EQ(ModifierLogText(0x06), "Alt + Shift + ");
    EXPECT_EQ(ModifierLogText(0x11), "Ctrl + Ctrl_R + ");
    EXPECT_EQ(ModifierLogText(0xFF), "Ctrl + Alt + Shift + Win + Ctrl_R + Alt_R + Shift_R + Win_R + ");
    EXPECT_EQ(KeyAssignedLine("2", 0x01, "F1"), "成功在开关 <2> 中写入< Ctrl + F1 >");
    EXPECT_EQ(KeyAssignedLine("1", 0, "A"), "成功在开关 <1> 中写入< A >");
    EXPECT_EQ(MouseAssignedLine("1", mouse::kLeft), "成功在开关 < 1 > 写入鼠标 < 左键单击 > ");
    EXPECT_EQ(MouseAssignedLine("4", mouse::kMiddle), "成功在开关 < 4 > 写入鼠标 < 中键单击 > ");
    EXPECT_EQ(MouseAssignedLine("2", mouse::kRight), "成功在开关 < 2 > 写入鼠标 < 右键单击 > ");
    EXPECT_EQ(MouseAssignedLine("2", 3), "");
}

TEST(SettingsFrames, DelayFromItsText) {
    const std::pair<const char*, const char*> cases[] = {
        {"0", "AA 01 7C 79 01 00 00"},     {"255", "AA 01 7C 79 01 00 FF"},  {"256", "AA 01 7C 79 01 01 00"},
        {"300", "AA 01 7C 79 01 01 2C"},   {"65535", "AA 01 7C 79 01 FF FF"}, {"12abc", "AA 01 7C 79 01 00 0C"},
        {"abc", "AA 01 7C 79 01 00 00"},   {"", "AA 01 7C 79 01 00 00"},      {"2.5", "AA 01 7C 79 01 00 02"},
        {"3.5", "AA 01 7C 79 01 00 04"},   {"0.4", "AA 01 7C 79 01 00 00"},   {"-5", "AA 01 7C 79 01 00 00"},
        {"99999", "AA 01 7C 79 01 FF FF"},
    };
    for (auto [text, frame] : cases) {
        EXPECT_EQ(FrameText(DelayFrame(DelayOf(text))), frame) << '"' << text << '"';
    }
}

TEST(SettingsFrames, DelayBoxCheckClampsBothEnds) {
    const std::pair<const char*, const char*> cases[] = {
        {"70000", "65535"}, {"65535", "65535"}, {"65536", "65535"}, {"65535.5", "65535"}, {"1e9", "65535"},
        {"-5", "0"},        {"-0.4", "0"},      {"-", "-"},         {"abc", "abc"},       {"", ""},
        {"300", "300"},     {"0", "0"},
    };
    for (auto [text, checked] : cases) {
        EXPECT_EQ(CheckedDelayText(text), checked) << '"' << text << '"';
    }
}

TEST(SettingsFrames, LongPressRunModeAndClear) {
    EXPECT_EQ(FrameText(LongPressFrame(0)), "AA 01 78 79 01 00 00");
    EXPECT_EQ(FrameText(LongPressFrame(1)), "AA 01 78 79 01 01 00");
    EXPECT_EQ(FrameText(LongPressFrame(2)), "AA 01 78 79 01 02 00");
    EXPECT_EQ(FrameText(RunModeFrame(true, true)), "AA 01 7C 79 01 00 00");
    EXPECT_EQ(FrameText(RunModeFrame(true, false)), "AA 01 7C 79 00 00 00");
    EXPECT_EQ(FrameText(RunModeFrame(false, true)), "AA 01 7C 00 01 00 00");
    EXPECT_EQ(FrameText(RunModeFrame(false, false)), "AA 01 7C 00 00 00 00");
    EXPECT_EQ(FrameText(ClearSlotFrame(0)), "AA 01 00 FF FF FF FF");
    EXPECT_EQ(FrameText(ClearSlotFrame(11)), "AA 01 2C FF FF FF FF");
    EXPECT_EQ(FrameText(ClearSlotFrame(31)), "AA 01 7C FF FF FF FF");
}

TEST(HexCheck, FirstInadmissibleCharacterAndRemoval) {
    EXPECT_EQ(FirstInadmissibleCharacter("aa 01 00 00 3C 00 00"), "");
    EXPECT_EQ(FirstInadmissibleCharacter("AA 01 7c"), "");
    EXPECT_EQ(FirstInadmissibleCharacter(""), "");
    EXPECT_EQ(FirstInadmissibleCharacter("   "), "");
    EXPECT_EQ(FirstInadmissibleCharacter("aa 01 0g 00"), "g");
    EXPECT_EQ(FirstInadmissibleCharacter("x1x2y"), "x");
    EXPECT_EQ(FirstInadmissibleCharacter("a\tb"), "\t");
    EXPECT_EQ(FirstInadmissibleCharacter("１2"), "１");  // a full-width digit is one character
    EXPECT_EQ(FirstInadmissibleCharacter("a\xff"), "\xff");
    EXPECT_EQ(FirstInadmissibleCharacter("a\xe4\xb8"), "\xe4");  // a cut sequence: its first byte
    EXPECT_EQ(RemoveAll("x1x2y", "x"), "12y");
    EXPECT_EQ(RemoveAll("中a中", "中"), "a");
    EXPECT_EQ(RemoveAll("Aa", "a"), "A");  // exact and case-sensitive
}

}  // namespace
}  // namespace treadle
