// A folder of its own for one test, named after the test and removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>

namespace treadle::testing {

// A part of a folder name that no other test process running at the same time has, so that
// builds tested side by side never share a folder.
inline std::string UniqueSuffix() {
    static const std::string suffix = [] {
        const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        return std::to_string(std::random_device{}()) + "-" + std::to_string(ticks);
    }();
    return suffix;
}

class TempDir {
public:
    TempDir() {
        path_ = std::filesystem::temp_directory_path() / ("treadle-test-" + UniqueSuffix() +
                                             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::filesystem::path operator/(const char* name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

}  // namespace treadle::testing
