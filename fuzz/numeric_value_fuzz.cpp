// libFuzzer target: any text may be typed into the switch box or the delay box. Its numeric
// value is a finite number whatever the digits, and the whole number made of it is defined.
#include "text/text_rules.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double value = treadle::NumericValue(text);
    if (!std::isfinite(value)) {
        __builtin_trap();
    }
    const double rounded = treadle::RoundHalfEven(value);
    if (!std::isfinite(rounded) || std::fabs(rounded - value) > 0.5) {
        __builtin_trap();
    }
    (void)treadle::RoundToInt64(value);
    if (treadle::ByteText(value).size() != 2) {
        __builtin_trap();
    }
    return 0;
}
