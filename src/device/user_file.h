// Files the user owns: the virtual foot switch's state file, profiles, captures. They are
// read whole from regular files only and with a size cap, never by waiting on a FIFO or a
// device; they are replaced as git replaces its index (a new file created exclusively
// beside the old one, flushed, renamed over it), so a failure leaves the old file whole.
//
// Error convention: a call that can fail returns the system's reason as text ("Permission
// denied", "not a regular file"), empty on success; callers add which file it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace treadle {

// State files and profiles are small; anything larger is not one.
constexpr std::size_t kMaxUserFileBytes = 1 << 20;

enum class FileReadStatus { Read, Missing, Failed };

struct FileRead {
    FileReadStatus status = FileReadStatus::Failed;
    std::string text;
    std::string error;  // why it could not be read, when Failed
};

// Reads a whole regular file of at most kMaxUserFileBytes. Missing only when nothing at all
// stands at the path. A FIFO, a device or a folder is refused without being read; with
// `refuseLinks` so is a symbolic link.
[[nodiscard]] FileRead ReadUserFile(const std::string& path, bool refuseLinks);

// Replaces the file at `path` with `text`: a new file with a unique name is created
// exclusively in the same folder, written, flushed to the disk and renamed over `path`.
// Something at `path` that is not a regular file (a link, a device, a folder) is refused.
// On failure `path` is untouched and the new file removed.
[[nodiscard]] std::string ReplaceUserFile(const std::string& path, std::string_view text);

// How long a lock held by another program is waited for before giving up.
constexpr int kDefaultLockWaitMs = 5000;

enum class LockMode {
    Exclusive,  // for a change: read, change, write back
    Shared,     // for reading only: many readers at once, no writer among them
};

// How long one command or one click waits, in all, for the locks another program holds. Each
// lock waits at most what is left; once a lock has waited it all, every lock after it is tried
// once and refused at once with the same reason, until the next command or click restarts it.
class LockWait {
  public:
    explicit LockWait(int totalMs = kDefaultLockWaitMs) : totalMs_(totalMs), leftMs_(totalMs) {}
    void Restart() { leftMs_ = totalMs_; }
    int TotalMs() const { return totalMs_; }
    int LeftMs() const { return leftMs_; }
    void Spend(int ms) { leftMs_ = ms >= leftMs_ ? 0 : leftMs_ - ms; }

  private:
    int totalMs_;
    int leftMs_;
};

// An advisory lock that processes sharing a file take around each change (exclusive) or
// read (shared), held until the object goes. It locks a lock file beside the shared file
// (path + ".lock"), not the file itself: the shared file is replaced by a rename at every
// change, so a lock on it would stay with the old file, which the next process no longer
// opens. The lock file is never removed, for the same reason.
//
// A lock that another program holds is waited for at most `waitMs` (or what `wait` has left),
// then refused with a reason that names the lock file. A shared lock needs no lock file where none exists and
// none can be made (a read-only folder): nothing can replace the file there either, so it
// is read without one.
class FileLock {
  public:
    explicit FileLock(const std::string& path, LockMode mode = LockMode::Exclusive, int waitMs = kDefaultLockWaitMs);
    FileLock(const std::string& path, LockMode mode, LockWait& wait);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Empty when the lock is held (or, shared, not needed); otherwise why it could not be taken.
    const std::string& error() const { return error_; }

  private:
    void Take(const std::string& path, LockMode mode, LockWait& wait);

    std::intptr_t handle_ = -1;
    std::string error_;
};

// The reason a lock held elsewhere was given up on: "PATH.lock: held by another program ...".
std::string LockHeldText(const std::string& lockPath, int waitMs);

// True when two paths name one file: the same file by identity where both exist (hard and
// symbolic links included), or the same name once links, "." and ".." are followed, which
// also tells for a file that does not exist yet.
bool SameUserFile(const std::string& a, const std::string& b);

// Removes the temporary files that ReplaceUserFile left beside `path` when its process was
// killed before the rename ("path.<16 hex digits>.tmp"). Only for a caller that holds the
// exclusive lock of `path`, so that no writer is busy with one.
void RemoveStaleTemporaries(const std::string& path);

// Makes a write to a pipe or FIFO whose reader has gone fail with an error (EPIPE) instead of
// ending the process with SIGPIPE, so that a program writing a capture or its output there
// finishes what it started and says what could not be written. Nothing to do on Windows.
void IgnoreBrokenPipeSignal();

// A file that lines are appended to, each written whole at once (the capture file).
class AppendFile {
  public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Opens or creates the file for appending, without waiting for a FIFO's reader.
    [[nodiscard]] std::string Open(const std::string& path);
    bool IsOpen() const { return handle_ != -1; }
    void Close();
    // Writes all of `text`; a short write is an error.
    [[nodiscard]] std::string Append(std::string_view text);
    // True when the open file and the file at `path` are one file, whatever their names
    // (hard and symbolic links included); false when nothing is at `path`.
    bool IsSameFileAs(const std::string& path) const;

  private:
    std::intptr_t handle_ = -1;
};

}  // namespace treadle
