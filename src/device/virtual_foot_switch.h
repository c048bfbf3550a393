// A foot switch that lives in memory, so the tools can be tried and tested without
// hardware. It presents each device as three interfaces, in this order: a keyboard and a
// mouse, which refuse to be opened for reading and writing (as the system refuses it for
// keyboards and mice), and the configuration interface, which takes 8-byte output reports
// and gives 8-byte input reports (report ID included).
//
// The device keeps 32 slots of four data bytes. An output report whose frame (bytes 1 to 7)
// starts with 0xAA, has kind 0x01 or 0x02 and a slot byte that is a multiple of 4 below
// 0x80 stores frame bytes 3 to 6 into that slot, and the frame's kind beside them; any
// other report is recorded and changes nothing.
//
// Pressing pedal N makes the keyboard or the mouse interface send the press and release
// reports that the slot of switch N means: a key frame's modifier byte and key code as a
// boot keyboard report, a mouse frame's button as a mouse report. With a state file the reports
// travel through a queue beside it (press_queue.h), so that every program sharing the file
// hears them.
#pragma once

#include "device/handle_table.h"
#include "device/hid_platform.h"
#include "device/press_queue.h"
#include "device/protocol.h"
#include "device/user_file.h"

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace treadle {

class Sleeper;

using SlotBytes = std::array<std::uint8_t, 4>;
using SlotTable = std::array<SlotBytes, kSlotCount>;

// The kind of the frame that stored a slot: a key frame (0x01, which the settings and clear
// frames share) or a mouse frame (0x02). Unknown for slots never written and for state files
// that did not keep it.
enum class SlotKind : std::uint8_t { Unknown, Key, Mouse };
using SlotKinds = std::array<SlotKind, kSlotCount>;

// The press a switch's slot makes; nothing for a slot that holds no assignment. A slot of
// unknown kind that reads as a click (FE and a button code) is taken for one.
std::optional<PedalPress> SlotPress(const SlotBytes& bytes, SlotKind kind);

// The report descriptors of the virtual keyboard and mouse interfaces: a boot keyboard
// (modifier byte, reserved byte, six key codes) and a mouse (three buttons, x, y, wheel).
std::span<const std::uint8_t> VirtualKeyboardDescriptor();
std::span<const std::uint8_t> VirtualMouseDescriptor();

// Which of a virtual foot switch's own files a path is, told by name and by identity.
enum class VirtualFile { None, State, Lock, PressQueue, Capture };
VirtualFile VirtualFileOf(const std::string& stateFile, const std::string& captureFile, const std::string& path);
// The path of one of the files of a virtual foot switch with this state and capture file.
std::string VirtualFilePath(const std::string& stateFile, const std::string& captureFile, VirtualFile file);

// What `path` is to a virtual foot switch with this state and capture file (either may be
// empty), when it is one of its files: "the state file S", "the state file's lock S.lock",
// "the state file's press queue S.presses" or "the capture file C"; empty for any other path.
// A file the user names for something else (a profile to export) must not be one of them.
std::string VirtualFileRole(const std::string& stateFile, const std::string& captureFile, const std::string& path);

class VirtualFootSwitch final : public HidPlatform {
  public:
    static constexpr int kReportLength = 8;

    // The most devices a virtual foot switch has, and so the most a state file may name.
    static constexpr int kMaxDevices = 16;

    struct Options {
        // How many devices; 0: as many as the state file names (one when there is none).
        int devices = 0;
        // Slots kept across runs; empty: memory only. Several programs may share one state
        // file: each change takes its lock, reads it again, stores the slot and replaces it.
        std::string stateFile;
        std::string captureFile;     // every output report received is appended; empty: none
        Sleeper* sleeper = nullptr;  // waits of timed reads; null: real sleeps
        // How long the state file's lock is waited for while another program holds it.
        int lockWaitMs = kDefaultLockWaitMs;
    };

    enum class WriteFault { None, Fail, Short };

    explicit VirtualFootSwitch(Options options);
    VirtualFootSwitch() : VirtualFootSwitch(Options{}) {}
    ~VirtualFootSwitch() override;

    // Reads the state file, when there is one and it exists; false with a reason when it is
    // unreadable or malformed. Opens the capture file, which may not be the state file.
    [[nodiscard]] bool Start(std::string& error);

    // Which of this foot switch's own files a path is (the state file, its lock, its press
    // queue or the capture file), which nothing else may write.
    VirtualFile FileOf(const std::string& path) const {
        return VirtualFileOf(options_.stateFile, options_.captureFile, path);
    }
    std::string FilePath(VirtualFile file) const {
        return VirtualFilePath(options_.stateFile, options_.captureFile, file);
    }

    // A new command or click: the state file's lock may be waited for again, at most
    // `lockWaitMs` in all until the next.
    void RestartLockWait() { lockWait_.Restart(); }

    // Reads the state file again, under its lock, for the slots another program may have
    // changed; false with a reason when it cannot be read.
    [[nodiscard]] bool Reload(std::string& error);

    // ---- HidPlatform ---------------------------------------------------------------------
    std::vector<std::string> EnumerateInterfaces() override;
    OpenResult OpenReadWrite(const std::string& path) override;
    OpenResult OpenForTimedRead(const std::string& path) override;
    bool GetAttributes(HidHandle handle, HidAttributes& out) override;
    bool PeekAttributes(const std::string& path, HidAttributes& out) override;
    // "serial VIRTUAL-1" for every interface of device 1.
    std::string DeviceIdentity(const std::string& path) override;
    bool PeekCaps(const std::string& path, HidCaps& out) override;
    bool GetCaps(HidHandle handle, HidCaps& out) override;
    WriteResult Write(HidHandle handle, std::span<const std::uint8_t> report) override;
    ReadResult ReadTimed(HidHandle handle, std::span<std::uint8_t> buffer, int timeoutMs) override;
    bool Close(HidHandle handle) override;
    std::string ErrorText(std::uint32_t code) override;
    // Follows the keyboard and mouse interfaces of every device: the reports that pressed
    // pedals queued there. The IDs are the virtual foot switch's or nothing is found.
    WatchStart WatchInput(std::uint16_t vendorId, std::uint16_t productId) override;

    // ---- For tests and the tools ---------------------------------------------------------
    void Unplug(int device = 0);
    void Plug(int device = 0);
    void SetWriteFault(WriteFault fault) { writeFault_ = fault; }
    void QueueInputReport(std::vector<std::uint8_t> report, int device = 0);
    void FailNextWait(std::uint32_t errorCode) { failNextWait_ = errorCode; }
    // Makes the configuration interface of a device refuse opening as if the user lacked access.
    void DenyAccess(bool deny, int device = 0);
    // Presses and releases pedal 1 to 4: the keyboard or mouse interface queues the reports
    // its switch's slot means. False with a reason when the slot holds no assignment or the
    // device is unplugged; nothing is sent then.
    [[nodiscard]] bool PressPedal(int pedal, std::string& error, int device = 0);
    // Why the last press, made here, could not be passed on to the other programs that share
    // the state file; empty when it was (or there is no state file).
    const std::string& PressNote() const { return pressNote_; }
    // What the switches of a device were programmed with, as the presses they make.
    std::vector<ProgrammedSwitch> ProgrammedSwitches(int device = 0) const;
    const SlotKinds& Kinds(int device = 0) const { return devices_.at(static_cast<size_t>(device)).kinds; }
    // The device number (from 0) of an interface path; -1 for another path.
    int DeviceOfPath(const std::string& path) const;

    int DeviceCount() const { return static_cast<int>(devices_.size()); }
    // The slots as last read from the state file or stored.
    const SlotTable& Slots(int device = 0) const { return devices_.at(static_cast<size_t>(device)).slots; }
    // Every output report the device received, in order.
    const std::vector<std::vector<std::uint8_t>>& Received(int device = 0) const {
        return devices_.at(static_cast<size_t>(device)).received;
    }
    int OpenHandleCount() const { return static_cast<int>(handles_.Count()); }

    // The path of a device's configuration interface.
    static std::string ConfigPath(int device);

  private:
    enum class Interface { Keyboard, Mouse, Config };
    struct Device {
        bool present = true;
        bool denied = false;
        SlotTable slots{};
        SlotKinds kinds{};
        std::deque<std::vector<std::uint8_t>> inputQueue;
        // Input reports of the keyboard and mouse interfaces, report-ID byte (0) first, in the
        // order they were sent.
        std::deque<std::pair<Interface, std::vector<std::uint8_t>>> pedalQueue;
        std::vector<std::vector<std::uint8_t>> received;
    };
    struct Open {
        int device;
        Interface interface;
    };

    static HidCaps CapsOf(Interface interface);
    bool ParsePath(const std::string& path, int& device, Interface& interface) const;
    OpenResult OpenInterface(const std::string& path);
    Open* Lookup(HidHandle handle);
    bool SaveState(std::string& error) const;
    bool LoadState(std::string& error);
    bool ParseState(const std::string& text, bool missing, std::string& error);
    // With no count given, takes the state file's own count of devices.
    void TakeDeviceCountOfStateFile();
    // Stores four data bytes in a slot, and in the state file when there is one.
    bool StoreSlot(int device, int slot, const SlotBytes& bytes, SlotKind kind, std::string& error);
    friend class VirtualInputWatch;
    bool OpenCapture(std::string& error);

    Options options_;
    // What is left of the wait for the state file's lock, shared by every lock of a command.
    LockWait lockWait_;
    std::vector<Device> devices_;
    HandleTable<Open> handles_;
    WriteFault writeFault_ = WriteFault::None;
    std::uint32_t failNextWait_ = 0;
    AppendFile capture_;
    // With a state file, pressed pedals are queued beside it for every program sharing it.
    std::optional<PressQueue> presses_;
    std::string pressNote_;
};

}  // namespace treadle
