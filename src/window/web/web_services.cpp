#include "window/web/web_services.h"

#include "window/time_stamp.h"

#include <emscripten.h>
#include <string>

namespace treadle::web {
namespace {

// clang-format off
// The browser's local date and time in out[0..5]; its language ("en-GB") is what it returns.
EM_JS(int, treadle_page_now, (int* out), {
    const now = new Date();
    const values = [ now.getFullYear(), now.getMonth() + 1, now.getDate(), now.getHours(), now.getMinutes(),
                     now.getSeconds() ];
    for (let i = 0; i < values.length; ++i) {
        HEAP32[(out >> 2) + i] = values[i];
    }
    return treadlePage.keepReply(navigator.language || "");
});

// The page keeps the text of its last answer; the module takes it with this.
EM_JS(void, treadle_page_reply, (char* out, int size), { stringToUTF8(treadlePage.reply, out, size); });

EM_ASYNC_JS(int, treadle_page_message_box, (const char* text, const char* title, int okCancel), {
    return await treadlePage.messageBox(UTF8ToString(text), UTF8ToString(title), okCancel !== 0);
});

EM_JS(int, treadle_page_open_url, (const char* url), { return treadlePage.openUrl(UTF8ToString(url)) ? 1 : 0; });

// The path of the file picked (open) or to be written and downloaded (save), kept as the
// reply; -1 when the user cancelled.
EM_ASYNC_JS(int, treadle_page_ask_file, (int save, const char* title, const char* extension), {
    const path = await treadlePage.askFile(save !== 0, UTF8ToString(title), UTF8ToString(extension));
    return path === null ? -1 : treadlePage.keepReply(path);
});

// clang-format on

std::string Reply(int size) {
    std::string text(static_cast<size_t>(size) + 1, '\0');
    treadle_page_reply(text.data(), static_cast<int>(text.size()));
    text.resize(text.find('\0'));
    return text;
}

}  // namespace

std::string PageClock::TimeStampText() {
    int now[6] = {};
    const std::string browserLanguage = Reply(treadle_page_now(now));
    std::string userLocale = browserLanguage;
    for (char& c : userLocale) {
        c = c == '-' ? '_' : c;
    }
    const RegionalPatterns* patterns = RegionalPatternsFor(LogLocaleFor(language_, userLocale));
    if (patterns == nullptr) {
        patterns = RegionalPatternsFor(language_ == Language::Chinese ? "zh_CN" : "en_US");
    }
    return LogTimeStamp(*patterns, {now[0], now[1], now[2], now[3], now[4], now[5]});
}

void PageSleeper::Sleep(int milliseconds) {
    emscripten_sleep(static_cast<unsigned>(milliseconds > 0 ? milliseconds : 0));
}

MessageAnswer PageMessageBoxes::Show(const std::string& text, const std::string& title, MessageButtons buttons) {
    switch (treadle_page_message_box(text.c_str(), title.c_str(), buttons == MessageButtons::OkCancel ? 1 : 0)) {
        case 0:
            return MessageAnswer::Ok;
        case 1:
            return MessageAnswer::Cancel;
        default:
            return MessageAnswer::Closed;
    }
}

bool PageUrlOpener::Open(const std::string& url) { return treadle_page_open_url(url.c_str()) != 0; }

std::optional<std::string> PageFileDialogs::Ask(FileDialogKind kind, const std::string& title,
                                                const std::string& filterName, const std::string& extension) {
    (void)filterName;
    const int size = treadle_page_ask_file(kind == FileDialogKind::Save ? 1 : 0, title.c_str(), extension.c_str());
    if (size < 0) {
        return std::nullopt;
    }
    return Reply(size);
}

}  // namespace treadle::web
