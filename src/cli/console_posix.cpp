#include "cli/console.h"
#include "device/user_file.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <signal.h>
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

namespace {
volatile std::sig_atomic_t g_interrupted = 0;
extern "C" void OnInterrupt(int) { g_interrupted = 1; }
}  // namespace

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool InterruptCame() { return g_interrupted != 0; }

bool StandardInputIsTerminal() { return ::isatty(STDIN_FILENO) != 0; }

}  // namespace treadle::cli
