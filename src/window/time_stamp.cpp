#include "window/time_stamp.h"

#include <algorithm>
#include <array>

namespace treadle {
namespace {

// The default short-date and long-time patterns of Windows for these locales.
constexpr std::array<RegionalPatterns, 7> kPatterns = {{
    {"zh_CN", "yyyy/M/d", "H:mm:ss", "上午", "下午"},
    {"en_US", "M/d/yyyy", "h:mm:ss tt", "AM", "PM"},
    {"en_GB", "dd/MM/yyyy", "HH:mm:ss", "", ""},
    {"de_DE", "dd.MM.yyyy", "HH:mm:ss", "", ""},
    {"fr_FR", "dd/MM/yyyy", "HH:mm:ss", "", ""},
    {"ja_JP", "yyyy/MM/dd", "H:mm:ss", "午前", "午後"},
    {"ru_RU", "dd.MM.yyyy", "H:mm:ss", "", ""},
}};

std::string Number(int value, bool twoDigits) {
    std::string text = std::to_string(value);
    if (twoDigits && text.size() < 2) {
        text.insert(0, 1, '0');
    }
    return text;
}

// The first character of a UTF-8 text, all of its bytes.
std::string_view FirstCharacter(std::string_view text) {
    size_t length = 1;
    while (length < text.size() && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
        ++length;
    }
    return text.substr(0, std::min(length, text.size()));
}

}  // namespace

const RegionalPatterns* RegionalPatternsFor(std::string_view locale) {
    const size_t end = locale.find_first_of(".@");
    if (end != std::string_view::npos) {
        locale = locale.substr(0, end);
    }
    if (locale.size() != 5 || (locale[2] != '_' && locale[2] != '-')) {
        return nullptr;
    }
    for (const RegionalPatterns& p : kPatterns) {
        if (locale.substr(0, 2) == p.locale.substr(0, 2) && locale.substr(3) == p.locale.substr(3)) {
            return &p;
        }
    }
    return nullptr;
}

std::string LogLocaleFor(Language language, std::string_view userLocale) {
    const std::string_view wanted = language == Language::English ? "en" : "zh";
    if (const RegionalPatterns* own = RegionalPatternsFor(userLocale);
        own != nullptr && own->locale.substr(0, 2) == wanted) {
        return std::string(own->locale);
    }
    return language == Language::English ? "en_US" : "zh_CN";
}

std::string FormatDateTimePattern(std::string_view pattern, const LocalDateTime& when,
                                  const RegionalPatterns& patterns) {
    std::string out;
    size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        if (c == '\'') {
            // Quoted text; a doubled quote, inside or outside, is one quote.
            if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
                out += '\'';
                i += 2;
                continue;
            }
            for (++i; i < pattern.size(); ++i) {
                if (pattern[i] == '\'') {
                    if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
                        out += '\'';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                out += pattern[i];
            }
            continue;
        }
        size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c) {
            ++run;
        }
        const bool two = run >= 2;
        const int hour12 = when.hour % 12 == 0 ? 12 : when.hour % 12;
        const std::string_view designator = when.hour < 12 ? patterns.am : patterns.pm;
        switch (c) {
            case 'd':
                out += Number(when.day, two);
                break;
            case 'M':
                out += Number(when.month, two);
                break;
            case 'y':
                out += run >= 3 ? std::to_string(when.year) : Number(when.year % 100, two);
                break;
            case 'h':
                out += Number(hour12, two);
                break;
            case 'H':
                out += Number(when.hour, two);
                break;
            case 'm':
                out += Number(when.minute, two);
                break;
            case 's':
                out += Number(when.second, two);
                break;
            case 't':
                out += two ? designator : FirstCharacter(designator);
                break;
            default:
                out.append(run, c);
                break;
        }
        i += run;
    }
    return out;
}

std::string LogTimeStamp(const RegionalPatterns& patterns, const LocalDateTime& when) {
    return FormatDateTimePattern(patterns.shortDate, when, patterns) + " " +
           FormatDateTimePattern(patterns.longTime, when, patterns);
}

}  // namespace treadle
