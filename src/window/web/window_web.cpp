#include "window/web/window_web.h"

#include "window/accessibility.h"
#include "window/advanced_view.h"
#include "window/focus_order.h"

#include <algorithm>
#include <cmath>
#include <emscripten.h>
#include <optional>
#include <string>
#include <vector>

namespace treadle::web {
namespace {

// clang-format off
// Each setter reaches the element of control `i` through the page's script.
EM_JS(void, treadle_page_create,
      (int i, const char* role, int parent, const char* name, int left, int top, int width, int height,
       const char* font, int fontPx, int bold, int wrap),
      {
          treadlePage.create(i, UTF8ToString(role), parent, UTF8ToString(name), [ left, top, width, height ],
                             UTF8ToString(font), fontPx, bold !== 0, wrap !== 0);
      });
EM_JS(void, treadle_page_set_text, (int i, const char* what, const char* text),
      { treadlePage.setText(i, UTF8ToString(what), UTF8ToString(text)); });
EM_JS(void, treadle_page_set_flag, (int i, const char* what, int on), { treadlePage.setFlag(i, UTF8ToString(what), on); });
EM_JS(void, treadle_page_set_size, (int i, int width, int height), { treadlePage.setSize(i, width, height); });
EM_JS(void, treadle_page_set_colors, (int i, int back, int fore), { treadlePage.setColors(i, back, fore); });
EM_JS(void, treadle_page_select, (int i, int index), { treadlePage.select(i, index); });
EM_JS(void, treadle_page_timer, (int running), { treadlePage.timer(running !== 0); });
EM_JS(int, treadle_page_text_width, (int i, const char* text), { return treadlePage.textWidth(i, UTF8ToString(text)); });
EM_JS(void, treadle_page_arrow_group, (int i, const int* group, int count),
      { treadlePage.arrowGroup(i, Array.from(HEAP32.subarray(group >> 2, (group >> 2) + count))); });
EM_JS(void, treadle_page_tab_order, (const int* order, int count),
      { treadlePage.tabOrder(Array.from(HEAP32.subarray(order >> 2, (order >> 2) + count))); });

// clang-format on

const char* RoleName(AccessibleRole role) {
    switch (role) {
        case AccessibleRole::Grouping:
            return "group";
        case AccessibleRole::Label:
            return "label";
        case AccessibleRole::Link:
            return "link";
        case AccessibleRole::PushButton:
            return "button";
        case AccessibleRole::ToggleButton:
            return "toggle";
        case AccessibleRole::CheckBox:
            return "checkbox";
        case AccessibleRole::RadioButton:
            return "radio";
        case AccessibleRole::ComboBox:
            return "combobox";
        case AccessibleRole::Text:
            return "text";
        case AccessibleRole::List:
            break;
    }
    return "list";
}

// Twips at 96 dpi to CSS pixels, as the Qt window rounds them.
int ToPixels(int twips) { return static_cast<int>(std::lround(twips / 15.0)); }

}  // namespace

std::string CssFontFamilies(const std::string& face) {
    const std::string sans = "\"Noto Sans CJK SC\", \"WenQuanYi Micro Hei\", \"Droid Sans Fallback\", sans-serif";
    if (face == "微软雅黑" || face == "Microsoft YaHei") {
        return "\"微软雅黑\", \"Microsoft YaHei\", \"Microsoft YaHei UI\", " + sans;
    }
    if (face == "宋体" || face == "SimSun") {
        // As in the Qt window, a sans face stands in where Song is missing.
        return "\"宋体\", SimSun, " + sans;
    }
    return face.empty() ? sans : "\"" + face + "\", " + sans;
}

PageWindow::PageWindow(WindowServices services, WindowOptions options)
    : model_(services, options), renderer_(model_, *this) {}

PageWindow::~PageWindow() { renderer_.Unload(); }

void PageWindow::Show() {
    treadle_page_create(-1, "window", -1, model_.Caption.c_str(), 0, 0, ToPixels(model_.ClientWidth()),
                        ToPixels(model_.ClientHeight()), CssFontFamilies(model_.DefaultFont.face).c_str(),
                        static_cast<int>(std::lround(model_.DefaultFont.points * 96.0 / 72.0)), 0, 0);
    for (const Control& control : model_.Controls()) {
        if (control.kind != ControlKind::Timer) {
            CreateElement(control);
            renderer_.RenderAll(control);
        }
    }
    std::vector<int> order;
    for (const Control* control : FocusOrder(model_)) {
        order.push_back(IndexOf(*control));
        std::vector<int> group;
        for (const Control* member : ArrowGroup(model_, *control)) {
            group.push_back(IndexOf(*member));
        }
        if (group.size() > 1) {
            treadle_page_arrow_group(IndexOf(*control), group.data(), static_cast<int>(group.size()));
        }
    }
    treadle_page_tab_order(order.data(), static_cast<int>(order.size()));
    // The pedal test hears mouse clicks on its list.
    if (const Control* list = model_.Find(kPedalPressList)) {
        treadle_page_set_text(IndexOf(*list), "pedal-test", "");
    }
    model_.AddChangeListener(
        [this](const Control& control, Property property) { renderer_.Render(control, property); });
    renderer_.Load();
}

void PageWindow::CreateElement(const Control& control) {
    int parent = -1;
    if (!control.container.empty()) {
        if (Control* container = model_.Find(control.container)) {
            parent = IndexOf(*container);
        }
    }
    const PixelRect place = Pixels(control.place);
    treadle_page_create(IndexOf(control), RoleName(RoleOf(control)), parent, control.DisplayName().c_str(), place.left,
                        place.top, place.width, place.height, CssFontFamilies(control.font.face).c_str(),
                        std::max(1, static_cast<int>(std::lround(control.font.points * 96.0 / 72.0))),
                        control.font.bold ? 1 : 0, control.wordWrap ? 1 : 0);
}

// Each event is followed by a render of the control, so an element the model did not follow
// (disabled, refused) shows the model's state again.
void PageWindow::Click(int index) {
    if (Control* control = At(index)) {
        model_.UserClick(*control);
        renderer_.RenderAll(*control);
    }
}

void PageWindow::SetCheck(int index, int value) {
    if (Control* control = At(index)) {
        model_.UserSetCheck(*control, value);
        renderer_.RenderAll(*control);
    }
}

void PageWindow::EditText(int index, const std::string& text) {
    if (Control* control = At(index)) {
        model_.UserEditText(*control, text);
        renderer_.RenderAll(*control);
    }
}

void PageWindow::SelectItem(int index, int item) {
    if (Control* control = At(index)) {
        model_.UserSelectItem(*control, item);
        renderer_.RenderAll(*control);
    }
}

Control* PageWindow::At(int index) {
    const auto& controls = model_.Controls();
    if (index < 0 || static_cast<size_t>(index) >= controls.size()) {
        return nullptr;
    }
    return const_cast<Control*>(&controls[static_cast<size_t>(index)]);
}

int PageWindow::IndexOf(const Control& control) const {
    const auto& controls = model_.Controls();
    for (size_t i = 0; i < controls.size(); ++i) {
        if (&controls[i] == &control) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// ---- The renderer's setters ---------------------------------------------------------------

bool PageWindow::Shows(const Control& control) const { return control.kind != ControlKind::Timer; }

PixelRect PageWindow::Pixels(const Twips& place) const {
    return {ToPixels(place.left), ToPixels(place.top), ToPixels(place.width), ToPixels(place.height)};
}

int PageWindow::TextWidth(const Control& control, const std::string& text) const {
    return treadle_page_text_width(IndexOf(control), text.c_str());
}

int PageWindow::ContainerWidth(const Control& control) const {
    if (!control.container.empty()) {
        if (const Control* container = const_cast<USB&>(model_).Find(control.container)) {
            return Pixels(container->place).width;
        }
    }
    return ToPixels(model_.ClientWidth());
}

void PageWindow::SetCaption(const Control& control, const std::string& text) {
    treadle_page_set_text(IndexOf(control), "caption", text.c_str());
}

void PageWindow::SetEditText(const Control& control, const std::string& text) {
    treadle_page_set_text(IndexOf(control), "edit", text.c_str());
}

void PageWindow::SetSize(const Control& control, int width, int height) {
    treadle_page_set_size(IndexOf(control), width, height);
}

void PageWindow::SetColors(const Control& control, std::uint32_t back, std::uint32_t fore) {
    treadle_page_set_colors(IndexOf(control), static_cast<int>(ShownRgb(back)), static_cast<int>(ShownRgb(fore)));
}

void PageWindow::SetEnabled(const Control& control, bool enabled) {
    treadle_page_set_flag(IndexOf(control), "enabled", enabled ? 1 : 0);
}

void PageWindow::SetVisible(const Control& control, bool visible) {
    treadle_page_set_flag(IndexOf(control), "visible", visible ? 1 : 0);
}

void PageWindow::SetCheck(const Control& control, CheckMark mark) {
    treadle_page_set_flag(IndexOf(control), "check", mark == CheckMark::Checked ? 1 : mark == CheckMark::Grey ? 2 : 0);
}

void PageWindow::ClearItems(const Control& control) { treadle_page_set_text(IndexOf(control), "clear", ""); }

void PageWindow::AppendItems(const Control& control, std::span<const std::string> items) {
    for (const std::string& item : items) {
        treadle_page_set_text(IndexOf(control), "item", item.c_str());
    }
}

void PageWindow::SelectItem(const Control& control, int index) { treadle_page_select(IndexOf(control), index); }

void PageWindow::SetTimerRunning(bool running) { treadle_page_timer(running ? 1 : 0); }

void PageWindow::SetAccessibleName(const Control& control, const std::string& name) {
    treadle_page_set_text(IndexOf(control), "name", name.c_str());
}

void PageWindow::SetPressed(const Control& control, bool pressed) {
    treadle_page_set_flag(IndexOf(control), "pressed", pressed ? 1 : 0);
}

}  // namespace treadle::web
