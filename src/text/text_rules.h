// Text rules shared by every part of the window: how a text is read as a number, how a
// number is rounded to a whole one, and how a number becomes the two hex digits of a byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace treadle {

// The number at the start of a text. Blanks, tabs and line feeds are skipped wherever they
// stand; then an optional sign, digits with an optional decimal point and an optional
// exponent (E or e, optionally signed), or &H with hex digits, or &O with octal digits.
// Reading stops at the first character that cannot continue the number; a text that does
// not start with a number is 0. All digits count, however many: a value beyond a double's
// range becomes the largest double, one too small for it becomes 0, each keeping its sign.
double NumericValue(std::string_view text);

// The double nearest a decimal number (digits, an optional fraction, an optional exponent, no
// sign) read with strtod; false when it lies outside a double's range, where `value` is left
// alone. NumericValue reads with it where the standard library has no from_chars for double.
bool StrtodDecimal(std::string_view number, double& value);

// Nearest whole number, a half going to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
double RoundHalfEven(double value);

// RoundHalfEven, then clamped into the range of a 64-bit integer (NaN gives 0), so that
// any text's value can be used as an integer without undefined behaviour.
std::int64_t RoundToInt64(double value);

// Two upper-case hex digits of a frame byte: the value rounded half to even, written in
// hex (negative values in two's complement) and cut to its last two digits, so 300 gives
// "2C" and -4 gives "FC".
std::string ByteText(double value);

// Two upper-case hex digits of one byte, "0A" for 10.
std::string HexByte(std::uint8_t value);

// The value of one hex digit, or -1 for any other character.
int HexDigitValue(char c);

// Shortest decimal text of a whole number ("2", "-1", "0").
std::string DecimalText(std::int64_t value);

// How many single-character insertions, deletions and replacements turn one text into the
// other (Levenshtein), for "did you mean" hints.
std::size_t EditDistance(std::string_view a, std::string_view b);

// The text without the blanks at its start and its end (only U+0020, as the window trims).
std::string TrimBlanks(std::string_view text);

// Which other encoding a file that should hold UTF-8 text is in: "UTF-16 text" or "UTF-32
// text" for their byte order marks, "UTF-16 text" for ASCII with a NUL byte beside each
// character (UTF-16 without a mark), "not text (it holds NUL bytes)" for other NUL bytes
// among the first characters; empty when nothing says so. A UTF-8 byte order mark is UTF-8.
std::string OtherTextEncoding(std::string_view text);

// The text without a UTF-8 byte order mark at its start.
std::string_view WithoutUtf8Mark(std::string_view text);

}  // namespace treadle
