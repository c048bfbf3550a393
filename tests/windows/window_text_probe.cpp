// Prints the text of every control of each Treadle window on the desktop, one line each as
// "CLASS<TAB>TEXT" in UTF-8, so a script can read the window's state from outside.
#include "window/win32/win32_look.h"

#include <string>
#include <windows.h>

namespace {

void Write(const std::string& text) {
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::wstring ClassName(HWND hwnd) {
    wchar_t name[256] = {};
    ::GetClassNameW(hwnd, name, 256);
    return name;
}

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
    const int length = ::GetWindowTextLengthW(child);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(child, text.data(), length + 1)));
    Write(treadle::win32::Narrow(ClassName(child)) + "\t" + treadle::win32::Narrow(text) + "\n");
    return TRUE;
}

BOOL CALLBACK PrintWindow(HWND window, LPARAM found) {
    if (ClassName(window) == L"TreadleWindow") {
        *reinterpret_cast<int*>(found) += 1;
        ::EnumChildWindows(window, &PrintChild, 0);
    }
    return TRUE;
}

}  // namespace

int main() {
    int found = 0;
    ::EnumWindows(&PrintWindow, reinterpret_cast<LPARAM>(&found));
    return found > 0 ? 0 : 1;
}
