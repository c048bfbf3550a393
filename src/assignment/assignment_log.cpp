#include "assignment/assignment_log.h"

#include "text/text_rules.h"

namespace treadle {

std::string ModifierLogText(std::uint8_t modifiers) {
    // Alt is named before Shift, unlike the bit order.
    static constexpr std::pair<std::uint8_t, const char*> kNames[] = {
        {modifier::kCtrl, "Ctrl + "},       {modifier::kAlt, "Alt + "},        {modifier::kShift, "Shift + "},
        {modifier::kWin, "Win + "},         {modifier::kCtrlRight, "Ctrl_R + "}, {modifier::kAltRight, "Alt_R + "},
        {modifier::kShiftRight, "Shift_R + "}, {modifier::kWinRight, "Win_R + "},
    };
    std::string text;
    for (auto [bit, name] : kNames) {
        if ((modifiers & bit) != 0) {
            text += name;
        }
    }
    return text;
}

std::string KeyAssignedLine(const std::string& switchText, std::uint8_t modifiers, const std::string& keyCaption,
                            Language language) {
    return Text(Msg::KeyAssigned, language, {switchText, ModifierLogText(modifiers) + keyCaption});
}

std::string MouseAssignedLine(const std::string& switchText, int buttonCode, Language language) {
    switch (buttonCode) {
        case mouse::kLeft:
            return Text(Msg::MouseLeftAssigned, language, {switchText});
        case mouse::kMiddle:
            return Text(Msg::MouseMiddleAssigned, language, {switchText});
        case mouse::kRight:
            return Text(Msg::MouseRightAssigned, language, {switchText});
        default:
            return {};
    }
}

}  // namespace treadle
