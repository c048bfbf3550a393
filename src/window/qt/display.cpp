#include "window/qt/display.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace treadle::qt {
namespace {

bool EnvSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

}  // namespace

std::string TreadlectlBeside(const std::string& program) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(program).parent_path();
    if (!folder.empty()) {
        // Installed, both programs share one folder; in the build tree treadlectl sits in
        // src/cli beside src/window/qt.
        for (const fs::path& candidate : {folder / "treadlectl", folder / ".." / ".." / "cli" / "treadlectl"}) {
            std::error_code error;
            if (fs::is_regular_file(candidate, error)) {
                return candidate.lexically_normal().string();
            }
        }
    }
    return "treadlectl";
}

std::string NoDisplayText(const std::string& program) {
    const std::string treadlectl = TreadlectlBeside(program) + " --virtual=pedals.state ";
    return "There is no display here, so the window cannot open.\n"
           "  - try Treadle from the command line, on a virtual foot switch that keeps its slots in\n"
           "    pedals.state (without =pedals.state it forgets them when the command ends):\n"
           "      " +
           treadlectl + "set 2 ctrl+f1\n" + "      " + treadlectl + "show\n" + "      " + treadlectl + "press 2\n" +
           "      " + TreadlectlBeside(program) +
           " --help\n"
           "  - to see the window, start it on a machine with a display, or from one through ssh -X:\n"
           "      " +
           program +
           " --virtual=pedals.state\n"
           "  - xvfb-run would start it on a screen nobody sees: it serves only for screenshots\n"
           "    (scripts/screenshot in the source tree).\n";
}

bool DisplayAvailable() { return EnvSet("DISPLAY") || EnvSet("WAYLAND_DISPLAY") || EnvSet("QT_QPA_PLATFORM"); }

}  // namespace treadle::qt
