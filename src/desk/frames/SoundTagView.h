#pragma once
// One sound tag on the frame manager's sound track: a bar whose left and right
// edges stand for the first and end frames of a clip. Dragged to move, its
// right-end handle dragged to lengthen or shorten it (never past the sound's
// frame limit nor over its neighbours), deleted after a confirmation; it keeps
// the project's tag lists and its "Start:"/"End:" labels in step as it moves.
#include <functional>
#include <memory>
#include <string>

#include "model/SoundTag.h"
#include "platform/ui/Alert.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

class ProjectDataModel;

// The owner of the tags: told when one is deleted, with the deleted view's
// tag (its index + 100).
class SoundTagViewDelegate {
 public:
  virtual ~SoundTagViewDelegate() = default;
  virtual void deleteSoundTagViewWithTag(int viewTag) = 0;
};

// The project's tags as the three flat lists the track's arithmetic is
// written for; the edit is stored back as tags.
void editSoundTagLists(ProjectDataModel& project, const std::function<void(SoundTagLists&)>& edit);

class SoundTagView : public ui::View, public ui::ButtonSheetDelegate {
 public:
  // Markers narrower than this have no handle and show no labels.
  static constexpr float kNarrowWidth = 40;
  static constexpr float kHandleWidth = 26, kHandleHeight = 58;
  static constexpr float kDeleteSize = 19;
  // A view's tag is its index in the project's lists plus this.
  static constexpr int kViewTagBase = 100;

  static std::shared_ptr<SoundTagView> initWithFrame(const ui::Rect& frame, bool isCreate);
  SoundTagView(const ui::Rect& frame, bool isCreate);

  // The first and end frames from the marker's place: labels, and the
  // project's frame list (appended when new, rewritten while moving).
  void calculateControlFrameAndLabelDisplayText();
  // The delete button and the handle back at the right end.
  void calculateDeleteBtnFrame();
  // The delete button: the selected look and the confirmation.
  void removeFromSupView();

  SoundTagViewDelegate* delegate() const { return delegate_; }
  void setDelegate(SoundTagViewDelegate* d) { delegate_ = d; }
  const std::string& FNString() const { return fnString_; }
  void setFNString(std::string s) { fnString_ = std::move(s); }
  ui::Label* fileName() const { return fileName_.get(); }
  ui::Label* beginFrameLb() const { return beginFrameLb_.get(); }
  ui::Label* endFrameLb() const { return endFrameLb_.get(); }
  int soundTag() const { return soundTag_; }
  void setSoundTag(int t) { soundTag_ = t; }
  ui::View* dragCtr() const { return dragCtr_.get(); }
  ui::Button* deleteBtn() const { return deleteBtn_.get(); }
  ui::ImageView* backView() const { return backView_.get(); }
  ui::ImageView* soundDeleTag() const { return soundDeleTag_.get(); }
  const ui::Rect& initRect() const { return initRect_; }
  float lastPointX() const { return lastPointX_; }
  float nextPointX() const { return nextPointX_; }

  // ButtonSheetDelegate: the confirmation's answer.
  void clickedButtonAtIndex(ui::ButtonSheet& sheet, int index) override;

  void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesMoved(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesCancelled(const ui::TouchSet& touches, const ui::Event& event) override;

 private:
  std::shared_ptr<ui::Label> createALabelWithFrame(const ui::Rect& frame);
  void placeHandle();

  std::shared_ptr<ui::Label> beginFrameLb_, endFrameLb_, fileName_;
  std::shared_ptr<ui::View> dragCtr_;
  std::shared_ptr<ui::ImageView> backView_;
  std::shared_ptr<ui::Button> deleteBtn_;
  bool isDrag_ = true;
  bool isCreate_ = false;
  SoundTagViewDelegate* delegate_ = nullptr;
  int soundTag_ = 0;
  std::shared_ptr<ui::ImageView> soundDeleTag_;
  ui::Rect initRect_;
  float lastPointX_ = 0, nextPointX_ = 0;
  std::string fnString_;
  bool isMove_ = false;
  bool moved_ = false;
};
