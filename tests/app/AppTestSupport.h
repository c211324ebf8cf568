#pragma once
// The whole program on a headless screen: a fresh sandbox and model, the
// application delegate launched as the program launches it, and the desk
// opened from the launch screen's first entry as a person opens it.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "app/AppDelegate.h"
#include "app/FileManagerView.h"
#include "app/ZTLoadingViewController.h"
#include "desk/BackgroundsView.h"
#include "desk/DeskCanvasView.h"
#include "desk/DesktopManagerController.h"
#include "model/DeviceScreen.h"
#include "model/ZTDataModel.h"
#include "platform/ui/Application.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/ui/Screen.h"
#include "services/VTSystemManager.h"
#include "support/Sandbox.h"

namespace app_test {

class AppTest : public testing_support::SandboxTest {
 protected:
  void SetUp() override {
    ZTDataModel::resetSharedInstanceForTesting();
    VTSystemManager::resetSharedManagerForTesting();
    FileManagerView::registerWithDesk();
  }
  void TearDown() override {
    desk_panels::setFileManagerFactory({});
    ui::Application::shared().reset();
    host.reset();
    ZTDataModel::resetSharedInstanceForTesting();
    VTSystemManager::resetSharedManagerForTesting();
    DeviceScreen::resetForTesting();
  }
  ZTLoadingViewController* start(bool tall = false, float scale = 1.0f) {
    host = std::make_unique<ui::HeadlessHost>(tall, scale);
    ui::Rect b = ui::Screen::main().bounds();
    DeviceScreen::setMainScreen(scale, b.height, b.width);
    auto delegate = std::make_shared<AppDelegate>();
    ui::Application::shared().setDelegate(delegate);
    ui::Application::shared().launch();
    host->setInstantAnimations(true);
    return delegate->loadingViewController();
  }
  void tap(ui::View* v) {
    ASSERT_NE(v, nullptr);
    ui::Rect r = v->convertRectTo(v->bounds(), nullptr);
    host->tap({r.x + r.width / 2, r.y + r.height / 2});
    host->runUntilIdle();
  }
  // Presses the first entry and waits (in real time, long enough for a slow
  // sanitizer build on a busy machine) for the desk built off the main
  // thread to be presented.
  DesktopManagerController* openDesk(ZTLoadingViewController* launch) {
    ui::ViewController* before = launch->presentedViewController();
    tap(launch->entryButton(ZTLoadingViewController::kPreviousWork));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
      host->runUntilIdle();
      ui::ViewController* now = launch->presentedViewController();
      if (now != nullptr && now != before) return dynamic_cast<DesktopManagerController*>(now);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return nullptr;
  }
  // The background gallery, opened from the layer panel as a person opens it.
  BackgroundsView& openGallery(DesktopManagerController* desk) {
    if (!desk->layerManager() || desk->layerManager()->isHidden()) tap(desk->groundBtn());
    tap(desk->backgroundRowButton());
    return *desk->backgroundsView();
  }
  // A background of one's own made in the gallery and opened for painting
  // with a double tap on its cell.
  void paintNewBackground(DesktopManagerController* desk) {
    BackgroundsView& gallery = openGallery(desk);
    tap(gallery.backgroundsArray().back()->newButton());
    ASSERT_NE(gallery.newBackgroundView(), nullptr);
    gallery.createBackground();
    BackgroundView* cell = gallery.cellNamed(ZTDataModel::sharedInstance().backgroundArray().back());
    ASSERT_NE(cell, nullptr);
    tap(cell->selectedButton());
    host->advance(0.05);
    tap(cell->selectedButton());
    ASSERT_TRUE(ZTDataModel::sharedInstance().extendDataModel().isBackground());
  }
  ui::Point onPage(DesktopManagerController* desk, float x, float y) {
    ui::Rect f = desk->canvas()->frame();
    return {f.x + x, f.y + y};
  }
  std::unique_ptr<ui::HeadlessHost> host;
};

}  // namespace app_test
