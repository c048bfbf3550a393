#include "device/hidraw_report_writer.h"

#include <cerrno>
#include <poll.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace treadle {

NodeFd::~NodeFd() {
    if (fd_ >= 0) {
        ::close(fd_);  // on Linux the fd is released even when close reports an error
    }
}

NodeWriteOutcome WriteBefore(int fd, std::span<const std::uint8_t> report, WriteClock::time_point deadline,
                             const NodeWriteCall& write) {
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

std::unique_ptr<ReportWriter> ReportWriter::Start(std::shared_ptr<const NodeFd> node, NodeWriteCall write) {
    auto shared = std::make_shared<Shared>();
    shared->node = std::move(node);
    shared->write = std::move(write);
    std::unique_ptr<ReportWriter> writer(new ReportWriter(shared));
    try {
        // The thread owns its share, so it never reaches into a writer or platform that is gone.
        writer->thread_ = std::thread(&ReportWriter::Run, std::move(shared));
    } catch (const std::system_error&) {
        return nullptr;
    }
    return writer;
}

ReportWriter::ReportWriter(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}

ReportWriter::~ReportWriter() {
    if (!thread_.joinable()) {
        return;
    }
    bool writing = false;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stopping = true;
        writing = shared_->busy;
    }
    shared_->changed.notify_all();
    if (writing) {
        thread_.detach();
    } else {
        thread_.join();
    }
}

void ReportWriter::Run(const std::shared_ptr<Shared>& shared) {
    std::unique_lock lock(shared->mutex);
    for (;;) {
        shared->changed.wait(lock, [&] { return shared->handedOver || shared->stopping; });
        if (!shared->handedOver) {
            return;
        }
        shared->handedOver = false;
        const std::vector<std::uint8_t> report = std::move(shared->report);
        const WriteClock::time_point deadline = shared->deadline;
        lock.unlock();
        const NodeWriteOutcome outcome = WriteBefore(shared->node->get(), report, deadline, shared->write);
        lock.lock();
        shared->outcome = outcome;
        shared->busy = false;
        shared->changed.notify_all();
    }
}

NodeWriteOutcome ReportWriter::Write(std::span<const std::uint8_t> report, WriteClock::time_point deadline) {
    std::unique_lock lock(shared_->mutex);
    if (shared_->busy) {
        return {};  // an earlier report is still inside write(): no second thread, no second wait
    }
    shared_->report.assign(report.begin(), report.end());
    shared_->deadline = deadline;
    shared_->handedOver = true;
    shared_->busy = true;
    shared_->changed.notify_all();
    if (!shared_->changed.wait_until(lock, deadline + kGrace, [&] { return !shared_->busy; })) {
        return {};
    }
    return shared_->outcome;
}

}  // namespace treadle
