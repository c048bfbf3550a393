#include "device/frame_text.h"

#include "text/text_rules.h"

namespace treadle {

ReportConversion FrameTextToReport(std::string_view text, int outputReportLength) {
    ReportConversion result;
    if (outputReportLength < 1) {
        result.error = "the device has no output report";
        return result;
    }
    std::string digits;
    for (char c : text) {
        if (c != ' ') {
            digits.push_back(c);
        }
    }
    const auto frameBytes = static_cast<size_t>(outputReportLength - 1);
    const auto pairs = static_cast<size_t>(RoundHalfEven(static_cast<double>(digits.size()) / 2));
    if (pairs < frameBytes) {
        for (size_t i = pairs; i < frameBytes; ++i) {
            digits += "00";
        }
    }
    result.report.assign(static_cast<size_t>(outputReportLength), 0);
    for (size_t i = 0; i < frameBytes; ++i) {
        const size_t at = 2 * i;
        int value = 0;
        for (size_t j = at; j < at + 2 && j < digits.size(); ++j) {
            const int d = HexDigitValue(digits[j]);
            if (d < 0) {
                result.report.clear();
                result.error = "the frame text has a character that is not a hex digit at position " +
                               std::to_string(j + 1);
                return result;
            }
            value = value * 16 + d;
        }
        result.report[i + 1] = static_cast<std::uint8_t>(value);
    }
    return result;
}

}  // namespace treadle
