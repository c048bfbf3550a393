// The HID layer of a web page: the browser's WebHID. The page sees only the devices the user
// granted it; each is one HID interface, whose path here is "webhid:N" with N the number this
// page gave the device when it first listed it. The browser's calls are promises; the module
// is built with Asyncify, so each call below waits for its promise and returns as the other
// platforms do. The page calls into the module one call at a time, so no two of these
// waits overlap.
//
// A device tells its IDs and its collections without being opened: the search sees them
// through PeekAttributes and PeekCaps and, as on the desktop, leaves keyboards and mice closed.
#include "device/hid_platform.h"
#include "device/hid_usages.h"

#include <emscripten.h>
#include <map>
#include <string>
#include <vector>

namespace treadle {
namespace {

// clang-format off
// The page's granted devices, numbered once each; `listed` is what the last listing found.
// A device's input reports wait in `inputs` until a timed read takes them.
EM_JS(void, treadle_webhid_state, (), {
    if (!Module.treadleHid) {
        Module.treadleHid = {byId : new Map(), ids : new WeakMap(), next : 1, listed : [], inputs : new Map(),
                             waiters : new Map(), lastError : ""};
    }
});

EM_ASYNC_JS(int, treadle_webhid_list, (), {
    const hid = Module.treadleHid;
    hid.listed = [];
    if (!navigator.hid) {
        return 0;
    }
    let devices = [];
    try {
        devices = await navigator.hid.getDevices();
    } catch (e) {
        return 0;
    }
    for (const device of devices) {
        let id = hid.ids.get(device);
        if (!id) {
            id = hid.next++;
            hid.ids.set(device, id);
        }
        hid.byId.set(id, device);
        hid.listed.push(id);
    }
    for (const id of Array.from(hid.byId.keys())) {
        if (!hid.listed.includes(id)) {
            hid.byId.delete(id);
        }
    }
    return hid.listed.length;
});

EM_JS(int, treadle_webhid_listed, (int index), { return Module.treadleHid.listed[index] || 0; });

// The vendor ID times 65536 plus the product ID; -1 for a device no longer granted.
EM_JS(double, treadle_webhid_ids, (int id), {
    const device = Module.treadleHid.byId.get(id);
    return device ? device.vendorId * 65536 + device.productId : -1;
});

// Writes the usage page, usage, input, output and feature report lengths (report ID byte
// included, 0 for none) of the device's collection `index` into out[0..4]; 0 when there is no
// such collection. Which collection speaks for the interface is decided in C++ (Caps).
EM_JS(int, treadle_webhid_collection, (int id, int index, int* out), {
    const device = Module.treadleHid.byId.get(id);
    const collections = device ? (device.collections || []) : [];
    const chosen = collections[index];
    if (!chosen) {
        return 0;
    }
    const length = (reports) => {
        let longest = 0;
        for (const report of reports || []) {
            let bits = 0;
            for (const item of report.items || []) {
                bits += (item.reportSize || 0) * (item.reportCount || 0);
            }
            longest = Math.max(longest, Math.ceil(bits / 8));
        }
        return longest > 0 ? longest + 1 : 0;
    };
    const values = [ chosen.usagePage, chosen.usage, length(chosen.inputReports), length(chosen.outputReports),
                     length(chosen.featureReports) ];
    for (let i = 0; i < values.length; ++i) {
        HEAP32[(out >> 2) + i] = values[i];
    }
    return 1;
});

// Opens a device unless it is open; 0 when it is, else 1 refused by the browser (no access to
// the system's node), 2 gone, 3 another failure, with the reason kept for ErrorText.
EM_ASYNC_JS(int, treadle_webhid_open, (int id), {
    const hid = Module.treadleHid;
    const device = hid.byId.get(id);
    if (!device) {
        hid.lastError = "the device is gone";
        return 2;
    }
    if (!device.treadleListening) {
        device.treadleListening = true;
        device.addEventListener("inputreport", (event) => {
            const report = new Uint8Array(event.data.byteLength + 1);
            report[0] = event.reportId;
            report.set(new Uint8Array(event.data.buffer, event.data.byteOffset, event.data.byteLength), 1);
            if (!hid.inputs.has(id)) {
                hid.inputs.set(id, []);
            }
            hid.inputs.get(id).push(report);
            const wake = hid.waiters.get(id);
            if (wake) {
                wake();
            }
        });
    }
    if (device.opened) {
        return 0;
    }
    try {
        await device.open();
        return 0;
    } catch (e) {
        hid.lastError = e.name + ": " + e.message;
        if (e.name === "NotAllowedError" || e.name === "SecurityError") {
            window.dispatchEvent(new CustomEvent("treadle-hid-denied"));
            return 1;
        }
        return e.name === "NotFoundError" ? 2 : 3;
    }
});

EM_ASYNC_JS(void, treadle_webhid_close, (int id), {
    const device = Module.treadleHid.byId.get(id);
    if (device && device.opened) {
        try {
            await device.close();
        } catch (e) {
        }
    }
});

// Sends one output report; the bytes sent, or -1 with the reason kept for ErrorText.
EM_ASYNC_JS(int, treadle_webhid_send, (int id, int reportId, const unsigned char* data, int size), {
    const hid = Module.treadleHid;
    const device = hid.byId.get(id);
    const bytes = HEAPU8.slice(data, data + size);
    if (!device || !device.opened) {
        hid.lastError = "the device is gone; it may have been unplugged";
        return -1;
    }
    try {
        await device.sendReport(reportId, bytes);
        return size;
    } catch (e) {
        hid.lastError = "the browser refused the report: " + e.name + ": " + e.message;
        return -1;
    }
});

// Waits at most timeoutMs for an input report and copies it; its length, 0 on a time-out,
// -1 when the device is gone.
EM_ASYNC_JS(int, treadle_webhid_read, (int id, unsigned char* buffer, int size, int timeoutMs), {
    const hid = Module.treadleHid;
    const device = hid.byId.get(id);
    if (!device || !device.opened) {
        hid.lastError = "the device is gone; it may have been unplugged";
        return -1;
    }
    const queue = hid.inputs.get(id) || [];
    if (queue.length === 0 && timeoutMs > 0) {
        await new Promise((resolve) => {
            const timer = setTimeout(resolve, timeoutMs);
            hid.waiters.set(id, () => {
                clearTimeout(timer);
                resolve();
            });
        });
        hid.waiters.delete(id);
    }
    const report = (hid.inputs.get(id) || []).shift();
    if (!report) {
        return 0;
    }
    const length = Math.min(size, report.length);
    HEAPU8.set(report.subarray(0, length), buffer);
    return length;
});

EM_JS(int, treadle_webhid_error_size, (), { return lengthBytesUTF8(Module.treadleHid.lastError) + 1; });
EM_JS(void, treadle_webhid_error_copy, (char* out, int size), { stringToUTF8(Module.treadleHid.lastError, out, size); });

// The pedal test's ears: WebHID keeps a foot switch's keyboard and mouse interfaces from
// pages, so the presses are the key and mouse events that reach the page while it has the
// focus. A key pressed is a press with the modifiers held; modifiers pressed and let go alone
// are one; a mouse button pressed is a click. Each is kept as its modifier byte, usage and
// mouse button (0 for a key).
EM_JS(void, treadle_webhid_listen, (), {
    const hid = Module.treadleHid;
    if (hid.presses) {
        return;
    }
    hid.presses = [];
    const usages = {Enter : 40, Escape : 41, Backspace : 42, Tab : 43, Space : 44, Minus : 45, Equal : 46,
                    BracketLeft : 47, BracketRight : 48, Backslash : 49, Semicolon : 51, Quote : 52, Backquote : 53,
                    Comma : 54, Period : 55, Slash : 56, CapsLock : 57, PrintScreen : 70, ScrollLock : 71, Pause : 72,
                    Insert : 73, Home : 74, PageUp : 75, Delete : 76, End : 77, PageDown : 78, ArrowRight : 79,
                    ArrowLeft : 80, ArrowDown : 81, ArrowUp : 82, NumLock : 83, NumpadDivide : 84,
                    NumpadMultiply : 85, NumpadSubtract : 86, NumpadAdd : 87, NumpadEnter : 88, Numpad0 : 98,
                    NumpadDecimal : 99, IntlBackslash : 100, ContextMenu : 101};
    const modifierBits = {ControlLeft : 1, ShiftLeft : 2, AltLeft : 4, MetaLeft : 8, ControlRight : 16,
                          ShiftRight : 32, AltRight : 64, MetaRight : 128};
    const usageOf = (code) => {
        let m = /^Key([A-Z])$/.exec(code);
        if (m) {
            return m[1].charCodeAt(0) - 65 + 4;
        }
        m = /^Digit([0-9])$/.exec(code);
        if (m) {
            return m[1] === "0" ? 39 : 29 + Number(m[1]);
        }
        m = /^F([0-9]+)$/.exec(code);
        if (m) {
            const n = Number(m[1]);
            return n <= 12 ? 57 + n : n <= 24 ? 91 + n : 0;
        }
        m = /^Numpad([1-9])$/.exec(code);
        if (m) {
            return 88 + Number(m[1]);
        }
        return usages[code] || 0;
    };
    let held = 0;
    let alone = false;
    document.addEventListener("keydown", (event) => {
        if (event.repeat) {
            return;
        }
        const bit = modifierBits[event.code];
        if (bit) {
            held |= bit;
            alone = true;
            return;
        }
        alone = false;
        const usage = usageOf(event.code);
        if (usage) {
            hid.presses.push([ held, usage, 0 ]);
        }
    }, true);
    document.addEventListener("keyup", (event) => {
        const bit = modifierBits[event.code];
        if (bit) {
            if (alone && held) {
                hid.presses.push([ held, 0, 0 ]);
            }
            alone = false;
            held &= ~bit;
        }
    }, true);
    document.addEventListener("mousedown", (event) => {
        const button = [ 1, 4, 2 ][event.button];
        if (button && event.target.closest && event.target.closest("[data-pedal-test]")) {
            hid.presses.push([ 0, 0, button ]);
        }
    }, true);
});

// Takes the oldest press kept into out[0..2]; 0 when there is none.
EM_JS(int, treadle_webhid_take_press, (int* out), {
    const press = Module.treadleHid.presses.shift();
    if (!press) {
        return 0;
    }
    for (let i = 0; i < 3; ++i) {
        HEAP32[(out >> 2) + i] = press[i];
    }
    return 1;
});
// clang-format on

// The presses that reach the page, as the pedal test's watch. A read never waits: the page's
// events come between the window's ticks.
class PageInputWatch final : public InputWatch {
  public:
    PageInputWatch() { treadle_webhid_listen(); }

    WatchRead Read(int timeoutMs) override {
        (void)timeoutMs;
        WatchRead read;
        int press[3] = {};
        while (read.presses.size() < static_cast<size_t>(kMaxReportsPerWatchRead) && treadle_webhid_take_press(press)) {
            PedalPress pedal;
            pedal.mouse = press[2] != 0;
            pedal.modifiers = static_cast<std::uint8_t>(press[0]);
            pedal.usage = press[1];
            pedal.button = press[2];
            read.presses.push_back({"webhid:page", pedal});
        }
        return read;
    }
};

constexpr const char* kPathPrefix = "webhid:";

std::string LastError() {
    std::string text(static_cast<size_t>(treadle_webhid_error_size()), '\0');
    treadle_webhid_error_copy(text.data(), static_cast<int>(text.size()));
    text.resize(text.find('\0'));
    return text;
}

// The device number of a path, 0 for a path that is none of ours.
int DeviceOf(const std::string& path) {
    if (path.rfind(kPathPrefix, 0) != 0) {
        return 0;
    }
    try {
        return std::stoi(path.substr(std::char_traits<char>::length(kPathPrefix)));
    } catch (const std::exception&) {
        return 0;
    }
}

class WebHidPlatform final : public HidPlatform {
  public:
    WebHidPlatform() { treadle_webhid_state(); }

    std::vector<std::string> EnumerateInterfaces() override {
        std::vector<std::string> paths;
        const int count = treadle_webhid_list();
        for (int i = 0; i < count; ++i) {
            paths.push_back(kPathPrefix + std::to_string(treadle_webhid_listed(i)));
        }
        return paths;
    }

    OpenResult OpenReadWrite(const std::string& path) override { return Open(path); }
    OpenResult OpenForTimedRead(const std::string& path) override { return Open(path); }

    bool GetAttributes(HidHandle handle, HidAttributes& out) override {
        const auto it = handles_.find(handle);
        return it != handles_.end() && Ids(it->second, out);
    }

    bool PeekAttributes(const std::string& path, HidAttributes& out) override {
        const int device = DeviceOf(path);
        return device != 0 && Ids(device, out);
    }

    bool PeekCaps(const std::string& path, HidCaps& out) override {
        const int device = DeviceOf(path);
        return device != 0 && Caps(device, out);
    }

    bool GetCaps(HidHandle handle, HidCaps& out) override {
        const auto it = handles_.find(handle);
        return it != handles_.end() && Caps(it->second, out);
    }

    WriteResult Write(HidHandle handle, std::span<const std::uint8_t> report) override {
        const auto it = handles_.find(handle);
        if (it == handles_.end()) {
            return {0, "the handle is not open"};
        }
        if (report.empty()) {
            return {0, "an output report needs its report ID byte"};
        }
        const int sent =
            treadle_webhid_send(it->second, report[0], report.data() + 1, static_cast<int>(report.size() - 1));
        if (sent < 0) {
            return {0, LastError()};
        }
        return {sent + 1, {}};
    }

    ReadResult ReadTimed(HidHandle handle, std::span<std::uint8_t> buffer, int timeoutMs) override {
        const auto it = handles_.find(handle);
        if (it == handles_.end()) {
            return {ReadStatus::Failed, 0, 0, "the handle is not open"};
        }
        const int read = treadle_webhid_read(it->second, buffer.data(), static_cast<int>(buffer.size()), timeoutMs);
        if (read < 0) {
            return {ReadStatus::Failed, 0, 0, LastError()};
        }
        return {read == 0 ? ReadStatus::TimedOut : ReadStatus::Completed, read, 0, {}};
    }

    // The device closes with its last handle.
    bool Close(HidHandle handle) override {
        const auto it = handles_.find(handle);
        if (it == handles_.end()) {
            return false;
        }
        const int device = it->second;
        handles_.erase(it);
        bool stillOpen = false;
        for (const auto& [other, otherDevice] : handles_) {
            stillOpen = stillOpen || otherDevice == device;
        }
        if (!stillOpen) {
            treadle_webhid_close(device);
        }
        return true;
    }

    std::string ErrorText(std::uint32_t) override { return {}; }

    WatchStart WatchInput(std::uint16_t vendorId, std::uint16_t productId) override {
        (void)vendorId;
        (void)productId;
        return {std::make_unique<PageInputWatch>(), {}};
    }

  private:
    OpenResult Open(const std::string& path) {
        const int device = DeviceOf(path);
        if (device == 0) {
            return {0, OpenFailure::Gone, path + " is no device of this page"};
        }
        switch (treadle_webhid_open(device)) {
            case 0:
                handles_[next_] = device;
                return {next_++, OpenFailure::None, {}};
            case 1:
                return {0, OpenFailure::AccessDenied, path + ": " + LastError()};
            case 2:
                return {0, OpenFailure::Gone, path + ": " + LastError()};
            default:
                return {0, OpenFailure::Other, path + ": " + LastError()};
        }
    }

    static bool Ids(int device, HidAttributes& out) {
        const double ids = treadle_webhid_ids(device);
        if (ids < 0) {
            return false;
        }
        const auto value = static_cast<std::uint32_t>(ids);
        out.vendorId = static_cast<std::uint16_t>(value >> 16);
        out.productId = static_cast<std::uint16_t>(value & 0xFFFF);
        return true;
    }

    // The interface speaks through its first collection that is no keyboard or mouse and has
    // output reports, else through its first collection, so a keyboard interface is told as one
    // and the search leaves it closed.
    static bool Caps(int device, HidCaps& out) {
        bool found = false;
        for (int index = 0;; ++index) {
            int values[5] = {};
            if (treadle_webhid_collection(device, index, values) == 0) {
                return found;
            }
            HidCaps caps;
            caps.usagePage = static_cast<std::uint16_t>(values[0]);
            caps.usage = static_cast<std::uint16_t>(values[1]);
            caps.inputReportLength = values[2];
            caps.outputReportLength = values[3];
            caps.featureReportLength = values[4];
            if (!hid::IsKeyboardOrMouse(caps.usagePage, caps.usage) && caps.outputReportLength > 0) {
                out = caps;
                return true;
            }
            if (!found) {
                out = caps;
                found = true;
            }
        }
    }

    std::map<HidHandle, int> handles_;  // each open handle's device
    HidHandle next_ = 1;
};

}  // namespace

std::unique_ptr<HidPlatform> MakeSystemHidPlatform() { return std::make_unique<WebHidPlatform>(); }

}  // namespace treadle
