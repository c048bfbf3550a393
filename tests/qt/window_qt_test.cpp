#include "window/qt/window_qt.h"

#include "window_fixture.h"

#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

namespace treadle::qt {
namespace {

class WindowQtTest : public QtWindowFixture {
  protected:
    void SetUp() override { Open(); }

    // Waits for the timer's first ticks to find the virtual foot switch.
    bool WaitConnected() {
        return QTest::qWaitFor([this] { return Model().DeviceDetected && Widget("Command_key", 0)->isEnabled(); },
                               3000);
    }
    std::vector<const Control*> PanelButtons() {
        std::vector<const Control*> buttons;
        for (const Control& c : Model().Controls()) {
            if (c.container == "FrameKeyBoard" && c.kind == ControlKind::Button) {
                buttons.push_back(&c);
            }
        }
        return buttons;
    }
};

TEST_F(WindowQtTest, ClientAreaAndControlPlacesInPixels) {
    EXPECT_EQ(window->size(), QSize(809, 361));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(window->windowTitle(), "Treadle");
    EXPECT_FALSE(window->windowIcon().isNull());

    struct Case {
        const char* name;
        int index;
        const char* parent;  // the widget it sits in; empty for the window
        Twips place;
    };
    const Case cases[] = {
        {"FrameKeyBoard", -1, "", {60, 740, 12020, 3585}},
        {"Command_key", 0, "FrameKeyBoard", {1050, 200, 500, 500}},      // F1
        {"Command_key", 36, "FrameKeyBoard", {120, 200, 500, 500}},      // Esc
        {"Command_key", 76, "FrameKeyBoard", {2130, 2960, 3140, 500}},   // space
        {"Command_key", 95, "FrameKeyBoard", {11400, 2430, 500, 1020}},  // keypad Ent, two rows
        {"Command_ctrl", -1, "FrameKeyBoard", {120, 2960, 650, 500}},
        {"lstResults", -1, "", {1170, 4395, 10905, 930}},
        {"Clear", -1, "", {60, 4920, 1000, 360}},
        {"Combo1", -1, "Frame2", {3600, 240, 540, 330}},
        {"Iwrite", -1, "Frame5", {1480, 140, 960, 400}},
    };
    for (const Case& c : cases) {
        QWidget* w = Widget(c.name, c.index);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), QRect(Px(c.place.left), Px(c.place.top), Px(c.place.width), Px(c.place.height)))
            << c.name << " " << c.index;
        QWidget* parent = *c.parent != '\0' ? Widget(c.parent) : window.get();
        EXPECT_EQ(w->parentWidget(), parent) << c.name << " " << c.index;
        EXPECT_TRUE(w->isVisible()) << c.name << " " << c.index;
    }
}

TEST_F(WindowQtTest, HiddenControlsAndThoseRightOfTheClientAreaStayOutOfView) {
    struct Case {
        const char* name;
        int index;
    };
    // Hidden in the model, or placed at Left >= 12135 twips (contion, TextIW, Frame4's options).
    for (const Case& c :
         {Case{"Frame1", -1}, Case{"Text_delay", -1}, Case{"Frame4", -1}, Case{"Option1", -1}, Case{"Command1", -1},
          Case{"Command2", -1}, Case{"Label1", -1}, Case{"TextVID", -1}, Case{"Label2", -1}, Case{"TextPID", -1},
          Case{"Command_key", 21}, Case{"Command_key", 79}, Case{"contion", -1}, Case{"TextIW", -1}}) {
        QWidget* w = Widget(c.name, c.index);
        ASSERT_NE(w, nullptr);
        EXPECT_FALSE(w->isVisible()) << c.name << " " << c.index;
    }
    EXPECT_TRUE(C("contion").Visible());  // still visible to the model
    EXPECT_EQ(window->WidgetFor(Model().Timer1), nullptr);

    // Made visible by the model, a frame inside the client area shows; contion stays out.
    Model().Frame1.SetVisible(true);
    EXPECT_TRUE(Widget("Frame1")->isVisible());
    EXPECT_TRUE(Widget("Text_delay")->isVisible());
    Model().contion.SetVisible(false);
    Model().contion.SetVisible(true);
    EXPECT_FALSE(Widget("contion")->isVisible());
}

TEST_F(WindowQtTest, DeviceButtonsAreDisabledUntilTheFirstTickFindsTheDevice) {
    const std::vector<const Control*> buttons = PanelButtons();
    ASSERT_EQ(buttons.size(), 104u);  // 96 keys and 8 toggles
    for (const Control* c : buttons) {
        EXPECT_FALSE(window->WidgetFor(*c)->isEnabled()) << c->DisplayName();
    }
    EXPECT_EQ(Widget<QLabel>("Label3")->text(), "请插入设备！");
    // A click on a disabled key reaches nothing.
    QTest::mouseClick(Widget("Command_key", 0), Qt::LeftButton);
    EXPECT_TRUE(device->Received().empty());

    ASSERT_TRUE(WaitConnected());
    for (const Control* c : buttons) {
        EXPECT_TRUE(window->WidgetFor(*c)->isEnabled()) << c->DisplayName();
    }
    EXPECT_EQ(Widget<QLabel>("Label3")->text(), "设备连接成功！");

    device->Unplug();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !Widget("Command_ctrl")->isEnabled(); }, 3000));
    EXPECT_EQ(Widget<QLabel>("Label3")->text(), "请插入设备！");
}

TEST_F(WindowQtTest, ClickingAToggleTurnsItGreenAndBack) {
    ASSERT_TRUE(WaitConnected());
    auto* toggle = Widget<QPushButton>("Command_ctrl");
    ASSERT_NE(toggle, nullptr);
    const QPoint inside(3, 3);  // inside the one-pixel border, clear of the caption

    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_EQ(Model().Command_ctrl.BackColor(), colors::kPressed);
    EXPECT_EQ(toggle->grab().toImage().pixelColor(inside), QColor(0, 255, 0));

    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_EQ(Model().Command_ctrl.BackColor(), colors::kButtonFace);
    EXPECT_EQ(toggle->grab().toImage().pixelColor(inside), QColor(0xF0, 0xF0, 0xF0));
}

TEST_F(WindowQtTest, ClosingTheWindowClosesBothHandles) {
    ASSERT_TRUE(WaitConnected());
    EXPECT_GT(device->OpenHandleCount(), 0);
    window->close();
    const std::vector<std::string>& log = Model().lstResults.Items();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "[" + clock.stamp + "]:CloseHandle (HIDHandle)");
    EXPECT_EQ(log[log.size() - 1], "[" + clock.stamp + "]:CloseHandle (ReadHandle)");
    auto* list = Widget<QListWidget>("lstResults");
    ASSERT_EQ(list->count(), static_cast<int>(log.size()));
    EXPECT_EQ(list->item(list->count() - 1)->text().toStdString(), log.back());
    EXPECT_EQ(device->OpenHandleCount(), 0);

    // No tick after closing opens the device again.
    QTest::qWait(800);
    EXPECT_EQ(device->OpenHandleCount(), 0);
    EXPECT_EQ(Model().lstResults.Items().size(), log.size());
}

// An X11 event of 32 bytes as Qt hands it to native event filters: the code in byte 0, the
// window the event reports on in bytes 4 to 7, the window it concerns in bytes 8 to 11.
std::array<std::uint8_t, 36> XEvent(std::uint8_t code, std::uint32_t eventWindow, std::uint32_t window) {
    std::array<std::uint8_t, 36> event{};
    event[0] = code;
    std::memcpy(event.data() + 4, &eventWindow, 4);
    std::memcpy(event.data() + 8, &window, 4);
    return event;
}

TEST_F(WindowQtTest, TheWindowClosesWhenItsSystemWindowIsDestroyedFromOutside) {
    ASSERT_TRUE(WaitConnected());
    const auto id = static_cast<std::uint32_t>(window->winId());
    ASSERT_NE(id, 0u);
    auto deliver = [](QByteArray type, std::array<std::uint8_t, 36> event) {
        qintptr result = 0;
        QAbstractEventDispatcher::instance()->filterNativeEvent(type, event.data(), &result);
        QCoreApplication::processEvents();
    };
    struct Case {
        const char* what;
        QByteArray type;
        std::array<std::uint8_t, 36> event;
    };
    const Case ignored[] = {
        {"another window destroyed", "xcb_generic_event_t", XEvent(17, id + 1, id + 1)},
        {"unmapped, as when minimised", "xcb_generic_event_t", XEvent(18, id, id)},
        {"not an X11 event", "windows_generic_MSG", XEvent(17, id, id)},
    };
    for (const Case& c : ignored) {
        deliver(c.type, c.event);
        EXPECT_TRUE(window->isVisible()) << c.what;
    }
    EXPECT_GT(device->OpenHandleCount(), 0);

    deliver("xcb_generic_event_t", XEvent(17, id, id));
    EXPECT_FALSE(window->isVisible());
    const std::vector<std::string>& log = Model().lstResults.Items();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "[" + clock.stamp + "]:CloseHandle (HIDHandle)");
    EXPECT_EQ(log[log.size() - 1], "[" + clock.stamp + "]:CloseHandle (ReadHandle)");
    EXPECT_EQ(device->OpenHandleCount(), 0);
}

TEST_F(WindowQtTest, TypingIntoTheWindowRecordsNothing) {
    ASSERT_TRUE(WaitConnected());
    // A click on a key does reach the device, so the check below can fail.
    QTest::mouseClick(Widget("Command_key", 0), Qt::LeftButton);
    const size_t afterClick = device->Received().size();
    ASSERT_GT(afterClick, 0u);
    const size_t logLines = Model().lstResults.Items().size();

    QTest::keyClicks(window.get(), "a1 \r");
    QTest::keyClick(window.get(), Qt::Key_Enter);
    for (const char* name : {"Command_key", "Command_ctrl"}) {
        QWidget* button = Widget(name, std::string(name) == "Command_key" ? 0 : -1);
        // Tab gives a key the focus, a click does not; only Space, Enter and Return press it.
        EXPECT_EQ(button->focusPolicy(), Qt::TabFocus) << name;
        for (Qt::Key key : {Qt::Key_A, Qt::Key_1, Qt::Key_Select, Qt::Key_Escape}) {
            QTest::keyClick(button, key);
        }
    }
    QTest::qWait(50);
    EXPECT_EQ(device->Received().size(), afterClick);
    EXPECT_EQ(Model().Command_ctrl.BackColor(), colors::kButtonFace);
    EXPECT_EQ(Model().lstResults.Items().size(), logLines);
}

TEST_F(WindowQtTest, TheLogListFollowsTheModelAndTheUser) {
    auto* list = Widget<QListWidget>("lstResults");
    for (int i = 0; i < 40; ++i) {
        Model().LogMessage("line " + std::to_string(i));
    }
    ASSERT_EQ(list->count(), 40);
    EXPECT_EQ(list->currentRow(), 39);
    EXPECT_TRUE(list->viewport()->rect().intersects(list->visualItemRect(list->item(39))));
    EXPECT_FALSE(list->viewport()->rect().intersects(list->visualItemRect(list->item(0))));

    // The user picks a line: the model's ListIndex follows.
    list->scrollToTop();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
    EXPECT_EQ(Model().lstResults.ListIndex(), 1);

    Model().AddPlainLine("plain");
    EXPECT_EQ(list->count(), 41);
    EXPECT_EQ(list->item(40)->text(), "plain");
    EXPECT_EQ(list->currentRow(), 1);

    QTest::mouseClick(Widget("Clear"), Qt::LeftButton);
    EXPECT_TRUE(Model().lstResults.Items().empty());
    EXPECT_EQ(list->count(), 0);
    Model().LogMessage("after clearing");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text().toStdString(), "[" + clock.stamp + "]:after clearing");
}

TEST_F(WindowQtTest, ComboCheckBoxAndLabelForwardToTheModel) {
    auto* combo = Widget<QComboBox>("Combo1");
    ASSERT_EQ(combo->count(), 4);
    EXPECT_EQ(combo->itemText(3), "4");
    EXPECT_TRUE(combo->isEditable());
    EXPECT_EQ(combo->currentText(), "1");

    // Nothing is chosen from the list at start (the "1" is only edit text): Down picks "1", then "2".
    EXPECT_EQ(Model().Combo1.ListIndex(), -1);
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(Model().Combo1.ListIndex(), 0);
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(Model().Combo1.ListIndex(), 1);
    EXPECT_EQ(Model().Combo1.Text(), "2");
    EXPECT_EQ(combo->currentText(), "2");

    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo->lineEdit(), "3");
    EXPECT_EQ(Model().Combo1.Text(), "3");

    Model().Combo1.SetText("4");  // a change by the model shows, and is no user event
    EXPECT_EQ(combo->currentText(), "4");
    EXPECT_EQ(Model().Combo1.Text(), "4");

    auto* check = Widget<QCheckBox>("Check1");
    QTest::mouseClick(check, Qt::LeftButton);
    EXPECT_EQ(Model().Check1.Value(), 1);
    EXPECT_TRUE(check->isChecked());
    // A widget the model does not follow shows the model's state again.
    Model().Check1.SetEnabled(false);
    check->setEnabled(true);
    QTest::mouseClick(check, Qt::LeftButton);
    EXPECT_EQ(Model().Check1.Value(), 1);
    EXPECT_TRUE(check->isChecked());

    const std::vector<std::string> logBefore = Model().lstResults.Items();
    QTest::mouseClick(Widget("Label11"), Qt::LeftButton);
    EXPECT_EQ(url.opened, std::vector<std::string>{Model().MakerPage});
    EXPECT_FALSE(Model().MakerPage.empty());
    EXPECT_EQ(Model().lstResults.Items(), logBefore);  // opening the page logs nothing
}

TEST_F(WindowQtTest, ColoursFontsAndCaptionsThatFit) {
    EXPECT_EQ(window->palette().color(QPalette::Window), QColor(255, 255, 255));
    EXPECT_EQ(Widget("Label3")->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    EXPECT_EQ(Widget("Label11")->palette().color(QPalette::WindowText), QColor(255, 255, 255));
    // The keyboard panel is black between its keys.
    EXPECT_EQ(Widget("FrameKeyBoard")->grab().toImage().pixelColor(Px(1700), Px(100)), QColor(0, 0, 0));
    EXPECT_EQ(Widget("Command_key", 0)->font().pixelSize(), 12);  // 9 pt
    EXPECT_EQ(Widget("Command_key", 13)->font().pixelSize(), 9);  // PrtSC, 6.75 pt
    EXPECT_EQ(Widget("Label3")->font().pixelSize(), 24);          // 18 pt
    EXPECT_TRUE(Widget("Label11")->font().bold());

    ASSERT_TRUE(WaitConnected());
    for (const Control* c : PanelButtons()) {
        auto* button = qobject_cast<QPushButton*>(window->WidgetFor(*c));
        ASSERT_NE(button, nullptr);
        ASSERT_FALSE(button->text().isEmpty()) << c->DisplayName();
        const int room = button->width() - 2;  // inside the border
        EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), room)
            << c->DisplayName() << " " << c->Text();
    }
    for (const Control& c : Model().Controls()) {
        auto* label = qobject_cast<QLabel*>(window->WidgetFor(c));
        if (label != nullptr && label->isVisible()) {
            // The ink must fit; a full-width "！" may end in blank space past the edge.
            EXPECT_LT(label->fontMetrics().tightBoundingRect(label->text()).right(), label->width()) << c.name;
        }
    }
}

// Every caption of every view fits its button with a margin on both sides: a caption that
// touches the edges reads as cut off.
TEST_F(QtWindowFixture, EveryButtonCaptionFitsWithAMarginInEveryView) {
    constexpr int kMargin = 3;  // pixels on each side, inside the border
    for (const Language language : {Language::Chinese, Language::English}) {
        for (const bool advanced : {false, true}) {
            Open(WindowOptions{language, advanced});
            for (const Control& c : Model().Controls()) {
                auto* button = qobject_cast<QPushButton*>(window->WidgetFor(c));
                if (button == nullptr || !button->isVisible() || button->text().isEmpty()) {
                    continue;
                }
                EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 2 * kMargin + 2, button->width())
                    << c.DisplayName() << " \"" << c.Text() << "\" in " << LanguageCode(language)
                    << (advanced ? " advanced" : "");
            }
            window.reset();
        }
    }
}

}  // namespace
}  // namespace treadle::qt
