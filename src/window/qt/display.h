// Whether the window can open here, and what to say when it cannot.
#pragma once

#include <string>

namespace treadle::qt {

// The treadlectl to advise: the one beside the window program when there is one, else the
// bare name for the search path.
std::string TreadlectlBeside(const std::string& program);

// Said when no display can be opened, with what to run instead.
std::string NoDisplayText(const std::string& program);

// True when Qt has something to open a window on: an X or Wayland display, or a platform
// chosen explicitly with QT_QPA_PLATFORM.
bool DisplayAvailable();

}  // namespace treadle::qt
