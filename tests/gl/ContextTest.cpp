// The GL platform layer: headless contexts, the guard, the layer's storage,
// present hand-off and read-back orientation.
#include <GLES2/gl2.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/gl/Context.h"
#include "platform/gl/Display.h"
#include "platform/gl/GLLayer.h"
#include "platform/gl/Handles.h"
#include "platform/gl/Util.h"

namespace {

// A framebuffer with a layer's storage, as a canvas sets one up.
struct Target {
  glx::FramebufferHandle fbo = glx::FramebufferHandle::make();
  glx::RenderbufferHandle rb = glx::RenderbufferHandle::make();
  explicit Target(glx::Context& c, glx::GLLayer& layer) {
    glBindFramebuffer(GL_FRAMEBUFFER, fbo.get());
    glBindRenderbuffer(GL_RENDERBUFFER, rb.get());
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, rb.get());
    EXPECT_TRUE(c.renderbufferStorage(layer));
  }
};

void fillRect(int x, int y, int w, int h, float r, float g, float b, float a) {
  glEnable(GL_SCISSOR_TEST);
  glScissor(x, y, w, h);
  glClearColor(r, g, b, a);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
}

}  // namespace

TEST(GLContext, HeadlessDisplayAndES2Context) {
  ASSERT_TRUE(glx::Display::shared().valid());
  auto c = glx::Context::create(2);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->apiVersion(), 2);
  ASSERT_TRUE(c->makeCurrent());
  EXPECT_TRUE(c->isCurrent());
  EXPECT_EQ(glx::Context::current(), c.get());
  EXPECT_NE(glGetString(GL_VERSION), nullptr);
  EXPECT_GE(glx::maxTextureSize(), 2048);
  glx::Context::clearCurrent();
  EXPECT_EQ(glx::Context::current(), nullptr);
}

TEST(GLContext, GuardRestoresWhateverWasCurrent) {
  auto a = glx::Context::create(2);
  auto b = glx::Context::create(2);
  ASSERT_TRUE(a && b);
  glx::Context::clearCurrent();
  {
    glx::ContextGuard guard(*a);
    EXPECT_TRUE(guard.ok());
    EXPECT_TRUE(a->isCurrent());
    {
      glx::ContextGuard inner(*b);
      EXPECT_TRUE(b->isCurrent());
    }
    EXPECT_TRUE(a->isCurrent());
  }
  EXPECT_EQ(glx::Context::current(), nullptr);
}

TEST(GLContext, SharedContextsSeeEachOthersTextures) {
  auto a = glx::Context::create(2);
  ASSERT_TRUE(a && a->makeCurrent());
  glx::TextureHandle owned = glx::TextureHandle::make();
  const GLuint tex = owned.get();
  glBindTexture(GL_TEXTURE_2D, tex);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  auto b = glx::Context::create(2, a.get());
  ASSERT_TRUE(b && b->makeCurrent());
  EXPECT_EQ(glIsTexture(tex), GL_TRUE);
  auto c = glx::Context::create(2);
  ASSERT_TRUE(c && c->makeCurrent());
  EXPECT_EQ(glIsTexture(tex), GL_FALSE);
  ASSERT_TRUE(a->makeCurrent());
  owned.reset();
  EXPECT_EQ(glIsTexture(tex), GL_FALSE) << "the handle freed it";
  glx::Context::clearCurrent();
}

TEST(GLLayer, StorageIsPointsTimesScale) {
  glx::GLLayer layer(384, 288, 2);
  auto c = glx::Context::create(2);
  ASSERT_TRUE(c && c->makeCurrent());
  EXPECT_EQ(layer.drawableWidth(), 768);
  EXPECT_EQ(layer.drawableHeight(), 576);
  Target t(*c, layer);
  GLint w = 0, h = 0;
  glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_WIDTH, &w);
  glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_HEIGHT, &h);
  EXPECT_EQ(w, 768);
  EXPECT_EQ(h, 576);
  EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
  glx::Context::clearCurrent();
}

TEST(GLLayer, DegenerateSizesStillGiveStorage) {
  glx::GLLayer layer(0, -5, 1);
  EXPECT_EQ(layer.drawableWidth(), 1);
  EXPECT_EQ(layer.drawableHeight(), 1);
  glx::GLLayer huge(1e9f, 10, 1);
  EXPECT_LE(huge.drawableWidth(), glx::maxRenderbufferSize());
}

TEST(GLLayer, PresentHandsOverTheRetainedPictureTopDown) {
  glx::GLLayer layer(4, 3, 1);
  auto c = glx::Context::create(2);
  ASSERT_TRUE(c && c->makeCurrent());
  Target t(*c, layer);
  glViewport(0, 0, 4, 3);
  fillRect(0, 0, 4, 3, 0, 0, 0, 0);
  fillRect(0, 0, 1, 1, 1, 0, 0, 1);  // bottom-left red

  std::vector<gfx::Image> presented;
  layer.setPresentHandler([&](const gfx::Image& image) { presented.push_back(image); });
  ASSERT_TRUE(c->presentRenderbuffer());
  fillRect(3, 2, 1, 1, 0, 0, 1, 1);  // top-right blue, drawn after the first present
  ASSERT_TRUE(c->presentRenderbuffer());
  ASSERT_EQ(presented.size(), 2u);
  EXPECT_EQ(layer.presentCount(), 2u);

  const gfx::Image& second = presented[1];
  ASSERT_EQ(second.pixelWidth(), 4);
  ASSERT_EQ(second.pixelHeight(), 3);
  EXPECT_TRUE(second.premultiplied());
  // Image rows run top-down: the bottom-left pixel is the last row's first.
  const std::uint8_t* red = second.pixel(0, 2);
  EXPECT_EQ(red[0], 255);
  EXPECT_EQ(red[3], 255);
  const std::uint8_t* blue = second.pixel(3, 0);
  EXPECT_EQ(blue[2], 255);
  // Retained backing: the first dab survived the first present.
  EXPECT_EQ(presented[0].pixel(0, 2)[0], 255);
  EXPECT_EQ(presented[0].pixel(3, 0)[3], 0);
  glx::Context::clearCurrent();
}

TEST(GLUtil, ReadPixelsIsBottomUpAndTightlyPacked) {
  glx::GLLayer layer(3, 2, 1);
  auto c = glx::Context::create(2);
  ASSERT_TRUE(c && c->makeCurrent());
  Target t(*c, layer);
  fillRect(0, 0, 3, 2, 0, 0, 0, 0);
  fillRect(0, 0, 1, 1, 0, 1, 0, 1);
  std::vector<std::uint8_t> out(3 * 2 * 4, 7);
  glx::readPixels(0, 0, 3, 2, out.data());
  EXPECT_EQ(out[1], 255);  // first pixel is the bottom-left one
  EXPECT_EQ(out[3], 255);
  EXPECT_EQ(out[4 * 4 + 3], 0);
  EXPECT_STREQ(glx::errorName(GL_INVALID_ENUM), "GL_INVALID_ENUM");
  EXPECT_STREQ(glx::errorName(0x1234), "(ERROR: Unknown Error Enum)");
  glx::Context::clearCurrent();
}

TEST(GLLayer, PresentWithoutLayerStorageFails) {
  auto c = glx::Context::create(2);
  ASSERT_TRUE(c && c->makeCurrent());
  glx::RenderbufferHandle rb = glx::RenderbufferHandle::make();
  glBindRenderbuffer(GL_RENDERBUFFER, rb.get());
  EXPECT_FALSE(c->presentRenderbuffer());
  rb.reset();
  glx::Context::clearCurrent();
}

// A layer that goes away while its renderbuffer lives on is no longer
// presented to (nothing is left pointing at it).
TEST(GLLayer, ALayerGoneIsForgottenByItsContext) {
  auto c = glx::Context::create(2);
  ASSERT_TRUE(c && c->makeCurrent());
  int presents = 0;
  {
    auto layer = std::make_unique<glx::GLLayer>(4, 4, 1);
    layer->setPresentObserver([&] { ++presents; });
    Target t(*c, *layer);
    EXPECT_TRUE(c->presentRenderbuffer());
    EXPECT_EQ(presents, 1);
    layer.reset();
    EXPECT_FALSE(c->presentRenderbuffer());
    EXPECT_EQ(presents, 1);
  }
  // A layer outliving its context is simply forgotten too.
  auto other = glx::Context::create(2);
  ASSERT_TRUE(other && other->makeCurrent());
  glx::GLLayer survivor(2, 2, 1);
  {
    Target t2(*other, survivor);
    EXPECT_TRUE(other->presentRenderbuffer());
  }
  glx::Context::clearCurrent();
  other.reset();
  EXPECT_EQ(survivor.presentCount(), 1u);
}
