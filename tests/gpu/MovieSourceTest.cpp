// The movie file source: free-running, paced and pulled by a writer; its
// sound to the audio encoding target; one end; broken files.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <future>
#include <thread>

#include "gpu/GPUMovie.h"
#include "gpu/GPUMovieWriter.h"
#include "gpu/GPURawData.h"
#include "gpu/GpuTestSupport.h"
#include "gpu/MediaTestSupport.h"
#include "platform/media/MovieReader.h"
#include "support/Sandbox.h"

namespace {

namespace fs = std::filesystem;
using media::MovieReader;

class GPUMovieTest : public testing_support::SandboxTest {
 protected:
  fs::path movie(int frames, bool withSound) {
    const fs::path file = root() / ("movie" + std::to_string(frames) + (withSound ? "s" : "") + ".mov");
    EXPECT_TRUE(mediatest::writeNumberedMovie(file, frames, 64, 48, withSound).ok());
    return file;
  }
};

long countOf(const std::vector<std::string>& messages, const std::string& text) {
  return std::count(messages.begin(), messages.end(), text);
}

TEST_F(GPUMovieTest, FreeRunningSendsEveryFrameThenOneEnd) {
  auto source = std::make_shared<GPUMovie>(movie(30, true));
  auto target = std::make_shared<gputest::RecordingTarget>();
  source->addTarget(target);
  // The sound goes to a writer; the pictures' end comes before the sound's.
  auto writer = std::make_shared<GPUMovieWriter>(root() / "sound.mov", gfx::Size{64, 48});
  source->setAudioEncodingTarget(writer);
  writer->startRecording();
  source->startProcessing();
  source->waitUntilDone();
  EXPECT_TRUE(source->error().empty()) << source->error();
  EXPECT_EQ(target->frames, 30);
  EXPECT_EQ(source->framesProcessed(), 30);
  EXPECT_EQ(countOf(target->messages(), "end"), 1);
  EXPECT_EQ(target->size, (gfx::Size{64, 48}));
  // The writer had sound only: it started its time line with it.
  EXPECT_TRUE(CMTIME_IS_VALID(writer->startTime()));
  // An explicit end afterwards is not sent again.
  source->endProcessing();
  EXPECT_EQ(countOf(target->messages(), "end"), 1);
}

TEST_F(GPUMovieTest, PacedPlaybackTakesTheMovieOwnTime) {
  const fs::path file = movie(15, false);
  auto source = std::make_shared<GPUMovie>(file);
  auto target = std::make_shared<gputest::RecordingTarget>();
  source->addTarget(target);
  source->setPlayAtActualSpeed(true);
  const auto started = std::chrono::steady_clock::now();
  source->startProcessing();
  source->waitUntilDone();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_EQ(target->frames, 15);
  // 15 frames at 30 a second: the last one leaves 14/30 s after the first.
  EXPECT_GE(seconds, 14.0 / 30 - 0.02);
}

TEST_F(GPUMovieTest, AWriterPullsEveryFrameAndTheSoundForASynchronisedCopy) {
  const fs::path copy = root() / "copy.mov";
  auto source = std::make_shared<GPUMovie>(movie(45, true));
  auto writer = std::make_shared<GPUMovieWriter>(copy, gfx::Size{64, 48});
  source->addTarget(writer);
  source->setAudioEncodingTarget(writer);
  source->enableSynchronizedEncodingUsingMovieWriter(writer);
  EXPECT_FALSE(writer->encodingLiveVideo());
  std::promise<void> done;
  int completions = 0;
  writer->setCompletionBlock([&] {
    if (++completions == 1) done.set_value();
  });
  writer->startRecording();
  source->startProcessing();
  ASSERT_EQ(done.get_future().wait_for(std::chrono::seconds(20)), std::future_status::ready);
  source->waitUntilDone();
  gputest::drainProcessingQueue();
  // After the end the writer pulls no more.
  const int frames = source->framesProcessed();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  gputest::drainProcessingQueue();
  EXPECT_EQ(source->framesProcessed(), frames);
  EXPECT_EQ(frames, 45);
  EXPECT_EQ(completions, 1);

  auto reader = MovieReader::open(copy);
  ASSERT_TRUE(reader.ok()) << reader.error();
  (*reader)->setReadsAudio(true);
  int read = 0;
  std::vector<float> sound;
  double worst = 0;
  while (auto f = (*reader)->nextVideoFrame()) {
    EXPECT_NEAR(CMTimeGetSeconds(f->presentationTime), read / 30.0, 0.002);
    worst = std::max(worst, mediatest::meanDifference(*f->pixels, *mediatest::numberedPicture(read, 64, 48)));
    ++read;
    while (auto a = (*reader)->nextAudioSamples()) sound.insert(sound.end(), a->samples.begin(), a->samples.end());
  }
  while (auto a = (*reader)->nextAudioSamples()) sound.insert(sound.end(), a->samples.begin(), a->samples.end());
  EXPECT_EQ(read, 45);
  EXPECT_LT(worst, 8.0);
  // 1.5 s of the 440 Hz tone, through AAC twice.
  ASSERT_GT(sound.size(), 44100u);
  const auto m = mediatest::measureTone(sound, 11025, 22050);
  EXPECT_NEAR(m.rms, 0.5 / std::sqrt(2.0), 0.04);
  EXPECT_NEAR(m.crossings, 440, 6);
}

TEST_F(GPUMovieTest, SoundIsReadOnlyForAnAudioEncodingTarget) {
  auto opened = MovieReader::open(movie(10, true));
  ASSERT_TRUE(opened.ok());
  auto source = std::make_shared<GPUMovie>(std::move(*opened));
  auto target = std::make_shared<gputest::RecordingTarget>();
  source->addTarget(target);
  // Read on this thread: done when startProcessing returns.
  source->startProcessing();
  EXPECT_EQ(target->frames, 10);
  EXPECT_EQ(countOf(target->messages(), "end"), 1);
}

TEST_F(GPUMovieTest, BrokenMovieFilesAreClearErrorsNeverCrashes) {
  const fs::path good = movie(30, true);
  std::ifstream in(good, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 1000u);
  struct Case {
    std::string name;
    std::string content;
  };
  std::string garbled = bytes;
  for (std::size_t i = 64; i < garbled.size(); i += 7) garbled[i] = static_cast<char>(garbled[i] ^ 0x5a);
  const std::vector<Case> cases = {
      {"empty.mov", ""},
      {"text.mov", "this is not a movie at all"},
      {"half.mov", bytes.substr(0, bytes.size() / 2)},
      {"head.mov", bytes.substr(0, 200)},
      {"garbled.mov", garbled},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = root() / c.name;
    std::ofstream(file, std::ios::binary) << c.content;
    auto source = std::make_shared<GPUMovie>(file);
    auto target = std::make_shared<gputest::RecordingTarget>();
    source->addTarget(target);
    source->startProcessing();
    source->waitUntilDone();
    if (!source->error().empty()) {
      // Nothing reaches the targets from a movie that cannot be read at all,
      // or only what was read before the fault, and the end at most once.
      EXPECT_LE(countOf(target->messages(), "end"), 1);
    } else {
      EXPECT_EQ(countOf(target->messages(), "end"), 1);
    }
    EXPECT_LE(target->frames, 30);
  }
  // A file that is no movie at all says so and sends nothing.
  for (const char* name : {"empty.mov", "text.mov", "head.mov"}) {
    SCOPED_TRACE(name);
    auto source = std::make_shared<GPUMovie>(root() / name);
    auto target = std::make_shared<gputest::RecordingTarget>();
    source->addTarget(target);
    source->startProcessing();
    source->waitUntilDone();
    EXPECT_FALSE(source->error().empty());
    EXPECT_EQ(target->frames, 0);
    EXPECT_EQ(countOf(target->messages(), "end"), 0);
  }
  auto missing = std::make_shared<GPUMovie>(root() / "missing.mov");
  missing->startProcessing();
  missing->waitUntilDone();
  EXPECT_FALSE(missing->error().empty());
}

}  // namespace
