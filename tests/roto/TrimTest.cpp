// Trims and joins by packet copy: lengths within a key-frame interval, the
// pictures of the asked stretch, every crop reported, the trim file rotation.
#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <mutex>

#include "platform/foundation/Paths.h"
#include "platform/media/MovieReader.h"
#include "platform/media/StreamCopy.h"
#include "roto/QTSystemAVCodec.h"
#include "roto/RotoTestSupport.h"
#include "support/Sandbox.h"

namespace {

namespace fs = std::filesystem;
using roto::QTSystemAVCodec;
using roto_test::MoviePlan;

struct Reports : roto::QTSystemAVCodecDelegate {
  std::mutex m;
  std::vector<std::string> cropped, cropFailed, combined, combineFailed;
  void qtSystemAVCodecDidCropAVFileAndSaved(QTSystemAVCodec*, const std::string& p) override {
    std::lock_guard<std::mutex> l(m);
    cropped.push_back(p);
  }
  void qtSystemAVCodecFailedCropAVFile(QTSystemAVCodec*, const std::string& e) override {
    std::lock_guard<std::mutex> l(m);
    cropFailed.push_back(e);
  }
  void qtSystemAVCodecDidCombineAVFilesAndSaved(QTSystemAVCodec*, const std::string& p) override {
    std::lock_guard<std::mutex> l(m);
    combined.push_back(p);
  }
  void qtSystemAVCodecFailedCombineAVFiles(QTSystemAVCodec*, const std::string& e) override {
    std::lock_guard<std::mutex> l(m);
    combineFailed.push_back(e);
  }
  std::size_t total() {
    std::lock_guard<std::mutex> l(m);
    return cropped.size() + cropFailed.size() + combined.size() + combineFailed.size();
  }
};

// Every picture of a movie, in play order.
std::vector<media::VideoSample> framesOf(const fs::path& file) {
  std::vector<media::VideoSample> out;
  auto r = media::MovieReader::open(file);
  if (!r) return out;
  while (auto f = (*r)->nextVideoFrame()) out.push_back(std::move(*f));
  return out;
}

bool samePixels(const media::VideoSample& a, const media::VideoSample& b) {
  return a.pixels && b.pixels && a.pixels->data == b.pixels->data;
}

// Where `part` appears in `whole` as an unbroken run of identical pictures
// (packets copied decode to the very same pixels); -1 when it does not.
int runStart(const std::vector<media::VideoSample>& whole, const std::vector<media::VideoSample>& part,
             std::size_t partFrom, std::size_t count) {
  for (std::size_t i = 0; i + count <= whole.size(); ++i) {
    bool all = true;
    for (std::size_t k = 0; k < count && all; ++k) all = samePixels(whole[i + k], part[partFrom + k]);
    if (all) return static_cast<int>(i);
  }
  return -1;
}

double durationOf(const fs::path& file) {
  auto d = media::movieDuration(file);
  return d ? *d : -1;
}

class TrimTest : public testing_support::SandboxTest {
 protected:
  fs::path movie(const std::string& name, MoviePlan plan) {
    const fs::path p = root() / name;
    auto s = roto_test::writeTestMovie(p, plan);
    EXPECT_TRUE(s.ok()) << s.error();
    return p;
  }
  static CMTime at(double s) { return CMTimeMake(static_cast<std::int64_t>(s * 10000), 10000); }
};

TEST_F(TrimTest, CropStartsAtTheFirstHandleToTheFrameAndReplacesAnEarlierFile) {
  MoviePlan plan;
  plan.seconds = 10;
  plan.keyFrameInterval = 15;  // half a second
  const fs::path src = movie("take.mov", plan);
  const fs::path out = root() / "cut.mp4";
  { std::ofstream(out) << "an earlier trim"; }
  Reports reports;
  QTSystemAVCodec codec(src);
  codec.setDelegate(&reports);
  codec.cropAVFile(at(1.2), at(3.5), out);
  codec.wait();
  ASSERT_EQ(reports.cropped.size(), 1u) << (reports.cropFailed.empty() ? "" : reports.cropFailed[0]);
  EXPECT_EQ(reports.cropped[0], out.string());
  EXPECT_NEAR(codec.avDuration(), 10.0, 0.05);
  EXPECT_NEAR(durationOf(out), 2.3, 0.04);
  // The pictures of 1.2 s (frame 36) to the last before 3.5 s (frame 104),
  // at times from 0: the ones before the key frame at 1.5 s encoded again, the
  // ones from it on the source's very packets.
  const auto source = framesOf(src), cut = framesOf(out);
  ASSERT_EQ(cut.size(), 69u);
  for (std::size_t i = 0; i < cut.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_NEAR(CMTimeGetSeconds(cut[i].presentationTime), i / 30.0, 0.002);
    EXPECT_NEAR(roto_test::meanChannel(*cut[i].pixels, 0), roto_test::meanChannel(*source[36 + i].pixels, 0), 0.5);
  }
  EXPECT_EQ(runStart(source, cut, 9, cut.size() - 9), 45);
  auto reader = media::MovieReader::open(out);
  ASSERT_TRUE(reader.ok());
  EXPECT_TRUE((*reader)->hasAudio());
  EXPECT_EQ((*reader)->width(), plan.width);
  EXPECT_FALSE(fs::exists(root() / ".cut.mp4.partial"));
}

TEST_F(TrimTest, AnotherProgramReadsTheCutAsItsOwnReaderDoes) {
  if (std::system("command -v ffprobe >/dev/null 2>&1 && command -v ffmpeg >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "ffmpeg is not installed";
  MoviePlan plan;
  plan.seconds = 4;
  plan.keyFrameInterval = 45;  // a key frame every 1.5 s
  const fs::path src = movie("take.mov", plan);
  const fs::path out = root() / "cut.mov";
  ASSERT_TRUE(media::copyMovieRange(src, {0.5, 3.5}, out).ok());
  // Every picture decodes without a complaint, the first at 0, ninety in all.
  const std::string log = (root() / "decode.log").string();
  ASSERT_EQ(std::system(("ffmpeg -v error -i '" + out.string() + "' -f null - 2>'" + log + "'").c_str()), 0);
  EXPECT_EQ(fs::file_size(log), 0u);
  const std::string probe = (root() / "probe.txt").string();
  ASSERT_EQ(std::system(("ffprobe -v error -select_streams v -count_frames -show_entries "
                         "stream=nb_read_frames:frame=pts_time -of csv=p=0 '" + out.string() + "' >'" + probe + "'")
                            .c_str()),
            0);
  std::ifstream in(probe);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  ASSERT_FALSE(lines.empty());
  EXPECT_NEAR(std::stod(lines.front()), 0.0, 1e-6);
  EXPECT_EQ(std::stoi(lines.back()), 90);
  EXPECT_EQ(framesOf(out).size(), 90u);
}

TEST_F(TrimTest, CropEndsPastTheMovieAreCutAtItsEndsAndImpossibleCropsAreReported) {
  MoviePlan plan;
  plan.seconds = 3;
  plan.keyFrameInterval = 30;
  const fs::path src = movie("take.mov", plan);
  Reports reports;
  {
    QTSystemAVCodec codec(src);
    codec.setDelegate(&reports);
    codec.cropAVFile(at(1.0), at(3.6), root() / "a.mp4");  // the handle dragged past the end
    codec.wait();
    ASSERT_EQ(reports.cropped.size(), 1u);
    // Up to the movie's own end (its sound runs a little past the last picture).
    EXPECT_NEAR(durationOf(root() / "a.mp4"), durationOf(src) - 1.0, 0.03);
    EXPECT_EQ(framesOf(root() / "a.mp4").size(), 60u);
    // The first handle dragged off the left end: the same, from the movie's start.
    codec.cropAVFile(at(-0.5), at(2.0), root() / "z.mp4");
    codec.wait();
    ASSERT_EQ(reports.cropped.size(), 2u) << (reports.cropFailed.empty() ? "" : reports.cropFailed[0]);
    EXPECT_EQ(framesOf(root() / "z.mp4").size(), 60u);
    EXPECT_NEAR(durationOf(root() / "z.mp4"), 2.0, 0.03);
    codec.cropAVFile(at(2.0), at(1.0), root() / "b.mp4");
    codec.wait();
    codec.cropAVFile(at(4.0), at(5.0), root() / "c.mp4");  // wholly past the end
  }  // the codec waits for its work before it goes
  EXPECT_EQ(reports.cropFailed.size(), 2u);
  EXPECT_FALSE(fs::exists(root() / "b.mp4"));
  EXPECT_FALSE(fs::exists(root() / "c.mp4"));

  QTSystemAVCodec missing(root() / "none.mov");
  missing.setDelegate(&reports);
  missing.cropAVFile(at(0), at(1), root() / "d.mp4");
  missing.wait();
  EXPECT_EQ(reports.cropFailed.size(), 3u);
  EXPECT_EQ(reports.total(), 5u);  // every crop reported exactly once
}

TEST_F(TrimTest, TimedCombineJoinsTheStretchesOneAfterAnother) {
  MoviePlan one;
  one.seconds = 3;
  one.keyFrameInterval = 30;
  one.mark = 40;
  MoviePlan two = one;
  two.seconds = 5;
  two.mark = 200;
  const fs::path a = movie("one.mov", one), b = movie("two.mov", two);
  Reports reports;
  QTSystemAVCodec codec(a);
  codec.setDelegate(&reports);
  const fs::path out = root() / "joined.mov";
  codec.combineAVFiles(std::vector<fs::path>{a, b},
                       std::vector<roto::SystemAVCodecDuration>{{at(0), at(2)}, {at(1), at(4)}}, out);
  codec.wait();
  ASSERT_EQ(reports.combined.size(), 1u) << (reports.combineFailed.empty() ? "" : reports.combineFailed[0]);
  const auto joined = framesOf(out), first = framesOf(a), second = framesOf(b);
  ASSERT_EQ(joined.size(), 60u + 90u);
  EXPECT_EQ(runStart(joined, first, 0, 60), 0);
  EXPECT_EQ(runStart(joined, second, 30, 90), 60);  // the second file's 1.0 s at 2.0 s
  EXPECT_NEAR(CMTimeGetSeconds(joined[60].presentationTime), 2.0, 0.002);
  EXPECT_NEAR(CMTimeGetSeconds(joined.back().presentationTime), 5.0 - 1 / 30.0, 0.002);
}

TEST_F(TrimTest, TimedCombineNeedsOneStretchPerFileAndAtLeastTwoFiles) {
  MoviePlan plan;
  plan.seconds = 2;
  const fs::path a = movie("a.mov", plan), b = movie("b.mov", plan);
  Reports reports;
  QTSystemAVCodec codec(a);
  codec.setDelegate(&reports);
  const fs::path out = root() / "j.mov";
  codec.combineAVFiles(std::vector<fs::path>{a, b}, std::vector<roto::SystemAVCodecDuration>{{at(0), at(1)}}, out);
  codec.wait();
  EXPECT_EQ(reports.combineFailed.size(), 1u);
  // One file, or a stretch past a file's end: nothing starts, nothing is reported.
  codec.combineAVFiles(std::vector<fs::path>{a}, std::vector<roto::SystemAVCodecDuration>{{at(0), at(1)}}, out);
  codec.combineAVFiles(std::vector<fs::path>{a, b},
                       std::vector<roto::SystemAVCodecDuration>{{at(0), at(1)}, {at(0), at(2.5)}}, out);
  codec.wait();
  EXPECT_EQ(reports.total(), 1u);
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(TrimTest, RangeCombineWithoutRangesJoinsWholeFilesAndRefusesMismatchedFormats) {
  MoviePlan plan;
  plan.seconds = 2;
  plan.keyFrameInterval = 30;
  const fs::path a = movie("a.mov", plan);
  plan.seconds = 1.5;
  const fs::path b = movie("b.mov", plan);
  MoviePlan other = plan;
  other.width = 96;
  other.height = 64;
  const fs::path c = movie("c.mov", other);
  Reports reports;
  QTSystemAVCodec codec(a);
  codec.setDelegate(&reports);
  codec.combineAVFiles(std::vector<fs::path>{a, b}, std::nullopt, root() / "ab.mov");
  codec.wait();
  ASSERT_EQ(reports.combined.size(), 1u);
  EXPECT_EQ(framesOf(root() / "ab.mov").size(), 60u + 45u);
  codec.combineAVFiles(std::vector<fs::path>{a, c}, std::nullopt, root() / "ac.mov");
  codec.wait();
  EXPECT_EQ(reports.combineFailed.size(), 1u);
  EXPECT_FALSE(fs::exists(root() / "ac.mov"));
}

class TrimFilesTest : public testing_support::SandboxTest {
 protected:
  fs::path file(char c) { return fd::paths::documents() / "temp" / (std::string("clipkeep_temp_file_") + c + ".mp4"); }
  void touch(char c) {
    fs::create_directories(file(c).parent_path());
    std::ofstream(file(c)) << c;
  }
  std::string present() {
    std::string s;
    for (char c : {'A', 'B', 'C'})
      if (fs::exists(file(c))) s += c;
    return s;
  }
};

TEST_F(TrimFilesTest, EachExistingSetChoosesTheNextNameAndDropsTheOlderFile) {
  struct Case {
    const char* before;
    char chosen;
    const char* after;
  };
  const Case cases[] = {{"", 'A', ""},     {"A", 'B', "A"},  {"B", 'C', "B"},  {"C", 'A', "C"},
                        {"AB", 'C', "B"},  {"ABC", 'C', "BC"}, {"BC", 'A', "C"}, {"AC", 'B', "A"}};
  for (const Case& c : cases) {
    fs::remove_all(fd::paths::documents() / "temp");
    for (const char* p = c.before; *p; ++p) touch(*p);
    roto::FilmTrimerFileManager m;
    EXPECT_EQ(m.savePath(), file(c.chosen)) << c.before;
    EXPECT_EQ(present(), c.after) << c.before;
  }
}

TEST_F(TrimFilesTest, RepeatedTrimsNeverLeaveMoreThanTwoFiles) {
  std::string last;
  for (int i = 0; i < 7; ++i) {
    roto::FilmTrimerFileManager m;
    const char name = m.savePath().filename().string()[std::string("clipkeep_temp_file_").size()];
    fs::remove(m.savePath());  // the crop replaces what is there
    touch(name);
    EXPECT_LE(present().size(), 2u);
    EXPECT_NE(std::string(1, name), last);
    if (!last.empty()) {
      EXPECT_NE(present().find(last[0]), std::string::npos);  // the replayed movie stays
    }
    last = std::string(1, name);
  }
  EXPECT_FALSE(roto::FilmTrimerFileManager().isFileExist(3));
}

TEST_F(TrimFilesTest, RecordingPathIsInItsOwnDocumentsFolder) {
  const fs::path p = roto::VTRotoscopingFileManager::recordSaveFilePath();
  EXPECT_EQ(p, fd::paths::documents() / "Rotoscoping" / "rotoscoping_temp.mp4");
  EXPECT_TRUE(fs::is_directory(p.parent_path()));
}

}  // namespace
