#include "window/focus_order.h"

#include "window/accessibility.h"
#include "window/keyboard_layout.h"
#include "window/usb.h"

#include <algorithm>
#include <string>
#include <utility>

namespace treadle {
namespace {

// The container every control of the keyboard's layout sits in.
constexpr const char* kKeyboardPanel = "FrameKeyBoard";

const Control* Named(const USB& window, const std::string& name, int index = -1) {
    for (const Control& c : window.Controls()) {
        if (c.name == name && c.index == index) {
            return &c;
        }
    }
    return nullptr;
}

// Inside the client area once the containers' offsets are added.
bool InsideClientArea(const USB& window, const Control& control) {
    int left = control.place.left;
    int top = control.place.top;
    for (const Control* c = Named(window, control.container); c != nullptr; c = Named(window, c->container)) {
        left += c->place.left;
        top += c->place.top;
    }
    return left < window.ClientWidth() && top < window.ClientHeight();
}

// A control of one container as the reading order sees it: its place in that container and
// the controls in it that take the focus (the control itself, or a frame's).
struct Item {
    Twips place;
    std::vector<const Control*> controls;
};

std::vector<const Control*> Read(std::vector<Item> items);

// Splits the items where no item spans the gap between two runs along one axis. The runs
// come in order along it; one run means the axis has no gap.
template <typename Start, typename Length>
std::vector<std::vector<Item>> Runs(std::vector<Item> items, Start start, Length length) {
    std::stable_sort(items.begin(), items.end(),
                     [&](const Item& a, const Item& b) { return start(a.place) < start(b.place); });
    std::vector<std::vector<Item>> runs;
    int end = 0;
    for (Item& item : items) {
        if (runs.empty() || start(item.place) >= end) {
            runs.emplace_back();
            end = start(item.place);
        }
        end = std::max(end, start(item.place) + length(item.place));
        runs.back().push_back(std::move(item));
    }
    return runs;
}

std::vector<const Control*> ReadRuns(std::vector<std::vector<Item>> runs) {
    std::vector<const Control*> order;
    for (std::vector<Item>& run : runs) {
        for (const Control* c : Read(std::move(run))) {
            order.push_back(c);
        }
    }
    return order;
}

// Bands from top to bottom, then columns from left to right, each read the same way. Where
// neither splits (a band across the top overlapping what is under it), the top left item
// comes first and the rest is read again.
std::vector<const Control*> Read(std::vector<Item> items) {
    if (items.size() == 1) {
        return items.front().controls;
    }
    auto bands = Runs(
        items, [](const Twips& p) { return p.top; }, [](const Twips& p) { return p.height; });
    if (bands.size() > 1) {
        return ReadRuns(std::move(bands));
    }
    auto columns = Runs(
        items, [](const Twips& p) { return p.left; }, [](const Twips& p) { return p.width; });
    if (columns.size() > 1) {
        return ReadRuns(std::move(columns));
    }
    const auto first = std::min_element(items.begin(), items.end(), [](const Item& a, const Item& b) {
        return std::pair(a.place.top, a.place.left) < std::pair(b.place.top, b.place.left);
    });
    std::vector<const Control*> order = first->controls;
    items.erase(first);
    for (const Control* c : Read(std::move(items))) {
        order.push_back(c);
    }
    return order;
}

bool Listed(const USB& window, const Control& control) {
    return TakesFocus(control) && control.Visible() && InsideClientArea(window, control);
}

// The keyboard panel's keys in the order its layout lists them, row by row, then the panel's
// other controls (the guide's link at its top right).
std::vector<const Control*> KeyboardOrder(const USB& window) {
    std::vector<const Control*> order;
    for (const KeyPlace& k : KeyboardLayout()) {
        const Control* c = Named(window, k.name, k.index);
        if (c != nullptr && c->container == kKeyboardPanel && Listed(window, *c)) {
            order.push_back(c);
        }
    }
    for (const Control& c : window.Controls()) {
        if (c.container == kKeyboardPanel && Listed(window, c) &&
            std::find(order.begin(), order.end(), &c) == order.end()) {
            order.push_back(&c);
        }
    }
    return order;
}

std::vector<const Control*> ContainerOrder(const USB& window, const std::string& container) {
    if (container == kKeyboardPanel) {
        return KeyboardOrder(window);
    }
    std::vector<Item> items;
    for (const Control& c : window.Controls()) {
        if (c.container != container || c.kind == ControlKind::Timer) {
            continue;
        }
        if (c.kind == ControlKind::Frame) {
            std::vector<const Control*> inside = ContainerOrder(window, c.name);
            if (!inside.empty()) {
                items.push_back({c.place, std::move(inside)});
            }
        } else if (Listed(window, c)) {
            items.push_back({c.place, {&c}});
        }
    }
    return items.empty() ? std::vector<const Control*>{} : Read(std::move(items));
}

// Enabled and visible, with every frame it sits in.
bool Reachable(const USB& window, const Control& control) {
    for (const Control* c = &control; c != nullptr; c = Named(window, c->container)) {
        if (!c->Enabled() || !c->Visible()) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool TakesFocus(const Control& control) {
    switch (control.kind) {
        case ControlKind::Button:
        case ControlKind::ComboBox:
        case ControlKind::CheckBox:
        case ControlKind::OptionButton:
        case ControlKind::TextBox:
        case ControlKind::ListBox:
            return true;
        case ControlKind::Label:
            return RoleOf(control) == AccessibleRole::Link;
        default:
            return false;
    }
}

std::vector<const Control*> FocusOrder(const USB& window) { return ContainerOrder(window, ""); }

std::vector<const Control*> TabStops(const USB& window) {
    std::vector<const Control*> stops;
    for (const Control* c : FocusOrder(window)) {
        if (Reachable(window, *c)) {
            stops.push_back(c);
        }
    }
    return stops;
}

std::vector<const Control*> ArrowGroup(const USB& window, const Control& control) {
    if (control.kind != ControlKind::OptionButton) {
        return {};
    }
    std::vector<const Control*> group;
    for (const Control* c : FocusOrder(window)) {
        if (c->kind == ControlKind::OptionButton && c->container == control.container) {
            group.push_back(c);
        }
    }
    return group;
}

}  // namespace treadle
