// The activity log's time stamp: a locale's short date and long time, written as Windows
// writes them (GetDateFormatEx and GetTimeFormatEx with the locale's default patterns), so a
// log line reads the same on every platform. Pure: the moment and the patterns go in.
#pragma once

#include <string>
#include <string_view>

#include "text/catalogue.h"

namespace treadle {

struct LocalDateTime {
    int year = 0;
    int month = 0;  // 1 to 12
    int day = 0;
    int hour = 0;  // 0 to 23
    int minute = 0;
    int second = 0;
};

// A locale's patterns in the Windows notation, with its AM and PM designators where its long
// time shows them.
struct RegionalPatterns {
    std::string_view locale;  // "zh_CN"
    std::string_view shortDate;
    std::string_view longTime;
    std::string_view am;
    std::string_view pm;
};

// The patterns of a locale named "ll_CC" or "ll-CC" (anything after a '.' or '@' ignored);
// null when the table does not know the locale.
const RegionalPatterns* RegionalPatternsFor(std::string_view locale);

// A pattern filled in with a moment. Fields: d dd (day), M MM (month), y yy (year in the
// century), yyy and longer (the whole year), h hh (12-hour), H HH (24-hour), m mm, s ss,
// t tt (the first letter of the designator, the whole designator); a doubled letter pads
// to two digits, and longer runs count as doubled. Text in single quotes stands as it is
// ('' is a quote); every other character too.
std::string FormatDateTimePattern(std::string_view pattern, const LocalDateTime& when,
                                  const RegionalPatterns& patterns);

// The locale the log's time stamps are written in, "ll_CC": the user's own where it speaks the
// window's language (and so "en_GB" stays British in the English window), otherwise the
// language's usual one, zh_CN or en_US, so that a Chinese window never shows English dates.
std::string LogLocaleFor(Language language, std::string_view userLocale);

// Short date, one blank, long time: "2026/12/6 8:40:48" in Simplified Chinese.
std::string LogTimeStamp(const RegionalPatterns& patterns, const LocalDateTime& when);

}  // namespace treadle
