#include "platform/ui/Animation.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/ui/AnimationState.h"
#include "platform/ui/Compositor.h"
#include "platform/ui/Screen.h"

namespace ui {

namespace {

constexpr double kTickInterval = 1.0 / 60.0;
constexpr double kDefaultDuration = 0.2;

struct Bezier {
  float x1, y1, x2, y2;
};
// The phone's timing curves as cubic Béziers through (0,0) and (1,1).
constexpr Bezier kCurves[] = {
    {0.42f, 0.0f, 0.58f, 1.0f},  // EaseInOut
    {0.42f, 0.0f, 1.0f, 1.0f},   // EaseIn
    {0.0f, 0.0f, 0.58f, 1.0f},   // EaseOut
    {0.0f, 0.0f, 1.0f, 1.0f},    // Linear
};

double bezierCoord(double t, double p1, double p2) {
  double u = 1 - t;
  return 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t;
}

}  // namespace

float easeCurve(AnimationCurve curve, float x) {
  if (x <= 0) return 0;
  if (x >= 1) return 1;
  const Bezier& b = kCurves[static_cast<int>(curve)];
  if (curve == AnimationCurve::Linear) return x;
  // Solve bezier_x(t) = x by bisection; the curve is monotonic in x.
  double lo = 0, hi = 1, t = x;
  for (int i = 0; i < 40; ++i) {
    t = (lo + hi) / 2;
    double bx = bezierCoord(t, b.x1, b.x2);
    if (bx < x) lo = t;
    else hi = t;
  }
  return static_cast<float>(bezierCoord(t, b.y1, b.y2));
}

// --- interpolation of each animatable kind

namespace {

float lerp(float a, float b, float t) { return a + (b - a) * t; }

struct Decomposed {
  float tx, ty, sx, sy, angle, shear;
};

Decomposed decompose(const AffineTransform& m) {
  Decomposed d{};
  d.tx = m.tx, d.ty = m.ty;
  d.sx = std::hypot(m.a, m.b);
  d.angle = std::atan2(m.b, m.a);
  float det = m.a * m.d - m.b * m.c;
  d.sy = d.sx != 0 ? det / d.sx : std::hypot(m.c, m.d);
  // What is left after removing rotation and scale is a shear along x.
  float cs = std::cos(d.angle), sn = std::sin(d.angle);
  d.shear = d.sy != 0 ? (m.c * cs + m.d * sn) / d.sy : 0;
  return d;
}

AffineTransform recompose(const Decomposed& d) {
  AffineTransform shear{1, 0, d.shear, 1, 0, 0};
  return shear.concat(AffineTransform::makeScale(d.sx, d.sy))
      .concat(AffineTransform::makeRotation(d.angle))
      .concat(AffineTransform::makeTranslation(d.tx, d.ty));
}

AffineTransform lerpTransform(const AffineTransform& a, const AffineTransform& b, float t) {
  if (a == b) return a;
  Decomposed da = decompose(a), db = decompose(b);
  float dAngle = db.angle - da.angle;
  // The shorter way round, as the phone's matrix interpolation turns.
  while (dAngle > std::numbers::pi_v<float>) dAngle -= 2 * std::numbers::pi_v<float>;
  while (dAngle < -std::numbers::pi_v<float>) dAngle += 2 * std::numbers::pi_v<float>;
  Decomposed r{lerp(da.tx, db.tx, t), lerp(da.ty, db.ty, t), lerp(da.sx, db.sx, t), lerp(da.sy, db.sy, t),
               da.angle + dAngle * t, lerp(da.shear, db.shear, t)};
  return recompose(r);
}

PropValue readModel(const View& v, Animator::Property p) {
  PropValue out;
  switch (p) {
    case Animator::Property::Bounds: out.rect = v.bounds(); break;
    case Animator::Property::Center: out.point = v.center(); break;
    case Animator::Property::Transform: out.transform = v.transform(); break;
    case Animator::Property::Alpha: out.scalar = v.alpha(); break;
    case Animator::Property::BackgroundColor: out.color = v.backgroundColor(); break;
  }
  return out;
}

PropValue readPresentation(const View& v, Animator::Property p) {
  View::Geometry g = v.presentation();
  PropValue out;
  out.rect = g.bounds, out.point = g.center, out.transform = g.transform, out.scalar = g.alpha,
  out.color = g.backgroundColor;
  (void)p;
  return out;
}

void apply(View::Geometry& g, const PropAnim& a, float t) {
  switch (a.prop) {
    case Animator::Property::Bounds:
      g.bounds = {lerp(a.from.rect.x, a.to.rect.x, t), lerp(a.from.rect.y, a.to.rect.y, t),
                  lerp(a.from.rect.width, a.to.rect.width, t), lerp(a.from.rect.height, a.to.rect.height, t)};
      break;
    case Animator::Property::Center:
      g.center = {lerp(a.from.point.x, a.to.point.x, t), lerp(a.from.point.y, a.to.point.y, t)};
      break;
    case Animator::Property::Transform: g.transform = lerpTransform(a.from.transform, a.to.transform, t); break;
    case Animator::Property::Alpha: g.alpha = lerp(a.from.scalar, a.to.scalar, t); break;
    case Animator::Property::BackgroundColor:
      g.backgroundColor = {lerp(a.from.color.r, a.to.color.r, t), lerp(a.from.color.g, a.to.color.g, t),
                           lerp(a.from.color.b, a.to.color.b, t), lerp(a.from.color.a, a.to.color.a, t)};
      break;
  }
}

// Progress 0..1 of one timed run at time `now` (repeats and reversals folded in).
float progressAt(double now, double begin, double duration, float repeatCount, bool autoreverses,
                 AnimationCurve curve) {
  if (now <= begin) return 0;
  double cycle = duration * (autoreverses ? 2 : 1);
  double total = cycle * std::max(1.0f, repeatCount);
  double el = now - begin;
  if (duration <= 0) return autoreverses ? 0.0f : 1.0f;
  if (el >= total) return autoreverses ? 0.0f : 1.0f;
  double in = std::fmod(el, cycle);
  double x = in / duration;
  if (x > 1) x = 2 - x;
  return easeCurve(curve, static_cast<float>(x));
}

}  // namespace

// --- the open block and the running groups

struct Animator::Group {
  std::uint64_t seq = 0;
  std::string name;
  void* context = nullptr;
  double duration = kDefaultDuration, delay = 0;
  AnimationCurve curve = AnimationCurve::EaseInOut;
  bool fromCurrent = false;
  bool allowInteraction = false;
  float repeatCount = 0;
  bool autoreverses = false;
  DelegateRef<AnimationDelegate> delegate;
  Animations::DidStop didStop;
  std::function<void(bool)> completion;
  int running = 0;
  bool finished = true;
  double endTime = 0;
  fd::TimerRef endTimer;
};

struct Animator::PendingBlock {
  std::shared_ptr<Group> group = std::make_shared<Group>();
  struct Recorded {
    std::weak_ptr<View> view;
    View* raw;
    Property prop;
    PropValue from;
  };
  std::vector<Recorded> recorded;
  AnimationTransition transition = AnimationTransition::None;
  std::weak_ptr<View> transitionView;
  gfx::Image snapshot;
};

struct Animator::Transition {
  std::weak_ptr<View> view;
  const View* raw = nullptr;
  AnimationTransition kind = AnimationTransition::None;
  gfx::Image snapshot;
  double begin = 0, duration = 0;
  AnimationCurve curve = AnimationCurve::EaseInOut;
  std::shared_ptr<Group> group;
};

Animator::Animator() = default;

Animator& Animator::shared() {
  static Animator* animator = new Animator;  // never destroyed, like the views it animates
  return *animator;
}

void Animator::ensureLoop() {
  fd::RunLoop* loop = &fd::RunLoop::main();
  if (loop_ != loop) {
    // A new main loop (tests): what ran on the old one is gone with it.
    tick_.reset();
    for (View* v : animating_) v->animation_.reset();
    animating_.clear();
    groups_.clear();
    transitions_.clear();
    ended_.clear();
    finishPosted_ = false;
    loop_ = loop;
  }
}

void Animator::reset() {
  Screen::noteChange();
  if (tick_) tick_->invalidate();
  tick_.reset();
  for (auto& g : groups_)
    if (g->endTimer) g->endTimer->invalidate();
  for (View* v : animating_) v->animation_.reset();
  animating_.clear();
  groups_.clear();
  transitions_.clear();
  ended_.clear();
  open_.clear();
  finishPosted_ = false;
  instant_ = false;
  enabled_ = true;
  loop_ = nullptr;
}

double Animator::now() const {
  if (instant_) return std::max(fd::RunLoop::main().now(), instantClock_);
  return fd::RunLoop::main().now();
}

bool Animator::recording() const { return enabled_ && !open_.empty(); }

std::size_t Animator::runningGroups() const { return groups_.size(); }

void Animator::record(View* view, Property p) {
  if (!recording()) return;
  PendingBlock& block = *open_.back();
  for (auto& r : block.recorded)
    if (r.raw == view && r.prop == p) return;
  bool fromCurrent = block.group->fromCurrent;
  PropValue from = fromCurrent ? readPresentation(*view, p) : readModel(*view, p);
  block.recorded.push_back({view->weak_from_this(), view, p, from});
}

void Animator::viewDestroyed(View* view) {
  auto it = std::find(animating_.begin(), animating_.end(), view);
  if (it == animating_.end()) return;
  animating_.erase(it);
  if (view->animation_)
    for (auto& a : view->animation_->anims) {
      a.group->finished = false;
      if (--a.group->running == 0) groupEnded(a.group);
    }
}

void Animator::commitBlock(std::unique_ptr<PendingBlock> block) {
  ensureLoop();
  Screen::noteChange();
  std::shared_ptr<Group> g = block->group;
  g->seq = ++seq_;
  double start = now();
  double begin = start + g->delay;
  double cycle = g->duration * (g->autoreverses ? 2 : 1);
  double span = cycle * std::max(1.0f, g->repeatCount);
  bool timed = !instant_ && g->duration > 0;
  bool any = false;

  for (auto& r : block->recorded) {
    std::shared_ptr<View> v = r.view.lock();
    if (!v) continue;
    any = true;
    if (!timed) continue;
    if (!v->animation_) {
      v->animation_ = std::make_unique<ViewAnimationState>();
      animating_.push_back(v.get());
    }
    auto& anims = v->animation_->anims;
    auto old = std::find_if(anims.begin(), anims.end(), [&](const PropAnim& a) { return a.prop == r.prop; });
    if (old != anims.end()) {
      std::shared_ptr<Group> og = old->group;
      anims.erase(old);
      og->finished = false;
      if (--og->running == 0) groupEnded(og);
    }
    PropAnim a{r.prop, r.from, readModel(*v, r.prop), begin, g->duration, g->curve, g->repeatCount, g->autoreverses, g};
    anims.push_back(a);
    ++g->running;
  }
  if (block->transition != AnimationTransition::None) {
    if (auto v = block->transitionView.lock()) {
      any = true;
      if (timed) {
        auto t = std::make_shared<Transition>();
        t->view = v;
        t->raw = v.get();
        t->kind = block->transition;
        t->snapshot = std::move(block->snapshot);
        t->begin = begin;
        t->duration = g->duration;
        t->curve = g->curve;
        t->group = g;
        transitions_.push_back(t);
        ++g->running;
      }
    }
  }

  if (g->delegate) {
    // The phone tells the start on the next turn, not inside commit.
    fd::RunLoop::main().post([g] {
      if (AnimationDelegate* d = g->delegate.get()) d->animationWillStart(g->name, g->context);
    });
  }

  // Nothing animatable changed, no duration or instant mode: the stop comes at
  // the next turn; in instant mode at the time a timed run would have ended.
  g->endTime = instant_ && any ? begin + span : (timed ? begin + span : start);
  if (g->running == 0) {
    groupEnded(g);
    return;
  }
  groups_.push_back(g);
  g->endTimer = fd::RunLoop::main().scheduleTimer(g->endTime - fd::RunLoop::main().now(), false, [this] { update(); });
  scheduleTick();
}

void Animator::scheduleTick() {
  if (tick_ && tick_->isValid()) return;
  tick_ = fd::RunLoop::main().scheduleTimer(kTickInterval, true, [this] { update(); });
}

void Animator::groupEnded(const std::shared_ptr<Group>& g) {
  auto it = std::find(groups_.begin(), groups_.end(), g);
  if (it != groups_.end()) groups_.erase(it);
  if (g->endTimer) g->endTimer->invalidate();
  ended_.push_back(g);
  if (!finishPosted_) {
    finishPosted_ = true;
    fd::RunLoop::main().post([this, loop = &fd::RunLoop::main()] {
      if (loop_ != loop && loop_ != nullptr) return;
      finishPosted_ = false;
      finishGroups();
    });
  }
}

void Animator::finishGroups() {
  // One at a time in (end time, commit order): a callback may commit a new
  // animation, which then takes its place in the same order.
  while (!ended_.empty()) {
    auto it = std::min_element(ended_.begin(), ended_.end(), [](const auto& a, const auto& b) {
      return a->endTime != b->endTime ? a->endTime < b->endTime : a->seq < b->seq;
    });
    std::shared_ptr<Group> g = *it;
    ended_.erase(it);
    if (instant_) instantClock_ = std::max(instantClock_, g->endTime);
    if (AnimationDelegate* d = g->delegate.get()) d->animationDidStop(g->name, g->finished, g->context);
    if (g->didStop) g->didStop(g->name, g->finished, g->context);
    if (g->completion) g->completion(g->finished);
  }
  finishPosted_ = false;
}

void Animator::update() {
  ensureLoop();
  // What the screen shows of running animations moves on with the clock.
  if (!animating_.empty() || !transitions_.empty()) Screen::noteChange();
  double t = now();
  std::vector<std::shared_ptr<Group>> done;
  for (std::size_t i = 0; i < animating_.size();) {
    View* v = animating_[i];
    auto& anims = v->animation_->anims;
    for (auto a = anims.begin(); a != anims.end();) {
      double span = a->duration * (a->autoreverses ? 2 : 1) * std::max(1.0f, a->repeatCount);
      if (t >= a->begin + span - 1e-9) {
        if (--a->group->running == 0) done.push_back(a->group);
        a = anims.erase(a);
      } else {
        ++a;
      }
    }
    if (anims.empty()) {
      v->animation_.reset();
      animating_.erase(animating_.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  for (auto tr = transitions_.begin(); tr != transitions_.end();) {
    if (t >= (*tr)->begin + (*tr)->duration - 1e-9 || (*tr)->view.expired()) {
      if (--(*tr)->group->running == 0) done.push_back((*tr)->group);
      tr = transitions_.erase(tr);
    } else {
      ++tr;
    }
  }
  for (auto& g : done) {
    auto it = std::find(groups_.begin(), groups_.end(), g);
    if (it != groups_.end()) groups_.erase(it);
    if (g->endTimer) g->endTimer->invalidate();
    ended_.push_back(g);
  }
  if (groups_.empty() && tick_) {
    tick_->invalidate();
    tick_.reset();
  }
  if (!done.empty()) finishGroups();
}

bool Animator::isTransitioning(const View* v) const { return transitionFor(v) != nullptr; }

const Animator::Transition* Animator::transitionFor(const View* v) const {
  for (auto& t : transitions_)
    if (t->raw == v && !t->view.expired()) return t.get();
  return nullptr;
}

float Animator::transitionProgress(const Transition& t, double now) {
  if (t.duration <= 0) return 1;
  return easeCurve(t.curve, static_cast<float>((now - t.begin) / t.duration));
}
AnimationTransition Animator::transitionKind(const Transition& t) { return t.kind; }
const gfx::Image& Animator::transitionSnapshot(const Transition& t) { return t.snapshot; }

bool Animator::blocksInteraction(const View* v) const {
  for (const View* p = v; p; p = p->superview())
    if (p->animation_)
      for (auto& a : p->animation_->anims)
        if (!a.group->allowInteraction) return true;
  return false;
}

// --- View's presentation values

View::Geometry View::presentation() const {
  Geometry g{bounds_, center_, transform_, alpha_, backgroundColor_};
  if (!animation_) return g;
  double t = Animator::shared().now();
  for (const PropAnim& a : animation_->anims)
    apply(g, a, progressAt(t, a.begin, a.duration, a.repeatCount, a.autoreverses, a.curve));
  return g;
}

// --- the class methods

void Animations::begin(const std::string& name, void* context) {
  auto block = std::make_unique<Animator::PendingBlock>();
  block->group->name = name;
  block->group->context = context;
  Animator::shared().open_.push_back(std::move(block));
}

namespace {
Animator::PendingBlock* top() { return Animator::shared().topBlock(); }
}  // namespace

void Animations::setDuration(double s) {
  if (auto* b = top()) b->group->duration = s;
}
void Animations::setDelay(double s) {
  if (auto* b = top()) b->group->delay = s;
}
void Animations::setCurve(AnimationCurve c) {
  if (auto* b = top()) b->group->curve = c;
}
void Animations::setBeginsFromCurrentState(bool on) {
  if (auto* b = top()) b->group->fromCurrent = on;
}
void Animations::setRepeatCount(float n) {
  if (auto* b = top()) b->group->repeatCount = n;
}
void Animations::setRepeatAutoreverses(bool on) {
  if (auto* b = top()) b->group->autoreverses = on;
}
void Animations::setDelegate(AnimationDelegate* d) {
  if (auto* b = top()) b->group->delegate = d;
}
void Animations::setDidStop(DidStop fn) {
  if (auto* b = top()) b->group->didStop = std::move(fn);
}
void Animations::setTransition(AnimationTransition kind, View* container, bool) {
  auto* b = top();
  if (!b || !container) return;
  b->transition = kind;
  b->transitionView = container->weak_from_this();
  Compositor compositor;
  b->snapshot = compositor.renderView(*container, Compositor::defaultScale(), true);
}

void Animations::commit() {
  auto& open = Animator::shared().open_;
  if (open.empty()) return;
  std::unique_ptr<Animator::PendingBlock> block = std::move(open.back());
  open.pop_back();
  Animator::shared().commitBlock(std::move(block));
}

bool Animations::inBlock() { return !Animator::shared().open_.empty(); }

void Animations::setEnabled(bool on) { Animator::shared().enabled_ = on; }
bool Animations::enabled() { return Animator::shared().enabled_; }

void Animations::animate(double duration, double delay, Options options, const std::function<void()>& changes,
                         std::function<void(bool)> completion) {
  begin();
  auto* b = top();
  b->group->duration = duration;
  b->group->delay = delay;
  b->group->curve = options.curve;
  b->group->fromCurrent = options.beginFromCurrentState;
  b->group->allowInteraction = options.allowUserInteraction;
  b->group->completion = std::move(completion);
  if (changes) changes();
  commit();
}

void Animations::animate(double duration, const std::function<void()>& changes,
                         std::function<void(bool)> completion) {
  animate(duration, 0, Options{}, changes, std::move(completion));
}

}  // namespace ui
