#include "gpu/filters/tonecurve/GPUToneCurveFilter.h"

#include <algorithm>
#include <cmath>

#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUOpenGLESContext.h"
#include "gpu/filters/GPUStockFilterSupport.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"

namespace {

constexpr const char* kToneCurveShader =
    "precision highp float;\n"
    "varying highp vec2 textureCoordinate;\n"
    "uniform sampler2D inputImageTexture;\n"
    "uniform sampler2D toneCurveTexture;\n"
    "void main() {\n"
    "  vec4 c = texture2D(inputImageTexture, textureCoordinate);\n"
    "  float r = texture2D(toneCurveTexture, vec2(c.r, 0.0)).r;\n"
    "  float g = texture2D(toneCurveTexture, vec2(c.g, 0.0)).g;\n"
    "  float b = texture2D(toneCurveTexture, vec2(c.b, 0.0)).b;\n"
    "  gl_FragColor = vec4(r, g, b, c.a);\n}\n";

const GPUToneCurveFilter::Points kIdentityPoints = {{0.0f, 0.0f}, {0.5f, 0.5f}, {1.0f, 1.0f}};

}  // namespace

GPUToneCurveFilter::GPUToneCurveFilter() : GPUFilter(kToneCurveShader) {
  toneCurveTextureUniform_ = stockUniformIndex(*this, "toneCurveTexture");
  setRgbCompositeControlPoints(kIdentityPoints);
  setRedControlPoints(kIdentityPoints);
  setGreenControlPoints(kIdentityPoints);
  setBlueControlPoints(kIdentityPoints);
}

GPUToneCurveFilter::GPUToneCurveFilter(const std::filesystem::path& curveFile) : GPUFilter(kToneCurveShader) {
  toneCurveTextureUniform_ = stockUniformIndex(*this, "toneCurveTexture");
  if (!setPointsWithACVURL(curveFile)) {
    // The lookup exists but holds nothing: it reads as transparent black.
    updateToneCurveTexture();
  }
}

GPUToneCurveFilter::~GPUToneCurveFilter() {
  performOnProcessingQueueSync([this] {
    if (GPUOpenGLESContext::useImageProcessingContext()) toneCurveTexture_.reset();
  });
}

fd::Expected<void> GPUToneCurveFilter::setPointsWithACVURL(const std::filesystem::path& curveFile) {
  auto file = GPUACVFile::withContentsOfFile(curveFile);
  if (!file) return file.failure();
  auto curve = [&](int index, const Points& points) { return file->hasCurve(index) ? points : kIdentityPoints; };
  setRgbCompositeControlPoints(curve(0, file->rgbCompositeCurvePoints()));
  setRedControlPoints(curve(1, file->redCurvePoints()));
  setGreenControlPoints(curve(2, file->greenCurvePoints()));
  setBlueControlPoints(curve(3, file->blueCurvePoints()));
  return {};
}

fd::Expected<std::filesystem::path> GPUToneCurveFilter::curveFileNamed(const std::string& name) {
  return fd::paths::resourceNamed(name + ".acv");
}

fd::Expected<void> GPUToneCurveFilter::setPointsWithACV(const std::string& name) {
  auto file = curveFileNamed(name);
  if (!file) return fd::fail("the curve file " + file.error());
  return setPointsWithACVURL(*file);
}

void GPUToneCurveFilter::loadPointsWithACV(const std::string& name) {
  auto result = setPointsWithACV(name);
  if (!result) fd::Log("Tone curve: %s\n", result.error().c_str());
}

void GPUToneCurveFilter::setRgbCompositeControlPoints(const Points& points) {
  rgbCompositeControlPoints_ = points;
  rgbCompositeCurve_ = getPreparedSplineCurve(points);
  updateToneCurveTexture();
}
void GPUToneCurveFilter::setRedControlPoints(const Points& points) {
  redControlPoints_ = points;
  redCurve_ = getPreparedSplineCurve(points);
  updateToneCurveTexture();
}
void GPUToneCurveFilter::setGreenControlPoints(const Points& points) {
  greenControlPoints_ = points;
  greenCurve_ = getPreparedSplineCurve(points);
  updateToneCurveTexture();
}
void GPUToneCurveFilter::setBlueControlPoints(const Points& points) {
  blueControlPoints_ = points;
  blueCurve_ = getPreparedSplineCurve(points);
  updateToneCurveTexture();
}
void GPUToneCurveFilter::setRGBControlPoints(const Points& points) {
  redControlPoints_ = greenControlPoints_ = blueControlPoints_ = points;
  redCurve_ = getPreparedSplineCurve(points);
  greenCurve_ = blueCurve_ = redCurve_;
  updateToneCurveTexture();
}

GPUToneCurveFilter::Curve GPUToneCurveFilter::getPreparedSplineCurve(const Points& given) {
  Points points;
  for (const gfx::Point& p : given) {
    // Levels outside 0..1 are clamped so that sampling stays within 256 levels.
    if (std::isfinite(p.x) && std::isfinite(p.y)) points.push_back({std::clamp(p.x, 0.0f, 1.0f), p.y});
  }
  if (points.empty()) return {};
  std::stable_sort(points.begin(), points.end(), [](gfx::Point a, gfx::Point b) { return a.x < b.x; });
  // A spline cannot pass two levels at one x: the later point stands.
  Points distinct;
  for (const gfx::Point& p : points) {
    if (!distinct.empty() && distinct.back().x == p.x) {
      distinct.back() = p;
    } else {
      distinct.push_back(p);
    }
  }
  for (gfx::Point& p : distinct) p = {p.x * 255.0f, p.y * 255.0f};
  if (distinct.size() == 1) {
    Curve flat(256);
    for (int i = 0; i < 256; ++i) flat[static_cast<std::size_t>(i)] = std::clamp(distinct[0].y, 0.0f, 255.0f) - i;
    return flat;
  }

  Points samples = splineCurve(distinct);
  if (samples.empty()) return {};
  const gfx::Point first = samples.front();
  if (first.x > 0) {
    Points front;
    for (int i = 0; i <= static_cast<int>(first.x); ++i) front.push_back({static_cast<float>(i), 0.0f});
    samples.insert(samples.begin(), front.begin(), front.end());
  }
  const gfx::Point last = samples.back();
  if (last.x < 255) {
    for (int i = static_cast<int>(last.x + 1); i <= 255; ++i) samples.push_back({static_cast<float>(i), 255.0f});
  }
  Curve curve;
  curve.reserve(samples.size());
  for (const gfx::Point& p : samples) {
    const float distance = std::fabs(p.x - p.y);
    curve.push_back(p.x > p.y ? -distance : distance);
  }
  return curve;
}

GPUToneCurveFilter::Points GPUToneCurveFilter::splineCurve(const Points& points) {
  const std::vector<double> d = secondDerivative(points);
  const std::size_t n = d.size();
  Points out;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    const gfx::Point cur = points[i], next = points[i + 1];
    for (int x = static_cast<int>(cur.x); x < static_cast<int>(next.x); ++x) {
      const double h = next.x - cur.x;
      const double t = (x - cur.x) / h;
      const double a = 1 - t, b = t;
      double y = a * cur.y + b * next.y + (h * h / 6) * ((a * a * a - a) * d[i] + (b * b * b - b) * d[i + 1]);
      y = std::clamp(y, 0.0, 255.0);
      out.push_back({static_cast<float>(x), static_cast<float>(y)});
    }
  }
  if (out.size() == 255) out.push_back(points.back());
  return out;
}

std::vector<double> GPUToneCurveFilter::secondDerivative(const Points& p) {
  const std::size_t n = p.size();
  if (n <= 1) return {};
  std::vector<double> a(n, 0), b(n, 0), c(n, 0), r(n, 0);
  b[0] = b[n - 1] = 1;
  for (std::size_t i = 1; i + 1 < n; ++i) {
    const gfx::Point p1 = p[i - 1], p2 = p[i], p3 = p[i + 1];
    a[i] = static_cast<double>(p2.x - p1.x) / 6;
    b[i] = static_cast<double>(p3.x - p1.x) / 3;
    c[i] = static_cast<double>(p3.x - p2.x) / 6;
    r[i] = static_cast<double>(p3.y - p2.y) / static_cast<double>(p3.x - p2.x) -
           static_cast<double>(p2.y - p1.y) / static_cast<double>(p2.x - p1.x);
  }
  for (std::size_t i = 1; i < n; ++i) {
    const double k = a[i] / b[i - 1];
    b[i] -= k * c[i - 1];
    a[i] = 0;
    r[i] -= k * r[i - 1];
  }
  for (std::size_t i = n - 1; i-- > 0;) {
    const double k = c[i] / b[i + 1];
    b[i] -= k * a[i + 1];
    c[i] = 0;
    r[i] -= k * r[i + 1];
  }
  std::vector<double> result(n);
  for (std::size_t i = 0; i < n; ++i) result[i] = r[i] / b[i];
  return result;
}

std::vector<std::uint8_t> GPUToneCurveFilter::lookupBytes(const Curve& red, const Curve& green, const Curve& blue,
                                                          const Curve& composite) {
  if (red.size() < 256 || green.size() < 256 || blue.size() < 256 || composite.size() < 256) return {};
  std::vector<std::uint8_t> bytes(1024);
  auto level = [](int i, float channel, float all) {
    const float sum = static_cast<float>(i) + channel + all;
    return static_cast<std::uint8_t>(std::clamp(static_cast<double>(sum), 0.0, 255.0));
  };
  for (int i = 0; i < 256; ++i) {
    const auto k = static_cast<std::size_t>(i);
    bytes[4 * k] = level(i, blue[k], composite[k]);
    bytes[4 * k + 1] = level(i, green[k], composite[k]);
    bytes[4 * k + 2] = level(i, red[k], composite[k]);
    bytes[4 * k + 3] = 255;
  }
  return bytes;
}

void GPUToneCurveFilter::updateToneCurveTexture() {
  performOnProcessingQueueSync([this] {
    if (!GPUOpenGLESContext::useImageProcessingContext()) return;
    glActiveTexture(GL_TEXTURE3);
    if (!toneCurveTexture_) {
      toneCurveTexture_ = glx::TextureHandle::make();
      glBindTexture(GL_TEXTURE_2D, toneCurveTexture_.get());
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
      toneCurveByteArray_.assign(1024, 0);
      // Zeroed storage, so a lookup that never received curves reads as
      // transparent black rather than undefined memory.
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 256, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, toneCurveByteArray_.data());
    } else {
      glBindTexture(GL_TEXTURE_2D, toneCurveTexture_.get());
    }
    std::vector<std::uint8_t> bytes = lookupBytes(redCurve_, greenCurve_, blueCurve_, rgbCompositeCurve_);
    if (bytes.empty()) return;
    toneCurveByteArray_ = std::move(bytes);
    // Swapped to RGBA here: the BGRA upload format is an extension that not
    // every ES driver takes for a 256 x 1 texture.
    std::vector<std::uint8_t> rgba(toneCurveByteArray_);
    for (std::size_t i = 0; i < rgba.size(); i += 4) std::swap(rgba[i], rgba[i + 2]);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 256, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  });
}

void GPUToneCurveFilter::renderToTextureWithVertices(const GPUQuad& vertices, const GPUQuad& textureCoordinates,
                                                     GLuint sourceTexture) {
  if (preventRendering() || filterProgram_ == nullptr) return;
  prepareToDraw();
  glActiveTexture(GL_TEXTURE3);
  glBindTexture(GL_TEXTURE_2D, toneCurveTexture_.get());
  glUniform1i(toneCurveTextureUniform_, 3);
  drawQuad(filterProgram_, vertices, textureCoordinates, sourceTexture, filterInputTextureUniform_, 2);
}

void registerToneCurveFilters() {
  GPUFilterRegistry::shared().registerClass(
      GPUFilterClass::of<GPUToneCurveFilter>("GPUToneCurveFilter")
          .message("setPointsWithACV:", &GPUToneCurveFilter::loadPointsWithACV, [](const std::string& name) -> fd::Status {
            if (auto file = GPUToneCurveFilter::curveFileNamed(name); !file) return fd::fail("refuses the curve file " + file.error());
            return {};
          }));
}
