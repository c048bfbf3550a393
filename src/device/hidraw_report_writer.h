// Writing output reports to a hidraw node with a bound on the wait.
//
// hidraw hands a report to a USB device inside write(), whatever O_NONBLOCK says: write()
// waits in the kernel's synchronous interrupt transfer until the device takes the report or
// the transfer times out seconds later, and poll() calls the node writable all the while. So
// each node's writes are made on a thread of its own, and the caller waits for that thread
// only so long. A write the kernel holds keeps its thread, and the node's descriptor, until it
// ends; the caller is long gone by then.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace treadle {

// The write() made on a node: the system's, or a test's that waits the way a device that
// stopped taking reports makes the kernel wait.
using NodeWriteCall = std::function<ssize_t(int fd, const void* data, size_t size)>;

// An open node's descriptor, closed when its last owner lets it go: the handle that opened it
// and a writer thread still inside write() share it, so neither closes it under the other.
class NodeFd {
  public:
    explicit NodeFd(int fd) : fd_(fd) {}
    ~NodeFd();
    NodeFd(const NodeFd&) = delete;
    NodeFd& operator=(const NodeFd&) = delete;

    int get() const { return fd_; }

  private:
    int fd_;
};

struct NodeWriteOutcome {
    enum class Status {
        Written,      // `written` bytes reached the device
        TimedOut,     // the device did not take the report by the deadline
        WriteFailed,  // write() failed with `errorCode`
        WaitFailed,   // poll() failed with `errorCode`
    };
    Status status = Status::TimedOut;
    ssize_t written = 0;
    int errorCode = 0;
};

using WriteClock = std::chrono::steady_clock;

// One report written with one write(); where the node answers EAGAIN, poll() waits for it to
// take the report until the deadline, and write() is tried again.
NodeWriteOutcome WriteBefore(int fd, std::span<const std::uint8_t> report, WriteClock::time_point deadline,
                             const NodeWriteCall& write);

// The thread that writes one node's reports. It is started at the node's first write (a node
// opened only for reading never has one) and lives as long as the handle: handing a report to
// a waiting thread costs a few microseconds, against the milliseconds of a USB transfer.
class ReportWriter {
  public:
    // How long past the deadline the caller waits for the thread's own verdict. The thread
    // keeps to the deadline itself unless the kernel holds it inside write(); the grace lets a
    // report taken at the last moment count as written.
    static constexpr std::chrono::milliseconds kGrace{100};

    // Nothing when the system gives no thread.
    static std::unique_ptr<ReportWriter> Start(std::shared_ptr<const NodeFd> node, NodeWriteCall write);

    // Joins a thread that is idle; one the kernel holds inside write() is left to end, and let
    // go of the descriptor, when the write does.
    ~ReportWriter();
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    // Writes one report on the thread (see WriteBefore) and waits for it until the deadline and
    // the grace. TimedOut when the thread is not done by then, and at once, without a new
    // write, while a report handed over earlier is still being written.
    NodeWriteOutcome Write(std::span<const std::uint8_t> report, WriteClock::time_point deadline);

  private:
    // What the caller and the thread share; the thread keeps it alive after the writer is gone.
    struct Shared {
        std::shared_ptr<const NodeFd> node;
        NodeWriteCall write;
        std::mutex mutex;
        std::condition_variable changed;
        std::vector<std::uint8_t> report;
        WriteClock::time_point deadline;
        bool handedOver = false;  // a report waits for the thread to take it
        bool busy = false;        // from handing a report over until its outcome is in
        bool stopping = false;
        NodeWriteOutcome outcome;
    };

    explicit ReportWriter(std::shared_ptr<Shared> shared);
    static void Run(const std::shared_ptr<Shared>& shared);

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace treadle
