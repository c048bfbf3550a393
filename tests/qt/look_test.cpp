#include "window/qt/display.h"
#include "window/qt/qt_look.h"
#include "window/qt/qt_services.h"
#include "window/usb.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFontInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

namespace treadle::qt {
namespace {

TEST(QtLook, StoredColoursShowAsDesigned) {
    struct Case {
        std::uint32_t stored;
        QColor shown;
    };
    const Case cases[] = {
        {colors::Rgb(0, 128, 0), QColor(0, 128, 0)},                // the status green
        {colors::kPressed, QColor(0, 255, 0)},                      // a toggle that is on
        {colors::Rgb(0x12, 0x34, 0x56), QColor(0x12, 0x34, 0x56)},  // red in the low byte
        {colors::System(5), QColor(255, 255, 255)},                 // window
        {colors::System(8), QColor(0, 0, 0)},                       // window text
        {colors::System(14), QColor(255, 255, 255)},                // highlight text
        {colors::System(15), QColor(0xF0, 0xF0, 0xF0)},             // button face
        {colors::System(18), QColor(0, 0, 0)},                      // button text
        {colors::System(200), QColor(0, 0, 0)},                     // no such system colour
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ToQColor(c.stored), c.shown) << std::hex << c.stored;
    }
}

TEST(QtLook, FacesFallBackToInstalledCjkFonts) {
    struct Case {
        const char* face;
        QStringList startsWith;
        QString fallsBackTo;
    };
    const Case cases[] = {
        {"微软雅黑", {"微软雅黑", "Microsoft YaHei", "Microsoft YaHei UI"}, "Noto Sans CJK SC"},
        {"Microsoft YaHei UI", {"Microsoft YaHei UI", "微软雅黑", "Microsoft YaHei"}, "Noto Sans CJK SC"},
        {"宋体", {"宋体", "SimSun"}, "Noto Sans CJK SC"},
        {"SimSun", {"SimSun", "宋体"}, "Noto Sans CJK SC"},
        {"Arial", {"Arial"}, "Noto Sans CJK SC"},
    };
    for (const Case& c : cases) {
        const QStringList families = FontFamilies(c.face);
        ASSERT_GE(families.size(), c.startsWith.size() + 1) << c.face;
        EXPECT_EQ(families.mid(0, c.startsWith.size()), c.startsWith) << c.face;
        EXPECT_EQ(families.at(c.startsWith.size()), c.fallsBackTo) << c.face;
        EXPECT_TRUE(families.contains("WenQuanYi Micro Hei")) << c.face;
        for (const QString& family : families) {
            EXPECT_FALSE(family.contains("Serif")) << c.face << " falls back to the serif " << family.toStdString();
        }
    }
    EXPECT_EQ(FontFamilies("").value(0), "Noto Sans CJK SC");
}

TEST(QtLook, PointSizesOfTheDesignBecomePixelsAt96Dpi) {
    struct Case {
        double points;
        int pixels;
    };
    for (const Case& c :
         {Case{10.5, 14}, Case{9, 12}, Case{6.75, 9}, Case{7.5, 10}, Case{18, 24}, Case{14.25, 19}, Case{0, 1}}) {
        EXPECT_EQ(ToQFont({"宋体", c.points, false}).pixelSize(), c.pixels) << c.points;
    }
    EXPECT_TRUE(ToQFont({"微软雅黑", 14.25, true}).bold());
    // Neither design face is installed here; the chain must land on a font with CJK glyphs.
    const QString used = QFontInfo(ToQFont({"微软雅黑", 10.5, false})).family();
    EXPECT_TRUE(used.contains("CJK") || used.contains("WenQuanYi") || used.contains("YaHei") ||
                used.contains("Droid Sans Fallback"))
        << used.toStdString();
}

TEST(QtLook, TwipsBecomePixels) {
    EXPECT_EQ(TwipsToPixels(USB::kClientWidth), 809);
    EXPECT_EQ(TwipsToPixels(USB::kClientHeight), 361);
    EXPECT_EQ(ToPixels({1050, 200, 500, 500}), QRect(70, 13, 33, 33));
    EXPECT_EQ(ToPixels({7, 8, 0, 1}), QRect(0, 1, 0, 0));
}

TEST(QtClockFormat, TimeZoneFieldsAreRemoved) {
    struct Case {
        const char* format;
        const char* expected;
    };
    const Case cases[] = {
        {"t HH:mm:ss", "HH:mm:ss"},            // zone first (Simplified Chinese)
        {"h:mm:ss AP t", "h:mm:ss AP"},        // zone last
        {"HH:mm:ss tttt", "HH:mm:ss"},         // a long run
        {"Bh:mm:ss [t]", "Bh:mm:ss"},          // bracketed zone
        {"HH:mm t ss", "HH:mm ss"},            // zone between fields keeps them apart
        {"HH:mm:ss 'at' t", "HH:mm:ss 'at'"},  // quoted text keeps its t
        {"HH:mm:ss", "HH:mm:ss"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WithoutTimeZone(c.format).toStdString(), c.expected) << c.format;
    }
}

TEST(QtClockFormat, RegionalShortDateAndLongTime) {
    struct Case {
        const char* locale;
        QTime time;
        const char* stamp;  // on 2026-12-06
    };
    const Case cases[] = {
        {"zh_CN", QTime(8, 40, 48), "2026/12/6 8:40:48"},    {"zh_CN", QTime(20, 5, 7), "2026/12/6 20:05:07"},
        {"en_US", QTime(8, 40, 48), "12/6/2026 8:40:48 AM"}, {"en_US", QTime(0, 5, 7), "12/6/2026 12:05:07 AM"},
        {"en_US", QTime(20, 5, 7), "12/6/2026 8:05:07 PM"},  {"de_DE", QTime(8, 40, 48), "06.12.2026 08:40:48"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TimeStampTextAt(QLocale(c.locale), QDateTime(QDate(2026, 12, 6), c.time)), c.stamp) << c.locale;
    }
    const std::string now = QtClock(QLocale("zh_CN")).TimeStampText();
    EXPECT_TRUE(QRegularExpression(R"(^\d{4}/\d{1,2}/\d{1,2} \d{1,2}:\d\d:\d\d$)")
                    .match(QString::fromStdString(now))
                    .hasMatch())
        << now;
}

// A locale the pattern table does not know keeps Qt's own short date and long time.
TEST(QtClockFormat, OtherLocalesUseQtsFormats) {
    const QLocale locale("nl_NL");
    EXPECT_EQ(TimeStampFormat(locale).toStdString(), "dd-MM-yyyy HH:mm:ss");
    EXPECT_EQ(TimeStampTextAt(locale, QDateTime(QDate(2026, 12, 6), QTime(8, 40, 48))), "06-12-2026 08:40:48");
}

// Sets or clears an environment variable for one test and restores it afterwards.
class EnvOverride {
  public:
    EnvOverride(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        value != nullptr ? setenv(name, value, 1) : unsetenv(name);
    }
    ~EnvOverride() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(CommandLineOptions, DisplayIsThereOnlyWithAServerOrAChosenPlatform) {
    struct Case {
        const char* display;
        const char* wayland;
        const char* platform;
        bool available;
    };
    for (const Case& c :
         {Case{nullptr, nullptr, nullptr, false}, Case{"", "", "", false}, Case{":0", nullptr, nullptr, true},
          Case{nullptr, "wayland-0", nullptr, true}, Case{nullptr, nullptr, "offscreen", true}}) {
        EnvOverride d("DISPLAY", c.display);
        EnvOverride w("WAYLAND_DISPLAY", c.wayland);
        EnvOverride p("QT_QPA_PLATFORM", c.platform);
        EXPECT_EQ(DisplayAvailable(), c.available) << (c.display ? c.display : "-");
    }
    // What to run is what is useful: the command line on a state file, the window where there
    // is a display; xvfb-run only for screenshots.
    const std::string text = NoDisplayText("treadle");
    EXPECT_NE(text.find("      treadlectl --virtual=pedals.state set 2 ctrl+f1\n"
                        "      treadlectl --virtual=pedals.state show\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("ssh -X"), std::string::npos) << text;
    EXPECT_NE(text.find("      treadle --virtual=pedals.state\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("xvfb-run -a"), std::string::npos) << text;
    EXPECT_NE(text.find("xvfb-run would start it on a screen nobody sees: it serves only for screenshots"),
              std::string::npos)
        << text;
}

// The advice without a display, followed word for word with the built treadlectl in a fresh
// folder: the switch set is shown by the next command, and its pedal sends it.
TEST(CommandLineOptions, TheNoDisplayAdviceLeadsToAResultThatIsSeenAndKept) {
    const std::filesystem::path treadlectl = TREADLECTL_PROGRAM;
    const std::string window = (treadlectl.parent_path().parent_path() / "window/qt/treadle").string();
    const std::string text = NoDisplayText(window);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::vector<std::string> outputs;
    for (const QString& line : QString::fromStdString(text).split('\n')) {
        const QString command = line.trimmed();
        if (!command.startsWith(QString::fromStdString(treadlectl.string()) + " --virtual")) {
            continue;
        }
        QStringList words = command.split(' ', Qt::SkipEmptyParts);
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(words.takeFirst(), words);
        ASSERT_TRUE(process.waitForFinished(20000)) << command.toStdString();
        EXPECT_EQ(process.exitCode(), 0) << command.toStdString() << ": "
                                         << process.readAllStandardError().toStdString();
        outputs.push_back(process.readAllStandardOutput().toStdString());
    }
    ASSERT_EQ(outputs.size(), 3u) << text;
    EXPECT_NE(outputs[1].find("  switch 2: ctrl+f1\n"), std::string::npos) << outputs[1];
    EXPECT_EQ(outputs[2], "ctrl+f1 (switch 2)\n");
}

// The advice without a display names a treadlectl that exists: installed beside the window,
// in the build tree's cli folder, or found on the search path.
TEST(CommandLineOptions, NoDisplayAdviceNamesATreadlectlThatExists) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::filesystem::path root = dir.path().toStdString();
    std::filesystem::create_directories(root / "bin");
    std::filesystem::create_directories(root / "build/src/window/qt");
    std::filesystem::create_directories(root / "build/src/cli");
    std::ofstream(root / "bin/treadlectl") << "";
    std::ofstream(root / "build/src/cli/treadlectl") << "";
    struct Case {
        std::string program;
        std::string treadlectl;
    };
    const Case cases[] = {
        {(root / "bin/treadle").string(), (root / "bin/treadlectl").string()},
        {(root / "build/src/window/qt/treadle").string(), (root / "build/src/cli/treadlectl").string()},
        {(root / "elsewhere/treadle").string(), "treadlectl"},
        {"treadle", "treadlectl"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TreadlectlBeside(c.program), c.treadlectl) << c.program;
        const std::string text = NoDisplayText(c.program);
        EXPECT_NE(text.find("      " + c.program + " --virtual=pedals.state\n"), std::string::npos) << text;
        EXPECT_NE(text.find(" " + c.treadlectl + " --virtual=pedals.state set 2 ctrl+f1\n"), std::string::npos) << text;
        EXPECT_NE(text.find(" " + c.treadlectl + " --help\n"), std::string::npos) << text;
    }
}

}  // namespace
}  // namespace treadle::qt
