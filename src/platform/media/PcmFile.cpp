#include "platform/media/PcmFile.h"

#include <sndfile.h>

#include <vector>

#include "platform/media/AudioFile.h"
#include "platform/media/SoundSource.h"

namespace media {

struct PcmFile::Handle {
  std::unique_ptr<sound::SndfileReader> file;
  std::vector<float> scratch;
};

PcmFile::~PcmFile() = default;

fd::Expected<std::unique_ptr<PcmFile>> PcmFile::open(const std::filesystem::path& path) {
  SF_INFO info{};
  auto handle = std::make_unique<Handle>();
  auto file = sound::openSndfile(path, info);
  if (!file) {
    const std::string why = file.error();
    // A CAF file's own header tells, in the program's words, what keeps it
    // from being played: a channel count or rate out of the bounds, damage.
    if (sound::looksLikeCaf(path))
      if (auto header = sound::readCafHeader(path, kMaxSoundSeconds); !header) return header.failure();
    return fd::fail(sound::quotedName(path) + " cannot be read as sound: " + why);
  }
  if (fd::Status s = sound::checkSoundInfo(path, sound::sourceInfoOf(info), kMaxSoundSeconds); !s) return s.failure();
  handle->file = std::move(*file);
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
  if (sf_seek(handle_->file->get(), start, SEEK_SET) < 0) return 0;
  // Read as floats and converted here, so that samples of a float file that
  // are not numbers, or infinite, come out as silence.
  const auto channels = static_cast<std::size_t>(format_.channelsPerFrame);
  std::vector<float>& scratch = handle_->scratch;
  scratch.resize(static_cast<std::size_t>(count) * channels);
  const sf_count_t got = sf_readf_float(handle_->file->get(), scratch.data(), count);
  if (got <= 0) return 0;
  auto* pcm = static_cast<std::int16_t*>(out);
  for (std::size_t i = 0; i < static_cast<std::size_t>(got) * channels; ++i) pcm[i] = pcm16(scratch[i]);
  return static_cast<std::uint32_t>(got);
}

}  // namespace media
