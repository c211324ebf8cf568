#pragma once
// The full-screen "Please Wait" overlay of the rotoscoping screen: a dimmed
// cover that takes every touch, a spinner and a one-line label the owner
// writes progress into. Starts hidden.
#include <memory>

#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

namespace roto {

class DDWaitingView : public ui::View {
 public:
  // The size of the main screen in landscape.
  DDWaitingView();
  explicit DDWaitingView(const ui::Rect& frame);

  void show();
  void hidden();
  ui::ActivityIndicatorView* indicator() const { return indicator_.get(); }
  ui::Label* titleLabel() const { return titleLabel_.get(); }

 private:
  std::shared_ptr<ui::ActivityIndicatorView> indicator_;
  std::shared_ptr<ui::Label> titleLabel_;
};

}  // namespace roto
