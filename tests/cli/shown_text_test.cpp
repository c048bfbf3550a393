#include "text/shown_text.h"

#include <gtest/gtest.h>

#include <string>

namespace treadle::cli {
namespace {

TEST(ShownText, EscapesWhatATerminalWouldActOnAndKeepsTheRest) {
    using namespace std::string_literals;
    const std::pair<std::string, std::string> cases[] = {
        {"ctrl+f1", "ctrl+f1"},
        {"开关 1", "开关 1"},     // UTF-8 text stays
        {"\x1b[2J", "\\x1B[2J"},  // ESC
        {"a\0b"s, "a\\x00b"},     // NUL, not the end of the text
        {"tab\there\r\n", "tab\\x09here\\x0D\\x0A"},
        {"\x7f", "\\x7F"},  // DEL
        {"\xc2\x9b"
         "31m",
         "\\xC2\\x9B31m"},                    // C1 CSI, encoded
        {"\xff\xfe", "\\xFF\\xFE"},           // no UTF-8
        {"\xe5\xbc", "\\xE5\\xBC"},           // a sequence cut short
        {"\xc0\xaf", "\\xC0\\xAF"},           // an overlong form
        {"\xed\xa0\x80", "\\xED\\xA0\\x80"},  // a surrogate
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(ShownText(text), shown) << shown;
    }
    EXPECT_EQ(Quoted("a\x1b"), "\"a\\x1B\"");
}

TEST(ShownText, CutsLongTextAndSaysHowLongItWas) {
    EXPECT_EQ(ShownText(std::string(100, 'q'), 10), "qqqqqqqqqq... (100 bytes in all)");
    EXPECT_EQ(ShownText(std::string(10, 'q'), 10), "qqqqqqqqqq");
    // A message keeps its line breaks but loses its control characters, whatever its length.
    EXPECT_EQ(ShownMessage("one\ntwo\x1b" + std::string(500, 'x')), "one\ntwo\\x1B" + std::string(500, 'x'));
}

}  // namespace
}  // namespace treadle::cli
