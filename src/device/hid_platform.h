// The operations the window needs from the operating system's HID layer. One implementation
// per platform (hidraw on Linux, SetupAPI and hid.dll on Windows) and the virtual foot switch.
//
// Error convention: every call that can fail returns a result the caller must look at; its
// `error` text says what failed and why, in English, for logs and the command line.
#pragma once

#include "device/pedal_press.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace treadle {

// An open interface. 0 is "no handle"; implementations hand out positive numbers only.
using HidHandle = std::int64_t;

// How long a write may wait for the device to take a report.
constexpr int kWriteWaitMs = 1000;

enum class OpenFailure {
    None,
    Refused,       // a keyboard or mouse collection, never opened for writing (OpenForWriting)
    AccessDenied,  // the user lacks permission (on Linux: no udev rule for the device)
    Gone,          // the interface disappeared
    Other,
};

struct OpenResult {
    HidHandle handle = 0;
    OpenFailure failure = OpenFailure::None;
    std::string error;

    [[nodiscard]] bool ok() const { return handle > 0; }
};

struct HidAttributes {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
};

// What HidP_GetCaps reports of an interface: report lengths in bytes, each including the
// leading report-ID byte, 0 where the interface has no report of that kind; and the usage
// page and usage of its top-level collection.
struct HidCaps {
    int inputReportLength = 0;
    int outputReportLength = 0;
    int featureReportLength = 0;
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
};

struct WriteResult {
    // Not an aggregate, so that platforms can keep writing {written, error}.
    WriteResult(int bytes = 0, std::string why = {}) : written(bytes), error(std::move(why)) {}

    int written = 0;  // bytes that reached the device
    std::string error;
    // The write failed for a file the platform keeps (the virtual foot switch's state file),
    // not for the device; `error` names the file and the reason.
    bool fileFault = false;
    // Set when the report reached the device but its record could not be written (the
    // virtual foot switch's capture file): which file, and the system's reason.
    std::string captureFile;
    std::string captureError;
};

enum class ReadStatus { Completed, TimedOut, Failed };

// A timed read. The implementation always brings a pending read to an end before it returns
// (on a time-out it cancels the read and waits for the cancellation), so the caller's
// buffer is never written after the call.
struct ReadResult {
    ReadStatus status = ReadStatus::Failed;
    int bytesRead = 0;
    std::uint32_t errorCode = 0;  // the system's code when status is Failed
    std::string error;
};

// One press of a pedal, seen on an interface of a foot switch.
struct WatchedPress {
    std::string interfacePath;
    PedalPress press;
};

struct WatchRead {
    std::vector<WatchedPress> presses;  // in the order they came
    std::vector<std::string> lost;      // interfaces that went away during the read, one line each
    // Set when nothing is left to watch (the device was unplugged) or the system failed;
    // `error` says why.
    bool ended = false;
    std::string error;
};

// How many reports one interface gives one InputWatch::Read at most. A node that never runs
// dry (a device gone wild, or a node that reads like /dev/zero) then still lets each read
// return, so a caller's count and time-out hold.
constexpr int kMaxReportsPerWatchRead = 64;

// The input of a foot switch's keyboard and mouse interfaces, followed. It only listens: the
// system goes on typing and clicking what the pedals send.
class InputWatch {
  public:
    virtual ~InputWatch() = default;
    // Waits at most timeoutMs (0: only looks) for input and returns the presses it made; it
    // returns as soon as there are some.
    [[nodiscard]] virtual WatchRead Read(int timeoutMs) = 0;
};

struct WatchStart {
    std::unique_ptr<InputWatch> watch;
    std::string error;  // why the device's input cannot be watched

    [[nodiscard]] bool ok() const { return watch != nullptr; }
};

class HidPlatform {
  public:
    virtual ~HidPlatform() = default;

    // Device paths of the HID interfaces present now, in a stable order.
    virtual std::vector<std::string> EnumerateInterfaces() = 0;

    // Opens an interface for synchronous reading and writing.
    [[nodiscard]] virtual OpenResult OpenReadWrite(const std::string& path) = 0;

    // Opens an interface a second time, for timed reads.
    [[nodiscard]] virtual OpenResult OpenForTimedRead(const std::string& path) = 0;

    // Vendor and product ID of an open interface; false when they cannot be read.
    [[nodiscard]] virtual bool GetAttributes(HidHandle handle, HidAttributes& out) = 0;

    // Vendor and product ID of an interface without opening it, where the system tells them
    // (Linux sysfs); false elsewhere. Used only to explain why a present device cannot be used.
    virtual bool PeekAttributes(const std::string& path, HidAttributes& out) {
        (void)path;
        (void)out;
        return false;
    }

    // Report lengths and top-level usage of an interface without opening it for reading or
    // writing, where the system tells them (Linux sysfs, Windows, the virtual foot switch);
    // false elsewhere. The platform reports what it finds: OpenForWriting reads the usage here
    // to leave keyboards and mice closed, and a listing names what cannot be opened.
    virtual bool PeekCaps(const std::string& path, HidCaps& out) {
        (void)path;
        (void)out;
        return false;
    }

    // What tells the device an interface belongs to from every other: its serial number where
    // the device has one ("serial ABC123"), else where it is plugged in ("usb-0000:00:14.0-1");
    // the same for every interface of one device. The path itself where the system tells
    // neither.
    virtual std::string DeviceIdentity(const std::string& path) { return path; }

    // Report lengths and top-level usage of an open interface; false when they cannot be read.
    [[nodiscard]] virtual bool GetCaps(HidHandle handle, HidCaps& out) = 0;

    // Writes one whole output report, report-ID byte first. A report the device does not take
    // within kWriteWaitMs fails, so a stalled device cannot hold the caller up for ever.
    [[nodiscard]] virtual WriteResult Write(HidHandle handle, std::span<const std::uint8_t> report) = 0;

    // Reads one input report into the buffer, waiting at most timeoutMs. Every platform lays
    // the report out alike: byte 0 the report ID (0 when the interface uses none), then the
    // report's data; bytesRead counts the ID byte.
    [[nodiscard]] virtual ReadResult ReadTimed(HidHandle handle, std::span<std::uint8_t> buffer, int timeoutMs) = 0;

    // Closes a handle; false when the handle was not open.
    virtual bool Close(HidHandle handle) = 0;

    // The system's text for an error code, without a closing line break; empty when the
    // system has none.
    virtual std::string ErrorText(std::uint32_t code) = 0;

    // Waits at most timeoutMs for the system to say that a HID interface came or went, where
    // it tells (Linux's device events); true when it waited (an event may have come before
    // the time was up), false at once where it cannot tell, and the caller polls instead.
    virtual bool WaitForDeviceEvent(int timeoutMs) {
        (void)timeoutMs;
        return false;
    }

    // Starts following the keyboard and mouse interfaces of the devices with these IDs, and
    // of no other device. The watch may not outlive the platform.
    [[nodiscard]] virtual WatchStart WatchInput(std::uint16_t vendorId, std::uint16_t productId) {
        (void)vendorId;
        (void)productId;
        return {nullptr, "watching the foot switch's input is not supported on this system"};
    }
};

// The platform's own HID layer (hidraw on Linux, SetupAPI on Windows).
std::unique_ptr<HidPlatform> MakeSystemHidPlatform();

}  // namespace treadle
