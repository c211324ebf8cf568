// Every filter class the registry holds (the stock library with its groups,
// and the sketch filters the program registers at launch) at 640x480: one
// camera-like frame uploaded, filtered and read back through the pipeline's
// raw-data endpoints, beside the pass-through filter in the same run. Each
// row is labelled with its class. A class with a second input gets a still
// one; a class whose frames never reach the output is reported as an error
// row rather than timed doing nothing.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "gpu/GPUFilter.h"
#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPURawData.h"
#include "gpu/GPUTwoInputFilter.h"
#include "gpu/filters/sketch/GPUSketchFilters.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

// Smooth gradients with a diagonal band, in B, G, R, A.
std::vector<std::uint8_t> frame() {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kWidth) * kHeight * 4);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      std::uint8_t* p = &bytes[(static_cast<std::size_t>(y) * kWidth + x) * 4];
      p[0] = static_cast<std::uint8_t>(x * 255 / kWidth);
      p[1] = static_cast<std::uint8_t>(y * 255 / kHeight);
      p[2] = static_cast<std::uint8_t>(((x + y) % 64) * 4);
      p[3] = 255;
    }
  }
  return bytes;
}

// The pass-through filter first, then every registered class by name.
const std::vector<std::string>& classes() {
  static const std::vector<std::string> names = [] {
    GPUFilterRegistry::registerCoreFilters();
    registerSketchFilters();
    std::vector<std::string> list = {"GPUFilter"};
    for (const std::string& name : GPUFilterRegistry::shared().classNames()) {
      if (name != "GPUFilter") list.push_back(name);
    }
    return list;
  }();
  return names;
}

// What an edge detector hands on: black with a few lit lines (about 1% of
// the pixels), in B, G, R, A.
std::vector<std::uint8_t> edgeFrame() {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kWidth) * kHeight * 4, 0);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      std::uint8_t* p = &bytes[(static_cast<std::size_t>(y) * kWidth + x) * 4];
      p[3] = 255;
      if (x == y || x == 2 * y - 200 || y == 100 || x == 500) p[0] = p[1] = p[2] = 255;
    }
  }
  return bytes;
}

// The second input of the two-input filters: a 512 x 512 picture (the size
// a colour lookup needs), uploaded once as a still.
constexpr int kOverlaySize = 512;
std::vector<std::uint8_t> overlay() {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kOverlaySize) * kOverlaySize * 4);
  for (int y = 0; y < kOverlaySize; ++y) {
    for (int x = 0; x < kOverlaySize; ++x) {
      std::uint8_t* p = &bytes[(static_cast<std::size_t>(y) * kOverlaySize + x) * 4];
      p[0] = static_cast<std::uint8_t>((y / 64) * 8 + x / 64);
      p[1] = static_cast<std::uint8_t>(y % 64 * 4);
      p[2] = static_cast<std::uint8_t>(x % 64 * 4);
      p[3] = static_cast<std::uint8_t>(128 + x % 128);
    }
  }
  return bytes;
}

void runFilter(benchmark::State& state, const std::string& name, const std::vector<std::uint8_t>& bytes) {
  state.SetLabel(name);
  auto stage = GPUFilterRegistry::shared().classNamed(name)->make();
  auto input = std::make_shared<GPURawDataInput>(bytes.data(), gfx::Size{kWidth, kHeight});
  auto output = std::make_shared<GPURawDataOutput>(gfx::Size{kWidth, kHeight}, false);
  input->addTarget(stage);
  static const std::vector<std::uint8_t> overlayBytes = overlay();
  std::shared_ptr<GPURawDataInput> second;
  if (auto* twoInput = dynamic_cast<GPUTwoInputFilter*>(stage.get())) {
    // The second input delivers once; every frame of the first draws with it.
    twoInput->disableSecondFrameCheck();
    second = std::make_shared<GPURawDataInput>(overlayBytes.data(), gfx::Size{kOverlaySize, kOverlaySize});
    second->addTarget(stage);
    second->processData();
  }
  // Counted on the processing queue; read after the read-back, which waits there.
  auto delivered = std::make_shared<int>(0);
  output->setNewFrameAvailableBlock([delivered] { ++*delivered; });
  stage->addTarget(output);
  // One frame before timing: framebuffers are made and programs linked on
  // first use, which would otherwise be the whole of a short row.
  input->processData();
  output->rawBytesForImage();
  if (*delivered == 0) {
    state.SkipWithError((name + ": no frame reached the output").c_str());
    return;
  }
  for (auto _ : state) {
    input->updateDataFromBytes(bytes.data(), {kWidth, kHeight});
    input->processData();
    benchmark::DoNotOptimize(output->rawBytesForImage()[0]);
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_StockFilter(benchmark::State& state) {
  runFilter(state, classes().at(static_cast<std::size_t>(state.range(0))), frame());
}

void allClasses(benchmark::internal::Benchmark* b) {
  for (std::size_t i = 0; i < classes().size(); ++i) b->Arg(static_cast<int>(i));
}
BENCHMARK(BM_StockFilter)->Apply(allClasses)->Unit(benchmark::kMillisecond)->UseRealTime();

// The vote transform's work grows with the lit pixels: the camera-like frame
// above lights nearly all of them, an edge map only a few.
void BM_ParallelCoordinatesOnEdgeMap(benchmark::State& state) {
  runFilter(state, "GPUParallelCoordinateLineTransformFilter", edgeFrame());
}
BENCHMARK(BM_ParallelCoordinatesOnEdgeMap)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
