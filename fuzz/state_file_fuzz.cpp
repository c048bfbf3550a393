// libFuzzer target: a state file is text anyone may have edited or cut short. It is read or
// refused with a reason; what is read survives a change and a reading by another program.
#include "device/virtual_foot_switch.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

std::string StatePath() {
    static const std::string path = "/tmp/treadle-fuzz-state-" + std::to_string(::getpid());
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = StatePath();
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        return 0;
    }
    treadle::VirtualFootSwitch::Options options;
    options.devices = 2;
    options.stateFile = path;
    treadle::VirtualFootSwitch first(options);
    std::string error;
    if (!first.Start(error)) {
        if (error.empty()) {
            __builtin_trap();
        }
        return 0;
    }
    // Switch 3 becomes F1 on the first device; the file is rewritten whole.
    const treadle::OpenResult opened = first.OpenReadWrite(treadle::VirtualFootSwitch::ConfigPath(0));
    const std::uint8_t report[8] = {0x00, 0xAA, 0x01, 0x08, 0x00, 0x3A, 0x00, 0x00};
    if (!opened.ok() || first.Write(opened.handle, report).written != 8) {
        __builtin_trap();
    }
    treadle::VirtualFootSwitch second(options);
    if (!second.Start(error)) {
        __builtin_trap();  // what was written must read back
    }
    for (int device = 0; device < 2; ++device) {
        if (second.Slots(device) != first.Slots(device) || second.Kinds(device) != first.Kinds(device)) {
            __builtin_trap();
        }
    }
    if (second.Slots(0)[2] != treadle::SlotBytes{0x00, 0x3A, 0x00, 0x00} ||
        second.Kinds(0)[2] != treadle::SlotKind::Key) {
        __builtin_trap();
    }
    return 0;
}
