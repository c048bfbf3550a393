// Fake hidraw trees for tests: a sysfs with class/hidraw entries whose device folders hold
// uevent and report_descriptor files, and a /dev whose nodes are regular files or FIFOs.
#pragma once

#include "device/hidraw_platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace treadle::testing {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Report descriptors of the three interfaces a foot switch presents.
inline const Bytes kKeyboardDescriptor = {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7,
                                          0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01,
                                          0x75, 0x08, 0x81, 0x01, 0x95, 0x06, 0x75, 0x08, 0x81, 0x00, 0xC0};
inline const Bytes kMouseDescriptor = {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05,
                                       0x09, 0x19, 0x01, 0x29, 0x03, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02,
                                       0x95, 0x01, 0x75, 0x05, 0x81, 0x01, 0x05, 0x01, 0x09, 0x30, 0x09,
                                       0x31, 0x75, 0x08, 0x95, 0x02, 0x81, 0x06, 0xC0, 0xC0};
inline const Bytes kConfigDescriptor = {0x06, 0xA0, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x09, 0x01,
                                        0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x07,
                                        0x81, 0x02, 0x09, 0x02, 0x95, 0x07, 0x91, 0x02, 0xC0};

// A vendor interface whose input report 5 carries 7 data bytes after its ID, and whose
// output report has no ID.
inline const Bytes kNumberedInputDescriptor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF,
                                               0x00, 0x75, 0x08, 0x85, 0x05, 0x95, 0x07, 0x09, 0x01, 0x81, 0x02,
                                               0x85, 0x06, 0x95, 0x07, 0x09, 0x02, 0x91, 0x02, 0xC0};

inline const char* kFootSwitchUevent = "DRIVER=hid-generic\nHID_ID=0003:00002704:00002018\nHID_NAME=foot switch\n";

enum class Node { File, Fifo };

class FakeTree {
  public:
    FakeTree() {
        root_ = fs::temp_directory_path() / ("treadle-hidraw-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "sys/class/hidraw");
        fs::create_directories(root_ / "dev");
        // Leave the tree traversable for an unprivileged user (the permission test drops root).
        fs::permissions(root_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec);
    }
    ~FakeTree() { fs::remove_all(root_); }

    HidrawRoots Roots() const { return {(root_ / "sys").string(), (root_ / "dev").string()}; }

    void Add(int n, const std::string& uevent, const Bytes& descriptor, Node node = Node::File) {
        const fs::path device = root_ / "sys/class/hidraw" / Name(n) / "device";
        fs::create_directories(device);
        std::ofstream(device / "uevent") << uevent;
        std::ofstream d(device / "report_descriptor", std::ios::binary);
        d.write(reinterpret_cast<const char*>(descriptor.data()), static_cast<std::streamsize>(descriptor.size()));
        d.close();
        const fs::path dev = DevNode(n);
        if (node == Node::Fifo) {
            EXPECT_EQ(::mkfifo(dev.c_str(), 0644), 0);
        } else {
            std::ofstream(dev).close();
            fs::permissions(
                dev, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
        }
    }

    // A foot switch as three interfaces: keyboard n, mouse n + 1, configuration n + 2.
    void AddFootSwitch(int n, Node configNode = Node::File, Node inputNodes = Node::File) {
        Add(n, kFootSwitchUevent, kKeyboardDescriptor, inputNodes);
        Add(n + 1, kFootSwitchUevent, kMouseDescriptor, inputNodes);
        Add(n + 2, kFootSwitchUevent, kConfigDescriptor, configNode);
    }

    void Remove(int n) {
        fs::remove_all(root_ / "sys/class/hidraw" / Name(n));
        fs::remove(DevNode(n));
    }

    fs::path DevNode(int n) const { return root_ / "dev" / Name(n); }
    std::string DevPath(int n) const { return DevNode(n).string(); }

    Bytes NodeBytes(int n) const {
        std::ifstream in(DevNode(n), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

  private:
    static std::string Name(int n) { return "hidraw" + std::to_string(n); }
    fs::path root_;
};

// The device's end of a FIFO node: opened for reading and writing, so that it never blocks and
// the reports stay in the FIFO until the reader takes them; closing it is the device leaving.
class FifoDevice {
  public:
    explicit FifoDevice(const fs::path& node) : fd_(::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC)) {
        EXPECT_GE(fd_, 0) << node;
    }
    ~FifoDevice() { Close(); }
    FifoDevice(const FifoDevice&) = delete;
    FifoDevice& operator=(const FifoDevice&) = delete;

    // One report as hidraw hands it over: one write, read whole by one read.
    void Send(const Bytes& report) {
        EXPECT_EQ(::write(fd_, report.data(), report.size()), static_cast<ssize_t>(report.size()));
    }
    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

  private:
    int fd_;
};

}  // namespace treadle::testing
