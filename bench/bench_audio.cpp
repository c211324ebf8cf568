// The sound output's mix: eight clips playing at once, rendered as the sound
// card asks for them (blocks of 1024 samples). The share of one core is the
// time to mix one second of sound divided by one second.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "platform/media/AudioOutput.h"
#include "platform/media/ClipPlayer.h"

namespace {

void BM_MixClips(benchmark::State& state) {
  auto& output = media::AudioOutput::shared();
  output.setManualRendering(true);
  const int clips = static_cast<int>(state.range(0));
  std::vector<std::shared_ptr<media::ClipPlayer>> players;
  for (int c = 0; c < clips; ++c) {
    std::vector<float> s(media::kOutputSampleRate * 10);
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = 0.1f * std::sin(0.01f * (c + 1) * static_cast<float>(i));
    players.push_back(media::ClipPlayer::fromSamples(std::move(s)));
    players.back()->setNumberOfLoops(-1);
    players.back()->setMeteringEnabled(true);
    players.back()->play();
  }
  std::vector<float> block(1024);
  const auto started = std::chrono::steady_clock::now();
  for (auto _ : state) {
    for (int b = 0; b < media::kOutputSampleRate / 1024; ++b) output.render(block.data(), block.size());
    benchmark::DoNotOptimize(block.data());
  }
  for (auto& p : players) p->stop();
  // Seconds of CPU per second of sound, in percent of one core.
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  state.counters["core_percent"] = 100.0 * seconds / static_cast<double>(state.iterations());
}
BENCHMARK(BM_MixClips)->Arg(1)->Arg(8)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
