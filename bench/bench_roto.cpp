// Rotoscoping export speed: a 10 s 640 x 480 recording walked at ten pictures
// a second plus one (101 pictures), each turned into black strokes through
// the white filter and appended to the project "Roto". The whole walk as the
// screen runs it (target: under 10 s), and the time per picture by stage:
// decode, filter, read-back, page files.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include <chrono>
#include <cmath>
#include <thread>

#include "gpu/GPUOpenGLESContext.h"
#include "gpu/GPUPicture.h"
#include "gpu/filters/sketch/GPUWhiteFilter.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/RunLoop.h"
#include "platform/media/MovieReader.h"
#include "platform/media/MovieWriter.h"
#include "roto/RotoFrameExport.h"
#include "support/Sandbox.h"

namespace {

namespace fs = std::filesystem;
constexpr int kW = 640, kH = 480, kFps = 30;
constexpr double kSeconds = 10;

// A sketch-like recording: white paper, a dark moving stroke, grey shading;
// with the microphone's sound, as the camera records (the sound runs to the
// end of the last picture, so the movie lasts the full 10 s).
const fs::path& recording() {
  static const fs::path file = [] {
    const fs::path dir = testing_support::makeTempDir("bench_roto");
    const fs::path f = dir / "rotoscoping_temp.mp4";
    auto w = media::MovieWriter::create(f, media::MovieContainer::QuickTime);
    if (!(*w)->addVideoTrack({kW, kH, 30, kFps}).ok() || !(*w)->addAudioTrack({}).ok()) std::abort();
    (*w)->startWriting();
    (*w)->startSession(CMTimeMake(0, 600));
    for (int i = 0; i < static_cast<int>(kSeconds * kFps); ++i) {
      auto p = media::PixelBuffer::make(kW, kH);
      for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
          std::uint8_t* px = p->row(y) + 4 * x;
          const double d = std::abs(y - kH / 2 - 120 * std::sin((x + i * 6) / 60.0));
          const std::uint8_t v = d < 4 ? 0 : static_cast<std::uint8_t>(std::min(255.0, 180 + d / 2));
          px[0] = px[1] = px[2] = v;
          px[3] = 255;
        }
      (*w)->appendVideo(*p, CMTimeMake(i * (600 / kFps), 600));
      media::AudioSamples a;
      a.samples.assign(44100 / kFps, 0.0f);
      a.presentationTime = CMTimeMake(static_cast<std::int64_t>(i) * (44100 / kFps), 44100);
      (*w)->appendAudio(a);
    }
    (void)(*w)->finishWriting();
    return f;
  }();
  return file;
}

void BM_ExportWalkIntoProject(benchmark::State& state) {
  const fs::path movie = recording();
  fd::RunLoop::resetMainForTesting(false);
  for (auto _ : state) {
    testing_support::ScopedSandbox sandbox;
    ZTDataModel::resetSharedInstanceForTesting();
    std::shared_ptr<ProjectDataModel> project;
    bool finished = false;
    int frames = 0;
    roto::RotoFrameExport walk;
    roto::RotoFrameExport::Callbacks cb;
    cb.frame = [&](const std::shared_ptr<const gfx::Image>& image, int i) {
      if (i == 0)
        project = ZTDataModel::sharedInstance().creatProject("Roto", image, 2);
      else
        project->addFrameWithImage(image, 2);
      ++frames;
    };
    cb.finished = [&] { finished = true; };
    walk.start(movie, std::make_shared<GPUWhiteFilter>(), cb);
    while (!finished) fd::RunLoop::main().runOnce(0.01);
    if (project) project->waitForImageWrites();
    state.counters["pictures"] = frames;
    ZTDataModel::resetSharedInstanceForTesting();
  }
}
BENCHMARK(BM_ExportWalkIntoProject)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

double msSince(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

void BM_ExportStagesPerPicture(benchmark::State& state) {
  const fs::path movie = recording();
  double decode = 0, filter = 0, readBack = 0, pageFiles = 0;
  int pictures = 0;
  for (auto _ : state) {
    testing_support::ScopedSandbox sandbox;
    ZTDataModel::resetSharedInstanceForTesting();
    auto reader = media::MovieReader::open(movie);
    media::MovieReader& r = **reader;
    const double d = r.duration();
    const int total = roto::RotoFrameExport::frameCount(d);
    auto white = std::make_shared<GPUWhiteFilter>();
    std::shared_ptr<ProjectDataModel> project;
    std::optional<media::VideoSample> shown = r.nextVideoFrame(), next = r.nextVideoFrame();
    for (int i = 0; i < total; ++i) {
      const double t = roto::RotoFrameExport::frameTime(i, total, d);
      auto t0 = std::chrono::steady_clock::now();
      while (next && CMTimeGetSeconds(next->presentationTime) <= t + 1e-6) {
        shown = std::move(next);
        next = r.nextVideoFrame();
      }
      const gfx::Image upright = roto::RotoFrameExport::uprightPicture(*shown->pixels, 0);
      decode += msSince(t0);

      t0 = std::chrono::steady_clock::now();
      auto source = std::make_shared<GPUPicture>(upright);
      source->addTarget(white);
      source->processImage();
      performOnProcessingQueueSync([] {});  // the draw has run
      filter += msSince(t0);

      t0 = std::chrono::steady_clock::now();
      auto image = std::make_shared<const gfx::Image>(white->imageFromCurrentlyProcessedOutput());
      white->removeAllTargets();
      source->removeAllTargets();
      readBack += msSince(t0);

      t0 = std::chrono::steady_clock::now();
      if (i == 0)
        project = ZTDataModel::sharedInstance().creatProject("Roto", image, 2);
      else
        project->addFrameWithImage(image, 2);
      project->waitForImageWrites();
      pageFiles += msSince(t0);
      ++pictures;
    }
    ZTDataModel::resetSharedInstanceForTesting();
  }
  state.counters["decode_ms"] = decode / pictures;
  state.counters["filter_ms"] = filter / pictures;
  state.counters["readback_ms"] = readBack / pictures;
  state.counters["pagefiles_ms"] = pageFiles / pictures;
  state.counters["pictures_per_walk"] = static_cast<double>(pictures) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ExportStagesPerPicture)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
