// Watching the foot switch on Windows: Windows keeps keyboards and mice to itself, so their
// input comes through Raw Input. A message-only window registers for keyboards and mice with
// RIDEV_INPUTSINK (their input arrives whichever window has the focus); each WM_INPUT record
// is kept only when its device's name carries the foot switch's IDs.
//
// Every system call goes through Win32RawInputCalls, so the filtering and decoding are tested
// against synthesised records as well as against the system.
#pragma once

#include "device/hid_platform.h"
#include "device/raw_input.h"

// windows.h must come first.
// clang-format off
#include <windows.h>
// clang-format on
#undef interface

#include <map>
#include <memory>
#include <string>

namespace treadle {

class Win32RawInputCalls {
  public:
    virtual ~Win32RawInputCalls() = default;

    // RegisterClassExW and CreateWindowExW with HWND_MESSAGE as parent; null on failure.
    virtual HWND CreateMessageWindow() = 0;
    virtual BOOL DestroyMessageWindow(HWND window) = 0;
    virtual BOOL RegisterDevices(const RAWINPUTDEVICE* devices, UINT count) = 0;
    // MsgWaitForMultipleObjects on no handles, for any input: WAIT_OBJECT_0 when a message came.
    virtual DWORD WaitForMessage(DWORD milliseconds) = 0;
    // PeekMessageW with PM_REMOVE for the window.
    virtual BOOL PeekInput(HWND window, MSG& message) = 0;
    virtual UINT RawInputData(HRAWINPUT input, UINT command, void* data, UINT* size) = 0;
    virtual UINT RawInputDeviceName(HANDLE device, UINT command, void* data, UINT* size) = 0;
    virtual DWORD LastError() = 0;
    virtual std::string MessageText(DWORD code) = 0;
};

std::unique_ptr<Win32RawInputCalls> MakeSystemWin32RawInputCalls();

class RawInputWatch final : public InputWatch {
  public:
    RawInputWatch(std::unique_ptr<Win32RawInputCalls> calls, std::uint16_t vendorId, std::uint16_t productId);
    ~RawInputWatch() override;
    RawInputWatch(const RawInputWatch&) = delete;
    RawInputWatch& operator=(const RawInputWatch&) = delete;

    // Makes the window and registers it; false with a reason.
    [[nodiscard]] bool Start(std::string& error);

    [[nodiscard]] WatchRead Read(int timeoutMs) override;

  private:
    // The record of one WM_INPUT as an event; false for a record that cannot be read.
    bool Take(HRAWINPUT input, RawInputEvent& event);
    std::string DeviceName(HANDLE device);

    std::unique_ptr<Win32RawInputCalls> calls_;
    RawInputDecoder decoder_;
    HWND window_ = nullptr;
    std::map<HANDLE, std::string> names_;  // device names, asked once per device
};

}  // namespace treadle
