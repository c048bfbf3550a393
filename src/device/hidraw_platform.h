// The Linux HID layer: hidraw nodes, described by sysfs.
//
// Interfaces are found under <sysfs>/class/hidraw/hidrawN and opened as <dev>/hidrawN. The
// vendor and product ID come from the HID device's uevent, the report lengths and top-level
// usage from its report descriptor. Both roots can be moved for tests: TREADLE_SYSFS_ROOT
// stands for /sys and TREADLE_DEV_ROOT for /dev. Output reports are written by a process of
// each node's own (hidraw_report_writer.h), so that a device that stops taking them holds
// neither the caller nor the program.
#pragma once

#include "device/handle_table.h"
#include "device/hid_platform.h"
#include "device/hidraw_report_writer.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace treadle {

struct HidrawRoots {
    std::string sysfs = "/sys";
    std::string dev = "/dev";
};

// The roots from TREADLE_SYSFS_ROOT and TREADLE_DEV_ROOT, the system's where they are unset or empty.
HidrawRoots HidrawRootsFromEnvironment();

struct HidIdResult {
    std::uint16_t bus = 0;
    HidAttributes ids;
    std::string error;  // empty when the IDs were read

    [[nodiscard]] bool ok() const { return error.empty(); }
};

// Reads the IDs from the "HID_ID=0003:00002704:00002018" line (bus:vendor:product, hex) of
// a HID device's uevent text.
[[nodiscard]] HidIdResult ParseHidIdFromUevent(std::string_view uevent);

// True when a device event, as the kernel ("add@/devices/...\0ACTION=add\0...") or udev
// ("libudev\0" and a header, then the same KEY=value fields) sends it over netlink, is about
// a hidraw node.
[[nodiscard]] bool IsHidrawEvent(std::string_view message);

class HidrawPlatform final : public HidPlatform {
  public:
    // `write` stands for the system's write() on the nodes; tests give one that blocks.
    explicit HidrawPlatform(HidrawRoots roots, NodeWriteCall write = ::write);
    ~HidrawPlatform() override;

    HidrawPlatform(const HidrawPlatform&) = delete;
    HidrawPlatform& operator=(const HidrawPlatform&) = delete;

    std::vector<std::string> EnumerateInterfaces() override;
    [[nodiscard]] OpenResult OpenReadWrite(const std::string& path) override;
    [[nodiscard]] OpenResult OpenForTimedRead(const std::string& path) override;
    [[nodiscard]] bool GetAttributes(HidHandle handle, HidAttributes& out) override;
    bool PeekAttributes(const std::string& path, HidAttributes& out) override;
    std::string DeviceIdentity(const std::string& path) override;
    bool PeekCaps(const std::string& path, HidCaps& out) override;
    [[nodiscard]] bool GetCaps(HidHandle handle, HidCaps& out) override;
    [[nodiscard]] WriteResult Write(HidHandle handle, std::span<const std::uint8_t> report) override;
    [[nodiscard]] ReadResult ReadTimed(HidHandle handle, std::span<std::uint8_t> buffer, int timeoutMs) override;
    bool Close(HidHandle handle) override;
    std::string ErrorText(std::uint32_t code) override;
    // Opens the keyboard and mouse nodes of the devices with these IDs read-only; the keyboard
    // driver keeps its own reader, so keys are typed as before.
    [[nodiscard]] WatchStart WatchInput(std::uint16_t vendorId, std::uint16_t productId) override;
    // Listens to the device events of the kernel and of udev; only on the system's own roots
    // (a moved, fake tree has no events, and is polled).
    bool WaitForDeviceEvent(int timeoutMs) override;

    int OpenHandleCount() const;

  private:
    // What was learnt of an interface when it was opened; a handle keeps it, so the answers
    // stay the same while the handle is open.
    struct Entry {
        int fd = -1;
        bool hasIds = false;
        HidAttributes ids;
        bool hasCaps = false;
        HidCaps caps;
        // hidraw hands over an input report with its ID byte only when the interface's
        // input reports are numbered; otherwise the reader puts the 0 in front itself.
        bool numberedInput = true;
        // The last write did not get through in time: the next one does not wait again.
        bool writeStalled = false;
        // Started at the first write; nothing for a node only read from. Shared with a write
        // under way, so that closing the handle does not pull it from under the write.
        std::shared_ptr<ReportWriter> writer;
    };

    OpenResult Open(const std::string& path, bool forTimedRead);
    // "hidrawN" when the path is <dev>/hidrawN; empty otherwise.
    std::string NodeName(const std::string& path) const;
    std::string DeviceDir(const std::string& node) const;
    // The caps from the node's report descriptor and whether its input reports carry an ID;
    // false when it cannot be read or parsed.
    bool ReadCaps(const std::string& node, HidCaps& out, bool& numberedInput) const;
    // A copy of an open handle's entry; false when there is none.
    bool EntryOf(HidHandle handle, Entry& out) const;
    void SetWriteStalled(HidHandle handle, bool stalled);

    HidrawRoots roots_;
    NodeWriteCall write_;
    int eventSocket_ = -2;  // the netlink socket of device events; -2 not yet opened, -1 none
    mutable std::mutex mutex_;
    HandleTable<Entry> handles_;
};

}  // namespace treadle
