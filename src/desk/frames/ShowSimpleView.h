#pragma once
// Help overlays: a full-screen picture with captions that any touch removes.
// The frame manager shows its own on first use and from its help button.
#include <memory>

#include "platform/ui/Label.h"
#include "platform/ui/View.h"

class ShowSimpleView : public ui::View {
 public:
  explicit ShowSimpleView(const ui::Rect& frame);
  int type() const { return type_; }
  void setType(int t) { type_ = t; }
  // 0 when the first preferred language is Chinese, else 1 (captions in the
  // longer languages get a smaller font).
  int languagesTag() const { return languagesTag_; }
  ui::Label* createUILabelWithFrame(const ui::Rect& frame);
  void disapper() { removeFromSuperview(); }
  void touchesBegan(const ui::TouchSet&, const ui::Event&) override { disapper(); }
  void touchesMoved(const ui::TouchSet&, const ui::Event&) override {}
  void touchesEnded(const ui::TouchSet&, const ui::Event&) override {}

 private:
  int type_ = 0;
  int languagesTag_ = 1;
};

class PicManagerShowSimpleView : public ShowSimpleView {
 public:
  static std::shared_ptr<PicManagerShowSimpleView> initWithFrame(const ui::Rect& frame);
  explicit PicManagerShowSimpleView(const ui::Rect& frame);
};
