#include "gpu/filters/distortion/GPUDistortionFilters.h"

#include <cmath>

#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUOpenGLESContext.h"

namespace {

#define DISTORTION_HEAD                     \
  "precision highp float;\n"                \
  "varying highp vec2 textureCoordinate;\n" \
  "uniform sampler2D inputImageTexture;\n"

constexpr const char* kBulgeShader = DISTORTION_HEAD
    "uniform float aspectRatio;\n"
    "uniform vec2 center;\n"
    "uniform float radius;\n"
    "uniform float scale;\n"
    "void main() {\n"
    "  vec2 tc = textureCoordinate;\n"
    "  vec2 aspectTc = vec2(tc.x, tc.y * aspectRatio + 0.5 - 0.5 * aspectRatio);\n"
    "  float d = distance(center, aspectTc);\n"
    "  if (d < radius) {\n"
    "    tc -= center;\n"
    "    float f = 1.0 - ((radius - d) / radius) * scale;\n"
    "    f = f * f;\n"
    "    tc = tc * f + center;\n"
    "  }\n"
    "  gl_FragColor = texture2D(inputImageTexture, tc);\n}\n";

constexpr const char* kPinchShader = DISTORTION_HEAD
    "uniform float aspectRatio;\n"
    "uniform vec2 center;\n"
    "uniform float radius;\n"
    "uniform float scale;\n"
    "void main() {\n"
    "  vec2 tc = textureCoordinate;\n"
    "  vec2 aspectTc = vec2(tc.x, tc.y * aspectRatio + 0.5 - 0.5 * aspectRatio);\n"
    "  float d = distance(center, aspectTc);\n"
    "  if (d < radius) {\n"
    "    tc -= center;\n"
    "    float f = 1.0 + ((0.5 - d) / 0.5) * scale;\n"
    "    tc = tc * f + center;\n"
    "  }\n"
    "  gl_FragColor = texture2D(inputImageTexture, tc);\n}\n";

constexpr const char* kStretchShader = DISTORTION_HEAD
    "uniform vec2 center;\n"
    "void main() {\n"
    "  vec2 n = 2.0 * textureCoordinate - 1.0;\n"
    "  vec2 c = 2.0 * center - 1.0;\n"
    "  n -= c;\n"
    "  vec2 s = sign(n);\n"
    "  n = abs(n);\n"
    "  n = 0.5 * n + 0.5 * smoothstep(0.25, 0.5, n) * n;\n"
    "  n = s * n + c;\n"
    "  gl_FragColor = texture2D(inputImageTexture, n / 2.0 + 0.5);\n}\n";

constexpr const char* kSwirlShader = DISTORTION_HEAD
    "uniform vec2 center;\n"
    "uniform float radius;\n"
    "uniform float angle;\n"
    "void main() {\n"
    "  vec2 tc = textureCoordinate;\n"
    "  float d = distance(center, tc);\n"
    "  if (d < radius) {\n"
    "    tc -= center;\n"
    "    float f = (radius - d) / radius;\n"
    "    float theta = f * f * angle * 8.0;\n"
    "    float s = sin(theta);\n"
    "    float c = cos(theta);\n"
    "    tc = vec2(dot(tc, vec2(c, -s)), dot(tc, vec2(s, c)));\n"
    "    tc += center;\n"
    "  }\n"
    "  gl_FragColor = texture2D(inputImageTexture, tc);\n}\n";

// The depth under the ball is taken as 0 outside it, where the pixel is
// masked anyway, so no square root of a negative number reaches the output.
#define SPHERE_NORMAL                                                                     \
  "uniform vec2 center;\n"                                                                \
  "uniform float radius;\n"                                                               \
  "uniform float aspectRatio;\n"                                                          \
  "uniform float refractiveIndex;\n"                                                      \
  "void main() {\n"                                                                       \
  "  vec2 aspectTc = vec2(textureCoordinate.x,\n"                                         \
  "                       textureCoordinate.y * aspectRatio + 0.5 - 0.5 * aspectRatio);\n" \
  "  float d = distance(center, aspectTc);\n"                                             \
  "  float inside = step(d, radius);\n"                                                   \
  "  float q = d / radius;\n"                                                             \
  "  float depth = radius * sqrt(max(1.0 - q * q, 0.0));\n"                               \
  "  vec3 normal = normalize(vec3(aspectTc - center, depth));\n"

constexpr const char* kSphereShader = DISTORTION_HEAD SPHERE_NORMAL
    "  vec3 v = refract(vec3(0.0, 0.0, -1.0), normal, refractiveIndex);\n"
    "  gl_FragColor = texture2D(inputImageTexture, (v.xy + 1.0) * 0.5) * inside;\n}\n";

constexpr const char* kGlassShader = DISTORTION_HEAD SPHERE_NORMAL
    "  vec3 v = 2.0 * refract(vec3(0.0, 0.0, -1.0), normal, refractiveIndex);\n"
    "  v.xy = -v.xy;\n"
    "  vec3 colour = texture2D(inputImageTexture, (v.xy + 1.0) * 0.5).rgb;\n"
    "  colour += 2.5 * (1.0 - pow(clamp(dot(normal, vec3(0.0, 0.0, 1.0)), 0.0, 1.0), 0.25));\n"
    "  colour += vec3(0.8) * pow(clamp(dot(normalize(vec3(-0.5, 0.5, 1.0)), normal), 0.0, 1.0), 15.0);\n"
    "  gl_FragColor = vec4(colour, 1.0) * inside;\n}\n";

constexpr const char* kTransformVertexShader =
    "attribute vec4 position;\n"
    "attribute vec4 inputTextureCoordinate;\n"
    "uniform mat4 transformMatrix;\n"
    "uniform mat4 orthographicMatrix;\n"
    "varying vec2 textureCoordinate;\n"
    "void main() {\n"
    "  gl_Position = transformMatrix * vec4(position.xyz, 1.0) * orthographicMatrix;\n"
    "  textureCoordinate = inputTextureCoordinate.xy;\n}\n";

}  // namespace

void GPUCenteredFilter::sendCenter(GPUFilter& filter, gfx::Point p, GLint uniform) {
  center_ = p;
  filter.setPoint(rotatedPoint(p, filter.inputRotation()), uniform, filter.filterProgram());
}

// --- round regions: bulge, pinch, spheres

GPURoundDistortionFilter::GPURoundDistortionFilter(const std::string& shader, float radius)
    : GPUAspectRatioFilter(shader) {
  radiusUniform_ = stockUniformIndex(*this, "radius");
  aspectRatioUniform_ = stockUniformIndex(*this, "aspectRatio");
  centerUniform_ = stockUniformIndex(*this, "center");
  setRadius(radius);
  setCenter({0.5f, 0.5f});
  setAspectRatio(0.0f);
}
void GPURoundDistortionFilter::setRadius(float v) {
  radius_ = v;
  setFloat(v, radiusUniform_, filterProgram());
}
void GPURoundDistortionFilter::setAspectRatio(float v) {
  aspectRatio_ = v;
  setFloat(v, aspectRatioUniform_, filterProgram());
}
void GPURoundDistortionFilter::setInputRotation(RotationMode rotation, int textureIndex) {
  GPUFilter::setInputRotation(rotation, textureIndex);
  setCenter(center_);
}

GPURadialDistortionFilter::GPURadialDistortionFilter(const char* shader, float radius)
    : GPURoundDistortionFilter(shader, radius) {
  scaleUniform_ = stockUniformIndex(*this, "scale");
  setScale(0.5f);
}
void GPURadialDistortionFilter::setScale(float v) {
  scale_ = v;
  setFloat(v, scaleUniform_, filterProgram());
}

GPUBulgeDistortionFilter::GPUBulgeDistortionFilter() : GPURadialDistortionFilter(kBulgeShader, 0.25f) {}
GPUPinchDistortionFilter::GPUPinchDistortionFilter() : GPURadialDistortionFilter(kPinchShader, 1.0f) {}

// --- stretch and swirl

GPUStretchDistortionFilter::GPUStretchDistortionFilter() : GPUFilter(kStretchShader) {
  centerUniform_ = stockUniformIndex(*this, "center");
  setCenter({0.5f, 0.5f});
}
void GPUStretchDistortionFilter::setInputRotation(RotationMode rotation, int textureIndex) {
  GPUFilter::setInputRotation(rotation, textureIndex);
  setCenter(center_);
}

GPUSwirlFilter::GPUSwirlFilter() : GPUFilter(kSwirlShader) {
  centerUniform_ = stockUniformIndex(*this, "center");
  radiusUniform_ = stockUniformIndex(*this, "radius");
  angleUniform_ = stockUniformIndex(*this, "angle");
  setCenter({0.5f, 0.5f});
  setRadius(0.5f);
  setAngle(1.0f);
}
void GPUSwirlFilter::setRadius(float v) {
  radius_ = v;
  setFloat(v, radiusUniform_, filterProgram());
}
void GPUSwirlFilter::setAngle(float v) {
  angle_ = v;
  setFloat(v, angleUniform_, filterProgram());
}
void GPUSwirlFilter::setInputRotation(RotationMode rotation, int textureIndex) {
  GPUFilter::setInputRotation(rotation, textureIndex);
  setCenter(center_);
}

// --- spheres

GPUSphereRefractionFilter::GPUSphereRefractionFilter() : GPUSphereRefractionFilter(kSphereShader) {}
GPUSphereRefractionFilter::GPUSphereRefractionFilter(const std::string& fragmentShader)
    : GPURoundDistortionFilter(fragmentShader, 0.25f) {
  refractiveIndexUniform_ = stockUniformIndex(*this, "refractiveIndex");
  setRefractiveIndex(0.71f);
  setBackgroundColorRed(0, 0, 0, 0);
}
void GPUSphereRefractionFilter::setRefractiveIndex(float v) {
  refractiveIndex_ = v;
  setFloat(v, refractiveIndexUniform_, filterProgram());
}

GPUGlassSphereFilter::GPUGlassSphereFilter() : GPUSphereRefractionFilter(kGlassShader) {}

// --- transform

GPUTransform3D GPUTransform3D::fromAffine(const gfx::AffineTransform& t) {
  GPUTransform3D m;
  m.m11 = t.a;
  m.m12 = t.b;
  m.m21 = t.c;
  m.m22 = t.d;
  m.m41 = t.tx;
  m.m42 = t.ty;
  return m;
}

GPUTransformFilter::GPUTransformFilter() : GPUFilter(kTransformVertexShader, kGPUPassthroughFragmentShaderString) {
  transformMatrixUniform_ = stockUniformIndex(*this, "transformMatrix");
  orthographicMatrixUniform_ = stockUniformIndex(*this, "orthographicMatrix");
  setTransform3D(GPUTransform3D{});
  // Until the first framebuffer fixes the aspect ratio, the plain square space.
  sendOrthographicMatrix(loadOrthoMatrix(-1, 1, -1, 1, -1, 1));
}

void GPUTransformFilter::setTransform3D(const GPUTransform3D& t) {
  transform3D_ = t;
  const GPUMatrix4x4 m{{t.m11, t.m12, t.m13, t.m14},
                       {t.m21, t.m22, t.m23, t.m24},
                       {t.m31, t.m32, t.m33, t.m34},
                       {t.m41, t.m42, t.m43, t.m44}};
  setMatrix4f(m, transformMatrixUniform_, filterProgram());
}

GPUMatrix4x4 GPUTransformFilter::loadOrthoMatrix(float left, float right, float bottom, float top, float near,
                                                 float far) const {
  const float s = anchorTopLeft_ ? 4.0f : 2.0f;
  const float tx = anchorTopLeft_ ? -1.0f : -(right + left) / (right - left);
  const float ty = anchorTopLeft_ ? -1.0f : -(top + bottom) / (top - bottom);
  return {{s / (right - left), 0, 0, tx},
          {0, s / (top - bottom), 0, ty},
          {0, 0, s / (far - near), -(far + near) / (far - near)},
          {0, 0, 0, 1}};
}

void GPUTransformFilter::sendOrthographicMatrix(const GPUMatrix4x4& m) {
  orthographicMatrix_ = m;
  setMatrix4f(m, orthographicMatrixUniform_, filterProgram());
}

void GPUTransformFilter::setupFilterForSize(gfx::Size size) {
  if (ignoreAspectRatio_ || size.width <= 0) return;
  const float n = size.height / size.width;
  sendOrthographicMatrix(loadOrthoMatrix(-1, 1, -n, n, -1, 1));
}

void GPUTransformFilter::setIgnoreAspectRatio(bool on) {
  ignoreAspectRatio_ = on;
  if (on) {
    sendOrthographicMatrix(loadOrthoMatrix(-1, 1, -1, 1, -1, 1));
  } else {
    setupFilterForSize(sizeOfFBO());
  }
}

void GPUTransformFilter::setAnchorTopLeft(bool on) {
  anchorTopLeft_ = on;
  setIgnoreAspectRatio(ignoreAspectRatio_);
}

void GPUTransformFilter::newFrameReadyAtTime(CMTime frameTime, int) {
  outputTextureRetainCount_ = static_cast<unsigned>(targets_.size());
  const gfx::Size size = sizeOfFBO();
  const float n = size.width > 0 ? size.height / size.width : 1.0f;
  GPUQuad vertices;
  if (ignoreAspectRatio_) {
    vertices = anchorTopLeft_ ? GPUQuad{0, 0, 1, 0, 0, 1, 1, 1} : kFullFrameVertices;
  } else {
    vertices = anchorTopLeft_ ? GPUQuad{0, 0, 1, 0, 0, n, 1, n} : GPUQuad{-1, -n, 1, -n, -1, n, 1, n};
  }
  renderToTextureWithVertices(vertices, textureCoordinatesForRotation(inputRotation_), filterSourceTexture_);
  informTargetsAboutNewFrameAtTime(frameTime);
}

// --- crop

GPUCropFilter::GPUCropFilter(const gfx::Rect& cropRegion) : GPUFilter() { setCropRegion(cropRegion); }

void GPUCropFilter::setCropRegion(const gfx::Rect& region) {
  cropRegion_ = region;
  calculateCropTextureCoordinates();
}

void GPUCropFilter::setInputRotation(RotationMode rotation, int textureIndex) {
  GPUFilter::setInputRotation(rotation, textureIndex);
  calculateCropTextureCoordinates();
}

void GPUCropFilter::calculateCropTextureCoordinates() {
  const float minX = cropRegion_.minX(), minY = cropRegion_.minY();
  const float maxX = cropRegion_.maxX(), maxY = cropRegion_.maxY();
  switch (inputRotation_) {
    case RotationNone: cropTextureCoordinates_ = {minX, minY, maxX, minY, minX, maxY, maxX, maxY}; break;
    case RotationLeft: cropTextureCoordinates_ = {maxX, minY, maxX, maxY, minX, minY, minX, maxY}; break;
    case RotationRight:
      cropTextureCoordinates_ = {minY, 1 - minX, minY, 1 - maxX, maxY, 1 - minX, maxY, 1 - maxX};
      break;
    case RotationFlipVertical: cropTextureCoordinates_ = {minX, maxY, maxX, maxY, minX, minY, maxX, minY}; break;
    case RotationFlipHorizontal: cropTextureCoordinates_ = {maxX, minY, minX, minY, maxX, maxY, minX, maxY}; break;
    case RotationRightFlipVertical:
      cropTextureCoordinates_ = {minY, 1 - maxX, minY, 1 - minX, maxY, 1 - maxX, maxY, 1 - minX};
      break;
    case Rotation180: cropTextureCoordinates_ = {maxX, maxY, maxX, minY, minX, maxY, minX, minY}; break;
  }
}

void GPUCropFilter::setInputSize(gfx::Size size, int textureIndex) {
  if (preventRendering()) return;
  const gfx::Size rotated = rotatedSize(size, textureIndex);
  originallySuppliedInputSize_ = rotated;
  const gfx::Size scaled{rotated.width * cropRegion_.width, rotated.height * cropRegion_.height};
  if (scaled == gfx::Size{}) {
    inputTextureSize_ = scaled;
  } else if (!(scaled == inputTextureSize_)) {
    inputTextureSize_ = scaled;
    recreateFilterFBO();
  }
}

void GPUCropFilter::newFrameReadyAtTime(CMTime frameTime, int) {
  outputTextureRetainCount_ = static_cast<unsigned>(targets_.size());
  renderToTextureWithVertices(kFullFrameVertices, cropTextureCoordinates_, filterSourceTexture_);
  informTargetsAboutNewFrameAtTime(frameTime);
}

void registerDistortionFilters() {
  auto& r = GPUFilterRegistry::shared();
  using C = GPUFilterClass;
  auto radial = [](C c) {
    return c.message("setCenter:", &GPURadialDistortionFilter::setCenter)
        .message("setRadius:", &GPURadialDistortionFilter::setRadius)
        .message("setScale:", &GPURadialDistortionFilter::setScale);
  };
  r.registerClass(radial(C::of<GPUBulgeDistortionFilter>("GPUBulgeDistortionFilter")));
  r.registerClass(radial(C::of<GPUPinchDistortionFilter>("GPUPinchDistortionFilter")));
  r.registerClass(C::of<GPUStretchDistortionFilter>("GPUStretchDistortionFilter")
                      .message("setCenter:", &GPUStretchDistortionFilter::setCenter));
  r.registerClass(C::of<GPUSwirlFilter>("GPUSwirlFilter")
                      .message("setCenter:", &GPUSwirlFilter::setCenter)
                      .message("setRadius:", &GPUSwirlFilter::setRadius)
                      .message("setAngle:", &GPUSwirlFilter::setAngle));
  auto sphere = [](C c) {
    return c.message("setCenter:", &GPUSphereRefractionFilter::setCenter)
        .message("setRadius:", &GPUSphereRefractionFilter::setRadius)
        .message("setRefractiveIndex:", &GPUSphereRefractionFilter::setRefractiveIndex);
  };
  r.registerClass(sphere(C::of<GPUSphereRefractionFilter>("GPUSphereRefractionFilter")));
  r.registerClass(sphere(C::of<GPUGlassSphereFilter>("GPUGlassSphereFilter")));
  r.registerClass(C::of<GPUTransformFilter>("GPUTransformFilter"));
  r.registerClass(C::of<GPUCropFilter>("GPUCropFilter"));
}
