// The desk's answers to its tool strips (brush, opacity, size, shape), to the
// colour picker and to the canvas's eraser calls: the hit bands, the value
// formulas, what reaches the canvas and what is stored as a brush preset.
#include <cmath>
#include <string>

#include "desk/DeskArt.h"
#include "desk/DeskCanvasView.h"
#include "desk/DesktopManagerController.h"
#include "model/ZTDataModel.h"
#include "platform/graphics/Context.h"
#include "platform/ui/Screen.h"

namespace {

ExtendDataModel& settings() { return ZTDataModel::sharedInstance().extendDataModel(); }

// Brush bands by the top of the finger's y: on touch-down the band edges
// belong to the band below up to pen 6, on a move every band is closed above.
// Index 0..7 is the brush type, 8 the fill.
struct Band {
  float low, high;
};
constexpr Band kBands[] = {{0, 46}, {46, 68}, {68, 99}, {99, 122}, {122, 141}, {141, 194}, {194, 219}, {219, 269}, {269, 320}};
constexpr int kFillBand = 8;

int brushBandOnBegin(float y) {
  if (y >= 0 && y <= 46) return 0;
  for (int i = 1; i <= 5; ++i)
    if (y > kBands[i].low && y <= kBands[i].high) return i;
  if (y > 194 && y < 219) return 6;
  if (y >= 219 && y < 269) return 7;
  if (y >= 269 && y < 320) return kFillBand;
  return -1;
}

int brushBandOnMove(float x, float y) {
  if (y >= 0 && y <= 46) return 0;
  if (x < 400) return -1;
  for (int i = 1; i <= kFillBand; ++i)
    if (y > kBands[i].low && y <= kBands[i].high) return i;
  return -1;
}

// Which open bars (and the legacy canvas's drawing flag) block each strip.
enum class Strip { Brush, Opacity, Size };
struct Guard {
  bool brush, opacity, size;
};
constexpr Guard kGuards[] = {{false, true, true}, {true, false, true}, {true, true, false}};

bool blocked(Strip strip) {
  const ExtendDataModel& s = settings();
  const Guard& g = kGuards[static_cast<int>(strip)];
  return s.isDrawing() || (g.brush && s.isBrush()) || (g.opacity && s.isOpicaty()) || (g.size && s.isSize());
}

constexpr const char* kSmallTools[] = {"s_erase.png", "s_pen01.png", "s_pen02.png", "s_pen03.png", "s_pen04.png",
                                       "s_pen05.png", "s_pen06.png", "s_smudge.png", "fill_tool_small.png"};

// The blend that painting uses, which the smudge or eraser may have changed.
constexpr GLenum kFuncAdd = 32774;
constexpr GLenum kSrcAlpha = 770, kOneMinusSrcAlpha = 771, kOne = 1;

}  // namespace

void DesktopManagerController::showPen(int index) {
  if (index < 0 || index > kFillBand) return;
  ui::Picture p = desk_art::named(kSmallTools[index]);
  pensView_->setImage(p);
  const ui::Size s = p.size();
  pensView_->setFrame({rootWidth() - 4 - s.width, 170 - (s.height - 11) / 2, s.width, s.height});
}

void DesktopManagerController::placeSizeDisplay() {
  sizeDisplay_->setFrame({rootWidth() - 18 - toolSize_ / 2, 132 - toolSize_ / 2, toolSize_, toolSize_});
}

// --- brush strip

void DesktopManagerController::respondToBrushBegin(ui::Touch* touch) {
  if (blocked(Strip::Brush)) return;
  settings().setIsBrush(true);
  brushAndEraserSelection_->setHidden(false);
  const int band = brushBandOnBegin(touch->locationInView(view()).y);
  if (band >= 0) {
    brushAndEraserSelection_->toolTag(band)->setAlpha(1.0f);
    if (band == kFillBand) {
      if (drawsView_) drawsView_->setIsFillTool(true);
    } else {
      eaglBrushType_ = band;
      if (drawsView_) drawsView_->setIsFillTool(false);
    }
  }
  if (drawsView_) drawsView_->setBrushType(eaglBrushType_);
}

void DesktopManagerController::respondToBrushMove(ui::Touch* touch) {
  if (blocked(Strip::Brush)) return;
  settings().setIsBrush(true);
  if (drawsView_) {
    drawsView_->setBlendModeWithColorEquation(kFuncAdd, kFuncAdd);
    drawsView_->setBlendModelWithSCFactor(kSrcAlpha, kOneMinusSrcAlpha, kOne, kOneMinusSrcAlpha);
  }
  const ui::Point p = touch->locationInView(view());
  const int band = brushBandOnMove(p.x, p.y);
  if (band >= 0) {
    showPen(band);
    if (band == kFillBand) {
      if (drawsView_) drawsView_->setIsFillTool(true);
    } else {
      eaglBrushType_ = band;
      if (drawsView_) drawsView_->setIsFillTool(false);
    }
  }
  if (drawsView_) drawsView_->setBrushType(eaglBrushType_);
  brushAndEraserSelection_->setAllToolsAlpha(0.5f);
  if (band >= 0) brushAndEraserSelection_->toolTag(band)->setAlpha(1.0f);
}

void DesktopManagerController::respondToBrushEnd(ui::Touch*) {
  if (blocked(Strip::Brush)) return;
  settings().setIsBrush(false);
  showPen(drawsView_ && drawsView_->isFillTool() ? kFillBand : eaglBrushType_);
  brushAndEraserSelection_->setHidden(true);
  brushAndEraserSelection_->setAllToolsAlpha(0.5f);
  applyBrushPreset();
}

// The chosen type's stored opacity and size, with the current colour.
void DesktopManagerController::applyBrushPreset() {
  ExtendDataModel& s = settings();
  const BrushPreset preset = s.dicWithBrushMark(eaglBrushType_).value_or(BrushPreset{});
  opacitySelection_->curOpacity()->setAlpha(preset.opacity);
  opacitySelection_->oriOpacity()->setAlpha(preset.opacity);
  opacityDisplay_->setAlpha(preset.opacity);
  gfx::Color c = s.cuColor();
  c.a = preset.opacity;
  if (drawsView_) {
    drawsView_->setBrushAlpha(preset.opacity);
    drawsView_->setBrushColor(c);
  }
  toolSize_ = static_cast<float>(preset.size);
  if (drawsView_) drawsView_->setBrushSize(toolSize_);
  setEraserSize(toolSize_);
  placeSizeDisplay();
}

// --- opacity strip

void DesktopManagerController::respondToOpacityBegin(ui::Touch* touch) {
  if (blocked(Strip::Opacity)) return;
  settings().setIsOpicaty(true);
  opacitySelection_->setHidden(false);
  respondToOpacityMove(touch);
}

void DesktopManagerController::respondToOpacityMove(ui::Touch* touch) {
  if (blocked(Strip::Opacity)) return;
  const ui::Point p = touch->locationInView(view());
  const int value = std::max(static_cast<int>(std::trunc(107.14 - 0.357 * static_cast<double>(p.y))), 1);
  if (p.y < 20 || p.y > 300 || p.x < 400) return;
  opacitySelection_->opacitySlider()->setFrame({17, 0.75f * p.y + 52, 45, 20});
  opacitySelection_->opacityLabel()->setText(std::to_string(value));
  opacitySelection_->curOpacity()->setAlpha(value / 100.0f);
  opacityDisplay_->setAlpha(value / 100.0f);
}

void DesktopManagerController::respondToOpacityEnd(ui::Touch* touch) {
  if (blocked(Strip::Opacity)) return;
  ExtendDataModel& s = settings();
  respondToOpacityMove(touch);
  const float alpha = opacitySelection_->curOpacity()->alpha();
  opacitySelection_->oriOpacity()->setAlpha(alpha);
  opacitySelection_->setHidden(true);
  if (drawsView_) drawsView_->setBrushAlpha(alpha);
  s.setDicWithBrushMark(eaglBrushType_, static_cast<int>(toolSize_), alpha);
  s.setIsOpicaty(false);
}

// --- size strip

void DesktopManagerController::respondToSizeBegin(ui::Touch* touch) {
  if (blocked(Strip::Size)) return;
  settings().setIsSize(true);
  sizeSelection_->setHidden(false);
  respondToSizeMove(touch);
}

void DesktopManagerController::respondToSizeMove(ui::Touch* touch) {
  if (blocked(Strip::Size)) return;
  const ui::Point p = touch->locationInView(view());
  if (p.x < 400 || p.y < 20 || p.y > 300) return;
  const int size = static_cast<int>(std::trunc(107.0f - 0.35f * p.y));
  sizeSelection_->sizeSlider()->setFrame({17, 0.76f * p.y + 51.79f, 45, 20});
  sizeSelection_->sizeLabel()->setText(std::to_string(size));
  const float d = std::trunc(size * 50 / 100.0f);
  sizeSelection_->curSize()->setFrame({15, 3, d, d});
  sizeSelection_->curSize()->setCenter({40, 28});
  toolSize_ = (size - 2) * 30 / 98.0f + 2;
  placeSizeDisplay();
}

void DesktopManagerController::respondToSizeEnd(ui::Touch*) {
  if (blocked(Strip::Size)) return;
  ExtendDataModel& s = settings();
  s.setIsSize(false);
  if (drawsView_) drawsView_->setBrushSize(toolSize_);
  setEraserSize(toolSize_);
  sizeSelection_->oriSize()->setFrame(sizeSelection_->curSize()->frame());
  sizeSelection_->oriSize()->setCenter({40, 28});
  sizeSelection_->setHidden(true);
  s.setDicWithBrushMark(eaglBrushType_, static_cast<int>(toolSize_), opacitySelection_->curOpacity()->alpha());
}

// --- shape strip: the desk's shape strip swallows its touches, so these are
// reached only by a strip made to report shapes.

void DesktopManagerController::respondToShapeBegin(ui::Touch*) { shapeSelection_->setHidden(false); }

void DesktopManagerController::respondToShapeMove(ui::Touch* touch) {
  const ui::Point p = touch->locationInView(view());
  if (p.x < 400 || p.y < 110 || p.y > 170) return;
  shapeSelection_->highlight(p.y <= 120 ? 0 : std::min(static_cast<int>(std::ceil((p.y - 120) / 10)), 5));
}

void DesktopManagerController::respondToShapeEnd(ui::Touch*) { shapeSelection_->setHidden(true); }

// The draw-tool strip only ever looked at the guards.
void DesktopManagerController::respondToDrawToolBegin(ui::Touch*) {}
void DesktopManagerController::respondToDrawToolMove(ui::Touch*) {}
void DesktopManagerController::respondToDrawToolEnd(ui::Touch*) {}

// --- colour

void DesktopManagerController::paintCan(gfx::Color color) {
  const float scale = ui::Screen::main().scale();
  // A mask clips with its top row at the rectangle's larger y, so the can is
  // painted in a y-up context for the mask to stand upright on the button.
  gfx::Context c(static_cast<int>(43 * scale), static_cast<int>(49 * scale), scale, gfx::Origin::BottomLeft);
  ui::Picture mask = desk_art::named("Paint_can_mask.png");
  c.save();
  if (const gfx::Image* m = mask.image()) c.clipToMask({0, 0, 43, 49}, *m);
  c.setFillColor({color.r, color.g, color.b, 1});
  c.fillRect({0, 0, 43, 49});
  c.restore();
  colorselect_->setImage(ui::Picture(c.makeImage()));
}

void DesktopManagerController::respondToColorSelected(gfx::Color color) {
  if (drawsView_) drawsView_->setBrushColor(color);
  paintCan(color);
  // A shape on the stamp tool takes the new colour.
  if (graphToolView_) {
    GraphToolView& tool = *graphToolView_;
    if ((!tool.isPrint() && !tool.isExportAlum()) || tool.isGraph()) tool.drawingToolDrawGraphEvent();
  }
}

// --- eraser ring

void DesktopManagerController::respondToBeginEraserOperation(float x, float y, float size) {
  erser_->setFrame({x - size / 2, y - size / 2, size, size});
  erser_->setHidden(false);
}

void DesktopManagerController::respondToMoveEraserOperation(float x, float y, float size) {
  erser_->setFrame({x - size / 2, y - size / 2, size, size});
}

void DesktopManagerController::respondToEndEraserOperation() { erser_->setHidden(true); }

void DesktopManagerController::setEraserSize(float size) {
  const float f = drawsView_ ? drawsView_->factor() : 1.0f;
  erser_->setFrame({-100, -100, f * size, f * size});
}

namespace {
bool erasing(const DrawsView* canvas, int type) { return canvas && type == 0 && !canvas->isFillTool(); }
}  // namespace

void DesktopManagerController::eaglViewDidTouchBegin(EAGLView*) {
  if (!erasing(drawsView_.get(), eaglBrushType_) || !drawsView_) return;
  const ui::Point p = drawsView_->convertPointTo(drawsView_->lastLocation(), canvas_.get());
  respondToBeginEraserOperation(p.x, p.y, toolSize_ * drawsView_->factor());
}

void DesktopManagerController::eaglViewDidTouchMove(EAGLView*) {
  if (!erasing(drawsView_.get(), eaglBrushType_) || !drawsView_) return;
  const ui::Point p = drawsView_->convertPointTo(drawsView_->lastLocation(), canvas_.get());
  respondToMoveEraserOperation(p.x, p.y, toolSize_ * drawsView_->factor());
}

void DesktopManagerController::eaglViewDidTouchEnd(EAGLView*) { respondToEndEraserOperation(); }
