// The export walk: ten pictures a second plus one at their times, black
// strokes on transparency, upright whatever turn the movie carries, and a
// walk that stops cleanly when cancelled. Also the picture scalings of the
// timeline's thumbnails.
#include <gtest/gtest.h>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "gpu/filters/sketch/GPUWhiteFilter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/media/StreamCopy.h"
#include "roto/ImageExtensions.h"
#include "roto/RotoFrameExport.h"
#include "roto/RotoTestSupport.h"
#include "support/Sandbox.h"

namespace {

namespace fs = std::filesystem;
using roto::RotoFrameExport;

// Copies a movie's packets, giving its pictures a display turn of `degrees` clockwise.
bool remuxWithTurn(const fs::path& from, const fs::path& to, int degrees) {
  AVFormatContext* in = nullptr;
  if (avformat_open_input(&in, from.c_str(), nullptr, nullptr) < 0) return false;
  avformat_find_stream_info(in, nullptr);
  AVFormatContext* out = nullptr;
  avformat_alloc_output_context2(&out, nullptr, "mov", to.c_str());
  bool ok = out != nullptr;
  for (unsigned i = 0; ok && i < in->nb_streams; ++i) {
    AVStream* st = avformat_new_stream(out, nullptr);
    avcodec_parameters_copy(st->codecpar, in->streams[i]->codecpar);
    st->codecpar->codec_tag = 0;
    st->time_base = in->streams[i]->time_base;
    if (in->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
      auto* m = reinterpret_cast<int32_t*>(av_stream_new_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, 9 * 4));
      av_display_rotation_set(m, -degrees);
    }
  }
  ok = ok && avio_open(&out->pb, to.c_str(), AVIO_FLAG_WRITE) >= 0 && avformat_write_header(out, nullptr) >= 0;
  AVPacket* p = av_packet_alloc();
  while (ok && av_read_frame(in, p) >= 0) {
    av_packet_rescale_ts(p, in->streams[p->stream_index]->time_base, out->streams[p->stream_index]->time_base);
    ok = av_interleaved_write_frame(out, p) >= 0;
    av_packet_unref(p);
  }
  if (ok) ok = av_write_trailer(out) >= 0;
  av_packet_free(&p);
  if (out) {
    avio_closep(&out->pb);
    avformat_free_context(out);
  }
  avformat_close_input(&in);
  return ok;
}

struct Collected {
  std::mutex m;
  std::vector<std::pair<int, std::shared_ptr<const gfx::Image>>> frames;
  std::vector<std::pair<int, int>> progress;
  bool finished = false;
};

RotoFrameExport::Callbacks collectInto(Collected& c) {
  RotoFrameExport::Callbacks cb;
  cb.progress = [&c](int i, int n) { c.progress.emplace_back(i, n); };
  cb.frame = [&c](const std::shared_ptr<const gfx::Image>& f, int i) {
    std::lock_guard<std::mutex> l(c.m);
    c.frames.emplace_back(i, f);
  };
  cb.finished = [&c] { c.finished = true; };
  return cb;
}

// Pumps the main loop until the walk says it has ended (or a minute passes).
bool pumpUntilFinished(Collected& c) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!c.finished && std::chrono::steady_clock::now() < deadline) {
    fd::RunLoop::main().runUntilIdle();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return c.finished;
}

class FrameExportTest : public testing_support::SandboxTest {
 protected:
  fs::path squares(const std::string& name, double seconds, int w = 160, int h = 120) {
    roto_test::MoviePlan plan;
    plan.seconds = seconds;
    plan.width = w;
    plan.height = h;
    plan.sound = false;
    plan.picture = [w, h](int i) { return roto_test::squarePicture(w, h, i); };
    const fs::path p = root() / name;
    auto s = roto_test::writeTestMovie(p, plan);
    EXPECT_TRUE(s.ok()) << s.error();
    return p;
  }
};

TEST(FrameExportCount, TenASecondPlusOneNeverReachingTheEnd) {
  EXPECT_EQ(RotoFrameExport::frameCount(0.4), 5);
  EXPECT_EQ(RotoFrameExport::frameCount(5.0), 51);
  EXPECT_EQ(RotoFrameExport::frameCount(10.0), 101);
  EXPECT_EQ(RotoFrameExport::frameCount(0.0), 1);
  const double expected[] = {0, 0.08, 0.16, 0.24, 0.32};
  for (int i = 0; i < 5; ++i) EXPECT_NEAR(RotoFrameExport::frameTime(i, 5, 0.4), expected[i], 1e-12);
  EXPECT_LT(RotoFrameExport::frameTime(50, 51, 5.0), 5.0);
}

TEST_F(FrameExportTest, EachPictureIsTheFrameOnShowAsBlackInkOnTransparency) {
  const fs::path movie = squares("take.mov", 2.0);
  Collected c;
  RotoFrameExport walk;
  walk.start(movie, std::make_shared<GPUWhiteFilter>(), collectInto(c));
  ASSERT_TRUE(pumpUntilFinished(c));
  const double d = *media::movieDuration(movie);
  const int total = RotoFrameExport::frameCount(d);
  ASSERT_EQ(static_cast<int>(c.frames.size()), total);
  ASSERT_EQ(static_cast<int>(c.progress.size()), total);
  EXPECT_EQ(c.progress.front(), std::make_pair(0, total));
  EXPECT_EQ(c.progress.back(), std::make_pair(total - 1, total));
  for (int i = 0; i < total; ++i) {
    SCOPED_TRACE(i);
    const auto& [index, frame] = c.frames[static_cast<std::size_t>(i)];
    EXPECT_EQ(index, i);
    ASSERT_EQ(frame->pixelWidth(), 160);
    const roto_test::Ink ink = roto_test::inkOf(*frame);
    EXPECT_NEAR(ink.count, 256, 40);  // the square, nothing of the white paper
    // The frame on show at i x d / n: the last one starting at or before it.
    const int shown = static_cast<int>(std::floor(RotoFrameExport::frameTime(i, total, d) * 30 + 1e-6));
    EXPECT_NEAR(ink.x, (shown * 2) % (160 - 16) + 7.5, 1.0);
    EXPECT_NEAR(ink.y, 15.5, 1.0);
    EXPECT_EQ(frame->pixel(100, 100)[3], 0);
  }
}

TEST_F(FrameExportTest, PicturesOfATurnedMovieComeOutUpright) {
  const fs::path flat = squares("flat.mov", 0.4);
  for (int degrees : {90, 180, 270}) {
    SCOPED_TRACE(degrees);
    const fs::path turned = root() / ("turned" + std::to_string(degrees) + ".mov");
    ASSERT_TRUE(remuxWithTurn(flat, turned, degrees));
    Collected c;
    RotoFrameExport walk;
    walk.start(turned, std::make_shared<GPUWhiteFilter>(), collectInto(c));
    ASSERT_TRUE(pumpUntilFinished(c));
    ASSERT_FALSE(c.frames.empty());
    const gfx::Image& f = *c.frames.front().second;
    const roto_test::Ink ink = roto_test::inkOf(f);
    // The square sits at (7.5, 15.5) of the 160 x 120 stored picture.
    if (degrees == 90) {  // turned clockwise: the top edge becomes the right edge
      EXPECT_EQ(f.pixelWidth(), 120);
      EXPECT_NEAR(ink.x, 119 - 15.5, 1.0);
      EXPECT_NEAR(ink.y, 7.5, 1.0);
    } else if (degrees == 180) {
      EXPECT_EQ(f.pixelWidth(), 160);
      EXPECT_NEAR(ink.x, 159 - 7.5, 1.0);
      EXPECT_NEAR(ink.y, 119 - 15.5, 1.0);
    } else {
      EXPECT_EQ(f.pixelWidth(), 120);
      EXPECT_NEAR(ink.x, 15.5, 1.0);
      EXPECT_NEAR(ink.y, 159 - 7.5, 1.0);
    }
  }
}

TEST_F(FrameExportTest, CancelledWalkHandsNothingOnAfterwardsAndNeverFinishes) {
  const fs::path movie = squares("long.mov", 6.0);
  Collected c;
  std::atomic<int> delivered{0};
  auto cb = collectInto(c);
  auto inner = cb.frame;
  cb.frame = [&, inner](const std::shared_ptr<const gfx::Image>& f, int i) {
    inner(f, i);
    ++delivered;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));  // a model write in progress
  };
  {
    RotoFrameExport walk;
    walk.start(movie, std::make_shared<GPUWhiteFilter>(), cb);
    while (delivered.load() < 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    walk.cancel();
  }
  const int atCancel = delivered.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  fd::RunLoop::main().runUntilIdle();
  EXPECT_EQ(delivered.load(), atCancel);
  EXPECT_LT(atCancel, RotoFrameExport::frameCount(6.0));
  EXPECT_FALSE(c.finished);
}

TEST_F(FrameExportTest, UnreadableMovieEndsTheWalkWithoutPictures) {
  Collected c;
  RotoFrameExport walk;
  walk.start(root() / "missing.mov", std::make_shared<GPUWhiteFilter>(), collectInto(c));
  ASSERT_TRUE(pumpUntilFinished(c));
  EXPECT_TRUE(c.frames.empty());
}

TEST(ImageExtensions, ProportionalScalingsFitOrCoverAndCentre) {
  EXPECT_EQ(roto::proportionalRect({200, 100}, {100, 100}, false), (gfx::Rect{0, 25, 100, 50}));
  EXPECT_EQ(roto::proportionalRect({200, 100}, {100, 100}, true), (gfx::Rect{-50, 0, 200, 100}));
  EXPECT_EQ(roto::proportionalRect({100, 200}, {100, 100}, false), (gfx::Rect{25, 0, 50, 100}));
  EXPECT_EQ(roto::proportionalRect({50, 50}, {50, 50}, true), (gfx::Rect{0, 0, 50, 50}));
  gfx::Image wide(200, 100);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x) {
      std::uint8_t* p = wide.pixel(x, y);
      p[0] = x < 100 ? 255 : 0;
      p[2] = x < 100 ? 0 : 255;
      p[3] = 255;
    }
  const gfx::Image fit = roto::imageByScalingProportionallyToSize(wide, {100, 100});
  EXPECT_EQ(fit.pixel(50, 10)[3], 0);  // above the fitted picture
  EXPECT_EQ(fit.pixel(20, 50)[0], 255);
  const gfx::Image fill = roto::imageByScalingProportionallyToMinimumSize(wide, {100, 100});
  EXPECT_EQ(fill.pixel(5, 5)[0], 255);
  EXPECT_EQ(fill.pixel(95, 95)[2], 255);
  const gfx::Image stretched = roto::imageByScalingToSize(wide, {40, 120});
  EXPECT_EQ(stretched.pixelWidth(), 40);
  EXPECT_EQ(stretched.pixelHeight(), 120);
  const gfx::Image quarter = roto::imageRotatedByDegrees(wide, 90);
  EXPECT_EQ(quarter.pixelWidth(), 100);
  EXPECT_EQ(quarter.pixelHeight(), 200);
  EXPECT_EQ(quarter.pixel(50, 20)[0], 255);  // the left half turns to the top
  EXPECT_EQ(roto::imageAtRect(wide, {90, 0, 20, 10}).pixelWidth(), 20);
}

}  // namespace
