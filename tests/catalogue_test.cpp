#include "text/catalogue.h"

#include "support/fakes.h"
#include "window/command_line.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

namespace treadle {
namespace {

using testing::WindowFixture;

// The arguments a text takes: the digits after each %.
std::set<char> Placeholders(const std::string& text) {
    std::set<char> found;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9') {
            found.insert(text[i + 1]);
        }
    }
    return found;
}

TEST(Catalogue, EveryEntryHasBothLanguagesAndTheSameArguments) {
    std::set<std::string> names;
    for (const CatalogueEntry& e : kCatalogue) {
        SCOPED_TRACE(e.name);
        EXPECT_TRUE(names.insert(e.name).second) << "name used twice";
        ASSERT_NE(e.chinese, nullptr);
        ASSERT_NE(e.english, nullptr);
        EXPECT_STRNE(e.chinese, "");
        EXPECT_STRNE(e.english, "");
        EXPECT_EQ(Placeholders(e.chinese), Placeholders(e.english));
        EXPECT_EQ(Text(e.id, Language::Chinese), std::string(e.chinese));
        EXPECT_EQ(Text(e.id, Language::English), std::string(e.english));
        // English texts are plain ASCII, so any font shows them, but for the ellipsis of the
        // buttons that open a dialog ("Save profile…"), which every font of the window has.
        std::string english(e.english);
        for (size_t at = english.find("…"); at != std::string::npos; at = english.find("…")) {
            english.replace(at, std::string("…").size(), "...");
        }
        for (unsigned char c : english) {
            EXPECT_LT(c, 0x80) << e.english;
        }
    }
    EXPECT_EQ(names.size(), static_cast<size_t>(Msg::Count));
}

TEST(Catalogue, FillReplacesEachPlaceholderOnce) {
    struct Case {
        const char* text;
        std::vector<std::string> arguments;
        const char* filled;
    };
    const Case cases[] = {
        {"写入数据：%1", {"aa 01"}, "写入数据：aa 01"},
        {"<%1> < %2 >", {"2", "Ctrl + F1"}, "<2> < Ctrl + F1 >"},
        {"%2 then %1", {"a", "b"}, "b then a"},
        {"%1", {"%2"}, "%2"},              // an argument is not filled again
        {"%1 and %3", {"x"}, "x and %3"},  // a missing argument leaves its mark
        {"100%", {"x"}, "100%"},
        {"", {}, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Fill(c.text, c.arguments), c.filled) << c.text;
    }
}

TEST(Catalogue, LanguageNames) {
    EXPECT_EQ(LanguageFromName("en"), Language::English);
    EXPECT_EQ(LanguageFromName("en_GB.UTF-8"), Language::English);
    EXPECT_EQ(LanguageFromName("zh"), Language::Chinese);
    EXPECT_EQ(LanguageFromName("zh_CN"), Language::Chinese);
    for (const char* bad : {"", "fr", "english", "EN", "e", "zhx"}) {
        EXPECT_EQ(LanguageFromName(bad), std::nullopt) << bad;
    }
    EXPECT_STREQ(GuideFileName(Language::English), "guide.html");
    EXPECT_STREQ(GuideFileName(Language::Chinese), "guide.zh.html");
}

TEST(WindowCommandLine, LanguageAndAdvancedView) {
    struct Case {
        std::vector<std::string> args;
        std::optional<Language> language;
        bool advanced;
    };
    const Case cases[] = {
        {{}, std::nullopt, false},
        {{"--lang", "en"}, Language::English, false},
        {{"--lang=zh", "--advanced"}, Language::Chinese, true},
        {{"--advanced", "--virtual", "--lang", "en"}, Language::English, true},
    };
    for (const Case& c : cases) {
        const ParsedCommandLine p = ParseCommandLine(c.args);
        ASSERT_TRUE(p.ok()) << p.error;
        EXPECT_EQ(p.view.language, c.language);
        EXPECT_EQ(p.view.advanced, c.advanced);
    }
    const std::pair<std::vector<std::string>, const char*> bad[] = {
        {{"--lang", "fr"}, "unknown language 'fr' for --lang: use zh (Chinese) or en (English)"},
        {{"--lang="}, "unknown language '' for --lang"},
        {{"--lang"}, "--lang needs a language"},
        {{"--lang", "en", "--lang", "zh"}, "--lang given twice"},
    };
    for (const auto& [args, message] : bad) {
        const ParsedCommandLine p = ParseCommandLine(args);
        EXPECT_FALSE(p.ok());
        EXPECT_NE(p.error.find(message), std::string::npos) << p.error;
    }
    EXPECT_NE(UsageText("treadle").find("--lang"), std::string::npos);
    EXPECT_NE(UsageText("treadle").find("--advanced"), std::string::npos);
}

TEST(WindowCommandLine, TheOptionWinsOverTheEnvironment) {
    struct Case {
        std::optional<Language> option;
        const char* environment;
        Language chosen;
        bool warns;
    };
    const Case cases[] = {
        {std::nullopt, nullptr, Language::Chinese, false},
        {std::nullopt, "", Language::Chinese, false},
        {std::nullopt, "en", Language::English, false},
        {std::nullopt, "en_US.UTF-8", Language::English, false},
        {Language::Chinese, "en", Language::Chinese, false},
        {Language::English, "zh", Language::English, false},
        {std::nullopt, "klingon", Language::Chinese, true},
        {Language::English, "klingon", Language::English, false},  // not looked at
    };
    for (const Case& c : cases) {
        std::string warning = "stale";
        ViewOptions view;
        view.language = c.option;
        EXPECT_EQ(ChooseLanguage(view, c.environment, warning), c.chosen);
        EXPECT_EQ(!warning.empty(), c.warns) << warning;
        if (c.warns) {
            EXPECT_NE(warning.find("TREADLE_LANG='klingon'"), std::string::npos) << warning;
        }
    }
}

// The window's captions and the lines of its actions follow its language; Chinese stays the
// default.
TEST(WindowLanguage, CaptionsFollowTheLanguage) {
    const std::pair<const char*, Msg> captions[] = {
        {"Label3", Msg::StatusNoDevice},     {"Label6", Msg::SwitchSelection},   {"Label7", Msg::DefaultSwitch},
        {"Check1", Msg::LongPressOff},       {"Iwrite", Msg::ManualWrite},       {"Label5", Msg::DelayCaption},
        {"Frame3", Msg::MouseButtons},       {"Command_L_btn", Msg::LeftButton}, {"Command_M_btn", Msg::MiddleButton},
        {"Command_R_btn", Msg::RightButton}, {"Label4", Msg::StatusInformation}, {"Clear", Msg::ClearLog},
        {"contion", Msg::ConnectDevice},     {"Frame4", Msg::ParameterSettings}, {"Command_auto_run", Msg::PowerOnRun},
        {"Option2", Msg::LoopPlayback},      {"Option1", Msg::SinglePlayback},   {"Command1", Msg::ClearAllKeys},
        {"Command2", Msg::ConfirmDelay},
    };
    WindowFixture plain;
    WindowFixture english({}, {Language::English, false});
    for (const auto& [name, id] : captions) {
        EXPECT_EQ(plain.window->Find(name)->Text(), Text(id, Language::Chinese)) << name;
        EXPECT_EQ(english.window->Find(name)->Text(), Text(id, Language::English)) << name;
        EXPECT_NE(plain.window->Find(name)->Text(), english.window->Find(name)->Text()) << name;
    }
    // Texts that are no language's stay.
    for (const char* name : {"Label8", "Label11", "TextIW", "TextVID", "Combo1", "Text_delay"}) {
        EXPECT_EQ(plain.window->Find(name)->Text(), english.window->Find(name)->Text()) << name;
    }
    EXPECT_EQ(english.window->Command_key[0].Text(), "F1");

    english.window->Timer1_Timer();
    EXPECT_EQ(english.window->Label3.Text(), "Connected!");
    english.device->Unplug();
    english.window->Timer1_Timer();
    EXPECT_EQ(english.window->Label3.Text(), "No device!");
}

TEST(WindowLanguage, LogLinesAndBoxesFollowTheLanguage) {
    struct Case {
        const char* what;
        std::function<void(USB&, testing::FakeBoxes&)> act;
        const char* chinese;
        const char* english;
    };
    const Case cases[] = {
        {"key before connecting", [](USB& w, testing::FakeBoxes&) { w.Command_key_Click(0); }, "写入失败，请先连接。",
         "Write failed, please connect first."},
        {"key",
         [](USB& w, testing::FakeBoxes&) {
             w.Timer1_Timer();
             w.Command_ctrl_Click();
             w.Command_key_Click(0);
         },
         "成功在开关 <1> 中写入< Ctrl + F1 >", "Wrote < Ctrl + F1 > to switch <1>"},
        {"mouse",
         [](USB& w, testing::FakeBoxes&) {
             w.Timer1_Timer();
             w.Combo1.SetText("3");
             w.Command_R_btn_Click();
         },
         "成功在开关 < 3 > 写入鼠标 < 右键单击 > ", "Wrote mouse < right click > to switch < 3 >"},
        {"bad switch",
         [](USB& w, testing::FakeBoxes&) {
             w.Timer1_Timer();
             w.Combo1.SetText("7");
             w.Command_L_btn_Click();
         },
         "写入失败，请选择开关 1 到 4。", "Write failed, please choose switch 1 to 4."},
        {"single playback",
         [](USB& w, testing::FakeBoxes&) {
             w.Timer1_Timer();
             w.UserClick(w.Option1);
         },
         "单次播放！", "Single playback!"},
        {"power-on run",
         [](USB& w, testing::FakeBoxes&) {
             w.Timer1_Timer();
             w.Command_auto_run_Click();
         },
         "键鼠控制器上电自动运行存储的键值！", "The foot switch runs its stored keys by itself at power-on!"},
        {"key delay",
         [](USB& w, testing::FakeBoxes&) {
             w.Timer1_Timer();
             w.Text_delay.SetText("300");
             w.Command2_Click();
         },
         "按键延时响应时间：300 ms", "Key delay: 300 ms"},
        {"manual write",
         [](USB& w, testing::FakeBoxes&) {
             w.Timer1_Timer();
             w.Iwrite_Click();
         },
         "写入数据：aa 01 00 00 3C 00 00", "Data written: aa 01 00 00 3C 00 00"},
        {"clear all",
         [](USB& w, testing::FakeBoxes&) {
             w.Timer1_Timer();
             w.Command1_Click();
         },
         "已清空设备所有键值!", "All key values of the device cleared!"},
    };
    for (const Case& c : cases) {
        for (Language language : {Language::Chinese, Language::English}) {
            SCOPED_TRACE(std::string(c.what) + " in " + LanguageCode(language));
            WindowFixture f({}, {language, false});
            c.act(*f.window, f.boxes);
            ASSERT_FALSE(f.Log().empty());
            EXPECT_EQ(f.Log().back(), f.Stamped(language == Language::English ? c.english : c.chinese));
        }
    }

    // The confirmation before clearing, and the check of the frame text box.
    WindowFixture f({}, {Language::English, false});
    f.window->Timer1_Timer();
    f.boxes.answers.push_back(MessageAnswer::Cancel);
    f.window->Command1_Click();
    f.window->TextIW.SetText("aa 0g");
    ASSERT_EQ(f.boxes.shown.size(), 2u);
    EXPECT_EQ(f.boxes.shown[0].text, "Really clear all key values of the device?");
    EXPECT_EQ(f.boxes.shown[0].title, "Please confirm");
    EXPECT_EQ(f.boxes.shown[1].text, "Please enter hexadecimal digits and blanks only");
    EXPECT_EQ(f.boxes.shown[1].title, "Treadle");

    // A write that fails says so in the window's language.
    WindowFixture failing({}, {Language::English, false});
    failing.window->Timer1_Timer();
    failing.device->SetWriteFault(VirtualFootSwitch::WriteFault::Fail);
    failing.window->Iwrite_Click();
    EXPECT_EQ(failing.Log().back(), failing.Stamped("Write failed, please check the device connection."));
}

}  // namespace
}  // namespace treadle
