#include "canvas/Common.h"

#include "canvas/ProgramObject.h"
#include "canvas/TextureObject.h"

Common::Common(unsigned backingWidth, unsigned backingHeight) { updateBackingWidth(backingWidth, backingHeight); }

void Common::setRenderColor(std::optional<gfx::Color> color) {
  if (!color) return;
  setRenderColorWithRed(color->r, color->g, color->b, color->a);
}

void Common::setRenderColorWithRed(float r, float g, float b, float a) {
  settings_.color = {r, g, b, a};
}

void Common::recomputeScales() {
  scaleX_ = backingWidth_ != 0 ? static_cast<double>(viewWidth_) / backingWidth_ : 0.0;
  scaleY_ = backingHeight_ != 0 ? static_cast<double>(viewHeight_) / backingHeight_ : 0.0;
}

bool Common::openProgramWithViewWidth(unsigned viewWidth, unsigned viewHeight, float scaleFactor) {
  viewWidth_ = viewWidth;
  viewHeight_ = viewHeight;
  scaleFactor_ = scaleFactor;
  recomputeScales();
  return backingWidth_ != 0;
}

bool Common::updateBackingWidth(unsigned width, unsigned height) {
  backingWidth_ = width;
  backingHeight_ = height;
  recomputeScales();
  return true;
}

bool Common::updateViewWidth(unsigned width, unsigned height) {
  viewWidth_ = width;
  viewHeight_ = height;
  recomputeScales();
  return true;
}

bool Common::useProgram(const ProgramObject* program) {
  if (program != nullptr && program->isEnabled()) {
    glUseProgram(program->programID());
    programEnabled_ = true;
    return true;
  }
  programEnabled_ = false;
  return false;
}

bool Common::useTexture(const TextureObject* texture, GLenum unit) {
  glActiveTexture(unit);
  if (texture != nullptr && texture->isEnabled()) {
    glBindTexture(GL_TEXTURE_2D, texture->textureID());
    textureEnabled_ = true;
    return true;
  }
  textureEnabled_ = false;
  return false;
}

void Common::bindTextureAtPosition(GLenum unit, glx::TextureHandle& texture) {
  glActiveTexture(unit);
  if (!texture) {
    texture = glx::TextureHandle::make();
    glBindTexture(GL_TEXTURE_2D, texture.get());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  }
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glBindTexture(GL_TEXTURE_2D, texture.get());
}

void Common::clearWithRed(float r, float g, float b, float a) {
  glClearColor(r, g, b, a);
  glClear(GL_COLOR_BUFFER_BIT);
}

void Common::setBlendModeWithColorEquation(GLenum colorEquation, GLenum alphaEquation) {
  glBlendEquationSeparate(colorEquation, alphaEquation);
}

void Common::setBlendWithSCFactor(GLenum sc, GLenum dc, GLenum sa, GLenum da) {
  glEnable(GL_BLEND);
  glBlendFuncSeparate(sc, dc, sa, da);
}

void Common::setBlendWithSFactor(GLenum s, GLenum d) {
  glEnable(GL_BLEND);
  glBlendFunc(s, d);
}
