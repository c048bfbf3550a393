#include "device/user_file.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace treadle {
namespace {

std::string SystemText(int code) { return std::strerror(code); }

// "not a regular file but a folder", for a file whose type is not that of a regular file.
std::string NotRegular(mode_t mode) {
    const char* kind = S_ISDIR(mode)                    ? "a folder"
                       : S_ISLNK(mode)                  ? "a symbolic link"
                       : S_ISFIFO(mode)                 ? "a FIFO"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                       : S_ISSOCK(mode)                 ? "a socket"
                                                        : "something else";
    return std::string("not a regular file but ") + kind;
}

std::string TooLarge() { return "larger than 1 MiB, so no file of this kind"; }

// Writes all of `text`, going on after short writes and interruptions.
std::string WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return SystemText(errno);
        }
        text.remove_prefix(static_cast<size_t>(n));
    }
    return {};
}

std::string Folder(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

FileRead ReadUserFile(const std::string& path, bool refuseLinks) {
    FileRead result;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) {
            result.status = FileReadStatus::Missing;
        } else {
            result.error = SystemText(errno);
        }
        return result;
    }
    if (refuseLinks && S_ISLNK(st.st_mode)) {
        result.error = NotRegular(st.st_mode);
        return result;
    }
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (refuseLinks ? O_NOFOLLOW : 0));
    if (fd < 0) {
        result.error = SystemText(errno);
        return result;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result.error = S_ISREG(st.st_mode) ? SystemText(errno) : NotRegular(st.st_mode);
        ::close(fd);
        return result;
    }
    if (static_cast<std::uint64_t>(st.st_size) > kMaxUserFileBytes) {
        ::close(fd);
        result.error = TooLarge();
        return result;
    }
    // Read past the cap if there is more, in case the file grew after fstat.
    std::string text;
    char chunk[65536];
    while (text.size() <= kMaxUserFileBytes) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            result.error = SystemText(errno);
            ::close(fd);
            return result;
        }
        if (n == 0) {
            break;
        }
        text.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    if (text.size() > kMaxUserFileBytes) {
        result.error = TooLarge();
        return result;
    }
    result.text = std::move(text);
    result.status = FileReadStatus::Read;
    return result;
}

std::string ReplaceUserFile(const std::string& path, std::string_view text) {
    struct stat st {};
    mode_t mode = 0666;
    bool keepMode = false;
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            return NotRegular(st.st_mode);
        }
        mode = st.st_mode & 07777;
        keepMode = true;
    } else if (errno != ENOENT) {
        return SystemText(errno);
    }

    // A name nobody else uses: O_EXCL and O_NOFOLLOW refuse anything already there, a
    // planted link included, and another name is tried.
    static std::mt19937_64 random{std::random_device{}() ^ static_cast<std::uint64_t>(::getpid())};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(random()));
        temp = path + suffix;
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST) {
            return SystemText(errno);
        }
    }
    if (fd < 0) {
        return "no unused name for a temporary file beside it";
    }
    std::string error = WriteAll(fd, text);
    if (error.empty() && keepMode && ::fchmod(fd, mode) != 0) {
        error = SystemText(errno);
    }
    if (error.empty() && ::fsync(fd) != 0) {
        error = SystemText(errno);
    }
    if (::close(fd) != 0 && error.empty()) {
        error = SystemText(errno);
    }
    if (error.empty() && ::rename(temp.c_str(), path.c_str()) != 0) {
        error = SystemText(errno);
    }
    if (!error.empty()) {
        ::unlink(temp.c_str());
        return error;
    }
    // The rename itself reaches the disk with the folder.
    const int folder = ::open(Folder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return {};
}

void FileLock::Take(const std::string& path, LockMode mode, LockWait& wait) {
    const std::string lockPath = path + ".lock";
    constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = -1;
    if (mode == LockMode::Shared) {
        fd = ::open(lockPath.c_str(), O_RDONLY | kFlags);
    }
    if (fd < 0 && (mode == LockMode::Exclusive || errno == ENOENT)) {
        fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | kFlags, 0666);
        if (fd < 0 && mode == LockMode::Shared && (errno == EACCES || errno == EROFS || errno == EPERM)) {
            return;  // no lock file, and none can be made: nothing can replace the file either
        }
    }
    struct stat st {};
    if (fd < 0) {
        // A link or a folder in the lock file's place is named as such, to readers and writers alike.
        const int code = errno;
        const bool named = (code == ELOOP || code == EISDIR) && ::lstat(lockPath.c_str(), &st) == 0;
        error_ = lockPath + ": " + (named ? NotRegular(st.st_mode) : SystemText(code));
        return;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error_ = lockPath + ": " + NotRegular(st.st_mode);
        ::close(fd);
        return;
    }
    const int operation = (mode == LockMode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    constexpr int kPollMs = 10;
    int waited = 0;
    while (::flock(fd, operation) != 0) {
        if (errno == EINTR) {
            continue;
        }
        if (errno != EWOULDBLOCK) {
            error_ = lockPath + ": " + SystemText(errno);
            ::close(fd);
            return;
        }
        if (waited >= wait.LeftMs()) {
            error_ = LockHeldText(lockPath, wait.TotalMs());
            wait.Spend(wait.LeftMs());
            ::close(fd);
            return;
        }
        const timespec pause{0, kPollMs * 1000000L};
        ::nanosleep(&pause, nullptr);
        waited += kPollMs;
    }
    wait.Spend(waited);
    handle_ = fd;
}

FileLock::~FileLock() {
    if (handle_ != -1) {
        ::close(static_cast<int>(handle_));  // closing releases the lock
    }
}

void IgnoreBrokenPipeSignal() { std::signal(SIGPIPE, SIG_IGN); }

AppendFile::~AppendFile() { Close(); }

void AppendFile::Close() {
    if (handle_ != -1) {
        ::close(static_cast<int>(handle_));
        handle_ = -1;
    }
}

std::string AppendFile::Open(const std::string& path) {
    // O_NONBLOCK keeps the open from waiting for a FIFO's reader; the writes block as usual.
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        return SystemText(errno);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags == -1 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1) {
        const int code = errno;
        ::close(fd);
        return SystemText(code);
    }
    handle_ = fd;
    return {};
}

std::string AppendFile::Append(std::string_view text) {
    if (handle_ == -1) {
        return "the file is not open";
    }
    return WriteAll(static_cast<int>(handle_), text);
}

bool AppendFile::IsSameFileAs(const std::string& path) const {
    struct stat mine {};
    struct stat other {};
    return handle_ != -1 && ::fstat(static_cast<int>(handle_), &mine) == 0 && ::stat(path.c_str(), &other) == 0 &&
           mine.st_dev == other.st_dev && mine.st_ino == other.st_ino;
}

}  // namespace treadle
