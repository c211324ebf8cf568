#pragma once
// Help overlays: a full-screen picture with captions that any touch removes.
// The frame manager shows its own on first use and from its help button; the
// desk's "New Feature" sheet is built the same way.
#include <memory>
#include <span>

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

 protected:
  // One caption: its look in Chinese and in the longer languages.
  struct CaptionStyle {
    ui::Rect frame;
    float size;
    bool bold;
    int lines;
  };
  struct Caption {
    const char* key;
    CaptionStyle chinese, other;
  };
  // The picture over the given rectangle, then the captions moved right by dx.
  void build(const char* picture, const ui::Rect& pictureFrame, std::span<const Caption> captions, float dx);

 private:
  int type_ = 0;
  int languagesTag_ = 1;
};

class PicManagerShowSimpleView : public ShowSimpleView {
 public:
  static std::shared_ptr<PicManagerShowSimpleView> initWithFrame(const ui::Rect& frame);
  explicit PicManagerShowSimpleView(const ui::Rect& frame);
};

// The desk's "New Feature" sheet: four headings, each over what is new.
class DesktopShowSimpleView : public ShowSimpleView {
 public:
  static std::shared_ptr<DesktopShowSimpleView> initWithFrame(const ui::Rect& frame);
  explicit DesktopShowSimpleView(const ui::Rect& frame);
};
