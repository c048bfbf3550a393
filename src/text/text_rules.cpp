#include "text/text_rules.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

namespace treadle {
namespace {

constexpr double kMaxDouble = std::numeric_limits<double>::max();

bool IsSkipped(char c) { return c == ' ' || c == '\t' || c == '\n'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

double Saturate(double value) {
    if (std::isinf(value)) {
        return value > 0 ? kMaxDouble : -kMaxDouble;
    }
    return value;
}

// Digits in the given radix from the start of s, as a double.
double RadixValue(std::string_view s, int radix) {
    double value = 0;
    for (char c : s) {
        int d = HexDigitValue(c);
        if (d < 0 || d >= radix) {
            break;
        }
        value = value * radix + d;
    }
    return Saturate(value);
}

// The power of ten of the leading non-zero digit of digits[.digits]; false when all are zero.
bool LeadingDigitPower(std::string_view mantissa, long long& power) {
    const size_t point = std::min(mantissa.find('.'), mantissa.size());
    const size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos) {
        return false;
    }
    power = first < point ? static_cast<long long>(point - first) - 1 : -static_cast<long long>(first - point);
    return true;
}

// The value of an optionally signed run of decimal digits, held within +-kExponentCap: an
// exponent that large already puts any mantissa out of a double's range.
long long CappedExponent(std::string_view text) {
    constexpr long long kExponentCap = 1'000'000'000;
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        value = std::min(kExponentCap, value * 10 + (text[i] - '0'));
    }
    return negative ? -value : value;
}

// The double nearest a decimal number (digits, an optional fraction and an optional exponent,
// no sign); false when it lies outside a double's range, where it is left alone.
bool ParseDecimal(std::string_view number, double& value) {
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
    const auto [ptr, ec] =
        std::from_chars(number.data(), number.data() + number.size(), value, std::chars_format::general);
    (void)ptr;
    return ec != std::errc::result_out_of_range;
#else
    return StrtodDecimal(number, value);
#endif
}

double DecimalValue(std::string_view s) {
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    const size_t start = i;
    size_t digits = 0;
    while (i < s.size() && IsDigit(s[i])) {
        ++i;
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return 0;
    }
    const size_t mantissaEnd = i;
    size_t end = i;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
            ++j;
        }
        if (j < s.size() && IsDigit(s[j])) {
            while (j < s.size() && IsDigit(s[j])) {
                ++j;
            }
            end = j;
        }
    }
    long long power = 0;
    if (!LeadingDigitPower(s.substr(start, mantissaEnd - start), power)) {
        return negative ? -0.0 : 0.0;  // zero digits stay zero whatever the exponent
    }
    double value = 0;
    if (!ParseDecimal(s.substr(start, end - start), value)) {
        // from_chars leaves the value alone when it does not fit; where the leading digit
        // lands says which side it fell off.
        if (mantissaEnd < end) {
            power += CappedExponent(s.substr(mantissaEnd + 1, end - mantissaEnd - 1));
        }
        value = power >= 0 ? kMaxDouble : 0.0;
    }
    return negative ? -value : value;
}

}  // namespace

bool StrtodDecimal(std::string_view number, double& value) {
    std::string text(number);
    // strtod reads the decimal point of the C locale of the moment.
    const char* point = std::localeconv()->decimal_point;
    if (const size_t dot = text.find('.'); dot != std::string::npos && point != nullptr && *point != '\0') {
        text.replace(dot, 1, point);
    }
    errno = 0;
    const double parsed = std::strtod(text.c_str(), nullptr);
    if (errno == ERANGE && (parsed == 0 || std::isinf(parsed))) {
        return false;
    }
    value = parsed;
    return true;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

double NumericValue(std::string_view text) {
    std::string s;
    s.reserve(text.size());
    for (char c : text) {
        if (!IsSkipped(c)) {
            s.push_back(c);
        }
    }
    if (s.size() >= 2 && s[0] == '&') {
        const char kind = s[1];
        if (kind == 'H' || kind == 'h') {
            return RadixValue(std::string_view(s).substr(2), 16);
        }
        if (kind == 'O' || kind == 'o') {
            return RadixValue(std::string_view(s).substr(2), 8);
        }
        return 0;
    }
    return DecimalValue(s);
}

double RoundHalfEven(double value) {
    if (!std::isfinite(value)) {
        return value;
    }
    const double floor = std::floor(value);
    const double diff = value - floor;
    if (diff < 0.5) {
        return floor;
    }
    if (diff > 0.5) {
        return floor + 1;
    }
    return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

std::int64_t RoundToInt64(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    const double r = RoundHalfEven(value);
    // 2^63 is exactly representable; anything at or above it does not fit.
    constexpr double kLimit = 9223372036854775808.0;
    if (r >= kLimit) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (r < -kLimit) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(r);
}

std::string HexByte(std::uint8_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[value >> 4], kDigits[value & 0x0F]};
}

std::string ByteText(double value) {
    const auto whole = static_cast<std::uint64_t>(RoundToInt64(value));
    return HexByte(static_cast<std::uint8_t>(whole & 0xFF));
}

std::string DecimalText(std::int64_t value) { return std::to_string(value); }

std::string TrimBlanks(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const size_t last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::string OtherTextEncoding(std::string_view text) {
    const auto starts = [text](std::string_view mark) { return text.substr(0, mark.size()) == mark; };
    if (starts(std::string_view("\xFF\xFE\x00\x00", 4)) || starts(std::string_view("\x00\x00\xFE\xFF", 4))) {
        return "UTF-32 text";
    }
    if (starts("\xFF\xFE") || starts("\xFE\xFF")) {
        return "UTF-16 text";
    }
    if (text.substr(0, 64).find('\0') == std::string_view::npos) {
        return {};
    }
    // Latin letters in UTF-16 without a mark have a NUL byte beside each: after it (little
    // endian) or before it (big endian). NUL bytes in another pattern are no text at all.
    const size_t pairs = std::min<size_t>(text.size() / 2, 8);
    bool little = pairs > 0;
    bool big = pairs > 0;
    for (size_t i = 0; i < pairs; ++i) {
        const auto first = static_cast<unsigned char>(text[2 * i]);
        const auto second = static_cast<unsigned char>(text[2 * i + 1]);
        little = little && first != 0 && first < 0x80 && second == 0;
        big = big && first == 0 && second != 0 && second < 0x80;
    }
    return little || big ? "UTF-16 text" : "not text (it holds NUL bytes)";
}

std::string_view WithoutUtf8Mark(std::string_view text) {
    constexpr std::string_view kMark = "\xEF\xBB\xBF";
    return text.substr(0, kMark.size()) == kMark ? text.substr(kMark.size()) : text;
}

std::size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace treadle
