#include "window/qt/qt_services.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <vector>

namespace treadle::qt {
namespace {

// Runs `act` on the message box once it is open, from inside its modal loop.
void WhenBoxOpens(std::function<void(QMessageBox&)> act) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(*box);
        }
    });
    poll->start();
}

TEST(QtMessageBoxesTest, BoxesAnswerWhatWasPressedWithOkAsDefault) {
    struct Case {
        MessageButtons buttons;
        Qt::Key key;  // pressed in the box
        MessageAnswer expected;
        int buttonCount;
    };
    const Case cases[] = {
        {MessageButtons::OkCancel, Qt::Key_Return, MessageAnswer::Ok, 2},  // OK is the default
        {MessageButtons::OkCancel, Qt::Key_Escape, MessageAnswer::Cancel, 2},
        {MessageButtons::Ok, Qt::Key_Return, MessageAnswer::Ok, 1},
        {MessageButtons::Ok, Qt::Key_Escape, MessageAnswer::Ok, 1},
    };
    for (const Case& c : cases) {
        QtMessageBoxes boxes;
        QString seenTitle;
        QString seenText;
        int seenButtons = 0;
        bool noIcon = false;
        bool okIsDefault = false;
        WhenBoxOpens([&](QMessageBox& box) {
            seenTitle = box.windowTitle();
            seenText = box.text();
            seenButtons = static_cast<int>(box.buttons().size());
            noIcon = box.icon() == QMessageBox::NoIcon;
            okIsDefault = box.defaultButton() == box.button(QMessageBox::Ok);
            QTest::keyClick(&box, c.key);
        });
        const MessageAnswer answer = boxes.Show("确定要清除设备键值吗？", "Treadle", c.buttons);
        EXPECT_EQ(answer, c.expected) << static_cast<int>(c.key);
        EXPECT_EQ(seenTitle, "Treadle");
        EXPECT_EQ(seenText, "确定要清除设备键值吗？");
        EXPECT_EQ(seenButtons, c.buttonCount);
        EXPECT_TRUE(noIcon);
        EXPECT_TRUE(okIsDefault);
    }
}

std::vector<unsigned long> pauses;

TEST(QtSleeperTest, SleepsAtLeastTheTimeAskedAndNotAtAllForNothing) {
    QtSleeper sleeper;
    QElapsedTimer timer;
    timer.start();
    sleeper.Sleep(50);
    EXPECT_GE(timer.elapsed(), 50);

    pauses.clear();
    QtSleeper recorded([](unsigned long ms) { pauses.push_back(ms); });
    for (int ms : {-5, 0, 7}) {
        recorded.Sleep(ms);
    }
    EXPECT_EQ(pauses, (std::vector<unsigned long>{7}));  // nothing to wait for twice
}

TEST(QtUrlOpenerTest, AnEmptyAddressIsNotOpened) {
    QtUrlOpener opener;
    EXPECT_FALSE(opener.Open(""));
}

TEST(MakerPage, AnInstalledProgramOpensTheInstalledGuide) {
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    ASSERT_TRUE(QDir(prefix.path()).mkpath("bin"));
    ASSERT_TRUE(QDir(prefix.path()).mkpath("share/treadle"));
    const QString bin = prefix.filePath("bin");
    const QString guide = "../share/treadle/guide.html";
    const std::string built = "file:///src/treadle/docs/guide.html";

    // Not installed yet: the build's address.
    EXPECT_EQ(MakerPageFor(bin, built, true, guide), built);
    QFile file(prefix.filePath("share/treadle/guide.html"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const std::string installed =
        QUrl::fromLocalFile(QFileInfo(file.fileName()).canonicalFilePath()).toString().toStdString();
    EXPECT_EQ(MakerPageFor(bin, built, true, guide), installed);
    // An address the build named stays, installed or not; so does the default without a folder.
    EXPECT_EQ(MakerPageFor(bin, "https://example.org/help", false, guide), "https://example.org/help");
    EXPECT_EQ(MakerPageFor("", built, true, guide), built);
}

TEST(MakerPage, TheGuideOfTheWindowsLanguageWhereItLiesBesideTheEnglishOne) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    auto url = [&folder](const char* name) {
        return QUrl::fromLocalFile(QFileInfo(folder.filePath(name)).absoluteFilePath()).toString().toStdString();
    };
    auto create = [&folder](const char* name) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    };
    const std::string english = url("guide.html");
    create("guide.html");
    // No Chinese guide yet: the English one.
    EXPECT_EQ(GuideInLanguage(english, Language::Chinese), english);
    create("guide.zh.html");
    EXPECT_EQ(GuideInLanguage(english, Language::Chinese), url("guide.zh.html"));
    EXPECT_EQ(GuideInLanguage(english, Language::English), english);
    // Pages that are not the local guide stay as they are.
    for (const std::string& page : {std::string("https://example.org/guide.html"), url("manual.html"), std::string()}) {
        EXPECT_EQ(GuideInLanguage(page, Language::Chinese), page) << page;
    }
}

}  // namespace
}  // namespace treadle::qt
