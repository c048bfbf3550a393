#include "cli/console.h"

#include <io.h>
#include <stdio.h>
#include <windows.h>

namespace treadle::cli {

// treadlectl writes UTF-8 (key names, messages that quote Chinese texts); a console left in
// its OEM code page would show that as mojibake.
void PrepareConsole() { ::SetConsoleOutputCP(CP_UTF8); }

namespace {
volatile LONG g_interrupted = 0;
BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) {
        InterlockedExchange(&g_interrupted, 1);
        return TRUE;
    }
    return FALSE;
}
}  // namespace

void CatchInterrupts() { ::SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

bool InterruptCame() { return InterlockedCompareExchange(&g_interrupted, 0, 0) != 0; }

bool StandardInputIsTerminal() { return ::_isatty(::_fileno(stdin)) != 0; }

}  // namespace treadle::cli
