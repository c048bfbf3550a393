#include "device/hidraw_report_writer.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace treadle {
namespace {

// A request is the deadline, in nanoseconds of the steady clock (the same clock in every
// process), then the report; the answer is one Answer.
constexpr size_t kDeadlineBytes = sizeof(std::int64_t);

struct Answer {
    std::int32_t status = 0;
    std::int32_t errorCode = 0;
    std::int64_t written = 0;
};

// Where the writer process receives a request: static, so that it allocates nothing after
// the fork.
std::uint8_t requestBuffer[kDeadlineBytes + ReportWriter::kMaxReportBytes];

void CloseRange(unsigned first, unsigned last) {
    if (first > last) {
        return;
    }
    if (::close_range(first, last, 0) != 0) {
        for (unsigned fd = first; fd <= std::min(last, 65535U); ++fd) {
            ::close(static_cast<int>(fd));
        }
    }
}

// Closes every descriptor of the program's in the writer process but the two it needs: it
// must keep no file, socket, pipe or terminal open after the program has let go of it.
void KeepOnly(int a, int b) {
    const auto low = static_cast<unsigned>(std::min(a, b));
    const auto high = static_cast<unsigned>(std::max(a, b));
    if (low > 0) {
        CloseRange(0, low - 1);
    }
    CloseRange(low + 1, high - 1);
    CloseRange(high + 1, ~0U);
}

// The writer process: one answer per request, until the program closes its end.
[[noreturn]] void ServeWrites(int fd, int socket, NodeWriteCall write) {
    // The writer ends when the program closes its end, and not before: a Ctrl+C or a SIGTERM
    // meant for the program would cut a job short between two reports, whatever the program
    // does about them. Its own session keeps it out of the terminal's process group as well.
    ::setsid();
    for (const int signal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) {
        struct sigaction action {};
        action.sa_handler = SIG_IGN;
        ::sigaction(signal, &action, nullptr);
    }
    ::prctl(PR_SET_NAME, "treadle-writer");
    for (;;) {
        const ssize_t n = ::recv(socket, requestBuffer, sizeof requestBuffer, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < static_cast<ssize_t>(kDeadlineBytes)) {
            ::_exit(0);  // the handle was closed
        }
        std::int64_t deadlineNs = 0;
        std::memcpy(&deadlineNs, requestBuffer, kDeadlineBytes);
        const WriteClock::time_point deadline{std::chrono::nanoseconds(deadlineNs)};
        const std::span<const std::uint8_t> report(requestBuffer + kDeadlineBytes,
                                                   static_cast<size_t>(n) - kDeadlineBytes);
        const NodeWriteOutcome outcome = WriteBefore(fd, report, deadline, write);
        const Answer answer{static_cast<std::int32_t>(outcome.status), outcome.errorCode, outcome.written};
        while (::send(socket, &answer, sizeof answer, MSG_NOSIGNAL) < 0) {
            if (errno != EINTR) {
                ::_exit(0);
            }
        }
    }
}

}  // namespace

NodeWriteOutcome WriteBefore(int fd, std::span<const std::uint8_t> report, WriteClock::time_point deadline,
                             NodeWriteCall write) {
    using Status = NodeWriteOutcome::Status;
    for (;;) {
        const ssize_t n = write(fd, report.data(), report.size());
        if (n >= 0) {
            return {Status::Written, n, 0};
        }
        const int code = errno;
        if (code == EINTR) {
            continue;
        }
        if (code != EAGAIN) {
            return {Status::WriteFailed, 0, code};
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - WriteClock::now()).count();
        if (left <= 0) {
            return {Status::TimedOut, 0, 0};
        }
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR) {
            return {Status::WaitFailed, 0, errno};
        }
    }
}

std::unique_ptr<ReportWriter> ReportWriter::Start(int fd, NodeWriteCall write) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
        return nullptr;
    }
    const pid_t middle = ::fork();
    if (middle == 0) {
        // The middle process starts the writer and ends at once, so that the writer is no
        // child of the program's that the program would have to wait for.
        if (::fork() == 0) {
            KeepOnly(fd, ends[1]);
            ServeWrites(fd, ends[1], write);
        }
        ::_exit(0);
    }
    ::close(ends[1]);
    if (middle < 0) {
        ::close(ends[0]);
        return nullptr;
    }
    while (::waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
    }
    return std::unique_ptr<ReportWriter>(new ReportWriter(ends[0]));
}

ReportWriter::~ReportWriter() { ::close(socket_); }

bool ReportWriter::TakeAnswer(NodeWriteOutcome& outcome, WriteClock::time_point until) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - WriteClock::now()).count();
        pollfd p{socket_, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(std::max<decltype(left)>(0, left)));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return false;
        }
        Answer answer;
        const ssize_t n = ::recv(socket_, &answer, sizeof answer, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        awaitingAnswer_ = false;
        if (n != static_cast<ssize_t>(sizeof answer)) {
            gone_ = true;  // the writer ended without an answer: someone killed it
            outcome = {NodeWriteOutcome::Status::WriteFailed, 0, EPIPE};
            return true;
        }
        outcome = {static_cast<NodeWriteOutcome::Status>(answer.status), answer.written, answer.errorCode};
        return true;
    }
}

NodeWriteOutcome ReportWriter::Write(std::span<const std::uint8_t> report, WriteClock::time_point deadline) {
    std::lock_guard lock(mutex_);
    NodeWriteOutcome outcome;
    // A report handed over earlier and not answered in time: its write has ended only when
    // its answer has come since. Until then no second write waits behind it.
    if (awaitingAnswer_ && (!TakeAnswer(outcome, WriteClock::now()) || gone_)) {
        return gone_ ? outcome : NodeWriteOutcome{};
    }
    if (gone_) {
        return {NodeWriteOutcome::Status::WriteFailed, 0, EPIPE};
    }
    if (report.size() > kMaxReportBytes) {
        return {NodeWriteOutcome::Status::WriteFailed, 0, EMSGSIZE};
    }
    std::vector<std::uint8_t> request(kDeadlineBytes + report.size());
    const std::int64_t deadlineNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(deadline.time_since_epoch()).count();
    std::memcpy(request.data(), &deadlineNs, kDeadlineBytes);
    std::copy(report.begin(), report.end(), request.begin() + kDeadlineBytes);
    while (::send(socket_, request.data(), request.size(), MSG_NOSIGNAL) < 0) {
        if (errno != EINTR) {
            gone_ = true;
            return {NodeWriteOutcome::Status::WriteFailed, 0, errno};
        }
    }
    awaitingAnswer_ = true;
    if (!TakeAnswer(outcome, deadline + kGrace)) {
        return {};
    }
    return outcome;
}

}  // namespace treadle
