// The Qt window without a mouse: Tab follows the model's focus order, Space and Enter press
// the focused button, the arrow keys step through the switch box and the playback options,
// and the toggles show the model's pressed state to a screen reader.
#include "window/accessibility.h"
#include "window/focus_order.h"
#include "window/qt/window_qt.h"
#include "window_fixture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <cstdio>
#include <string>
#include <vector>

namespace treadle::qt {
namespace {

class KeyboardQtTest : public QtWindowFixture {
  protected:
    bool WaitConnected() {
        return QTest::qWaitFor([this] { return Model().DeviceDetected && Widget("Command_key", 0)->isEnabled(); },
                               3000);
    }
    // The control whose widget has the focus now (a combo box's edit field counts as the box).
    std::string Focused() {
        for (QWidget* w = QApplication::focusWidget(); w != nullptr; w = w->parentWidget()) {
            for (const Control& c : Model().Controls()) {
                if (window->WidgetFor(c) == w) {
                    return c.DisplayName();
                }
            }
        }
        return "(none)";
    }
    void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
    // The first eight bytes of each report the device received from `from` on, in hex.
    std::vector<std::string> Reports(size_t from) {
        std::vector<std::string> lines;
        const auto& received = device->Received();
        for (size_t i = from; i < received.size(); ++i) {
            std::string line;
            for (size_t b = 0; b < 8 && b < received[i].size(); ++b) {
                char hex[4];
                std::snprintf(hex, sizeof hex, b == 0 ? "%02X" : " %02X", received[i][b]);
                line += hex;
            }
            lines.push_back(line);
        }
        return lines;
    }
    // Tabs from the first stop once round, then Shift+Tabs back, comparing with the model.
    void TabRound() {
        const std::vector<const Control*> stops = TabStops(Model());
        ASSERT_GT(stops.size(), 100u);
        window->activateWindow();
        window->WidgetFor(*stops.front())->setFocus(Qt::TabFocusReason);
        for (size_t i = 1; i <= stops.size(); ++i) {
            Press(Qt::Key_Tab);
            ASSERT_EQ(Focused(), stops[i % stops.size()]->DisplayName()) << "tab " << i;
        }
        for (size_t i = stops.size(); i-- > 0;) {
            Press(Qt::Key_Backtab, Qt::ShiftModifier);
            ASSERT_EQ(Focused(), stops[i]->DisplayName()) << "back tab " << i;
        }
    }
};

TEST_F(KeyboardQtTest, TabFollowsTheModelsOrderInThePlainWindow) {
    Open();
    ASSERT_TRUE(WaitConnected());
    TabRound();
}

TEST_F(KeyboardQtTest, TabFollowsTheModelsOrderInTheAdvancedView) {
    Open({Language::English, true});
    ASSERT_TRUE(WaitConnected());
    TabRound();
}

TEST_F(KeyboardQtTest, SpaceOnLeftCtrlThenF1WritesTheKeyAssignment) {
    Open();
    ASSERT_TRUE(WaitConnected());
    window->activateWindow();
    // Switch 2, chosen with the arrow key in the switch box: the first Down picks "1".
    Widget("Combo1")->setFocus(Qt::TabFocusReason);
    Press(Qt::Key_Down);
    Press(Qt::Key_Down);
    ASSERT_EQ(Model().SelectedSwitch, 2);

    auto* ctrl = Widget<QPushButton>("Command_ctrl");
    EXPECT_TRUE(ctrl->isCheckable());
    EXPECT_FALSE(ctrl->isChecked());
    EXPECT_EQ(ctrl->accessibleName(), "左Ctrl");
    ctrl->setFocus(Qt::TabFocusReason);
    const size_t before = device->Received().size();
    Press(Qt::Key_Space);
    EXPECT_EQ(Model().ModifierByte, 0x01);
    EXPECT_TRUE(ctrl->isChecked());
    EXPECT_TRUE(Reports(before).empty());  // a toggle sends nothing

    Widget("Command_key", 0)->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(Widget("Command_key", 0)->accessibleName(), "F1");
    Press(Qt::Key_Space);
    EXPECT_EQ(Reports(before), (std::vector<std::string>{"00 AA 01 04 01 3A 00 00", "00 AA 01 7C 79 01 00 00",
                                                         "00 AA 01 78 79 01 00 00"}));

    // Enter presses too; Space on the toggle again releases it, and the button follows.
    ctrl->setFocus(Qt::TabFocusReason);
    Press(Qt::Key_Space);
    EXPECT_EQ(Model().ModifierByte, 0);
    EXPECT_FALSE(ctrl->isChecked());
    const size_t afterSpace = device->Received().size();
    Widget("Command_key", 1)->setFocus(Qt::TabFocusReason);
    Press(Qt::Key_Return);
    EXPECT_EQ(Reports(afterSpace).size(), 3u);
    ASSERT_FALSE(Reports(afterSpace).empty());
    EXPECT_EQ(Reports(afterSpace)[0], "00 AA 01 04 00 3B 00 00");  // F2 without modifiers
}

TEST_F(KeyboardQtTest, AToggleTheModelRefusesStaysUnchecked) {
    Open();
    // Before the device is found the toggles are disabled; a toggle enabled by hand while
    // disconnected is turned by the model, and shows what the model holds either way.
    auto* ctrl = Widget<QPushButton>("Command_ctrl");
    Model().Command_ctrl.SetEnabled(true);
    ctrl->click();
    EXPECT_EQ(ctrl->isChecked(), (Model().ModifierByte & 0x01) != 0);
    ctrl->click();
    EXPECT_EQ(ctrl->isChecked(), (Model().ModifierByte & 0x01) != 0);
}

TEST_F(KeyboardQtTest, ArrowKeysSelectThePlaybackOptions) {
    Open({Language::English, true});
    ASSERT_TRUE(WaitConnected());
    window->activateWindow();
    auto* loop = Widget<QRadioButton>("Option2");
    auto* once = Widget<QRadioButton>("Option1");
    ASSERT_TRUE(loop->isChecked());
    loop->setFocus(Qt::TabFocusReason);
    const size_t before = device->Received().size();
    Press(Qt::Key_Down);
    EXPECT_EQ(Focused(), "Option1");
    EXPECT_TRUE(once->isChecked());
    EXPECT_FALSE(loop->isChecked());
    EXPECT_FALSE(Model().LoopPlayback);
    EXPECT_GT(device->Received().size(), before);  // selecting writes the run mode
    Press(Qt::Key_Right);                          // past the last: back to the first
    EXPECT_EQ(Focused(), "Option2");
    EXPECT_TRUE(Model().LoopPlayback);
    Press(Qt::Key_Up);
    EXPECT_EQ(Focused(), "Option1");
    EXPECT_FALSE(Model().LoopPlayback);
}

TEST_F(KeyboardQtTest, EnterOnTheGuidesLinkOpensTheGuide) {
    Open();
    window->activateWindow();
    QWidget* link = Widget("Label11");
    EXPECT_EQ(link->focusPolicy(), Qt::TabFocus);
    link->setFocus(Qt::TabFocusReason);
    Press(Qt::Key_A);  // other keys do nothing
    EXPECT_TRUE(url.opened.empty());
    Press(Qt::Key_Return);
    ASSERT_EQ(url.opened.size(), 1u);
    Press(Qt::Key_Space);
    EXPECT_EQ(url.opened.size(), 2u);
}

TEST_F(KeyboardQtTest, EveryWidgetInTheOrderHasTheModelsName) {
    for (Language language : {Language::Chinese, Language::English}) {
        Open({language, true});
        for (const Control* c : FocusOrder(Model())) {
            EXPECT_EQ(window->WidgetFor(*c)->accessibleName().toStdString(), AccessibleName(Model(), *c))
                << c->DisplayName();
            EXPECT_NE(window->WidgetFor(*c)->focusPolicy(), Qt::NoFocus) << c->DisplayName();
        }
        EXPECT_EQ(Widget("Label3")->focusPolicy(), Qt::NoFocus);
        window.reset();
    }
}

}  // namespace
}  // namespace treadle::qt
