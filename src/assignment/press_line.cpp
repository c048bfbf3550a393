#include "assignment/press_line.h"

#include "assignment/key_naming.h"

namespace treadle {

std::string PressText(const PedalPress& press) {
    if (press.mouse) {
        return ClickText(press.button);
    }
    return CombinationText(press.modifiers, press.usage == 0 ? std::string() : KeyNameOfUsage(press.usage));
}

std::vector<int> MatchingSwitches(const PedalPress& press, const std::vector<ProgrammedSwitch>& known) {
    std::vector<int> numbers;
    for (const ProgrammedSwitch& s : known) {
        if (s.press == press) {
            numbers.push_back(s.number);
        }
    }
    return numbers;
}

std::string MatchDescription(const PedalPress& press, const KnownSwitches& known) {
    if (!known) {
        return {};
    }
    const std::vector<int> numbers = MatchingSwitches(press, *known);
    if (numbers.empty()) {
        return "warning: matches no programmed switch";
    }
    std::string text = "switch ";
    for (size_t i = 0; i < numbers.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == numbers.size() ? " or " : ", ") + std::to_string(numbers[i]);
    }
    return text;
}

std::string MatchText(const PedalPress& press, const KnownSwitches& known) {
    const std::string description = MatchDescription(press, known);
    return description.empty() ? description : " (" + description + ")";
}

std::string PressLine(const PedalPress& press, const KnownSwitches& known) {
    return PressText(press) + MatchText(press, known);
}

}  // namespace treadle
