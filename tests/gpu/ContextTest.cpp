// The processing context: the queue functions, the program cache and its
// programs, the limits, and that no GL work runs anywhere but on the queue.
#include <gtest/gtest.h>

#include <EGL/egl.h>

#include <atomic>
#include <thread>

#include "gpu/GPUOpenGLESContext.h"
#include "gpu/GPUPicture.h"
#include "gpu/GPURawData.h"
#include "gpu/GPUTextureEndpoints.h"
#include "gpu/GpuReference.h"
#include "gpu/GpuTestSupport.h"
#include "platform/foundation/RunLoop.h"
#include "platform/gl/Extensions.h"
#include "support/GpuTestFilters.h"

namespace {
const std::string kVertex = kGPUVertexShaderString;
const std::string kFragment = kGPUPassthroughFragmentShaderString;
}  // namespace

TEST(GPUQueue, RunsInlineWhenAlreadyThereAndInOrderOtherwise) {
  std::vector<int> order;
  bool nestedInline = false;
  performOnProcessingQueueSync([&] {
    EXPECT_TRUE(GPUOpenGLESContext::sharedOpenGLESQueue().isCurrent());
    // Neither blocks nor is put behind later work.
    performOnProcessingQueueSync([&] { order.push_back(1); });
    performOnProcessingQueueAsync([&] { order.push_back(2); });
    nestedInline = order.size() == 2;
    order.push_back(3);
  });
  EXPECT_TRUE(nestedInline);
  performOnProcessingQueueAsync([&] { order.push_back(4); });
  gputest::drainProcessingQueue();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
  bool ranOnCaller = false;
  const auto caller = std::this_thread::get_id();
  fd::RunLoop::resetMainForTesting();
  performOnMainQueueSync([&] { ranOnCaller = std::this_thread::get_id() == caller; });
  EXPECT_TRUE(ranOnCaller);
}

TEST(GPUProgramCache, SameSourcesShareOneProgramAndOneCharacterMakesAnother) {
  performOnProcessingQueueSync([&] {
    ASSERT_TRUE(GPUOpenGLESContext::useImageProcessingContext());
    auto& context = GPUOpenGLESContext::sharedImageProcessingOpenGLESContext();
    GLProgram* a = context.programForVertexShaderString(kVertex, kFragment);
    EXPECT_EQ(context.programForVertexShaderString(kVertex, kFragment), a);
    EXPECT_NE(context.programForVertexShaderString(kVertex + " ", kFragment), a);
    EXPECT_NE(context.programForVertexShaderString(kVertex, kFragment + " "), a);
  });
}

TEST(GLProgramTest, AttributesKeepTheirOrderAndLogsFollowTheLink) {
  performOnProcessingQueueSync([&] {
    ASSERT_TRUE(GPUOpenGLESContext::useImageProcessingContext());
    GLProgram good(kVertex, kFragment);
    good.addAttribute("position");
    good.addAttribute("position");
    good.addAttribute("inputTextureCoordinate");
    EXPECT_EQ(good.attributeIndex("position"), 0);
    EXPECT_EQ(good.attributeIndex("inputTextureCoordinate"), 1);
    ASSERT_TRUE(good.link());
    EXPECT_TRUE(good.initialized());
    EXPECT_FALSE(good.vertexShaderLog().has_value());
    EXPECT_FALSE(good.fragmentShaderLog().has_value());
    EXPECT_EQ(glGetAttribLocation(good.program(), "inputTextureCoordinate"), 1);

    GLProgram bad(kVertex, "void main() { gl_FragColor = undefinedThing; }");
    bad.addAttribute("position");
    EXPECT_FALSE(bad.link());
    EXPECT_FALSE(bad.initialized());
    EXPECT_TRUE(bad.fragmentShaderLog().has_value());
    EXPECT_TRUE(bad.programLog().has_value());

    GLProgram missing(kVertex, std::nullopt);
    EXPECT_FALSE(missing.link());
  });
}

TEST(GLProgramTest, ActivatingTheCurrentProgramAgainIssuesNoSwitch) {
  performOnProcessingQueueSync([&] {
    ASSERT_TRUE(GPUOpenGLESContext::useImageProcessingContext());
    auto& context = GPUOpenGLESContext::sharedImageProcessingOpenGLESContext();
    GLProgram* p = context.programForVertexShaderString(kVertex, kFragment);
    if (!p->initialized()) {
      p->addAttribute("position");
      p->addAttribute("inputTextureCoordinate");
      ASSERT_TRUE(p->link());
    }
    GPUOpenGLESContext::setActiveShaderProgram(p);
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(static_cast<GLuint>(current), p->program());
    // Switched behind the record's back: the shortcut does not notice.
    glUseProgram(0);
    GPUOpenGLESContext::setActiveShaderProgram(p);
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(current, 0);
    p->use();
  });
}

TEST(GPUContextLimits, SizesFitIntoOneTexture) {
  const float m = 2048;
  EXPECT_EQ(GPUOpenGLESContext::sizeThatFits({m, m}, m), (gfx::Size{m, m}));
  EXPECT_EQ(GPUOpenGLESContext::sizeThatFits({m - 1, m - 1}, m), (gfx::Size{m - 1, m - 1}));
  EXPECT_EQ(GPUOpenGLESContext::sizeThatFits({2 * m, m}, m), (gfx::Size{m, m / 2}));
  EXPECT_EQ(GPUOpenGLESContext::sizeThatFits({4000, 3000}, m), (gfx::Size{2048, 1536}));
  EXPECT_EQ(GPUOpenGLESContext::sizeThatFits({3000, 4000}, m), (gfx::Size{1536, 2048}));
  EXPECT_GE(GPUOpenGLESContext::maximumTextureSizeForThisDevice(), 2048);
  EXPECT_GE(GPUOpenGLESContext::maximumTextureUnitsForThisDevice(), 8);
  // Mesa offers BGRA textures; the check is made when the context starts.
  EXPECT_TRUE(GPUOpenGLESContext::supportsBGRATextures());
}

TEST(GPUContextThreads, NoGLWorkRunsOffTheProcessingQueue) {
  fd::RunLoop::resetMainForTesting();
  ASSERT_EQ(eglGetCurrentContext(), EGL_NO_CONTEXT);
  // Off the queue the context refuses, so nothing can draw with it here.
  EXPECT_FALSE(GPUOpenGLESContext::useImageProcessingContext());
  EXPECT_EQ(eglGetCurrentContext(), EGL_NO_CONTEXT);

  // Endpoints that do GL work at the caller's request, all called from this
  // thread: each result is right and this thread never had a context current.
  const gfx::Image cat = gpuref::loadPicture("gpu_cat.png");
  std::vector<std::uint8_t> bgra(static_cast<std::size_t>(cat.pixelWidth()) * cat.pixelHeight() * 4);
  const gfx::Image premultiplied = gpuref::uploaded(cat);
  for (std::size_t i = 0; i < bgra.size(); i += 4) {
    bgra[i] = premultiplied.bytes()[i + 2];
    bgra[i + 1] = premultiplied.bytes()[i + 1];
    bgra[i + 2] = premultiplied.bytes()[i];
    bgra[i + 3] = premultiplied.bytes()[i + 3];
  }
  {
    auto input = std::make_shared<GPURawDataInput>(bgra.data(), gfx::Size{150, 100});
    auto filter = std::make_shared<gputest::GrayscaleTestFilter>();
    auto output = std::make_shared<GPURawDataOutput>(gfx::Size{150, 100}, false);
    input->addTarget(filter);
    filter->addTarget(output);
    input->uploadBytes(bgra.data());
    input->processData();
    gputest::drainProcessingQueue();
    const std::uint8_t* bytes = output->rawBytesForImage();
    gfx::Image out(150, 100);
    std::copy(bytes, bytes + out.bytes().size(), out.pixels());
    const auto expected = gpuref::filter(premultiplied, 0, [](const gpuref::Sampler& in, float s, float t) {
      auto c = in(s, t);
      const float l = c[0] * 0.2125f + c[1] * 0.7154f + c[2] * 0.0721f;
      return gpuref::Colour{l, l, l, c[3]};
    });
    const auto result = gpuref::compare(out, expected);
    EXPECT_EQ(result.badPixels, 0) << result.firstBad;
    EXPECT_EQ(eglGetCurrentContext(), EGL_NO_CONTEXT);
  }  // destroyed here, their GL objects freed on the queue
  EXPECT_EQ(eglGetCurrentContext(), EGL_NO_CONTEXT);
}
