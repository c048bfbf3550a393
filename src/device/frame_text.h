// How the frame text box's text becomes one HID output report.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace treadle {

struct ReportConversion {
    std::vector<std::uint8_t> report;  // exactly outputReportLength bytes when ok
    std::string error;                 // why there is no report

    [[nodiscard]] bool ok() const { return error.empty(); }
};

// Byte 0 is the report ID 0; bytes 1 to length - 1 take the digit pairs of the text with its
// blanks (U+0020 only) removed, at fixed positions: pair i is characters 2i and 2i + 1. When
// the text has fewer pairs than the report, with the pair count taken as half the digit
// count rounded half to even, "00" pairs are appended; the last pair may be a single digit.
// Text beyond the report is ignored. A character in a used position that is not a hex digit,
// or a length below 1, gives no report.
ReportConversion FrameTextToReport(std::string_view text, int outputReportLength);

}  // namespace treadle
