// One control of the window: its design data and its state. The window owns every control;
// each change of state is reported to the window, which runs the control's change event
// (text boxes) and tells the front end what to re-render.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace treadle {

// Colours as the window stores them: 0x00BBGGRR for an RGB colour, 0x800000nn for system
// colour nn.
namespace colors {
constexpr std::uint32_t System(int index) { return 0x80000000u | static_cast<std::uint32_t>(index); }
constexpr std::uint32_t Rgb(int r, int g, int b) {
    return static_cast<std::uint32_t>(r) | (static_cast<std::uint32_t>(g) << 8) | (static_cast<std::uint32_t>(b) << 16);
}
constexpr std::uint32_t kPressed = 0xFF00;  // pure green: a toggle that is on
constexpr std::uint32_t kButtonFace = System(15);
constexpr std::uint32_t kHighlightText = System(14);
constexpr std::uint32_t kWindowText = System(8);
constexpr std::uint32_t kWindow = System(5);
constexpr std::uint32_t kWhite = Rgb(255, 255, 255);
constexpr std::uint32_t kStatusGreen = Rgb(0, 128, 0);
inline bool IsSystem(std::uint32_t c) { return (c & 0x80000000u) != 0; }
}  // namespace colors

enum class ControlKind { Frame, Label, Button, ComboBox, CheckBox, OptionButton, TextBox, ListBox, Timer };

enum class Property { Text, BackColor, ForeColor, Enabled, Visible, Value, Items, ListIndex };

struct FontSpec {
    std::string face;
    double points = 10.5;
    bool bold = false;
};

// Place and size in twips, relative to the container.
struct Twips {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

class Control;

class ControlObserver {
public:
    virtual ~ControlObserver() = default;
    virtual void ControlChanged(Control& control, Property property) = 0;
};

class Control {
public:
    // Design data.
    std::string name;
    int index = -1;          // the Index within a control family, -1 for a single control
    ControlKind kind = ControlKind::Label;
    std::string container;   // the frame it sits in; empty for the window
    Twips place;
    FontSpec font;
    bool graphical = false;  // a button whose background colour shows
    bool wordWrap = false;   // a label whose caption breaks into lines at blanks

    // Caption or text.
    const std::string& Text() const { return text_; }
    void SetText(std::string text);

    std::uint32_t BackColor() const { return backColor_; }
    void SetBackColor(std::uint32_t color);
    std::uint32_t ForeColor() const { return foreColor_; }
    void SetForeColor(std::uint32_t color);

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);

    // Check box: 0 unchecked, 1 checked, 2 grey. Option button: 1 selected, 0 not.
    int Value() const { return value_; }
    void SetValue(int value);

    // Combo box and list box.
    const std::vector<std::string>& Items() const { return items_; }
    void AddItem(std::string item);
    void ClearItems();
    int ListIndex() const { return listIndex_; }
    void SetListIndex(int index);

    // Sets the state without telling anyone; only for building the window.
    void InitState(std::string text, std::uint32_t back, std::uint32_t fore, bool enabled, bool visible, int value);
    void SetObserver(ControlObserver* observer) { observer_ = observer; }

    // "Command_key(5)" for family members, the name otherwise.
    std::string DisplayName() const;

private:
    void Notify(Property property);

    std::string text_;
    std::uint32_t backColor_ = colors::kButtonFace;
    std::uint32_t foreColor_ = colors::kWindowText;
    bool enabled_ = true;
    bool visible_ = true;
    int value_ = 0;
    std::vector<std::string> items_;
    int listIndex_ = -1;
    ControlObserver* observer_ = nullptr;
};

}  // namespace treadle
