#include "device/system_error_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <string>

namespace treadle {
namespace {

TEST(SystemErrorText, UnknownNumbersAreRecognisedInAnyLanguage) {
    struct Case {
        const char* text;
        const char* unknownText;  // the library's text for an unassigned number
        bool unknown;
    };
    const Case cases[] = {
        {"Unknown error 99999", "Unknown error 2147483647", true},
        {"未知的错误 99999", "未知的错误 2147483647", true},
        {"Unbekannter Fehler 99999", "Unbekannter Fehler 2147483647", true},
        {"Unknown error -1", "Unknown error 2147483647", true},  // numbers past INT_MAX come back negative
        {"No error information", "No error information", true},  // a library that names no number
        {"没有那个文件或目录", "未知的错误 2147483647", false},
        {"No such file or directory", "Unknown error 2147483647", false},
        {"Level 2 halted", "Unknown error 2147483647", false},  // digits in a real text
        {"Unknown error 99999 (extra)", "Unknown error 2147483647", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsUnknownErrorText(c.text, c.unknownText), c.unknown) << c.text;
    }
}

TEST(SystemErrorText, KnownAndUnknownNumbers) {
    EXPECT_FALSE(CLibraryErrorText(2).empty());
    EXPECT_EQ(CLibraryErrorText(987654), "");
    EXPECT_EQ(CLibraryErrorText(UINT32_MAX), "");
}

// Runs where a Simplified Chinese locale is present (LOCPATH may point at one built for tests).
TEST(SystemErrorText, UnknownNumbersGiveNoTextInAChineseLocale) {
    const std::string before = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "zh_CN.UTF-8") == nullptr) {
        GTEST_SKIP() << "no zh_CN.UTF-8 locale on this system";
    }
    const std::string known = CLibraryErrorText(2);
    const std::string unknown = CLibraryErrorText(99999);
    std::setlocale(LC_ALL, before.c_str());
    EXPECT_FALSE(known.empty());
    EXPECT_EQ(unknown, "");
}

}  // namespace
}  // namespace treadle
