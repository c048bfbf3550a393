// libFuzzer target: any text may be given as a key combination on the command line or in a
// profile. It is read or refused with a reason; what is read writes back as a text that
// reads as the same choice.
#include "assignment/key_names.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const treadle::KeyParse parsed = treadle::ParseKey(text);
    if (!parsed.ok()) {
        return 0;
    }
    const treadle::KeyParse again = treadle::ParseKey(treadle::KeyCombinationText(parsed.choice));
    if (!again.ok() || again.choice != parsed.choice) {
        __builtin_trap();
    }
    if (parsed.choice.usage < 0 || parsed.choice.usage > 0xFF) {
        __builtin_trap();
    }
    return 0;
}
