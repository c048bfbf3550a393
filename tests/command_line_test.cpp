#include "window/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace treadle {
namespace {

TEST(CommandLineOptions, GoodArguments) {
    struct Case {
        std::vector<std::string> args;
        bool virtualDevice;
        std::string stateFile;
        std::string captureFile;
        bool help;
        bool version;
    };
    const Case cases[] = {
        {{}, false, "", "", false, false},
        {{"--virtual"}, true, "", "", false, false},
        {{"--virtual=slots.txt"}, true, "slots.txt", "", false, false},
        {{"--virtual", "--capture", "out.txt"}, true, "", "out.txt", false, false},
        {{"--capture=out.txt", "--virtual=s"}, true, "s", "out.txt", false, false},
        // The word after --capture is its file name, whatever it looks like.
        {{"--capture", "--virtual", "--virtual"}, true, "", "--virtual", false, false},
        {{"--help"}, false, "", "", true, false},
        {{"-h", "--capture", "x"}, false, "", "x", true, false},  // help wins over the usage error
        {{"--version"}, false, "", "", false, true},
    };
    for (const Case& c : cases) {
        const ParsedCommandLine p = ParseCommandLine(c.args);
        ASSERT_TRUE(p.ok()) << p.error;
        EXPECT_EQ(p.options.virtualDevice, c.virtualDevice);
        EXPECT_EQ(p.options.stateFile, c.stateFile);
        EXPECT_EQ(p.options.captureFile, c.captureFile);
        EXPECT_EQ(p.options.help, c.help);
        EXPECT_EQ(p.options.version, c.version);
    }
}

TEST(CommandLineOptions, BadArgumentsSayWhatIsWrong) {
    struct Case {
        std::vector<std::string> args;
        const char* errorMentions;
    };
    const Case cases[] = {
        {{"--capture", "out.txt"}, "needs --virtual"},
        {{"--virtual", "--capture"}, "--capture needs a file name"},
        {{"--virtual", "--capture="}, "--capture needs a file name"},
        {{"--virtual="}, "needs a state file"},
        {{"--virtual", "--virtual=a"}, "twice"},
        {{"--virtual", "--capture", "a", "--capture", "b"}, "twice"},
        {{"--virtualx"}, "unknown option '--virtualx'"},
        {{"-platform", "xcb"}, "unknown option '-platform'"},
        {{"stray"}, "unexpected argument 'stray'"},
    };
    for (const Case& c : cases) {
        const ParsedCommandLine p = ParseCommandLine(c.args);
        EXPECT_FALSE(p.ok()) << c.args.front();
        EXPECT_NE(p.error.find(c.errorMentions), std::string::npos) << p.error;
    }
}

}  // namespace
}  // namespace treadle
