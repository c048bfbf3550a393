// The window as a web page: one HTML element per control of the model (a real <button>,
// <select> or <input> where the control is one), placed in CSS pixels where the Qt window
// places its widgets. The page's script (page/page.js) owns the elements; this class tells
// it what to show through the renderer's setters and hands the user's events, which reach
// it one at a time through the page's queue, to the model.
#pragma once

#include "window/render.h"
#include "window/usb.h"

#include <string>

namespace treadle::web {

class PageWindow final : private RenderTarget {
  public:
    PageWindow(WindowServices services, WindowOptions options);
    ~PageWindow() override;
    PageWindow(const PageWindow&) = delete;
    PageWindow& operator=(const PageWindow&) = delete;

    USB& Model() { return model_; }

    // Makes the page's elements, shows the model's state in them and loads the window.
    void Show();

    // The user's events, by the control's number in the model's design order.
    void Click(int control);
    void SetCheck(int control, int value);
    void EditText(int control, const std::string& text);
    void SelectItem(int control, int index);
    void TimerTick() { model_.TimerTick(); }

  private:
    Control* At(int index);
    int IndexOf(const Control& control) const;
    void CreateElement(const Control& control);

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
    void SetAccessibleName(const Control& control, const std::string& name) override;
    void SetPressed(const Control& control, bool pressed) override;

    USB model_;
    WindowRenderer renderer_;
};

// The page's CSS font family list for a face of the design.
std::string CssFontFamilies(const std::string& face);

}  // namespace treadle::web
