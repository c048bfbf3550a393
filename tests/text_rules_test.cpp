#include "text/text_rules.h"

#include "support/test_names.h"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace treadle {
namespace {

struct ValueCase {
    const char* text;
    double expected;
};

void PrintTo(const ValueCase& c, std::ostream* os) { *os << '"' << c.text << "\" -> " << c.expected; }

class NumericValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(NumericValueTest, ReadsTheNumberAtTheStart) {
    const ValueCase& c = GetParam();
    EXPECT_DOUBLE_EQ(NumericValue(c.text), c.expected) << "text: \"" << c.text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Table, NumericValueTest,
    ::testing::Values(
        // Plain numbers and where reading stops.
        ValueCase{"0", 0}, ValueCase{"1", 1}, ValueCase{"4", 4}, ValueCase{"65535", 65535}, ValueCase{"12abc", 12},
        ValueCase{"abc", 0}, ValueCase{"", 0}, ValueCase{"x12", 0}, ValueCase{"3-4", 3}, ValueCase{"1.2.3", 1.2},
        // Blanks, tabs and line feeds count nowhere, also inside the number.
        ValueCase{"  2  ", 2}, ValueCase{"1 2", 12}, ValueCase{"\t3\n4", 34}, ValueCase{"- 5", -5},
        ValueCase{"\r5", 0},  // a carriage return is not skipped
        // Sign, decimal point, exponent.
        ValueCase{"-5", -5}, ValueCase{"+7", 7}, ValueCase{"--1", 0}, ValueCase{"0.4", 0.4}, ValueCase{".5", 0.5},
        ValueCase{"2.", 2}, ValueCase{"-.25", -0.25}, ValueCase{".", 0}, ValueCase{"1e3", 1000}, ValueCase{"1E3", 1000},
        ValueCase{"2.5e-1", 0.25}, ValueCase{"1e+2", 100}, ValueCase{"1e", 1}, ValueCase{"1e+", 1}, ValueCase{"1ex", 1},
        ValueCase{"e5", 0},
        // Hex and octal.
        ValueCase{"&H2704", 0x2704}, ValueCase{"&h2018", 0x2018}, ValueCase{"&HFF", 255}, ValueCase{"&Hff", 255},
        ValueCase{"&H", 0}, ValueCase{"&H1G", 1}, ValueCase{"&O17", 15}, ValueCase{"&o8", 0}, ValueCase{"& H10", 16},
        ValueCase{"&X1", 0}, ValueCase{"&", 0}),
    [](const ::testing::TestParamInfo<ValueCase>& info) { return testing::TestNameFromText(info.param.text); });

TEST(NumericValue, BeyondADoublesRangeByDigitsOrExponent) {
    const double max = std::numeric_limits<double>::max();
    const std::string zeros(400, '0');
    struct Case {
        std::string text;
        double expected;
    };
    const Case cases[] = {
        // Tiny: the digits put the value far below the smallest double, whatever the exponent's sign.
        {"0." + zeros + "1", 0},
        {"-0." + zeros + "1", -0.0},
        {"0." + zeros + "1e5", 0},
        {"." + zeros + "7", 0},
        // Huge: the digits put it far above the largest double.
        {"1" + zeros + "e-5", max},
        {"-1" + zeros + "e-5", -max},
        {"1" + zeros, max},
        {"0001" + zeros + ".5", max},
        // Exponents that bring such digits back into range are honoured.
        {"0." + zeros + "1e400", 0.1},
        {"1" + zeros + "e-399", 10},
        {"1e-400", 0},
        {"-1e-400", -0.0},
        {"1e400", max},
        {"1e99999999999999999999999", max},
        {"1e-99999999999999999999999", 0},
        {"0e99999999999999999999999", 0},
        {"0." + zeros + "e999", 0},
        // The reading still stops where the number does.
        {"1" + zeros + "x1e-999", max},
        {"0." + zeros + "1 2e", 0},
    };
    for (const Case& c : cases) {
        const double value = NumericValue(c.text);
        EXPECT_DOUBLE_EQ(value, c.expected) << c.text.substr(0, 20) << "... (" << c.text.size() << " characters)";
        EXPECT_EQ(std::signbit(value), std::signbit(c.expected)) << c.text.substr(0, 20);
    }
}

TEST(NumericValue, SaturatesInsteadOfOverflowing) {
    const double max = std::numeric_limits<double>::max();
    EXPECT_EQ(NumericValue("1e999"), max);
    EXPECT_EQ(NumericValue("-1e999"), -max);
    EXPECT_EQ(NumericValue("1e-999"), 0);
    EXPECT_EQ(NumericValue("&H" + std::string(400, 'F')), max);
    EXPECT_TRUE(std::isfinite(NumericValue(std::string(500, '9'))));
}

// The web build's library reads decimals with strtod: it must give from_chars's doubles and
// say out of range where from_chars does, also under a locale whose decimal point is a comma.
TEST(StrtodDecimal, AgreesWithFromChars) {
    const std::string zeros(400, '0');
    std::vector<std::string> numbers = {"0",     "1",     "0.4",    ".5",  "2.",       "2.5e-1", "1e+2",
                                        "65535", "1e400", "1e-400", "0.1", "4.9e-324", "1e308",  "1e-310"};
    numbers.push_back("2.2250738585072014e-308");
    numbers.push_back("1.7976931348623157e308");
    numbers.push_back("1" + zeros);
    numbers.push_back("0." + zeros + "1");
    const char* const locales[] = {"C", "de_DE.UTF-8"};
    for (const char* locale : locales) {
        if (std::setlocale(LC_NUMERIC, locale) == nullptr) {
            continue;  // not installed here
        }
        for (const std::string& number : numbers) {
            double expected = -1;
            const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), expected);
            (void)ptr;
            double value = -1;
            EXPECT_EQ(StrtodDecimal(number, value), ec != std::errc::result_out_of_range) << number.substr(0, 20);
            EXPECT_EQ(value, expected) << number.substr(0, 20) << " in " << locale;
        }
    }
    std::setlocale(LC_NUMERIC, "C");
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    const std::pair<double, double> cases[] = {{2.5, 2},   {3.5, 4},   {0.5, 0},      {1.5, 2},   {-2.5, -2},
                                               {-3.5, -4}, {2.4, 2},   {2.6, 3},      {-0.4, -0}, {0.4, 0},
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
