// The window's controls at design time: kind, container, text, place, font, colours and
// start-up state, as one table.
#pragma once

#include "text/catalogue.h"
#include "window/control.h"

#include <deque>
#include <span>
#include <string_view>

namespace treadle {

// All controls of the window in design order, captioned in `language`; the key buttons carry
// placeholder captions that the start-up sequence replaces.
std::deque<Control> BuildWindowControls(Language language = Language::Chinese);

// What the handler behind a control's click, change or tick does, in one line. A family of
// controls (the keys, the pedal buttons) shares one.
struct HandlerNote {
    const char* control;
    const char* description;
};

// A note for every control whose click, change or tick runs a handler, in the window's
// order: the top band, the keyboard panel, the log, the settings, the pedal test.
std::span<const HandlerNote> HandlerNotes();

// The description of the handler behind the control named `name`; empty when it has none.
std::string_view HandlerDescription(std::string_view name);

}  // namespace treadle
