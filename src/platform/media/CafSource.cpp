// CAF files in the phone's compressed recording formats. The header is read
// here first, chunk by chunk against the file's size, and whatever would make
// the demuxer reach for memory or time out of proportion (a packet table of
// millions of entries, a long list of header tags, an oversized ALAC frame)
// is refused before FFmpeg sees the file.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

#include "platform/media/AudioFile.h"
#include "platform/media/FFmpegSupport.h"
#include "platform/media/SoundSource.h"

namespace media::sound {

namespace {

constexpr std::uint32_t fourCC(const char (&s)[5]) {
  return (std::uint32_t(std::uint8_t(s[0])) << 24) | (std::uint32_t(std::uint8_t(s[1])) << 16) |
         (std::uint32_t(std::uint8_t(s[2])) << 8) | std::uint32_t(std::uint8_t(s[3]));
}

constexpr std::uint32_t kAac = fourCC("aac ");
constexpr std::uint32_t kAlac = fourCC("alac");
constexpr std::uint32_t kMp3 = fourCC(".mp3");
constexpr std::uint32_t kIma4 = fourCC("ima4");

// Real files hold a handful of chunks and a few header tags; a packet table
// of variable-size packets becomes an index entry per packet in the demuxer
// (10 minutes of AAC at 48 kHz is some 28,000 packets).
constexpr int kMaxChunks = 256;
constexpr std::uint32_t kMaxInfoEntries = 256;
constexpr std::int64_t kMaxInfoBytes = 64 * 1024;
constexpr std::int64_t kMaxIndexedPackets = std::int64_t{1} << 20;
constexpr std::uint32_t kMaxAlacFrameLength = 1u << 16;

struct CafHeader {
  double sampleRate = 0;
  std::uint32_t formatID = 0;
  std::uint32_t bytesPerPacket = 0;
  std::uint32_t framesPerPacket = 0;
  std::uint32_t channels = 0;
  std::optional<std::int64_t> packets, validFrames, dataBytes;
  // Where the sound chunk begins when it claims to run to the end of the file.
  std::optional<std::int64_t> openEndedDataAt;
};

std::uint64_t bigEndian(const std::uint8_t* p, int bytes) {
  std::uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
  return v;
}

std::string fourCCText(std::uint32_t code) {
  std::string s;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = static_cast<char>((code >> shift) & 0xFF);
    s += (c >= 0x20 && c < 0x7F) ? c : '?';
  }
  return s;
}

fd::Expected<CafHeader> parseHeader(const std::filesystem::path& file) {
  const std::string name = quotedName(file);
  auto damaged = [&](const std::string& why) { return fd::fail(name + " is damaged: " + why); };
  std::ifstream in(file, std::ios::binary);
  if (!in) return fd::fail(name + " cannot be opened");
  in.seekg(0, std::ios::end);
  const std::int64_t size = in.tellg();
  in.seekg(0);
  std::array<std::uint8_t, 32> buf{};
  auto readBytes = [&](std::size_t n) { return static_cast<bool>(in.read(reinterpret_cast<char*>(buf.data()), n)); };
  if (size < 8 || !readBytes(8) || std::memcmp(buf.data(), "caff", 4) != 0) return fd::fail(name + " is not a CAF file");

  CafHeader h;
  bool haveDesc = false, haveData = false, havePakt = false, haveInfo = false, haveKuki = false;
  std::int64_t at = 8;
  // Chunks may follow the sound (writers that know the packet table only at
  // the end put it there), unless the sound runs to the end of the file.
  bool toEnd = false;
  for (int chunk = 0; at < size && !toEnd; ++chunk) {
    if (chunk == kMaxChunks) return damaged("too many chunks");
    in.seekg(at);
    // Once the sound is found, bytes after it that are no whole chunk end
    // the walk: they are a writer's leftovers, not a reason to refuse.
    if (size - at < 12 || !readBytes(12)) {
      if (haveData) break;
      return damaged("a chunk is cut short");
    }
    const auto type = static_cast<std::uint32_t>(bigEndian(buf.data(), 4));
    const auto chunkSize = static_cast<std::int64_t>(bigEndian(buf.data() + 4, 8));
    const std::int64_t body = at + 12, left = size - body;
    if (chunk == 0 && type != fourCC("desc")) return damaged("it does not begin with its format");
    const bool toTheEnd = type == fourCC("data") && chunkSize == -1;
    if (!toTheEnd && (chunkSize < 0 || chunkSize > left)) {
      if (haveData) break;
      return damaged("a chunk is larger than the file");
    }
    const std::int64_t length = toTheEnd ? left : chunkSize;
    if (type == fourCC("desc")) {
      if (haveDesc || length < 32 || !readBytes(32)) return damaged("its format is not readable");
      haveDesc = true;
      const std::uint64_t bits = bigEndian(buf.data(), 8);
      std::memcpy(&h.sampleRate, &bits, sizeof h.sampleRate);
      h.formatID = static_cast<std::uint32_t>(bigEndian(buf.data() + 8, 4));
      h.bytesPerPacket = static_cast<std::uint32_t>(bigEndian(buf.data() + 16, 4));
      h.framesPerPacket = static_cast<std::uint32_t>(bigEndian(buf.data() + 20, 4));
      h.channels = static_cast<std::uint32_t>(bigEndian(buf.data() + 24, 4));
    } else if (type == fourCC("pakt")) {
      if (havePakt || length < 24 || !readBytes(24)) return damaged("its packet table is not readable");
      havePakt = true;
      h.packets = static_cast<std::int64_t>(bigEndian(buf.data(), 8));
      h.validFrames = static_cast<std::int64_t>(bigEndian(buf.data() + 8, 8));
    } else if (type == fourCC("info")) {
      if (haveInfo || length < 4 || !readBytes(4)) return damaged("its information chunk is not readable");
      haveInfo = true;
      if (length > kMaxInfoBytes || bigEndian(buf.data(), 4) > kMaxInfoEntries)
        return damaged("its information chunk is too long");
    } else if (type == fourCC("kuki")) {
      if (haveKuki) return damaged("it holds two codec set-ups");
      haveKuki = true;
      if (h.formatID == kAlac) {
        // The frame length the decoder sizes its buffers by: the set-up's first
        // field, after a 24-byte preamble in the older layout.
        std::array<std::uint8_t, 28> kuki{};
        const std::int64_t n = std::min<std::int64_t>(length, kuki.size());
        if (n < 24 || !in.read(reinterpret_cast<char*>(kuki.data()), n)) return damaged("its ALAC set-up is cut short");
        const bool older = std::memcmp(kuki.data() + 4, "frmaalac", 8) == 0;
        if (older && n < 28) return damaged("its ALAC set-up is cut short");
        const auto frameLength = static_cast<std::uint32_t>(bigEndian(kuki.data() + (older ? 24 : 0), 4));
        if (frameLength == 0 || frameLength > kMaxAlacFrameLength)
          return damaged("its ALAC frames of " + std::to_string(frameLength) + " samples cannot be played");
      }
    } else if (type == fourCC("data")) {
      if (haveData) return damaged("it holds two sound chunks");
      haveData = true;
      toEnd = toTheEnd;
      if (toTheEnd) h.openEndedDataAt = at;
      h.dataBytes = std::max<std::int64_t>(length - 4, 0);  // after the edit count
    }
    at = body + length;
  }
  if (!haveDesc) return damaged("it has no format");
  if (!haveData) return damaged("it holds no sound");
  const bool variablePackets = h.bytesPerPacket == 0 || h.framesPerPacket == 0;
  if (variablePackets && h.packets && (*h.packets < 0 || *h.packets > kMaxIndexedPackets))
    return damaged("its packet table lists " + std::to_string(*h.packets) + " packets");
  return h;
}

SourceInfo infoOf(const CafHeader& h) {
  SourceInfo info;
  // Rates are whole numbers of hertz; anything that is not reads as 0 and is
  // refused as the rate claimed.
  if (std::isfinite(h.sampleRate) && h.sampleRate >= 1 && h.sampleRate <= 1e9)
    info.sampleRate = static_cast<int>(std::lround(h.sampleRate));
  info.claimedRate = h.sampleRate;
  info.channels = h.channels;
  // The length the packets decode to: packets times frames per packet where
  // both are known (writers' counts of valid frames do not always agree),
  // else the valid frames the packet table gives.
  if (info.sampleRate > 0) {
    std::optional<std::int64_t> packets = h.packets;
    if (h.bytesPerPacket > 0 && h.dataBytes) packets = *h.dataBytes / h.bytesPerPacket;
    if (packets && *packets >= 0 && h.framesPerPacket > 0) {
      info.seconds = static_cast<double>(*packets) * h.framesPerPacket / info.sampleRate;
    } else if (h.validFrames && *h.validFrames > 0) {
      info.seconds = static_cast<double>(*h.validFrames) / info.sampleRate;
    }
  }
  return info;
}

std::optional<AVCodecID> codecOf(std::uint32_t formatID) {
  switch (formatID) {
    case kAac: return AV_CODEC_ID_AAC;
    case kAlac: return AV_CODEC_ID_ALAC;
    case kMp3: return AV_CODEC_ID_MP3;
    case kIma4: return AV_CODEC_ID_ADPCM_IMA_QT;
    default: return std::nullopt;
  }
}

// Whether the header's format is one of those decoded here.
fd::Status decodedHere(const std::filesystem::path& file, const CafHeader& header) {
  if (codecOf(header.formatID)) return {};
  return fd::fail(quotedName(file) + " holds sound coded as '" + fourCCText(header.formatID) +
                  "', which cannot be played");
}

// One sample of a decoded frame as a double in [-1, 1] for integers.
double sampleAt(const AVFrame& f, int channel, int index) {
  const auto format = static_cast<AVSampleFormat>(f.format);
  const bool planar = av_sample_fmt_is_planar(format) != 0;
  const int channels = f.ch_layout.nb_channels;
  const std::uint8_t* base = planar ? f.extended_data[channel] : f.extended_data[0];
  const std::size_t i = planar ? static_cast<std::size_t>(index) : static_cast<std::size_t>(index) * channels + channel;
  switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8: return (base[i] - 128) / 128.0;
    case AV_SAMPLE_FMT_S16: return reinterpret_cast<const std::int16_t*>(base)[i] / 32768.0;
    case AV_SAMPLE_FMT_S32: return reinterpret_cast<const std::int32_t*>(base)[i] / 2147483648.0;
    case AV_SAMPLE_FMT_S64: return static_cast<double>(reinterpret_cast<const std::int64_t*>(base)[i]) / 9223372036854775808.0;
    case AV_SAMPLE_FMT_FLT: return reinterpret_cast<const float*>(base)[i];
    case AV_SAMPLE_FMT_DBL: return reinterpret_cast<const double*>(base)[i];
    default: return 0;
  }
}

class CafSource : public SoundSource {
 public:
  fd::Expected<std::size_t> readMono(float* out, std::size_t max) override {
    std::size_t n = 0;
    while (n < max) {
      if (at_ < pending_.size()) {
        const std::size_t take = std::min(max - n, pending_.size() - at_);
        std::copy_n(pending_.begin() + static_cast<std::ptrdiff_t>(at_), take, out + n);
        at_ += take;
        n += take;
        continue;
      }
      if (ended_) break;
      if (fd::Status s = decodeMore(); !s) return s.failure();
    }
    return n;
  }

  fd::Status open(const std::filesystem::path& file, const SourceInfo& headerInfo, AVCodecID codecID) {
    av::quietLibraryLog();
    name_ = quotedName(file);
    info_.seconds = headerInfo.seconds;
    AVFormatContext* ctx = avformat_alloc_context();
    if (ctx == nullptr) return fd::fail(name_ + " cannot be read: out of memory");
    // Only the file itself, only as CAF: no other protocol or format is tried.
    ctx->protocol_whitelist = av_strdup("file");
    const AVInputFormat* caf = av_find_input_format("caf");
    int e = avformat_open_input(&ctx, ("file:" + file.string()).c_str(), caf, nullptr);
    if (e < 0) return fd::fail(name_ + " cannot be read: " + av::errorText(e));
    input_.reset(ctx);
    if (ctx->nb_streams != 1 || ctx->streams[0]->codecpar->codec_type != AVMEDIA_TYPE_AUDIO ||
        ctx->streams[0]->codecpar->codec_id != codecID)
      return fd::fail(name_ + " is damaged: its sound is not what its header names");
    const AVCodec* codec = avcodec_find_decoder(codecID);
    if (codec == nullptr) return fd::fail(name_ + " holds sound in a format this installation cannot decode");
    codec_.reset(avcodec_alloc_context3(codec));
    if (!codec_ || !packet_ || !frame_) return fd::fail(name_ + " cannot be read: out of memory");
    codec_->thread_count = 1;
    if ((e = avcodec_parameters_to_context(codec_.get(), ctx->streams[0]->codecpar)) < 0 ||
        (e = avcodec_open2(codec_.get(), codec, nullptr)) < 0)
      return fd::fail(name_ + " cannot be decoded: " + av::errorText(e));
    // The rate and channels that count are the decoder's, from its first
    // frame; with none, the header's stand.
    if (fd::Status first = decodeMore(); !first) return first;
    if (info_.sampleRate == 0) {
      info_.sampleRate = headerInfo.sampleRate;
      info_.channels = headerInfo.channels;
    }
    return {};
  }

 private:
  // Decodes until the next frame's samples are pending, or the end.
  fd::Status decodeMore() {
    pending_.clear();
    at_ = 0;
    for (;;) {
      const int got = avcodec_receive_frame(codec_.get(), frame_.get());
      if (got == 0) return takeFrame();
      if (got == AVERROR_EOF) {
        ended_ = true;
        return {};
      }
      if (got != AVERROR(EAGAIN)) return fd::fail(name_ + " cannot be decoded: " + av::errorText(got));
      if (flushed_) {
        ended_ = true;
        return {};
      }
      const int read = av_read_frame(input_.get(), packet_.get());
      if (read < 0) {
        avcodec_send_packet(codec_.get(), nullptr);
        flushed_ = true;
        continue;
      }
      // A packet the decoder rejects is skipped: the rest of the sound still plays.
      if (packet_->stream_index == 0) avcodec_send_packet(codec_.get(), packet_.get());
      av_packet_unref(packet_.get());
    }
  }

  fd::Status takeFrame() {
    const AVFrame& f = *frame_;
    const int channels = f.ch_layout.nb_channels;
    if (channels <= 0 || channels > kMaxSoundChannels)
      return fd::fail(name_ + " has a part of " + std::to_string(channels) + " channels; only sounds of 1 to " +
                      std::to_string(kMaxSoundChannels) + " channels can be played");
    if (info_.sampleRate == 0) {
      info_.sampleRate = f.sample_rate;
      info_.channels = channels;
    } else if (f.sample_rate != info_.sampleRate) {
      return fd::fail(name_ + " changes its sample rate part-way");
    }
    pending_.resize(static_cast<std::size_t>(std::max(f.nb_samples, 0)));
    for (int i = 0; i < f.nb_samples; ++i) {
      double sum = 0;
      for (int c = 0; c < channels; ++c) sum += sampleAt(f, c, i);
      pending_[static_cast<std::size_t>(i)] = sampleOf(sum / channels);
    }
    av_frame_unref(frame_.get());
    return {};
  }

  std::string name_;
  av::Input input_;
  av::CodecContext codec_;
  av::Packet packet_ = av::makePacket();
  av::Frame frame_ = av::makeFrame();
  std::vector<float> pending_;
  std::size_t at_ = 0;
  bool flushed_ = false;
  bool ended_ = false;
};

}  // namespace

bool looksLikeCaf(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  char magic[4] = {};
  return in.read(magic, 4) && std::memcmp(magic, "caff", 4) == 0;
}

fd::Expected<SourceInfo> readCafHeader(const std::filesystem::path& file, double maxSeconds) {
  auto header = parseHeader(file);
  if (!header) return header.failure();
  // A header out of the bounds is told as that, whatever its format: a
  // linear PCM file libsndfile would not open for its channel count is
  // refused for that, not for its coding.
  const SourceInfo info = infoOf(*header);
  if (fd::Status s = checkSoundInfo(file, info, maxSeconds); !s) return s.failure();
  if (fd::Status s = decodedHere(file, *header); !s) return s.failure();
  return info;
}

std::optional<OpenEndedSound> openEndedCafSound(const std::filesystem::path& file) {
  auto header = parseHeader(file);
  if (!header || !header->openEndedDataAt || header->bytesPerPacket == 0) return std::nullopt;
  // The edit count first, then as many whole packets as the file holds.
  const std::int64_t packetBytes = *header->dataBytes / header->bytesPerPacket * header->bytesPerPacket;
  return OpenEndedSound{*header->openEndedDataAt + 4, 4 + packetBytes};
}

fd::Expected<std::unique_ptr<SoundSource>> openCafSource(const std::filesystem::path& file) {
  auto header = parseHeader(file);
  if (!header) return header.failure();
  if (fd::Status s = decodedHere(file, *header); !s) return s.failure();
  auto source = std::make_unique<CafSource>();
  if (fd::Status s = source->open(file, infoOf(*header), *codecOf(header->formatID)); !s) return s.failure();
  return std::unique_ptr<SoundSource>(std::move(source));
}

}  // namespace media::sound
