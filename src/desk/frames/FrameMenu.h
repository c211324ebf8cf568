#pragma once
// The menu under the selected strip frame (delete, copy, repeat) and the
// repeat-count picker that sets how long a frame's repeat run is.
#include <memory>

#include "platform/ui/Alert.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

// What the menu and the picker ask of the frame manager; every message optional.
class FrameMenuDelegate {
 public:
  virtual ~FrameMenuDelegate() = default;
  virtual void deleteSelectPaper() {}
  virtual void duplicateANewPaper() {}
  virtual void setReapeatNumber() {}
  virtual void setReatFrameFinished() {}
};

class FrameMenu : public ui::View, public ui::AlertViewDelegate {
 public:
  enum Tag { kDelete = 100, kCopy = 101, kRepeat = 102 };
  static constexpr float kWidth = 145, kHeight = 35;

  static std::shared_ptr<FrameMenu> initWithFrame(const ui::Rect& frame);
  explicit FrameMenu(const ui::Rect& frame);
  FrameMenuDelegate* delegate() const { return delegate_; }
  void setDelegate(FrameMenuDelegate* d) { delegate_ = d; }
  ui::Button* button(int tag) const;
  void buttonPressed(ui::Button* sender);
  void didDismissWithButtonIndex(ui::ButtonSheet& sheet, int index) override;

 private:
  FrameMenuDelegate* delegate_ = nullptr;
};

class RepeatFrameView : public ui::View {
 public:
  enum Tag { kMinus = 100, kPlus = 101, kCancel = 102, kOK = 103 };
  static constexpr float kPanelWidth = 224, kPanelHeight = 124;

  static std::shared_ptr<RepeatFrameView> initWithFrame(const ui::Rect& frame);
  explicit RepeatFrameView(const ui::Rect& frame);

  ui::View* reapeatView() const { return reapeatView_.get(); }
  ui::Label* repeatNumber() const { return repeatNumber_.get(); }
  ui::Button* button(int tag) const;
  int number() const { return number_; }
  void setNumber(int n);
  int reapeatPage() const { return reapeatPage_; }
  void setReapeatPage(int p) { reapeatPage_ = p; }
  FrameMenuDelegate* delegate() const { return delegate_; }
  void setDelegate(FrameMenuDelegate* d) { delegate_ = d; }
  void buttonPressed(ui::Button* sender);

  // Touches outside the panel are swallowed.
  void touchesBegan(const ui::TouchSet&, const ui::Event&) override {}
  void touchesMoved(const ui::TouchSet&, const ui::Event&) override {}
  void touchesEnded(const ui::TouchSet&, const ui::Event&) override {}

 private:
  void apply();

  std::shared_ptr<ui::View> reapeatView_;
  std::shared_ptr<ui::Label> repeatNumber_;
  int number_ = 1;
  int reapeatPage_ = 0;
  FrameMenuDelegate* delegate_ = nullptr;
};
