// Raw Input on a message-only window; see windows_raw_input.h.
#include "device/windows_raw_input.h"

#include "device/hid_usages.h"
#include "text/utf16.h"

#include <chrono>
#include <vector>

namespace treadle {
namespace {

constexpr wchar_t kClassName[] = L"TreadleRawInputSink";

class SystemWin32RawInputCalls final : public Win32RawInputCalls {
  public:
    HWND CreateMessageWindow() override {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClassName;
        RegisterClassExW(&windowClass);  // fails harmlessly when the class exists already
        return CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance,
                               nullptr);
    }
    BOOL DestroyMessageWindow(HWND window) override { return ::DestroyWindow(window); }
    BOOL RegisterDevices(const RAWINPUTDEVICE* devices, UINT count) override {
        return ::RegisterRawInputDevices(devices, count, sizeof(RAWINPUTDEVICE));
    }
    DWORD WaitForMessage(DWORD milliseconds) override {
        return MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_ALLINPUT);
    }
    BOOL PeekInput(HWND window, MSG& message) override { return PeekMessageW(&message, window, 0, 0, PM_REMOVE); }
    UINT RawInputData(HRAWINPUT input, UINT command, void* data, UINT* size) override {
        return ::GetRawInputData(input, command, data, size, sizeof(RAWINPUTHEADER));
    }
    UINT RawInputDeviceName(HANDLE device, UINT command, void* data, UINT* size) override {
        return GetRawInputDeviceInfoW(device, command, data, size);
    }
    DWORD LastError() override { return GetLastError(); }
    std::string MessageText(DWORD code) override {
        char* text = nullptr;
        const DWORD n =
            FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
        std::string message = n > 0 && text != nullptr ? std::string(text, n) : std::string();
        LocalFree(text);
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
            message.pop_back();
        }
        return message.empty() ? "error " + std::to_string(code) : message;
    }
};

}  // namespace

std::unique_ptr<Win32RawInputCalls> MakeSystemWin32RawInputCalls() {
    return std::make_unique<SystemWin32RawInputCalls>();
}

RawInputWatch::RawInputWatch(std::unique_ptr<Win32RawInputCalls> calls, std::uint16_t vendorId, std::uint16_t productId)
    : calls_(std::move(calls)), decoder_(vendorId, productId) {}

RawInputWatch::~RawInputWatch() {
    if (window_ != nullptr) {
        // Registrations end with their window's thread or a RIDEV_REMOVE; the window goes first.
        RAWINPUTDEVICE devices[2] = {{hid::kGenericDesktopPage, hid::kKeyboardUsage, RIDEV_REMOVE, nullptr},
                                     {hid::kGenericDesktopPage, hid::kMouseUsage, RIDEV_REMOVE, nullptr}};
        calls_->RegisterDevices(devices, 2);
        calls_->DestroyMessageWindow(window_);
    }
}

bool RawInputWatch::Start(std::string& error) {
    window_ = calls_->CreateMessageWindow();
    if (window_ == nullptr) {
        error = "cannot make the window that receives raw input: " + calls_->MessageText(calls_->LastError());
        return false;
    }
    RAWINPUTDEVICE devices[2] = {{hid::kGenericDesktopPage, hid::kKeyboardUsage, RIDEV_INPUTSINK, window_},
                                 {hid::kGenericDesktopPage, hid::kMouseUsage, RIDEV_INPUTSINK, window_}};
    if (!calls_->RegisterDevices(devices, 2)) {
        error = "cannot register for the raw input of keyboards and mice: " + calls_->MessageText(calls_->LastError());
        calls_->DestroyMessageWindow(window_);
        window_ = nullptr;
        return false;
    }
    return true;
}

std::string RawInputWatch::DeviceName(HANDLE device) {
    if (const auto it = names_.find(device); it != names_.end()) {
        return it->second;
    }
    UINT characters = 0;
    std::string name;
    if (calls_->RawInputDeviceName(device, RIDI_DEVICENAME, nullptr, &characters) == 0 && characters > 0 &&
        characters < 4096) {
        std::vector<wchar_t> buffer(characters + 1, L'\0');
        UINT size = characters;
        if (calls_->RawInputDeviceName(device, RIDI_DEVICENAME, buffer.data(), &size) != static_cast<UINT>(-1)) {
            buffer[characters] = L'\0';
            const std::wstring wide(buffer.data());
            name = Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
        }
    }
    // A device without a name (input the system made up) is kept as such: it never matches.
    names_[device] = name;
    return name;
}

bool RawInputWatch::Take(HRAWINPUT input, RawInputEvent& event) {
    UINT size = 0;
    if (calls_->RawInputData(input, RID_INPUT, nullptr, &size) != 0 || size < sizeof(RAWINPUTHEADER) || size > 65536) {
        return false;
    }
    // RAWINPUT holds pointers; keep the record aligned for them.
    std::vector<std::uint64_t> storage((size + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t), 0);
    UINT got = size;
    if (calls_->RawInputData(input, RID_INPUT, storage.data(), &got) != size) {
        return false;
    }
    const auto* record = reinterpret_cast<const RAWINPUT*>(storage.data());
    const UINT bodySize = size - sizeof(RAWINPUTHEADER);
    if (record->header.dwType == RIM_TYPEKEYBOARD && bodySize >= sizeof(RAWKEYBOARD)) {
        event.type = RawInputEvent::Type::Keyboard;
        event.makeCode = record->data.keyboard.MakeCode;
        event.keyFlags = record->data.keyboard.Flags;
        event.virtualKey = record->data.keyboard.VKey;
    } else if (record->header.dwType == RIM_TYPEMOUSE && bodySize >= sizeof(RAWMOUSE)) {
        event.type = RawInputEvent::Type::Mouse;
        event.buttonFlags = record->data.mouse.usButtonFlags;
    } else {
        return false;
    }
    event.device = DeviceName(record->header.hDevice);
    return true;
}

WatchRead RawInputWatch::Read(int timeoutMs) {
    WatchRead result;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        MSG message{};
        // A bounded number of messages per read, so that a flood of input still lets it return.
        for (int taken = 0; taken < kMaxReportsPerWatchRead && calls_->PeekInput(window_, message); ++taken) {
            if (message.message != WM_INPUT) {
                continue;
            }
            RawInputEvent event;
            if (Take(reinterpret_cast<HRAWINPUT>(message.lParam), event)) {
                for (WatchedPress& press : decoder_.Feed(event)) {
                    result.presses.push_back(std::move(press));
                }
            }
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (!result.presses.empty() || left <= 0) {
            return result;
        }
        if (calls_->WaitForMessage(static_cast<DWORD>(left)) == WAIT_FAILED) {
            result.ended = true;
            result.error = "waiting for input failed: " + calls_->MessageText(calls_->LastError());
            return result;
        }
    }
}

}  // namespace treadle
