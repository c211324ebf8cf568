// Fuzz target for sound files: arbitrary bytes as a WAV, AIFF or CAF file,
// through the header check, the decoder and resampler, the queue player's
// packet reader, the live output's mix and the mix written to a file (one
// reading of the file for both of its clips). It must
// never crash or throw, never take more than the address space it is given,
// and whatever it answers must be within the bounds: finite samples in
// [-1, 1], no longer than the longest sound, and a message for every refusal.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "graphics/MemoryCeiling.h"
#include "platform/media/AudioFile.h"
#include "platform/media/AudioOutput.h"
#include "platform/media/ClipPlayer.h"
#include "platform/media/PcmFile.h"
#include "platform/media/SoundMix.h"

namespace {

namespace fs = std::filesystem;

// What a run may take beyond what the process held at its start. Under
// AddressSanitizer (which reserves terabytes of shadow) no ceiling is set;
// libFuzzer's -malloc_limit_mb, set by fuzz/build.sh, stands in.
constexpr std::size_t kCeilingBytes = std::size_t{512} << 20;

void check(bool ok, const std::string& what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_sound: %s\n", what.c_str());
    std::abort();
  }
}

void checkSamples(const float* s, std::size_t n, const char* where) {
  for (std::size_t i = 0; i < n; ++i)
    check(std::isfinite(s[i]) && s[i] >= -1.0f && s[i] <= 1.0f, std::string("a sample out of bounds from ") + where);
}

const fs::path& workFolder() {
  static const fs::path folder = [] {
    testing_support::limitAddressSpaceGrowth(kCeilingBytes);
    media::AudioOutput::shared().setManualRendering(true);
    fs::path f = fs::temp_directory_path() / ("fuzz_sound_" + std::to_string(::getpid()));
    fs::create_directories(f);
    std::atexit([] {
      std::error_code ec;
      fs::remove_all(fs::temp_directory_path() / ("fuzz_sound_" + std::to_string(::getpid())), ec);
    });
    return f;
  }();
  return folder;
}

void decodeAndPlay(const fs::path& file) {
  auto samples = media::decodeSound(file);
  if (!samples) {
    check(samples.error().find(file.filename().string()) != std::string::npos, "a refusal that does not name the file");
    return;
  }
  check(samples->size() <= static_cast<std::size_t>(media::kMaxSoundSeconds * media::kRecordingSampleRate),
        "a sound longer than the longest");
  checkSamples(samples->data(), samples->size(), "the decoder");
  // Twice over the live output, with a loop: the mix stays within bounds.
  auto clip = media::ClipPlayer::fromSamples(std::move(*samples));
  clip->setNumberOfLoops(1);
  auto again = media::ClipPlayer::fromSamples(std::vector<float>{1.0f, -1.0f, 0.5f});
  clip->play();
  again->play();
  std::vector<float> block(4096);
  for (int i = 0; i < 4; ++i) {
    media::AudioOutput::shared().render(block.data(), block.size());
    checkSamples(block.data(), block.size(), "the output's mix");
  }
  clip->stop();
  again->stop();
}

void readPackets(const fs::path& file) {
  auto pcm = media::PcmFile::open(file);
  if (!pcm) {
    check(!pcm.error().empty(), "a refusal without a message");
    return;
  }
  const media::StreamDescription& d = (*pcm)->format();
  check(d.sampleRate >= media::kMinSoundSampleRate && d.sampleRate <= media::kMaxSoundSampleRate, "a rate out of bounds");
  check(d.channelsPerFrame >= 1 && d.channelsPerFrame <= static_cast<std::uint32_t>(media::kMaxSoundChannels),
        "channels out of bounds");
  std::vector<std::int16_t> packets(1024 * d.channelsPerFrame);
  for (std::int64_t at = 0; at < 8192; at += 1024) {
    if ((*pcm)->readPackets(at, 1024, packets.data()) == 0) break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path file = workFolder() / "input.snd";
  const fs::path mixed = workFolder() / "mix.caf";
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  if (auto seconds = media::soundDuration(file)) {
    check(*seconds >= 0 && *seconds <= media::kMaxSoundSeconds, "a length out of bounds");
  } else {
    check(!seconds.error().empty(), "a refusal without a message");
  }
  decodeAndPlay(file);
  readPackets(file);
  std::string error;
  const media::MixOutcome outcome = media::mixClipsToCaf({{file, 0.0}, {file, 0.25}}, mixed, &error);
  // Both clips come from one reading of the file, within the mix's limits.
  check(outcome.filesRead == 1, "a file read other than once for its clips");
  check(outcome.samplesDecoded <= media::kMaxMixSamples + 8 * 8192, "a mix that decoded past its limit");
  check(outcome.samplesAdded <= 2 * static_cast<std::int64_t>(media::kMaxSoundSeconds * media::kRecordingSampleRate),
        "a mix that added more than its clips");
  for (const std::string& problem : outcome.problems)
    check(problem.find(file.filename().string()) != std::string::npos, "a mix's problem that does not name the file");
  if (outcome) {
    auto back = media::decodeSound(mixed);
    check(back.ok(), "a mix that cannot be read back: " + back.error());
  } else {
    check(!error.empty(), "a mix that failed without a message");
  }
  std::error_code ec;
  fs::remove(mixed, ec);
  return 0;
}
