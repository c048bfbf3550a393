// The udev rule that gives the logged-in user access to the foot switch, checked the way udev
// reads it: its match keys against fake device chains, as `udevadm info -a` shows them (the
// event device first, then its parents), and its assignments for what they grant.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fnmatch.h>
#include <fstream>
#include <map>
#include <regex>

namespace treadle {
namespace {

namespace fs = std::filesystem;

fs::path RuleFile() {
    const char* data = std::getenv("TREADLE_TEST_DATA");
    return fs::path(data != nullptr ? data : "tests/data") / ".." / ".." / "packaging" / "70-treadle.rules";
}

struct Key {
    std::string name;  // SUBSYSTEM, ATTRS{idVendor}, TAG, ...
    std::string op;    // ==, !=, =, +=, :=
    std::string value;
};

using Rule = std::vector<Key>;

std::vector<Rule> ReadRules(const fs::path& file, std::vector<std::string>& comments) {
    std::ifstream in(file);
    EXPECT_TRUE(in) << "cannot read " << file;
    std::vector<Rule> rules;
    const std::regex key(R"(\s*([A-Z]+(\{[^}]*\})?)\s*(==|!=|\+=|-=|:=|=)\s*\"([^\"]*)\"\s*,?)");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            comments.push_back(line);
            continue;
        }
        Rule rule;
        auto it = line.cbegin();
        std::smatch m;
        while (it != line.cend() &&
               std::regex_search(it, line.cend(), m, key, std::regex_constants::match_continuous)) {
            rule.push_back({m[1], m[3], m[4]});
            it = m[0].second;
        }
        EXPECT_EQ(it, line.cend()) << "unparsed rest of a rule line: " << std::string(it, line.cend());
        rules.push_back(rule);
    }
    return rules;
}

// One device of a chain: its kernel name, subsystem, driver and sysfs attributes.
struct Device {
    std::string kernel;
    std::string subsystem;
    std::string driver;
    std::map<std::string, std::string> attrs;
};

bool Glob(const std::string& pattern, const std::string& value) {
    // udev patterns are shell globs, with '|' between alternatives.
    size_t start = 0;
    for (;;) {
        const size_t bar = pattern.find('|', start);
        if (::fnmatch(pattern.substr(start, bar - start).c_str(), value.c_str(), 0) == 0) {
            return true;
        }
        if (bar == std::string::npos) {
            return false;
        }
        start = bar + 1;
    }
}

// The value a match key reads from one device; false when the device has none.
bool Value(const Device& d, const std::string& name, std::string& out) {
    if (name == "KERNEL" || name == "KERNELS") {
        out = d.kernel;
    } else if (name == "SUBSYSTEM" || name == "SUBSYSTEMS") {
        out = d.subsystem;
    } else if (name == "DRIVER" || name == "DRIVERS") {
        out = d.driver;
    } else if (name.rfind("ATTR{", 0) == 0 || name.rfind("ATTRS{", 0) == 0) {
        const std::string attr = name.substr(name.find('{') + 1, name.size() - name.find('{') - 2);
        const auto it = d.attrs.find(attr);
        if (it == d.attrs.end()) {
            return false;
        }
        out = it->second;
    } else {
        ADD_FAILURE() << "the test does not know the match key " << name;
        return false;
    }
    return true;
}

bool KeyMatches(const Device& d, const Key& k) {
    std::string value;
    const bool has = Value(d, k.name, value);
    return k.op == "==" ? has && Glob(k.value, value) : !has || !Glob(k.value, value);
}

bool IsMatch(const Key& k) { return k.op == "==" || k.op == "!="; }

bool SearchesParents(const std::string& name) {
    return name == "KERNELS" || name == "SUBSYSTEMS" || name == "DRIVERS" || name.rfind("ATTRS{", 0) == 0;
}

// udev's matching: plain keys test the event device; the parent keys (…S) must all hold on
// one and the same device of the chain.
bool RuleMatches(const Rule& rule, const std::vector<Device>& chain) {
    for (const Key& k : rule) {
        if (IsMatch(k) && !SearchesParents(k.name) && !KeyMatches(chain.front(), k)) {
            return false;
        }
    }
    for (const Device& d : chain) {
        bool all = true;
        for (const Key& k : rule) {
            if (IsMatch(k) && SearchesParents(k.name) && !KeyMatches(d, k)) {
                all = false;
            }
        }
        if (all) {
            return true;
        }
    }
    return false;
}

// The tags all matching rules add to the device.
std::vector<std::string> TagsFor(const std::vector<Rule>& rules, const std::vector<Device>& chain) {
    std::vector<std::string> tags;
    for (const Rule& rule : rules) {
        if (RuleMatches(rule, chain)) {
            for (const Key& k : rule) {
                if (k.name == "TAG" && k.op == "+=") {
                    tags.push_back(k.value);
                }
            }
        }
    }
    return tags;
}

// A USB HID device's node as udev sees it: the node, its HID device, the USB interface and
// the USB device that carries the IDs.
std::vector<Device> UsbChain(const std::string& nodeKernel, const std::string& nodeSubsystem, const std::string& vid,
                             const std::string& pid) {
    return {
        {nodeKernel, nodeSubsystem, "", {{"dev", "241:3"}}},
        {"0003:" + vid + ":" + pid + ".0007", "hid", "hid-generic", {{"country", "00"}}},
        {"1-2:1.2", "usb", "usbhid", {{"bInterfaceClass", "03"}, {"bInterfaceNumber", "02"}}},
        {"1-2", "usb", "usb", {{"idVendor", vid}, {"idProduct", pid}, {"busnum", "1"}}},
        {"usb1", "usb", "usb", {{"idVendor", "1d6b"}, {"idProduct", "0002"}}},
    };
}

TEST(UdevRule, TagsOnlyTheFootSwitchsHidrawNodesForTheSeat) {
    std::vector<std::string> comments;
    const std::vector<Rule> rules = ReadRules(RuleFile(), comments);
    ASSERT_FALSE(rules.empty());

    struct Case {
        const char* what;
        std::vector<Device> chain;
        bool tagged;
    };
    const Case cases[] = {
        {"the foot switch's hidraw node", UsbChain("hidraw3", "hidraw", "2704", "2018"), true},
        {"another hidraw node of the same foot switch", UsbChain("hidraw11", "hidraw", "2704", "2018"), true},
        {"the foot switch's keyboard event node", UsbChain("event7", "input", "2704", "2018"), false},
        {"the foot switch's USB device node", UsbChain("1-2", "usb", "2704", "2018"), false},
        {"another product of the same vendor", UsbChain("hidraw3", "hidraw", "2704", "2019"), false},
        {"another vendor's device", UsbChain("hidraw3", "hidraw", "046d", "c077"), false},
        {"a hidraw node with the IDs swapped", UsbChain("hidraw3", "hidraw", "2018", "2704"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<std::string> tags = TagsFor(rules, c.chain);
        EXPECT_EQ(std::count(tags.begin(), tags.end(), "uaccess"), c.tagged ? 1 : 0);
    }
}

TEST(UdevRule, GrantsNoModeGroupOrOwnerAndSaysWhatItDoes) {
    const fs::path file = RuleFile();
    // Read before 73-seat-late.rules, which turns the uaccess tag into the session's ACL.
    const int number = std::stoi(file.filename().string().substr(0, 2));
    EXPECT_LT(number, 73);

    std::vector<std::string> comments;
    for (const Rule& rule : ReadRules(file, comments)) {
        bool hidrawOnly = false;
        bool vendor = false;
        bool product = false;
        for (const Key& k : rule) {
            EXPECT_NE(k.name, "MODE") << "the rule must not change the node's mode";
            EXPECT_NE(k.name, "GROUP") << "the rule must not name a group";
            EXPECT_NE(k.name, "OWNER") << "the rule must not change the owner";
            EXPECT_NE(k.name, "RUN") << "the rule must not run programs";
            hidrawOnly |= k.name == "SUBSYSTEM" && k.op == "==" && k.value == "hidraw";
            vendor |= k.name == "ATTRS{idVendor}" && k.op == "==" && k.value == "2704";
            product |= k.name == "ATTRS{idProduct}" && k.op == "==" && k.value == "2018";
        }
        EXPECT_TRUE(hidrawOnly && vendor && product) << "every rule is limited to the foot switch's hidraw nodes";
    }
    std::string text;
    for (const std::string& c : comments) {
        text += c + "\n";
    }
    EXPECT_NE(text.find("grants"), std::string::npos);
    EXPECT_NE(text.find("udevadm control --reload && sudo udevadm trigger"), std::string::npos);
}

}  // namespace
}  // namespace treadle
