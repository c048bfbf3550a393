#include "device/input_report.h"

#include "device/hid_usages.h"

#include <algorithm>

namespace treadle {
namespace {

using hid::kFirstKeyUsage;
using hid::kFirstModifierUsage;
using hid::kKeyboardPage;
using hid::kLastModifierUsage;

// Reads `size` bits from `bitOffset` of the data, little-endian as HID packs them; false when
// the report is too short to hold them.
bool Bits(std::span<const std::uint8_t> data, std::uint64_t bitOffset, std::uint32_t size, std::uint32_t& out) {
    if (size == 0 || size > 32 || bitOffset + size > static_cast<std::uint64_t>(data.size()) * 8) {
        return false;
    }
    out = 0;
    for (std::uint32_t i = 0; i < size; ++i) {
        const std::uint64_t bit = bitOffset + i;
        if ((data[static_cast<size_t>(bit / 8)] >> (bit % 8)) & 1) {
            out |= std::uint32_t{1} << i;
        }
    }
    return true;
}

void AddKey(InputState& state, std::uint32_t usage) {
    if (usage >= kFirstModifierUsage && usage <= kLastModifierUsage) {
        state.modifiers = static_cast<std::uint8_t>(state.modifiers | (1u << (usage - kFirstModifierUsage)));
        return;
    }
    if (usage < kFirstKeyUsage || usage > 0xFF) {
        return;
    }
    const auto key = static_cast<std::uint8_t>(usage);
    if (std::find(state.keys.begin(), state.keys.end(), key) == state.keys.end()) {
        state.keys.push_back(key);
    }
}

}  // namespace

DecodedReport DecodeInputReport(const ReportDescriptorInfo& info, std::span<const std::uint8_t> report) {
    DecodedReport decoded;
    if (report.empty()) {
        return decoded;
    }
    const std::uint8_t id = report[0];
    const std::span<const std::uint8_t> data = report.subspan(1);
    for (const InputBit& b : info.inputBits) {
        if (b.reportId != id) {
            continue;
        }
        decoded.known = true;
        std::uint32_t value = 0;
        if (!Bits(data, b.bitOffset, 1, value) || value == 0) {
            continue;
        }
        if (b.usagePage == kKeyboardPage) {
            AddKey(decoded.state, b.usage);
        } else if (b.usage >= 1 && b.usage <= 32) {
            decoded.state.buttons |= std::uint32_t{1} << (b.usage - 1);
        }
    }
    for (const InputArray& a : info.inputArrays) {
        if (a.reportId != id) {
            continue;
        }
        decoded.known = true;
        for (std::uint32_t i = 0; i < a.count; ++i) {
            std::uint32_t value = 0;
            if (!Bits(data, static_cast<std::uint64_t>(a.bitOffset) + std::uint64_t{i} * a.size, a.size, value)) {
                break;
            }
            const std::int64_t index = static_cast<std::int64_t>(value) - a.logicalMinimum;
            if (index < 0) {
                continue;
            }
            const std::int64_t usage = index + a.usageMinimum;
            if (usage > 0 && usage <= 0xFFFF) {
                AddKey(decoded.state, static_cast<std::uint32_t>(usage));
            }
        }
    }
    return decoded;
}

std::vector<PedalPress> PressDetector::Next(const InputState& state) {
    std::vector<PedalPress> presses;
    for (std::uint8_t key : state.keys) {
        if (std::find(last_.keys.begin(), last_.keys.end(), key) == last_.keys.end()) {
            presses.push_back({false, state.modifiers, key, 0});
        }
    }
    for (int bit = 0; bit < 32; ++bit) {
        const std::uint32_t mask = std::uint32_t{1} << bit;
        if ((state.buttons & mask) != 0 && (last_.buttons & mask) == 0) {
            presses.push_back({true, 0, 0, static_cast<int>(mask)});
        }
    }
    if (!state.keys.empty()) {
        lonelyModifiers_ = 0;  // the modifiers went with a key
    } else if (last_.keys.empty()) {
        lonelyModifiers_ = static_cast<std::uint8_t>(lonelyModifiers_ | (state.modifiers & ~last_.modifiers));
    }
    if (state.modifiers == 0 && state.keys.empty() && lonelyModifiers_ != 0) {
        presses.push_back({false, lonelyModifiers_, 0, 0});
        lonelyModifiers_ = 0;
    }
    last_ = state;
    return presses;
}

}  // namespace treadle
