// treadlectl on fake hidraw trees of several foot switches, some of them broken.
#if defined(__linux__)

#include "cli/console.h"
#include "cli/provision.h"
#include "cli/runner_fixture.h"
#include "device/hidraw_platform.h"
#include "support/fake_hidraw_tree.h"

#include <algorithm>
#include <csignal>
#include <sys/wait.h>

namespace treadle::cli {
namespace {

using treadle::testing::FakeTree;
using treadle::testing::Node;

class HidrawTree : public Runner {
  protected:
    HidrawTree() {
        systemPlatform_ = [this] { return std::make_unique<HidrawPlatform>(tree_->Roots()); };
    }
    // A foot switch's three interfaces, numbered from n, with a serial number or none, at a port.
    void AddUnit(int n, const std::string& uniq, const char* port,
                 const treadle::testing::Bytes& config = treadle::testing::kConfigDescriptor) {
        const std::string base = "DRIVER=hid-generic\nHID_ID=0003:00002704:00002018\nHID_NAME=foot switch\n";
        for (int i = 0; i < 3; ++i) {
            tree_->Add(n + i, base + uniq + "HID_PHYS=" + port + "/input" + std::to_string(i) + "\n",
                       i == 0   ? treadle::testing::kKeyboardDescriptor
                       : i == 1 ? treadle::testing::kMouseDescriptor
                                : config);
        }
    }
    void RemoveUnit(int n) {
        for (int i = 0; i < 3; ++i) {
            tree_->Remove(n + i);
        }
    }
    // Plays `world` at each poll of provision, with the poll's number from 1.
    void AtEachPoll(std::function<void(int)> world) {
        sleeper_.onSleep = [this, world = std::move(world), polls = 0](int ms) mutable {
            if (ms == Provisioner::kPollMs) {
                world(++polls);
            }
        };
    }
    std::unique_ptr<FakeTree> tree_ = std::make_unique<FakeTree>();
};

// With three foot switches of which one's configuration interface cannot be used, --all once
// said "2 of 2 devices done" and exit 0, while list showed the third as unusable.
TEST_F(HidrawTree, AllCountsTheFootSwitchItCouldNotOpen) {
    const struct {
        const char* name;
        std::function<void(FakeTree&, int)> breakIt;
    } faults[] = {
        {"node gone", [](FakeTree& t, int n) { fs::remove(t.DevNode(n)); }},
        {"node a folder",
         [](FakeTree& t, int n) {
             fs::remove(t.DevNode(n));
             fs::create_directory(t.DevNode(n));
         }},
        {"descriptor empty",
         [](FakeTree& t, int n) {
             std::ofstream(t.Roots().sysfs + "/class/hidraw/hidraw" + std::to_string(n) + "/device/report_descriptor",
                           std::ios::trunc);
         }},
    };
    for (const auto& fault : faults) {
        tree_.reset();
        tree_ = std::make_unique<FakeTree>();
        tree_->AddFootSwitch(0);
        tree_->AddFootSwitch(3);
        tree_->AddFootSwitch(6);
        fault.breakIt(*tree_, 8);
        ASSERT_EQ(Run({"list"}), kExitOk) << fault.name;
        EXPECT_NE(out_.str().find(tree_->DevPath(8) + "\t"), std::string::npos) << fault.name << "\n" << out_.str();

        EXPECT_EQ(Run({"--all", "set", "1", "a"}), kExitFailed) << fault.name;
        EXPECT_NE(out_.str().find("2 of 3 devices done"), std::string::npos) << fault.name << ": " << out_.str();
        EXPECT_NE(err_.str().find(tree_->DevPath(8) + ": cannot open the device: "), std::string::npos)
            << fault.name << ": " << err_.str();
        EXPECT_EQ(tree_->NodeBytes(2).size(), 3u * 8u) << fault.name << ": the first was written";
        EXPECT_EQ(tree_->NodeBytes(5).size(), 3u * 8u) << fault.name << ": the second was written";
    }
}

// provision on a fake tree: the foot switch present at the start is left alone, one that
// appears while it waits is programmed and named by its serial number, one without a serial
// by its USB port; one that goes and comes back is not programmed twice.
TEST_F(HidrawTree, ProvisionProgramsTheFootSwitchesThatArrive) {
    AddUnit(0, "HID_UNIQ=\n", "usb-0000:00:14.0-1");
    Write("office.toml", "[switches]\n1 = \"a\"\n");
    AtEachPoll([this](int poll) {
        if (poll == 2) {
            AddUnit(3, "HID_UNIQ=SN0042\n", "usb-0000:00:14.0-2");
        } else if (poll == 4) {
            AddUnit(6, "", "usb-0000:00:14.0-3");
        } else if (poll == 5) {
            RemoveUnit(3);  // SN0042 is unplugged ...
        } else if (poll == 6) {
            AddUnit(3, "HID_UNIQ=SN0042\n", "usb-0000:00:14.0-2");  // ... and plugged in again
        }
    });
    EXPECT_EQ(Run({"provision", Path("office.toml"), "--timeout", "2500"}), kExitOk) << err_.str();
    const std::vector<std::string> lines = Lines(out_.str());
    ASSERT_EQ(lines.size(), 6u) << out_.str();
    EXPECT_EQ(lines[0], "already plugged in, left alone: usb-0000:00:14.0-1");
    EXPECT_EQ(lines[1].rfind("1 12:00:00 serial SN0042: programmed: applied ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2], "usb-0000:00:14.0-3: no serial number: every plug-in is programmed");
    EXPECT_EQ(lines[3].rfind("2 12:00:00 usb-0000:00:14.0-3: programmed: applied ", 0), 0u) << lines[3];
    EXPECT_EQ(lines[4], "plugged in again, already done: serial SN0042 (--again programs it again)");
    EXPECT_EQ(lines[5], "2 foot switches: 2 programmed, 0 failed (no more within 2500 ms)");
    EXPECT_TRUE(tree_->NodeBytes(2).empty()) << "the one present at the start was left alone";
    EXPECT_EQ(tree_->NodeBytes(8).size(), 3u * 8u);
}

// Units provision cannot tell apart are each programmed, with a line that says why; one it
// cannot use is named and counted as failed. None that arrives goes without a line.
TEST_F(HidrawTree, ProvisionNamesEveryArrivalEvenWhenItCannotTellThemApart) {
    const char* port1 = "usb-0000:00:14.0-1";
    const char* port2 = "usb-0000:00:14.0-2";
    const std::string applied = "programmed: applied office.toml: switch 1 = a; key delay 0 ms, long press off";
    const struct {
        const char* name;
        std::function<void(int)> world;
        std::vector<std::string> lines;
    } cases[] = {
        {"a batch without serial numbers fed through one port",
         [&](int poll) {
             if (poll == 2 || poll == 5) {
                 AddUnit(3, "", port2);
             } else if (poll == 4) {
                 RemoveUnit(3);
             }
         },
         {"usb-0000:00:14.0-2: no serial number: every plug-in is programmed",
          "1 12:00:00 usb-0000:00:14.0-2: " + applied, "2 12:00:00 usb-0000:00:14.0-2: " + applied,
          "2 foot switches: 2 programmed, 0 failed"}},
        {"the serial of the one present at the start, then two alike at once",
         [&](int poll) {
             if (poll == 2) {
                 AddUnit(3, "HID_UNIQ=SN1\n", port2);
             } else if (poll == 4) {
                 AddUnit(6, "HID_UNIQ=SN7\n", "usb-0000:00:14.0-3");
                 AddUnit(9, "HID_UNIQ=SN7\n", "usb-0000:00:14.0-4");
             }
         },
         {"serial SN1: another foot switch has the same serial number: every plug-in is programmed",
          "1 12:00:00 serial SN1: " + applied,
          "serial SN7: another foot switch has the same serial number: every plug-in is programmed",
          "2 12:00:00 serial SN7: " + applied, "3 12:00:00 serial SN7: " + applied,
          "3 foot switches: 3 programmed, 0 failed"}},
        {"one whose configuration interface cannot be used",
         [&](int poll) {
             if (poll == 2) {
                 AddUnit(3, "HID_UNIQ=SN2\n", port2, {});
             }
         },
         {"1 12:00:00 serial SN2: failed: cannot open the device: its output report holds 0 bytes, too few for a frame",
          "1 foot switch: 0 programmed, 1 failed"}},
    };
    Write("office.toml", "[switches]\n1 = \"a\"\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tree_.reset();
        tree_ = std::make_unique<FakeTree>();
        AddUnit(0, "HID_UNIQ=SN1\n", port1);
        AtEachPoll(c.world);
        const int count = static_cast<int>(std::count_if(c.lines.begin(), c.lines.end(), [](const std::string& l) {
            return l.find(" 12:00:00 ") != std::string::npos;
        }));
        const fs::path before = fs::current_path();
        fs::current_path(dir_);
        Run({"provision", "office.toml", "--count", std::to_string(count), "--timeout", "3000"});
        fs::current_path(before);
        std::vector<std::string> lines = Lines(out_.str());
        lines.erase(lines.begin());  // the one present at the start, left alone
        EXPECT_EQ(lines, c.lines) << err_.str();
    }
}

// A terminal's Ctrl-C goes to the whole process group. Each writing command finishes the
// foot switch it is writing, all its reports, and then stops with its count; the writer
// processes, which the group's SIGINT once killed half-way, are out of its reach.
TEST_F(HidrawTree, CtrlCToTheProcessGroupFinishesTheFootSwitchBeingWritten) {
    const struct {
        std::vector<std::string> args;
        int status;
        const char* lastLine;
    } cases[] = {
        {{"provision", "p.toml", "--include-present"}, kExitOk, "1 foot switch: 1 programmed, 0 failed (interrupted)"},
        {{"--all", "set", "1", "a"}, kExitFailed, "1 of 2 devices done"},
        {{"apply", "p.toml"}, kExitOk, ""},
    };
    Write("p.toml", "[switches]\n1 = \"a\"\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front());
        tree_.reset();
        tree_ = std::make_unique<FakeTree>();
        tree_->AddFootSwitch(0);
        tree_->AddFootSwitch(3);
        const pid_t child = ::fork();
        if (child == 0) {
            // The child stands for treadlectl started from a terminal: the leader of its group.
            ::setpgid(0, 0);
            catchInterrupts_ = [] { CatchInterrupts(); };
            interrupted_ = [] { return InterruptCame(); };
            bool sent = false;
            sleeper_.onSleep = [&sent](int ms) {
                if (ms == kPauseMs && !sent) {
                    sent = ::kill(0, SIGINT) == 0;  // after the first report
                }
            };
            fs::current_path(dir_);
            const int status = Run(c.args);
            std::ofstream(Path("child.out")) << out_.str() << err_.str();
            ::_exit(status);
        }
        int status = -1;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        const std::string out = ReadFile(Path("child.out"));
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), c.status) << out;
        EXPECT_EQ(tree_->NodeBytes(2).size(), 3u * 8u) << out;
        EXPECT_TRUE(tree_->NodeBytes(5).empty()) << out;
        EXPECT_NE(out.find(c.lastLine), std::string::npos) << out;
    }
}

}  // namespace
}  // namespace treadle::cli

#endif
