#include "device/hid_descriptor.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace treadle {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A descriptor file: hex bytes, with '#' comments. One comment says what the parser must
// give: "# expect: input=9 output=2 feature=0 collections=0001:0006,000C:0001", followed by
// " numbered-input" when the input reports carry report IDs, or "# expect-error: <part of
// the error text>".
struct DescriptorCase {
    std::string name;
    Bytes bytes;
    std::string expect;       // the expected summary, or empty
    std::string expectError;  // a part of the expected error, or empty
};

fs::path DataDir() {
    const char* dir = std::getenv("TREADLE_TEST_DATA");
    return fs::path(dir != nullptr ? dir : "tests/data") / "descriptors";
}

DescriptorCase ReadCase(const fs::path& file) {
    DescriptorCase c;
    c.name = file.stem().string();
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("# expect: ", 0) == 0) {
            c.expect = line.substr(10);
        } else if (line.rfind("# expect-error: ", 0) == 0) {
            c.expectError = line.substr(16);
        }
        if (const size_t hash = line.find('#'); hash != std::string::npos) {
            line.erase(hash);
        }
        std::istringstream words(line);
        std::string word;
        while (words >> word) {
            c.bytes.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
        }
    }
    return c;
}

std::string Summary(const ReportDescriptorInfo& info) {
    std::string s = "input=" + std::to_string(info.inputReportLength) +
                    " output=" + std::to_string(info.outputReportLength) +
                    " feature=" + std::to_string(info.featureReportLength) + " collections=";
    for (size_t i = 0; i < info.topLevelCollections.size(); ++i) {
        char usage[16];
        std::snprintf(usage, sizeof usage, "%s%04X:%04X", i == 0 ? "" : ",", info.topLevelCollections[i].first,
                      info.topLevelCollections[i].second);
        s += usage;
    }
    if (info.numberedInputReports) {
        s += " numbered-input";
    }
    return s;
}

std::vector<DescriptorCase> AllCases() {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(DataDir())) {
        if (entry.path().extension() == ".hex") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    std::vector<DescriptorCase> cases;
    for (const auto& f : files) {
        cases.push_back(ReadCase(f));
    }
    return cases;
}

TEST(HidDescriptor, EveryDescriptorFileGivesItsExpectedAnswer) {
    const std::vector<DescriptorCase> cases = AllCases();
    ASSERT_GE(cases.size(), 15u) << "descriptor files missing under " << DataDir();
    for (const DescriptorCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(c.expect.empty(), c.expectError.empty()) << "each file needs exactly one expect line";
        const ReportDescriptorResult r = ParseReportDescriptor(c.bytes);
        if (!c.expect.empty()) {
            ASSERT_TRUE(r.ok()) << r.error;
            EXPECT_EQ(Summary(r.info), c.expect);
        } else {
            ASSERT_FALSE(r.ok()) << "parsed as " << Summary(r.info);
            EXPECT_NE(r.error.find(c.expectError), std::string::npos) << r.error;
            EXPECT_EQ(Summary(r.info), Summary({})) << "a refused descriptor reports nothing";
        }
    }
}

TEST(HidDescriptor, CapsTakeTheLengthsAndTheFirstTopLevelCollection) {
    ReportDescriptorInfo info;
    info.inputReportLength = 9;
    info.outputReportLength = 2;
    info.featureReportLength = 33;
    info.topLevelCollections = {{0x01, 0x06}, {0xFF00, 0x01}};
    const HidCaps caps = CapsFromDescriptorInfo(info);
    EXPECT_EQ(caps.inputReportLength, 9);
    EXPECT_EQ(caps.outputReportLength, 2);
    EXPECT_EQ(caps.featureReportLength, 33);
    EXPECT_EQ(caps.usagePage, 0x01);
    EXPECT_EQ(caps.usage, 0x06);
    const HidCaps none = CapsFromDescriptorInfo({});
    EXPECT_EQ(none.usagePage, 0);
    EXPECT_EQ(none.usage, 0);
}

Bytes Nested(int depth) {
    Bytes b = {0x06, 0x00, 0xFF, 0x09, 0x01};
    for (int i = 0; i < depth; ++i) {
        b.insert(b.end(), {0xA1, 0x01});
    }
    b.insert(b.end(), {0x75, 0x08, 0x95, 0x01, 0x81, 0x02});
    b.insert(b.end(), static_cast<size_t>(depth), 0xC0);
    return b;
}

Bytes Pushes(int count) {
    Bytes b = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01};
    b.insert(b.end(), static_cast<size_t>(count), 0xA4);
    b.insert(b.end(), static_cast<size_t>(count), 0xB4);
    b.push_back(0xC0);
    return b;
}

TEST(HidDescriptor, NestingAndTheGlobalStackAreBounded) {
    struct Case {
        const char* name;
        Bytes bytes;
        bool ok;
        const char* errorPart;
    };
    const Case cases[] = {
        {"nesting at the limit", Nested(kMaxCollectionDepth), true, ""},
        {"nesting past the limit", Nested(kMaxCollectionDepth + 1), false, "nested deeper than"},
        {"nesting of a hundred thousand", Nested(100000), false, "nested deeper than"},
        {"pushes at the limit", Pushes(kMaxGlobalStackDepth), true, ""},
        {"pushes past the limit", Pushes(kMaxGlobalStackDepth + 1), false, "Push nested deeper than"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ReportDescriptorResult r = ParseReportDescriptor(c.bytes);
        EXPECT_EQ(r.ok(), c.ok) << r.error;
        if (!c.ok) {
            EXPECT_NE(r.error.find(c.errorPart), std::string::npos) << r.error;
        } else {
            EXPECT_EQ(r.info.topLevelCollections.size(), 1u);
        }
    }
}

TEST(HidDescriptor, ReportsLongerThanTheSystemCanSayAreRefused) {
    // 8 bits x 65534 = 65534 data bytes + the ID byte: the longest the system can report.
    const Bytes atLimit = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x96, 0xFE, 0xFF, 0x81, 0x02, 0xC0};
    const ReportDescriptorResult ok = ParseReportDescriptor(atLimit);
    ASSERT_TRUE(ok.ok()) << ok.error;
    EXPECT_EQ(ok.info.inputReportLength, kMaxReportLength);

    Bytes overLimit = atLimit;
    overLimit[10] = 0xFF;  // 65535 data bytes
    EXPECT_FALSE(ParseReportDescriptor(overLimit).ok());

    // Many fields that are each fine may not add up past the limit either.
    Bytes many = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x96, 0x00, 0x80};
    for (int i = 0; i < 3; ++i) {
        many.insert(many.end(), {0x81, 0x02});
    }
    many.push_back(0xC0);
    EXPECT_FALSE(ParseReportDescriptor(many).ok());
}

// Every prefix of every good descriptor, and random byte strings, give an answer or an error;
// the sanitizers of the test build catch any overread on the way.
TEST(HidDescriptor, AnyByteStringGivesAnAnswerOrAnError) {
    int refused = 0;
    for (const DescriptorCase& c : AllCases()) {
        for (size_t n = 0; n <= c.bytes.size(); ++n) {
            // A copy of exactly n bytes, so that reading past it is an overread.
            const Bytes prefix(c.bytes.begin(), c.bytes.begin() + static_cast<std::ptrdiff_t>(n));
            const ReportDescriptorResult r = ParseReportDescriptor(prefix);
            if (!r.ok()) {
                ++refused;
                EXPECT_FALSE(r.error.empty());
            }
        }
    }
    EXPECT_GT(refused, 0) << "cut-off descriptors must be refused";

    std::mt19937 random(20261207);
    for (int i = 0; i < 20000; ++i) {
        Bytes b(random() % 64);
        for (auto& byte : b) {
            byte = static_cast<std::uint8_t>(random());
        }
        const ReportDescriptorResult r = ParseReportDescriptor(b);
        if (r.ok()) {
            EXPECT_LE(r.info.inputReportLength, kMaxReportLength);
            EXPECT_LE(r.info.outputReportLength, kMaxReportLength);
            EXPECT_LE(r.info.featureReportLength, kMaxReportLength);
        } else {
            EXPECT_FALSE(r.error.empty());
        }
    }
}

}  // namespace
}  // namespace treadle
