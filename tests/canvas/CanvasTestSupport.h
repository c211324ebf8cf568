#pragma once
// Helpers for canvas tests: a brush canvas of the editor's page geometry at a
// given screen scale, and read-back of its pixels in bottom-left coordinates.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "canvas/VTEAGLView.h"

namespace canvas_test {

constexpr float kPageWidth = 384, kPageHeight = 288;

// A brush canvas whose backing is the page times the scale and whose frame is
// the page, as the editor sets one up.
inline std::shared_ptr<VTEAGLView> makeCanvas(float scale) {
  auto canvas = VTEAGLView::create({0, 0, kPageWidth * scale, kPageHeight * scale});
  if (canvas) canvas->setFrame({0, 0, kPageWidth, kPageHeight});
  return canvas;
}

struct Pixels {
  int width = 0, height = 0;
  std::vector<std::uint8_t> bytes;  // rows bottom-up
  const std::uint8_t* at(int x, int y) const { return &bytes[(static_cast<std::size_t>(y) * width + x) * 4]; }
  bool operator==(const Pixels&) const = default;
};

inline Pixels readAll(ES2Renderer& canvas) {
  Pixels p;
  p.width = canvas.backingWidth();
  p.height = canvas.backingHeight();
  p.bytes.resize(static_cast<std::size_t>(p.width) * p.height * 4);
  canvas.readData(p.bytes.data(), {0, 0, static_cast<float>(p.width), static_cast<float>(p.height)});
  return p;
}

// Bounding box of the pixels that differ between two pictures.
struct Box {
  int minX = 1 << 30, minY = 1 << 30, maxX = -1, maxY = -1;
  bool empty() const { return maxX < 0; }
  float centerX() const { return (minX + maxX) / 2.0f; }
  float centerY() const { return (minY + maxY) / 2.0f; }
};

inline Box changedBox(const Pixels& before, const Pixels& after) {
  Box b;
  for (int y = 0; y < before.height; ++y) {
    for (int x = 0; x < before.width; ++x) {
      if (std::equal(before.at(x, y), before.at(x, y) + 4, after.at(x, y))) continue;
      b.minX = std::min(b.minX, x);
      b.maxX = std::max(b.maxX, x);
      b.minY = std::min(b.minY, y);
      b.maxY = std::max(b.maxY, y);
    }
  }
  return b;
}

// A pixel block of one premultiplied colour.
inline std::vector<std::uint8_t> solidBlock(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b,
                                            std::uint8_t a) {
  std::vector<std::uint8_t> block(static_cast<std::size_t>(w) * h * 4);
  for (std::size_t i = 0; i < block.size(); i += 4) {
    block[i] = r;
    block[i + 1] = g;
    block[i + 2] = b;
    block[i + 3] = a;
  }
  return block;
}

// Covers the whole canvas with one colour (replacing what was there).
inline void paintAll(VTEAGLView& canvas, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
  const int w = canvas.backingWidth(), h = canvas.backingHeight();
  const auto block = solidBlock(w, h, r, g, b, a);
  canvas.setData(block.data(), {static_cast<float>(w), static_cast<float>(h)}, canvas.bounds());
}

// One dab: a tap at a view point (bottom-left origin).
inline void tap(VTEAGLView& canvas, gfx::Point p) {
  canvas.drawWithBeginPoint(p);
  canvas.drawWithEndPoint(p);
}

// A straight stroke in view points, in steps of `step` points.
inline void stroke(VTEAGLView& canvas, gfx::Point from, gfx::Point to, int steps) {
  canvas.drawWithBeginPoint(from);
  for (int i = 1; i < steps; ++i) {
    const float f = static_cast<float>(i) / steps;
    canvas.drawWithMovePoint({from.x + (to.x - from.x) * f, from.y + (to.y - from.y) * f});
  }
  canvas.drawWithEndPoint(to);
}

// An opaque white square: a tip that covers its whole quad.
inline std::vector<gfx::Image> solidTips() {
  gfx::Image tip(16, 16);
  for (std::size_t i = 0; i < tip.bytes().size(); ++i) tip.bytes()[i] = 255;
  return std::vector<gfx::Image>(8, tip);
}

}  // namespace canvas_test
