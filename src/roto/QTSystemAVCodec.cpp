#include "roto/QTSystemAVCodec.h"

#include <array>
#include <functional>
#include <system_error>

#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/media/StreamCopy.h"

namespace roto {

namespace fs = std::filesystem;

namespace {
// After the time comparison of movies: a later than b.
bool after(CMTime a, CMTime b) { return CMTimeGetSeconds(a) > CMTimeGetSeconds(b); }
}  // namespace

QTSystemAVCodec::QTSystemAVCodec(fs::path source) : source_(std::move(source)) {}

QTSystemAVCodec::~QTSystemAVCodec() {
  if (!worker_.joinable()) return;
  if (worker_.get_id() == std::this_thread::get_id())
    worker_.detach();  // released from its own report: the thread ends right after
  else
    worker_.join();
}

void QTSystemAVCodec::wait() {
  if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id()) worker_.join();
}

void QTSystemAVCodec::run(std::function<void()> work) {
  wait();  // one crop or combine at a time
  worker_ = std::thread(std::move(work));
}

double QTSystemAVCodec::avDuration() const {
  std::lock_guard<std::mutex> lock(m_);
  return duration_;
}

void QTSystemAVCodec::cropAVFile(CMTime start, CMTime end, const fs::path& savePath) {
  run([this, start, end, savePath] {
    auto fail = [&](const std::string& why) {
      fd::Log("Failed! %s", why.c_str());
      if (auto* d = delegate_.load()) d->qtSystemAVCodecFailedCropAVFile(this, why);
    };
    auto duration = media::movieDuration(source_);
    if (!duration) return fail(duration.error());
    {
      std::lock_guard<std::mutex> lock(m_);
      duration_ = *duration;
    }
    // A handle dragged off either end of the timeline asks for more than
    // there is: both ends are cut at the movie's.
    const double from = std::max(CMTimeGetSeconds(start), 0.0);
    const double to = std::min(CMTimeGetSeconds(end), *duration);
    if (!(from < to)) return fail("the stretch to trim is empty");
    std::error_code ec;
    fs::remove(savePath, ec);
    if (auto s = media::copyMovieRange(source_, {from, to}, savePath); !s) return fail(s.error());
    if (auto* d = delegate_.load()) d->qtSystemAVCodecDidCropAVFileAndSaved(this, savePath.string());
  });
}

void QTSystemAVCodec::combineAVFiles(const std::vector<fs::path>& files,
                                     const std::vector<SystemAVCodecDuration>& times, const fs::path& savePath) {
  if (files.size() < 2) return;
  if (times.size() != files.size()) {
    // Reading one time per file past the end of the list would read garbage.
    run([this, n = files.size(), m = times.size(), savePath] {
      reportCombine("the combine has " + std::to_string(m) + " stretches for " + std::to_string(n) + " files",
                    savePath);
    });
    return;
  }
  std::vector<media::JoinPart> parts;
  for (std::size_t i = 0; i < files.size(); ++i) {
    auto d = media::movieDuration(files[i]);
    if (!d) return;
    if (after(times[i].start, times[i].end) || CMTimeGetSeconds(times[i].end) > *d) return;
    parts.push_back({files[i], media::CopyRange{CMTimeGetSeconds(times[i].start), CMTimeGetSeconds(times[i].end)}});
  }
  run([this, parts = std::move(parts), savePath] {
    std::error_code ec;
    fs::remove(savePath, ec);
    reportCombine(media::joinMovies(parts, savePath).error(), savePath);
  });
}

void QTSystemAVCodec::combineAVFiles(const std::vector<fs::path>& files,
                                     const std::optional<std::vector<CMTimeRange>>& ranges,
                                     const fs::path& savePath) {
  std::vector<media::JoinPart> parts;
  for (std::size_t i = 0; i < files.size(); ++i) {
    media::JoinPart p{files[i], std::nullopt};
    if (ranges && i < ranges->size()) {
      const double s = CMTimeGetSeconds((*ranges)[i].start);
      p.range = media::CopyRange{s, s + CMTimeGetSeconds((*ranges)[i].duration)};
    }
    parts.push_back(std::move(p));
  }
  const bool countsMatch = !ranges || ranges->size() == files.size();
  run([this, parts = std::move(parts), savePath, countsMatch] {
    std::error_code ec;
    fs::remove(savePath, ec);
    reportCombine(countsMatch ? media::joinMovies(parts, savePath).error()
                              : std::string("the combine's stretches are not one per file"),
                  savePath);
  });
}

void QTSystemAVCodec::reportCombine(const std::string& error, const fs::path& savePath) {
  if (!error.empty()) {
    fd::Log("Failed! %s", error.c_str());
    if (auto* d = delegate_.load()) d->qtSystemAVCodecFailedCombineAVFiles(this, error);
    return;
  }
  fd::Log("Completed!");
  if (auto* d = delegate_.load()) d->qtSystemAVCodecDidCombineAVFilesAndSaved(this, savePath.string());
}

// --- trim files

namespace {
constexpr std::array<const char*, 3> kTrimFiles{"clipkeep_temp_file_A.mp4", "clipkeep_temp_file_B.mp4",
                                                "clipkeep_temp_file_C.mp4"};

// Which files exist (A, B, C; -1 any) -> the name to write and the one to drop.
struct Rotation {
  int a, b, c;
  int save;
  int drop;
};
constexpr std::array<Rotation, 7> kRotation{{
    {0, 0, 0, 0, -1},
    {1, 0, 0, 1, -1},
    {0, 1, 0, 2, -1},
    {0, 0, 1, 0, -1},
    {1, 1, -1, 2, 0},
    {0, 1, 1, 0, 1},
    {1, 0, 1, 1, 2},
}};
}  // namespace

fs::path FilmTrimerFileManager::folder() { return fd::paths::documents() / "temp"; }

void FilmTrimerFileManager::createDocument() {
  std::error_code ec;
  fs::create_directories(folder(), ec);
}

FilmTrimerFileManager::FilmTrimerFileManager() {
  createDocument();
  availableFile();
}

bool FilmTrimerFileManager::isFileExist(int index) const {
  if (index < 0 || index >= static_cast<int>(kTrimFiles.size())) return false;
  std::error_code ec;
  return fs::exists(folder() / kTrimFiles[static_cast<std::size_t>(index)], ec);
}

void FilmTrimerFileManager::removeFile(int index) {
  if (index < 0 || index >= static_cast<int>(kTrimFiles.size())) return;
  std::error_code ec;
  fs::remove(folder() / kTrimFiles[static_cast<std::size_t>(index)], ec);
}

void FilmTrimerFileManager::availableFile() {
  const int a = isFileExist(0), b = isFileExist(1), c = isFileExist(2);
  for (const Rotation& r : kRotation) {
    if (r.a != a || r.b != b || (r.c != -1 && r.c != c)) continue;
    savePath_ = folder() / kTrimFiles[static_cast<std::size_t>(r.save)];
    if (r.drop >= 0) removeFile(r.drop);
    return;
  }
}

fs::path VTRotoscopingFileManager::recordSaveFilePath() {
  const fs::path dir = fd::paths::documents() / "Rotoscoping";
  std::error_code ec;
  fs::create_directories(dir, ec);
  return dir / "rotoscoping_temp.mp4";
}

}  // namespace roto
