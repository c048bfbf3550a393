#include "support/fakes.h"

namespace treadle::testing {

WindowFixture::WindowFixture(VirtualFootSwitch::Options options, WindowOptions view) {
    options.sleeper = &sleeper;
    device = std::make_unique<VirtualFootSwitch>(options);
    window = std::make_unique<USB>(WindowServices{*device, clock, sleeper, boxes, url, &files}, view);
    window->Form_Load();
}

WindowFixture::WindowFixture(HidPlatform& platform, WindowOptions view) {
    window = std::make_unique<USB>(WindowServices{platform, clock, sleeper, boxes, url, &files}, view);
    window->Form_Load();
}

}  // namespace treadle::testing
