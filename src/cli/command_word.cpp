#include "cli/command_word.h"

#include "text/shown_text.h"
#include "text/text_rules.h"

#include <algorithm>

namespace treadle::cli {
std::vector<std::string> NearNames(const std::string& word, const std::vector<std::string>& names) {
    std::vector<std::pair<size_t, std::string>> near;
    // Names are short: a long word is near none of them (and not worth the comparisons).
    if (word.empty() || word.size() > 32) {
        return {};
    }
    const size_t allowed = word.size() > 3 ? 2 : 1;
    for (const std::string& name : names) {
        if (const size_t d = EditDistance(word, name); d <= allowed) {
            near.emplace_back(d, name);
        }
    }
    std::stable_sort(near.begin(), near.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
    std::vector<std::string> result;
    for (auto& [distance, name] : near) {
        result.push_back(std::move(name));
    }
    return result;
}

std::string CommandWord(const std::vector<std::string>& args,
                        const std::function<bool(const std::string&)>& takesValue) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            return {};
        }
        if (arg.size() > 1 && arg[0] == '-') {
            if (arg.find('=') == std::string::npos && takesValue(arg)) {
                ++i;  // its value
            }
            continue;
        }
        return arg;
    }
    return {};
}

std::string UnknownCommandText(const std::string& word, const std::vector<std::string>& commands) {
    if (std::find(commands.begin(), commands.end(), word) != commands.end()) {
        return {};
    }
    std::string text = "unknown command " + Quoted(word);
    const std::vector<std::string> near = NearNames(word, commands);
    text += near.empty() ? "." : "; did you mean " + Quoted(near.front()) + "?";
    text += " The commands are:";
    for (size_t i = 0; i < commands.size(); ++i) {
        text += (i == 0 ? " " : ", ") + commands[i];
    }
    return text + " ('treadlectl --help' says what each does)";
}

}  // namespace treadle::cli
