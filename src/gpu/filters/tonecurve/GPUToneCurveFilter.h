#pragma once
// Remaps red, green and blue through smooth curves (natural cubic splines
// through control points in 0..1): one curve per channel plus a composite
// applied to all three, sampled at the 256 levels into a 256 x 1 lookup
// texture that the shader reads on texture unit 3.
#include <filesystem>
#include <optional>
#include <vector>

#include "gpu/GPUFilter.h"
#include "gpu/filters/tonecurve/GPUACVFile.h"

class GPUToneCurveFilter : public GPUFilter {
 public:
  using Points = std::vector<gfx::Point>;
  using Curve = std::vector<float>;

  // The identity curve on all four.
  GPUToneCurveFilter();
  // The curves of a curve file; a file that fails leaves the curves empty
  // and the lookup unfilled (the output is then black, fully transparent).
  explicit GPUToneCurveFilter(const std::filesystem::path& curveFile);
  ~GPUToneCurveFilter() override;

  // Reads a curve file into an existing filter; the failure when it cannot.
  // Curves the file lacks are set to the identity.
  fd::Expected<void> setPointsWithACVURL(const std::filesystem::path& curveFile);
  // The bundle resource "<name>.acv"; a name that leads out of the resources
  // (an absolute path, "..") is refused.
  fd::Expected<void> setPointsWithACV(const std::string& name);
  // The curve file a name stands for, or why the name is refused.
  static fd::Expected<std::filesystem::path> curveFileNamed(const std::string& name);
  // The same for a configuration: a failure is logged.
  void loadPointsWithACV(const std::string& name);

  void setRgbCompositeControlPoints(const Points& points);
  void setRedControlPoints(const Points& points);
  void setGreenControlPoints(const Points& points);
  void setBlueControlPoints(const Points& points);
  void setRGBControlPoints(const Points& points);
  const Points& rgbCompositeControlPoints() const { return rgbCompositeControlPoints_; }
  const Points& redControlPoints() const { return redControlPoints_; }
  const Points& greenControlPoints() const { return greenControlPoints_; }
  const Points& blueControlPoints() const { return blueControlPoints_; }

  // The curve as an offset per level (entry i is added to level i); empty for
  // no points. Points sharing an x keep the last given; a single point gives
  // a flat curve at its level.
  static Curve getPreparedSplineCurve(const Points& points);
  // The spline through points on the 0..255 scale, one sample per level.
  static Points splineCurve(const Points& points);
  // Its second derivatives; empty for fewer than two points.
  static std::vector<double> secondDerivative(const Points& points);
  // The 256 BGRA texels the lookup holds for the four prepared curves; empty
  // when any is shorter than 256.
  static std::vector<std::uint8_t> lookupBytes(const Curve& red, const Curve& green, const Curve& blue,
                                               const Curve& composite);

  void renderToTextureWithVertices(const GPUQuad& vertices, const GPUQuad& textureCoordinates,
                                   GLuint sourceTexture) override;
  GLuint toneCurveTexture() const { return toneCurveTexture_.get(); }

 private:
  void updateToneCurveTexture();
  GLint toneCurveTextureUniform_ = -1;
  glx::TextureHandle toneCurveTexture_;
  std::vector<std::uint8_t> toneCurveByteArray_;
  Curve redCurve_, greenCurve_, blueCurve_, rgbCompositeCurve_;
  Points rgbCompositeControlPoints_, redControlPoints_, greenControlPoints_, blueControlPoints_;
};

void registerToneCurveFilters();
