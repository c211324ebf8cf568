#include "desk/walk/WalkSheet.h"

#include <algorithm>
#include <cmath>
#include <deque>

namespace desk_walk {

namespace {

float clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

// Distance from p to the segment a-b, and how far along it the nearest point
// lies from the nearer end (negative beyond the ends).
std::pair<float, float> segmentDistance(gfx::Point p, gfx::Point a, gfx::Point b) {
  const float dx = b.x - a.x, dy = b.y - a.y;
  const float len2 = dx * dx + dy * dy;
  const float len = std::sqrt(len2);
  float t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
  const float along = len * t;  // from a
  float fromEnd = std::min(along, len - along);
  t = std::clamp(t, 0.0f, 1.0f);
  const float qx = a.x + dx * t - p.x, qy = a.y + dy * t - p.y;
  return {std::sqrt(qx * qx + qy * qy), fromEnd};
}

float segmentPointDistance(gfx::Point p, gfx::Point a, gfx::Point b) { return segmentDistance(p, a, b).first; }

Range transparent() { return {}; }

Range overRange(const Range& top, const Range& bottom) {
  Range r;
  for (int k = 0; k < 4; ++k) {
    r.lo[k] = clamp01(top.lo[k] + bottom.lo[k] * (1 - top.hi[3]));
    r.hi[k] = clamp01(top.hi[k] + bottom.hi[k] * (1 - top.lo[3]));
  }
  return r;
}

Range opaque(const Rgb& c) { return Range::exactly({c[0], c[1], c[2], 1}); }

}  // namespace

float Range::width() const {
  float w = 0;
  for (int k = 0; k < 4; ++k) w = std::max(w, hi[k] - lo[k]);
  return w;
}

bool Range::admits(const std::array<float, 4>& v, float tolerance) const {
  for (int k = 0; k < 4; ++k)
    if (v[k] < lo[k] - tolerance || v[k] > hi[k] + tolerance) return false;
  return true;
}

Range Range::hull(const Range& a, const Range& b) {
  Range r;
  for (int k = 0; k < 4; ++k) {
    r.lo[k] = std::min(a.lo[k], b.lo[k]);
    r.hi[k] = std::max(a.hi[k], b.hi[k]);
  }
  return r;
}

std::optional<std::pair<float, float>> Profile::at(float d, float alongFromEnd) const {
  const bool nearEnd = alongFromEnd < endReach;
  for (const Band& b : nearEnd ? nearEnds : bands)
    if (d < b.upTo) return std::make_pair(nearEnd ? 0.0f : b.lo, b.hi);
  return std::nullopt;
}

float Profile::reach() const {
  float r = 0;
  for (const auto* list : {&bands, &nearEnds})
    if (!list->empty()) r = std::max(r, list->back().upTo);
  return r;
}

// Measured on the canvas with a few thousand strokes of every direction and
// length at the walk's stroke speed (8 points a move, a move each 1/60 s),
// with a margin, on a 1x screen. The tip grows as the finger slows, so a short stroke (or
// the start of one) is wider than a long one: the low ends of the ranges
// come from long strokes, the high ends from short ones. The default pen
// lays about 0.84 at its centre line and nothing 17 points out; it starts a
// dab's radius before the first point and may fade out up to 24 points
// before the last.
const Profile& penProfile(float scale) {
  static const std::vector<Profile::Band> bands{
      {1, 0.76f, 0.9f},  {2, 0.72f, 0.89f},  {3, 0.66f, 0.88f},  {4, 0.57f, 0.86f},  {5, 0.46f, 0.84f},
      {6, 0.31f, 0.82f}, {7, 0.09f, 0.79f},  {8, 0.0f, 0.75f},   {9, 0.0f, 0.70f},   {10, 0.0f, 0.64f},
      {11, 0.0f, 0.56f}, {12, 0.0f, 0.47f},  {13, 0.0f, 0.40f},  {14, 0.0f, 0.32f},  {15, 0.0f, 0.23f},
      {16, 0.0f, 0.13f}, {17, 0.0f, 0.07f},  {18.5f, 0.0f, 0.03f}};
  // On a 2x screen the same tip, sized in backing pixels, covers half as many points.
  static const std::vector<Profile::Band> bands2{{1, 0.72f, 0.9f},  {2, 0.58f, 0.9f},  {3, 0.35f, 0.89f},
                                                 {4, 0.0f, 0.87f},  {5, 0.0f, 0.82f},  {6, 0.0f, 0.72f},
                                                 {7, 0.0f, 0.58f},  {8, 0.0f, 0.4f},   {9, 0.0f, 0.22f},
                                                 {10, 0.0f, 0.1f},  {11.5f, 0.0f, 0.04f}};
  static const Profile p{bands, bands, 26}, p2{bands2, bands2, 26};
  return scale > 1.5f ? p2 : p;
}

// The eraser at the same speed takes all but 1-5 % within 4 points of its
// centre line (1 point on a 2x screen), and nothing 17 points out (10 on a
// 2x screen, where its width varies the most).
const Profile& eraserProfile(float scale) {
  static const std::vector<Profile::Band> bands{{3, 0.94f, 0.997f}, {4, 0.9f, 0.997f}, {5, 0.88f, 0.997f},
                                                {6, 0.74f, 0.99f},  {7, 0.3f, 0.99f},  {16, 0.0f, 0.99f},
                                                {17.5f, 0.0f, 0.12f}};
  static const std::vector<Profile::Band> bands2{{1, 0.94f, 0.997f}, {2, 0.8f, 0.995f}, {9, 0.0f, 0.99f},
                                                 {10.5f, 0.0f, 0.2f}};
  static const std::vector<Profile::Band> ends2{{9, 0.0f, 0.997f}, {10.5f, 0.0f, 0.2f}};
  static const Profile p{bands, bands, 26}, p2{bands2, ends2, 26};
  return scale > 1.5f ? p2 : p;
}

// --- regions

Region Region::ofRect(gfx::Rect r, float margin) {
  Region g;
  g.rect = r;
  g.edgeMargin = margin;
  return g;
}

Region Region::ofPolygon(std::vector<gfx::Point> points, float margin) {
  Region g;
  g.polygon = std::move(points);
  g.edgeMargin = margin;
  return g;
}

bool Region::inside(gfx::Point p) const {
  if (rect) return p.x >= rect->x && p.x < rect->x + rect->width && p.y >= rect->y && p.y < rect->y + rect->height;
  bool in = false;
  const std::size_t n = polygon.size();
  for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
    const gfx::Point a = polygon[i], b = polygon[j];
    if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) in = !in;
  }
  return in;
}

float Region::edgeDistance(gfx::Point p) const {
  if (rect) {
    const gfx::Rect r = *rect;
    const gfx::Point c[4] = {{r.x, r.y}, {r.x + r.width, r.y}, {r.x + r.width, r.y + r.height}, {r.x, r.y + r.height}};
    float d = 1e9f;
    for (int i = 0; i < 4; ++i) d = std::min(d, segmentPointDistance(p, c[i], c[(i + 1) % 4]));
    return d;
  }
  float d = 1e9f;
  const std::size_t n = polygon.size();
  for (std::size_t i = 0, j = n - 1; i < n; j = i++) d = std::min(d, segmentPointDistance(p, polygon[j], polygon[i]));
  return d;
}

Region::Side Region::side(gfx::Point p) const {
  if (edgeDistance(p) <= edgeMargin) return Side::Edge;
  return inside(p) ? Side::In : Side::Out;
}

// --- the sheet

Sheet::Sheet() : cells_(static_cast<std::size_t>(kCols * kRows), transparent()) {}

template <class F>
void Sheet::forCellsNear(gfx::Point from, gfx::Point to, float reach, F&& f) {
  const int c0 = std::max(0, static_cast<int>(std::floor((std::min(from.x, to.x) - reach) / kCell)));
  const int c1 = std::min(kCols - 1, static_cast<int>(std::floor((std::max(from.x, to.x) + reach) / kCell)));
  const int r0 = std::max(0, static_cast<int>(std::floor((std::min(from.y, to.y) - reach) / kCell)));
  const int r1 = std::min(kRows - 1, static_cast<int>(std::floor((std::max(from.y, to.y) + reach) / kCell)));
  for (int r = r0; r <= r1; ++r)
    for (int c = c0; c <= c1; ++c) {
      const auto [d, along] = segmentDistance(centre(c, r), from, to);
      f(at(c, r), d, along);
    }
}

void Sheet::paint(gfx::Point from, gfx::Point to, const Rgb& colour, const Profile& profile) {
  forCellsNear(from, to, profile.reach(), [&](Range& cell, float d, float along) {
    const auto cover = profile.at(d, along);
    if (!cover) return;
    const float alphas[2] = {cover->first, cover->second};
    Range out;
    for (int k = 0; k < 4; ++k) {
      const float c = k < 3 ? colour[static_cast<std::size_t>(k)] : 1.0f;
      float lo = 1, hi = 0;
      for (float a : alphas) {
        lo = std::min(lo, c * a + cell.lo[k] * (1 - a));
        hi = std::max(hi, c * a + cell.hi[k] * (1 - a));
      }
      out.lo[k] = clamp01(lo);
      out.hi[k] = clamp01(hi);
    }
    cell = out;
  });
}

void Sheet::erase(gfx::Point from, gfx::Point to, const Profile& profile) {
  forCellsNear(from, to, profile.reach(), [&](Range& cell, float d, float along) {
    const auto cover = profile.at(d, along);
    if (!cover) return;
    for (int k = 0; k < 4; ++k) {
      cell.lo[k] = clamp01(cell.lo[k] * (1 - cover->second));
      cell.hi[k] = clamp01(cell.hi[k] * (1 - cover->first));
    }
  });
}

void Sheet::clear(const Region& region) {
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c) {
      switch (region.side(centre(c, r))) {
        case Region::Side::In: at(c, r) = transparent(); break;
        case Region::Side::Edge: at(c, r) = Range::hull(at(c, r), transparent()); break;
        case Region::Side::Out: break;
      }
    }
}

void Sheet::clearAll() { std::fill(cells_.begin(), cells_.end(), transparent()); }

Sheet Sheet::cutOut(const Region& region) const {
  Sheet out;
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c) {
      switch (region.side(centre(c, r))) {
        case Region::Side::In: out.at(c, r) = at(c, r); break;
        case Region::Side::Edge: out.at(c, r) = Range::hull(at(c, r), transparent()); break;
        case Region::Side::Out: break;
      }
    }
  return out;
}

void Sheet::stamp(const Sheet& held, int dx, int dy, const Region& window) {
  const int dc = dx / kCell, dr = dy / kCell;
  auto source = [&](int c, int r) {
    const int sc = c - dc, sr = r - dr;
    Range s = transparent();
    bool first = true;
    // The cell and its four neighbours: the stamp may land a pixel off.
    for (auto [oc, orow] : {std::pair{0, 0}, {1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
      const int cc = sc + oc, rr = sr + orow;
      const Range v = cc >= 0 && cc < kCols && rr >= 0 && rr < kRows ? held.at(cc, rr) : transparent();
      s = first ? v : Range::hull(s, v);
      first = false;
    }
    return s;
  };
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c) {
      const Region::Side side = window.side(centre(c, r));
      if (side == Region::Side::Out) continue;
      const Range stamped = overRange(source(c, r), at(c, r));
      at(c, r) = side == Region::Side::In ? stamped : Range::hull(stamped, at(c, r));
    }
}

void Sheet::underlay(const Sheet& before, const Region& region) {
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c) {
      const Region::Side side = region.side(centre(c, r));
      if (side == Region::Side::Out) continue;
      const Range back = overRange(at(c, r), before.at(c, r));
      at(c, r) = side == Region::Side::In ? back : Range::hull(back, at(c, r));
    }
}

bool Sheet::blocksFill(const Range& r) { return r.lo[3] > 13.0f / 255; }
bool Sheet::surelyEmpty(const Range& r) { return r.hi[3] <= 8.0f / 255; }

void Sheet::fill(gfx::Point seed, const Rgb& colour) {
  const int sc = std::clamp(static_cast<int>(seed.x / kCell), 0, kCols - 1);
  const int sr = std::clamp(static_cast<int>(seed.y / kCell), 0, kRows - 1);
  auto flood = [&](auto passable) {
    std::vector<char> in(cells_.size(), 0);
    if (!passable(at(sc, sr))) return in;
    std::deque<std::pair<int, int>> todo{{sc, sr}};
    in[static_cast<std::size_t>(sr * kCols + sc)] = 1;
    while (!todo.empty()) {
      auto [c, r] = todo.front();
      todo.pop_front();
      for (auto [oc, orow] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
        const int cc = c + oc, rr = r + orow;
        if (cc < 0 || cc >= kCols || rr < 0 || rr >= kRows) continue;
        const std::size_t i = static_cast<std::size_t>(rr * kCols + cc);
        if (in[i] || !passable(at(cc, rr))) continue;
        in[i] = 1;
        todo.push_back({cc, rr});
      }
    }
    return in;
  };
  const std::vector<char> may = flood([](const Range& r) { return !blocksFill(r); });
  const std::vector<char> sure = flood([](const Range& r) { return surelyEmpty(r); });
  const Range painted = opaque(colour);
  std::vector<Range> next = cells_;
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c) {
      const std::size_t i = static_cast<std::size_t>(r * kCols + c);
      if (sure[i]) {
        next[i] = painted;
        continue;
      }
      // Cells the fill may reach, and the rim it paints around its region.
      bool near = may[i];
      for (int orow = -1; orow <= 1 && !near; ++orow)
        for (int oc = -1; oc <= 1 && !near; ++oc) {
          const int cc = c + oc, rr = r + orow;
          if (cc >= 0 && cc < kCols && rr >= 0 && rr < kRows && may[static_cast<std::size_t>(rr * kCols + cc)])
            near = true;
        }
      if (near) next[i] = Range::hull(cells_[i], painted);
    }
  cells_ = std::move(next);
}

Sheet Sheet::over(const Sheet& top, const Sheet& bottom) {
  Sheet out;
  for (std::size_t i = 0; i < out.cells_.size(); ++i) out.cells_[i] = overRange(top.cells_[i], bottom.cells_[i]);
  return out;
}

Sheet Sheet::hull(const Sheet& a, const Sheet& b) {
  Sheet out;
  for (std::size_t i = 0; i < out.cells_.size(); ++i) out.cells_[i] = Range::hull(a.cells_[i], b.cells_[i]);
  return out;
}

Sheet Sheet::fromImage(const gfx::Image& image) {
  Sheet out;
  if (image.empty()) return out;
  const float s = static_cast<float>(image.pixelWidth()) / kPageWidth;
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c) {
      const gfx::Point p = centre(c, r);
      Range v;
      bool first = true;
      for (int oy = -1; oy <= 1; ++oy)
        for (int ox = -1; ox <= 1; ++ox) {
          const std::array<float, 4> px = pixelAt(image, p.x + ox / s, p.y + oy / s);
          const Range one = Range::exactly(px);
          v = first ? one : Range::hull(v, one);
          first = false;
        }
      out.at(c, r) = v;
    }
  return out;
}

int Sheet::knownCells(float width) const {
  return static_cast<int>(std::count_if(cells_.begin(), cells_.end(), [&](const Range& r) { return r.width() <= width; }));
}

void Sheet::write(std::string& out) const {
  out.reserve(out.size() + cells_.size() * 8);
  for (const Range& r : cells_) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<char>(std::clamp(std::floor(r.lo[k] * 255), 0.0f, 255.0f)));
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<char>(std::clamp(std::ceil(r.hi[k] * 255), 0.0f, 255.0f)));
  }
}

bool Sheet::read(const std::string& in, std::size_t& at) {
  if (in.size() - at < cells_.size() * 8) return false;
  for (Range& r : cells_) {
    for (int k = 0; k < 4; ++k) r.lo[k] = static_cast<unsigned char>(in[at++]) / 255.0f;
    for (int k = 0; k < 4; ++k) r.hi[k] = static_cast<unsigned char>(in[at++]) / 255.0f;
  }
  return true;
}

std::array<float, 4> pixelAt(const gfx::Image& image, float x, float y) {
  const float s = static_cast<float>(image.pixelWidth()) / kPageWidth;
  const int px = std::clamp(static_cast<int>(x * s), 0, image.pixelWidth() - 1);
  const int py = std::clamp(static_cast<int>(y * s), 0, image.pixelHeight() - 1);
  const std::uint8_t* p = image.pixel(px, py);
  std::array<float, 4> v{p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f, p[3] / 255.0f};
  if (!image.premultiplied())
    for (int k = 0; k < 3; ++k) v[static_cast<std::size_t>(k)] *= v[3];
  return v;
}

}  // namespace desk_walk
