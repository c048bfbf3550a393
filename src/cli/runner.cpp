#include "cli/runner.h"

#include "cli/command_word.h"
#include "cli/commands.h"
#include "cli/devices.h"
#include "device/virtual_option.h"
#include "text/shown_text.h"

#include <CLI/CLI.hpp>

#include <ostream>

namespace treadle::cli {
namespace {

constexpr const char* kMainFooter = R"(Examples:
  treadlectl list
  treadlectl set 2 ctrl+shift+f1
  treadlectl --all apply office.toml
  treadlectl --dry-run set 1 f13
  treadlectl --virtual=pedals.state apply office.toml && treadlectl --virtual=pedals.state show

Exit status: 0 success; 1 the device is missing, cannot be opened, or a write or read
failed, or a file cannot be read or written; 2 bad usage or bad input.
'treadlectl COMMAND --help' tells more of each command.)";

// An option given an empty value (--capture "") is bad usage: taken as not given, as it once
// was, it quietly does something else than asked.
void RefuseEmptyValues(CLI::App& app) {
    for (const CLI::Option* option : app.get_options()) {
        if (option->get_name() == "PROFILE" && option->count() > 0 && option->results().front().empty()) {
            throw UsageError("PROFILE needs a file name, not an empty text");
        }
        if (option->get_lnames().empty() || option->get_expected_min() == 0 || option->count() == 0) {
            continue;  // positional arguments and flags
        }
        for (const std::string& value : option->results()) {
            if (value.empty()) {
                throw UsageError(option->get_name() + " needs a value, not an empty text");
            }
        }
    }
}

// The parser's complaint, with the user's words in it quoted and cut as every message has
// them; extra arguments in the order they were given.
std::string ParseErrorText(const CLI::App& app, const CLI::ParseError& e) {
    const std::vector<std::string> extras = app.remaining(true);
    if (dynamic_cast<const CLI::ExtrasError*>(&e) == nullptr || extras.empty()) {
        return ShownText(e.what(), kShownPathBytes);
    }
    constexpr size_t kMostShown = 8;
    std::string text = "not expected:";
    for (size_t i = 0; i < extras.size() && i < kMostShown; ++i) {
        text += " " + Quoted(extras[i]);
    }
    return text + (extras.size() > kMostShown ? " and " + std::to_string(extras.size() - kMostShown) + " more" : "");
}

// What to say when the command word names no command; empty when it names one or is missing.
std::string UnknownCommand(const CLI::App& app, const std::vector<std::string>& args) {
    const std::string word = CommandWord(args, [&app](const std::string& name) {
        const CLI::Option* option = app.get_option_no_throw(name);
        return option != nullptr && option->get_items_expected_max() > 0;
    });
    if (word.empty()) {
        return {};
    }
    std::vector<std::string> names;
    for (const Command& c : Commands()) {
        names.emplace_back(c.name);
    }
    return UnknownCommandText(word, names);
}

// What the parser cannot do: takes --virtual out of the arguments into the options (its
// value is optional) and refuses an option ending in '=', whose value the parser would take
// from the next word. False after saying what is wrong.
bool PrescanArguments(const std::vector<std::string>& arguments, Options& o, std::vector<std::string>& args,
                      std::ostream& err) {
    bool afterDashes = false;
    for (const std::string& arg : arguments) {
        if (!afterDashes && IsVirtualArgument(arg)) {
            if (const std::string error = TakeVirtualArgument(arg, o.virtualDevice, o.stateFile); !error.empty()) {
                err << "treadlectl: " << error << "\n";
                return false;
            }
            continue;
        }
        if (!afterDashes && arg.size() > 3 && arg.rfind("--", 0) == 0 && arg.back() == '=' &&
            arg.find('=') == arg.size() - 1) {
            err << "treadlectl: " << ShownMessage(arg.substr(0, arg.size() - 1))
                << " needs a value, not an empty text\n";
            return false;
        }
        afterDashes = afterDashes || arg == "--";
        args.push_back(arg);
    }
    return true;
}

// The options that go before the command. --virtual is only listed: PrescanArguments takes it.
void AddGlobalOptions(CLI::App& app, Options& o, bool& virtualListed) {
    app.fallthrough();
    app.require_subcommand(0, 1);
    // Arguments such as /dev/hidraw3 or a profile path are paths on every system, never
    // Windows-style /options.
    app.allow_windows_style_options(false);
    app.footer(std::string(kMainFooter) + "\n");
    app.set_version_flag("--version", std::string("treadlectl ") + TREADLE_VERSION);
    app.add_flag("--virtual", virtualListed,
                 "Use a virtual foot switch instead of the real device; --virtual=STATE_FILE keeps "
                 "its slots in STATE_FILE across runs");
    app.add_option("--virtual-devices", o.virtualDevices, "How many virtual foot switches there are (default 1)")
        ->type_name("N");
    app.add_option("--capture", o.captureFile, "Append every report the virtual foot switch receives to FILE")
        ->type_name("FILE");
    app.add_flag("--dry-run", o.dryRun, "Use no device: print each report that would be written, one per line");
    app.add_option("--report-length", o.reportLength, "Output report length for --dry-run (default 8)")->type_name("N");
    app.add_option("--vid", o.vid, std::string("Vendor ID in hex (default ") + kFootSwitchVendorIdText + ")")
        ->type_name("HEX");
    app.add_option("--pid", o.pid, std::string("Product ID in hex (default ") + kFootSwitchProductIdText + ")")
        ->type_name("HEX");
    app.add_option("--device", o.device, "Use this one interface (a path from 'list')")->type_name("PATH");
    app.add_option("--index", o.index, "Use the N-th foot switch, counted from 1 in 'list' order")->type_name("N");
    app.add_flag("--all", o.all, "Use every foot switch found; one line each and a count at the end");
    app.add_flag("-q,--quiet", o.quiet, "Say nothing on success");
}

// One subcommand per command of the table; the one the parser meets is kept in `command`.
void AddCommands(CLI::App& app, Arguments& a, const Command*& command) {
    for (const Command& c : Commands()) {
        CLI::App* sub = app.add_subcommand(c.name, c.description);
        sub->footer(c.footer + "\n");
        sub->callback([&command, &c] { command = &c; });
        c.addArguments(*sub, a);
    }
}

// The checks of the global options that the parser cannot make, and their values; throws
// UsageError.
void CheckGlobalOptions(Options& o) {
    o.vendorId = HexId("--vid", o.vid);
    o.productId = HexId("--pid", o.pid);
    if (!o.index.empty()) {
        o.indexValue = static_cast<int>(WholeOption("--index", o.index, 1, 9999));
    }
    if (static_cast<int>(!o.device.empty()) + static_cast<int>(!o.index.empty()) + static_cast<int>(o.all) > 1) {
        throw UsageError("--device, --index and --all each choose the devices: give one of them");
    }
    if (const std::string error = CaptureRuleError(!o.captureFile.empty(), o.virtualDevice); !error.empty()) {
        throw UsageError(error);
    }
    if (!o.virtualDevices.empty() && !o.virtualDevice) {
        throw UsageError("--virtual-devices needs --virtual");
    }
    if (!o.reportLength.empty()) {
        if (!o.dryRun) {
            throw UsageError("--report-length goes with --dry-run; a device tells its own");
        }
        o.reportLengthValue =
            static_cast<int>(WholeOption("--report-length", o.reportLength, kMinOutputReportLength, kMaxReportLength));
    }
    if (o.dryRun && (o.virtualDevice || !o.device.empty() || !o.index.empty() || o.all)) {
        throw UsageError("--dry-run uses no device, so it cannot go with --virtual, --device, --index or --all");
    }
}

int RunCommandLine(const std::vector<std::string>& arguments, CliEnvironment& env) {
    Options o;
    Arguments a;
    std::vector<std::string> args;
    if (!PrescanArguments(arguments, o, args, env.err)) {
        return kExitUsage;
    }

    CLI::App app{"Programs a four-pedal USB foot switch from the command line.", "treadlectl"};
    bool virtualListed = false;
    AddGlobalOptions(app, o, virtualListed);
    const Command* command = nullptr;
    AddCommands(app, a, command);

    if (const std::string unknown = UnknownCommand(app, args); !unknown.empty()) {
        env.err << "treadlectl: " << ShownMessage(unknown) << "\n";
        return kExitUsage;
    }

    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            app.exit(e, env.out, env.err);  // --help, --version
            return kExitOk;
        }
        env.err << "treadlectl: " << ParseErrorText(app, e) << "\nRun with --help for more information.\n";
        return kExitUsage;
    }

    try {
        RefuseEmptyValues(app);
        for (CLI::App* sub : app.get_subcommands()) {
            RefuseEmptyValues(*sub);
        }
        if (command == nullptr) {
            throw UsageError(
                "a command is needed: list, set, clear, delay, run-mode, raw, read, watch, press, "
                "apply, provision, export, show or keys (see --help)");
        }
        CheckGlobalOptions(o);
        CommandContext context{env, o, a};
        return command->run(context);
    } catch (const UsageError& e) {
        env.err << "treadlectl: " << ShownMessage(e.what()) << "\n";
        return kExitUsage;
    }
}

}  // namespace

int RunTreadlectl(const std::vector<std::string>& arguments, CliEnvironment& env) {
    const int status = RunCommandLine(arguments, env);
    // What was printed but could not be written (a full disk, a closed output, a reader that
    // left) is a failure, not a success.
    env.out.flush();
    if (!env.out) {
        env.err << "treadlectl: the output could not be written: standard output is full, closed or gone\n";
        return status == kExitOk ? kExitFailed : status;
    }
    return status;
}

}  // namespace treadle::cli
