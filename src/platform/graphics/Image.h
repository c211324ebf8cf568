#pragma once
// A picture in memory: RGBA8 pixels (rows top-down), a size in points, a scale
// and an orientation, as the phone's image objects carry them.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/foundation/Expected.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/Geometry.h"

namespace gfx {

// The phone's eight orientations, in its numbering (Up = 0 ... RightMirrored = 7).
enum class Orientation : int {
  Up = 0,
  Down = 1,           // rotated 180 degrees
  Left = 2,           // rotated 90 degrees counter-clockwise
  Right = 3,          // rotated 90 degrees clockwise
  UpMirrored = 4,
  DownMirrored = 5,
  LeftMirrored = 6,
  RightMirrored = 7,
};
// EXIF orientation tag values 1..8 and back (unknown values give Up).
int exifFromOrientation(Orientation o);
Orientation orientationFromExif(int exif);

class Image {
 public:
  Image() = default;
  // A transparent picture of the given pixel size.
  Image(int pixelWidth, int pixelHeight, float scale = 1.0f);

  bool empty() const { return width_ == 0 || height_ == 0; }
  int pixelWidth() const { return width_; }
  int pixelHeight() const { return height_; }
  float scale() const { return scale_; }
  void setScale(float s) { scale_ = s; }
  Orientation orientation() const { return orientation_; }
  void setOrientation(Orientation o) { orientation_ = o; }
  bool premultiplied() const { return premultiplied_; }
  void setPremultiplied(bool p) { premultiplied_ = p; }
  // Size in points as the phone reports it: pixels / scale, width and height
  // swapped for the four sideways orientations.
  Size size() const;

  std::uint8_t* pixels() { return data_.data(); }
  const std::uint8_t* pixels() const { return data_.data(); }
  std::vector<std::uint8_t>& bytes() { return data_; }
  const std::vector<std::uint8_t>& bytes() const { return data_; }
  std::size_t stride() const { return static_cast<std::size_t>(width_) * 4; }
  std::uint8_t* pixel(int x, int y) { return data_.data() + (static_cast<std::size_t>(y) * width_ + x) * 4; }
  const std::uint8_t* pixel(int x, int y) const { return data_.data() + (static_cast<std::size_t>(y) * width_ + x) * 4; }

  // Exact conversions: premultiply rounds c*a/255; unpremultiply rounds
  // c*255/a, so straight -> premultiplied -> straight returns every colour that
  // premultiplied form can hold. No-ops when already in that form.
  void premultiply();
  void unpremultiply();

  // Pixel blocks of the canvas: rows bottom-up, premultiplied, tightly packed.
  static Image fromPixelBlock(const std::uint8_t* block, int width, int height, float scale = 1.0f);
  std::vector<std::uint8_t> toPixelBlock() const;  // premultiplies a copy if needed

  // The pixels drawn the right way up (orientation applied, result Up).
  Image normalizedOrientation() const;

  // A copy of the stored pixels resampled to the given pixel size (bilinear,
  // computed on premultiplied colour so transparent pixels do not bleed their
  // colour); scale, orientation and the premultiplied flag are kept. An empty
  // image when either size is not positive.
  Image scaledTo(int pixelWidth, int pixelHeight) const;
  // The stored pixels inside the rectangle (in pixels, rounded outwards and
  // cut to the picture); empty when nothing of it lies on the picture.
  Image cropped(const Rect& pixelRect) const;

  bool operator==(const Image& o) const = default;

 private:
  int width_ = 0, height_ = 0;
  float scale_ = 1.0f;
  Orientation orientation_ = Orientation::Up;
  bool premultiplied_ = false;
  std::vector<std::uint8_t> data_;
};

// How large a picture read from a file may be. The size in the file's header
// is checked against it before any pixel memory is taken, so a small file
// claiming a huge picture costs nothing. The default admits any picture this
// program writes and ordinary photos; callers that know better pass less.
struct ReadLimits {
  int maxWidth = 16384;
  int maxHeight = 16384;
  std::size_t maxPixels = std::size_t{1} << 24;  // width x height: 64 MB of RGBA
  // JPEG only: a photo beyond the limits is decoded at 1/2, 1/4 or 1/8 of its
  // size, the largest that fits, instead of being refused.
  bool scaleDownToFit = false;

  static ReadLimits atMost(int width, int height) {
    return {width, height, static_cast<std::size_t>(width) * static_cast<std::size_t>(height), false};
  }
  bool admits(std::size_t width, std::size_t height) const {
    return width > 0 && height > 0 && width <= static_cast<std::size_t>(maxWidth) &&
           height <= static_cast<std::size_t>(maxHeight) && width <= maxPixels / height;
  }
  // No picture the limits admit is stored in a file larger than 8 bytes a
  // pixel (twice what a PNG without compression takes) and a megabyte of
  // other chunks: a larger file is refused by its size before it is read.
  // A photo decoded at a fraction of its size must fit it too; photos take
  // a few bytes a pixel at most.
  std::uintmax_t largestFile() const {
    return static_cast<std::uintmax_t>(maxPixels) * 8 + (std::uintmax_t{1} << 20);
  }
};

// PNG files hold straight alpha. A name ending "@2x.png" gives scale 2.
fd::Expected<Image> decodePNG(const fd::Data& bytes, const ReadLimits& limits = {});
fd::Expected<Image> readPNG(const std::filesystem::path& path, const ReadLimits& limits = {});
// libpng's writer. Unpremultiplies a copy when needed. compressionLevel: zlib
// level, -1 default.
fd::Expected<fd::Data> encodePNG(const Image& image, int compressionLevel = -1);
// Settings of the striped writer (PngEncoder), whose rows are filtered and
// compressed in stripes side by side. Every setting is lossless.
struct PngEncoding {
  // Adaptive: each row's filter chosen as libpng's writer chooses it; any
  // other: that filter for every row.
  enum class Filter { Adaptive, None, Sub, Up, Average, Paeth };
  int compressionLevel = -1;  // zlib level, -1 default
  Filter filter = Filter::Adaptive;
  // zlib's Z_RLE strategy; otherwise the one libpng takes (Z_FILTERED for
  // filtered rows).
  bool runLength = false;
};
// For pictures written while the user waits (page files, package pictures):
// libpng's default choices but zlib level 4 instead of 6. On drawings made on
// the canvas (pencil, soft marker, brush pen) and their snapshots the files
// come within 1.06 times the size of libpng's default encode (one Sub filter
// for all rows with run-length matching gave up to 1.3 times), in 0.35 to 0.6
// times its processor time, which the stripes share out over the cores.
inline constexpr PngEncoding kQuickPngEncoding{4, PngEncoding::Filter::Adaptive, false};
fd::Expected<fd::Data> encodePNG(const Image& image, const PngEncoding& encoding);

// The striped PNG writer. It keeps its working memory (rows, compressed
// stripes, the compressor's state, the file's bytes) from one picture to the
// next: a caller that writes again and again takes no new memory once it has
// written a picture of that size. Its files are those encodePNG makes with
// the same settings. One thread at a time.
class PngEncoder {
 public:
  // Where the stripes are compressed: side by side on threads of their own
  // (someone waits for the file), or one after the other on the calling
  // thread (a writer in the background that should take as little as it can
  // from the rest). The bytes are the same.
  enum class Spread { SideBySide, CallingThread };
  explicit PngEncoder(const PngEncoding& encoding = kQuickPngEncoding);
  ~PngEncoder();
  PngEncoder(PngEncoder&&) noexcept;
  PngEncoder& operator=(PngEncoder&&) noexcept;

  // The file's bytes, kept until the next call.
  fd::Expected<std::span<const std::uint8_t>> encode(const Image& image, Spread spread = Spread::SideBySide);

 private:
  struct Work;
  std::unique_ptr<Work> work_;
  friend fd::Expected<fd::Data> encodePNG(const Image& image, const PngEncoding& encoding);
};
fd::Status writePNG(const std::filesystem::path& path, const Image& image, int compressionLevel = -1);

// JPEG: orientation comes from the EXIF tag; pixels stay as stored (possibly
// scaled down, see ReadLimits).
fd::Expected<Image> decodeJPEG(const fd::Data& bytes, const ReadLimits& limits = {});
fd::Expected<Image> readJPEG(const std::filesystem::path& path, const ReadLimits& limits = {});
// Baseline JPEG of the upright pixels (alpha dropped, drawn over black);
// quality 0-1 as the phone takes it. A failure for an empty image.
fd::Expected<fd::Data> encodeJPEG(const Image& image, float quality);
// PNG or JPEG by content.
fd::Expected<Image> readImage(const std::filesystem::path& path, const ReadLimits& limits = {});

}  // namespace gfx
