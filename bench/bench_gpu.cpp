// GPU pipeline speed at 640x480 BGRA: one frame uploaded, filtered and read
// back through the pipeline's endpoints, beside a bare upload + draw + read
// loop with the same shader in the same run; the sketch chain (grayscale, a
// two-pass blur, an add blend of the two) into a display view; and building a
// pipeline from configurations with ordinary, long and hostile text
// arguments, beside the ordinary one.
#include <GLES2/gl2.h>
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "gpu/GPUFilterArgumentText.h"
#include "gpu/GPUFilterPipeline.h"
#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUOpenGLESContext.h"
#include "gpu/GPURawData.h"
#include "gpu/GPUView.h"
#include "platform/foundation/RunLoop.h"
#include "platform/gl/Context.h"
#include "platform/gl/Extensions.h"
#include "platform/gl/Handles.h"
#include "support/GpuTestFilters.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

// A camera-like frame: smooth gradients with a moving band, in B, G, R, A.
std::vector<std::uint8_t> frame(int n) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kWidth) * kHeight * 4);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      std::uint8_t* p = &bytes[(static_cast<std::size_t>(y) * kWidth + x) * 4];
      p[0] = static_cast<std::uint8_t>(x * 255 / kWidth);
      p[1] = static_cast<std::uint8_t>(y * 255 / kHeight);
      p[2] = static_cast<std::uint8_t>(((x + y + n * 8) % 64) * 4);
      p[3] = 255;
    }
  }
  return bytes;
}

void setFrameRate(benchmark::State& state) {
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Argument: 0 reads R, G, B, A (as the bare loop does), 1 reads B, G, R, A.
void BM_PipelineUploadFilterRead(benchmark::State& state) {
  const auto bytes = frame(0);
  auto input = std::make_shared<GPURawDataInput>(bytes.data(), gfx::Size{kWidth, kHeight});
  auto filter = std::make_shared<gputest::GrayscaleTestFilter>();
  auto output = std::make_shared<GPURawDataOutput>(gfx::Size{kWidth, kHeight}, state.range(0) == 1);
  input->addTarget(filter);
  filter->addTarget(output);
  for (auto _ : state) {
    input->updateDataFromBytes(bytes.data(), {kWidth, kHeight});
    input->processData();
    benchmark::DoNotOptimize(output->rawBytesForImage()[0]);
  }
  setFrameRate(state);
}
BENCHMARK(BM_PipelineUploadFilterRead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same work with nothing between the program and GL: one context on this
// thread, one texture, one framebuffer, one program.
void BM_BareUploadDrawRead(benchmark::State& state) {
  auto context = glx::Context::create(2);
  if (!context || !context->makeCurrent()) {
    state.SkipWithError("no ES 2 context");
    return;
  }
  const auto bytes = frame(0);
  const bool bgra = glx::supportsBGRATextures();
  auto compile = [](GLenum type, const char* source) {
    glx::ShaderHandle shader = glx::ShaderHandle::make(type);
    glShaderSource(shader.get(), 1, &source, nullptr);
    glCompileShader(shader.get());
    return shader;
  };
  glx::ProgramHandle program = glx::ProgramHandle::make();
  {
    glx::ShaderHandle vs = compile(GL_VERTEX_SHADER, kGPUVertexShaderString);
    glx::ShaderHandle fs = compile(GL_FRAGMENT_SHADER, gputest::kGrayscaleFragment);
    glAttachShader(program.get(), vs.get());
    glAttachShader(program.get(), fs.get());
    glBindAttribLocation(program.get(), 0, "position");
    glBindAttribLocation(program.get(), 1, "inputTextureCoordinate");
    glLinkProgram(program.get());
  }
  glUseProgram(program.get());
  glEnableVertexAttribArray(0);
  glEnableVertexAttribArray(1);
  glx::TextureHandle source = glx::TextureHandle::make();
  glActiveTexture(GL_TEXTURE2);
  glBindTexture(GL_TEXTURE_2D, source.get());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glUniform1i(glGetUniformLocation(program.get(), "inputImageTexture"), 2);
  glx::TextureHandle target = glx::TextureHandle::make();
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, target.get());
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kWidth, kHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glx::FramebufferHandle framebuffer = glx::FramebufferHandle::make();
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer.get());
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target.get(), 0);
  glViewport(0, 0, kWidth, kHeight);
  glActiveTexture(GL_TEXTURE2);
  std::vector<std::uint8_t> readBack(bytes.size());
  for (auto _ : state) {
    const GLenum format = bgra ? glx::kFormatBGRA : GL_RGBA;
    glTexImage2D(GL_TEXTURE_2D, 0, format, kWidth, kHeight, 0, format, GL_UNSIGNED_BYTE, bytes.data());
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, kFullFrameVertices.data());
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 0, kRotationTextureCoordinates[0].data());
    glClear(GL_COLOR_BUFFER_BIT);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, readBack.data());
    benchmark::DoNotOptimize(readBack[0]);
  }
  glx::Context::clearCurrent();
  setFrameRate(state);
  // Freed with the context current, as GL asks.
  context->makeCurrent();
  framebuffer.reset();
  target.reset();
  source.reset();
  program.reset();
  glx::Context::clearCurrent();
}
BENCHMARK(BM_BareUploadDrawRead)->Unit(benchmark::kMillisecond)->UseRealTime();

// Grayscale feeds a two-pass blur and, with the blur, an add blend; the blend
// shows in a 640x480 display view, whose picture reaches the main thread.
void BM_SketchChainToDisplay(benchmark::State& state) {
  fd::RunLoop::main();
  std::vector<std::vector<std::uint8_t>> frames;
  for (int i = 0; i < 4; ++i) frames.push_back(frame(i));
  auto input = std::make_shared<GPURawDataInput>(frames[0].data(), gfx::Size{kWidth, kHeight});
  auto gray = std::make_shared<gputest::GrayscaleTestFilter>();
  auto blur = std::make_shared<gputest::BlurTestFilter>();
  auto blend = std::make_shared<gputest::AddBlendTestFilter>();
  auto view = std::make_shared<GPUView>(ui::Rect{0, 0, kWidth, kHeight}, 1.0f);
  input->addTarget(gray);
  gray->addTarget(blend);
  gray->addTarget(blur);
  blur->addTarget(blend);
  blend->addTarget(view);
  std::uint64_t shownBefore = view->presentCount();
  int n = 0;
  for (auto _ : state) {
    input->updateDataFromBytes(frames[n++ % frames.size()].data(), {kWidth, kHeight});
    input->processData();
    performOnProcessingQueueSync([] {});
    fd::RunLoop::main().runUntilIdle();
  }
  if (view->presentCount() - shownBefore != static_cast<std::uint64_t>(state.iterations())) {
    state.SkipWithError("a frame did not reach the display");
  }
  setFrameRate(state);
}
BENCHMARK(BM_SketchChainToDisplay)->Unit(benchmark::kMillisecond)->UseRealTime();

// One sepia filter whose intensity is the given text.
fd::Value sepiaConfiguration(const std::string& intensity) {
  fd::Dictionary sepia{{"FilterName", fd::Value("GPUSepiaFilter")},
                       {"Attributes", fd::Value(fd::Dictionary{{"setIntensity:", fd::Value(intensity)}})}};
  return fd::Value(fd::Dictionary{{"Filters", fd::Value(fd::Array{fd::Value(std::move(sepia))})}});
}

// Argument: 0 "float(0.5)", the baseline; 1 the longest argument a
// configuration may give, commas all the way; 2 an argument of 50,000
// characters, refused; 3 "NSString(" and a thousand commas, never closed.
void BM_PipelineConfiguration(benchmark::State& state) {
  GPUFilterRegistry::registerCoreFilters();
  std::string intensity = "float(0.5)";
  if (state.range(0) == 1) {
    intensity = "float(0.5";
    while (intensity.size() + 3 < kMaxFilterArgumentLength) intensity += ", 1";
    intensity += ")";
  } else if (state.range(0) == 2) {
    intensity = "float(" + std::string(50000 - 7, '1') + ")";
  } else if (state.range(0) == 3) {
    intensity = "NSString(" + std::string(1000, ',');
  }
  const fd::Value configuration = sepiaConfiguration(intensity);
  const bool builds = state.range(0) <= 1;
  for (auto _ : state) {
    auto filters = GPUFilterPipeline::parseConfiguration(configuration);
    if (filters.ok() != builds) {
      state.SkipWithError("the configuration was not answered as it should be");
      break;
    }
    benchmark::DoNotOptimize(filters);
  }
}
BENCHMARK(BM_PipelineConfiguration)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

// The reader alone, past the length a configuration may give: a short
// argument, and one of 50,000 characters closed at the end.
void BM_ReadFilterArgument(benchmark::State& state) {
  const auto length = static_cast<std::size_t>(state.range(0));
  const std::string text = length == 0 ? "float(0.5)" : "float(" + std::string(length - 7, '1') + ")";
  for (auto _ : state) {
    auto form = readFilterArgumentText(text);
    benchmark::DoNotOptimize(form);
  }
}
BENCHMARK(BM_ReadFilterArgument)->Arg(0)->Arg(50000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
