// The window's surroundings on Windows: the regional clock, a blocking pause, modal message
// boxes, file dialogs and the user's web browser. Texts are UTF-8 here and UTF-16 at the Windows calls.
#pragma once

#include "text/catalogue.h"
#include "window/services.h"

#include <string>
#include <windows.h>

namespace treadle::win32 {

// The log's time stamp as the user's regional settings write it: the short date, one blank,
// the long time ("2026/12/6 8:40:48" in Simplified Chinese, "12/6/2026 8:40:48 AM" in US
// English).
std::string TimeStampText(const SYSTEMTIME& time, const wchar_t* locale = LOCALE_NAME_USER_DEFAULT);

class Win32Clock final : public Clock {
  public:
    // Stamps as the user's regional settings write them.
    Win32Clock() = default;
    // Stamps in the window's language: the user's own form where it is that language.
    explicit Win32Clock(Language language);
    std::string TimeStampText() override;

  private:
    std::wstring locale_;  // empty: the user's
};

class Win32Sleeper final : public Sleeper {
  public:
    void Sleep(int milliseconds) override;
};

class Win32MessageBoxes final : public MessageBoxes {
  public:
    // Boxes are modal to `owner` (may be null until the window exists).
    explicit Win32MessageBoxes(HWND owner = nullptr) : owner_(owner) {}
    void SetOwner(HWND owner) { owner_ = owner; }
    MessageAnswer Show(const std::string& text, const std::string& title, MessageButtons buttons) override;

  private:
    HWND owner_;
};

class Win32UrlOpener final : public UrlOpener {
  public:
    explicit Win32UrlOpener(HWND owner = nullptr) : owner_(owner) {}
    void SetOwner(HWND owner) { owner_ = owner; }
    bool Open(const std::string& url) override;

  private:
    HWND owner_;
};

// The system's open and save dialogs, modal to `owner`; a file saved without an extension
// gets the one offered.
class Win32FileDialogs final : public FileDialogs {
  public:
    explicit Win32FileDialogs(HWND owner = nullptr) : owner_(owner) {}
    void SetOwner(HWND owner) { owner_ = owner; }
    std::optional<std::string> Ask(FileDialogKind kind, const std::string& title, const std::string& filterName,
                                   const std::string& extension) override;

  private:
    HWND owner_;
};

}  // namespace treadle::win32
