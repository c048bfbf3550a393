// The Win32 calls of the HID layer, played by a script: a list of interfaces with their IDs,
// caps and the error their opening gives, and how each write or read is to end. It checks
// what the layer passes (record sizes, access, flags) and counts what it leaves open.
#pragma once

#include "device/windows_hid_platform.h"

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace treadle::testing {

struct FakeInterface {
    std::string path;
    std::uint16_t vendorId = 0x2704;
    std::uint16_t productId = 0x2018;
    HIDP_CAPS caps{};
    DWORD openError = 0;  // the error a read/write opening gives; 0: it opens
    bool attributesFail = false;
    bool capsFail = false;
};

// A HID interface of the usage page and usage, with report lengths.
FakeInterface MakeInterface(std::string path, USAGE page, USAGE usage, USHORT input, USHORT output);

// How a write or read ends.
enum class TransferScript {
    AtOnce,      // the call completes before it returns
    Pending,     // pending; the event comes within the wait
    Stall,       // pending; nothing comes, the wait times out and the cancellation aborts it
    LateFinish,  // pending; the wait times out, but the transfer completes before the cancellation
    Fails,       // the call fails with `errorCode`
    WaitFails,   // pending; the wait itself fails with `errorCode`
};

struct TransferStep {
    TransferScript script = TransferScript::AtOnce;
    DWORD errorCode = 0;
    DWORD bytes = ~DWORD{0};          // bytes transferred; all of them unless set
    std::vector<std::uint8_t> input;  // what a read delivers
};

class FakeWin32HidCalls final : public Win32HidCalls {
  public:
    std::vector<FakeInterface> interfaces;
    bool classDevsFail = false;
    std::deque<TransferStep> transfers;  // taken in order by writes and reads; AtOnce when empty
    std::map<DWORD, std::string> messages{{2, "The system cannot find the file specified.\r\n"},
                                          {87, "The parameter is incorrect.\r\n"},
                                          {5, "Access is denied.\r\n"}};

    // What the layer did.
    std::vector<DWORD> interfaceDataSizes;  // cbSize of each SP_DEVICE_INTERFACE_DATA passed
    std::vector<DWORD> detailRecordSizes;   // cbSize of each detail record filled
    int listsMade = 0;
    int listsDestroyed = 0;
    struct Opening {
        std::string path;
        DWORD access;
        DWORD share;
        DWORD flags;
    };
    std::vector<Opening> openings;
    std::vector<std::vector<std::uint8_t>> written;
    // Where each written report is also kept, for a test whose fake goes with its platform.
    std::vector<std::vector<std::uint8_t>>* writtenAlsoTo = nullptr;
    std::vector<std::string> calls;  // the transfer calls, in order ("WriteFile", "Wait 1000", ...)
    int preparsedOut = 0;

    int OpenHandles() const { return static_cast<int>(open_.size()); }
    // True while a write or read may still use the buffer it was given.
    bool TransferInFlight() const { return buffer_ != nullptr; }

    void HidGuid(GUID& guid) override;
    HDEVINFO GetClassDevs(const GUID& guid, DWORD flags) override;
    BOOL EnumDeviceInterfaces(HDEVINFO set, const GUID& guid, DWORD index, SP_DEVICE_INTERFACE_DATA& data) override;
    BOOL GetDeviceInterfaceDetail(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& data,
                                  SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD size, DWORD* required) override;
    BOOL DestroyDeviceInfoList(HDEVINFO set) override;
    HANDLE OpenPath(const char* path, DWORD access, DWORD share, DWORD flags) override;
    BOOL CloseHandle(HANDLE handle) override;
    BOOL GetAttributes(HANDLE file, HIDD_ATTRIBUTES& attributes) override;
    BOOL GetPreparsedData(HANDLE file, PHIDP_PREPARSED_DATA& data) override;
    NTSTATUS GetCaps(PHIDP_PREPARSED_DATA data, HIDP_CAPS& caps) override;
    BOOL FreePreparsedData(PHIDP_PREPARSED_DATA data) override;
    HANDLE NewEvent(BOOL manualReset, BOOL initialState) override;
    BOOL ResetEvent(HANDLE event) override;
    BOOL WriteFile(HANDLE file, const void* data, DWORD size, DWORD* written, OVERLAPPED* overlapped) override;
    BOOL ReadFile(HANDLE file, void* data, DWORD size, DWORD* read, OVERLAPPED* overlapped) override;
    DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) override;
    BOOL CancelIo(HANDLE file) override;
    BOOL GetOverlappedResult(HANDLE file, OVERLAPPED& overlapped, DWORD* transferred, BOOL wait) override;
    DWORD LastError() override { return lastError_; }
    std::string MessageText(DWORD code) override;

  private:
    BOOL Start(HANDLE file, void* data, DWORD size, DWORD* done, bool write);
    const FakeInterface* InterfaceOf(HANDLE file) const;

    DWORD lastError_ = 0;
    std::uintptr_t nextHandle_ = 0x100;
    std::map<HANDLE, int> open_;  // handle -> interface index, -1 for events
    // The transfer in flight.
    TransferStep current_;
    void* buffer_ = nullptr;
    DWORD size_ = 0;
    bool cancelled_ = false;
};

}  // namespace treadle::testing
