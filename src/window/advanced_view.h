// The advanced view: the window widened by a column right of the keyboard that shows the
// controls the plain design keeps out of view (clear all, the key delay, the run mode and the
// frame text box). The places are data in twips, for every front end.
#pragma once

#include "text/catalogue.h"
#include "window/control.h"

#include <deque>
#include <span>

namespace treadle {

// The client area of the advanced view; its height is the plain design's.
constexpr int kAdvancedClientWidth = 15615;

// A control's place in the advanced view. `container` is where it sits there (empty for the
// window).
struct AdvancedPlace {
    const char* name;
    const char* container;
    Twips place;
};

// The controls the column moves or resizes, in the order the column shows them from the top.
std::span<const AdvancedPlace> AdvancedPlaces();

// The controls the plain design has beyond its right edge and that stay out of view: they
// move right by the width the column adds.
std::span<const char* const> ControlsKeptOutOfView();

// The controls only the advanced view has (the frame text box's caption and the note on the
// settings slot), captioned in `language`.
std::deque<Control> AdvancedOnlyControls(Language language);

}  // namespace treadle
