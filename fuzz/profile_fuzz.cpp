// libFuzzer target: a profile is a file anyone may have written. It is read or refused with a
// reason; a profile that is read writes back as TOML that reads as the same profile.
#include "cli/profile.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const treadle::cli::ProfileRead read = treadle::cli::ParseProfile(text, "fuzz.toml");
    if (!read.ok()) {
        if (read.error.empty()) {
            __builtin_trap();
        }
        return 0;
    }
    const treadle::cli::ProfileRead again =
        treadle::cli::ParseProfile(treadle::cli::ProfileText(read.profile), "again.toml");
    if (!again.ok() || !(again.profile == read.profile)) {
        __builtin_trap();
    }
    return 0;
}
