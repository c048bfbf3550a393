// hidraw: one node per HID device, written and read a whole report at a time, report-ID
// byte first. sysfs tells what is behind each node without opening it.
#include "device/hidraw_platform.h"

#include "device/hid_descriptor.h"
#include "device/hid_usages.h"
#include "device/input_report.h"
#include "device/system_error_text.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <linux/netlink.h>
#include <memory>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace treadle {
namespace {

constexpr std::string_view kNodePrefix = "hidraw";
// uevent texts are a few hundred bytes and report descriptors at most 4 KiB in the kernel;
// anything far larger is not what we expect to find there.
constexpr size_t kMaxSysfsFileBytes = 64 * 1024;

std::string IdText(std::uint16_t vendorId, std::uint16_t productId) {
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", vendorId, productId);
    return text;
}

std::string Errno(int code) {
    std::string text = CLibraryErrorText(static_cast<std::uint32_t>(code));
    return text.empty() ? "error " + std::to_string(code) : text;
}

std::string StripTrailingSlashes(std::string path) {
    while (!path.empty() && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

// The N of "hidrawN", -1 for any other name.
long NodeNumber(std::string_view name) {
    if (name.size() <= kNodePrefix.size() || name.substr(0, kNodePrefix.size()) != kNodePrefix) {
        return -1;
    }
    const std::string_view digits = name.substr(kNodePrefix.size());
    if (digits.size() > 9) {
        return -1;
    }
    long n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') {
            return -1;
        }
        n = n * 10 + (c - '0');
    }
    return n;
}

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

struct FileText {
    std::string data;
    int errorCode = 0;
    std::string error;  // empty when read

    bool ok() const { return error.empty(); }
};

FileText ReadSysfsFile(const std::string& path) {
    FileText result;
    // Non-blocking, so that a FIFO planted where an attribute should be cannot hold the search;
    // sysfs attributes are regular files, and nothing else is read.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        result.errorCode = errno;
        result.error = "cannot open " + path + ": " + Errno(result.errorCode);
        return result;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        result.errorCode = EINVAL;
        result.error = path + " is not a regular file";
        return result;
    }
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            result.errorCode = errno;
            result.error = "cannot read " + path + ": " + Errno(result.errorCode);
            result.data.clear();
            return result;
        }
        if (n == 0) {
            return result;
        }
        if (result.data.size() + static_cast<size_t>(n) > kMaxSysfsFileBytes) {
            result.error = path + " is longer than " + std::to_string(kMaxSysfsFileBytes) + " bytes";
            result.data.clear();
            return result;
        }
        result.data.append(chunk, static_cast<size_t>(n));
    }
}

// A hex field of 1 to 8 digits that fits in `max`; -1 otherwise.
long long HexField(std::string_view text, unsigned long long max) {
    if (text.empty() || text.size() > 8) {
        return -1;
    }
    unsigned long long value = 0;
    for (char c : text) {
        int d = -1;
        if (c >= '0' && c <= '9') {
            d = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            d = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            d = c - 'A' + 10;
        }
        if (d < 0) {
            return -1;
        }
        value = value * 16 + static_cast<unsigned>(d);
    }
    return value > max ? -1 : static_cast<long long>(value);
}

bool HasKeyboardOrMouse(const ReportDescriptorInfo& info) {
    for (const auto& [page, usage] : info.topLevelCollections) {
        if (hid::IsKeyboardOrMouse(page, usage)) {
            return true;
        }
    }
    return false;
}

// The reports of a few keyboard and mouse nodes, read as they come.
class HidrawInputWatch final : public InputWatch {
  public:
    struct Node {
        std::string path;
        int fd = -1;
        ReportDescriptorInfo info;
        PressDetector detector;
    };

    explicit HidrawInputWatch(std::vector<Node> nodes) : nodes_(std::move(nodes)) {}
    ~HidrawInputWatch() override {
        for (Node& n : nodes_) {
            if (n.fd >= 0) {
                ::close(n.fd);
            }
        }
    }
    HidrawInputWatch(const HidrawInputWatch&) = delete;
    HidrawInputWatch& operator=(const HidrawInputWatch&) = delete;

    WatchRead Read(int timeoutMs) override {
        WatchRead result;
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
        for (;;) {
            std::vector<pollfd> polled;
            std::vector<Node*> owners;
            for (Node& n : nodes_) {
                if (n.fd >= 0) {
                    polled.push_back({n.fd, POLLIN, 0});
                    owners.push_back(&n);
                }
            }
            if (polled.empty()) {
                result.ended = true;
                result.error = "the foot switch's keyboard and mouse interfaces are gone; it may have been unplugged";
                return result;
            }
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            const int ready = ::poll(polled.data(), polled.size(), static_cast<int>(std::max<decltype(left)>(0, left)));
            if (ready < 0) {
                if (errno == EINTR) {
                    continue;
                }
                const int code = errno;
                result.ended = true;
                result.error = "waiting for input failed: " + Errno(code);
                return result;
            }
            for (size_t i = 0; i < polled.size(); ++i) {
                if (polled[i].revents != 0) {
                    Drain(*owners[i], result);
                }
            }
            if (!result.presses.empty() || !result.lost.empty() || left <= 0) {
                return result;
            }
        }
    }

  private:
    // Reads the reports waiting on a node, kMaxReportsPerWatchRead at most; a node that ends
    // or fails is closed and named.
    void Drain(Node& n, WatchRead& result) {
        const bool numbered = n.info.numberedInputReports;
        for (int reports = 0; reports < kMaxReportsPerWatchRead;) {
            // Without report IDs hidraw gives the data alone: it goes behind an ID byte of 0.
            // hidraw hands over one report per read; asking for no more than the longest
            // report keeps to that where the node is a stream.
            const size_t offset = numbered ? 0 : 1;
            const size_t longest = static_cast<size_t>(std::max(2, n.info.inputReportLength));
            const size_t wanted = std::min(longest, buffer_.size()) - offset;
            buffer_[0] = 0;
            const ssize_t got = ::read(n.fd, buffer_.data() + offset, wanted);
            if (got > 0) {
                ++reports;
                const DecodedReport report =
                    DecodeInputReport(n.info, std::span<const std::uint8_t>(buffer_.data(), offset + got));
                if (report.known) {
                    for (const PedalPress& press : n.detector.Next(report.state)) {
                        result.presses.push_back({n.path, press});
                    }
                }
                continue;
            }
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0 && errno == EAGAIN) {
                return;
            }
            const std::string why = got == 0 ? "it reported end of file" : Errno(errno);
            ::close(n.fd);
            n.fd = -1;
            result.lost.push_back(n.path + " is gone (" + why + ")");
            return;
        }
    }

    std::vector<Node> nodes_;
    std::array<std::uint8_t, kMaxReportLength> buffer_{};
};

}  // namespace

HidrawRoots HidrawRootsFromEnvironment() {
    HidrawRoots roots;
    if (const char* sysfs = std::getenv("TREADLE_SYSFS_ROOT"); sysfs != nullptr && *sysfs != '\0') {
        roots.sysfs = sysfs;
    }
    if (const char* dev = std::getenv("TREADLE_DEV_ROOT"); dev != nullptr && *dev != '\0') {
        roots.dev = dev;
    }
    return roots;
}

HidIdResult ParseHidIdFromUevent(std::string_view uevent) {
    constexpr std::string_view kKey = "HID_ID=";
    HidIdResult result;
    size_t start = 0;
    while (start < uevent.size()) {
        size_t end = uevent.find('\n', start);
        if (end == std::string_view::npos) {
            end = uevent.size();
        }
        const std::string_view line = uevent.substr(start, end - start);
        start = end + 1;
        if (line.substr(0, kKey.size()) != kKey) {
            continue;
        }
        const std::string_view value = line.substr(kKey.size());
        const size_t first = value.find(':');
        const size_t second = first == std::string_view::npos ? first : value.find(':', first + 1);
        if (second == std::string_view::npos || value.find(':', second + 1) != std::string_view::npos) {
            result.error = "malformed HID_ID line \"" + std::string(line) + "\": expected bus:vendor:product";
            return result;
        }
        const long long bus = HexField(value.substr(0, first), 0xFFFF);
        const long long vendor = HexField(value.substr(first + 1, second - first - 1), 0xFFFF);
        const long long product = HexField(value.substr(second + 1), 0xFFFF);
        if (bus < 0 || vendor < 0 || product < 0) {
            result.error =
                "malformed HID_ID line \"" + std::string(line) + "\": each field must be hex digits of a 16-bit value";
            return result;
        }
        result.bus = static_cast<std::uint16_t>(bus);
        result.ids.vendorId = static_cast<std::uint16_t>(vendor);
        result.ids.productId = static_cast<std::uint16_t>(product);
        return result;
    }
    result.error = "no HID_ID line in the uevent";
    return result;
}

HidrawPlatform::HidrawPlatform(HidrawRoots roots, NodeWriteCall write) : roots_(std::move(roots)), write_(write) {
    roots_.sysfs = StripTrailingSlashes(roots_.sysfs);
    roots_.dev = StripTrailingSlashes(roots_.dev);
}

// A node's writer process, if it has one, keeps its own descriptor until its write ends.
HidrawPlatform::~HidrawPlatform() {
    for (auto& [handle, entry] : handles_) {
        ::close(entry.fd);
    }
    if (eventSocket_ >= 0) {
        ::close(eventSocket_);
    }
}

bool IsHidrawEvent(std::string_view message) {
    // udev's messages start with a header after "libudev\0"; its properties follow later.
    // Both kinds carry the subsystem as a NUL-separated property.
    constexpr std::string_view kSubsystem = "SUBSYSTEM=hidraw";
    for (size_t start = 0; start < message.size();) {
        const size_t end = std::min(message.find('\0', start), message.size());
        if (message.substr(start, end - start) == kSubsystem) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

bool HidrawPlatform::WaitForDeviceEvent(int timeoutMs) {
    if (roots_.sysfs != "/sys" || roots_.dev != "/dev") {
        return false;
    }
    if (eventSocket_ == -2) {
        eventSocket_ = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_KOBJECT_UEVENT);
        sockaddr_nl address{};
        address.nl_family = AF_NETLINK;
        address.nl_groups = 1 | 2;  // the kernel's events and udev's, sent once its rules have run
        if (eventSocket_ >= 0 &&
            ::bind(eventSocket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(eventSocket_);
            eventSocket_ = -1;
        }
        if (eventSocket_ < 0) {
            eventSocket_ = -1;
        }
    }
    if (eventSocket_ < 0) {
        return false;  // no events here (a container without netlink): the caller polls
    }
    // Returns at the first event of a hidraw node; other devices' events are read and passed.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
    std::array<char, 8192> message{};
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{eventSocket_, POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) {
            return true;  // the time passed, or a signal came: either way the wait is over
        }
        bool hidraw = false;
        for (ssize_t n; (n = ::recv(eventSocket_, message.data(), message.size(), 0)) > 0;) {
            hidraw = hidraw || IsHidrawEvent(std::string_view(message.data(), static_cast<size_t>(n)));
        }
        if (hidraw) {
            return true;
        }
    }
}

std::vector<std::string> HidrawPlatform::EnumerateInterfaces() {
    std::vector<std::pair<long, std::string>> nodes;
    const std::string classDir = roots_.sysfs + "/class/hidraw";
    DIR* dir = ::opendir(classDir.c_str());
    if (dir == nullptr) {
        return {};  // no hidraw class: no HID interfaces
    }
    while (const dirent* e = ::readdir(dir)) {
        const long n = NodeNumber(e->d_name);
        if (n >= 0) {
            nodes.emplace_back(n, e->d_name);
        }
    }
    ::closedir(dir);
    std::sort(nodes.begin(), nodes.end());
    std::vector<std::string> paths;
    paths.reserve(nodes.size());
    for (const auto& [n, name] : nodes) {
        paths.push_back(roots_.dev + "/" + name);
    }
    return paths;
}

std::string HidrawPlatform::NodeName(const std::string& path) const {
    const std::string prefix = roots_.dev + "/";
    if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) {
        return {};
    }
    std::string name = path.substr(prefix.size());
    return NodeNumber(name) >= 0 ? name : std::string();
}

std::string HidrawPlatform::DeviceDir(const std::string& node) const {
    return roots_.sysfs + "/class/hidraw/" + node + "/device";
}

OpenResult HidrawPlatform::Open(const std::string& path, bool forTimedRead) {
    const std::string node = NodeName(path);
    if (node.empty()) {
        return {0, OpenFailure::Other, path + " is not a hidraw node under " + roots_.dev};
    }
    struct stat st {};
    if (::stat((roots_.sysfs + "/class/hidraw/" + node).c_str(), &st) != 0) {
        return {0, OpenFailure::Gone, node + " is no longer present"};
    }

    Entry entry;
    const std::string deviceDir = DeviceDir(node);
    if (const FileText uevent = ReadSysfsFile(deviceDir + "/uevent"); uevent.ok()) {
        const HidIdResult ids = ParseHidIdFromUevent(uevent.data);
        entry.hasIds = ids.ok();
        entry.ids = ids.ids;
    }
    // A descriptor we cannot read does not keep the node closed; only its caps stay unknown.
    entry.hasCaps = ReadCaps(node, entry.caps, entry.numberedInput);

    // Both kinds are non-blocking: reads and writes wait in poll, for a bounded time.
    const int flags = (forTimedRead ? O_RDONLY : O_RDWR) | O_NONBLOCK | O_CLOEXEC;
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0) {
        const int code = errno;
        const std::string reason = Errno(code);
        switch (code) {
            case EACCES:
            case EPERM:
                return {0, OpenFailure::AccessDenied,
                        "no permission to open " + path + " (" + reason +
                            "): the udev rule that gives the logged-in user access to the foot switch is missing"};
            case ENOENT:
            case ENODEV:
            case ENXIO:
                return {0, OpenFailure::Gone, path + " is gone (" + reason + ")"};
            default:
                return {0, OpenFailure::Other, "cannot open " + path + ": " + reason};
        }
    }
    entry.fd = fd;
    std::lock_guard lock(mutex_);
    return {handles_.Add(std::move(entry)), OpenFailure::None, {}};
}

OpenResult HidrawPlatform::OpenReadWrite(const std::string& path) { return Open(path, false); }

OpenResult HidrawPlatform::OpenForTimedRead(const std::string& path) { return Open(path, true); }

bool HidrawPlatform::GetAttributes(HidHandle handle, HidAttributes& out) {
    std::lock_guard lock(mutex_);
    const Entry* entry = handles_.Find(handle);
    if (entry == nullptr || !entry->hasIds) {
        return false;
    }
    out = entry->ids;
    return true;
}

bool HidrawPlatform::PeekAttributes(const std::string& path, HidAttributes& out) {
    const std::string node = NodeName(path);
    if (node.empty()) {
        return false;
    }
    const FileText uevent = ReadSysfsFile(DeviceDir(node) + "/uevent");
    if (!uevent.ok()) {
        return false;
    }
    const HidIdResult ids = ParseHidIdFromUevent(uevent.data);
    if (!ids.ok()) {
        return false;
    }
    out = ids.ids;
    return true;
}

// The value of one "KEY=value" line of a uevent text; empty when there is none.
static std::string UeventValue(std::string_view uevent, std::string_view key) {
    size_t start = 0;
    while (start < uevent.size()) {
        const size_t end = std::min(uevent.find('\n', start), uevent.size());
        const std::string_view line = uevent.substr(start, end - start);
        if (line.size() > key.size() && line.substr(0, key.size()) == key && line[key.size()] == '=') {
            return std::string(line.substr(key.size() + 1));
        }
        start = end + 1;
    }
    return {};
}

std::string HidrawPlatform::DeviceIdentity(const std::string& path) {
    const std::string node = NodeName(path);
    if (node.empty()) {
        return path;
    }
    const FileText uevent = ReadSysfsFile(DeviceDir(node) + "/uevent");
    if (!uevent.ok()) {
        return path;
    }
    // HID_UNIQ is the USB serial number; HID_PHYS names the port and, after the slash, the
    // interface ("usb-0000:00:14.0-1/input2"), which the device's other interfaces do not share.
    if (const std::string serial = UeventValue(uevent.data, "HID_UNIQ"); !serial.empty()) {
        return "serial " + serial;
    }
    const std::string phys = UeventValue(uevent.data, "HID_PHYS");
    return phys.empty() ? path : phys.substr(0, phys.find('/'));
}

bool HidrawPlatform::ReadCaps(const std::string& node, HidCaps& out, bool& numberedInput) const {
    const FileText descriptor = ReadSysfsFile(DeviceDir(node) + "/report_descriptor");
    if (!descriptor.ok()) {
        return false;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(descriptor.data.data());
    const ReportDescriptorResult parsed = ParseReportDescriptor({bytes, descriptor.data.size()});
    if (!parsed.ok()) {
        return false;
    }
    out = CapsFromDescriptorInfo(parsed.info);
    numberedInput = parsed.info.numberedInputReports;
    return true;
}

bool HidrawPlatform::PeekCaps(const std::string& path, HidCaps& out) {
    const std::string node = NodeName(path);
    bool numberedInput = false;
    return !node.empty() && ReadCaps(node, out, numberedInput);
}

bool HidrawPlatform::GetCaps(HidHandle handle, HidCaps& out) {
    std::lock_guard lock(mutex_);
    const Entry* entry = handles_.Find(handle);
    if (entry == nullptr || !entry->hasCaps) {
        return false;
    }
    out = entry->caps;
    return true;
}

bool HidrawPlatform::EntryOf(HidHandle handle, Entry& out) const {
    std::lock_guard lock(mutex_);
    const Entry* entry = handles_.Find(handle);
    if (entry == nullptr) {
        return false;
    }
    out = *entry;
    return true;
}

void HidrawPlatform::SetWriteStalled(HidHandle handle, bool stalled) {
    std::lock_guard lock(mutex_);
    if (Entry* entry = handles_.Find(handle)) {
        entry->writeStalled = stalled;
    }
}

WriteResult HidrawPlatform::Write(HidHandle handle, std::span<const std::uint8_t> report) {
    int fd = -1;
    std::shared_ptr<ReportWriter> writer;
    bool stalled = false;
    {
        std::lock_guard lock(mutex_);
        Entry* entry = handles_.Find(handle);
        if (entry == nullptr) {
            return {0, "handle " + std::to_string(handle) + " is not open"};
        }
        if (report.empty()) {
            return {0, "an empty report cannot be written"};
        }
        if (entry->writer == nullptr || entry->writer->Gone()) {
            entry->writer = ReportWriter::Start(entry->fd, write_);
        }
        fd = entry->fd;
        writer = entry->writer;
        stalled = entry->writeStalled;
    }
    // A device that did not take the last report is given no new wait until one gets through,
    // so an action of many frames fails in one wait rather than in one per frame.
    const auto deadline = WriteClock::now() + std::chrono::milliseconds(stalled ? 0 : kWriteWaitMs);
    // Where no process could be started, the write is made here, bounded by poll() alone.
    const NodeWriteOutcome outcome =
        writer != nullptr ? writer->Write(report, deadline) : WriteBefore(fd, report, deadline, write_);
    switch (outcome.status) {
        case NodeWriteOutcome::Status::TimedOut:
            SetWriteStalled(handle, true);
            return {0, "the device did not take the report within " + std::to_string(kWriteWaitMs) +
                           " ms; it may have stalled"};
        case NodeWriteOutcome::Status::WriteFailed:
            return {0, "writing the report failed: " + Errno(outcome.errorCode)};
        case NodeWriteOutcome::Status::WaitFailed:
            return {0, "waiting to write the report failed: " + Errno(outcome.errorCode)};
        case NodeWriteOutcome::Status::Written:
            break;
    }
    SetWriteStalled(handle, false);
    const ssize_t n = outcome.written;
    if (static_cast<size_t>(n) < report.size()) {
        return {static_cast<int>(n), "short write: " + std::to_string(n) + " of " + std::to_string(report.size()) +
                                         " bytes reached the device"};
    }
    return {static_cast<int>(n), {}};
}

ReadResult HidrawPlatform::ReadTimed(HidHandle handle, std::span<std::uint8_t> buffer, int timeoutMs) {
    auto failed = [](std::uint32_t code, std::string error) {
        return ReadResult{ReadStatus::Failed, 0, code, std::move(error)};
    };
    Entry entry;
    if (!EntryOf(handle, entry)) {
        return failed(EBADF, "handle " + std::to_string(handle) + " is not open");
    }
    const int fd = entry.fd;
    if (buffer.empty()) {
        return failed(EINVAL, "the read buffer is empty");
    }
    // Without report IDs hidraw gives the data alone: it goes behind a report-ID byte of 0.
    std::vector<std::uint8_t> unnumbered(entry.numberedInput ? 0 : std::max<size_t>(1, buffer.size() - 1));
    const std::span<std::uint8_t> target = entry.numberedInput ? buffer : std::span<std::uint8_t>(unnumbered);
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(std::max<decltype(left)>(0, left)));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int code = errno;
            return failed(static_cast<std::uint32_t>(code), "waiting for an input report failed: " + Errno(code));
        }
        if (ready == 0) {
            return {ReadStatus::TimedOut, 0, 0, {}};
        }
        // Data, a hang-up or an error: read() says which, with the system's own code.
        const ssize_t n = ::read(fd, target.data(), target.size());
        if (n > 0) {
            if (entry.numberedInput) {
                return {ReadStatus::Completed, static_cast<int>(n), 0, {}};
            }
            const size_t kept = std::min(static_cast<size_t>(n), buffer.size() - 1);
            buffer[0] = 0;
            std::copy_n(unnumbered.begin(), kept, buffer.begin() + 1);
            return {ReadStatus::Completed, static_cast<int>(kept + 1), 0, {}};
        }
        if (n == 0) {
            return failed(0, "the device node reported end of file");
        }
        const int code = errno;
        if (code == EINTR || (code == EAGAIN && (p.revents & POLLIN) != 0)) {
            continue;  // the report went to another reader; wait out the rest of the time
        }
        if (code == EAGAIN) {
            return failed(static_cast<std::uint32_t>(code), "the device node reported an error condition");
        }
        return failed(static_cast<std::uint32_t>(code), "reading an input report failed: " + Errno(code));
    }
}

bool HidrawPlatform::Close(HidHandle handle) {
    std::optional<Entry> entry;
    {
        std::lock_guard lock(mutex_);
        entry = handles_.Take(handle);
    }
    if (!entry) {
        return false;
    }
    // On Linux the fd is released even when close reports an error. A writer process the
    // kernel holds inside write() keeps a descriptor of its own until the write ends.
    ::close(entry->fd);
    return true;
}

std::string HidrawPlatform::ErrorText(std::uint32_t code) { return CLibraryErrorText(code); }

WatchStart HidrawPlatform::WatchInput(std::uint16_t vendorId, std::uint16_t productId) {
    std::vector<HidrawInputWatch::Node> nodes;
    auto fail = [&nodes](std::string error) {
        for (const HidrawInputWatch::Node& n : nodes) {
            ::close(n.fd);
        }
        return WatchStart{nullptr, std::move(error)};
    };
    for (const std::string& path : EnumerateInterfaces()) {
        HidAttributes ids;
        if (!PeekAttributes(path, ids) || ids.vendorId != vendorId || ids.productId != productId) {
            continue;
        }
        const std::string node = NodeName(path);
        const FileText descriptor = ReadSysfsFile(DeviceDir(node) + "/report_descriptor");
        if (!descriptor.ok()) {
            return fail("cannot read the report descriptor of " + node + ": " + descriptor.error);
        }
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(descriptor.data.data());
        ReportDescriptorResult parsed = ParseReportDescriptor({bytes, descriptor.data.size()});
        if (!parsed.ok()) {
            return fail("the report descriptor of " + node + " cannot be read: " + parsed.error);
        }
        if (!HasKeyboardOrMouse(parsed.info)) {
            continue;  // the configuration interface
        }
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            const int code = errno;
            if (code == EACCES || code == EPERM) {
                return fail("no permission to read " + path + " (" + Errno(code) +
                            "): the udev rule that gives the logged-in user access to the foot switch is missing");
            }
            return fail("cannot open " + path + ": " + Errno(code));
        }
        nodes.push_back({path, fd, std::move(parsed.info), {}});
    }
    if (nodes.empty()) {
        return fail("no keyboard or mouse interface of a foot switch " + IdText(vendorId, productId) + " found");
    }
    return {std::make_unique<HidrawInputWatch>(std::move(nodes)), {}};
}

int HidrawPlatform::OpenHandleCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(handles_.Count());
}

std::unique_ptr<HidPlatform> MakeSystemHidPlatform() {
    return std::make_unique<HidrawPlatform>(HidrawRootsFromEnvironment());
}

}  // namespace treadle
