#pragma once
// A GL texture of brush tips or of one picture. Brush tips are laid out as an
// atlas of 1, 2x2 or 4x4 cells in a square power-of-two texture (mipmapped,
// since dabs are drawn far smaller than the tips). A single picture or pixel
// block gets a texture of exactly its own pixel size, so that drawn at that
// size it lands on the canvas bit for bit.
//
// Each cell keeps five (s, t) points p0..p4; the renderer passes p1..p4 for
// the quad corners (-x,-y), (+x,-y), (+x,+y), (-x,+y), so pictures stand upright.
//
// An atlas can also tell, for each cell and mip level, where in the cell a
// sample can find any coverage (alpha) at all, read back from the texture's
// own levels: a dab need not be drawn where its tip has none.
#include <GLES2/gl2.h>

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/gl/Handles.h"
#include "platform/graphics/Image.h"

class TextureObject {
 public:
  static constexpr unsigned kMaxCells = 16;
  static constexpr unsigned kFloatsPerCell = 10;

  // The smallest of 64..1024 at or above the image's larger side in points
  // (1024 for anything larger): the quality of a one-tip atlas.
  static int qualityForImage(const gfx::Image& image);

  // An atlas of quality x quality pixels holding the images in list order.
  static std::unique_ptr<TextureObject> initWithImages(std::span<const gfx::Image> images, int quality);
  static std::unique_ptr<TextureObject> initWithImage(const gfx::Image& image, int quality);
  // A picture texture of the image's pixel size (premultiplied on upload).
  static std::unique_ptr<TextureObject> initWithImage(const gfx::Image& image);
  // A picture texture of a pixel block (RGBA, rows bottom-up, premultiplied);
  // nullptr when the bytes are absent or a side is not positive.
  static std::unique_ptr<TextureObject> initWithData(const std::uint8_t* bytes, int width, int height);

  ~TextureObject() = default;
  TextureObject(const TextureObject&) = delete;
  TextureObject& operator=(const TextureObject&) = delete;

  bool isEnabled() const { return static_cast<bool>(texture_); }
  GLuint textureID() const { return texture_.get(); }
  unsigned vertiesCount() const { return vertiesCount_; }
  int pixelWidth() const { return width_; }
  int pixelHeight() const { return height_; }
  // Cell k's ten floats; cell 0's when k is out of range.
  const float* vertiesOfTextureIndex(unsigned k) const;
  const float* verties() const { return vertiesOfTextureIndex(0); }
  // Filtering of a picture texture (atlases keep their mipmapped filtering).
  void setFilter(GLenum filter);
  void destoryTexture();

  // Where in a cell bilinear samples of one level have nonzero alpha, in the
  // cell's own coordinates: u from the cell's (-x) edge to its (+x) edge, v
  // from its (-y) edge to its (+y) edge, 0..1. Kept as the bounds of u, v,
  // u + v and u - v (an octagon holding every such point).
  struct Coverage {
    float lo[4] = {1, 1, 2, 1};
    float hi[4] = {0, 0, 0, -1};
    bool empty() const { return lo[0] > hi[0]; }
    void include(float u, float v);
    void merge(const Coverage& o);
  };
  // Reads every level of an atlas back and finds its cells' coverage; false
  // (and nothing kept) when the levels cannot be read.
  bool findCoverage();
  bool hasCoverage() const { return !coverage_.empty(); }
  int mipLevels() const { return mipLevels_; }
  // Cell k's coverage at a level (0 the full size); requires hasCoverage().
  const Coverage& coverage(unsigned k, int level) const;
  // Cell k's size in texels of the full-size level.
  float cellTexelsWide(unsigned k) const;
  float cellTexelsHigh(unsigned k) const;

 private:
  TextureObject() = default;
  void setCell(unsigned k, float s0, float s1, float tb, float tt);
  // Atlas pixels: rows top-first, premultiplied.
  std::vector<std::uint8_t> createTextureDataWithImages(std::span<const gfx::Image> images, int quality);
  void buildAtlasTexture(const std::vector<std::uint8_t>& pixels, int quality);
  void buildPictureTexture(const std::uint8_t* pixels, int width, int height);

  glx::TextureHandle texture_;
  std::array<float, kMaxCells * kFloatsPerCell> verties_{};
  unsigned vertiesCount_ = 0;
  int width_ = 0, height_ = 0;
  GLenum filter_ = 0;
  int mipLevels_ = 0;
  std::vector<Coverage> coverage_;  // cell by cell, each with every level
};
