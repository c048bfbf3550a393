// The page's entry points. The page's script calls them one at a time through its queue: a
// call may suspend (a pause between frames, a box, the browser's HID calls), and no other call
// may enter the module until it has returned.
#include "device/protocol.h"
#include "window/startup.h"
#include "window/web/web_services.h"
#include "window/web/window_web.h"

#include <emscripten.h>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

// clang-format off
EM_JS(void, treadle_page_device_ids, (int vendorId, int productId, const char* guide),
      { treadlePage.deviceIds(vendorId, productId, UTF8ToString(guide)); });

// clang-format on

// Everything the window lives on, made once by treadle_start and kept for the page's life.
struct Page {
    treadle::web::PageSleeper sleeper;
    treadle::web::PageMessageBoxes boxes;
    treadle::web::PageUrlOpener url;
    treadle::web::PageFileDialogs files;
    std::unique_ptr<treadle::web::PageClock> clock;
    std::unique_ptr<treadle::HidPlatform> platform;
    std::unique_ptr<treadle::web::PageWindow> window;
};

Page* g_page = nullptr;

treadle::web::PageWindow* Window() { return g_page != nullptr ? g_page->window.get() : nullptr; }

}  // namespace

extern "C" {

// Shows the window. `arguments` are the window program's command line, one a line, as the
// page's address asks for them (--lang=en, --advanced, --virtual=STATE_FILE, whose slots the page
// keeps). 0 when the window shows, else the start's exit status.
EMSCRIPTEN_KEEPALIVE int treadle_start(const char* arguments) {
    if (g_page != nullptr) {
        return 0;
    }
    std::vector<std::string> words;
    std::istringstream lines(arguments);
    for (std::string line; std::getline(lines, line);) {
        words.push_back(line);
    }
    const treadle::StartPlan plan = treadle::PlanStart(words, nullptr, "treadle");
    std::cerr << plan.err;
    if (plan.stop) {
        return plan.status;
    }
    auto page = std::make_unique<Page>();
    page->platform = treadle::StartPlatform(plan.options, page->sleeper, page->boxes, std::cerr, "treadle");
    if (page->platform == nullptr) {
        return treadle::kBadStartStatus;
    }
    page->clock = std::make_unique<treadle::web::PageClock>(plan.window.language);
    page->window = std::make_unique<treadle::web::PageWindow>(
        treadle::WindowServices{*page->platform, *page->clock, page->sleeper, page->boxes, page->url, &page->files},
        plan.window);
    // The guide lies beside the page, in the window's language.
    std::string guide = page->window->Model().MakerPage;
    if (plan.window.language == treadle::Language::Chinese && guide == "guide.html") {
        guide = "guide.zh.html";
    }
    page->window->Model().MakerPage = guide;
    treadle_page_device_ids(treadle::kFootSwitchVendorId, treadle::kFootSwitchProductId, guide.c_str());
    g_page = page.release();
    g_page->window->Show();
    return 0;
}

EMSCRIPTEN_KEEPALIVE void treadle_click(int control) {
    if (auto* window = Window()) {
        window->Click(control);
    }
}

EMSCRIPTEN_KEEPALIVE void treadle_set_check(int control, int value) {
    if (auto* window = Window()) {
        window->SetCheck(control, value);
    }
}

EMSCRIPTEN_KEEPALIVE void treadle_edit_text(int control, const char* text) {
    if (auto* window = Window()) {
        window->EditText(control, text);
    }
}

EMSCRIPTEN_KEEPALIVE void treadle_select_item(int control, int index) {
    if (auto* window = Window()) {
        window->SelectItem(control, index);
    }
}

EMSCRIPTEN_KEEPALIVE void treadle_tick() {
    if (auto* window = Window()) {
        window->TimerTick();
    }
}

}  // extern "C"
