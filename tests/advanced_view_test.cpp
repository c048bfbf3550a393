#include "window/advanced_view.h"

#include "support/fakes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace treadle {
namespace {

using testing::WindowFixture;

// A control's place on the window, its containers' offsets added.
Twips OnWindow(USB& w, const Control& c) {
    Twips r = c.place;
    for (Control* up = w.Find(c.container); up != nullptr; up = w.Find(up->container)) {
        r.left += up->place.left;
        r.top += up->place.top;
    }
    return r;
}

bool Overlap(const Twips& a, const Twips& b) {
    return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
           b.top < a.top + a.height;
}

// Shown: visible, in a visible container, and starting inside the client area.
bool Shown(USB& w, const Control& c) {
    if (c.kind == ControlKind::Timer) {
        return false;
    }
    for (const Control* up = &c; up != nullptr; up = w.Find(up->container)) {
        if (!up->Visible()) {
            return false;
        }
    }
    const Twips r = OnWindow(w, c);
    return r.left < w.ClientWidth() && r.top < w.ClientHeight();
}

std::vector<std::string> ColumnNames() {
    std::vector<std::string> names;
    for (const AdvancedPlace& p : AdvancedPlaces()) {
        if (std::string(p.name) != "Frame2") {
            names.push_back(p.name);
        }
    }
    return names;
}

TEST(AdvancedView, TheColumnShowsTheSettingsControlsWithoutOverlapInsideTheWindow) {
    for (Language language : {Language::Chinese, Language::English}) {
        SCOPED_TRACE(LanguageCode(language));
        WindowFixture f({}, {language, true});
        USB& w = *f.window;
        EXPECT_EQ(w.ClientWidth(), kAdvancedClientWidth);
        EXPECT_GT(w.ClientWidth(), USB::kClientWidth);

        for (const std::string& name : ColumnNames()) {
            const Control* c = w.Find(name);
            ASSERT_NE(c, nullptr) << name;
            EXPECT_TRUE(Shown(w, *c)) << name;
            // Right of the keyboard panel and the log.
            EXPECT_GE(OnWindow(w, *c).left, OnWindow(w, w.FrameKeyBoard).left + w.FrameKeyBoard.place.width) << name;
        }
        for (const char* name : {"Option1", "Option2", "Command_auto_run", "Label5", "Text_delay", "Label8",
                                 kPedalTestFrame, kPedalPressList, kPedalStatus}) {
            EXPECT_TRUE(Shown(w, *w.Find(name))) << name;
        }
        // The pedal test's band lies under the log, and its buttons show on the virtual foot switch.
        EXPECT_GE(w.Find(kPedalTestFrame)->place.top, w.lstResults.place.top + w.lstResults.place.height);
        ASSERT_EQ(w.Command_pedal.Count(), kPedalButtons);
        for (int i = 0; i < kPedalButtons; ++i) {
            EXPECT_TRUE(Shown(w, w.Command_pedal[i])) << i;
        }
        // What stays out of view in the plain window stays out of view here.
        for (const char* name : {"contion", "TextVID", "TextPID", "Label1", "Label2"}) {
            EXPECT_FALSE(Shown(w, *w.Find(name))) << name;
            EXPECT_GE(w.Find(name)->place.left, w.ClientWidth()) << name;
        }

        std::vector<const Control*> shown;
        for (const Control& c : w.Controls()) {
            if (Shown(w, c)) {
                shown.push_back(&c);
            }
        }
        for (const Control* c : shown) {
            const Twips r = OnWindow(w, *c);
            EXPECT_GE(r.left, 0) << c->DisplayName();
            EXPECT_GE(r.top, 0) << c->DisplayName();
            EXPECT_LE(r.left + r.width, w.ClientWidth()) << c->DisplayName();
            EXPECT_LE(r.top + r.height, w.ClientHeight()) << c->DisplayName();
            if (!c->container.empty()) {  // inside its frame
                const Control& frame = *w.Find(c->container);
                EXPECT_LE(c->place.left + c->place.width, frame.place.width) << c->DisplayName();
                EXPECT_LE(c->place.top + c->place.height, frame.place.height) << c->DisplayName();
            }
        }
        // Nothing the advanced view places lies on another control of its container. (The
        // design has overlaps of its own, which stay: the keyboard panel over the top band's
        // lower edge, Label7 over Frame5's.)
        std::vector<std::string> advancedOnly;
        for (const Control& c : AdvancedOnlyControls(language)) {
            advancedOnly.push_back(c.name);
        }
        auto placedHere = [&advancedOnly](const Control& c) {
            for (const std::string& name : advancedOnly) {
                if (c.name == name || c.container == name) {
                    return true;
                }
            }
            for (const AdvancedPlace& p : AdvancedPlaces()) {
                // Frame2 only widens: its children keep their places.
                if (c.name == p.name || (c.container == p.name && c.container != "Frame2")) {
                    return true;
                }
            }
            return false;
        };
        for (size_t i = 0; i < shown.size(); ++i) {
            for (size_t j = i + 1; j < shown.size(); ++j) {
                const Control& a = *shown[i];
                const Control& b = *shown[j];
                if (a.container != b.container || !(placedHere(a) || placedHere(b)) ||
                    (a.name == "Frame2" && b.name == "FrameKeyBoard")) {
                    continue;
                }
                EXPECT_FALSE(Overlap(a.place, b.place)) << a.DisplayName() << " and " << b.DisplayName();
            }
        }
    }
}

TEST(AdvancedView, EnabledAsDesignedAndTheFrameTextCanBeEdited) {
    WindowFixture f({}, {Language::English, true});
    USB& w = *f.window;
    EXPECT_TRUE(w.TextIW.Enabled());
    for (Control* c : {&w.Option1, &w.Option2, &w.Text_delay, &w.Check1}) {
        EXPECT_TRUE(c->Enabled()) << c->name;
    }
    for (Control* c : {&w.Command1, &w.Command2, &w.Command_auto_run}) {
        EXPECT_FALSE(c->Enabled()) << c->name;
    }
    w.Timer1_Timer();
    for (Control* c : {&w.Command1, &w.Command2, &w.Command_auto_run}) {
        EXPECT_TRUE(c->Enabled()) << c->name;
    }
    f.device->Unplug();
    w.Timer1_Timer();
    for (Control* c : {&w.Command1, &w.Command2, &w.Command_auto_run}) {
        EXPECT_FALSE(c->Enabled()) << c->name;
    }

    // Edited by the user, the frame is checked as ever and written by the manual-write button.
    WindowFixture g({}, {Language::Chinese, true});
    g.window->Timer1_Timer();
    g.window->UserEditText(g.window->TextIW, "aa 02 04 fe 01 00 0x");
    ASSERT_EQ(g.boxes.shown.size(), 1u);
    EXPECT_EQ(g.boxes.shown[0].text, "请输入的数据是16进制的范围");
    EXPECT_EQ(g.window->TextIW.Text(), "aa 02 04 fe 01 00 0");
    g.window->UserEditText(g.window->TextIW, "aa 02 04 fe 01 00 00");
    g.window->UserClick(g.window->Iwrite);
    ASSERT_FALSE(g.device->Received().empty());
    const std::vector<std::uint8_t>& report = g.device->Received().back();
    ASSERT_GE(report.size(), 8u);
    EXPECT_EQ(std::vector<std::uint8_t>(report.begin() + 1, report.begin() + 8),
              (std::vector<std::uint8_t>{0xAA, 0x02, 0x04, 0xFE, 0x01, 0x00, 0x00}));
    EXPECT_EQ(g.Log().back(), g.Stamped("写入数据：aa 02 04 fe 01 00 00"));
}

TEST(AdvancedView, ThePlainWindowIsAsDesigned) {
    WindowFixture f;
    USB& w = *f.window;
    EXPECT_EQ(w.ClientWidth(), USB::kClientWidth);
    EXPECT_EQ(w.ClientHeight(), USB::kClientHeight);
    EXPECT_EQ(w.Find("Label_settings_note"), nullptr);
    EXPECT_EQ(w.Find("Label_frame_text"), nullptr);
    for (Control* c : {&w.Frame1, &w.Frame4, &w.Command1, &w.Command2}) {
        EXPECT_FALSE(c->Visible()) << c->name;
    }
    EXPECT_FALSE(w.TextIW.Enabled());
    EXPECT_EQ(w.Frame1.container, "Frame2");
    EXPECT_EQ(w.Frame2.place.width, 12375);
    EXPECT_EQ(w.contion.place.left, 12840);
    EXPECT_EQ(w.TextIW.place.left, 12960);
}

TEST(AdvancedView, TheNoteSaysTheSettingsShareOneSlot) {
    for (Language language : {Language::Chinese, Language::English}) {
        WindowFixture f({}, {language, true});
        const Control* note = f.window->Find("Label_settings_note");
        ASSERT_NE(note, nullptr);
        EXPECT_EQ(note->Text(), Text(Msg::SettingsSlotNote, language));
        EXPECT_TRUE(note->wordWrap);
        // Under the run-mode settings.
        EXPECT_GE(note->place.top, f.window->Frame4.place.top + f.window->Frame4.place.height);
        EXPECT_EQ(f.window->Find("Label_frame_text")->Text(), Text(Msg::FrameTextCaption, language));
    }
}

}  // namespace
}  // namespace treadle
