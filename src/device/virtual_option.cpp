#include "device/virtual_option.h"

namespace treadle {
namespace {

constexpr const char* kVirtual = "--virtual";
constexpr const char* kVirtualWithFile = "--virtual=";

}  // namespace

bool IsVirtualArgument(const std::string& arg) { return arg == kVirtual || arg.rfind(kVirtualWithFile, 0) == 0; }

std::string TakeVirtualArgument(const std::string& arg, bool& virtualDevice, std::string& stateFile) {
    if (virtualDevice) {
        return "--virtual given twice";
    }
    virtualDevice = true;
    if (arg != kVirtual) {
        stateFile = arg.substr(std::string(kVirtualWithFile).size());
        if (stateFile.empty()) {
            return "--virtual= needs a state file name after '='";
        }
    }
    return {};
}

std::string CaptureRuleError(bool captureGiven, bool virtualDevice) {
    if (captureGiven && !virtualDevice) {
        return "--capture records what the virtual foot switch receives, so it needs --virtual";
    }
    return {};
}

}  // namespace treadle
