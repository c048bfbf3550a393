// The HID usage pages and usages the program reads, from the HID Usage Tables: what makes a
// top-level collection a keyboard or a mouse, and where keys and buttons sit in input reports.
// Every platform and parser takes them from here.
#pragma once

#include <cstdint>

namespace treadle::hid {

// Usage pages.
constexpr std::uint16_t kGenericDesktopPage = 0x01;
constexpr std::uint16_t kKeyboardPage = 0x07;  // keyboard and keypad keys
constexpr std::uint16_t kButtonPage = 0x09;

// Generic Desktop usages that name a top-level collection.
constexpr std::uint16_t kMouseUsage = 0x02;
constexpr std::uint16_t kKeyboardUsage = 0x06;
constexpr std::uint16_t kKeypadUsage = 0x07;

// Keyboard page usages: 1 to 3 report a fault (roll-over, POST fail, undefined), keys start
// at 4, and the eight modifiers are E0 (left Ctrl) to E7 (right GUI), one bit each in order.
constexpr std::uint16_t kFirstKeyUsage = 0x04;
constexpr std::uint16_t kFirstModifierUsage = 0xE0;
constexpr std::uint16_t kLastModifierUsage = 0xE7;

// What a top-level collection is to the system: a keyboard (or keypad) or a mouse it types
// and clicks with, or something else.
enum class CollectionKind { Other, Keyboard, Mouse };

constexpr CollectionKind KindOfCollection(std::uint16_t page, std::uint16_t usage) {
    if (page != kGenericDesktopPage) {
        return CollectionKind::Other;
    }
    if (usage == kKeyboardUsage || usage == kKeypadUsage) {
        return CollectionKind::Keyboard;
    }
    return usage == kMouseUsage ? CollectionKind::Mouse : CollectionKind::Other;
}

constexpr bool IsKeyboardOrMouse(std::uint16_t page, std::uint16_t usage) {
    return KindOfCollection(page, usage) != CollectionKind::Other;
}

}  // namespace treadle::hid
