// The advanced view: the window widened by a column right of the keyboard that shows the
// controls the plain design keeps out of view (clear all, the key delay, the run mode and the
// frame text box). The places are data in twips, for every front end.
#pragma once

#include "text/catalogue.h"
#include "window/control.h"

#include <deque>
#include <span>

namespace treadle {

// The client area of the advanced view: wider by the settings column, and taller by the pedal
// test's band under the log.
constexpr int kAdvancedClientWidth = 15615;
constexpr int kAdvancedClientHeight = 8235;

// The pedal test's controls, all inside its frame: the list of the last presses, the status
// line and the family of buttons that press pedals 1 to 4 of the virtual foot switch (Index 0
// to 3).
inline constexpr const char* kPedalTestFrame = "Frame_pedal_test";
inline constexpr const char* kPedalPressList = "List_pedal_presses";
inline constexpr const char* kPedalStatus = "Label_pedal_status";
inline constexpr const char* kPedalButton = "Command_pedal";
inline constexpr int kPedalButtons = 4;

// The profile buttons of the column, side by side under clear all.
inline constexpr const char* kSaveProfileButton = "Command_save_profile";
inline constexpr const char* kLoadProfileButton = "Command_load_profile";

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

// The controls only the advanced view has (the frame text box's caption, the note on the
// settings slot, the profile buttons and the pedal test), captioned in `language`, at their places. The pedal
// buttons start hidden: the window shows them where the pedals can be pressed.
std::deque<Control> AdvancedOnlyControls(Language language);

}  // namespace treadle
