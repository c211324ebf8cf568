#pragma once
// A headless screen with one window and a root controller, on the sandbox's
// virtual clock.
#include <memory>

#include "platform/ui/Application.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "support/Sandbox.h"

namespace ui_test {

class UiTest : public testing_support::SandboxTest {
 protected:
  void SetUp() override {
    host = std::make_unique<ui::HeadlessHost>();
    window = std::make_shared<ui::Window>(ui::Rect{0, 0, 480, 320});
    root = std::make_shared<ui::ViewController>();
    window->setRootViewController(root);
    window->makeKeyAndVisible();
  }
  void TearDown() override {
    window.reset();
    root.reset();
    host.reset();
  }
  ui::View* rootView() { return root->view(); }

  std::unique_ptr<ui::HeadlessHost> host;
  std::shared_ptr<ui::Window> window;
  std::shared_ptr<ui::ViewController> root;
};

}  // namespace ui_test
