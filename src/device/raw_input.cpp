#include "device/raw_input.h"

#include "device/hid_usages.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace treadle {
namespace {

constexpr int kPauseUsage = 0x48;

// Scan codes (set 1) without prefix, from 0x00 to 0x7F, to HID keyboard usages.
constexpr std::array<std::uint8_t, 0x80> kPlain = [] {
    std::array<std::uint8_t, 0x80> t{};
    const std::pair<int, int> codes[] = {
        {0x01, 0x29}, {0x02, 0x1E}, {0x03, 0x1F}, {0x04, 0x20}, {0x05, 0x21}, {0x06, 0x22}, {0x07, 0x23}, {0x08, 0x24},
        {0x09, 0x25}, {0x0A, 0x26}, {0x0B, 0x27}, {0x0C, 0x2D}, {0x0D, 0x2E}, {0x0E, 0x2A}, {0x0F, 0x2B}, {0x10, 0x14},
        {0x11, 0x1A}, {0x12, 0x08}, {0x13, 0x15}, {0x14, 0x17}, {0x15, 0x1C}, {0x16, 0x18}, {0x17, 0x0C}, {0x18, 0x12},
        {0x19, 0x13}, {0x1A, 0x2F}, {0x1B, 0x30}, {0x1C, 0x28}, {0x1D, 0xE0}, {0x1E, 0x04}, {0x1F, 0x16}, {0x20, 0x07},
        {0x21, 0x09}, {0x22, 0x0A}, {0x23, 0x0B}, {0x24, 0x0D}, {0x25, 0x0E}, {0x26, 0x0F}, {0x27, 0x33}, {0x28, 0x34},
        {0x29, 0x35}, {0x2A, 0xE1}, {0x2B, 0x31}, {0x2C, 0x1D}, {0x2D, 0x1B}, {0x2E, 0x06}, {0x2F, 0x19}, {0x30, 0x05},
        {0x31, 0x11}, {0x32, 0x10}, {0x33, 0x36}, {0x34, 0x37}, {0x35, 0x38}, {0x36, 0xE5}, {0x37, 0x55}, {0x38, 0xE2},
        {0x39, 0x2C}, {0x3A, 0x39}, {0x3B, 0x3A}, {0x3C, 0x3B}, {0x3D, 0x3C}, {0x3E, 0x3D}, {0x3F, 0x3E}, {0x40, 0x3F},
        {0x41, 0x40}, {0x42, 0x41}, {0x43, 0x42}, {0x44, 0x43}, {0x45, 0x53}, {0x46, 0x47}, {0x47, 0x5F}, {0x48, 0x60},
        {0x49, 0x61}, {0x4A, 0x56}, {0x4B, 0x5C}, {0x4C, 0x5D}, {0x4D, 0x5E}, {0x4E, 0x57}, {0x4F, 0x59}, {0x50, 0x5A},
        {0x51, 0x5B}, {0x52, 0x62}, {0x53, 0x63}, {0x56, 0x64}, {0x57, 0x44}, {0x58, 0x45}, {0x59, 0x67}, {0x64, 0x68},
        {0x65, 0x69}, {0x66, 0x6A}, {0x67, 0x6B}, {0x68, 0x6C}, {0x69, 0x6D}, {0x6A, 0x6E}, {0x6B, 0x6F}, {0x6C, 0x70},
        {0x6D, 0x71}, {0x6E, 0x72}, {0x70, 0x88}, {0x73, 0x87}, {0x76, 0x73}, {0x79, 0x8A}, {0x7B, 0x8B}, {0x7D, 0x89},
        {0x7E, 0x85},
    };
    for (const auto& [code, usage] : codes) {
        t[static_cast<size_t>(code)] = static_cast<std::uint8_t>(usage);
    }
    return t;
}();

// Scan codes with the E0 prefix.
constexpr std::pair<int, int> kExtended[] = {
    {0x1C, 0x58}, {0x1D, 0xE4}, {0x35, 0x54}, {0x37, 0x46}, {0x38, 0xE6}, {0x47, 0x4A}, {0x48, 0x52},
    {0x49, 0x4B}, {0x4B, 0x50}, {0x4D, 0x4F}, {0x4F, 0x4D}, {0x50, 0x51}, {0x51, 0x4E}, {0x52, 0x49},
    {0x53, 0x4C}, {0x5B, 0xE3}, {0x5C, 0xE7}, {0x5D, 0x65}, {0x5E, 0x66}, {0x46, 0x48},
};

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (Upper(c) >= 'A' && Upper(c) <= 'F'); }

// True when `token` ("VID_2704") stands in the name, not followed by a further hex digit.
bool HasToken(const std::string& upperName, const std::string& token) {
    for (size_t at = upperName.find(token); at != std::string::npos; at = upperName.find(token, at + 1)) {
        const size_t end = at + token.size();
        if (end == upperName.size() || !IsHexDigit(upperName[end])) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool DeviceNameHasIds(std::string_view name, std::uint16_t vendorId, std::uint16_t productId) {
    std::string upper(name);
    std::transform(upper.begin(), upper.end(), upper.begin(), Upper);
    char vid[16];
    char pid[16];
    std::snprintf(vid, sizeof vid, "VID_%04X", vendorId);
    std::snprintf(pid, sizeof pid, "PID_%04X", productId);
    return HasToken(upper, vid) && HasToken(upper, pid);
}

int UsageOfScanCode(std::uint16_t makeCode, bool e0) {
    if (!e0) {
        return makeCode < kPlain.size() ? kPlain[makeCode] : 0;
    }
    for (const auto& [code, usage] : kExtended) {
        if (code == makeCode) {
            return usage;
        }
    }
    return 0;
}

std::vector<WatchedPress> RawInputDecoder::Feed(const RawInputEvent& event) {
    if (!DeviceNameHasIds(event.device, vendorId_, productId_)) {
        return {};
    }
    Device& device = devices_[event.device];
    std::vector<WatchedPress> presses;
    auto step = [&](const InputState& state) {
        device.state = state;
        for (const PedalPress& press : device.detector.Next(state)) {
            presses.push_back({event.device, press});
        }
    };
    InputState state = device.state;
    if (event.type == RawInputEvent::Type::Mouse) {
        // Windows' buttons 1 to 5 (left, right, middle, 4, 5): down and up flags in pairs. One
        // event may hold a button's down and its up: the downs go first, each makes its press.
        for (int button = 0; button < 5; ++button) {
            if ((event.buttonFlags & (1u << (2 * button))) != 0) {
                state.buttons |= std::uint32_t{1} << button;
            }
        }
        step(state);
        for (int button = 0; button < 5; ++button) {
            if ((event.buttonFlags & (2u << (2 * button))) != 0) {
                state.buttons &= ~(std::uint32_t{1} << button);
            }
        }
        step(state);
        return presses;
    }
    if (event.virtualKey == raw_input::kFakeKey) {
        return {};
    }
    int usage = 0;
    if ((event.keyFlags & raw_input::kKeyE1) != 0) {
        usage = event.makeCode == 0x1D ? kPauseUsage : 0;
        device.pauseTail = usage != 0;
    } else if (device.pauseTail && event.makeCode == 0x45) {
        device.pauseTail = false;
        return {};
    } else {
        usage = UsageOfScanCode(event.makeCode, (event.keyFlags & raw_input::kKeyE0) != 0);
    }
    if (usage == 0) {
        return {};
    }
    const bool up = (event.keyFlags & raw_input::kKeyBreak) != 0;
    if (usage >= hid::kFirstModifierUsage && usage <= hid::kLastModifierUsage) {
        const auto bit = static_cast<std::uint8_t>(1u << (usage - hid::kFirstModifierUsage));
        state.modifiers = static_cast<std::uint8_t>(up ? state.modifiers & ~bit : state.modifiers | bit);
    } else {
        const auto key = static_cast<std::uint8_t>(usage);
        const auto held = std::find(state.keys.begin(), state.keys.end(), key);
        if (up && held != state.keys.end()) {
            state.keys.erase(held);
        } else if (!up && held == state.keys.end()) {
            state.keys.push_back(key);
        }
    }
    step(state);
    return presses;
}

}  // namespace treadle
