// Opening the file panel over 200 projects, each with a drawing on its first
// page, without backgrounds and with a still background each: the time from
// building the panel to its first composed screen (a 2x headless screen), and
// what it holds once shown; the open panel dragged along 20 cards a frame at
// a time; and the same panel moved along all its cards. Counters: card_bytes, the pixels of the distinct
// pictures the project cards' views hold; heap_growth, the bytes the
// allocator hands out more with the panel open than before it; and
// resident_growth, the process's resident memory grown by the open.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <set>
#include <string>

#include "app/FileManagerView.h"
#include "desk/BackgroundsView.h"
#include "model/DeviceScreen.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/RunLoop.h"
#include "platform/graphics/Context.h"
#include "platform/ui/Application.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "services/VTSystemManager.h"
#include "support/Sandbox.h"

namespace {

constexpr int kProjects = 200;
constexpr float kScale = 2;

double heapBytes() {
  const struct mallinfo2 m = mallinfo2();
  return static_cast<double>(m.uordblks + m.hblkhd);
}

double residentBytes() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

// A page's icon as the desk writes it: a few strokes on a transparent page.
gfx::Image drawingIcon(int seed) {
  gfx::Context c(static_cast<int>(108 * kScale), static_cast<int>(81 * kScale), kScale);
  c.setStrokeColor({0.1f + 0.003f * seed, 0.2f, 0.5f, 1});
  c.setLineWidth(3);
  for (int i = 0; i < 4; ++i)
    c.strokePolyline({{10.0f + i * 6, 10.0f + (seed % 20)}, {60.0f + i * 8, 40.0f}, {98.0f - i * 4, 70.0f}});
  return c.makeImage();
}

// The pixels of every distinct picture the views under `root` show.
double heldPictureBytes(const ui::View& root) {
  std::set<const gfx::Image*> seen;
  double bytes = 0;
  auto visit = [&](auto&& self, const ui::View& v) -> void {
    if (auto* image = dynamic_cast<const ui::ImageView*>(&v)) {
      for (const ui::Picture* p : {&image->image(), &image->highlightedImage()})
        if (!p->empty() && seen.insert(p->image()).second)
          bytes += 4.0 * p->image()->pixelWidth() * p->image()->pixelHeight();
    }
    for (const auto& sub : v.subviews()) self(self, *sub);
  };
  visit(visit, root);
  return bytes;
}

struct PanelRig {
  explicit PanelRig(bool backgrounds) {
    fd::RunLoop::resetMainForTesting(true);
    ZTDataModel::resetSharedInstanceForTesting();
    VTSystemManager::resetSharedManagerForTesting();
    host = std::make_unique<ui::HeadlessHost>(false, kScale);
    const ui::Rect b = ui::Screen::main().bounds();
    DeviceScreen::setMainScreen(kScale, b.height, b.width);
    ZTDataModel& model = ZTDataModel::sharedInstance();
    for (int i = 0; i < kProjects; ++i) {
      if (!model.createProject("Project " + std::to_string(i), std::nullopt)) continue;
      ProjectDataModel& project = *model.prjDataModel();
      if (auto icon = project.iconFullPathAtPage(1, false)) (void)gfx::writePNG(*icon, drawingIcon(i));
      if (backgrounds) attachBackground(project, "SSBackground001", true);
      project.saveData();
    }
    model.saveData();
    window = std::make_shared<ui::Window>(ui::Screen::main().bounds());
    window->makeKeyAndVisible();
    ui::Application::shared().composeScreen();
  }
  ~PanelRig() {
    window.reset();
    ui::Application::shared().reset();
    host.reset();
    ZTDataModel::resetSharedInstanceForTesting();
    VTSystemManager::resetSharedManagerForTesting();
    DeviceScreen::resetForTesting();
  }

  testing_support::ScopedSandbox sandbox;
  std::unique_ptr<ui::HeadlessHost> host;
  std::shared_ptr<ui::Window> window;
};

void BM_OpenFilePanel(benchmark::State& state) {
  const bool backgrounds = state.range(0) != 0;
  PanelRig rig(backgrounds);
  const std::size_t listed = ZTDataModel::sharedInstance().projectsNameArray().size();
  if (listed < kProjects) {
    state.SkipWithError("the projects could not be made");
    return;
  }
  double cardBytes = 0, heapGrowth = 0, residentGrowth = 0;
  for (auto _ : state) {
    state.PauseTiming();
    malloc_trim(0);
    const double heap0 = heapBytes(), resident0 = residentBytes();
    state.ResumeTiming();
    auto panel = FileManagerView::initFileManagerView();
    rig.window->addSubview(panel);
    ui::Application::shared().composeScreen();
    state.PauseTiming();
    heapGrowth = heapBytes() - heap0;
    residentGrowth = residentBytes() - resident0;
    cardBytes = heldPictureBytes(*panel->projsView());
    const bool whole = panel->projsView()->cardCount() == listed;
    panel->removeFromSuperview();
    panel.reset();
    ui::Application::shared().composeScreen();
    if (!whole) {
      state.SkipWithError("the panel does not list every project");
      break;
    }
    state.ResumeTiming();
  }
  state.counters["card_bytes"] = cardBytes;
  state.counters["heap_growth"] = heapGrowth;
  state.counters["resident_growth"] = residentGrowth;
}

// The panel opened and its strip then moved along all its cards a strip's
// width at a time, composed at each stop: every card shown once.
void BM_OpenFilePanelAndScrollThrough(benchmark::State& state) {
  PanelRig rig(state.range(0) != 0);
  double cardBytes = 0;
  for (auto _ : state) {
    auto panel = FileManagerView::initFileManagerView();
    rig.window->addSubview(panel);
    ui::Application::shared().composeScreen();
    ProjectsView* strip = panel->projsView();
    for (float x = 0; x < strip->maxContentOffset().x + strip->bounds().width; x += strip->bounds().width) {
      strip->setContentOffset({std::min(x, strip->maxContentOffset().x), 0});
      ui::Application::shared().composeScreen();
    }
    state.PauseTiming();
    cardBytes = heldPictureBytes(*strip);
    panel->removeFromSuperview();
    panel.reset();
    ui::Application::shared().composeScreen();
    state.ResumeTiming();
  }
  state.counters["card_bytes"] = cardBytes;
}

// A finger's drag along the open panel: the strip moved 8 points a frame
// past 20 cards, composed at each frame.
void BM_DragAlongFilePanel(benchmark::State& state) {
  PanelRig rig(state.range(0) != 0);
  auto panel = FileManagerView::initFileManagerView();
  rig.window->addSubview(panel);
  ui::Application::shared().composeScreen();
  ProjectsView* strip = panel->projsView();
  const float end = std::min(20 * (CardStrip::kCardWidth + CardStrip::kCardGap), strip->maxContentOffset().x);
  for (auto _ : state) {
    for (float x = 8; x <= end; x += 8) {
      strip->setContentOffset({x, 0});
      ui::Application::shared().composeScreen();
    }
    state.PauseTiming();
    strip->setContentOffset({0, 0});
    ui::Application::shared().composeScreen();
    state.ResumeTiming();
  }
  state.counters["frames"] = end / 8;
  panel->removeFromSuperview();
}

}  // namespace

BENCHMARK(BM_OpenFilePanel)->ArgName("backgrounds")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DragAlongFilePanel)->ArgName("backgrounds")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenFilePanelAndScrollThrough)
    ->ArgName("backgrounds")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
