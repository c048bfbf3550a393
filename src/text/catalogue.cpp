#include "text/catalogue.h"

namespace treadle {

std::string Fill(std::string_view text, const std::vector<std::string>& arguments) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            const auto n = static_cast<size_t>(text[i + 1] - '1');
            if (n < arguments.size()) {
                out += arguments[n];
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string Text(Msg id, Language language, const std::vector<std::string>& arguments) {
    return Fill(Text(id, language), arguments);
}

std::optional<Language> LanguageFromName(std::string_view name) {
    const size_t end = name.find_first_of("_-.@");
    const std::string_view code = name.substr(0, end);
    if (code == "zh") {
        return Language::Chinese;
    }
    if (code == "en") {
        return Language::English;
    }
    return std::nullopt;
}

const char* LanguageCode(Language language) { return language == Language::English ? "en" : "zh"; }

}  // namespace treadle
