#include "settings/profile.h"

#include <gtest/gtest.h>

namespace treadle::cli {
namespace {

KeyChoice Key(const char* text) {
    const KeyParse parsed = ParseKey(text);
    EXPECT_TRUE(parsed.ok()) << parsed.error;
    return parsed.choice;
}

struct GoodProfile {
    const char* name;
    const char* text;
    Profile expected;
};

Profile Make(std::map<int, KeyChoice> switches, std::int64_t delay, bool longPress,
             std::optional<RunMode> mode = std::nullopt) {
    Profile p;
    p.switches = std::move(switches);
    p.delayMs = delay;
    p.longPress = longPress;
    p.runMode = mode;
    return p;
}

TEST(Profile, GoodFiles) {
    const GoodProfile cases[] = {
        {"all four and every setting",
         "[switches]\n1 = \"ctrl+shift+f1\"\n2 = \"mouse-left\"\n3 = \"F13\"\n4 = \"ralt+0x87\"\n\n"
         "[settings]\ndelay_ms = 0\nlong_press = true\npower_on_run = false\nplayback = \"single\"\n",
         Make({{1, Key("ctrl+shift+f1")}, {2, Key("mouse-left")}, {3, Key("f13")}, {4, Key("ralt+0x87")}}, 0, true,
              RunMode{false, false})},
        {"a subset of switches, no settings table", "[switches]\n3 = \"space\"\n", Make({{3, Key("space")}}, 0, false)},
        {"settings only", "[settings]\ndelay_ms = 65535\nlong_press = false\n", Make({}, 65535, false)},
        {"a delay with the run mode the delay frame carries",
         "[settings]\ndelay_ms = 300\nlong_press = false\npower_on_run = true\nplayback = \"loop\"\n",
         Make({}, 300, false, RunMode{true, true})},
        {"comments and dotted keys", "# office pedals\nswitches.1 = \"a\" # left\nsettings.delay_ms = 5\n",
         Make({{1, Key("a")}}, 5, false)},
    };
    for (const GoodProfile& c : cases) {
        const ProfileRead read = ParseProfile(c.text, "p.toml");
        ASSERT_TRUE(read.ok()) << c.name << ": " << read.error;
        EXPECT_EQ(read.profile, c.expected) << c.name;
        // What ProfileText writes reads back as the same profile.
        const ProfileRead again = ParseProfile(ProfileText(read.profile, "note one\nnote two"), "again.toml");
        ASSERT_TRUE(again.ok()) << c.name << ": " << again.error;
        EXPECT_EQ(again.profile, read.profile) << c.name;
    }
}

struct BadProfile {
    const char* text;
    const char* error;  // the whole message must start with this
};

TEST(Profile, BadFilesNameFileLineAndKey) {
    const BadProfile cases[] = {
        {"[switches]\n1 = \"ctrl+foo\"\n", "p.toml:2: switches.1: unknown key \"foo\""},
        {"[switches]\n5 = \"a\"\n", "p.toml:2: switches.5: switch must be 1 to 4"},
        {"[switches]\n0 = \"a\"\n", "p.toml:2: switches.0: switch must be 1 to 4"},
        {"[switches]\n01 = \"a\"\n", "p.toml:2: switches.01: switch must be 1 to 4"},
        {"[switches]\n1 = 4\n", "p.toml:2: switches.1: must be a key text in quotes"},
        {"[switches]\n\n1 = \"a+b\"\n", "p.toml:3: switches.1: two keys \"a\" and \"b\""},
        {"[switches]\n2 = \"ctrl+mouse-left\"\n", "p.toml:2: switches.2: a mouse click takes no modifiers"},
        {"[settings]\ndelay_ms = 70000\n", "p.toml:2: settings.delay_ms: must be 0 to 65535 milliseconds, not 70000"},
        {"[settings]\ndelay_ms = -1\n", "p.toml:2: settings.delay_ms: must be 0 to 65535"},
        {"[settings]\ndelay_ms = 1.5\n", "p.toml:2: settings.delay_ms: must be a whole number"},
        // Beyond any integer: refused, never converted (found by fuzzing).
        {"[settings]\ndelay_ms = 3.3e123\n", "p.toml:2: settings.delay_ms: must be a whole number"},
        {"[settings]\ndelay_ms = inf\n", "p.toml:2: settings.delay_ms: must be a whole number"},
        {"[settings]\ndelay_ms = \"300\"\n", "p.toml:2: settings.delay_ms: must be a whole number"},
        {"[settings]\nlong_press = \"on\"\n", "p.toml:2: settings.long_press: must be true or false"},
        {"[settings]\npower_on_run = 1\nplayback = \"loop\"\n", "p.toml:2: settings.power_on_run: must be true"},
        {"[settings]\npower_on_run = true\nplayback = \"twice\"\n",
         "p.toml:3: settings.playback: must be \"loop\" or \"single\""},
        {"[settings]\n\nplayback = \"loop\"\n", "p.toml:3: settings.playback: power_on_run and playback go together"},
        {"[settings]\npower_on_run = true\n", "p.toml:2: settings.power_on_run: power_on_run and playback go together"},
        {"[settings]\ndelay = 5\n", "p.toml:2: settings.delay: unknown"},
        {"[switch]\n1 = \"a\"\n", "p.toml:1: switch: unknown; a profile has the tables [switches] and [settings]"},
        {"switches = \"a\"\n", "p.toml:1: switches: must be a table"},
        {"[switches]\n1 = \"a\"\n1 = \"b\"\n", "p.toml:3: "},
        {"[switches\n", "p.toml:1: "},
        // A text without its quotes: the key and what to write, not the parser's own words.
        {"[switches]\n1 = ctrl+f1\n",
         "p.toml:2: switches.1: the value ctrl+f1 has no quotes: text values are quoted, as in 1 = \"ctrl+f1\""},
        {"# pedals\n[switches]\n1 = \"a\"\n\n2 = mouse-left # click\n",
         "p.toml:5: switches.2: the value mouse-left has no quotes: text values are quoted, as in 2 = \"mouse-left\""},
        {"[settings]\nplayback = loop\n", "p.toml:2: settings.playback: the value loop has no quotes"},
        // Words that begin like false, true, inf or nan, which the parser takes for one.
        {"[switches]\n1 = f1\n",
         "p.toml:2: switches.1: the value f1 has no quotes: text values are quoted, as in 1 = \"f1\""},
        {"[switches]\n1 = f12 # x\n", "p.toml:2: switches.1: the value f12 has no quotes"},
        {"[switches]\n2 = tab\n", "p.toml:2: switches.2: the value tab has no quotes"},
        {"[switches]\n3 = insert\n", "p.toml:2: switches.3: the value insert has no quotes"},
        {"[switches]\n4 = n\n", "p.toml:2: switches.4: the value n has no quotes"},
        {"switches = { 1 = \"a\", 2 = f1 }\n", "p.toml:1: switches.2: the value f1 has no quotes"},
        {"[switches]\r\n1 = f1\r\n",
         "p.toml:2: switches.1: the value f1 has no quotes: text values are quoted, as in 1 = \"f1\""},
        // Where a number or true/false belongs, quotes would be the wrong advice.
        {"[settings]\ndelay_ms = abc\n", "p.toml:2: Error while parsing"},
        {"", "p.toml: the profile sets nothing"},
        {"# only a comment\n", "p.toml: the profile sets nothing"},
        {"[settings]\ndelay_ms = 300\npower_on_run = false\nplayback = \"loop\"\n",
         "p.toml:3: settings.power_on_run: a key delay of 300 ms cannot go with power-on run off with loop playback"},
        {"[settings]\npower_on_run = true\nplayback = \"single\"\ndelay_ms = 1\n",
         "p.toml:2: settings.power_on_run: a key delay of 1 ms cannot go with power-on run on with single playback"},
    };
    for (const BadProfile& c : cases) {
        const ProfileRead read = ParseProfile(c.text, "p.toml");
        ASSERT_FALSE(read.ok()) << c.text;
        EXPECT_EQ(read.error.rfind(c.error, 0), 0u) << "text:\n" << c.text << "\nerror: " << read.error;
        EXPECT_EQ(read.profile, Profile{}) << c.text;
    }
}

// A file nested thousands of levels deep once overflowed the parser's stack; a key given twice
// came out garbled ("'"1"1" '"); an encoding other than UTF-8 gave the parser's raw text.
TEST(Profile, DeepNestingKeysGivenTwiceAndOtherEncodingsAreRefusedPlainly) {
    std::string dotted = "a";
    std::string header = "[a";
    for (int i = 0; i < 35000; ++i) {
        dotted += ".a";
        header += ".a";
    }
    const std::string kTooDeep = "nested more than 16 levels deep; a profile has two";
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {"[settings]\ndelay_ms = 0\n" + dotted + " = 1\n", "p.toml:3: " + kTooDeep},
        {header + "]\n", "p.toml:1: " + kTooDeep},
        {"[switches]\n1 = \"a\"\n[[" + header.substr(1) + "]]\n", "p.toml:3: " + kTooDeep},
        {"x = " + std::string(35000, '[') + std::string(35000, ']') + "\n", "p.toml:1: " + kTooDeep},
        {"x = [\n" + std::string(17, '[') + "\n" + std::string(17, ']') + "]\n", "p.toml:2: " + kTooDeep},
        {"x = {a = {b = {c = {d = {e = {f = {g = {h = {i = {j = {k = {l = {m = {n = {o = {p = {q = "
         "1}}}}}}}}}}}}}}}}}\n",
         "p.toml:1: " + kTooDeep},
        {"[switches]\n\"1\" = \"a\"\n\"1\" = \"b\"\n", "p.toml:3: switches.1: given twice; give each key once"},
        {"[settings]\ndelay_ms = 1\n delay_ms = 2\n", "p.toml:3: settings.delay_ms: given twice; give each key once"},
        {"switches.1 = \"a\"\nswitches.1 = \"b\"\n", "p.toml:2: switches.1: given twice; give each key once"},
        {"[switches]\n1 = \"a\"\n[switches]\n", "p.toml:3: [switches]: the table is given twice; give each table once"},
        {std::string("\xFF\xFE[\0s\0", 6),
         "p.toml: the file is UTF-16 text; a profile is UTF-8 text: save it as UTF-8"},
        {std::string("[\0s\0w\0", 6), "p.toml: the file is UTF-16 text; a profile is UTF-8 text: save it as UTF-8"},
        {std::string("[switches]\0\n", 12), "p.toml: the file is not text (it holds NUL bytes)"},
        {std::string("\x7f"
                     "ELF\x02\x01\x01\0\0\0",
                     10),
         "p.toml: the file is not text (it holds NUL bytes)"},
        {"x = " + std::string(17, '[') + std::string(17, ']') + "\n", "p.toml:1: " + kTooDeep},
        // Sixteen levels are read, and refused for what they say, not for their depth.
        {"x = " + std::string(16, '[') + std::string(16, ']') + "\n", "p.toml:1: x: "},
    };
    for (const auto& c : cases) {
        const ProfileRead read = ParseProfile(c.text, "p.toml");
        ASSERT_FALSE(read.ok()) << c.text.substr(0, 80);
        EXPECT_EQ(read.error.rfind(c.error, 0), 0u) << "text:\n" << c.text.substr(0, 80) << "\nerror: " << read.error;
    }
}

// What nesting does not count: brackets and dots inside strings and comments, and the dots
// of values; a UTF-8 byte order mark is UTF-8.
TEST(Profile, DotsAndBracketsOfStringsCommentsAndValuesAreNoNesting) {
    const std::string brackets(40, '[');
    const std::string dots = "a.b.c.d.e.f.g.h.i.j.k.l.m.n.o.p.q.r.s";
    const std::string texts[] = {
        "[switches] # " + brackets + " " + dots + "\n1 = \"a\"\n",
        "[switches]\n1 = \"a\"\n[settings]\ndelay_ms = 0 # " + dots + "\n",
        " + brackets +  = 1\n[switches]\n1 = \"a\"\n",
        "\xEF\xBB\xBF[switches]\n1 = \"a\"\n",
    };
    for (const std::string& text : texts) {
        const ProfileRead read = ParseProfile(text, "p.toml");
        EXPECT_EQ(read.error.find("nested"), std::string::npos) << text << "\n" << read.error;
        EXPECT_EQ(read.error.find("UTF-16"), std::string::npos) << text << "\n" << read.error;
    }
    EXPECT_TRUE(ParseProfile(texts[0], "p.toml").ok()) << ParseProfile(texts[0], "p.toml").error;
    EXPECT_TRUE(ParseProfile(texts[1], "p.toml").ok()) << ParseProfile(texts[1], "p.toml").error;
    EXPECT_TRUE(ParseProfile(texts[3], "p.toml").ok()) << ParseProfile(texts[3], "p.toml").error;
    // Values with many dots on one line are not keys.
    const ProfileRead floats = ParseProfile(
        "[settings]\nx = [1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0, 1.1, 1.2, 1.3, 1.4, 1.5, 1.6, 1.7, "
        "1.8, 1.9]\n",
        "p.toml");
    EXPECT_EQ(floats.error.rfind("p.toml:2: settings.x: unknown", 0), 0u) << floats.error;
}

TEST(Profile, TheConflictMessageSaysWhy) {
    const ProfileRead read =
        ParseProfile("[settings]\ndelay_ms = 300\npower_on_run = false\nplayback = \"single\"\n", "p.toml");
    ASSERT_FALSE(read.ok());
    EXPECT_NE(read.error.find("one slot (7C)"), std::string::npos) << read.error;
    EXPECT_NE(read.error.find("sets the delay back to 0"), std::string::npos) << read.error;
}

TEST(Profile, RunModeFrameRedundantOnlyWithADelayAndTheDelayFramesMode) {
    Profile p;
    EXPECT_FALSE(RunModeFrameRedundant(p));
    p.runMode = RunMode{true, true};
    EXPECT_FALSE(RunModeFrameRedundant(p));  // delay 0: the run-mode frame keeps it 0
    p.delayMs = 10;
    EXPECT_TRUE(RunModeFrameRedundant(p));
}

TEST(Profile, MissingFile) {
    const ProfileRead read = ReadProfile("/nonexistent/treadle/profile.toml");
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.error, "cannot read the profile /nonexistent/treadle/profile.toml: No such file or directory");
    EXPECT_TRUE(read.unreadable);
}

}  // namespace
}  // namespace treadle::cli
