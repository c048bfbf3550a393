#include "device/user_file_mode.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace treadle {

std::string ReadOnlyReason(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return {};
    }
    // The owner's write bit says what the owner meant, even to root, whom access() lets write
    // anything; access() covers a file of another user that this one may not write.
    const bool ownerMayWrite = (st.st_mode & S_IWUSR) != 0;
    if (ownerMayWrite && (::access(path.c_str(), W_OK) == 0 || errno != EACCES)) {
        return {};
    }
    std::string mode;
    for (const mode_t bit : {S_IRUSR, S_IWUSR, S_IXUSR, S_IRGRP, S_IWGRP, S_IXGRP, S_IROTH, S_IWOTH, S_IXOTH}) {
        mode += (st.st_mode & bit) == 0 ? '-' : "rwx"[mode.size() % 3];
    }
    return ownerMayWrite ? "this user may not write it (" + mode + ")"
                         : "it is read-only (" + mode + "); make it writable (chmod u+w) to change it";
}

}  // namespace treadle
