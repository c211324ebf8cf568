#include "platform/media/Recorder.h"

#include <fcntl.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"
#include "platform/media/AudioFile.h"

namespace media {

namespace {

using Clock = std::chrono::steady_clock;

// Captured sound goes to the writer this often: what a kill can lose
// includes up to this.
constexpr double kDrainInterval = 0.01;
// Writes end on page boundaries: a file system that charges for each page it
// is handed (a user-space mount) is charged once for each, not again for a
// page finished by the next write.
constexpr std::uint64_t kPage = 4096;
// The most one write takes. While the writer is behind it takes all that
// waits, up to this, so the header is rewritten less often.
constexpr std::size_t kLargestBlock = kRecordingSampleRate / 2;
// How far the file may fall behind the microphone while its writes go slower
// than the sound comes: a stall of a second is ridden out, storage that
// cannot keep up ends the recording at what it holds rather than gather the
// sound in memory for a Stop to wait on. (A backlog the main loop left by
// being held itself goes out at the storage's speed.)
constexpr std::size_t kMostBehind = kRecordingSampleRate * 2;
// On a virtual clock the main loop waits (in real time, at most this) for the
// writer to do what it can before the clock moves on, and a write that takes
// time waits for the clock. A clock standing still for kClockStandstill means
// the main thread is held, waiting on this very writer, say: the write's
// time passes all the same, as it would on a real clock.
constexpr double kStepWait = 10;
constexpr double kClockStandstill = 3;

std::mutex& hookMutex() {
  // Never destroyed: a recording may be written while the process ends.
  static auto* m = new std::mutex;
  return *m;
}

std::shared_ptr<const RecordingWriteHook>& hookSlot() {
  static auto* slot = new std::shared_ptr<const RecordingWriteHook>;
  return *slot;
}

RecordingWrite askHook(const std::filesystem::path& file, std::size_t bytes) {
  std::shared_ptr<const RecordingWriteHook> hook;
  {
    std::lock_guard lock(hookMutex());
    hook = hookSlot();
  }
  return hook && *hook ? (*hook)(file, bytes) : RecordingWrite{};
}

std::optional<int> containerFor(const std::filesystem::path& file) {
  std::string ext = file.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  if (ext == ".caf") return SF_FORMAT_CAF;
  if (ext == ".wav") return SF_FORMAT_WAV;
  if (ext == ".aif" || ext == ".aiff") return SF_FORMAT_AIFF;
  return std::nullopt;
}

double seconds(std::size_t samples) { return static_cast<double>(samples) / kRecordingSampleRate; }

struct CloseSoundFile {
  void operator()(SNDFILE* f) const { sf_close(f); }
};

}  // namespace

// The file and what waits to go into it, shared by the recorder (main thread)
// and its writer thread; it outlives the recorder while the file is finished.
struct Recorder::Writer : std::enable_shared_from_this<Writer> {
  Writer(std::filesystem::path path, fd::files::UniqueFd fd, int container)
      : file(std::move(path)), fd(std::move(fd)), container(container) {}

  const std::filesystem::path file;
  const fd::files::UniqueFd fd;
  const int container;
  // The writer thread's alone.
  std::unique_ptr<SNDFILE, CloseSoundFile> sf;
  std::uint64_t dataStart = 0;

  std::mutex m;
  std::condition_variable work;      // to the writer: samples, a flush, the end
  std::condition_variable progress;  // from the writer: where it stands
  // Guarded by m.
  std::vector<std::int16_t> pending;  // captured, not yet taken by the writer
  bool flush = false;      // the next write takes what waits, pages or not (a pause)
  bool closing = false;    // nothing more comes: write the rest and close
  bool abandoned = false;  // the program ends: no more writes
  bool ownerGone = false;  // nobody keeps the clock for it any more
  bool waiting = false;    // for something to do
  double busyUntil = -1;   // on the main loop's clock, a write that takes time
  // The block under way (from the start: the file's opening), and whether
  // the last one took longer than its sound lasts.
  double blockBegan = -1;
  std::size_t blockSamples = 0;
  bool lastBlockSlow = false;
  bool done = false;
  RecordingOutcome::End end = RecordingOutcome::End::Whole;
  std::string error;
  // Samples in the file, and those its header counts.
  std::atomic<std::size_t> written{0}, counted{0};
  // Main thread only.
  Recorder* owner = nullptr;

  // How many waiting samples the next write takes (under m): whole pages,
  // unless a flush or the end takes them all.
  std::size_t writable() const {
    if (pending.empty()) return 0;
    const std::size_t n = std::min(pending.size(), kLargestBlock);
    if (closing || flush) return n;
    const std::uint64_t end = dataStart + 2 * written.load();
    const std::uint64_t upTo = (end + 2 * n) / kPage * kPage;
    return upTo > end ? static_cast<std::size_t>((upTo - end) / 2) : 0;
  }
  bool due() const { return abandoned || closing || writable() > 0; }
  // The file has fallen too far behind and its writes go slower than the
  // sound comes (under m).
  bool tooFarBehind(double now) const {
    if (pending.size() <= kMostBehind) return false;
    return lastBlockSlow || (blockBegan >= 0 && now - blockBegan > seconds(blockSamples));
  }

  void run() {
    fd::RunLoop& loop = fd::RunLoop::main();
    {
      std::lock_guard lock(m);
      blockBegan = loop.now();
    }
    bool ok = open();
    std::unique_lock lock(m);
    blockBegan = -1;
    while (ok) {
      waiting = true;
      progress.notify_all();
      work.wait(lock, [&] { return due(); });
      waiting = false;
      if (abandoned) break;
      const std::size_t n = writable();
      if (n == 0) break;  // closing, and all is written
      std::vector<std::int16_t> block(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(n));
      pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(n));
      blockBegan = loop.now();
      blockSamples = n;
      lock.unlock();
      ok = writeBlock(block) && updateHeader();
      lock.lock();
      lastBlockSlow = loop.now() - blockBegan > seconds(n);
      blockBegan = -1;
      if (pending.empty()) flush = false;
    }
    pending.clear();
    const bool sync = !abandoned;
    lock.unlock();
    if (sf) {
      if (sync) sf_write_sync(sf.get());
      if (sf_close(sf.release()) != 0) failed(EIO, "the file could not be closed");
    }
    // Told under the lock: a main loop waiting for the writer to be done
    // finds the finish already posted.
    lock.lock();
    done = true;
    fd::RunLoop::main().post([self = shared_from_this()] { self->deliver(); });
    progress.notify_all();
  }

  bool open() {
    SF_INFO info{};
    info.samplerate = kRecordingSampleRate;
    info.channels = 1;
    info.format = container | SF_FORMAT_PCM_16;
    errno = 0;
    sf.reset(sf_open_fd(fd.get(), SFM_WRITE, &info, SF_FALSE));
    if (!sf) return failed(errno, sf_strerror(nullptr));
    const off_t at = ::lseek(fd.get(), 0, SEEK_CUR);
    dataStart = at > 0 ? static_cast<std::uint64_t>(at) : 0;
    return true;
  }

  bool writeBlock(const std::vector<std::int16_t>& block) {
    if (!takeTime(2 * block.size())) return false;
    errno = 0;
    const sf_count_t n = static_cast<sf_count_t>(block.size());
    const sf_count_t got = sf_write_short(sf.get(), block.data(), n);
    const int err = errno;
    if (got > 0) written += static_cast<std::size_t>(got);
    return got == n || failed(err, sf_strerror(sf.get()));
  }

  // The samples themselves are already with the system: a kill loses only
  // what came after the header written over in place.
  bool updateHeader() {
    const std::size_t now = written.load();
    if (counted.load() == now) return true;
    if (!takeTime(static_cast<std::size_t>(dataStart))) return false;
    errno = 0;
    sf_command(sf.get(), SFC_UPDATE_HEADER_NOW, nullptr, 0);
    if (sf_error(sf.get()) != SF_ERR_NO_ERROR) return failed(errno, sf_strerror(sf.get()));
    counted = now;
    return true;
  }

  // What a test says this write meets: a refusal, or time on the clock.
  bool takeTime(std::size_t bytes) {
    const RecordingWrite w = askHook(file, bytes);
    if (w.error != 0) return failed(w.error, std::strerror(w.error));
    if (w.seconds > 0) waitForClock(fd::RunLoop::main().now() + w.seconds);
    return true;
  }

  void waitForClock(double until) {
    fd::RunLoop& loop = fd::RunLoop::main();
    std::unique_lock lock(m);
    busyUntil = until;
    progress.notify_all();
    double seen = loop.now();
    Clock::time_point movedAt = Clock::now();
    while (!ownerGone && !abandoned) {
      const double now = loop.now();
      if (now >= until) break;
      if (now != seen) {
        seen = now;
        movedAt = Clock::now();
      } else if (std::chrono::duration<double>(Clock::now() - movedAt).count() > kClockStandstill) {
        loop.stall(until - now);
        break;
      }
      work.wait_for(lock, std::chrono::microseconds(200));
    }
    busyUntil = -1;
  }

  bool failed(int err, const std::string& words) {
    std::lock_guard lock(m);
    if (end != RecordingOutcome::End::Whole) return false;
    end = err == ENOSPC || err == EDQUOT ? RecordingOutcome::End::DiskFull : RecordingOutcome::End::WriteFailed;
    error = err != 0 ? std::strerror(err) : words;
    fd::Log("Recording into %s stopped after %.2f s: %s\n", file.c_str(), seconds(written.load()), error.c_str());
    return false;
  }

  // The writer has stopped for good: what is there to tell (under m).
  RecordingOutcome outcomeLocked() const {
    RecordingOutcome o;
    o.end = end;
    o.error = error;
    o.seconds = seconds(done ? written.load() : counted.load());
    if (!done && end == RecordingOutcome::End::Whole) o.end = RecordingOutcome::End::Unfinished;
    return o;
  }

  void deliver() {
    if (owner == nullptr) return;
    RecordingOutcome o;
    {
      std::lock_guard lock(m);
      o = outcomeLocked();
    }
    owner->finished(o);
  }

  // On a virtual clock: the main loop goes on once the writer has done all
  // it can at this time (main thread). Answers when the write under way
  // ends on the clock, or a negative number.
  double keepStep() {
    fd::RunLoop& loop = fd::RunLoop::main();
    if (!loop.usesVirtualClock()) return -1;
    std::unique_lock lock(m);
    progress.wait_for(lock, std::chrono::duration<double>(kStepWait),
                      [&] { return done || (waiting && !due()) || busyUntil > loop.now(); });
    return busyUntil;
  }
};

fd::Expected<std::unique_ptr<Recorder>> Recorder::prepare(const std::filesystem::path& file,
                                                          const RecordingSettings& settings) {
  if (settings.sampleRate != kRecordingSampleRate || settings.channels != 1)
    return fd::fail("recordings are 44100 Hz mono");
  const auto container = containerFor(file);
  if (!container) return fd::fail("no sound container for " + file.filename().string());
  auto capture = openCapture();
  if (!capture) return capture.failure();

  fd::files::UniqueFd out(::open(file.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (out.get() < 0) return fd::fail("cannot record into " + file.string() + ": " + std::strerror(errno));
  auto writer = std::make_shared<Writer>(file, std::move(out), *container);
  try {
    std::thread([writer] { writer->run(); }).detach();
  } catch (const std::system_error& e) {
    std::error_code ec;
    std::filesystem::remove(file, ec);
    return fd::fail(std::string("no thread can be started to write the recording (") + e.what() + ")");
  }
  std::unique_ptr<Recorder> r(new Recorder());
  writer->owner = r.get();
  r->writer_ = std::move(writer);
  r->capture_ = std::move(*capture);
  r->file_ = file;
  return r;
}

Recorder::~Recorder() {
  // Whoever set the handlers may be going away with the recorder.
  finish_ = nullptr;
  end_ = nullptr;
  if (!stopped_) stop();
  if (timer_) timer_->invalidate();
  fd::RunLoop::main().cancelPerforms(this);
  writer_->owner = nullptr;
  std::lock_guard lock(writer_->m);
  writer_->ownerGone = true;
  writer_->work.notify_all();
}

bool Recorder::record() {
  if (stopped_) return false;
  if (recording_) return true;
  recording_ = true;
  capture_->start();
  // Until the file is complete: on a virtual clock the drain keeps the loop
  // in step with the writer after a stop too.
  if (!timer_) timer_ = fd::RunLoop::main().scheduleTimer(kDrainInterval, true, [this] { drain(); });
  return true;
}

bool Recorder::recordForDuration(double seconds) {
  if (!(seconds > 0)) return false;
  limit_ = taken_ + static_cast<std::size_t>(std::llround(seconds * kRecordingSampleRate));
  return record();
}

void Recorder::pause() {
  if (!recording_) return;
  moveCaptured();
  recording_ = false;
  capture_->pause();
  {
    std::lock_guard lock(writer_->m);
    writer_->flush = !writer_->pending.empty();
    writer_->work.notify_all();
  }
  keepStep();
}

void Recorder::stop() {
  if (stopped_) return;
  if (recording_) moveCaptured();
  endRecording();
}

void Recorder::endRecording() {
  recording_ = false;
  stopped_ = true;
  capture_->pause();
  {
    std::lock_guard lock(writer_->m);
    writer_->closing = true;
    writer_->work.notify_all();
  }
  keepStep();
}

bool Recorder::waitUntilWritten(double seconds) {
  if (finished_) return true;
  if (!stopped_) stop();
  RecordingOutcome outcome;
  {
    std::unique_lock lock(writer_->m);
    if (!writer_->progress.wait_for(lock, std::chrono::duration<double>(std::max(seconds, 0.0)),
                                    [&] { return writer_->done; })) {
      writer_->abandoned = true;
      writer_->work.notify_all();
    }
    outcome = writer_->outcomeLocked();
  }
  finished(outcome);
  return outcome.end != RecordingOutcome::End::Unfinished;
}

void Recorder::finished(const RecordingOutcome& outcome) {
  if (finished_) return;
  if (timer_) timer_->invalidate();
  // A write refused while recording: the recording ends before it is told
  // finished, as when the loop's drain finds it first.
  if (!stopped_) {
    endRecording();
    if (end_) end_();
  }
  finished_ = true;
  taken_ = static_cast<std::size_t>(std::llround(outcome.seconds * kRecordingSampleRate));
  // The handler may let the recorder go.
  if (auto finish = std::move(finish_)) finish(outcome);
}

double Recorder::currentTime() const { return seconds(taken_); }

void Recorder::updateMeters() {
  meter_ = metering_ ? LevelMeter::measure(lastBlock_.data(), lastBlock_.size()) : LevelMeter{};
}

void Recorder::drain() {
  if (!recording_) return keepStep();
  moveCaptured();
  bool refused = false, tooFar = false;
  {
    std::lock_guard lock(writer_->m);
    refused = writer_->end != RecordingOutcome::End::Whole || writer_->done;
    tooFar = !refused && writer_->tooFarBehind(fd::RunLoop::main().now());
    if (tooFar) {
      // What waits is dropped now, before the writer takes more of it.
      writer_->end = RecordingOutcome::End::TooSlow;
      writer_->pending.clear();
    }
  }
  if (tooFar) fd::Log("Recording into %s stopped: the storage fell %.1f s behind\n", file_.c_str(), seconds(kMostBehind));
  if (refused || tooFar || (limit_ != 0 && taken_ >= limit_)) {
    endRecording();
    if (end_) end_();
    return;
  }
  keepStep();
}

void Recorder::keepStep() {
  // The clock stops again when the write under way ends, so the writer goes
  // on at that very time.
  const double until = writer_->keepStep();
  fd::RunLoop& loop = fd::RunLoop::main();
  if (until <= loop.now() || until == stepAt_) return;
  stepAt_ = until;
  loop.performAfterDelay(until - loop.now(), [this] { keepStep(); }, this);
}

void Recorder::moveCaptured() {
  std::size_t due = capture_->available();
  if (limit_ != 0) due = std::min(due, limit_ - std::min(limit_, taken_));
  if (due == 0) return;
  std::vector<float> block(due);
  const std::size_t n = capture_->read(block.data(), due);
  block.resize(n);
  std::vector<std::int16_t> shorts(n);
  // The same scale the reader uses (s / 32768), so a recording of 16-bit
  // input reads back sample for sample.
  std::transform(block.begin(), block.end(), shorts.begin(), pcm16);
  {
    std::lock_guard lock(writer_->m);
    writer_->pending.insert(writer_->pending.end(), shorts.begin(), shorts.end());
    writer_->work.notify_all();
  }
  taken_ += n;
  if (metering_) lastBlock_ = std::move(block);
}

void setRecordingWriteHookForTesting(RecordingWriteHook hook) {
  auto shared = hook ? std::make_shared<const RecordingWriteHook>(std::move(hook)) : nullptr;
  std::lock_guard lock(hookMutex());
  hookSlot() = std::move(shared);
}

}  // namespace media
