// Writing output reports to a hidraw node with a bound on the wait.
//
// hidraw hands a report to a USB device inside write(), whatever O_NONBLOCK says: write()
// waits in the kernel's synchronous interrupt transfer, uninterruptibly, until the device
// takes the report or the transfer times out seconds later, and poll() calls the node
// writable all the while. So a node's reports are written by a process of their own, and the
// caller waits for its answer only so long.
//
// A process rather than a thread: a thread the kernel holds inside write() holds its whole
// process, which cannot end (and a shell waiting for it cannot go on) until the write does.
// The writer process keeps the node open until its last write ends, and ends then on its own,
// whether or not the program that started it is still there.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <sys/types.h>

namespace treadle {

// The write() made on a node: the system's, or in tests one that waits the way the kernel
// makes hidraw's wait. It is called in the writer process, where it may allocate nothing and
// take no lock: only calls that are safe after fork().
using NodeWriteCall = ssize_t (*)(int fd, const void* data, size_t size);

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
                             NodeWriteCall write);

// The process that writes one node's reports. It is started at the node's first write (a node
// opened only for reading never has one) and ends when its handle is closed: two forks per
// handle, and then a few microseconds to hand each report over, against the milliseconds of a
// USB transfer. It shares the program's memory as it was at the fork, copy on write, and
// touches little of it.
class ReportWriter {
  public:
    // How long past the deadline the caller waits for the writer's own verdict. The writer
    // keeps to the deadline itself unless the kernel holds it inside write(); the grace lets a
    // report taken at the last moment count as written.
    static constexpr std::chrono::milliseconds kGrace{100};

    // The longest report the writer takes; longer ones fail with EMSGSIZE. A descriptor's
    // reports are at most 65535 bytes.
    static constexpr size_t kMaxReportBytes = 65536;

    // Starts the writer process, which writes to its own copy of `fd`; nothing when the system
    // starts no process.
    static std::unique_ptr<ReportWriter> Start(int fd, NodeWriteCall write);

    // The writer process ends once it has finished the write it is making, if any.
    ~ReportWriter();
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    // Has the writer write one report (see WriteBefore) and waits for its answer until the
    // deadline and the grace. TimedOut when there is no answer by then, and at once, without a
    // new write, while a report handed over earlier is still being written.
    NodeWriteOutcome Write(std::span<const std::uint8_t> report, WriteClock::time_point deadline);

    // The writer process is gone (killed, or it could not be started): this writer writes no
    // more, and the node needs a new one.
    bool Gone() const { return gone_; }

  private:
    explicit ReportWriter(int socket) : socket_(socket) {}
    // Takes the answer to the report handed over last, waiting at most until `until`; false
    // when it has not come by then. A writer that ended without one leaves a failed write
    // (EPIPE) as the outcome.
    bool TakeAnswer(NodeWriteOutcome& outcome, WriteClock::time_point until);

    std::mutex mutex_;             // one report at a time, whatever thread writes
    int socket_;                   // this end of the connection to the writer process
    bool awaitingAnswer_ = false;  // a report was handed over and its answer has not come
    std::atomic<bool> gone_ = false;
};

}  // namespace treadle
