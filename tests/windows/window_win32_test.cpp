// The Win32 window's wiring: places at the window's DPI, the model's state shown, the user's
// events handed over, and handlers that never overlap while a modal box runs its own loop.
// It needs a display: scripts/wine-gui runs it.

// clang-format off
// The virtual foot switch before any Windows header: those define `interface` as a word.
#include "support/fakes.h"
#include "window/win32/window_win32.h"
#include "window/win32/win32_look.h"
// clang-format on

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

namespace treadle::win32 {
namespace {

// Message boxes that, while "open", run what a modal box's own loop would deliver.
class LoopingBoxes final : public MessageBoxes {
  public:
    std::function<void()> whileOpen;
    int shown = 0;
    MessageAnswer Show(const std::string&, const std::string&, MessageButtons) override {
        ++shown;
        if (whileOpen) {
            whileOpen();
        }
        return MessageAnswer::Ok;
    }
};

std::wstring Text(HWND hwnd) {
    wchar_t text[512] = {};
    ::GetWindowTextW(hwnd, text, 512);
    return text;
}

class WindowWin32Test : public ::testing::Test {
  protected:
    void SetUp() override {
        VirtualFootSwitch::Options options;
        options.sleeper = &sleeper;
        device = std::make_unique<VirtualFootSwitch>(options);
        std::string error;
        ASSERT_TRUE(device->Start(error)) << error;
        window = std::make_unique<MainWindow>(WindowServices{*device, clock, sleeper, boxes, url},
                                              ::GetModuleHandleW(nullptr));
        ASSERT_TRUE(window->Show(SW_SHOWNOACTIVATE)) << ::GetLastError();
    }
    void TearDown() override {
        window.reset();
        // A window's end may post a quit; it is no business of the next test.
        MSG m{};
        while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    USB& Model() { return window->Model(); }
    Control& C(const char* name, int index = -1) {
        Control* c = Model().Find(name, index);
        EXPECT_NE(c, nullptr) << name << " " << index;
        return *c;
    }
    HWND H(const char* name, int index = -1) { return window->HandleFor(C(name, index)); }
    void Tick() { ::SendMessageW(window->Handle(), WM_TIMER, MainWindow::kTimerId, 0); }
    // A user's click as the control reports it to its parent.
    void Click(HWND child, WORD code = BN_CLICKED) {
        ::SendMessageW(::GetParent(child), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(child), code),
                       reinterpret_cast<LPARAM>(child));
    }
    // Runs the thread's messages (the real timer among them) until `done` or the time is up.
    bool PumpUntil(const std::function<bool()>& done, int milliseconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < end) {
            MSG m{};
            while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&m);
                ::DispatchMessageW(&m);
            }
            if (done()) {
                return true;
            }
            ::Sleep(10);
        }
        return done();
    }
    // Types into an edit box as a user does, replacing what it holds.
    void Type(HWND edit, const std::wstring& text) {
        ::SetFocus(edit);
        ::SendMessageW(edit, EM_SETSEL, 0, -1);
        for (wchar_t c : text) {
            ::SendMessageW(edit, WM_CHAR, c, 1);
        }
    }
    COLORREF PixelOf(HWND child, int x, int y) {
        ::RedrawWindow(child, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        HDC dc = ::GetDC(child);
        const COLORREF c = ::GetPixel(dc, x, y);
        ::ReleaseDC(child, dc);
        return c;
    }

    testing::FakeClock clock;
    testing::FakeSleeper sleeper;
    LoopingBoxes boxes;
    testing::FakeUrl url;
    std::unique_ptr<VirtualFootSwitch> device;
    std::unique_ptr<MainWindow> window;
};

TEST_F(WindowWin32Test, ClientAreaAndEveryControlAtItsPlaceInPixels) {
    const UINT dpi = window->Dpi();
    RECT client{};
    ::GetClientRect(window->Handle(), &client);
    EXPECT_EQ(client.right, TwipsToPixels(USB::kClientWidth, dpi));
    EXPECT_EQ(client.bottom, TwipsToPixels(USB::kClientHeight, dpi));
    EXPECT_EQ(Text(window->Handle()), L"Treadle");
    size_t checked = 0;
    for (const Control& c : Model().Controls()) {
        if (c.kind == ControlKind::Timer) {
            EXPECT_EQ(window->HandleFor(c), nullptr);
            continue;
        }
        HWND h = window->HandleFor(c);
        ASSERT_NE(h, nullptr) << c.DisplayName();
        HWND parent = c.container.empty() ? window->Handle() : H(c.container.c_str());
        EXPECT_EQ(::GetParent(h), parent) << c.DisplayName();
        RECT r{};
        ::GetWindowRect(h, &r);
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        const RECT design = ToPixels(c.place, dpi);
        EXPECT_EQ(r.left, design.left) << c.DisplayName();
        EXPECT_EQ(r.top, design.top) << c.DisplayName();
        if (c.kind != ControlKind::Label && c.kind != ControlKind::ComboBox) {  // labels grow, combos drop
            EXPECT_EQ(r.right, design.right) << c.DisplayName();
            EXPECT_EQ(r.bottom, design.bottom) << c.DisplayName();
        }
        ++checked;
    }
    EXPECT_EQ(checked, Model().Controls().size() - 1);  // all but the timer
}

TEST_F(WindowWin32Test, HiddenControlsAndThoseRightOfTheClientAreaStayOutOfView) {
    for (const char* name : {"contion", "TextIW", "Frame4", "Command1", "TextVID", "Frame1"}) {
        EXPECT_FALSE(::IsWindowVisible(H(name))) << name;
    }
    EXPECT_FALSE(::IsWindowVisible(H("Command_key", 21)));
    EXPECT_TRUE(::IsWindowVisible(H("Command_key", 0)));
    C("Frame1").SetVisible(true);
    EXPECT_TRUE(::IsWindowVisible(H("Frame1")));
    EXPECT_TRUE(::IsWindowVisible(H("Text_delay")));
}

TEST_F(WindowWin32Test, ATickFindsTheDeviceAndTheRealTimerKeepsTicking) {
    EXPECT_FALSE(::IsWindowEnabled(H("Command_key", 0)));
    EXPECT_EQ(Text(H("Label3")), L"请插入设备！");
    Click(H("Command_key", 0));  // a disabled key reaches nothing
    EXPECT_TRUE(device->Received().empty());

    EXPECT_TRUE(window->TimerRunning());
    ASSERT_TRUE(PumpUntil([this] { return Model().DeviceDetected; }, 3000));
    EXPECT_TRUE(::IsWindowEnabled(H("Command_key", 0)));
    EXPECT_TRUE(::IsWindowEnabled(H("Command_ctrl")));
    EXPECT_EQ(Text(H("Label3")), L"设备连接成功！");

    device->Unplug();
    EXPECT_TRUE(PumpUntil([this] { return !::IsWindowEnabled(H("Command_ctrl")); }, 3000));
    EXPECT_EQ(Text(H("Label3")), L"请插入设备！");
}

TEST_F(WindowWin32Test, ClickingAToggleTurnsItGreenAndBackAndAKeySendsTheAssignment) {
    Tick();
    HWND toggle = H("Command_ctrl");
    Click(toggle);
    EXPECT_EQ(Model().Command_ctrl.BackColor(), colors::kPressed);
    EXPECT_EQ(PixelOf(toggle, 4, 4), RGB(0, 255, 0));
    EXPECT_NE(::GetFocus(), toggle);  // typing cannot press it

    Click(H("Command_key", 0), BN_DOUBLECLICKED);  // a quick second click is a click
    ASSERT_EQ(device->Received().size(), 3u);
    EXPECT_EQ(device->Received()[0][4], 0x01);  // Ctrl
    EXPECT_EQ(device->Received()[0][5], 0x3A);  // F1

    Click(toggle);
    EXPECT_EQ(Model().Command_ctrl.BackColor(), colors::kButtonFace);
    EXPECT_EQ(PixelOf(toggle, 4, 4), ::GetSysColor(COLOR_BTNFACE));
}

TEST_F(WindowWin32Test, HandlersNeverOverlapWhileAModalBoxRunsItsLoop) {
    Tick();
    const size_t sent = device->Received().size();
    device->Unplug();  // a tick that ran now would say so in the status
    bool busyInside = false;
    boxes.whileOpen = [&] {
        busyInside = Model().Busy();
        Tick();                      // the timer's message, through the window
        Click(H("Command_ctrl"));    // a click on a toggle
        Click(H("Command_key", 0));  // and on a key
    };
    // Typing a character that is not hex into the frame box opens the box.
    C("TextIW").SetEnabled(true);
    Type(H("TextIW"), L"aa 0z");
    EXPECT_EQ(boxes.shown, 1);
    EXPECT_TRUE(busyInside);
    EXPECT_EQ(Model().Command_ctrl.BackColor(), colors::kButtonFace);
    EXPECT_EQ(device->Received().size(), sent);
    EXPECT_EQ(Text(H("Label3")), L"设备连接成功！");
    // The text box shows what the model kept.
    EXPECT_EQ(Text(H("TextIW")), L"aa 0");
    EXPECT_EQ(C("TextIW").Text(), "aa 0");

    boxes.whileOpen = nullptr;
    Tick();  // afterwards the ticks run again
    EXPECT_EQ(Text(H("Label3")), L"请插入设备！");
}

TEST_F(WindowWin32Test, EditsAndListsReachTheModelAndShowItsState) {
    Tick();
    C("Frame1").SetVisible(true);
    Type(H("Text_delay"), L"25");
    EXPECT_EQ(C("Text_delay").Text(), "25");

    C("Check1").SetValue(1);
    EXPECT_EQ(::SendMessageW(H("Check1"), BM_GETCHECK, 0, 0), BST_CHECKED);
    Click(H("Check1"));
    EXPECT_EQ(C("Check1").Value(), 0);
    EXPECT_EQ(::SendMessageW(H("Check1"), BM_GETCHECK, 0, 0), BST_UNCHECKED);

    for (int i = 0; i < 30; ++i) {
        Model().LogMessage("line " + std::to_string(i));
    }
    HWND list = H("lstResults");
    EXPECT_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 30);
    EXPECT_EQ(::SendMessageW(list, LB_GETCURSEL, 0, 0), 29);
    ::SendMessageW(list, LB_SETCURSEL, 3, 0);
    Click(list, LBN_SELCHANGE);
    EXPECT_EQ(C("lstResults").ListIndex(), 3);
    Click(H("Clear"));
    EXPECT_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 0);

    C("Combo1").SetText("3");
    EXPECT_EQ(Text(H("Combo1")), L"3");
}

// The advanced view in English: the wider and taller client area, and the pedal test rendered
// by the generic controls, its buttons pressing the virtual foot switch's pedals on this thread.
TEST_F(WindowWin32Test, TheAdvancedViewShowsThePedalTestWhoseButtonsPressThePedals) {
    window.reset();
    window = std::make_unique<MainWindow>(WindowServices{*device, clock, sleeper, boxes, url},
                                          ::GetModuleHandleW(nullptr), WindowOptions{Language::English, true});
    ASSERT_TRUE(window->Show(SW_SHOWNOACTIVATE)) << ::GetLastError();
    const UINT dpi = window->Dpi();
    RECT client{};
    ::GetClientRect(window->Handle(), &client);
    EXPECT_EQ(client.right, TwipsToPixels(kAdvancedClientWidth, dpi));
    EXPECT_EQ(client.bottom, TwipsToPixels(kAdvancedClientHeight, dpi));

    HWND frame = H(kPedalTestFrame);
    HWND list = H(kPedalPressList);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(::GetParent(list), frame);
    EXPECT_TRUE(::IsWindowVisible(list));
    HWND pedal2 = H(kPedalButton, 1);
    ASSERT_NE(pedal2, nullptr);
    EXPECT_TRUE(::IsWindowVisible(pedal2));
    EXPECT_EQ(Text(pedal2), L"Pedal 2");

    Tick();
    ASSERT_TRUE(Model().DeviceDetected);
    Model().UserSelectItem(Model().Combo1, 1);
    Click(H("Command_ctrl"));
    Click(H("Command_key", 0));  // F1
    Click(pedal2);
    ASSERT_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 1);
    wchar_t line[256] = {};
    ASSERT_LT(::SendMessageW(list, LB_GETTEXTLEN, 0, 0), 256);
    ::SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(line));
    EXPECT_EQ(std::wstring(line), Wide(clock.stamp + "   ctrl+f1   switch 2"));

    // Pedal 1 holds nothing: the status line says so, and the list stays.
    Click(H(kPedalButton, 0));
    EXPECT_EQ(Text(H(kPedalStatus)).rfind(L"Cannot press the pedal: ", 0), 0u);
    EXPECT_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 1);
}

TEST_F(WindowWin32Test, TheProfileButtonsSitInTheColumnAndOpenTheFileDialog) {
    testing::FakeFileDialogs files;
    for (Language language : {Language::Chinese, Language::English}) {
        window.reset();
        window = std::make_unique<MainWindow>(WindowServices{*device, clock, sleeper, boxes, url, &files},
                                              ::GetModuleHandleW(nullptr), WindowOptions{language, true});
        ASSERT_TRUE(window->Show(SW_SHOWNOACTIVATE)) << ::GetLastError();
        Tick();
        ASSERT_TRUE(Model().DeviceDetected);
        files.asked.clear();
        const char* names[] = {kSaveProfileButton, kLoadProfileButton};
        const Msg captions[] = {Msg::SaveProfile, Msg::LoadProfile};
        for (int i = 0; i < 2; ++i) {
            HWND button = H(names[i]);
            ASSERT_NE(button, nullptr);
            EXPECT_TRUE(::IsWindowVisible(button));
            EXPECT_EQ(Text(button), Wide(treadle::Text(captions[i], language)));
            Click(button);
        }
        ASSERT_EQ(files.asked.size(), 2u);
        EXPECT_EQ(files.asked[0].kind, FileDialogKind::Save);
        EXPECT_EQ(files.asked[1].kind, FileDialogKind::Open);
    }
}

// Every English caption fits its button with a margin on both sides, measured in the font
// the button paints with.
TEST_F(WindowWin32Test, EveryEnglishButtonCaptionFitsWithAMargin) {
    constexpr int kMargin = 3;  // pixels on each side, inside the border
    for (const bool advanced : {false, true}) {
        window.reset();
        window = std::make_unique<MainWindow>(WindowServices{*device, clock, sleeper, boxes, url},
                                              ::GetModuleHandleW(nullptr), WindowOptions{Language::English, advanced});
        ASSERT_TRUE(window->Show(SW_SHOWNOACTIVATE)) << ::GetLastError();
        int measured = 0;
        for (const Control& c : Model().Controls()) {
            HWND button = window->HandleFor(c);
            if (c.kind != ControlKind::Button || button == nullptr || !::IsWindowVisible(button) || c.Text().empty()) {
                continue;
            }
            HDC dc = ::GetDC(button);
            const auto font = reinterpret_cast<HFONT>(::SendMessageW(button, WM_GETFONT, 0, 0));
            HGDIOBJ before = ::SelectObject(dc, font);
            const std::wstring caption = Wide(c.Text());
            SIZE size{};
            ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
            ::SelectObject(dc, before);
            ::ReleaseDC(button, dc);
            RECT client{};
            ::GetClientRect(button, &client);
            EXPECT_LE(size.cx + 2 * kMargin + 2, client.right) << c.DisplayName() << " \"" << c.Text() << "\""
                                                               << (advanced ? " advanced" : "");
            ++measured;
        }
        EXPECT_GT(measured, 100) << "the keys, toggles and buttons of the view";
    }
}

TEST_F(WindowWin32Test, ANewDpiRescalesPlacesAndFonts) {
    RECT suggested{0, 0, 1700, 800};
    ::SendMessageW(window->Handle(), WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(window->Dpi(), 192u);
    const Control& f1 = C("Command_key", 0);
    RECT r{};
    ::GetWindowRect(H("Command_key", 0), &r);
    EXPECT_EQ(r.right - r.left, TwipsToPixels(f1.place.width, 192));
    ::MapWindowPoints(nullptr, H("FrameKeyBoard"), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, TwipsToPixels(f1.place.left, 192));
    LOGFONTW font{};
    auto hfont = reinterpret_cast<HFONT>(::SendMessageW(H("Label3"), WM_GETFONT, 0, 0));
    ASSERT_NE(::GetObjectW(hfont, sizeof font, &font), 0);
    EXPECT_EQ(font.lfHeight, ToLogFont(C("Label3").font, 192).lfHeight);
}

TEST_F(WindowWin32Test, ClosingTheWindowClosesBothHandlesAndStopsTheTimer) {
    Tick();
    EXPECT_GT(device->OpenHandleCount(), 0);
    ::SendMessageW(window->Handle(), WM_CLOSE, 0, 0);
    const std::vector<std::string>& log = Model().lstResults.Items();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 1], "[" + clock.stamp + "]:CloseHandle (ReadHandle)");
    EXPECT_EQ(device->OpenHandleCount(), 0);
    EXPECT_FALSE(window->TimerRunning());
    EXPECT_EQ(window->Handle(), nullptr);
}

}  // namespace
}  // namespace treadle::win32
