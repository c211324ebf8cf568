#pragma once
// The brush canvas: keeps the user-facing brush settings (colour, opacity,
// size range, tip, rotation, density, speed sensitivity, tip narrowing,
// smudge, blend), turns them into renderer and stroke-generator settings,
// draws strokes through the generator and the dab renderer, stamps pictures
// and pixel blocks, and can hand a finished stroke to the shape recogniser.
// Two canvases may live at once; the one that did not draw last re-sends its
// renderer state before it draws.
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

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

  std::optional<gfx::Color> brushColor() const { return brushColor_; }
  float brushAlpha() const { return brushAlpha_; }
  bool alphaEffect() const { return alphaEffect_; }
  int brushTypeIndex() const { return curBrushTypeIndex_; }
  float brushSize() const { return brushSize_; }
  bool enableRotate() const { return enableRotate_; }
  int radianMin() const { return radianMin_; }
  int radianMax() const { return radianMax_; }
  float densityFactor() const { return densityFactor_; }
  float speedSenseFactor() const { return speedSenseFactor_; }
  float sizeMin() const { return sizeMin_; }
  float sizeMax() const { return sizeMax_; }
  bool enableAutoresize() const { return enableAutoresize_; }
  bool tipEffectEnabled() const { return tipEffectEnabled_; }
  float tipValue() const { return tipValue_; }
  bool enableSmudge() const { return enableSmudge_; }
  float softnessSmudge() const { return softnessSmudge_; }
  float presses() const { return presses_; }
  bool directionFollow() const { return directionFollow_; }
  bool enableRecogition() const { return enableRecogition_; }
  unsigned shapesMark() const { return shapesMark_; }
  int useType() const { return useType_; }
  GLenum scFactor() const { return scFactor_; }
  GLenum dcFactor() const { return dcFactor_; }
  GLenum saFactor() const { return saFactor_; }
  GLenum daFactor() const { return daFactor_; }
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
  void refreshTempData(bool afterMark);
  template <typename Render>
  void stamp(bool takeLock, Render&& render);

  std::vector<gfx::Point> points_;
  bool enableRecogition_ = false;
  SnapshotData tempData_;
  unsigned shapesMark_ = kDefaultShapesMark;
  GenCurvePoints lineOptimization_;
  std::optional<gfx::Color> brushColor_ = gfx::Color{1, 0, 0, 1};
  float brushAlpha_ = 1.0f;
  bool alphaEffect_ = true;
  int curBrushTypeIndex_ = 0;
  float brushSize_ = 32;
  float requestedBrushSize_ = 32;
  bool enableRotate_ = true;
  int radianMax_ = 360, radianMin_ = 0;
  bool directionFollow_ = false;
  float densityFactor_ = 0.25f;
  float speedSenseFactor_ = 0.5f;
  bool enableAutoresize_ = false;
  float sizeMin_ = 32, sizeMax_ = 32;
  GLenum scFactor_ = GL_SRC_ALPHA, dcFactor_ = GL_ONE_MINUS_SRC_ALPHA;
  GLenum saFactor_ = GL_ONE, daFactor_ = GL_ONE_MINUS_SRC_ALPHA;
  GLenum modeRGB_ = GL_FUNC_ADD, modeAlpha_ = GL_FUNC_ADD;
  std::vector<gfx::Image> textureImages_;
  bool tipEffectEnabled_ = false;
  float tipValue_ = 1.0f;
  bool enableSmudge_ = false;
  float softnessSmudge_ = 0.5f;
  float presses_ = 0.5f;
  int useType_ = 0;
  std::vector<gfx::Point> genPoints_;
  std::vector<float> genSizes_;
};
