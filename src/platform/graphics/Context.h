#pragma once
// An RGBA bitmap drawing context (the phone's bitmap and image contexts), drawn
// with cairo: user space in points, a current transform, clipping to rects,
// paths and image masks, blends, global alpha and transparency groups.
#include <memory>
#include <vector>

#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/Path.h"

namespace gfx {

// Where user-space y = 0 lies. TopLeft: the image context of the UI (y grows
// downwards). BottomLeft: a plain bitmap context of the phone, y grows upwards.
enum class Origin { TopLeft, BottomLeft };

enum class BlendMode {
  Normal,    // source over
  Copy,      // the drawn shape replaces what is under it
  Multiply,
  Clear,     // the drawn shape becomes transparent
};

// Bilinear also averages over the covered pixels when a picture is shrunk by
// more than a little; Nearest gives pixel-exact copies at 1:1.
enum class Interpolation { Bilinear, Nearest };
enum class LineCap { Butt, Round, Square };
enum class LineJoin { Miter, Round, Bevel };

namespace detail { struct ContextAccess; }

class Context {
 public:
  // A transparent bitmap of the given pixel size. User space is in points:
  // one point is `scale` pixels. A size that cannot be allocated (<= 0 or too
  // large) gives a context whose valid() is false; drawing on it does nothing.
  Context(int pixelWidth, int pixelHeight, float scale = 1.0f, Origin origin = Origin::TopLeft);
  // A context whose first content is the picture's stored pixels, at its scale.
  static Context withImage(const Image& image, Origin origin = Origin::TopLeft);
  ~Context();
  Context(Context&&) noexcept;
  Context& operator=(Context&&) noexcept;
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  bool valid() const;
  int pixelWidth() const { return width_; }
  int pixelHeight() const { return height_; }
  float scale() const { return scale_; }
  Origin origin() const { return origin_; }
  Size size() const { return {width_ / scale_, height_ / scale_}; }  // in points

  // The pixels as a picture of this context's scale, orientation Up. Straight
  // alpha unless premultiplied is asked for (then the flag is set).
  Image makeImage(bool premultiplied = false) const;

  // --- graphics state; save/restore keeps transform, clip, masks, colours,
  // alpha, blend, line settings and interpolation together.
  void save();
  void restore();  // an unmatched restore does nothing

  // The current transform maps user space to device pixels (with y = 0 at the
  // top row), so it includes the scale and, for BottomLeft, the flip.
  AffineTransform ctm() const;
  void concat(const AffineTransform& t);  // t is applied first, then the old CTM
  void translate(float x, float y);
  void scaleBy(float sx, float sy);
  void rotate(float radians);

  void setAlpha(float alpha);  // multiplies every drawing op (0..1)
  float alpha() const;
  void setBlendMode(BlendMode mode);
  void setInterpolation(Interpolation interpolation);
  void setAntialias(bool on);
  void setFillColor(const Color& c);
  void setStrokeColor(const Color& c);
  void setLineWidth(float width);
  void setLineCap(LineCap cap);
  void setLineJoin(LineJoin join);
  // Dash lengths in user units, starting `phase` units into the pattern; an
  // empty list (or all zeros) strokes solid lines.
  void setLineDash(float phase, const std::vector<float>& lengths);

  // --- clipping: each call narrows the current clip until restore.
  void clipToRect(const Rect& r);
  void clipToPath(const Path& p, FillRule rule = FillRule::Winding);
  // The mask's alpha (premultiplied or not), scaled into r with the picture's
  // top row at r's maximum y as the phone's bitmap contexts place it, becomes
  // the coverage of everything drawn until restore. Outside r nothing shows.
  void clipToMask(const Rect& r, const Image& mask);
  // The clip's bounding box in user space.
  Rect clipBounds() const;

  // --- drawing with the current colours, alpha and blend.
  void clear();                // the whole bitmap to transparent, ignoring clips
  void clearRect(const Rect& r);  // transparent inside r (within the clip)
  void fillRect(const Rect& r);
  void fillPath(const Path& p, FillRule rule = FillRule::Winding);
  void strokeRect(const Rect& r);
  void strokePath(const Path& p);
  // An open (or closed) line through the points; fewer than two draw nothing.
  void strokePolyline(const std::vector<Point>& points, bool closed = false);
  void fillPolygon(const std::vector<Point>& points, FillRule rule = FillRule::Winding);

  // The picture (its orientation applied) scaled into r with its top row at r's
  // minimum y: upright in a TopLeft context, as the UI draws pictures.
  void drawImage(const Image& image, const Rect& r);
  // The stored pixels (orientation ignored) with the top row at r's maximum y:
  // upright in a BottomLeft context, as the phone's bitmap contexts draw.
  void drawImageYUp(const Image& image, const Rect& r);

  // Transparency groups: what is drawn between begin and end is composed on
  // its own, then laid over the bitmap with the alpha and blend in force at
  // beginGroup times groupAlpha (views with an alpha of their own). Groups nest;
  // endGroup also brings back the whole graphics state of beginGroup.
  void beginGroup();
  void endGroup(float groupAlpha = 1.0f);

 private:
  friend struct detail::ContextAccess;
  struct Impl;
  void drawImageMapped(const Image& image, const Rect& r, bool topAtMinY);
  std::unique_ptr<Impl> impl_;
  int width_ = 0, height_ = 0;
  float scale_ = 1.0f;
  Origin origin_ = Origin::TopLeft;
};

}  // namespace gfx
