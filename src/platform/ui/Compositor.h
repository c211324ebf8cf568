#pragma once
// Draws view trees with cairo into one RGBA frame: transforms, alpha groups,
// clipping, backgrounds, pictures (stretchable too), cached drawRect pictures,
// GL layers' presented pixels and running transitions. Converted pictures are
// kept while their images live.
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "platform/graphics/Image.h"
#include "platform/ui/Picture.h"
#include "platform/ui/View.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace ui {

class Window;

class Compositor {
 public:
  Compositor();
  ~Compositor();
  Compositor(const Compositor&) = delete;
  Compositor& operator=(const Compositor&) = delete;

  static float defaultScale();

  // The windows, back to front, over black, into a frame of the given size in
  // points times scale (presentation values). The frame stays valid until the
  // next call: native-endian premultiplied ARGB words, `frameStride` bytes a row.
  void composeScreen(const std::vector<Window*>& windows, Size points, float scale);
  const std::uint32_t* framePixels() const;
  int frameStride() const;
  int frameWidth() const { return frameW_; }
  int frameHeight() const { return frameH_; }
  // The last frame as a picture (straight alpha, the frame's scale).
  gfx::Image frameImage() const;

  // One subtree, its bounds drawn at the origin, ignoring the view's own
  // transform and position (model values unless presentation is asked for).
  gfx::Image renderView(const View& view, float scale, bool presentation = false);

  // --- for views drawing their own content (in the view's bounds coordinates)
  void drawPicture(const Picture& picture, const Rect& dst);
  // A premultiplied or straight image, scaled into dst.
  void drawImage(const std::shared_ptr<const gfx::Image>& image, const Rect& dst);
  void fillRect(const Rect& r, const Color& c);
  void drawViewContent(View& view, const View::Geometry& g);
  float scale() const { return scale_; }
  bool presentationValues() const { return presentation_; }

 private:
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
};

}  // namespace ui
