#include "canvas/VTEAGLView.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/Log.h"

namespace {

struct BlendFactors {
  GLenum sc, dc, sa, da;
};
constexpr BlendFactors kNormalBlend = {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA};
constexpr BlendFactors kEraserBlend = {GL_ZERO, GL_ONE_MINUS_SRC_ALPHA, GL_ZERO, GL_ONE_MINUS_SRC_ALPHA};
constexpr BlendFactors kSmudgeBlend = {GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA};

// Generator sizes with autoresize: (max-speed size, min-speed size).
enum class PresetSizes { Same, NarrowWhenFast, WideWhenFast };

struct BrushPreset {
  int textureIndex;
  bool rotate;
  bool smudge;
  BlendFactors blend;
  PresetSizes sizes;
  float density;
};

// Base presets of setBrushType, by type; types past the table (and below it)
// take kOtherBrushPreset with their own number as the texture index.
constexpr BrushPreset kBrushPresets[] = {
    {0, false, false, kEraserBlend, PresetSizes::Same, 0.25f},
    {1, true, false, kNormalBlend, PresetSizes::NarrowWhenFast, 0.5f},
    {2, true, false, kNormalBlend, PresetSizes::NarrowWhenFast, 0.25f},
    {3, false, false, kNormalBlend, PresetSizes::Same, 0.25f},
    {4, true, false, kNormalBlend, PresetSizes::WideWhenFast, 0.15f},
    {5, false, false, kNormalBlend, PresetSizes::NarrowWhenFast, 0.07f},
    {0, true, false, kNormalBlend, PresetSizes::NarrowWhenFast, 0.25f},
    {7, false, true, kSmudgeBlend, PresetSizes::Same, 0.1f},
};
constexpr BrushPreset kOtherBrushPreset = {-1, true, false, kNormalBlend, PresetSizes::NarrowWhenFast, 0.25f};

constexpr float kMinBrushAlpha = 0.0001f;
constexpr int kFastSize = 2;

VTEAGLView* gCurrentCanvas = nullptr;
int gCanvasCount = 0;

}  // namespace

int VTEAGLView::liveCanvasCount() { return gCanvasCount; }
const VTEAGLView* VTEAGLView::currentCanvas() { return gCurrentCanvas; }

std::shared_ptr<VTEAGLView> VTEAGLView::create(gfx::Rect frame) {
  std::shared_ptr<VTEAGLView> view(new VTEAGLView(frame));
  if (!view->isValid()) return nullptr;
  return view;
}

VTEAGLView::VTEAGLView(gfx::Rect frame, float contentScaleFactor) : EAGLView(frame, contentScaleFactor) {
  ++gCanvasCount;
  gCurrentCanvas = this;
  if (isValid()) loadData();
}

VTEAGLView::~VTEAGLView() {
  if (gCurrentCanvas == this) gCurrentCanvas = nullptr;
  --gCanvasCount;
}

void VTEAGLView::loadData() {
  points_.clear();
  clear();
  setBrushSize(32);
  setBrushColor(gfx::Color{1, 0, 0, 1});
  brushAlpha_ = 1.0f;
  alphaEffect_ = true;
  enableRecogition_ = false;
  shapesMark_ = kDefaultShapesMark;
  enableAutoresize_ = false;
  sizeMin_ = sizeMax_ = 32;
  enableRotate_ = true;
  radianMin_ = 0;
  radianMax_ = 360;
  scFactor_ = GL_SRC_ALPHA;
  dcFactor_ = GL_ONE_MINUS_SRC_ALPHA;
  saFactor_ = GL_ONE;
  daFactor_ = GL_ONE_MINUS_SRC_ALPHA;
  densityFactor_ = 0.25f;
  setBrushType(1);
}

void VTEAGLView::updateSettings() {
  if (gCanvasCount < 2 || gCurrentCanvas == this) return;
  gCurrentCanvas = this;
  bindForSettings();
  if (shaderObject()) shaderObject()->recoverySetting();
}

void VTEAGLView::layoutSubviews() {
  updateSettings();
  EAGLView::layoutSubviews();
  bindForSettings();
  setDensityFactor(densityFactor_);
}

void VTEAGLView::boundsSizeChanged(ui::Size oldSize) {
  EAGLView::boundsSizeChanged(oldSize);
  if (!shaderObject()) return;
  updateSettings();
  setDensityFactor(densityFactor_);
}

void VTEAGLView::setBrushType(int type) {
  const bool inTable = type >= 0 && type < static_cast<int>(std::size(kBrushPresets));
  const BrushPreset& preset = inTable ? kBrushPresets[type] : kOtherBrushPreset;
  auto guard = contextGuard();
  bindForSettings();
  RenderObject* r = shaderObject();
  useType_ = 0;
  curBrushTypeIndex_ = type;
  r->setCurIndex(type);
  if (preset.textureIndex != type && inTable) r->setCurIndex(preset.textureIndex);
  enableRotate_ = preset.rotate;
  r->setRotateEnabled(preset.rotate);
  if (preset.rotate) {
    radianMin_ = 0;
    radianMax_ = 360;
    r->setRadianMin(0);
    r->setRadianMax(360);
  }
  directionFollow_ = false;
  r->setDirectionFollow(false);
  enableSmudge_ = preset.smudge;
  r->setSmudgeEnabled(enableSmudge_);
  setBlendModeWithColorEquation(GL_FUNC_ADD, GL_FUNC_ADD);
  setBlendModelWithSCFactor(preset.blend.sc, preset.blend.dc, preset.blend.sa, preset.blend.da);
  const int size = static_cast<int>(brushSize_);
  if (!enableAutoresize_ || preset.sizes == PresetSizes::Same) {
    lineOptimization_.setMaxSpeedSize(static_cast<float>(size), static_cast<float>(size));
  } else if (preset.sizes == PresetSizes::NarrowWhenFast) {
    lineOptimization_.setMaxSpeedSize(kFastSize, static_cast<float>(size));
  } else {
    lineOptimization_.setMaxSpeedSize(static_cast<float>(size), kFastSize);
  }
  r->setRenderSize(brushSize_);
  setDensityFactor(preset.density);
  setTipEffectEnabled(false);
  setSpeedSenseFactor(0.5f);
  setAlphaEffect(true);
}

void VTEAGLView::setBrushTypeIndex(int index) {
  auto guard = contextGuard();
  bindForSettings();
  useType_ = 1;
  curBrushTypeIndex_ = index;
  shaderObject()->setCurIndex(index);
}

void VTEAGLView::setBrushColor(std::optional<gfx::Color> color) {
  brushColor_ = color;
  float k = 1.0f;
  if (alphaEffect_) k = std::clamp(std::sqrt(std::sqrt(densityFactor_)), kMinBrushAlpha, 1.0f);
  const gfx::Color c = color.value_or(gfx::Color{0, 0, 0, 1});
  auto guard = contextGuard();
  bindForSettings();
  shaderObject()->setRenderColorWithRed(c.r, c.g, c.b, c.a * k);
}

void VTEAGLView::setAlphaEffect(bool on) {
  alphaEffect_ = on;
  setBrushColor(brushColor_);
}

void VTEAGLView::setBrushAlpha(float alpha) {
  brushAlpha_ = std::clamp(std::isfinite(alpha) ? alpha : 1.0f, kMinBrushAlpha, 1.0f);
  auto guard = contextGuard();
  bindForSettings();
  shaderObject()->setAlphaValue(brushAlpha_);
}

void VTEAGLView::setBrushSize(float size) {
  requestedBrushSize_ = size;
  applyBrushSize(size);
}

void VTEAGLView::applyBrushSize(float size) { setMaxSpeedSize(kFastSize, static_cast<int>(size), true); }

void VTEAGLView::setMaxSpeedSize(int maxSpeedSize, int minSpeedSize, bool autoResize) {
  brushSize_ = sizeMin_ = static_cast<float>(minSpeedSize);
  sizeMax_ = static_cast<float>(maxSpeedSize);
  enableAutoresize_ = autoResize;
  lineOptimization_.setMaxSpeedSize(static_cast<float>(maxSpeedSize), static_cast<float>(minSpeedSize));
  if (!autoResize) lineOptimization_.setIsConstSize(true);
  auto guard = contextGuard();
  bindForSettings();
  shaderObject()->setRenderSize(brushSize_);
}

void VTEAGLView::setBrushSizeMax(int max, int min, bool autoResize) {
  fd::Log("请不要再使用setBrushSizeMax:min:autoResize:\n换为使用setMaxSpeedSize:minSpeedSize:autoResize:方法\n");
  setMaxSpeedSize(min, max, autoResize);
}

void VTEAGLView::applyGeneratorSizes() {
  if (enableAutoresize_) {
    lineOptimization_.setMaxSpeedSize(sizeMax_, sizeMin_);
  } else {
    const float larger = std::max(sizeMax_, sizeMin_);
    lineOptimization_.setMaxSpeedSize(larger, larger);
  }
}

void VTEAGLView::setSizeMax(float size) {
  sizeMax_ = size;
  applyGeneratorSizes();
  auto guard = contextGuard();
  bindForSettings();
  shaderObject()->setRenderSize(sizeMax_);
}

void VTEAGLView::setSizeMin(float size) {
  sizeMin_ = size;
  applyGeneratorSizes();
}

void VTEAGLView::setEnableAutoresize(bool on) {
  enableAutoresize_ = on;
  applyGeneratorSizes();
}

void VTEAGLView::setEnableRotate(bool on) {
  enableRotate_ = on;
  auto guard = contextGuard();
  bindForSettings();
  shaderObject()->setRotateEnabled(on);
}

void VTEAGLView::setRadianMin(int degrees) {
  radianMin_ = degrees;
  shaderObject()->setRadianMin(degrees);
}

void VTEAGLView::setRadianMax(int degrees) {
  radianMax_ = degrees;
  shaderObject()->setRadianMax(degrees);
}

void VTEAGLView::setDensityFactor(float density) {
  densityFactor_ = density;
  const RenderObject* r = shaderObject();
  const double scale = r != nullptr ? std::min(r->scaleX(), r->scaleY()) : 1.0;
  lineOptimization_.setDensityFactor(static_cast<float>(density * scale));
  if (alphaEffect_) setBrushColor(brushColor_);
}

void VTEAGLView::setSpeedSenseFactor(float factor) {
  speedSenseFactor_ = factor;
  lineOptimization_.setSpeedSenseFactor(factor);
}

void VTEAGLView::setTextureImages(const std::vector<gfx::Image>& images) {
  textureImages_ = images;
  if (images.empty()) return;
  auto guard = contextGuard();
  bindForSettings();
  shaderObject()->setTextureImages(textureImages_);
}

void VTEAGLView::setBlendModeWithColorEquation(GLenum colorEquation, GLenum alphaEquation) {
  modeRGB_ = colorEquation;
  modeAlpha_ = alphaEquation;
  auto guard = contextGuard();
  bindForSettings();
  shaderObject()->setBlendModeWithColorEquation(colorEquation, alphaEquation);
}

void VTEAGLView::setBlendModelWithSFactor(GLenum s, GLenum d) { setBlendModelWithSCFactor(s, d, s, d); }

void VTEAGLView::setBlendModelWithSCFactor(GLenum sc, GLenum dc, GLenum sa, GLenum da) {
  scFactor_ = sc;
  dcFactor_ = dc;
  saFactor_ = sa;
  daFactor_ = da;
  auto guard = contextGuard();
  bindForSettings();
  shaderObject()->setBlendWithSCFactor(sc, dc, sa, da);
}

void VTEAGLView::setTipEffectEnabled(bool on) {
  tipEffectEnabled_ = on;
  shaderObject()->setTipEffectEnabled(on);
}

void VTEAGLView::setTipValue(float value) {
  tipValue_ = std::clamp(std::isfinite(value) ? value : 1.0f, 0.0001f, 1.0f);
  shaderObject()->setTipValue(tipValue_);
}

void VTEAGLView::setEnableSmudge(bool on) {
  enableSmudge_ = on;
  auto guard = contextGuard();
  bindForSettings();
  shaderObject()->setSmudgeEnabled(on);
}

void VTEAGLView::setSoftnessSmudge(float softness) {
  softnessSmudge_ = softness;
  shaderObject()->setSmudgeSoftness(softness);
}

void VTEAGLView::setPresses(float pressure) {
  presses_ = pressure;
  auto guard = contextGuard();
  bindForSettings();
  shaderObject()->setPressure(pressure);
}

void VTEAGLView::setDirectionFollow(bool on) {
  directionFollow_ = on;
  auto guard = contextGuard();
  bindForSettings();
  shaderObject()->setDirectionFollow(on);
}

void VTEAGLView::setEnableRecogition(bool on) {
  enableRecogition_ = on;
  tempData_ = on ? curImageData() : nullptr;
}
