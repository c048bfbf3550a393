// The Windows HID layer: SetupAPI finds the HID interfaces, hid.dll tells their IDs and
// report lengths, and overlapped file I/O with bounded waits writes and reads reports.
//
// Every system call goes through Win32HidCalls, so the layer's own logic (the end of the
// enumeration, the detail-data record, which failures mean what, the time-outs) is tested
// against a fake of the calls as well as against the HID devices that Wine presents.
#pragma once

#include "device/handle_table.h"
#include "device/hid_platform.h"

// windows.h must come first.
// clang-format off
#include <windows.h>
#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}
// clang-format on
// The COM headers make `interface` a keyword-like macro; the core uses it as a plain name.
#undef interface

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace treadle {

// The system calls the layer makes, one method per call, with the system's arguments. The
// real one forwards to the system; LastError() is GetLastError() of the call before.
class Win32HidCalls {
  public:
    virtual ~Win32HidCalls() = default;

    virtual void HidGuid(GUID& guid) = 0;
    virtual HDEVINFO GetClassDevs(const GUID& guid, DWORD flags) = 0;
    virtual BOOL EnumDeviceInterfaces(HDEVINFO set, const GUID& guid, DWORD index, SP_DEVICE_INTERFACE_DATA& data) = 0;
    virtual BOOL GetDeviceInterfaceDetail(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& data,
                                          SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD size, DWORD* required) = 0;
    virtual BOOL DestroyDeviceInfoList(HDEVINFO set) = 0;

    virtual HANDLE OpenPath(const char* path, DWORD access, DWORD share, DWORD flags) = 0;
    virtual BOOL CloseHandle(HANDLE handle) = 0;
    virtual BOOL GetAttributes(HANDLE file, HIDD_ATTRIBUTES& attributes) = 0;
    virtual BOOL GetPreparsedData(HANDLE file, PHIDP_PREPARSED_DATA& data) = 0;
    virtual NTSTATUS GetCaps(PHIDP_PREPARSED_DATA data, HIDP_CAPS& caps) = 0;
    virtual BOOL FreePreparsedData(PHIDP_PREPARSED_DATA data) = 0;

    virtual HANDLE NewEvent(BOOL manualReset, BOOL initialState) = 0;
    virtual BOOL ResetEvent(HANDLE event) = 0;
    virtual BOOL WriteFile(HANDLE file, const void* data, DWORD size, DWORD* written, OVERLAPPED* overlapped) = 0;
    virtual BOOL ReadFile(HANDLE file, void* data, DWORD size, DWORD* read, OVERLAPPED* overlapped) = 0;
    virtual DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) = 0;
    virtual BOOL CancelIo(HANDLE file) = 0;
    virtual BOOL GetOverlappedResult(HANDLE file, OVERLAPPED& overlapped, DWORD* transferred, BOOL wait) = 0;

    virtual DWORD LastError() = 0;
    // The system's text for a code, as FormatMessageA writes it (with its closing line
    // break); empty when the system has none.
    virtual std::string MessageText(DWORD code) = 0;
};

// The calls as the system makes them.
std::unique_ptr<Win32HidCalls> MakeSystemWin32HidCalls();

// The device path held by a SetupDiGetDeviceInterfaceDetailA record of `size` bytes, read no
// further than the record goes (a path without its NUL ends at the record's end).
std::string DevicePathOfDetail(const SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD size);

// The system's text for an error code without its closing line break; empty when it has none.
std::string WindowsErrorText(Win32HidCalls& calls, std::uint32_t code);

class WindowsHidPlatform final : public HidPlatform {
  public:
    // How long a write may take before it is cancelled and reported as failed.
    static constexpr DWORD kWriteTimeoutMs = kWriteWaitMs;

    explicit WindowsHidPlatform(std::unique_ptr<Win32HidCalls> calls);
    ~WindowsHidPlatform() override;

    WindowsHidPlatform(const WindowsHidPlatform&) = delete;
    WindowsHidPlatform& operator=(const WindowsHidPlatform&) = delete;

    std::vector<std::string> EnumerateInterfaces() override;
    [[nodiscard]] OpenResult OpenReadWrite(const std::string& path) override;
    [[nodiscard]] OpenResult OpenForTimedRead(const std::string& path) override;
    [[nodiscard]] bool GetAttributes(HidHandle handle, HidAttributes& out) override;
    bool PeekAttributes(const std::string& path, HidAttributes& out) override;
    bool PeekCaps(const std::string& path, HidCaps& out) override;
    [[nodiscard]] bool GetCaps(HidHandle handle, HidCaps& out) override;
    [[nodiscard]] WriteResult Write(HidHandle handle, std::span<const std::uint8_t> report) override;
    [[nodiscard]] ReadResult ReadTimed(HidHandle handle, std::span<std::uint8_t> buffer, int timeoutMs) override;
    bool Close(HidHandle handle) override;
    std::string ErrorText(std::uint32_t code) override;
    // Raw Input on a message-only window of this thread; see windows_raw_input.h.
    [[nodiscard]] WatchStart WatchInput(std::uint16_t vendorId, std::uint16_t productId) override;

    int OpenHandleCount() const;

  private:
    // An open interface: the file opened for overlapped I/O and the manual-reset event its
    // transfers wait on.
    struct Entry {
        HANDLE file = INVALID_HANDLE_VALUE;
        HANDLE event = nullptr;
        bool hasIds = false;
        HidAttributes ids;
        bool hasCaps = false;
        HidCaps caps;
    };

    // Attributes and caps through an open file handle, which may be one opened with access 0.
    bool QueryAttributes(HANDLE file, HidAttributes& out);
    bool QueryCaps(HANDLE file, HidCaps& out);
    // Asks `query` of an interface through a handle of its own, opened only for that.
    template <typename Answer>
    bool Peek(const std::string& path, Answer& out, bool (WindowsHidPlatform::*query)(HANDLE, Answer&));
    // A copy of what is kept of an open handle; nothing for a handle that is not open.
    std::optional<Entry> EntryOf(HidHandle handle) const;
    // One overlapped transfer with a bounded wait; it has ended, one way or another, when
    // this returns. `what` names it in error texts.
    struct Transfer {
        enum class Outcome { Completed, TimedOut, Failed } outcome = Outcome::Failed;
        DWORD bytes = 0;
        DWORD errorCode = 0;
        std::string error;
    };
    Transfer Run(const Entry& entry, bool write, void* data, DWORD size, DWORD timeoutMs, const char* what);
    std::string Describe(DWORD code);

    std::unique_ptr<Win32HidCalls> calls_;
    mutable std::mutex mutex_;
    HandleTable<Entry> handles_;
};

}  // namespace treadle
