// The desk's eight brush types as engine settings, and the size rule.
#include <GLES2/gl2.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "canvas/DrawsView.h"

namespace {

struct Range {
  int min, max;
};

// One row of the brush-type table. The base call comes first (the engine's
// full preset, or only the texture), then every setter that the row sends, in
// this order; an empty field is not sent.
struct BrushPreset {
  bool fullPreset;
  int baseArgument;
  int maxSpeedSize, minSpeedSize;
  bool autoResize;
  std::optional<float> softnessSmudge;
  std::optional<float> presses;
  bool additiveEquations;
  std::optional<bool> directionFollow;
  std::optional<bool> enableRotate;
  std::optional<Range> radians;
  bool alphaEffect;
  std::optional<float> density;
  bool alphaBlend;
  std::optional<bool> enableSmudge;
  std::optional<float> speedSense;
  std::optional<bool> tipEffect;
  std::optional<float> tipValue;
};

constexpr std::nullopt_t kNotSent = std::nullopt;

constexpr BrushPreset kBrushPresets[] = {
    // 0: eraser
    {true, 0, 10, 64, true, kNotSent, kNotSent, false, kNotSent, true, Range{0, 360}, true, 0.25f, false, kNotSent,
     kNotSent, kNotSent, kNotSent},
    {false, 1, 2, 36, true, kNotSent, kNotSent, true, false, true, Range{0, 360}, true, 0.3f, true, false, 0.12f,
     false, 1.0f},
    {true, 2, 2, 32, true, kNotSent, kNotSent, true, false, true, Range{0, 360}, true, 0.5f, true, false, 0.5f, false,
     1.0f},
    {true, 3, 2, 55, true, kNotSent, kNotSent, true, false, true, Range{0, 181}, false, 0.01f, true, false, 0.7409f,
     false, 1.0f},
    {false, 4, 64, 24, true, kNotSent, kNotSent, true, true, false, Range{0, 0}, false, 0.005f, true, false, 0.5f,
     true, 1.0f},
    {false, 5, 24, 64, true, kNotSent, kNotSent, true, true, false, Range{0, 0}, true, 0.01f, true, false, 0.5f, false,
     1.0f},
    {false, 6, 0, 16, true, kNotSent, kNotSent, true, false, false, Range{0, 0}, true, 0.01f, true, false, 0.5f, true,
     1.0f},
    // 7: smudge
    {true, 7, 64, 64, false, 0.5f, 0.5f, false, kNotSent, kNotSent, kNotSent, true, kNotSent, false, kNotSent,
     kNotSent, kNotSent, kNotSent},
};

// Any other type number, negative ones included.
constexpr BrushPreset kOtherBrush = {false, 1,    2,    36,          true,  kNotSent,   kNotSent, true, false,
                                     true,  Range{0, 360}, true, 0.3141742f, true, false, 0.1213768f, false, 1.0f};

// The size rule by brush type: each size from the asked size s.
enum class SizeFrom { Constant2, Zero, Asked, AskedLess40 };
struct SizeRule {
  SizeFrom maxSpeed, minSpeed;
  bool autoResize;
};
constexpr SizeRule kDefaultSizeRule = {SizeFrom::Constant2, SizeFrom::Asked, true};
constexpr SizeRule kSizeRules[] = {
    kDefaultSizeRule,
    kDefaultSizeRule,
    kDefaultSizeRule,
    kDefaultSizeRule,
    {SizeFrom::Asked, SizeFrom::AskedLess40, true},
    {SizeFrom::AskedLess40, SizeFrom::Asked, true},
    {SizeFrom::Zero, SizeFrom::Asked, true},
    {SizeFrom::Asked, SizeFrom::Asked, false},
};

int sizeFrom(SizeFrom rule, float asked) {
  float v = 0;
  switch (rule) {
    case SizeFrom::Constant2: v = 2; break;
    case SizeFrom::Zero: v = 0; break;
    case SizeFrom::Asked: v = asked; break;
    case SizeFrom::AskedLess40: v = std::max(asked - 40.0f, 0.0f); break;
  }
  // Sizes are whole numbers of pixels, truncated; nothing below zero.
  if (!(v > 0)) return 0;
  return static_cast<int>(static_cast<unsigned>(std::min(v, 1.0e6f)));
}

}  // namespace

void DrawsView::setBrushType(int type) {
  const auto index = static_cast<unsigned>(type);
  const BrushPreset& p = index < std::size(kBrushPresets) ? kBrushPresets[index] : kOtherBrush;
  if (p.fullPreset) {
    VTEAGLView::setBrushType(p.baseArgument);
  } else {
    setBrushTypeIndex(p.baseArgument);
  }
  setMaxSpeedSize(p.maxSpeedSize, p.minSpeedSize, p.autoResize);
  if (p.softnessSmudge) setSoftnessSmudge(*p.softnessSmudge);
  if (p.presses) setPresses(*p.presses);
  if (p.additiveEquations) setBlendModeWithColorEquation(GL_FUNC_ADD, GL_FUNC_ADD);
  if (p.directionFollow) setDirectionFollow(*p.directionFollow);
  if (p.enableRotate) setEnableRotate(*p.enableRotate);
  if (p.radians) {
    setRadianMin(p.radians->min);
    setRadianMax(p.radians->max);
  }
  setAlphaEffect(p.alphaEffect);
  if (p.density) setDensityFactor(*p.density);
  if (p.alphaBlend) setBlendModelWithSCFactor(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  if (p.enableSmudge) setEnableSmudge(*p.enableSmudge);
  if (p.speedSense) setSpeedSenseFactor(*p.speedSense);
  if (p.tipEffect) setTipEffectEnabled(*p.tipEffect);
  if (p.tipValue) setTipValue(*p.tipValue);
}

void DrawsView::applyBrushSize(float size) {
  const auto index = static_cast<unsigned>(brushTypeIndex());
  const SizeRule& rule = index < std::size(kSizeRules) ? kSizeRules[index] : kDefaultSizeRule;
  setMaxSpeedSize(sizeFrom(rule.maxSpeed, size), sizeFrom(rule.minSpeed, size), rule.autoResize);
}

void DrawsView::reflushSettings() {
  setBrushTypeIndex(brushTypeIndex());
  setBrushColor(brushColor());
  // The sizes as they stand. Sending the slow-speed size back through the
  // size rule would shrink types 4 and 5, and re-sending the last size asked
  // for would undo the sizes that a row of the brush table set itself.
  setMaxSpeedSize(static_cast<int>(sizeMax()), static_cast<int>(sizeMin()), enableAutoresize());
}
