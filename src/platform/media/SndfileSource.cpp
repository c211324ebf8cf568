#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <vector>

#include "platform/foundation/FileUtil.h"
#include "platform/media/SoundSource.h"

namespace media::sound {

// The file as libsndfile is to see it: cut after its last whole frame, with
// the eight bytes of the sound chunk's size replaced.
struct SndfileReader::View {
  fd::files::UniqueFd fd;
  sf_count_t end = 0;
  sf_count_t at = 0;
  sf_count_t sizeAt = 0;
  std::array<unsigned char, 8> size{};

  static sf_count_t length(void* self) { return static_cast<View*>(self)->end; }
  static sf_count_t seek(sf_count_t offset, int whence, void* self) {
    auto& v = *static_cast<View*>(self);
    const sf_count_t base = whence == SEEK_CUR ? v.at : whence == SEEK_END ? v.end : 0;
    sf_count_t to = 0;
    if (__builtin_add_overflow(base, offset, &to) || to < 0) return -1;
    v.at = to;
    return v.at;
  }
  static sf_count_t read(void* out, sf_count_t count, void* self) {
    auto& v = *static_cast<View*>(self);
    const sf_count_t want = std::clamp<sf_count_t>(v.end - v.at, 0, count);
    sf_count_t got = 0;
    while (got < want) {
      const ssize_t n =
          ::pread(v.fd.get(), static_cast<char*>(out) + got, static_cast<std::size_t>(want - got), v.at + got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += n;
    }
    // The size field, wherever the read overlaps it.
    const sf_count_t from = std::max(v.at, v.sizeAt), to = std::min(v.at + got, v.sizeAt + 8);
    for (sf_count_t i = from; i < to; ++i)
      static_cast<unsigned char*>(out)[i - v.at] = v.size[static_cast<std::size_t>(i - v.sizeAt)];
    v.at += got;
    return got;
  }
  static sf_count_t write(const void*, sf_count_t, void*) { return 0; }
  static sf_count_t tell(void* self) { return static_cast<View*>(self)->at; }
};

SndfileReader::SndfileReader(SNDFILE* file, std::unique_ptr<View> view) : view_(std::move(view)), file_(file) {}

SndfileReader::~SndfileReader() {
  if (file_ != nullptr) sf_close(file_);
}

fd::Expected<std::unique_ptr<SndfileReader>> openSndfile(const std::filesystem::path& file, SF_INFO& info) {
  info = SF_INFO{};
  if (SNDFILE* plain = sf_open(file.c_str(), SFM_READ, &info))
    return std::make_unique<SndfileReader>(plain, nullptr);
  const std::string why = sf_strerror(nullptr);
  const auto openEnded = looksLikeCaf(file) ? openEndedCafSound(file) : std::nullopt;
  if (!openEnded) return fd::fail(why);
  auto view = std::make_unique<SndfileReader::View>();
  view->fd = fd::files::UniqueFd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (view->fd.get() < 0 || ::fstat(view->fd.get(), &st) != 0) return fd::fail(why);
  view->end = std::min<sf_count_t>(st.st_size, openEnded->sizeAt + 8 + openEnded->size);
  view->sizeAt = openEnded->sizeAt;
  for (int i = 0; i < 8; ++i)
    view->size[static_cast<std::size_t>(i)] = static_cast<unsigned char>(openEnded->size >> (56 - 8 * i));
  SF_VIRTUAL_IO io{&SndfileReader::View::length, &SndfileReader::View::seek, &SndfileReader::View::read,
                   &SndfileReader::View::write, &SndfileReader::View::tell};
  info = SF_INFO{};
  SNDFILE* viewed = sf_open_virtual(&io, SFM_READ, &info, view.get());
  if (viewed == nullptr) return fd::fail(why);
  return std::make_unique<SndfileReader>(viewed, std::move(view));
}

namespace {

constexpr sf_count_t kChunkFrames = 4096;

class SndfileSource : public SoundSource {
 public:
  SndfileSource(std::unique_ptr<SndfileReader> file, const SF_INFO& info) : file_(std::move(file)) {
    info_ = sourceInfoOf(info);
  }

  fd::Expected<std::size_t> readMono(float* out, std::size_t max) override {
    const auto channels = static_cast<int>(info_.channels);
    const sf_count_t want = std::min<sf_count_t>(kChunkFrames, static_cast<sf_count_t>(max));
    chunk_.resize(static_cast<std::size_t>(want * channels));
    const sf_count_t got = sf_readf_float(file_->get(), chunk_.data(), want);
    if (got <= 0) return std::size_t{0};
    for (sf_count_t i = 0; i < got; ++i) {
      double sum = 0;
      for (int c = 0; c < channels; ++c) sum += chunk_[static_cast<std::size_t>(i * channels + c)];
      out[i] = sampleOf(sum / channels);
    }
    return static_cast<std::size_t>(got);
  }

 private:
  std::unique_ptr<SndfileReader> file_;
  std::vector<float> chunk_;
};

}  // namespace

SourceInfo sourceInfoOf(const SF_INFO& info) {
  SourceInfo s;
  s.sampleRate = info.samplerate;
  s.channels = info.channels;
  // Formats that cannot tell their length in advance say SF_COUNT_MAX.
  if (info.frames >= 0 && info.frames != SF_COUNT_MAX && info.samplerate > 0)
    s.seconds = static_cast<double>(info.frames) / info.samplerate;
  return s;
}

fd::Expected<std::unique_ptr<SoundSource>> openSndfileSource(const std::filesystem::path& file) {
  SF_INFO info{};
  auto f = openSndfile(file, info);
  if (!f) return fd::fail(quotedName(file) + " cannot be read as sound: " + f.error());
  return std::unique_ptr<SoundSource>(std::make_unique<SndfileSource>(std::move(*f), info));
}

}  // namespace media::sound
