// What the foot switch understands, in one place: its IDs, its slots, the seven-byte command
// frames, and how a frame becomes an output report. Everything here is a pure function of its
// arguments; the window, treadlectl and the virtual foot switch all build and read frames
// through it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/pedal_press.h"

namespace treadle {

// The foot switch's USB vendor and product ID, and the same in hex digits as the window's ID
// boxes and treadlectl's --vid and --pid show them.
constexpr std::uint16_t kFootSwitchVendorId = 0x2704;
constexpr std::uint16_t kFootSwitchProductId = 0x2018;
inline constexpr const char* kFootSwitchVendorIdText = "2704";
inline constexpr const char* kFootSwitchProductIdText = "2018";

namespace detail {
constexpr int HexTextValue(const char* text) {
    int value = 0;
    for (; *text != '\0'; ++text) {
        const char c = *text;
        value = value * 16 + (c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -65536);
    }
    return value;
}
}  // namespace detail
static_assert(detail::HexTextValue(kFootSwitchVendorIdText) == kFootSwitchVendorId);
static_assert(detail::HexTextValue(kFootSwitchProductIdText) == kFootSwitchProductId);

constexpr int kSwitchCount = 4;
constexpr int kSlotCount = 32;
constexpr int kMaxDelay = 65535;

// The pause between the frames of a key assignment, which the device needs to store each.
constexpr int kPauseMs = 50;

// Frame bytes: start, kind, slot byte (4 × slot index), then the slot's four data bytes.
constexpr int kFrameLength = 7;
constexpr std::uint8_t kFrameStart = 0xAA;
constexpr std::uint8_t kKeyFrameKind = 0x01;  // key assignments, settings and clearing
constexpr std::uint8_t kMouseFrameKind = 0x02;
constexpr std::uint8_t kMouseMarker = 0xFE;  // a mouse slot's first data byte
constexpr std::uint8_t kSettingOn = 0x79;    // first data byte of the settings frames
constexpr std::uint8_t kErasedByte = 0xFF;   // every data byte of a cleared slot
constexpr std::uint8_t kLongPressSlotByte = 0x78;
constexpr std::uint8_t kDelaySlotByte = 0x7C;  // key delay, power-on run and playback mode
constexpr int kLongPressSlot = kLongPressSlotByte / 4;
constexpr int kDelayAndRunModeSlot = kDelaySlotByte / 4;

// An output report holds the report-ID byte and a whole frame at least.
constexpr int kMinOutputReportLength = 1 + kFrameLength;

// Bits of the modifier byte, as in the HID keyboard report.
namespace modifier {
constexpr std::uint8_t kCtrl = 0x01;
constexpr std::uint8_t kShift = 0x02;
constexpr std::uint8_t kAlt = 0x04;
constexpr std::uint8_t kWin = 0x08;
constexpr std::uint8_t kCtrlRight = 0x10;
constexpr std::uint8_t kShiftRight = 0x20;
constexpr std::uint8_t kAltRight = 0x40;
constexpr std::uint8_t kWinRight = 0x80;
}  // namespace modifier

// Mouse button codes, as the button bits of the HID mouse report.
namespace mouse {
constexpr int kLeft = 1;
constexpr int kRight = 2;
constexpr int kMiddle = 4;
}  // namespace mouse

// One command frame. Assignment frames are shown with their first two bytes in lower case
// ("aa 01 04 01 3A 00 00"), the settings and clear frames all in upper case; the bytes sent
// are the same either way.
struct Frame {
    std::array<std::uint8_t, kFrameLength> bytes{};
    bool assignment = false;

    bool operator==(const Frame&) const = default;
};

// Slot byte of switch 1 to 4: (n - 1) × 4.
std::uint8_t SwitchSlotByte(int switchNumber);

// aa 01 SS MM KK 00 00: slot, modifier byte, key (a HID keyboard usage).
Frame KeyFrame(std::uint8_t slotByte, std::uint8_t modifiers, std::uint8_t usage);

// aa 02 SS FE CC 00 00: slot, mouse marker, button code.
Frame MouseFrame(std::uint8_t slotByte, std::uint8_t buttonCode);

// AA 01 7C 79 01 HH LL: the key delay in milliseconds, high byte first, clamped to 0–65535.
Frame DelayFrame(std::int64_t delayMs);

// AA 01 78 79 01 SS 00: the long-press state (0 off, 1 on, 2 the check box's grey state).
Frame LongPressFrame(int state);

// AA 01 SS FF FF FF FF for slot index 0 to 31.
Frame ClearSlotFrame(int slotIndex);

// AA 01 7C RR PP 00 00: power-on run (79 on, 00 off) and playback (01 loop, 00 single).
Frame RunModeFrame(bool powerOnRun, bool loopPlayback);

// The press a key frame makes a pedal send (modifier byte and usage); nothing when it holds
// neither.
std::optional<PedalPress> KeyFramePress(std::uint8_t modifiers, std::uint8_t usage);

// The press a mouse frame makes a pedal send (button code 1, 2 or 4); nothing for another code.
std::optional<PedalPress> MouseFramePress(std::uint8_t code);

// The bytes as two upper-case hex digits each, separated by single blanks: the form of the
// capture file and of --dry-run ("00 AA 01 04 01 3A 00 00").
std::string ByteListText(std::span<const std::uint8_t> bytes);

// The frame as the frame text box shows it.
std::string FrameText(const Frame& frame);

struct ReportConversion {
    std::vector<std::uint8_t> report;  // exactly outputReportLength bytes when ok
    std::string error;                 // why there is no report

    [[nodiscard]] bool ok() const { return error.empty(); }
};

// The output report that carries a frame: report ID 0, then the frame's bytes, padded with
// zeros to the report's length or cut to it.
ReportConversion FrameToReport(const Frame& frame, int outputReportLength);

// The output report from frame text that a user typed. Byte 0 is the report ID 0; bytes 1 to
// length - 1 take the digit pairs of the text with its blanks (U+0020 only) removed, at fixed
// positions: pair i is characters 2i and 2i + 1. When the text has fewer pairs than the
// report, with the pair count taken as half the digit count rounded half to even, "00" pairs
// are appended; the last pair may be a single digit. Text beyond the report is ignored. A
// character in a used position that is not a hex digit, or a length below 1, gives no report.
ReportConversion FrameTextToReport(std::string_view text, int outputReportLength);

}  // namespace treadle
