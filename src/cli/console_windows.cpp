#include "cli/console.h"

#include <io.h>
#include <stdio.h>
#include <windows.h>

namespace treadle::cli {

// treadlectl writes UTF-8 (key names, messages that quote Chinese texts); a console left in
// its OEM code page would show that as mojibake.
void PrepareConsole() { ::SetConsoleOutputCP(CP_UTF8); }

bool StandardInputIsTerminal() { return ::_isatty(::_fileno(stdin)) != 0; }

}  // namespace treadle::cli
