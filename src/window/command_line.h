// The window program's command line, shared by its front ends. Hand-written: `--virtual` takes an optional value,
// which the toolkit's parser cannot express, and it must run before any display is opened.
#pragma once

#include <string>
#include <vector>

namespace treadle {

struct CommandLine {
    bool help = false;
    bool version = false;
    bool virtualDevice = false;
    std::string stateFile;    // with --virtual=FILE
    std::string captureFile;  // with --capture FILE
};

struct ParsedCommandLine {
    CommandLine options;
    std::string error;  // empty when the arguments were good

    bool ok() const { return error.empty(); }
};

// Reads the arguments after the program name.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

std::string UsageText(const std::string& program);

}  // namespace treadle
