#include "canvas/RenderObject.h"

#include <algorithm>
#include <cmath>

#include "canvas/ProgramObject.h"
#include "canvas/RenderFunctions.h"
#include "canvas/TextureObject.h"
#include "platform/foundation/Paths.h"
#include "platform/gl/Util.h"

namespace {

constexpr const char* kVertexShaderName = "RenderShader.bundle/RenderShader.vsh";
constexpr const char* kFragmentShaderName = "RenderShader.bundle/RenderShader.fsh";

constexpr const char* kAttribNames[] = {"a_position", "a_color", "m_texCoord", "m_bgCoord"};
constexpr const char* kUniformNames[] = {"m_scale",  "m_center",     "m_enableRotate", "m_radian",
                                         "m_brushTexture", "m_enableTexture", "m_alpha", "m_renderType",
                                         "m_enableBGMix",  "m_bgTexture",     "m_pressure"};
static_assert(std::size(kUniformNames) == RenderObject::kUniformCount);

// Brush index 0 is the eraser tip, 1-6 the pen tips, 7 the smudge tip.
constexpr const char* kDefaultTipNames[] = {
    "DefaultTexture.bundle/brusherase.png",  "DefaultTexture.bundle/brushImage1.png",
    "DefaultTexture.bundle/brushImage2.png", "DefaultTexture.bundle/brushImage3.png",
    "DefaultTexture.bundle/brushImage4.png", "DefaultTexture.bundle/brushImage5.png",
    "DefaultTexture.bundle/brushImage6.png", "DefaultTexture.bundle/brushSmudge.png",
};

}  // namespace

RenderObject::RenderObject(unsigned backingWidth, unsigned backingHeight) : Common(backingWidth, backingHeight) {
  loadShadersAndTextures();
  settings_.dab.rotate = false;
  setRenderSize(settings_.size);
}

RenderObject::~RenderObject() = default;

void RenderObject::loadShadersAndTextures() {
  loadShaders();
  loadTextures();
}

void RenderObject::loadShaders() {
  renderProgram_ = std::make_unique<ProgramObject>(
      ProgramObject::initWithVertShaderName(kVertexShaderName, kFragmentShaderName));
  renderProgram_->loadShadersWithAttribCount({std::begin(kAttribNames), std::end(kAttribNames)},
                                             {std::begin(kUniformNames), std::end(kUniformNames)});
  // The fragment text has a variant for plain dabs; it reads only the
  // uniforms up to m_renderType.
  dabProgram_ = std::make_unique<ProgramObject>(renderProgram_->vertSrc(),
                                                "#define PLAIN_DABS\n" + renderProgram_->fragSrc());
  if (renderProgram_->isEnabled()) {
    dabProgram_->loadShadersWithAttribCount({std::begin(kAttribNames), std::end(kAttribNames)},
                                            {std::begin(kUniformNames), std::begin(kUniformNames) + kRenderType + 1});
  }
  dabUniformsSet_ = false;
}

void RenderObject::loadTextures() {
  std::vector<gfx::Image> images;
  for (const char* name : kDefaultTipNames) {
    if (auto image = gfx::readPNG(fd::paths::resource(name))) images.push_back(std::move(*image));
  }
  setTextureImages(images);
}

void RenderObject::setTextureImages(std::span<const gfx::Image> images) {
  if (images.empty()) return;
  for (auto& atlas : atlases_) atlas.reset();
  trim_ = {};
  std::size_t next = 0;
  for (auto& atlas : atlases_) {
    const std::size_t remaining = images.size() - next;
    if (remaining == 0) break;
    const std::size_t take = remaining >= 5 ? 4 : remaining;
    atlas = TextureObject::initWithImages(images.subspan(next, take), kAtlasQuality);
    // Where the tips have no coverage, dabs need not be drawn.
    if (atlas) atlas->findCoverage();
    next += take;
  }
  useDefaultTexture();
  setCurIndex(settings_.tipIndex);
}

const TextureObject* RenderObject::atlasForIndex(int index) const {
  const int slot = index <= 3 ? 0 : (index <= 7 ? 1 : (index <= 11 ? 2 : 3));
  const TextureObject* atlas = atlases_[static_cast<std::size_t>(slot)].get();
  const int cell = index % 4;
  if (atlas == nullptr || static_cast<int>(atlas->vertiesCount()) < cell) atlas = atlases_[0].get();
  return atlas;
}

void RenderObject::bindCellCoordinates() {
  const TextureObject* atlas = atlasForIndex(settings_.tipIndex);
  if (atlas == nullptr) {
    glDisableVertexAttribArray(kTexCoord);
    return;
  }
  // p1..p4 of the cell match the quad corners.
  const float* cell = atlas->vertiesOfTextureIndex(static_cast<unsigned>(settings_.tipIndex % 4));
  glVertexAttribPointer(kTexCoord, 2, GL_FLOAT, GL_FALSE, 0, cell + 2);
  glEnableVertexAttribArray(kTexCoord);
}

void RenderObject::setCurIndex(int index) {
  settings_.tipIndex = index;
  useDefaultTexture();
  bindCellCoordinates();
}

void RenderObject::useDefaultTexture() { useTexture(atlasForIndex(settings_.tipIndex), GL_TEXTURE0); }

void RenderObject::setRenderColorWithRed(float r, float g, float b, float a) {
  Common::setRenderColorWithRed(r, g, b, a);
  glDisableVertexAttribArray(kColor);
  glVertexAttrib4f(kColor, r, g, b, a);
}

void RenderObject::setAlphaValue(float a) {
  Common::setAlphaValue(a);
  uniform1f(kAlpha, a);
}

void RenderObject::setRenderSize(float size) {
  if (!std::isfinite(size) || size < 0) size = 0;
  const float limit = static_cast<float>(glx::maxTextureSize());
  size = std::min(size, limit);
  Common::setRenderSize(size);
  texSize_ = std::min(static_cast<float>(NextPowerOfTwo(static_cast<unsigned>(size))), limit);
  destSize_ = std::min(texSize_ * scaleFactor_, limit);
  const float t = (texSize_ - size) / (2 * texSize_);
  bgCoord_ = {t, t, 1 - t, t, 1 - t, 1 - t, t, 1 - t};
  bindBgCoordinates();
  if (settings_.smudge) ensureSmudgeTexture();
}

void RenderObject::bindBgCoordinates() {
  glVertexAttribPointer(kBgCoord, 2, GL_FLOAT, GL_FALSE, 0, bgCoord_.data());
  glEnableVertexAttribArray(kBgCoord);
}

void RenderObject::setSmudgeEnabled(bool enabled) {
  settings_.smudge = enabled;
  uniform1i(kEnableBGMix, enabled ? 1 : 0);
  if (enabled) ensureSmudgeTexture();
}

void RenderObject::setPressure(float pressure) {
  settings_.pressure = pressure;
  uniform1f(kPressure, pressure);
}

void RenderObject::setLineBegin(bool begin) {
  shaper_.setLineBegin(begin);
  if (begin) smudgeFresh_ = false;
}

void RenderObject::applyBlend() {
  const BlendSettings& b = settings_.blend;
  Common::setBlendModeWithColorEquation(b.colorEquation, b.alphaEquation);
  Common::setBlendWithSCFactor(b.sc, b.dc, b.sa, b.da);
}

void RenderObject::setScFactor(GLenum f) {
  settings_.blend.sc = f;
  applyBlend();
}
void RenderObject::setDcFactor(GLenum f) {
  settings_.blend.dc = f;
  applyBlend();
}
void RenderObject::setSaFactor(GLenum f) {
  settings_.blend.sa = f;
  applyBlend();
}
void RenderObject::setDaFactor(GLenum f) {
  settings_.blend.da = f;
  applyBlend();
}

void RenderObject::setBlendModeWithColorEquation(GLenum colorEquation, GLenum alphaEquation) {
  settings_.blend.colorEquation = colorEquation;
  settings_.blend.alphaEquation = alphaEquation;
  Common::setBlendModeWithColorEquation(colorEquation, alphaEquation);
}

void RenderObject::setBlendWithSFactor(GLenum s, GLenum d) { setBlendWithSCFactor(s, d, s, d); }

void RenderObject::setBlendWithSCFactor(GLenum sc, GLenum dc, GLenum sa, GLenum da) {
  settings_.blend.sc = sc;
  settings_.blend.dc = dc;
  settings_.blend.sa = sa;
  settings_.blend.da = da;
  Common::setBlendWithSCFactor(sc, dc, sa, da);
}

void RenderObject::setRotateEnabled(bool enabled) {
  settings_.dab.rotate = enabled;
  if (!enabled) settings_.dab.radianMin = settings_.dab.radianMax = 0;
  uniform1f(kEnableRotate, needRotateTexture() ? 1.0f : 0.0f);
}

void RenderObject::setDirectionFollow(bool follow) {
  settings_.dab.directionFollow = follow;
  uniform1f(kEnableRotate, needRotateTexture() ? 1.0f : 0.0f);
}

bool RenderObject::openProgramWithViewWidth(unsigned viewWidth, unsigned viewHeight, float scaleFactor) {
  scaleFactor_ = scaleFactor;
  destSize_ = std::min(texSize_ * scaleFactor_, static_cast<float>(glx::maxTextureSize()));
  updateViewWidth(viewWidth, viewHeight);
  return useDefaultProgram();
}

bool RenderObject::updateBackingWidth(unsigned width, unsigned height) {
  Common::updateBackingWidth(width, height);
  return width != 0 && height != 0;
}

bool RenderObject::updateViewWidth(unsigned width, unsigned height) {
  Common::updateViewWidth(width, height);
  if (viewWidth_ != 0 && viewHeight_ != 0) {
    uniform2f(kScale, 2 * scaleFactor_ / viewWidth_, 2 * scaleFactor_ / viewHeight_);
  }
  return width != 0 && height != 0;
}

bool RenderObject::useDefaultProgram() {
  if (!useProgram(renderProgram_.get())) return false;
  if (viewWidth_ != 0 && viewHeight_ != 0) {
    uniform2f(kScale, 2 * scaleFactor_ / viewWidth_, 2 * scaleFactor_ / viewHeight_);
  }
  uniform2f(kCenter, 0, 0);
  uniform1i(kBrushTexture, 0);
  uniform1f(kEnableTexture, 1.0f);
  uniform1f(kAlpha, settings_.alpha);
  uniform1f(kEnableRotate, needRotateTexture() ? 1.0f : 0.0f);
  bindBgCoordinates();
  uniform1i(kBgTexture, 1);
  uniform1f(kPressure, settings_.pressure);
  uniform1i(kEnableBGMix, settings_.smudge ? 1 : 0);
  return true;
}

void RenderObject::applySettings(const RenderSettings& settings) {
  settings_ = settings;
  const gfx::Color c = settings_.color;
  setRenderColorWithRed(c.r, c.g, c.b, c.a);
  setAlphaValue(settings_.alpha);
  setRenderSize(settings_.size);
  setSmudgeEnabled(settings_.smudge);
  setPressure(settings_.pressure);
  resetSetting();
}

void RenderObject::recoverySetting() {
  if (!useDefaultProgram()) return;
  const gfx::Color c = settings_.color;
  setRenderColorWithRed(c.r, c.g, c.b, c.a);
  setAlphaValue(settings_.alpha);
  resetSetting();
}

void RenderObject::resetSetting() {
  setCurIndex(settings_.tipIndex);
  setRotateEnabled(settings_.dab.rotate);
  applyBlend();
}

// Uniforms reach only the program in use; before useDefaultProgram they are
// not sent (useDefaultProgram sends them all).
bool RenderObject::hasProgram() const {
  return programEnabled_ && renderProgram_ != nullptr && renderProgram_->isEnabled();
}

void RenderObject::uniform1f(Uniform u, float v) {
  if (hasProgram()) glUniform1f(renderProgram_->uniform(u), v);
}

void RenderObject::uniform1i(Uniform u, int v) {
  if (hasProgram()) glUniform1i(renderProgram_->uniform(u), v);
}

void RenderObject::uniform2f(Uniform u, float x, float y) {
  if (hasProgram()) glUniform2f(renderProgram_->uniform(u), x, y);
}
