// Fuzz target for the curve-file reader: arbitrary bytes as an "acv" file.
// The reader must never read past the end, must accept only files whose
// every count and point fits the file and the 0..255 scale, and every curve
// it accepts must prepare into finite offsets that keep every level within
// the scale (a curve that starts late hands each level the offset of the one
// below, so a level may reach 256 before the lookup clamps it) and fill the
// whole lookup.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "gpu/filters/tonecurve/GPUACVFile.h"
#include "gpu/filters/tonecurve/GPUToneCurveFilter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto file = GPUACVFile::withBytes(std::span(data, size));
  if (!file) return 0;
  std::vector<GPUToneCurveFilter::Curve> curves;
  for (const auto* points : {&file->rgbCompositeCurvePoints(), &file->redCurvePoints(), &file->greenCurvePoints(),
                             &file->blueCurvePoints()}) {
    for (gfx::Point p : *points) {
      if (!(p.x >= 0 && p.x <= 1.0001f && p.y >= 0 && p.y <= 1.0001f)) {
        std::fprintf(stderr, "accepted a point off the scale: (%f, %f)\n", p.x, p.y);
        std::abort();
      }
    }
    const auto curve = GPUToneCurveFilter::getPreparedSplineCurve(*points);
    for (std::size_t i = 0; i < curve.size() && i < 256; ++i) {
      const float level = static_cast<float>(i) + curve[i];
      if (!std::isfinite(level) || level < -0.01f || level > 256.01f) {
        std::fprintf(stderr, "level %zu became %f\n", i, level);
        std::abort();
      }
    }
    curves.push_back(points->empty() ? GPUToneCurveFilter::getPreparedSplineCurve({{0, 0}, {1, 1}}) : curve);
  }
  if (GPUToneCurveFilter::lookupBytes(curves[1], curves[2], curves[3], curves[0]).size() != 1024) {
    std::fprintf(stderr, "a prepared curve was too short for the lookup\n");
    std::abort();
  }
  return 0;
}
