#include "platform/graphics/Exif.h"

#include <cstring>

namespace gfx {

namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kTypeShort = 3;
constexpr std::size_t kHeaderSize = 6;  // "Exif\0\0"
constexpr std::size_t kEntrySize = 12;

// Reads of the TIFF block with its byte order; every read is bounds-checked.
class TiffReader {
 public:
  TiffReader(const std::uint8_t* p, std::size_t n, bool bigEndian) : p_(p), n_(n), big_(bigEndian) {}
  std::optional<std::uint16_t> u16(std::size_t at) const {
    if (at > n_ || n_ - at < 2) return std::nullopt;
    return big_ ? static_cast<std::uint16_t>(p_[at] << 8 | p_[at + 1])
                : static_cast<std::uint16_t>(p_[at + 1] << 8 | p_[at]);
  }
  std::optional<std::uint32_t> u32(std::size_t at) const {
    auto hi = u16(big_ ? at : at + 2), lo = u16(big_ ? at + 2 : at);
    if (!hi || !lo) return std::nullopt;
    return static_cast<std::uint32_t>(*hi) << 16 | *lo;
  }

 private:
  const std::uint8_t* p_;
  std::size_t n_;
  bool big_;
};

}  // namespace

std::optional<int> exifOrientation(const std::uint8_t* app1, std::size_t size) {
  if (app1 == nullptr || size < kHeaderSize + 8 || std::memcmp(app1, "Exif\0\0", kHeaderSize) != 0)
    return std::nullopt;
  const std::uint8_t* tiff = app1 + kHeaderSize;
  const std::size_t n = size - kHeaderSize;
  bool big;
  if (tiff[0] == 'M' && tiff[1] == 'M') big = true;
  else if (tiff[0] == 'I' && tiff[1] == 'I') big = false;
  else return std::nullopt;
  TiffReader r(tiff, n, big);
  if (r.u16(2) != std::optional<std::uint16_t>(42)) return std::nullopt;
  auto ifd = r.u32(4);
  if (!ifd) return std::nullopt;
  auto count = r.u16(*ifd);
  if (!count) return std::nullopt;
  for (std::size_t i = 0; i < *count; ++i) {
    std::size_t entry = static_cast<std::size_t>(*ifd) + 2 + i * kEntrySize;
    auto tag = r.u16(entry), type = r.u16(entry + 2);
    auto values = r.u32(entry + 4);
    if (!tag || !type || !values) return std::nullopt;
    if (*tag != kOrientationTag) continue;
    if (*type != kTypeShort || *values < 1) return std::nullopt;
    auto v = r.u16(entry + 8);  // a single SHORT sits at the start of the value field
    if (!v || *v < 1 || *v > 8) return std::nullopt;
    return static_cast<int>(*v);
  }
  return std::nullopt;
}

}  // namespace gfx
