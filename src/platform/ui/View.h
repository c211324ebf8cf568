#pragma once
// The toolkit's view: a rectangle in its superview with bounds, centre and an
// affine transform (a turned view's frame is its bounding box), alpha, hidden,
// clipping, a tag, touches, layout, custom drawing and animatable geometry.
// Views are shared objects: create them with std::make_shared; the view tree
// keeps what is added to it.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/Context.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Responder.h"

namespace ui {

class ViewController;
class Window;
class Compositor;
struct ViewAnimationState;

class View : public Responder, public std::enable_shared_from_this<View> {
 public:
  explicit View(const Rect& frame = {});
  ~View() override;
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  // --- geometry (model values: what the program set, animated or not)
  Rect frame() const;
  // With a transform other than identity the frame's size scales the bounds
  // by the same ratio; the centre moves to the frame's middle.
  void setFrame(const Rect& frame);
  Rect bounds() const { return bounds_; }
  void setBounds(const Rect& bounds);
  Point center() const { return center_; }
  void setCenter(Point center);
  AffineTransform transform() const { return transform_; }
  void setTransform(const AffineTransform& t);
  float alpha() const { return alpha_; }
  void setAlpha(float alpha);
  bool isHidden() const { return hidden_; }
  void setHidden(bool hidden);
  Color backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(const Color& c);
  bool clipsToBounds() const { return clipsToBounds_; }
  void setClipsToBounds(bool clips);
  bool isOpaque() const { return opaque_; }
  void setOpaque(bool o) { opaque_ = o; }
  ContentMode contentMode() const { return contentMode_; }
  void setContentMode(ContentMode m);

  // What the screen shows now: the model values, or mid-animation values.
  struct Geometry {
    Rect bounds;
    Point center;
    AffineTransform transform;
    float alpha = 1;
    Color backgroundColor;
  };
  Geometry presentation() const;
  Rect presentationFrame() const;

  int tag() const { return tag_; }
  void setTag(int tag) { tag_ = tag; }
  // Depth first, this view included; nullptr when none has the tag.
  View* viewWithTag(int tag);

  bool isUserInteractionEnabled() const { return userInteraction_; }
  void setUserInteractionEnabled(bool on) { userInteraction_ = on; }
  bool isMultipleTouchEnabled() const { return multipleTouch_; }
  void setMultipleTouchEnabled(bool on) { multipleTouch_ = on; }
  bool isExclusiveTouch() const { return exclusiveTouch_; }
  void setExclusiveTouch(bool on) { exclusiveTouch_ = on; }

  unsigned autoresizingMask() const { return autoresizingMask_; }
  void setAutoresizingMask(unsigned mask) { autoresizingMask_ = mask; }
  bool autoresizesSubviews() const { return autoresizesSubviews_; }
  void setAutoresizesSubviews(bool on) { autoresizesSubviews_ = on; }

  // --- the tree
  View* superview() const { return superview_; }
  const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
  Window* window() const;
  std::shared_ptr<View> self() { return shared_from_this(); }

  void addSubview(std::shared_ptr<View> view);  // to the front; moves it if already a subview
  void insertSubview(std::shared_ptr<View> view, std::size_t index);
  void insertSubviewAbove(std::shared_ptr<View> view, const View* sibling);
  void insertSubviewBelow(std::shared_ptr<View> view, const View* sibling);
  void removeFromSuperview();
  void bringSubviewToFront(const View* view);
  void sendSubviewToBack(const View* view);
  void exchangeSubviews(std::size_t i, std::size_t j);
  bool isDescendantOf(const View* view) const;  // true for the view itself

  virtual void willMoveToSuperview(View*) {}
  virtual void didMoveToSuperview() {}
  virtual void didMoveToWindow() {}
  virtual void didAddSubview(View*) {}
  virtual void willRemoveSubview(View*) {}

  // --- layout: layoutSubviews runs at the next layout pass after
  // setNeedsLayout or a change of the bounds' size.
  void setNeedsLayout();
  bool needsLayout() const { return needsLayout_; }
  void layoutIfNeeded();  // this view and its subtree
  virtual void layoutSubviews() {}
  // The size that suits the content; plain views keep their own.
  virtual Size sizeThatFits(Size) const { return {bounds_.width, bounds_.height}; }
  void sizeToFit();

  // --- coordinates. nullptr names the window (screen points).
  Point convertPointTo(Point p, const View* to) const;
  Point convertPointFrom(Point p, const View* from) const;
  Rect convertRectTo(const Rect& r, const View* to) const;  // bounding box when turned
  Rect convertRectFrom(const Rect& r, const View* from) const;
  // Maps this view's bounds coordinates to window coordinates (model values).
  AffineTransform transformToWindow() const;
  // Maps this view's bounds coordinates to its superview's bounds coordinates.
  AffineTransform transformToSuperview(bool presentationValues = false) const;
  // The same for given geometry values.
  static AffineTransform transformToSuperview(const Geometry& g);

  // --- hit testing: hidden views, views with alpha below 0.01 and views with
  // interaction off take no touches, nor do their subviews. Each view stands
  // where it is drawn at this moment (mid-animation values).
  virtual View* hitTest(Point p, const Event* event);
  virtual bool pointInside(Point p, const Event* event) const;
  // The same with each view where its running animations will leave it (the
  // model values).
  View* hitTestAtFinalPlaces(Point p);

  // --- drawing. A view that draws (drawsContent true) gets drawRect with a
  // context the size of its bounds in points; the picture is kept until
  // setNeedsDisplay.
  void setNeedsDisplay();
  virtual bool drawsContent() const { return false; }
  virtual void drawRect(gfx::Context& ctx, const Rect& rect);
  // The subtree drawn into a picture of the bounds' size (model values), at
  // the given scale (0: the main screen's).
  gfx::Image renderToImage(float scale = 0) const;
  // Unique to this view for the program's life (an address may be reused).
  std::uint64_t viewId() const { return id_; }
  // Moves on whenever what the view draws itself (its drawRect picture, its
  // image, its GL picture) changes.
  std::uint64_t contentVersion() const { return contentVersion_; }

  // --- responder chain: a controller's root view answers its controller,
  // other views their superview.
  Responder* nextResponder() const override;
  ViewController* viewController() const { return controller_; }

  // --- animations (the phone's class methods): see Animation.h.

 protected:
  // The compositor asks each view to draw what it shows besides its
  // background and subviews: the cached drawRect picture by default; image
  // views and GL views draw their own.
  friend class Compositor;
  virtual void drawLayerContent(Compositor& compositor, const Geometry& g);
  // Where the view's own drawing (background and content) may fall, in its
  // bounds coordinates: the bounds unless content reaches beyond them.
  virtual Rect drawnExtent(const Geometry& g) const { return g.bounds; }
  // The view's own drawing changed: the screen composes it again.
  void contentChanged();
  // The part of the content that changed since it was at the given version,
  // in bounds coordinates; nullopt when it may be all of it.
  virtual std::optional<Rect> contentDamageSince(std::uint64_t /*version*/) const { return std::nullopt; }
  // Bounds size changed: autoresize subviews and mark layout.
  virtual void boundsSizeChanged(Size oldSize);

 private:
  friend class ViewController;
  friend class Animator;
  friend struct ViewAnimationState;
  void setSuperview(View* sv);
  void notifyWindowChange();
  void autoresizeSubviews(Size oldSize);
  void resizeWithOldSuperviewSize(Size oldSize, Size newSize);
  std::size_t indexOf(const View* v) const;
  // The hit test walk: `drawn` places views where the screen shows them.
  View* hitTestPlaced(Point p, const Event* event, bool drawn);

  Rect bounds_;
  Point center_;
  AffineTransform transform_;
  float alpha_ = 1;
  bool hidden_ = false;
  Color backgroundColor_;
  bool clipsToBounds_ = false;
  bool opaque_ = false;
  ContentMode contentMode_ = ContentMode::ScaleToFill;
  int tag_ = 0;
  bool userInteraction_ = true;
  bool multipleTouch_ = false;
  bool exclusiveTouch_ = false;
  unsigned autoresizingMask_ = AutoresizingNone;
  bool autoresizesSubviews_ = true;
  bool needsLayout_ = true;

  View* superview_ = nullptr;
  std::vector<std::shared_ptr<View>> subviews_;
  ViewController* controller_ = nullptr;

  // The drawRect picture kept between frames, at the scale it was drawn.
  std::shared_ptr<const gfx::Image> content_;
  bool needsDisplay_ = true;
  const std::uint64_t id_;
  std::uint64_t contentVersion_ = 0;
  std::unique_ptr<ViewAnimationState> animation_;
};

}  // namespace ui
