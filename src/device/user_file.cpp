// What the user-file rules share on every system: telling files apart by name and identity,
// and clearing the temporary files of killed writers.
#include "device/user_file.h"

#include <filesystem>
#include <system_error>

namespace treadle {
namespace fs = std::filesystem;

namespace {

// The path with every symbolic link followed, also one whose target does not exist yet, and
// made absolute without "." and "..".
fs::path ResolvedName(const fs::path& path) {
    std::error_code ec;
    fs::path p = fs::absolute(path, ec);
    if (ec) {
        p = path;
    }
    // A chain of links is followed to its end; a loop is given up after as many links as
    // the system would follow.
    for (int links = 0; links < 40; ++links) {
        const fs::path parent = fs::weakly_canonical(p.parent_path(), ec);
        if (!ec) {
            p = parent / p.filename();
        }
        if (!fs::is_symlink(fs::symlink_status(p, ec))) {
            break;
        }
        const fs::path target = fs::read_symlink(p, ec);
        if (ec) {
            break;
        }
        p = target.is_absolute() ? target : p.parent_path() / target;
    }
    return p.lexically_normal();
}

// "name.0123456789abcdef.tmp": the temporary names ReplaceUserFile gives.
bool IsTemporaryOf(const std::string& name, const std::string& base) {
    constexpr size_t kDigits = 16;
    const std::string tail = ".tmp";
    if (name.size() != base.size() + 1 + kDigits + tail.size() || name.compare(0, base.size(), base) != 0 ||
        name[base.size()] != '.' || name.compare(name.size() - tail.size(), tail.size(), tail) != 0) {
        return false;
    }
    for (size_t i = base.size() + 1; i < base.size() + 1 + kDigits; ++i) {
        const char c = name[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

}  // namespace

FileLock::FileLock(const std::string& path, LockMode mode, int waitMs) {
    LockWait wait(waitMs);
    Take(path, mode, wait);
}

FileLock::FileLock(const std::string& path, LockMode mode, LockWait& wait) { Take(path, mode, wait); }

std::string LockHeldText(const std::string& lockPath, int waitMs) {
    return lockPath + ": held by another program (a treadle window or treadlectl using the same file) for more than " +
           std::to_string(waitMs) + " ms; try again when it is done";
}

bool SameUserFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) {
        return false;
    }
    std::error_code ec;
    if (fs::equivalent(a, b, ec) && !ec) {
        return true;
    }
    return ResolvedName(a) == ResolvedName(b);
}

void RemoveStaleTemporaries(const std::string& path) {
    const fs::path file(path);
    const std::string base = file.filename().string();
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code kind;
        if (IsTemporaryOf(name, base) && fs::is_regular_file(it->symlink_status(kind)) && !kind) {
            std::error_code ignored;  // one that cannot be removed is left; the next writer tries again
            fs::remove(it->path(), ignored);
        }
    }
}

}  // namespace treadle
