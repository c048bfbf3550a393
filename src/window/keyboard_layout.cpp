#include "window/keyboard_layout.h"

#include <array>

namespace treadle {
namespace {

constexpr const char* kKey = "Command_key";
constexpr int kKeySize = 500;

// Row tops in the panel.
constexpr int kRow1 = 200;
constexpr int kRow2 = 840;
constexpr int kRow3 = 1380;
constexpr int kRow4 = 1910;
constexpr int kRow5 = 2430;
constexpr int kRow6 = 2960;

constexpr KeyPlace K(int index, int left, int top, int width = kKeySize, int height = kKeySize) {
    return {kKey, index, {left, top, width, height}};
}
constexpr KeyPlace T(const char* name, int left, int top, int width) { return {name, -1, {left, top, width, kKeySize}}; }

constexpr std::array kLayout{
    // Esc, F1 to F12 in three groups of four, PrtSC, Scroll, Pause.
    K(36, 120, kRow1), K(0, 1050, kRow1), K(1, 1570, kRow1), K(2, 2090, kRow1), K(3, 2610, kRow1),
    K(4, 3400, kRow1), K(5, 3920, kRow1), K(6, 4440, kRow1), K(7, 4960, kRow1), K(8, 5840, kRow1),
    K(9, 6360, kRow1), K(10, 6880, kRow1), K(11, 7400, kRow1), K(13, 8040, kRow1, 550), K(22, 8610, kRow1, 520),
    K(15, 9160, kRow1, 540),
    // ~, 1 to 9, 0, -, =, Backspace; Insert, Home, PgUp; keypad Num / * -.
    K(37, 120, kRow2), K(41, 640, kRow2), K(42, 1160, kRow2), K(43, 1680, kRow2), K(44, 2200, kRow2),
    K(45, 2720, kRow2), K(46, 3240, kRow2), K(47, 3760, kRow2), K(48, 4280, kRow2), K(49, 4800, kRow2),
    K(40, 5320, kRow2), K(16, 5840, kRow2), K(17, 6360, kRow2), K(18, 6880, kRow2, 1000), K(12, 8040, kRow2, 550),
    K(19, 8610, kRow2, 540), K(77, 9160, kRow2, 540), K(81, 9840, kRow2), K(82, 10360, kRow2), K(83, 10880, kRow2),
    K(84, 11400, kRow2),
    // Tab, Q to P, [ ] \; Delete, End, PgDn; keypad 7 8 9 and the two-row +.
    K(38, 120, kRow3, 700), K(66, 860, kRow3), K(72, 1380, kRow3), K(54, 1900, kRow3), K(67, 2420, kRow3),
    K(69, 2940, kRow3), K(74, 3460, kRow3), K(70, 3980, kRow3), K(58, 4500, kRow3), K(64, 5020, kRow3),
    K(65, 5540, kRow3), K(29, 6060, kRow3), K(30, 6580, kRow3), K(27, 7100, kRow3, 800), K(14, 8040, kRow3, 550),
    K(20, 8610, kRow3, 540), K(78, 9160, kRow3, 540), K(85, 9840, kRow3), K(86, 10360, kRow3), K(87, 10880, kRow3),
    K(88, 11400, kRow3, kKeySize, 1020),
    // Caps, A to L, ; ' Enter; keypad 4 5 6.
    K(39, 120, kRow4, 980), K(50, 1120, kRow4), K(68, 1640, kRow4), K(53, 2160, kRow4), K(55, 2680, kRow4),
    K(56, 3200, kRow4), K(57, 3720, kRow4), K(59, 4240, kRow4), K(60, 4760, kRow4), K(61, 5270, kRow4),
    K(25, 5790, kRow4), K(26, 6310, kRow4), K(80, 6840, kRow4, 1055), K(89, 9840, kRow4), K(90, 10360, kRow4),
    K(91, 10880, kRow4),
    // Shift, Z to M, , . /, right Shift; up arrow; keypad 1 2 3 and the two-row Ent.
    T("Command_shift", 120, kRow5, 1230), K(75, 1380, kRow5), K(73, 1900, kRow5), K(52, 2420, kRow5),
    K(71, 2940, kRow5), K(51, 3460, kRow5), K(63, 3980, kRow5), K(62, 4500, kRow5), K(23, 5020, kRow5),
    K(24, 5540, kRow5), K(28, 6060, kRow5), T("Command_shift_r", 6580, kRow5, 1325), K(32, 8610, kRow5, 540),
    K(92, 9840, kRow5), K(93, 10360, kRow5), K(94, 10880, kRow5), K(95, 11400, kRow5, kKeySize, 1020),
    // Ctrl, Win, Alt, space, Alt, Win, Menu, Ctrl; left, down, right; keypad 0 and ./Del.
    T("Command_ctrl", 120, kRow6, 650), T("Command_win", 790, kRow6, 650), T("Command_alt", 1460, kRow6, 650),
    K(76, 2130, kRow6, 3140), T("Command_alt_r", 5280, kRow6, 650), T("Command_win_r", 5950, kRow6, 650),
    K(31, 6630, kRow6, 630), T("Command_ctrl_r", 7280, kRow6, 630), K(34, 8040, kRow6, 550),
    K(33, 8610, kRow6, 540), K(35, 9160, kRow6, 540), K(96, 9840, kRow6, 1020), K(97, 10880, kRow6, kKeySize, 495),
};

// Right of the client area (12135 twips wide), hidden.
constexpr std::array kSpares{K(21, 12960, 2400), K(79, 13560, 2400)};

constexpr std::array<ModifierToggle, 8> kToggles{{
    {"Command_ctrl", modifier::kCtrl},
    {"Command_shift", modifier::kShift},
    {"Command_alt", modifier::kAlt},
    {"Command_win", modifier::kWin},
    {"Command_ctrl_r", modifier::kCtrlRight},
    {"Command_shift_r", modifier::kShiftRight},
    {"Command_alt_r", modifier::kAltRight},
    {"Command_win_r", modifier::kWinRight},
}};

}  // namespace

std::span<const KeyPlace> KeyboardLayout() { return kLayout; }
std::span<const KeyPlace> SpareKeyButtons() { return kSpares; }
std::span<const ModifierToggle> ModifierToggles() { return kToggles; }

FontSpec KeyFont(int index) {
    const std::string yahei = "微软雅黑";
    switch (index) {
        case 12: case 14: case 19: case 20: case 77: case 78: case 81: case 97:  // Insert ... ./Del
            return {yahei, 6.75, false};
        case 18: case 95:  // Backspace, keypad Ent
            return {yahei, 7.5, false};
        case 13: case 15: case 22:  // PrtSC, Pause, Scroll
            return {"Microsoft YaHei UI", 6.75, false};
        case 32: case 33: case 34: case 35: case 76:  // arrows and space: the window's font
            return {"宋体", 10.5, false};
        default:
            return {yahei, 9, false};
    }
}

}  // namespace treadle
