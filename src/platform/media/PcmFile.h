#pragma once
// A sound file read packet by packet, as the phone's audio-file services read
// it: the stream description, the largest packet, the estimated duration and
// packets from a given index. Every format comes out as interleaved 16-bit
// linear PCM, one frame per packet.
#include <cstdint>
#include <filesystem>
#include <memory>

#include "platform/foundation/Expected.h"

namespace media {

struct StreamDescription {
  double sampleRate = 0;
  std::uint32_t formatID = 0;  // 'lpcm'
  std::uint32_t formatFlags = 0;
  std::uint32_t bytesPerPacket = 0;
  std::uint32_t framesPerPacket = 0;
  std::uint32_t bytesPerFrame = 0;
  std::uint32_t channelsPerFrame = 0;
  std::uint32_t bitsPerChannel = 0;
};

inline constexpr std::uint32_t kLinearPCMFormat = 0x6c70636d;  // "lpcm"
inline constexpr std::uint32_t kFormatFlagSignedInteger = 1u << 2;
inline constexpr std::uint32_t kFormatFlagPacked = 1u << 3;

class PcmFile {
 public:
  static fd::Expected<std::unique_ptr<PcmFile>> open(const std::filesystem::path& path);
  ~PcmFile();
  PcmFile(const PcmFile&) = delete;
  PcmFile& operator=(const PcmFile&) = delete;

  const StreamDescription& format() const { return format_; }
  std::uint32_t packetSizeUpperBound() const { return format_.bytesPerPacket; }
  std::int64_t packetCount() const { return frames_; }
  double estimatedDuration() const;
  // PCM needs no codec set-up: always empty.
  std::size_t magicCookieSize() const { return 0; }

  // Reads up to `count` packets from `start` into out (count x bytesPerPacket
  // bytes). Answers the packets read: 0 at or past the end.
  std::uint32_t readPackets(std::int64_t start, std::uint32_t count, void* out);

 private:
  PcmFile() = default;
  struct Handle;
  std::unique_ptr<Handle> handle_;
  StreamDescription format_;
  std::int64_t frames_ = 0;
};

}  // namespace media
