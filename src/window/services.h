// What the window asks of its surroundings besides HID and time (device/clock.h): modal
// message boxes, opening a web address and the file dialogs of the profile buttons. The front
// end (or a test) provides them, so every handler runs without a display and without real
// sleeps.
#pragma once

#include <optional>
#include <string>

#include "device/clock.h"

namespace treadle {

enum class MessageButtons { Ok, OkCancel };
enum class MessageAnswer { Ok, Cancel, Closed };

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // A modal box without icon; with OkCancel, OK is the default button.
    virtual MessageAnswer Show(const std::string& text, const std::string& title, MessageButtons buttons) = 0;
};

class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    // Hands the address to the user's web browser; false when that could not be done.
    virtual bool Open(const std::string& url) = 0;
};

enum class FileDialogKind { Open, Save };

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // A modal dialog that asks for a file to open or to save into, offering the files whose
    // names end in `extension` (".toml") under the name `filterName`. Nothing when the user
    // cancelled.
    virtual std::optional<std::string> Ask(FileDialogKind kind, const std::string& title, const std::string& filterName,
                                           const std::string& extension) = 0;
};

}  // namespace treadle
