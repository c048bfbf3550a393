#include "device/virtual_foot_switch.h"

#include "device/clock.h"
#include "device/hid_usages.h"
#include "device/input_report.h"
#include "device/system_error_text.h"
#include "device/user_file_mode.h"
#include "text/text_rules.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <set>
#include <sstream>
#include <system_error>
#include <thread>

namespace treadle {
namespace {

constexpr const char* kPrefix = "virtual:";
constexpr std::uint32_t kErrorUnplugged = ENODEV;
constexpr std::uint32_t kErrorBadHandle = EBADF;

const char* InterfaceName(int i) {
    static constexpr const char* kNames[] = {"keyboard", "mouse", "config"};
    return kNames[i];
}

constexpr std::uint8_t kKeyboardDescriptor[] = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01, 0x75,
    0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x05, 0x75, 0x01, 0x05, 0x08,
    0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06, 0x75, 0x08, 0x15,
    0x00, 0x26, 0xFF, 0x00, 0x05, 0x07, 0x19, 0x00, 0x2A, 0xFF, 0x00, 0x81, 0x00, 0xC0};
constexpr std::uint8_t kMouseDescriptor[] = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19, 0x01, 0x29, 0x03, 0x15, 0x00,
    0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02, 0x95, 0x01, 0x75, 0x05, 0x81, 0x01, 0x05, 0x01, 0x09, 0x30,
    0x09, 0x31, 0x09, 0x38, 0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x03, 0x81, 0x06, 0xC0, 0xC0};

const char* KindWord(SlotKind kind) {
    switch (kind) {
        case SlotKind::Key:
            return "key";
        case SlotKind::Mouse:
            return "mouse";
        default:
            return "";
    }
}

// The highest device number that a "device N" line of a state file names; 0 for none.
int StateFileDeviceCount(const std::string& text) {
    std::istringstream lines(text);
    int highest = 0;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string word;
        std::string number;
        if (words >> word >> number && word == "device" && !number.empty() && number.size() <= 3 &&
            std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            highest = std::max(highest, std::stoi(number));
        }
    }
    return highest;
}

}  // namespace

std::span<const std::uint8_t> VirtualKeyboardDescriptor() { return kKeyboardDescriptor; }

std::span<const std::uint8_t> VirtualMouseDescriptor() { return kMouseDescriptor; }

std::optional<PedalPress> SlotPress(const SlotBytes& bytes, SlotKind kind) {
    if (bytes[2] != 0 || bytes[3] != 0) {
        return std::nullopt;  // erased (FF FF FF FF) or written by no assignment frame
    }
    const bool readsAsClick = bytes[0] == kMouseMarker && MouseFramePress(bytes[1]).has_value();
    if (kind == SlotKind::Mouse || (kind == SlotKind::Unknown && readsAsClick)) {
        return bytes[0] == kMouseMarker ? MouseFramePress(bytes[1]) : std::nullopt;
    }
    return KeyFramePress(bytes[0], bytes[1]);
}

// The reports queued on the virtual keyboard and mouse interfaces, read through the same
// descriptors and press detection as a real device's.
class VirtualInputWatch final : public InputWatch {
  public:
    explicit VirtualInputWatch(VirtualFootSwitch& owner) : owner_(owner) {
        const auto keyboard = ParseReportDescriptor(VirtualKeyboardDescriptor());
        const auto mouse = ParseReportDescriptor(VirtualMouseDescriptor());
        keyboard_ = keyboard.info;
        mouse_ = mouse.info;
        watched_.assign(owner_.devices_.size(), true);
        detectors_.resize(owner_.devices_.size() * 2);
        if (owner_.presses_) {
            queueError_ = owner_.presses_->Newest(queued_);  // what was pressed before is not heard
        }
    }

    WatchRead Read(int timeoutMs) override {
        WatchRead result;
        if (!TakeQueuedPresses(result)) {
            return result;
        }
        bool any = false;
        for (size_t d = 0; d < owner_.devices_.size(); ++d) {
            VirtualFootSwitch::Device& device = owner_.devices_[d];
            if (!watched_[d]) {
                continue;
            }
            if (!device.present) {
                watched_[d] = false;
                result.lost.push_back(std::string(kPrefix) + std::to_string(d + 1) + " is gone (unplugged)");
                continue;
            }
            any = true;
            while (!device.pedalQueue.empty()) {
                const auto [interface, report] = std::move(device.pedalQueue.front());
                device.pedalQueue.pop_front();
                Decode(d, interface == VirtualFootSwitch::Interface::Keyboard, report, result);
            }
        }
        if (!any) {
            result.ended = true;
            result.error = "the virtual foot switch was unplugged";
            return result;
        }
        if (result.presses.empty() && result.lost.empty() && timeoutMs > 0) {
            if (owner_.options_.sleeper != nullptr) {
                owner_.options_.sleeper->Sleep(timeoutMs);
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
            }
        }
        return result;
    }

  private:
    void Decode(size_t d, bool keyboard, const std::vector<std::uint8_t>& report, WatchRead& result) {
        const DecodedReport decoded = DecodeInputReport(keyboard ? keyboard_ : mouse_, report);
        const std::string path = std::string(kPrefix) + std::to_string(d + 1) + (keyboard ? ":keyboard" : ":mouse");
        for (const PedalPress& press : detectors_[2 * d + (keyboard ? 0 : 1)].Next(decoded.state)) {
            result.presses.push_back({path, press});
        }
    }

    // The presses other programs sharing the state file made (and this one, which sends its
    // own presses the same way). False, with the watch ended, when the queue or the state
    // file cannot be read.
    bool TakeQueuedPresses(WatchRead& result) {
        if (!owner_.presses_) {
            return true;
        }
        std::vector<QueuedReport> reports;
        std::string error = queueError_;
        if (error.empty()) {
            error = owner_.presses_->Take(queued_, reports);
        }
        // The switches may have been programmed since this program read them: the presses are
        // matched against what the state file holds now.
        if (error.empty() && !reports.empty() && !owner_.Reload(error)) {
            error = "the state file cannot be read again: " + error;
        }
        if (!error.empty()) {
            result.ended = true;
            result.error = error;
            return false;
        }
        for (const QueuedReport& r : reports) {
            const auto d = static_cast<size_t>(r.device);
            if (d < owner_.devices_.size() && watched_[d] && owner_.devices_[d].present) {
                Decode(d, r.keyboard, r.report, result);
            }
        }
        return true;
    }

    VirtualFootSwitch& owner_;
    ReportDescriptorInfo keyboard_;
    ReportDescriptorInfo mouse_;
    std::vector<bool> watched_;
    std::vector<PressDetector> detectors_;
    std::uint64_t queued_ = 0;  // the number of the last queued report taken
    std::string queueError_;
};

VirtualFootSwitch::VirtualFootSwitch(Options options) : options_(std::move(options)), lockWait_(options_.lockWaitMs) {
    if (!options_.stateFile.empty()) {
        presses_.emplace(options_.stateFile, options_.lockWaitMs);
    }
    devices_.resize(static_cast<size_t>(std::max(1, options_.devices)));
    for (Device& d : devices_) {
        for (SlotBytes& s : d.slots) {
            s.fill(0xFF);  // an erased slot
        }
    }
}

VirtualFootSwitch::~VirtualFootSwitch() = default;

bool VirtualFootSwitch::Start(std::string& error) {
    TakeDeviceCountOfStateFile();
    if (!options_.stateFile.empty() && !LoadState(error)) {
        return false;
    }
    if (!options_.captureFile.empty() && !capture_.IsOpen()) {
        return OpenCapture(error);
    }
    return true;
}

void VirtualFootSwitch::TakeDeviceCountOfStateFile() {
    if (options_.devices > 0 || options_.stateFile.empty()) {
        return;
    }
    const FileRead file = ReadUserFile(options_.stateFile, true);
    const int count =
        file.status == FileReadStatus::Read ? StateFileDeviceCount(std::string(WithoutUtf8Mark(file.text))) : 0;
    // A count beyond the most is left to the parser, which names the line.
    if (count > static_cast<int>(devices_.size()) && count <= kMaxDevices) {
        devices_.resize(static_cast<size_t>(count));
        for (size_t d = 1; d < devices_.size(); ++d) {
            devices_[d].slots = devices_[0].slots;
        }
    }
}

bool VirtualFootSwitch::OpenCapture(std::string& error) {
    const std::string& capture = options_.captureFile;
    const std::string& state = options_.stateFile;
    auto refuse = [&](const std::string& what) {
        error = "the capture file " + capture + " is " + what + ": give another capture file";
        return false;
    };
    // Told by name (links followed) before the open, which would create a missing state file
    // through a link to it; by identity after it, for a hard link.
    if (const std::string role = VirtualFileRole(state, {}, capture); !role.empty()) {
        return refuse(role);
    }
    if (const std::string why = capture_.Open(capture); !why.empty()) {
        error = "cannot open the capture file " + capture + ": " + why;
        return false;
    }
    if (!state.empty() && capture_.IsSameFileAs(state)) {
        capture_.Close();
        return refuse("the state file " + state);
    }
    return true;
}

VirtualFile VirtualFileOf(const std::string& stateFile, const std::string& captureFile, const std::string& path) {
    for (VirtualFile file : {VirtualFile::State, VirtualFile::Lock, VirtualFile::PressQueue, VirtualFile::Capture}) {
        const std::string own = VirtualFilePath(stateFile, captureFile, file);
        if (!own.empty() && SameUserFile(path, own)) {
            return file;
        }
    }
    return VirtualFile::None;
}

std::string VirtualFilePath(const std::string& stateFile, const std::string& captureFile, VirtualFile file) {
    const bool state = !stateFile.empty();
    switch (file) {
        case VirtualFile::State:
            return stateFile;
        case VirtualFile::Lock:
            return state ? stateFile + ".lock" : std::string();
        case VirtualFile::PressQueue:
            return state ? PressQueue::PathOf(stateFile) : std::string();
        case VirtualFile::Capture:
            return captureFile;
        case VirtualFile::None:
            break;
    }
    return {};
}

std::string VirtualFileRole(const std::string& stateFile, const std::string& captureFile, const std::string& path) {
    const VirtualFile file = VirtualFileOf(stateFile, captureFile, path);
    const std::string own = VirtualFilePath(stateFile, captureFile, file);
    switch (file) {
        case VirtualFile::State:
            return "the state file " + own;
        case VirtualFile::Lock:
            return "the state file's lock " + own;
        case VirtualFile::PressQueue:
            return "the state file's press queue " + own;
        case VirtualFile::Capture:
            return "the capture file " + own;
        case VirtualFile::None:
            break;
    }
    return {};
}

bool VirtualFootSwitch::Reload(std::string& error) {
    if (options_.stateFile.empty()) {
        return true;
    }
    const FileLock lock(options_.stateFile, LockMode::Shared, lockWait_);
    if (!lock.error().empty()) {
        error = "cannot lock the state file: " + lock.error();
        return false;
    }
    return LoadState(error);
}

std::string VirtualFootSwitch::ConfigPath(int device) {
    return std::string(kPrefix) + std::to_string(device + 1) + ":config";
}

std::vector<std::string> VirtualFootSwitch::EnumerateInterfaces() {
    std::vector<std::string> paths;
    for (size_t d = 0; d < devices_.size(); ++d) {
        if (!devices_[d].present) {
            continue;
        }
        for (int i = 0; i < 3; ++i) {
            paths.push_back(std::string(kPrefix) + std::to_string(d + 1) + ":" + InterfaceName(i));
        }
    }
    return paths;
}

bool VirtualFootSwitch::ParsePath(const std::string& path, int& device, Interface& interface) const {
    if (path.rfind(kPrefix, 0) != 0) {
        return false;
    }
    const std::string rest = path.substr(std::strlen(kPrefix));
    const size_t colon = rest.find(':');
    if (colon == std::string::npos || colon == 0 || colon > 4) {
        return false;
    }
    int number = 0;
    for (size_t i = 0; i < colon; ++i) {
        if (rest[i] < '0' || rest[i] > '9') {
            return false;
        }
        number = number * 10 + (rest[i] - '0');
    }
    if (number < 1 || number > static_cast<int>(devices_.size())) {
        return false;
    }
    const std::string name = rest.substr(colon + 1);
    for (int i = 0; i < 3; ++i) {
        if (name == InterfaceName(i)) {
            device = number - 1;
            interface = static_cast<Interface>(i);
            return true;
        }
    }
    return false;
}

OpenResult VirtualFootSwitch::OpenInterface(const std::string& path) {
    int device = 0;
    Interface interface = Interface::Config;
    if (!ParsePath(path, device, interface) || !devices_[static_cast<size_t>(device)].present) {
        return {0, OpenFailure::Gone, "no such interface: " + path};
    }
    if (devices_[static_cast<size_t>(device)].denied) {
        return {0, OpenFailure::AccessDenied, "permission denied: " + path};
    }
    return {handles_.Add(Open{device, interface}), OpenFailure::None, {}};
}

OpenResult VirtualFootSwitch::OpenReadWrite(const std::string& path) { return OpenInterface(path); }

OpenResult VirtualFootSwitch::OpenForTimedRead(const std::string& path) { return OpenInterface(path); }

VirtualFootSwitch::Open* VirtualFootSwitch::Lookup(HidHandle handle) { return handles_.Find(handle); }

bool VirtualFootSwitch::GetAttributes(HidHandle handle, HidAttributes& out) {
    const Open* open = Lookup(handle);
    if (open == nullptr || !devices_[static_cast<size_t>(open->device)].present) {
        return false;
    }
    out = {kFootSwitchVendorId, kFootSwitchProductId};
    return true;
}

std::string VirtualFootSwitch::DeviceIdentity(const std::string& path) {
    int device = 0;
    Interface interface = Interface::Config;
    return ParsePath(path, device, interface) ? "serial VIRTUAL-" + std::to_string(device + 1) : path;
}

bool VirtualFootSwitch::PeekAttributes(const std::string& path, HidAttributes& out) {
    int device = 0;
    Interface interface = Interface::Config;
    if (!ParsePath(path, device, interface) || !devices_[static_cast<size_t>(device)].present) {
        return false;
    }
    out = {kFootSwitchVendorId, kFootSwitchProductId};
    return true;
}

// The keyboard and mouse collections of the descriptors above, and the configuration
// interface's vendor-defined one.
HidCaps VirtualFootSwitch::CapsOf(Interface interface) {
    switch (interface) {
        case Interface::Keyboard:
            return {kReportLength + 1, 2, 0, hid::kGenericDesktopPage, hid::kKeyboardUsage};
        case Interface::Mouse:
            return {5, 0, 0, hid::kGenericDesktopPage, hid::kMouseUsage};
        case Interface::Config:
            break;
    }
    return {kReportLength, kReportLength, 0, 0xFF00, 0x01};
}

bool VirtualFootSwitch::PeekCaps(const std::string& path, HidCaps& out) {
    int device = 0;
    Interface interface = Interface::Config;
    if (!ParsePath(path, device, interface) || !devices_[static_cast<size_t>(device)].present) {
        return false;
    }
    out = CapsOf(interface);
    return true;
}

bool VirtualFootSwitch::GetCaps(HidHandle handle, HidCaps& out) {
    const Open* open = Lookup(handle);
    if (open == nullptr || !devices_[static_cast<size_t>(open->device)].present) {
        return false;
    }
    out = CapsOf(open->interface);
    return true;
}

WriteResult VirtualFootSwitch::Write(HidHandle handle, std::span<const std::uint8_t> report) {
    const Open* open = Lookup(handle);
    if (open == nullptr) {
        return {0, "invalid handle"};
    }
    Device& device = devices_[static_cast<size_t>(open->device)];
    if (!device.present) {
        return {0, "the device was unplugged"};
    }
    if (open->interface != Interface::Config) {
        return {0, std::string("the ") + InterfaceName(static_cast<int>(open->interface)) +
                       " interface takes no frames; they go to the configuration interface"};
    }
    if (report.size() != kReportLength) {
        return {0, "an output report must be " + std::to_string(kReportLength) + " bytes, not " +
                       std::to_string(report.size())};
    }
    if (writeFault_ == WriteFault::Fail) {
        return {0, "the device did not take the report"};
    }
    if (writeFault_ == WriteFault::Short) {
        return {static_cast<int>(report.size()) - 1, "the device took only part of the report"};
    }
    const std::uint8_t slotByte = report[3];
    const std::uint8_t kind = report[2];
    if (report[1] == kFrameStart && (kind == kKeyFrameKind || kind == kMouseFrameKind) && slotByte % 4 == 0 &&
        slotByte / 4 < kSlotCount) {
        std::string error;
        // Only a switch's slot says what a pedal sends; the settings slots keep no kind.
        const SlotKind slotKind = slotByte / 4 >= kSwitchCount ? SlotKind::Unknown
                                  : kind == kMouseFrameKind     ? SlotKind::Mouse
                                                                : SlotKind::Key;
        if (!StoreSlot(open->device, slotByte / 4, {report[4], report[5], report[6], report[7]}, slotKind, error)) {
            WriteResult failed(0, error);
            failed.fileFault = true;
            return failed;
        }
    }
    device.received.emplace_back(report.begin(), report.end());
    WriteResult result(static_cast<int>(report.size()));
    if (capture_.IsOpen()) {
        // One write per line, unbuffered: another process may be following the file.
        if (const std::string why = capture_.Append(ByteListText(report) + "\n"); !why.empty()) {
            result.captureFile = options_.captureFile;
            result.captureError = why;
        }
    }
    return result;
}

ReadResult VirtualFootSwitch::ReadTimed(HidHandle handle, std::span<std::uint8_t> buffer, int timeoutMs) {
    const Open* open = Lookup(handle);
    if (open == nullptr) {
        return {ReadStatus::Failed, 0, kErrorBadHandle, "invalid handle"};
    }
    Device& device = devices_[static_cast<size_t>(open->device)];
    if (failNextWait_ != 0) {
        const std::uint32_t code = failNextWait_;
        failNextWait_ = 0;
        return {ReadStatus::Failed, 0, code, ErrorText(code)};
    }
    if (!device.present) {
        return {ReadStatus::Failed, 0, kErrorUnplugged, "the device was unplugged"};
    }
    if (open->interface != Interface::Config) {
        // Its reports are the pedals' presses, which WatchInput follows.
        return {ReadStatus::Failed, 0, kErrorBadHandle, "only the configuration interface is read here"};
    }
    if (device.inputQueue.empty()) {
        if (options_.sleeper != nullptr) {
            options_.sleeper->Sleep(timeoutMs);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
        }
        return {ReadStatus::TimedOut, 0, 0, {}};
    }
    const std::vector<std::uint8_t> report = std::move(device.inputQueue.front());
    device.inputQueue.pop_front();
    const size_t n = std::min(report.size(), buffer.size());
    std::copy_n(report.begin(), n, buffer.begin());
    return {ReadStatus::Completed, static_cast<int>(n), 0, {}};
}

bool VirtualFootSwitch::Close(HidHandle handle) { return handles_.Remove(handle); }

std::string VirtualFootSwitch::ErrorText(std::uint32_t code) { return CLibraryErrorText(code); }

void VirtualFootSwitch::Unplug(int device) { devices_.at(static_cast<size_t>(device)).present = false; }

void VirtualFootSwitch::Plug(int device) { devices_.at(static_cast<size_t>(device)).present = true; }

void VirtualFootSwitch::DenyAccess(bool deny, int device) { devices_.at(static_cast<size_t>(device)).denied = deny; }

WatchStart VirtualFootSwitch::WatchInput(std::uint16_t vendorId, std::uint16_t productId) {
    if (vendorId != kFootSwitchVendorId || productId != kFootSwitchProductId) {
        return {nullptr, "no keyboard or mouse interface of a foot switch with these IDs found"};
    }
    return {std::make_unique<VirtualInputWatch>(*this), {}};
}

bool VirtualFootSwitch::PressPedal(int pedal, std::string& error, int device) {
    if (pedal < 1 || pedal > 4 || device < 0 || device >= DeviceCount()) {
        error = "there is no pedal " + std::to_string(pedal) + ": pedals are 1 to 4";
        return false;
    }
    Device& d = devices_[static_cast<size_t>(device)];
    if (!d.present) {
        error = "the virtual foot switch was unplugged";
        return false;
    }
    const size_t slot = static_cast<size_t>(pedal - 1);
    const std::optional<PedalPress> press = SlotPress(d.slots[slot], d.kinds[slot]);
    if (!press) {
        error = "switch " + std::to_string(pedal) + " holds no assignment (" + ByteListText(d.slots[slot]) +
                "): its pedal sends nothing";
        return false;
    }
    std::vector<QueuedReport> reports;
    if (press->mouse) {
        reports.push_back({device, false, {0, static_cast<std::uint8_t>(press->button), 0, 0, 0}});
        reports.push_back({device, false, {0, 0, 0, 0, 0}});
    } else {
        reports.push_back(
            {device, true, {0, press->modifiers, 0, static_cast<std::uint8_t>(press->usage), 0, 0, 0, 0, 0}});
        reports.push_back({device, true, {0, 0, 0, 0, 0, 0, 0, 0, 0}});
    }
    // With a state file the press goes where every program sharing it hears it. Where it
    // cannot (a read-only folder, a lock kept elsewhere) it is still made here, and said.
    pressNote_.clear();
    if (presses_) {
        const std::string why = presses_->Append(reports, &lockWait_);
        if (why.empty()) {
            return true;
        }
        pressNote_ = "the press is not passed on to other programs: " + why;
    }
    for (QueuedReport& r : reports) {
        d.pedalQueue.push_back({r.keyboard ? Interface::Keyboard : Interface::Mouse, std::move(r.report)});
    }
    return true;
}

std::vector<ProgrammedSwitch> VirtualFootSwitch::ProgrammedSwitches(int device) const {
    std::vector<ProgrammedSwitch> switches;
    const Device& d = devices_.at(static_cast<size_t>(device));
    for (int n = 1; n <= 4; ++n) {
        if (const auto press = SlotPress(d.slots[static_cast<size_t>(n - 1)], d.kinds[static_cast<size_t>(n - 1)])) {
            switches.push_back({n, *press});
        }
    }
    return switches;
}

int VirtualFootSwitch::DeviceOfPath(const std::string& path) const {
    int device = 0;
    Interface interface = Interface::Config;
    return ParsePath(path, device, interface) ? device : -1;
}

void VirtualFootSwitch::QueueInputReport(std::vector<std::uint8_t> report, int device) {
    devices_.at(static_cast<size_t>(device)).inputQueue.push_back(std::move(report));
}

// ---- State file -------------------------------------------------------------------------
//
//   # comment
//   device 1
//   slot 00: 01 3A 00 00 key
//   slot 04: FE 01 00 00 mouse
//
// The word after the bytes is the kind of the frame that stored them; files written before
// it was kept have none, and such slots are of unknown kind. Slots that the file does not
// name stay erased (FF FF FF FF). The file ends with a line break, so a file cut short in the
// middle of a line is told from a whole one.

bool VirtualFootSwitch::StoreSlot(int device, int slot, const SlotBytes& bytes, SlotKind kind, std::string& error) {
    SlotBytes& stored = devices_[static_cast<size_t>(device)].slots[static_cast<size_t>(slot)];
    SlotKind& storedKind = devices_[static_cast<size_t>(device)].kinds[static_cast<size_t>(slot)];
    if (options_.stateFile.empty()) {
        stored = bytes;
        storedKind = kind;
        return true;
    }
    // Another program may have changed the file since it was read: read it again under the
    // lock, change the one slot, and write it back before the lock is let go.
    const FileLock lock(options_.stateFile, LockMode::Exclusive, lockWait_);
    if (!lock.error().empty()) {
        error = "cannot lock the state file: " + lock.error();
        return false;
    }
    // A writer killed between its temporary file and the rename left that file behind.
    RemoveStaleTemporaries(options_.stateFile);
    if (!LoadState(error)) {
        return false;
    }
    const SlotBytes before = stored;
    const SlotKind kindBefore = storedKind;
    stored = bytes;
    storedKind = kind;
    if ((stored != before || storedKind != kindBefore) && !SaveState(error)) {
        stored = before;  // what could not be kept was not stored
        storedKind = kindBefore;
        return false;
    }
    return true;
}

bool VirtualFootSwitch::SaveState(std::string& error) const {
    std::ostringstream out;
    out << "# Treadle virtual foot switch: the four data bytes of each of the 32 slots\n";
    for (size_t d = 0; d < devices_.size(); ++d) {
        out << "device " << d + 1 << "\n";
        for (size_t s = 0; s < devices_[d].slots.size(); ++s) {
            out << "slot " << HexByte(static_cast<std::uint8_t>(s * 4)) << ": " << ByteListText(devices_[d].slots[s]);
            if (devices_[d].kinds[s] != SlotKind::Unknown) {
                out << " " << KindWord(devices_[d].kinds[s]);
            }
            out << "\n";
        }
    }
    if (const std::string why = ReadOnlyReason(options_.stateFile); !why.empty()) {
        error = "cannot write the state file " + options_.stateFile + ": " + why + "; nothing was changed";
        return false;
    }
    if (const std::string why = ReplaceUserFile(options_.stateFile, out.str()); !why.empty()) {
        error = "cannot write the state file " + options_.stateFile + ": " + why;
        return false;
    }
    return true;
}

bool VirtualFootSwitch::LoadState(std::string& error) {
    const FileRead file = ReadUserFile(options_.stateFile, true);
    if (file.status == FileReadStatus::Failed) {
        error = options_.stateFile + ": " + file.error;
        return false;
    }
    // Only a file that is not there at all is a new, erased foot switch.
    return ParseState(file.status == FileReadStatus::Missing ? std::string() : file.text,
                      file.status == FileReadStatus::Missing, error);
}

namespace {

// When a state file names more devices than were asked for, how to use them all.
std::string MoreDevicesHint(const std::string& text, size_t devices) {
    const int count = StateFileDeviceCount(text);
    if (count <= static_cast<int>(devices) || count > VirtualFootSwitch::kMaxDevices) {
        return {};
    }
    return ": the file holds " + std::to_string(count) + " devices, but " + std::to_string(devices) +
           (devices == 1 ? " was" : " were") + " asked for (--virtual-devices " + std::to_string(count) +
           ", or leave the count out)";
}

// The slots of a state file as its lines are read. Each line reader returns why its line is
// wrong, empty when it is right.
struct StateFileSlots {
    explicit StateFileSlots(size_t devices) : slots(devices, ErasedSlots()), kinds(devices, SlotKinds{}) {}

    static SlotTable ErasedSlots() {
        SlotTable erased;
        for (SlotBytes& slot : erased) {
            slot.fill(0xFF);
        }
        return erased;
    }

    std::vector<SlotTable> slots;
    std::vector<SlotKinds> kinds;
    std::set<std::pair<int, int>> named;  // (device, slot byte) of every slot line so far
    int device = -1;                      // whose slots the next lines hold; -1 before any device line
    bool anyDevice = false;
};

// "device N", after the word "device": the slot lines that follow are device N's.
std::string ReadDeviceLine(std::istringstream& words, StateFileSlots& state, const std::string& text) {
    std::string numberText;
    words >> numberText;
    int number = 0;
    for (char c : numberText) {
        number = c >= '0' && c <= '9' && number < 1000 ? number * 10 + (c - '0') : -1;
        if (number < 0) {
            break;
        }
    }
    if (numberText.empty() || number < 1 || number > static_cast<int>(state.slots.size())) {
        return "device number must be 1 to " + std::to_string(state.slots.size()) +
               MoreDevicesHint(text, state.slots.size());
    }
    if (std::string more; words >> more) {
        return "unexpected text after the device number";
    }
    state.device = number - 1;
    state.anyDevice = true;
    return {};
}

// "XX:", the slot byte of a slot line.
std::string ReadSlotByte(std::istringstream& words, int& slotByte) {
    std::string slotText;
    words >> slotText;
    if (slotText.size() != 3 || slotText[2] != ':' || HexDigitValue(slotText[0]) < 0 ||
        HexDigitValue(slotText[1]) < 0) {
        return "slot byte must be two hex digits and a colon";
    }
    slotByte = HexDigitValue(slotText[0]) * 16 + HexDigitValue(slotText[1]);
    if (slotByte % 4 != 0 || slotByte >= 0x80) {
        return "slot byte must be a multiple of 4 below 80";
    }
    return {};
}

// "B0 B1 B2 B3", the data bytes of a slot line.
std::string ReadSlotBytes(std::istringstream& words, SlotBytes& bytes) {
    for (std::uint8_t& b : bytes) {
        std::string pair;
        if (!(words >> pair) || pair.size() != 2 || HexDigitValue(pair[0]) < 0 || HexDigitValue(pair[1]) < 0) {
            return "a slot holds four bytes of two hex digits each";
        }
        b = static_cast<std::uint8_t>(HexDigitValue(pair[0]) * 16 + HexDigitValue(pair[1]));
    }
    return {};
}

// The kind of frame that stored the slot, which a slot line may end with.
std::string ReadSlotKind(std::istringstream& words, SlotKind& kind) {
    kind = SlotKind::Unknown;
    std::string word;
    if (!(words >> word)) {
        return {};
    }
    if (word == KindWord(SlotKind::Key)) {
        kind = SlotKind::Key;
    } else if (word == KindWord(SlotKind::Mouse)) {
        kind = SlotKind::Mouse;
    } else {
        return "unexpected text after the four bytes: only the frame kind 'key' or 'mouse' may follow";
    }
    if (words >> word) {
        return "unexpected text after the frame kind";
    }
    return {};
}

// "slot XX: B0 B1 B2 B3 [kind]", after the word "slot".
std::string ReadSlotLine(std::istringstream& words, StateFileSlots& state) {
    if (state.device < 0) {
        return "a slot line before any 'device N' line";
    }
    int slotByte = 0;
    SlotBytes bytes{};
    SlotKind kind = SlotKind::Unknown;
    if (std::string why = ReadSlotByte(words, slotByte); !why.empty()) {
        return why;
    }
    if (std::string why = ReadSlotBytes(words, bytes); !why.empty()) {
        return why;
    }
    if (std::string why = ReadSlotKind(words, kind); !why.empty()) {
        return why;
    }
    if (!state.named.insert({state.device, slotByte}).second) {
        return "slot " + HexByte(static_cast<std::uint8_t>(slotByte)) + " is given twice";
    }
    const auto device = static_cast<size_t>(state.device);
    state.slots[device][static_cast<size_t>(slotByte / 4)] = bytes;
    state.kinds[device][static_cast<size_t>(slotByte / 4)] = kind;
    return {};
}

// Reads every line of a state file's text into the slots; the error names the file and line.
bool ReadStateLines(const std::string& text, StateFileSlots& state, const std::string& file, std::string& error) {
    std::istringstream lines(text);
    int lineNumber = 0;
    for (std::string line; std::getline(lines, line);) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::string trimmed = TrimBlanks(line);
        if (trimmed.empty() || trimmed[0] == '#') {
            continue;
        }
        std::istringstream words(trimmed);
        std::string word;
        words >> word;
        std::string why;
        if (word == "device") {
            why = ReadDeviceLine(words, state, text);
        } else if (word == "slot") {
            why = ReadSlotLine(words, state);
        } else {
            why = "expected 'device N' or 'slot XX: B0 B1 B2 B3'";
        }
        if (!why.empty()) {
            error = file + ":" + std::to_string(lineNumber) + ": " + why;
            return false;
        }
    }
    return true;
}

// The whole text of a state file: plain text that ends with a line break and names a device.
bool ReadStateText(const std::string& fileText, StateFileSlots& state, const std::string& file, std::string& error) {
    if (const std::string encoding = OtherTextEncoding(fileText); !encoding.empty()) {
        error = file + ": the file is " + encoding + "; a state file is plain text: save it as UTF-8";
        return false;
    }
    // An editor may have put a UTF-8 byte order mark in front.
    const std::string text(WithoutUtf8Mark(fileText));
    if (text.empty()) {
        error = file + ": the file is empty; a state file names at least one device";
        return false;
    }
    if (text.back() != '\n') {
        const int lineNumber = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
        error = file + ":" + std::to_string(lineNumber) + ": the file is cut short: its last line has no line end";
        return false;
    }
    if (!ReadStateLines(text, state, file, error)) {
        return false;
    }
    if (!state.anyDevice) {
        error = file + ": the file names no device; a state file names at least one";
        return false;
    }
    return true;
}

}  // namespace

bool VirtualFootSwitch::ParseState(const std::string& fileText, bool missing, std::string& error) {
    // Only the slots change: open handles and received reports stay with their devices.
    StateFileSlots state(devices_.size());
    if (!missing && !ReadStateText(fileText, state, options_.stateFile, error)) {
        return false;
    }
    for (size_t d = 0; d < devices_.size(); ++d) {
        devices_[d].slots = state.slots[d];
        devices_[d].kinds = state.kinds[d];
    }
    return true;
}

}  // namespace treadle
