#pragma once
// Filters that move pixels: each output pixel samples the input at a
// displaced coordinate. Centres are normalised texture coordinates; the
// distortions send the shader the centre mapped through the input rotation
// while center() answers the point that was set.
#include "gpu/GPUFilter.h"
#include "gpu/filters/GPUStockFilterSupport.h"

// Keeps its centre and follows the input rotation with it.
class GPUCenteredFilter {
 public:
  gfx::Point center() const { return center_; }

 protected:
  // Stores, maps through the rotation and sends the point.
  void sendCenter(GPUFilter& filter, gfx::Point p, GLint uniform);
  gfx::Point center_{0.5f, 0.5f};
};

// A round region around a centre, in a space corrected by the aspect ratio:
// what the bulge, the pinch and the spheres share.
class GPURoundDistortionFilter : public GPUAspectRatioFilter, public GPUCenteredFilter {
 public:
  void setCenter(gfx::Point p) { sendCenter(*this, p, centerUniform_); }
  void setRadius(float v);
  void setAspectRatio(float v) override;
  float radius() const { return radius_; }
  float aspectRatio() const { return aspectRatio_; }
  void setInputRotation(RotationMode rotation, int textureIndex) override;

 protected:
  GPURoundDistortionFilter(const std::string& shader, float radius);

 private:
  GLint centerUniform_ = -1, radiusUniform_ = -1, aspectRatioUniform_ = -1;
  float radius_ = 0.25f, aspectRatio_ = 0;
};

// The bulge and the pinch: a scale of the displacement.
class GPURadialDistortionFilter : public GPURoundDistortionFilter {
 public:
  void setScale(float v);
  float scale() const { return scale_; }

 protected:
  GPURadialDistortionFilter(const char* shader, float radius);

 private:
  GLint scaleUniform_ = -1;
  float scale_ = 0.5f;
};

class GPUBulgeDistortionFilter : public GPURadialDistortionFilter {
 public:
  GPUBulgeDistortionFilter();
};

// Pulls inward; its strength falls off from a fixed 0.5, not the radius.
class GPUPinchDistortionFilter : public GPURadialDistortionFilter {
 public:
  GPUPinchDistortionFilter();
};

class GPUStretchDistortionFilter : public GPUFilter, public GPUCenteredFilter {
 public:
  GPUStretchDistortionFilter();
  void setCenter(gfx::Point p) { sendCenter(*this, p, centerUniform_); }
  void setInputRotation(RotationMode rotation, int textureIndex) override;

 private:
  GLint centerUniform_ = -1;
};

class GPUSwirlFilter : public GPUFilter, public GPUCenteredFilter {
 public:
  GPUSwirlFilter();
  void setCenter(gfx::Point p) { sendCenter(*this, p, centerUniform_); }
  void setRadius(float v);
  void setAngle(float v);
  float radius() const { return radius_; }
  float angle() const { return angle_; }
  void setInputRotation(RotationMode rotation, int textureIndex) override;

 private:
  GLint centerUniform_ = -1, radiusUniform_ = -1, angleUniform_ = -1;
  float radius_ = 0.5f, angle_ = 1.0f;
};

// The picture seen through a glass ball; outside the ball transparent black.
class GPUSphereRefractionFilter : public GPURoundDistortionFilter {
 public:
  GPUSphereRefractionFilter();
  explicit GPUSphereRefractionFilter(const std::string& fragmentShader);
  void setRefractiveIndex(float v);
  float refractiveIndex() const { return refractiveIndex_; }

 private:
  GLint refractiveIndexUniform_ = -1;
  float refractiveIndex_ = 0.71f;
};

// The ball shaded as glass, the picture inverted inside it.
class GPUGlassSphereFilter : public GPUSphereRefractionFilter {
 public:
  GPUGlassSphereFilter();
};

// A 3D transform in the platform's row-vector layout (m11 .. m44).
struct GPUTransform3D {
  float m11 = 1, m12 = 0, m13 = 0, m14 = 0;
  float m21 = 0, m22 = 1, m23 = 0, m24 = 0;
  float m31 = 0, m32 = 0, m33 = 1, m34 = 0;
  float m41 = 0, m42 = 0, m43 = 0, m44 = 1;
  bool operator==(const GPUTransform3D&) const = default;
  static GPUTransform3D fromAffine(const gfx::AffineTransform& t);
  gfx::AffineTransform affine() const { return {m11, m12, m21, m22, m41, m42}; }
};

// Moves the whole picture through a 3D or affine transform, by default in a
// space that keeps the picture's aspect ratio.
class GPUTransformFilter : public GPUFilter {
 public:
  GPUTransformFilter();
  void setTransform3D(const GPUTransform3D& t);
  const GPUTransform3D& transform3D() const { return transform3D_; }
  void setAffineTransform(const gfx::AffineTransform& t) { setTransform3D(GPUTransform3D::fromAffine(t)); }
  gfx::AffineTransform affineTransform() const { return transform3D_.affine(); }
  void setIgnoreAspectRatio(bool on);
  bool ignoreAspectRatio() const { return ignoreAspectRatio_; }
  void setAnchorTopLeft(bool on);
  bool anchorTopLeft() const { return anchorTopLeft_; }
  const GPUMatrix4x4& orthographicMatrix() const { return orthographicMatrix_; }

  GPUMatrix4x4 loadOrthoMatrix(float left, float right, float bottom, float top, float near, float far) const;
  void setupFilterForSize(gfx::Size size) override;
  void newFrameReadyAtTime(CMTime frameTime, int textureIndex) override;

 private:
  void sendOrthographicMatrix(const GPUMatrix4x4& m);
  GLint transformMatrixUniform_ = -1, orthographicMatrixUniform_ = -1;
  GPUTransform3D transform3D_;
  GPUMatrix4x4 orthographicMatrix_;
  bool ignoreAspectRatio_ = false, anchorTopLeft_ = false;
};

// A rectangle of the input, at that rectangle's own size.
class GPUCropFilter : public GPUFilter {
 public:
  GPUCropFilter() : GPUCropFilter(gfx::Rect{0, 0, 1, 1}) {}
  explicit GPUCropFilter(const gfx::Rect& cropRegion);
  void setCropRegion(const gfx::Rect& region);
  const gfx::Rect& cropRegion() const { return cropRegion_; }
  const GPUQuad& cropTextureCoordinates() const { return cropTextureCoordinates_; }
  gfx::Size originallySuppliedInputSize() const { return originallySuppliedInputSize_; }

  void setInputRotation(RotationMode rotation, int textureIndex) override;
  void setInputSize(gfx::Size size, int textureIndex) override;
  void newFrameReadyAtTime(CMTime frameTime, int textureIndex) override;

 private:
  void calculateCropTextureCoordinates();
  gfx::Rect cropRegion_;
  GPUQuad cropTextureCoordinates_{};
  gfx::Size originallySuppliedInputSize_;
};

void registerDistortionFilters();
