#pragma once
// A screen's controller: loads its view on first use (loadView, viewDidLoad),
// hears appearance changes, and presents and dismisses other controllers
// modally, animated (sliding up from the bottom) or not.
#include <functional>
#include <memory>
#include <string>

#include "platform/ui/Responder.h"
#include "platform/ui/View.h"

namespace ui {

class NavigationController;
class BarButtonItem;

// Title and bar buttons a controller shows in a navigation bar.
class NavigationItem {
 public:
  const std::string& title() const { return title_; }
  void setTitle(std::string t);
  BarButtonItem* leftBarButtonItem() const { return left_.get(); }
  BarButtonItem* rightBarButtonItem() const { return right_.get(); }
  void setLeftBarButtonItem(std::shared_ptr<BarButtonItem> item);
  void setRightBarButtonItem(std::shared_ptr<BarButtonItem> item);
  // The bar showing this item listens here.
  void setChangeHandler(std::function<void()> fn) { changed_ = std::move(fn); }

 private:
  std::string title_;
  std::shared_ptr<BarButtonItem> left_, right_;
  std::function<void()> changed_;
};

enum class ModalTransitionStyle { CoverVertical, CrossDissolve };

class ViewController : public Responder, public std::enable_shared_from_this<ViewController> {
 public:
  ViewController();
  ~ViewController() override;

  View* view();  // loads it when needed
  std::shared_ptr<View> viewShared();
  bool isViewLoaded() const { return static_cast<bool>(view_); }
  void setView(std::shared_ptr<View> view);

  // Makes the view: a plain view the size of the screen unless overridden.
  virtual void loadView();
  virtual void viewDidLoad() {}
  virtual void viewWillAppear(bool /*animated*/) {}
  virtual void viewDidAppear(bool /*animated*/) {}
  virtual void viewWillDisappear(bool /*animated*/) {}
  virtual void viewDidDisappear(bool /*animated*/) {}
  // The low-memory notification reaches every controller.
  virtual void didReceiveMemoryWarning() {}

  const std::string& title() const { return title_; }
  void setTitle(const std::string& t);
  NavigationItem& navigationItem() { return navigationItem_; }
  NavigationController* navigationController() const;
  ViewController* parentViewController() const { return parent_; }

  // Modal presentation. Order: the presenter's viewWillDisappear, the
  // presented one's viewWillAppear, (the slide), the presented viewDidAppear,
  // the presenter's viewDidDisappear, then completion. A controller that is
  // already presenting ignores a second request.
  void presentViewController(std::shared_ptr<ViewController> controller, bool animated,
                             std::function<void()> completion = {});
  // On a presented controller: its presenter dismisses it. On a presenter:
  // dismisses what it presents (and what that presents).
  void dismissViewController(bool animated, std::function<void()> completion = {});
  ViewController* presentedViewController() const { return presented_.get(); }
  ViewController* presentingViewController() const { return presenting_; }
  bool isBeingPresented() const { return transitioning_; }
  ModalTransitionStyle modalTransitionStyle() const { return transitionStyle_; }
  void setModalTransitionStyle(ModalTransitionStyle s) { transitionStyle_ = s; }

  Responder* nextResponder() const override;

  static constexpr double kModalDuration = 0.3;

 protected:
  friend class NavigationController;
  friend class Window;
  void setParent(ViewController* p) { parent_ = p; }
  const View* loadedView() const { return view_.get(); }

 private:
  ViewController* presentationRoot();
  void finishDismiss(bool animated, std::function<void()> completion);

  std::shared_ptr<View> view_;
  std::string title_;
  NavigationItem navigationItem_;
  ViewController* parent_ = nullptr;
  ViewController* presenting_ = nullptr;
  std::shared_ptr<ViewController> presented_;
  bool transitioning_ = false;
  ModalTransitionStyle transitionStyle_ = ModalTransitionStyle::CoverVertical;
  std::uint64_t memoryObserver_ = 0;
};

}  // namespace ui
