#include "gpu/filters/tonecurve/GPUACVFile.h"

#include <string>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"

namespace {

// Reads big-endian 16-bit fields, never past the end.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool has(std::size_t count) const { return bytes_.size() - offset_ >= count; }
  std::int16_t next() {
    const auto value = static_cast<std::uint16_t>((bytes_[offset_] << 8) | bytes_[offset_ + 1]);
    offset_ += 2;
    return static_cast<std::int16_t>(value);
  }
  std::size_t offset() const { return offset_; }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t offset_ = 0;
};

// The scale factor as single precision, as the curves have always used it.
constexpr float kLevelScale = 0.003921569f;

}  // namespace

fd::Expected<GPUACVFile> GPUACVFile::withContentsOfFile(const std::filesystem::path& path) {
  const fd::Expected<fd::Data> bytes = fd::files::readFile(path, kMaxFileBytes);
  if (!bytes) {
    fd::Log("Failed to open file: %s\n", path.string().c_str());
    return fd::fail("Failed to open file: " + path.string() + " (" + bytes.error() + ")");
  }
  return withBytes(*bytes);
}

fd::Expected<GPUACVFile> GPUACVFile::withBytes(std::span<const std::uint8_t> bytes) {
  Reader in(bytes);
  if (!in.has(4)) return fd::fail("curve file too short for its header (" + std::to_string(bytes.size()) + " bytes)");
  GPUACVFile file;
  file.version_ = in.next();
  file.totalCurves_ = in.next();
  if (file.totalCurves_ < 0) return fd::fail("curve file gives a negative number of curves");
  for (int c = 0; c < file.totalCurves_; ++c) {
    if (!in.has(2)) return fd::fail("curve file ends before curve " + std::to_string(c));
    const std::int16_t count = in.next();
    // A count of 0 or below is an empty curve.
    const std::size_t points = count > 0 ? static_cast<std::size_t>(count) : 0;
    if (!in.has(points * 4)) {
      return fd::fail("curve " + std::to_string(c) + " gives " + std::to_string(points) +
                      " points but the file ends at byte " + std::to_string(bytes.size()));
    }
    Points list;
    list.reserve(points);
    for (std::size_t p = 0; p < points; ++p) {
      const std::int16_t output = in.next();
      const std::int16_t input = in.next();
      if (output < 0 || output > 255 || input < 0 || input > 255) {
        return fd::fail("curve " + std::to_string(c) + " point " + std::to_string(p) + " lies off the scale 0..255");
      }
      list.push_back({input * kLevelScale, output * kLevelScale});
    }
    if (c < 4) file.curves_.push_back(std::move(list));
  }
  return file;
}

const GPUACVFile::Points& GPUACVFile::curve(int index) const {
  static const Points none;
  return hasCurve(index) ? curves_[static_cast<std::size_t>(index)] : none;
}
