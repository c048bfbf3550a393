// A fixture that runs treadlectl's command lines in-process, with a fake terminal and
// sleeper, in a fresh folder of its own.
#pragma once

#include "cli/runner.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace treadle::cli {

namespace fs = std::filesystem;

class FakeTerminal final : public Terminal {
  public:
    bool terminal = false;
    bool answer = false;
    std::vector<std::string> asked;
    bool InputIsTerminal() override { return terminal; }
    bool Confirm(const std::string& question) override {
        asked.push_back(question);
        return answer;
    }
};

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class Runner : public ::testing::Test {
  protected:
    Runner() {
        dir_ =
            fs::temp_directory_path() / ("treadlectl-test-" + treadle::testing::UniqueSuffix() + "-" +
                                         std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    ~Runner() override { fs::remove_all(dir_); }

    int Run(std::vector<std::string> args) {
        out_.str({});
        err_.str({});
        CliEnvironment env{out_, err_, sleeper_, terminal_, systemPlatform_, virtualStarted_};
        env.lockWaitMs = lockWaitMs_;
        env.timeOfDay = [] { return std::string("12:00:00"); };
        env.interrupted = interrupted_;
        env.catchInterrupts = catchInterrupts_;
        return RunTreadlectl(args, env);
    }

    // Runs on a virtual foot switch with a state and a capture file.
    int RunVirtual(std::vector<std::string> args) {
        args.insert(args.begin(), {"--virtual=" + State(), "--capture", Capture()});
        return Run(std::move(args));
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::string State() const { return Path("pedals.state"); }
    std::string Capture() const { return Path("capture.txt"); }
    std::vector<std::string> Captured() const { return Lines(ReadFile(Capture())); }
    std::string Write(const std::string& name, const std::string& text) const {
        std::ofstream(Path(name), std::ios::binary) << text;
        return Path(name);
    }
    // The slots the state file keeps, device by device.
    std::string StateSlot(int device, const char* slotByte) const {
        const std::vector<std::string> lines = Lines(ReadFile(State()));
        int current = 0;
        for (const std::string& line : lines) {
            if (line.rfind("device ", 0) == 0) {
                current = std::stoi(line.substr(7));
            } else if (current == device && line.rfind(std::string("slot ") + slotByte + ":", 0) == 0) {
                return line.substr(9);
            }
        }
        return "(none)";
    }

    fs::path dir_;
    std::ostringstream out_;
    std::ostringstream err_;
    treadle::testing::FakeSleeper sleeper_;
    FakeTerminal terminal_;
    std::function<std::unique_ptr<HidPlatform>()> systemPlatform_;
    std::function<void(VirtualFootSwitch&)> virtualStarted_;
    int lockWaitMs_ = kDefaultLockWaitMs;
    std::function<bool()> interrupted_;
    std::function<void()> catchInterrupts_;
};

}  // namespace treadle::cli
