#include "device/user_file_mode.h"

#include <windows.h>

namespace treadle {

std::string ReadOnlyReason(const std::string& path) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    if (n <= 0) {
        return {};
    }
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
        (attributes & FILE_ATTRIBUTE_READONLY) == 0) {
        return {};
    }
    return "it is read-only (its read-only attribute is set); clear the attribute to change it";
}

}  // namespace treadle
