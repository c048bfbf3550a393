#include "window/qt/display.h"

#include <cstdlib>

namespace treadle::qt {
namespace {

bool EnvSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

}  // namespace

std::string NoDisplayText(const std::string& program) {
    return "There is no display here, so the window cannot open.\n"
           "  - to see it anyway, start it under a virtual X server:\n"
           "      xvfb-run -a " +
           program +
           " --virtual\n"
           "  - or program the virtual foot switch from the command line:\n"
           "      treadlectl --virtual\n";
}

bool DisplayAvailable() { return EnvSet("DISPLAY") || EnvSet("WAYLAND_DISPLAY") || EnvSet("QT_QPA_PLATFORM"); }

}  // namespace treadle::qt
