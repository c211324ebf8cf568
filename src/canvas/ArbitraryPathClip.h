#pragma once
// The lasso of the stamp tool: a free-hand closed outline drawn with one
// finger, shown as a red line while drawn and as marching dashes afterwards,
// and the cut of a picture to that outline.
#include <memory>
#include <optional>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/Path.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/View.h"

// What the lasso asks of the stamp tool. Every message is optional.
class ArbitraryPathClipDelegate {
 public:
  virtual ~ArbitraryPathClipDelegate() = default;
  // The view showing the picture being edited, or nullptr.
  virtual ui::ImageView* maskView() { return nullptr; }
  virtual void switchInteface() {}
  virtual void showPathViewImage(bool) {}
  // The tool's lasso button is selected; then the album button is disabled.
  virtual bool arbitraryClipBtnIsSelected() { return false; }
  virtual void setAlbumBtnEnabled(bool) {}
};

class ArbitraryPathClip : public ui::View {
 public:
  static constexpr double kDashInterval = 0.05;  // seconds per dash step
  static constexpr float kDashStep = 2.0f;        // points per step
  static constexpr float kDashLength = 10.0f;
  static constexpr float kLineWidth = 2.0f;

  explicit ArbitraryPathClip(const ui::Rect& frame);
  ~ArbitraryPathClip() override;

  // The picture cut to the outline, at the view's size and the screen scale.
  gfx::Image clipImageWithMask(const gfx::Image& picture) const;
  // The outline filled opaque black on transparent, at the view's size and
  // the screen scale, top row at the top of the view.
  gfx::Image generateMaskImage() const;
  gfx::Image clipImageWithMaskImage(const gfx::Image& mask, const gfx::Image& picture) const;

  // After the view has been resized with the picture: the outline is rebuilt
  // at the new scale.
  void scale(float sx, float sy);
  void pathDisappear();
  void setViewActivity(bool active);
  bool viewActivity() const { return viewActivity_; }

  bool dotline() const { return dotline_; }
  void setDotline(bool on) { dotline_ = on; }
  bool clear() const { return clear_; }
  void setClear(bool on) { clear_ = on; }
  const std::vector<gfx::Point>& points() const { return points_; }
  void setPoints(std::vector<gfx::Point> points) { points_ = std::move(points); }
  const std::optional<gfx::Path>& clipPath() const { return clipPath_; }
  float offSet() const { return offSet_; }
  bool isMove() const { return isMove_; }
  bool isMarching() const { return timer_ && timer_->isValid(); }
  ArbitraryPathClipDelegate* delegate() const { return delegate_; }
  void setDelegate(ArbitraryPathClipDelegate* d) { delegate_ = d; }

  void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesMoved(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;

  bool drawsContent() const override { return true; }
  void drawRect(gfx::Context& ctx, const ui::Rect& rect) override;

 private:
  void generateCGPath(float sx, float sy);
  void startTimer();
  void stopTimer();
  void dotLineOffset();
  bool maskViewHasImage();

  std::vector<gfx::Point> points_;
  std::optional<gfx::Path> clipPath_;
  bool dotline_ = false;
  float offSet_ = 0;
  fd::TimerRef timer_;
  bool isMove_ = false;
  bool viewActivity_ = false;
  bool clear_ = false;
  ArbitraryPathClipDelegate* delegate_ = nullptr;
};
