#include "device/user_file.h"

#include <cstdio>
#include <random>
#include <vector>
#include <windows.h>

namespace treadle {
namespace {

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int n =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (n <= 0) {
        return {};
    }
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string SystemText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD n =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (n > 0 && buffer != nullptr) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
        text.resize(static_cast<size_t>(size > 0 ? size : 0));
        WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(n), text.data(), size, nullptr, nullptr);
    }
    if (buffer != nullptr) {
        LocalFree(buffer);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.')) {
        text.pop_back();
    }
    return text.empty() ? "system error " + std::to_string(code) : text;
}

std::string LastError() { return SystemText(GetLastError()); }

std::string TooLarge() { return "larger than 1 MiB, so no file of this kind"; }

// The kind of what stands at a path that is not a regular file; empty for a regular file.
std::string NotRegular(DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return "not a regular file but a link";
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return "not a regular file but a folder";
    }
    if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
        return "not a regular file but a device";
    }
    return {};
}

std::string NotRegularHandle(HANDLE file) {
    if (GetFileType(file) != FILE_TYPE_DISK) {
        return "not a regular file but a device or a pipe";
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) {
        return LastError();
    }
    return NotRegular(info.dwFileAttributes);
}

std::string WriteAll(HANDLE file, std::string_view text) {
    while (!text.empty()) {
        const DWORD chunk = static_cast<DWORD>(text.size() > 0x10000000 ? 0x10000000 : text.size());
        DWORD written = 0;
        if (!WriteFile(file, text.data(), chunk, &written, nullptr)) {
            return LastError();
        }
        if (written == 0) {
            return "the file took no bytes";
        }
        text.remove_prefix(written);
    }
    return {};
}

}  // namespace

FileRead ReadUserFile(const std::string& path, bool refuseLinks) {
    FileRead result;
    const std::wstring wide = Wide(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
            result.status = FileReadStatus::Missing;
        } else {
            result.error = SystemText(code);
        }
        return result;
    }
    const std::string kind = NotRegular(attributes);
    if (!kind.empty() && (refuseLinks || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)) {
        result.error = kind;
        return result;
    }
    // Shared, so that a writer may rename its new file over this one meanwhile.
    HANDLE file =
        CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | (refuseLinks ? FILE_FLAG_OPEN_REPARSE_POINT : 0), nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        result.error = LastError();
        return result;
    }
    const std::string notRegular = NotRegularHandle(file);
    if (!notRegular.empty()) {
        CloseHandle(file);
        result.error = notRegular;
        return result;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || static_cast<std::uint64_t>(size.QuadPart) > kMaxUserFileBytes) {
        result.error = size.QuadPart > 0 ? TooLarge() : LastError();
        CloseHandle(file);
        return result;
    }
    std::string text;
    std::vector<char> chunk(65536);
    while (text.size() <= kMaxUserFileBytes) {
        DWORD n = 0;
        if (!ReadFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &n, nullptr)) {
            result.error = LastError();
            CloseHandle(file);
            return result;
        }
        if (n == 0) {
            break;
        }
        text.append(chunk.data(), n);
    }
    CloseHandle(file);
    if (text.size() > kMaxUserFileBytes) {
        result.error = TooLarge();
        return result;
    }
    result.text = std::move(text);
    result.status = FileReadStatus::Read;
    return result;
}

std::string ReplaceUserFile(const std::string& path, std::string_view text) {
    const std::wstring wide = Wide(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        const std::string kind = NotRegular(attributes);
        if (!kind.empty()) {
            return kind;
        }
    } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
        return LastError();
    }
    // CREATE_NEW fails on anything already at the name, a planted link included.
    static std::mt19937_64 random{std::random_device{}() ^ static_cast<std::uint64_t>(GetCurrentProcessId())};
    std::wstring temp;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(random()));
        temp = Wide(path + suffix);
        file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            return LastError();
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        return "no unused name for a temporary file beside it";
    }
    std::string error = WriteAll(file, text);
    if (error.empty() && !FlushFileBuffers(file)) {
        error = LastError();
    }
    if (!CloseHandle(file) && error.empty()) {
        error = LastError();
    }
    if (error.empty() && !MoveFileExW(temp.c_str(), wide.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = LastError();
    }
    if (!error.empty()) {
        DeleteFileW(temp.c_str());
    }
    return error;
}

void FileLock::Take(const std::string& path, LockMode mode, LockWait& wait) {
    const std::string lockPath = path + ".lock";
    const std::wstring wide = Wide(lockPath);
    constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    constexpr DWORD kFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
    HANDLE file = INVALID_HANDLE_VALUE;
    if (mode == LockMode::Shared) {
        file = CreateFileW(wide.c_str(), GENERIC_READ, kShare, nullptr, OPEN_EXISTING, kFlags, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE && (mode == LockMode::Exclusive || GetLastError() == ERROR_FILE_NOT_FOUND)) {
        file = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, kShare, nullptr, OPEN_ALWAYS, kFlags, nullptr);
        if (file == INVALID_HANDLE_VALUE && mode == LockMode::Shared &&
            (GetLastError() == ERROR_ACCESS_DENIED || GetLastError() == ERROR_WRITE_PROTECT)) {
            return;  // no lock file, and none can be made: nothing can replace the file either
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        error_ = lockPath + ": " + LastError();
        return;
    }
    const std::string notRegular = NotRegularHandle(file);
    if (!notRegular.empty()) {
        CloseHandle(file);
        error_ = lockPath + ": " + notRegular;
        return;
    }
    const DWORD flags = (mode == LockMode::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0) | LOCKFILE_FAIL_IMMEDIATELY;
    constexpr int kPollMs = 10;
    for (int waited = 0;; waited += kPollMs) {
        OVERLAPPED whole{};
        if (LockFileEx(file, flags, 0, MAXDWORD, MAXDWORD, &whole)) {
            wait.Spend(waited);
            break;
        }
        if (GetLastError() != ERROR_LOCK_VIOLATION) {
            error_ = lockPath + ": " + LastError();
            CloseHandle(file);
            return;
        }
        if (waited >= wait.LeftMs()) {
            error_ = LockHeldText(lockPath, wait.TotalMs());
            wait.Spend(wait.LeftMs());
            CloseHandle(file);
            return;
        }
        Sleep(kPollMs);
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
}

FileLock::~FileLock() {
    if (handle_ != -1) {
        HANDLE file = reinterpret_cast<HANDLE>(handle_);
        OVERLAPPED whole{};
        UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole);
        CloseHandle(file);
    }
}

void IgnoreBrokenPipeSignal() {}  // a broken pipe is an error of the write here

AppendFile::~AppendFile() { Close(); }

void AppendFile::Close() {
    if (handle_ != -1) {
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
        handle_ = -1;
    }
}

std::string AppendFile::Open(const std::string& path) {
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end of the file.
    HANDLE file = CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return {};
}

std::string AppendFile::Append(std::string_view text) {
    if (handle_ == -1) {
        return "the file is not open";
    }
    return WriteAll(reinterpret_cast<HANDLE>(handle_), text);
}

bool AppendFile::IsSameFileAs(const std::string& path) const {
    if (handle_ == -1) {
        return false;
    }
    HANDLE other = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (other == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION mine{};
    BY_HANDLE_FILE_INFORMATION theirs{};
    const bool same = GetFileInformationByHandle(reinterpret_cast<HANDLE>(handle_), &mine) &&
                      GetFileInformationByHandle(other, &theirs) &&
                      mine.dwVolumeSerialNumber == theirs.dwVolumeSerialNumber &&
                      mine.nFileIndexHigh == theirs.nFileIndexHigh && mine.nFileIndexLow == theirs.nFileIndexLow;
    CloseHandle(other);
    return same;
}

}  // namespace treadle
