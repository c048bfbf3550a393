// The window on Win32: one child window per control of the model, placed as designed at the
// window's DPI. The controls only show the model's state and hand the user's events to the
// model's entry points; the model's change reports go to the renderer, which sets the control
// concerned through the setters below.
#pragma once

#include "window/render.h"
#include "window/usb.h"

#include <map>
#include <tuple>
#include <unordered_map>
#include <windows.h>

namespace treadle::win32 {

class MainWindow final : private RenderTarget {
  public:
    MainWindow(WindowServices services, HINSTANCE instance, WindowOptions options = {});
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Makes the system window and its controls, shows it and runs the model's Form_Load;
    // false (with the system's error code kept) when the window could not be made.
    bool Show(int showCommand);

    USB& Model() { return model_; }
    HWND Handle() const { return hwnd_; }
    // The child window showing a control; null for the timer.
    HWND HandleFor(const Control& control) const;
    UINT Dpi() const { return dpi_; }
    bool TimerRunning() const { return timerRunning_; }

    // The keyboard's moves, for the message loop before IsDialogMessage: Tab and Shift+Tab
    // along the model's focus order, the arrow keys between the playback options, Enter on a
    // button. True when the message was taken.
    bool TranslateKey(const MSG& message);

    // The timer's identifier in WM_TIMER.
    static constexpr UINT_PTR kTimerId = 1;

  private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static void RegisterClasses(HINSTANCE instance);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    void OnCreate();
    HWND CreateChild(Control& control, HWND parent);
    void Layout();
    void OnCommand(HWND child, WORD code);
    LRESULT OnCtlColor(HDC dc, HWND child, UINT message);
    void OnDrawItem(const DRAWITEMSTRUCT& item);
    void PaintButton(HDC dc, RECT r, const Control& control, bool pressed, bool disabled, bool focus);
    static LRESULT CALLBACK ToggleProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data);
    static LRESULT CALLBACK LinkProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR data);
    bool Press(bool enter);
    void MoveFocus(int step);
    bool MoveInGroup(int step);
    void OnPaintFrame(HWND frame);
    void OnDpiChanged(UINT dpi, const RECT& suggested);

    // The renderer's, with the controls' notifications taken for no user events.
    void RenderAll(const Control& control);
    void Render(const Control& control, Property property);
    void Unload();

    // The setters the renderer calls.
    bool Shows(const Control& control) const override;
    PixelRect Pixels(const Twips& place) const override;
    int TextWidth(const Control& control, const std::string& text) const override;
    int ContainerWidth(const Control& control) const override;
    void SetCaption(const Control& control, const std::string& text) override;
    void SetEditText(const Control& control, const std::string& text) override;
    void SetSize(const Control& control, int width, int height) override;
    void SetColors(const Control& control, std::uint32_t back, std::uint32_t fore) override;
    void SetEnabled(const Control& control, bool enabled) override;
    void SetVisible(const Control& control, bool visible) override;
    void SetCheck(const Control& control, CheckMark mark) override;
    void ClearItems(const Control& control) override;
    void AppendItems(const Control& control, std::span<const std::string> items) override;
    void SelectItem(const Control& control, int index) override;
    void SetTimerRunning(bool running) override;
    void SetPressed(const Control& control, bool pressed) override;
    void SetAccessibleName(const Control& control, const std::string& name) override;

    Control* ControlFor(HWND child);
    HFONT FontFor(const FontSpec& font) const;
    HBRUSH BrushFor(COLORREF color);
    RECT PlaceOf(const Control& control) const;

    USB model_;
    WindowRenderer renderer_;
    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    UINT dpi_ = 96;
    std::unordered_map<const Control*, HWND> children_;
    std::unordered_map<HWND, Control*> controls_;
    mutable std::map<std::tuple<std::string, double, bool>, HFONT> fonts_;  // at the present DPI
    std::map<COLORREF, HBRUSH> brushes_;
    int rendering_ = 0;  // the controls' notifications while the model is shown are no user events
    bool timerRunning_ = false;
    bool keyboardInput_ = false;  // the last input the loop saw came from the keyboard
};

}  // namespace treadle::win32
