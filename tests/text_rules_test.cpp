#include "text/text_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace treadle {
namespace {

struct ValueCase {
    const char* text;
    double expected;
};

class NumericValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(NumericValueTest, ReadsTheNumberAtTheStart) {
    const ValueCase& c = GetParam();
    EXPECT_DOUBLE_EQ(NumericValue(c.text), c.expected) << "text: \"" << c.text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Table, NumericValueTest,
    ::testing::Values(
        // Plain numbers and where reading stops.
        ValueCase{"0", 0}, ValueCase{"1", 1}, ValueCase{"4", 4}, ValueCase{"65535", 65535},
        ValueCase{"12abc", 12}, ValueCase{"abc", 0}, ValueCase{"", 0}, ValueCase{"x12", 0},
        ValueCase{"3-4", 3}, ValueCase{"1.2.3", 1.2},
        // Blanks, tabs and line feeds count nowhere, also inside the number.
        ValueCase{"  2  ", 2}, ValueCase{"1 2", 12}, ValueCase{"\t3\n4", 34}, ValueCase{"- 5", -5},
        ValueCase{"\r5", 0},  // a carriage return is not skipped
        // Sign, decimal point, exponent.
        ValueCase{"-5", -5}, ValueCase{"+7", 7}, ValueCase{"--1", 0}, ValueCase{"0.4", 0.4},
        ValueCase{".5", 0.5}, ValueCase{"2.", 2}, ValueCase{"-.25", -0.25}, ValueCase{".", 0},
        ValueCase{"1e3", 1000}, ValueCase{"1E3", 1000}, ValueCase{"2.5e-1", 0.25}, ValueCase{"1e+2", 100},
        ValueCase{"1e", 1}, ValueCase{"1e+", 1}, ValueCase{"1ex", 1}, ValueCase{"e5", 0},
        // Hex and octal.
        ValueCase{"&H2704", 0x2704}, ValueCase{"&h2018", 0x2018}, ValueCase{"&HFF", 255}, ValueCase{"&Hff", 255},
        ValueCase{"&H", 0}, ValueCase{"&H1G", 1}, ValueCase{"&O17", 15}, ValueCase{"&o8", 0},
        ValueCase{"& H10", 16}, ValueCase{"&X1", 0}, ValueCase{"&", 0}));

TEST(NumericValue, SaturatesInsteadOfOverflowing) {
    const double max = std::numeric_limits<double>::max();
    EXPECT_EQ(NumericValue("1e999"), max);
    EXPECT_EQ(NumericValue("-1e999"), -max);
    EXPECT_EQ(NumericValue("1e-999"), 0);
    EXPECT_EQ(NumericValue("&H" + std::string(400, 'F')), max);
    EXPECT_TRUE(std::isfinite(NumericValue(std::string(500, '9'))));
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    const std::pair<double, double> cases[] = {{2.5, 2},   {3.5, 4},   {0.5, 0},   {1.5, 2},   {-2.5, -2},
                                               {-3.5, -4}, {2.4, 2},   {2.6, 3},   {-0.4, -0}, {0.4, 0},
                                               {7, 7},     {-0.5, -0}, {1e300, 1e300}};
    for (auto [in, out] : cases) {
        EXPECT_EQ(RoundHalfEven(in), out) << in;
    }
}

TEST(RoundToInt64, ClampsWhatDoesNotFit) {
    EXPECT_EQ(RoundToInt64(1e300), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(RoundToInt64(-1e300), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(RoundToInt64(std::nan("")), 0);
    EXPECT_EQ(RoundToInt64(2.5), 2);
    EXPECT_EQ(RoundToInt64(-3.5), -4);
}

TEST(ByteText, KeepsTheLowByteInUpperCaseHex) {
    const std::pair<double, const char*> cases[] = {
        {0, "00"},   {10, "0A"},   {58, "3A"}, {255, "FF"}, {256, "00"}, {300, "2C"},
        {-4, "FC"},  {-1, "FF"},   {2.5, "02"}, {3.5, "04"}, {254.5, "FE"}, {1e300, "FF"}};
    for (auto [value, text] : cases) {
        EXPECT_EQ(ByteText(value), text) << value;
    }
}

TEST(TrimBlanks, RemovesOnlyOuterBlanks) {
    EXPECT_EQ(TrimBlanks("  2704  "), "2704");
    EXPECT_EQ(TrimBlanks("27 04"), "27 04");
    EXPECT_EQ(TrimBlanks("   "), "");
    EXPECT_EQ(TrimBlanks("\t2704"), "\t2704");
}

}  // namespace
}  // namespace treadle
