// libFuzzer target: anything may be typed or pasted into the frame text box. After the check
// the box holds only hex digits and blanks, in their old order, one message box was shown
// per distinct wrong character, and checking the result again shows none. Front ends hand
// the model well-formed UTF-8 (what a text box holds), so the bytes are made into that first.
#include "support/fakes.h"
#include "text/utf16.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

namespace {

bool Admitted(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ' '; }

bool IsSubsequence(const std::string& part, const std::string& whole) {
    std::size_t at = 0;
    for (char c : whole) {
        if (at < part.size() && part[at] == c) {
            ++at;
        }
    }
    return at == part.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static treadle::testing::WindowFixture f;
    const std::string text =
        treadle::Utf16ToUtf8(treadle::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size)));
    f.boxes.shown.clear();
    f.window->TextIW.SetText(text);
    const std::string result = f.window->TextIW.Text();
    for (char c : result) {
        if (!Admitted(c)) {
            __builtin_trap();
        }
    }
    if (!IsSubsequence(result, text)) {
        __builtin_trap();
    }
    // One box per distinct wrong character, a character being one well-formed UTF-8 sequence.
    std::set<std::string> wrong;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (length > 1 || !Admitted(text[i])) {
            wrong.insert(text.substr(i, length));
        }
        i += length;
    }
    if (f.boxes.shown.size() != wrong.size()) {
        __builtin_trap();
    }
    f.boxes.shown.clear();
    f.window->TextIW.SetText(result);
    if (!f.boxes.shown.empty() || f.window->TextIW.Text() != result) {
        __builtin_trap();
    }
    return 0;
}
