#include "window/time_stamp.h"

#include <gtest/gtest.h>

namespace treadle {
namespace {

const RegionalPatterns& PatternsOf(const char* locale) {
    const RegionalPatterns* p = RegionalPatternsFor(locale);
    EXPECT_NE(p, nullptr) << locale;
    static const RegionalPatterns kNone{};
    return p != nullptr ? *p : kNone;
}

TEST(LogTimeStamp, EachLocaleWritesItsOwnShortDateAndLongTime) {
    struct Case {
        const char* locale;
        LocalDateTime when;
        const char* stamp;
    };
    const Case cases[] = {
        {"zh_CN", {2026, 12, 6, 8, 40, 48}, "2026/12/6 8:40:48"},
        {"zh_CN", {2027, 1, 9, 0, 0, 5}, "2027/1/9 0:00:05"},
        {"zh_CN", {2026, 12, 16, 23, 59, 59}, "2026/12/16 23:59:59"},
        {"en_US", {2026, 12, 6, 8, 40, 48}, "12/6/2026 8:40:48 AM"},
        {"en_US", {2026, 12, 6, 0, 5, 7}, "12/6/2026 12:05:07 AM"},
        {"en_US", {2026, 12, 6, 12, 0, 0}, "12/6/2026 12:00:00 PM"},
        {"en_US", {2026, 2, 28, 20, 5, 7}, "2/28/2026 8:05:07 PM"},
        {"de_DE", {2026, 12, 6, 8, 40, 48}, "06.12.2026 08:40:48"},
        {"de_DE", {2026, 1, 31, 20, 5, 7}, "31.01.2026 20:05:07"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LogTimeStamp(PatternsOf(c.locale), c.when), c.stamp) << c.locale;
    }
}

TEST(LogTimeStamp, PatternFields) {
    const RegionalPatterns chinese{"zh_CN", "", "", "上午", "下午"};
    const LocalDateTime morning{2009, 3, 4, 7, 8, 9};
    const LocalDateTime evening{2009, 3, 4, 19, 8, 9};
    struct Case {
        const char* pattern;
        const LocalDateTime& when;
        const char* text;
    };
    const Case cases[] = {
        {"d dd M MM", morning, "4 04 3 03"},
        {"y yy yyy yyyy yyyyy", morning, "9 09 2009 2009 2009"},
        {"h hh H HH", evening, "7 07 19 19"},
        {"m mm s ss", morning, "8 08 9 09"},
        {"tt t", morning, "上午 上"},
        {"tt h:mm", evening, "下午 7:08"},
        {"ddd", morning, "04"},             // longer runs count as doubled
        {"'d' 'de' d", morning, "d de 4"},  // quoted text stands as it is
        {"H'h'mm", morning, "7h08"},
        {"'o''clock' ''", morning, "o'clock '"},  // a doubled quote is one quote
        {"'unclosed d", morning, "unclosed d"},
        {"yyyy年M月d日", morning, "2009年3月4日"},
        {"", morning, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatDateTimePattern(c.pattern, c.when, chinese), c.text) << c.pattern;
    }
}

TEST(LogTimeStamp, LocaleNamesAsSystemsWriteThem) {
    struct Case {
        const char* name;
        const char* found;  // null: not in the table
    };
    const Case cases[] = {
        {"zh_CN", "zh_CN"}, {"zh-CN", "zh_CN"}, {"zh_CN.UTF-8", "zh_CN"}, {"de_DE@euro", "de_DE"},
        {"en_US", "en_US"}, {"zh", nullptr},    {"zh_TW", nullptr},       {"nl_NL", nullptr},
        {"", nullptr},      {"C", nullptr},     {"zh_CNX", nullptr},      {"en_USA", nullptr},
    };
    for (const Case& c : cases) {
        const RegionalPatterns* p = RegionalPatternsFor(c.name);
        if (c.found == nullptr) {
            EXPECT_EQ(p, nullptr) << c.name;
        } else {
            ASSERT_NE(p, nullptr) << c.name;
            EXPECT_EQ(p->locale, c.found);
        }
    }
}

}  // namespace
}  // namespace treadle

namespace treadle {
namespace {

// A Chinese window never writes an English date, nor an English window a Chinese one; a user
// whose own locale speaks the window's language keeps it.
TEST(LogTimeStamp, TheDatesFollowTheWindowsLanguage) {
    struct Case {
        Language language;
        const char* userLocale;
        const char* stamp;
    };
    const LocalDateTime when{2026, 12, 8, 17, 4, 5};
    const Case cases[] = {
        {Language::Chinese, "en_GB.UTF-8", "2026/12/8 17:04:05"}, {Language::Chinese, "C", "2026/12/8 17:04:05"},
        {Language::Chinese, "zh_CN.UTF-8", "2026/12/8 17:04:05"}, {Language::English, "zh_CN", "12/8/2026 5:04:05 PM"},
        {Language::English, "en_GB", "08/12/2026 17:04:05"},      {Language::English, "", "12/8/2026 5:04:05 PM"},
        {Language::English, "de_DE", "12/8/2026 5:04:05 PM"},
    };
    for (const Case& c : cases) {
        const RegionalPatterns* patterns = RegionalPatternsFor(LogLocaleFor(c.language, c.userLocale));
        ASSERT_NE(patterns, nullptr) << c.userLocale;
        EXPECT_EQ(LogTimeStamp(*patterns, when), c.stamp) << c.userLocale;
    }
}

}  // namespace
}  // namespace treadle
