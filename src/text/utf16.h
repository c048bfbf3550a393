// UTF-8, the core's text, to and from UTF-16, the Windows calls' text. Ill-formed input
// never stops a conversion: each bad sequence becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace treadle {

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace treadle
