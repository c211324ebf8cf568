// The drawing half of the brush renderer: the dab loop, shapes made of dabs,
// pictures, pixel blocks and area clears.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "canvas/DabRandom.h"
#include "canvas/ProgramObject.h"
#include "canvas/RenderFunctions.h"
#include "canvas/RenderObject.h"
#include "canvas/TextureObject.h"
#include "platform/gl/Util.h"

void RenderObject::corners(const Dab& dab, float out[8]) const {
  const float hx = static_cast<float>(dab.width / 2 * scaleX_);
  const float hy = static_cast<float>(dab.height / 2 * scaleY_);
  const float c[8] = {-hx, -hy, hx, -hy, hx, hy, -hx, hy};
  std::copy(std::begin(c), std::end(c), out);
}

void RenderObject::drawPoints(const gfx::Point* points, const float* sizes, int count, bool lineBegin) {
  setLineBegin(lineBegin);
  drawPoints(points, sizes, count);
}

void RenderObject::drawPoints(const gfx::Point* points, const float* sizes, int count) {
  lastDabBounds_ = {};
  if (points == nullptr || sizes == nullptr || count <= 0) return;
  const auto n = static_cast<std::size_t>(count);
  shaper_.shapeAll({points, n}, {sizes, n}, settings_.dab, settings_.smudge, dabs_);
  drawDabs(dabs_);
}

void RenderObject::drawDabs(std::span<const Dab> dabs) {
  lastDabBounds_ = {};
  uniform1i(kRenderType, 0);
  if (settings_.smudge) {
    drawSmudgeDabs(dabs);
  } else {
    drawBatchedDabs(dabs);
  }
  glx::clearErrors();
}

namespace {

// Whether a fragment of zero alpha leaves the canvas exactly as it was under
// the blend: its colour weighed by nothing, the canvas's by one. Only then may
// a dab skip the pixels where its tip has no coverage.
bool zeroCoverageLeavesCanvas(const BlendSettings& b) {
  auto dropsSource = [](GLenum f) { return f == GL_ZERO || f == GL_SRC_ALPHA || f == GL_SRC_ALPHA_SATURATE; };
  auto keepsCanvas = [](GLenum f) { return f == GL_ONE || f == GL_ONE_MINUS_SRC_ALPHA; };
  auto adds = [](GLenum e) { return e == GL_FUNC_ADD || e == GL_FUNC_REVERSE_SUBTRACT; };
  return dropsSource(b.sc) && keepsCanvas(b.dc) && keepsCanvas(b.da) && adds(b.colorEquation) &&
         adds(b.alphaEquation);
}

// The unit square cut to an octagon of coverage bounds, corner by corner.
std::vector<gfx::Point> coveragePolygon(const TextureObject::Coverage& c) {
  const float u0 = std::max(0.0f, c.lo[0]), u1 = std::min(1.0f, c.hi[0]);
  const float v0 = std::max(0.0f, c.lo[1]), v1 = std::min(1.0f, c.hi[1]);
  if (u0 >= u1 || v0 >= v1) return {};
  std::vector<gfx::Point> poly = {{u0, v0}, {u1, v0}, {u1, v1}, {u0, v1}};
  // Keeps the side where a*u + b*v <= limit.
  auto clip = [&poly](float a, float b, float limit) {
    std::vector<gfx::Point> out;
    for (std::size_t i = 0; i < poly.size(); ++i) {
      const gfx::Point p = poly[i], q = poly[(i + 1) % poly.size()];
      const float dp = a * p.x + b * p.y - limit, dq = a * q.x + b * q.y - limit;
      if (dp <= 0) out.push_back(p);
      if ((dp < 0 && dq > 0) || (dp > 0 && dq < 0)) {
        const float k = dp / (dp - dq);
        out.push_back({p.x + (q.x - p.x) * k, p.y + (q.y - p.y) * k});
      }
    }
    poly = std::move(out);
  };
  clip(1, 1, c.hi[2]);
  clip(-1, -1, -c.lo[2]);
  clip(1, -1, c.hi[3]);
  clip(-1, 1, -c.lo[3]);
  if (poly.size() < 3) return {};
  return poly;
}

double polygonArea(const std::vector<gfx::Point>& poly) {
  double twice = 0;
  for (std::size_t i = 0; i < poly.size(); ++i) {
    const gfx::Point p = poly[i], q = poly[(i + 1) % poly.size()];
    twice += static_cast<double>(p.x) * q.y - static_cast<double>(q.x) * p.y;
  }
  return std::abs(twice) / 2;
}

// A polygon that spares less than this much of the square costs more in
// its extra edges than its fewer pixels save.
constexpr double kMostTrimmedArea = 0.7;

}  // namespace

void RenderObject::appendDabVertex(const Dab& dab, float x, float y, float s, float t, float cosA, float sinA) {
  batch_.push_back(x * cosA - y * sinA + dab.center.x);
  batch_.push_back(x * sinA + y * cosA + dab.center.y);
  batch_.push_back(s);
  batch_.push_back(t);
}

void RenderObject::appendDabSquare(const Dab& dab, const float* cell) {
  float quad[8];
  corners(dab, quad);
  const float c = dab.rotated ? std::cos(dab.angle) : 1.0f;
  const float s = dab.rotated ? std::sin(dab.angle) : 0.0f;
  constexpr int kTriangleCorners[6] = {0, 1, 2, 0, 2, 3};
  for (int k : kTriangleCorners) appendDabVertex(dab, quad[2 * k], quad[2 * k + 1], cell[2 * k], cell[2 * k + 1], c, s);
}

// The levels a dab's samples may come from follow from how many texels of
// the tip fall on a pixel, for any way the GL may measure that: between the
// smaller scale over the square root of two and twice the larger times the
// square root of two, and the level above for blending between two.
void RenderObject::appendTrimmedDab(const Dab& dab, const TextureObject& atlas, unsigned cellIndex) {
  const float* cell = atlas.vertiesOfTextureIndex(cellIndex) + 2;
  const float su = atlas.cellTexelsWide(cellIndex) / dab.width, sv = atlas.cellTexelsHigh(cellIndex) / dab.height;
  if (!(std::isfinite(su) && std::isfinite(sv) && su > 0 && sv > 0)) {
    appendDabSquare(dab, cell);
    return;
  }
  const int top = atlas.mipLevels() - 1;
  const int from = std::clamp(static_cast<int>(std::floor(std::log2(std::min(su, sv)) - 0.5f)), 0, top);
  const int to = std::clamp(static_cast<int>(std::floor(std::log2(std::max(su, sv)) + 1.5f)) + 1, 0, top);
  if (trim_.atlas != &atlas || trim_.cell != cellIndex || trim_.fromLevel != from || trim_.toLevel != to) {
    TextureObject::Coverage covered;
    for (int level = from; level <= to; ++level) covered.merge(atlas.coverage(cellIndex, level));
    std::vector<gfx::Point> poly = covered.empty() ? std::vector<gfx::Point>{} : coveragePolygon(covered);
    trim_ = {&atlas, cellIndex, from, to, std::move(poly), false};
    trim_.whole = !covered.empty() && (trim_.polygon.empty() || polygonArea(trim_.polygon) > kMostTrimmedArea);
  }
  if (trim_.whole) {
    appendDabSquare(dab, cell);
    return;
  }
  const std::vector<gfx::Point>& poly = trim_.polygon;
  if (poly.empty()) return;  // the tip has no coverage at this size: nothing to draw
  float quad[8];
  corners(dab, quad);
  const float hx = quad[2], hy = quad[5];
  const float c = dab.rotated ? std::cos(dab.angle) : 1.0f;
  const float s = dab.rotated ? std::sin(dab.angle) : 0.0f;
  // cell: (s, t) at the corners (-x,-y), (+x,-y), (+x,+y), (-x,+y).
  const float s0 = cell[0], s1 = cell[2], t0 = cell[1], t1 = cell[5];
  auto vertex = [&](gfx::Point uv) {
    appendDabVertex(dab, (2 * uv.x - 1) * hx, (2 * uv.y - 1) * hy, s0 + (s1 - s0) * uv.x, t0 + (t1 - t0) * uv.y, c, s);
  };
  for (std::size_t i = 1; i + 1 < poly.size(); ++i) {
    vertex(poly[0]);
    vertex(poly[i]);
    vertex(poly[i + 1]);
  }
}

// Plain dabs do not read the framebuffer, so a whole batch goes in one draw:
// the corners are turned and placed here instead of in the vertex shader.
// Triangles of one draw are blended in order, so the picture is the same as
// with one draw per dab. Where the blend leaves the canvas as it is under
// zero coverage, each dab covers only the part of its square where its tip
// has coverage at the levels it is sampled from.
void RenderObject::drawBatchedDabs(std::span<const Dab> dabs) {
  if (dabs.empty()) return;
  const TextureObject* atlas = atlasForIndex(settings_.tipIndex);
  const unsigned cellIndex = static_cast<unsigned>(settings_.tipIndex % 4);
  const float* cell = atlas != nullptr ? atlas->vertiesOfTextureIndex(cellIndex) + 2 : bgCoord_.data();
  const bool trim = trimmedDabsEnabled_ && atlas != nullptr && atlas->hasCoverage() &&
                    cellIndex < atlas->vertiesCount() && zeroCoverageLeavesCanvas(settings_.blend);
  batch_.clear();
  batch_.reserve(dabs.size() * 24);
  float lastAngle = 0;
  bool anyRotated = false;
  for (const Dab& dab : dabs) {
    if (trim) appendTrimmedDab(dab, *atlas, cellIndex);
    else appendDabSquare(dab, cell);
    if (dab.rotated) {
      lastAngle = dab.angle;
      anyRotated = true;
    }
  }
  lastDabBounds_ = backingBounds(batch_, 4);
  const gfx::Point lastCenter = dabs.back().center;
  // The plain-dab variant gives the same pixels; without the brush program
  // in use nothing visible may be drawn, so it is not swapped in then.
  const bool plainProgram =
      plainDabProgramEnabled_ && hasProgram() && dabProgram_ != nullptr && dabProgram_->isEnabled();
  if (plainProgram) {
    useDabProgram();
  } else {
    uniform2f(kCenter, 0, 0);
    uniform1f(kEnableRotate, 0.0f);
  }
  constexpr GLsizei kStride = 4 * sizeof(float);
  glVertexAttribPointer(kPosition, 2, GL_FLOAT, GL_FALSE, kStride, batch_.data());
  glEnableVertexAttribArray(kPosition);
  glVertexAttribPointer(kTexCoord, 2, GL_FLOAT, GL_FALSE, kStride, batch_.data() + 2);
  glEnableVertexAttribArray(kTexCoord);
  // The smudge coordinates are four vertices long; a constant stands in.
  glDisableVertexAttribArray(kBgCoord);
  if (!batch_.empty()) glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(batch_.size() / 4));
  // Leave the per-dab state as a dab-by-dab loop would have left it.
  if (plainProgram) {
    glUseProgram(program()->programID());
  } else {
    uniform1f(kEnableRotate, needRotateTexture() ? 1.0f : 0.0f);
  }
  if (anyRotated) uniform1f(kRadian, lastAngle);
  uniform2f(kCenter, lastCenter.x, lastCenter.y);
  bindCellCoordinates();
  bindBgCoordinates();
}

// The dab program draws absolute positions (centre 0, no turning) and keeps
// its uniforms between batches, so only changed values are sent.
void RenderObject::useDabProgram() {
  const ProgramObject& p = *dabProgram_;
  glUseProgram(p.programID());
  if (!dabUniformsSet_) {
    glUniform2f(p.uniform(kCenter), 0, 0);
    glUniform1f(p.uniform(kEnableRotate), 0.0f);
    glUniform1i(p.uniform(kBrushTexture), 0);
    glUniform1f(p.uniform(kEnableTexture), 1.0f);
    glUniform1f(p.uniform(kAlpha), settings_.alpha);
    glUniform1i(p.uniform(kRenderType), 0);
    dabAlpha_ = settings_.alpha;
    dabScaleX_ = dabScaleY_ = 0;
    dabUniformsSet_ = true;
  }
  if (viewWidth_ != 0 && viewHeight_ != 0) {
    const float sx = 2 * scaleFactor_ / viewWidth_, sy = 2 * scaleFactor_ / viewHeight_;
    if (sx != dabScaleX_ || sy != dabScaleY_) {
      glUniform2f(p.uniform(kScale), sx, sy);
      dabScaleX_ = sx;
      dabScaleY_ = sy;
    }
  }
  if (settings_.alpha != dabAlpha_) {
    glUniform1f(p.uniform(kAlpha), settings_.alpha);
    dabAlpha_ = settings_.alpha;
  }
}

void RenderObject::drawSmudgeDabs(std::span<const Dab> dabs) {
  ensureSmudgeTexture();
  bindCellCoordinates();
  bindBgCoordinates();
  std::vector<float>& drawn = batch_;
  drawn.clear();
  for (const Dab& dab : dabs) {
    const gfx::Point p = dab.center;
    if (dab.rotated) uniform1f(kRadian, dab.angle);
    uniform2f(kCenter, p.x, p.y);
    corners(dab, quad_);
    glVertexAttribPointer(kPosition, 2, GL_FLOAT, GL_FALSE, 0, quad_);
    glEnableVertexAttribArray(kPosition);
    // The first dab of a line only picks up paint.
    if (!dab.first) {
      if (!smudgeFresh_) copySmudge(p);
      glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
      // Turned in the shader: the circle through the corners holds the dab.
      const float r = std::hypot(quad_[0], quad_[1]);
      drawn.insert(drawn.end(), {p.x - r, p.y - r, p.x + r, p.y + r});
    }
    const float soft = settings_.smudgeSoftness;
    copySmudge({p.x * (1 - soft) + dab.previous.x * soft, p.y * (1 - soft) + dab.previous.y * soft});
  }
  lastDabBounds_ = backingBounds(drawn, 2);
}

// The bounding box in backing pixels of points in view points, every
// `stride` floats an x and a y.
gfx::Rect RenderObject::backingBounds(const std::vector<float>& xy, std::size_t stride) const {
  if (xy.size() < 2 || scaleX_ <= 0 || scaleY_ <= 0) return {};
  float x0 = xy[0], x1 = xy[0], y0 = xy[1], y1 = xy[1];
  for (std::size_t i = 0; i + 1 < xy.size(); i += stride) {
    x0 = std::min(x0, xy[i]);
    x1 = std::max(x1, xy[i]);
    y0 = std::min(y0, xy[i + 1]);
    y1 = std::max(y1, xy[i + 1]);
  }
  const double sx = scaleX_, sy = scaleY_;
  return {static_cast<float>(x0 / sx), static_cast<float>(y0 / sy), static_cast<float>((x1 - x0) / sx),
          static_cast<float>((y1 - y0) / sy)};
}

void RenderObject::ensureSmudgeTexture() {
  const int limit = glx::maxTextureSize();
  const int edge = std::clamp(static_cast<int>(destSize_), 1, limit);
  if (smudgeTexture_ && edge == smudgeEdge_) return;
  bindTextureAtPosition(GL_TEXTURE1, smudgeTexture_);
  // Sampled about 1:1, so no mipmaps are needed.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  zeros_.assign(static_cast<std::size_t>(edge) * edge * 4, 0);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, edge, edge, 0, GL_RGBA, GL_UNSIGNED_BYTE, zeros_.data());
  smudgeEdge_ = edge;
  smudgeFresh_ = false;
  glActiveTexture(GL_TEXTURE0);
}

// Copies the square of the canvas centred on q (view points) into the smudge
// texture. The parts of the square off the canvas read as transparent.
void RenderObject::copySmudge(gfx::Point q) {
  ensureSmudgeTexture();
  bindTextureAtPosition(GL_TEXTURE1, smudgeTexture_);
  const int e = smudgeEdge_;
  const int x0 = static_cast<int>(std::lround(q.x / scaleX_ - e / 2.0));
  const int y0 = static_cast<int>(std::lround(q.y / scaleY_ - e / 2.0));
  const int cx0 = std::max(x0, 0), cy0 = std::max(y0, 0);
  const int cx1 = std::min(x0 + e, static_cast<int>(backingWidth_));
  const int cy1 = std::min(y0 + e, static_cast<int>(backingHeight_));
  if (cx0 != x0 || cy0 != y0 || cx1 != x0 + e || cy1 != y0 + e) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, e, e, GL_RGBA, GL_UNSIGNED_BYTE, zeros_.data());
  }
  if (cx1 > cx0 && cy1 > cy0) {
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, cx0 - x0, cy0 - y0, cx0, cy0, cx1 - cx0, cy1 - cy0);
  }
  glx::logErrors(__FILE__, __LINE__);
  glActiveTexture(GL_TEXTURE0);
  smudgeFresh_ = true;
}

namespace {
// The dab centres of a line: one a point apart from `from`, the end left out.
void appendLinePoints(gfx::Point from, gfx::Point to, std::vector<gfx::Point>& points) {
  const float dx = to.x - from.x, dy = to.y - from.y;
  const int n = static_cast<int>(std::sqrt(dx * dx + dy * dy) + 1);
  for (int k = 0; k < n; ++k) {
    const float f = static_cast<float>(k) / n;
    points.push_back({from.x + dx * f, from.y + dy * f});
  }
}
}  // namespace

void RenderObject::drawLineFromPoint(gfx::Point from, gfx::Point to) {
  std::vector<gfx::Point> points;
  appendLinePoints(from, to, points);
  const std::vector<float> sizes(points.size(), settings_.size);
  drawPoints(points.data(), sizes.data(), static_cast<int>(points.size()));
}

// The lines of a shape go in one batch: their dabs follow one another as
// they would line by line.
void RenderObject::drawLines(const gfx::Point* points, int count, int type) {
  if (points == nullptr || count <= 1) return;
  setLineBegin(true);
  shaper_.setPrePoint(points[0]);
  std::vector<gfx::Point> centres;
  for (int i = 0; i + 1 < count; ++i) appendLinePoints(points[i], points[i + 1], centres);
  if (type == 2 && count >= 3) appendLinePoints(points[count - 1], points[0], centres);
  const std::vector<float> sizes(centres.size(), settings_.size);
  drawPoints(centres.data(), sizes.data(), static_cast<int>(centres.size()));
}

void RenderObject::drawBrokenLine(const gfx::Point* points, int count) {
  if (count >= 2) drawLines(points, count, 3);
}

void RenderObject::drawPolygon(const gfx::Point* points, int count) {
  if (count > 2) {
    drawLines(points, count, 2);
  } else {
    drawBrokenLine(points, count);
  }
}

void RenderObject::drawEllipsesWithCenter(gfx::Point center, float width, float height, float radian) {
  const int n = static_cast<int>((width + height) * std::numbers::pi * 0.5);
  const std::vector<gfx::Point> vertices = BuildEllipseVertices(n, center.x, center.y, width, height, radian);
  drawLines(vertices.data(), static_cast<int>(vertices.size()), 2);
}

void RenderObject::setQuad(float* corners, gfx::Size size) {
  const float hx = size.width / 2, hy = size.height / 2;
  const float c[8] = {-hx, -hy, hx, -hy, hx, hy, -hx, hy};
  std::copy(std::begin(c), std::end(c), corners);
}

void RenderObject::clearWithSize(gfx::Size size, gfx::Point center, float radian) {
  uniform1f(kEnableRotate, 1.0f);
  uniform1f(kRadian, radian);
  uniform1i(kRenderType, 3);
  setQuad(quad_, size);
  glVertexAttribPointer(kPosition, 2, GL_FLOAT, GL_FALSE, 0, quad_);
  glEnableVertexAttribArray(kPosition);
  uniform2f(kCenter, center.x, center.y);
  glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
}

namespace {
gfx::Point centerOf(gfx::Rect r) {
  return {static_cast<float>(r.x + r.width / 2.0), static_cast<float>(r.y + r.height / 2.0)};
}
}  // namespace

void RenderObject::applyBlendOnce(GLenum src, GLenum dst) {
  glEnable(GL_BLEND);
  glBlendEquationSeparate(GL_FUNC_ADD, GL_FUNC_ADD);
  glBlendFuncSeparate(src, dst, src, dst);
}

void RenderObject::drawImage(const gfx::Image& image, gfx::Rect rect, float radian) {
  drawImage(image, {rect.width, rect.height}, centerOf(rect), radian);
}

void RenderObject::drawData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Rect rect, float radian) {
  drawData(bytes, dataSize, {rect.width, rect.height}, centerOf(rect), radian);
}

void RenderObject::setImage(const gfx::Image* image, gfx::Rect rect, float radian) {
  setImage(image, {rect.width, rect.height}, centerOf(rect), radian);
}

void RenderObject::setData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Rect rect, float radian) {
  setData(bytes, dataSize, {rect.width, rect.height}, centerOf(rect), radian);
}

void RenderObject::drawImage(const gfx::Image& image, gfx::Size size, gfx::Point center, float radian) {
  applyBlendOnce(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  renderImage(&image, size, center, radian);
  resetSetting();
}

void RenderObject::drawData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Size drawSize, gfx::Point center,
                            float radian) {
  applyBlendOnce(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  renderData(bytes, dataSize, drawSize, center, radian);
  resetSetting();
}

void RenderObject::eraseWithMask(const gfx::Image& mask, gfx::Size size, gfx::Point center, float radian) {
  applyBlendOnce(GL_ZERO, GL_ONE_MINUS_SRC_ALPHA);
  renderImage(&mask, size, center, radian);
  resetSetting();
}

void RenderObject::setImage(const gfx::Image* image, gfx::Size size, gfx::Point center, float radian) {
  if (image != nullptr) {
    applyBlendOnce(GL_ONE, GL_ZERO);
    renderImage(image, size, center, radian);
  } else {
    applyBlendOnce(GL_ZERO, GL_ZERO);
    clearWithSize(size, center, radian);
  }
  resetSetting();
}

void RenderObject::setData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Size drawSize, gfx::Point center,
                           float radian) {
  if (bytes != nullptr) {
    applyBlendOnce(GL_ONE, GL_ZERO);
    renderData(bytes, dataSize, drawSize, center, radian);
  } else {
    applyBlendOnce(GL_ZERO, GL_ZERO);
    clearWithSize(drawSize, center, radian);
  }
  resetSetting();
}

void RenderObject::renderImage(const gfx::Image* image, gfx::Size size, gfx::Point center, float rotate) {
  if (image == nullptr) return;
  auto texture = TextureObject::initWithImage(*image);
  if (texture && texture->isEnabled()) renderTexture(*texture, size, center, rotate);
}

void RenderObject::renderData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Size drawSize, gfx::Point center,
                              float rotate) {
  auto texture = TextureObject::initWithData(bytes, static_cast<int>(dataSize.width),
                                             static_cast<int>(dataSize.height));
  if (texture && texture->isEnabled()) renderTexture(*texture, drawSize, center, rotate);
}

// A picture drawn at its own pixel size without turning is sampled texel for
// texel (nearest), so pages and undo snapshots come back bit-exactly; scaled
// or turned pictures are filtered.
void RenderObject::renderTexture(TextureObject& texture, gfx::Size size, gfx::Point center, float rotate) {
  const bool unscaled = rotate == 0.0f && scaleX_ > 0 && scaleY_ > 0 &&
                        std::fabs(size.width / scaleX_ - texture.pixelWidth()) < 1e-3 &&
                        std::fabs(size.height / scaleY_ - texture.pixelHeight()) < 1e-3;
  texture.setFilter(unscaled ? GL_NEAREST : GL_LINEAR);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture.textureID());
  uniform1f(kEnableRotate, 1.0f);
  uniform1f(kRadian, rotate);
  uniform1i(kRenderType, 3);
  setQuad(quad_, size);
  glVertexAttribPointer(kPosition, 2, GL_FLOAT, GL_FALSE, 0, quad_);
  glEnableVertexAttribArray(kPosition);
  uniform2f(kCenter, center.x, center.y);
  glVertexAttribPointer(kTexCoord, 2, GL_FLOAT, GL_FALSE, 0, texture.vertiesOfTextureIndex(0) + 2);
  glEnableVertexAttribArray(kTexCoord);
  glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
  glx::clearErrors();
}
