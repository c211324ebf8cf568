#pragma once
// Draws view trees with cairo into one RGBA frame: transforms, alpha groups,
// clipping, backgrounds, pictures (stretchable too), cached drawRect pictures,
// GL layers' presented pixels and running transitions. Converted pictures are
// kept while their images live.
//
// The screen's frame is kept between composes and only what changed is drawn
// again: each compose lists what every visible view draws (where on the
// frame, under which transform, alpha and clip, with which content) and
// redraws the parts where that list differs from the last compose's; with no
// change noted on the screen (Screen::noteChange) nothing is walked at all.
#include <cstdint>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/graphics/Image.h"
#include "platform/ui/Picture.h"
#include "platform/ui/View.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace ui {

class Window;

// A rectangle of frame pixels, origin top left.
struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const PixelRect&) const = default;
};

class Compositor {
 public:
  Compositor();
  ~Compositor();
  Compositor(const Compositor&) = delete;
  Compositor& operator=(const Compositor&) = delete;

  static float defaultScale();

  // The windows, back to front, over black, into a frame of the given size in
  // points times scale (presentation values). The frame stays valid until the
  // next call: native-endian premultiplied ARGB words, `frameStride` bytes a
  // row. True when the frame changed; `changedRects` then says where. Views
  // drawing themselves may change the tree: every view listed is held, and
  // drawn among the subviews it had when listed, until the pass ends.
  bool composeScreen(const std::vector<std::shared_ptr<Window>>& windows, Size points, float scale);
  const std::uint32_t* framePixels() const;
  int frameStride() const;
  int frameWidth() const { return frameW_; }
  int frameHeight() const { return frameH_; }
  const std::vector<PixelRect>& changedRects() const { return changed_; }
  // The last frame as a picture (straight alpha, the frame's scale).
  gfx::Image frameImage() const;

  // Off: every compose draws the whole frame again and GL views read their
  // whole pictures, as a compositor without memory would (for comparison).
  void setIncremental(bool on) { incremental_ = on; }
  bool incremental() const { return incremental_; }

  // One subtree, its bounds drawn at the origin, ignoring the view's own
  // transform and position (model values unless presentation is asked for).
  gfx::Image renderView(const View& view, float scale, bool presentation = false);

  // --- for views drawing their own content (in the view's bounds coordinates)
  void drawPicture(const Picture& picture, const Rect& dst);
  // A premultiplied or straight image, scaled into dst.
  void drawImage(const std::shared_ptr<const gfx::Image>& image, const Rect& dst);
  // Pixels already in the frame's format (premultiplied ARGB words, rows
  // top-down, tightly packed), scaled into dst.
  void drawPixels(const std::uint32_t* argb, int width, int height, const Rect& dst);
  void fillRect(const Rect& r, const Color& c);
  void drawViewContent(View& view, const View::Geometry& g);
  float scale() const { return scale_; }
  bool presentationValues() const { return presentation_; }

 private:
  // Frame pixels a view's drawing may touch, as [x0, x1) x [y0, y1).
  struct Box {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return x1 <= x0 || y1 <= y0; }
    bool intersects(const Box& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
    Box intersection(const Box& o) const;
    Box unionWith(const Box& o) const;
    long area() const { return empty() ? 0 : long(x1 - x0) * long(y1 - y0); }
    bool operator==(const Box&) const = default;
  };
  // What one view draws itself, as the frame shows it.
  struct Item {
    std::uint64_t viewId = 0;
    View* view = nullptr;
    Box box;
    AffineTransform toFrame;
    Rect bounds;
    Box clip;
    float alpha = 1;  // with the enclosing groups'
    Color background;
    std::uint64_t content = 0;
    float transition = -1;
    bool sameLookAs(const Item& o) const;
  };

  // Lists what v and its subviews draw; returns the frame pixels they may touch.
  Box listItems(View& v, const AffineTransform& parent, const Box& clip, float alpha, std::vector<Item>& items);
  // Where the new list differs from the last: empty when nothing changed.
  std::vector<Box> findDamage(std::vector<Item>& items);
  void addDamage(std::vector<Box>& damage, Box box) const;
  static std::vector<std::size_t> movedInOrder(const std::vector<std::size_t>& order);
  Box frameBox() const { return {0, 0, frameW_, frameH_}; }
  Box pixelBox(const AffineTransform& t, const Rect& r, int margin) const;

  void drawView(const View& v, bool isRoot);
  void drawTransitionOverlay(const View& v, const View::Geometry& g);
  cairo_surface_t* surfaceFor(const std::shared_ptr<const gfx::Image>& image);
  void pruneCache();
  void drawSurface(cairo_surface_t* s, int pw, int ph, const Rect& src, const Rect& dst);

  struct Cached {
    std::weak_ptr<const gfx::Image> image;
    cairo_surface_t* surface = nullptr;
  };
  std::map<const gfx::Image*, Cached> cache_;
  cairo_surface_t* frame_ = nullptr;
  int frameW_ = 0, frameH_ = 0;
  float frameScale_ = 1;
  cairo_t* cr_ = nullptr;
  float scale_ = 1;
  bool presentation_ = true;
  bool incremental_ = true;

  // The last compose's list, the change count it saw and its windows.
  std::vector<Item> items_;
  std::uint64_t composedChanges_ = 0;
  std::vector<std::uint64_t> composedWindows_;
  std::vector<PixelRect> changed_;
  // While composing the screen: each listed view's presentation values as
  // the list saw them (drawn with exactly those), where its own drawing and
  // its subtree fall, and the damage (views wholly outside it are skipped).
  struct Placed {
    View::Geometry g;
    AffineTransform toSuperview;
    Box own, subtree;
    // The view's subviews as listed: a run of passViews_.
    std::size_t firstChild = 0, children = 0;
  };
  std::vector<std::shared_ptr<View>> passViews_;
  std::unordered_map<const View*, Placed> placed_;
  bool usePlaced_ = false;
  const std::vector<Box>* damage_ = nullptr;
  bool touchesDamage(const Box& b) const;
};

}  // namespace ui
