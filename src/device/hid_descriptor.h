// Reading a HID report descriptor for what the system's HID layer tells of an interface: the
// report lengths and the top-level collections. Pure: bytes in, an answer or an error out.
//
// The bytes come from a device, so nothing in them is trusted: every item is bounds-checked,
// lengths are summed in 64 bits and capped, and collection nesting and the global-state
// stack are bounded. Any byte string yields either an answer or an error text.
#pragma once

#include "device/hid_platform.h"

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace treadle {

// Limits past which a descriptor is refused rather than believed.
constexpr int kMaxCollectionDepth = 64;
constexpr int kMaxGlobalStackDepth = 16;
constexpr int kMaxReportLength = 65535;  // bytes incl. the report-ID byte; the system's lengths are 16-bit

// A one-bit variable input field of the keyboard page (modifiers, or a key bitmap) or the
// button page: the bit is set while the usage is held.
struct InputBit {
    std::uint8_t reportId = 0;
    std::uint32_t bitOffset = 0;  // from the first bit after the report-ID byte
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
};

// An array input field of the keyboard page: `count` slots of `size` bits, each holding the
// index of a key held (value - logicalMin + usageMinimum is its usage), or nothing.
struct InputArray {
    std::uint8_t reportId = 0;
    std::uint32_t bitOffset = 0;
    std::uint32_t size = 0;
    std::uint32_t count = 0;
    std::uint16_t usagePage = 0;
    std::int32_t logicalMinimum = 0;
    std::uint32_t usageMinimum = 0;
};

// How many input fields a descriptor may name before the rest are left out.
constexpr size_t kMaxInputFields = 1024;

struct ReportDescriptorInfo {
    // Each: 1 byte for the report ID plus the bytes of the longest report of that kind; 0 when
    // the descriptor has no report of that kind.
    int inputReportLength = 0;
    int outputReportLength = 0;
    int featureReportLength = 0;
    // True when the input reports carry report IDs. The system hands such a report over with
    // its ID byte first and any other report without one.
    bool numberedInputReports = false;
    // (usage page, usage) of each top-level collection, in descriptor order.
    std::vector<std::pair<std::uint16_t, std::uint16_t>> topLevelCollections;
    // The input fields that tell which keys and buttons are held: keyboard-page and
    // button-page bits and keyboard-page arrays, in descriptor order.
    std::vector<InputBit> inputBits;
    std::vector<InputArray> inputArrays;
};

struct ReportDescriptorResult {
    ReportDescriptorInfo info;
    std::string error;  // empty when the descriptor was read

    [[nodiscard]] bool ok() const { return error.empty(); }
};

[[nodiscard]] ReportDescriptorResult ParseReportDescriptor(std::span<const std::uint8_t> descriptor);

// The caps the system would report: the lengths, and the usage of the first top-level
// collection (0/0 when there is none).
HidCaps CapsFromDescriptorInfo(const ReportDescriptorInfo& info);

}  // namespace treadle
