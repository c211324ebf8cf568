// Composing full screens: a 960 x 640 frame (the tall screen would be wider)
// with a 768 x 576 GL view presenting a fresh picture every frame and a few
// dozen ordinary views (pictures, labels, buttons, turned and faded ones).
#include <benchmark/benchmark.h>

#include <numbers>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/GLView.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/Window.h"
#include "support/Sandbox.h"

namespace {

gfx::Image picture(int w, int h, std::uint8_t seed) {
  gfx::Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = img.pixel(x, y);
      p[0] = static_cast<std::uint8_t>(x + seed), p[1] = static_cast<std::uint8_t>(y * 2), p[2] = seed, p[3] = 255;
    }
  return img;
}

void BM_ComposeFullFrame(benchmark::State& state) {
  testing_support::ScopedSandbox sandbox;
  ui::HeadlessHost host(false, 2.0f);
  auto window = std::make_shared<ui::Window>(ui::Rect{0, 0, 480, 320});
  auto root = std::make_shared<ui::View>(window->bounds());
  root->setBackgroundColor({0.9f, 0.88f, 0.8f, 1});
  window->addSubview(root);
  window->makeKeyAndVisible();
  auto canvas = std::make_shared<ui::View>(ui::Rect{48, 16, 384, 288});
  canvas->setClipsToBounds(true);
  root->addSubview(canvas);
  auto gl = std::make_shared<ui::GLView>(canvas->bounds(), 2.0f);
  canvas->addSubview(gl);
  ui::Picture icon(picture(64, 64, 30));
  for (int i = 0; i < 12; ++i) {
    auto b = ui::Button::make(ui::ButtonType::Custom, {float(4 + (i % 2) * 440), float(8 + (i / 2) * 50), 36, 40});
    b->setImage(icon);
    b->setTitle("B");
    root->addSubview(b);
  }
  for (int i = 0; i < 12; ++i) {
    auto l = std::make_shared<ui::Label>(ui::Rect{float(60 + i * 30), 300, 30, 16});
    l->setText(std::to_string(i + 1));
    root->addSubview(l);
  }
  for (int i = 0; i < 12; ++i) {
    auto v = std::make_shared<ui::ImageView>(icon);
    v->setFrame({float(60 + i * 30), 2, 28, 12});
    v->setAlpha(i % 3 == 0 ? 0.5f : 1.0f);
    if (i % 4 == 0) v->setTransform(ui::AffineTransform::makeRotation(std::numbers::pi_v<float> / 12));
    root->addSubview(v);
  }
  // The GL layer presents a new picture each frame, as a drawing canvas does.
  gfx::Image frames[2] = {picture(768, 576, 10), picture(768, 576, 90)};
  for (auto& f : frames) f.setPremultiplied(true);
  ui::Application& app = ui::Application::shared();
  int n = 0;
  for (auto _ : state) {
    gl->present(frames[n++ & 1]);
    app.composeScreen();
    benchmark::DoNotOptimize(app.compositor().framePixels());
  }
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ComposeFullFrame)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
