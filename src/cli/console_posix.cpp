#include "cli/console.h"
#include "device/user_file.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace treadle::cli {

void PrepareConsole() {
    IgnoreBrokenPipeSignal();
    // The lowest free number is taken first, so each stand-in lands on the number it stands for.
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            (void)::open(fd == STDIN_FILENO ? "/dev/null" : "/dev/full", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        }
    }
}

bool StandardInputIsTerminal() { return ::isatty(STDIN_FILENO) != 0; }

}  // namespace treadle::cli
