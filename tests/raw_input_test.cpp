// Raw Input's key and button events turned into presses, and the device filter.
#include "device/raw_input.h"

#include "assignment/press_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace treadle {
namespace {

const char* kFootKeyboard =
    "\\\\?\\HID#VID_2704&PID_2018&MI_00#8&1a2b3c4d&0&0000#{884b96c3-56ef-11d1-bc8c-00a0c91405dd}";
const char* kFootMouse = "\\\\?\\hid#vid_2704&pid_2018&mi_01#8&2b3c4d5e&0&0000#{378de44c-56ef-11d1-bc8c-00a0c91405dd}";
const char* kOtherKeyboard = "\\\\?\\HID#VID_046D&PID_C31C&MI_00#7&1&0&0000#{884b96c3-56ef-11d1-bc8c-00a0c91405dd}";

RawInputEvent Key(const char* device, std::uint16_t makeCode, std::uint16_t flags, std::uint16_t vkey = 0x41) {
    RawInputEvent e;
    e.type = RawInputEvent::Type::Keyboard;
    e.device = device;
    e.makeCode = makeCode;
    e.keyFlags = flags;
    e.virtualKey = vkey;
    return e;
}

RawInputEvent Mouse(const char* device, std::uint16_t buttonFlags) {
    RawInputEvent e;
    e.type = RawInputEvent::Type::Mouse;
    e.device = device;
    e.buttonFlags = buttonFlags;
    return e;
}

std::vector<std::string> Feed(RawInputDecoder& decoder, const std::vector<RawInputEvent>& events) {
    std::vector<std::string> lines;
    for (const RawInputEvent& e : events) {
        for (const WatchedPress& p : decoder.Feed(e)) {
            lines.push_back(PressText(p.press));
        }
    }
    return lines;
}

TEST(RawInput, KeepsOnlyDevicesWhoseNameCarriesTheIds) {
    EXPECT_TRUE(DeviceNameHasIds(kFootKeyboard, 0x2704, 0x2018));
    EXPECT_TRUE(DeviceNameHasIds(kFootMouse, 0x2704, 0x2018));
    EXPECT_FALSE(DeviceNameHasIds(kOtherKeyboard, 0x2704, 0x2018));
    EXPECT_FALSE(DeviceNameHasIds("\\\\?\\HID#VID_27041&PID_2018", 0x2704, 0x2018));
    EXPECT_FALSE(DeviceNameHasIds("\\\\?\\HID#VID_2704&PID_20189", 0x2704, 0x2018));
    EXPECT_FALSE(DeviceNameHasIds("", 0x2704, 0x2018));
    EXPECT_TRUE(DeviceNameHasIds("\\\\?\\HID#VID_00AB&PID_0001", 0xAB, 0x1));
}

TEST(RawInput, ScanCodesGiveTheUsagesTheDeviceSent) {
    struct Case {
        std::uint16_t makeCode;
        bool e0;
        int usage;
    };
    const Case cases[] = {
        {0x1E, false, 0x04},  // a
        {0x3B, false, 0x3A},  // F1
        {0x58, false, 0x45},  // F12
        {0x64, false, 0x68},  // F13
        {0x76, false, 0x73},  // F24
        {0x1D, false, 0xE0},  // left Ctrl
        {0x1D, true, 0xE4},   // right Ctrl
        {0x1C, false, 0x28},  // Enter
        {0x1C, true, 0x58},   // keypad Enter
        {0x5C, true, 0xE7},   // right Win
        {0x52, false, 0x62},  // keypad 0
        {0x52, true, 0x49},   // Insert
        {0x7F, false, 0},    {0x10, true, 0}, {0x1234, false, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UsageOfScanCode(c.makeCode, c.e0), c.usage) << std::hex << c.makeCode << " e0 " << c.e0;
    }
}

TEST(RawInput, KeyAndButtonEventsMakeThePressesOfTheFootSwitchOnly) {
    using namespace raw_input;
    RawInputDecoder decoder(0x2704, 0x2018);
    const std::vector<RawInputEvent> events = {
        // Ctrl+F1 from the foot switch, with a key of the user's own keyboard in between.
        Key(kFootKeyboard, 0x1D, 0),
        Key(kOtherKeyboard, 0x1E, 0),
        Key(kFootKeyboard, 0x3B, 0),
        Key(kFootKeyboard, 0x3B, kKeyBreak),
        Key(kFootKeyboard, 0x1D, kKeyBreak),
        Key(kOtherKeyboard, 0x1E, kKeyBreak),
        // Right Ctrl + right Win + keypad Enter, with the fake shift the driver adds.
        Key(kFootKeyboard, 0x1D, kKeyE0),
        Key(kFootKeyboard, 0x5C, kKeyE0),
        Key(kFootKeyboard, 0x2A, kKeyE0, kFakeKey),
        Key(kFootKeyboard, 0x1C, kKeyE0),
        Key(kFootKeyboard, 0x1C, kKeyE0 | kKeyBreak),
        Key(kFootKeyboard, 0x5C, kKeyE0 | kKeyBreak),
        Key(kFootKeyboard, 0x1D, kKeyE0 | kKeyBreak),
        // Pause: E1 1D, then 45, which is not Num Lock.
        Key(kFootKeyboard, 0x1D, kKeyE1),
        Key(kFootKeyboard, 0x45, 0),
        Key(kFootKeyboard, 0x1D, kKeyE1 | kKeyBreak),
        Key(kFootKeyboard, 0x45, kKeyBreak),
        // A held key repeats its down event: one press.
        Key(kFootKeyboard, 0x64, 0),
        Key(kFootKeyboard, 0x64, 0),
        Key(kFootKeyboard, 0x64, kKeyBreak),
        // Clicks: left down and up in one event, then middle, then the other mouse's right.
        Mouse(kFootMouse, 0x0001 | 0x0002),
        Mouse(kFootMouse, 0x0010),
        Mouse(kFootMouse, 0x0020),
        Mouse(kOtherKeyboard, 0x0004),
        Mouse(kFootMouse, 0x0004),
        Mouse(kFootMouse, 0x0008),
    };
    EXPECT_EQ(Feed(decoder, events), (std::vector<std::string>{"ctrl+f1", "rctrl+rwin+kp-enter", "pause", "f13",
                                                               "mouse-left", "mouse-middle", "mouse-right"}));
}

}  // namespace
}  // namespace treadle
