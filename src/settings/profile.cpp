#include "settings/profile.h"

#include "device/user_file.h"
#include "settings/settings_input.h"
#include "text/shown_text.h"
#include "text/text_rules.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <sstream>

namespace treadle {
namespace {

// Where a node stands, for messages: "FILE:LINE: KEY: ".
std::string Place(const std::string& fileName, const toml::source_region& source, const std::string& key) {
    std::string place = ShownText(fileName, kShownPathBytes);
    if (source.begin.line > 0) {
        place += ":" + std::to_string(source.begin.line);
    }
    place += ": ";
    if (!key.empty()) {
        place += key + ": ";
    }
    return place;
}

std::string RunModeText(const RunMode& mode) {
    return std::string("power-on run ") + (mode.powerOnRun ? "on" : "off") + " with " +
           (mode.loopPlayback ? "loop" : "single") + " playback";
}

// toml++ reads nested tables, dotted keys and arrays by recursion, so a file nested some
// ten thousand levels deep overflows the stack before it can be refused. A profile needs two
// levels ([switches] and its keys): anything far deeper is refused before the parser runs.
constexpr int kMaxProfileNesting = 16;

// The line where the text first nests deeper than kMaxProfileNesting, counting the open
// brackets and braces and the dots of the dotted keys and table names on a line; 0 when it
// never does. Strings and comments are skipped, and so are the dots of values (1.5).
int TooDeepLine(std::string_view text) {
    int line = 1;
    std::string open;    // the open brackets, innermost last: '[' array, 'h' table header, '{' inline table
    int dots = 0;        // of the keys on this line
    bool value = false;  // after a key's '=', until the next key can start
    size_t i = 0;
    auto at = [&](std::string_view s) { return text.substr(i, s.size()) == s; };
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"' || c == '\'') {
            // A string, one line or (tripled quotes) several; a basic string has escapes.
            const std::string_view quote = at("\"\"\"") || at("'''") ? text.substr(i, 3) : text.substr(i, 1);
            size_t end = i + quote.size();
            while (end < text.size() && text.substr(end, quote.size()) != quote &&
                   (quote.size() == 3 || text[end] != '\n')) {
                end += c == '"' && text[end] == '\\' ? 2 : 1;
            }
            end = std::min(end + quote.size(), text.size());
            line += static_cast<int>(std::count(text.begin() + static_cast<std::ptrdiff_t>(i),
                                                text.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
            i = end;
            continue;
        }
        if (c == '#') {
            i = std::min(text.find('\n', i), text.size());
            continue;
        }
        if (c == '\n') {
            ++line;
            dots = 0;
            value = value && !open.empty() && open.back() != 'h';
        } else if (c == '=') {
            value = true;
        } else if (c == '[') {
            open += !value && (open.empty() || open.back() == 'h') ? 'h' : '[';
        } else if (c == '{') {
            open += '{';
            value = false;
        } else if (c == ',' && !open.empty() && open.back() == '{') {
            value = false;
        } else if ((c == ']' || c == '}') && !open.empty()) {
            open.pop_back();
            value = true;
        } else if (c == '.' && !value) {
            ++dots;
        }
        if (static_cast<int>(open.size()) + dots > kMaxProfileNesting) {
            return line;
        }
        ++i;
    }
    return 0;
}

// A key or table name as a line writes it, without its quotes and blanks: "switches.1".
std::string PlainName(std::string_view written) {
    std::string name;
    for (char ch : written) {
        if (ch != '"' && ch != '\'' && ch != ' ' && ch != '\t') {
            name += ch;
        }
    }
    return name;
}

// toml++ names a key given twice as "cannot redefine existing string '...'" and garbles a
// quoted key in it: the message is said again with the key as the file writes it, under the
// table it stands in.
std::string RedefinedKeyMessage(std::string_view text, int line, const std::string& fileName) {
    std::istringstream lines{std::string(text)};
    std::string written;
    std::string table;
    for (int l = 1; l <= line && std::getline(lines, written); ++l) {
        written = TrimBlanks(written);
        if (l < line && !written.empty() && written[0] == '[') {
            table = PlainName(written.substr(0, written.find(']'))) + ".";
            table.erase(0, table.find_first_not_of('['));
        }
    }
    const std::string where = ShownText(fileName, kShownPathBytes) + ":" + std::to_string(line) + ": ";
    if (!written.empty() && written[0] == '[') {
        return where + ShownText(written.substr(0, written.find(']') + 1)) +
               ": the table is given twice; give each table once";
    }
    return where + ShownText(table + PlainName(written.substr(0, written.find('=')))) +
           ": given twice; give each key once";
}

// For a value that toml++ cannot place because it lacks its quotes (1 = ctrl+f1, the most
// likely slip in a profile), a message that says so, with the key; empty for other errors.
// The key is the one before the place of the error, also inside an inline table
// (switches = { 1 = f1 }); a word that begins like false, true, inf or nan is such a value too.
std::string UnquotedTextError(std::string_view text, const std::string& fileName, std::int64_t lineNumber,
                              std::int64_t column) {
    std::string table;
    std::string line;
    size_t start = 0;
    for (std::int64_t n = 1; n <= lineNumber && start <= text.size(); ++n) {
        const size_t end = std::min(text.find('\n', start), text.size());
        line = std::string(text.substr(start, end - start));
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();  // a line break written as CR LF
        }
        line = TrimBlanks(line);
        start = end + 1;
        if (n < lineNumber && line.size() > 2 && line.front() == '[' && line.back() == ']' && line[1] != '[') {
            table = TrimBlanks(line.substr(1, line.size() - 2));
        }
    }
    const size_t equals = line.rfind('=', column > 0 ? static_cast<size_t>(column - 1) : line.size());
    if (equals == std::string::npos) {
        return {};
    }
    size_t keyStart = line.find_last_of("{,", equals);
    if (keyStart != std::string::npos && line.find('{') <= keyStart) {
        table = TrimBlanks(line.substr(0, line.find('=')));  // the inline table's own key
    }
    keyStart = keyStart == std::string::npos ? 0 : keyStart + 1;
    const std::string key = TrimBlanks(line.substr(keyStart, equals - keyStart));
    const size_t valueEnd = line.find_first_of(",}#", equals + 1);
    const std::string value =
        TrimBlanks(line.substr(equals + 1, valueEnd == std::string::npos ? std::string::npos : valueEnd - equals - 1));
    // Numbers and truth values are never quoted: quotes would be the wrong advice there.
    const bool textKey = key != "delay_ms" && key != "long_press" && key != "power_on_run";
    const bool bareWord = textKey && !key.empty() && !value.empty() &&
                          std::isalpha(static_cast<unsigned char>(value[0])) && value != "true" && value != "false" &&
                          value != "inf" && value != "nan";
    if (!bareWord) {
        return {};
    }
    return ShownText(fileName, kShownPathBytes) + ":" + std::to_string(lineNumber) + ": " +
           (table.empty() ? "" : table + ".") + ShownText(key) + ": the value " + ShownText(value) +
           " has no quotes: text values are quoted, as in " + ShownText(key) + " = " + Quoted(value);
}

class Reader {
  public:
    Reader(const toml::table& root, const std::string& fileName) : root_(root), file_(fileName) {}

    bool Read(Profile& profile, std::string& error) {
        bool any = false;
        for (auto&& [key, node] : root_) {
            const std::string name(key.str());
            if (name == "switches" || name == "settings") {
                const toml::table* table = node.as_table();
                if (table == nullptr) {
                    return Fail(error, key.source(), name, "must be a table, written [" + name + "]");
                }
                any = true;
                if (!(name == "switches" ? ReadSwitches(*table, profile, error)
                                         : ReadSettings(*table, profile, error))) {
                    return false;
                }
            } else {
                return Fail(error, key.source(), ShownText(name),
                            "unknown; a profile has the tables [switches] and [settings]");
            }
        }
        if (!any) {
            error = ShownText(file_, kShownPathBytes) +
                    ": the profile sets nothing: give a [switches] or a [settings] table";
            return false;
        }
        return true;
    }

  private:
    bool Fail(std::string& error, const toml::source_region& source, const std::string& key, const std::string& why) {
        error = Place(file_, source, key) + why;
        return false;
    }

    bool ReadSwitches(const toml::table& table, Profile& profile, std::string& error) {
        for (auto&& [key, node] : table) {
            const std::string name(key.str());
            const std::string full = "switches." + ShownText(name);
            if (name.size() != 1 || name[0] < '1' || name[0] > '4') {
                return Fail(error, key.source(), full, "switch must be 1 to 4");
            }
            const auto text = node.value<std::string>();
            if (!node.is_string() || !text) {
                return Fail(error, node.source(), full, "must be a key text in quotes, such as \"ctrl+f1\"");
            }
            const KeyParse parsed = ParseKey(*text);
            if (!parsed.ok()) {
                return Fail(error, node.source(), full, parsed.error);
            }
            profile.switches[name[0] - '0'] = parsed.choice;
        }
        return true;
    }

    bool ReadSettings(const toml::table& table, Profile& profile, std::string& error) {
        const toml::node* powerOn = nullptr;
        const toml::node* playback = nullptr;
        RunMode mode;
        for (auto&& [key, node] : table) {
            const std::string name(key.str());
            const std::string full = "settings." + ShownText(name);
            if (name == "delay_ms") {
                // Only an integer is asked for its value: toml++ would convert a float, and one
                // beyond the range of an integer has no value to convert to.
                const std::optional<std::int64_t> value =
                    node.is_integer() ? node.value<std::int64_t>() : std::optional<std::int64_t>();
                if (!value) {
                    return Fail(error, node.source(), full, "must be a whole number of milliseconds, 0 to 65535");
                }
                if (*value < 0 || *value > kMaxDelay) {
                    return Fail(error, node.source(), full,
                                "must be 0 to 65535 milliseconds, not " + std::to_string(*value));
                }
                profile.delayMs = *value;
            } else if (name == "long_press" || name == "power_on_run") {
                if (!node.is_boolean()) {
                    return Fail(error, node.source(), full, "must be true or false");
                }
                const bool value = *node.value<bool>();
                if (name == "long_press") {
                    profile.longPress = value;
                } else {
                    mode.powerOnRun = value;
                    powerOn = &node;
                }
            } else if (name == "playback") {
                const auto value = node.value<std::string>();
                if (!node.is_string() || !value || (*value != "loop" && *value != "single")) {
                    return Fail(error, node.source(), full, "must be \"loop\" or \"single\"");
                }
                mode.loopPlayback = *value == "loop";
                playback = &node;
            } else {
                return Fail(error, key.source(), full,
                            "unknown; [settings] has delay_ms, long_press, power_on_run and playback");
            }
        }
        if ((powerOn == nullptr) != (playback == nullptr)) {
            const toml::node* given = powerOn != nullptr ? powerOn : playback;
            return Fail(error, given->source(), powerOn != nullptr ? "settings.power_on_run" : "settings.playback",
                        "power_on_run and playback go together: the device sets both with one frame");
        }
        if (powerOn != nullptr) {
            profile.runMode = mode;
            if (profile.delayMs != 0 && mode != kRunModeOfDelayFrame) {
                return Fail(error, powerOn->source(), "settings.power_on_run",
                            "a key delay of " + std::to_string(profile.delayMs) + " ms cannot go with " +
                                RunModeText(mode) +
                                ": the device keeps the delay and the run mode in one slot (7C). The delay "
                                "frame sets power-on run on with loop playback, and the run-mode frame sets the "
                                "delay back to 0. Use delay_ms = 0 with this run mode, or leave out power_on_run "
                                "and playback");
            }
        }
        return true;
    }

    const toml::table& root_;
    std::string file_;
};

}  // namespace

bool RunModeFrameRedundant(const Profile& profile) {
    return profile.runMode && profile.delayMs != 0 && *profile.runMode == kRunModeOfDelayFrame;
}

ProfileRead ParseProfile(std::string_view text, const std::string& fileName) {
    ProfileRead result;
    const std::string shownFile = ShownText(fileName, kShownPathBytes);
    if (const std::string encoding = OtherTextEncoding(text); !encoding.empty()) {
        result.error = shownFile + ": the file is " + encoding + "; a profile is UTF-8 text: save it as UTF-8";
        return result;
    }
    if (const int line = TooDeepLine(text); line > 0) {
        result.error = shownFile + ":" + std::to_string(line) + ": nested more than " +
                       std::to_string(kMaxProfileNesting) +
                       " levels deep; a profile has two: the tables [switches] and [settings] and their keys";
        return result;
    }
    toml::table root;
    try {
        root = toml::parse(text, std::string_view(fileName));
    } catch (const toml::parse_error& e) {
        const std::string description(e.description());
        if (description.find("cannot redefine existing") != std::string::npos && e.source().begin.line > 0) {
            result.error = RedefinedKeyMessage(text, static_cast<int>(e.source().begin.line), fileName);
        } else {
            result.error = UnquotedTextError(text, fileName, e.source().begin.line, e.source().begin.column);
        }
        if (result.error.empty()) {
            result.error = Place(fileName, e.source(), {}) + description;
        }
        return result;
    }
    Reader reader(root, fileName);
    if (!reader.Read(result.profile, result.error)) {
        result.profile = {};
    }
    return result;
}

ProfileRead ReadProfile(const std::string& path) {
    const FileRead file = ReadUserFile(path, false);
    if (file.status != FileReadStatus::Read) {
        ProfileRead result;
        result.error = "cannot read the profile " + ShownText(path, kShownPathBytes) + ": " +
                       (file.status == FileReadStatus::Missing ? "No such file or directory" : file.error);
        result.unreadable = true;
        return result;
    }
    return ParseProfile(file.text, path);
}

std::string ProfileText(const Profile& profile, const std::string& notes) {
    std::ostringstream out;
    std::istringstream noteLines(notes);
    for (std::string line; std::getline(noteLines, line);) {
        out << "# " << line << "\n";
    }
    if (!profile.switches.empty()) {
        out << "[switches]\n";
        for (const auto& [number, choice] : profile.switches) {
            // Key specs hold only letters, digits, '+' and '-': no quoting needed.
            out << number << " = \"" << KeyCombinationText(choice) << "\"\n";
        }
        out << "\n";
    }
    out << "[settings]\n";
    out << "delay_ms = " << profile.delayMs << "\n";
    out << "long_press = " << (profile.longPress ? "true" : "false") << "\n";
    if (profile.runMode) {
        out << "power_on_run = " << (profile.runMode->powerOnRun ? "true" : "false") << "\n";
        out << "playback = \"" << (profile.runMode->loopPlayback ? "loop" : "single") << "\"\n";
    }
    return out.str();
}

FrameJob ProfileFrameJob(const Profile& profile) {
    FrameJob job;
    for (const auto& [number, choice] : profile.switches) {
        if (choice.mouse) {
            job.steps.push_back({MouseFrame(SwitchSlotByte(number), static_cast<std::uint8_t>(choice.usage)), {}, 0});
        } else {
            const Frame key =
                KeyFrame(SwitchSlotByte(number), choice.modifiers, static_cast<std::uint8_t>(choice.usage));
            job.steps.push_back({key, {}, kPauseMs});
        }
    }
    AddKeySettings(job, profile.delayMs, profile.longPress);
    if (profile.runMode && !RunModeFrameRedundant(profile)) {
        job.steps.push_back({RunModeFrame(profile.runMode->powerOnRun, profile.runMode->loopPlayback), {}, 0});
    }
    return job;
}

}  // namespace treadle
