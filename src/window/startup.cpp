#include "window/startup.h"

#include "device/virtual_foot_switch.h"

namespace treadle {

std::unique_ptr<HidPlatform> StartPlatform(const CommandLine& options, Sleeper& sleeper, MessageBoxes& boxes,
                                           std::ostream& err, const std::string& program) {
    if (!options.virtualDevice) {
        return MakeSystemHidPlatform();
    }
    VirtualFootSwitch::Options deviceOptions;
    deviceOptions.stateFile = options.stateFile;
    deviceOptions.captureFile = options.captureFile;
    deviceOptions.sleeper = &sleeper;
    // The window waits on its own thread: a lock another program keeps is given up on sooner
    // than the command line does, and the log says so.
    deviceOptions.lockWaitMs = kWindowLockWaitMs;
    auto device = std::make_unique<VirtualFootSwitch>(deviceOptions);
    std::string error;
    if (!device->Start(error)) {
        const std::string text = "the virtual foot switch cannot start: " + error;
        err << program << ": " << text << "\n";
        err.flush();
        boxes.Show(text, "Treadle", MessageButtons::Ok);
        return nullptr;
    }
    return device;
}

StartPlan PlanStart(const std::vector<std::string>& arguments, const char* environmentLanguage,
                    const std::string& program) {
    StartPlan plan;
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    if (!parsed.ok()) {
        plan.stop = true;
        plan.status = 2;
        plan.err = program + ": " + parsed.error + "\nTry '" + program + " --help' for more information.\n";
        return plan;
    }
    plan.options = parsed.options;
    if (plan.options.help || plan.options.version) {
        plan.stop = true;
        plan.out = plan.options.help ? UsageText(program) : std::string("treadle ") + TREADLE_VERSION + "\n";
        return plan;
    }
    std::string languageWarning;
    plan.window = WindowOptionsFor(parsed.view, environmentLanguage, languageWarning);
    if (!languageWarning.empty()) {
        plan.err = program + ": " + languageWarning + "\n";
    }
    return plan;
}

WindowOptions WindowOptionsFor(const ViewOptions& view, const char* environmentLanguage, std::string& warning) {
    WindowOptions options;
    options.language = ChooseLanguage(view, environmentLanguage, warning);
    options.advanced = view.advanced;
    return options;
}

}  // namespace treadle
