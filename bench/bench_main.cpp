// What a user waits for, measured: a search tick against fake hidraw trees of growing size
// beside the floor of merely reading the tree, turning frame text into a report, a key
// assignment and clear-all on the virtual foot switch, and treadlectl as a whole process.
#include "device/protocol.h"
#include "device/hidraw_platform.h"
#include "support/fakes.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using treadle::HidrawPlatform;
using treadle::HidrawRoots;
using treadle::testing::WindowFixture;

const std::vector<std::uint8_t> kConfigDescriptor = {0x06, 0xA0, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x09, 0x01,
                                                     0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x07,
                                                     0x81, 0x02, 0x09, 0x02, 0x95, 0x07, 0x91, 0x02, 0xC0};

// A sysfs and /dev tree of `size` vendor-defined interfaces, the foot switch's configuration
// interface last, so a search examines all of them. Trees are made once per size.
class FakeTree {
  public:
    explicit FakeTree(int size) {
        root_ =
            fs::temp_directory_path() / ("treadle-bench-" + std::to_string(::getpid()) + "-" + std::to_string(size));
        fs::remove_all(root_);
        fs::create_directories(root_ / "dev");
        for (int n = 0; n < size; ++n) {
            const bool last = n == size - 1;
            const fs::path device = root_ / "sys/class/hidraw" / ("hidraw" + std::to_string(n)) / "device";
            fs::create_directories(device);
            std::ofstream(device / "uevent") << "DRIVER=hid-generic\nHID_ID=0003:0000" << (last ? "2704" : "1234")
                                             << ":0000" << (last ? "2018" : "5678") << "\nHID_NAME=bench\n";
            std::ofstream d(device / "report_descriptor", std::ios::binary);
            d.write(reinterpret_cast<const char*>(kConfigDescriptor.data()),
                    static_cast<std::streamsize>(kConfigDescriptor.size()));
            std::ofstream(root_ / "dev" / ("hidraw" + std::to_string(n))).close();
        }
    }
    ~FakeTree() { fs::remove_all(root_); }
    HidrawRoots Roots() const { return {(root_ / "sys").string(), (root_ / "dev").string()}; }

  private:
    fs::path root_;
};

FakeTree& TreeOf(int size) {
    static std::map<int, std::unique_ptr<FakeTree>> trees;
    auto& tree = trees[size];
    if (!tree) {
        tree = std::make_unique<FakeTree>(size);
    }
    return *tree;
}

std::string ReadFile(const std::string& path) {
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return text;
    }
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return text;
}

// The floor: the tree listed and each interface's uevent read; nothing parsed or opened.
void TreeFloor(benchmark::State& state) {
    const HidrawRoots roots = TreeOf(static_cast<int>(state.range(0))).Roots();
    const std::string classDir = roots.sysfs + "/class/hidraw";
    for (auto _ : state) {
        size_t bytes = 0;
        DIR* dir = ::opendir(classDir.c_str());
        while (const dirent* e = ::readdir(dir)) {
            if (e->d_name[0] != '.') {
                bytes += ReadFile(classDir + "/" + e->d_name + "/device/uevent").size();
            }
        }
        ::closedir(dir);
        benchmark::DoNotOptimize(bytes);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(TreeFloor)->Arg(1)->Arg(16)->Arg(256)->Arg(4096)->Complexity(benchmark::oN)->Unit(benchmark::kMicrosecond);

// One tick of the window: the whole search, ending at the foot switch, then connected.
void SearchTick(benchmark::State& state) {
    HidrawPlatform platform(TreeOf(static_cast<int>(state.range(0))).Roots());
    WindowFixture f(platform);
    for (auto _ : state) {
        f.window->Timer1_Timer();
    }
    if (!f.window->DeviceDetected) {
        state.SkipWithError("the search did not find the foot switch");
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(SearchTick)->Arg(1)->Arg(16)->Arg(256)->Arg(4096)->Complexity(benchmark::oN)->Unit(benchmark::kMicrosecond);

void TextToReport(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(treadle::FrameTextToReport("aa 01 04 01 3A 00 00", 8));
    }
}
BENCHMARK(TextToReport);

// A key click on the virtual foot switch, its three frames and log line, pauses at zero.
void KeyAssignment(benchmark::State& state) {
    WindowFixture f;
    f.window->Timer1_Timer();
    for (auto _ : state) {
        f.window->Command_key_Click(0);
    }
}
BENCHMARK(KeyAssignment)->Iterations(1000)->Unit(benchmark::kMicrosecond);

// Clear all, answered with OK: 32 frames and the log line.
void ClearAll(benchmark::State& state) {
    WindowFixture f;
    f.window->Timer1_Timer();
    for (auto _ : state) {
        f.window->Command1_Click();
    }
}
BENCHMARK(ClearAll)->Iterations(200)->Unit(benchmark::kMicrosecond);

// A whole process, started and waited for.
void RunProcess(benchmark::State& state, std::vector<std::string> argv) {
    std::vector<char*> args;
    for (std::string& a : argv) {
        args.push_back(a.data());
    }
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    for (auto _ : state) {
        pid_t pid = 0;
        if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) {
            state.SkipWithError("cannot start the program");
            break;
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the program failed");
            break;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}
BENCHMARK_CAPTURE(RunProcess, bin_true, std::vector<std::string>{"/bin/true"})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunProcess, treadlectl_dry_run_set,
                  std::vector<std::string>{TREADLECTL_PATH, "--dry-run", "set", "2", "ctrl+shift+f1"})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
