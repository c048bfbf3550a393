// libFuzzer target: any byte string is a report descriptor a device might send. The parser
// must answer or refuse it without reading outside it, hanging or claiming impossible lengths.
#include "device/hid_descriptor.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const treadle::ReportDescriptorResult r = treadle::ParseReportDescriptor({data, size});
    if (r.ok()) {
        for (int length : {r.info.inputReportLength, r.info.outputReportLength, r.info.featureReportLength}) {
            if (length < 0 || length > treadle::kMaxReportLength) {
                __builtin_trap();
            }
        }
        if (r.info.topLevelCollections.size() > size) {
            __builtin_trap();  // every collection takes at least one byte
        }
    } else if (r.error.empty()) {
        __builtin_trap();
    }
    return 0;
}
