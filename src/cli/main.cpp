// treadlectl: programs the foot switch from a shell.
#include "cli/console.h"
#include "cli/runner.h"

#include <chrono>
#include <ctime>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace {

class RealSleeper final : public treadle::Sleeper {
  public:
    void Sleep(int milliseconds) override { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }
};

class StdinTerminal final : public treadle::cli::Terminal {
  public:
    bool InputIsTerminal() override { return treadle::cli::StandardInputIsTerminal(); }
    bool Confirm(const std::string& question) override {
        std::cerr << question << std::flush;
        std::string answer;
        if (!std::getline(std::cin, answer)) {
            return false;
        }
        return answer == "y" || answer == "Y" || answer == "yes" || answer == "YES" || answer == "Yes";
    }
};

}  // namespace

int main(int argc, char** argv) {
    treadle::cli::PrepareConsole();
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    RealSleeper sleeper;
    StdinTerminal terminal;
    treadle::cli::CliEnvironment env{
        std::cout, std::cerr, sleeper, terminal, [] { return treadle::MakeSystemHidPlatform(); }, {}};
    env.timeOfDay = [] {
        const std::time_t now = std::time(nullptr);
        char text[16] = "";
        if (const std::tm* local = std::localtime(&now)) {
            std::strftime(text, sizeof text, "%H:%M:%S", local);
        }
        return std::string(text);
    };
    env.catchInterrupts = [] { treadle::cli::CatchInterrupts(); };
    env.interrupted = [] { return treadle::cli::InterruptCame(); };
    const int status = treadle::cli::RunTreadlectl(arguments, env);
    std::cout.flush();
    return status;
}
