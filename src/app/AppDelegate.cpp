#include "app/AppDelegate.h"

#include "app/ZTLoadingViewController.h"
#include "gpu/filters/sketch/GPUSketchFilters.h"
#include "model/ZTDataModel.h"
#include "platform/ui/Screen.h"
#include "roto/RotoArt.h"
#include "services/VTSystemManager.h"

namespace {
AppDelegate* gShared = nullptr;
}

AppDelegate::AppDelegate() { gShared = this; }

AppDelegate::~AppDelegate() {
  if (gShared == this) gShared = nullptr;
}

AppDelegate* AppDelegate::sharedAppDelegate() { return gShared; }

bool AppDelegate::didFinishLaunching(ui::Application& app) {
  app.setStatusBarHidden(true);
  // The first touch of the model reads the defaults, the current project and
  // the per-sound limits and login record.
  ZTDataModel::sharedInstance();
  // The rotoscoping camera's filters can be named in filter configurations.
  registerSketchFilters();
  roto_art::registerWithImageCache();
  window_ = std::make_shared<ui::Window>(ui::Screen::main().bounds());
  loading_ = std::make_shared<ZTLoadingViewController>();
  window_->setRootViewController(loading_);
  window_->makeKeyAndVisible();
  app.registerForRemoteNotifications(kRemoteNotificationTypes);
  VTSystemManager::sharedManager();
  return true;
}

void AppDelegate::willEnterForeground(ui::Application& app) {
  app.registerForRemoteNotifications(kRemoteNotificationTypes);
}

void AppDelegate::saveModel() {
  ZTDataModel& model = ZTDataModel::sharedInstance();
  model.saveData();
  model.extendDataModel().saveLumistoInfo();
  ++saves_;
}

void AppDelegate::didEnterBackground(ui::Application&) { saveModel(); }

void AppDelegate::willTerminate(ui::Application&) { saveModel(); }
