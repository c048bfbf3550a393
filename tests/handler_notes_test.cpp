#include "support/fakes.h"
#include "window/control_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace treadle {
namespace {

using testing::WindowFixture;

// Texts a change check should not let stand: a letter and a sign in a hex or number box, a
// number beyond what a delay or an ID may be, a negative one.
const char* const kHostileTexts[] = {"zz!", "99999", "-5"};

// True when the user's event on the control (typing `text`, or else a click or a choice from
// its list) runs a handler in a window on the virtual foot switch, connected or not: anything
// happens beyond what the entry point itself does to the control (a check box's value, an
// edit's text, a list's selection). The timer's event is its tick.
bool EventRunsAHandler(const Control& design, bool advanced, bool connected, const char* text) {
    WindowFixture f({}, {Language::Chinese, advanced});
    USB& w = *f.window;
    if (connected) {
        w.TimerTick();
    }
    Control& c = *w.Find(design.name, design.index);
    w.LogMessage("before");  // so that emptying the log shows
    if (c.kind == ControlKind::OptionButton) {
        c.SetValue(0);  // a click selects it
    }
    const std::vector<std::string> log = w.lstResults.Items();
    const size_t received = f.device->Received().size();
    // What the entry point itself reports for the event: no handler's doing.
    auto entryPointsOwn = [&](const Control& other, Property p) {
        switch (c.kind) {
            case ControlKind::OptionButton:
                return other.kind == ControlKind::OptionButton && other.container == c.container &&
                       p == Property::Value;
            case ControlKind::CheckBox:
                return &other == &c && p == Property::Value;
            case ControlKind::TextBox:
            case ControlKind::ComboBox:
            case ControlKind::ListBox:
                if (&other != &c) {
                    return false;
                }
                if (text != nullptr) {
                    return p == Property::Text && c.Text() == text;
                }
                return p == Property::ListIndex || (c.kind == ControlKind::ComboBox && p == Property::Text);
            default:
                return false;
        }
    };
    bool changed = false;
    w.AddChangeListener([&](const Control& other, Property p) { changed = changed || !entryPointsOwn(other, p); });
    switch (c.kind) {
        case ControlKind::Timer:
            w.TimerTick();
            break;
        case ControlKind::CheckBox:
            w.UserSetCheck(c, c.Value() == 1 ? 0 : 1);
            break;
        case ControlKind::TextBox:
        case ControlKind::ComboBox:
        case ControlKind::ListBox:
            if (text != nullptr) {
                w.UserEditText(c, text);
            } else {
                w.UserSelectItem(c, c.kind == ControlKind::ListBox ? 0 : 1);
            }
            break;
        default:
            w.UserClick(c);
            break;
    }
    return changed || w.lstResults.Items() != log || f.device->Received().size() != received ||
           !f.boxes.shown.empty() || !f.url.opened.empty() || !f.files.asked.empty();
}

// The names of the controls whose events run a handler, in the plain and the advanced view.
std::set<std::string> ControlsWithHandlers() {
    std::set<std::string> found;
    for (bool advanced : {false, true}) {
        WindowFixture design({}, {Language::Chinese, advanced});
        for (const Control& c : design.window->Controls()) {
            std::vector<const char*> texts{nullptr};
            if (c.kind == ControlKind::TextBox || c.kind == ControlKind::ComboBox) {
                texts.insert(texts.end(), std::begin(kHostileTexts), std::end(kHostileTexts));
            }
            for (bool connected : {false, true}) {
                for (const char* text : texts) {
                    if (!found.contains(c.name) && EventRunsAHandler(c, advanced, connected, text)) {
                        found.insert(c.name);
                    }
                }
            }
        }
    }
    return found;
}

TEST(HandlerNotes, ExactlyTheControlsWhoseEventsRunAHandlerHaveADescription) {
    std::set<std::string> described;
    for (const HandlerNote& note : HandlerNotes()) {
        EXPECT_TRUE(described.insert(note.control).second) << note.control << " is described twice";
        EXPECT_FALSE(HandlerDescription(note.control).empty()) << note.control;
    }
    const std::set<std::string> handled = ControlsWithHandlers();
    for (const std::string& name : handled) {
        EXPECT_TRUE(described.contains(name)) << name << " runs a handler that has no description";
    }
    for (const std::string& name : described) {
        EXPECT_TRUE(handled.contains(name)) << name << " is described, but no event of it runs a handler";
    }
}

TEST(HandlerNotes, AControlWithoutAHandlerHasNoDescription) {
    for (const char* name : {"Check1", "Combo1", "lstResults", "Label3", "Frame2", "TextVID", "Nonesuch"}) {
        EXPECT_TRUE(HandlerDescription(name).empty()) << name;
    }
    EXPECT_EQ(HandlerDescription("Clear"), "empties the activity log");
}

}  // namespace
}  // namespace treadle
