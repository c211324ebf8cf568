// The Voronoi and mosaic filters at work: a jump-flooded map of scattered
// seeds at 512 and 1024 pixels (all passes of one frame), the map colouring
// a camera-sized frame, and the mosaic of a 640x480 frame with the drawn
// tile set. Each frame is uploaded, filtered and read back.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "gpu/GPURawData.h"
#include "gpu/filters/voronoi/GPUVoronoiFilters.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

// RGBA: transparent but for about one seed in 1000 pixels, each holding its
// own position.
std::vector<std::uint8_t> seeds(int side) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(side) * side * 4, 0);
  std::mt19937 random(1);
  std::uniform_int_distribution<int> at(0, side - 1);
  for (int n = 0; n < side * side / 1000; ++n) {
    const int x = at(random), y = at(random);
    std::uint8_t* p = &bytes[(static_cast<std::size_t>(y) * side + x) * 4];
    p[0] = static_cast<std::uint8_t>(x % 256);
    p[1] = static_cast<std::uint8_t>(y % 256);
    p[2] = static_cast<std::uint8_t>((y / 256) * 8 + x / 256);
    p[3] = 255;
  }
  return bytes;
}

// RGBA gradients with a diagonal band.
std::vector<std::uint8_t> frame(int width, int height) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = &bytes[(static_cast<std::size_t>(y) * width + x) * 4];
      p[0] = static_cast<std::uint8_t>(x * 255 / width);
      p[1] = static_cast<std::uint8_t>(y * 255 / height);
      p[2] = static_cast<std::uint8_t>(((x + y) % 64) * 4);
      p[3] = 255;
    }
  return bytes;
}

// Uploads and sends `bytes` through `stage` every iteration, reading the
// result back.
void run(benchmark::State& state, const std::shared_ptr<GPUFilterStage>& stage, const std::vector<std::uint8_t>& bytes,
         gfx::Size size) {
  auto input = std::make_shared<GPURawDataInput>(bytes.data(), size, GL_RGBA);
  auto output = std::make_shared<GPURawDataOutput>(size, false);
  input->addTarget(stage);
  stage->addTarget(output);
  for (auto _ : state) {
    input->updateDataFromBytes(bytes.data(), size);
    input->processData();
    benchmark::DoNotOptimize(output->rawBytesForImage()[0]);
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_JumpFloodingVoronoi(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  auto filter = std::make_shared<GPUJFAVoroniFilter>();
  (void)filter->setSizeInPixels({static_cast<float>(side), static_cast<float>(side)});
  run(state, filter, seeds(side), {static_cast<float>(side), static_cast<float>(side)});
}
BENCHMARK(BM_JumpFloodingVoronoi)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_VoronoiConsumer(benchmark::State& state) {
  constexpr int kSide = 512;
  static const std::vector<std::uint8_t> seedBytes = seeds(kSide);
  auto flood = std::make_shared<GPUJFAVoroniFilter>();
  (void)flood->setSizeInPixels({kSide, kSide});
  auto map = std::make_shared<GPURawDataInput>(seedBytes.data(), gfx::Size{kSide, kSide}, GL_RGBA);
  map->addTarget(flood);
  auto consumer = std::make_shared<GPUVoroniConsumerFilter>();
  (void)consumer->setSizeInPixels({kSide, kSide});
  consumer->disableSecondFrameCheck();
  // The map is flooded once; every camera frame is coloured by it.
  const std::vector<std::uint8_t> camera = frame(kWidth, kHeight);
  auto input = std::make_shared<GPURawDataInput>(camera.data(), gfx::Size{kWidth, kHeight}, GL_RGBA);
  auto output = std::make_shared<GPURawDataOutput>(gfx::Size{kWidth, kHeight}, false);
  input->addTarget(consumer);
  flood->addTarget(consumer);
  map->processData();
  consumer->addTarget(output);
  for (auto _ : state) {
    input->processData();
    benchmark::DoNotOptimize(output->rawBytesForImage()[0]);
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_VoronoiConsumer)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Mosaic(benchmark::State& state) {
  auto filter = std::make_shared<GPUMosaicFilter>();
  if (!filter->setTileSet("mosaic_tiles").ok()) {
    state.SkipWithError("no tile set");
    return;
  }
  run(state, filter, frame(kWidth, kHeight), {kWidth, kHeight});
}
BENCHMARK(BM_Mosaic)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
