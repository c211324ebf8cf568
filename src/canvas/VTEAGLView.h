#pragma once
// The brush canvas: keeps the user-facing brush settings (colour, opacity,
// size range, tip, rotation, density, speed sensitivity, tip narrowing,
// smudge, blend) as one BrushSettings value, hands the renderer its render
// part as a whole after each change and the stroke generator its part,
// draws strokes through the generator and the dab renderer, stamps pictures
// and pixel blocks, and can hand a finished stroke to the shape recogniser.
// Two canvases may live at once; the one that did not draw last re-sends its
// renderer state before it draws.
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "canvas/BrushSettings.h"
#include "canvas/EAGLView.h"
#include "canvas/GenCurvePoints.h"
#include "canvas/shape/ShapeRecord.h"

class VTEAGLView : public EAGLView {
 public:
  static constexpr unsigned kDefaultShapesMark = 799;

  static std::shared_ptr<VTEAGLView> create(gfx::Rect frame);
  ~VTEAGLView() override;

  void loadData();
  void updateSettings();
  void layoutSubviews() override;

  // Brush settings.
  virtual void setBrushType(int type);
  void setBrushTypeIndex(int index);
  void setBrushColor(std::optional<gfx::Color> color);
  void setAlphaEffect(bool on);
  void setBrushAlpha(float alpha);
  // Remembers the size asked for, then applies it (applyBrushSize), so that a
  // later re-apply uses what was asked, not what a size rule derived from it.
  void setBrushSize(float size);
  float requestedBrushSize() const { return requestedBrushSize_; }
  void setMaxSpeedSize(int maxSpeedSize, int minSpeedSize, bool autoResize);
  void setBrushSizeMax(int max, int min, bool autoResize);
  void setSizeMax(float size);
  void setSizeMin(float size);
  void setEnableAutoresize(bool on);
  void setEnableRotate(bool on);
  void setRadianMin(int degrees);
  void setRadianMax(int degrees);
  void setDensityFactor(float density);
  void setSpeedSenseFactor(float factor);
  void setTextureImages(const std::vector<gfx::Image>& images);
  void setBlendModeWithColorEquation(GLenum colorEquation, GLenum alphaEquation);
  void setBlendModelWithSFactor(GLenum s, GLenum d);
  void setBlendModelWithSCFactor(GLenum sc, GLenum dc, GLenum sa, GLenum da);
  void setTipEffectEnabled(bool on);
  void setTipValue(float value);
  void setEnableSmudge(bool on);
  void setSoftnessSmudge(float softness);
  void setPresses(float pressure);
  void setDirectionFollow(bool on);
  void setEnableRecogition(bool on);
  void setShapesMark(unsigned mask) { shapesMark_ = mask; }

  // The whole brush, as one value.
  const BrushSettings& brushSettings() const { return settings_; }
  std::optional<gfx::Color> brushColor() const { return settings_.color; }
  float brushAlpha() const { return settings_.render.alpha; }
  bool alphaEffect() const { return settings_.alphaEffect; }
  int brushTypeIndex() const { return settings_.brushType; }
  float brushSize() const { return settings_.brushSize; }
  bool enableRotate() const { return settings_.render.dab.rotate; }
  int radianMin() const { return settings_.render.dab.radianMin; }
  int radianMax() const { return settings_.render.dab.radianMax; }
  float densityFactor() const { return settings_.density; }
  float speedSenseFactor() const { return settings_.speedSense; }
  float sizeMin() const { return settings_.sizeMin; }
  float sizeMax() const { return settings_.sizeMax; }
  bool enableAutoresize() const { return settings_.autoresize; }
  bool tipEffectEnabled() const { return settings_.render.dab.tipEffect; }
  float tipValue() const { return settings_.render.dab.tipValue; }
  bool enableSmudge() const { return settings_.render.smudge; }
  float softnessSmudge() const { return settings_.render.smudgeSoftness; }
  float presses() const { return settings_.render.pressure; }
  bool directionFollow() const { return settings_.render.dab.directionFollow; }
  bool enableRecogition() const { return enableRecogition_; }
  unsigned shapesMark() const { return shapesMark_; }
  int useType() const { return settings_.useType; }
  GLenum scFactor() const { return settings_.render.blend.sc; }
  GLenum dcFactor() const { return settings_.render.blend.dc; }
  GLenum saFactor() const { return settings_.render.blend.sa; }
  GLenum daFactor() const { return settings_.render.blend.da; }
  const SnapshotData& tempData() const { return tempData_; }
  void setTempData(SnapshotData data) { tempData_ = std::move(data); }
  GenCurvePoints& lineOptimization() { return lineOptimization_; }

  // Strokes.
  void drawWithBeginPoint(gfx::Point p) override;
  void drawWithMovePoint(gfx::Point p) override;
  void drawWithEndPoint(gfx::Point p) override;
  int randWithMin(int min, int max) const;
  void randSize(float* sizes, int count) const;

  void clear() override;
  bool undo() override;
  bool redo() override;
  // The whole backing read back.
  SnapshotData curImageData();

  // Stamping: rectangles and centres in view points, bottom-left origin;
  // pixel blocks are RGBA rows bottom-up, their sizes in pixels.
  void drawImage(const gfx::Image& image, gfx::Rect rect);
  void drawData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Rect rect);
  void drawImage(const gfx::Image& image, gfx::Size size, gfx::Point center, float radian);
  void drawData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Size size, gfx::Point center, float radian);
  // Takes away what lies under the mask's opaque part, nothing else.
  void eraseWithMask(const gfx::Image& mask, gfx::Size size, gfx::Point center, float radian);
  // Replace the rectangle; nullptr clears it.
  void setImage(const gfx::Image* image, gfx::Rect rect);
  void setData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Rect rect);
  void setImage(const gfx::Image* image, gfx::Size size, gfx::Point center, float radian);
  void setData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Size size, gfx::Point center, float radian);

  // Shapes (reached only with recognition on). NO, drawing nothing, for an
  // unrecognised shape or a kind the shapes mask does not admit.
  bool drawShape(const ShapeRecord& shape);
  bool shapeAdmitted(const ShapeRecord& shape) const;

  // Class-wide record of the canvas whose state the GL holds and of how many live.
  static int liveCanvasCount();
  static const VTEAGLView* currentCanvas();

 protected:
  explicit VTEAGLView(gfx::Rect frame, float contentScaleFactor = 1.0f);
  // The dab spacing follows the scales, which follow the view's size.
  void boundsSizeChanged(ui::Size oldSize) override;
  // The base size rule: (2, size, autoresize). Subclasses with their own
  // rules override this, not setBrushSize.
  virtual void applyBrushSize(float size);
  void strokeDidCancel() override;

 private:
  void generateAndDraw(gfx::Point p, bool endOfStroke);
  void applyGeneratorSizes();
  // Hands the renderer the render part of the settings, as a whole.
  void applyRender();
  void refreshTempData(bool afterMark);
  template <typename Render>
  void stamp(bool takeLock, Render&& render);

  std::vector<gfx::Point> points_;
  bool enableRecogition_ = false;
  SnapshotData tempData_;
  unsigned shapesMark_ = kDefaultShapesMark;
  GenCurvePoints lineOptimization_;
  BrushSettings settings_;
  float requestedBrushSize_ = 32;
  std::vector<gfx::Image> textureImages_;
  std::vector<gfx::Point> genPoints_;
  std::vector<float> genSizes_;
};
