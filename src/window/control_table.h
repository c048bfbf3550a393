// The window's controls at design time: kind, container, text, place, font, colours and
// start-up state, as one table.
#pragma once

#include <deque>

#include "text/catalogue.h"
#include "window/control.h"

namespace treadle {

// All controls of the window in design order, captioned in `language`; the key buttons carry
// placeholder captions that the start-up sequence replaces.
std::deque<Control> BuildWindowControls(Language language = Language::Chinese);

}  // namespace treadle
