// The advanced view's profile buttons, through the model with a scripted file dialog on the
// virtual foot switch.
#include "settings/profile.h"
#include "support/fakes.h"
#include "support/temp_dir.h"
#include "window/advanced_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace treadle {
namespace {

using testing::TempDir;
using testing::WindowFixture;

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

Control& Button(USB& w, const char* name) {
    Control* c = w.Find(name);
    EXPECT_NE(c, nullptr) << name;
    return *c;
}

void ClickKey(USB& w, const std::string& caption) {
    for (int i = 0; i < w.Command_key.Count(); ++i) {
        if (w.Command_key[i].Text() == caption) {
            w.UserClick(w.Command_key[i]);
            return;
        }
    }
    ADD_FAILURE() << "no key " << caption;
}

// The timer's first tick finds the virtual foot switch and connects without a word.
void Connect(WindowFixture& f) {
    f.window->TimerTick();
    EXPECT_TRUE(f.window->DeviceDetected);
}

bool Logged(const WindowFixture& f, const std::string& message) {
    const auto& log = f.Log();
    return std::find(log.begin(), log.end(), f.Stamped(message)) != log.end();
}

// Every kind of switch: a key with left modifiers, a key with a right one, two clicks.
void ProgramSwitches(WindowFixture& f) {
    USB& w = *f.window;
    w.UserEditText(w.Combo1, "1");
    w.UserClick(w.Command_ctrl);
    w.UserClick(w.Command_shift);
    ClickKey(w, "F1");
    w.UserClick(w.Command_ctrl);
    w.UserClick(w.Command_shift);
    w.UserEditText(w.Combo1, "2");
    w.UserClick(w.Command_alt_r);
    ClickKey(w, "A");
    w.UserClick(w.Command_alt_r);
    w.UserEditText(w.Combo1, "3");
    w.UserClick(w.Command_R_btn);
    w.UserEditText(w.Combo1, "4");
    w.UserClick(w.Command_M_btn);
}

struct RoundTrip {
    const char* name;
    const char* delay;
    int longPress;
    bool setRunMode;  // then power-on run on with single playback, which sets the delay to 0
    std::vector<const char*> expectedLines;
};

TEST(ProfileWindow, SaveThenLoadWritesBackEverySlotTheWindowWrote) {
    const RoundTrip cases[] = {
        {"delay and long press",
         "250",
         1,
         false,
         {"1 = \"ctrl+shift+f1\"", "3 = \"mouse-right\"", "4 = \"mouse-middle\"", "delay_ms = 250", "long_press = true",
          "power_on_run = true", "playback = \"loop\""}},
        {"run mode",
         "0",
         0,
         true,
         {"delay_ms = 0", "long_press = false", "power_on_run = true", "playback = \"single\""}},
    };
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WindowFixture f({}, {Language::English, true});
        Connect(f);
        USB& w = *f.window;
        w.UserEditText(w.Text_delay, c.delay);
        w.UserSetCheck(w.Check1, c.longPress);
        ProgramSwitches(f);
        if (c.setRunMode) {
            w.UserClick(w.Command_auto_run);
            w.UserClick(w.Option1);
        }
        const SlotTable programmed = f.device->Slots();
        const SlotKinds kinds = f.device->Kinds();

        const std::string path = (dir / "pedals.toml").string();
        f.files.answers.push_back(path);
        w.UserClick(Button(w, kSaveProfileButton));
        ASSERT_EQ(f.files.asked.size(), 1u);
        EXPECT_EQ(f.files.asked[0].kind, FileDialogKind::Save);
        EXPECT_EQ(f.files.asked[0].title, "Save profile…");
        EXPECT_EQ(f.files.asked[0].extension, ".toml");
        EXPECT_TRUE(Logged(f, "Saved the profile to " + path));
        const std::string text = ReadText(path);
        for (const char* line : c.expectedLines) {
            EXPECT_NE(text.find(std::string("\n") + line + "\n"), std::string::npos) << line << "\n" << text;
        }

        w.UserClick(w.Command1);  // clear all, confirmed by the scripted box
        ASSERT_NE(f.device->Slots(), programmed);
        f.files.answers.push_back(path);
        w.UserClick(Button(w, kLoadProfileButton));
        EXPECT_EQ(f.files.asked.back().kind, FileDialogKind::Open);
        EXPECT_EQ(f.device->Slots(), programmed);
        for (int slot = 0; slot < kSwitchCount; ++slot) {
            EXPECT_EQ(f.device->Kinds()[static_cast<size_t>(slot)], kinds[static_cast<size_t>(slot)]) << slot;
        }
        EXPECT_EQ(f.Log().back().rfind(f.Stamped("Loaded the profile " + path + ": switch 1 = ctrl+shift+f1; "), 0), 0u)
            << f.Log().back();
        EXPECT_EQ(w.Text_delay.Text(), c.setRunMode ? "0" : c.delay);
        EXPECT_EQ(w.Check1.Value(), c.longPress);
        EXPECT_EQ(f.boxes.shown.size(), 1u);  // only clear all's question
    }
}

// The frames and pauses of treadlectl apply for tests/cli/data/office.toml, as its dry run
// prints them.
TEST(ProfileWindow, LoadingWritesTheFramesAndPausesOfApply) {
    TempDir dir;
    WindowFixture f({}, {Language::English, true});
    Connect(f);
    const std::string path = (dir / "office.toml").string();
    WriteText(path,
              "[switches]\n1 = \"ctrl+a\"\n3 = \"mouse-left\"\n4 = \"f13\"\n\n[settings]\ndelay_ms = 0\n"
              "long_press = true\npower_on_run = false\nplayback = \"single\"\n");
    const size_t before = f.device->Received().size();
    f.sleeper.sleeps.clear();
    ASSERT_TRUE(f.window->LoadProfile(path));
    std::vector<std::string> frames;
    for (size_t i = before; i < f.device->Received().size(); ++i) {
        const auto& r = f.device->Received()[i];
        frames.push_back(ByteListText(std::span(r.data(), std::min<size_t>(r.size(), 8))));
    }
    EXPECT_EQ(frames, (std::vector<std::string>{"00 AA 01 00 01 04 00 00", "00 AA 02 08 FE 01 00 00",
                                                "00 AA 01 0C 00 68 00 00", "00 AA 01 7C 79 01 00 00",
                                                "00 AA 01 78 79 01 01 00", "00 AA 01 7C 00 00 00 00"}));
    EXPECT_EQ(f.sleeper.sleeps, (std::vector<int>{50, 50, 50}));
    EXPECT_EQ(f.Log().back(), f.Stamped("Loaded the profile " + path +
                                        ": switch 1 = ctrl+a; switch 3 = mouse-left; switch 4 = f13; key delay 0 ms; "
                                        "long press on; power-on run off, single playback"));
    EXPECT_EQ(f.window->Option1.Value(), 1);
}

struct Broken {
    const char* text;
    const char* where;  // line and key the message names
};

TEST(ProfileWindow, ABrokenProfileWritesNothingAndSaysWhereInEitherLanguage) {
    const Broken cases[] = {
        {"[switches]\n5 = \"a\"\n", ":2: switches.5: switch must be 1 to 4"},
        {"[switches]\n1 = \"ctrl+f1\"\n2 = ctrl+f2\n", ":3: switches.2: the value ctrl+f2 has no quotes"},
        {"[settings]\nlong_press = true\ndelay_ms = 70000\n", ":3: settings.delay_ms: must be 0 to 65535"},
    };
    const std::pair<Language, std::string> languages[] = {
        {Language::Chinese, "配置有误，设备没有改动："},
        {Language::English, "The profile is wrong; nothing was written to the device: "},
    };
    for (const auto& [language, lead] : languages) {
        for (const Broken& c : cases) {
            SCOPED_TRACE(std::string(LanguageCode(language)) + " " + c.where);
            TempDir dir;
            WindowFixture f({}, {language, true});
            Connect(f);
            const std::string path = (dir / "broken.toml").string();
            WriteText(path, c.text);
            const size_t before = f.device->Received().size();
            f.files.answers.push_back(path);
            f.window->UserClick(Button(*f.window, kLoadProfileButton));
            EXPECT_EQ(f.device->Received().size(), before);
            const std::string error = ReadProfile(path).error;
            EXPECT_EQ(error.rfind(path + c.where, 0), 0u) << error;
            EXPECT_EQ(f.Log().back(), f.Stamped(lead + error));
            ASSERT_EQ(f.boxes.shown.size(), 1u);
            EXPECT_EQ(f.boxes.shown[0].text, lead + error);
        }
    }
}

TEST(ProfileWindow, AMissingProfileOrACancelledDialogWritesNothing) {
    TempDir dir;
    WindowFixture f({}, {Language::Chinese, true});
    Connect(f);
    const size_t before = f.device->Received().size();
    const size_t lines = f.Log().size();
    f.window->UserClick(Button(*f.window, kLoadProfileButton));  // the dialog is cancelled
    f.window->UserClick(Button(*f.window, kSaveProfileButton));
    EXPECT_EQ(f.Log().size(), lines);
    const std::string path = (dir / "none.toml").string();
    f.files.answers.push_back(path);
    f.window->UserClick(Button(*f.window, kLoadProfileButton));
    EXPECT_EQ(f.device->Received().size(), before);
    EXPECT_EQ(f.Log().back().rfind(f.Stamped("无法读取配置，设备没有改动：cannot read the profile " + path), 0), 0u)
        << f.Log().back();
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(ProfileWindow, SavingSaysWhichSwitchesAndSettingsTheWindowDidNotWrite) {
    const std::pair<Language, std::vector<std::string>> cases[] = {
        {Language::English,
         {"Switch 1 was not written since this window started: the profile leaves it out",
          "Switch 3 was not written since this window started: the profile leaves it out"}},
        {Language::Chinese,
         {"本窗口启动以来没有写入开关 1，配置中没有它", "本窗口启动以来没有写入开关 4，配置中没有它"}},
    };
    for (const auto& [language, lines] : cases) {
        SCOPED_TRACE(LanguageCode(language));
        TempDir dir;
        WindowFixture f({}, {language, true});
        Connect(f);
        f.window->UserEditText(f.window->Combo1, "2");
        ClickKey(*f.window, "A");
        // It gets .toml, also in a folder with a dot in its name.
        std::filesystem::create_directory(dir / ".config");
        ASSERT_TRUE(f.window->SaveProfile((dir / ".config" / "only-two").string()));
        const std::string text = ReadText(dir / ".config" / "only-two.toml");
        EXPECT_NE(text.find("# switch 1 was not written since the window started; left out\n"), std::string::npos);
        EXPECT_NE(text.find("[switches]\n2 = \"a\"\n\n"), std::string::npos) << text;
        for (const std::string& line : lines) {
            EXPECT_TRUE(Logged(f, line)) << line;
        }
        // The run mode went with the key's delay frame; a fresh window wrote no settings at all.
        WindowFixture fresh({}, {language, true});
        Connect(fresh);
        ASSERT_TRUE(fresh.window->SaveProfile((dir / "nothing.toml").string()));
        const ProfileRead read = ReadProfile((dir / "nothing.toml").string());
        ASSERT_TRUE(read.ok()) << read.error;
        EXPECT_TRUE(read.profile.switches.empty());
        EXPECT_FALSE(read.profile.runMode);
        EXPECT_TRUE(Logged(fresh, Text(Msg::ProfileLongPressUnknown, language)));
        EXPECT_TRUE(Logged(fresh, Text(Msg::ProfileDelayUnknown, language)));
    }
}

// A frame typed into the frame text box counts as the device took it: a later write to a slot
// replaces what an earlier one stored there, and a cleared switch is left out.
TEST(ProfileWindow, TheSavedProfileFollowsTypedFramesAndClearing) {
    TempDir dir;
    WindowFixture f({}, {Language::English, true});
    Connect(f);
    USB& w = *f.window;
    ProgramSwitches(f);
    for (const char* typed : {"aa 02 00 FE 04 00 00", "AA 01 04 FF FF FF FF", "aa 01 08 00 4F"}) {
        w.UserEditText(w.TextIW, typed);
        w.UserClick(w.Iwrite);
    }
    ASSERT_TRUE(w.SaveProfile((dir / "typed.toml").string()));
    const ProfileRead read = ReadProfile((dir / "typed.toml").string());
    ASSERT_TRUE(read.ok()) << read.error;
    std::map<int, std::string> switches;
    for (const auto& [number, choice] : read.profile.switches) {
        switches[number] = KeyCombinationText(choice);
    }
    EXPECT_EQ(switches, (std::map<int, std::string>{{1, "mouse-middle"}, {3, "right"}, {4, "mouse-middle"}}));
}

TEST(ProfileWindow, AFailedSaveIsReportedAndNeverCalledASuccess) {
    TempDir dir;
    WriteText(dir / "plain-file", "x");
    std::filesystem::create_directory(dir / "read-only");
    std::filesystem::permissions(dir / "read-only",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    std::vector<std::string> targets{(dir / "plain-file" / "p.toml").string()};
    // Where the folder's permissions hold (not for the super-user), it is tried as well.
    if (!std::ofstream(dir / "read-only" / "probe")) {
        targets.push_back((dir / "read-only" / "p.toml").string());
    }
    for (Language language : {Language::English, Language::Chinese}) {
        for (const std::string& target : targets) {
            SCOPED_TRACE(target);
            WindowFixture f({}, {language, true});
            Connect(f);
            f.files.answers.push_back(target);
            f.window->UserClick(Button(*f.window, kSaveProfileButton));
            const std::string lead = language == Language::English ? "Cannot save the profile " : "无法保存配置 ";
            EXPECT_EQ(f.Log().back().rfind(f.Stamped(lead + target + (language == Language::English ? ": " : "：")), 0),
                      0u)
                << f.Log().back();
            ASSERT_EQ(f.boxes.shown.size(), 1u);
            EXPECT_EQ(f.Stamped(f.boxes.shown[0].text), f.Log().back());
            EXPECT_FALSE(std::filesystem::exists(target));
        }
    }
    std::filesystem::permissions(dir / "read-only", std::filesystem::perms::owner_all);
}

// A profile saved over the virtual foot switch's own files would break them: each is refused in
// the words of treadlectl export, in the window's language, and left as it was.
TEST(ProfileWindow, SaveRefusesTheVirtualFootSwitchsOwnFiles) {
    TempDir dir;
    const std::string state = (dir / "s.state").string();
    const std::string capture = (dir / "c.capture").string();
    struct Case {
        std::string target;
        const char* english;
        const char* chinese;
    };
    const Case cases[] = {
        {state, "the state file ", "状态文件 "},
        {state + ".lock", "the state file's lock ", "状态文件的锁 "},
        {state + ".presses", "the state file's press queue ", "状态文件的踏板队列 "},
        {capture, "the capture file ", "捕获文件 "},
    };
    for (Language language : {Language::English, Language::Chinese}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.target);
            WindowFixture f({.stateFile = state, .captureFile = capture}, {language, true});
            Connect(f);
            ClickKey(*f.window, "F1");
            WriteText(state + ".presses", "");
            const std::string before = ReadText(c.target);
            f.files.answers.push_back(c.target);
            f.window->UserClick(Button(*f.window, kSaveProfileButton));
            EXPECT_EQ(f.Log().back(), f.Stamped(language == Language::English
                                                    ? "Cannot save the profile " + c.target + ": it is " + c.english +
                                                          c.target + "; give the profile another name"
                                                    : "无法保存配置 " + c.target + "：它是" + c.chinese + c.target +
                                                          "；请给配置另起一个名字"));
            EXPECT_EQ(f.boxes.shown.size(), 1u);
            EXPECT_EQ(ReadText(c.target), before);
        }
    }
}

}  // namespace
}  // namespace treadle
