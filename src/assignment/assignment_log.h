// The log texts of a key or mouse assignment.
#pragma once

#include <cstdint>
#include <string>

#include "device/protocol.h"
#include "text/catalogue.h"

namespace treadle {

// The modifiers as the log names them, each followed by " + ", in the order Ctrl, Alt,
// Shift, Win, then the right-hand ones ("Ctrl + Shift + " for 0x03).
std::string ModifierLogText(std::uint8_t modifiers);

// 成功在开关 <2> 中写入< Ctrl + F1 >
std::string KeyAssignedLine(const std::string& switchText, std::uint8_t modifiers, const std::string& keyCaption,
                            Language language = Language::Chinese);

// 成功在开关 < 1 > 写入鼠标 < 左键单击 > (with its blank at the end); empty for an unknown code.
std::string MouseAssignedLine(const std::string& switchText, int buttonCode, Language language = Language::Chinese);

}  // namespace treadle
