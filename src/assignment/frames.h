// The key and mouse assignment frames as text, and the log texts of an assignment. Pure
// functions: the window and the command-line tool both compose through them.
#pragma once

#include <cstdint>
#include <string>

#include "text/catalogue.h"

namespace treadle {

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

// Slot byte of switch n: (n - 1) * 4, reduced to one byte ("0" gives FC).
std::string SlotByteText(double switchNumber);

// True for the switches the device has: exactly 1, 2, 3 or 4.
bool IsSwitchNumber(double switchNumber);

// "aa 01 SS MM KK 00 00": slot, modifier byte, key code (a HID keyboard usage).
std::string KeyFrameText(double switchNumber, std::uint8_t modifiers, double keyCode);

// "aa 02 SS FE CC 00 00": slot, mouse marker, button code.
std::string MouseFrameText(double switchNumber, double buttonCode);

// The modifiers as the log names them, each followed by " + ", in the order Ctrl, Alt,
// Shift, Win, then the right-hand ones ("Ctrl + Shift + " for 0x03).
std::string ModifierLogText(std::uint8_t modifiers);

// 成功在开关 <2> 中写入< Ctrl + F1 >
std::string KeyAssignedLine(const std::string& switchText, std::uint8_t modifiers, const std::string& keyCaption,
                            Language language = Language::Chinese);

// 成功在开关 < 1 > 写入鼠标 < 左键单击 > (with its blank at the end); empty for an unknown code.
std::string MouseAssignedLine(const std::string& switchText, int buttonCode, Language language = Language::Chinese);

}  // namespace treadle
