#pragma once
// The spinner shown while work is on its way: twelve spokes, one bright and
// the others fading behind it, turning a step every 1/12 s while animating.
// Hidden when stopped unless told otherwise.
#include "platform/foundation/RunLoop.h"
#include "platform/ui/View.h"

namespace ui {

enum class ActivityIndicatorStyle { WhiteLarge, White, Gray };

class ActivityIndicatorView : public View {
 public:
  explicit ActivityIndicatorView(ActivityIndicatorStyle style = ActivityIndicatorStyle::White);
  ~ActivityIndicatorView() override;

  void startAnimating();
  void stopAnimating();
  bool isAnimating() const { return static_cast<bool>(timer_); }
  bool hidesWhenStopped() const { return hidesWhenStopped_; }
  void setHidesWhenStopped(bool on);
  ActivityIndicatorStyle style() const { return style_; }
  // The spoke drawn brightest now, 0..11.
  int step() const { return step_; }

  bool drawsContent() const override { return true; }
  void drawRect(gfx::Context& ctx, const Rect& rect) override;

  static constexpr int kSpokes = 12;
  static constexpr double kStepInterval = 1.0 / 12;

 private:
  ActivityIndicatorStyle style_;
  bool hidesWhenStopped_ = true;
  int step_ = 0;
  fd::TimerRef timer_;
};

}  // namespace ui
