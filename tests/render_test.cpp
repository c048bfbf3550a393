#include "window/render.h"

#include "support/fakes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace treadle {
namespace {

using testing::FakeBoxes;
using testing::FakeClock;
using testing::FakeSleeper;
using testing::FakeUrl;
using testing::WindowFixture;

std::string Hex(std::uint32_t color) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", color);
    return text;
}

// A front end without widgets: it records every setter call as one line, "Setter Control
// arguments", and measures a text at 10 pixels a byte.
class RecordingTarget final : public RenderTarget {
  public:
    std::vector<std::string> calls;
    std::set<const Control*> unshown;            // controls it has no widget for, the timer aside
    std::map<std::string, int> containerWidths;  // by container name; the window's is ""

    bool Shows(const Control& c) const override { return c.kind != ControlKind::Timer && !unshown.contains(&c); }
    PixelRect Pixels(const Twips& p) const override { return {Px(p.left), Px(p.top), Px(p.width), Px(p.height)}; }
    int TextWidth(const Control&, const std::string& text) const override { return 10 * static_cast<int>(text.size()); }
    int ContainerWidth(const Control& c) const override {
        const auto it = containerWidths.find(c.container);
        return it != containerWidths.end() ? it->second : 1000;
    }

    void SetCaption(const Control& c, const std::string& text) override { Record("SetCaption", c, text); }
    void SetEditText(const Control& c, const std::string& text) override { Record("SetEditText", c, text); }
    void SetSize(const Control& c, int width, int height) override {
        Record("SetSize", c, std::to_string(width) + "x" + std::to_string(height));
    }
    void SetColors(const Control& c, std::uint32_t back, std::uint32_t fore) override {
        Record("SetColors", c, Hex(back) + " " + Hex(fore));
    }
    void SetEnabled(const Control& c, bool enabled) override { Record("SetEnabled", c, enabled ? "1" : "0"); }
    void SetVisible(const Control& c, bool visible) override { Record("SetVisible", c, visible ? "1" : "0"); }
    void SetCheck(const Control& c, CheckMark mark) override {
        Record("SetCheck", c, mark == CheckMark::Checked ? "checked" : mark == CheckMark::Grey ? "grey" : "unchecked");
    }
    void ClearItems(const Control& c) override { Record("ClearItems", c, ""); }
    void AppendItems(const Control& c, std::span<const std::string> items) override {
        std::string joined;
        for (const std::string& item : items) {
            joined += (joined.empty() ? "" : "|") + item;
        }
        Record("AppendItems", c, "[" + joined + "]");
    }
    void SelectItem(const Control& c, int index) override { Record("SelectItem", c, std::to_string(index)); }
    void SetTimerRunning(bool running) override {
        calls.push_back(std::string("SetTimerRunning ") + (running ? "1" : "0"));
    }

    // The calls since the last look.
    std::vector<std::string> Take() { return std::exchange(calls, {}); }

  private:
    static int Px(int twips) { return static_cast<int>(std::lround(twips / 15.0)); }
    void Record(const char* setter, const Control& c, const std::string& arguments) {
        calls.push_back(std::string(setter) + " " + c.DisplayName() + (arguments.empty() ? "" : " " + arguments));
    }
};

// A loaded window on the virtual foot switch, rendered through the recording front end: every
// control rendered whole, as a front end does when it makes its widgets, then each change.
struct Rendered {
    explicit Rendered(WindowOptions view = {}, LabelRules labels = {}) : f({}, view), renderer(W(), target, labels) {
        for (const Control& c : W().Controls()) {
            renderer.RenderAll(c);
        }
        target.Take();
        W().AddChangeListener([this](const Control& c, Property p) {
            if (live) {
                renderer.Render(c, p);
            }
        });
    }
    USB& W() { return *f.window; }

    WindowFixture f;
    RecordingTarget target;
    WindowRenderer renderer;
    bool live = true;  // the model's changes reach the renderer
};

TEST(FittedLabelWidth, ALabelGrowsToItsTextButNotIntoANeighbourOnItsRightNorPastItsContainer) {
    const PixelRect design{10, 10, 50, 20};  // rows 10 to 29
    struct Case {
        const char* what;
        int textWidth;
        std::vector<PixelRect> neighbours;
        int width;
    };
    const Case cases[] = {
        {"a short text keeps the designed width", 30, {}, 50},
        {"a longer text gets its width and a pixel", 80, {}, 81},
        {"the container's edge stops it", 400, {}, 290},
        {"a neighbour on its right stops it", 400, {{100, 10, 40, 20}}, 90},
        {"the nearer of two neighbours stops it", 400, {{200, 10, 40, 20}, {100, 10, 40, 20}}, 90},
        {"a neighbour within the designed width never narrows it", 400, {{40, 10, 40, 20}}, 50},
        {"a neighbour sharing only the last row", 400, {{100, 29, 40, 20}}, 90},
        {"a neighbour sharing only the first row", 400, {{100, -9, 40, 20}}, 90},
        {"a neighbour just below", 400, {{100, 30, 40, 20}}, 290},
        {"a neighbour just above", 400, {{100, -10, 40, 20}}, 290},
        {"a neighbour on its left", 400, {{0, 10, 5, 20}}, 290},
        {"a neighbour at the same left edge", 400, {{10, 10, 40, 20}}, 290},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FittedLabelWidth(design, c.textWidth, 300, c.neighbours), c.width) << c.what;
    }
}

TEST(WindowRenderer, ALabelsNeighboursAreTheVisibleControlsOfItsOwnContainer) {
    Rendered r;
    USB& w = r.W();
    // Label6 ("开关选择:", 13 bytes: 130 pixels here) sits in Frame2 at pixels 168 to 236, rows
    // 17 to 37; Combo1 starts at 240, Label7 at 279, Frame5 at 361.
    struct Case {
        const char* what;
        std::function<void()> change;
        std::string size;
    };
    const Case cases[] = {
        {"the combo box beside it", [] {}, "72x21"},
        {"the combo box hidden: the label beyond it", [&] { w.Combo1.SetVisible(false); }, "111x21"},
        {"a control of another frame in its row",
         [&] {
             w.Check1.place = {3000, 260, 300, 300};
         },  // Check1 sits in Frame5
         "111x21"},
        {"the timer in its frame and row",
         [&] {
             w.Timer1.container = "Frame2";
             w.Timer1.place = {3000, 260, 300, 300};
         },
         "111x21"},
        {"a control of its frame in its row", [&] { w.Label7.place.left = 3570; }, "70x21"},
    };
    for (const Case& c : cases) {
        c.change();
        r.target.Take();
        r.renderer.Render(w.Label6, Property::Text);
        EXPECT_EQ(r.target.Take(),
                  (std::vector<std::string>{"SetCaption Label6 " + w.Label6.Text(), "SetSize Label6 " + c.size}))
            << c.what;
    }
}

TEST(WindowRenderer, AWrappedLabelKeepsItsDesignedWidthUnlessTheFrontEndWidensIt) {
    for (bool widen : {false, true}) {
        Rendered r({Language::English, true}, LabelRules{widen});
        Control& note = *r.W().Find("Label_settings_note");
        ASSERT_TRUE(note.wordWrap);
        r.target.containerWidths[""] = 1041;
        note.SetText(std::string(300, 'x'));
        // At 12240 twips (816 pixels) it may grow to the window's edge, 225 pixels on.
        std::vector<std::string> expected{"SetCaption Label_settings_note " + note.Text()};
        if (widen) {
            expected.push_back("SetSize Label_settings_note 225x68");
        }
        EXPECT_EQ(r.target.Take(), expected) << widen;
    }
}

TEST(WindowRenderer, EachChangeOfAControlCallsTheSetterOfThatProperty) {
    struct Case {
        const char* what;
        std::function<void(USB&)> change;
        std::vector<std::string> calls;
    };
    const std::string face = Hex(colors::kButtonFace);
    const std::string buttonText = Hex(colors::System(18));
    const Case cases[] = {
        {"a label's caption, then its size",
         [](USB& w) { w.Label3.SetText("abc"); },
         {"SetCaption Label3 abc", "SetSize Label3 144x31"}},
        {"a button's caption", [](USB& w) { w.Command_key[0].SetText("F13"); }, {"SetCaption Command_key(0) F13"}},
        {"a frame's title", [](USB& w) { w.Frame4.SetText("x"); }, {"SetCaption Frame4 x"}},
        {"a text box's text", [](USB& w) { w.TextVID.SetText("1234"); }, {"SetEditText TextVID 1234"}},
        {"a combo box's text", [](USB& w) { w.Combo1.SetText("3"); }, {"SetEditText Combo1 3"}},
        {"a graphical button shows its back colour",
         [](USB& w) { w.Command_ctrl.SetBackColor(colors::kPressed); },
         {"SetColors Command_ctrl 0000ff00 " + buttonText}},
        {"a standard button shows the button face",
         [](USB& w) { w.contion.SetBackColor(colors::kPressed); },
         {"SetColors contion " + face + " " + buttonText}},
        {"a fore colour goes with the back colour",
         [](USB& w) { w.Label3.SetForeColor(colors::kWhite); },
         {"SetColors Label3 " + Hex(colors::kHighlightText) + " 00ffffff"}},
        {"enabled", [](USB& w) { w.Command_ctrl.SetEnabled(true); }, {"SetEnabled Command_ctrl 1"}},
        {"visible inside the client area", [](USB& w) { w.Frame1.SetVisible(true); }, {"SetVisible Frame1 1"}},
        {"visible but right of the client area",
         [](USB& w) {
             w.contion.SetVisible(false);
             w.contion.SetVisible(true);
         },
         {"SetVisible contion 0", "SetVisible contion 0"}},
        {"a check box checked, grey and cleared",
         [](USB& w) {
             w.Check1.SetValue(1);
             w.Check1.SetValue(2);
             w.Check1.SetValue(0);
         },
         {"SetCheck Check1 checked", "SetCheck Check1 grey", "SetCheck Check1 unchecked"}},
        {"an option button: any value but 0 selects it",
         [](USB& w) {
             w.Option1.SetValue(2);
             w.Option1.SetValue(0);
         },
         {"SetCheck Option1 checked", "SetCheck Option1 unchecked"}},
        {"a combo box's selection, then its text as the model has it",
         [](USB& w) { w.Combo1.SetListIndex(2); },
         {"SelectItem Combo1 2", "SetEditText Combo1 1"}},
        {"the timer stopped before the window loads",
         [](USB& w) { w.Timer1.SetEnabled(false); },
         {"SetTimerRunning 0"}},
    };
    for (const Case& c : cases) {
        Rendered r;
        r.target.containerWidths["Frame2"] = 825;
        c.change(r.W());
        EXPECT_EQ(r.target.Take(), c.calls) << c.what;
    }
}

TEST(WindowRenderer, NothingIsSetOnAControlTheFrontEndDoesNotShow) {
    Rendered r;
    r.target.unshown.insert(&r.W().Label3);
    r.W().Label3.SetText("abc");
    r.renderer.RenderAll(r.W().Label3);
    EXPECT_TRUE(r.target.Take().empty());
}

TEST(WindowRenderer, RenderingAllOfAComboBoxSetsItsItemsBeforeItsSelectionAndText) {
    Rendered r;
    r.W().Combo1.SetListIndex(1);
    r.W().Combo1.SetText("7");
    r.target.Take();
    r.renderer.RenderAll(r.W().Combo1);
    const std::vector<std::string> calls = r.target.Take();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0], "ClearItems Combo1");
    EXPECT_EQ(calls[1], "AppendItems Combo1 [1|2|3|4]");
    EXPECT_EQ(calls[2], "SelectItem Combo1 1");
    // Whatever the list shows, the last word on the edit field is the model's text.
    EXPECT_EQ(calls.back(), "SetEditText Combo1 7");
}

TEST(WindowRenderer, TheLogAppendsItsNewLinesAndIsRebuiltOnlyWhenItsLinesWereReplaced) {
    Rendered r;
    USB& w = r.W();
    const std::string one = r.f.Stamped("one");
    const std::string two = r.f.Stamped("two");
    struct Step {
        const char* what;
        std::function<void()> action;
        std::vector<std::string> calls;
    };
    const Step steps[] = {
        {"a line logged",
         [&] { w.LogMessage("one"); },
         {"AppendItems lstResults [" + one + "]", "SelectItem lstResults -1", "SelectItem lstResults 0"}},
        {"another",
         [&] { w.LogMessage("two"); },
         {"AppendItems lstResults [" + two + "]", "SelectItem lstResults 0", "SelectItem lstResults 1"}},
        {"the user selects the first line", [&] { w.UserSelectItem(w.lstResults, 0); }, {"SelectItem lstResults 0"}},
        {"a plain line keeps the selection",
         [&] { w.AddPlainLine("plain"); },
         {"AppendItems lstResults [plain]", "SelectItem lstResults 0"}},
        {"cleared", [&] { w.UserClick(w.Clear); }, {"ClearItems lstResults", "SelectItem lstResults -1"}},
        {"a line after clearing starts the list again",
         [&] { w.AddPlainLine("again"); },
         {"AppendItems lstResults [again]", "SelectItem lstResults -1"}},
        {"cleared and refilled with as many lines and more, rendered once",
         [&] {
             r.live = false;
             w.Clear_Click();
             w.AddPlainLine("x");
             w.AddPlainLine("y");
             r.live = true;
             r.renderer.Render(w.lstResults, Property::Items);
         },
         {"ClearItems lstResults", "AppendItems lstResults [x|y]", "SelectItem lstResults -1"}},
        {"cleared and refilled with fewer lines, rendered once",
         [&] {
             r.live = false;
             w.Clear_Click();
             w.AddPlainLine("z");
             r.live = true;
             r.renderer.Render(w.lstResults, Property::Items);
         },
         {"ClearItems lstResults", "AppendItems lstResults [z]", "SelectItem lstResults -1"}},
        {"lines added unrendered are appended together",
         [&] {
             r.live = false;
             w.AddPlainLine("1");
             w.AddPlainLine("2");
             r.live = true;
             r.renderer.Render(w.lstResults, Property::Items);
         },
         {"AppendItems lstResults [1|2]", "SelectItem lstResults -1"}},
    };
    for (const Step& s : steps) {
        s.action();
        EXPECT_EQ(r.target.Take(), s.calls) << s.what;
    }
}

VirtualFootSwitch::Options DeviceOptions(FakeSleeper& sleeper) {
    VirtualFootSwitch::Options options;
    options.sleeper = &sleeper;
    return options;
}

// A window that is not loaded yet, as a front end makes it, rendered through the recorder.
struct Unloaded {
    Unloaded()
        : device(DeviceOptions(sleeper)),
          window(WindowServices{device, clock, sleeper, boxes, url}),
          renderer(window, target) {
        window.AddChangeListener([this](const Control& c, Property p) { renderer.Render(c, p); });
    }
    std::vector<std::string> TimerCalls() {
        std::vector<std::string> timer;
        for (const std::string& call : target.Take()) {
            if (call.rfind("SetTimerRunning", 0) == 0) {
                timer.push_back(call);
            }
        }
        return timer;
    }
    FakeClock clock;
    FakeSleeper sleeper;
    FakeBoxes boxes;
    FakeUrl url;
    VirtualFootSwitch device;
    USB window;
    RecordingTarget target;
    WindowRenderer renderer;
};

TEST(WindowRenderer, TheWindowLoadsOnceUnloadsOnceAfterALoadAndTheTimerTicksInBetween) {
    Unloaded u;
    u.renderer.Unload();  // never loaded: nothing to unload
    EXPECT_TRUE(u.window.lstResults.Items().empty());
    EXPECT_TRUE(u.TimerCalls().empty());

    u.renderer.Load();
    EXPECT_EQ(u.window.Combo1.Items().size(), 4u);  // Form_Load filled the switch list
    EXPECT_EQ(u.TimerCalls(), std::vector<std::string>{"SetTimerRunning 1"});
    u.renderer.Load();
    EXPECT_EQ(u.window.Combo1.Items().size(), 4u);
    EXPECT_TRUE(u.TimerCalls().empty());

    u.window.Timer1.SetEnabled(false);
    EXPECT_EQ(u.TimerCalls(), std::vector<std::string>{"SetTimerRunning 0"});
    u.window.Timer1.SetEnabled(true);
    EXPECT_EQ(u.TimerCalls(), std::vector<std::string>{"SetTimerRunning 1"});

    u.window.TimerTick();  // connects, so that unloading closes the handles and says so
    ASSERT_TRUE(u.window.DeviceDetected);
    u.renderer.Unload();
    EXPECT_EQ(u.TimerCalls(), std::vector<std::string>{"SetTimerRunning 0"});
    EXPECT_EQ(u.device.OpenHandleCount(), 0);
    const size_t logged = u.window.lstResults.Items().size();
    EXPECT_GE(logged, 2u);
    u.renderer.Unload();
    u.window.Timer1.SetEnabled(false);
    u.window.Timer1.SetEnabled(true);  // unloaded: the timer stays stopped
    EXPECT_EQ(u.TimerCalls(), (std::vector<std::string>{"SetTimerRunning 0", "SetTimerRunning 0"}));
    EXPECT_EQ(u.window.lstResults.Items().size(), logged);
}

TEST(ShownBackColor, AStandardButtonShowsTheButtonFaceEveryOtherControlItsBackColour) {
    struct Case {
        ControlKind kind;
        bool graphical;
        std::uint32_t shown;
    };
    const Case cases[] = {
        {ControlKind::Button, false, colors::kButtonFace}, {ControlKind::Button, true, colors::kPressed},
        {ControlKind::Label, false, colors::kPressed},     {ControlKind::CheckBox, false, colors::kPressed},
        {ControlKind::Frame, false, colors::kPressed},
    };
    for (const Case& c : cases) {
        Control control;
        control.kind = c.kind;
        control.graphical = c.graphical;
        control.InitState("", colors::kPressed, colors::kWindowText, true, true, 0);
        EXPECT_EQ(ShownBackColor(control), c.shown) << static_cast<int>(c.kind) << " " << c.graphical;
    }
}

}  // namespace
}  // namespace treadle
