// The hidraw layer on fake trees: a sysfs with class/hidraw entries whose device folders hold
// uevent and report_descriptor files, and a /dev whose nodes are regular files or FIFOs.
#if defined(__linux__)

#include "device/hidraw_platform.h"

#include "device/hid_descriptor.h"
#include "support/fake_hidraw_tree.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#if defined(__SANITIZE_ADDRESS__)
// From the AddressSanitizer runtime; GCC ships no header for it.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace treadle {
namespace {

namespace fs = std::filesystem;
using testing::WindowFixture;
using namespace treadle::testing;
using Bytes = std::vector<std::uint8_t>;
using Lines = std::vector<std::string>;

int OpenFdCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

// A configuration interface whose node is a FIFO, on a platform of its own: the test plays
// the device at the FIFO's other end.
struct FifoConfig {
    explicit FifoConfig(const Bytes& descriptor = kConfigDescriptor, NodeWriteCall write = ::write)
        : hid(tree.Roots(), write) {
        tree.Add(0, kFootSwitchUevent, descriptor, Node::Fifo);
    }
    // The device's end, opened with these flags (and O_NONBLOCK, O_CLOEXEC).
    int DeviceEnd(int flags) const {
        const int fd = ::open(tree.DevNode(0).c_str(), flags | O_NONBLOCK | O_CLOEXEC);
        EXPECT_GE(fd, 0);
        return fd;
    }

    FakeTree tree;
    HidrawPlatform hid;
};

TEST(Hidraw, HidIdLinesFromUevent) {
    struct Case {
        const char* uevent;
        bool ok;
        std::uint16_t bus, vendor, product;
    };
    const Case cases[] = {
        {"HID_ID=0003:00002704:00002018\n", true, 0x0003, 0x2704, 0x2018},
        {"DRIVER=x\nHID_ID=0005:0000abcd:0000EF01\nHID_NAME=y", true, 0x0005, 0xABCD, 0xEF01},
        {"HID_ID=3:2704:2018", true, 0x0003, 0x2704, 0x2018},
        {"HID_NAME=no id\n", false, 0, 0, 0},
        {"", false, 0, 0, 0},
        {"HID_ID=0003:00002704\n", false, 0, 0, 0},               // product missing
        {"HID_ID=0003:00002704:00002018:1\n", false, 0, 0, 0},    // a fourth field
        {"HID_ID=0003:00012704:00002018\n", false, 0, 0, 0},      // vendor beyond 16 bits
        {"HID_ID=0003:0000270G:00002018\n", false, 0, 0, 0},      // not hex
        {"HID_ID=0003::00002018\n", false, 0, 0, 0},              // empty vendor
        {"HID_ID=0003:000000002704:00002018\n", false, 0, 0, 0},  // too many digits
        {"XHID_ID=0003:00002704:00002018\n", false, 0, 0, 0},     // not the key
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.uevent);
        const HidIdResult r = ParseHidIdFromUevent(c.uevent);
        ASSERT_EQ(r.ok(), c.ok) << r.error;
        if (c.ok) {
            EXPECT_EQ(r.bus, c.bus);
            EXPECT_EQ(r.ids.vendorId, c.vendor);
            EXPECT_EQ(r.ids.productId, c.product);
        }
    }
}

TEST(Hidraw, EnumeratesNodesInNumericOrderAndNothingElse) {
    FakeTree tree;
    for (int n : {10, 2, 0, 11}) {
        tree.Add(n, kFootSwitchUevent, kConfigDescriptor);
    }
    fs::create_directories(tree.Roots().sysfs + "/class/hidraw/hidrawx");
    fs::create_directories(tree.Roots().sysfs + "/class/hidraw/other3");
    HidrawPlatform hid(tree.Roots());
    EXPECT_EQ(hid.EnumerateInterfaces(), (Lines{tree.DevPath(0), tree.DevPath(2), tree.DevPath(10), tree.DevPath(11)}));

    HidrawPlatform missing({"/nonexistent/sys", "/nonexistent/dev"});
    EXPECT_TRUE(missing.EnumerateInterfaces().empty());
}

TEST(Hidraw, RootsComeFromTheEnvironment) {
    ::setenv("TREADLE_SYSFS_ROOT", "/tmp/s", 1);
    ::setenv("TREADLE_DEV_ROOT", "", 1);
    const HidrawRoots roots = HidrawRootsFromEnvironment();
    ::unsetenv("TREADLE_SYSFS_ROOT");
    ::unsetenv("TREADLE_DEV_ROOT");
    EXPECT_EQ(roots.sysfs, "/tmp/s");
    EXPECT_EQ(roots.dev, "/dev");  // empty means unset
    EXPECT_EQ(HidrawRootsFromEnvironment().sysfs, "/sys");
}

TEST(Hidraw, KeyboardAndMouseAreNotOpenedTheConfigurationOpens) {
    FakeTree tree;
    tree.AddFootSwitch(0);
    HidrawPlatform hid(tree.Roots());

    for (int n : {0, 1}) {
        const OpenResult r = OpenForWriting(hid, tree.DevPath(n));
        EXPECT_EQ(r.failure, OpenFailure::Refused) << r.error;
        EXPECT_NE(r.error.find(n == 0 ? "is a keyboard" : "is a mouse"), std::string::npos) << r.error;
    }
    HidCaps peeked;
    ASSERT_TRUE(hid.PeekCaps(tree.DevPath(1), peeked));
    EXPECT_EQ(peeked.usagePage, 0x01);
    EXPECT_EQ(peeked.usage, 0x02);

    const OpenResult config = OpenForWriting(hid, tree.DevPath(2));
    ASSERT_TRUE(config.ok()) << config.error;
    HidAttributes ids;
    ASSERT_TRUE(hid.GetAttributes(config.handle, ids));
    EXPECT_EQ(ids.vendorId, 0x2704);
    EXPECT_EQ(ids.productId, 0x2018);
    HidCaps caps;
    ASSERT_TRUE(hid.GetCaps(config.handle, caps));
    EXPECT_EQ(caps.inputReportLength, 8);
    EXPECT_EQ(caps.outputReportLength, 8);
    EXPECT_EQ(caps.featureReportLength, 0);
    EXPECT_EQ(caps.usagePage, 0xFFA0);
    EXPECT_TRUE(hid.Close(config.handle));
    EXPECT_FALSE(hid.Close(config.handle));
    EXPECT_EQ(hid.OpenHandleCount(), 0);
}

TEST(Hidraw, PathsOutsideTheDevRootAndVanishedNodesDoNotOpen) {
    FakeTree tree;
    tree.AddFootSwitch(0);
    HidrawPlatform hid(tree.Roots());
    EXPECT_EQ(hid.OpenReadWrite("/etc/passwd").failure, OpenFailure::Other);
    EXPECT_EQ(hid.OpenReadWrite(tree.Roots().dev + "/../dev/hidraw2").failure, OpenFailure::Other);
    EXPECT_EQ(hid.OpenReadWrite(tree.DevPath(7)).failure, OpenFailure::Gone);
    fs::remove(tree.DevNode(2));  // sysfs entry still there, node gone
    EXPECT_EQ(hid.OpenReadWrite(tree.DevPath(2)).failure, OpenFailure::Gone);
    HidAttributes ids;
    EXPECT_FALSE(hid.PeekAttributes("/etc/passwd", ids));
}

TEST(Hidraw, AnUnreadableDescriptorLeavesCapsUnknown) {
    FakeTree tree;
    tree.Add(0, kFootSwitchUevent, {0xA1, 0x01});  // a collection never closed
    HidrawPlatform hid(tree.Roots());
    const OpenResult r = hid.OpenReadWrite(tree.DevPath(0));
    ASSERT_TRUE(r.ok()) << r.error;
    HidCaps caps;
    EXPECT_FALSE(hid.GetCaps(r.handle, caps));
    EXPECT_FALSE(hid.PeekCaps(tree.DevPath(0), caps));
    EXPECT_TRUE(hid.Close(r.handle));
}

TEST(Hidraw, TheWindowFindsTheConfigurationInterfaceAndWritesWholeReports) {
    FakeTree tree;
    tree.Add(0, "HID_ID=0003:0000046D:0000C077\n", kMouseDescriptor);  // someone else's mouse
    tree.AddFootSwitch(1);
    HidrawPlatform hid(tree.Roots());
    WindowFixture f(hid);
    USB& w = *f.window;
    w.Timer1_Timer();
    ASSERT_TRUE(w.DeviceDetected);
    EXPECT_EQ(w.DevicePath, tree.DevPath(3));
    EXPECT_EQ(w.Label3.Text(), "设备连接成功！");
    EXPECT_EQ(w.OutputReportLength, 8);

    w.UserSelectItem(w.Combo1, 1);
    w.UserClick(w.Command_ctrl);
    w.UserClick(w.Command_key[0]);                                                       // F1
    EXPECT_EQ(tree.NodeBytes(3), (Bytes{0x00, 0xAA, 0x01, 0x04, 0x01, 0x3A, 0x00, 0x00,  //
                                        0x00, 0xAA, 0x01, 0x7C, 0x79, 0x01, 0x00, 0x00,  //
                                        0x00, 0xAA, 0x01, 0x78, 0x79, 0x01, 0x00, 0x00}));
    EXPECT_EQ(f.Log(), (Lines{f.Stamped("成功在开关 <2> 中写入< Ctrl + F1 >")}));
    EXPECT_TRUE(tree.NodeBytes(1).empty());  // nothing reached the keyboard or the mouse
    EXPECT_TRUE(tree.NodeBytes(2).empty());
}

TEST(Hidraw, TimedReadFromAFifoCompletesAndTimesOut) {
    FifoConfig fifo;
    HidrawPlatform& hid = fifo.hid;
    const OpenResult reader = hid.OpenForTimedRead(fifo.tree.DevPath(0));
    ASSERT_TRUE(reader.ok()) << reader.error;
    const int device = fifo.DeviceEnd(O_WRONLY);
    ASSERT_GE(device, 0);

    std::array<std::uint8_t, 8> buffer{};
    const auto start = std::chrono::steady_clock::now();
    ReadResult r = hid.ReadTimed(reader.handle, buffer, 120);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.status, ReadStatus::TimedOut);
    EXPECT_GE(waited, std::chrono::milliseconds(110));
    EXPECT_LT(waited, std::chrono::seconds(5));

    // The configuration interface has no report IDs: hidraw gives its 7 data bytes alone.
    const std::uint8_t report[7] = {0x0A, 0xFF, 0x01, 0x00, 0x00, 0x00, 0x7C};
    ASSERT_EQ(::write(device, report, sizeof report), 7);
    buffer.fill(0xEE);
    r = hid.ReadTimed(reader.handle, buffer, 1000);
    EXPECT_EQ(r.status, ReadStatus::Completed) << r.error;
    EXPECT_EQ(r.bytesRead, 8);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.end()), (Bytes{0x00, 0x0A, 0xFF, 0x01, 0x00, 0x00, 0x00, 0x7C}));

    ::close(device);  // the device side hangs up: the read fails and says why
    r = hid.ReadTimed(reader.handle, buffer, 1000);
    EXPECT_EQ(r.status, ReadStatus::Failed);
    EXPECT_FALSE(r.error.empty());
    EXPECT_TRUE(hid.Close(reader.handle));
    EXPECT_EQ(hid.ReadTimed(reader.handle, buffer, 10).status, ReadStatus::Failed);
}

// What the window shows of one report that the device side puts into the FIFO as hidraw
// would hand it over.
Lines ReaderShows(const Bytes& descriptor, const Bytes& fromKernel) {
    FifoConfig fifo(descriptor);
    WindowFixture f(fifo.hid);
    USB& w = *f.window;
    w.Timer1_Timer();
    EXPECT_TRUE(w.DeviceDetected);
    const int device = fifo.DeviceEnd(O_WRONLY);
    EXPECT_EQ(::write(device, fromKernel.data(), fromKernel.size()), static_cast<ssize_t>(fromKernel.size()));
    w.ReadInputReport();
    ::close(device);
    const Lines& log = f.Log();
    EXPECT_EQ(std::find(log.begin(), log.end(), "Readfile timeout"), log.end());
    // The report display: from " Report ID: " up to the closing "ResetEvent".
    const auto first =
        std::find_if(log.begin(), log.end(), [](const std::string& l) { return l.starts_with(" Report ID"); });
    return first == log.end() ? Lines{} : Lines(first, log.end() - 1);
}

TEST(Hidraw, TheWindowsReaderShowsReportsWithTheReportIdFirst) {
    struct Case {
        const char* what;
        const Bytes& descriptor;
        Bytes fromKernel;
        Lines shown;
    };
    const Case cases[] = {
        {"no report IDs: the data alone, an ID of 0 put in front",
         kConfigDescriptor,
         {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xAB},
         {" Report ID: 0", " Report Data:", " 01", " 02", " 03", " 04", " 05", " 06", " AB"}},
        {"report IDs: the ID comes first from the device",
         kNumberedInputDescriptor,
         {0x05, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77},
         {" Report ID: 5", " Report Data:", " 11", " 22", " 33", " 44", " 55", " 66", " 77"}},
        {"a report shorter than declared leaves the rest 0",
         kConfigDescriptor,
         {0x11, 0x22},
         {" Report ID: 0", " Report Data:", " 11", " 22", " 00", " 00", " 00", " 00", " 00"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ReaderShows(c.descriptor, c.fromKernel), c.shown);
    }
}

TEST(Hidraw, ALongerReportIsCutToTheInputLength) {
    FifoConfig fifo;
    HidrawPlatform& hid = fifo.hid;
    const OpenResult reader = hid.OpenForTimedRead(fifo.tree.DevPath(0));
    ASSERT_TRUE(reader.ok()) << reader.error;
    const int device = fifo.DeviceEnd(O_WRONLY);
    ASSERT_GE(device, 0);
    const std::uint8_t data[7] = {1, 2, 3, 4, 5, 6, 7};
    ASSERT_EQ(::write(device, data, sizeof data), 7);
    std::array<std::uint8_t, 4> small{};
    const ReadResult r = hid.ReadTimed(reader.handle, small, 1000);
    ::close(device);
    EXPECT_EQ(r.status, ReadStatus::Completed) << r.error;
    EXPECT_EQ(r.bytesRead, 4);
    EXPECT_EQ(Bytes(small.begin(), small.end()), (Bytes{0, 1, 2, 3}));
    EXPECT_TRUE(hid.Close(reader.handle));
}

// The device side never reads: the FIFO's buffer is filled up first, so a write can only wait.
TEST(Hidraw, AWriteTheDeviceNeverTakesFailsWithinASecond) {
    EXPECT_EXIT(
        {
            ::alarm(20);  // a write that blocks for ever ends the child and fails the test
            FifoConfig fifo;
            HidrawPlatform& hid = fifo.hid;
            WindowFixture f(hid);
            USB& w = *f.window;
            w.Timer1_Timer();
            if (!w.DeviceDetected) {
                std::_Exit(3);
            }
            const int filler = fifo.DeviceEnd(O_WRONLY);
            const std::vector<char> block(4096, 'x');
            while (::write(filler, block.data(), block.size()) > 0) {
            }
            const auto start = std::chrono::steady_clock::now();
            const WriteResult direct = hid.Write(w.HIDHandle, Bytes(8, 0));
            const auto waited = std::chrono::steady_clock::now() - start;
            if (direct.written != 0 || direct.error.find("did not take the report") == std::string::npos) {
                std::_Exit(4);
            }
            if (waited < std::chrono::milliseconds(900) || waited > std::chrono::seconds(3)) {
                std::_Exit(5);
            }
            // A key click sends three frames to the stalled device: one wait in all, then the
            // failure line instead of the success line.
            w.UserSelectItem(w.Combo1, 0);
            const auto clicked = std::chrono::steady_clock::now();
            w.UserClick(w.Command_key[0]);
            if (std::chrono::steady_clock::now() - clicked > std::chrono::seconds(3)) {
                std::_Exit(6);
            }
            if (f.Log() != Lines{f.Stamped(kWriteFailedLine)}) {
                std::_Exit(7);
            }
            // Once the device takes reports again, writes get through.
            std::vector<char> drain(65536);
            const int reader = fifo.DeviceEnd(O_RDONLY);
            while (::read(reader, drain.data(), drain.size()) > 0) {
            }
            if (hid.Write(w.HIDHandle, Bytes(8, 0)).written != 8) {
                std::_Exit(8);
            }
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

// hidraw's write() as the kernel makes it for a USB device that stopped taking reports: it
// waits, whatever O_NONBLOCK says, until the device takes the report; here until the FIFO has
// room. Like the kernel's transfer it gives up after 5 s, so that a write made on the caller's
// own thread fails the test rather than hanging it.
ssize_t HeldWrite(int fd, const void* data, size_t size) {
    pollfd p{fd, POLLOUT, 0};
    ::poll(&p, 1, 5000);
    return ::write(fd, data, size);
}

// Fills the FIFO's buffer through a descriptor of its own, which it closes; the bytes stay.
size_t FillFifo(const fs::path& node) {
    const int filler = ::open(node.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_GE(filler, 0);
    const std::vector<char> block(512, 'x');
    size_t filled = 0;
    for (ssize_t n; (n = ::write(filler, block.data(), block.size())) > 0;) {
        filled += static_cast<size_t>(n);
    }
    ::close(filler);
    return filled;
}

// Reads what the FIFO holds: at least `expected` bytes where they come within 5 s (another
// process writes them, on a machine that may be busy), then whatever else comes within 100 ms
// of the last byte.
Bytes DrainFifo(int reader, size_t expected) {
    Bytes got;
    std::array<std::uint8_t, 4096> chunk{};
    for (;;) {
        pollfd p{reader, POLLIN, 0};
        if (::poll(&p, 1, got.size() < expected ? 5000 : 100) <= 0) {
            return got;
        }
        const ssize_t n = ::read(reader, chunk.data(), chunk.size());
        if (n <= 0) {
            return got;
        }
        got.insert(got.end(), chunk.begin(), chunk.begin() + n);
    }
}

using Clock = std::chrono::steady_clock;

TEST(Hidraw, AWriteTheKernelHoldsFailsWithinASecondAndTheNextFailsAtOnce) {
    FifoConfig fifo(kConfigDescriptor, HeldWrite);
    HidrawPlatform& hid = fifo.hid;
    const OpenResult r = hid.OpenReadWrite(fifo.tree.DevPath(0));
    ASSERT_TRUE(r.ok()) << r.error;
    const int reader = fifo.DeviceEnd(O_RDONLY);
    ASSERT_GE(reader, 0);
    ASSERT_EQ(hid.Write(r.handle, Bytes(8, 1)).written, 8);
    const size_t filled = FillFifo(fifo.tree.DevNode(0));

    auto start = Clock::now();
    const WriteResult held = hid.Write(r.handle, Bytes(8, 2));
    const auto waited = Clock::now() - start;
    EXPECT_EQ(held.written, 0);
    EXPECT_EQ(held.error, "the device did not take the report within 1000 ms; it may have stalled");
    // The deadline is a real wait: at least its second, and well short of the 5 s the kernel
    // (HeldWrite) would hold a caller that waited for the write itself.
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    EXPECT_LT(waited, std::chrono::seconds(4));

    // The held write goes on: the next one neither waits nor is written. Waiting would take
    // a second deadline as long as the first; however busy the machine, no wait takes half.
    start = Clock::now();
    const WriteResult next = hid.Write(r.handle, Bytes(8, 3));
    EXPECT_LT(Clock::now() - start, waited / 2);
    EXPECT_EQ(next.written, 0);
    EXPECT_EQ(next.error, held.error);

    // The device takes reports again: the held one arrives, late, and writes get through
    // again once its end is known.
    Bytes expected(8, 1);
    expected.insert(expected.end(), filled, 'x');
    expected.insert(expected.end(), 8, 2);
    EXPECT_EQ(DrainFifo(reader, expected.size()), expected);
    const auto drained = Clock::now();
    WriteResult after = hid.Write(r.handle, Bytes(8, 4));
    while (after.written == 0 && Clock::now() - drained < std::chrono::seconds(5)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        after = hid.Write(r.handle, Bytes(8, 4));
    }
    EXPECT_EQ(after.written, 8);
    EXPECT_EQ(after.error, "");
    EXPECT_EQ(DrainFifo(reader, 8), Bytes(8, 4));
    EXPECT_TRUE(hid.Close(r.handle));
    ::close(reader);
}

// Closing the handle, or the whole platform, while the kernel holds a write: both return at
// once and keep no descriptor; the node stays open for the held write until it ends, and is
// closed then.
TEST(Hidraw, AHeldWriteOutlivesItsHandleAndPlatform) {
    for (const bool destroyPlatform : {false, true}) {
        SCOPED_TRACE(destroyPlatform ? "platform destroyed" : "handle closed");
        FakeTree tree;
        tree.Add(0, kFootSwitchUevent, kConfigDescriptor, Node::Fifo);
        const int reader = ::open(tree.DevNode(0).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(reader, 0);
        const int fdsBefore = OpenFdCount();
        auto hid = std::make_unique<HidrawPlatform>(tree.Roots(), HeldWrite);
        const OpenResult r = hid->OpenReadWrite(tree.DevPath(0));
        ASSERT_TRUE(r.ok()) << r.error;
        // The writer keeps none of the program's other descriptors: a pipe the program closes
        // ends for its reader at once, though the writer lives on.
        int pipeEnds[2];
        ASSERT_EQ(::pipe(pipeEnds), 0);
        const size_t filled = FillFifo(tree.DevNode(0));
        ASSERT_EQ(hid->Write(r.handle, Bytes(8, 7)).written, 0);
        ::close(pipeEnds[1]);
        pollfd pipeEnd{pipeEnds[0], POLLIN, 0};
        EXPECT_EQ(::poll(&pipeEnd, 1, 2000), 1);
        char none = 0;
        EXPECT_EQ(::read(pipeEnds[0], &none, 1), 0);
        ::close(pipeEnds[0]);

        const auto start = Clock::now();
        if (destroyPlatform) {
            hid.reset();
        } else {
            EXPECT_TRUE(hid->Close(r.handle));
            EXPECT_EQ(hid->OpenHandleCount(), 0);
        }
        // Waiting for the held write would take until HeldWrite gives up, 5 s after it began.
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
        EXPECT_EQ(OpenFdCount(), fdsBefore);

        Bytes expected(filled, 'x');
        expected.insert(expected.end(), 8, 7);
        EXPECT_EQ(DrainFifo(reader, expected.size()), expected);
        // End of file: nobody has the node open for writing any more.
        pollfd p{reader, POLLIN, 0};
        EXPECT_EQ(::poll(&p, 1, 5000), 1);
        char byte = 0;
        EXPECT_EQ(::read(reader, &byte, 1), 0);
        ::close(reader);
    }
}

// Root may open anything, so the check runs as an unprivileged user when the tests run as root.
TEST(Hidraw, WithoutPermissionTheWindowSaysWhyOncePerPlugIn) {
    FakeTree tree;
    tree.AddFootSwitch(0);
    fs::permissions(tree.DevNode(2), fs::perms::none);  // nobody but root may open it
    EXPECT_EXIT(
        {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
                std::_Exit(3);
            }
            HidrawPlatform hid(tree.Roots());
            if (hid.OpenReadWrite(tree.DevPath(2)).failure != OpenFailure::AccessDenied) {
                std::_Exit(4);
            }
            WindowFixture f(hid);
            for (int tick = 0; tick < 5; ++tick) {
                f.window->Timer1_Timer();
            }
            const Lines once = {f.Stamped(USB::kNoAccessMessage)};
            if (f.Log() != once || f.window->Label3.Text() != "请插入设备！") {
                std::_Exit(5);
            }
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(Hidraw, UnpluggingBetweenTicksDisconnectsAndPluggingInReconnects) {
    FakeTree tree;
    tree.AddFootSwitch(0);
    HidrawPlatform hid(tree.Roots());
    WindowFixture f(hid);
    USB& w = *f.window;
    w.Timer1_Timer();
    ASSERT_TRUE(w.DeviceDetected);
    for (int n : {0, 1, 2}) {
        tree.Remove(n);
    }
    w.Timer1_Timer();
    EXPECT_FALSE(w.DeviceDetected);
    EXPECT_EQ(w.Label3.Text(), "请插入设备！");
    EXPECT_FALSE(w.Command_key[0].Enabled());
    EXPECT_EQ(w.SendFrame(), SendOutcome::NotConnected);

    tree.AddFootSwitch(4);  // back on other node numbers, as the kernel does
    w.Timer1_Timer();
    EXPECT_TRUE(w.DeviceDetected);
    EXPECT_EQ(w.DevicePath, tree.DevPath(6));
    EXPECT_LE(hid.OpenHandleCount(), 2);
}

TEST(Hidraw, ThousandsOfSearchesLeakNoFileDescriptors) {
    FakeTree tree;
    tree.AddFootSwitch(0, Node::Fifo);
    tree.Add(3, "HID_ID=0003:0000046D:0000C077\n", kKeyboardDescriptor);
    HidrawPlatform hid(tree.Roots());
    WindowFixture f(hid);
    f.window->Timer1_Timer();
    ASSERT_TRUE(f.window->DeviceDetected);
    const int before = OpenFdCount();
    for (int tick = 0; tick < 3000; ++tick) {
        f.window->Timer1_Timer();
        if (tick == 1500) {
            tree.Remove(2);
            f.window->Timer1_Timer();
            EXPECT_FALSE(f.window->DeviceDetected);
            tree.Add(2, kFootSwitchUevent, kConfigDescriptor, Node::Fifo);
        }
    }
    EXPECT_TRUE(f.window->DeviceDetected);
    EXPECT_EQ(OpenFdCount(), before);
    EXPECT_EQ(hid.OpenHandleCount(), 2);
    f.window->Form_Unload();
    EXPECT_EQ(hid.OpenHandleCount(), 0);
}

// A FIFO or a folder where sysfs has its attribute files: the search neither waits on it nor
// reads it, and the interface is simply not the foot switch.
TEST(Hidraw, AttributesThatAreNoRegularFilesAreNotWaitedOn) {
    for (const char* attribute : {"uevent", "report_descriptor"}) {
        SCOPED_TRACE(attribute);
        FakeTree tree;
        tree.AddFootSwitch(0);
        const std::string path = tree.Roots().sysfs + "/class/hidraw/hidraw2/device/" + attribute;
        fs::remove(path);
        ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
        HidrawPlatform hid(tree.Roots());
        WindowFixture f(hid);
        const auto start = std::chrono::steady_clock::now();
        f.window->Timer1_Timer();
        // A read that waited for a writer would wait for ever, or for one of the platform's
        // own time-outs: seconds.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        HidCaps caps;
        EXPECT_FALSE(hid.PeekCaps(tree.DevPath(2), caps) && std::string(attribute) == "report_descriptor");
        if (std::string(attribute) == "uevent") {
            EXPECT_FALSE(f.window->DeviceDetected);  // no IDs, no match
        }
    }
}

// Live heap bytes, as the allocator counts them (ASan's own count in a sanitizer build).
size_t LiveHeapBytes() {
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

// Soak: ticks against a fake tree that is unplugged and plugged in again every 50 ticks. The
// open descriptors and the live heap stay where they were. TREADLE_SOAK_TICKS sets the
// length (CTest runs a short soak; scripts/soak a long one).
TEST(Hidraw, SoakOfPluggingAndUnpluggingKeepsDescriptorsAndMemoryFlat) {
    const char* ticksText = std::getenv("TREADLE_SOAK_TICKS");
    const int ticks = ticksText != nullptr ? std::atoi(ticksText) : 5000;
    FakeTree tree;
    tree.AddFootSwitch(0);
    tree.Add(3, "HID_ID=0003:0000046D:0000C077\n", kMouseDescriptor);
    HidrawPlatform hid(tree.Roots());
    WindowFixture f(hid);
    USB& w = *f.window;
    // Warm up through one whole cycle, so that every lazily made thing exists.
    for (int tick = 0; tick < 100; ++tick) {
        w.Timer1_Timer();
    }
    const int fdsBefore = OpenFdCount();
    const size_t heapBefore = LiveHeapBytes();
    const size_t logBefore = w.lstResults.Items().size();
    bool plugged = true;
    int connectedTicks = 0;
    for (int tick = 0; tick < ticks; ++tick) {
        if (tick % 50 == 0) {
            if (plugged) {
                for (int n : {0, 1, 2}) {
                    tree.Remove(n);
                }
            } else {
                tree.AddFootSwitch(0);
            }
            plugged = !plugged;
        }
        w.Timer1_Timer();
        ASSERT_EQ(w.DeviceDetected, plugged) << "tick " << tick;
        connectedTicks += plugged ? 1 : 0;
    }
    EXPECT_GT(connectedTicks, 0);
    EXPECT_EQ(OpenFdCount(), fdsBefore);
    EXPECT_LE(hid.OpenHandleCount(), 2);
    EXPECT_EQ(w.lstResults.Items().size(), logBefore);  // searching logs nothing
    const size_t heapAfter = LiveHeapBytes();
    EXPECT_LT(heapAfter, heapBefore + 64 * 1024) << "live heap grew from " << heapBefore << " to " << heapAfter;
}

// Device events as the kernel and udev send them: only a hidraw node's wakes provisioning.
TEST(HidrawEvents, OnlyAHidrawNodesEventCounts) {
    using namespace std::string_literals;
    const std::pair<std::string, bool> cases[] = {
        {"add@/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.2/0003:2704:2018.0003/hidraw/hidraw3\0ACTION=add\0"
         "DEVPATH=/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.2/0003:2704:2018.0003/hidraw/hidraw3\0"
         "SUBSYSTEM=hidraw\0MAJOR=241\0MINOR=3\0DEVNAME=hidraw3\0SEQNUM=4711\0"s,
         true},
        {"remove@/devices/virtual/hidraw3\0ACTION=remove\0SUBSYSTEM=hidraw\0"s, true},
        {"libudev\0\xfe\xed\xca\xfe\x28\0\0\0ACTION=add\0SUBSYSTEM=hidraw\0DEVNAME=/dev/hidraw3\0"s, true},
        {"add@/devices/pci0000:00/usb1/1-1/1-1:1.0/input/input9\0ACTION=add\0SUBSYSTEM=input\0"s, false},
        {"change@/devices/virtual/misc/hidrawish\0SUBSYSTEM=hidrawx\0NAME=SUBSYSTEM=hidraw\0"s, false},
        {""s, false},
    };
    for (const auto& [message, hidraw] : cases) {
        EXPECT_EQ(IsHidrawEvent(message), hidraw) << message.substr(0, 40);
    }
    // A moved (fake) tree has no events: the caller polls.
    HidrawPlatform fake({"/tmp/treadle-no-such-sysfs", "/tmp/treadle-no-such-dev"});
    EXPECT_FALSE(fake.WaitForDeviceEvent(1000));
}

}  // namespace
}  // namespace treadle

#endif  // __linux__
