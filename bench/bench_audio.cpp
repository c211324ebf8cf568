// The sound output's mix: eight clips playing at once, rendered as the sound
// card asks for them (blocks of 1024 samples). The share of one core is the
// time to mix one second of sound divided by one second.
//
// The combination's sound merge: one long clip tagged 100 times beside the
// same clip tagged once, each file decoded once and the work bounded.
#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/media/AudioOutput.h"
#include "platform/media/ClipPlayer.h"
#include "platform/media/SoundMix.h"

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

// 599 s of a faint level that steps each second, as 16-bit FLAC: at 48 kHz
// in stereo (an ordinary long sound, 0.4 MB) or at 384 kHz in 8 channels
// (near the most a sound may hold, 3.8 MB). Written once a run.
std::filesystem::path benchFile(const std::string& name) {
  return std::filesystem::temp_directory_path() / ("flipdesk-bench-" + std::to_string(::getpid()) + "-" + name);
}

const std::filesystem::path& longClip(bool heavy) {
  static std::filesystem::path paths[2];
  std::filesystem::path& path = paths[heavy ? 1 : 0];
  if (!path.empty()) return path;
  path = benchFile(heavy ? "heavy.flac" : "long.flac");
  std::atexit([] {
    std::error_code ec;
    for (const char* name : {"heavy.flac", "long.flac", "mix.caf"}) std::filesystem::remove(benchFile(name), ec);
  });
  SF_INFO info{};
  info.samplerate = heavy ? 384000 : 48000;
  info.channels = heavy ? 8 : 2;
  info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (f == nullptr) return path;
  std::vector<short> block(static_cast<std::size_t>(info.samplerate) * static_cast<std::size_t>(info.channels));
  for (int second = 0; second < 599; ++second) {
    std::fill(block.begin(), block.end(), static_cast<short>(40 + second % 2));
    sf_write_short(f, block.data(), static_cast<sf_count_t>(block.size()));
  }
  sf_close(f);
  return path;
}

// A project's tags of one long clip, one a frame (0.08 s) from the first,
// merged as a combination merges them. range(0): the tags; range(1): 1 for
// the heavy clip. The tag-once run is the baseline of the hundred-tag run.
void BM_MergeTaggedClip(benchmark::State& state) {
  const std::filesystem::path& clip = longClip(state.range(1) != 0);
  std::vector<media::MixClip> clips;
  for (int k = 0; k < state.range(0); ++k) clips.push_back(media::MixClip{clip, k * 0.08});
  const std::filesystem::path out = benchFile("mix.caf");
  media::MixOutcome mixed;
  for (auto _ : state) {
    std::string error;
    mixed = media::mixClipsToCaf(clips, out, &error);
    if (!mixed) state.SkipWithError(error.c_str());
  }
  state.counters["decoded_M"] = static_cast<double>(mixed.samplesDecoded) / 1e6;
  state.counters["added_M"] = static_cast<double>(mixed.samplesAdded) / 1e6;
  state.counters["problems"] = static_cast<double>(mixed.problems.size());
}
BENCHMARK(BM_MergeTaggedClip)
    ->Args({1, 0})->Args({100, 0})->Args({1, 1})->Args({100, 1})
    ->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
