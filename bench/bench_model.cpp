// Model speed: saving a long project (and saving one unchanged), building a project from pictures
// through the write queue (frames per second and peak memory), combining a
// long project with a short one, and the model's start over many projects
// and over long ones.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/ProjectDataModel.h"
#include "model/LongProject.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "support/PeakMemory.h"
#include "support/Sandbox.h"

namespace {

gfx::Image pagePicture(int seed) {
  gfx::Image img(384, 288);
  for (int y = 0; y < img.pixelHeight(); ++y) {
    for (int x = 0; x < img.pixelWidth(); ++x) {
      std::uint8_t* p = img.pixel(x, y);
      p[0] = static_cast<std::uint8_t>(x + seed);
      p[1] = static_cast<std::uint8_t>(y * 2 + seed);
      p[2] = static_cast<std::uint8_t>((x ^ y) + seed);
      p[3] = 255;
    }
  }
  return img;
}

double peakMemoryMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;  // ru_maxrss is in KiB on Linux
}

void BM_SaveThousandFrameProject(benchmark::State& state) {
  testing_support::ScopedSandbox sandbox;
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("long");
  while (p->imagesArray().size() < 1000) p->createImageAtPage(static_cast<int>(p->imagesArray().size()));
  for (auto _ : state) benchmark::DoNotOptimize(p->saveData());
  state.counters["frames"] = static_cast<double>(p->imagesArray().size());
}
BENCHMARK(BM_SaveThousandFrameProject)->Unit(benchmark::kMillisecond)->UseRealTime();

// A save of a project of 40,000 frames (a list of about 24 MB), as every quit
// and every pause of drawing saves it: unchanged since it was read (range 0),
// or with a layer's eye changed before each save (1), when the list is
// written whole.
void BM_SaveLongProjectAgain(benchmark::State& state) {
  testing_support::ScopedSandbox sandbox;
  if (!model_test::writeLongProject(fd::paths::library() / "Projects" / "long", 40000, 0, false)) {
    state.SkipWithError("the project could not be written");
    return;
  }
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("long");
  p->saveData();  // in the program's own form
  for (auto _ : state) {
    if (state.range(0) != 0) p->setLayStateIsOpen(!p->layIsOpenAtPage(1, 2, false), 1, 2, false);
    if (!p->saveData()) state.SkipWithError("the list was not written");
  }
}
BENCHMARK(BM_SaveLongProjectAgain)->ArgName("changed")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ThreeHundredFramesThroughWriteQueue(benchmark::State& state) {
  constexpr int kFrames = 300;
  std::vector<ImageRef> pictures;
  for (int i = 0; i < 8; ++i) pictures.push_back(std::make_shared<const gfx::Image>(pagePicture(i * 31)));
  for (auto _ : state) {
    state.PauseTiming();
    {
      testing_support::ScopedSandbox sandbox;
      ZTDataModel::resetSharedInstanceForTesting();
      state.ResumeTiming();
      std::shared_ptr<ProjectDataModel> p = ZTDataModel::sharedInstance().creatProject("Roto", pictures[0], 1);
      for (int i = 1; i < kFrames; ++i) p->addFrameWithImage(pictures[i % pictures.size()], 1);
      ProjectDataModel::waitForImageWrites();
      state.PauseTiming();
      ZTDataModel::resetSharedInstanceForTesting();
    }
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
  state.counters["frames_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations() * kFrames), benchmark::Counter::kIsRate);
  state.counters["peak_rss_MiB"] = peakMemoryMiB();
}
BENCHMARK(BM_ThreeHundredFramesThroughWriteQueue)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// A video turned into frames: every picture appends a frame and saves, as the
// pictures arrive one by one. Tiny pictures keep the PNG work out of the
// figure, which measures the frame list and Project.plist. Each frame takes
// three new ids and ids wait for the next millisecond, so N frames take at
// least 3N ms however fast the rest is.
void BM_AppendFramesOneByOne(benchmark::State& state) {
  const int frames = static_cast<int>(state.range(0));
  ImageRef tiny = std::make_shared<const gfx::Image>(gfx::Image(4, 3));
  for (auto _ : state) {
    state.PauseTiming();
    {
      testing_support::ScopedSandbox sandbox;
      ZTDataModel::resetSharedInstanceForTesting();
      std::shared_ptr<ProjectDataModel> p = ZTDataModel::sharedInstance().creatProject("Roto", tiny, 1);
      state.ResumeTiming();
      const auto start = std::chrono::steady_clock::now();
      for (int i = 1; i < frames; ++i) p->addFrameWithImage(tiny, 1);
      const std::chrono::duration<double, std::milli> handOver = std::chrono::steady_clock::now() - start;
      ProjectDataModel::waitForImageWrites();
      state.PauseTiming();
      state.counters["frames"] = static_cast<double>(p->imagesArray().size());
      // The calling thread's share; the rest is the queue writing files.
      state.counters["hand_over_ms"] = handOver.count();
      ZTDataModel::resetSharedInstanceForTesting();
    }
    state.ResumeTiming();
  }
}
BENCHMARK(BM_AppendFramesOneByOne)->Arg(1000)->Arg(3000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// New frames put in front of all others: every insert shifts the page
// references of every layer after it, the least work an insert can do.
void BM_InsertFramesAtTheFront(benchmark::State& state) {
  const int frames = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    {
      testing_support::ScopedSandbox sandbox;
      std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName("front");
      state.ResumeTiming();
      for (int i = 1; i < frames; ++i) p->createImageAtPage(1);
      p->saveData();
      state.PauseTiming();
    }
    state.ResumeTiming();
  }
}
BENCHMARK(BM_InsertFramesAtTheFront)->Arg(1000)->Arg(3000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// A long project (range 0 frames) combined with one of 10 frames, the long one
// chosen first (range 1 = 1) or second (0): chosen second, every one of its
// layers and frames takes a new id. Each frame has its four page files. The
// time is the caller's wait; emptied_ms is how long the merged folder's
// files took to go after it, off the calling thread; peak_MB what the
// process's resident memory grew by at most during the combination.
void BM_CombineLongProject(benchmark::State& state) {
  const int frames = static_cast<int>(state.range(0));
  const bool longFirst = state.range(1) != 0;
  for (auto _ : state) {
    state.PauseTiming();
    {
      testing_support::ScopedSandbox sandbox;
      ZTDataModel::resetSharedInstanceForTesting();
      const std::filesystem::path projects = fd::paths::library() / "Projects";
      if (!model_test::writeLongProject(projects / "long", frames, 0) ||
          !model_test::writeLongProject(projects / "short", 10, 1)) {
        state.SkipWithError("the projects could not be written");
        break;
      }
      ZTDataModel& model = ZTDataModel::sharedInstance();
      model.setProjectsNameArray({"short", "long"});
      const std::vector<std::string> order =
          longFirst ? std::vector<std::string>{"long", "short"} : std::vector<std::string>{"short", "long"};
      bool combined = false;
      state.counters["peak_MB"] = testing_support::peakGrowthMB([&] {
        state.ResumeTiming();
        combined = model.combineProjects(order);
        state.PauseTiming();
      });
      const auto returned = std::chrono::steady_clock::now();
      ZTDataModel::waitForRemovals();
      state.counters["emptied_ms"] =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - returned).count();
      if (!combined) state.SkipWithError(("not combined: " + model.lastError()).c_str());
      state.counters["frames"] = static_cast<double>(ProjectDataModel::initWithProjectName(order[0])->imagesArray().size());
      ZTDataModel::resetSharedInstanceForTesting();
    }
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CombineLongProject)
    ->ArgNames({"frames", "long_first"})
    ->Args({100000, 1})
    ->Args({100000, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

// The model's start over the projects `names` (the first one current), the
// sandbox holding them as setUp wrote them.
void startOver(benchmark::State& state, const std::vector<std::string>& names,
               const std::function<bool(ZTDataModel&)>& setUp) {
  testing_support::ScopedSandbox sandbox;
  ZTDataModel::resetSharedInstanceForTesting();
  fd::UserDefaults::resetStandardForTesting();
  ZTDataModel& m = ZTDataModel::sharedInstance();
  if (!setUp(m)) {
    state.SkipWithError("the projects could not be written");
    return;
  }
  m.setProjectsNameArray(names);
  m.setCurProjectName(names.front());
  m.saveData();
  for (auto _ : state) {
    ZTDataModel::resetSharedInstanceForTesting();
    fd::UserDefaults::resetStandardForTesting();
    benchmark::DoNotOptimize(&ZTDataModel::sharedInstance());
  }
  ZTDataModel::resetSharedInstanceForTesting();
  fd::UserDefaults::resetStandardForTesting();
}

// The model's start over N listed projects of 100 frames, each on a user's
// still background with its copies in place, or on none: the start looks
// into every project for a background's copy missing (none is).
void BM_StartOverProjects(benchmark::State& state) {
  std::vector<std::string> names;
  for (int i = 0; i < state.range(0); ++i) names.push_back("project " + std::to_string(i));
  startOver(state, names, [&](ZTDataModel& m) {
    const std::string background = "US20240101000000000";
    fd::files::createDirectory(m.backgroundPath());
    if (!gfx::writePNG(m.backgroundPath() / (background + ".png"), pagePicture(1)) ||
        !gfx::writePNG(m.backgroundPath() / (background + "Icon.png"), pagePicture(2).scaledTo(108, 81)))
      return false;
    const std::filesystem::path projects = fd::paths::library() / "Projects";
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (!model_test::writeLongProject(projects / names[i], 100, static_cast<int>(i % 90), false)) return false;
      std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName(names[i]);
      if (state.range(1) != 0 && !m.attachBackground(*p, background, false)) return false;
    }
    return true;
  });
}
BENCHMARK(BM_StartOverProjects)
    ->ArgNames({"projects", "background"})
    ->Args({20, 1})
    ->Args({200, 1})
    ->Args({200, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(100)
    ->UseRealTime();

// The model's start over a short project, open, and N of 40,000 frames each
// (a list of about 24 MB, with its 160,000 page files or without): the start
// must not read what no kill left in doubt.
void BM_StartOverLongProjects(benchmark::State& state) {
  std::vector<std::string> names{"short"};
  for (int i = 0; i < state.range(0); ++i) names.push_back("long " + std::to_string(i));
  startOver(state, names, [&](ZTDataModel&) {
    const std::filesystem::path projects = fd::paths::library() / "Projects";
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (!model_test::writeLongProject(projects / names[i], i == 0 ? 10 : 40000, static_cast<int>(i),
                                        state.range(1) != 0))
        return false;
    }
    return true;
  });
}
BENCHMARK(BM_StartOverLongProjects)
    ->ArgNames({"projects", "page_files"})
    ->Args({5, 0})
    ->Args({5, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
