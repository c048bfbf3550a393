// The window's surroundings in a web page: the browser's clock, pauses and boxes. Every wait
// (a pause, a box the user answers, a file the user picks) suspends the module through
// Asyncify until the browser is done, so the model's handlers run in order as on the desktop.
#pragma once

#include "text/catalogue.h"
#include "window/services.h"

namespace treadle::web {

// The log's time stamps in the window's language, in the browser's own regional form where
// it speaks that language.
class PageClock final : public Clock {
  public:
    explicit PageClock(Language language) : language_(language) {}
    std::string TimeStampText() override;

  private:
    Language language_;
};

class PageSleeper final : public Sleeper {
  public:
    void Sleep(int milliseconds) override;
};

// A modal <dialog>, answered from the mouse or the keyboard.
class PageMessageBoxes final : public MessageBoxes {
  public:
    MessageAnswer Show(const std::string& text, const std::string& title, MessageButtons buttons) override;
};

// Opens the address in a new tab.
class PageUrlOpener final : public UrlOpener {
  public:
    bool Open(const std::string& url) override;
};

// A profile to load is picked with <input type=file> and copied into the module's files; a
// profile saved goes to a file there, which the page then downloads.
class PageFileDialogs final : public FileDialogs {
  public:
    std::optional<std::string> Ask(FileDialogKind kind, const std::string& title, const std::string& filterName,
                                   const std::string& extension) override;
};

}  // namespace treadle::web
