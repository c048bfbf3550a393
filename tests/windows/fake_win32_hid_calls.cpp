#include "windows/fake_win32_hid_calls.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace treadle::testing {
namespace {

const HDEVINFO kList = reinterpret_cast<HDEVINFO>(std::uintptr_t{0x51});

}  // namespace

FakeInterface MakeInterface(std::string path, USAGE page, USAGE usage, USHORT input, USHORT output) {
    FakeInterface i;
    i.path = std::move(path);
    i.caps.UsagePage = page;
    i.caps.Usage = usage;
    i.caps.InputReportByteLength = input;
    i.caps.OutputReportByteLength = output;
    return i;
}

void FakeWin32HidCalls::HidGuid(GUID& guid) {
    guid = GUID{0x4d1e55b2, 0xf16f, 0x11cf, {0x88, 0xcb, 0, 0x11, 0x11, 0, 0, 0x30}};
}

HDEVINFO FakeWin32HidCalls::GetClassDevs(const GUID&, DWORD flags) {
    if (classDevsFail || flags != (DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {
        lastError_ = ERROR_INVALID_PARAMETER;
        return static_cast<HDEVINFO>(INVALID_HANDLE_VALUE);
    }
    ++listsMade;
    return kList;
}

BOOL FakeWin32HidCalls::EnumDeviceInterfaces(HDEVINFO set, const GUID&, DWORD index, SP_DEVICE_INTERFACE_DATA& data) {
    interfaceDataSizes.push_back(data.cbSize);
    if (set != kList || data.cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        lastError_ = ERROR_INVALID_USER_BUFFER;
        return FALSE;
    }
    if (index >= interfaces.size()) {
        lastError_ = ERROR_NO_MORE_ITEMS;
        return FALSE;
    }
    data.Reserved = index;
    return TRUE;
}

BOOL FakeWin32HidCalls::GetDeviceInterfaceDetail(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& data,
                                                 SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD size,
                                                 DWORD* required) {
    if (set != kList || data.Reserved >= interfaces.size()) {
        lastError_ = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    const std::string& path = interfaces[data.Reserved].path;
    const DWORD needed = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);
    if (required != nullptr) {
        *required = needed;
    }
    if (detail == nullptr || size < needed) {
        lastError_ = ERROR_INSUFFICIENT_BUFFER;
        return FALSE;
    }
    detailRecordSizes.push_back(detail->cbSize);
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        lastError_ = ERROR_INVALID_USER_BUFFER;
        return FALSE;
    }
    std::memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
    return TRUE;
}

BOOL FakeWin32HidCalls::DestroyDeviceInfoList(HDEVINFO set) {
    if (set != kList) {
        return FALSE;
    }
    ++listsDestroyed;
    return TRUE;
}

HANDLE FakeWin32HidCalls::OpenPath(const char* path, DWORD access, DWORD share, DWORD flags) {
    openings.push_back({path, access, share, flags});
    for (size_t i = 0; i < interfaces.size(); ++i) {
        if (interfaces[i].path != path) {
            continue;
        }
        if (access != 0 && interfaces[i].openError != 0) {
            lastError_ = interfaces[i].openError;
            return INVALID_HANDLE_VALUE;
        }
        const auto handle = reinterpret_cast<HANDLE>(nextHandle_ += 4);
        open_[handle] = static_cast<int>(i);
        return handle;
    }
    lastError_ = ERROR_FILE_NOT_FOUND;
    return INVALID_HANDLE_VALUE;
}

BOOL FakeWin32HidCalls::CloseHandle(HANDLE handle) {
    if (open_.erase(handle) == 0) {
        lastError_ = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    return TRUE;
}

const FakeInterface* FakeWin32HidCalls::InterfaceOf(HANDLE file) const {
    const auto it = open_.find(file);
    return it == open_.end() || it->second < 0 ? nullptr : &interfaces[static_cast<size_t>(it->second)];
}

BOOL FakeWin32HidCalls::GetAttributes(HANDLE file, HIDD_ATTRIBUTES& attributes) {
    const FakeInterface* i = InterfaceOf(file);
    if (i == nullptr || i->attributesFail || attributes.Size != sizeof(HIDD_ATTRIBUTES)) {
        return FALSE;
    }
    attributes.VendorID = i->vendorId;
    attributes.ProductID = i->productId;
    return TRUE;
}

BOOL FakeWin32HidCalls::GetPreparsedData(HANDLE file, PHIDP_PREPARSED_DATA& data) {
    const FakeInterface* i = InterfaceOf(file);
    if (i == nullptr) {
        return FALSE;
    }
    ++preparsedOut;
    data = reinterpret_cast<PHIDP_PREPARSED_DATA>(const_cast<FakeInterface*>(i));
    return TRUE;
}

NTSTATUS FakeWin32HidCalls::GetCaps(PHIDP_PREPARSED_DATA data, HIDP_CAPS& caps) {
    const auto* i = reinterpret_cast<const FakeInterface*>(data);
    if (i->capsFail) {
        return HIDP_STATUS_INVALID_PREPARSED_DATA;
    }
    caps = i->caps;
    return HIDP_STATUS_SUCCESS;
}

BOOL FakeWin32HidCalls::FreePreparsedData(PHIDP_PREPARSED_DATA) {
    --preparsedOut;
    return TRUE;
}

HANDLE FakeWin32HidCalls::NewEvent(BOOL manualReset, BOOL) {
    if (!manualReset) {
        return nullptr;  // the layer's waits rely on a manual-reset event
    }
    const auto handle = reinterpret_cast<HANDLE>(nextHandle_ += 4);
    open_[handle] = -1;
    return handle;
}

BOOL FakeWin32HidCalls::ResetEvent(HANDLE) { return TRUE; }

BOOL FakeWin32HidCalls::Start(HANDLE file, void* data, DWORD size, DWORD* done, bool write) {
    calls.push_back(write ? "WriteFile" : "ReadFile");
    if (InterfaceOf(file) == nullptr) {
        lastError_ = ERROR_INVALID_HANDLE;
        return FALSE;
    }
    current_ = TransferStep{};
    if (!transfers.empty()) {
        current_ = transfers.front();
        transfers.pop_front();
    }
    buffer_ = data;
    size_ = size;
    cancelled_ = false;
    if (write) {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        written.emplace_back(bytes, bytes + size);
        if (writtenAlsoTo != nullptr) {
            writtenAlsoTo->push_back(written.back());
        }
    }
    switch (current_.script) {
        case TransferScript::AtOnce:
            *done = std::min(size, current_.bytes);
            return TRUE;
        case TransferScript::Fails:
            buffer_ = nullptr;
            lastError_ = current_.errorCode;
            return FALSE;
        default:
            lastError_ = ERROR_IO_PENDING;
            return FALSE;
    }
}

BOOL FakeWin32HidCalls::WriteFile(HANDLE file, const void* data, DWORD size, DWORD* written, OVERLAPPED*) {
    return Start(file, const_cast<void*>(data), size, written, true);
}

BOOL FakeWin32HidCalls::ReadFile(HANDLE file, void* data, DWORD size, DWORD* read, OVERLAPPED*) {
    return Start(file, data, size, read, false);
}

DWORD FakeWin32HidCalls::WaitForSingleObject(HANDLE, DWORD milliseconds) {
    calls.push_back("Wait " + std::to_string(milliseconds));
    switch (current_.script) {
        case TransferScript::Stall:
        case TransferScript::LateFinish:
            return WAIT_TIMEOUT;
        case TransferScript::WaitFails:
            lastError_ = current_.errorCode;
            return WAIT_FAILED;
        default:
            return WAIT_OBJECT_0;
    }
}

BOOL FakeWin32HidCalls::CancelIo(HANDLE) {
    calls.push_back("CancelIo");
    cancelled_ = true;
    return TRUE;
}

BOOL FakeWin32HidCalls::GetOverlappedResult(HANDLE, OVERLAPPED&, DWORD* transferred, BOOL wait) {
    calls.push_back(wait ? "GetOverlappedResult wait" : "GetOverlappedResult");
    const bool finishes = current_.script == TransferScript::AtOnce || current_.script == TransferScript::Pending ||
                          current_.script == TransferScript::LateFinish;
    if (finishes) {
        const DWORD bytes = std::min(size_, current_.bytes);
        if (buffer_ != nullptr && !current_.input.empty()) {
            std::memcpy(buffer_, current_.input.data(), std::min<size_t>(bytes, current_.input.size()));
        }
        *transferred = bytes;
        buffer_ = nullptr;
        return TRUE;
    }
    if (cancelled_ && wait) {
        buffer_ = nullptr;  // the cancellation has taken effect: the buffer is free
        lastError_ = ERROR_OPERATION_ABORTED;
        return FALSE;
    }
    lastError_ = cancelled_ ? ERROR_OPERATION_ABORTED : ERROR_IO_INCOMPLETE;
    return FALSE;
}

std::string FakeWin32HidCalls::MessageText(DWORD code) {
    const auto it = messages.find(code);
    return it == messages.end() ? std::string() : it->second;
}

}  // namespace treadle::testing
