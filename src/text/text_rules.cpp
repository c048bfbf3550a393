#include "text/text_rules.h"

#include <charconv>
#include <cmath>
#include <limits>

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
    double value = 0;
    auto [ptr, ec] = std::from_chars(s.data() + start, s.data() + end, value, std::chars_format::general);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone on overflow and underflow; tell them apart by the
        // exponent's sign and the mantissa's size.
        const std::string_view number = s.substr(start, end - start);
        const size_t e = number.find_first_of("eE");
        const bool smallExponent = e != std::string_view::npos && e + 1 < number.size() && number[e + 1] == '-';
        value = smallExponent ? 0.0 : kMaxDouble;
    }
    return negative ? -value : value;
}

}  // namespace

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

}  // namespace treadle
