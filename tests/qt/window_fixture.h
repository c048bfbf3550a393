// A Qt window on the virtual foot switch, shown on the offscreen platform, with the helpers the
// window tests share: the model, a control by name and the widget that renders it.
#pragma once

#include "support/fakes.h"
#include "window/qt/window_qt.h"

#include <gtest/gtest.h>

#include <QTest>

#include <cmath>
#include <memory>
#include <string>

namespace treadle::qt {

// Twips in pixels at 96 dpi.
inline int Px(int twips) { return static_cast<int>(std::lround(twips / 15.0)); }

class QtWindowFixture : public ::testing::Test {
  protected:
    void Open(WindowOptions options = {}, const std::string& stateFile = {}) {
        VirtualFootSwitch::Options deviceOptions;
        deviceOptions.sleeper = &sleeper;
        deviceOptions.stateFile = stateFile;
        device = std::make_unique<VirtualFootSwitch>(deviceOptions);
        std::string error;
        ASSERT_TRUE(device->Start(error)) << error;
        window = std::make_unique<MainWindow>(WindowServices{*device, clock, sleeper, boxes, url, &files}, options);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    USB& Model() { return window->Model(); }
    Control& C(const char* name, int index = -1) {
        Control* c = Model().Find(name, index);
        EXPECT_NE(c, nullptr) << name << " " << index;
        return *c;
    }
    template <typename W = QWidget>
    W* Widget(const char* name, int index = -1) {
        auto* w = qobject_cast<W*>(window->WidgetFor(C(name, index)));
        EXPECT_NE(w, nullptr) << name << " " << index;
        return w;
    }

    testing::FakeClock clock;
    testing::FakeSleeper sleeper;
    testing::FakeBoxes boxes;
    testing::FakeUrl url;
    testing::FakeFileDialogs files;
    std::unique_ptr<VirtualFootSwitch> device;
    std::unique_ptr<MainWindow> window;
};

}  // namespace treadle::qt
