#include "canvas/DabShaper.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "canvas/DabRandom.h"

float DabDirectionAngle(float x0, float y0, float x1, float y1) {
  const float dx = x1 - x0, dy = y1 - y0;
  if (dx == 0.0f) {
    if (dy > 0.0f) return static_cast<float>(std::numbers::pi / 2);
    if (dy < 0.0f) return static_cast<float>(-std::numbers::pi / 2);
    return 0.0f;
  }
  float angle = std::atan(dy / dx);
  if (dx < 0.0f) angle -= static_cast<float>(std::numbers::pi);
  return angle;
}

bool DabShaper::shape(gfx::Point p, float size, const DabStyle& style, bool smudge, Dab& out) {
  out.center = p;
  out.height = size;
  out.width = style.tipEffect ? size * style.tipValue : size;
  out.rotated = style.rotate || style.directionFollow;
  out.angle = 0;
  if (out.rotated) {
    double angle = 0;
    if (style.rotate && style.radianMin <= style.radianMax) {
      const int degrees = style.radianMin < style.radianMax
                              ? style.radianMin + dab_random::next() % (style.radianMax - style.radianMin)
                              : style.radianMin;
      angle = degrees / 180.0 * std::numbers::pi;
    }
    if (style.directionFollow) {
      if (p.x != prePoint_.x || p.y != prePoint_.y) {
        radianStatic_ = std::numbers::pi - DabDirectionAngle(prePoint_.x, prePoint_.y, p.x, p.y);
      } else if (lineBegin_) {
        return false;
      }
      angle += radianStatic_;
    }
    out.angle = static_cast<float>(angle);
  }
  out.first = smudge && lineBegin_;
  if (out.first) {
    // The first smudge dab of a line only picks up paint where it stands.
    lineBegin_ = false;
    prePoint_ = p;
  }
  out.previous = prePoint_;
  prePoint_ = p;
  return true;
}

std::size_t DabShaper::shapeAll(std::span<const gfx::Point> points, std::span<const float> sizes,
                                const DabStyle& style, bool smudge, std::vector<Dab>& out) {
  out.clear();
  const std::size_t n = std::min(points.size(), sizes.size());
  out.reserve(n);
  Dab dab;
  for (std::size_t i = 0; i < n; ++i) {
    if (shape(points[i], sizes[i], style, smudge, dab)) out.push_back(dab);
  }
  return out.size();
}
