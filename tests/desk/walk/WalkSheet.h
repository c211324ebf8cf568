#pragma once
// A page picture as the desk walk knows it: the page in cells of 4 x 4
// points, each holding the range its premultiplied RGBA value (0..1) must lie
// in at the cell's centre. Strokes, erasures, cuts, stamps and fills change
// the cells as the canvas changes its pixels, widening a cell's range where
// the canvas's soft edges make its value uncertain, so that any picture of
// the page (the canvas, a layer file, a snapshot, the screen) can be checked
// against the cells it should show.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"

namespace desk_walk {

constexpr float kPageWidth = 384, kPageHeight = 288;
constexpr int kCell = 4;
constexpr int kCols = 96, kRows = 72;

// A premultiplied colour known to lie between lo and hi in every channel.
struct Range {
  std::array<float, 4> lo{}, hi{};
  static Range exactly(const std::array<float, 4>& v) { return {v, v}; }
  // The widest channel: 0 for a value known exactly, 1 for one not known at all.
  float width() const;
  bool admits(const std::array<float, 4>& v, float tolerance) const;
  static Range hull(const Range& a, const Range& b);
  bool operator==(const Range&) const = default;
};

// A straight colour of the palette, the opacity a full stroke of it reaches
// being part of the stroke profile.
using Rgb = std::array<float, 3>;

// How far a stroke reaches: the range of the stroke's coverage (0..1, the
// alpha it lays over what was there) by distance from its centre line. Near
// its ends a stroke is uncertain whatever the distance.
struct Profile {
  struct Band {
    float upTo;  // points from the centre line
    float lo, hi;
  };
  std::vector<Band> bands;     // increasing distances; beyond the last, nothing
  std::vector<Band> nearEnds;  // the same within endReach of either end, where coverage may start at 0
  float endReach;
  // The coverage range at distance d, `alongFromEnd` points from the nearer
  // end inside the segment (negative beyond it); nullopt where the stroke
  // lays nothing.
  std::optional<std::pair<float, float>> at(float d, float alongFromEnd) const;
  float reach() const;
};
// The default pen and the eraser at the walk's stroke speed, on a screen of
// that scale.
const Profile& penProfile(float scale);
const Profile& eraserProfile(float scale);

// A closed region of the page: a rectangle or a polygon, with the points
// whose cells are uncertain because the region's edge passes near them.
struct Region {
  std::optional<gfx::Rect> rect;
  std::vector<gfx::Point> polygon;
  float edgeMargin = 2.5f;
  bool inside(gfx::Point p) const;
  // The distance from p to the region's edge.
  float edgeDistance(gfx::Point p) const;
  // Inside, outside, or too near the edge to tell.
  enum class Side { In, Out, Edge };
  Side side(gfx::Point p) const;
  static Region ofRect(gfx::Rect r, float margin = 2.5f);
  static Region ofPolygon(std::vector<gfx::Point> points, float margin = 3.0f);
};

class Sheet {
 public:
  // Transparent everywhere, known exactly.
  Sheet();
  // The centre of the pixel sampled for the cell (the cell's middle pixel at scale 1).
  static gfx::Point centre(int col, int row) { return {col * kCell + 2.5f, row * kCell + 2.5f}; }
  const Range& at(int col, int row) const { return cells_[static_cast<std::size_t>(row * kCols + col)]; }
  Range& at(int col, int row) { return cells_[static_cast<std::size_t>(row * kCols + col)]; }
  bool operator==(const Sheet&) const = default;

  // A stroke of the colour from one page point to another.
  void paint(gfx::Point from, gfx::Point to, const Rgb& colour, const Profile& profile);
  // An eraser stroke: what is there keeps the remaining fraction of itself.
  void erase(gfx::Point from, gfx::Point to, const Profile& profile);
  // Transparency over the region.
  void clear(const Region& region);
  // Everything transparent.
  void clearAll();
  // The cells inside the region, transparent outside it.
  Sheet cutOut(const Region& region) const;
  // `held` (a picture of the page's size, moved by (dx, dy) points) laid over
  // this picture inside `window` (the place it lands, in this picture's
  // points). Stamping resamples by up to a pixel, so each cell may take its
  // neighbours' values.
  void stamp(const Sheet& held, int dx, int dy, const Region& window);
  // What the region held in `before` returns under this picture.
  void underlay(const Sheet& before, const Region& region);
  // The flood fill from a page point in an opaque colour: every cell the
  // fill surely reaches takes the colour, every cell it may reach may.
  void fill(gfx::Point seed, const Rgb& colour);
  // How the fill sees a cell: surely too opaque to cross (its tolerance is
  // 10 of 255 in alpha), or surely clear enough to be filled.
  static bool blocksFill(const Range& r);
  static bool surelyEmpty(const Range& r);

  static Sheet over(const Sheet& top, const Sheet& bottom);
  // The uncertainty of both: each cell may be either.
  static Sheet hull(const Sheet& a, const Sheet& b);
  // The picture read from an image of the page at any scale (premultiplied or
  // not): each cell the hull of the pixels around its centre.
  static Sheet fromImage(const gfx::Image& image);

  // Cells whose value is known within `width`.
  int knownCells(float width) const;
  // Serialisation as bytes (lo and hi rounded outwards to 1/255).
  void write(std::string& out) const;
  bool read(const std::string& in, std::size_t& at);

 private:
  template <class F>
  void forCellsNear(gfx::Point from, gfx::Point to, float reach, F&& f);
  std::vector<Range> cells_;
};

// A premultiplied pixel of an image at a page point (x, y), 0..1; images
// that hold straight alpha are premultiplied on the way.
std::array<float, 4> pixelAt(const gfx::Image& image, float x, float y);

}  // namespace desk_walk
