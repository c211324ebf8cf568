#include "platform/media/MovieWriter.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <system_error>
#include <vector>

#include "platform/foundation/FileUtil.h"
#include "platform/media/FFmpegSupport.h"

namespace media {

namespace {

// Pictures are stamped in 1/600 s ticks (a multiple of the common frame rates).
constexpr AVRational kVideoTimeBase{1, 600};

// The system's error number a library result carries (a full disk's
// ENOSPC), 0 for the library's own failures.
int systemError(int result) { return result < 0 && result > -4096 ? -result : 0; }

}  // namespace

struct MovieWriter::Impl {
  mutable std::mutex mutex;
  av::Output output;
  std::filesystem::path partial;
  Status status = Status::Unknown;
  std::string error;
  int errorNumber = 0;
  // The error a test's full disk answers for this file, 0 for none.
  int injected = 0;
  bool headerWritten = false;

  // Video
  av::CodecContext video;
  AVStream* videoStream = nullptr;
  av::Sws sws;
  int swsFromW = 0, swsFromH = 0;
  av::Frame yuv;
  std::int64_t lastVideoPts = AV_NOPTS_VALUE;

  // Audio
  av::CodecContext audio;
  AVStream* audioStream = nullptr;
  av::AudioFifo fifo;
  av::Swr swr;
  int swrFromRate = 0, swrFromChannels = 0;
  std::int64_t audioSamplesOut = 0;  // in the encoder's rate, since the session start
  bool audioStarted = false;

  std::optional<VideoTransform> transform;
  CMTime sessionStart = kCMTimeInvalid;
  av::Packet packet = av::makePacket();

  void failLocked(std::string message, int result = 0) {
    if (status == Status::Failed) return;
    status = Status::Failed;
    error = std::move(message);
    errorNumber = systemError(result);
  }

  // A call that writes the file, or, on a test's full disk, its result in
  // place of the call's, as a full disk takes nothing.
  template <class Call>
  int written(Call&& call) {
    return injected != 0 ? AVERROR(injected) : call();
  }

  bool writePackets(AVCodecContext* codec, AVStream* stream) {
    for (;;) {
      int r = avcodec_receive_packet(codec, packet.get());
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
      if (r < 0) {
        failLocked("encoding failed: " + av::errorText(r), r);
        return false;
      }
      // A picture lasts until the next one; the container otherwise gives the
      // last picture no time at all and a reader may drop it.
      if (packet->duration <= 0 && codec->codec_type == AVMEDIA_TYPE_VIDEO && codec->framerate.num > 0)
        packet->duration = av_rescale_q(1, av_inv_q(codec->framerate), codec->time_base);
      av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      r = written([&] { return av_interleaved_write_frame(output.get(), packet.get()); });
      if (r < 0) {
        failLocked("writing the movie failed: " + av::errorText(r), r);
        return false;
      }
    }
  }

  bool encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame) {
    int r = avcodec_send_frame(codec, frame);
    if (r < 0 && r != AVERROR_EOF) {
      failLocked("encoding failed: " + av::errorText(r), r);
      return false;
    }
    return writePackets(codec, stream);
  }

  bool ensureHeader() {
    if (headerWritten) return true;
    if (transform && videoStream) {
      // The track header's matrix: 16.16 fixed point, the last column 2.30.
      auto* m = reinterpret_cast<std::int32_t*>(
          av_stream_new_side_data(videoStream, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(std::int32_t)));
      if (m != nullptr) {
        const auto fixed = [](float v) { return static_cast<std::int32_t>(std::lround(v * 65536.0)); };
        m[0] = fixed(transform->a);
        m[1] = fixed(transform->b);
        m[2] = 0;
        m[3] = fixed(transform->c);
        m[4] = fixed(transform->d);
        m[5] = 0;
        m[6] = fixed(transform->tx);
        m[7] = fixed(transform->ty);
        m[8] = 1 << 30;
      }
    }
    const int r = written([&] { return avformat_write_header(output.get(), nullptr); });
    if (r < 0) {
      failLocked("the movie cannot be started: " + av::errorText(r), r);
      return false;
    }
    headerWritten = true;
    return true;
  }

  // Sends whole encoder frames from the FIFO (all that is left when flushing).
  bool drainFifo(bool flush) {
    const int frameSize = audio->frame_size > 0 ? audio->frame_size : 1024;
    while (av_audio_fifo_size(fifo.get()) >= frameSize || (flush && av_audio_fifo_size(fifo.get()) > 0)) {
      const int n = std::min(frameSize, av_audio_fifo_size(fifo.get()));
      av::Frame f = av::makeFrame();
      f->nb_samples = n;
      f->format = audio->sample_fmt;
      av_channel_layout_copy(&f->ch_layout, &audio->ch_layout);
      f->sample_rate = audio->sample_rate;
      if (av_frame_get_buffer(f.get(), 0) < 0) {
        failLocked("out of memory for sound");
        return false;
      }
      av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(f->data), n);
      f->pts = audioSamplesOut;
      audioSamplesOut += n;
      if (!encode(audio.get(), audioStream, f.get())) return false;
    }
    return true;
  }
};

fd::Expected<std::unique_ptr<MovieWriter>> MovieWriter::create(const std::filesystem::path& file,
                                                               MovieContainer container) {
  av::quietLibraryLog();
  std::unique_ptr<MovieWriter> w(new MovieWriter());
  w->file_ = file;
  w->impl_ = std::make_unique<Impl>();
  Impl& m = *w->impl_;
  m.partial = av::partialName(file);
  const char* format = container == MovieContainer::QuickTime ? "mov" : "mp4";
  AVFormatContext* ctx = nullptr;
  int r = avformat_alloc_output_context2(&ctx, nullptr, format, m.partial.c_str());
  if (r < 0 || ctx == nullptr) return fd::fail("no movie container: " + av::errorText(r));
  m.output.reset(ctx);
  r = avio_open(&ctx->pb, m.partial.c_str(), AVIO_FLAG_WRITE);
  if (r < 0) return fd::fail("cannot write a movie at " + file.string() + ": " + av::errorText(r), systemError(r));
  m.injected = fd::files::injectedWriteError(m.partial);
  return w;
}

MovieWriter::~MovieWriter() {
  if (impl_ && impl_->status != Status::Completed) cancelWriting();
}

fd::Status MovieWriter::addVideoTrack(const MovieVideoSettings& s) {
  std::lock_guard lock(impl_->mutex);
  Impl& m = *impl_;
  if (m.status != Status::Unknown || m.video) return fd::fail("the video track is added before writing starts");
  auto encoder = av::openH264Encoder({s.width, s.height, kVideoTimeBase,
                                      av_d2q(s.expectedFrameRate > 0 ? s.expectedFrameRate : 30, 1000),
                                      s.keyFrameInterval});
  if (!encoder) return encoder.failure();
  m.video = std::move(*encoder);
  AVCodecContext* c = m.video.get();
  m.videoStream = avformat_new_stream(m.output.get(), nullptr);
  m.videoStream->time_base = kVideoTimeBase;
  avcodec_parameters_from_context(m.videoStream->codecpar, c);
  m.yuv = av::makeFrame();
  m.yuv->format = c->pix_fmt;
  m.yuv->width = c->width;
  m.yuv->height = c->height;
  if (av_frame_get_buffer(m.yuv.get(), 0) < 0) return fd::fail("out of memory for pictures");
  return {};
}

fd::Status MovieWriter::addAudioTrack(const MovieAudioSettings& s) {
  std::lock_guard lock(impl_->mutex);
  Impl& m = *impl_;
  if (m.status != Status::Unknown || m.audio) return fd::fail("the sound track is added before writing starts");
  if (s.sampleRate <= 0 || s.channels < 1 || s.channels > 2) return fd::fail("sound settings not supported");
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
  if (codec == nullptr) return fd::fail("no AAC encoder on this machine");
  m.audio.reset(avcodec_alloc_context3(codec));
  AVCodecContext* c = m.audio.get();
  c->sample_fmt = AV_SAMPLE_FMT_FLTP;
  c->sample_rate = s.sampleRate;
  av_channel_layout_default(&c->ch_layout, s.channels);
  c->bit_rate = s.bitRate;
  c->time_base = AVRational{1, s.sampleRate};
  if (m.output->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  int r = avcodec_open2(c, codec, nullptr);
  if (r < 0) {
    m.audio.reset();
    return fd::fail("the AAC encoder cannot start: " + av::errorText(r));
  }
  m.audioStream = avformat_new_stream(m.output.get(), nullptr);
  m.audioStream->time_base = c->time_base;
  avcodec_parameters_from_context(m.audioStream->codecpar, c);
  m.fifo.reset(av_audio_fifo_alloc(c->sample_fmt, c->ch_layout.nb_channels, 4096));
  return {};
}

fd::Status MovieWriter::setVideoTransform(const VideoTransform& transform) {
  std::lock_guard lock(impl_->mutex);
  if (impl_->headerWritten || impl_->status != Status::Unknown) return fd::fail("the transform is set before writing starts");
  impl_->transform = transform;
  return {};
}

bool MovieWriter::hasVideoTrack() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->video != nullptr;
}
bool MovieWriter::hasAudioTrack() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->audio != nullptr;
}
int MovieWriter::videoWidth() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->video ? impl_->video->width : 0;
}
int MovieWriter::videoHeight() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->video ? impl_->video->height : 0;
}

bool MovieWriter::startWriting() {
  std::lock_guard lock(impl_->mutex);
  Impl& m = *impl_;
  if (m.status != Status::Unknown) return m.status == Status::Writing;
  if (!m.video && !m.audio) {
    m.failLocked("a movie needs a track");
    return false;
  }
  m.status = Status::Writing;
  return m.ensureHeader();
}

void MovieWriter::startSession(CMTime sourceTime) {
  std::lock_guard lock(impl_->mutex);
  if (!CMTIME_IS_VALID(impl_->sessionStart)) impl_->sessionStart = sourceTime;
}

bool MovieWriter::sessionStarted() const {
  std::lock_guard lock(impl_->mutex);
  return CMTIME_IS_VALID(impl_->sessionStart);
}

bool MovieWriter::appendVideo(const PixelBuffer& picture, CMTime time) {
  std::lock_guard lock(impl_->mutex);
  Impl& m = *impl_;
  if (m.status != Status::Writing || !m.video || !CMTIME_IS_NUMERIC(time) || !CMTIME_IS_VALID(m.sessionStart))
    return false;
  if (picture.width <= 0 || picture.height <= 0 || picture.data.size() < static_cast<std::size_t>(picture.bytesPerRow) * picture.height)
    return false;
  const double seconds = CMTimeGetSeconds(time) - CMTimeGetSeconds(m.sessionStart);
  if (seconds < 0) return false;
  const std::int64_t pts = std::llround(seconds * kVideoTimeBase.den / kVideoTimeBase.num);
  if (m.lastVideoPts != AV_NOPTS_VALUE && pts <= m.lastVideoPts) return false;
  AVCodecContext* c = m.video.get();
  if (!m.sws || m.swsFromW != picture.width || m.swsFromH != picture.height) {
    m.sws.reset(sws_getContext(picture.width, picture.height, AV_PIX_FMT_BGRA, c->width, c->height, c->pix_fmt,
                               SWS_BILINEAR, nullptr, nullptr, nullptr));
    m.swsFromW = picture.width;
    m.swsFromH = picture.height;
  }
  if (!m.sws || av_frame_make_writable(m.yuv.get()) < 0) {
    m.failLocked("pictures cannot be converted for the movie");
    return false;
  }
  const std::uint8_t* src[1] = {picture.data.data()};
  const int srcStride[1] = {picture.bytesPerRow};
  sws_scale(m.sws.get(), src, srcStride, 0, picture.height, m.yuv->data, m.yuv->linesize);
  m.yuv->pts = pts;
  m.lastVideoPts = pts;
  return m.encode(c, m.videoStream, m.yuv.get());
}

bool MovieWriter::appendAudio(const AudioSamples& sound) {
  std::lock_guard lock(impl_->mutex);
  Impl& m = *impl_;
  if (m.status != Status::Writing || !m.audio || !CMTIME_IS_VALID(m.sessionStart)) return false;
  if (sound.channels < 1 || sound.sampleRate <= 0 || sound.frameCount() == 0) return false;
  AVCodecContext* c = m.audio.get();
  if (!m.swr || m.swrFromRate != sound.sampleRate || m.swrFromChannels != sound.channels) {
    AVChannelLayout in{};
    av_channel_layout_default(&in, sound.channels);
    SwrContext* s = nullptr;
    if (swr_alloc_set_opts2(&s, &c->ch_layout, c->sample_fmt, c->sample_rate, &in, AV_SAMPLE_FMT_FLT,
                            sound.sampleRate, 0, nullptr) < 0 ||
        swr_init(s) < 0) {
      swr_free(&s);
      m.failLocked("sound cannot be converted for the movie");
      return false;
    }
    m.swr.reset(s);
    m.swrFromRate = sound.sampleRate;
    m.swrFromChannels = sound.channels;
  }
  if (!m.audioStarted) {
    // The track starts where its first sound lies on the movie's time line.
    m.audioStarted = true;
    const double offset = CMTimeGetSeconds(sound.presentationTime) - CMTimeGetSeconds(m.sessionStart);
    if (CMTIME_IS_NUMERIC(sound.presentationTime) && offset > 0)
      m.audioSamplesOut = std::llround(offset * c->sample_rate);
  }
  const int inFrames = static_cast<int>(sound.frameCount());
  const int outMax = swr_get_out_samples(m.swr.get(), inFrames);
  std::vector<float> planes(static_cast<std::size_t>(std::max(outMax, 1)) * c->ch_layout.nb_channels);
  std::vector<std::uint8_t*> out(static_cast<std::size_t>(c->ch_layout.nb_channels));
  for (int ch = 0; ch < c->ch_layout.nb_channels; ++ch)
    out[static_cast<std::size_t>(ch)] = reinterpret_cast<std::uint8_t*>(planes.data() + static_cast<std::size_t>(ch) * outMax);
  const std::uint8_t* in[1] = {reinterpret_cast<const std::uint8_t*>(sound.samples.data())};
  const int got = swr_convert(m.swr.get(), out.data(), outMax, in, inFrames);
  if (got < 0) {
    m.failLocked("sound cannot be converted for the movie");
    return false;
  }
  if (got > 0) av_audio_fifo_write(m.fifo.get(), reinterpret_cast<void**>(out.data()), got);
  return m.drainFifo(false);
}

fd::Status MovieWriter::finishWriting() {
  std::unique_lock lock(impl_->mutex);
  Impl& m = *impl_;
  if (m.status == Status::Completed) return {};
  if (m.status != Status::Writing) {
    const std::string why = m.status == Status::Failed ? m.error : "the movie was never started";
    lock.unlock();
    cancelWriting();
    return fd::fail(why, m.errorNumber);
  }
  bool ok = true;
  if (m.audio) ok = m.drainFifo(true) && m.encode(m.audio.get(), m.audioStream, nullptr);
  if (ok && m.video) ok = m.encode(m.video.get(), m.videoStream, nullptr);
  if (ok) {
    int r = m.written([&] { return av_write_trailer(m.output.get()); });
    if (r < 0) m.failLocked("the movie cannot be finished: " + av::errorText(r), r);
    if (r >= 0) {
      r = avio_closep(&m.output->pb);
      if (m.injected != 0) r = AVERROR(m.injected);
      if (r < 0) m.failLocked("the movie cannot be closed: " + av::errorText(r), r);
    }
  }
  if (m.status != Status::Failed) {
    std::error_code ec;
    std::filesystem::rename(m.partial, file_, ec);
    if (ec) m.failLocked("the movie cannot take its name: " + ec.message(), AVERROR(ec.value()));
  }
  if (m.status == Status::Failed) {
    const fd::Failure why{m.error, m.errorNumber};
    lock.unlock();
    cancelWriting();
    std::lock_guard again(impl_->mutex);
    impl_->status = Status::Failed;
    return why;
  }
  m.status = Status::Completed;
  return {};
}

void MovieWriter::cancelWriting() {
  std::lock_guard lock(impl_->mutex);
  Impl& m = *impl_;
  if (m.output && m.output->pb != nullptr) avio_closep(&m.output->pb);
  std::error_code ec;
  std::filesystem::remove(m.partial, ec);
  if (m.status != Status::Failed) m.status = Status::Cancelled;
}

MovieWriter::Status MovieWriter::status() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->status;
}

std::string MovieWriter::error() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->error;
}

int MovieWriter::errorNumber() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->errorNumber;
}

}  // namespace media
