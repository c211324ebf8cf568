#include "platform/media/PcmFile.h"

#include <sndfile.h>

namespace media {

struct PcmFile::Handle {
  SNDFILE* file = nullptr;
  ~Handle() {
    if (file != nullptr) sf_close(file);
  }
};

PcmFile::~PcmFile() = default;

fd::Expected<std::unique_ptr<PcmFile>> PcmFile::open(const std::filesystem::path& path) {
  SF_INFO info{};
  auto handle = std::make_unique<Handle>();
  handle->file = sf_open(path.c_str(), SFM_READ, &info);
  if (handle->file == nullptr) return fd::fail("cannot read sound file " + path.filename().string() + ": " +
                                               sf_strerror(nullptr));
  if (info.samplerate <= 0 || info.channels <= 0 || info.channels > 8)
    return fd::fail(path.filename().string() + " is not a sound the program plays");
  std::unique_ptr<PcmFile> f(new PcmFile());
  f->handle_ = std::move(handle);
  f->frames_ = info.frames;
  StreamDescription& d = f->format_;
  d.sampleRate = info.samplerate;
  d.formatID = kLinearPCMFormat;
  d.formatFlags = kFormatFlagSignedInteger | kFormatFlagPacked;
  d.channelsPerFrame = static_cast<std::uint32_t>(info.channels);
  d.bitsPerChannel = 16;
  d.bytesPerFrame = 2 * d.channelsPerFrame;
  d.bytesPerPacket = d.bytesPerFrame;
  d.framesPerPacket = 1;
  return f;
}

double PcmFile::estimatedDuration() const {
  return format_.sampleRate > 0 ? static_cast<double>(frames_) / format_.sampleRate : 0;
}

std::uint32_t PcmFile::readPackets(std::int64_t start, std::uint32_t count, void* out) {
  if (start < 0 || start >= frames_ || count == 0) return 0;
  if (sf_seek(handle_->file, start, SEEK_SET) < 0) return 0;
  const sf_count_t got = sf_readf_short(handle_->file, static_cast<short*>(out), count);
  return got > 0 ? static_cast<std::uint32_t>(got) : 0;
}

}  // namespace media
