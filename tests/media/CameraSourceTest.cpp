// Movies played as the camera: a photograph made into movies in the test (16:9,
// turned by the display matrix as a phone films, odd sizes, other codecs)
// comes out upright and in its own shape, filling the capture frame; hostile
// files, FIFOs and pictures too large to decode are told with their reason
// while the test pattern stands in, and never hold the caller; so are movies
// that open but give no picture (junk for pictures, a file cut after its
// index, a FIFO fed a movie whose index comes last).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

#include "graphics/MemoryCeiling.h"
#include "platform/graphics/Image.h"
#include "platform/media/Camera.h"
#include "platform/media/FFmpegSupport.h"
#include "platform/media/MovieReader.h"
#include "platform/media/MovieWriter.h"
#include "platform/media/StreamCopy.h"
#include "support/Fifos.h"
#include "support/HostileMovies.h"
#include "support/Sandbox.h"

namespace {

namespace fs = std::filesystem;
using media::PixelBuffer;

constexpr int kCameraW = 640, kCameraH = 480;

std::shared_ptr<PixelBuffer> bufferOf(const gfx::Image& image) {
  auto p = PixelBuffer::make(image.pixelWidth(), image.pixelHeight());
  for (int y = 0; y < image.pixelHeight(); ++y)
    for (int x = 0; x < image.pixelWidth(); ++x) {
      const std::uint8_t* s = image.pixel(x, y);
      std::uint8_t* d = p->row(y) + 4 * x;
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
      d[3] = 255;
    }
  return p;
}

// The committed photograph, 640 x 427.
const PixelBuffer& rocket() {
  static const std::shared_ptr<PixelBuffer> p = [] {
    auto image = gfx::readImage(fs::path(FLIPDESK_TEST_DATA) / "bg_rocket.jpg");
    return image ? bufferOf(*image) : PixelBuffer::make(1, 1);
  }();
  return *p;
}

std::shared_ptr<PixelBuffer> cropped(const PixelBuffer& p, int x, int y, int w, int h) {
  auto out = PixelBuffer::make(w, h);
  for (int r = 0; r < h; ++r) std::copy(p.row(y + r) + 4 * x, p.row(y + r) + 4 * (x + w), out->row(r));
  return out;
}

// The centre of a picture with the shape of w x h, scaled to w x h: what a
// camera's preview shows of it.
std::shared_ptr<PixelBuffer> filled(const PixelBuffer& p, int w, int h) {
  int cw = p.width, ch = p.height;
  if (static_cast<long long>(p.width) * h > static_cast<long long>(w) * p.height)
    cw = static_cast<int>(std::lround(static_cast<double>(p.height) * w / h));
  else
    ch = static_cast<int>(std::lround(static_cast<double>(p.width) * h / w));
  return media::scaledPixelBuffer(*cropped(p, (p.width - cw) / 2, (p.height - ch) / 2, cw, ch), w, h);
}

double sameSizeDifference(const PixelBuffer& a, const PixelBuffer& b) {
  double sum = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width * 4; ++x)
      if (x % 4 != 3) sum += std::abs(a.row(y)[x] - b.row(y)[x]);
  return sum / (a.width * a.height * 3.0);
}

// Compared at 64 x 48, where how a picture was scaled no longer shows but
// where it lies and what shape it has do.
double meanDifference(const PixelBuffer& full, const PixelBuffer& fullExpected) {
  if (full.width != fullExpected.width || full.height != fullExpected.height) return 255;
  const auto a = media::scaledPixelBuffer(full, 64, 48), b = media::scaledPixelBuffer(fullExpected, 64, 48);
  return sameSizeDifference(*a, *b);
}

// One second of a still picture, H.264, with the display turn asked for.
fd::Status stillMovie(const fs::path& file, const PixelBuffer& stored, const media::VideoTransform& turn = {}) {
  auto writer = media::MovieWriter::create(file, media::MovieContainer::QuickTime);
  if (!writer) return writer.failure();
  media::MovieWriter& w = **writer;
  if (auto s = w.addVideoTrack({stored.width, stored.height, 30, 30}); !s) return s;
  if (!(turn == media::VideoTransform{}))
    if (auto s = w.setVideoTransform(turn); !s) return s;
  if (!w.startWriting()) return fd::fail(w.error());
  w.startSession(CMTimeMake(0, 600));
  for (int i = 0; i < 30; ++i) w.appendVideo(stored, CMTimeMake(i * 20, 600));
  return w.finishWriting();
}

bool haveFfmpeg() { return std::system("command -v ffmpeg >/dev/null 2>&1") == 0; }

// What a capture tells and hands over.
struct Watch {
  std::mutex m;
  std::vector<std::string> told;
  std::vector<media::VideoSample> frames;

  void attach(media::VideoCapture& c) {
    c.setOpenHandler([this](const fd::Status& s) {
      std::lock_guard lock(m);
      told.push_back(s.error());
    });
    c.setFrameHandler([this](const media::VideoSample& f) {
      std::lock_guard lock(m);
      frames.push_back(f);
    });
  }
  bool waitFor(const std::function<bool()>& done, double seconds = 10) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
      {
        std::lock_guard lock(m);
        if (done()) return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }
};

// The first pictures the movie gives as the camera, and what the capture told.
struct Shot {
  std::shared_ptr<PixelBuffer> picture;  // the first
  std::vector<std::shared_ptr<PixelBuffer>> pictures;
  std::vector<std::string> told;
  std::string device;
};
Shot film(const std::string& id, std::size_t pictures = 1) {
  Shot shot;
  auto camera = media::VideoCapture::open({id, "camera", media::kCameraPositionBack}, kCameraW, kCameraH);
  if (!camera) return shot;
  Watch watch;
  watch.attach(**camera);
  (*camera)->start();
  watch.waitFor([&] { return !watch.told.empty() && watch.frames.size() >= pictures; });
  (*camera)->stop();
  std::lock_guard lock(watch.m);
  shot.told = watch.told;
  for (const media::VideoSample& f : watch.frames) shot.pictures.push_back(f.pixels);
  if (!shot.pictures.empty()) shot.picture = shot.pictures.front();
  shot.device = (*camera)->device().id;
  return shot;
}

// The test pattern's colour bars: white at the left, black at the right.
bool isPattern(const PixelBuffer& p) {
  const std::uint8_t* left = p.row(2) + 4 * 2;
  const std::uint8_t* right = p.row(2) + 4 * (p.width - 3);
  return left[0] > 240 && left[1] > 240 && left[2] > 240 && right[0] < 15 && right[1] < 15 && right[2] < 15;
}

// One second of the photograph at 160 x 120 in an MPEG-4 file, as the media
// layer writes it (its index after its pictures).
fd::Status smallMovie(const fs::path& file) {
  auto writer = media::MovieWriter::create(file, media::MovieContainer::MPEG4);
  if (!writer) return writer.failure();
  media::MovieWriter& w = **writer;
  if (auto s = w.addVideoTrack({160, 120, 30, 30}); !s) return s;
  if (!w.startWriting()) return fd::fail(w.error());
  w.startSession(CMTimeMake(0, 600));
  const auto picture = media::scaledPixelBuffer(rocket(), 160, 120);
  for (int i = 0; i < 30; ++i) w.appendVideo(*picture, CMTimeMake(i * 20, 600));
  return w.finishWriting();
}

class CameraSourceTest : public testing_support::SandboxTest {};

TEST_F(CameraSourceTest, AWideMovieFillsTheFrameAndIsNotSquashed) {
  ASSERT_EQ(rocket().width, 640);
  // 16:9 from the photograph: its middle 640 x 360, at 320 x 180.
  const auto wide = media::scaledPixelBuffer(*cropped(rocket(), 0, 33, 640, 360), 320, 180);
  const fs::path file = root() / "wide.mov";
  ASSERT_TRUE(stillMovie(file, *wide).ok());
  const Shot shot = film("file:" + file.string());
  ASSERT_TRUE(shot.picture);
  ASSERT_EQ(shot.told, (std::vector<std::string>{""}));
  ASSERT_EQ(shot.picture->width, kCameraW);
  ASSERT_EQ(shot.picture->height, kCameraH);
  const double kept = meanDifference(*shot.picture, *filled(*wide, kCameraW, kCameraH));
  const double squashed = meanDifference(*shot.picture, *media::scaledPixelBuffer(*wide, kCameraW, kCameraH));
  EXPECT_LT(kept, 3.0);
  EXPECT_GT(squashed, 6.0);
}

TEST_F(CameraSourceTest, APhoneMovieFilmedSidewaysStandsUpright) {
  // The phone stores its pictures turned a quarter to the left and the turn
  // that shows them upright, a quarter to the right, in the display matrix.
  const auto upright = media::scaledPixelBuffer(rocket(), 320, 240);
  const auto stored = media::turnedPixelBuffer(*upright, 270);
  ASSERT_EQ(stored->width, 240);
  const fs::path file = root() / "phone.mov";
  ASSERT_TRUE(stillMovie(file, *stored, {0, 1, -1, 0, 240, 0}).ok());
  auto reader = media::MovieReader::open(file);
  ASSERT_TRUE(reader.ok());
  EXPECT_EQ((*reader)->rotationDegrees(), 90);
  const Shot shot = film("file:" + file.string());
  ASSERT_TRUE(shot.picture);
  const double asShown = meanDifference(*shot.picture, *filled(*upright, kCameraW, kCameraH));
  const double sideways = meanDifference(*shot.picture, *filled(*stored, kCameraW, kCameraH));
  EXPECT_LT(asShown, 3.0);
  EXPECT_GT(sideways, 20.0);
}

TEST_F(CameraSourceTest, MoviesOfOtherCodecsAndOddSizesMadeByAnotherProgram) {
  if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  const bool vp9 = std::system("ffmpeg -hide_banner -encoders 2>/dev/null | grep -q libvpx-vp9") == 0;
  struct Case {
    const char* file;
    const char* encode;
    const char* size;
    bool turned;  // given a quarter turn in the display matrix, as a phone's movie
  };
  const Case cases[] = {
      {"odd.avi", "-c:v mjpeg -q:v 2", "161:91", false},
      {"mpeg4.mp4", "-c:v mpeg4 -q:v 2", "320:180", false},
      {"phone.mov", "-c:v libx264 -pix_fmt yuv420p -crf 18", "320:180", true},
      {"vp9.webm", "-c:v libvpx-vp9 -crf 20 -b:v 0 -deadline realtime", "320:180", false},
  };
  const auto run = [](const std::string& command) { return std::system(command.c_str()) == 0; };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    if (std::string(c.file) == "vp9.webm" && !vp9) continue;
    const fs::path file = root() / c.file;
    const fs::path made = c.turned ? root() / ("plain-" + std::string(c.file)) : file;
    ASSERT_TRUE(run("ffmpeg -v error -y -loop 1 -i '" + (fs::path(FLIPDESK_TEST_DATA) / "bg_rocket.jpg").string() +
                    "' -t 1 -r 10 -vf scale=" + c.size + " " + c.encode + " '" + made.string() + "'"));
    if (c.turned) {
      ASSERT_TRUE(run("ffmpeg -v error -y -i '" + made.string() + "' -c copy -metadata:s:v:0 rotate=90 '" +
                      file.string() + "'"));
    }
    // The picture as the other program shows it (it turns by the matrix too).
    const fs::path shown = root() / (std::string(c.file) + ".png");
    ASSERT_TRUE(run("ffmpeg -v error -y -i '" + file.string() + "' -frames:v 1 '" + shown.string() + "'"));
    auto expected = gfx::readImage(shown);
    ASSERT_TRUE(expected.ok()) << expected.error();
    if (c.turned) {
      auto reader = media::MovieReader::open(file);
      ASSERT_TRUE(reader.ok());
      EXPECT_NE((*reader)->rotationDegrees(), 0);
      EXPECT_EQ(expected->pixelWidth(), 180);  // upright, it stands
    }
    const Shot shot = film("file:" + file.string());
    ASSERT_TRUE(shot.picture);
    EXPECT_EQ(shot.told, (std::vector<std::string>{""}));
    EXPECT_LT(meanDifference(*shot.picture, *filled(*bufferOf(*expected), kCameraW, kCameraH)), 3.0);
  }
}

TEST_F(CameraSourceTest, HostileFilesAreToldWithTheirReasonAndThePatternStandsIn) {
  const auto write = [&](const std::string& name, const std::string& content) {
    std::ofstream(root() / name, std::ios::binary) << content;
    return root() / name;
  };
  // A real movie cut in half (its index is written last), and one with only sound.
  const fs::path good = root() / "good.mp4";
  ASSERT_TRUE(smallMovie(good).ok());
  std::ifstream in(good, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const fs::path sound = root() / "sound.m4a";
  {
    auto writer = media::MovieWriter::create(sound, media::MovieContainer::MPEG4);
    ASSERT_TRUE(writer.ok());
    ASSERT_TRUE((*writer)->addAudioTrack({}).ok());
    ASSERT_TRUE((*writer)->startWriting());
    (*writer)->startSession(CMTimeMake(0, 44100));
    media::AudioSamples a;
    a.samples.assign(44100, 0.1f);
    a.presentationTime = CMTimeMake(0, 44100);
    (*writer)->appendAudio(a);
    ASSERT_TRUE((*writer)->finishWriting().ok());
  }
  fs::create_directories(root() / "folder.mov");
  struct Case {
    fs::path file;
    std::string named;  // what the message must name
  };
  const Case cases[] = {
      {write("empty.mp4", ""), "empty.mp4"},
      {write("notes.mov", "These are notes, not a movie.\n"), "notes.mov"},
      {write("cut.mp4", bytes.substr(0, bytes.size() / 2)), "cut.mp4"},
      {sound, "sound.m4a"},
      {"/dev/zero", "zero"},
      {root() / "missing.mp4", "missing.mp4"},
      {root() / "folder.mov", "folder.mov"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file.string());
    const Shot shot = film("file:" + c.file.string());
    ASSERT_EQ(shot.told.size(), 1u);
    EXPECT_NE(shot.told[0].find(c.named), std::string::npos) << shot.told[0];
    ASSERT_TRUE(shot.picture);
    EXPECT_TRUE(isPattern(*shot.picture));
    EXPECT_EQ(shot.device, "pattern");
    // The reader says the same before any picture.
    auto reader = media::MovieReader::open(c.file);
    if (reader) {
      EXPECT_FALSE((*reader)->hasVideo());
    } else {
      EXPECT_NE(reader.error().find(c.named), std::string::npos) << reader.error();
    }
  }
  // A device path that is no camera is told the same way.
  const Shot device = film(write("fake-camera", "x").string());
  ASSERT_EQ(device.told.size(), 1u);
  EXPECT_NE(device.told[0].find("not a camera"), std::string::npos) << device.told[0];
}

TEST_F(CameraSourceTest, AMovieThatOpensButGivesNoPictureIsToldOnceAndThePatternFollows) {
  struct Case {
    fs::path file;
    std::string reason;
  };
  std::vector<Case> cases;
  // Headers and index intact, every byte of its pictures junk.
  const fs::path scrambled = root() / "scrambled.mp4";
  ASSERT_TRUE(smallMovie(scrambled).ok());
  ASSERT_TRUE(testing_support::scrambleMovieData(scrambled));
  cases.push_back({scrambled, "cannot be decoded"});
  // Its index written first, and the file cut right after it: it opens and
  // tells its track, then ends before any picture.
  if (haveFfmpeg()) {
    const fs::path good = root() / "good.mp4", indexFirst = root() / "index-first.mp4", cut = root() / "cut-after-index.mp4";
    ASSERT_TRUE(smallMovie(good).ok());
    ASSERT_EQ(std::system(("ffmpeg -v error -y -i '" + good.string() + "' -c copy -movflags +faststart '" +
                           indexFirst.string() + "'").c_str()), 0);
    ASSERT_FALSE(testing_support::indexAfterPictures(indexFirst));
    std::uint64_t pictureData = 0;
    for (const auto& box : testing_support::topLevelBoxes(indexFirst))
      if (box.type == "mdat") pictureData = box.payloadAt;
    ASSERT_GT(pictureData, 0u);
    fs::copy_file(indexFirst, cut);
    fs::resize_file(cut, pictureData);
    cases.push_back({cut, "ended before its first picture"});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file.filename().string());
    auto reader = media::MovieReader::open(c.file);
    ASSERT_TRUE(reader.ok()) << reader.error();
    ASSERT_TRUE((*reader)->hasVideo());
    EXPECT_FALSE((*reader)->nextVideoFrame().has_value());
    EXPECT_EQ((*reader)->status(), media::MovieReader::Status::Failed);
    EXPECT_NE((*reader)->error().find(c.file.filename().string()), std::string::npos) << (*reader)->error();
    EXPECT_NE((*reader)->error().find(c.reason), std::string::npos) << (*reader)->error();

    const Shot shot = film("file:" + c.file.string(), 5);
    ASSERT_EQ(shot.told.size(), 1u);
    EXPECT_EQ(shot.told[0], (*reader)->error());
    EXPECT_EQ(shot.device, "pattern");
    ASSERT_GE(shot.pictures.size(), 5u);
    for (const auto& p : shot.pictures) EXPECT_TRUE(isPattern(*p));
  }
}

TEST_F(CameraSourceTest, AFifoNeverHoldsTheCallerAndIsReadOnceSomethingComes) {
  const fs::path fifo = root() / "camera.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Nobody writes: opening and stopping both return at once, and nothing is told.
  {
    const auto started = std::chrono::steady_clock::now();
    auto camera = media::VideoCapture::open({"file:" + fifo.string(), "fifo", 1});
    ASSERT_TRUE(camera.ok());
    Watch watch;
    watch.attach(**camera);
    (*camera)->start();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    (*camera)->stop();
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(), 1.5);
    std::lock_guard lock(watch.m);
    EXPECT_TRUE(watch.told.empty());
    EXPECT_TRUE(watch.frames.empty());
  }
  // The reader gives up on a FIFO that stays silent.
  {
    media::MovieReadOptions quick;
    quick.waitForData = 0.3;
    auto reader = media::MovieReader::open(fifo, quick);
    ASSERT_FALSE(reader.ok());
    EXPECT_NE(reader.error().find("camera.fifo"), std::string::npos) << reader.error();
  }
  // A writer that comes late and says nothing: told as not a movie.
  {
    std::thread writer = testing_support::fifoWriter(fifo, [](int) {}, 0.2);
    const Shot shot = film("file:" + fifo.string());
    writer.join();
    ASSERT_EQ(shot.told.size(), 1u);
    EXPECT_NE(shot.told[0].find("camera.fifo"), std::string::npos) << shot.told[0];
    ASSERT_TRUE(shot.picture);
    EXPECT_TRUE(isPattern(*shot.picture));
  }
  // A writer that sends a motion-JPEG stream after a while: its pictures are read.
  {
    const std::vector<std::uint8_t> jpeg = testing_support::flatGreyJpeg(64, 48);
    std::thread writer = testing_support::fifoWriter(
        fifo,
        [&jpeg](int fd) {
          for (int i = 0; i < 5; ++i)
            if (::write(fd, jpeg.data(), jpeg.size()) != static_cast<ssize_t>(jpeg.size())) return;
        },
        0.3);
    auto reader = media::MovieReader::open(fifo);
    ASSERT_TRUE(reader.ok()) << reader.error();
    auto frame = (*reader)->nextVideoFrame();
    writer.join();
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->pixels->width, 64);
    EXPECT_EQ(frame->pixels->height, 48);
    EXPECT_NEAR(frame->pixels->row(20)[4 * 30 + 1], 128, 3);
  }
}

TEST_F(CameraSourceTest, AFifoFedAMovieWhoseIndexIsAtTheEndIsToldAndThePatternFollows) {
  // Noise does not compress: far more than a FIFO and the reader's buffers hold.
  const fs::path movie = root() / "noise.mp4";
  ASSERT_TRUE(testing_support::writeNoiseMovie(movie).ok());
  ASSERT_TRUE(testing_support::indexAfterPictures(movie));
  ASSERT_GT(fs::file_size(movie), std::uintmax_t{1} << 20);
  const fs::path fifo = root() / "camera.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  {
    std::thread writer = testing_support::feedFifo(fifo, movie);
    const Shot shot = film("file:" + fifo.string(), 5);
    writer.join();
    ASSERT_EQ(shot.told.size(), 1u);
    EXPECT_NE(shot.told[0].find("camera.fifo"), std::string::npos) << shot.told[0];
    EXPECT_NE(shot.told[0].find("index comes after its pictures"), std::string::npos) << shot.told[0];
    EXPECT_EQ(shot.device, "pattern");
    ASSERT_GE(shot.pictures.size(), 5u);
    for (const auto& p : shot.pictures) EXPECT_TRUE(isPattern(*p));
  }
  // The reader says the same, whoever asks.
  {
    std::thread writer = testing_support::feedFifo(fifo, movie);
    auto reader = media::MovieReader::open(fifo);
    writer.join();
    ASSERT_FALSE(reader.ok());
    EXPECT_NE(reader.error().find("index comes after its pictures"), std::string::npos) << reader.error();
  }
  // The same movie with its index first plays through the FIFO.
  if (!haveFfmpeg()) return;
  const fs::path indexFirst = root() / "index-first.mp4";
  ASSERT_EQ(std::system(("ffmpeg -v error -y -i '" + movie.string() + "' -c copy -movflags +faststart '" +
                         indexFirst.string() + "'").c_str()), 0);
  ASSERT_FALSE(testing_support::indexAfterPictures(indexFirst));
  std::thread writer = testing_support::feedFifo(fifo, indexFirst);
  const Shot shot = film("file:" + fifo.string(), 5);
  writer.join();
  EXPECT_EQ(shot.told, (std::vector<std::string>{""}));
  ASSERT_GE(shot.pictures.size(), 5u);
  EXPECT_FALSE(isPattern(*shot.picture));
  EXPECT_EQ(shot.device, "file:" + fifo.string());
}

TEST(PictureScaling, RowsThatAreNoWholeNumberOfBlocksAreWrittenNoFurtherThanThePicture) {
  // The scaler writes a row in blocks: into an exact buffer, a row of 426 or
  // 568 pixels runs past the picture's end, into whatever the heap holds there.
  for (const int width : {426, 568, 161, 640}) {
    SCOPED_TRACE(width);
    const int height = 90;
    media::av::Frame yuv = media::av::makeFrame();
    yuv->width = width;
    yuv->height = height;
    yuv->format = AV_PIX_FMT_YUV420P;
    ASSERT_GE(av_frame_get_buffer(yuv.get(), 0), 0);
    for (int plane = 0; plane < 3; ++plane)
      std::memset(yuv->data[plane], plane == 0 ? 90 : 128, static_cast<std::size_t>(yuv->linesize[plane]) * (plane == 0 ? height : (height + 1) / 2));
    media::av::Sws sws(sws_getContext(width, height, AV_PIX_FMT_YUV420P, width, height, AV_PIX_FMT_BGRA, SWS_BILINEAR,
                                      nullptr, nullptr, nullptr));
    ASSERT_TRUE(sws);
    auto out = PixelBuffer::make(width, height);
    const std::size_t picture = out->data.size();
    out->data.resize(picture + 64, 0xAB);  // what lies after the picture
    media::av::scaleIntoPixels(sws.get(), yuv->data, yuv->linesize, height, *out);
    for (std::size_t i = picture; i < out->data.size(); ++i) ASSERT_EQ(out->data[i], 0xAB) << i - picture;
    const std::uint8_t* last = out->row(height - 1) + 4 * (width - 1);
    EXPECT_NEAR(last[1], 86, 3);  // video-range 90 is (90 - 16) x 255 / 219 at full range
    EXPECT_EQ(last[3], 255);
  }
}

TEST_F(CameraSourceTest, PicturesBeyondTheLimitsAreRefusedBeforeAnyDecoding) {
  const fs::path huge = root() / "huge.mov";
  ASSERT_TRUE(testing_support::writeFlatMjpegMovie(huge, 16000, 16000));
  EXPECT_LT(fs::file_size(huge), std::uintmax_t{4} << 20);
  // Decoding one of its pictures takes 256 MB as grey and a gigabyte as BGRA:
  // under a ceiling far below that, everything must still answer in words.
  const auto child = testing_support::runUnderMemoryCeiling(std::size_t{160} << 20, [&] {
    auto reader = media::MovieReader::open(huge);
    ASSERT_FALSE(reader.ok());
    EXPECT_NE(reader.error().find("16000 x 16000"), std::string::npos) << reader.error();
    EXPECT_NE(reader.error().find("huge.mov"), std::string::npos) << reader.error();
    EXPECT_FALSE(media::copyMovieRange(huge, {0, 0.05}, root() / "cut.mov").ok());
    const Shot shot = film("file:" + huge.string());
    ASSERT_EQ(shot.told.size(), 1u);
    EXPECT_NE(shot.told[0].find("16000 x 16000"), std::string::npos) << shot.told[0];
    ASSERT_TRUE(shot.picture);
    EXPECT_TRUE(isPattern(*shot.picture));
  });
  EXPECT_TRUE(child.exited);
  EXPECT_EQ(child.exitCode, 0);
  // The limits are the caller's to set.
  const fs::path small = root() / "small.mov";
  ASSERT_TRUE(testing_support::writeFlatMjpegMovie(small, 160, 120));
  media::MovieReadOptions narrow;
  narrow.limits.maxWidth = 100;
  EXPECT_FALSE(media::MovieReader::open(small, narrow).ok());
  auto fits = media::MovieReader::open(small);
  ASSERT_TRUE(fits.ok()) << fits.error();
  auto frame = (*fits)->nextVideoFrame();
  ASSERT_TRUE(frame.has_value());
  EXPECT_EQ(frame->pixels->width, 160);
}

}  // namespace
