// Recording through the pipeline: a camera and the microphone through a
// filter into a movie that reads back with its pictures, times and sound;
// the writer's completion, its failures and the frames it must ignore.
#include <gtest/gtest.h>

#include <cmath>
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include "gpu/GPUMovie.h"
#include "gpu/GPUMovieWriter.h"
#include "gpu/GPUVideoCamera.h"
#include "gpu/GpuTestSupport.h"
#include "gpu/MediaTestSupport.h"
#include "platform/media/MovieReader.h"
#include "support/GpuTestFilters.h"
#include "support/Sandbox.h"

namespace {

namespace fs = std::filesystem;
using media::MovieReader;

class GPUMovieWriterTest : public testing_support::SandboxTest {};

// One picture of the test pattern, as the camera delivers it.
std::shared_ptr<media::PixelBuffer> patternPicture() {
  auto capture = media::VideoCapture::open({"pattern", "pattern", media::kCameraPositionBack});
  EXPECT_TRUE(capture.ok());
  std::shared_ptr<media::PixelBuffer> got;
  std::mutex m;
  (*capture)->setFrameHandler([&](const media::VideoSample& s) {
    std::lock_guard lock(m);
    if (!got) got = s.pixels;
  });
  (*capture)->start();
  while (true) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::lock_guard lock(m);
    if (got) break;
  }
  (*capture)->stop();
  return got;
}

// The grayscale filter's answer for one BGRA pixel.
std::uint8_t luminance(const std::uint8_t* bgra) {
  return static_cast<std::uint8_t>(std::lround(0.2125 * bgra[2] + 0.7154 * bgra[1] + 0.0721 * bgra[0]));
}

struct ReadBack {
  int frames = 0;
  std::vector<double> times;
  std::shared_ptr<media::PixelBuffer> firstPicture;
  std::vector<float> sound;
  double duration = 0;
};

ReadBack readWholeMovie(const fs::path& file) {
  ReadBack out;
  auto reader = MovieReader::open(file);
  EXPECT_TRUE(reader.ok()) << reader.error();
  if (!reader) return out;
  MovieReader& r = **reader;
  out.duration = r.duration();
  r.setReadsAudio(true);
  while (auto f = r.nextVideoFrame()) {
    if (!out.firstPicture) out.firstPicture = f->pixels;
    out.times.push_back(CMTimeGetSeconds(f->presentationTime));
    ++out.frames;
    while (auto a = r.nextAudioSamples()) out.sound.insert(out.sound.end(), a->samples.begin(), a->samples.end());
  }
  while (auto a = r.nextAudioSamples()) out.sound.insert(out.sound.end(), a->samples.begin(), a->samples.end());
  EXPECT_EQ(r.status(), MovieReader::Status::Completed);
  return out;
}

TEST_F(GPUMovieWriterTest, ThreeSecondsOfCameraAndMicrophoneThroughAFilterReadBack) {
  const fs::path wav = root() / "mic.wav";
  mediatest::writeWav(wav, mediatest::tone(44100 * 6, 440, 0.5f));
  mediatest::ScopedCamera cameraSetting("pattern");
  mediatest::ScopedMicrophoneFile microphone(wav);
  const fs::path file = root() / "take.mov";

  auto camera = GPUVideoCamera::make();
  ASSERT_NE(camera, nullptr);
  EXPECT_EQ(camera->captureSessionPreset(), kGPUCaptureSessionPreset640x480);
  auto filter = std::make_shared<gputest::GrayscaleTestFilter>();
  auto writer = std::make_shared<GPUMovieWriter>(file, gfx::Size{640, 480});
  camera->addTarget(filter);
  filter->addTarget(writer);
  camera->setAudioEncodingTarget(writer);
  EXPECT_TRUE(writer->hasAudioTrack());
  writer->startRecording();
  camera->startCameraCapture();
  std::this_thread::sleep_for(std::chrono::seconds(3));
  camera->stopCameraCapture();
  camera->setAudioEncodingTarget(nullptr);
  bool readableAtCompletion = false;
  writer->finishRecordingWithCompletionHandler([&] { readableAtCompletion = MovieReader::open(file).ok(); });
  EXPECT_TRUE(readableAtCompletion);
  EXPECT_TRUE(writer->error().empty()) << writer->error();

  const ReadBack movie = readWholeMovie(file);
  EXPECT_NEAR(movie.duration, 3.0, 0.35);
  // Real time at 30 a second, less what a busy machine drops (how many it
  // keeps on an idle machine is for the benchmarks to say).
  EXPECT_GE(movie.frames, 15);
  EXPECT_LE(movie.frames, 95);
  EXPECT_EQ(movie.frames, writer->framesWritten());
  ASSERT_FALSE(movie.times.empty());
  EXPECT_LT(movie.times.front(), 0.2);
  EXPECT_TRUE(std::is_sorted(movie.times.begin(), movie.times.end()));
  EXPECT_TRUE(std::adjacent_find(movie.times.begin(), movie.times.end()) == movie.times.end());
  std::vector<double> gaps;
  for (std::size_t i = 1; i < movie.times.size(); ++i) gaps.push_back(movie.times[i] - movie.times[i - 1]);
  // Frames keep the camera's own times: a dropped frame leaves a longer gap,
  // and the movie never stalls.
  std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
  EXPECT_LT(gaps[gaps.size() / 2], 0.2);

  // The still colour bars above the moving square, in gray, top row first.
  const auto expected = patternPicture();
  ASSERT_TRUE(movie.firstPicture);
  ASSERT_EQ(movie.firstPicture->width, 640);
  ASSERT_EQ(movie.firstPicture->height, 480);
  double sum = 0;
  int count = 0;
  for (int y = 0; y < 180; y += 3)
    for (int x = 0; x < 640; x += 3) {
      const std::uint8_t* got = movie.firstPicture->row(y) + 4 * x;
      const int want = luminance(expected->row(y) + 4 * x);
      for (int c = 0; c < 3; ++c) sum += std::abs(got[c] - want);
      count += 3;
    }
  EXPECT_LT(sum / count, 6.0);

  // The microphone's tone: its loudness and its pitch (880 zero crossings a second).
  ASSERT_GT(movie.sound.size(), 44100u * 2);
  const auto measure = mediatest::measureTone(movie.sound, 22050, 44100);
  EXPECT_NEAR(measure.rms, 0.5 / std::sqrt(2.0), 0.04);
  EXPECT_NEAR(measure.crossings, 880, 8);

  if (std::system("command -v ffprobe >/dev/null 2>&1") == 0) {
    const std::string cmd = "ffprobe -v error -show_entries stream=codec_name,width,height:format=duration -of "
                            "default=noprint_wrappers=1 '" + file.string() + "'";
    std::string out;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
      std::array<char, 256> buf{};
      while (std::fgets(buf.data(), buf.size(), p) != nullptr) out += buf.data();
      ::pclose(p);
    }
    EXPECT_NE(out.find("codec_name=h264"), std::string::npos) << out;
    EXPECT_NE(out.find("codec_name=aac"), std::string::npos) << out;
    EXPECT_NE(out.find("width=640"), std::string::npos) << out;
    EXPECT_NE(out.find("height=480"), std::string::npos) << out;
    const auto at = out.find("duration=");
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_NEAR(std::stod(out.substr(at + 9)), movie.duration, 0.1);
  }
}

// Feeds chosen pictures at chosen times through an idle camera.
void sendFrame(GPUVideoCamera& camera, int number, CMTime time) {
  media::VideoSample sample{mediatest::numberedPicture(number, 64, 48), time};
  performOnProcessingQueueSync([&] { camera.processVideoSampleBuffer(sample); });
}

TEST_F(GPUMovieWriterTest, FramesBeforeRecordingAndRepeatedTimesAreIgnored) {
  mediatest::ScopedCamera cameraSetting("pattern");
  const fs::path file = root() / "times.mov";
  auto camera = GPUVideoCamera::make();
  ASSERT_NE(camera, nullptr);
  auto writer = std::make_shared<GPUMovieWriter>(file, gfx::Size{64, 48});
  camera->addTarget(writer);
  sendFrame(*camera, 0, CMTimeMake(0, 600));
  EXPECT_FALSE(CMTIME_IS_VALID(writer->startTime()));
  writer->startRecording();
  sendFrame(*camera, 1, CMTimeMake(600, 600));
  EXPECT_EQ(writer->startTime(), CMTimeMake(600, 600));
  sendFrame(*camera, 2, CMTimeMake(600, 600));
  sendFrame(*camera, 3, kCMTimeIndefinite);
  sendFrame(*camera, 4, kCMTimeInvalid);
  sendFrame(*camera, 5, CMTimeMake(620, 600));
  sendFrame(*camera, 6, CMTimeMake(640, 600));
  writer->finishRecording();
  EXPECT_EQ(writer->framesWritten(), 3);

  auto reader = MovieReader::open(file);
  ASSERT_TRUE(reader.ok()) << reader.error();
  std::vector<int> numbers;
  std::vector<double> times;
  const std::array<int, 3> sent = {1, 5, 6};
  while (auto f = (*reader)->nextVideoFrame()) {
    times.push_back(CMTimeGetSeconds(f->presentationTime));
    // Which picture it is: the nearest of those sent.
    int best = -1;
    double bestDiff = 1e9;
    for (int n : sent) {
      const double d = mediatest::meanDifference(*f->pixels, *mediatest::numberedPicture(n, 64, 48));
      if (d < bestDiff) bestDiff = d, best = n;
    }
    EXPECT_LT(bestDiff, 8.0);
    numbers.push_back(best);
  }
  EXPECT_EQ(numbers, (std::vector<int>{1, 5, 6}));
  ASSERT_EQ(times.size(), 3u);
  // The time line starts at the first recorded frame.
  EXPECT_NEAR(times[0], 0.0, 1e-3);
  EXPECT_NEAR(times[1], 20.0 / 600, 1e-3);
  EXPECT_NEAR(times[2], 40.0 / 600, 1e-3);
}

// Recording in an orientation stores the transform that shows it upright.
TEST_F(GPUMovieWriterTest, RecordingInAnOrientationStoresItsTransform) {
  mediatest::ScopedCamera cameraSetting("pattern");
  const fs::path file = root() / "portrait.mov";
  auto camera = GPUVideoCamera::make();
  ASSERT_NE(camera, nullptr);
  auto writer = std::make_shared<GPUMovieWriter>(file, gfx::Size{64, 48});
  camera->addTarget(writer);
  writer->startRecordingInOrientation(gfx::AffineTransform::makeRotation(static_cast<float>(M_PI / 2)));
  sendFrame(*camera, 1, CMTimeMake(0, 600));
  sendFrame(*camera, 2, CMTimeMake(20, 600));
  writer->finishRecording();
  auto reader = MovieReader::open(file);
  ASSERT_TRUE(reader.ok()) << reader.error();
  const media::VideoTransform t = (*reader)->preferredTransform();
  EXPECT_NEAR(t.a, 0, 1e-4);
  EXPECT_NEAR(std::abs(t.b), 1, 1e-4);
  EXPECT_NEAR(std::abs(t.c), 1, 1e-4);
  EXPECT_NEAR(t.d, 0, 1e-4);
  EXPECT_NE((*reader)->rotationDegrees(), 0);
}

TEST_F(GPUMovieWriterTest, SoundBeforeTheFirstFrameStartsTheTimeLine) {
  mediatest::ScopedCamera cameraSetting("pattern");
  auto camera = GPUVideoCamera::make();
  ASSERT_NE(camera, nullptr);
  auto writer = std::make_shared<GPUMovieWriter>(root() / "sound.mov", gfx::Size{64, 48});
  camera->addTarget(writer);
  writer->setHasAudioTrack(true);
  writer->startRecording();
  media::AudioSamples sound;
  sound.samples = mediatest::tone(4410, 440, 0.5f);
  sound.presentationTime = CMTimeMake(44100, 44100);
  performOnProcessingQueueSync([&] { writer->processAudioBuffer(sound); });
  EXPECT_EQ(writer->startTime(), CMTimeMake(44100, 44100));
  sendFrame(*camera, 0, CMTimeMake(660, 600));
  EXPECT_EQ(writer->startTime(), CMTimeMake(44100, 44100));
  sendFrame(*camera, 1, CMTimeMake(680, 600));
  writer->finishRecording();
  auto reader = MovieReader::open(root() / "sound.mov");
  ASSERT_TRUE(reader.ok()) << reader.error();
  auto first = (*reader)->nextVideoFrame();
  ASSERT_TRUE(first) << (*reader)->error();
  EXPECT_NEAR(CMTimeGetSeconds(first->presentationTime), 0.1, 1e-3);
}

struct CountingDelegate : GPUMovieWriterDelegate {
  void movieRecordingCompleted() override { ++completed; }
  void movieRecordingFailedWithError(const std::string& e) override {
    ++failed;
    error = e;
  }
  int completed = 0;
  int failed = 0;
  std::string error;
};

TEST_F(GPUMovieWriterTest, CompletionComesOnceWhenTheFileIsReadable) {
  const fs::path source = root() / "source.mov";
  ASSERT_TRUE(mediatest::writeNumberedMovie(source, 20, 64, 48, false).ok());
  const fs::path file = root() / "copy.mov";
  auto movie = std::make_shared<GPUMovie>(source);
  auto writer = std::make_shared<GPUMovieWriter>(file, gfx::Size{64, 48});
  int completions = 0;
  int framesAtCompletion = -1;
  writer->setCompletionBlock([&] {
    ++completions;
    auto reader = MovieReader::open(file);
    if (!reader) return;
    framesAtCompletion = 0;
    while ((*reader)->nextVideoFrame()) ++framesAtCompletion;
  });
  movie->addTarget(writer);
  writer->startRecording();
  movie->startProcessing();
  movie->waitUntilDone();
  EXPECT_EQ(completions, 1);
  EXPECT_EQ(framesAtCompletion, 20);
  // A second end (or a finish after it) reports nothing more.
  writer->endProcessing();
  writer->finishRecording();
  EXPECT_EQ(completions, 1);

  // Without a block the delegate hears it.
  CountingDelegate delegate;
  auto second = std::make_shared<GPUMovieWriter>(root() / "second.mov", gfx::Size{64, 48});
  second->setDelegate(&delegate);
  auto again = std::make_shared<GPUMovie>(source);
  again->addTarget(second);
  second->startRecording();
  again->startProcessing();
  again->waitUntilDone();
  EXPECT_EQ(delegate.completed, 1);
  EXPECT_EQ(delegate.failed, 0);
  EXPECT_TRUE(MovieReader::open(root() / "second.mov").ok());
}

TEST_F(GPUMovieWriterTest, AWriterThatCannotWriteReportsItAndLeavesNoMovie) {
  mediatest::ScopedCamera cameraSetting("pattern");
  auto camera = GPUVideoCamera::make();
  ASSERT_NE(camera, nullptr);

  // A folder that does not exist.
  CountingDelegate delegate;
  const fs::path nowhere = root() / "no" / "such" / "take.mov";
  auto lost = std::make_shared<GPUMovieWriter>(nowhere, gfx::Size{64, 48});
  EXPECT_FALSE(lost->error().empty());
  lost->setDelegate(&delegate);
  lost->startRecording();
  EXPECT_EQ(delegate.failed, 1);
  camera->addTarget(lost);
  sendFrame(*camera, 0, CMTimeMake(0, 600));
  lost->endProcessing();
  EXPECT_EQ(delegate.completed, 0);
  EXPECT_EQ(delegate.failed, 2);
  EXPECT_FALSE(fs::exists(nowhere));
  camera->removeTarget(lost);

  // A disk that fills up: the file may grow to 16 KiB only.
  const fs::path file = root() / "full.mov";
  std::string failure;
  bool completed = false;
  {
    auto writer = std::make_shared<GPUMovieWriter>(file, gfx::Size{320, 240});
    writer->setFailureBlock([&](const std::string& e) { failure = e; });
    writer->setCompletionBlock([&] { completed = true; });
    camera->addTarget(writer);
    writer->startRecording();
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{16 * 1024, old.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    for (int i = 0; i < 30; ++i) {
      media::VideoSample sample{mediatest::numberedPicture(i * 7, 320, 240), CMTimeMake(i * 20, 600)};
      performOnProcessingQueueSync([&] { camera->processVideoSampleBuffer(sample); });
    }
    writer->endProcessing();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    camera->removeTarget(writer);
  }
  EXPECT_FALSE(failure.empty());
  EXPECT_FALSE(completed);
  EXPECT_FALSE(fs::exists(file));
  for (const auto& entry : fs::directory_iterator(root())) {
    EXPECT_EQ(entry.path().filename().string().find("full.mov"), std::string::npos) << entry.path();
  }
}

TEST_F(GPUMovieWriterTest, DefaultsAreAQuickTimeMovieWithH264AndMonoAac) {
  const fs::path file = root() / "defaults.mov";
  const fs::path source = root() / "source.mov";
  ASSERT_TRUE(mediatest::writeNumberedMovie(source, 15, 64, 48, true).ok());
  auto movie = std::make_shared<GPUMovie>(source);
  auto writer = std::make_shared<GPUMovieWriter>(file, gfx::Size{64, 48});
  EXPECT_TRUE(writer->encodingLiveVideo());
  EXPECT_EQ(writer->maximumOutputSize(), (gfx::Size{64, 48}));
  movie->addTarget(writer);
  movie->setAudioEncodingTarget(writer);
  writer->startRecording();
  movie->startProcessing();
  movie->waitUntilDone();
  if (std::system("command -v ffprobe >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffprobe is not installed";
  const std::string cmd = "ffprobe -v error -show_entries stream=codec_name,channels,sample_rate:format=format_name "
                          "-of default=noprint_wrappers=1 '" + file.string() + "'";
  std::string out;
  if (FILE* p = ::popen(cmd.c_str(), "r")) {
    std::array<char, 256> buf{};
    while (std::fgets(buf.data(), buf.size(), p) != nullptr) out += buf.data();
    ::pclose(p);
  }
  EXPECT_NE(out.find("codec_name=h264"), std::string::npos) << out;
  EXPECT_NE(out.find("codec_name=aac"), std::string::npos) << out;
  EXPECT_NE(out.find("channels=1"), std::string::npos) << out;
  EXPECT_NE(out.find("sample_rate=44100"), std::string::npos) << out;
  EXPECT_NE(out.find("format_name=mov"), std::string::npos) << out;
}

}  // namespace
