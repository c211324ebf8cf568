// Movies written and read back, cameras and the microphone on capture threads.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/media/AudioCapture.h"
#include "platform/media/Camera.h"
#include "platform/media/MovieReader.h"
#include "platform/media/MovieWriter.h"
#include "support/ChildProcess.h"
#include "support/HostileMovies.h"
#include "support/Sandbox.h"

namespace {

namespace fs = std::filesystem;
using media::MovieReader;
using media::MovieWriter;

constexpr int kW = 320, kH = 240, kFps = 30;

// A picture that differs from frame to frame: a gradient whose phase moves.
std::shared_ptr<media::PixelBuffer> picture(int frame) {
  auto p = media::PixelBuffer::make(kW, kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      std::uint8_t* px = p->row(y) + 4 * x;
      px[0] = static_cast<std::uint8_t>((x + frame * 4) & 255);
      px[1] = static_cast<std::uint8_t>(y);
      px[2] = static_cast<std::uint8_t>(frame * 8);
      px[3] = 255;
    }
  return p;
}

double meanDifference(const media::PixelBuffer& a, const media::PixelBuffer& b) {
  double sum = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width * 4; ++x)
      if (x % 4 != 3) sum += std::abs(a.row(y)[x] - b.row(y)[x]);
  return sum / (a.width * a.height * 3.0);
}

std::vector<float> sine(std::size_t n, double hz, float amplitude, std::size_t from = 0) {
  std::vector<float> s(n);
  for (std::size_t i = 0; i < n; ++i) s[i] = amplitude * static_cast<float>(std::sin(2 * M_PI * hz * (from + i) / 44100.0));
  return s;
}

// Writes `seconds` of pictures and a 440 Hz tone, as a recording does.
fd::Status writeMovie(const fs::path& file, double seconds, media::MovieContainer container) {
  auto writer = MovieWriter::create(file, container);
  if (!writer) return writer.failure();
  MovieWriter& w = **writer;
  if (auto s = w.addVideoTrack({kW, kH, 30, kFps}); !s) return s;
  if (auto s = w.addAudioTrack({}); !s) return s;
  if (!w.startWriting()) return fd::fail(w.error());
  w.startSession(CMTimeMake(0, 600));
  const int frames = static_cast<int>(seconds * kFps);
  std::size_t audioAt = 0;
  for (int i = 0; i < frames; ++i) {
    w.appendVideo(*picture(i), CMTimeMake(i * 20, 600));
    while (audioAt < static_cast<std::size_t>((i + 1) * 44100 / kFps)) {
      media::AudioSamples a;
      a.samples = sine(1024, 440, 0.5f, audioAt);
      a.presentationTime = CMTimeMake(static_cast<std::int64_t>(audioAt), 44100);
      w.appendAudio(a);
      audioAt += 1024;
    }
  }
  return w.finishWriting();
}

class MovieTest : public testing_support::SandboxTest {};

TEST_F(MovieTest, RecordedMovieReadsBackWithItsFramesTimesPicturesAndSound) {
  const fs::path file = root() / "take.mp4";
  auto written = writeMovie(file, 3.0, media::MovieContainer::MPEG4);
  ASSERT_TRUE(written.ok()) << written.error();
  EXPECT_TRUE(fs::exists(file));
  EXPECT_FALSE(fs::exists(root() / ".take.mp4.partial"));

  auto reader = MovieReader::open(file);
  ASSERT_TRUE(reader.ok()) << reader.error();
  MovieReader& r = **reader;
  EXPECT_NEAR(r.duration(), 3.0, 0.1);
  EXPECT_TRUE(r.hasVideo());
  EXPECT_TRUE(r.hasAudio());
  EXPECT_EQ(r.width(), kW);
  EXPECT_NEAR(r.nominalFrameRate(), 30, 0.5);
  r.setReadsAudio(true);
  int frames = 0;
  double worst = 0;
  std::vector<float> sound;
  while (auto f = r.nextVideoFrame()) {
    EXPECT_NEAR(CMTimeGetSeconds(f->presentationTime), frames / 30.0, 0.002) << frames;
    worst = std::max(worst, meanDifference(*f->pixels, *picture(frames)));
    ++frames;
    while (auto a = r.nextAudioSamples()) sound.insert(sound.end(), a->samples.begin(), a->samples.end());
  }
  while (auto a = r.nextAudioSamples()) sound.insert(sound.end(), a->samples.begin(), a->samples.end());
  EXPECT_EQ(frames, 90);
  EXPECT_LT(worst, 4.0);  // mean error per channel, out of 255
  EXPECT_EQ(r.status(), MovieReader::Status::Completed);
  // AAC keeps the tone: its loudness, and its pitch counted by zero crossings.
  ASSERT_GT(sound.size(), 44100u * 2);
  double energy = 0;
  int crossings = 0;
  for (std::size_t i = 44100; i < 44100 * 2; ++i) {
    energy += sound[i] * sound[i];
    crossings += (sound[i - 1] < 0) != (sound[i] < 0);
  }
  EXPECT_NEAR(std::sqrt(energy / 44100), 0.5 / std::sqrt(2.0), 0.03);
  EXPECT_NEAR(crossings, 880, 4);
}

TEST_F(MovieTest, AnotherProgramAgreesOnStreamsAndDuration) {
  if (std::system("command -v ffprobe >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffprobe is not installed";
  const fs::path file = root() / "probe.mov";
  ASSERT_TRUE(writeMovie(file, 2.0, media::MovieContainer::QuickTime).ok());
  const std::string cmd = "ffprobe -v error -show_entries stream=codec_name,width,height,pix_fmt,sample_rate,channels "
                          "-show_entries format=duration -of default=nw=1 '" + file.string() + "'";
  FILE* pipe = ::popen(cmd.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buf[256];
  while (std::fgets(buf, sizeof buf, pipe)) out += buf;
  ::pclose(pipe);
  EXPECT_NE(out.find("codec_name=h264"), std::string::npos) << out;
  EXPECT_NE(out.find("pix_fmt=yuv420p"), std::string::npos) << out;
  EXPECT_NE(out.find("codec_name=aac"), std::string::npos) << out;
  EXPECT_NE(out.find("sample_rate=44100"), std::string::npos) << out;
  EXPECT_NE(out.find("channels=1"), std::string::npos) << out;
  const auto at = out.find("duration=");
  ASSERT_NE(at, std::string::npos);
  EXPECT_NEAR(std::stod(out.substr(at + 9)), 2.0, 0.1);
}

TEST_F(MovieTest, WriterKeepsTimesInOrderAndSizesEven) {
  auto writer = MovieWriter::create(root() / "odd.mp4", media::MovieContainer::MPEG4);
  ASSERT_TRUE(writer.ok());
  MovieWriter& w = **writer;
  ASSERT_TRUE(w.addVideoTrack({321, 241, 30, 30}).ok());
  EXPECT_EQ(w.videoWidth(), 320);
  EXPECT_EQ(w.videoHeight(), 240);
  EXPECT_FALSE(w.addAudioTrack({44100, 7, 64000}).ok());
  ASSERT_TRUE(w.startWriting());
  EXPECT_FALSE(w.addAudioTrack({}).ok());  // too late
  EXPECT_FALSE(w.appendVideo(*picture(0), CMTimeMake(10, 600)));  // no session yet
  w.startSession(CMTimeMake(10, 600));
  EXPECT_FALSE(w.appendVideo(*picture(0), CMTimeMake(5, 600)));  // before the session
  EXPECT_TRUE(w.appendVideo(*picture(0), CMTimeMake(10, 600)));
  EXPECT_FALSE(w.appendVideo(*picture(1), CMTimeMake(10, 600)));  // the same time again
  EXPECT_FALSE(w.appendVideo(*picture(1), kCMTimeIndefinite));
  EXPECT_TRUE(w.appendVideo(*picture(1), CMTimeMake(30, 600)));
  ASSERT_TRUE(w.finishWriting().ok());
  EXPECT_EQ(w.status(), MovieWriter::Status::Completed);
  EXPECT_TRUE(w.finishWriting().ok());  // finishing a finished movie changes nothing
  auto reader = MovieReader::open(root() / "odd.mp4");
  ASSERT_TRUE(reader.ok());
  int n = 0;
  while ((*reader)->nextVideoFrame()) ++n;
  EXPECT_EQ(n, 2);
}

// A writer whose disk fills up says so and leaves nothing that claims to be
// a movie; one that cannot make its file at all fails at once.
TEST_F(MovieTest, FailedWriterLeavesNoMovie) {
  EXPECT_FALSE(MovieWriter::create(root() / "no" / "such" / "folder.mp4", media::MovieContainer::MPEG4).ok());
  const fs::path file = root() / "full.mp4";
  auto child = testing_support::runInChild([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{32 * 1024, 32 * 1024};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    auto s = writeMovie(file, 2.0, media::MovieContainer::MPEG4);
    EXPECT_FALSE(s.ok());
  });
  EXPECT_TRUE(child.exited);
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_FALSE(fs::exists(file));
  EXPECT_FALSE(fs::exists(root() / ".full.mp4.partial"));
}

TEST_F(MovieTest, BrokenMovieFilesAreErrorsNotCrashes) {
  const fs::path good = root() / "good.mp4";
  ASSERT_TRUE(writeMovie(good, 1.0, media::MovieContainer::MPEG4).ok());
  std::ifstream in(good, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto write = [&](const char* name, const std::string& content) {
    std::ofstream(root() / name, std::ios::binary) << content;
    return root() / name;
  };
  EXPECT_FALSE(MovieReader::open(write("empty.mp4", "")).ok());
  EXPECT_FALSE(MovieReader::open(write("text.mp4", std::string(5000, 'x'))).ok());
  EXPECT_FALSE(MovieReader::open(root() / "missing.mp4").ok());
  for (std::size_t cut : {bytes.size() / 4, bytes.size() / 2, bytes.size() - 100}) {
    auto r = MovieReader::open(write("cut.mp4", bytes.substr(0, cut)));
    if (!r) continue;  // refused with a message: fine
    int n = 0;
    while ((*r)->nextVideoFrame() && n < 1000) ++n;
    EXPECT_LE(n, 30);
  }
  std::string flipped = bytes;
  for (std::size_t i = flipped.size() / 3; i < flipped.size(); i += 97) flipped[i] = static_cast<char>(~flipped[i]);
  if (auto r = MovieReader::open(write("flipped.mp4", flipped))) {
    (*r)->setReadsAudio(true);
    int n = 0;
    while ((*r)->nextVideoFrame() && n < 1000) ++n;
    EXPECT_LE(n, 40);
  }
}

TEST_F(MovieTest, FrameAtAnExactTime) {
  const fs::path file = root() / "seek.mp4";
  ASSERT_TRUE(writeMovie(file, 2.0, media::MovieContainer::MPEG4).ok());
  auto reader = MovieReader::open(file);
  ASSERT_TRUE(reader.ok());
  for (double t : {1.5, 0.0, 1.0, 0.51}) {
    auto f = (*reader)->frameAt(t);
    ASSERT_TRUE(f.has_value()) << t;
    const double got = CMTimeGetSeconds(f->presentationTime);
    EXPECT_GE(got + 1e-6, t);
    EXPECT_LT(got, t + 1.0 / 30 + 1e-6);
    EXPECT_LT(meanDifference(*f->pixels, *picture(static_cast<int>(std::lround(got * 30)))), 4.0);
  }
  auto last = (*reader)->frameAt(99);
  ASSERT_TRUE(last.has_value());
  EXPECT_NEAR(CMTimeGetSeconds(last->presentationTime), 59 / 30.0, 0.002);
}

// Collects what a capture thread hands over during a short real-time run.
struct Collected {
  std::mutex mutex;
  std::vector<media::VideoSample> frames;
};

TEST_F(MovieTest, PatternCameraDeliversMovingPicturesAtItsRate) {
  auto camera = media::VideoCapture::open({"pattern", "Test pattern", media::kCameraPositionBack});
  ASSERT_TRUE(camera.ok());
  Collected c;
  (*camera)->setFrameHandler([&](const media::VideoSample& s) {
    std::lock_guard lock(c.mutex);
    c.frames.push_back(s);
  });
  (*camera)->start();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  (*camera)->stop();
  std::lock_guard lock(c.mutex);
  ASSERT_GE(c.frames.size(), 5u);
  EXPECT_LE(c.frames.size(), 16u);  // about 30 a second, never a flood
  EXPECT_EQ(c.frames[0].pixels->width, 640);
  EXPECT_EQ(c.frames[0].pixels->height, 480);
  for (std::size_t i = 1; i < c.frames.size(); ++i)
    EXPECT_GT(CMTimeGetSeconds(c.frames[i].presentationTime), CMTimeGetSeconds(c.frames[i - 1].presentationTime));
  EXPECT_GT(meanDifference(*c.frames[0].pixels, *c.frames[1].pixels), 0.0);
}

TEST_F(MovieTest, MovieFileAsCameraAndADeviceThatDoesNotOpen) {
  const fs::path file = root() / "camera.mp4";
  ASSERT_TRUE(writeMovie(file, 1.0, media::MovieContainer::MPEG4).ok());
  auto camera = media::VideoCapture::open({"file:" + file.string(), "movie", 1}, kW, kH);
  ASSERT_TRUE(camera.ok()) << camera.error();
  Collected c;
  (*camera)->setFrameHandler([&](const media::VideoSample& s) {
    std::lock_guard lock(c.mutex);
    c.frames.push_back(s);
  });
  (*camera)->setFrameRate(120);
  (*camera)->start();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  (*camera)->stop();
  {
    std::lock_guard lock(c.mutex);
    ASSERT_GE(c.frames.size(), 31u);  // past the movie's 30 frames: it loops
    EXPECT_LT(meanDifference(*c.frames[0].pixels, *picture(0)), 4.0);
    EXPECT_LT(meanDifference(*c.frames[30].pixels, *picture(0)), 4.0);
  }
  // What does not open is told once the capture has started, on its thread,
  // and the pattern stands in.
  for (const std::string& id : {"file:" + (root() / "none.mp4").string(), std::string("/dev/flipdesk-no-such-camera")}) {
    auto fallback = media::VideoCapture::open({id, "gone", 1});
    ASSERT_TRUE(fallback.ok());
    std::mutex m;
    std::vector<std::string> told;
    (*fallback)->setOpenHandler([&](const fd::Status& s) {
      std::lock_guard lock(m);
      told.push_back(s.error());
    });
    (*fallback)->start();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      {
        std::lock_guard lock(m);
        if (!told.empty()) break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    (*fallback)->stop();
    ASSERT_EQ(told.size(), 1u) << id;
    EXPECT_NE(told[0].find(id.find("none") != std::string::npos ? "none.mp4" : "flipdesk-no-such-camera"),
              std::string::npos)
        << told[0];
    EXPECT_EQ((*fallback)->device().id, "pattern");
  }
}

TEST_F(MovieTest, CameraSettingChoosesTheDevices) {
  ::setenv("FLIPDESK_CAMERA", "pattern", 1);
  auto devices = media::cameraDevices();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].id, "pattern");
  ::setenv("FLIPDESK_CAMERA", "file:/tmp/x.mp4", 1);
  devices = media::cameraDevices();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].id, "file:/tmp/x.mp4");
  ::unsetenv("FLIPDESK_CAMERA");
  devices = media::cameraDevices();
  ASSERT_FALSE(devices.empty());
  EXPECT_EQ(devices[0].position, media::kCameraPositionBack);
}

TEST_F(MovieTest, MicrophoneStreamDeliversTheFedSamplesStampedInOrder) {
  const fs::path wav = root() / "mic.wav";
  {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(wav.c_str(), SFM_WRITE, &info);
    std::vector<short> s(44100);
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<short>(i % 20000);
    sf_write_short(f, s.data(), static_cast<sf_count_t>(s.size()));
    sf_close(f);
  }
  media::setCaptureInputFile(wav);
  auto mic = media::MicrophoneStream::open();
  media::setCaptureInputFile(std::nullopt);
  ASSERT_TRUE(mic.ok()) << mic.error();
  std::mutex mutex;
  std::vector<media::AudioSamples> got;
  (*mic)->setSampleHandler([&](const media::AudioSamples& s) {
    std::lock_guard lock(mutex);
    got.push_back(s);
  });
  (*mic)->start();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  (*mic)->stop();
  std::lock_guard lock(mutex);
  ASSERT_FALSE(got.empty());
  std::size_t index = 0;
  for (std::size_t b = 0; b < got.size(); ++b) {
    if (b > 0) {
      const double expected = CMTimeGetSeconds(got[b - 1].presentationTime) + got[b - 1].frameCount() / 44100.0;
      EXPECT_NEAR(CMTimeGetSeconds(got[b].presentationTime), expected, 1e-6);
    }
    for (float v : got[b].samples) {
      ASSERT_EQ(v, static_cast<float>(index % 20000) / 32768.0f) << index;
      ++index;
    }
  }
  EXPECT_GT(index, 44100u / 10);
}

}  // namespace

namespace {

// Short movies keep every picture, the last one too, whatever their count.
TEST_F(MovieTest, EveryPictureOfAShortMovieReadsBack) {
  for (int frames = 1; frames <= 12; ++frames) {
    SCOPED_TRACE(frames);
    const fs::path file = root() / ("short" + std::to_string(frames) + ".mov");
    auto writer = MovieWriter::create(file, media::MovieContainer::QuickTime);
    ASSERT_TRUE(writer.ok());
    ASSERT_TRUE((*writer)->addVideoTrack({kW, kH, 30, kFps}).ok());
    ASSERT_TRUE((*writer)->startWriting());
    (*writer)->startSession(CMTimeMake(0, 600));
    for (int i = 0; i < frames; ++i) (*writer)->appendVideo(*picture(i), CMTimeMake(i * 20, 600));
    ASSERT_TRUE((*writer)->finishWriting().ok());
    auto reader = MovieReader::open(file);
    ASSERT_TRUE(reader.ok());
    int read = 0;
    while ((*reader)->nextVideoFrame()) ++read;
    EXPECT_EQ(read, frames);
  }
}

// Sound that starts before the pictures keeps its distance from them when
// read back: both tracks are on the movie's one time line.
TEST_F(MovieTest, PicturesStartingAfterTheSoundKeepTheirTime) {
  const fs::path file = root() / "late.mov";
  auto writer = MovieWriter::create(file, media::MovieContainer::QuickTime);
  ASSERT_TRUE(writer.ok());
  MovieWriter& w = **writer;
  ASSERT_TRUE(w.addVideoTrack({kW, kH, 30, kFps}).ok());
  ASSERT_TRUE(w.addAudioTrack({}).ok());
  ASSERT_TRUE(w.startWriting());
  w.startSession(CMTimeMake(0, 44100));
  for (int i = 0; i < 20; ++i) {
    media::AudioSamples a;
    a.samples = sine(1024, 440, 0.5f, i * 1024);
    a.presentationTime = CMTimeMake(i * 1024, 44100);
    w.appendAudio(a);
  }
  for (int i = 0; i < 5; ++i) w.appendVideo(*picture(i), CMTimeMake(300 + i * 20, 600));
  ASSERT_TRUE(w.finishWriting().ok());
  auto reader = MovieReader::open(file);
  ASSERT_TRUE(reader.ok());
  auto first = (*reader)->nextVideoFrame();
  ASSERT_TRUE(first);
  EXPECT_NEAR(CMTimeGetSeconds(first->presentationTime), 0.5, 1e-3);
  auto seek = (*reader)->frameAt(0.55);
  ASSERT_TRUE(seek);
  EXPECT_NEAR(CMTimeGetSeconds(seek->presentationTime), 0.5 + 2.0 / 30, 1e-3);
}

}  // namespace

namespace {

// The transform a player applies to show a recording upright travels with
// the movie and reads back as written; a movie without one reads identity.
TEST_F(MovieTest, TheVideoTransformIsStoredWithTheMovie) {
  const fs::path file = root() / "turned.mov";
  auto writer = MovieWriter::create(file, media::MovieContainer::QuickTime);
  ASSERT_TRUE(writer.ok());
  MovieWriter& w = **writer;
  ASSERT_TRUE(w.addVideoTrack({kW, kH, 30, kFps}).ok());
  const media::VideoTransform quarterTurn{0, 1, -1, 0, static_cast<float>(kH), 0};
  ASSERT_TRUE(w.setVideoTransform(quarterTurn).ok());
  ASSERT_TRUE(w.startWriting());
  EXPECT_FALSE(w.setVideoTransform({}).ok());  // too late
  w.startSession(CMTimeMake(0, 600));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(w.appendVideo(*picture(i), CMTimeMake(i * 20, 600)));
  ASSERT_TRUE(w.finishWriting().ok());
  auto reader = MovieReader::open(file);
  ASSERT_TRUE(reader.ok());
  EXPECT_EQ((*reader)->preferredTransform(), quarterTurn);
  EXPECT_TRUE((*reader)->rotationDegrees() == 90 || (*reader)->rotationDegrees() == 270);

  ASSERT_TRUE(writeMovie(root() / "plain.mp4", 0.2, media::MovieContainer::MPEG4).ok());
  auto plain = MovieReader::open(root() / "plain.mp4");
  ASSERT_TRUE(plain.ok());
  EXPECT_EQ((*plain)->preferredTransform(), media::VideoTransform{});
  EXPECT_EQ((*plain)->rotationDegrees(), 0);
}

}  // namespace

namespace {

// How far into the file the process has read through the descriptor it holds
// open on it, as the kernel keeps it (nullopt when none is open).
std::optional<std::uint64_t> readPosition(const fs::path& file) {
  std::error_code ec;
  const fs::path wanted = fs::canonical(file, ec);
  for (const auto& entry : fs::directory_iterator("/proc/self/fd", ec)) {
    if (fs::read_symlink(entry.path(), ec) != wanted) continue;
    std::ifstream info("/proc/self/fdinfo/" + entry.path().filename().string());
    std::string key;
    std::uint64_t value = 0;
    while (info >> key >> value)
      if (key == "pos:") return value;
  }
  return std::nullopt;
}

// Where each packet of a movie's picture track lies in the file, in order.
struct PacketPlace {
  std::int64_t at = 0;
  int size = 0;
  bool key = false;
};

std::vector<PacketPlace> picturePackets(const fs::path& file) {
  std::vector<PacketPlace> out;
  AVFormatContext* ctx = nullptr;
  if (avformat_open_input(&ctx, file.c_str(), nullptr, nullptr) < 0) return out;
  AVPacket* packet = av_packet_alloc();
  while (packet && av_read_frame(ctx, packet) >= 0) {
    if (ctx->streams[packet->stream_index]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
      out.push_back({packet->pos, packet->size, (packet->flags & AV_PKT_FLAG_KEY) != 0});
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  avformat_close_input(&ctx);
  return out;
}

// Overwrites the packets with junk, keeping their places and sizes.
void scramblePackets(const fs::path& file, const std::vector<PacketPlace>& packets) {
  std::fstream io(file, std::ios::binary | std::ios::in | std::ios::out);
  std::uint32_t state = 0x2545F491u;
  for (const PacketPlace& p : packets) {
    std::string junk(static_cast<std::size_t>(p.size), '\0');
    for (char& c : junk) {
      state ^= state << 13, state ^= state >> 17, state ^= state << 5;
      c = static_cast<char>(state >> 24);
    }
    io.seekp(p.at);
    io.write(junk.data(), static_cast<std::streamsize>(junk.size()));
  }
}

}  // namespace

// The reader waits 300 packets of the picture track for a first picture. A
// movie whose first 3000 packets are junk is given up once the first 300
// have given none: the reader fails in words, having read a small part of
// the file instead of decoding its way through all of it, and reads no
// further when asked again. One whose junk ends at a key frame before the
// 300th packet is read from there; one whose junk runs well past it is given
// up all the same.
TEST_F(MovieTest, APictureLessMovieIsGivenUpAfterItsFirst300Packets) {
  constexpr int kFrames = 3000, kSide = 64;
  const fs::path original = root() / "noise.mp4";
  {
    auto writer = MovieWriter::create(original, media::MovieContainer::MPEG4);
    ASSERT_TRUE(writer.ok());
    ASSERT_TRUE((*writer)->addVideoTrack({kSide, kSide, 30, kFps}).ok());
    ASSERT_TRUE((*writer)->startWriting());
    (*writer)->startSession(CMTimeMake(0, 600));
    std::uint32_t state = 7;
    auto p = media::PixelBuffer::make(kSide, kSide);
    for (int i = 0; i < kFrames; ++i) {
      // Noise does not compress: every packet is about as large as the next.
      for (std::uint8_t& b : p->data) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(state >> 24);
      }
      (*writer)->appendVideo(*p, CMTimeMake(i * 20, 600));
    }
    ASSERT_TRUE((*writer)->finishWriting().ok());
  }
  const std::vector<PacketPlace> packets = picturePackets(original);
  ASSERT_EQ(packets.size(), static_cast<std::size_t>(kFrames));
  // The last key frame at most `before`, the first at least `from`.
  auto keyAtMost = [&](std::size_t before) {
    std::size_t k = before;
    while (k > 0 && !packets[k].key) --k;
    return k;
  };
  auto keyAtLeast = [&](std::size_t from) {
    std::size_t k = from;
    while (k < packets.size() && !packets[k].key) ++k;
    return k;
  };

  const fs::path junk = root() / "junk.mp4";
  fs::copy_file(original, junk);
  ASSERT_TRUE(testing_support::scrambleMovieData(junk));
  auto reader = MovieReader::open(junk);
  ASSERT_TRUE(reader.ok()) << reader.error();
  ASSERT_TRUE((*reader)->hasVideo());
  EXPECT_FALSE((*reader)->nextVideoFrame().has_value());
  EXPECT_EQ((*reader)->status(), MovieReader::Status::Failed);
  EXPECT_NE((*reader)->error().find("junk.mp4 holds pictures that cannot be decoded"), std::string::npos)
      << (*reader)->error();
  // 300 packets are a tenth of them; a sixth leaves room for what the demuxer
  // reads ahead.
  const std::optional<std::uint64_t> at = readPosition(junk);
  ASSERT_TRUE(at.has_value());
  EXPECT_LT(*at, static_cast<std::uint64_t>(packets[kFrames / 6].at)) << "of " << fs::file_size(junk) << " bytes";
  EXPECT_FALSE((*reader)->nextVideoFrame().has_value());
  EXPECT_EQ(readPosition(junk), at);

  const std::size_t early = keyAtMost(280), late = keyAtLeast(400);
  ASSERT_GT(early, 200u) << "key frames are close enough together";
  ASSERT_LT(late, 500u);
  struct Case {
    const char* name;
    std::size_t junkPackets;
    bool readable;
  };
  for (const Case& c : {Case{"early.mp4", early, true}, Case{"late.mp4", late, false}}) {
    SCOPED_TRACE(std::string(c.name) + ": junk up to packet " + std::to_string(c.junkPackets));
    const fs::path file = root() / c.name;
    fs::copy_file(original, file);
    scramblePackets(file,
                    std::vector<PacketPlace>(packets.begin(), packets.begin() + static_cast<long>(c.junkPackets)));
    auto partly = MovieReader::open(file);
    ASSERT_TRUE(partly.ok()) << partly.error();
    const std::optional<media::VideoSample> first = (*partly)->nextVideoFrame();
    EXPECT_EQ(first.has_value(), c.readable) << (*partly)->error();
    if (first) {
      EXPECT_NEAR(CMTimeGetSeconds(first->presentationTime), static_cast<double>(c.junkPackets) / kFps, 1e-6);
    } else {
      EXPECT_NE((*partly)->error().find("cannot be decoded"), std::string::npos) << (*partly)->error();
    }
  }
}
