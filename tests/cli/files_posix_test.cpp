// The file faults that need POSIX to stage: two treadlectl processes on one state file,
// links, FIFOs, files the user may not read, a full disk and a file-size limit.
#include "cli/runner_fixture.h"
#include "device/user_file.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace treadle::cli {
namespace {

// Runs `body` in a child process that gives up after a few seconds, so a read that blocks
// fails the test instead of hanging it; the child's exit status is what body returned.
template <typename Body>
int InChild(Body body, bool dropRoot = false) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(5);
        if (dropRoot && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            std::_Exit(90);
        }
        std::_Exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class Files : public Runner {
  protected:
    // Lets an unprivileged child reach the test's folder.
    void OpenFolderToAll() { fs::permissions(dir_, fs::perms::all); }
    // Runs a command line in a child; its exit status, with what it printed kept in err_.
    int RunInChild(const std::vector<std::string>& args, bool dropRoot = false) {
        const std::string errFile = Path("child.err");
        const int status = InChild(
            [&] {
                const int result = Run(args);
                std::ofstream(errFile) << err_.str();
                std::ofstream(Path("child.out")) << out_.str();
                return result;
            },
            dropRoot);
        err_.str(ReadFile(errFile));
        fs::remove(errFile);
        return status;
    }
};

TEST_F(Files, TwoTreadlectlProcessesOnOneStateFileLoseNothing) {
    // Each process writes 200 slots of its own, each once: 16 virtual devices have 512.
    constexpr int kWrites = 200;
    auto frame = [](int writer, int i) {
        char text[64];
        std::snprintf(text, sizeof text, "aa 01 %02X %02X %02X 00 00", (i % 32) * 4, 0xA0 + writer, i);
        return std::string(text);
    };
    auto device = [](int writer, int i) { return "virtual:" + std::to_string(writer * 8 + i / 32 + 1) + ":config"; };
    pid_t writers[2];
    for (int writer = 0; writer < 2; ++writer) {
        writers[writer] = ::fork();
        if (writers[writer] == 0) {
            for (int i = 0; i < kWrites; ++i) {
                const std::string virtualOption = "--virtual=" + State();
                const std::string deviceText = device(writer, i);
                const std::string frameText = frame(writer, i);
                const char* argv[] = {TREADLECTL_PROGRAM,
                                      virtualOption.c_str(),
                                      "--virtual-devices",
                                      "16",
                                      "--device",
                                      deviceText.c_str(),
                                      "-q",
                                      "raw",
                                      frameText.c_str(),
                                      nullptr};
                pid_t child = 0;
                if (::posix_spawn(&child, TREADLECTL_PROGRAM, nullptr, nullptr, const_cast<char**>(argv), environ) !=
                    0) {
                    std::_Exit(2);
                }
                int status = 0;
                if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
                    std::_Exit(3);
                }
            }
            std::_Exit(0);
        }
    }
    for (pid_t w : writers) {
        int status = 0;
        ASSERT_EQ(::waitpid(w, &status, 0), w);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    VirtualFootSwitch check({16, State(), "", nullptr});
    std::string error;
    ASSERT_TRUE(check.Start(error)) << error;
    int lost = 0;
    for (int writer = 0; writer < 2; ++writer) {
        for (int i = 0; i < kWrites; ++i) {
            const SlotBytes expected{static_cast<std::uint8_t>(0xA0 + writer), static_cast<std::uint8_t>(i), 0, 0};
            if (check.Slots(writer * 8 + i / 32)[static_cast<size_t>(i % 32)] != expected) {
                ++lost;
            }
        }
    }
    EXPECT_EQ(lost, 0);
}

// Starts treadlectl with its output in a file; the process's id.
pid_t Spawn(std::vector<std::string> args, const std::string& outFile) {
    args.insert(args.begin(), TREADLECTL_PROGRAM);
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::posix_spawn_file_actions_addopen(&actions, 2, (outFile + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t child = -1;
    const int spawned = ::posix_spawn(&child, TREADLECTL_PROGRAM, &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? child : -1;
}

// The exit status of a finished child, or -1 while it runs.
int ExitStatusIfDone(pid_t child) {
    int status = 0;
    if (::waitpid(child, &status, WNOHANG) != child) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// treadlectl watch in one process hears treadlectl press in another, on one state file, and
// names the switch that the other programmed after the watch began.
TEST_F(Files, AWatchHearsThePressesOfAnotherTreadlectl) {
    const std::string virtualOption = "--virtual=" + State();
    const pid_t watch = Spawn({virtualOption, "watch", "--count", "2", "--timeout", "60000"}, Path("watch.out"));
    ASSERT_GT(watch, 0);
    const pid_t set = Spawn({virtualOption, "set", "2", "ctrl+f1"}, Path("set.out"));
    ASSERT_GT(set, 0);
    int status = -1;
    while ((status = ExitStatusIfDone(set)) < 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(status, 0) << ReadFile(Path("set.out.err"));
    // The watch hears only what is pressed once it listens: press until it has heard two.
    int watchStatus = -1;
    for (int tries = 0; tries < 300 && (watchStatus = ExitStatusIfDone(watch)) < 0; ++tries) {
        const pid_t press = Spawn({virtualOption, "press", "2"}, Path("press.out"));
        ASSERT_GT(press, 0);
        while ((status = ExitStatusIfDone(press)) < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ASSERT_EQ(status, 0) << ReadFile(Path("press.out.err"));
        EXPECT_EQ(ReadFile(Path("press.out")), "ctrl+f1 (switch 2)\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (watchStatus < 0) {
        ::kill(watch, SIGKILL);
        ::waitpid(watch, nullptr, 0);
    }
    EXPECT_EQ(watchStatus, 0) << ReadFile(Path("watch.out.err"));
    EXPECT_EQ(ReadFile(Path("watch.out")), "ctrl+f1 (switch 2)\nctrl+f1 (switch 2)\n");
    EXPECT_EQ(ReadFile(Path("watch.out.err")), "");
}

// press prints the press it made, and only that: not the presses other processes make on the
// same state file meanwhile, and also when its press cannot be passed on through the queue.
TEST_F(Files, PressPrintsItsOwnPressWhateverElseTheQueueHolds) {
    const std::string state = "--virtual=" + State();
    for (const char* pedal : {"1", "2", "3"}) {
        ASSERT_EQ(Run({state, "set", pedal, std::string("f") + pedal}), kExitOk) << err_.str();
    }
    constexpr int kPresses = 30;
    std::vector<pid_t> pressers;
    for (const char* pedal : {"1", "2", "3"}) {
        pressers.push_back(::fork());
        if (pressers.back() == 0) {
            std::string printed;
            for (int i = 0; i < kPresses; ++i) {
                Run({state, "press", pedal});
                printed += out_.str();
            }
            std::ofstream(Path(std::string("press") + pedal + ".out")) << printed;
            std::_Exit(0);
        }
    }
    for (const pid_t presser : pressers) {
        ::waitpid(presser, nullptr, 0);
    }
    for (const char* pedal : {"1", "2", "3"}) {
        std::string expected;
        for (int i = 0; i < kPresses; ++i) {
            expected += std::string("f") + pedal + " (switch " + pedal + ")\n";
        }
        EXPECT_EQ(ReadFile(Path(std::string("press") + pedal + ".out")), expected) << pedal;
    }
    const std::string queue = State() + ".presses";
    const struct {
        const char* name;
        std::function<void()> make;
    } unreadable[] = {
        {"a folder", [&] { fs::create_directory(queue); }},
        {"a FIFO", [&] { ::mkfifo(queue.c_str(), 0600); }},
        {"a link", [&] { fs::create_symlink(Write("elsewhere", ""), queue); }},
        {"over 1 MiB", [&] { Write("pedals.state.presses", std::string(1100000, '#')); }},
        {"a bad line", [&] { Write("pedals.state.presses", "1 1 keyboard zz\n"); }},
        {"a line cut off", [&] { Write("pedals.state.presses", "1 1 keyboard 00 00 0"); }},
    };
    for (const auto& u : unreadable) {
        fs::remove_all(queue);
        u.make();
        EXPECT_EQ(RunInChild({state, "press", "2"}), kExitOk) << u.name;
        EXPECT_EQ(ReadFile(Path("child.out")), "f2 (switch 2)\n") << u.name;
        EXPECT_NE(err_.str().find("warning: the press is not passed on to other programs: "), std::string::npos)
            << u.name << ": " << err_.str();
    }
}

TEST_F(Files, APlantedTemporaryLinkIsNotFollowed) {
    const std::string target = Write("precious.txt", "keep me\n");
    for (const char* name : {".tmp", ".lock.tmp", ".tmp.0"}) {
        fs::create_symlink(target, State() + name);
    }
    ASSERT_EQ(Run({"--virtual=" + State(), "set", "1", "a"}), kExitOk) << err_.str();
    EXPECT_EQ(ReadFile(target), "keep me\n");
    EXPECT_TRUE(fs::is_symlink(State() + ".tmp"));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(State())));
}

// A lock file that is no regular file is named as such in the same words to readers and writers.
TEST_F(Files, AStatePathThatIsNoRegularFileIsRefusedAndLeftAlone) {
    const std::string target = Write("other.state", "device 1\nslot 00: 00 04 00 00\n");
    const std::string lock = State() + ".lock";
    struct Case {
        const char* name;
        std::string path;
        std::function<void()> make;
        const char* kind;
    };
    const Case cases[] = {
        {"a link to a state file", State(), [&] { fs::create_symlink(target, State()); }, "a symbolic link"},
        {"a link to /dev/null", State(), [&] { fs::create_symlink("/dev/null", State()); }, "a symbolic link"},
        {"a FIFO", State(), [&] { ::mkfifo(State().c_str(), 0600); }, "a FIFO"},
        {"the lock a link", lock, [&] { fs::create_symlink(Write("elsewhere", ""), lock); }, "a symbolic link"},
        {"the lock a folder", lock, [&] { fs::create_directory(lock); }, "a folder"},
    };
    for (const Case& c : cases) {
        fs::remove(State());
        fs::remove(lock);
        c.make();
        for (std::vector<std::string> args : {std::vector<std::string>{"show"}, {"set", "2", "b"}}) {
            args.insert(args.begin(), "--virtual=" + State());
            EXPECT_EQ(RunInChild(args), kExitFailed) << c.name << " " << args[1];
            EXPECT_NE(err_.str().find(c.path + ": not a regular file but " + c.kind), std::string::npos)
                << c.name << ": " << err_.str();
        }
        const fs::file_status status = fs::symlink_status(c.path);
        EXPECT_TRUE(fs::is_symlink(status) || fs::is_fifo(status) || fs::is_directory(status)) << c.name;
    }
    EXPECT_EQ(ReadFile(target), "device 1\nslot 00: 00 04 00 00\n");
}

// Root may read anything, so the child drops to an unprivileged user first.
TEST_F(Files, AFileTheUserMayNotReadIsNamedWithTheReason) {
    OpenFolderToAll();
    std::ofstream(State()) << "device 1\nslot 00: 00 04 00 00\n";
    const std::string profile = Write("secret.toml", "[settings]\ndelay_ms = 0\n");
    fs::permissions(State(), fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(profile, fs::perms::owner_read | fs::perms::owner_write);
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--virtual=" + State(), "show"}, State() + ": Permission denied"},
        {{"--virtual=" + State(), "set", "1", "b"}, State() + ": Permission denied"},
        {{"--dry-run", "apply", profile}, "cannot read the profile " + profile + ": Permission denied"},
    };
    for (const auto& [args, why] : cases) {
        const int status = RunInChild(args, true);
        if (status == 90) {
            GTEST_SKIP() << "running as root and cannot drop to an unprivileged user to be refused";
        }
        EXPECT_EQ(status, kExitFailed) << args.back();
        EXPECT_NE(err_.str().find(why), std::string::npos) << err_.str();
    }
    EXPECT_EQ(ReadFile(State()), "device 1\nslot 00: 00 04 00 00\n");
}

// A state file made read-only is refused, by root as well and by a user who may not write
// another's file: the rename would go through, as the folder is writable.
TEST_F(Files, AReadOnlyStateFileIsRefusedAndLeftAlone) {
    OpenFolderToAll();
    const std::string text = "device 1\nslot 00: 00 04 00 00 key\n";
    struct Case {
        const char* name;
        fs::perms perms;
        bool dropRoot;
        const char* why;
    };
    const Case cases[] = {
        {"read-only", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read, false,
         ": it is read-only (r--r--r--); make it writable (chmod u+w) to change it; nothing was changed"},
        {"another user's", fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read, true,
         ": this user may not write it (rw----r--); nothing was changed"},
    };
    for (const Case& c : cases) {
        fs::remove(State());
        std::ofstream(State()) << text;
        fs::permissions(State(), c.perms);
        std::ofstream(State() + ".lock") << "";
        fs::permissions(State() + ".lock", fs::perms::all);  // the unprivileged user takes the lock too
        const int status = RunInChild({"--virtual=" + State(), "set", "2", "f1"}, c.dropRoot);
        if (status == 90) {
            GTEST_SKIP() << "running as root and cannot drop to an unprivileged user";
        }
        EXPECT_EQ(status, kExitFailed) << c.name;
        EXPECT_NE(err_.str().find("cannot write the state file " + State() + c.why), std::string::npos)
            << c.name << ": " << err_.str();
        EXPECT_EQ(ReadFile(State()), text) << c.name;
        EXPECT_EQ(fs::status(State()).permissions(), c.perms) << c.name;
        // Reading it is still fine.
        EXPECT_EQ(RunInChild({"--virtual=" + State(), "show"}, c.dropRoot), kExitOk) << c.name << ": " << err_.str();
    }
}

TEST_F(Files, FifosAndEndlessFilesAreRefusedWithoutWaiting) {
    ::mkfifo(Path("pipe.toml").c_str(), 0600);
    EXPECT_EQ(RunInChild({"--dry-run", "apply", Path("pipe.toml")}), kExitFailed);
    EXPECT_NE(err_.str().find("cannot read the profile " + Path("pipe.toml") + ": not a regular file"),
              std::string::npos)
        << err_.str();
    EXPECT_EQ(RunInChild({"--dry-run", "apply", "/dev/zero"}), kExitFailed);
    EXPECT_NE(err_.str().find("cannot read the profile /dev/zero: not a regular file"), std::string::npos)
        << err_.str();
}

TEST_F(Files, ACaptureThatCannotBeWrittenFailsTheCommand) {
    EXPECT_EQ(Run({"--virtual", "--capture", "/dev/full", "set", "1", "a"}), kExitFailed);
    EXPECT_NE(err_.str().find("capture file /dev/full"), std::string::npos) << err_.str();
    EXPECT_NE(err_.str().find("No space left on device"), std::string::npos) << err_.str();
}

TEST_F(Files, TheCaptureFileMayNotBeTheStateFile) {
    ASSERT_EQ(Run({"--virtual=" + State(), "set", "1", "a"}), kExitOk) << err_.str();
    const std::string state = ReadFile(State());
    fs::create_hard_link(State(), Path("same-by-hard-link"));
    fs::create_symlink(State(), Path("same-by-link"));
    for (const std::string& capture :
         {State(), Path("same-by-hard-link"), Path("same-by-link"), dir_.string() + "/./pedals.state"}) {
        EXPECT_EQ(Run({"--virtual=" + State(), "--capture", capture, "set", "2", "b"}), kExitFailed) << capture;
        EXPECT_NE(err_.str().find("is the state file"), std::string::npos) << capture << ": " << err_.str();
        EXPECT_EQ(ReadFile(State()), state) << capture;
    }
}

// A missing state file and a capture path that is a link to it: the refusal once came after
// the open had made an empty state file, which every later run refused.
TEST_F(Files, ARefusedCaptureMakesNoStateFile) {
    fs::create_symlink(State(), Path("capture-link"));
    fs::create_symlink(Path("capture-link"), Path("link-to-link"));
    for (const std::string& capture : {Path("capture-link"), Path("link-to-link")}) {
        EXPECT_EQ(Run({"--virtual=" + State(), "--capture", capture, "show"}), kExitFailed) << capture;
        EXPECT_NE(err_.str().find("is the state file"), std::string::npos) << err_.str();
        EXPECT_FALSE(fs::exists(fs::symlink_status(State()))) << capture;
    }
    fs::create_symlink(State() + ".lock", Path("lock-link"));
    EXPECT_EQ(Run({"--virtual=" + State(), "--capture", Path("lock-link"), "show"}), kExitFailed);
    EXPECT_NE(err_.str().find("is the state file's lock"), std::string::npos) << err_.str();
    EXPECT_EQ(Run({"--virtual=" + State(), "show"}), kExitOk) << err_.str();
}

// export once replaced the state file (or its lock) with a profile and said "exported";
// apply with a capture into the profile appended report lines to it.
TEST_F(Files, TheVirtualFootSwitchsOwnFilesAreNoProfile) {
    ASSERT_EQ(RunVirtual({"set", "1", "a"}), kExitOk) << err_.str();
    const std::string state = ReadFile(State());
    fs::create_hard_link(State(), Path("hard"));
    fs::create_symlink(State(), Path("soft"));
    fs::create_symlink(State() + ".lock", Path("soft-lock"));
    const std::pair<std::string, std::string> targets[] = {
        {State(), "it is the state file"},
        {dir_.string() + "/./pedals.state", "it is the state file"},
        {Path("hard"), "it is the state file"},
        {Path("soft"), "it is the state file"},
        {State() + ".lock", "it is the state file's lock"},
        {Path("soft-lock"), "it is the state file's lock"},
        {Capture(), "it is the capture file"},
        {State() + ".presses", "it is the state file's press queue"},
    };
    const std::string capture = ReadFile(Capture());
    for (const auto& [target, why] : targets) {
        EXPECT_EQ(RunVirtual({"export", target}), kExitUsage) << target;
        EXPECT_NE(err_.str().find("cannot export to " + target + ": " + why), std::string::npos) << err_.str();
        EXPECT_EQ(ReadFile(State()), state) << target;
        EXPECT_EQ(ReadFile(Capture()), capture) << target;
    }
    EXPECT_EQ(RunVirtual({"show"}), kExitOk) << err_.str();

    const std::string profile = Write("office.toml", "[switches]\n1 = \"b\"\n");
    fs::create_symlink(profile, Path("capture-into-profile"));
    for (const std::string& into : {profile, Path("capture-into-profile")}) {
        EXPECT_EQ(Run({"--virtual", "--capture", into, "apply", profile}), kExitUsage) << into;
        EXPECT_NE(err_.str().find("cannot capture into the profile " + profile + ": it is the capture file"),
                  std::string::npos)
            << err_.str();
        EXPECT_EQ(ReadFile(profile), "[switches]\n1 = \"b\"\n");
    }
}

// A lock another program holds was waited for without end and without a word. The wait is
// for the whole command, not once per frame or device: clear has 32 frames.
TEST_F(Files, ALockHeldElsewhereIsGivenUpOnWithItsName) {
    ASSERT_EQ(Run({"--virtual=" + State(), "--virtual-devices", "3", "--all", "set", "1", "a"}), kExitOk) << err_.str();
    const std::string state = ReadFile(State());
    lockWaitMs_ = 400;
    {
        // Readers share the lock: one held shared elsewhere keeps no reader waiting.
        const FileLock shared(State(), LockMode::Shared);
        EXPECT_EQ(Run({"--virtual=" + State(), "show"}), kExitOk) << err_.str();
    }
    const FileLock held(State());
    ASSERT_TRUE(held.error().empty()) << held.error();
    for (const std::vector<std::string>& args : {std::vector<std::string>{"set", "2", "b"},
                                                 {"show"},
                                                 {"press", "1"},
                                                 {"clear", "--yes"},
                                                 {"--all", "set", "1", "b"}}) {
        std::vector<std::string> line = args;
        line.insert(line.begin(), "--virtual=" + State());
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Run(line), kExitFailed) << args[0];
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500)) << args[0];
        EXPECT_NE(err_.str().find("cannot lock the state file: " + State() +
                                  ".lock: held by another program (a treadle window or treadlectl using the same "
                                  "file) for more than 400 ms"),
                  std::string::npos)
            << args[0] << ": " << err_.str();
        EXPECT_EQ(ReadFile(State()), state);
    }
}

// A reader (show, press, export elsewhere) needs no write access to the state file's folder.
TEST_F(Files, ReadersOfAStateFileInAReadOnlyFolderNeedNoLockTheyCannotMake) {
    OpenFolderToAll();
    fs::create_directory(Path("ro"));
    const std::string withLock = Path("ro/locked.state");
    const std::string withoutLock = Path("ro/bare.state");
    ASSERT_EQ(Run({"--virtual=" + withLock, "set", "1", "ctrl+f1"}), kExitOk) << err_.str();
    std::ofstream(withoutLock) << "device 1\nslot 00: 01 3A 00 00 key\n";
    fs::permissions(Path("ro"), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    for (const std::string& state : {withLock, withoutLock}) {
        EXPECT_EQ(RunInChild({"--virtual=" + state, "show"}, true), kExitOk) << state << ": " << err_.str();
        // A press is made here and said not to reach other programs: it cannot be passed on.
        EXPECT_EQ(RunInChild({"--virtual=" + state, "press", "1"}, true), kExitOk) << state << ": " << err_.str();
        EXPECT_NE(err_.str().find("warning: the press is not passed on to other programs: "), std::string::npos)
            << err_.str();
        EXPECT_EQ(RunInChild({"--virtual=" + state, "export", Path("out.toml")}, true), kExitOk)
            << state << ": " << err_.str();
        EXPECT_NE(ReadFile(Path("out.toml")).find("1 = \"ctrl+f1\""), std::string::npos);
        // A writer still needs the folder, and says so.
        EXPECT_EQ(RunInChild({"--virtual=" + state, "set", "2", "a"}, true), kExitFailed) << state;
        EXPECT_NE(err_.str().find("Permission denied"), std::string::npos) << err_.str();
    }
    EXPECT_FALSE(fs::exists(withoutLock + ".lock"));
    fs::permissions(Path("ro"), fs::perms::all);
}

// Writers killed between their temporary file and the rename left it beside the state file
// for good; the next writer that holds the lock removes them, and only them.
TEST_F(Files, TemporaryFilesOfKilledWritersAreRemovedByTheNextWriter) {
    const std::string stale[] = {State() + ".0123456789abcdef.tmp", State() + ".fedcba9876543210.tmp"};
    const std::string kept[] = {State() + ".tmp", State() + ".0123456789ABCDEF.tmp", State() + ".0123.tmp",
                                Path("other.state.0123456789abcdef.tmp")};
    for (const std::string& name : stale) {
        std::ofstream(name) << "device 1\n";
    }
    for (const std::string& name : kept) {
        std::ofstream(name) << "mine\n";
    }
    fs::create_directory(State() + ".aaaaaaaaaaaaaaaa.tmp");
    // Readers leave them: a writer may be busy with its own.
    ASSERT_EQ(Run({"--virtual=" + State(), "show"}), kExitOk) << err_.str();
    EXPECT_TRUE(fs::exists(stale[0]));
    ASSERT_EQ(Run({"--virtual=" + State(), "set", "1", "a"}), kExitOk) << err_.str();
    for (const std::string& name : stale) {
        EXPECT_FALSE(fs::exists(name)) << name;
    }
    for (const std::string& name : kept) {
        EXPECT_EQ(ReadFile(name), "mine\n") << name;
    }
    EXPECT_TRUE(fs::is_directory(State() + ".aaaaaaaaaaaaaaaa.tmp"));
    // The press queue's writer removes the queue's own.
    const std::string staleQueue = State() + ".presses.0123456789abcdef.tmp";
    std::ofstream(staleQueue) << "1 1 keyboard 00\n";
    ASSERT_EQ(Run({"--virtual=" + State(), "press", "1"}), kExitOk) << err_.str();
    EXPECT_FALSE(fs::exists(staleQueue));
}

// Runs a shell command line in the test's folder; its exit status.
int Shell(const fs::path& folder, const std::string& command) {
    const std::string line = "cd '" + folder.string() + "' && " + command;
    const int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The printing commands once said nothing and exited 0 when their output could not be written.
TEST_F(Files, OutputThatCannotBeWrittenFailsTheCommand) {
    const std::string program = TREADLECTL_PROGRAM;
    ASSERT_EQ(Run({"--virtual=" + State(), "set", "1", "a"}), kExitOk) << err_.str();
    const struct {
        std::string arguments;
        const char* output;  // where standard output goes
        int status;
    } cases[] = {
        {"keys", ">/dev/full", 1},
        {"keys", ">&-", 1},
        {"--virtual=pedals.state show", ">/dev/full", 1},
        {"--virtual=pedals.state show", ">&-", 1},
        {"--dry-run set 1 a", ">/dev/full", 1},
        {"--help", ">/dev/full", 1},
        {"--virtual list", ">&-", 1},
        // Nothing to print: nothing lost.
        {"--quiet --virtual=pedals.state set 2 b", ">&-", 0},
        // A command that failed keeps its own status.
        {"set 5 a", ">/dev/full", 2},
    };
    for (const auto& c : cases) {
        const int status = Shell(dir_, program + " " + c.arguments + " " + c.output + " 2>err.txt");
        EXPECT_EQ(status, c.status) << c.arguments << " " << c.output;
        if (c.status == 1) {
            EXPECT_EQ(ReadFile(Path("err.txt")),
                      "treadlectl: the output could not be written: standard output is full, closed or gone\n")
                << c.arguments << " " << c.output;
        }
    }
    // With standard output closed, the state file did not take its number and what was printed.
    EXPECT_EQ(StateSlot(1, "04"), "00 05 00 00 key") << ReadFile(State());
    EXPECT_EQ(ReadFile(State()).find("virtual:1"), std::string::npos) << ReadFile(State());
}

// A capture into a pipe whose reader leaves once killed treadlectl by SIGPIPE between the key
// frame and the long-press frame, leaving half a key assignment.
TEST_F(Files, ACaptureWhoseReaderLeavesFailsAfterEveryReport) {
    const std::string program = TREADLECTL_PROGRAM;
    const int shell = Shell(dir_, "{ " + program +
                                      " --virtual=pedals.state --capture /dev/stdout set 1 ctrl+a 2>err.txt; echo $? "
                                      ">status.txt; } | head -n1 >out.txt");
    ASSERT_EQ(shell, 0);
    EXPECT_EQ(ReadFile(Path("status.txt")), "1\n");
    EXPECT_EQ(ReadFile(Path("out.txt")), "00 AA 01 00 01 04 00 00\n");
    EXPECT_NE(ReadFile(Path("err.txt")).find("cannot write the capture file /dev/stdout: Broken pipe"),
              std::string::npos)
        << ReadFile(Path("err.txt"));
    // Every report of the assignment reached the device.
    EXPECT_EQ(StateSlot(1, "00"), "01 04 00 00 key");
    EXPECT_EQ(StateSlot(1, "78"), "79 01 00 00");
    EXPECT_EQ(StateSlot(1, "7C"), "79 01 00 00");
}

TEST_F(Files, AFailedExportLeavesTheOldProfileWhole) {
    const std::string profile = Write("kept.toml", "[settings]\ndelay_ms = 0\nlong_press = false\n");
    // A file-size limit makes the write fail part-way, as a full disk would.
    const int limited = InChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16, 16};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        return Run({"--virtual", "export", profile});
    });
    EXPECT_EQ(limited, kExitFailed);
    EXPECT_EQ(ReadFile(profile), "[settings]\ndelay_ms = 0\nlong_press = false\n");
}

TEST_F(Files, TheWindowTellsOfACaptureItCannotWrite) {
    VirtualFootSwitch device({1, "", "/dev/full", nullptr});
    std::string error;
    ASSERT_TRUE(device.Start(error)) << error;
    treadle::testing::WindowFixture f(device);
    USB& w = *f.window;
    w.Timer1_Timer();
    w.UserClick(w.Command_key[0]);
    ASSERT_EQ(f.boxes.shown.size(), 1u) << "one box for the action, not one per report";
    EXPECT_NE(f.boxes.shown[0].text.find("/dev/full"), std::string::npos) << f.boxes.shown[0].text;
    ASSERT_FALSE(f.Log().empty());
    EXPECT_NE(f.Log().front().find("/dev/full"), std::string::npos) << f.Log().front();
    EXPECT_NE(f.Log().front().find(f.Stamped("")), std::string::npos);
}

}  // namespace
}  // namespace treadle::cli
