// The files that name the foot switch outside the program — the udev rule that grants access,
// the AppStream modalias that lets software centres offer the program for the device, the
// manual page and the desktop entry — name the IDs the program looks for, and no others.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "device/protocol.h"

namespace treadle {
namespace {

namespace fs = std::filesystem;

std::string PackagingFile(const char* name) {
    const char* data = std::getenv("TREADLE_TEST_DATA");
    const fs::path path = fs::path(data != nullptr ? data : "tests/data") / ".." / ".." / "packaging" / name;
    std::ifstream in(path);
    EXPECT_TRUE(in) << "cannot read " << path;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// Every (vendor, product) pair the pattern's two groups find in the text, in lower case.
std::vector<std::pair<std::string, std::string>> IdPairs(const std::string& text, const std::string& pattern) {
    std::vector<std::pair<std::string, std::string>> pairs;
    const std::regex re(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it) {
        pairs.emplace_back(Lower((*it)[1]), Lower((*it)[2]));
    }
    return pairs;
}

TEST(PackagingIds, EveryFileNamesTheIdsTheProgramLooksFor) {
    const std::pair<std::string, std::string> ours{Lower(kFootSwitchVendorIdText), Lower(kFootSwitchProductIdText)};
    struct Case {
        const char* file;
        std::string pattern;
        size_t atLeast;  // how many mentions the file must have
    };
    const Case cases[] = {
        {"70-treadle.rules", R"re(ATTRS\{idVendor\}=="([0-9a-fA-F]{4})", ATTRS\{idProduct\}=="([0-9a-fA-F]{4})")re", 1},
        {"org.example.treadle.metainfo.xml.in", R"(<modalias>usb:v([0-9a-fA-F]{4})p([0-9a-fA-F]{4}))", 1},
        {"treadlectl.1", R"(default ([0-9a-fA-F]{4}) and ([0-9a-fA-F]{4}))", 1},
        // The desktop entry names no device; should it ever, as a modalias, it must be this one.
        {"org.example.treadle.desktop", R"(usb:v([0-9a-fA-F]{4})p([0-9a-fA-F]{4}))", 0},
    };
    for (const Case& c : cases) {
        const auto pairs = IdPairs(PackagingFile(c.file), c.pattern);
        EXPECT_GE(pairs.size(), c.atLeast) << c.file << " names the foot switch nowhere";
        for (const auto& pair : pairs) {
            EXPECT_EQ(pair, ours) << c.file;
        }
    }
}

}  // namespace
}  // namespace treadle
