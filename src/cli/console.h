// What treadlectl needs of the console it runs in.
#pragma once

namespace treadle::cli {

// Sets the console up for UTF-8 output where the system needs telling.
void PrepareConsole();

// True when standard input is a terminal, so a question can be asked.
bool StandardInputIsTerminal();

}  // namespace treadle::cli
