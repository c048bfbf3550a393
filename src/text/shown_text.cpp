#include "text/shown_text.h"

#include <cstdint>
#include <cstdio>

namespace treadle {
namespace {

void AppendEscaped(std::string& out, unsigned char byte) {
    char text[8];
    std::snprintf(text, sizeof text, "\\x%02X", byte);
    out += text;
}

// The length of the well-formed UTF-8 sequence at `at` that is no control character
// (C1 controls U+0080 to U+009F included); 0 when the bytes there must be escaped.
std::size_t PrintableSequence(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead >= 0x20 && lead < 0x7F) {
        return 1;
    }
    std::size_t length = 0;
    std::uint32_t min = 0;
    std::uint32_t value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80, value = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800, value = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000, value = lead & 0x07u;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (next & 0x3Fu);
    }
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    const bool c1 = value >= 0x80 && value <= 0x9F;
    if (value < min || value > 0x10FFFF || surrogate || c1) {
        return 0;
    }
    return length;
}

std::string Escape(std::string_view text, std::size_t maxBytes, bool keepLineBreaks) {
    std::string out;
    std::size_t at = 0;
    while (at < text.size() && at < maxBytes) {
        if (keepLineBreaks && text[at] == '\n') {
            out += '\n';
            ++at;
            continue;
        }
        const std::size_t n = PrintableSequence(text, at);
        if (n == 0) {
            AppendEscaped(out, static_cast<unsigned char>(text[at]));
            ++at;
        } else {
            out.append(text.substr(at, n));
            at += n;
        }
    }
    if (at < text.size()) {
        out += "... (" + std::to_string(text.size()) + " bytes in all)";
    }
    return out;
}

}  // namespace

std::string ShownText(std::string_view text, std::size_t maxBytes) { return Escape(text, maxBytes, false); }

std::string Quoted(std::string_view text, std::size_t maxBytes) { return "\"" + ShownText(text, maxBytes) + "\""; }

std::string ShownMessage(std::string_view message) { return Escape(message, std::string_view::npos, true); }

}  // namespace treadle
