#pragma once
// Cuts a stretch out of a movie, or joins several, on a worker thread, copying
// packets (only the pictures before a stretch's first key frame are encoded
// again, so a stretch starts where it was asked to); results reach the
// delegate on that thread. Every crop ends in exactly one report, so a caller
// behind a waiting screen is never left waiting.
#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/media/MediaTime.h"

namespace roto {

class QTSystemAVCodec;

class QTSystemAVCodecDelegate {
 public:
  virtual ~QTSystemAVCodecDelegate() = default;
  virtual void qtSystemAVCodecDidCropAVFileAndSaved(QTSystemAVCodec*, const std::string& /*path*/) {}
  virtual void qtSystemAVCodecFailedCropAVFile(QTSystemAVCodec*, const std::string& /*error*/) {}
  virtual void qtSystemAVCodecDidCombineAVFilesAndSaved(QTSystemAVCodec*, const std::string& /*path*/) {}
  virtual void qtSystemAVCodecFailedCombineAVFiles(QTSystemAVCodec*, const std::string& /*error*/) {}
};

struct SystemAVCodecDuration {
  CMTime start;
  CMTime end;
};

// A stretch of a range combine: start and length.
struct CMTimeRange {
  CMTime start;
  CMTime duration;
};

class QTSystemAVCodec {
 public:
  explicit QTSystemAVCodec(std::filesystem::path source);
  // Waits for the work in flight (unless called from its own report).
  ~QTSystemAVCodec();
  QTSystemAVCodec(const QTSystemAVCodec&) = delete;
  QTSystemAVCodec& operator=(const QTSystemAVCodec&) = delete;

  // May be cleared while work is in flight: no report reaches it afterwards.
  void setDelegate(QTSystemAVCodecDelegate* d) { delegate_ = d; }
  const std::filesystem::path& srcFileURL() const { return source_; }

  // A start before 0 is cut at 0 and an end past the movie's length at the
  // length; a start at or after the end, or a source that cannot be read, is
  // reported as a failed crop.
  void cropAVFile(CMTime start, CMTime end, const std::filesystem::path& savePath);

  // Each file's own stretch, one after another. Fewer than two files, or a
  // stretch outside its file, starts nothing and reports nothing; times that
  // are not one per file are reported as a failed combine.
  void combineAVFiles(const std::vector<std::filesystem::path>& files,
                      const std::vector<SystemAVCodecDuration>& times, const std::filesystem::path& savePath);
  // The files' stretches, or the whole files when there are no ranges.
  void combineAVFiles(const std::vector<std::filesystem::path>& files,
                      const std::optional<std::vector<CMTimeRange>>& ranges, const std::filesystem::path& savePath);

  // Seconds of the movie the crop in progress opened (0 before a crop).
  double avDuration() const;

  // Waits until the work in flight has reported.
  void wait();

 private:
  void run(std::function<void()> work);
  // An empty error is success.
  void reportCombine(const std::string& error, const std::filesystem::path& savePath);
  std::filesystem::path source_;
  std::atomic<QTSystemAVCodecDelegate*> delegate_{nullptr};
  mutable std::mutex m_;
  double duration_ = 0;
  std::thread worker_;
};

// Names the output of each trim so the three names rotate and at most two
// trim results remain: the one being replayed and the new one.
class FilmTrimerFileManager {
 public:
  FilmTrimerFileManager();
  const std::filesystem::path& savePath() const { return savePath_; }

  static std::filesystem::path folder();  // Documents/temp
  static void createDocument();
  bool isFileExist(int index) const;
  void removeFile(int index);

 private:
  void availableFile();
  std::filesystem::path savePath_;
};

class VTRotoscopingFileManager {
 public:
  // Documents/Rotoscoping/rotoscoping_temp.mp4, its folder made when missing.
  static std::filesystem::path recordSaveFilePath();
};

}  // namespace roto
