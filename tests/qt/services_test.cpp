#include "window/qt/qt_services.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

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

TEST(QtSleeperTest, SleepsAtLeastTheTimeAsked) {
    QtSleeper sleeper;
    QElapsedTimer timer;
    timer.start();
    sleeper.Sleep(50);
    EXPECT_GE(timer.elapsed(), 50);
    timer.restart();
    sleeper.Sleep(-5);  // nothing to wait for
    EXPECT_LT(timer.elapsed(), 50);
}

TEST(QtUrlOpenerTest, AnEmptyAddressIsNotOpened) {
    QtUrlOpener opener;
    EXPECT_FALSE(opener.Open(""));
}

}  // namespace
}  // namespace treadle::qt
