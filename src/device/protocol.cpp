#include "device/protocol.h"

#include "text/text_rules.h"

#include <algorithm>

namespace treadle {
namespace {

Frame MakeFrame(std::uint8_t kind, std::uint8_t slotByte, std::array<std::uint8_t, 4> data, bool assignment) {
    return {{kFrameStart, kind, slotByte, data[0], data[1], data[2], data[3]}, assignment};
}

// Two hex digits a byte, blanks between: what every frame and report text is made of. Built
// in place, as the window shows a frame for every one it sends.
std::string HexText(std::span<const std::uint8_t> bytes, const char* digits, size_t lowerCaseBytes) {
    static constexpr char kLower[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            text += ' ';
        }
        const char* set = i < lowerCaseBytes ? kLower : digits;
        text += set[bytes[i] >> 4];
        text += set[bytes[i] & 0x0F];
    }
    return text;
}

constexpr const char* kUpper = "0123456789ABCDEF";

}  // namespace

std::uint8_t SwitchSlotByte(int switchNumber) { return static_cast<std::uint8_t>((switchNumber - 1) * 4); }

Frame KeyFrame(std::uint8_t slotByte, std::uint8_t modifiers, std::uint8_t usage) {
    // The parameter word (the last two bytes) is always 0 in a key assignment.
    return MakeFrame(kKeyFrameKind, slotByte, {modifiers, usage, 0, 0}, true);
}

Frame MouseFrame(std::uint8_t slotByte, std::uint8_t buttonCode) {
    return MakeFrame(kMouseFrameKind, slotByte, {kMouseMarker, buttonCode, 0, 0}, true);
}

Frame DelayFrame(std::int64_t delayMs) {
    const auto word = static_cast<std::uint16_t>(std::clamp<std::int64_t>(delayMs, 0, kMaxDelay));
    return MakeFrame(kKeyFrameKind, kDelaySlotByte,
                     {kSettingOn, 0x01, static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word & 0xFF)},
                     false);
}

Frame LongPressFrame(int state) {
    return MakeFrame(kKeyFrameKind, kLongPressSlotByte,
                     {kSettingOn, 0x01, static_cast<std::uint8_t>(std::clamp(state, 0, 2)), 0}, false);
}

Frame ClearSlotFrame(int slotIndex) {
    const auto slotByte = static_cast<std::uint8_t>(std::clamp(slotIndex, 0, kSlotCount - 1) * 4);
    return MakeFrame(kKeyFrameKind, slotByte, {kErasedByte, kErasedByte, kErasedByte, kErasedByte}, false);
}

Frame RunModeFrame(bool powerOnRun, bool loopPlayback) {
    return MakeFrame(kKeyFrameKind, kDelaySlotByte,
                     {static_cast<std::uint8_t>(powerOnRun ? kSettingOn : 0x00),
                      static_cast<std::uint8_t>(loopPlayback ? 0x01 : 0x00), 0, 0},
                     false);
}

std::optional<PedalPress> KeyFramePress(std::uint8_t modifiers, std::uint8_t usage) {
    if (modifiers == 0 && usage == 0) {
        return std::nullopt;
    }
    return PedalPress{false, modifiers, usage, 0};
}

std::optional<PedalPress> MouseFramePress(std::uint8_t code) {
    if (code == mouse::kLeft || code == mouse::kMiddle || code == mouse::kRight) {
        return PedalPress{true, 0, 0, code};
    }
    return std::nullopt;
}

std::string ByteListText(std::span<const std::uint8_t> bytes) { return HexText(bytes, kUpper, 0); }

std::string FrameText(const Frame& frame) { return HexText(frame.bytes, kUpper, frame.assignment ? 2 : 0); }

ReportConversion FrameToReport(const Frame& frame, int outputReportLength) {
    ReportConversion result;
    if (outputReportLength < 1) {
        result.error = "the device has no output report";
        return result;
    }
    result.report.assign(static_cast<size_t>(outputReportLength), 0);
    const size_t room = std::min(frame.bytes.size(), result.report.size() - 1);
    std::copy_n(frame.bytes.begin(), room, result.report.begin() + 1);
    return result;
}

ReportConversion FrameTextToReport(std::string_view text, int outputReportLength) {
    ReportConversion result;
    if (outputReportLength < 1) {
        result.error = "the device has no output report";
        return result;
    }
    std::string digits;
    for (char c : text) {
        if (c != ' ') {
            digits.push_back(c);
        }
    }
    const auto frameBytes = static_cast<size_t>(outputReportLength - 1);
    const auto pairs = static_cast<size_t>(RoundHalfEven(static_cast<double>(digits.size()) / 2));
    for (size_t i = pairs; i < frameBytes; ++i) {
        digits += "00";
    }
    result.report.assign(static_cast<size_t>(outputReportLength), 0);
    for (size_t i = 0; i < frameBytes; ++i) {
        const size_t at = 2 * i;
        int value = 0;
        for (size_t j = at; j < at + 2 && j < digits.size(); ++j) {
            const int d = HexDigitValue(digits[j]);
            if (d < 0) {
                result.report.clear();
                result.error =
                    "the frame text has a character that is not a hex digit at position " + std::to_string(j + 1);
                return result;
            }
            value = value * 16 + d;
        }
        result.report[i + 1] = static_cast<std::uint8_t>(value);
    }
    return result;
}

}  // namespace treadle
