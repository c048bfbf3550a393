#include "window/accessibility.h"

#include "window/keyboard_layout.h"
#include "window/usb.h"

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace treadle {
namespace {

// Key buttons whose spoken name is one text of the catalogue.
constexpr std::array<std::pair<int, Msg>, 31> kNamedKeys{{
    {36, Msg::KeyEscape},       {38, Msg::KeyTab},         {39, Msg::KeyCapsLock},   {80, Msg::KeyEnter},
    {79, Msg::KeyEnter},        {76, Msg::KeySpace},       {18, Msg::KeyBackspace},  {12, Msg::KeyInsert},
    {14, Msg::KeyDelete},       {19, Msg::KeyHome},        {20, Msg::KeyEnd},        {77, Msg::KeyPageUp},
    {78, Msg::KeyPageDown},     {32, Msg::KeyUpArrow},     {33, Msg::KeyDownArrow},  {34, Msg::KeyLeftArrow},
    {35, Msg::KeyRightArrow},   {13, Msg::KeyPrintScreen}, {22, Msg::KeyScrollLock}, {15, Msg::KeyPause},
    {31, Msg::KeyMenu},         {16, Msg::KeyMinus},       {17, Msg::KeyEquals},     {29, Msg::KeyLeftBracket},
    {30, Msg::KeyRightBracket}, {27, Msg::KeyBackslash},   {25, Msg::KeySemicolon},  {26, Msg::KeyQuote},
    {37, Msg::KeyBacktick},     {81, Msg::KeyNumLock},     {21, Msg::KeyNumLock},
}};

// Keypad keys other than the digits: the sign's name after "Keypad".
constexpr std::array<std::pair<int, Msg>, 6> kKeypadSigns{{
    {82, Msg::KeySlash},
    {83, Msg::KeyAsterisk},
    {84, Msg::KeyMinus},
    {88, Msg::KeyPlus},
    {95, Msg::KeyEnter},
    {97, Msg::KeyDecimal},
}};

// The remaining punctuation of the main block.
constexpr std::array<std::pair<int, Msg>, 3> kSigns{{{23, Msg::KeyComma}, {24, Msg::KeyPeriod}, {28, Msg::KeySlash}}};

// The keypad's digit keys: index and digit.
constexpr std::array<std::pair<int, int>, 10> kKeypadDigits{
    {{96, 0}, {92, 1}, {93, 2}, {94, 3}, {89, 4}, {90, 5}, {91, 6}, {85, 7}, {86, 8}, {87, 9}}};

// The frames without a caption, named for what they hold.
constexpr std::array<std::pair<std::string_view, Msg>, 4> kFrameNames{{
    {"Frame2", Msg::NameTopBand},
    {"FrameKeyBoard", Msg::NameKeyboard},
    {"Frame5", Msg::NameHoldAndWrite},
    {"Frame1", Msg::NameKeyDelay},
}};

// A box or list and the label whose caption names it.
constexpr std::array<std::pair<std::string_view, std::string_view>, 5> kLabelledBy{{
    {"Combo1", "Label6"},
    {"Text_delay", "Label5"},
    {"TextIW", "Label_frame_text"},
    {"lstResults", "Label4"},
    {kPedalPressList, kPedalTestFrame},
}};

template <typename Key, size_t N>
std::optional<Msg> Lookup(const std::array<std::pair<Key, Msg>, N>& table, Key key) {
    for (const auto& [k, msg] : table) {
        if (k == key) {
            return msg;
        }
    }
    return std::nullopt;
}

// A caption without the colon (ASCII or full width) and blanks it ends with.
std::string WithoutColon(std::string text) {
    for (std::string_view end : {":", "：", " "}) {
        while (text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0) {
            text.erase(text.size() - end.size());
        }
    }
    return text;
}

const Control* Named(const USB& window, std::string_view name) {
    for (const Control& c : window.Controls()) {
        if (c.name == name && c.index == -1) {
            return &c;
        }
    }
    return nullptr;
}

// The bit of a modifier toggle, 0 for any other control.
std::uint8_t ModifierBit(const Control& control) {
    for (const ModifierToggle& toggle : ModifierToggles()) {
        if (control.name == toggle.name) {
            return toggle.bit;
        }
    }
    return 0;
}

std::string ToggleName(const Control& control, Language language) {
    const bool right = control.name.ends_with("_r");
    return Text(right ? Msg::KeyRight : Msg::KeyLeft, language, {control.Text()});
}

}  // namespace

AccessibleRole RoleOf(const Control& control) {
    switch (control.kind) {
        case ControlKind::Frame:
            return AccessibleRole::Grouping;
        case ControlKind::Label:
            return control.name == "Label11" ? AccessibleRole::Link : AccessibleRole::Label;
        case ControlKind::Button:
            return ModifierBit(control) != 0 || control.name == "Command_auto_run" ? AccessibleRole::ToggleButton
                                                                                   : AccessibleRole::PushButton;
        case ControlKind::CheckBox:
            return AccessibleRole::CheckBox;
        case ControlKind::OptionButton:
            return AccessibleRole::RadioButton;
        case ControlKind::ComboBox:
            return AccessibleRole::ComboBox;
        case ControlKind::TextBox:
            return AccessibleRole::Text;
        case ControlKind::ListBox:
        case ControlKind::Timer:
            break;
    }
    return AccessibleRole::List;
}

std::string SpokenKeyName(int index, Language language) {
    if (index >= 0 && index <= 11) {
        return "F" + std::to_string(index + 1);
    }
    if (index >= 41 && index <= 49) {
        return std::to_string(index - 40);
    }
    if (index == 40) {
        return "0";
    }
    if (index >= 50 && index <= 75) {
        return std::string(1, static_cast<char>('A' + index - 50));
    }
    if (auto msg = Lookup(kNamedKeys, index)) {
        return Text(*msg, language);
    }
    if (auto msg = Lookup(kSigns, index)) {
        return Text(*msg, language);
    }
    if (auto msg = Lookup(kKeypadSigns, index)) {
        return Text(Msg::KeyKeypad, language, {Text(*msg, language)});
    }
    for (const auto& [key, digit] : kKeypadDigits) {
        if (key == index) {
            return Text(Msg::KeyKeypad, language, {std::to_string(digit)});
        }
    }
    return {};
}

std::string AccessibleName(const USB& window, const Control& control) {
    const Language language = window.WindowLanguage();
    if (control.name == "Command_key") {
        return SpokenKeyName(control.index, language);
    }
    if (ModifierBit(control) != 0) {
        return ToggleName(control, language);
    }
    if (auto msg = Lookup(kFrameNames, std::string_view(control.name)); msg && control.Text().empty()) {
        return Text(*msg, language);
    }
    for (const auto& [box, label] : kLabelledBy) {
        if (control.name == box) {
            const Control* named = Named(window, label);
            return named != nullptr ? WithoutColon(named->Text()) : WithoutColon(Text(Msg::FrameTextCaption, language));
        }
    }
    return control.Text();
}

const Control* NamingLabel(const USB& window, const Control& control) {
    for (const auto& [box, label] : kLabelledBy) {
        if (control.name == box) {
            const Control* named = Named(window, label);
            return named != nullptr && named->kind == ControlKind::Label ? named : nullptr;
        }
    }
    return nullptr;
}

std::optional<bool> TogglePressed(const USB& window, const Control& control) {
    if (const std::uint8_t bit = ModifierBit(control); bit != 0) {
        return (window.ModifierByte & bit) != 0;
    }
    if (control.name == "Command_auto_run") {
        return window.PowerOnRun;
    }
    return std::nullopt;
}

}  // namespace treadle
