#pragma once
// Curve files ("acv"): big-endian signed 16-bit fields: version, the number
// of curves, then per curve a point count and its points as (output, input)
// on the scale 0..255. Curve 0 is the composite curve, then red, green, blue;
// later curves are read and ignored.
//
// Every count and point is checked against the file's length and range
// before it is used, so a short, corrupt or hostile file is a failure with a
// message rather than a read past the end or a curve off the scale.
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "platform/foundation/Expected.h"
#include "platform/graphics/Geometry.h"

class GPUACVFile {
 public:
  using Points = std::vector<gfx::Point>;

  // The file read whole; "Failed to open file: <path>" (logged) and why when
  // it cannot be opened or is larger than kMaxFileBytes, a description of the
  // fault when it is malformed.
  static fd::Expected<GPUACVFile> withContentsOfFile(const std::filesystem::path& path);
  // Four curves of the most points a count can give take half a megabyte;
  // the curves after them are only read past.
  static constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t{1} << 20;
  static fd::Expected<GPUACVFile> withBytes(std::span<const std::uint8_t> bytes);

  std::int16_t version() const { return version_; }
  std::int16_t totalCurves() const { return totalCurves_; }
  // Empty when the file has fewer curves (or that curve has no points).
  const Points& rgbCompositeCurvePoints() const { return curve(0); }
  const Points& redCurvePoints() const { return curve(1); }
  const Points& greenCurvePoints() const { return curve(2); }
  const Points& blueCurvePoints() const { return curve(3); }
  // Which of the four curves the file holds.
  bool hasCurve(int index) const { return index >= 0 && index < static_cast<int>(curves_.size()); }

 private:
  const Points& curve(int index) const;
  std::int16_t version_ = 0;
  std::int16_t totalCurves_ = 0;
  std::vector<Points> curves_;  // the first four at most
};
