// The Raw Input watch against synthesised WM_INPUT records, and against the system under Wine.
#include "assignment/press_line.h"
#include "device/windows_raw_input.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace treadle::testing {
namespace {

const wchar_t* kFootKeyboard =
    L"\\\\?\\HID#VID_2704&PID_2018&MI_00#8&1a2b3c4d&0&0000#{884b96c3-56ef-11d1-bc8c-00a0c91405dd}";
const wchar_t* kFootMouse =
    L"\\\\?\\HID#VID_2704&PID_2018&MI_01#8&2b3c4d5e&0&0000#{378de44c-56ef-11d1-bc8c-00a0c91405dd}";
const wchar_t* kOtherKeyboard = L"\\\\?\\HID#VID_046D&PID_C31C&MI_00#7&1&0&0000#{884b96c3-56ef-11d1-bc8c-00a0c91405dd}";

// Plays WM_INPUT messages whose records and device names the test gives.
class FakeRawInputCalls final : public Win32RawInputCalls {
  public:
    std::map<HANDLE, std::wstring> names;
    std::deque<RAWINPUT> inputs;  // each becomes one WM_INPUT
    bool registerFails = false;
    // Another keyboard that never stops typing: a message is always waiting.
    bool flood = false;
    int peeked = 0;
    // What the watch did.
    std::vector<RAWINPUTDEVICE> registered;
    std::map<HANDLE, int> nameQueries;
    int windowsMade = 0;
    int windowsDestroyed = 0;
    int waits = 0;

    static HANDLE Device(int n) { return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x100 + n)); }

    void Key(HANDLE device, USHORT makeCode, USHORT flags, USHORT vkey = 0x41) {
        RAWINPUT r{};
        r.header.dwType = RIM_TYPEKEYBOARD;
        r.header.dwSize = sizeof(RAWINPUTHEADER) + sizeof(RAWKEYBOARD);
        r.header.hDevice = device;
        r.data.keyboard.MakeCode = makeCode;
        r.data.keyboard.Flags = flags;
        r.data.keyboard.VKey = vkey;
        r.data.keyboard.Message = (flags & RI_KEY_BREAK) != 0 ? WM_KEYUP : WM_KEYDOWN;
        inputs.push_back(r);
    }
    void Buttons(HANDLE device, USHORT flags) {
        RAWINPUT r{};
        r.header.dwType = RIM_TYPEMOUSE;
        r.header.dwSize = sizeof(RAWINPUTHEADER) + sizeof(RAWMOUSE);
        r.header.hDevice = device;
        r.data.mouse.usButtonFlags = flags;
        inputs.push_back(r);
    }

    HWND CreateMessageWindow() override {
        ++windowsMade;
        return reinterpret_cast<HWND>(0x77);
    }
    BOOL DestroyMessageWindow(HWND window) override {
        EXPECT_EQ(window, reinterpret_cast<HWND>(0x77));
        ++windowsDestroyed;
        return TRUE;
    }
    BOOL RegisterDevices(const RAWINPUTDEVICE* devices, UINT count) override {
        registered.insert(registered.end(), devices, devices + count);
        return registerFails ? FALSE : TRUE;
    }
    DWORD WaitForMessage(DWORD) override {
        ++waits;
        return WAIT_TIMEOUT;
    }
    BOOL PeekInput(HWND window, MSG& message) override {
        EXPECT_EQ(window, reinterpret_cast<HWND>(0x77));
        if (inputs.empty() && flood) {
            Key(Device(9), 0x1E, taken_.size() % 2 == 0 ? 0 : RI_KEY_BREAK);
        }
        if (inputs.empty()) {
            return FALSE;
        }
        ++peeked;
        taken_.push_back(inputs.front());
        inputs.pop_front();
        message = MSG{};
        message.message = WM_INPUT;
        message.lParam = static_cast<LPARAM>(taken_.size());  // the record's number, from 1
        return TRUE;
    }
    UINT RawInputData(HRAWINPUT input, UINT command, void* data, UINT* size) override {
        EXPECT_EQ(command, static_cast<UINT>(RID_INPUT));
        const size_t n = reinterpret_cast<std::uintptr_t>(input);
        if (n == 0 || n > taken_.size()) {
            return static_cast<UINT>(-1);
        }
        const RAWINPUT& r = taken_[n - 1];
        if (data == nullptr) {
            *size = r.header.dwSize;
            return 0;
        }
        if (*size < r.header.dwSize) {
            return static_cast<UINT>(-1);
        }
        std::memcpy(data, &r, r.header.dwSize);
        return r.header.dwSize;
    }
    UINT RawInputDeviceName(HANDLE device, UINT command, void* data, UINT* size) override {
        EXPECT_EQ(command, static_cast<UINT>(RIDI_DEVICENAME));
        ++nameQueries[device];
        const auto it = names.find(device);
        if (it == names.end()) {
            return static_cast<UINT>(-1);
        }
        const UINT characters = static_cast<UINT>(it->second.size() + 1);
        if (data == nullptr) {
            *size = characters;
            return 0;
        }
        if (*size < characters) {
            *size = characters;
            return static_cast<UINT>(-1);
        }
        std::memcpy(data, it->second.c_str(), characters * sizeof(wchar_t));
        return characters;
    }
    DWORD LastError() override { return 5; }
    std::string MessageText(DWORD code) override { return code == 5 ? "Access is denied." : "error"; }

  private:
    std::vector<RAWINPUT> taken_;  // the records of the messages handed out, by their number
};

std::vector<std::string> Lines(const WatchRead& read) {
    std::vector<std::string> lines;
    for (const WatchedPress& p : read.presses) {
        lines.push_back(PressText(p.press));
    }
    return lines;
}

TEST(RawInputWatch, RegistersKeyboardsAndMiceAsASinkOfItsMessageWindow) {
    auto calls = std::make_unique<FakeRawInputCalls>();
    FakeRawInputCalls& fake = *calls;
    {
        RawInputWatch watch(std::move(calls), 0x2704, 0x2018);
        std::string error;
        ASSERT_TRUE(watch.Start(error)) << error;
        ASSERT_EQ(fake.registered.size(), 2u);
        for (const RAWINPUTDEVICE& d : fake.registered) {
            EXPECT_EQ(d.usUsagePage, 0x01);
            EXPECT_EQ(d.dwFlags, static_cast<DWORD>(RIDEV_INPUTSINK));
            EXPECT_EQ(d.hwndTarget, reinterpret_cast<HWND>(0x77));
        }
        EXPECT_EQ(fake.registered[0].usUsage, 0x06);
        EXPECT_EQ(fake.registered[1].usUsage, 0x02);
    }
    // Gone with the watch: the registrations, then the window.
    ASSERT_EQ(fake.registered.size(), 4u);
    EXPECT_EQ(fake.registered[2].dwFlags, static_cast<DWORD>(RIDEV_REMOVE));
    EXPECT_EQ(fake.registered[2].hwndTarget, nullptr);
    EXPECT_EQ(fake.windowsDestroyed, 1);
}

TEST(RawInputWatch, ARefusedRegistrationIsReportedAndLeavesNoWindow) {
    auto calls = std::make_unique<FakeRawInputCalls>();
    calls->registerFails = true;
    FakeRawInputCalls& fake = *calls;
    RawInputWatch watch(std::move(calls), 0x2704, 0x2018);
    std::string error;
    EXPECT_FALSE(watch.Start(error));
    EXPECT_EQ(error, "cannot register for the raw input of keyboards and mice: Access is denied.");
    EXPECT_EQ(fake.windowsDestroyed, 1);
}

TEST(RawInputWatch, TurnsTheFootSwitchsRecordsIntoPressesAndDropsOtherDevices) {
    auto calls = std::make_unique<FakeRawInputCalls>();
    FakeRawInputCalls& fake = *calls;
    const HANDLE keyboard = FakeRawInputCalls::Device(1);
    const HANDLE mouse = FakeRawInputCalls::Device(2);
    const HANDLE other = FakeRawInputCalls::Device(3);
    const HANDLE nameless = FakeRawInputCalls::Device(4);
    fake.names = {{keyboard, kFootKeyboard}, {mouse, kFootMouse}, {other, kOtherKeyboard}};
    RawInputWatch watch(std::move(calls), 0x2704, 0x2018);
    std::string error;
    ASSERT_TRUE(watch.Start(error)) << error;

    fake.Key(keyboard, 0x1D, 0);             // left Ctrl down
    fake.Key(other, 0x1E, 0);                // the user's own A: never shown
    fake.Key(keyboard, 0x3B, 0);             // F1 down
    fake.Key(keyboard, 0x3B, RI_KEY_BREAK);  // F1 up
    fake.Key(keyboard, 0x1D, RI_KEY_BREAK);
    fake.Key(nameless, 0x1F, 0);  // a device without a name: never shown
    fake.Buttons(mouse, RI_MOUSE_LEFT_BUTTON_DOWN);
    fake.Buttons(mouse, RI_MOUSE_LEFT_BUTTON_UP);
    fake.Buttons(other, RI_MOUSE_RIGHT_BUTTON_DOWN);
    const WatchRead read = watch.Read(0);
    EXPECT_EQ(Lines(read), (std::vector<std::string>{"ctrl+f1", "mouse-left"}));
    ASSERT_EQ(read.presses.size(), 2u);
    EXPECT_EQ(read.presses[0].interfacePath.rfind(R"(\\?\HID#VID_2704&PID_2018&MI_00#)", 0), 0u)
        << read.presses[0].interfacePath;
    EXPECT_EQ(read.presses[1].interfacePath.rfind(R"(\\?\HID#VID_2704&PID_2018&MI_01#)", 0), 0u)
        << read.presses[1].interfacePath;
    EXPECT_EQ(fake.nameQueries[keyboard], 2) << "the name is asked once per device: its size, then itself";
    EXPECT_FALSE(read.ended);

    // Nothing waiting: a read with a time-out waits for messages and comes back empty.
    EXPECT_TRUE(watch.Read(20).presses.empty());
    EXPECT_GE(fake.waits, 1);
}

// A flood of input once kept a read taking messages for ever.
TEST(RawInputWatch, AReadReturnsFromAFloodOfMessages) {
    auto calls = std::make_unique<FakeRawInputCalls>();
    FakeRawInputCalls& fake = *calls;
    fake.names = {{FakeRawInputCalls::Device(9), kOtherKeyboard}};
    fake.flood = true;
    RawInputWatch watch(std::move(calls), 0x2704, 0x2018);
    std::string error;
    ASSERT_TRUE(watch.Start(error)) << error;
    const WatchRead read = watch.Read(0);
    EXPECT_TRUE(read.presses.empty());
    EXPECT_EQ(fake.peeked, kMaxReportsPerWatchRead);
    const WatchRead later = watch.Read(30);  // waits its time, then returns
    EXPECT_TRUE(later.presses.empty());
    EXPECT_FALSE(later.ended);
}

// Under Wine (or Windows) the real calls make the window and register; no foot switch types.
TEST(RawInputWatch, TheSystemTakesTheRegistration) {
    auto platform = MakeSystemHidPlatform();
    WatchStart started = platform->WatchInput(0x2704, 0x2018);
    ASSERT_TRUE(started.ok()) << started.error;
    const WatchRead read = started.watch->Read(50);
    EXPECT_TRUE(read.presses.empty());
    EXPECT_FALSE(read.ended) << read.error;
}

}  // namespace
}  // namespace treadle::testing
