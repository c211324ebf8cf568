#include "platform/graphics/Image.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "platform/graphics/PixelFormat.h"

namespace gfx {

namespace {

// EXIF value of each orientation, in the enum's order.
constexpr std::array<int, 8> kExifOfOrientation = {1, 3, 8, 6, 2, 4, 5, 7};

// How an upright pixel (X, Y) is found in the stored pixels, per EXIF value:
// (u, v) = swap ? (Y, X) : (X, Y); x = flipX ? w-1-u : u; y = flipY ? h-1-v : v.
struct StoredLookup {
  bool swap, flipX, flipY;
};
constexpr std::array<StoredLookup, 9> kLookupOfExif = {{
    {false, false, false},  // unused
    {false, false, false},  // 1: as stored
    {false, true, false},   // 2: mirrored left to right
    {false, true, true},    // 3: turned half round
    {false, false, true},   // 4: mirrored top to bottom
    {true, false, false},   // 5: row 0 is the left side, column 0 the top
    {true, false, true},    // 6: row 0 is the right side, column 0 the top
    {true, true, true},     // 7: row 0 is the right side, column 0 the bottom
    {true, true, false},    // 8: row 0 is the left side, column 0 the bottom
}};

bool isSideways(Orientation o) {
  return o == Orientation::Left || o == Orientation::Right || o == Orientation::LeftMirrored ||
         o == Orientation::RightMirrored;
}

}  // namespace

int exifFromOrientation(Orientation o) {
  int i = static_cast<int>(o);
  return i >= 0 && i < 8 ? kExifOfOrientation[i] : 1;
}

Orientation orientationFromExif(int exif) {
  for (int i = 0; i < 8; ++i)
    if (kExifOfOrientation[i] == exif) return static_cast<Orientation>(i);
  return Orientation::Up;
}

Image::Image(int pixelWidth, int pixelHeight, float scale)
    : width_(std::max(pixelWidth, 0)), height_(std::max(pixelHeight, 0)), scale_(scale) {
  if (width_ == 0 || height_ == 0) width_ = height_ = 0;
  data_.assign(static_cast<std::size_t>(width_) * height_ * 4, 0);
}

Size Image::size() const {
  float s = scale_ > 0 ? scale_ : 1.0f;
  Size sz{width_ / s, height_ / s};
  if (isSideways(orientation_)) std::swap(sz.width, sz.height);
  return sz;
}

void Image::premultiply() {
  if (premultiplied_) return;
  for (std::size_t i = 0; i < data_.size(); i += 4) {
    std::uint8_t a = data_[i + 3];
    if (a == 255) continue;
    for (int k = 0; k < 3; ++k) data_[i + k] = pixelformat::premultiply(data_[i + k], a);
  }
  premultiplied_ = true;
}

void Image::unpremultiply() {
  if (!premultiplied_) return;
  for (std::size_t i = 0; i < data_.size(); i += 4) {
    std::uint8_t a = data_[i + 3];
    if (a == 255) continue;
    for (int k = 0; k < 3; ++k) data_[i + k] = pixelformat::unpremultiply(data_[i + k], a);
  }
  premultiplied_ = false;
}

Image Image::fromPixelBlock(const std::uint8_t* block, int width, int height, float scale) {
  Image img(width, height, scale);
  img.premultiplied_ = true;
  if (img.empty() || block == nullptr) return img;
  const std::size_t row = img.stride();
  for (int y = 0; y < img.height_; ++y)
    std::memcpy(img.data_.data() + y * row, block + (img.height_ - 1 - y) * row, row);
  return img;
}

std::vector<std::uint8_t> Image::toPixelBlock() const {
  std::vector<std::uint8_t> block(data_.size());
  const std::size_t row = stride();
  for (int y = 0; y < height_; ++y) {
    std::uint8_t* dst = block.data() + (height_ - 1 - y) * row;
    std::memcpy(dst, data_.data() + y * row, row);
    if (premultiplied_) continue;
    for (std::size_t i = 0; i < row; i += 4) {
      std::uint8_t a = dst[i + 3];
      for (int k = 0; k < 3; ++k) dst[i + k] = pixelformat::premultiply(dst[i + k], a);
    }
  }
  return block;
}

Image Image::normalizedOrientation() const {
  if (orientation_ == Orientation::Up) return *this;
  const StoredLookup& l = kLookupOfExif[exifFromOrientation(orientation_)];
  const int outW = l.swap ? height_ : width_, outH = l.swap ? width_ : height_;
  Image out(outW, outH, scale_);
  out.premultiplied_ = premultiplied_;
  const auto* src = reinterpret_cast<const std::uint32_t*>(data_.data());
  auto* dst = reinterpret_cast<std::uint32_t*>(out.data_.data());
  for (int Y = 0; Y < outH; ++Y) {
    for (int X = 0; X < outW; ++X) {
      int u = l.swap ? Y : X, v = l.swap ? X : Y;
      int x = l.flipX ? width_ - 1 - u : u, y = l.flipY ? height_ - 1 - v : v;
      std::memcpy(dst + static_cast<std::size_t>(Y) * outW + X, src + static_cast<std::size_t>(y) * width_ + x, 4);
    }
  }
  return out;
}

Image Image::cropped(const Rect& pixelRect) const {
  Rect r = pixelRect.standardized();
  int x0 = std::max(0, static_cast<int>(std::floor(r.x)));
  int y0 = std::max(0, static_cast<int>(std::floor(r.y)));
  int x1 = std::min(width_, static_cast<int>(std::ceil(r.x + r.width)));
  int y1 = std::min(height_, static_cast<int>(std::ceil(r.y + r.height)));
  if (x1 <= x0 || y1 <= y0) {
    Image none;
    none.scale_ = scale_;
    return none;
  }
  Image out(x1 - x0, y1 - y0, scale_);
  out.orientation_ = orientation_;
  out.premultiplied_ = premultiplied_;
  for (int y = y0; y < y1; ++y)
    std::memcpy(out.pixel(0, y - y0), pixel(x0, y), out.stride());
  return out;
}

}  // namespace gfx
