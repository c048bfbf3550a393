// libFuzzer target: a profile is a file anyone may have written. It is read or refused with a
// reason; a profile that is read writes back as TOML that reads as the same profile.
#include "settings/profile.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const treadle::ProfileRead read = treadle::ParseProfile(text, "fuzz.toml");
    if (!read.ok()) {
        if (read.error.empty()) {
            __builtin_trap();
        }
        return 0;
    }
    const treadle::ProfileRead again = treadle::ParseProfile(treadle::ProfileText(read.profile), "again.toml");
    if (!again.ok() || !(again.profile == read.profile)) {
        __builtin_trap();
    }
    return 0;
}
