// treadlectl provision on the virtual foot switch, whose devices are plugged in one by one
// while it waits; the world between two polls is played through the fake sleeper.
#include "cli/provision.h"

#include "cli/runner_fixture.h"

namespace treadle::cli {
namespace {

constexpr const char* kApplied =
    "programmed: applied office.toml: switch 1 = ctrl+f1, 2 = mouse-left; key delay 0 ms, long press off";

class Provision : public Runner {
  protected:
    Provision() {
        Write("office.toml", "[switches]\n1 = \"ctrl+f1\"\n2 = \"mouse-left\"\n");
        virtualStarted_ = [this](VirtualFootSwitch& v) { device_ = &v; };
    }
    // Runs in the test's folder, so that the profile's name in the lines is as given.
    int RunHere(std::vector<std::string> args) {
        const fs::path before = fs::current_path();
        fs::current_path(dir_);
        const int status = Run(std::move(args));
        fs::current_path(before);
        return status;
    }
    VirtualFootSwitch* device_ = nullptr;
};

TEST_F(Provision, ProgramsEachFootSwitchAsItIsPluggedIn) {
    ASSERT_EQ(RunHere({"--virtual", "--virtual-devices", "3", "--capture", "capture.txt", "provision", "office.toml",
                       "--count", "3"}),
              kExitOk)
        << err_.str();
    EXPECT_EQ(out_.str(), std::string("1 12:00:00 serial VIRTUAL-1: ") + kApplied + "\n" +
                              "2 12:00:00 serial VIRTUAL-2: " + kApplied + "\n" + "3 12:00:00 serial VIRTUAL-3: " +
                              kApplied + "\n" + "3 foot switches: 3 programmed, 0 failed\n");
    EXPECT_EQ(err_.str(), "");
    // Each got exactly what apply writes.
    ASSERT_EQ(RunHere({"--dry-run", "apply", "office.toml"}), kExitOk);
    const std::vector<std::string> one = Lines(out_.str());
    std::vector<std::string> three;
    for (int i = 0; i < 3; ++i) {
        three.insert(three.end(), one.begin(), one.end());
    }
    EXPECT_EQ(Captured(), three);
}

// The closing count for three foot switches of which one was unplugged half-way.
TEST_F(Provision, AUnitUnpluggedHalfWayIsNamedAndTheRunGoesOn) {
    int pauses = 0;
    sleeper_.onSleep = [&](int ms) {
        // The pauses between a key's three reports are 50 ms: the second unit goes during its first.
        if (ms == kPauseMs && ++pauses == 3) {
            device_->Unplug(1);
        }
    };
    EXPECT_EQ(RunHere({"--virtual", "--virtual-devices", "3", "provision", "office.toml", "--count", "3"}),
              kExitFailed);
    const std::vector<std::string> lines = Lines(out_.str());
    ASSERT_EQ(lines.size(), 4u) << out_.str();
    EXPECT_EQ(lines[0], std::string("1 12:00:00 serial VIRTUAL-1: ") + kApplied);
    EXPECT_EQ(lines[1].rfind("2 12:00:00 serial VIRTUAL-2: unplugged half-way, not programmed: write failed", 0), 0u)
        << lines[1];
    EXPECT_EQ(lines[2], std::string("3 12:00:00 serial VIRTUAL-3: ") + kApplied);
    EXPECT_EQ(lines[3], "3 foot switches: 2 programmed, 1 failed");
}

TEST_F(Provision, ABadProfileIsRefusedBeforeAnythingWaits) {
    Write("bad.toml", "[switches]\n1 = \"ctrl+foo\"\n");
    EXPECT_EQ(RunHere({"--virtual", "provision", "bad.toml"}), kExitUsage);
    EXPECT_NE(err_.str().find("bad.toml:2: switches.1: unknown key \"foo\""), std::string::npos) << err_.str();
    EXPECT_EQ(out_.str(), "");
    EXPECT_TRUE(sleeper_.sleeps.empty());
    EXPECT_EQ(RunHere({"--virtual", "provision", "missing.toml"}), kExitFailed);
    EXPECT_TRUE(sleeper_.sleeps.empty());
    EXPECT_EQ(RunHere({"--virtual", "--all", "provision", "office.toml"}), kExitUsage);
    EXPECT_EQ(RunHere({"--dry-run", "provision", "office.toml"}), kExitUsage);
}

TEST_F(Provision, TooFewInTimeAndAnInterruptEndWithTheCount) {
    EXPECT_EQ(RunHere({"--virtual", "--virtual-devices", "2", "provision", "office.toml", "--count", "3", "--timeout",
                       "5000"}),
              kExitFailed);
    EXPECT_EQ(Lines(out_.str()).back(), "2 foot switches: 2 programmed, 0 failed (no more within 5000 ms)");
    EXPECT_EQ(err_.str(), "treadlectl: only 2 of 3 foot switches were plugged in (no more within 5000 ms)\n");
    // It waited its time out in polls, and no more (the pauses between reports aside).
    int waited = 0;
    for (int ms : sleeper_.sleeps) {
        waited += ms != kPauseMs ? ms : 0;
    }
    EXPECT_EQ(waited, 5000);

    // Ctrl-C after the first: the same count, and success, for what was asked was done.
    interrupted_ = [this] { return out_.str().find("1 12:00:00") != std::string::npos; };
    EXPECT_EQ(RunHere({"--virtual", "--virtual-devices", "3", "provision", "office.toml"}), kExitOk) << err_.str();
    EXPECT_EQ(Lines(out_.str()).back(), "1 foot switch: 1 programmed, 0 failed (interrupted)");
}

// A unit unplugged and plugged in again is not programmed twice, unless --again.
TEST_F(Provision, AUnitPluggedInAgainIsLeftAloneUnlessAgain) {
    for (const bool again : {false, true}) {
        int polls = 0;
        sleeper_.onSleep = [&](int ms) {
            if (ms != Provisioner::kPollMs) {
                return;
            }
            // After the first unit is done: it goes, and comes back at the next poll.
            if (++polls == 3) {
                device_->Unplug(0);
            } else if (polls == 4) {
                device_->Plug(0);
            }
        };
        std::vector<std::string> args = {"--virtual",   "--virtual-devices", "2",   "provision",
                                         "office.toml", "--timeout",         "3000"};
        if (again) {
            args.push_back("--again");
        }
        EXPECT_EQ(RunHere(args), kExitOk) << err_.str();
        const std::string out = out_.str();
        EXPECT_EQ(out.find("plugged in again, already done: serial VIRTUAL-1") != std::string::npos, !again) << out;
        EXPECT_EQ(out.find("serial VIRTUAL-1: programmed") != out.rfind("serial VIRTUAL-1: programmed"), again) << out;
        EXPECT_NE(out.find("2 foot switches: 2 programmed, 0 failed"), std::string::npos) << out;
    }
}

// The kernel makes a foot switch's nodes before udev's rule opens them to the user: one that
// cannot be opened at first is waited for a little, and only then named as failed.
TEST_F(Provision, AFootSwitchNotYetOpenToTheUserIsWaitedForBeforeItFails) {
    for (const bool forever : {false, true}) {
        int polls = 0;
        sleeper_.onSleep = [&](int ms) {
            if (ms != Provisioner::kPollMs) {
                return;
            }
            ++polls;
            if (polls == 1) {
                device_->DenyAccess(true, 0);  // it is plugged in at the next poll, still closed
            } else if (polls == 4 && !forever) {
                device_->DenyAccess(false, 0);  // udev's rule came
            }
        };
        EXPECT_EQ(RunHere({"--virtual", "provision", "office.toml", "--count", "1"}), forever ? kExitFailed : kExitOk)
            << err_.str();
        const std::vector<std::string> lines = Lines(out_.str());
        ASSERT_EQ(lines.size(), 2u) << out_.str();
        if (forever) {
            EXPECT_EQ(lines[0].rfind("1 12:00:00 serial VIRTUAL-1: failed: cannot open the device: no access", 0), 0u)
                << lines[0];
            EXPECT_GE(polls, Provisioner::kAccessGraceMs / Provisioner::kPollMs);
        } else {
            EXPECT_EQ(lines[0], std::string("1 12:00:00 serial VIRTUAL-1: ") + kApplied);
        }
    }
}

}  // namespace
}  // namespace treadle::cli
