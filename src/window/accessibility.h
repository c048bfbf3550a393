// What a screen reader is told about each control of the window, in the window's language:
// its role, its name and, for the toggles, whether it is pressed. Both front ends hand these
// to their platform's accessibility interface.
#pragma once

#include "text/catalogue.h"
#include "window/control.h"

#include <optional>
#include <string>

namespace treadle {

class USB;

enum class AccessibleRole {
    Grouping,      // a frame
    Label,         // static text
    Link,          // the label that opens the user guide
    PushButton,    // a button and every key of the on-screen keyboard
    ToggleButton,  // the modifier toggles and power-on run: pressed or not
    CheckBox,
    RadioButton,
    ComboBox,
    Text,  // a text box
    List,
};

AccessibleRole RoleOf(const Control& control);

// The name a screen reader says: a key's spoken name ("Left Ctrl", "F1", "Num Lock"), a
// caption, or for a box or list the caption of the label that names it, without its colon.
std::string AccessibleName(const USB& window, const Control& control);

// The label whose caption names a box or a list; null for a control that names itself.
const Control* NamingLabel(const USB& window, const Control& control);

// The spoken name of key button `index` of the on-screen keyboard; empty for an index without
// a key.
std::string SpokenKeyName(int index, Language language);

// Whether a toggle is pressed, from the window's typed state (ModifierByte, PowerOnRun);
// nothing for a control that is no toggle.
std::optional<bool> TogglePressed(const USB& window, const Control& control);

}  // namespace treadle
