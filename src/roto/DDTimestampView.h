#pragma once
// The timeline under the replay: a layer of thumbnails, a play indicator and
// two trim handles with masks over what a trim cuts away. Touches become
// times, reported to the delegate with the mark they began on.
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/ImageView.h"
#include "platform/ui/View.h"

namespace roto {

// Which mark a report is about.
enum DDTimestampStyle : int {
  kDDTimestampStyleNone = -1,
  kDDTimestampStyleIndicator = 0,
  kDDTimestampStyleFirstCrop = 1,
  kDDTimestampStyleLastCrop = 2,
};

// Item states.
enum DDTimestampItemState : int { kDDTimestampItemNormal = 0, kDDTimestampItemHighlighted = 1 };

// The image-holding view of the indicator and the handles: background,
// highlight and normal pictures stacked, the normal one on top.
class DDTimestampViewItem : public ui::View {
 public:
  explicit DDTimestampViewItem(const ui::Rect& frame);
  void setItemStates(int state);
  void layoutSubviews() override;
  // Items keep their own frame.
  void setAutoresizingMaskForView(ui::View*) {}

  ui::ImageView* normalImageView() const { return normal_.get(); }
  ui::ImageView* hilightImageView() const { return hilight_.get(); }
  ui::ImageView* backgroundImageView() const { return background_.get(); }

 private:
  std::shared_ptr<ui::ImageView> normal_, hilight_, background_;
};

class DDTimestampView;

class DDTimestampViewDelegate {
 public:
  virtual ~DDTimestampViewDelegate() = default;
  virtual void ddTimestampViewDidIndicatorSelect(DDTimestampView*, int /*style*/) {}
  virtual void ddTimestampView(DDTimestampView*, float /*didIndicatorValueChange*/, int /*style*/) {}
  virtual void ddTimestampViewDidIndicatorEndSelect(DDTimestampView*, float /*atTime*/, int /*style*/) {}
};

// A supplier of thumbnail views; a source that does not answer a message
// says so by returning nothing.
class DDTimestampViewDataSource {
 public:
  virtual ~DDTimestampViewDataSource() = default;
  virtual std::optional<int> numberOfThumbnail() { return std::nullopt; }
  virtual std::shared_ptr<ui::View> ddTimestampViewThumbnailAtIndex(int) { return nullptr; }
};

class DDTimestampView : public ui::View {
 public:
  explicit DDTimestampView(const ui::Rect& frame);

  void setDelegate(DDTimestampViewDelegate* d) { delegate_ = d; }
  DDTimestampViewDelegate* delegate() const { return delegate_; }
  void setDataSource(DDTimestampViewDataSource* source);
  void drawDataSource();

  // 1 shows the handles and masks; anything else the play indicator.
  void setMode(int mode);
  void setMaxTime(float t);
  void setMinTime(float t);
  void setIndicatorTime(float t);
  void setCropFirstTime(float t) { cropFirstTime_ = t; }
  void setCropLastTime(float t) { cropLastTime_ = t; }
  float maxTime() const { return maxTime_; }
  float minTime() const { return minTime_; }
  float indicatorTime() const { return indicatorTime_; }
  float cropFirstTime() const { return cropFirstTime_; }
  float cropLastTime() const { return cropLastTime_; }

  void setTimestampIndicatorImage(const ui::Picture& image, int state);
  void setFirstCropImage(const ui::Picture& image, int state);
  void setLastCropImage(const ui::Picture& image, int state);
  void setTimestampBackgoundImage(const ui::Picture& image);
  void setFirstCropBackgroundImage(const ui::Picture& image);
  void setLastCropBackgroundImage(const ui::Picture& image);
  void updateTimestampIndicator();
  void updateFirstCrop();
  void updateLastCrop();

  void setCropMaskHight(float h);
  void setCropTrimFirstMaskWidth(float w);
  void setCropTrimLastMaskWidth(float w);
  void setCropMaskColor(const ui::Color& c);
  float cropMaskHight() const { return cropMaskHight_; }

  void addBackgroundSubView(std::shared_ptr<ui::View> view);
  void clearBackgroundSubView();

  DDTimestampViewItem* timestampIndicator() const { return indicator_.get(); }
  DDTimestampViewItem* firstCropIndicator() const { return firstCrop_.get(); }
  DDTimestampViewItem* lastCropIndicator() const { return lastCrop_.get(); }
  ui::View* firstMaskView() const { return firstMask_.get(); }
  ui::View* lastMaskView() const { return lastMask_.get(); }
  ui::ImageView* backgroundImageView() const { return thumbnails_.get(); }

  void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesMoved(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesCancelled(const ui::TouchSet& touches, const ui::Event& event) override;

 private:
  float span() const { return maxTime_ - minTime_; }
  float timeAt(const ui::TouchSet& touches) const;
  // The style of the flags of the current touch, each counting only while its
  // mark is visible.
  int selectedStyle() const;
  void setMarkImage(DDTimestampViewItem& item, float& width, const ui::Picture& image, int state);

  DDTimestampViewDataSource* dataSource_ = nullptr;
  DDTimestampViewDelegate* delegate_ = nullptr;
  float defaultIndicatorWidth_ = 5;
  float firstCropIndicatorWidth_ = 10;
  float lastCropIndicatorWidth_ = 10;
  bool isTimestampIndicatorSelect_ = false;
  bool isFirstCropIndicatorSelect_ = false;
  bool isLastCropIndicatorSelect_ = false;
  ui::Color cropMaskColor_{0, 0, 0, 0.4f};
  float indicatorTime_ = 0;
  float minTime_ = 0;
  float maxTime_ = 1.0f;
  float cropFirstTime_ = 0.3f;
  float cropLastTime_ = 0.7f;
  float cropMaskHight_ = 0;
  float cropTrimFirstMaskWidth_ = 0;
  float cropTrimLastMaskWidth_ = 0;
  std::shared_ptr<ui::ImageView> thumbnails_;
  std::shared_ptr<DDTimestampViewItem> indicator_, firstCrop_, lastCrop_;
  std::shared_ptr<ui::View> firstMask_, lastMask_;
};

}  // namespace roto
