// The treadlectl commands, one function each, listed once in the command table. A command
// reads its arguments, calls the core and prints; the runner parses the command line and
// checks the global options before it calls one.
#pragma once

#include "cli/session.h"

#include <string>
#include <vector>

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace treadle::cli {

// The arguments and options of the commands, filled by the parser.
struct Arguments {
    std::string switchText;
    std::string key;
    std::string delay = "0";
    std::string longPress = "off";
    std::string delayMs;
    std::string powerOn;
    std::string playback;
    std::vector<std::string> raw;
    std::string timeout;
    std::string count;
    std::string pedal;
    std::string profile;
    bool yes = false;
    bool allInterfaces = false;
    bool includePresent = false;
    bool again = false;
    // set's --delay and --long-press, to tell whether they were given at all.
    const CLI::Option* delayOption = nullptr;
    const CLI::Option* longPressOption = nullptr;
};

struct CommandContext {
    CliEnvironment& env;
    const Options& o;
    const Arguments& a;
};

struct Command {
    const char* name;
    const char* description;
    std::string footer;  // help text after the options, with examples
    void (*addArguments)(CLI::App& app, Arguments& a);
    // Returns the exit status; throws UsageError for bad input.
    int (*run)(CommandContext& c);
};

// Every command, in the order the help lists them.
const std::vector<Command>& Commands();

}  // namespace treadle::cli
