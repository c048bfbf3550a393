#include "cli/runner.h"

#include "cli/runner_fixture.h"
#include "settings/profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace treadle::cli {
namespace {

TEST_F(Runner, DryRunSetPrintsTheThreeReports) {
    EXPECT_EQ(Run({"--dry-run", "set", "2", "ctrl+shift+f1"}), kExitOk);
    EXPECT_EQ(out_.str(), "00 AA 01 04 03 3A 00 00\n00 AA 01 7C 79 01 00 00\n00 AA 01 78 79 01 00 00\n");
    EXPECT_EQ(err_.str(), "");
    EXPECT_TRUE(sleeper_.sleeps.empty());
}

TEST_F(Runner, DryRunCommands) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> reports;
    };
    const Case cases[] = {
        {{"--dry-run", "set", "4", "ralt+a", "--delay", "300", "--long-press", "on"},
         {"00 AA 01 0C 40 04 00 00", "00 AA 01 7C 79 01 01 2C", "00 AA 01 78 79 01 01 00"}},
        {{"--dry-run", "set", "3", "mouse-left"}, {"00 AA 02 08 FE 01 00 00"}},
        {{"set", "1", "mouse-middle", "--dry-run"}, {"00 AA 02 00 FE 04 00 00"}},
        {{"--dry-run", "delay", "256"}, {"00 AA 01 7C 79 01 01 00", "00 AA 01 78 79 01 00 00"}},
        {{"--dry-run", "run-mode", "--power-on", "off", "--playback", "single"}, {"00 AA 01 7C 00 00 00 00"}},
        {{"--dry-run", "run-mode", "--power-on", "on", "--playback", "loop"}, {"00 AA 01 7C 79 01 00 00"}},
        {{"--dry-run", "raw", "aa 01 7C 79 01"}, {"00 AA 01 7C 79 01 00 00"}},
        {{"--dry-run", "raw", "abc"}, {"00 AB C0 00 00 00 00 00"}},
        {{"--dry-run", "raw", "aa", "01", "02", "03", "04", "05", "06", "07", "08"}, {"00 AA 01 02 03 04 05 06"}},
        {{"--dry-run", "--report-length", "10", "set", "1", "a"},
         {"00 AA 01 00 00 04 00 00 00 00", "00 AA 01 7C 79 01 00 00 00 00", "00 AA 01 78 79 01 00 00 00 00"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.args), kExitOk) << err_.str();
        EXPECT_EQ(Lines(out_.str()), c.reports) << c.args.back();
    }
}

TEST_F(Runner, DryRunClearWritesThe32ClearFramesWithoutAsking) {
    EXPECT_EQ(Run({"--dry-run", "clear"}), kExitOk);
    const std::vector<std::string> lines = Lines(out_.str());
    ASSERT_EQ(lines.size(), 32u);
    EXPECT_EQ(lines.front(), "00 AA 01 00 FF FF FF FF");
    EXPECT_EQ(lines[30], "00 AA 01 78 FF FF FF FF");
    EXPECT_EQ(lines.back(), "00 AA 01 7C FF FF FF FF");
    EXPECT_TRUE(terminal_.asked.empty());
}

TEST_F(Runner, BadInputNamesTheBadPartWithStatus2) {
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const Case cases[] = {
        {{"set", "5", "a"}, "treadlectl: switch must be 1 to 4, not \"5\""},
        {{"set", "0", "a"}, "switch must be 1 to 4"},
        {{"set", "1", "ctrl+foo"}, "treadlectl: unknown key \"foo\""},
        {{"set", "1", "ctrl+foo"}, "'treadlectl keys' lists every name"},
        {{"set", "1", "a", "--delay", "65536"}, "--delay must be a whole number from 0 to 65535 ms, not \"65536\""},
        {{"set", "1", "a", "--delay", "-5"}, "--delay must be a whole number"},
        {{"set", "1", "a", "--long-press", "yes"}, "--long-press must be on or off, not \"yes\""},
        {{"set", "1", "mouse-left", "--delay", "5"}, "--delay and --long-press go with keys"},
        {{"delay", "abc"}, "delay must be a whole number from 0 to 65535 ms, not \"abc\""},
        {{"run-mode", "--power-on", "maybe", "--playback", "loop"}, "--power-on must be on or off"},
        {{"run-mode", "--power-on", "on", "--playback", "twice"}, "--playback must be single or loop"},
        {{"run-mode", "--power-on", "on"}, "--playback is required"},
        {{"raw", "aa 0g"}, "raw: \"g\" is not a hex digit or a blank"},
        {{"raw", "  "}, "raw needs the frame"},
        {{"--vid", "12345", "list"}, "--vid must be one to four hex digits"},
        {{"--index", "0", "list"}, "--index must be a whole number from 1"},
        {{"--all", "--index", "2", "set", "1", "a"}, "--device, --index and --all"},
        {{"--capture", "x", "list"}, "--capture records what the virtual foot switch receives"},
        {{"--report-length", "16", "set", "1", "a"}, "--report-length goes with --dry-run"},
        {{"--dry-run", "--report-length", "7", "set", "1", "a"}, "--report-length must be a whole number from 8"},
        {{"--dry-run", "--virtual", "set", "1", "a"}, "--dry-run uses no device"},
        {{"--dry-run", "list"}, "list needs a device, and --dry-run uses none"},
        {{"--dry-run", "show"}, "the foot switch cannot report what it stores"},
        {{"--virtual", "--virtual", "list"}, "--virtual given twice"},
        {{"--virtual=", "list"}, "--virtual= needs a state file name"},
        {{"--virtual", "--virtual-devices", "0", "list"}, "--virtual-devices must be a whole number from 1"},
        {{"show"}, "the foot switch cannot report what it stores"},
        {{"export", "x.toml"}, "the foot switch cannot report what it stores"},
        {{"--virtual", "--all", "export", "x.toml"}, "export writes one profile"},
        {{"--virtual", "read", "--timeout", "soon"}, "--timeout must be a whole number"},
        {{}, "a command is needed"},
        {{"press", "2"}, "press works only on the virtual foot switch"},
        {{"--virtual", "press", "5"}, "pedal must be a whole number from 1 to 4"},
        {{"--dry-run", "watch"}, "watch needs a device"},
        {{"--virtual", "--all", "watch"}, "--device, --index and --all do not apply"},
        {{"--virtual", "watch", "--count", "0"}, "--count must be a whole number from 1"},
        {{"--virtual", "watch", "--timeout", "-1"}, "--timeout must be a whole number from 1"},
        {{"bogus"},
         "treadlectl: unknown command \"bogus\". The commands are: list, set, clear, delay, run-mode, raw, "
         "read, watch, press, apply, provision, export, show, keys"},
        {{"sett", "2", "f1"},
         "treadlectl: unknown command \"sett\"; did you mean \"set\"? The commands are: list, set,"},
        {{"--index", "2", "shw"}, "unknown command \"shw\"; did you mean \"show\"?"},
        {{"--virtual=a.state", "--capture", "c.txt", "-q", "prss", "2"}, "did you mean \"press\"?"},
        {{"--vid=2704", "lsit"}, "did you mean \"list\"?"},
        {{"set", "1"}, "KEY is required"},
        // An empty value was once taken as no value at all.
        {{"--virtual", "--virtual-devices", "", "list"},
         "treadlectl: --virtual-devices needs a value, not an empty text"},
        {{"--virtual", "--capture", "", "list"}, "--capture needs a value, not an empty text"},
        {{"--virtual", "--capture=", "list"}, "--capture needs a value, not an empty text"},
        {{"--device", "", "set", "1", "a"}, "--device needs a value, not an empty text"},
        {{"--index", "", "set", "1", "a"}, "--index needs a value, not an empty text"},
        {{"--virtual", "watch", "--count", ""}, "--count needs a value, not an empty text"},
        {{"--virtual", "watch", "--timeout", ""}, "--timeout needs a value, not an empty text"},
        {{"--virtual", "read", "--timeout", ""}, "--timeout needs a value, not an empty text"},
        {{"--dry-run", "set", "1", "a", "--delay", ""}, "--delay needs a value, not an empty text"},
        {{"--dry-run", "apply", ""}, "treadlectl: PROFILE needs a file name, not an empty text"},
        {{"--virtual", "provision", ""}, "treadlectl: PROFILE needs a file name, not an empty text"},
        {{"--virtual", "export", ""}, "treadlectl: PROFILE needs a file name, not an empty text"},
        // The parser's own complaints: in order, quoted and cut like every other message.
        {{"--virtual", "show", "one", "two", "three"}, "treadlectl: not expected: \"one\" \"two\" \"three\"\n"},
        {{"--virtual", "show", "\x1b[2J\xff"}, "treadlectl: not expected: \"\\x1B[2J\\xFF\"\n"},
        {{"--virtual", "show", std::string(131072, 'x')}, "treadlectl: not expected: \"xxxxxxxxxx"},
        {{"cat"}, "treadlectl: unknown command \"cat\". The commands are"},
        // A profile that is one of the virtual foot switch's own files is no profile.
        {{"--virtual=" + State(), "apply", State()},
         "treadlectl: cannot read the profile " + State() + ": it is the state file " + State() + ";"},
        {{"--virtual=" + State(), "provision", State() + ".lock"}, "it is the state file's lock " + State() + ".lock;"},
        {{"--virtual=" + State(), "provision", State() + ".presses"}, "it is the state file's press queue"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.args), kExitUsage) << c.error;
        EXPECT_NE(err_.str().find(c.error), std::string::npos) << "expected: " << c.error << "\nerr: " << err_.str();
        EXPECT_LT(err_.str().size(), 2000u) << c.error;
        EXPECT_EQ(out_.str(), "") << c.error;
    }
}

TEST_F(Runner, SetOnTheVirtualFootSwitchWritesWithThePausesOfTheWindow) {
    EXPECT_EQ(RunVirtual({"set", "2", "ctrl+shift+f1"}), kExitOk) << err_.str();
    EXPECT_EQ(out_.str(), "virtual:1:config: switch 2 = ctrl+shift+f1 (key delay 0 ms, long press off)\n");
    EXPECT_EQ(Captured(), (std::vector<std::string>{"00 AA 01 04 03 3A 00 00", "00 AA 01 7C 79 01 00 00",
                                                    "00 AA 01 78 79 01 00 00"}));
    EXPECT_EQ(sleeper_.sleeps, (std::vector<int>{50, 50}));
    EXPECT_EQ(StateSlot(1, "04"), "03 3A 00 00 key");

    sleeper_.sleeps.clear();
    EXPECT_EQ(RunVirtual({"--quiet", "set", "3", "mouse-right"}), kExitOk);
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(Captured().back(), "00 AA 02 08 FE 02 00 00");
    EXPECT_TRUE(sleeper_.sleeps.empty());  // a click writes one report, without pauses
}

TEST_F(Runner, DeviceFailuresGiveStatus1WithTheWindowsWording) {
    struct Case {
        const char* name;
        std::function<void(VirtualFootSwitch&)> breakIt;
        const char* error;
    };
    const Case cases[] = {
        {"unplugged", [](VirtualFootSwitch& v) { v.Unplug(0); },
         "treadlectl: write failed, please connect first (no foot switch 2704:2018 found)"},
        {"write fails", [](VirtualFootSwitch& v) { v.SetWriteFault(VirtualFootSwitch::WriteFault::Fail); },
         "treadlectl: virtual:1:config: write failed, please check the device connection (report 1 of 3: "
         "the device did not take the report)"},
        {"short write", [](VirtualFootSwitch& v) { v.SetWriteFault(VirtualFootSwitch::WriteFault::Short); },
         "write failed, please check the device connection"},
        {"no access", [](VirtualFootSwitch& v) { v.DenyAccess(true); },
         "treadlectl: cannot open the device: no access permission. Install the udev rule 70-treadle.rules"},
    };
    for (const Case& c : cases) {
        virtualStarted_ = c.breakIt;
        EXPECT_EQ(Run({"--virtual", "set", "1", "a"}), kExitFailed) << c.name;
        EXPECT_NE(err_.str().find(c.error), std::string::npos) << c.name << ": " << err_.str();
        EXPECT_EQ(out_.str(), "") << c.name;
    }
}

// Without a foot switch the message says how to try it without one; a wrong --index says
// how many there are rather than that a write failed.
TEST_F(Runner, NoFootSwitchSaysWhatToTryInstead) {
    systemPlatform_ = [] {
        auto none = std::make_unique<VirtualFootSwitch>();
        none->Unplug(0);
        return none;
    };
    EXPECT_EQ(Run({"set", "1", "f1"}), kExitFailed);
    EXPECT_EQ(err_.str(),
              "treadlectl: write failed, please connect first (no foot switch 2704:2018 found); without one, "
              "--virtual=pedals.state tries it on a virtual foot switch that keeps its slots in pedals.state\n");
    // On the virtual foot switch itself the hint would make no sense.
    virtualStarted_ = [](VirtualFootSwitch& v) { v.Unplug(0); };
    EXPECT_EQ(Run({"--virtual", "set", "1", "f1"}), kExitFailed);
    EXPECT_EQ(err_.str(), "treadlectl: write failed, please connect first (no foot switch 2704:2018 found)\n");
    virtualStarted_ = nullptr;
    EXPECT_EQ(Run({"--virtual", "--index", "3", "set", "1", "f1"}), kExitFailed);
    EXPECT_EQ(err_.str(),
              "treadlectl: there is no foot switch number 3: 1 foot switch 2704:2018 found (--index counts from 1 in "
              "'list' order)\n");
}

TEST_F(Runner, AFailedWriteStopsTheFramesThatFollow) {
    virtualStarted_ = [](VirtualFootSwitch& v) { v.SetWriteFault(VirtualFootSwitch::WriteFault::Fail); };
    EXPECT_EQ(RunVirtual({"set", "1", "a"}), kExitFailed);
    EXPECT_TRUE(Captured().empty());
    EXPECT_TRUE(sleeper_.sleeps.empty());
}

TEST_F(Runner, ClearAsksOnATerminalAndRefusesWithoutOne) {
    // Not a terminal: refused before any device is touched.
    EXPECT_EQ(RunVirtual({"clear"}), kExitUsage);
    EXPECT_NE(err_.str().find("add --yes"), std::string::npos);
    EXPECT_TRUE(Captured().empty());

    terminal_.terminal = true;
    terminal_.answer = false;
    EXPECT_EQ(RunVirtual({"clear"}), kExitFailed);
    ASSERT_EQ(terminal_.asked.size(), 1u);
    EXPECT_NE(terminal_.asked[0].find("Really clear all key values of the device virtual:1:config?"),
              std::string::npos);
    EXPECT_TRUE(Captured().empty());

    terminal_.answer = true;
    EXPECT_EQ(RunVirtual({"clear"}), kExitOk);
    EXPECT_EQ(Captured().size(), 32u);
    EXPECT_EQ(out_.str(), "virtual:1:config: cleared all 32 slots\n");

    terminal_.terminal = false;
    EXPECT_EQ(RunVirtual({"clear", "--yes"}), kExitOk);
    EXPECT_EQ(Captured().size(), 64u);
    EXPECT_EQ(terminal_.asked.size(), 2u);
}

TEST_F(Runner, ClearWritesEveryFrameEvenAfterAFailure) {
    int writes = 0;
    // A foot switch whose writes all fail: every one of the 32 is still tried.
    class FailingWrites final : public HidPlatform {
      public:
        explicit FailingWrites(int& writes) : writes_(writes) {}
        std::vector<std::string> EnumerateInterfaces() override { return inner_.EnumerateInterfaces(); }
        OpenResult OpenReadWrite(const std::string& p) override { return inner_.OpenReadWrite(p); }
        OpenResult OpenForTimedRead(const std::string& p) override { return inner_.OpenForTimedRead(p); }
        bool GetAttributes(HidHandle h, HidAttributes& out) override { return inner_.GetAttributes(h, out); }
        bool PeekAttributes(const std::string& p, HidAttributes& out) override { return inner_.PeekAttributes(p, out); }
        bool PeekCaps(const std::string& p, HidCaps& out) override { return inner_.PeekCaps(p, out); }
        bool GetCaps(HidHandle h, HidCaps& out) override { return inner_.GetCaps(h, out); }
        WriteResult Write(HidHandle, std::span<const std::uint8_t>) override {
            ++writes_;
            return {0, "broken"};
        }
        ReadResult ReadTimed(HidHandle h, std::span<std::uint8_t> b, int t) override {
            return inner_.ReadTimed(h, b, t);
        }
        bool Close(HidHandle h) override { return inner_.Close(h); }
        std::string ErrorText(std::uint32_t code) override { return inner_.ErrorText(code); }

      private:
        VirtualFootSwitch inner_;
        int& writes_;
    };
    systemPlatform_ = [&writes] { return std::make_unique<FailingWrites>(writes); };
    EXPECT_EQ(Run({"clear", "--yes"}), kExitFailed);
    EXPECT_EQ(writes, 32);
    EXPECT_NE(err_.str().find("report 1 of 32: broken"), std::string::npos) << err_.str();
}

TEST_F(Runner, ApplyWritesInTheWindowsOrderAndRefusesTheSlotConflict) {
    const std::string profile = Write("office.toml",
                                      "[switches]\n3 = \"mouse-left\"\n1 = \"ctrl+a\"\n4 = \"f13\"\n"
                                      "[settings]\ndelay_ms = 0\nlong_press = true\n"
                                      "power_on_run = false\nplayback = \"single\"\n");
    EXPECT_EQ(RunVirtual({"apply", profile}), kExitOk) << err_.str();
    EXPECT_EQ(Captured(), (std::vector<std::string>{"00 AA 01 00 01 04 00 00", "00 AA 02 08 FE 01 00 00",
                                                    "00 AA 01 0C 00 68 00 00", "00 AA 01 7C 79 01 00 00",
                                                    "00 AA 01 78 79 01 01 00", "00 AA 01 7C 00 00 00 00"}));
    // After each key frame and after the delay frame, as the window pauses.
    EXPECT_EQ(sleeper_.sleeps, (std::vector<int>{50, 50, 50}));
    EXPECT_EQ(out_.str(), "virtual:1:config: applied " + profile +
                              ": switch 1 = ctrl+a, 3 = mouse-left, 4 = f13; key delay 0 ms, long press on; "
                              "power-on run off, single playback\n");

    // A delay with the run mode its own frame carries: the run-mode frame would only undo the delay.
    const std::string delayed = Write("delayed.toml",
                                      "[settings]\ndelay_ms = 300\nlong_press = false\n"
                                      "power_on_run = true\nplayback = \"loop\"\n");
    EXPECT_EQ(RunVirtual({"apply", delayed}), kExitOk) << err_.str();
    EXPECT_EQ(StateSlot(1, "7C"), "79 01 01 2C");

    const std::string conflict = Write("conflict.toml",
                                       "[settings]\ndelay_ms = 300\nlong_press = false\n"
                                       "power_on_run = false\nplayback = \"loop\"\n");
    const size_t before = Captured().size();
    EXPECT_EQ(RunVirtual({"apply", conflict}), kExitUsage);
    EXPECT_NE(err_.str().find(conflict + ":4: settings.power_on_run: a key delay of 300 ms cannot go with"),
              std::string::npos)
        << err_.str();
    EXPECT_EQ(Captured().size(), before);
}

// A raw usage with a hex letter keeps one spelling through every command that prints it,
// whatever case it was written in, and its byte through every command that writes it.
TEST_F(Runner, ARawUsageWithALetterKeepsItsSpellingThroughEveryCommand) {
    for (const char* written : {"0x8a", "0x8A", "0X8a"}) {
        SCOPED_TRACE(written);
        fs::remove(State());
        ASSERT_EQ(RunVirtual({"set", "1", std::string("rwin+") + written}), kExitOk) << err_.str();
        EXPECT_EQ(out_.str(), "virtual:1:config: switch 1 = rwin+0x8a (key delay 0 ms, long press off)\n");
        const std::vector<std::string> captured = Captured();
        ASSERT_GE(captured.size(), 3u);
        EXPECT_EQ(captured[captured.size() - 3], "00 AA 01 00 80 8A 00 00");

        ASSERT_EQ(Run({"--virtual=" + State(), "show"}), kExitOk) << err_.str();
        EXPECT_NE(out_.str().find("  switch 1: rwin+0x8a\n"), std::string::npos) << out_.str();

        const std::string exported = Path("raw.toml");
        ASSERT_EQ(Run({"--virtual=" + State(), "export", exported}), kExitOk) << err_.str();
        EXPECT_NE(ReadFile(exported).find("1 = \"rwin+0x8a\"\n"), std::string::npos) << ReadFile(exported);

        ASSERT_EQ(Run({"--dry-run", "apply", exported}), kExitOk) << err_.str();
        EXPECT_EQ(Lines(out_.str())[0], "00 AA 01 00 80 8A 00 00");
        ASSERT_EQ(Run({"--dry-run", "set", "2", written}), kExitOk) << err_.str();
        EXPECT_EQ(Lines(out_.str())[0], "00 AA 01 04 00 8A 00 00");
    }
}

// Bytes FE 01 00 00 are a left click or a key with seven modifiers. Where the state file
// records which frame stored them, show and export say that one and warn of nothing; only a
// file without the kind leaves the doubt, and the warning.
TEST_F(Runner, ShowAndExportWarnOfAClickLookalikeOnlyWhereTheKindIsUnknown) {
    const std::string exported = Path("out.toml");
    struct Case {
        const char* kind;  // the word after the bytes in the state file
        const char* shown;
        const char* profileLine;
        bool warned;
    };
    const Case cases[] = {
        {" mouse", "  switch 1: mouse-left", "1 = \"mouse-left\"", false},
        // A key frame's usage 01 is no key: what apply would refuse is left out, with a note.
        {" key", "  switch 1: FE 01 00 00 (written by no assignment)",
         "# switch 1 holds FE 01 00 00, which no assignment writes; left out", false},
        {"", "  switch 1: mouse-left (the same bytes as the key shift+alt+win+rctrl+rshift+ralt+rwin+0x01)",
         "1 = \"mouse-left\"", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        Write("pedals.state", std::string("device 1\nslot 00: FE 01 00 00") + c.kind + "\n");
        ASSERT_EQ(Run({"--virtual=" + State(), "show"}), kExitOk) << err_.str();
        EXPECT_EQ(Lines(out_.str()).at(1), c.shown);
        ASSERT_EQ(Run({"--virtual=" + State(), "export", exported}), kExitOk) << err_.str();
        EXPECT_NE(ReadFile(exported).find(std::string("\n") + c.profileLine + "\n"), std::string::npos)
            << ReadFile(exported);
        const bool warned =
            err_.str().find("switch 1: the bytes FE 01 00 00 are mouse-left or the key") != std::string::npos;
        EXPECT_EQ(warned, c.warned) << err_.str();
        EXPECT_EQ(ReadFile(exported).find("# switch 1: the bytes") != std::string::npos, c.warned);
    }
}

TEST_F(Runner, ApplyThenShowAndExportRoundTripThroughTheStateFile) {
    const std::string text =
        "[switches]\n1 = \"ctrl+shift+f1\"\n2 = \"mouse-middle\"\n4 = \"rwin+0x87\"\n\n"
        "[settings]\ndelay_ms = 0\nlong_press = true\npower_on_run = false\nplayback = \"loop\"\n";
    const std::string profile = Write("in.toml", text);
    ASSERT_EQ(RunVirtual({"apply", profile}), kExitOk) << err_.str();

    // A new run reads the slots back from the state file.
    ASSERT_EQ(Run({"--virtual=" + State(), "show"}), kExitOk) << err_.str();
    EXPECT_EQ(Lines(out_.str()),
              (std::vector<std::string>{"virtual:1:config", "  switch 1: ctrl+shift+f1", "  switch 2: mouse-middle",
                                        "  switch 3: empty", "  switch 4: rwin+0x87", "  long press (slot 78): on",
                                        "  key delay and run mode (slot 7C): key delay 0 ms, power-on run off, "
                                        "loop playback"}));

    const std::string exported = Path("out.toml");
    ASSERT_EQ(Run({"--virtual=" + State(), "export", exported}), kExitOk) << err_.str();
    EXPECT_EQ(out_.str(), "virtual:1:config: exported to " + exported + "\n");
    const std::string written = ReadFile(exported);
    EXPECT_NE(written.find("[switches]\n1 = \"ctrl+shift+f1\"\n2 = \"mouse-middle\"\n4 = \"rwin+0x87\"\n"),
              std::string::npos)
        << written;
    EXPECT_NE(written.find("[settings]\ndelay_ms = 0\nlong_press = true\npower_on_run = false\nplayback = \"loop\"\n"),
              std::string::npos)
        << written;

    // Applying the export to a fresh switch stores the same slots.
    const std::string first = ReadFile(State());
    fs::remove(State());
    ASSERT_EQ(RunVirtual({"apply", exported}), kExitOk) << err_.str();
    EXPECT_EQ(ReadFile(State()), first);
}

TEST_F(Runner, ShowDecodesADelayAndUnknownBytes) {
    std::ofstream(State()) << "device 1\nslot 00: 12 34 56 78\nslot 78: 79 01 02 00\nslot 7C: 79 01 01 2C\n";
    ASSERT_EQ(Run({"--virtual=" + State(), "show"}), kExitOk) << err_.str();
    const std::vector<std::string> lines = Lines(out_.str());
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[1], "  switch 1: 12 34 56 78 (written by no assignment)");
    EXPECT_EQ(lines[5], "  long press (slot 78): grey (02)");
    EXPECT_EQ(lines[6], "  key delay and run mode (slot 7C): key delay 300 ms, power-on run on, loop playback");

    // What a profile cannot say is told, and left out of the export.
    ASSERT_EQ(Run({"--virtual=" + State(), "export", Path("x.toml")}), kExitOk);
    EXPECT_NE(err_.str().find("switch 1 holds 12 34 56 78, which no assignment writes"), std::string::npos);
    EXPECT_NE(err_.str().find("the long-press slot 78 holds 79 01 02 00"), std::string::npos);
    const ProfileRead back = ReadProfile(Path("x.toml"));
    ASSERT_TRUE(back.ok()) << back.error;
    EXPECT_TRUE(back.profile.switches.empty());
    EXPECT_EQ(back.profile.delayMs, 300);
}

TEST_F(Runner, AllWithTwoVirtualDevices) {
    EXPECT_EQ(RunVirtual({"--virtual-devices", "2", "--all", "set", "1", "f13"}), kExitOk) << err_.str();
    EXPECT_EQ(Lines(out_.str()),
              (std::vector<std::string>{"virtual:1:config: switch 1 = f13 (key delay 0 ms, long press off)",
                                        "virtual:2:config: switch 1 = f13 (key delay 0 ms, long press off)",
                                        "2 of 2 devices done"}));
    EXPECT_EQ(StateSlot(1, "00"), "00 68 00 00 key");
    EXPECT_EQ(StateSlot(2, "00"), "00 68 00 00 key");
    EXPECT_EQ(Captured().size(), 6u);

    // --index takes one of them, counted in list order.
    EXPECT_EQ(RunVirtual({"--virtual-devices", "2", "--index", "2", "set", "1", "mouse-left"}), kExitOk);
    EXPECT_EQ(StateSlot(1, "00"), "00 68 00 00 key");
    EXPECT_EQ(StateSlot(2, "00"), "FE 01 00 00 mouse");
    EXPECT_EQ(RunVirtual({"--virtual-devices", "2", "--index", "3", "set", "1", "a"}), kExitFailed);
    EXPECT_NE(err_.str().find("treadlectl: there is no foot switch number 3: 2 foot switches 2704:2018 found "
                              "(--index counts from 1 in 'list' order)"),
              std::string::npos)
        << err_.str();
    EXPECT_EQ(err_.str().find("write failed"), std::string::npos) << "nothing was written: " << err_.str();

    // A device the user may not open is reported on its own line and counted.
    virtualStarted_ = [](VirtualFootSwitch& v) { v.DenyAccess(true, 0); };
    EXPECT_EQ(RunVirtual({"--virtual-devices", "2", "--all", "set", "2", "b"}), kExitFailed);
    EXPECT_EQ(Lines(out_.str()),
              (std::vector<std::string>{"virtual:2:config: switch 2 = b (key delay 0 ms, long press off)",
                                        "1 of 2 devices done"}));
    EXPECT_NE(err_.str().find("virtual:1:config: cannot open the device: no access permission"), std::string::npos);
    // --index still counts the device it cannot open, so it never writes to the wrong pedal.
    EXPECT_EQ(RunVirtual({"--virtual-devices", "2", "--index", "1", "set", "2", "c"}), kExitFailed);
    EXPECT_EQ(StateSlot(2, "04"), "00 05 00 00 key");

    // show goes through every device.
    virtualStarted_ = nullptr;
    EXPECT_EQ(Run({"--virtual=" + State(), "--virtual-devices", "2", "--all", "show"}), kExitOk);
    EXPECT_NE(out_.str().find("virtual:2:config\n  switch 1: mouse-left\n  switch 2: b\n"), std::string::npos)
        << out_.str();
}

// A state file written with --virtual-devices 3 is used whole without it; a smaller count
// given by hand is refused with the count that would do.
TEST_F(Runner, AStateFileBringsItsOwnNumberOfDevices) {
    ASSERT_EQ(RunVirtual({"--virtual-devices", "3", "--index", "3", "set", "2", "f1"}), kExitOk) << err_.str();
    EXPECT_EQ(RunVirtual({"--index", "3", "set", "1", "f2"}), kExitOk) << err_.str();
    EXPECT_EQ(StateSlot(3, "00"), "00 3B 00 00 key");
    EXPECT_EQ(StateSlot(3, "04"), "00 3A 00 00 key");
    ASSERT_EQ(Run({"--virtual=" + State(), "--all", "show"}), kExitOk) << err_.str();
    EXPECT_NE(out_.str().find("virtual:3:config\n  switch 1: f2\n  switch 2: f1\n"), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("3 of 3 devices done"), std::string::npos) << out_.str();

    const std::string before = ReadFile(State());
    EXPECT_EQ(RunVirtual({"--virtual-devices", "2", "list"}), kExitFailed);
    EXPECT_NE(err_.str().find("device number must be 1 to 2: the file holds 3 devices, but 2 were asked for "
                              "(--virtual-devices 3, or leave the count out)"),
              std::string::npos)
        << err_.str();
    EXPECT_EQ(ReadFile(State()), before);
    // More devices than the file holds: the others start erased, and are kept from then on.
    EXPECT_EQ(RunVirtual({"--virtual-devices", "4", "--index", "4", "set", "1", "a"}), kExitOk) << err_.str();
    EXPECT_EQ(StateSlot(4, "00"), "00 04 00 00 key");
    EXPECT_EQ(StateSlot(3, "00"), "00 3B 00 00 key");
}

TEST_F(Runner, ListShowsEveryInterfaceOfTheFootSwitch) {
    virtualStarted_ = [](VirtualFootSwitch& v) { v.DenyAccess(true, 1); };
    EXPECT_EQ(Run({"--virtual", "--virtual-devices", "2", "list"}), kExitOk);
    EXPECT_EQ(Lines(out_.str()),
              (std::vector<std::string>{
                  "virtual:1:keyboard\t2704:2018\t9\t2\t0\tkeyboard", "virtual:1:mouse\t2704:2018\t5\t0\t0\tmouse",
                  "virtual:1:config\t2704:2018\t8\t8\t0\tusable", "virtual:2:keyboard\t2704:2018\t9\t2\t0\tkeyboard",
                  "virtual:2:mouse\t2704:2018\t5\t0\t0\tmouse", "virtual:2:config\t2704:2018\t8\t8\t0\tno-access"}));
    virtualStarted_ = nullptr;
    EXPECT_EQ(Run({"--virtual", "--vid", "1234", "list"}), kExitFailed);
    EXPECT_EQ(out_.str(), "");
    EXPECT_NE(err_.str().find("no foot switch 1234:2018 found"), std::string::npos);
    EXPECT_EQ(Run({"--virtual", "--vid", "1234", "list", "--all-interfaces"}), kExitOk);
    EXPECT_EQ(Lines(out_.str()).size(), 3u);
}

TEST_F(Runner, DeviceOptionChecksTheIds) {
    EXPECT_EQ(RunVirtual({"--device", "virtual:1:config", "set", "1", "a"}), kExitOk) << err_.str();
    EXPECT_EQ(Captured().size(), 3u);
    EXPECT_EQ(RunVirtual({"--device", "virtual:1:config", "--pid", "2019", "set", "1", "a"}), kExitFailed);
    EXPECT_NE(err_.str().find("this is 2704:2018, not the foot switch 2704:2019"), std::string::npos) << err_.str();
    EXPECT_EQ(RunVirtual({"--device", "virtual:1:keyboard", "set", "1", "a"}), kExitFailed);
    EXPECT_NE(err_.str().find("a keyboard or mouse interface cannot be opened"), std::string::npos);
    EXPECT_EQ(RunVirtual({"--device", "virtual:7:config", "set", "1", "a"}), kExitFailed);
    EXPECT_NE(err_.str().find("write failed, please connect first"), std::string::npos);
    EXPECT_EQ(Captured().size(), 3u);
}

TEST_F(Runner, ReadShowsTheReportAsTheWindowDoes) {
    virtualStarted_ = [](VirtualFootSwitch& v) { v.QueueInputReport({0x00, 0x0A, 0xFF, 0x01, 0, 0, 0, 0x7C}); };
    EXPECT_EQ(Run({"--virtual", "read"}), kExitOk) << err_.str();
    EXPECT_EQ(out_.str(), " Report ID: 0\n Report Data:\n 0A\n FF\n 01\n 00\n 00\n 00\n 7C\n");
    EXPECT_TRUE(sleeper_.sleeps.empty());

    // No report within the wait is a failure, not a report of zeros.
    virtualStarted_ = nullptr;
    EXPECT_EQ(Run({"--virtual", "read", "--timeout", "250"}), kExitFailed);
    EXPECT_EQ(out_.str(), "");
    EXPECT_NE(err_.str().find("virtual:1:config: no input report within 250 ms"), std::string::npos);
    EXPECT_EQ(sleeper_.sleeps, (std::vector<int>{250}));

    virtualStarted_ = [](VirtualFootSwitch& v) { v.FailNextWait(5); };
    EXPECT_EQ(Run({"--virtual", "read"}), kExitFailed);
    EXPECT_NE(err_.str().find("the read failed: "), std::string::npos);

    // A short report once came out padded with 00s the device never sent.
    virtualStarted_ = [](VirtualFootSwitch& v) { v.QueueInputReport({0x00, 0x0A}); };
    EXPECT_EQ(Run({"--virtual", "read"}), kExitOk) << err_.str();
    EXPECT_EQ(out_.str(), " Report ID: 0\n Report Data:\n 0A\n");
    EXPECT_EQ(err_.str(),
              "treadlectl: virtual:1:config: the report was short: 2 of 8 bytes (report ID included) came\n");
    virtualStarted_ = [](VirtualFootSwitch& v) { v.QueueInputReport({0x03}); };
    EXPECT_EQ(Run({"--virtual", "read"}), kExitOk) << err_.str();
    EXPECT_EQ(out_.str(), " Report ID: 3\n Report Data:\n");
    virtualStarted_ = [](VirtualFootSwitch& v) { v.QueueInputReport({}); };
    EXPECT_EQ(Run({"--virtual", "read"}), kExitFailed);
    EXPECT_EQ(out_.str(), "");
    EXPECT_NE(err_.str().find("the read gave an empty report"), std::string::npos) << err_.str();
}

TEST_F(Runner, ShowOnARealDeviceSaysItCannotReport) {
    systemPlatform_ = [] { return std::make_unique<VirtualFootSwitch>(); };
    EXPECT_EQ(Run({"show"}), kExitUsage);
    EXPECT_NE(err_.str().find("the foot switch cannot report what it stores"), std::string::npos);
    // Writing commands use the system platform.
    EXPECT_EQ(Run({"set", "1", "a"}), kExitOk) << err_.str();
}

TEST_F(Runner, HelpOnEveryCommandHasExamples) {
    for (const char* command :
         {"list", "set", "clear", "delay", "run-mode", "raw", "read", "apply", "export", "show", "keys"}) {
        EXPECT_EQ(Run({command, "--help"}), kExitOk) << command;
        EXPECT_NE(out_.str().find("Example"), std::string::npos) << command << ":\n" << out_.str();
        EXPECT_NE(out_.str().find("treadlectl "), std::string::npos) << command;
    }
    EXPECT_EQ(Run({"--help"}), kExitOk);
    EXPECT_NE(out_.str().find("Exit status: 0 success; 1"), std::string::npos);
}

TEST_F(Runner, KeysListsTheNamesForCompletion) {
    EXPECT_EQ(Run({"keys"}), kExitOk);
    const std::vector<std::string> names = Lines(out_.str());
    EXPECT_EQ(names.front(), "ctrl");
    EXPECT_EQ(names.back(), "mouse-right");
    EXPECT_NE(std::find(names.begin(), names.end(), "kp-enter"), names.end());
}

TEST_F(Runner, PressPrintsWhatThePedalSendsAndTheSwitchItMatches) {
    ASSERT_EQ(RunVirtual({"set", "2", "ctrl+f1"}), kExitOk) << err_.str();
    EXPECT_EQ(RunVirtual({"press", "2"}), kExitOk) << err_.str();
    EXPECT_EQ(out_.str(), "ctrl+f1 (switch 2)\n");

    ASSERT_EQ(RunVirtual({"set", "3", "mouse-middle"}), kExitOk) << err_.str();
    EXPECT_EQ(RunVirtual({"press", "3"}), kExitOk) << err_.str();
    EXPECT_EQ(out_.str(), "mouse-middle (switch 3)\n");

    // The same key on two switches: either may have sent it.
    ASSERT_EQ(RunVirtual({"set", "4", "ctrl+f1"}), kExitOk) << err_.str();
    EXPECT_EQ(RunVirtual({"press", "4"}), kExitOk) << err_.str();
    EXPECT_EQ(out_.str(), "ctrl+f1 (switch 2 or 4)\n");

    // A key whose stored bytes read like a click stays a key, also in the next run.
    ASSERT_EQ(RunVirtual({"set", "1", "shift+alt+win+rctrl+rshift+ralt+rwin+a"}), kExitOk) << err_.str();
    EXPECT_EQ(RunVirtual({"press", "1"}), kExitOk) << err_.str();
    EXPECT_EQ(out_.str(), "shift+alt+win+rctrl+rshift+ralt+rwin+a (switch 1)\n");

    // Pressing sends reports, it writes nothing to the device.
    const size_t captured = Captured().size();
    EXPECT_EQ(RunVirtual({"press", "2"}), kExitOk);
    EXPECT_EQ(Captured().size(), captured);
}

TEST_F(Runner, PressOfAnErasedSwitchSaysItSendsNothing) {
    EXPECT_EQ(RunVirtual({"press", "1"}), kExitFailed);
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(err_.str(),
              "treadlectl: virtual:1:config: switch 1 holds no assignment (FF FF FF FF): its pedal sends nothing\n");

    // The old state file format, without frame kinds, is still read: FE 02 is a right click.
    Write("pedals.state", "device 1\nslot 00: FE 02 00 00\nslot 04: 00 04 00 00\n");
    EXPECT_EQ(RunVirtual({"press", "1"}), kExitOk) << err_.str();
    EXPECT_EQ(out_.str(), "mouse-right (switch 1)\n");
    EXPECT_EQ(RunVirtual({"press", "2"}), kExitOk) << err_.str();
    EXPECT_EQ(out_.str(), "a (switch 2)\n");
}

TEST_F(Runner, PressWithTwoVirtualDevicesNamesEach) {
    ASSERT_EQ(RunVirtual({"--virtual-devices", "2", "--all", "set", "1", "f13"}), kExitOk) << err_.str();
    ASSERT_EQ(RunVirtual({"--virtual-devices", "2", "--index", "2", "set", "1", "mouse-left"}), kExitOk);
    EXPECT_EQ(RunVirtual({"--virtual-devices", "2", "--all", "press", "1"}), kExitOk) << err_.str();
    EXPECT_EQ(out_.str(),
              "virtual:1:config: f13 (switch 1)\nvirtual:2:config: mouse-left (switch 1)\n2 of 2 devices done\n");
}

}  // namespace
}  // namespace treadle::cli
