// Importing a large camera photo as a background: a 4000 x 3000 JPEG read
// upright, fitted under the page's window and cropped into the 384 x 288
// picture, then written with its icon (target: 300 ms or less), beside a
// plain full decode of the same file in the same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>

#include "desk/BackgroundPhotoImport.h"
#include "platform/foundation/FileUtil.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Image.h"
#include "support/Sandbox.h"

namespace {

namespace bi = background_import;

// The test photo enlarged to a camera's 4000 x 3000 and stored as JPEG once.
const std::filesystem::path& largePhoto() {
  static const std::filesystem::path path = [] {
    const auto dir = testing_support::makeTempDir("bench_backgrounds");
    const auto file = dir / "camera.jpg";
    auto photo = gfx::readImage(std::filesystem::path(FLIPDESK_TEST_DATA) / "bg_rocket.jpg");
    if (!photo) return file;
    auto bytes = gfx::encodeJPEG(photo->scaledTo(4000, 3000), 0.9f);
    if (bytes) fd::files::writeFileAtomically(file, *bytes);
    return file;
  }();
  return path;
}

void BM_ImportLargeJpegAsBackground(benchmark::State& state) {
  const auto dir = testing_support::makeTempDir("bench_backgrounds_out");
  for (auto _ : state) {
    auto photo = bi::readPhoto(largePhoto());
    if (!photo) {
      state.SkipWithError(photo.error().c_str());
      break;
    }
    const ui::Rect window = bi::clipRectForViewSize({480, 276}, {384, 288});
    const float s = std::min(480.0f / photo->pixelWidth(), 276.0f / photo->pixelHeight());
    const ui::Rect frame = bi::fittedPhotoFrame(
        {0, 0, photo->pixelWidth() * s, photo->pixelHeight() * s}, window,
        {static_cast<float>(photo->pixelWidth()), static_cast<float>(photo->pixelHeight())});
    auto picture = bi::cropToPicture(*photo, frame, window);
    gfx::Context icon(108, 81);
    icon.drawImage(*picture, {0, 0, 108, 81});
    benchmark::DoNotOptimize(gfx::writePNG(dir / "picture.png", *picture));
    benchmark::DoNotOptimize(gfx::writePNG(dir / "icon.png", icon.makeImage()));
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ImportLargeJpegAsBackground)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_PlainFullDecodeOfTheSameJpeg(benchmark::State& state) {
  for (auto _ : state) {
    auto image = gfx::readJPEG(largePhoto());
    benchmark::DoNotOptimize(image);
  }
}
BENCHMARK(BM_PlainFullDecodeOfTheSameJpeg)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
