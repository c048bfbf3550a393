#include "window/win32/win32_services.h"

#include <gtest/gtest.h>

#include <chrono>

namespace treadle::win32 {
namespace {

SYSTEMTIME Morning() {
    SYSTEMTIME t{};
    t.wYear = 2026;
    t.wMonth = 12;
    t.wDay = 6;
    t.wHour = 8;
    t.wMinute = 40;
    t.wSecond = 48;
    return t;
}

// The patterns themselves are the system's locale data (Wine's differ from Windows' in
// places); what is ours is taking the short date and the long time with seconds, joined by
// one blank. US English reads the same on both.
TEST(RegionalTimeStamp, JoinsTheShortDateAndTheLongTime) {
    EXPECT_EQ(TimeStampText(Morning(), L"en-US"), "12/6/2026 8:40:48 AM");
}

TEST(RegionalTimeStamp, EveryLocaleShowsTheDateAndTheSeconds) {
    for (const wchar_t* locale : {L"zh-CN", L"de-DE", L"ja-JP", L"fr-FR"}) {
        const std::string stamp = TimeStampText(Morning(), locale);
        SCOPED_TRACE(stamp);
        const size_t blank = stamp.find(' ');
        ASSERT_NE(blank, std::string::npos);
        EXPECT_NE(stamp.substr(0, blank).find("2026"), std::string::npos);
        EXPECT_NE(stamp.substr(blank + 1).find("40:48"), std::string::npos);
    }
}

TEST(Win32Clock, StampsTheCurrentYear) {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    const std::string stamp = Win32Clock().TimeStampText();
    EXPECT_NE(stamp.find(std::to_string(now.wYear)), std::string::npos) << stamp;
    EXPECT_NE(stamp.find(':'), std::string::npos) << stamp;
}

TEST(Win32Sleeper, SleepsAtLeastAsLongAsAsked) {
    const auto start = std::chrono::steady_clock::now();
    Win32Sleeper().Sleep(30);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));
}

}  // namespace
}  // namespace treadle::win32
