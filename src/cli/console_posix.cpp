#include "cli/console.h"

#include <unistd.h>

namespace treadle::cli {

void PrepareConsole() {}

bool StandardInputIsTerminal() { return ::isatty(STDIN_FILENO) != 0; }

}  // namespace treadle::cli
