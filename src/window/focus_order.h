// The order in which the keyboard moves through the window's controls, for every front end:
// Tab and Shift+Tab follow FocusOrder, the arrow keys move within an ArrowGroup.
#pragma once

#include "window/control.h"

#include <vector>

namespace treadle {

class USB;

// True for the kinds of control that take the keyboard's focus: buttons, the combo box, check
// boxes, option buttons, text boxes, lists and the label that opens the guide.
bool TakesFocus(const Control& control);

// Every control that takes the focus, is visible itself and sits inside the client area, in
// reading order: frame by frame, each frame's controls where the frame stands; within a
// container, bands from top to bottom and, inside a band, columns from left to right (a
// control overlapping no other's rows or columns starts a band or a column of its own); the
// keyboard panel row by row as the keyboard's layout lists it, then the guide's link in it. Disabled controls and those
// in a hidden frame are included: a front end sets its chain once and its toolkit skips them.
std::vector<const Control*> FocusOrder(const USB& window);

// The controls Tab reaches now: those of FocusOrder that are enabled and whose frames are all
// visible and enabled.
std::vector<const Control*> TabStops(const USB& window);

// The controls the arrow keys move between when one of them has the focus, in reading order:
// the two playback options. Empty for any other control (the combo box's arrows step through
// its own items).
std::vector<const Control*> ArrowGroup(const USB& window, const Control& control);

}  // namespace treadle
