#include "window/command_line.h"

#include "device/virtual_option.h"

#include <utility>

namespace treadle {
namespace {

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    ParsedCommandLine parsed;
    CommandLine& o = parsed.options;
    bool captureGiven = false;
    auto fail = [&parsed](std::string message) {
        parsed.error = std::move(message);
        return parsed;
    };
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--version" || arg == "-v") {
            o.version = true;
        } else if (IsVirtualArgument(arg)) {
            if (std::string error = TakeVirtualArgument(arg, o.virtualDevice, o.stateFile); !error.empty()) {
                return fail(std::move(error));
            }
        } else if (arg == "--capture" || StartsWith(arg, "--capture=")) {
            if (captureGiven) {
                return fail("--capture given twice");
            }
            captureGiven = true;
            if (arg == "--capture") {
                if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
                    return fail("--capture needs a file name");
                }
                o.captureFile = arguments[++i];
            } else {
                o.captureFile = arg.substr(std::string("--capture=").size());
            }
            if (o.captureFile.empty()) {
                return fail("--capture needs a file name");
            }
        } else if (arg == "--lang" || StartsWith(arg, "--lang=")) {
            if (parsed.view.language) {
                return fail("--lang given twice");
            }
            std::string name;
            if (arg == "--lang") {
                if (i + 1 >= arguments.size()) {
                    return fail("--lang needs a language: zh or en");
                }
                name = arguments[++i];
            } else {
                name = arg.substr(std::string("--lang=").size());
            }
            parsed.view.language = LanguageFromName(name);
            if (!parsed.view.language) {
                return fail("unknown language '" + name + "' for --lang: use zh (Chinese) or en (English)");
            }
        } else if (arg == "--advanced") {
            parsed.view.advanced = true;
        } else if (StartsWith(arg, "-")) {
            return fail("unknown option '" + arg + "'");
        } else {
            return fail("unexpected argument '" + arg + "'");
        }
    }
    if (std::string error = CaptureRuleError(captureGiven, o.virtualDevice); !error.empty() && !o.help && !o.version) {
        return fail(std::move(error));
    }
    return parsed;
}

std::string UsageText(const std::string& program) {
    return "Usage: " + program +
           " [--lang zh|en] [--advanced] [--virtual[=STATE_FILE]] [--capture FILE]\n"
           "Programs a four-pedal USB foot switch.\n"
           "\n"
           "  --lang LANG           the window's language: zh (Chinese, the default) or en (English);\n"
           "                        without it, the environment variable TREADLE_LANG chooses\n"
           "  --advanced            widen the window to show clear all, the key delay, the run mode\n"
           "                        and the frame that the manual-write button sends\n"
           "  --virtual             run on a virtual foot switch instead of the real device\n"
           "  --virtual=STATE_FILE  the same, keeping its pedal assignments in STATE_FILE across runs\n"
           "  --capture FILE        append every report the virtual foot switch receives to FILE\n"
           "                        (needs --virtual)\n"
           "  -h, --help            show this help and exit\n"
           "  -v, --version         show the version and exit\n";
}

Language ChooseLanguage(const ViewOptions& view, const char* environmentValue, std::string& warning) {
    warning.clear();
    if (view.language) {
        return *view.language;
    }
    if (environmentValue != nullptr && *environmentValue != '\0') {
        if (const std::optional<Language> chosen = LanguageFromName(environmentValue)) {
            return *chosen;
        }
        warning = std::string(kLanguageVariable) + "='" + environmentValue +
                  "' names no language of the window (zh or en); the window is in Chinese";
    }
    return Language::Chinese;
}

}  // namespace treadle
