#include "support/fakes.h"
#include "window/render.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace treadle {
namespace {

using testing::WindowFixture;

// Keeps what the renderer tells a screen reader: each control's last name and pressed state.
class AccessibilityTarget final : public RenderTarget {
  public:
    std::map<const Control*, std::string> names;
    std::map<const Control*, bool> pressed;

    bool Shows(const Control& c) const override { return c.kind != ControlKind::Timer; }
    PixelRect Pixels(const Twips& p) const override { return {p.left / 15, p.top / 15, p.width / 15, p.height / 15}; }
    int TextWidth(const Control&, const std::string& text) const override { return static_cast<int>(text.size()); }
    int ContainerWidth(const Control&) const override { return 1000; }
    void SetCaption(const Control&, const std::string&) override {}
    void SetEditText(const Control&, const std::string&) override {}
    void SetSize(const Control&, int, int) override {}
    void SetColors(const Control&, std::uint32_t, std::uint32_t) override {}
    void SetEnabled(const Control&, bool) override {}
    void SetVisible(const Control&, bool) override {}
    void SetCheck(const Control&, CheckMark) override {}
    void ClearItems(const Control&) override {}
    void AppendItems(const Control&, std::span<const std::string>) override {}
    void SelectItem(const Control&, int) override {}
    void SetTimerRunning(bool) override {}
    void SetAccessibleName(const Control& c, const std::string& name) override { names[&c] = name; }
    void SetPressed(const Control& c, bool on) override { pressed[&c] = on; }
};

TEST(RenderAccessibility, NamesEveryControlAndFollowsTheTogglesTypedState) {
    WindowFixture f({}, {Language::English, true});
    USB& w = *f.window;
    AccessibilityTarget target;
    WindowRenderer renderer(w, target);
    w.AddChangeListener([&](const Control& c, Property p) { renderer.Render(c, p); });
    for (const Control& c : w.Controls()) {
        renderer.RenderAll(c);
    }
    EXPECT_EQ(target.names[&w.Command_ctrl_r], "Right Ctrl");
    EXPECT_EQ(target.names[&w.Command_key[32]], "Up Arrow");
    EXPECT_EQ(target.names[&w.Combo1], "Switch");
    // Only the toggles have a pressed state: the eight modifiers and power-on run.
    EXPECT_EQ(target.pressed.size(), 9u);
    EXPECT_FALSE(target.pressed.at(&w.Command_ctrl));

    w.contion_Click();
    w.UserClick(w.Command_ctrl);
    w.UserClick(w.Command_auto_run);
    EXPECT_TRUE(target.pressed.at(&w.Command_ctrl));
    EXPECT_TRUE(target.pressed.at(&w.Command_auto_run));
    EXPECT_FALSE(target.pressed.at(&w.Command_shift));
    w.UserClick(w.Command_ctrl);
    EXPECT_FALSE(target.pressed.at(&w.Command_ctrl));

    // A caption the model changes renames its control.
    w.Label3.SetText("changed");
    EXPECT_EQ(target.names[&w.Label3], "changed");
}

}  // namespace
}  // namespace treadle
