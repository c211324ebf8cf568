#pragma once
// The brush renderer of one canvas: loads the brush program and tip atlases
// and draws everything that reaches the canvas as textured quads - fully
// specified dabs (batched into one draw per call), smudge dabs, lines,
// polygons and ellipses made of dabs, pictures, pixel blocks and area clears.
// Its state is one RenderSettings value, applied as a whole; the setters are
// thin wrappers that change one part of it. Dab centres become dabs through
// the stroke side's DabShaper. Every call runs with its canvas's context
// current and framebuffer bound.
#include <GLES2/gl2.h>

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "canvas/Common.h"
#include "canvas/DabShaper.h"
#include "platform/graphics/Image.h"

class ProgramObject;
class TextureObject;

class RenderObject : public Common {
 public:
  // Attribute locations, fixed at link time.
  enum Attrib : GLuint { kPosition = 0, kColor = 1, kTexCoord = 2, kBgCoord = 3 };
  // Uniform indices, in the order they are looked up.
  enum Uniform : unsigned {
    kScale = 0, kCenter, kEnableRotate, kRadian, kBrushTexture, kEnableTexture,
    kAlpha, kRenderType, kEnableBGMix, kBgTexture, kPressure, kUniformCount
  };
  static constexpr int kAtlasQuality = 128;
  static constexpr int kAtlasCount = 4;

  RenderObject(unsigned backingWidth, unsigned backingHeight);
  ~RenderObject() override;

  void loadShadersAndTextures() override;
  void loadShaders();
  void loadTextures();
  // The whole render state at once (another canvas may have drawn between).
  void applySettings(const RenderSettings& settings);
  // Up to sixteen tips, four to an atlas. Empty lists are ignored.
  void setTextureImages(std::span<const gfx::Image> images);
  void setCurIndex(int index);
  void useDefaultTexture();

  void setRenderColorWithRed(float r, float g, float b, float a) override;
  void setAlphaValue(float a) override;
  // Clamped to 0..the GL's texture size limit; non-finite sizes count as 0.
  void setRenderSize(float size) override;
  void setSmudgeEnabled(bool enabled);
  void setSmudgeSoftness(float softness) { settings_.smudgeSoftness = softness; }
  void setPressure(float pressure);
  float pressure() const { return settings_.pressure; }

  void setScFactor(GLenum f);
  void setDcFactor(GLenum f);
  void setSaFactor(GLenum f);
  void setDaFactor(GLenum f);
  void setBlendModeWithColorEquation(GLenum colorEquation, GLenum alphaEquation) override;
  void setBlendWithSFactor(GLenum s, GLenum d) override;
  void setBlendWithSCFactor(GLenum sc, GLenum dc, GLenum sa, GLenum da) override;

  bool needRotateTexture() const { return settings_.dab.directionFollow || settings_.dab.rotate; }
  void setRotateEnabled(bool enabled);
  void setDirectionFollow(bool follow);

  bool openProgramWithViewWidth(unsigned viewWidth, unsigned viewHeight, float scaleFactor = 1.0f) override;
  bool updateBackingWidth(unsigned width, unsigned height) override;
  bool updateViewWidth(unsigned width, unsigned height) override;
  bool useDefaultProgram();
  // Re-sends this renderer's whole state (another canvas drew in between).
  void recoverySetting();
  void resetSetting();

  // Dabs: centres in view points (bottom-left origin), sizes in backing
  // pixels, shaped by the current dab style.
  void drawPoints(const gfx::Point* points, const float* sizes, int count);
  // Dabs already shaped: drawn as given.
  void drawDabs(std::span<const Dab> dabs);
  // The backing pixels (origin bottom left) the dabs of the last drawPoints
  // or drawDabs may have touched; empty when none was drawn.
  gfx::Rect lastDabBounds() const { return lastDabBounds_; }
  void drawPoints(const gfx::Point* points, const float* sizes, int count, bool lineBegin);
  void drawLineFromPoint(gfx::Point from, gfx::Point to);
  // type 1: open polyline, 2: closed polygon, 3: broken line.
  void drawLines(const gfx::Point* points, int count, int type = 1);
  void drawBrokenLine(const gfx::Point* points, int count);
  void drawPolygon(const gfx::Point* points, int count);
  void drawEllipsesWithCenter(gfx::Point center, float width, float height, float radian);

  // Clears the rotated rectangle to transparent; the caller sets the blend.
  void clearWithSize(gfx::Size size, gfx::Point center, float radian);
  // Paint over the canvas (premultiplied source over).
  void drawImage(const gfx::Image& image, gfx::Rect rect, float radian);
  void drawImage(const gfx::Image& image, gfx::Size size, gfx::Point center, float radian);
  void drawData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Rect rect, float radian);
  void drawData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Size drawSize, gfx::Point center, float radian);
  // Takes away what lies under the mask's opaque part, leaving every pixel
  // under its transparent part exactly as it was.
  void eraseWithMask(const gfx::Image& mask, gfx::Size size, gfx::Point center, float radian);
  // Replace the rotated rectangle; nullptr clears it.
  void setImage(const gfx::Image* image, gfx::Rect rect, float radian);
  void setImage(const gfx::Image* image, gfx::Size size, gfx::Point center, float radian);
  void setData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Rect rect, float radian);
  void setData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Size drawSize, gfx::Point center, float radian);

  int curIndex() const { return settings_.tipIndex; }
  bool rotateEnabled() const { return settings_.dab.rotate; }
  int radianMin() const { return settings_.dab.radianMin; }
  void setRadianMin(int degrees) { settings_.dab.radianMin = degrees; }
  int radianMax() const { return settings_.dab.radianMax; }
  void setRadianMax(int degrees) { settings_.dab.radianMax = degrees; }
  bool directionFollow() const { return settings_.dab.directionFollow; }
  GLenum scFactor() const { return settings_.blend.sc; }
  GLenum dcFactor() const { return settings_.blend.dc; }
  GLenum saFactor() const { return settings_.blend.sa; }
  GLenum daFactor() const { return settings_.blend.da; }
  GLenum blendModeRGB() const { return settings_.blend.colorEquation; }
  GLenum blendModeAlpha() const { return settings_.blend.alphaEquation; }
  bool tipEffectEnabled() const { return settings_.dab.tipEffect; }
  void setTipEffectEnabled(bool e) { settings_.dab.tipEffect = e; }
  float tipValue() const { return settings_.dab.tipValue; }
  void setTipValue(float v) { settings_.dab.tipValue = v; }
  bool smudgeEnabled() const { return settings_.smudge; }
  float smudgeSoftness() const { return settings_.smudgeSoftness; }
  bool lineBegin() const { return shaper_.lineBegin(); }
  void setLineBegin(bool begin);
  gfx::Point prePoint() const { return shaper_.prePoint(); }
  void setBeginPoint(gfx::Point p) { shaper_.setPrePoint(p); }
  float texSize() const { return texSize_; }
  float destSize() const { return destSize_; }
  // The smudge copy's texture and edge in pixels (0 until smudge is first used).
  GLuint smudgeTexture() const { return smudgeTexture_.get(); }
  int smudgeEdge() const { return smudgeEdge_; }
  const TextureObject* atlas(int i) const { return atlases_[static_cast<std::size_t>(i)].get(); }
  const ProgramObject* program() const { return renderProgram_.get(); }
  // The same program built for plain dab batches only (see drawBatchedDabs).
  const ProgramObject* dabProgram() const { return dabProgram_.get(); }
  // Off: plain dabs are drawn with the full program too (for comparison).
  void setPlainDabProgramEnabled(bool on) { plainDabProgramEnabled_ = on; }
  // Off: every dab is drawn as its whole square, also where its tip has no
  // coverage (for comparison).
  void setTrimmedDabsEnabled(bool on) { trimmedDabsEnabled_ = on; }

 private:
  void corners(const Dab& dab, float out[8]) const;
  void drawBatchedDabs(std::span<const Dab> dabs);
  // Triangles of one dab into batch_: its square, or only the part of it
  // where the tip can give coverage (possibly nothing).
  void appendDabSquare(const Dab& dab, const float* cell);
  void appendTrimmedDab(const Dab& dab, const TextureObject& atlas, unsigned cellIndex);
  void appendDabVertex(const Dab& dab, float x, float y, float s, float t, float cosA, float sinA);
  void useDabProgram();
  void drawSmudgeDabs(std::span<const Dab> dabs);
  gfx::Rect backingBounds(const std::vector<float>& xy, std::size_t stride) const;
  void ensureSmudgeTexture();
  void copySmudge(gfx::Point q);
  const TextureObject* atlasForIndex(int index) const;
  void bindCellCoordinates();
  void bindBgCoordinates();
  void applyBlend();
  void applyBlendOnce(GLenum src, GLenum dst);
  void renderImage(const gfx::Image* image, gfx::Size size, gfx::Point center, float rotate);
  void renderData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Size drawSize, gfx::Point center, float rotate);
  void renderTexture(TextureObject& texture, gfx::Size size, gfx::Point center, float rotate);
  void setQuad(float* corners, gfx::Size size);

  bool hasProgram() const;
  void uniform1f(Uniform u, float v);
  void uniform1i(Uniform u, int v);
  void uniform2f(Uniform u, float x, float y);

  std::unique_ptr<ProgramObject> renderProgram_;
  std::unique_ptr<ProgramObject> dabProgram_;
  // Uniform values last sent to the dab program (it keeps them between batches).
  bool plainDabProgramEnabled_ = true;
  bool trimmedDabsEnabled_ = true;
  // The part of a cell last trimmed to, in its (u, v) coordinates, and for
  // which atlas, cell and levels.
  struct TrimShape {
    const TextureObject* atlas = nullptr;
    unsigned cell = 0;
    int fromLevel = -1, toLevel = -1;
    std::vector<gfx::Point> polygon;
    bool whole = false;  // the square itself is drawn
  };
  TrimShape trim_;
  bool dabUniformsSet_ = false;
  float dabScaleX_ = 0, dabScaleY_ = 0, dabAlpha_ = 0;
  std::array<std::unique_ptr<TextureObject>, kAtlasCount> atlases_;
  DabShaper shaper_;
  std::vector<Dab> dabs_;
  glx::TextureHandle smudgeTexture_;
  int smudgeEdge_ = 0;
  // The copy was taken during this stroke; a stroke that starts drawing at
  // once (a tap) picks up paint before its first dab.
  bool smudgeFresh_ = false;
  float texSize_ = 1.0f;
  float destSize_ = 1.0f;
  std::array<float, 8> bgCoord_{};
  float quad_[8] = {};
  std::vector<float> batch_;          // x, y, s, t per vertex, six vertices per dab
  gfx::Rect lastDabBounds_;
  std::vector<std::uint8_t> zeros_;   // blank smudge square, for copies cut by the edge
};
