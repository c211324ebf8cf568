#pragma once
// Owners for FFmpeg's objects and its error texts, shared by the movie
// writer, reader and camera. Internal to the media layer.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/imgutils.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "platform/foundation/Expected.h"
#include "platform/foundation/FileUtil.h"
#include "platform/media/MovieReader.h"
#include "platform/media/VideoFrame.h"

namespace media::av {

struct CodecContextFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsFree {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct SwrFree {
  void operator()(SwrContext* s) const { swr_free(&s); }
};
struct FifoFree {
  void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};
// An input opened with avformat_open_input.
struct InputFree {
  void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
// An output context; its file is closed by the writer before it goes.
struct OutputFree {
  void operator()(AVFormatContext* f) const {
    if (f->pb != nullptr && !(f->oformat->flags & AVFMT_NOFILE)) avio_closep(&f->pb);
    avformat_free_context(f);
  }
};

using CodecContext = std::unique_ptr<AVCodecContext, CodecContextFree>;
using Frame = std::unique_ptr<AVFrame, FrameFree>;
using Packet = std::unique_ptr<AVPacket, PacketFree>;
using Sws = std::unique_ptr<SwsContext, SwsFree>;
using Swr = std::unique_ptr<SwrContext, SwrFree>;
using AudioFifo = std::unique_ptr<AVAudioFifo, FifoFree>;
using Input = std::unique_ptr<AVFormatContext, InputFree>;
using Output = std::unique_ptr<AVFormatContext, OutputFree>;

inline Frame makeFrame() { return Frame(av_frame_alloc()); }
inline Packet makePacket() { return Packet(av_packet_alloc()); }

// The layer reports failures itself; the library's own console chatter about
// a broken file would only repeat them.
inline void quietLibraryLog() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_FATAL); });
}

// Files are written under this hidden name beside their destination and
// renamed only when complete.
inline std::filesystem::path partialName(const std::filesystem::path& file) {
  return file.parent_path() / ("." + file.filename().string() + ".partial");
}

inline std::string errorText(int code) {
  char buf[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, buf, sizeof buf);
  return buf;
}

using fd::files::UniqueFd;

// A movie opened for reading. Members go in reverse order: the demuxer first,
// then what it reads through.
struct OpenedInput {
  UniqueFd pipe;                                 // a FIFO's descriptor
  std::unique_ptr<std::function<bool()>> interrupt;
  Input ctx;
};

// Opens a local movie file, or a FIFO once something arrives through it; only
// local files are read, whatever the name or the file's contents say. Folders,
// devices, empty files, pictures beyond the limits and, through a FIFO, movies
// whose index comes after their pictures are refused with a message naming
// the file, the pictures' size before any decoding.
fd::Expected<OpenedInput> openInput(const std::filesystem::path& file, const MovieReadOptions& options);

// Scales a picture of srcHeight rows into `out` (BGRA at out's size). The
// scaler writes rows in blocks and may run up to a block past the end of a
// row, so a picture whose rows are not a whole number of blocks is written
// through a padded scratch and copied in.
void scaleIntoPixels(SwsContext* sws, const std::uint8_t* const src[], const int srcStride[], int srcHeight,
                     PixelBuffer& out);

// A decoder for one of the input's streams, refusing pictures beyond the limits.
fd::Expected<CodecContext> openDecoder(const AVStream* stream, const PictureLimits& limits);

// The H.264 encoder every movie of the program is written with: yuv420p, no
// B-frames, the same quality; parameter sets out of band (global header).
struct H264Settings {
  int width = 0;
  int height = 0;
  AVRational timeBase{1, 600};
  AVRational frameRate{30, 1};
  int keyFrameInterval = 30;
};
fd::Expected<CodecContext> openH264Encoder(const H264Settings& settings);

}  // namespace media::av
