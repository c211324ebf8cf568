// The GL surface and the renderer's building blocks: coordinate maps,
// read-back layout, texture atlases and the plain helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>

#include "CanvasTestSupport.h"
#include "canvas/RenderFunctions.h"
#include "canvas/ProgramObject.h"
#include "canvas/TextureObject.h"
#include "platform/foundation/Paths.h"
#include "platform/gl/Util.h"
#include "support/Sandbox.h"

using namespace canvas_test;

namespace {
class RendererTest : public testing_support::SandboxTest {};
}  // namespace

TEST(RenderFunctions, NextPowerOfTwo) {
  EXPECT_EQ(NextPowerOfTwo(0), 1u);
  EXPECT_EQ(NextPowerOfTwo(1), 1u);
  EXPECT_EQ(NextPowerOfTwo(100), 128u);
  EXPECT_EQ(NextPowerOfTwo(128), 128u);
  EXPECT_EQ(NextPowerOfTwo(129), 256u);
  EXPECT_EQ(NextPowerOfTwo(33), 64u);
}

TEST(RenderFunctions, DabDirectionAngle) {
  const float pi = std::numbers::pi_v<float>;
  EXPECT_FLOAT_EQ(DabDirectionAngle(0, 0, 1, 1), pi / 4);
  EXPECT_FLOAT_EQ(DabDirectionAngle(0, 0, -1, 1), -pi / 4 - pi);
  EXPECT_FLOAT_EQ(DabDirectionAngle(0, 0, 0, 3), pi / 2);
  EXPECT_FLOAT_EQ(DabDirectionAngle(0, 0, 0, -3), -pi / 2);
}

TEST(RenderFunctions, EllipseVertices) {
  const auto v = BuildEllipseVertices(4, 0, 0, 2, 1, 0);
  ASSERT_EQ(v.size(), 4u);
  const gfx::Point expected[] = {{2, 0}, {0, 1}, {-2, 0}, {0, -1}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(v[static_cast<std::size_t>(i)].x, expected[i].x, 1e-6);
    EXPECT_NEAR(v[static_cast<std::size_t>(i)].y, expected[i].y, 1e-6);
  }
}

TEST_F(RendererTest, PointMapsBetweenViewAndBacking) {
  auto canvas = makeCanvas(2);
  ASSERT_NE(canvas, nullptr);
  EXPECT_EQ(canvas->backingWidth(), 768);
  EXPECT_EQ(canvas->backingHeight(), 576);
  EXPECT_EQ(canvas->bufferPointWithPoint({100, 50}), (gfx::Point{200, 100}));
  EXPECT_EQ(canvas->pointWithBufferPoint({200, 100}), (gfx::Point{100, 50}));
  EXPECT_EQ(canvas->bufferRectWithRect({1, 2, 3, 4}), (gfx::Rect{2, 4, 6, 8}));
  // Without autoBufferResize a new frame changes only the scales.
  canvas->setFrame({0, 0, 768, 576});
  EXPECT_EQ(canvas->backingWidth(), 768);
  EXPECT_EQ(canvas->bufferPointWithPoint({100, 50}), (gfx::Point{100, 50}));
}

TEST_F(RendererTest, ReadBackStartsAtTheBottomLeftAndImagesAreUpright) {
  auto canvas = makeCanvas(1);
  ASSERT_NE(canvas, nullptr);
  const Pixels blank = readAll(*canvas);
  EXPECT_EQ(blank.bytes.size(), 384u * 288u * 4u);
  for (std::uint8_t b : blank.bytes) ASSERT_EQ(b, 0);  // a new canvas is transparent
  const auto red = solidBlock(10, 10, 255, 0, 0, 255);
  canvas->drawData(red.data(), {10, 10}, gfx::Rect{0, 0, 10, 10});
  const Pixels p = readAll(*canvas);
  EXPECT_EQ(p.bytes[0], 255);
  EXPECT_EQ(p.bytes[3], 255);
  auto image = canvas->image();
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixel(0, 287)[0], 255);  // the bottom row is the image's last
  EXPECT_EQ(image->pixel(0, 0)[3], 0);
}

TEST_F(RendererTest, AtlasCellsFollowTheLayout) {
  auto canvas = makeCanvas(1);
  ASSERT_NE(canvas, nullptr);
  auto guard = canvas->contextGuard();
  std::vector<gfx::Image> four(4, gfx::Image(100, 50));
  auto atlas = TextureObject::initWithImages(four, 128);
  ASSERT_TRUE(atlas->isEnabled());
  EXPECT_EQ(atlas->vertiesCount(), 4u);
  const float* cell1 = atlas->vertiesOfTextureIndex(1);
  // p1 = (s0, tb), p3 = (s1, tt): the picture sits at the cell's lower-left.
  EXPECT_FLOAT_EQ(cell1[2], 0.5f);
  EXPECT_FLOAT_EQ(cell1[3], 1.0f);
  EXPECT_FLOAT_EQ(cell1[6], 1.0f);
  EXPECT_FLOAT_EQ(cell1[7], 0.75f);
  EXPECT_EQ(atlas->vertiesOfTextureIndex(9), atlas->vertiesOfTextureIndex(0));

  std::vector<gfx::Image> five(5, gfx::Image(8, 8));
  EXPECT_EQ(TextureObject::initWithImages(five, 128)->vertiesCount(), 16u);
  auto one = TextureObject::initWithImage(gfx::Image(8, 8), 128);
  EXPECT_FLOAT_EQ(one->verties()[2], 0.0f);
  EXPECT_FLOAT_EQ(one->verties()[3], 1.0f);
  EXPECT_FLOAT_EQ(one->verties()[7], 0.0f);

  EXPECT_EQ(TextureObject::qualityForImage(gfx::Image(300, 200)), 512);
  EXPECT_EQ(TextureObject::qualityForImage(gfx::Image(5000, 10)), 1024);
}

TEST_F(RendererTest, PixelBlockTexturesKeepTheirExactSize) {
  auto canvas = makeCanvas(1);
  ASSERT_NE(canvas, nullptr);
  auto guard = canvas->contextGuard();
  const auto block = solidBlock(384, 288, 1, 2, 3, 4);
  auto t = TextureObject::initWithData(block.data(), 384, 288);
  ASSERT_TRUE(t && t->isEnabled());
  EXPECT_EQ(t->pixelWidth(), 384);
  EXPECT_EQ(t->pixelHeight(), 288);
  EXPECT_EQ(TextureObject::initWithData(nullptr, 4, 4), nullptr);
  EXPECT_EQ(TextureObject::initWithData(block.data(), 0, 4), nullptr);
}

TEST_F(RendererTest, RenderSizeSetsTheCopySquare) {
  auto canvas = makeCanvas(1);
  ASSERT_NE(canvas, nullptr);
  auto guard = canvas->contextGuard();
  RenderObject* r = canvas->shaderObject();
  r->setRenderSize(32);
  EXPECT_EQ(r->texSize(), 32);
  r->setRenderSize(33);
  EXPECT_EQ(r->texSize(), 64);
  r->setRenderSize(0.5f);
  EXPECT_EQ(r->texSize(), 1);
  r->setRenderSize(1e9f);
  EXPECT_LE(r->renderSize(), static_cast<float>(glx::maxTextureSize()));
  EXPECT_LE(r->texSize(), static_cast<float>(glx::maxTextureSize()));
  r->setRenderSize(std::nanf(""));
  EXPECT_EQ(r->renderSize(), 0);
}

TEST_F(RendererTest, DefaultTipsAndProgramLoadFromTheResources) {
  auto canvas = makeCanvas(1);
  ASSERT_NE(canvas, nullptr);
  const RenderObject* r = canvas->shaderObject();
  ASSERT_NE(r->program(), nullptr);
  EXPECT_TRUE(r->program()->isEnabled());
  for (GLint loc : r->program()->uniformLoc()) EXPECT_NE(loc, -1);
  // The bundle names are part of the resource layout other tools rely on.
  for (const char* name : {"RenderShader.bundle/RenderShader.vsh", "RenderShader.bundle/RenderShader.fsh",
                           "DefaultTexture.bundle/brusherase.png", "DefaultTexture.bundle/brushSmudge.png"}) {
    EXPECT_TRUE(std::filesystem::is_regular_file(fd::paths::resource(name))) << name;
  }
  EXPECT_EQ(r->program()->vertSrc(), ProgramObject::readFile("RenderShader.bundle/RenderShader.vsh").value_or("-"));
  ASSERT_NE(r->dabProgram(), nullptr);
  EXPECT_TRUE(r->dabProgram()->isEnabled());
  for (GLint loc : r->dabProgram()->uniformLoc()) EXPECT_NE(loc, -1);
  // Eight tips: two atlases of four.
  ASSERT_NE(r->atlas(0), nullptr);
  ASSERT_NE(r->atlas(1), nullptr);
  EXPECT_EQ(r->atlas(2), nullptr);
  EXPECT_EQ(r->atlas(0)->vertiesCount(), 4u);
}
