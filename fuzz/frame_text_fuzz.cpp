// libFuzzer target: the frame text box may hold anything, and a device may report any
// output length. The first byte picks a length from 0 to 65, the rest is the text. A report
// has exactly that many bytes, report ID 0 first; no report comes with a reason.
#include "device/protocol.h"
#include "text/text_rules.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const int length = data[0] % 66;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const treadle::ReportConversion r = treadle::FrameTextToReport(text, length);
    if (!r.ok()) {
        if (r.error.empty() || !r.report.empty()) {
            __builtin_trap();
        }
        return 0;
    }
    if (length < 1 || r.report.size() != static_cast<std::size_t>(length) || r.report[0] != 0) {
        __builtin_trap();
    }
    // Blanks do not delimit bytes: the same text without them gives the same report.
    std::string packed;
    for (char c : text) {
        if (c != ' ') {
            packed += c;
        }
    }
    const treadle::ReportConversion again = treadle::FrameTextToReport(packed, length);
    if (!again.ok() || again.report != r.report) {
        __builtin_trap();
    }
    return 0;
}
