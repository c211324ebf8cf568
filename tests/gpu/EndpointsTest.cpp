// The raw-data, texture and UI-element endpoints with real pictures: bytes
// in and out in every pixel order, read-back at the current size, textures
// of other GL code, and a toolkit view rendered into the pipeline.
#include <gtest/gtest.h>

#include <thread>

#include "gpu/GPUFilter.h"
#include "gpu/GPURawData.h"
#include "gpu/GPUTextureEndpoints.h"
#include "gpu/GPUUIElement.h"
#include "gpu/GpuReference.h"
#include "gpu/GpuTestSupport.h"
#include "platform/foundation/RunLoop.h"
#include "platform/gl/Context.h"
#include "platform/gl/Util.h"
#include "platform/ui/View.h"

namespace {

// The premultiplied picture's bytes in the order asked: "BGRA", "RGBA" or "RGB".
std::vector<std::uint8_t> bytesOf(const gfx::Image& premultiplied, const std::string& order) {
  std::vector<std::uint8_t> out;
  const auto& src = premultiplied.bytes();
  for (std::size_t i = 0; i < src.size(); i += 4) {
    for (char c : order) out.push_back(src[i + std::string("RGBA").find(c)]);
  }
  return out;
}

gfx::Image imageFromBytes(const std::uint8_t* bytes, int w, int h) {
  gfx::Image image(w, h);
  std::copy(bytes, bytes + image.bytes().size(), image.pixels());
  return image;
}

struct RawChain {
  std::shared_ptr<GPURawDataInput> input;
  std::shared_ptr<GPURawDataOutput> output;
};

RawChain rawChain(const std::vector<std::uint8_t>& bytes, gfx::Size size, GLenum format, bool bgraOut) {
  RawChain chain{std::make_shared<GPURawDataInput>(bytes.data(), size, format),
                 std::make_shared<GPURawDataOutput>(size, bgraOut)};
  chain.input->addTarget(chain.output);
  chain.input->processData();
  gputest::drainProcessingQueue();
  return chain;
}

}  // namespace

TEST(GPURawDataEndpoints, EveryPixelOrderComesBackAsThePhoto) {
  const gfx::Image cat = gpuref::uploaded(gpuref::loadPicture("gpu_cat.png"));
  const gfx::Size size{150, 100};
  struct Case {
    const char* in;
    GLenum format;
  };
  for (const Case& c : {Case{"BGRA", glx::kFormatBGRA}, Case{"RGBA", GL_RGBA}, Case{"RGB", GL_RGB}}) {
    for (bool bgraOut : {false, true}) {
      SCOPED_TRACE(std::string(c.in) + (bgraOut ? " to BGRA" : " to RGBA"));
      RawChain chain = rawChain(bytesOf(cat, c.in), size, c.format, bgraOut);
      const gfx::Image out = imageFromBytes(chain.output->rawBytesForImage(), 150, 100);
      // Three-byte pixels have no alpha: they come out opaque.
      gfx::Image expected = cat;
      if (std::string(c.in) == "RGB") {
        for (std::size_t i = 3; i < expected.bytes().size(); i += 4) expected.bytes()[i] = 255;
      }
      const gfx::Image wanted = imageFromBytes(bytesOf(expected, bgraOut ? "BGRA" : "RGBA").data(), 150, 100);
      const auto result = gpuref::compare(out, wanted, 0, 0);
      EXPECT_EQ(result.badPixels, 0) << result.firstBad;
    }
  }
}

TEST(GPURawDataEndpoints, BytesAreSwizzledOnTheProcessorWhereBGRATexturesAreMissing) {
  const gfx::Image cat = gpuref::uploaded(gpuref::loadPicture("gpu_cat.png"));
  GPUOpenGLESContext::setBGRATexturesDisabledForTesting(true);
  RawChain chain = rawChain(bytesOf(cat, "BGRA"), {150, 100}, glx::kFormatBGRA, false);
  GPUOpenGLESContext::setBGRATexturesDisabledForTesting(false);
  const auto result = gpuref::compare(imageFromBytes(chain.output->rawBytesForImage(), 150, 100), cat, 0, 0);
  EXPECT_EQ(result.badPixels, 0) << result.firstBad;
}

TEST(GPURawDataEndpoints, ReadsOncePerFrameAndAgainAfterTheNext) {
  std::vector<std::uint8_t> red(4 * 4 * 4), blue(4 * 4 * 4);
  for (std::size_t i = 0; i < red.size(); i += 4) {
    red[i] = 255, red[i + 3] = 255;
    blue[i + 2] = 255, blue[i + 3] = 255;
  }
  RawChain chain = rawChain(red, {4, 4}, GL_RGBA, false);
  int announced = 0;
  chain.output->setNewFrameAvailableBlock([&] { ++announced; });
  EXPECT_EQ(chain.output->rawBytesForImage()[0], 255);
  // New bytes uploaded, but no frame yet: the read is not repeated.
  chain.input->updateDataFromBytes(blue.data(), {4, 4});
  EXPECT_EQ(chain.output->rawBytesForImage()[0], 255);
  chain.input->processData();
  gputest::drainProcessingQueue();
  EXPECT_EQ(announced, 1);
  EXPECT_EQ(chain.output->rawBytesForImage()[0], 0);
  EXPECT_EQ(chain.output->rawBytesForImage()[2], 255);
}

TEST(GPURawDataEndpoints, TwoQuickSendsMakeOneFrame) {
  std::vector<std::uint8_t> bytes(4 * 4 * 4, 128);
  auto input = std::make_shared<GPURawDataInput>(bytes.data(), gfx::Size{4, 4}, GL_RGBA);
  auto target = std::make_shared<gputest::RecordingTarget>();
  input->addTarget(target);
  {
    gputest::QueueLatch hold;
    input->processData();
    input->processData();
  }
  EXPECT_EQ(target->frames, 1);
}

TEST(GPURawDataEndpoints, ColourLookupClampsAndUndoesTheByteOrder) {
  std::vector<std::uint8_t> red(8 * 6 * 4);
  for (std::size_t i = 0; i < red.size(); i += 4) red[i] = 255, red[i + 3] = 255;
  // Mark the first memory row green and the last one blue.
  for (int x = 0; x < 8; ++x) {
    red[x * 4] = 0, red[x * 4 + 1] = 255;
    red[(5 * 8 + x) * 4] = 0, red[(5 * 8 + x) * 4 + 2] = 255;
  }
  RawChain chain = rawChain(red, {8, 6}, GL_RGBA, true);
  const std::uint8_t* bytes = chain.output->rawBytesForImage();
  EXPECT_EQ((std::vector<int>{bytes[8 * 4 * 2], bytes[8 * 4 * 2 + 1], bytes[8 * 4 * 2 + 2], bytes[8 * 4 * 2 + 3]}),
            (std::vector<int>{0, 0, 255, 255}));  // red stored as B, G, R, A
  EXPECT_EQ(chain.output->colorAtLocation({3, 3}), (GPUByteColorVector{255, 0, 0, 255}));
  // (-5, -5): column 0 of the last row; past the far corner: last column, row 0.
  EXPECT_EQ(chain.output->colorAtLocation({-5, -5}), (GPUByteColorVector{0, 0, 255, 255}));
  EXPECT_EQ(chain.output->colorAtLocation({13, 11}), (GPUByteColorVector{0, 255, 0, 255}));
}

TEST(GPURawDataEndpoints, ReadBackFollowsTheCurrentOutputSize) {
  const gfx::Image cat = gpuref::uploaded(gpuref::loadPicture("gpu_cat.png"));
  RawChain chain = rawChain(bytesOf(cat, "RGBA"), {150, 100}, GL_RGBA, false);
  auto filter = std::make_shared<GPUFilter>();
  chain.input->removeAllTargets();
  chain.input->addTarget(filter);
  filter->addTarget(chain.output);
  chain.output->setImageSize({30, 20});
  chain.input->processData();
  gputest::drainProcessingQueue();
  // At a fifth of the size every output centre falls on a texel centre.
  const gfx::Image small = imageFromBytes(chain.output->rawBytesForImage(), 30, 20);
  gfx::Image expectedSmall(30, 20);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 30; ++x) std::copy_n(cat.pixel(5 * x + 2, 5 * y + 2), 4, expectedSmall.pixel(x, y));
  }
  const auto smallResult = gpuref::compare(small, expectedSmall, 0, 0);
  EXPECT_EQ(smallResult.badPixels, 0) << smallResult.firstBad;
  // Larger than at first use: the buffer and framebuffer follow.
  chain.output->setImageSize({150, 100});
  chain.input->processData();
  gputest::drainProcessingQueue();
  const gfx::Image out = imageFromBytes(chain.output->rawBytesForImage(), 150, 100);
  const auto result = gpuref::compare(out, cat, 0, 0);
  EXPECT_EQ(result.badPixels, 0) << result.firstBad;
}

namespace {
class TextureReader : public GPUTextureOutputDelegate {
 public:
  void newFrameReadyFromTextureOutput(GPUTextureOutput* output) override {
    // On the processing queue: read the texture through a framebuffer of our own.
    auto framebuffer = glx::FramebufferHandle::make();
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer.get());
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, output->texture(), 0);
    picture = gfx::Image(150, 100);
    glx::readPixels(0, 0, 150, 100, picture.pixels());
    ++frames;
  }
  gfx::Image picture;
  int frames = 0;
};
}  // namespace

TEST(GPUTextureEndpoints, ATextureOfOtherCodeRunsThroughAFilterIntoATexture) {
  const gfx::Image cat = gpuref::uploaded(gpuref::loadPicture("gpu_cat.png"));
  // Other GL code on a thread of its own, with a context in the processing
  // context's share group, makes the texture.
  glx::Context* processing = nullptr;
  performOnProcessingQueueSync([&] {
    if (GPUOpenGLESContext::useImageProcessingContext()) {
      processing = GPUOpenGLESContext::sharedImageProcessingOpenGLESContext().context();
    }
  });
  ASSERT_NE(processing, nullptr);
  std::unique_ptr<glx::Context> other;
  glx::TextureHandle texture;
  std::thread([&] {
    other = glx::Context::create(2, processing);
    if (!other || !other->makeCurrent()) return;
    texture = glx::TextureHandle::make();
    glBindTexture(GL_TEXTURE_2D, texture.get());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 150, 100, 0, GL_RGBA, GL_UNSIGNED_BYTE, cat.pixels());
    glFinish();
    glx::Context::clearCurrent();
  }).join();
  ASSERT_TRUE(texture);
  TextureReader reader;
  {
    auto input = std::make_shared<GPUTextureInput>(texture.get(), gfx::Size{150, 100});
    auto filter = std::make_shared<GPUFilter>();
    auto output = std::make_shared<GPUTextureOutput>();
    output->setDelegate(&reader);
    input->addTarget(filter);
    filter->addTarget(output);
    filter->setInputRotation(Rotation180, 0);
    input->processTextureWithFrameTime(CMTimeMake(1, 30));
    gputest::drainProcessingQueue();
  }
  ASSERT_EQ(reader.frames, 1);
  const auto result = gpuref::compare(reader.picture, gpuref::filter(cat, 6, gpuref::passThrough));
  EXPECT_EQ(result.badPixels, 0) << result.firstBad;
  // The source did not take the texture with it: its owner frees it.
  std::thread([&] {
    other->makeCurrent();
    EXPECT_EQ(glIsTexture(texture.get()), GL_TRUE);
    texture.reset();
    glx::Context::clearCurrent();
  }).join();
}

TEST(GPUUIElementSource, AViewEntersThePipelineAsItLooks) {
  fd::RunLoop::resetMainForTesting();
  auto view = std::make_shared<ui::View>(ui::Rect{0, 0, 60, 40});
  view->setBackgroundColor(gfx::Color::rgba8(200, 40, 30));
  auto inner = std::make_shared<ui::View>(ui::Rect{10, 5, 20, 30});
  inner->setBackgroundColor(gfx::Color::rgba8(20, 90, 240, 128));
  view->addSubview(inner);

  auto element = std::make_shared<GPUUIElement>(view);
  EXPECT_EQ(element->time(), CMTimeMake(0, 600));
  EXPECT_EQ(element->layerSizeInPixels(), (gfx::Size{60, 40}));
  auto output = std::make_shared<GPURawDataOutput>(gfx::Size{60, 40}, false);
  element->addTarget(output);
  fd::RunLoop::main().advance(1.0);
  element->update();
  EXPECT_EQ(element->time().value, 600);
  EXPECT_EQ(element->time().timescale, 600);

  gfx::Image expected = view->renderToImage(1);
  expected.premultiply();
  const auto result = gpuref::compare(imageFromBytes(output->rawBytesForImage(), 60, 40), expected, 0, 0);
  EXPECT_EQ(result.badPixels, 0) << result.firstBad;
}

TEST(GPURawDataEndpoints, ScaledReadsDrawAndStillHonourTheByteOrder) {
  // Red in, output at half size: the output draws its input (no direct read).
  std::vector<std::uint8_t> red(16 * 8 * 4);
  for (std::size_t i = 0; i < red.size(); i += 4) red[i] = 255, red[i + 3] = 255;
  for (bool bgraOut : {true, false}) {
    auto input = std::make_shared<GPURawDataInput>(red.data(), gfx::Size{16, 8}, GL_RGBA);
    auto output = std::make_shared<GPURawDataOutput>(gfx::Size{8, 4}, bgraOut);
    input->addTarget(output);
    input->processData();
    gputest::drainProcessingQueue();
    const std::uint8_t* bytes = output->rawBytesForImage();
    for (int i = 0; i < 8 * 4; ++i) {
      ASSERT_EQ(bytes[i * 4 + (bgraOut ? 2 : 0)], 255) << "pixel " << i;
      ASSERT_EQ(bytes[i * 4 + (bgraOut ? 0 : 2)], 0) << "pixel " << i;
    }
    EXPECT_EQ(output->colorAtLocation({1, 1}), (GPUByteColorVector{255, 0, 0, 255}));
  }
}
