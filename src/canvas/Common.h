#pragma once
// GL state every drawing object of the canvas needs: render colour and size,
// view and backing sizes with their scales, program and texture binding, blend
// set-up and clearing. Called with its canvas's context current.
#include <GLES2/gl2.h>

#include <optional>

#include "canvas/BrushSettings.h"
#include "platform/gl/Handles.h"
#include "platform/graphics/Geometry.h"

class ProgramObject;
class TextureObject;

class Common {
 public:
  Common() = default;
  Common(unsigned backingWidth, unsigned backingHeight);
  virtual ~Common() = default;
  Common(const Common&) = delete;
  Common& operator=(const Common&) = delete;

  virtual void loadShadersAndTextures() {}

  // nullopt is ignored.
  void setRenderColor(std::optional<gfx::Color> color);
  virtual void setRenderColorWithRed(float r, float g, float b, float a);
  gfx::Color renderColor() const { return settings_.color; }
  virtual void setRenderSize(float size) { settings_.size = size; }
  float renderSize() const { return settings_.size; }
  const RenderSettings& settings() const { return settings_; }

  virtual bool openProgramWithViewWidth(unsigned viewWidth, unsigned viewHeight, float scaleFactor = 1.0f);
  virtual bool updateBackingWidth(unsigned width, unsigned height);
  virtual bool updateViewWidth(unsigned width, unsigned height);

  bool useProgram(const ProgramObject* program);
  bool useTexture(const TextureObject* texture, GLenum unit = GL_TEXTURE0);
  // Creates the texture (clamped to edge) the first time it is empty.
  void bindTextureAtPosition(GLenum unit, glx::TextureHandle& texture);

  void clear() { clearWithRed(0, 0, 0, 0); }
  void clearWithRed(float r, float g, float b, float a);

  virtual void setBlendModeWithColorEquation(GLenum colorEquation, GLenum alphaEquation);
  virtual void setBlendWithSCFactor(GLenum sc, GLenum dc, GLenum sa, GLenum da);
  virtual void setBlendWithSFactor(GLenum s, GLenum d);

  unsigned viewWidth() const { return viewWidth_; }
  unsigned viewHeight() const { return viewHeight_; }
  unsigned backingWidth() const { return backingWidth_; }
  unsigned backingHeight() const { return backingHeight_; }
  float alphaValue() const { return settings_.alpha; }
  virtual void setAlphaValue(float a) { settings_.alpha = a; }
  double scaleX() const { return scaleX_; }
  double scaleY() const { return scaleY_; }
  float scaleFactor() const { return scaleFactor_; }
  void setScaleFactor(float s) { scaleFactor_ = s; }
  bool textureEnabled() const { return textureEnabled_; }
  bool programEnabled() const { return programEnabled_; }

 protected:
  void recomputeScales();

  // The render state, one value (colour, opacity, size, tip, dab style,
  // blend, smudge).
  RenderSettings settings_;
  unsigned backingWidth_ = 0, backingHeight_ = 0, viewWidth_ = 0, viewHeight_ = 0;
  float scaleFactor_ = 1.0f;
  double scaleX_ = 0, scaleY_ = 0;
  bool textureEnabled_ = false, programEnabled_ = false;
};
