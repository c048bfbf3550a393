// Showing the window model through a front end. The renderer decides what a change of a
// control shows: which of the front end's setters it calls and with what, how wide a label
// grows, whether a list's new lines are appended or the list is rebuilt, and when the
// window's timer runs. A front end implements the setters over its toolkit's widgets and
// wires the user's events to the model; it decides nothing itself.
#pragma once

#include "window/control.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>

namespace treadle {

class USB;

// A place in a front end's pixels, relative to the container.
struct PixelRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    int Right() const { return left + width; }   // the first column past it
    int Bottom() const { return top + height; }  // the first row below it
    bool operator==(const PixelRect&) const = default;
};

// The mark a check box or an option button shows.
enum class CheckMark { Unchecked, Checked, Grey };

// The primitive setters a front end implements, each on the widget that shows one control,
// and the few measures the renderer needs. The renderer calls them only for controls the
// front end shows.
class RenderTarget {
  public:
    virtual ~RenderTarget() = default;

    // True when the front end has a widget for the control.
    virtual bool Shows(const Control& control) const = 0;
    // A place in twips in the front end's pixels.
    virtual PixelRect Pixels(const Twips& place) const = 0;
    // How wide the text is on one line in the control's font, in pixels.
    virtual int TextWidth(const Control& control, const std::string& text) const = 0;
    // How wide the widget is that the control sits in (the window's client area, or its
    // frame), in pixels.
    virtual int ContainerWidth(const Control& control) const = 0;

    // A label's, button's, check box's or option button's caption, or a frame's title.
    virtual void SetCaption(const Control& control, const std::string& text) = 0;
    // A text box's or combo box's edit text. Set only when the field shows another text, so
    // that the user's caret is not moved for nothing.
    virtual void SetEditText(const Control& control, const std::string& text) = 0;
    // A new size in pixels at the same place.
    virtual void SetSize(const Control& control, int width, int height) = 0;
    // The background and text colours, stored colours as the control keeps them.
    virtual void SetColors(const Control& control, std::uint32_t back, std::uint32_t fore) = 0;
    virtual void SetEnabled(const Control& control, bool enabled) = 0;
    virtual void SetVisible(const Control& control, bool visible) = 0;
    virtual void SetCheck(const Control& control, CheckMark mark) = 0;
    // A list's or combo box's items: all removed, or more added after the last.
    virtual void ClearItems(const Control& control) = 0;
    virtual void AppendItems(const Control& control, std::span<const std::string> items) = 0;
    // The selected item, -1 for none; a list scrolls it into view.
    virtual void SelectItem(const Control& control, int index) = 0;
    // Whether the window's timer ticks.
    virtual void SetTimerRunning(bool running) = 0;

    // What a screen reader is told: the control's name, and whether a toggle is pressed. A
    // front end without a screen reader's interface leaves them as they are.
    virtual void SetAccessibleName(const Control& control, const std::string& name) {
        (void)control;
        (void)name;
    }
    virtual void SetPressed(const Control& control, bool pressed) {
        (void)control;
        (void)pressed;
    }
};

// How a front end's labels fit their texts.
struct LabelRules {
    // A label whose caption wraps grows to its text like the others when true; when false
    // it keeps its designed width, and its lines break inside it.
    bool widenWrappedLabels = false;
};

// The width a label shows at: its designed width, grown to the text's width and a pixel
// more, but not into a neighbour on its right (one that shares a row of pixels with it) nor
// past the container's right edge. `textWidth` and `containerWidth` are in pixels.
int FittedLabelWidth(const PixelRect& design, int textWidth, int containerWidth, std::span<const PixelRect> neighbours);

// The colour a stored colour (0x00BBGGRR, or 0x800000nn for system colour nn, as a default
// Windows desktop shows it) shows, as 0xRRGGBB.
std::uint32_t ShownRgb(std::uint32_t color);

// The colour a control's background shows: a standard button shows the button face whatever
// its BackColor says; a graphical one, and every other control, show their BackColor.
std::uint32_t ShownBackColor(const Control& control);

class WindowRenderer {
  public:
    WindowRenderer(USB& model, RenderTarget& target, LabelRules labels = {});
    WindowRenderer(const WindowRenderer&) = delete;
    WindowRenderer& operator=(const WindowRenderer&) = delete;

    // Shows one property of a control as the model has it; the front end calls it for each
    // change the model reports, and after the user's events.
    void Render(const Control& control, Property property);
    // Shows every property of a control.
    void RenderAll(const Control& control);
    // Sizes a label to its text among its neighbours, at the front end's present pixels.
    void FitLabel(const Control& label);

    // The window's life. Load runs the model's Form_Load when the window first shows, once;
    // Unload runs its Form_Unload once, and only after a load. The timer ticks between the
    // two while Timer1 is enabled.
    void Load();
    void Unload();

  private:
    // What a list or combo box holds as this renderer filled it: how many items, and the
    // last of them.
    struct ShownItems {
        std::size_t count = 0;
        std::string last;
    };

    void RenderText(const Control& control);
    void RenderValue(const Control& control);
    void RenderItems(const Control& control);
    void RenderListIndex(const Control& control);
    void RenderTimer();
    void RenderAccessibleNames(const Control& control);

    USB& model_;
    RenderTarget& target_;
    LabelRules labels_;
    std::unordered_map<const Control*, ShownItems> shownItems_;
    bool loaded_ = false;
    bool unloaded_ = false;
};

}  // namespace treadle
