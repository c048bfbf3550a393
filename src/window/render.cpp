#include "window/render.h"

#include "window/accessibility.h"
#include "window/usb.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <optional>
#include <vector>

namespace treadle {
namespace {

// The system colours of a default Windows desktop, by index.
constexpr std::array<std::uint32_t, 31> kSystemRgb{
    0xC8C8C8,  // 0 scroll bar
    0x000000,  // 1 desktop
    0x99B4D1,  // 2 active caption
    0xBFCDDB,  // 3 inactive caption
    0xF0F0F0,  // 4 menu
    0xFFFFFF,  // 5 window
    0x646464,  // 6 window frame
    0x000000,  // 7 menu text
    0x000000,  // 8 window text
    0x000000,  // 9 caption text
    0xB4B4B4,  // 10 active border
    0xF4F7FC,  // 11 inactive border
    0xABABAB,  // 12 application workspace
    0x0078D7,  // 13 highlight
    0xFFFFFF,  // 14 highlight text
    0xF0F0F0,  // 15 button face
    0xA0A0A0,  // 16 button shadow
    0x6D6D6D,  // 17 grey text
    0x000000,  // 18 button text
    0x434E54,  // 19 inactive caption text
    0xFFFFFF,  // 20 button highlight
    0x696969,  // 21 3-D dark shadow
    0xE3E3E3,  // 22 3-D light
    0x000000,  // 23 tooltip text
    0xFFFFE1,  // 24 tooltip
    0x000000,  // 25 (unused)
    0x0066CC,  // 26 hot tracking
    0xB9D1EA,  // 27 gradient active caption
    0xD7E4F2,  // 28 gradient inactive caption
    0x3399FF,  // 29 menu highlight
    0xF0F0F0,  // 30 menu bar
};

}  // namespace

std::uint32_t ShownRgb(std::uint32_t color) {
    if (colors::IsSystem(color)) {
        const std::uint32_t index = color & 0xFFu;
        return index < kSystemRgb.size() ? kSystemRgb[index] : 0x000000;
    }
    return ((color & 0xFFu) << 16) | (color & 0xFF00u) | ((color >> 16) & 0xFFu);
}

int FittedLabelWidth(const PixelRect& design, int textWidth, int containerWidth,
                     std::span<const PixelRect> neighbours) {
    int limit = containerWidth - design.left;
    for (const PixelRect& r : neighbours) {
        const bool besideIt = r.top < design.Bottom() && r.Bottom() > design.top;
        if (besideIt && r.left > design.left) {
            limit = std::min(limit, r.left - design.left);
        }
    }
    return std::max(design.width, std::min(textWidth + 1, limit));
}

std::uint32_t ShownBackColor(const Control& control) {
    if (control.kind == ControlKind::Button && !control.graphical) {
        return colors::kButtonFace;
    }
    return control.BackColor();
}

WindowRenderer::WindowRenderer(USB& model, RenderTarget& target, LabelRules labels)
    : model_(model), target_(target), labels_(labels) {}

void WindowRenderer::RenderAll(const Control& control) {
    // The items before the text and the selection: a combo box's edit text is set last.
    for (Property p : {Property::Items, Property::Text, Property::BackColor, Property::Enabled, Property::Visible,
                       Property::Value, Property::ListIndex}) {
        Render(control, p);
    }
}

void WindowRenderer::Render(const Control& control, Property property) {
    if (&control == &model_.Timer1) {
        RenderTimer();
        return;
    }
    if (!target_.Shows(control)) {
        return;
    }
    switch (property) {
        case Property::Text:
            RenderText(control);
            break;
        case Property::BackColor:
        case Property::ForeColor:
            target_.SetColors(control, ShownBackColor(control), control.ForeColor());
            // A toggle's colour shows its state: the pressed state follows with it.
            if (const std::optional<bool> pressed = TogglePressed(model_, control)) {
                target_.SetPressed(control, *pressed);
            }
            break;
        case Property::Enabled:
            target_.SetEnabled(control, control.Enabled());
            break;
        case Property::Visible:
            target_.SetVisible(control, model_.InView(control));
            break;
        case Property::Value:
            RenderValue(control);
            break;
        case Property::Items:
            RenderItems(control);
            break;
        case Property::ListIndex:
            RenderListIndex(control);
            break;
    }
}

void WindowRenderer::RenderText(const Control& control) {
    RenderAccessibleNames(control);
    switch (control.kind) {
        case ControlKind::TextBox:
        case ControlKind::ComboBox:
            target_.SetEditText(control, control.Text());
            return;
        case ControlKind::Label:
            target_.SetCaption(control, control.Text());
            FitLabel(control);
            return;
        default:
            target_.SetCaption(control, control.Text());
            return;
    }
}

// The design's labels are a little narrower than their texts in the fonts found here (a
// full-width "！" or "：" at the end): a label grows to its text, but not into a neighbour.
void WindowRenderer::FitLabel(const Control& label) {
    if (!target_.Shows(label) || (label.wordWrap && !labels_.widenWrappedLabels)) {
        return;
    }
    std::vector<PixelRect> neighbours;
    for (const Control& other : model_.Controls()) {
        if (&other != &label && other.container == label.container && other.kind != ControlKind::Timer &&
            other.Visible()) {
            neighbours.push_back(target_.Pixels(other.place));
        }
    }
    const PixelRect design = target_.Pixels(label.place);
    const int width =
        FittedLabelWidth(design, target_.TextWidth(label, label.Text()), target_.ContainerWidth(label), neighbours);
    target_.SetSize(label, width, design.height);
}

void WindowRenderer::RenderValue(const Control& control) {
    const int value = control.Value();
    if (control.kind == ControlKind::CheckBox) {
        target_.SetCheck(control, value == 1   ? CheckMark::Checked
                                  : value == 2 ? CheckMark::Grey
                                               : CheckMark::Unchecked);
    } else if (control.kind == ControlKind::OptionButton) {
        target_.SetCheck(control, value != 0 ? CheckMark::Checked : CheckMark::Unchecked);
    }
}

void WindowRenderer::RenderItems(const Control& control) {
    if (control.kind != ControlKind::ListBox && control.kind != ControlKind::ComboBox) {
        return;
    }
    const std::vector<std::string>& items = control.Items();
    ShownItems& shown = shownItems_[&control];
    // A list only grows or is cleared: what is new is added instead of rebuilding each time.
    // A combo box's few items are rebuilt.
    const bool appended = control.kind == ControlKind::ListBox && shown.count <= items.size() &&
                          (shown.count == 0 || shown.last == items[shown.count - 1]);
    if (!appended) {
        target_.ClearItems(control);
        shown = {};
    }
    if (shown.count < items.size()) {
        target_.AppendItems(control, std::span<const std::string>(items).subspan(shown.count));
    }
    shown = {items.size(), items.empty() ? std::string() : items.back()};
    RenderListIndex(control);
}

void WindowRenderer::RenderListIndex(const Control& control) {
    if (control.kind != ControlKind::ListBox && control.kind != ControlKind::ComboBox) {
        return;
    }
    const int index = control.ListIndex();
    const auto count = static_cast<int>(shownItems_[&control].count);
    target_.SelectItem(control, index >= 0 && index < count ? index : -1);
    if (control.kind == ControlKind::ComboBox) {
        // The edit text is the model's Text, whatever the list shows.
        RenderText(control);
    }
}

void WindowRenderer::RenderTimer() { target_.SetTimerRunning(loaded_ && !unloaded_ && model_.Timer1.Enabled()); }

void WindowRenderer::Load() {
    if (loaded_) {
        return;
    }
    loaded_ = true;
    model_.Form_Load();
    RenderTimer();
}

void WindowRenderer::Unload() {
    if (!loaded_ || unloaded_) {
        return;
    }
    unloaded_ = true;
    RenderTimer();
    model_.Form_Unload();
}

// A caption names its control; the boxes' names come from labels whose captions are fixed.
void WindowRenderer::RenderAccessibleNames(const Control& control) {
    target_.SetAccessibleName(control, AccessibleName(model_, control));
}

}  // namespace treadle
