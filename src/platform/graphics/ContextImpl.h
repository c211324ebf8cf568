#pragma once
// The inside of Context, shared by the drawing and the text code.
#include <cairo.h>

#include <memory>
#include <vector>

#include "platform/graphics/Context.h"

namespace gfx {

// Coverage from clipToMask, one byte per device pixel. It applies to what is
// drawn at the group depth where it was set; groups opened later are covered
// when they are composed back at that depth.
struct MaskLayer {
  int depth = 0;
  std::vector<std::uint8_t> coverage;
};

struct GraphicsState {
  float alpha = 1.0f;
  BlendMode blend = BlendMode::Normal;
  Interpolation interpolation = Interpolation::Bilinear;
  Color fill = Color::black();
  Color stroke = Color::black();
  std::shared_ptr<const MaskLayer> mask;
  bool opensGroup = false;  // this saved entry was pushed by beginGroup
};

struct Context::Impl {
  cairo_surface_t* surface = nullptr;
  cairo_t* cr = nullptr;
  int width = 0, height = 0;
  GraphicsState state;
  std::vector<GraphicsState> saved;
  int groupDepth = 0;

  ~Impl();
  void applyBlend(BlendMode mode);
  void setSource(const Color& c);
  // Runs one drawing operation; under a mask of this depth the pixels it
  // changes are blended back with the old ones by the mask's coverage.
  template <typename Op>
  void draw(Op&& op) {
    const MaskLayer* m = state.mask && state.mask->depth == groupDepth ? state.mask.get() : nullptr;
    if (m == nullptr) {
      op();
      return;
    }
    std::vector<std::uint8_t> before = snapshotTarget();
    op();
    blendBackOutsideMask(before, *m);
  }
  std::vector<std::uint8_t> snapshotTarget();
  void blendBackOutsideMask(const std::vector<std::uint8_t>& before, const MaskLayer& mask);
};

// For the text code: the cairo context and the masked-drawing wrapper.
namespace detail {
struct ContextAccess {
  static Context::Impl* impl(Context& c) { return c.impl_.get(); }
};
}  // namespace detail

// An ARGB32 surface holding the picture's stored pixels (orientation not
// applied); nullptr for an empty picture. The caller destroys it.
cairo_surface_t* surfaceFromImage(const Image& image);
// Replaces cr's current path with the outline.
void appendCairoPath(cairo_t* cr, const Path& path);

// The surface's pixels as a picture; straight alpha unless premultiplied.
Image imageFromSurface(cairo_surface_t* surface, bool premultiplied);

}  // namespace gfx
