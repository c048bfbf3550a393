// The window's actions end to end: through the model's entry points to the virtual foot
// switch, checking the reports it received, the log and the pauses asked for.
#include <gtest/gtest.h>

#include "device/virtual_foot_switch.h"
#include "support/fakes.h"

namespace treadle {
namespace {

using testing::WindowFixture;
using Lines = std::vector<std::string>;

// A window whose first tick has found the virtual foot switch.
struct Connected : WindowFixture {
    Connected() {
        window->Timer1_Timer();
        EXPECT_TRUE(window->DeviceDetected);
    }
    USB& w() { return *window; }
    Lines Reports() const {
        Lines lines;
        for (const auto& r : device->Received()) {
            lines.push_back(ByteListText(r));
        }
        return lines;
    }
    Lines StampedLines(std::initializer_list<std::string> messages) const {
        Lines lines;
        for (const std::string& m : messages) {
            lines.push_back(Stamped(m));
        }
        return lines;
    }
};

TEST(KeyAssignment, SwitchTwoLeftCtrlF1) {
    Connected f;
    USB& w = f.w();
    w.UserSelectItem(w.Combo1, 1);
    w.UserClick(w.Command_ctrl);
    EXPECT_EQ(w.Command_ctrl.BackColor(), colors::kPressed);
    EXPECT_EQ(w.TextIW.Text(), "aa 01 04 01 00 00 00");  // the preview, key code 00
    EXPECT_TRUE(f.device->Received().empty());            // a toggle sends nothing
    w.UserClick(w.Command_key[0]);
    EXPECT_EQ(f.Reports(), (Lines{"00 AA 01 04 01 3A 00 00", "00 AA 01 7C 79 01 00 00", "00 AA 01 78 79 01 00 00"}));
    EXPECT_EQ(f.sleeper.sleeps, (std::vector<int>{50, 50}));
    EXPECT_EQ(f.Log(), f.StampedLines({"成功在开关 <2> 中写入< Ctrl + F1 >"}));
    EXPECT_EQ(w.TextIW.Text(), "AA 01 78 79 01 00 00");
    EXPECT_EQ(f.device->Slots()[1], (SlotBytes{0x01, 0x3A, 0x00, 0x00}));
    EXPECT_EQ(w.CurrentCode, 58);
    EXPECT_EQ(w.Command_ctrl.BackColor(), colors::kPressed);  // toggles stay for the next key
}

TEST(KeyAssignment, LogNamesAllModifiersInLogOrder) {
    Connected f;
    USB& w = f.w();
    for (Control* t : {&w.Command_ctrl, &w.Command_shift, &w.Command_alt, &w.Command_win, &w.Command_ctrl_r,
                       &w.Command_shift_r, &w.Command_alt_r, &w.Command_win_r}) {
        w.UserClick(*t);
    }
    EXPECT_EQ(w.TextIW.Text(), "aa 01 00 FF 00 00 00");
    w.UserClick(w.Command_key[50]);  // A
    EXPECT_EQ(f.Reports()[0], "00 AA 01 00 FF 04 00 00");
    EXPECT_EQ(f.Log().back(), f.Stamped("成功在开关 <1> 中写入< Ctrl + Alt + Shift + Win + Ctrl_R + Alt_R + "
                                        "Shift_R + Win_R + A >"));
}

TEST(KeyAssignment, EachModifierToggleAloneGivesItsBitAndName) {
    struct Case {
        Control& (*toggle)(USB&);
        const char* bit;  // the modifier byte as the frame writes it
        const char* name;
    };
    const Case cases[] = {
        {[](USB& w) -> Control& { return w.Command_ctrl; }, "01", "Ctrl"},
        {[](USB& w) -> Control& { return w.Command_shift; }, "02", "Shift"},
        {[](USB& w) -> Control& { return w.Command_alt; }, "04", "Alt"},
        {[](USB& w) -> Control& { return w.Command_win; }, "08", "Win"},
        {[](USB& w) -> Control& { return w.Command_ctrl_r; }, "10", "Ctrl_R"},
        {[](USB& w) -> Control& { return w.Command_shift_r; }, "20", "Shift_R"},
        {[](USB& w) -> Control& { return w.Command_alt_r; }, "40", "Alt_R"},
        {[](USB& w) -> Control& { return w.Command_win_r; }, "80", "Win_R"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Connected f;
        USB& w = f.w();
        w.UserSelectItem(w.Combo1, 2);
        w.UserClick(c.toggle(w));
        EXPECT_EQ(w.TextIW.Text(), std::string("aa 01 08 ") + c.bit + " 00 00 00");
        w.UserClick(w.Command_key[50]);  // A
        ASSERT_FALSE(f.Reports().empty());
        EXPECT_EQ(f.Reports()[0], std::string("00 AA 01 08 ") + c.bit + " 04 00 00");
        EXPECT_EQ(f.Log(), f.StampedLines({std::string("成功在开关 <3> 中写入< ") + c.name + " + A >"}));
    }
}

TEST(KeyAssignment, PlainKeyDelayAndLongPress) {
    Connected f;
    USB& w = f.w();
    w.Text_delay.SetText("300");
    w.UserSetCheck(w.Check1, 1);
    w.UserClick(w.Command_key[76]);  // space
    EXPECT_EQ(f.Reports(), (Lines{"00 AA 01 00 00 2C 00 00", "00 AA 01 7C 79 01 01 2C", "00 AA 01 78 79 01 01 00"}));
    EXPECT_EQ(f.Log(), f.StampedLines({"按键延时响应时间：300 ms", "成功在开关 <1> 中写入<   >"}));
}

TEST(KeyAssignment, AToggleAfterAKeyResetsTheKeyCode) {
    Connected f;
    USB& w = f.w();
    w.UserClick(w.Command_key[0]);
    w.UserClick(w.Command_shift);
    EXPECT_EQ(w.TextIW.Text(), "aa 01 00 02 00 00 00");
    w.UserClick(w.Command_shift);
    EXPECT_EQ(w.Command_shift.BackColor(), colors::kButtonFace);
    EXPECT_EQ(w.TextIW.Text(), "aa 01 00 00 00 00 00");
}

TEST(KeyAssignment, NeverConnectedLogsOnlyTheFailure) {
    WindowFixture f;  // no tick yet: the device was never found
    USB& w = *f.window;
    w.EnableDeviceControls();  // reach the handler as if a click got through
    w.UserClick(w.Command_ctrl);
    const std::string preview = w.TextIW.Text();
    w.UserClick(w.Command_key[0]);
    EXPECT_EQ(f.Log(), (Lines{f.Stamped("写入失败，请先连接。")}));
    EXPECT_EQ(w.TextIW.Text(), preview);
    EXPECT_EQ(w.CurrentCode, 0);
    EXPECT_TRUE(f.device->Received().empty());
    EXPECT_TRUE(f.sleeper.sleeps.empty());
}

TEST(KeyAssignment, UnpluggedAfterAConnectionTriesToReconnect) {
    Connected f;
    USB& w = f.w();
    f.device->Unplug();
    w.Timer1_Timer();
    EXPECT_FALSE(w.DeviceDetected);
    w.EnableDeviceControls();
    w.UserClick(w.Command_key[0]);
    EXPECT_EQ(f.Log(), (Lines{f.Stamped("写入失败，请先连接。")}));
    EXPECT_TRUE(f.device->Received().empty());
    // Plugged in again before the next tick: the send finds it itself. (The failed search
    // disabled the keys, so the handler is called directly.)
    f.device->Plug();
    w.Command_key_Click(0);
    EXPECT_TRUE(w.DeviceDetected);
    EXPECT_EQ(w.Label3.Text(), "设备连接成功！");
    EXPECT_EQ(f.Reports().size(), 3u);
    EXPECT_EQ(f.Log().back(), f.Stamped("成功在开关 <1> 中写入< F1 >"));
}

TEST(KeyAssignment, FailedOrShortWritesAreSaid) {
    for (auto fault : {VirtualFootSwitch::WriteFault::Fail, VirtualFootSwitch::WriteFault::Short}) {
        Connected f;
        USB& w = f.w();
        w.Text_delay.SetText("300");
        f.device->SetWriteFault(fault);
        w.UserClick(w.Command_key[0]);
        EXPECT_EQ(f.Log(), (Lines{f.Stamped("写入失败，请检查设备连接。")}));  // no delay line either
        EXPECT_EQ(f.sleeper.sleeps, (std::vector<int>{50, 50}));           // all three were attempted
    }
}

TEST(KeyAssignment, SwitchNumbersOutsideOneToFourSendNothing) {
    for (const char* text : {"0", "5", "31", "abc", "1.5", "-1"}) {
        Connected f;
        USB& w = f.w();
        w.UserEditText(w.Combo1, text);
        w.UserClick(w.Command_ctrl);
        const std::string preview = w.TextIW.Text();
        w.UserClick(w.Command_key[0]);
        w.UserClick(w.Command_L_btn);
        EXPECT_TRUE(f.device->Received().empty()) << text;
        EXPECT_EQ(f.Log(), (Lines{f.Stamped("写入失败，请选择开关 1 到 4。"), f.Stamped("写入失败，请选择开关 1 到 4。")}))
            << text;
        EXPECT_EQ(w.TextIW.Text(), preview);
    }
    Connected f;
    f.w().UserEditText(f.w().Combo1, "0");
    f.w().UserClick(f.w().Command_ctrl);
    EXPECT_EQ(f.w().TextIW.Text(), "aa 01 FC 01 00 00 00");  // the preview still follows the slot rule
    f.w().UserEditText(f.w().Combo1, " 3 ");
    f.w().UserClick(f.w().Command_key[50]);
    EXPECT_EQ(f.Reports()[0], "00 AA 01 08 01 04 00 00");
    EXPECT_EQ(f.Log().back(), f.Stamped("成功在开关 <3> 中写入< Ctrl + A >"));
}

TEST(MouseAssignment, ThreeButtonsAndModifiersPlayNoPart) {
    Connected f;
    USB& w = f.w();
    w.UserClick(w.Command_ctrl);
    w.UserClick(w.Command_L_btn);
    w.UserClick(w.Command_M_btn);
    w.UserSelectItem(w.Combo1, 2);
    w.UserClick(w.Command_R_btn);
    EXPECT_EQ(f.Reports(), (Lines{"00 AA 02 00 FE 01 00 00", "00 AA 02 00 FE 04 00 00", "00 AA 02 08 FE 02 00 00"}));
    EXPECT_EQ(f.Log(), f.StampedLines({"成功在开关 < 1 > 写入鼠标 < 左键单击 > ", "成功在开关 < 1 > 写入鼠标 < 中键单击 > ",
                                       "成功在开关 < 3 > 写入鼠标 < 右键单击 > "}));
    EXPECT_TRUE(f.sleeper.sleeps.empty());
    EXPECT_EQ(w.TextIW.Text(), "aa 02 08 FE 02 00 00");
    EXPECT_EQ(w.CurrentCode, 2);
    EXPECT_EQ(f.device->Slots()[2], (SlotBytes{0xFE, 0x02, 0x00, 0x00}));
}

TEST(MouseAssignment, UnreachableDeviceIsSaid) {
    Connected f;
    USB& w = f.w();
    // Pulled out between two ticks: the write to the connected device fails.
    f.device->Unplug();
    w.UserClick(w.Command_L_btn);
    EXPECT_EQ(w.TextIW.Text(), "aa 02 00 FE 01 00 00");
    EXPECT_EQ(f.Log(), (Lines{f.Stamped("写入失败，请检查设备连接。")}));
    // After the next tick the window knows it is gone: nothing can be reached.
    w.Timer1_Timer();
    w.Command_M_btn_Click();
    EXPECT_EQ(f.Log().back(), f.Stamped("写入失败，请先连接。"));
    EXPECT_TRUE(f.device->Received().empty());
}

TEST(ClearAll, OkSendsThirtyTwoFramesThenLogsOnce) {
    Connected f;
    USB& w = f.w();
    w.UserClick(w.Command_key[0]);
    f.device->SetWriteFault(VirtualFootSwitch::WriteFault::None);
    const size_t before = f.Reports().size();
    w.UserClick(w.Command1);
    ASSERT_EQ(f.boxes.shown.size(), 1u);
    EXPECT_EQ(f.boxes.shown[0].text, "确定清空设备所有键值?");
    EXPECT_EQ(f.boxes.shown[0].title, "温馨提示");
    EXPECT_EQ(f.boxes.shown[0].buttons, MessageButtons::OkCancel);
    const Lines all = f.Reports();
    const Lines reports(all.begin() + static_cast<long>(before), all.end());
    ASSERT_EQ(reports.size(), 32u);
    for (int i = 0; i < 32; ++i) {
        char expected[32];
        std::snprintf(expected, sizeof expected, "00 AA 01 %02X FF FF FF FF", i * 4);
        EXPECT_EQ(reports[static_cast<size_t>(i)], expected);
    }
    EXPECT_EQ(w.Combo1.Text(), "0");
    EXPECT_EQ(w.TextIW.Text(), "AA 01 7C FF FF FF FF");
    EXPECT_EQ(f.Log().back(), f.Stamped("已清空设备所有键值!"));
    EXPECT_EQ(f.Log().size(), 2u);
    for (const SlotBytes& s : f.device->Slots()) {
        EXPECT_EQ(s, (SlotBytes{0xFF, 0xFF, 0xFF, 0xFF}));
    }
    EXPECT_TRUE(f.sleeper.sleeps.size() == 2u);  // clearing does not pause
}

TEST(ClearAll, CancelSendsNothingAndAManualWriteSendsThePreview) {
    for (MessageAnswer answer : {MessageAnswer::Cancel, MessageAnswer::Closed}) {
        Connected f;
        USB& w = f.w();
        f.boxes.answers = {answer};
        w.UserClick(w.Command1);
        EXPECT_TRUE(f.device->Received().empty());
        EXPECT_TRUE(f.Log().empty());
        EXPECT_EQ(w.TextIW.Text(), "aa 00 ff ff ff ff");
        EXPECT_EQ(w.Combo1.Text(), "1");
        w.UserClick(w.Iwrite);
        EXPECT_EQ(f.Reports(), (Lines{"00 AA 00 FF FF FF FF 00"}));
        EXPECT_EQ(f.Log(), (Lines{f.Stamped("写入数据：aa 00 ff ff ff ff")}));
    }
}

TEST(ClearAll, AFailedFrameDoesNotStopTheOthers) {
    Connected f;
    USB& w = f.w();
    f.device->SetWriteFault(VirtualFootSwitch::WriteFault::Short);
    w.Command1_Click();
    EXPECT_EQ(f.Log(), (Lines{f.Stamped("写入失败，请检查设备连接。")}));
    EXPECT_EQ(w.TextIW.Text(), "AA 01 7C FF FF FF FF");  // the loop went to the end
    WindowFixture never;
    never.window->Command1_Click();
    EXPECT_EQ(never.Log(), (Lines{never.Stamped("写入失败，请先连接。")}));
}

TEST(KeyDelay, ConfirmButtonSendsBothFrames) {
    struct Case {
        const char* delay;
        int check;
        Lines reports;
        Lines log;
    };
    const Case cases[] = {
        {"0", 0, {"00 AA 01 7C 79 01 00 00", "00 AA 01 78 79 01 00 00"}, {}},
        {"65535", 1, {"00 AA 01 7C 79 01 FF FF", "00 AA 01 78 79 01 01 00"}, {"按键延时响应时间：65535 ms"}},
        {"12abc", 0, {"00 AA 01 7C 79 01 00 0C", "00 AA 01 78 79 01 00 00"}, {"按键延时响应时间：12 ms"}},
        {"abc", 2, {"00 AA 01 7C 79 01 00 00", "00 AA 01 78 79 01 02 00"}, {}},
        // The unrounded number decides whether the line is written.
        {"0.4", 0, {"00 AA 01 7C 79 01 00 00", "00 AA 01 78 79 01 00 00"}, {"按键延时响应时间：0 ms"}},
        {"2.5", 0, {"00 AA 01 7C 79 01 00 02", "00 AA 01 78 79 01 00 00"}, {"按键延时响应时间：2 ms"}},
    };
    for (const Case& c : cases) {
        Connected f;
        USB& w = f.w();
        w.Text_delay.SetText(c.delay);
        w.Check1.SetValue(c.check);
        w.UserClick(w.Command2);
        EXPECT_EQ(f.Reports(), c.reports) << c.delay;
        Lines log;
        for (const std::string& m : c.log) {
            log.push_back(f.Stamped(m));
        }
        EXPECT_EQ(f.Log(), log) << c.delay;
        EXPECT_EQ(f.sleeper.sleeps, std::vector<int>{50});
        EXPECT_EQ(w.TextIW.Text(), c.reports.back().substr(3));
    }
}

TEST(KeyDelay, TheBoxNeverKeepsANumberOutsideTheWord) {
    WindowFixture f;
    USB& w = *f.window;
    w.Text_delay.SetText("70000");
    EXPECT_EQ(w.Text_delay.Text(), "65535");
    w.Text_delay.SetText("-5");
    EXPECT_EQ(w.Text_delay.Text(), "0");
    w.Text_delay.SetText("12abc");
    EXPECT_EQ(w.Text_delay.Text(), "12abc");
    EXPECT_TRUE(f.boxes.shown.empty());
}

TEST(KeyDelay, NotConnectedAndFailures) {
    WindowFixture never;
    never.window->Command2_Click();
    EXPECT_EQ(never.Log(), (Lines{never.Stamped("写入失败，请先连接。")}));
    EXPECT_TRUE(never.sleeper.sleeps.empty());

    Connected f;
    f.w().Text_delay.SetText("300");
    f.device->SetWriteFault(VirtualFootSwitch::WriteFault::Fail);
    f.w().Command2_Click();
    EXPECT_EQ(f.Log(), (Lines{f.Stamped("写入失败，请检查设备连接。")}));
}

TEST(RunMode, PowerOnToggleAndPlayback) {
    Connected f;
    USB& w = f.w();
    w.UserClick(w.Command_auto_run);
    EXPECT_EQ(w.Command_auto_run.BackColor(), colors::kPressed);
    w.UserClick(w.Command_auto_run);
    EXPECT_EQ(w.Command_auto_run.BackColor(), colors::kButtonFace);
    w.UserClick(w.Option1);
    w.UserClick(w.Option1);  // already selected: no click
    EXPECT_EQ(w.Option2.Value(), 0);
    w.UserClick(w.Command_auto_run);
    w.UserClick(w.Option2);
    EXPECT_EQ(f.Reports(), (Lines{"00 AA 01 7C 79 01 00 00", "00 AA 01 7C 00 01 00 00", "00 AA 01 7C 00 00 00 00",
                                  "00 AA 01 7C 79 00 00 00", "00 AA 01 7C 79 01 00 00"}));
    EXPECT_EQ(f.Log(), f.StampedLines({"键鼠控制器上电自动运行存储的键值！", "键鼠控制器上电不自动运行！", "单次播放！",
                                       "键鼠控制器上电自动运行存储的键值！", "循环播放！"}));
}

TEST(RunMode, AnyOtherColourCountsAsOffAndFailuresAreSaid) {
    Connected f;
    USB& w = f.w();
    w.Command_auto_run.SetBackColor(colors::Rgb(255, 0, 0));
    w.UserClick(w.Command_auto_run);
    EXPECT_EQ(w.Command_auto_run.BackColor(), colors::kPressed);
    EXPECT_EQ(f.Reports().back(), "00 AA 01 7C 79 01 00 00");
    f.device->Unplug();
    w.Timer1_Timer();
    w.Command_auto_run_Click();
    EXPECT_EQ(w.Command_auto_run.BackColor(), colors::kButtonFace);  // the colour changes all the same
    w.Option1_Click();
    EXPECT_EQ(f.Log().back(), f.Stamped("写入失败，请先连接。"));
    EXPECT_EQ(f.Log().size(), 3u);
}

TEST(ManualEntry, HexCheckBoxesAndCleaning) {
    struct Case {
        const char* text;
        const char* result;
        int boxes;
    };
    const Case cases[] = {
        {"aa 01 0g 00", "aa 01 0 00", 1}, {"x1x2y", "12", 2},     {"AA 01 7c", "AA 01 7c", 0},
        {"", "", 0},                      {"   ", "   ", 0},       {"a\tb", "ab", 1},
        {"中文 aa", " aa", 2},            {"１2", "2", 1},          {"ggg", "", 1},
    };
    for (const Case& c : cases) {
        WindowFixture f;
        USB& w = *f.window;
        w.TextIW.SetText(c.text);
        EXPECT_EQ(w.TextIW.Text(), c.result) << c.text;
        EXPECT_EQ(static_cast<int>(f.boxes.shown.size()), c.boxes) << c.text;
        for (const auto& box : f.boxes.shown) {
            EXPECT_EQ(box.text, "请输入的数据是16进制的范围");
            EXPECT_EQ(box.title, "Treadle");
            EXPECT_EQ(box.buttons, MessageButtons::Ok);
        }
        EXPECT_TRUE(f.Log().empty());
    }
}

TEST(ManualEntry, WriteAfterAKeyAssignmentSendsTheLongPressFrame) {
    Connected f;
    USB& w = f.w();
    w.UserClick(w.Command_key[0]);
    w.UserClick(w.Iwrite);
    EXPECT_EQ(f.Reports().back(), "00 AA 01 78 79 01 00 00");
    EXPECT_EQ(f.Log().back(), f.Stamped("写入数据：AA 01 78 79 01 00 00"));
}

TEST(ManualEntry, FailuresAndAnUnusableFrame) {
    WindowFixture never;
    never.window->Iwrite_Click();
    EXPECT_EQ(never.Log(), (Lines{never.Stamped("写入失败，请先连接。")}));

    Connected f;
    USB& w = f.w();
    f.device->SetWriteFault(VirtualFootSwitch::WriteFault::Short);
    w.Iwrite_Click();
    EXPECT_EQ(f.Log().back(), f.Stamped("写入失败，请检查设备连接。"));
    f.device->SetWriteFault(VirtualFootSwitch::WriteFault::None);
    w.OutputReportLength = 0;  // a device without an output report
    EXPECT_EQ(w.SendFrame(), SendOutcome::Failed);
    EXPECT_TRUE(f.device->Received().empty());
}

}  // namespace
}  // namespace treadle
