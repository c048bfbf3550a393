// The rules the source keeps to, read from the source tree itself: the layers include only
// downwards, the window's handlers live under src/window/, no source file is named like a
// test, and no function grows past 80 lines.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace treadle {
namespace {

namespace fs = std::filesystem;

fs::path SourceRoot() {
    const char* data = std::getenv("TREADLE_TEST_DATA");
    return (fs::path(data != nullptr ? data : "tests/data") / ".." / ".." / "src").lexically_normal();
}

struct SourceFile {
    std::string relative;  // "device/protocol.cpp"
    std::vector<std::string> lines;
};

std::vector<SourceFile> SourceFiles() {
    std::vector<SourceFile> files;
    for (const auto& entry : fs::recursive_directory_iterator(SourceRoot())) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) {
            continue;
        }
        SourceFile file{entry.path().lexically_relative(SourceRoot()).generic_string(), {}};
        std::ifstream in(entry.path());
        for (std::string line; std::getline(in, line);) {
            file.lines.push_back(line);
        }
        files.push_back(std::move(file));
    }
    EXPECT_GT(files.size(), 50u) << "the source tree was not found at " << SourceRoot();
    return files;
}

// The layer a path belongs to: the folder, with the front ends told apart.
std::string Layer(const std::string& path) {
    for (const char* frontEnd : {"window/qt/", "window/win32/", "window/web/"}) {
        if (path.rfind(frontEnd, 0) == 0) {
            return frontEnd;
        }
    }
    return path.substr(0, path.find('/') + 1);
}

TEST(SourceRules, EachLayerIncludesOnlyItselfAndTheLayersBelow) {
    const std::map<std::string, std::vector<std::string>> allowed = {
        {"text/", {"text/"}},
        {"device/", {"device/", "text/"}},
        {"assignment/", {"assignment/", "device/", "text/"}},
        {"settings/", {"settings/", "assignment/", "device/", "text/"}},
        {"window/", {"window/", "assignment/", "settings/", "device/", "text/"}},
        {"window/qt/", {"window/qt/", "window/", "assignment/", "settings/", "device/", "text/"}},
        {"window/win32/", {"window/win32/", "window/", "assignment/", "settings/", "device/", "text/"}},
        {"window/web/", {"window/web/", "window/", "assignment/", "settings/", "device/", "text/"}},
        {"cli/", {"cli/", "assignment/", "settings/", "device/", "text/"}},
    };
    const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
    for (const SourceFile& file : SourceFiles()) {
        const auto rule = allowed.find(Layer(file.relative));
        ASSERT_NE(rule, allowed.end()) << file.relative << " is in no layer";
        for (size_t i = 0; i < file.lines.size(); ++i) {
            std::smatch m;
            if (!std::regex_search(file.lines[i], m, include) || m[1].str().find('/') == std::string::npos) {
                continue;  // a generated header beside the file, or none
            }
            const std::string target = Layer(m[1].str());
            const bool ok = std::find(rule->second.begin(), rule->second.end(), target) != rule->second.end();
            EXPECT_TRUE(ok) << file.relative << ":" << i + 1 << " includes " << m[1] << ", a layer above it";
        }
    }
}

TEST(SourceRules, TheWindowsHandlersLiveUnderWindowAndNoFileIsNamedLikeATest) {
    for (const SourceFile& file : SourceFiles()) {
        const std::string stem = fs::path(file.relative).stem().string();
        EXPECT_FALSE(stem.size() >= 5 && stem.compare(stem.size() - 5, 5, "_test") == 0)
            << file.relative << " is named like a test";
        if (Layer(file.relative).rfind("window/", 0) == 0) {
            continue;
        }
        for (size_t i = 0; i < file.lines.size(); ++i) {
            EXPECT_EQ(file.lines[i].find("USB::"), std::string::npos)
                << file.relative << ":" << i + 1 << " defines a method of the window outside src/window/";
        }
    }
}

// The braces of a line that count: those outside strings, characters and comments.
int BraceBalance(const std::string& line) {
    int balance = 0;
    char quote = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quote != 0) {
            if (c == '\\') {
                ++i;
            } else if (c == quote) {
                quote = 0;
            }
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '/' && i + 1 < line.size() && line[i + 1] == '/') {
            break;
        } else if (c == '{') {
            ++balance;
        } else if (c == '}') {
            --balance;
        }
    }
    return balance;
}

// Functions defined at namespace level start at the first column and end with a lone "}" in
// it; tables and classes end with "};". Returns each function longer than `limit` lines.
std::vector<std::string> LongFunctions(const SourceFile& file, size_t limit) {
    static const std::regex notAFunction(R"(^(namespace|class|struct|enum|union|extern|#|//|template\s*<[^>]*>\s*(class|struct)))");
    std::vector<std::string> found;
    for (size_t start = 0; start < file.lines.size(); ++start) {
        const std::string& first = file.lines[start];
        if (first.empty() || first[0] == ' ' || first[0] == '}' || std::regex_search(first, notAFunction)) {
            continue;
        }
        // A signature may run over a few lines before its body opens.
        size_t open = start;
        while (open < file.lines.size() && open < start + 6 && BraceBalance(file.lines[open]) == 0 &&
               file.lines[open].find(';') == std::string::npos) {
            ++open;
        }
        if (open >= file.lines.size() || BraceBalance(file.lines[open]) <= 0) {
            continue;
        }
        int depth = 0;
        size_t end = open;
        for (; end < file.lines.size(); ++end) {
            depth += BraceBalance(file.lines[end]);
            if (depth <= 0) {
                break;
            }
        }
        if (end < file.lines.size() && file.lines[end] == "}" && end - start + 1 > limit) {
            found.push_back(file.relative + ":" + std::to_string(start + 1) + " " + first + " (" +
                            std::to_string(end - start + 1) + " lines)");
        }
        start = end;
    }
    return found;
}

TEST(SourceRules, NoFunctionIsLongerThan80Lines) {
    for (const SourceFile& file : SourceFiles()) {
        for (const std::string& f : LongFunctions(file, 80)) {
            ADD_FAILURE() << f;
        }
    }
    // The counter itself finds a long function, and only functions.
    SourceFile sample{"sample.cpp", {"int Long(int a,", "         int b) {"}};
    for (int i = 0; i < 80; ++i) {
        sample.lines.push_back("    f(\"}\");  // }");
    }
    sample.lines.push_back("}");
    sample.lines.push_back("constexpr std::array kTable{");
    sample.lines.insert(sample.lines.end(), 90, "    1,");
    sample.lines.push_back("};");
    ASSERT_EQ(LongFunctions(sample, 80).size(), 1u);
    EXPECT_EQ(LongFunctions(sample, 80).front(), "sample.cpp:1 int Long(int a, (83 lines)");
}

}  // namespace
}  // namespace treadle
