#include "window/win32/win32_services.h"

#include "text/utf16.h"
#include "window/time_stamp.h"

#include <algorithm>

#include <commdlg.h>
#include <shellapi.h>

namespace treadle::win32 {
namespace {

std::wstring Wide(const std::string& text) {
    const std::u16string utf16 = Utf8ToUtf16(text);
    return std::wstring(utf16.begin(), utf16.end());
}

std::string Narrow(const wchar_t* text) {
    return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text), std::wcslen(text)));
}

}  // namespace

std::string TimeStampText(const SYSTEMTIME& time, const wchar_t* locale) {
    wchar_t date[128] = {};
    wchar_t clock[128] = {};
    if (::GetDateFormatEx(locale, DATE_SHORTDATE, &time, nullptr, date, 128, nullptr) == 0) {
        date[0] = L'\0';
    }
    if (::GetTimeFormatEx(locale, 0, &time, nullptr, clock, 128) == 0) {
        clock[0] = L'\0';
    }
    return Narrow(date) + " " + Narrow(clock);
}

Win32Clock::Win32Clock(Language language) {
    wchar_t user[LOCALE_NAME_MAX_LENGTH] = {};
    const std::string own = ::GetUserDefaultLocaleName(user, LOCALE_NAME_MAX_LENGTH) > 0 ? Narrow(user) : "";
    std::string name = LogLocaleFor(language, own);
    std::replace(name.begin(), name.end(), '_', '-');  // Windows writes "zh-CN"
    locale_ = Wide(name);
}

std::string Win32Clock::TimeStampText() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return locale_.empty() ? win32::TimeStampText(now) : win32::TimeStampText(now, locale_.c_str());
}

void Win32Sleeper::Sleep(int milliseconds) { ::Sleep(static_cast<DWORD>(milliseconds < 0 ? 0 : milliseconds)); }

MessageAnswer Win32MessageBoxes::Show(const std::string& text, const std::string& title, MessageButtons buttons) {
    const UINT type = (buttons == MessageButtons::OkCancel ? MB_OKCANCEL | MB_DEFBUTTON1 : MB_OK) | MB_APPLMODAL;
    const int answer = ::MessageBoxW(owner_, Wide(text).c_str(), Wide(title).c_str(), type);
    switch (answer) {
        case IDOK:
            return MessageAnswer::Ok;
        case IDCANCEL:
            // Escape and the close box give IDCANCEL too; with an OK button alone they close it.
            return buttons == MessageButtons::OkCancel ? MessageAnswer::Cancel : MessageAnswer::Closed;
        default:
            return MessageAnswer::Closed;
    }
}

bool Win32UrlOpener::Open(const std::string& url) {
    // Shown normally: a browser started hidden would be no use to anyone.
    const auto result =
        reinterpret_cast<INT_PTR>(::ShellExecuteW(owner_, L"open", Wide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

std::optional<std::string> Win32FileDialogs::Ask(FileDialogKind kind, const std::string& title,
                                                 const std::string& filterName, const std::string& extension) {
    // The filter is pairs of a name and a pattern, each ended by a NUL, and one more NUL.
    const std::wstring pattern = L"*" + Wide(extension);
    std::wstring filter = Wide(filterName) + L" (" + pattern + L")";
    filter += L'\0';
    filter += pattern;
    filter += L'\0';
    const std::wstring caption = Wide(title);
    const std::wstring defaultExtension = Wide(extension.substr(extension.starts_with('.') ? 1 : 0));
    std::wstring file(32768, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner_;
    dialog.lpstrFilter = filter.c_str();  // c_str() adds the last NUL
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrTitle = caption.c_str();
    dialog.lpstrDefExt = defaultExtension.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
                   (kind == FileDialogKind::Save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    const BOOL chosen = kind == FileDialogKind::Save ? ::GetSaveFileNameW(&dialog) : ::GetOpenFileNameW(&dialog);
    if (chosen == 0) {
        return std::nullopt;
    }
    return Narrow(file.c_str());
}

}  // namespace treadle::win32
