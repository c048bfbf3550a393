#include "window/win32/window_win32.h"

#include "window/accessibility.h"
#include "window/focus_order.h"
#include "window/win32/win32_look.h"

#include <algorithm>
#include <commctrl.h>
#include <optional>
#include <vector>

namespace treadle::win32 {
namespace {

constexpr const wchar_t* kWindowClass = L"TreadleWindow";
constexpr const wchar_t* kFrameClass = L"TreadleFrame";
constexpr int kFirstControlId = 100;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
// Lines of a combo box's drop-down list, beyond its edit field.
constexpr int kComboListLines = 8;

std::wstring WindowText(HWND hwnd) {
    const int length = ::GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
    const int copied = ::GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::max(copied, 0)));
    return text;
}

struct ChildClass {
    const wchar_t* name;
    DWORD style;
    DWORD exStyle;
};

ChildClass ClassOf(const Control& control) {
    constexpr DWORD kChild = WS_CHILD | WS_CLIPSIBLINGS;
    switch (control.kind) {
        case ControlKind::Frame:
            return {kFrameClass, kChild | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT};
        case ControlKind::Label:
            // A label whose caption wraps breaks it into lines at blanks (SS_LEFT).
            return {L"STATIC", kChild | (control.wordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP) | SS_NOPREFIX | SS_NOTIFY, 0};
        case ControlKind::Button:
            // A toggle is a push-like check box, so that its pressed state is the check state a
            // screen reader reads; its paint is taken over (ToggleProc). Other buttons are drawn
            // here, so the BackColor of a graphical button shows; the panel's keys share the look.
            if (RoleOf(control) == AccessibleRole::ToggleButton) {
                return {L"BUTTON", kChild | WS_TABSTOP | WS_GROUP | BS_CHECKBOX | BS_PUSHLIKE, 0};
            }
            return {L"BUTTON", kChild | WS_TABSTOP | WS_GROUP | BS_OWNERDRAW, 0};
        case ControlKind::ComboBox:
            return {L"COMBOBOX", kChild | WS_TABSTOP | WS_GROUP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 0};
        case ControlKind::CheckBox:
            // Checked by the model, not by the control: a click the model drops leaves it as it was.
            return {L"BUTTON", kChild | WS_TABSTOP | WS_GROUP | BS_3STATE, 0};
        case ControlKind::OptionButton:
            return {L"BUTTON", kChild | WS_TABSTOP | BS_RADIOBUTTON, 0};  // one group with the other option
        case ControlKind::TextBox:
            return {L"EDIT", kChild | WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
        case ControlKind::ListBox:
            return {L"LISTBOX", kChild | WS_TABSTOP | WS_GROUP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                    WS_EX_CLIENTEDGE};
        case ControlKind::Timer:
            break;
    }
    return {L"STATIC", kChild, 0};
}

}  // namespace

void MainWindow::RegisterClasses(HINSTANCE instance) {
    static bool registered = false;
    if (registered) {
        return;
    }
    registered = true;
    WNDCLASSEXW window{};
    window.cbSize = sizeof window;
    window.lpfnWndProc = &MainWindow::WindowProc;
    window.hInstance = instance;
    window.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    window.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
    window.hIconSm =
        static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                        ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    window.lpszClassName = kWindowClass;
    ::RegisterClassExW(&window);

    WNDCLASSEXW frame{};
    frame.cbSize = sizeof frame;
    frame.lpfnWndProc = &MainWindow::FrameProc;
    frame.hInstance = instance;
    frame.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    frame.lpszClassName = kFrameClass;
    ::RegisterClassExW(&frame);
}

// A static control breaks a wrapped caption's lines at the width it is given: wrapped labels
// grow to their texts like the others here.
MainWindow::MainWindow(WindowServices services, HINSTANCE instance, WindowOptions options)
    : model_(services, options), renderer_(model_, *this, LabelRules{.widenWrappedLabels = true}), instance_(instance) {
    RegisterClasses(instance);
    model_.AddChangeListener([this](const Control& control, Property property) { Render(control, property); });
}

MainWindow::~MainWindow() {
    Unload();
    if (hwnd_ != nullptr) {
        // The controls go while the model still exists, and without reporting anything to it;
        // the window no longer answers, so its end asks no message loop to end.
        ++rendering_;
        HWND hwnd = hwnd_;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        ::DestroyWindow(hwnd);
    }
    for (auto& [key, font] : fonts_) {
        ::DeleteObject(font);
    }
    for (auto& [color, brush] : brushes_) {
        ::DeleteObject(brush);
    }
}

bool MainWindow::Show(int showCommand) {
    // The window is made at the system's DPI and moved to its monitor's once it exists.
    dpi_ = ::GetDpiForSystem();
    RECT outer{0, 0, TwipsToPixels(model_.ClientWidth(), dpi_), TwipsToPixels(model_.ClientHeight(), dpi_)};
    ::AdjustWindowRectExForDpi(&outer, kWindowStyle, FALSE, 0, dpi_);
    hwnd_ = ::CreateWindowExW(0, kWindowClass, Wide(model_.Caption).c_str(), kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                              outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr, instance_, this);
    if (hwnd_ == nullptr) {
        return false;
    }
    const UINT monitorDpi = ::GetDpiForWindow(hwnd_);
    if (monitorDpi != 0 && monitorDpi != dpi_) {
        RECT now{};
        ::GetWindowRect(hwnd_, &now);
        RECT wanted{0, 0, TwipsToPixels(model_.ClientWidth(), monitorDpi),
                    TwipsToPixels(model_.ClientHeight(), monitorDpi)};
        ::AdjustWindowRectExForDpi(&wanted, kWindowStyle, FALSE, 0, monitorDpi);
        OnDpiChanged(monitorDpi, RECT{now.left, now.top, now.left + wanted.right - wanted.left,
                                      now.top + wanted.bottom - wanted.top});
    }
    ::ShowWindow(hwnd_, showCommand);
    ::UpdateWindow(hwnd_);
    renderer_.Load();
    return true;
}

HWND MainWindow::HandleFor(const Control& control) const {
    const auto it = children_.find(&control);
    return it == children_.end() ? nullptr : it->second;
}

Control* MainWindow::ControlFor(HWND child) {
    // A combo box's edit field reports in its own name.
    for (HWND h = child; h != nullptr && h != hwnd_; h = ::GetParent(h)) {
        const auto it = controls_.find(h);
        if (it != controls_.end()) {
            return it->second;
        }
    }
    return nullptr;
}

RECT MainWindow::PlaceOf(const Control& control) const { return ToPixels(control.place, dpi_); }

HFONT MainWindow::FontFor(const FontSpec& font) const {
    const auto key = std::make_tuple(font.face, font.points, font.bold);
    const auto it = fonts_.find(key);
    if (it != fonts_.end()) {
        return it->second;
    }
    const LOGFONTW logFont = ToLogFont(font, dpi_);
    HFONT made = ::CreateFontIndirectW(&logFont);
    fonts_.emplace(key, made);
    return made;
}

HBRUSH MainWindow::BrushFor(COLORREF color) {
    const auto it = brushes_.find(color);
    if (it != brushes_.end()) {
        return it->second;
    }
    HBRUSH made = ::CreateSolidBrush(color);
    brushes_.emplace(color, made);
    return made;
}

// ---- Making the controls -------------------------------------------------------------------

void MainWindow::OnCreate() {
    ++rendering_;
    // Containers come before their children, so each parent exists when a child is made.
    for (const Control& c : model_.Controls()) {
        Control& control = const_cast<Control&>(c);
        if (control.kind == ControlKind::Timer) {
            continue;
        }
        HWND parent = hwnd_;
        if (Control* container = model_.Find(control.container); container != nullptr) {
            if (HWND h = HandleFor(*container); h != nullptr) {
                parent = h;
            }
        }
        HWND child = CreateChild(control, parent);
        if (child == nullptr) {
            continue;
        }
        // A child is made below its elder siblings; the design puts later controls on top
        // (the keyboard panel overlaps the bottom of the top frame).
        ::SetWindowPos(child, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (RoleOf(control) == AccessibleRole::ToggleButton) {
            ::SetWindowSubclass(child, &MainWindow::ToggleProc, 0, reinterpret_cast<DWORD_PTR>(this));
        } else if (RoleOf(control) == AccessibleRole::Link) {
            ::SetWindowSubclass(child, &MainWindow::LinkProc, 0, 0);
        }
        children_[&control] = child;
        controls_[child] = &control;
    }
    --rendering_;
    Layout();
    for (const auto& [control, child] : children_) {
        RenderAll(*control);
    }
}

HWND MainWindow::CreateChild(Control& control, HWND parent) {
    const ChildClass cls = ClassOf(control);
    const int id = kFirstControlId + static_cast<int>(controls_.size());
    return ::CreateWindowExW(cls.exStyle, cls.name, L"", cls.style, 0, 0, 0, 0, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, this);
}

// Every control at its place and in its font for the present DPI.
void MainWindow::Layout() {
    ++rendering_;
    for (const auto& [control, child] : children_) {
        const RECT r = PlaceOf(*control);
        int height = r.bottom - r.top;
        if (control->kind == ControlKind::ComboBox) {
            // A combo box's height includes its drop-down list; the edit field is sized below.
            height += kComboListLines * height;
        }
        ::SetWindowPos(child, nullptr, r.left, r.top, r.right - r.left, height, SWP_NOZORDER | SWP_NOACTIVATE);
        ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(control->font)), FALSE);
        if (control->kind == ControlKind::ComboBox) {
            // The edit field's own height, so the closed box is as tall as designed.
            const int border = 2 * ::GetSystemMetricsForDpi(SM_CYEDGE, dpi_) + 2;
            ::SendMessageW(child, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), std::max(1L, r.bottom - r.top - border));
        }
        if (control->kind == ControlKind::Label) {
            renderer_.FitLabel(*control);
        }
    }
    --rendering_;
    ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void MainWindow::OnDpiChanged(UINT dpi, const RECT& suggested) {
    dpi_ = dpi;
    for (auto& [key, font] : fonts_) {
        ::DeleteObject(font);
    }
    fonts_.clear();
    ::SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    Layout();
}

// ---- Events ------------------------------------------------------------------------------------

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        static_cast<MainWindow*>(create->lpCreateParams)->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) {
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

// A frame paints itself and hands its controls' notifications to the window.
LRESULT CALLBACK MainWindow::FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr) {
        switch (message) {
            case WM_COMMAND:
            case WM_DRAWITEM:
            case WM_CTLCOLORSTATIC:
            case WM_CTLCOLOREDIT:
            case WM_CTLCOLORLISTBOX:
            case WM_CTLCOLORBTN:
                return self->Handle(message, wParam, lParam);
            case WM_ERASEBKGND:
                return 1;  // painted whole in WM_PAINT
            case WM_PAINT:
                self->OnPaintFrame(hwnd);
                return 0;
            default:
                break;
        }
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            OnCreate();
            return 0;
        case WM_TIMER:
            if (wParam == kTimerId) {
                // The model skips a tick that comes while a handler runs (a modal box's loop).
                // The pedal test polls here too: its input watch belongs to this thread.
                model_.TimerTick();
            }
            return 0;
        case WM_COMMAND:
            if (lParam != 0) {
                OnCommand(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
            }
            return 0;
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item->CtlType == ODT_BUTTON) {
                OnDrawItem(*item);
                return TRUE;
            }
            break;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
            return OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), message);
        case WM_ERASEBKGND: {
            RECT r{};
            ::GetClientRect(hwnd_, &r);
            ::FillRect(reinterpret_cast<HDC>(wParam), &r, BrushFor(ToColorRef(USB::kBackColor)));
            return 1;
        }
        case WM_CHAR:
            // Keys that no control took: the window's key event. It records nothing.
            model_.Form_KeyPress(static_cast<int>(wParam));
            return 0;
        case WM_DPICHANGED:
            OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_CLOSE:
            Unload();
            ::DestroyWindow(hwnd_);
            return 0;
        case WM_DESTROY:
            Unload();
            ::PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY: {
            HWND hwnd = hwnd_;
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            hwnd_ = nullptr;
            children_.clear();
            controls_.clear();
            return ::DefWindowProcW(hwnd, message, wParam, lParam);
        }
        default:
            break;
    }
    return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

void MainWindow::OnCommand(HWND child, WORD code) {
    Control* control = ControlFor(child);
    if (control == nullptr || rendering_ > 0) {
        return;
    }
    HWND hwnd = HandleFor(*control);
    const bool clicked = code == BN_CLICKED || code == BN_DOUBLECLICKED;  // a quick second click too
    // Only the notifications that are user events; others (an edit's EN_UPDATE before its
    // EN_CHANGE, focus changes) leave the control as it is.
    switch (control->kind) {
        case ControlKind::Button:
            if (!clicked) {
                return;
            }
            // A button clicked with the mouse keeps no focus: typing must not press it. One
            // pressed from the keyboard keeps it, so the next key goes on from there.
            if (!keyboardInput_) {
                ::SetFocus(hwnd_);
            }
            model_.UserClick(*control);
            break;
        case ControlKind::OptionButton:
            if (!clicked) {
                return;
            }
            model_.UserClick(*control);
            break;
        case ControlKind::CheckBox:
            if (code != BN_CLICKED) {
                return;
            }
            model_.UserSetCheck(*control, control->Value() == 1 ? 0 : 1);
            break;
        case ControlKind::Label:
            if (code != STN_CLICKED) {
                return;
            }
            model_.UserClick(*control);
            break;
        case ControlKind::ComboBox:
            if (code == CBN_EDITCHANGE) {
                model_.UserEditText(*control, Narrow(WindowText(hwnd)));
            } else if (code == CBN_SELCHANGE) {
                model_.UserSelectItem(*control, static_cast<int>(::SendMessageW(hwnd, CB_GETCURSEL, 0, 0)));
            } else {
                return;
            }
            break;
        case ControlKind::TextBox:
            if (code != EN_CHANGE) {
                return;
            }
            model_.UserEditText(*control, Narrow(WindowText(hwnd)));
            break;
        case ControlKind::ListBox:
            if (code != LBN_SELCHANGE) {
                return;
            }
            model_.UserSelectItem(*control, static_cast<int>(::SendMessageW(hwnd, LB_GETCURSEL, 0, 0)));
            break;
        case ControlKind::Frame:
        case ControlKind::Timer:
            return;
    }
    // Each forwarded event is followed by a render of the control, so a control the model did
    // not follow (busy, disabled, refused) shows the model's state again.
    if (hwnd_ != nullptr && HandleFor(*control) != nullptr) {
        RenderAll(*control);
    }
}

LRESULT MainWindow::OnCtlColor(HDC dc, HWND child, UINT message) {
    const Control* control = ControlFor(child);
    if (control == nullptr) {
        return ::DefWindowProcW(hwnd_, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(child));
    }
    const COLORREF back = ToColorRef(control->BackColor());
    ::SetTextColor(dc, ToColorRef(control->ForeColor()));
    ::SetBkColor(dc, back);
    return reinterpret_cast<LRESULT>(BrushFor(back));
}

void MainWindow::OnDrawItem(const DRAWITEMSTRUCT& item) {
    const Control* control = ControlFor(item.hwndItem);
    if (control == nullptr) {
        return;
    }
    const bool focus = (item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0;
    PaintButton(item.hDC, item.rcItem, *control, (item.itemState & ODS_SELECTED) != 0,
                (item.itemState & ODS_DISABLED) != 0, focus);
}

// The look every button of the window shares: its face colour, a raised edge (sunken while
// pressed), the caption centred, and the dotted focus mark inside the edge.
void MainWindow::PaintButton(HDC dc, RECT r, const Control& c, bool pressed, bool disabledState, bool focus) {
    const Control* control = &c;
    ::FillRect(dc, &r, BrushFor(ButtonFace(*control)));
    ::DrawEdge(dc, &r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    if (focus) {
        RECT mark = r;
        ::InflateRect(&mark, -3, -3);
        ::SetTextColor(dc, RGB(0, 0, 0));
        ::SetBkColor(dc, RGB(255, 255, 255));
        ::DrawFocusRect(dc, &mark);
    }
    const bool disabled = disabledState || !control->Enabled();
    ::SetTextColor(dc, disabled ? ::GetSysColor(COLOR_GRAYTEXT) : ToColorRef(control->ForeColor()));
    ::SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old = ::SelectObject(dc, FontFor(control->font));
    if (pressed) {
        ::OffsetRect(&r, 1, 1);
    }
    const std::wstring text = Wide(control->Text());
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    ::SelectObject(dc, old);
}

// A frame draws a one-pixel border in the button shadow's grey; a captioned one (a group box)
// runs its top line through the middle of the caption.
void MainWindow::OnPaintFrame(HWND frame) {
    PAINTSTRUCT paint{};
    HDC dc = ::BeginPaint(frame, &paint);
    const Control* control = ControlFor(frame);
    RECT r{};
    ::GetClientRect(frame, &r);
    if (control != nullptr) {
        const COLORREF back = ToColorRef(control->BackColor());
        ::FillRect(dc, &r, BrushFor(back));
        const std::wstring caption = Wide(control->Text());
        HBRUSH border = BrushFor(::GetSysColor(COLOR_BTNSHADOW));
        if (caption.empty()) {
            ::FrameRect(dc, &r, border);
        } else {
            HGDIOBJ old = ::SelectObject(dc, FontFor(control->font));
            SIZE extent{};
            ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
            RECT box = r;
            box.top += extent.cy / 2;
            ::FrameRect(dc, &box, border);
            const int left = MulDiv(6, static_cast<int>(dpi_), kDesignDpi);
            ::SetTextColor(dc, ToColorRef(control->ForeColor()));
            ::SetBkColor(dc, back);
            RECT text{left, 0, left + extent.cx + 2, extent.cy};
            ::ExtTextOutW(dc, left + 1, 0, ETO_OPAQUE, &text, caption.c_str(), static_cast<UINT>(caption.size()),
                          nullptr);
            ::SelectObject(dc, old);
        }
    }
    ::EndPaint(frame, &paint);
}

// ---- Rendering the model ---------------------------------------------------------------------

void MainWindow::RenderAll(const Control& control) {
    ++rendering_;
    renderer_.RenderAll(control);
    --rendering_;
}

void MainWindow::Render(const Control& control, Property property) {
    ++rendering_;
    renderer_.Render(control, property);
    --rendering_;
}

bool MainWindow::Shows(const Control& control) const { return HandleFor(control) != nullptr; }

PixelRect MainWindow::Pixels(const Twips& place) const {
    const RECT r = ToPixels(place, dpi_);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

int MainWindow::TextWidth(const Control& control, const std::string& text) const {
    HWND child = HandleFor(control);
    const std::wstring wide = Wide(text);
    SIZE extent{};
    HDC dc = ::GetDC(child);
    HGDIOBJ old = ::SelectObject(dc, FontFor(control.font));
    ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &extent);
    ::SelectObject(dc, old);
    ::ReleaseDC(child, dc);
    return extent.cx;
}

int MainWindow::ContainerWidth(const Control& control) const {
    RECT parent{};
    ::GetClientRect(::GetParent(HandleFor(control)), &parent);
    return parent.right;
}

void MainWindow::SetCaption(const Control& control, const std::string& text) {
    HWND child = HandleFor(control);
    switch (control.kind) {
        case ControlKind::Frame:
            ::InvalidateRect(child, nullptr, TRUE);  // it paints its caption itself
            return;
        case ControlKind::Label:
            ::SetWindowTextW(child, Wide(text).c_str());
            return;
        case ControlKind::Button:
            // Painted from the model's caption; its window text is the name MSAA reads
            // (SetAccessibleName).
            ::InvalidateRect(child, nullptr, TRUE);
            return;
        default:
            ::SetWindowTextW(child, Wide(text).c_str());
            ::InvalidateRect(child, nullptr, TRUE);
            return;
    }
}

void MainWindow::SetEditText(const Control& control, const std::string& text) {
    HWND child = HandleFor(control);
    const std::wstring wide = Wide(text);
    if (WindowText(child) == wide) {
        return;
    }
    // The caret stays where it was, or at the end of a shorter text.
    const bool textBox = control.kind == ControlKind::TextBox;
    DWORD start = 0;
    ::SendMessageW(child, textBox ? EM_GETSEL : CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start), 0);
    ::SetWindowTextW(child, wide.c_str());
    const auto caret = static_cast<LPARAM>(std::min<size_t>(start, wide.size()));
    if (textBox) {
        ::SendMessageW(child, EM_SETSEL, static_cast<WPARAM>(caret), caret);
    } else {
        ::SendMessageW(child, CB_SETEDITSEL, 0, MAKELPARAM(caret, caret));
    }
}

void MainWindow::SetSize(const Control& control, int width, int height) {
    ::SetWindowPos(HandleFor(control), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Painted from the model's colours: OnCtlColor, OnDrawItem and OnPaintFrame read them.
void MainWindow::SetColors(const Control& control, std::uint32_t, std::uint32_t) {
    ::InvalidateRect(HandleFor(control), nullptr, TRUE);
}

void MainWindow::SetEnabled(const Control& control, bool enabled) {
    ::EnableWindow(HandleFor(control), enabled ? TRUE : FALSE);
}

void MainWindow::SetVisible(const Control& control, bool visible) {
    ::ShowWindow(HandleFor(control), visible ? SW_SHOWNA : SW_HIDE);
}

void MainWindow::SetCheck(const Control& control, CheckMark mark) {
    const WPARAM state = mark == CheckMark::Checked ? BST_CHECKED
                         : mark == CheckMark::Grey  ? BST_INDETERMINATE
                                                    : BST_UNCHECKED;
    ::SendMessageW(HandleFor(control), BM_SETCHECK, state, 0);
}

void MainWindow::ClearItems(const Control& control) {
    ::SendMessageW(HandleFor(control), control.kind == ControlKind::ListBox ? LB_RESETCONTENT : CB_RESETCONTENT, 0, 0);
}

void MainWindow::AppendItems(const Control& control, std::span<const std::string> items) {
    const UINT add = control.kind == ControlKind::ListBox ? LB_ADDSTRING : CB_ADDSTRING;
    for (const std::string& item : items) {
        ::SendMessageW(HandleFor(control), add, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
    }
}

// LB_SETCURSEL scrolls the line into view; -1 clears the selection.
void MainWindow::SelectItem(const Control& control, int index) {
    ::SendMessageW(HandleFor(control), control.kind == ControlKind::ListBox ? LB_SETCURSEL : CB_SETCURSEL,
                   static_cast<WPARAM>(index), 0);
}

void MainWindow::SetTimerRunning(bool running) {
    const bool run = running && hwnd_ != nullptr;
    if (run && !timerRunning_) {
        timerRunning_ = ::SetTimer(hwnd_, kTimerId, USB::kTimerInterval, nullptr) != 0;
    } else if (!run && timerRunning_) {
        if (hwnd_ != nullptr) {
            ::KillTimer(hwnd_, kTimerId);
        }
        timerRunning_ = false;
    }
}

void MainWindow::Unload() { renderer_.Unload(); }

// ---- The keyboard and screen readers --------------------------------------------------------

// A button's window text is what MSAA and screen readers read as its name: a key's spoken name
// ("Up Arrow" where the key shows an arrow). A frame's names its group ("Keyboard"); the frame
// paints its own caption, and a child window without a title bar shows no window text. The
// other controls' names are their own texts or the labels beside them.
void MainWindow::SetAccessibleName(const Control& control, const std::string& name) {
    if (control.kind == ControlKind::Button || control.kind == ControlKind::Frame) {
        ::SetWindowTextW(HandleFor(control), Wide(name).c_str());
    }
}

void MainWindow::SetPressed(const Control& control, bool pressed) {
    ::SendMessageW(HandleFor(control), BM_SETCHECK, pressed ? BST_CHECKED : BST_UNCHECKED, 0);
    ::InvalidateRect(HandleFor(control), nullptr, FALSE);
}

// A toggle paints itself as the owner-drawn buttons are painted; after every message that
// changes how it looks (its own paint would show then) it is painted again.
LRESULT CALLBACK MainWindow::ToggleProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                        DWORD_PTR data) {
    auto* self = reinterpret_cast<MainWindow*>(data);
    const Control* control = self->hwnd_ != nullptr ? self->ControlFor(hwnd) : nullptr;
    if (control == nullptr) {
        return ::DefSubclassProc(hwnd, message, wParam, lParam);
    }
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT paint{};
            HDC dc = ::BeginPaint(hwnd, &paint);
            RECT r{};
            ::GetClientRect(hwnd, &r);
            const auto state = static_cast<UINT>(::SendMessageW(hwnd, BM_GETSTATE, 0, 0));
            const auto cues = static_cast<UINT>(::SendMessageW(hwnd, WM_QUERYUISTATE, 0, 0));
            const bool focus = (state & BST_FOCUS) != 0 && (cues & UISF_HIDEFOCUS) == 0;
            self->PaintButton(dc, r, *control, (state & BST_PUSHED) != 0, !::IsWindowEnabled(hwnd), focus);
            ::EndPaint(hwnd, &paint);
            return 0;
        }
        default:
            break;
    }
    const LRESULT result = ::DefSubclassProc(hwnd, message, wParam, lParam);
    switch (message) {
        case BM_SETSTATE:
        case BM_SETCHECK:
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_ENABLE:
        case WM_SETTEXT:
        case WM_UPDATEUISTATE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_KEYDOWN:
        case WM_KEYUP:
            ::InvalidateRect(hwnd, nullptr, FALSE);
            break;
        default:
            break;
    }
    return result;
}

bool MainWindow::TranslateKey(const MSG& message) {
    if (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST) {
        keyboardInput_ = true;
    } else if (message.message >= WM_MOUSEFIRST && message.message <= WM_MOUSELAST) {
        keyboardInput_ = false;
    }
    if (message.message != WM_KEYDOWN || hwnd_ == nullptr || !::IsChild(hwnd_, message.hwnd)) {
        return false;
    }
    const bool shift = ::GetKeyState(VK_SHIFT) < 0;
    switch (message.wParam) {
        case VK_TAB:
            if (::GetKeyState(VK_CONTROL) < 0 || ::GetKeyState(VK_MENU) < 0) {
                return false;
            }
            MoveFocus(shift ? -1 : 1);
            return true;
        case VK_UP:
        case VK_LEFT:
            return MoveInGroup(-1);
        case VK_DOWN:
        case VK_RIGHT:
            return MoveInGroup(1);
        case VK_RETURN:
        case VK_SPACE:
            return Press(message.wParam == VK_RETURN);
        default:
            return false;
    }
}

// Enter presses the focused button; Enter and Space open the guide from its link, which is
// a label and takes no keys itself. Space on a button is the button's own.
bool MainWindow::Press(bool enter) {
    Control* focused = ControlFor(::GetFocus());
    if (focused == nullptr) {
        return false;
    }
    if (focused->kind == ControlKind::Button && enter) {
        ::SendMessageW(HandleFor(*focused), BM_CLICK, 0, 0);
        return true;
    }
    if (RoleOf(*focused) == AccessibleRole::Link) {
        model_.UserClick(*focused);
        return true;
    }
    return false;
}

// The guide's link: a static control, which draws no focus; the dotted mark is drawn over it.
LRESULT CALLBACK MainWindow::LinkProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    const LRESULT result = ::DefSubclassProc(hwnd, message, wParam, lParam);
    if (message == WM_SETFOCUS || message == WM_KILLFOCUS) {
        ::InvalidateRect(hwnd, nullptr, TRUE);
    } else if (message == WM_PAINT && ::GetFocus() == hwnd) {
        HDC dc = ::GetDC(hwnd);
        RECT r{};
        ::GetClientRect(hwnd, &r);
        ::DrawFocusRect(dc, &r);
        ::ReleaseDC(hwnd, dc);
    }
    return result;
}

// The next control of the model's order that Tab reaches now, after the focused one; the
// first (or last) when the focus is on none of them.
void MainWindow::MoveFocus(int step) {
    const std::vector<const Control*> stops = TabStops(model_);
    if (stops.empty()) {
        return;
    }
    const Control* focused = ControlFor(::GetFocus());
    const auto at = std::find(stops.begin(), stops.end(), focused);
    const auto size = static_cast<long>(stops.size());
    long next = step > 0 ? 0 : size - 1;
    if (at != stops.end()) {
        next = ((at - stops.begin()) + step + size) % size;
    }
    HWND target = HandleFor(*stops[static_cast<size_t>(next)]);
    ::SendMessageW(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    ::SetFocus(target);
    if (stops[static_cast<size_t>(next)]->kind == ControlKind::TextBox) {
        ::SendMessageW(target, EM_SETSEL, 0, -1);
    }
}

// The arrow keys between the playback options: the option moved to is selected, as a click
// does. False for a control without such a group; the control takes the key itself then.
bool MainWindow::MoveInGroup(int step) {
    const Control* focused = ControlFor(::GetFocus());
    if (focused == nullptr) {
        return false;
    }
    const std::vector<const Control*> group = ArrowGroup(model_, *focused);
    const auto at = std::find(group.begin(), group.end(), focused);
    if (at == group.end()) {
        // The keys have no arrows of their own: the focus stays where it is.
        return focused->kind == ControlKind::Button;
    }
    const auto size = static_cast<long>(group.size());
    const long next = ((at - group.begin()) + step + size) % size;
    HWND target = HandleFor(*group[static_cast<size_t>(next)]);
    ::SetFocus(target);
    ::SendMessageW(target, BM_CLICK, 0, 0);
    return true;
}

}  // namespace treadle::win32
