// A folder of its own for one test, named after the test and removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace treadle::testing {

class TempDir {
public:
    TempDir() {
        path_ = std::filesystem::temp_directory_path() / ("treadle-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
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
