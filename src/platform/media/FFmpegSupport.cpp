#include "platform/media/FFmpegSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

namespace media::av {

namespace {

int askInterrupt(void* opaque) { return (*static_cast<std::function<bool()>*>(opaque))() ? 1 : 0; }

// Refuses pictures beyond the limits by the sizes the streams declare.
fd::Status checkPictureSizes(const AVFormatContext& ctx, const PictureLimits& limits, const std::string& name) {
  for (unsigned i = 0; i < ctx.nb_streams; ++i) {
    const AVStream* st = ctx.streams[i];
    const AVCodecParameters* par = st->codecpar;
    if (par->codec_type != AVMEDIA_TYPE_VIDEO || (st->disposition & AV_DISPOSITION_ATTACHED_PIC)) continue;
    if (par->width <= 0 || par->height <= 0 || limits.admits(par->width, par->height)) continue;
    return fd::fail(name + " holds pictures of " + std::to_string(par->width) + " x " + std::to_string(par->height) +
                    " pixels, more than the program can take (at most " + std::to_string(limits.maxWidth) + " x " +
                    std::to_string(limits.maxHeight) + " and " + std::to_string(limits.maxPixels / 1000000) +
                    " million pixels)");
  }
  return {};
}

// A FIFO is read once, front to back: a movie whose index lies after its
// pictures (as a movie is written unless told otherwise) has gone past them by
// the time its index tells where they are.
fd::Status checkReadableAsItComes(AVFormatContext& ctx, const std::string& name) {
  const std::int64_t readUpTo = avio_tell(ctx.pb);
  for (unsigned i = 0; i < ctx.nb_streams; ++i) {
    const AVIndexEntry* first = avformat_index_get_entry(ctx.streams[i], 0);
    if (first != nullptr && first->pos < readUpTo)
      return fd::fail(name + " sends a movie whose index comes after its pictures, which cannot be played as it "
                             "arrives (it must be written with its index first)");
  }
  return {};
}

// Waits until something can be read from a FIFO (a writer has come).
fd::Status waitForWriter(int fd, const MovieReadOptions& options, const std::function<bool()>& interrupted,
                         const std::string& name) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(options.waitForData);
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    const int r = ::poll(&p, 1, 50);
    if (r > 0 && (p.revents & (POLLIN | POLLHUP)) != 0) return {};
    if (r < 0 && errno != EINTR) return fd::fail("cannot read " + name + ": " + std::strerror(errno));
    if (interrupted()) return fd::fail("the reading of " + name + " was stopped");
    if (std::chrono::steady_clock::now() > deadline)
      return fd::fail("nothing came through " + name + " for " + std::to_string(static_cast<int>(options.waitForData)) +
                      " seconds");
  }
}

}  // namespace

fd::Expected<OpenedInput> openInput(const std::filesystem::path& file, const MovieReadOptions& options) {
  quietLibraryLog();
  const std::string name = file.filename().string();
  OpenedInput in;
  in.interrupt = std::make_unique<std::function<bool()>>(options.interrupt ? options.interrupt : [] { return false; });
  // Opened without waiting, so a FIFO with nobody writing to it does not hold
  // the caller in open(2); what the path is decides how it is read.
  UniqueFd fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno == ENOENT) return fd::fail(name + " does not exist");
    return fd::fail("cannot read " + name + ": " + std::strerror(errno));
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return fd::fail("cannot read " + name + ": " + std::strerror(errno));
  std::string url;
  const char* protocols = "file";
  if (S_ISDIR(st.st_mode)) return fd::fail(name + " is a folder, not a movie");
  if (S_ISREG(st.st_mode)) {
    if (st.st_size == 0) return fd::fail(name + " is empty");
    // "file:" keeps a name such as "http:x" or "concat:a|b" a local file name.
    url = "file:" + file.string();
  } else if (S_ISFIFO(st.st_mode)) {
    if (auto s = waitForWriter(fd.get(), options, *in.interrupt, name); !s) return s.failure();
    url = "pipe:" + std::to_string(fd.get());
    protocols = "pipe";
    in.pipe = std::move(fd);
  } else {
    return fd::fail(name + " is a device, not a movie file");
  }

  AVFormatContext* ctx = avformat_alloc_context();
  if (ctx == nullptr) return fd::fail("out of memory opening " + name);
  ctx->interrupt_callback.callback = askInterrupt;
  ctx->interrupt_callback.opaque = in.interrupt.get();
  AVDictionary* opts = nullptr;
  av_dict_set(&opts, "protocol_whitelist", protocols, 0);
  // A FIFO whose writer stalls ends the reading instead of holding it.
  if (in.pipe.get() >= 0) av_dict_set_int(&opts, "rw_timeout", static_cast<std::int64_t>(options.waitForData * 1e6), 0);
  int r = avformat_open_input(&ctx, url.c_str(), nullptr, &opts);
  av_dict_free(&opts);
  if (r < 0) return fd::fail(name + " is not a movie the program can read: " + errorText(r));
  in.ctx.reset(ctx);
  if (auto s = checkPictureSizes(*ctx, options.limits, name); !s) return s.failure();
  if (in.pipe.get() >= 0)
    if (auto s = checkReadableAsItComes(*ctx, name); !s) return s.failure();
  // Probing decodes a few pictures; its decoders refuse large ones as well.
  std::vector<AVDictionary*> probing(ctx->nb_streams, nullptr);
  for (AVDictionary*& d : probing) av_dict_set_int(&d, "max_pixels", options.limits.maxPixels, 0);
  r = avformat_find_stream_info(ctx, probing.empty() ? nullptr : probing.data());
  for (AVDictionary*& d : probing) av_dict_free(&d);
  if (r < 0) return fd::fail(name + " is not a movie the program can read: " + errorText(r));
  if (auto s = checkPictureSizes(*ctx, options.limits, name); !s) return s.failure();
  return in;
}

void scaleIntoPixels(SwsContext* sws, const std::uint8_t* const src[], const int srcStride[], int srcHeight,
                     PixelBuffer& out) {
  constexpr int kBlock = 64;  // bytes: the widest the scaler writes at once
  if (out.bytesPerRow % kBlock == 0) {
    std::uint8_t* dst[1] = {out.data.data()};
    const int dstStride[1] = {out.bytesPerRow};
    sws_scale(sws, src, srcStride, 0, srcHeight, dst, dstStride);
    return;
  }
  const int stride = (out.bytesPerRow + kBlock - 1) / kBlock * kBlock;
  std::vector<std::uint8_t> scratch(static_cast<std::size_t>(stride) * static_cast<std::size_t>(out.height) + kBlock);
  std::uint8_t* dst[1] = {scratch.data()};
  const int dstStride[1] = {stride};
  sws_scale(sws, src, srcStride, 0, srcHeight, dst, dstStride);
  for (int y = 0; y < out.height; ++y)
    std::memcpy(out.row(y), scratch.data() + static_cast<std::size_t>(y) * stride, static_cast<std::size_t>(out.bytesPerRow));
}

fd::Expected<CodecContext> openDecoder(const AVStream* stream, const PictureLimits& limits) {
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (codec == nullptr) return fd::fail("no decoder for " + std::string(avcodec_get_name(stream->codecpar->codec_id)));
  CodecContext c(avcodec_alloc_context3(codec));
  if (!c) return fd::fail("out of memory for a decoder");
  int r = avcodec_parameters_to_context(c.get(), stream->codecpar);
  if (r < 0) return fd::fail("the track's format cannot be read: " + errorText(r));
  c->max_pixels = limits.maxPixels;
  r = avcodec_open2(c.get(), codec, nullptr);
  if (r < 0) return fd::fail("the " + std::string(codec->name) + " decoder cannot start: " + errorText(r));
  return c;
}

fd::Expected<CodecContext> openH264Encoder(const H264Settings& s) {
  if (s.width < 2 || s.height < 2) return fd::fail("a movie picture needs at least 2x2 pixels");
  const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
  if (codec == nullptr) codec = avcodec_find_encoder(AV_CODEC_ID_H264);
  if (codec == nullptr) return fd::fail("no H.264 encoder on this machine");
  CodecContext c(avcodec_alloc_context3(codec));
  if (!c) return fd::fail("out of memory for an encoder");
  // yuv420p halves the colour planes: sizes must be even.
  c->width = s.width & ~1;
  c->height = s.height & ~1;
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->time_base = s.timeBase;
  c->framerate = s.frameRate;
  c->gop_size = std::max(1, s.keyFrameInterval);
  c->max_b_frames = 0;
  // The movie containers keep the parameter sets in the track header.
  c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  AVDictionary* opts = nullptr;
  av_dict_set(&opts, "preset", "veryfast", 0);
  av_dict_set(&opts, "crf", "20", 0);
  const int r = avcodec_open2(c.get(), codec, &opts);
  av_dict_free(&opts);
  if (r < 0) return fd::fail("the H.264 encoder cannot start: " + errorText(r));
  return c;
}

}  // namespace media::av
