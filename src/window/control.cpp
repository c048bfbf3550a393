#include "window/control.h"

namespace treadle {

void Control::Notify(Property property) {
    if (observer_ != nullptr) {
        observer_->ControlChanged(*this, property);
    }
}

// A text box runs its change event only when its text really changes.
void Control::SetText(std::string text) {
    if (text == text_) {
        return;
    }
    text_ = std::move(text);
    Notify(Property::Text);
}

void Control::SetBackColor(std::uint32_t color) {
    if (color != backColor_) {
        backColor_ = color;
        Notify(Property::BackColor);
    }
}

void Control::SetForeColor(std::uint32_t color) {
    if (color != foreColor_) {
        foreColor_ = color;
        Notify(Property::ForeColor);
    }
}

void Control::SetEnabled(bool enabled) {
    if (enabled != enabled_) {
        enabled_ = enabled;
        Notify(Property::Enabled);
    }
}

void Control::SetVisible(bool visible) {
    if (visible != visible_) {
        visible_ = visible;
        Notify(Property::Visible);
    }
}

void Control::SetValue(int value) {
    if (value != value_) {
        value_ = value;
        Notify(Property::Value);
    }
}

void Control::AddItem(std::string item) {
    items_.push_back(std::move(item));
    Notify(Property::Items);
}

void Control::ClearItems() {
    if (items_.empty() && listIndex_ == -1) {
        return;
    }
    items_.clear();
    listIndex_ = -1;
    Notify(Property::Items);
}

void Control::SetListIndex(int index) {
    if (index < -1 || index >= static_cast<int>(items_.size())) {
        index = -1;
    }
    if (index != listIndex_) {
        listIndex_ = index;
        Notify(Property::ListIndex);
    }
}

void Control::InitState(std::string text, std::uint32_t back, std::uint32_t fore, bool enabled, bool visible,
                        int value) {
    text_ = std::move(text);
    backColor_ = back;
    foreColor_ = fore;
    enabled_ = enabled;
    visible_ = visible;
    value_ = value;
}

std::string Control::DisplayName() const {
    return index < 0 ? name : name + "(" + std::to_string(index) + ")";
}

}  // namespace treadle
