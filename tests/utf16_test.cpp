#include "text/utf16.h"

#include <gtest/gtest.h>

namespace treadle {
namespace {

struct Utf16Case {
    const char* name;
    std::string utf8;
    std::u16string utf16;
};

class Utf16RoundTrip : public ::testing::TestWithParam<Utf16Case> {};

TEST_P(Utf16RoundTrip, ConvertsBothWays) {
    EXPECT_EQ(Utf8ToUtf16(GetParam().utf8), GetParam().utf16);
    EXPECT_EQ(Utf16ToUtf8(GetParam().utf16), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(Texts, Utf16RoundTrip,
                         ::testing::Values(Utf16Case{"Empty", "", u""},
                                           Utf16Case{"Ascii", "Treadle 2704", u"Treadle 2704"},
                                           Utf16Case{"Chinese", "设备连接成功！", u"设备连接成功！"},
                                           Utf16Case{"TwoByte", "\xC3\xA9t\xC3\xA9", u"\u00E9t\u00E9"},
                                           Utf16Case{"SurrogatePair", "\xF0\x9F\xA6\xB6", u"\U0001F9B6"},
                                           Utf16Case{"LargestCodePoint", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
                                           // Each side of every boundary between sequence lengths.
                                           Utf16Case{"LastOneByte", "\x7F", std::u16string(1, char16_t(0x7F))},
                                           Utf16Case{"FirstTwoByte", "\xC2\x80", u"\u0080"},
                                           Utf16Case{"LastTwoByte", "\xDF\xBF", u"\u07FF"},
                                           Utf16Case{"FirstThreeByte", "\xE0\xA0\x80", u"\u0800"},
                                           Utf16Case{"LastBeforeSurrogates", "\xED\x9F\xBF", u"\uD7FF"},
                                           Utf16Case{"FirstAfterSurrogates", "\xEE\x80\x80", u"\uE000"},
                                           Utf16Case{"LastThreeByte", "\xEF\xBF\xBF", u"\uFFFF"},
                                           Utf16Case{"FirstFourByte", "\xF0\x90\x80\x80",
                                                     std::u16string{char16_t(0xD800), char16_t(0xDC00)}},
                                           Utf16Case{"LastOfFirstSurrogateBlock", "\xF0\x90\x8F\xBF",
                                                     std::u16string{char16_t(0xD800), char16_t(0xDFFF)}},
                                           Utf16Case{"FirstOfSecondSurrogateBlock", "\xF0\x90\x90\x80",
                                                     std::u16string{char16_t(0xD801), char16_t(0xDC00)}}),
                         [](const auto& info) { return std::string(info.param.name); });

struct BadUtf8Case {
    const char* name;
    std::string utf8;
    std::u16string utf16;
};

class Utf16FromBadUtf8 : public ::testing::TestWithParam<BadUtf8Case> {};

TEST_P(Utf16FromBadUtf8, ReplacesEachBadSequence) { EXPECT_EQ(Utf8ToUtf16(GetParam().utf8), GetParam().utf16); }

INSTANTIATE_TEST_SUITE_P(
    Sequences, Utf16FromBadUtf8,
    ::testing::Values(BadUtf8Case{"LoneContinuation", "a\x80z", u"a\uFFFDz"},
                      BadUtf8Case{"CutShortAtEnd", "a\xE8\xAE", u"a\uFFFD\uFFFD"},
                      BadUtf8Case{"Overlong", "\xC0\xAF", u"\uFFFD\uFFFD"},
                      BadUtf8Case{"EncodedSurrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
                      BadUtf8Case{"BeyondUnicode", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                      BadUtf8Case{"InvalidLeadByte", "\xFF", u"\uFFFD"},
                      // The largest value of each length, written one byte longer.
                      BadUtf8Case{"OverlongLastOneByte", "\xC1\xBF", u"\uFFFD\uFFFD"},
                      BadUtf8Case{"OverlongLastTwoByte", "\xE0\x9F\xBF", u"\uFFFD\uFFFD\uFFFD"},
                      BadUtf8Case{"OverlongLastThreeByte", "\xF0\x8F\xBF\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Utf16ToUtf8, LoneSurrogatesBecomeReplacementCharacters) {
    EXPECT_EQ(Utf16ToUtf8(std::u16string(u"a") + char16_t(0xD800) + u"b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace treadle
