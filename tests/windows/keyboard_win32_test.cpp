// The Win32 window without a mouse: Tab follows the model's focus order, Space presses the
// focused toggle and key, and the toggle's pressed state is the check state MSAA reads. The
// keys go through the same steps as in the program's message loop. It needs a display:
// scripts/wine-gui runs it.

// clang-format off
// The virtual foot switch before any Windows header: those define `interface` as a word.
#include "support/fakes.h"
#include "window/accessibility.h"
#include "window/focus_order.h"
#include "window/win32/win32_look.h"
#include "window/win32/window_win32.h"
// clang-format on

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <oleacc.h>
#include <string>
#include <vector>

namespace treadle::win32 {
namespace {

// IAccessible's IID, from the header's own declaration: mingw-w64's import library resolves
// IID_IAccessible to a jump into oleacc.dll, not to the IID, and every request fails with
// E_NOINTERFACE.
const IID kIAccessible = __uuidof(IAccessible);

class KeyboardWin32Test : public ::testing::Test {
  protected:
    void Open(WindowOptions options = {}) {
        VirtualFootSwitch::Options deviceOptions;
        deviceOptions.sleeper = &sleeper;
        device = std::make_unique<VirtualFootSwitch>(deviceOptions);
        std::string error;
        ASSERT_TRUE(device->Start(error)) << error;
        window = std::make_unique<MainWindow>(WindowServices{*device, clock, sleeper, boxes, url},
                                              ::GetModuleHandleW(nullptr), options);
        ASSERT_TRUE(window->Show(SW_SHOWNORMAL)) << ::GetLastError();
        ::SetForegroundWindow(window->Handle());
        ::SendMessageW(window->Handle(), WM_TIMER, MainWindow::kTimerId, 0);  // finds the device
        ASSERT_TRUE(window->Model().DeviceDetected);
    }
    void TearDown() override {
        window.reset();
        MSG m{};
        while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    // Runs the queued messages as the program's loop does.
    void Pump() {
        MSG m{};
        while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (window->TranslateKey(m) || ::IsDialogMessageW(window->Handle(), &m)) {
                continue;
            }
            ::TranslateMessage(&m);
            ::DispatchMessageW(&m);
        }
    }
    // A key pressed and let go on the focused control, with Shift held or not.
    void Key(WPARAM key, bool shift = false) {
        BYTE state[256] = {};
        ::GetKeyboardState(state);
        state[VK_SHIFT] = shift ? 0x80 : 0;
        ::SetKeyboardState(state);
        HWND focus = ::GetFocus();
        ::PostMessageW(focus, WM_KEYDOWN, key, 1);
        ::PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
        Pump();
        state[VK_SHIFT] = 0;
        ::SetKeyboardState(state);
    }
    // The control whose window has the focus (a combo box's edit field counts as the box).
    std::string Focused() {
        for (HWND h = ::GetFocus(); h != nullptr; h = ::GetParent(h)) {
            for (const Control& c : window->Model().Controls()) {
                if (window->HandleFor(c) == h) {
                    return c.DisplayName();
                }
            }
        }
        return "(none)";
    }
    void TabRound() {
        const std::vector<const Control*> stops = TabStops(window->Model());
        ASSERT_GT(stops.size(), 100u);
        ::SetFocus(window->HandleFor(*stops.front()));
        ASSERT_EQ(Focused(), stops.front()->DisplayName());
        for (size_t i = 1; i <= stops.size(); ++i) {
            Key(VK_TAB);
            ASSERT_EQ(Focused(), stops[i % stops.size()]->DisplayName()) << "tab " << i;
        }
        for (size_t i = stops.size(); i-- > 0;) {
            Key(VK_TAB, true);
            ASSERT_EQ(Focused(), stops[i]->DisplayName()) << "shift tab " << i;
        }
    }

    testing::FakeClock clock;
    testing::FakeSleeper sleeper;
    testing::FakeBoxes boxes;
    testing::FakeUrl url;
    std::unique_ptr<VirtualFootSwitch> device;
    std::unique_ptr<MainWindow> window;
};

TEST_F(KeyboardWin32Test, TabFollowsTheModelsOrder) {
    for (bool advanced : {false, true}) {
        SCOPED_TRACE(advanced ? "advanced" : "plain");
        Open({Language::Chinese, advanced});
        TabRound();
        window.reset();
    }
}

TEST_F(KeyboardWin32Test, SpaceOnLeftCtrlThenF1WritesTheKeyAssignment) {
    Open();
    HWND ctrl = window->HandleFor(window->Model().Command_ctrl);
    EXPECT_EQ(::SendMessageW(ctrl, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    ::SetFocus(ctrl);
    Key(VK_SPACE);
    EXPECT_EQ(window->Model().ModifierByte, 0x01);
    EXPECT_EQ(::SendMessageW(ctrl, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(::GetFocus(), ctrl);  // pressed from the keyboard, it keeps the focus
    EXPECT_TRUE(device->Received().empty());

    ::SetFocus(window->HandleFor(window->Model().Command_key[0]));
    Key(VK_SPACE);
    ASSERT_EQ(device->Received().size(), 3u);
    EXPECT_EQ(device->Received()[0][4], 0x01);  // Ctrl
    EXPECT_EQ(device->Received()[0][5], 0x3A);  // F1
    EXPECT_EQ(device->Received()[1][3], 0x7C);  // the key delay's slot
    EXPECT_EQ(device->Received()[2][3], 0x78);  // the long press's slot

    Key(VK_RETURN);  // Enter presses the focused key again
    EXPECT_EQ(device->Received().size(), 6u);
}

TEST_F(KeyboardWin32Test, ArrowKeysSelectThePlaybackOptions) {
    Open({Language::English, true});
    USB& model = window->Model();
    ASSERT_TRUE(model.LoopPlayback);
    ::SetFocus(window->HandleFor(model.Option2));
    Key(VK_DOWN);
    EXPECT_EQ(Focused(), "Option1");
    EXPECT_FALSE(model.LoopPlayback);
    EXPECT_EQ(::SendMessageW(window->HandleFor(model.Option1), BM_GETCHECK, 0, 0), BST_CHECKED);
    Key(VK_UP);
    EXPECT_EQ(Focused(), "Option2");
    EXPECT_TRUE(model.LoopPlayback);
}

TEST_F(KeyboardWin32Test, EnterAndSpaceOnTheGuidesLinkOpenTheGuide) {
    Open();
    ::SetFocus(window->HandleFor(window->Model().Label11));
    Key('A');  // other keys do nothing
    EXPECT_TRUE(url.opened.empty());
    Key(VK_RETURN);
    EXPECT_EQ(url.opened.size(), 1u);
    Key(VK_SPACE);
    EXPECT_EQ(url.opened.size(), 2u);
}

// A button's window text, which MSAA reads as its name, is its spoken name in the window's
// language; the look comes from the model's caption.
TEST_F(KeyboardWin32Test, ButtonsAreNamedByTheirSpokenNames) {
    Open({Language::English, false});
    struct Case {
        const Control* control;
        const wchar_t* name;
    };
    USB& model = window->Model();
    const Case cases[] = {
        {&model.Command_ctrl, L"Left Ctrl"},   {&model.Command_key[0], L"F1"},  {&model.Command_key[32], L"Up Arrow"},
        {&model.Command_key[81], L"Num Lock"}, {&model.Command_L_btn, L"Left"},
    };
    for (const Case& c : cases) {
        wchar_t text[64] = {};
        ::GetWindowTextW(window->HandleFor(*c.control), text, 64);
        EXPECT_STREQ(text, c.name) << c.control->DisplayName();
    }
    EXPECT_EQ(model.Command_key[32].Text(), "↑");
}

// What MSAA reads from the toggle: its name, its role and its checked state.
TEST_F(KeyboardWin32Test, MsaaReadsTheTogglesNameAndState) {
    Open();
    ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
    HWND ctrl = window->HandleFor(window->Model().Command_ctrl);
    ::SendMessageW(ctrl, BM_SETCHECK, BST_UNCHECKED, 0);
    ::SetFocus(ctrl);
    Key(VK_SPACE);
    IAccessible* accessible = nullptr;
    const HRESULT got = ::AccessibleObjectFromWindow(ctrl, static_cast<DWORD>(OBJID_CLIENT), kIAccessible,
                                                     reinterpret_cast<void**>(&accessible));
    if (FAILED(got) || accessible == nullptr) {
        // What the system's own proxy for a standard control gives, asked directly.
        const HRESULT standard = ::CreateStdAccessibleObject(ctrl, static_cast<LONG>(OBJID_CLIENT), kIAccessible,
                                                             reinterpret_cast<void**>(&accessible));
        std::printf("MSAA: AccessibleObjectFromWindow 0x%lx, CreateStdAccessibleObject 0x%lx\n",
                    static_cast<unsigned long>(got), static_cast<unsigned long>(standard));
        if (FAILED(standard) || accessible == nullptr) {
            ::CoUninitialize();
            GTEST_SKIP() << "this system gives no IAccessible for a button (AccessibleObjectFromWindow 0x" << std::hex
                         << got << ", CreateStdAccessibleObject 0x" << standard << ")";
        }
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    VARIANT role{};
    VARIANT state{};
    const HRESULT nameGot = accessible->get_accName(self, &name);
    const HRESULT roleGot = accessible->get_accRole(self, &role);
    const HRESULT stateGot = accessible->get_accState(self, &state);
    std::printf("MSAA: name %ls (0x%lx), role %ld (0x%lx), state 0x%lx (0x%lx)\n", name ? name : L"(null)",
                static_cast<unsigned long>(nameGot), static_cast<long>(role.lVal), static_cast<unsigned long>(roleGot),
                static_cast<unsigned long>(state.lVal), static_cast<unsigned long>(stateGot));
    EXPECT_STREQ(name, L"左Ctrl");
    ::SysFreeString(name);
    accessible->Release();
    ::CoUninitialize();
    if (SUCCEEDED(roleGot) && role.lVal == ROLE_SYSTEM_CLIENT) {
        // Wine's proxy knows no buttons: it gives every child window the client role.
        GTEST_SKIP() << "this system's MSAA proxy gives a button the client role, without its check state";
    }
    EXPECT_EQ(role.lVal, ROLE_SYSTEM_CHECKBUTTON);
    EXPECT_NE(state.lVal & STATE_SYSTEM_CHECKED, 0);
}

// What MSAA gives of a window object: whether it gave it, its name and its role, and whether
// it gave those.
struct MsaaObject {
    HRESULT got = E_FAIL;
    HRESULT roleGot = E_FAIL;
    std::wstring name;
    long role = 0;
};

MsaaObject ReadMsaa(HWND hwnd, LONG object) {
    MsaaObject read;
    IAccessible* accessible = nullptr;
    read.got = ::AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(object), kIAccessible,
                                            reinterpret_cast<void**>(&accessible));
    if (FAILED(read.got) || accessible == nullptr) {
        return read;
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    VARIANT role{};
    if (SUCCEEDED(accessible->get_accName(self, &name)) && name != nullptr) {
        read.name = name;
    }
    read.roleGot = accessible->get_accRole(self, &role);
    if (SUCCEEDED(read.roleGot) && role.vt == VT_I4) {
        read.role = role.lVal;
    }
    ::SysFreeString(name);
    accessible->Release();
    return read;
}

// A screen reader takes a window with a caption or a frame of its own, a pop-up or a dialog
// for a window of its own. The window is the one such window, named by its title; its frames
// are child windows without either, whose MSAA objects are named groups, neither windows nor
// dialogs.
TEST_F(KeyboardWin32Test, TheFramesAreNamedPartsOfTheOneWindow) {
    Open({Language::English, false});
    ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
    HWND top = window->Handle();
    wchar_t title[64] = {};
    ::GetWindowTextW(top, title, 64);
    const MsaaObject outer = ReadMsaa(top, OBJID_WINDOW);
    const MsaaObject client = ReadMsaa(top, OBJID_CLIENT);
    std::printf("MSAA: the window: 0x%lx, role 0x%lx %ld, %ls; its client: 0x%lx, role 0x%lx %ld, %ls\n",
                static_cast<unsigned long>(outer.got), static_cast<unsigned long>(outer.roleGot), outer.role,
                outer.name.c_str(), static_cast<unsigned long>(client.got), static_cast<unsigned long>(client.roleGot),
                client.role, client.name.c_str());
    const bool msaa = SUCCEEDED(client.got) && SUCCEEDED(client.roleGot);
    int frames = 0;
    for (const Control& c : window->Model().Controls()) {
        if (c.kind != ControlKind::Frame) {
            continue;
        }
        ++frames;
        HWND frame = window->HandleFor(c);
        const auto style = static_cast<DWORD>(::GetWindowLongPtrW(frame, GWL_STYLE));
        const auto exStyle = static_cast<DWORD>(::GetWindowLongPtrW(frame, GWL_EXSTYLE));
        EXPECT_NE(style & WS_CHILD, 0u) << c.name;
        EXPECT_EQ(style & (WS_CAPTION | WS_POPUP | WS_THICKFRAME | WS_DLGFRAME), 0u) << c.name;
        EXPECT_EQ(exStyle & (WS_EX_APPWINDOW | WS_EX_TOOLWINDOW | WS_EX_DLGMODALFRAME), 0u) << c.name;
        EXPECT_EQ(::GetAncestor(frame, GA_ROOT), top) << c.name;
        const MsaaObject part = ReadMsaa(frame, OBJID_CLIENT);
        std::printf("MSAA: frame %s: 0x%lx, role %ld, %ls\n", c.name.c_str(), static_cast<unsigned long>(part.got),
                    part.role, part.name.c_str());
        if (msaa) {
            EXPECT_EQ(part.name, Wide(AccessibleName(window->Model(), c))) << c.name;
            for (long windowRole : {ROLE_SYSTEM_WINDOW, ROLE_SYSTEM_DIALOG, ROLE_SYSTEM_APPLICATION}) {
                EXPECT_NE(part.role, windowRole) << c.name;
            }
        }
    }
    EXPECT_GT(frames, 3);
    ::CoUninitialize();
    if (!msaa) {
        GTEST_SKIP() << "this system gives no IAccessible for the window's client (0x" << std::hex << client.got
                     << "): only the frames' styles were checked";
    }
    EXPECT_EQ(client.role, ROLE_SYSTEM_CLIENT);
    EXPECT_EQ(client.name, title);
    // Wine's window object answers neither name nor role (E_NOTIMPL).
    if (SUCCEEDED(outer.roleGot)) {
        EXPECT_EQ(outer.role, ROLE_SYSTEM_WINDOW);
        EXPECT_EQ(outer.name, title);
    }
}

}  // namespace
}  // namespace treadle::win32
