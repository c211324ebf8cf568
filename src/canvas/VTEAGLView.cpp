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
  settings_.render.alpha = 1.0f;
  settings_.alphaEffect = true;
  enableRecogition_ = false;
  shapesMark_ = kDefaultShapesMark;
  settings_.autoresize = false;
  settings_.sizeMin = settings_.sizeMax = 32;
  settings_.render.dab.rotate = true;
  settings_.render.dab.radianMin = 0;
  settings_.render.dab.radianMax = 360;
  settings_.render.blend = BlendSettings{};
  settings_.density = 0.25f;
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
  setDensityFactor(settings_.density);
}

void VTEAGLView::boundsSizeChanged(ui::Size oldSize) {
  EAGLView::boundsSizeChanged(oldSize);
  if (!shaderObject()) return;
  updateSettings();
  setDensityFactor(settings_.density);
}

void VTEAGLView::applyRender() {
  RenderSettings& render = settings_.render;
  // Denser brushes (more overlapping dabs) paint each dab fainter.
  float k = 1.0f;
  if (settings_.alphaEffect) k = std::clamp(std::sqrt(std::sqrt(settings_.density)), kMinBrushAlpha, 1.0f);
  const gfx::Color c = settings_.color.value_or(gfx::Color{0, 0, 0, 1});
  render.color = {c.r, c.g, c.b, c.a * k};
  auto guard = contextGuard();
  bindForSettings();
  if (RenderObject* r = shaderObject()) r->applySettings(render);
}

void VTEAGLView::setBrushType(int type) {
  const bool inTable = type >= 0 && type < static_cast<int>(std::size(kBrushPresets));
  const BrushPreset& preset = inTable ? kBrushPresets[type] : kOtherBrushPreset;
  RenderSettings& render = settings_.render;
  settings_.useType = 0;
  settings_.brushType = type;
  render.tipIndex = inTable ? preset.textureIndex : type;
  render.dab.rotate = preset.rotate;
  // Turning rotation off empties its range; turning it on opens it fully.
  render.dab.radianMin = 0;
  render.dab.radianMax = preset.rotate ? 360 : 0;
  render.dab.directionFollow = false;
  render.dab.tipEffect = false;
  render.smudge = preset.smudge;
  render.blend = {preset.blend.sc, preset.blend.dc, preset.blend.sa, preset.blend.da, GL_FUNC_ADD, GL_FUNC_ADD};
  const int size = static_cast<int>(settings_.brushSize);
  if (!settings_.autoresize || preset.sizes == PresetSizes::Same) {
    lineOptimization_.setMaxSpeedSize(static_cast<float>(size), static_cast<float>(size));
  } else if (preset.sizes == PresetSizes::NarrowWhenFast) {
    lineOptimization_.setMaxSpeedSize(kFastSize, static_cast<float>(size));
  } else {
    lineOptimization_.setMaxSpeedSize(static_cast<float>(size), kFastSize);
  }
  render.size = settings_.brushSize;
  settings_.alphaEffect = true;
  setSpeedSenseFactor(0.5f);
  setDensityFactor(preset.density);
}

void VTEAGLView::setBrushTypeIndex(int index) {
  settings_.useType = 1;
  settings_.brushType = index;
  settings_.render.tipIndex = index;
  applyRender();
}

void VTEAGLView::setBrushColor(std::optional<gfx::Color> color) {
  settings_.color = color;
  applyRender();
}

void VTEAGLView::setAlphaEffect(bool on) {
  settings_.alphaEffect = on;
  applyRender();
}

void VTEAGLView::setBrushAlpha(float alpha) {
  settings_.render.alpha = std::clamp(std::isfinite(alpha) ? alpha : 1.0f, kMinBrushAlpha, 1.0f);
  applyRender();
}

void VTEAGLView::setBrushSize(float size) {
  requestedBrushSize_ = size;
  applyBrushSize(size);
}

void VTEAGLView::applyBrushSize(float size) { setMaxSpeedSize(kFastSize, static_cast<int>(size), true); }

void VTEAGLView::setMaxSpeedSize(int maxSpeedSize, int minSpeedSize, bool autoResize) {
  settings_.brushSize = settings_.sizeMin = static_cast<float>(minSpeedSize);
  settings_.sizeMax = static_cast<float>(maxSpeedSize);
  settings_.autoresize = autoResize;
  lineOptimization_.setMaxSpeedSize(static_cast<float>(maxSpeedSize), static_cast<float>(minSpeedSize));
  if (!autoResize) lineOptimization_.setIsConstSize(true);
  settings_.render.size = settings_.brushSize;
  applyRender();
}

void VTEAGLView::setBrushSizeMax(int max, int min, bool autoResize) {
  fd::Log("请不要再使用setBrushSizeMax:min:autoResize:\n换为使用setMaxSpeedSize:minSpeedSize:autoResize:方法\n");
  setMaxSpeedSize(min, max, autoResize);
}

void VTEAGLView::applyGeneratorSizes() {
  if (settings_.autoresize) {
    lineOptimization_.setMaxSpeedSize(settings_.sizeMax, settings_.sizeMin);
  } else {
    const float larger = std::max(settings_.sizeMax, settings_.sizeMin);
    lineOptimization_.setMaxSpeedSize(larger, larger);
  }
}

void VTEAGLView::setSizeMax(float size) {
  settings_.sizeMax = size;
  applyGeneratorSizes();
  settings_.render.size = size;
  applyRender();
}

void VTEAGLView::setSizeMin(float size) {
  settings_.sizeMin = size;
  applyGeneratorSizes();
}

void VTEAGLView::setEnableAutoresize(bool on) {
  settings_.autoresize = on;
  applyGeneratorSizes();
}

void VTEAGLView::setEnableRotate(bool on) {
  settings_.render.dab.rotate = on;
  if (!on) settings_.render.dab.radianMin = settings_.render.dab.radianMax = 0;
  applyRender();
}

void VTEAGLView::setRadianMin(int degrees) {
  settings_.render.dab.radianMin = degrees;
  applyRender();
}

void VTEAGLView::setRadianMax(int degrees) {
  settings_.render.dab.radianMax = degrees;
  applyRender();
}

void VTEAGLView::setDensityFactor(float density) {
  settings_.density = density;
  // The spacing is a fraction of the dab size in pixels; the generator
  // works in points.
  const RenderObject* r = shaderObject();
  const double scale = r != nullptr ? std::min(r->scaleX(), r->scaleY()) : 1.0;
  lineOptimization_.setDensityFactor(static_cast<float>(density * scale));
  applyRender();
}

void VTEAGLView::setSpeedSenseFactor(float factor) {
  settings_.speedSense = factor;
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
  settings_.render.blend.colorEquation = colorEquation;
  settings_.render.blend.alphaEquation = alphaEquation;
  applyRender();
}

void VTEAGLView::setBlendModelWithSFactor(GLenum s, GLenum d) { setBlendModelWithSCFactor(s, d, s, d); }

void VTEAGLView::setBlendModelWithSCFactor(GLenum sc, GLenum dc, GLenum sa, GLenum da) {
  BlendSettings& b = settings_.render.blend;
  b.sc = sc;
  b.dc = dc;
  b.sa = sa;
  b.da = da;
  applyRender();
}

void VTEAGLView::setTipEffectEnabled(bool on) {
  settings_.render.dab.tipEffect = on;
  applyRender();
}

void VTEAGLView::setTipValue(float value) {
  settings_.render.dab.tipValue = std::clamp(std::isfinite(value) ? value : 1.0f, 0.0001f, 1.0f);
  applyRender();
}

void VTEAGLView::setEnableSmudge(bool on) {
  settings_.render.smudge = on;
  applyRender();
}

void VTEAGLView::setSoftnessSmudge(float softness) {
  settings_.render.smudgeSoftness = softness;
  applyRender();
}

void VTEAGLView::setPresses(float pressure) {
  settings_.render.pressure = pressure;
  applyRender();
}

void VTEAGLView::setDirectionFollow(bool on) {
  settings_.render.dab.directionFollow = on;
  applyRender();
}

void VTEAGLView::setEnableRecogition(bool on) {
  enableRecogition_ = on;
  tempData_ = on ? curImageData() : nullptr;
}
