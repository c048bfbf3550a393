// The window program's command line, shared by its front ends. Hand-written: `--virtual` takes an optional value,
// which the toolkit's parser cannot express, and it must run before any display is opened.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "text/catalogue.h"

namespace treadle {

struct CommandLine {
    bool help = false;
    bool version = false;
    bool virtualDevice = false;
    std::string stateFile;    // with --virtual=FILE
    std::string captureFile;  // with --capture FILE
};

// How the window is shown; the device's start does not need these.
struct ViewOptions {
    std::optional<Language> language;  // with --lang LANG
    bool advanced = false;             // --advanced: show the settings column
};

struct ParsedCommandLine {
    CommandLine options;
    ViewOptions view;
    std::string error;  // empty when the arguments were good

    bool ok() const { return error.empty(); }
};

// Reads the arguments after the program name.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

std::string UsageText(const std::string& program);

// The environment variable that chooses the window's language when --lang does not.
inline constexpr const char* kLanguageVariable = "TREADLE_LANG";

// The window's language: --lang, else the value of TREADLE_LANG (null when it is unset),
// else Chinese. A value of TREADLE_LANG that names no language the window has is ignored,
// and `warning` says so; otherwise `warning` is left empty.
Language ChooseLanguage(const ViewOptions& view, const char* environmentValue, std::string& warning);

}  // namespace treadle
