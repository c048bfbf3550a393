#include "window/advanced_view.h"
#include "window_fixture.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace treadle::qt {
namespace {

class ViewTest : public QtWindowFixture {
  protected:
    bool WaitConnected() {
        return QTest::qWaitFor([this] { return Model().DeviceDetected && Widget("Command1")->isEnabled(); }, 3000);
    }
    // Waits for the reports one click writes, and gives the frames' bytes (report ID dropped).
    std::vector<std::vector<std::uint8_t>> FramesAfter(size_t before) {
        std::vector<std::vector<std::uint8_t>> frames;
        for (size_t i = before; i < device->Received().size(); ++i) {
            const auto& r = device->Received()[i];
            frames.emplace_back(r.begin() + 1, r.begin() + std::min<size_t>(r.size(), 8));
        }
        return frames;
    }
};

TEST_F(ViewTest, TheAdvancedWindowShowsTheColumnAtItsPlaces) {
    Open({Language::Chinese, true});
    EXPECT_EQ(window->size(), QSize(Px(kAdvancedClientWidth), Px(kAdvancedClientHeight)));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    for (const AdvancedPlace& p : AdvancedPlaces()) {
        QWidget* w = Widget(p.name);
        ASSERT_NE(w, nullptr) << p.name;
        EXPECT_TRUE(w->isVisible()) << p.name;
        EXPECT_EQ(w->geometry(), QRect(Px(p.place.left), Px(p.place.top), Px(p.place.width), Px(p.place.height)))
            << p.name;
        QWidget* parent = *p.container != '\0' ? Widget(p.container) : window.get();
        EXPECT_EQ(w->parentWidget(), parent) << p.name;
    }
    for (const char* name : {"Option1", "Option2", "Command_auto_run", "Text_delay", "Label5", "Label8"}) {
        EXPECT_TRUE(Widget(name)->isVisible()) << name;
    }
    for (const char* name : {"contion", "TextVID", "TextPID"}) {
        EXPECT_FALSE(Widget(name)->isVisible()) << name;
    }
    // Enabled as designed: the device's buttons wait for the device; the frame text is editable.
    EXPECT_TRUE(Widget("TextIW")->isEnabled());
    EXPECT_TRUE(Widget("Option1")->isEnabled());
    EXPECT_TRUE(Widget("Text_delay")->isEnabled());
    for (const char* name : {"Command1", "Command2", "Command_auto_run"}) {
        EXPECT_FALSE(Widget(name)->isEnabled()) << name;
    }
    ASSERT_TRUE(WaitConnected());
    for (const char* name : {"Command1", "Command2", "Command_auto_run"}) {
        EXPECT_TRUE(Widget(name)->isEnabled()) << name;
    }
}

TEST_F(ViewTest, TheColumnsControlsReachTheirHandlers) {
    Open({Language::English, true});
    ASSERT_TRUE(WaitConnected());
    using Frame = std::vector<std::uint8_t>;

    size_t before = device->Received().size();
    QTest::mouseClick(Widget("Command_auto_run"), Qt::LeftButton);
    EXPECT_EQ(FramesAfter(before), (std::vector<Frame>{{0xAA, 0x01, 0x7C, 0x79, 0x01, 0x00, 0x00}}));
    EXPECT_EQ(Model().lstResults.Items().back(),
              "[" + clock.stamp + "]:The foot switch runs its stored keys by itself at power-on!");

    before = device->Received().size();
    QTest::mouseClick(Widget("Option1"), Qt::LeftButton);
    EXPECT_EQ(FramesAfter(before), (std::vector<Frame>{{0xAA, 0x01, 0x7C, 0x79, 0x00, 0x00, 0x00}}));
    EXPECT_TRUE(qobject_cast<QRadioButton*>(Widget("Option1"))->isChecked());
    EXPECT_FALSE(qobject_cast<QRadioButton*>(Widget("Option2"))->isChecked());

    auto* delay = qobject_cast<QLineEdit*>(Widget("Text_delay"));
    delay->selectAll();
    QTest::keyClicks(delay, "300");
    EXPECT_EQ(Model().Text_delay.Text(), "300");
    before = device->Received().size();
    QTest::mouseClick(Widget("Command2"), Qt::LeftButton);
    EXPECT_EQ(FramesAfter(before), (std::vector<Frame>{{0xAA, 0x01, 0x7C, 0x79, 0x01, 0x01, 0x2C},
                                                       {0xAA, 0x01, 0x78, 0x79, 0x01, 0x00, 0x00}}));
    EXPECT_EQ(Model().lstResults.Items().back(), "[" + clock.stamp + "]:Key delay: 300 ms");

    // The frame text box: typed into, written by the manual-write button.
    auto* frame = qobject_cast<QLineEdit*>(Widget("TextIW"));
    frame->selectAll();
    QTest::keyClicks(frame, "aa 02 04 fe 04 00 00");
    EXPECT_EQ(Model().TextIW.Text(), "aa 02 04 fe 04 00 00");
    before = device->Received().size();
    QTest::mouseClick(Widget("Iwrite"), Qt::LeftButton);
    EXPECT_EQ(FramesAfter(before), (std::vector<Frame>{{0xAA, 0x02, 0x04, 0xFE, 0x04, 0x00, 0x00}}));

    // Clear all asks first; Cancel writes nothing, OK writes all 32 slots.
    boxes.answers = {MessageAnswer::Cancel, MessageAnswer::Ok};
    before = device->Received().size();
    QTest::mouseClick(Widget("Command1"), Qt::LeftButton);
    EXPECT_EQ(device->Received().size(), before);
    EXPECT_EQ(frame->text(), "aa 00 ff ff ff ff");
    QTest::mouseClick(Widget("Command1"), Qt::LeftButton);
    const std::vector<Frame> cleared = FramesAfter(before);
    ASSERT_EQ(cleared.size(), 32u);
    EXPECT_EQ(cleared.back(), (Frame{0xAA, 0x01, 0x7C, 0xFF, 0xFF, 0xFF, 0xFF}));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text, "Really clear all key values of the device?");
    EXPECT_EQ(Model().lstResults.Items().back(), "[" + clock.stamp + "]:All key values of the device cleared!");
}

// Every English caption fits its control at the designed sizes, in both views, connected (the
// longer status text): button captions inside the border, labels' ink (wrapped where the label
// wraps), check and option boxes with their mark, frame titles inside the frame. The Chinese
// captions are the design's own.
TEST_F(ViewTest, EveryEnglishCaptionFitsItsControl) {
    for (bool advanced : {false, true}) {
        for (Language language : {Language::English}) {
            SCOPED_TRACE(std::string(LanguageCode(language)) + (advanced ? " advanced" : " plain"));
            Open({language, advanced});
            ASSERT_TRUE(WaitConnected());
            for (const Control& c : Model().Controls()) {
                QWidget* w = window->WidgetFor(c);
                if (w == nullptr || !w->isVisible() || c.Text().empty() || c.container == "FrameKeyBoard") {
                    continue;
                }
                const QString text = QString::fromStdString(c.Text());
                const QFontMetrics metrics = w->fontMetrics();
                if (auto* label = qobject_cast<QLabel*>(w)) {
                    if (label->wordWrap()) {
                        const QRect wrapped =
                            metrics.boundingRect(QRect(0, 0, label->width(), 10000), Qt::TextWordWrap, text);
                        EXPECT_LE(wrapped.height(), label->height()) << c.name;
                    } else {
                        // The ink, right and below the baseline (the label shows its text at its top).
                        const QRect ink = metrics.tightBoundingRect(text);
                        EXPECT_LT(ink.right(), label->width()) << c.name;
                        EXPECT_LE(metrics.ascent() + ink.bottom(), label->height()) << c.name;
                    }
                } else if (qobject_cast<QCheckBox*>(w) != nullptr || qobject_cast<QRadioButton*>(w) != nullptr) {
                    EXPECT_LE(w->sizeHint().width(), w->width()) << c.name;
                } else if (auto* button = qobject_cast<QPushButton*>(w)) {
                    EXPECT_LE(metrics.horizontalAdvance(text), button->width() - 2) << c.name;
                } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
                    EXPECT_LE(6 + metrics.horizontalAdvance(text) + 2, box->width()) << c.name;
                }
            }
            window.reset();
        }
    }
}

// The pedal test renders through the generic controls: its frame under the log, the list, and
// the pedal buttons whose clicks press the virtual foot switch's pedals.
TEST_F(ViewTest, ThePedalTestPanelListsThePressesOfItsButtons) {
    Open({Language::English, true});
    ASSERT_TRUE(WaitConnected());
    auto* frame = qobject_cast<QGroupBox*>(Widget(kPedalTestFrame));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->title(), "Pedal test");
    EXPECT_TRUE(frame->isVisible());
    EXPECT_GE(frame->geometry().top(), Widget("lstResults")->geometry().bottom());
    EXPECT_LE(frame->geometry().bottom(), window->height());
    auto* list = qobject_cast<QListWidget*>(Widget(kPedalPressList));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->parentWidget(), frame);

    // Switch 2 gets ctrl+F1 from the window's own buttons.
    Model().UserSelectItem(Model().Combo1, 1);
    QTest::mouseClick(Widget("Command_ctrl"), Qt::LeftButton);
    QTest::mouseClick(window->WidgetFor(Model().Command_key[0]), Qt::LeftButton);
    QWidget* pedal2 = window->WidgetFor(Model().Command_pedal[1]);
    ASSERT_NE(pedal2, nullptr);
    EXPECT_TRUE(pedal2->isVisible());
    EXPECT_EQ(qobject_cast<QPushButton*>(pedal2)->text(), "Pedal 2");
    QTest::mouseClick(pedal2, Qt::LeftButton);
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text().toStdString(), clock.stamp + "   ctrl+f1   switch 2");

    // Pedal 1 holds nothing: the status line says why, and fits.
    QTest::mouseClick(window->WidgetFor(Model().Command_pedal[0]), Qt::LeftButton);
    auto* status = qobject_cast<QLabel*>(Widget(kPedalStatus));
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->text().startsWith("Cannot press the pedal: ")) << status->text().toStdString();
    const QRect wrapped =
        status->fontMetrics().boundingRect(QRect(0, 0, status->width(), 10000), Qt::TextWordWrap, status->text());
    EXPECT_LE(wrapped.height(), status->height());
    EXPECT_EQ(list->count(), 1);
}

// The window on a state file hears, in its pedal-test panel, the pedal that treadlectl presses
// in another process, matched against the switch that treadlectl programmed.
TEST_F(ViewTest, ThePedalTestPanelHearsPressesOfAnotherProgram) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString state = dir.filePath("pedals.state");
    Open({Language::English, true}, state.toStdString());
    ASSERT_TRUE(WaitConnected());
    auto* list = qobject_cast<QListWidget*>(Widget(kPedalPressList));
    ASSERT_NE(list, nullptr);
    auto treadlectl = [&](const QStringList& args) {
        QProcess process;
        process.start(TREADLECTL_PROGRAM, QStringList{"--virtual=" + state} + args);
        EXPECT_TRUE(process.waitForFinished(20000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return process.readAllStandardOutput().toStdString();
    };
    EXPECT_EQ(treadlectl({"set", "3", "rshift+f13"}),
              "virtual:1:config: switch 3 = rshift+f13 (key delay 0 ms, long press off)\n");
    // The panel has listened since the tick that found the device (WaitConnected).
    EXPECT_EQ(treadlectl({"press", "3"}), "rshift+f13 (switch 3)\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->count() == 1; }, 5000));
    EXPECT_EQ(list->item(0)->text().toStdString(), clock.stamp + "   rshift+f13   switch 3");
}

}  // namespace
}  // namespace treadle::qt
