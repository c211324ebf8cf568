#pragma once
// A headless screen with one window and a root controller, on the sandbox's
// virtual clock; and a GL view that owns its context and reads its layer
// itself, as a drawing canvas does.
#include <GLES2/gl2.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gl/Context.h"
#include "platform/gl/Handles.h"
#include "platform/ui/Alert.h"
#include "platform/ui/Application.h"
#include "platform/ui/GLView.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "support/Sandbox.h"

namespace ui_test {

// Presents only mark its picture stale; paint() fills a rectangle of layer
// pixels (origin bottom left) and presents, telling its extent or not.
class OwnContextGLView : public ui::GLView {
 public:
  explicit OwnContextGLView(const ui::Rect& frame, float scale = 1.0f) : GLView(frame, scale) {
    context_ = glx::Context::create(2);
    readPicturesOnDemand();
    glx::ContextGuard guard(*context_);
    fbo_ = glx::FramebufferHandle::make();
    rb_ = glx::RenderbufferHandle::make();
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_.get());
    glBindRenderbuffer(GL_RENDERBUFFER, rb_.get());
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, rb_.get());
    context_->renderbufferStorage(layer());
  }
  ~OwnContextGLView() override {
    glx::ContextGuard guard(*context_);
    fbo_.reset();
    rb_.reset();
  }
  void paint(const glx::PixelBox& box, float r, float g, float b, bool tell) {
    glx::ContextGuard guard(*context_);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_.get());
    glEnable(GL_SCISSOR_TEST);
    glScissor(box.x, box.y, box.width, box.height);
    glClearColor(r, g, b, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    if (tell) layer().addDamage(box);
    glBindRenderbuffer(GL_RENDERBUFFER, rb_.get());
    context_->presentRenderbuffer();
  }
  void paintAll(float r, float g, float b) {
    paint({0, 0, layer().storageWidth(), layer().storageHeight()}, r, g, b, false);
  }

 protected:
  // Pixels of the layer, read with the view's own context.
  void readRect(const glx::PixelBox& box, std::uint8_t* out) {
    glx::ContextGuard guard(*context_);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_.get());
    glReadPixels(box.x, box.y, box.width, box.height, GL_RGBA, GL_UNSIGNED_BYTE, out);
  }
  gfx::Image readWhole() {
    glx::ContextGuard guard(*context_);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_.get());
    return layer().readPicture();
  }

 private:
  std::unique_ptr<glx::Context> context_;
  glx::FramebufferHandle fbo_;
  glx::RenderbufferHandle rb_;
};

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

// Notes each answer an alert or sheet gives its delegate ("clicked 1",
// "will 1", "did 1"), and passes clicks and ends on where asked.
class SheetLog : public ui::ButtonSheetDelegate {
 public:
  std::vector<std::string> events;
  std::function<void(ui::ButtonSheet&, int)> onClick, onDismissed;
  void clickedButtonAtIndex(ui::ButtonSheet& s, int i) override {
    events.push_back("clicked " + std::to_string(i));
    if (onClick) onClick(s, i);
  }
  void willDismissWithButtonIndex(ui::ButtonSheet&, int i) override { events.push_back("will " + std::to_string(i)); }
  void didDismissWithButtonIndex(ui::ButtonSheet& s, int i) override {
    events.push_back("did " + std::to_string(i));
    if (onDismissed) onDismissed(s, i);
  }
};

// The screen beneath the alerts: it notes every touch it hears.
class Beneath : public ui::View {
 public:
  using View::View;
  std::vector<std::string> heard;
  void touchesBegan(const ui::TouchSet& t, const ui::Event&) override {
    heard.push_back("began " + std::to_string(t.size()));
  }
  void touchesMoved(const ui::TouchSet&, const ui::Event&) override { heard.push_back("moved"); }
  void touchesEnded(const ui::TouchSet&, const ui::Event&) override { heard.push_back("ended"); }
  void touchesCancelled(const ui::TouchSet&, const ui::Event&) override { heard.push_back("cancelled"); }
};

// A screen that is all `Beneath`, its animations (alerts' fades) on the clock.
class BeneathAlertsTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    host->setInstantAnimations(false);
    beneath = std::make_shared<Beneath>(ui::Rect{0, 0, 480, 320});
    rootView()->addSubview(beneath);
  }
  void TearDown() override {
    beneath.reset();
    UiTest::TearDown();
  }
  std::shared_ptr<Beneath> beneath;
};

}  // namespace ui_test
