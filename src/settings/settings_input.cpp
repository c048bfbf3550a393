#include "settings/settings_input.h"

#include <algorithm>

#include "text/text_rules.h"

namespace treadle {

std::string CheckedDelayText(const std::string& text) {
    const double value = NumericValue(text);
    if (value > kMaxDelay) {
        return "65535";
    }
    if (value < 0) {
        return "0";  // a negative delay would reach the device as 65536 - d
    }
    return text;
}

std::int64_t DelayOf(std::string_view text) {
    return std::clamp<std::int64_t>(RoundToInt64(NumericValue(text)), 0, kMaxDelay);
}

SwitchChoice SwitchChoiceOf(std::string_view text) {
    const double value = NumericValue(text);
    for (int n = 1; n <= kSwitchCount; ++n) {
        if (value == n) {
            return {n, SwitchSlotByte(n)};
        }
    }
    return {0, static_cast<std::uint8_t>(static_cast<std::uint64_t>(RoundToInt64((value - 1) * 4)) & 0xFF)};
}

namespace {

bool Admitted(char c) { return c == ' ' || HexDigitValue(c) >= 0; }

// Length of the UTF-8 sequence that starts with byte c; 1 for a stray byte.
size_t SequenceLength(std::string_view text, size_t at) {
    const auto c = static_cast<unsigned char>(text[at]);
    size_t n = 1;
    if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
    } else if (c >= 0xE0) {
        n = 3;
    } else if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    }
    if (n > 1) {
        if (at + n > text.size()) {
            return 1;
        }
        for (size_t i = 1; i < n; ++i) {
            if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) {
                return 1;
            }
        }
    }
    return n;
}

}  // namespace

std::string FirstInadmissibleCharacter(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (!Admitted(text[i])) {
            return std::string(text.substr(i, SequenceLength(text, i)));
        }
    }
    return {};
}

std::string RemoveAll(std::string_view text, std::string_view character) {
    std::string result;
    if (character.empty()) {
        return std::string(text);
    }
    size_t at = 0;
    while (at < text.size()) {
        if (text.substr(at, character.size()) == character) {
            at += character.size();
        } else {
            result.push_back(text[at]);
            ++at;
        }
    }
    return result;
}

}  // namespace treadle
