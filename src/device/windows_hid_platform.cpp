// SetupAPI and hid.dll: the HID interfaces Windows presents, each opened by its device path.
// Reports are written and read through overlapped handles with bounded waits, so a device
// that stops answering never holds the caller for ever.
#include "device/windows_hid_platform.h"

#include "device/windows_raw_input.h"
#include "text/utf16.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>
#include <vector>

namespace treadle {
namespace {

constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;
// SetupAPI lists a few dozen HID interfaces on a busy machine; a list that never ends is a
// broken one.
constexpr DWORD kMaxInterfaces = 65536;
// Device paths are short; a detail record asking for more than this is not one we trust.
constexpr DWORD kMaxDetailBytes = 64 * 1024;

class SystemWin32HidCalls final : public Win32HidCalls {
  public:
    void HidGuid(GUID& guid) override { ::HidD_GetHidGuid(&guid); }
    HDEVINFO GetClassDevs(const GUID& guid, DWORD flags) override {
        return ::SetupDiGetClassDevsA(&guid, nullptr, nullptr, flags);
    }
    BOOL EnumDeviceInterfaces(HDEVINFO set, const GUID& guid, DWORD index, SP_DEVICE_INTERFACE_DATA& data) override {
        return ::SetupDiEnumDeviceInterfaces(set, nullptr, &guid, index, &data);
    }
    BOOL GetDeviceInterfaceDetail(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& data,
                                  SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD size, DWORD* required) override {
        return ::SetupDiGetDeviceInterfaceDetailA(set, &data, detail, size, required, nullptr);
    }
    BOOL DestroyDeviceInfoList(HDEVINFO set) override { return ::SetupDiDestroyDeviceInfoList(set); }

    HANDLE OpenPath(const char* path, DWORD access, DWORD share, DWORD flags) override {
        // No inheritable handles: a program started from here has no business with the device.
        return ::CreateFileA(path, access, share, nullptr, OPEN_EXISTING, flags, nullptr);
    }
    BOOL CloseHandle(HANDLE handle) override { return ::CloseHandle(handle); }
    BOOL GetAttributes(HANDLE file, HIDD_ATTRIBUTES& attributes) override {
        return ::HidD_GetAttributes(file, &attributes);
    }
    BOOL GetPreparsedData(HANDLE file, PHIDP_PREPARSED_DATA& data) override {
        return ::HidD_GetPreparsedData(file, &data);
    }
    NTSTATUS GetCaps(PHIDP_PREPARSED_DATA data, HIDP_CAPS& caps) override { return ::HidP_GetCaps(data, &caps); }
    BOOL FreePreparsedData(PHIDP_PREPARSED_DATA data) override { return ::HidD_FreePreparsedData(data); }

    HANDLE NewEvent(BOOL manualReset, BOOL initialState) override {
        return ::CreateEventA(nullptr, manualReset, initialState, nullptr);
    }
    BOOL ResetEvent(HANDLE event) override { return ::ResetEvent(event); }
    BOOL WriteFile(HANDLE file, const void* data, DWORD size, DWORD* written, OVERLAPPED* overlapped) override {
        return ::WriteFile(file, data, size, written, overlapped);
    }
    BOOL ReadFile(HANDLE file, void* data, DWORD size, DWORD* read, OVERLAPPED* overlapped) override {
        return ::ReadFile(file, data, size, read, overlapped);
    }
    DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) override {
        return ::WaitForSingleObject(handle, milliseconds);
    }
    BOOL CancelIo(HANDLE file) override { return ::CancelIo(file); }
    BOOL GetOverlappedResult(HANDLE file, OVERLAPPED& overlapped, DWORD* transferred, BOOL wait) override {
        return ::GetOverlappedResult(file, &overlapped, transferred, wait);
    }

    DWORD LastError() override { return ::GetLastError(); }

    std::string MessageText(DWORD code) override {
        // The wide call, so that a Chinese or any other system text reaches the UTF-8 core
        // intact; the ANSI call would hand over the text in the system's code page. Inserts
        // are ignored, as there are no arguments to put in their place.
        wchar_t* buffer = nullptr;
        const DWORD n = ::FormatMessageW(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
            0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
        std::string text;
        if (n > 0 && buffer != nullptr) {
            text = Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(buffer), n));
        }
        if (buffer != nullptr) {
            ::LocalFree(buffer);
        }
        return text;
    }
};

}  // namespace

std::unique_ptr<Win32HidCalls> MakeSystemWin32HidCalls() { return std::make_unique<SystemWin32HidCalls>(); }

std::string DevicePathOfDetail(const SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD size) {
    constexpr size_t kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
    if (detail == nullptr || size <= kPathOffset) {
        return {};
    }
    const char* path = detail->DevicePath;
    return std::string(path, ::strnlen(path, size - kPathOffset));
}

std::string WindowsErrorText(Win32HidCalls& calls, std::uint32_t code) {
    std::string text = calls.MessageText(code);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

WindowsHidPlatform::WindowsHidPlatform(std::unique_ptr<Win32HidCalls> calls) : calls_(std::move(calls)) {}

WindowsHidPlatform::~WindowsHidPlatform() {
    for (auto& [handle, entry] : handles_) {
        calls_->CloseHandle(entry.file);
        calls_->CloseHandle(entry.event);
    }
}

std::vector<std::string> WindowsHidPlatform::EnumerateInterfaces() {
    GUID guid{};
    calls_->HidGuid(guid);
    const HDEVINFO set = calls_->GetClassDevs(guid, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::vector<std::string> paths;
    for (DWORD index = 0; index < kMaxInterfaces; ++index) {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        if (!calls_->EnumDeviceInterfaces(set, guid, index, data)) {
            break;  // ERROR_NO_MORE_ITEMS, or a list that cannot go on
        }
        DWORD required = 0;
        calls_->GetDeviceInterfaceDetail(set, data, nullptr, 0, &required);
        if (required <= offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) || required > kMaxDetailBytes) {
            continue;  // no path to be had for this interface
        }
        // DWORD-aligned storage for the record; cbSize is the size of its fixed part as this
        // program was compiled (8 on 64-bit Windows, 5 on 32-bit), which is what SetupAPI checks.
        std::vector<DWORD> storage(required / sizeof(DWORD) + 1, 0);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (!calls_->GetDeviceInterfaceDetail(set, data, detail, required, nullptr)) {
            continue;
        }
        std::string path = DevicePathOfDetail(detail, required);
        if (!path.empty()) {
            paths.push_back(std::move(path));
        }
    }
    calls_->DestroyDeviceInfoList(set);
    return paths;
}

bool WindowsHidPlatform::QueryAttributes(HANDLE file, HidAttributes& out) {
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    if (!calls_->GetAttributes(file, attributes)) {
        return false;
    }
    out = {attributes.VendorID, attributes.ProductID};
    return true;
}

bool WindowsHidPlatform::QueryCaps(HANDLE file, HidCaps& out) {
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (!calls_->GetPreparsedData(file, preparsed)) {
        return false;
    }
    HIDP_CAPS caps{};
    const NTSTATUS status = calls_->GetCaps(preparsed, caps);
    calls_->FreePreparsedData(preparsed);
    if (status != HIDP_STATUS_SUCCESS) {
        return false;
    }
    out = {caps.InputReportByteLength, caps.OutputReportByteLength, caps.FeatureReportByteLength, caps.UsagePage,
           caps.Usage};
    return true;
}

template <typename Answer>
bool WindowsHidPlatform::Peek(const std::string& path, Answer& out,
                              bool (WindowsHidPlatform::*query)(HANDLE, Answer&)) {
    // Access 0, which Windows gives also for the keyboards and mice it holds.
    const HANDLE file = calls_->OpenPath(path.c_str(), 0, kShareReadWrite, 0);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool ok = (this->*query)(file, out);
    calls_->CloseHandle(file);
    return ok;
}

bool WindowsHidPlatform::PeekAttributes(const std::string& path, HidAttributes& out) {
    return Peek(path, out, &WindowsHidPlatform::QueryAttributes);
}

bool WindowsHidPlatform::PeekCaps(const std::string& path, HidCaps& out) {
    return Peek(path, out, &WindowsHidPlatform::QueryCaps);
}

std::string WindowsHidPlatform::Describe(DWORD code) {
    const std::string text = WindowsErrorText(*calls_, code);
    const std::string number = "error " + std::to_string(code);
    return text.empty() ? number : text + " (" + number + ")";
}

// Both handles of a connection are the same kind: overlapped, so that writes as well as
// reads can be given up after a bounded wait.
OpenResult WindowsHidPlatform::OpenReadWrite(const std::string& path) { return OpenForTimedRead(path); }

OpenResult WindowsHidPlatform::OpenForTimedRead(const std::string& path) {
    const HANDLE file =
        calls_->OpenPath(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareReadWrite, FILE_FLAG_OVERLAPPED);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = calls_->LastError();
        const std::string reason = Describe(code);
        switch (code) {
            case ERROR_ACCESS_DENIED:
            case ERROR_SHARING_VIOLATION:
                // Windows keeps its keyboards and mice to itself, but those are never asked
                // for (OpenForWriting); anything else is held by another program.
                return {0, OpenFailure::Other,
                        "cannot open " + path + ": " + reason + "; another program may be holding it"};
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
            case ERROR_DEVICE_NOT_CONNECTED:
            case ERROR_DEV_NOT_EXIST:
                return {0, OpenFailure::Gone, path + " is gone (" + reason + ")"};
            default:
                return {0, OpenFailure::Other, "cannot open " + path + ": " + reason};
        }
    }

    Entry entry;
    entry.file = file;
    entry.hasIds = QueryAttributes(file, entry.ids);
    entry.hasCaps = QueryCaps(file, entry.caps);
    entry.event = calls_->NewEvent(TRUE, FALSE);
    if (entry.event == nullptr) {
        const std::string reason = Describe(calls_->LastError());
        calls_->CloseHandle(file);
        return {0, OpenFailure::Other, "cannot create the event for " + path + ": " + reason};
    }
    std::lock_guard lock(mutex_);
    return {handles_.Add(std::move(entry)), OpenFailure::None, {}};
}

std::optional<WindowsHidPlatform::Entry> WindowsHidPlatform::EntryOf(HidHandle handle) const {
    std::lock_guard lock(mutex_);
    const Entry* entry = handles_.Find(handle);
    return entry == nullptr ? std::nullopt : std::optional<Entry>(*entry);
}

bool WindowsHidPlatform::GetAttributes(HidHandle handle, HidAttributes& out) {
    const std::optional<Entry> entry = EntryOf(handle);
    if (!entry || !entry->hasIds) {
        return false;
    }
    out = entry->ids;
    return true;
}

bool WindowsHidPlatform::GetCaps(HidHandle handle, HidCaps& out) {
    const std::optional<Entry> entry = EntryOf(handle);
    if (!entry || !entry->hasCaps) {
        return false;
    }
    out = entry->caps;
    return true;
}

WindowsHidPlatform::Transfer WindowsHidPlatform::Run(const Entry& entry, bool write, void* data, DWORD size,
                                                     DWORD timeoutMs, const char* what) {
    Transfer t;
    OVERLAPPED overlapped{};
    overlapped.hEvent = entry.event;
    calls_->ResetEvent(entry.event);
    DWORD immediate = 0;
    const BOOL started = write ? calls_->WriteFile(entry.file, data, size, &immediate, &overlapped)
                               : calls_->ReadFile(entry.file, data, size, &immediate, &overlapped);
    if (!started) {
        const DWORD code = calls_->LastError();
        if (code != ERROR_IO_PENDING) {
            t.errorCode = code;
            t.error = std::string(what) + " failed: " + Describe(code);
            return t;
        }
    }
    // Started: completed at once or pending. Either way the overlapped result tells the count.
    const DWORD wait = started ? WAIT_OBJECT_0 : calls_->WaitForSingleObject(entry.event, timeoutMs);
    if (wait == WAIT_OBJECT_0) {
        if (calls_->GetOverlappedResult(entry.file, overlapped, &t.bytes, FALSE)) {
            t.outcome = Transfer::Outcome::Completed;
            return t;
        }
        t.errorCode = calls_->LastError();
        t.error = std::string(what) + " failed: " + Describe(t.errorCode);
        return t;
    }
    const DWORD waitError = wait == WAIT_TIMEOUT ? 0 : calls_->LastError();
    // Cancel, then wait for the cancellation to take effect: until it has, the system may
    // still write into the caller's buffer.
    calls_->CancelIo(entry.file);
    if (calls_->GetOverlappedResult(entry.file, overlapped, &t.bytes, TRUE)) {
        t.outcome = Transfer::Outcome::Completed;  // it finished just before the cancellation
        return t;
    }
    if (wait == WAIT_TIMEOUT) {
        t.outcome = Transfer::Outcome::TimedOut;
        t.bytes = 0;
        return t;
    }
    t.bytes = 0;
    t.errorCode = waitError != 0 ? waitError : calls_->LastError();
    t.error = std::string("waiting for ") + what + " failed: " + Describe(t.errorCode);
    return t;
}

WriteResult WindowsHidPlatform::Write(HidHandle handle, std::span<const std::uint8_t> report) {
    const std::optional<Entry> entry = EntryOf(handle);
    if (!entry) {
        return {0, "handle " + std::to_string(handle) + " is not open"};
    }
    if (report.empty()) {
        return {0, "an empty report cannot be written"};
    }
    // WriteFile does not change the bytes; it only takes them as a non-const pointer's worth.
    const Transfer t = Run(*entry, true, const_cast<std::uint8_t*>(report.data()), static_cast<DWORD>(report.size()),
                           kWriteTimeoutMs, "writing the report");
    switch (t.outcome) {
        case Transfer::Outcome::Completed:
            if (t.bytes < report.size()) {
                return {static_cast<int>(t.bytes), "short write: " + std::to_string(t.bytes) + " of " +
                                                       std::to_string(report.size()) + " bytes reached the device"};
            }
            return {static_cast<int>(report.size()), {}};
        case Transfer::Outcome::TimedOut:
            return {0, "the device did not take the report within " + std::to_string(kWriteTimeoutMs) +
                           " ms; the write was cancelled"};
        case Transfer::Outcome::Failed:
            break;
    }
    return {0, t.error};
}

ReadResult WindowsHidPlatform::ReadTimed(HidHandle handle, std::span<std::uint8_t> buffer, int timeoutMs) {
    const std::optional<Entry> entry = EntryOf(handle);
    if (!entry) {
        return {ReadStatus::Failed, 0, ERROR_INVALID_HANDLE, "handle " + std::to_string(handle) + " is not open"};
    }
    if (buffer.empty()) {
        return {ReadStatus::Failed, 0, ERROR_INVALID_PARAMETER, "the read buffer is empty"};
    }
    // Windows hands over the report with its report-ID byte first, 0 where the device uses
    // none: the layout every platform gives.
    const Transfer t = Run(*entry, false, buffer.data(), static_cast<DWORD>(buffer.size()),
                           static_cast<DWORD>(std::max(0, timeoutMs)), "reading an input report");
    switch (t.outcome) {
        case Transfer::Outcome::Completed:
            return {ReadStatus::Completed, static_cast<int>(t.bytes), 0, {}};
        case Transfer::Outcome::TimedOut:
            return {ReadStatus::TimedOut, 0, 0, {}};
        case Transfer::Outcome::Failed:
            break;
    }
    return {ReadStatus::Failed, 0, t.errorCode, t.error};
}

bool WindowsHidPlatform::Close(HidHandle handle) {
    std::lock_guard lock(mutex_);
    const std::optional<Entry> entry = handles_.Take(handle);
    if (!entry) {
        return false;
    }
    calls_->CloseHandle(entry->file);
    calls_->CloseHandle(entry->event);
    return true;
}

std::string WindowsHidPlatform::ErrorText(std::uint32_t code) { return WindowsErrorText(*calls_, code); }

WatchStart WindowsHidPlatform::WatchInput(std::uint16_t vendorId, std::uint16_t productId) {
    auto watch = std::make_unique<RawInputWatch>(MakeSystemWin32RawInputCalls(), vendorId, productId);
    std::string error;
    if (!watch->Start(error)) {
        return {nullptr, error};
    }
    return {std::move(watch), {}};
}

int WindowsHidPlatform::OpenHandleCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(handles_.Count());
}

std::unique_ptr<HidPlatform> MakeSystemHidPlatform() {
    return std::make_unique<WindowsHidPlatform>(MakeSystemWin32HidCalls());
}

}  // namespace treadle
