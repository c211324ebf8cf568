// Recording and playing movies through the GPU pipeline at 640x480: camera
// frames through the sketch chain (grayscale, a two-pass blur, an add blend
// of the two) into a movie writer, beside the same frames written with no
// filter chain; and a 10 s movie decoded through the movie source.
// "fps" is frames encoded (or decoded) per second; "realtime" is how many
// times faster than the movie plays.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "gpu/GPUMovie.h"
#include "gpu/GPUMovieWriter.h"
#include "gpu/GPUOpenGLESContext.h"
#include "gpu/GPUVideoCamera.h"
#include "platform/media/MovieWriter.h"
#include "support/GpuTestFilters.h"

namespace {

namespace fs = std::filesystem;
constexpr int kWidth = 640, kHeight = 480, kFps = 30;

// Camera-like pictures: smooth gradients with a moving band, in B, G, R, A.
std::shared_ptr<media::PixelBuffer> picture(int n) {
  auto p = media::PixelBuffer::make(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      std::uint8_t* px = p->row(y) + 4 * x;
      px[0] = static_cast<std::uint8_t>(x * 255 / kWidth);
      px[1] = static_cast<std::uint8_t>(y * 255 / kHeight);
      px[2] = static_cast<std::uint8_t>(((x + y + n * 8) % 64) * 4);
      px[3] = 255;
    }
  return p;
}

const std::vector<std::shared_ptr<media::PixelBuffer>>& pictures() {
  static const auto all = [] {
    std::vector<std::shared_ptr<media::PixelBuffer>> v;
    for (int i = 0; i < kFps; ++i) v.push_back(picture(i));
    return v;
  }();
  return all;
}

fs::path scratch(const char* name) {
  const fs::path dir = fs::temp_directory_path() / ("flipdesk-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  return dir / name;
}

std::shared_ptr<GPUVideoCamera> patternCamera() {
  ::setenv("FLIPDESK_CAMERA", "pattern", 1);
  return GPUVideoCamera::make();
}

// One second of frames per iteration, each encoded before the next is sent.
void record(benchmark::State& state, bool sketchChain) {
  auto camera = patternCamera();
  if (!camera) {
    state.SkipWithError("no camera");
    return;
  }
  const fs::path file = scratch(sketchChain ? "sketch.mov" : "plain.mov");
  auto writer = std::make_shared<GPUMovieWriter>(file, gfx::Size{kWidth, kHeight});
  std::shared_ptr<gputest::GrayscaleTestFilter> gray;
  std::shared_ptr<gputest::BlurTestFilter> blur;
  std::shared_ptr<gputest::AddBlendTestFilter> blend;
  if (sketchChain) {
    gray = std::make_shared<gputest::GrayscaleTestFilter>();
    blur = std::make_shared<gputest::BlurTestFilter>();
    blend = std::make_shared<gputest::AddBlendTestFilter>();
    camera->addTarget(gray);
    gray->addTarget(blend);
    gray->addTarget(blur);
    blur->addTarget(blend);
    blend->addTarget(writer);
  } else {
    camera->addTarget(writer);
  }
  writer->startRecording();
  std::int64_t frame = 0;
  for (auto _ : state) {
    for (const auto& p : pictures()) {
      media::VideoSample sample{p, CMTimeMake(frame++ * 20, 600)};
      performOnProcessingQueueSync([&] { camera->processVideoSampleBuffer(sample); });
    }
  }
  writer->finishRecording();
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations() * kFps), benchmark::Counter::kIsRate);
  camera->removeAllTargets();
  if (blend) blend->removeAllTargets();
  std::error_code ec;
  fs::remove_all(file.parent_path(), ec);
}

void BM_RecordThroughSketchChain(benchmark::State& state) { record(state, true); }
void BM_RecordWithNoFilterChain(benchmark::State& state) { record(state, false); }

// A target that takes the frames and does nothing with them.
class NullTarget : public GPUInput {
 public:
  void newFrameReadyAtTime(CMTime, int) override { ++frames; }
  void setInputTexture(GLuint, int) override {}
  void setTextureDelegate(GPUTextureDelegate*, int) override {}
  int nextAvailableTextureIndex() const override { return 0; }
  void setInputSize(gfx::Size, int) override {}
  void setInputRotation(RotationMode, int) override {}
  gfx::Size maximumOutputSize() const override { return {}; }
  void endProcessing() override {}
  bool shouldIgnoreUpdatesToThisTarget() const override { return false; }
  bool enabled() const override { return true; }
  void conserveMemoryForNextFrame() override {}
  int frames = 0;
};

void BM_DecodeTenSecondMovie(benchmark::State& state) {
  const fs::path file = scratch("ten.mov");
  {
    auto writer = media::MovieWriter::create(file, media::MovieContainer::QuickTime);
    if (!writer || !(*writer)->addVideoTrack({kWidth, kHeight, 30, kFps}).ok() || !(*writer)->startWriting()) {
      state.SkipWithError("cannot write the movie");
      return;
    }
    (*writer)->startSession(CMTimeMake(0, 600));
    for (int i = 0; i < 10 * kFps; ++i) (*writer)->appendVideo(*pictures()[i % kFps], CMTimeMake(i * 20, 600));
    if (!(*writer)->finishWriting().ok()) {
      state.SkipWithError("cannot finish the movie");
      return;
    }
  }
  int frames = 0;
  for (auto _ : state) {
    auto movie = std::make_shared<GPUMovie>(file);
    auto target = std::make_shared<NullTarget>();
    movie->addTarget(target);
    movie->startProcessing();
    movie->waitUntilDone();
    performOnProcessingQueueSync([] {});
    frames += target->frames;
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
  // Seconds of movie per second of decoding.
  state.counters["realtime"] =
      benchmark::Counter(static_cast<double>(frames) / kFps, benchmark::Counter::kIsRate);
  std::error_code ec;
  fs::remove_all(file.parent_path(), ec);
}

BENCHMARK(BM_RecordThroughSketchChain)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_RecordWithNoFilterChain)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_DecodeTenSecondMovie)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
