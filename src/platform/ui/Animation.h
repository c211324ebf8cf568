#pragma once
// View animations in the phone's manner: named begin/commit blocks with a
// duration, delay, curve and did-stop callback, and the block form. Model
// values change at once; what the screen shows (the presentation values)
// interpolates on the run loop at 60 Hz. A page-curl stand-in transition
// redraws a container's old picture peeling away over the new one.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/DelegateRef.h"
#include "platform/ui/View.h"

namespace ui {

enum class AnimationCurve { EaseInOut, EaseIn, EaseOut, Linear };

enum class AnimationTransition { None, FlipFromLeft, FlipFromRight, CurlUp, CurlDown };

// Receives the start and stop of named animations. A delegate destroyed
// before its animation starts or stops hears nothing of it.
class AnimationDelegate : public DelegateLife {
 public:
  virtual ~AnimationDelegate() = default;
  virtual void animationWillStart(const std::string& /*name*/, void* /*context*/) {}
  virtual void animationDidStop(const std::string& /*name*/, bool /*finished*/, void* /*context*/) {}
};

// The class methods of the phone's view for animation blocks.
class Animations {
 public:
  using DidStop = std::function<void(const std::string& name, bool finished, void* context)>;

  // Blocks nest; property changes go to the innermost open block. The views
  // a block moves take no touch meanwhile.
  static void begin(const std::string& name = {}, void* context = nullptr);
  static void setDuration(double seconds);  // default 0.2 s
  static void setDelay(double seconds);
  static void setCurve(AnimationCurve curve);
  static void setBeginsFromCurrentState(bool on);  // default: from the model value
  static void setRepeatCount(float count);
  static void setRepeatAutoreverses(bool on);
  // The delegate hears animationWillStart and animationDidStop; it is not
  // kept, and once destroyed it is not called.
  static void setDelegate(AnimationDelegate* delegate);
  // Alternatively (or as well) a function hears the stop.
  static void setDidStop(DidStop fn);
  // The container's picture at this moment is what the transition peels away.
  static void setTransition(AnimationTransition kind, View* container, bool cache = true);
  static void commit();
  static bool inBlock();

  // Off: changes apply at once, even inside blocks (the phone's switch).
  static void setEnabled(bool on);
  static bool enabled();

  // The block form: changes made inside `changes` animate; completion gets
  // finished = false when a later animation of the same property replaced one.
  // The views it moves take no touch meanwhile unless `allowUserInteraction`:
  // then each takes touches where it is drawn at the moment.
  struct Options {
    AnimationCurve curve = AnimationCurve::EaseInOut;
    bool beginFromCurrentState = false;
    bool allowUserInteraction = false;
  };
  static void animate(double duration, double delay, Options options, const std::function<void()>& changes,
                      std::function<void(bool finished)> completion = {});
  static void animate(double duration, const std::function<void()>& changes,
                      std::function<void(bool finished)> completion = {});
};

// The engine behind Animations: runs property animations and transitions on
// the main run loop and delivers stops in the order they end.
class Animator {
 public:
  static Animator& shared();
  // Drops every running animation without callbacks (tests, a new run loop).
  void reset();

  // Instant mode: committed animations end at the next turn of the run loop,
  // their values at once, with stop callbacks in the order the timed
  // animations would have given (end time, then commit order).
  void setInstant(bool on) { instant_ = on; }
  bool instant() const { return instant_; }

  std::size_t runningGroups() const;
  // Views that a running transition is drawing over.
  bool isTransitioning(const View* v) const;
  // Whether a touch on the view is ignored because a running animation of it
  // or of a view it lies in did not ask for user interaction.
  bool blocksInteraction(const View* v) const;

  // Time the presentation values are computed at.
  double now() const;

  // --- internal, for View's setters and the compositor
  enum class Property { Bounds, Center, Transform, Alpha, BackgroundColor };
  bool recording() const;
  void record(View* view, Property p);  // call before changing the model value
  void viewDestroyed(View* view);
  void update();  // advances everything to now()

  struct Transition;
  const Transition* transitionFor(const View* v) const;
  // 0..1 progress of a running transition (curved), for drawing.
  static float transitionProgress(const Transition& t, double now);
  static AnimationTransition transitionKind(const Transition& t);
  static const gfx::Image& transitionSnapshot(const Transition& t);

  struct Group;
  struct PendingBlock;
  PendingBlock* topBlock() { return open_.empty() ? nullptr : open_.back().get(); }

 private:
  Animator();
  void ensureLoop();
  void scheduleTick();
  void groupEnded(const std::shared_ptr<Group>& g);
  void finishGroups();
  void commitBlock(std::unique_ptr<PendingBlock> block);

  friend class Animations;
  bool instant_ = false;
  bool enabled_ = true;
  std::uint64_t seq_ = 0;
  fd::RunLoop* loop_ = nullptr;
  fd::TimerRef tick_;
  std::vector<std::unique_ptr<PendingBlock>> open_;
  std::vector<View*> animating_;
  std::vector<std::shared_ptr<Group>> groups_;
  std::vector<std::shared_ptr<Transition>> transitions_;
  std::vector<std::shared_ptr<Group>> ended_;  // waiting for their stop callbacks
  bool finishPosted_ = false;
  double instantClock_ = 0;
};

}  // namespace ui
