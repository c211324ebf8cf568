#include "canvas/TextureObject.h"

#include <algorithm>
#include <cmath>

#include "platform/gl/Extensions.h"
#include "platform/gl/Util.h"

namespace {

// Area-averaging resample of premultiplied RGBA into a w x h block, so tips
// keep their soft edges when they shrink into an atlas cell.
std::vector<std::uint8_t> resample(const gfx::Image& src, int w, int h) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(w) * h * 4, 0);
  const int sw = src.pixelWidth(), sh = src.pixelHeight();
  const double fx = static_cast<double>(sw) / w, fy = static_cast<double>(sh) / h;
  for (int y = 0; y < h; ++y) {
    const double y0 = y * fy, y1 = (y + 1) * fy;
    for (int x = 0; x < w; ++x) {
      const double x0 = x * fx, x1 = (x + 1) * fx;
      double acc[4] = {0, 0, 0, 0}, area = 0;
      for (int sy = static_cast<int>(y0); sy < std::min(sh, static_cast<int>(std::ceil(y1))); ++sy) {
        const double wy = std::min<double>(sy + 1, y1) - std::max<double>(sy, y0);
        for (int sx = static_cast<int>(x0); sx < std::min(sw, static_cast<int>(std::ceil(x1))); ++sx) {
          const double wgt = wy * (std::min<double>(sx + 1, x1) - std::max<double>(sx, x0));
          const std::uint8_t* p = src.pixel(sx, sy);
          for (int c = 0; c < 4; ++c) acc[c] += wgt * p[c];
          area += wgt;
        }
      }
      std::uint8_t* o = &out[(static_cast<std::size_t>(y) * w + x) * 4];
      for (int c = 0; c < 4; ++c) o[c] = static_cast<std::uint8_t>(area > 0 ? std::lround(acc[c] / area) : 0);
    }
  }
  return out;
}

gfx::Image uprightPremultiplied(const gfx::Image& image) {
  gfx::Image copy = image.orientation() == gfx::Orientation::Up ? image : image.normalizedOrientation();
  copy.premultiply();
  return copy;
}

}  // namespace

int TextureObject::qualityForImage(const gfx::Image& image) {
  const gfx::Size size = image.size();
  const int larger = static_cast<int>(std::max(size.width, size.height));
  constexpr int kQualities[] = {64, 128, 256, 512, 1024};
  for (int q : kQualities) {
    if (q >= larger) return q;
  }
  return 1024;
}

std::unique_ptr<TextureObject> TextureObject::initWithImage(const gfx::Image& image, int quality) {
  return initWithImages(std::span<const gfx::Image>(&image, 1), quality);
}

std::unique_ptr<TextureObject> TextureObject::initWithImages(std::span<const gfx::Image> images, int quality) {
  std::unique_ptr<TextureObject> t(new TextureObject());
  if (quality <= 0 || quality > glx::maxTextureSize()) return t;
  std::vector<std::uint8_t> pixels = t->createTextureDataWithImages(images, quality);
  if (!pixels.empty()) t->buildAtlasTexture(pixels, quality);
  return t;
}

std::unique_ptr<TextureObject> TextureObject::initWithImage(const gfx::Image& image) {
  std::unique_ptr<TextureObject> t(new TextureObject());
  if (image.empty()) return t;
  const gfx::Image upright = uprightPremultiplied(image);
  // Image rows run top-down, so row 0 (t = 0) is the picture's top.
  t->vertiesCount_ = 1;
  t->setCell(0, 0.0f, 1.0f, 1.0f, 0.0f);
  t->buildPictureTexture(upright.pixels(), upright.pixelWidth(), upright.pixelHeight());
  return t;
}

std::unique_ptr<TextureObject> TextureObject::initWithData(const std::uint8_t* bytes, int width, int height) {
  if (bytes == nullptr || width <= 0 || height <= 0) return nullptr;
  std::unique_ptr<TextureObject> t(new TextureObject());
  // Pixel-block rows run bottom-up, so row 0 (t = 0) is the picture's bottom.
  t->vertiesCount_ = 1;
  t->setCell(0, 0.0f, 1.0f, 0.0f, 1.0f);
  t->buildPictureTexture(bytes, width, height);
  return t;
}


const float* TextureObject::vertiesOfTextureIndex(unsigned k) const {
  if (k >= vertiesCount_) k = 0;
  return &verties_[k * kFloatsPerCell];
}

void TextureObject::setCell(unsigned k, float s0, float s1, float tb, float tt) {
  float* v = &verties_[k * kFloatsPerCell];
  const float points[kFloatsPerCell] = {s0, tt, s0, tb, s1, tb, s1, tt, s0, tt};
  std::copy(std::begin(points), std::end(points), v);
}

std::vector<std::uint8_t> TextureObject::createTextureDataWithImages(std::span<const gfx::Image> images,
                                                                     int quality) {
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(quality) * quality * 4, 0);
  const std::size_t n = images.size();
  vertiesCount_ = n <= 1 ? 1 : (n <= 4 ? 4 : 16);
  const int perRow = vertiesCount_ == 1 ? 1 : (vertiesCount_ == 4 ? 2 : 4);
  const int cell = quality / perRow;
  const float q = static_cast<float>(quality);
  for (std::size_t k = 0; k < n && k < vertiesCount_; ++k) {
    const gfx::Image upright = uprightPremultiplied(images[k]);
    const int pw = upright.pixelWidth(), ph = upright.pixelHeight();
    if (pw <= 0 || ph <= 0) continue;
    const double scale = static_cast<double>(cell) / std::max(pw, ph);
    const int w = static_cast<int>(std::floor(pw * scale));
    const int h = static_cast<int>(std::floor(ph * scale));
    const int x = cell * static_cast<int>(k % perRow);
    const int y = cell * static_cast<int>(k / perRow);  // from the bottom
    if (w > 0 && h > 0) {
      const std::vector<std::uint8_t> scaled = resample(upright, w, h);
      const int topRow = quality - y - h;  // buffer rows run top-first
      for (int r = 0; r < h; ++r) {
        std::copy_n(&scaled[static_cast<std::size_t>(r) * w * 4], static_cast<std::size_t>(w) * 4,
                    &buffer[(static_cast<std::size_t>(topRow + r) * quality + x) * 4]);
      }
    }
    setCell(static_cast<unsigned>(k), x / q, (x + w) / q, (q - y) / q, (q - y - h) / q);
  }
  for (std::size_t k = n; k < vertiesCount_; ++k) setCell(static_cast<unsigned>(k), 0, 0, 0, 0);
  return buffer;
}

void TextureObject::buildAtlasTexture(const std::vector<std::uint8_t>& pixels, int quality) {
  glActiveTexture(GL_TEXTURE0);
  texture_ = glx::TextureHandle::make();
  glBindTexture(GL_TEXTURE_2D, texture_.get());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, quality, quality, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  glGenerateMipmap(GL_TEXTURE_2D);
  width_ = height_ = quality;
  glx::logErrors(__FILE__, __LINE__);
}

void TextureObject::buildPictureTexture(const std::uint8_t* pixels, int width, int height) {
  const int limit = glx::maxTextureSize();
  if (width > limit || height > limit) return;
  glActiveTexture(GL_TEXTURE0);
  texture_ = glx::TextureHandle::make();
  glBindTexture(GL_TEXTURE_2D, texture_.get());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
  width_ = width;
  height_ = height;
  setFilter(GL_NEAREST);
  glx::logErrors(__FILE__, __LINE__);
}

void TextureObject::setFilter(GLenum filter) {
  if (!texture_ || filter == filter_) return;
  glBindTexture(GL_TEXTURE_2D, texture_.get());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(filter));
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(filter));
  filter_ = filter;
}

void TextureObject::destoryTexture() {
  texture_.reset();
  coverage_.clear();
}

void TextureObject::Coverage::include(float u, float v) {
  const float value[4] = {u, v, u + v, u - v};
  for (int i = 0; i < 4; ++i) {
    lo[i] = std::min(lo[i], value[i]);
    hi[i] = std::max(hi[i], value[i]);
  }
}

void TextureObject::Coverage::merge(const Coverage& o) {
  if (o.empty()) return;
  for (int i = 0; i < 4; ++i) {
    lo[i] = std::min(lo[i], o.lo[i]);
    hi[i] = std::max(hi[i], o.hi[i]);
  }
}

const TextureObject::Coverage& TextureObject::coverage(unsigned k, int level) const {
  if (k >= vertiesCount_) k = 0;
  level = std::clamp(level, 0, mipLevels_ - 1);
  return coverage_[static_cast<std::size_t>(k) * static_cast<std::size_t>(mipLevels_) + static_cast<std::size_t>(level)];
}

float TextureObject::cellTexelsWide(unsigned k) const {
  const float* c = vertiesOfTextureIndex(k);
  return (c[6] - c[2]) * static_cast<float>(width_);
}

float TextureObject::cellTexelsHigh(unsigned k) const {
  const float* c = vertiesOfTextureIndex(k);
  return std::abs(c[7] - c[3]) * static_cast<float>(height_);
}

bool TextureObject::findCoverage() {
  coverage_.clear();
  mipLevels_ = 0;
  if (!texture_ || width_ <= 0 || width_ != height_ || !glx::hasExtension("GL_OES_fbo_render_mipmap")) return false;
  int levels = 1;
  while ((width_ >> (levels - 1)) > 1) ++levels;
  std::vector<Coverage> found(static_cast<std::size_t>(vertiesCount_) * static_cast<std::size_t>(levels));
  GLint previous = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
  glx::FramebufferHandle reader = glx::FramebufferHandle::make();
  glBindFramebuffer(GL_FRAMEBUFFER, reader.get());
  bool ok = true;
  std::vector<std::uint8_t> pixels;
  for (int level = 0; level < levels && ok; ++level) {
    const int side = std::max(1, width_ >> level);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_.get(), level);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
      ok = false;
      break;
    }
    pixels.assign(static_cast<std::size_t>(side) * static_cast<std::size_t>(side) * 4, 0);
    glx::readPixels(0, 0, side, side, pixels.data());
    const float n = static_cast<float>(side);
    for (unsigned k = 0; k < vertiesCount_; ++k) {
      // p1 = (s0, t at -y), p3 = (s1, t at +y).
      const float* c = vertiesOfTextureIndex(k);
      const float s0 = c[2], t0 = c[3], s1 = c[6], t1 = c[7];
      if (s1 <= s0 || t1 == t0) continue;
      Coverage& cov = found[static_cast<std::size_t>(k) * static_cast<std::size_t>(levels) + static_cast<std::size_t>(level)];
      const float sLo = s0 * n, sHi = s1 * n, tLo = std::min(t0, t1) * n, tHi = std::max(t0, t1) * n;
      // A texel weighs in a bilinear sample strictly between half a texel
      // before its start and a texel and a half after it: samples from
      // i - 0.5 to i + 1.5 (in texels) see texel i.
      const int iFrom = std::max(0, static_cast<int>(std::floor(sLo - 1.5f))), iTo = std::min(side - 1, static_cast<int>(std::ceil(sHi + 0.5f)));
      const int rFrom = std::max(0, static_cast<int>(std::floor(tLo - 1.5f))), rTo = std::min(side - 1, static_cast<int>(std::ceil(tHi + 0.5f)));
      for (int r = rFrom; r <= rTo; ++r)
        for (int i = iFrom; i <= iTo; ++i) {
          if (pixels[(static_cast<std::size_t>(r) * static_cast<std::size_t>(side) + static_cast<std::size_t>(i)) * 4 + 3] == 0) continue;
          const float x0 = std::max(sLo, i - 0.5f), x1 = std::min(sHi, i + 1.5f);
          const float y0 = std::max(tLo, r - 0.5f), y1 = std::min(tHi, r + 1.5f);
          if (x0 >= x1 || y0 >= y1) continue;
          for (float x : {x0, x1})
            for (float y : {y0, y1}) cov.include((x / n - s0) / (s1 - s0), (y / n - t0) / (t1 - t0));
        }
    }
  }
  glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previous));
  glx::clearErrors();
  if (!ok) return false;
  coverage_ = std::move(found);
  mipLevels_ = levels;
  return true;
}
