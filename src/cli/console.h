// What treadlectl needs of the console it runs in.
#pragma once

namespace treadle::cli {

// Sets the console up: UTF-8 output where the system needs telling; a broken pipe an error of
// the write rather than the end of the program; and where standard input, output or error is
// closed, a stand-in on its number (/dev/null to read, /dev/full to write), so that no file the
// program opens takes its place and receives what is printed, and what is printed fails.
void PrepareConsole();

// Makes Ctrl-C (and, on POSIX, SIGTERM) a request that InterruptCame() tells of, rather than
// the end of the program, so that a command that runs until stopped can finish its work.
void CatchInterrupts();
bool InterruptCame();

// True when standard input is a terminal, so a question can be asked.
bool StandardInputIsTerminal();

}  // namespace treadle::cli
