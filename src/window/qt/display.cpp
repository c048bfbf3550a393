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
    const std::string treadlectl = TreadlectlBeside(program);
    return "There is no display here, so the window cannot open.\n"
           "  - to see it anyway, start it under a virtual X server (Debian's package xvfb):\n"
           "      xvfb-run -a " +
           program +
           " --virtual\n"
           "  - or program the virtual foot switch from the command line:\n"
           "      " +
           treadlectl + " --virtual set 2 ctrl+f1\n" + "      " + treadlectl + " --help\n";
}

bool DisplayAvailable() { return EnvSet("DISPLAY") || EnvSet("WAYLAND_DISPLAY") || EnvSet("QT_QPA_PLATFORM"); }

}  // namespace treadle::qt
