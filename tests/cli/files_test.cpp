// The files treadlectl and the window share or read: the virtual foot switch's state file
// used by two programs at once, files that cannot be read, failures named after the file
// rather than the device, what raw says it wrote, and hostile text shown on the terminal.
#include "cli/runner_fixture.h"
#include "device/user_file.h"
#include "window/pedal_testing.h"

#include <algorithm>
#include <chrono>

namespace treadle::cli {
namespace {

using Report = std::vector<std::uint8_t>;

// The slots a state file holds, read as a new run of the program would.
SlotTable SlotsIn(const std::string& state, int device = 0, int devices = 1) {
    VirtualFootSwitch d({devices, state, "", nullptr});
    std::string error;
    EXPECT_TRUE(d.Start(error)) << error;
    return d.Slots(device);
}

TEST_F(Runner, TheWindowKeepsWhatTreadlectlWroteToTheSameStateFile) {
    VirtualFootSwitch device({1, State(), "", nullptr});
    std::string error;
    ASSERT_TRUE(device.Start(error)) << error;
    treadle::testing::WindowFixture f(device);
    USB& w = *f.window;
    w.Timer1_Timer();
    ASSERT_TRUE(w.DeviceDetected);

    // While the window is open, another program assigns switch 4.
    ASSERT_EQ(Run({"--virtual=" + State(), "set", "4", "f13"}), kExitOk) << err_.str();

    w.UserClick(w.Command_key[0]);  // F1 to switch 1, from the window
    ASSERT_EQ(f.Log(), (std::vector<std::string>{f.Stamped("成功在开关 <1> 中写入< F1 >")}));
    const SlotTable slots = SlotsIn(State());
    EXPECT_EQ(slots[0], (SlotBytes{0x00, 0x3A, 0x00, 0x00}));
    EXPECT_EQ(slots[3], (SlotBytes{0x00, 0x68, 0x00, 0x00})) << "the window undid treadlectl's switch 4";
}

// The message closes with the system's reason, in whatever words the system has for it
// ("No such file or directory" here, "The system cannot find the path specified." there).
bool EndsWithAReason(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    const size_t colon = text.rfind(": ");
    return colon != std::string::npos && colon + 2 < text.size();
}

TEST_F(Runner, TheWindowNamesAStateFileItCannotWrite) {
    fs::create_directory(Path("gone"));
    const std::string state = Path("gone/pedals.state");
    VirtualFootSwitch device({1, state, "", nullptr});
    std::string error;
    ASSERT_TRUE(device.Start(error)) << error;
    treadle::testing::WindowFixture f(device);
    USB& w = *f.window;
    w.Timer1_Timer();
    fs::remove_all(Path("gone"));  // the folder goes while the window is open

    w.UserClick(w.Command_key[0]);
    ASSERT_EQ(f.boxes.shown.size(), 1u) << "one box for the action, not one per report";
    EXPECT_NE(f.boxes.shown[0].text.find(state), std::string::npos) << f.boxes.shown[0].text;
    EXPECT_TRUE(EndsWithAReason(f.boxes.shown[0].text)) << f.boxes.shown[0].text;
    ASSERT_EQ(f.Log().size(), 2u);
    EXPECT_EQ(f.Log()[0], f.Stamped(f.boxes.shown[0].text));
    EXPECT_EQ(f.Log()[1], f.Stamped(kWriteFailedLine));  // the action failed, as before
}

// The window's pedal test once pressed and matched against the slots it had read at its
// start, so a switch that treadlectl set meanwhile sent the old key ("a switch 1").
TEST_F(Runner, ThePedalTestSeesWhatAnotherProgramWroteToTheStateFile) {
    ASSERT_EQ(Run({"--virtual=" + State(), "set", "1", "a"}), kExitOk) << err_.str();
    VirtualFootSwitch device({1, State(), "", nullptr});
    std::string error;
    ASSERT_TRUE(device.Start(error)) << error;
    treadle::testing::FakeClock clock;
    PedalTest panel(device, clock);
    panel.Poll();
    ASSERT_TRUE(panel.PressPedal(1, error)) << error;
    ASSERT_EQ(panel.Presses().size(), 1u);
    EXPECT_EQ(panel.Presses()[0].combination, "a");

    ASSERT_EQ(Run({"--virtual=" + State(), "set", "1", "ctrl+b"}), kExitOk) << err_.str();
    ASSERT_EQ(Run({"--virtual=" + State(), "set", "2", "a"}), kExitOk) << err_.str();
    ASSERT_TRUE(panel.PressPedal(1, error)) << error;
    ASSERT_EQ(panel.Presses().size(), 2u);
    EXPECT_EQ(panel.Presses()[0].combination, "ctrl+b");
    EXPECT_EQ(panel.Presses()[0].match, "switch 1");
    // A press heard on the interfaces is matched against the file as it is now: "a" is switch 2's.
    ASSERT_TRUE(device.PressPedal(2, error)) << error;
    ASSERT_EQ(Run({"--virtual=" + State(), "set", "4", "a"}), kExitOk) << err_.str();
    panel.Poll();
    ASSERT_EQ(panel.Presses().size(), 3u);
    EXPECT_EQ(panel.Presses()[0].match, "switch 2 or 4");
    // A state file gone bad: the press is refused with the file's reason.
    std::ofstream(State()) << "device 1\nslot 00: zz\n";
    EXPECT_FALSE(panel.PressPedal(1, error));
    EXPECT_NE(error.find(State() + ":2: a slot holds four bytes"), std::string::npos) << error;
}

// A key click while another program held the lock froze the window for as long.
TEST_F(Runner, TheWindowGivesUpOnALockHeldElsewhereAndSaysSo) {
    VirtualFootSwitch::Options options{1, State(), "", nullptr};
    options.lockWaitMs = 100;
    VirtualFootSwitch device(options);
    std::string error;
    ASSERT_TRUE(device.Start(error)) << error;
    treadle::testing::WindowFixture f(device);
    USB& w = *f.window;
    w.Timer1_Timer();
    {
        const FileLock held(State());
        ASSERT_TRUE(held.error().empty()) << held.error();
        const auto start = std::chrono::steady_clock::now();
        w.UserClick(w.Command_key[0]);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        ASSERT_EQ(f.boxes.shown.size(), 1u);
        EXPECT_NE(f.boxes.shown[0].text.find(State() + ".lock: held by another program"), std::string::npos)
            << f.boxes.shown[0].text;
        ASSERT_EQ(f.Log().size(), 2u);
        EXPECT_EQ(f.Log()[1], f.Stamped(kWriteFailedLine));
        // Clear all keys writes 32 frames: the wait is for the click, not for each of them.
        const auto clearing = std::chrono::steady_clock::now();
        w.UserClick(w.Command1);
        EXPECT_LT(std::chrono::steady_clock::now() - clearing, std::chrono::seconds(2));
        EXPECT_EQ(f.Log().back(), f.Stamped(kWriteFailedLine));
        w.UserEditText(w.Combo1, "1");  // which clearing set to 0
    }
    // Once it is let go, the next click writes.
    w.UserClick(w.Command_key[0]);
    EXPECT_EQ(f.Log().back(), f.Stamped("成功在开关 <1> 中写入< F1 >"));
    EXPECT_EQ(SlotsIn(State())[0], (SlotBytes{0x00, 0x3A, 0x00, 0x00}));
}

TEST_F(Runner, TwoVirtualFootSwitchesOnOneStateFileKeepEachOthersSlots) {
    VirtualFootSwitch a({1, State(), "", nullptr});
    VirtualFootSwitch b({1, State(), "", nullptr});
    std::string error;
    ASSERT_TRUE(a.Start(error)) << error;
    ASSERT_TRUE(b.Start(error)) << error;
    const HidHandle ha = a.OpenReadWrite(VirtualFootSwitch::ConfigPath(0)).handle;
    const HidHandle hb = b.OpenReadWrite(VirtualFootSwitch::ConfigPath(0)).handle;
    ASSERT_EQ(a.Write(ha, Report{0x00, 0xAA, 0x01, 0x00, 0x01, 0x04, 0x00, 0x00}).written, 8);
    ASSERT_EQ(b.Write(hb, Report{0x00, 0xAA, 0x01, 0x04, 0x02, 0x05, 0x00, 0x00}).written, 8);
    ASSERT_EQ(a.Write(ha, Report{0x00, 0xAA, 0x01, 0x08, 0x04, 0x06, 0x00, 0x00}).written, 8);
    const SlotTable slots = SlotsIn(State());
    EXPECT_EQ(slots[0], (SlotBytes{0x01, 0x04, 0x00, 0x00}));
    EXPECT_EQ(slots[1], (SlotBytes{0x02, 0x05, 0x00, 0x00}));
    EXPECT_EQ(slots[2], (SlotBytes{0x04, 0x06, 0x00, 0x00}));
}

// A state file that exists but cannot be read is never taken as an empty foot switch: every
// command fails naming the file and why, and nothing is written over it.
// A state file its owner made read-only (chmod 444; the read-only attribute on Windows) is
// refused with a message that says so, though the folder would let a rename replace it.
TEST_F(Runner, AReadOnlyStateFileIsRefusedAndKeptAsItIs) {
    const std::string text = "device 1\nslot 00: 00 04 00 00 key\n";
    Write("pedals.state", text);
    fs::permissions(State(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_EQ(Run({"--virtual=" + State(), "set", "2", "f1"}), kExitFailed);
    EXPECT_NE(err_.str().find("cannot write the state file " + State() + ": it is read-only"), std::string::npos)
        << err_.str();
    EXPECT_NE(err_.str().find("; nothing was changed"), std::string::npos) << err_.str();
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(ReadFile(State()), text);
    EXPECT_EQ(fs::status(State()).permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_EQ(Run({"--virtual=" + State(), "show"}), kExitOk) << err_.str();
    fs::permissions(State(), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(Run({"--virtual=" + State(), "set", "2", "f1"}), kExitOk) << err_.str();
}

TEST_F(Runner, AStateFileThatCannotBeReadStopsEveryCommand) {
    struct Case {
        const char* name;
        std::function<void(const std::string&)> make;
        const char* why;
    };
    const Case cases[] = {
        {"a folder", [](const std::string& p) { fs::create_directory(p); }, "not a regular file"},
        {"empty", [](const std::string& p) { std::ofstream(p, std::ios::binary); }, "empty"},
        {"cut short", [](const std::string& p) { std::ofstream(p, std::ios::binary) << "device 1\nslot 04: 00 3A"; },
         "cut short"},
        {"only the heading", [](const std::string& p) { std::ofstream(p, std::ios::binary) << "# Treadle\n"; },
         "names no device"},
        {"too big", [](const std::string& p) { std::ofstream(p, std::ios::binary) << std::string(1100000, '#'); },
         "larger than 1 MiB"},
    };
    for (const Case& c : cases) {
        fs::remove_all(State());
        c.make(State());
        const auto before = fs::is_regular_file(State()) ? ReadFile(State()) : std::string("(folder)");
        for (std::vector<std::string> args : {std::vector<std::string>{"show"}, {"set", "1", "a"}, {"list"}}) {
            args.insert(args.begin(), "--virtual=" + State());
            EXPECT_EQ(Run(args), kExitFailed) << c.name << " " << args[1];
            EXPECT_EQ(out_.str(), "") << c.name << " " << args[1];
            EXPECT_NE(err_.str().find(State()), std::string::npos) << c.name << ": " << err_.str();
            EXPECT_NE(err_.str().find(c.why), std::string::npos) << c.name << ": " << err_.str();
            EXPECT_EQ(err_.str().find("device connection"), std::string::npos) << c.name << ": " << err_.str();
        }
        EXPECT_EQ(fs::is_regular_file(State()) ? ReadFile(State()) : std::string("(folder)"), before) << c.name;
    }
}

TEST_F(Runner, AProfileThatCannotBeReadIsNamedWithTheReason) {
    fs::create_directory(Path("folder.toml"));
    Write("big.toml", "# " + std::string(1100000, 'x') + "\n[settings]\ndelay_ms = 0\n");
    const std::pair<std::string, const char*> cases[] = {
        {Path("folder.toml"), "not a regular file"},
        {Path("missing.toml"), "No such file or directory"},
        {Path("big.toml"), "larger than 1 MiB"},
    };
    for (const auto& [profile, why] : cases) {
        for (const char* option : {"--dry-run", "--virtual"}) {
            EXPECT_EQ(Run({option, "apply", profile}), kExitFailed) << profile;
            EXPECT_NE(err_.str().find("cannot read the profile " + profile + ": " + why), std::string::npos)
                << err_.str();
            EXPECT_EQ(err_.str().find("sets nothing"), std::string::npos) << err_.str();
            EXPECT_EQ(out_.str(), "");
        }
    }
}

TEST_F(Runner, AnExportThatCannotBeWrittenNamesTheFileAndLeavesItAlone) {
    fs::create_directory(Path("folder.toml"));
    EXPECT_EQ(Run({"--virtual", "export", Path("folder.toml")}), kExitFailed);
    EXPECT_NE(err_.str().find("cannot write the profile " + Path("folder.toml") + ": "), std::string::npos)
        << err_.str();
    EXPECT_TRUE(fs::is_directory(Path("folder.toml")));
    EXPECT_EQ(Run({"--virtual", "export", Path("no-such-folder/x.toml")}), kExitFailed);
    EXPECT_NE(err_.str().find("cannot write the profile " + Path("no-such-folder/x.toml") + ": "), std::string::npos)
        << err_.str();
    EXPECT_TRUE(EndsWithAReason(err_.str())) << err_.str();
    // Only the profile is left in the folder: no temporary file stays behind.
    ASSERT_EQ(Run({"--virtual", "export", Path("good.toml")}), kExitOk) << err_.str();
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"folder.toml", "good.toml"}));
}

// A HID layer whose foot switch interface is there but fails to open for a reason other
// than permission, as a broken device node does.
class BrokenNode final : public HidPlatform {
  public:
    std::vector<std::string> EnumerateInterfaces() override { return inner_.EnumerateInterfaces(); }
    OpenResult OpenReadWrite(const std::string& p) override {
        if (p == VirtualFootSwitch::ConfigPath(0)) {
            return {0, OpenFailure::Other, "Input/output error"};
        }
        return inner_.OpenReadWrite(p);
    }
    OpenResult OpenForTimedRead(const std::string& p) override { return OpenReadWrite(p); }
    bool GetAttributes(HidHandle h, HidAttributes& out) override { return inner_.GetAttributes(h, out); }
    bool PeekAttributes(const std::string& p, HidAttributes& out) override { return inner_.PeekAttributes(p, out); }
    bool PeekCaps(const std::string& p, HidCaps& out) override { return inner_.PeekCaps(p, out); }
    bool GetCaps(HidHandle h, HidCaps& out) override { return inner_.GetCaps(h, out); }
    WriteResult Write(HidHandle h, std::span<const std::uint8_t> r) override { return inner_.Write(h, r); }
    ReadResult ReadTimed(HidHandle h, std::span<std::uint8_t> b, int t) override { return inner_.ReadTimed(h, b, t); }
    bool Close(HidHandle h) override { return inner_.Close(h); }
    std::string ErrorText(std::uint32_t code) override { return inner_.ErrorText(code); }

  private:
    VirtualFootSwitch inner_;
};

TEST_F(Runner, ANodeThatCannotBeOpenedIsNamedWithTheReason) {
    systemPlatform_ = [] { return std::make_unique<BrokenNode>(); };
    ASSERT_EQ(Run({"list"}), kExitOk);
    EXPECT_NE(out_.str().find("virtual:1:config\t2704:2018\t8\t8\t0\tunusable"), std::string::npos) << out_.str();
    for (const char* command : {"set", "read"}) {
        const std::vector<std::string> args = command == std::string("set") ? std::vector<std::string>{"set", "1", "a"}
                                                                            : std::vector<std::string>{"read"};
        EXPECT_EQ(Run(args), kExitFailed) << command;
        EXPECT_NE(err_.str().find("virtual:1:config: cannot open the device: Input/output error"), std::string::npos)
            << command << ": " << err_.str();
        EXPECT_EQ(err_.str().find("no foot switch"), std::string::npos) << command << ": " << err_.str();
    }
}

TEST_F(Runner, RawSaysWhatReachedTheDeviceAndWarnsOfDroppedOrPaddedBytes) {
    struct Case {
        std::vector<std::string> frame;
        const char* wrote;
        const char* warning;  // empty: none
    };
    const Case cases[] = {
        {{"aa 01 00 00 3C 00 00"}, "wrote AA 01 00 00 3C 00 00", ""},
        {{"aa", "01", "02", "03", "04", "05", "06", "07", "08", "09", "0a", "0b"},
         "wrote AA 01 02 03 04 05 06",
         "5 bytes dropped (07 08 09 0A 0B): the report holds 7 bytes after the report ID"},
        {{"aa"}, "wrote AA 00 00 00 00 00 00", "padded with 6 bytes of 00: the report holds 7 bytes"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"raw"};
        args.insert(args.end(), c.frame.begin(), c.frame.end());
        args.insert(args.begin(), "--virtual");
        ASSERT_EQ(Run(args), kExitOk) << err_.str();
        EXPECT_EQ(out_.str(), std::string("virtual:1:config: ") + c.wrote + "\n");
        if (*c.warning == '\0') {
            EXPECT_EQ(err_.str(), "");
        } else {
            EXPECT_NE(err_.str().find(c.warning), std::string::npos) << err_.str();
        }
        // --dry-run warns the same way.
        args[0] = "--dry-run";
        ASSERT_EQ(Run(args), kExitOk) << err_.str();
        if (*c.warning == '\0') {
            EXPECT_EQ(err_.str(), "");
        } else {
            EXPECT_NE(err_.str().find(c.warning), std::string::npos) << err_.str();
        }
    }
}

// What the terminal shows of text from arguments and profiles: no control characters, no
// text cut at a NUL, nothing endless.
TEST_F(Runner, HostileTextIsShownEscapedAndShortened) {
    const std::string escape = "\x1b]0;owned\x07";
    const std::string longKey(1 << 20, 'q');
    struct Case {
        const char* name;
        std::vector<std::string> args;
        const char* shown;  // what must appear of the text
    };
    // Not "nul.toml": on Windows that name is the null device.
    const std::string nulProfile = Write("nul-char.toml", "[switches]\n1 = \"ctrl+a\\u0000b\"\n");
    const std::string escProfile = Write("esc.toml", "[switches]\n1 = \"\\u001b[2Jx\"\n");
    const std::string escName = Write("\x1b[31mred.toml", "[nothing]\n");
    const Case cases[] = {
        {"escape in a key", {"set", "1", escape}, "\\x1B]0;owned\\x07"},
        {"escape in a switch", {"set", escape, "a"}, "\\x1B]0;owned\\x07"},
        {"escape in a number", {"delay", escape}, "\\x1B]0;owned\\x07"},
        {"escape in raw", {"raw", "aa\x1b"}, "\\x1B"},
        {"a 1 MiB key", {"set", "1", longKey}, "qqqq"},
        {"NUL in a profile key", {"--dry-run", "apply", nulProfile}, "a\\x00b"},
        {"escape in a profile key", {"--dry-run", "apply", escProfile}, "\\x1B[2"},
        {"escape in a file name", {"--dry-run", "apply", escName}, "\\x1B[31mred.toml"},
    };
    for (const Case& c : cases) {
        if (c.args.back() == escName && !fs::exists(escName)) {
            continue;  // a system whose file names cannot hold control characters (Windows)
        }
        EXPECT_EQ(Run(c.args), kExitUsage) << c.name;
        const std::string err = err_.str();
        EXPECT_NE(err.find(c.shown), std::string::npos) << c.name << ": " << err.substr(0, 300);
        EXPECT_LT(err.size(), 2000u) << c.name;
        const bool control = std::any_of(err.begin(), err.end(), [](char ch) {
            const auto b = static_cast<unsigned char>(ch);
            return (b < 0x20 && b != '\n') || b == 0x7F;
        });
        EXPECT_FALSE(control) << c.name << ": " << err.substr(0, 300);
    }
}

}  // namespace
}  // namespace treadle::cli
