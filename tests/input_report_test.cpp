// Keyboard and mouse input reports read by their descriptors, the presses they make, and the
// line that names a press and the switch it matches.
#include "device/input_report.h"

#include "assignment/press_line.h"
#include "device/hid_descriptor.h"
#include "device/virtual_foot_switch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace treadle {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A boot keyboard: modifier bits, a reserved byte, six key codes; no report IDs.
const Bytes kBootKeyboard = {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25,
                             0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x06,
                             0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0};

// A composite: keyboard as report 1 (modifiers, reserved, six keys), mouse as report 2
// (five buttons, padding, x, y), and a key bitmap as report 3 (usages 04 to 0B).
const Bytes kComposite = {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15,
                          0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01,
                          0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0,  //
                          0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x02, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19,
                          0x01, 0x29, 0x05, 0x15, 0x00, 0x25, 0x01, 0x95, 0x05, 0x75, 0x01, 0x81, 0x02, 0x95, 0x01,
                          0x75, 0x03, 0x81, 0x01, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15, 0x81, 0x25, 0x7F, 0x75,
                          0x08, 0x95, 0x02, 0x81, 0x06, 0xC0,
                          0xC0,  //
                          0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x03, 0x05, 0x07, 0x19, 0x04, 0x29, 0x0B, 0x15,
                          0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0xC0};

// A keyboard whose key array counts from 1 (logical minimum 1, usage minimum 4): value 1 is A.
const Bytes kOffsetArray = {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x95, 0x02, 0x75, 0x08,
                            0x15, 0x01, 0x25, 0x20, 0x19, 0x04, 0x29, 0x23, 0x81, 0x00, 0xC0};

ReportDescriptorInfo Parsed(const Bytes& descriptor) {
    const ReportDescriptorResult r = ParseReportDescriptor(descriptor);
    EXPECT_TRUE(r.ok()) << r.error;
    return r.info;
}

TEST(InputReport, DecodesKeysModifiersAndButtonsByTheDescriptor) {
    struct Case {
        const char* name;
        const Bytes* descriptor;
        Bytes report;  // report-ID byte first
        bool known;
        InputState state;
    };
    const Case cases[] = {
        {"boot ctrl+f1", &kBootKeyboard, {0, 0x01, 0, 0x3A, 0, 0, 0, 0, 0}, true, {0x01, {0x3A}, 0}},
        {"boot release", &kBootKeyboard, {0, 0, 0, 0, 0, 0, 0, 0, 0}, true, {0, {}, 0}},
        {"boot rollover", &kBootKeyboard, {0, 0x22, 0, 0x04, 0x05, 0x3A, 0, 0, 0}, true, {0x22, {0x04, 0x05, 0x3A}, 0}},
        {"boot error roll-over", &kBootKeyboard, {0, 0, 0, 1, 1, 1, 1, 1, 1}, true, {0, {}, 0}},
        {"boot modifier as array key", &kBootKeyboard, {0, 0, 0, 0xE4, 0, 0, 0, 0, 0}, true, {0x10, {}, 0}},
        {"boot cut short", &kBootKeyboard, {0, 0x02, 0, 0x04}, true, {0x02, {0x04}, 0}},
        {"composite keyboard", &kComposite, {1, 0x40, 0, 0x28, 0, 0, 0, 0, 0}, true, {0x40, {0x28}, 0}},
        {"composite mouse left", &kComposite, {2, 0x01, 0x10, 0xF0}, true, {0, {}, 0x01}},
        {"composite mouse 4 and 5", &kComposite, {2, 0x18, 0, 0}, true, {0, {}, 0x18}},
        {"composite key bitmap", &kComposite, {3, 0x81}, true, {0, {0x04, 0x0B}, 0}},
        {"composite unknown ID", &kComposite, {7, 0xFF, 0xFF}, false, {}},
        {"array from 1", &kOffsetArray, {0, 0x01, 0x00}, true, {0, {0x04}, 0}},
        {"empty", &kBootKeyboard, {}, false, {}},
    };
    for (const Case& c : cases) {
        const DecodedReport d = DecodeInputReport(Parsed(*c.descriptor), c.report);
        EXPECT_EQ(d.known, c.known) << c.name;
        EXPECT_EQ(d.state, c.state) << c.name;
    }
}

TEST(InputReport, DetectorMakesOnePressPerKeyOrButtonNewlyHeld) {
    // Built by a function: GCC 12 warns falsely of an uninitialised vector when a table
    // brace-initialises the state's vector in place.
    const auto State = [](std::uint8_t modifiers, std::vector<std::uint8_t> keys, std::uint32_t buttons) {
        InputState state;
        state.modifiers = modifiers;
        state.keys = std::move(keys);
        state.buttons = buttons;
        return state;
    };
    struct Step {
        InputState state;
        std::vector<PedalPress> presses;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const PedalPress ctrlF1{false, 0x01, 0x3A, 0};
    const Case cases[] = {
        {"press and release", {{State(0x01, {0x3A}, 0), {ctrlF1}}, {State(0, {}, 0), {}}}},
        {"repeat of a held key is no press", {{State(0x01, {0x3A}, 0), {ctrlF1}}, {State(0x01, {0x3A}, 0), {}}}},
        {"modifier first, then the key",
         {{State(0x01, {}, 0), {}}, {State(0x01, {0x3A}, 0), {ctrlF1}}, {State(0, {}, 0), {}}}},
        {"two pedals, one report",
         {{State(0, {0x04, 0x05}, 0), {{false, 0, 0x04, 0}, {false, 0, 0x05, 0}}},
          {State(0, {0x05}, 0), {}},
          {State(0, {0x05, 0x04}, 0), {{false, 0, 0x04, 0}}}}},
        {"modifiers alone count when let go",
         {{State(0x03, {}, 0), {}}, {State(0x01, {}, 0), {}}, {State(0, {}, 0), {{false, 0x03, 0, 0}}}}},
        {"modifiers let go after their key are no press",
         {{State(0x01, {0x3A}, 0), {ctrlF1}}, {State(0x01, {}, 0), {}}, {State(0, {}, 0), {}}}},
        // A held key repeats its down event, modifiers included: a repeated state adds nothing.
        {"a modifier held alone and repeating is one press when let go",
         {{State(0x01, {}, 0), {}},
          {State(0x01, {}, 0), {}},
          {State(0x01, {}, 0), {}},
          {State(0, {}, 0), {{false, 0x01, 0, 0}}}}},
        {"a modifier repeating after its key is no press of its own",
         {{State(0x01, {0x3A}, 0), {ctrlF1}},
          {State(0x01, {}, 0), {}},
          {State(0x01, {}, 0), {}},
          {State(0x01, {}, 0), {}},
          {State(0, {}, 0), {}}}},
        {"a second modifier added while the first repeats goes with it",
         {{State(0x01, {}, 0), {}},
          {State(0x01, {}, 0), {}},
          {State(0x03, {}, 0), {}},
          {State(0x03, {}, 0), {}},
          {State(0, {}, 0), {{false, 0x03, 0, 0}}}}},
        {"mouse buttons",
         {{State(0, {}, 0x01), {{true, 0, 0, 1}}}, {State(0, {}, 0x05), {{true, 0, 0, 4}}}, {State(0, {}, 0), {}}}},
    };
    for (const Case& c : cases) {
        PressDetector detector;
        for (size_t i = 0; i < c.steps.size(); ++i) {
            EXPECT_EQ(detector.Next(c.steps[i].state), c.steps[i].presses) << c.name << ", step " << i;
        }
    }
}

TEST(PressLine, NamesTheCombinationInTheSyntaxOfSet) {
    struct Case {
        PedalPress press;
        const char* text;
    };
    const Case cases[] = {
        {{false, 0x01, 0x3A, 0}, "ctrl+f1"},
        {{false, 0, 0x04, 0}, "a"},
        {{false, 0x90, 0x58, 0}, "rctrl+rwin+kp-enter"},
        {{false, 0xFF, 0x27, 0}, "ctrl+shift+alt+win+rctrl+rshift+ralt+rwin+0"},
        {{false, 0, 0x68, 0}, "f13"},
        {{false, 0, 0xA5, 0}, "0xa5"},
        {{false, 0x06, 0, 0}, "shift+alt"},
        {{true, 0, 0, 1}, "mouse-left"},
        {{true, 0, 0, 4}, "mouse-middle"},
        {{true, 0, 0, 2}, "mouse-right"},
        {{true, 0, 0, 8}, "mouse-button-4"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PressText(c.press), c.text);
    }
}

TEST(PressLine, SaysWhichProgrammedSwitchMatches) {
    const std::vector<ProgrammedSwitch> known = {
        {1, {false, 0, 0x04, 0}}, {2, {false, 0x01, 0x3A, 0}}, {3, {true, 0, 0, 1}}, {4, {false, 0, 0x04, 0}}};
    EXPECT_EQ(PressLine({false, 0x01, 0x3A, 0}, known), "ctrl+f1 (switch 2)");
    EXPECT_EQ(PressLine({true, 0, 0, 1}, known), "mouse-left (switch 3)");
    EXPECT_EQ(PressLine({false, 0, 0x04, 0}, known), "a (switch 1 or 4)");
    // Shift where ctrl was programmed, and a click where a key was: no match.
    EXPECT_EQ(PressLine({false, 0x02, 0x3A, 0}, known), "shift+f1 (warning: matches no programmed switch)");
    EXPECT_EQ(PressLine({true, 0, 0, 2}, known), "mouse-right (warning: matches no programmed switch)");
    EXPECT_EQ(PressLine({false, 0x01, 0x3A, 0}, std::nullopt), "ctrl+f1");
    EXPECT_EQ(PressLine({false, 0x01, 0x3A, 0}, std::vector<ProgrammedSwitch>{}),
              "ctrl+f1 (warning: matches no programmed switch)");
}

TEST(PressLine, ASlotsFrameKindTellsAClickFromAKey) {
    struct Case {
        const char* name;
        SlotBytes bytes;
        SlotKind kind;
        std::optional<PedalPress> press;
    };
    const Case cases[] = {
        {"key", {0x01, 0x3A, 0, 0}, SlotKind::Key, PedalPress{false, 0x01, 0x3A, 0}},
        {"click", {0xFE, 0x01, 0, 0}, SlotKind::Mouse, PedalPress{true, 0, 0, 1}},
        // Modifiers FE with key code 1 read like a left click; the kind says it is a key.
        {"key that reads like a click", {0xFE, 0x01, 0, 0}, SlotKind::Key, PedalPress{false, 0xFE, 0x01, 0}},
        {"old file: reads as a click", {0xFE, 0x04, 0, 0}, SlotKind::Unknown, PedalPress{true, 0, 0, 4}},
        {"old file: a key", {0x00, 0x3A, 0, 0}, SlotKind::Unknown, PedalPress{false, 0, 0x3A, 0}},
        {"erased", {0xFF, 0xFF, 0xFF, 0xFF}, SlotKind::Unknown, std::nullopt},
        {"cleared key", {0, 0, 0, 0}, SlotKind::Key, std::nullopt},
        {"mouse frame with an unknown code", {0xFE, 0x03, 0, 0}, SlotKind::Mouse, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SlotPress(c.bytes, c.kind), c.press) << c.name;
    }
}

}  // namespace
}  // namespace treadle
