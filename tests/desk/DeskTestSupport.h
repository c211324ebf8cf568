#pragma once
// A desk on a headless screen: a fresh sandbox and model, the screen of the
// chosen size and scale, the desk as the window's root, animations ending at
// once unless a test wants them timed.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>

#include "desk/DeskCanvasView.h"
#include "desk/DesktopManagerController.h"
#include "model/DeviceScreen.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Application.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "support/Pictures.h"
#include "support/Sandbox.h"

namespace desk_test {

class DeskTest : public testing_support::SandboxTest {
 protected:
  void TearDown() override { stop(); }

  // Builds the desk on a screen of that layout.
  DesktopManagerController& start(bool tall = false, float scale = 1.0f, bool instant = true) {
    ZTDataModel::resetSharedInstanceForTesting();
    host = std::make_unique<ui::HeadlessHost>(tall, scale);
    const ui::Rect b = ui::Screen::main().bounds();
    DeviceScreen::setMainScreen(scale, b.height, b.width);
    ZTDataModel::sharedInstance();
    // Pictures kept from an earlier desk may have been drawn at another
    // scale; the program never changes its scale, so it starts afresh.
    fd::NotificationCenter::defaultCenter().post(fd::kLowMemoryNotification);
    prepareModel();
    host->setInstantAnimations(instant);
    window = std::make_shared<ui::Window>(b);
    desk = DesktopManagerController::initWithNibName(tall ? "DesktopManagerController_iphone5"
                                                           : "DesktopManagerController");
    window->setRootViewController(desk);
    window->makeKeyAndVisible();
    host->runUntilIdle();
    return *desk;
  }
  // Tests change the project before the desk opens it here.
  virtual void prepareModel() {}

  void stop() {
    window.reset();
    desk.reset();
    host.reset();
    ZTDataModel::resetSharedInstanceForTesting();
    DeviceScreen::resetForTesting();
  }

  ZTDataModel& model() { return ZTDataModel::sharedInstance(); }
  ProjectDataModel& project() { return *model().prjDataModel(); }
  ExtendDataModel& settings() { return model().extendDataModel(); }
  int curPage() { return settings().curPage(); }

  // A page point in screen points.
  ui::Point onPage(float x, float y) const {
    ui::Rect f = desk->canvas()->frame();
    return {f.x + x, f.y + y};
  }
  void stroke(ui::Point from, ui::Point to, int steps = 8) {
    host->drag(from, to, steps);
    host->runUntilIdle();
  }
  // Chooses a brush as a person does: a finger down on the brush strip,
  // slid to the type's band of the bar (0 eraser, 1..6 pens, 7 smudge) and
  // lifted, which also applies the type's stored size and opacity.
  void chooseBrush(int type) {
    static constexpr float kBandY[] = {20, 57, 84, 110, 131, 170, 206, 244};
    ASSERT_TRUE(type >= 0 && type < 8);
    const float w = desk->view()->bounds().width;
    const ui::Rect strip = desk->brushAndEraInteractView()->frame();
    host->touchDown(1, {strip.x + strip.width / 2, strip.y + strip.height / 2});
    host->touchMove(1, {w - 20, kBandY[type]});
    host->touchUp(1, {w - 20, kBandY[type]});
    host->runUntilIdle();
    ASSERT_EQ(desk->eaglBrushType(), type);
  }
  void tapView(ui::View* v) {
    ASSERT_NE(v, nullptr);
    ui::Rect r = v->convertRectTo(v->bounds(), nullptr);
    host->tap({r.x + r.width / 2, r.y + r.height / 2});
    host->runUntilIdle();
  }

  // Opens the layer panel with the layer button, presses the buttons in
  // turn and closes the panel by a touch outside it.
  void inLayerPanel(std::initializer_list<ui::Button*> buttons) {
    tapView(desk->groundBtn());
    for (ui::Button* b : buttons) tapView(b);
    host->tap({10, 10});
    host->runUntilIdle();
  }

  // Alpha of the canvas picture's pixel at page point (x, y), 0..255.
  int canvasAlphaAt(float x, float y) {
    auto img = desk->drawsView()->image();
    if (!img) return -1;
    const float s = static_cast<float>(img->pixelWidth()) / DrawsView::kPageWidth;
    return img->pixel(static_cast<int>(x * s), static_cast<int>(y * s))[3];
  }
  static long inkedPixels(const std::filesystem::path& path) { return testing_support::inkedPixels(path); }

  std::unique_ptr<ui::HeadlessHost> host;
  std::shared_ptr<ui::Window> window;
  std::shared_ptr<DesktopManagerController> desk;
};

}  // namespace desk_test
