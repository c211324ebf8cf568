#include "platform/media/MovieReader.h"

#include <cmath>
#include <cstring>
#include <deque>

#include "platform/media/FFmpegSupport.h"

extern "C" {
#include <libavutil/display.h>
}

namespace media {

namespace {
constexpr int kAudioRate = 44100;
// Packets of the picture track that may go by before the first picture: far
// more than any decoder holds back or a stream taken up between key frames
// waits, and few enough that a file of junk is given up at once.
constexpr int kPacketsBeforeFirstPicture = 300;
}  // namespace

struct MovieReader::Impl {
  av::OpenedInput opened;
  AVFormatContext* input = nullptr;  // opened's
  int videoIndex = -1, audioIndex = -1;
  av::CodecContext video, audio;
  av::Sws sws;
  av::Swr swr;
  av::Packet packet = av::makePacket();
  av::Frame frame = av::makeFrame();
  std::deque<VideoSample> videoQueue;
  std::deque<AudioSamples> audioQueue;
  bool readsAudio = false;
  bool demuxEnded = false;
  bool videoFlushed = false, audioFlushed = false;
  Status status = Status::Reading;
  std::string error;
  std::string name;  // the file's, for messages
  // Until the first picture: how many packets of the picture track went by,
  // and the last thing the demuxer or the decoder said against them.
  bool gavePicture = false;
  int picturePackets = 0;
  int readError = 0, decodeError = 0;

  // The movie's start in the stream's time base.
  std::int64_t movieStartIn(const AVStream* stream) const {
    const std::int64_t start = input->start_time;
    if (start == AV_NOPTS_VALUE) return stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    return av_rescale_q(start, AV_TIME_BASE_Q, stream->time_base);
  }

  CMTime timeOf(const AVFrame* f, AVStream* stream) const {
    std::int64_t pts = f->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) pts = f->pts;
    if (pts == AV_NOPTS_VALUE) return kCMTimeInvalid;
    // On the movie's time line, which starts with its earliest track: a
    // picture track that starts after the sound keeps its distance from it.
    pts -= movieStartIn(stream);
    // Media times carry 32-bit timescales: keep the stream's when it fits.
    AVRational tb = stream->time_base;
    if (tb.den > 0 && tb.den <= INT32_MAX && tb.num == 1) return CMTimeMake(pts, tb.den);
    return CMTimeMake(av_rescale_q(pts, tb, AVRational{1, 90000}), 90000);
  }

  void fail(std::string message) {
    status = Status::Failed;
    error = std::move(message);
  }

  void receiveVideo() {
    AVStream* stream = input->streams[videoIndex];
    for (;;) {
      const int r = avcodec_receive_frame(video.get(), frame.get());
      if (r != 0) {
        if (r != AVERROR(EAGAIN) && r != AVERROR_EOF) decodeError = r;
        return;
      }
      if (frame->width <= 0 || frame->height <= 0) continue;
      auto pixels = PixelBuffer::make(frame->width, frame->height);
      sws.reset(sws_getCachedContext(sws.release(), frame->width, frame->height,
                                     static_cast<AVPixelFormat>(frame->format), frame->width, frame->height,
                                     AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr));
      if (!sws) {
        fail("the movie's pictures cannot be converted");
        return;
      }
      av::scaleIntoPixels(sws.get(), frame->data, frame->linesize, frame->height, *pixels);
      videoQueue.push_back({std::move(pixels), timeOf(frame.get(), stream)});
      gavePicture = true;
      av_frame_unref(frame.get());
    }
  }

  // A movie that opened but gives no picture, within a bound, is as unusable
  // as one that does not open: said in words, so nobody shows a blank screen.
  bool picturesGivenUp() const { return !gavePicture && picturePackets >= kPacketsBeforeFirstPicture; }
  void failWithoutPicture() {
    if (status == Status::Failed) return;
    if (picturePackets == 0) {
      fail(name + " ended before its first picture" + (readError != 0 ? " (" + av::errorText(readError) + ")" : ""));
      return;
    }
    fail(name + " holds pictures that cannot be decoded" +
         (decodeError != 0 ? " (" + av::errorText(decodeError) + ")" : ""));
  }

  void receiveAudio() {
    AVStream* stream = input->streams[audioIndex];
    while (avcodec_receive_frame(audio.get(), frame.get()) == 0) {
      if (!swr) {
        AVChannelLayout mono{};
        av_channel_layout_default(&mono, 1);
        SwrContext* s = nullptr;
        if (swr_alloc_set_opts2(&s, &mono, AV_SAMPLE_FMT_FLT, kAudioRate, &frame->ch_layout,
                                static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr) < 0 ||
            swr_init(s) < 0) {
          swr_free(&s);
          fail("the movie's sound cannot be converted");
          return;
        }
        swr.reset(s);
      }
      AudioSamples out;
      out.sampleRate = kAudioRate;
      out.channels = 1;
      out.presentationTime = timeOf(frame.get(), stream);
      const int maxOut = swr_get_out_samples(swr.get(), frame->nb_samples);
      out.samples.resize(static_cast<std::size_t>(std::max(maxOut, 0)));
      std::uint8_t* dst[1] = {reinterpret_cast<std::uint8_t*>(out.samples.data())};
      const int got = swr_convert(swr.get(), dst, maxOut, const_cast<const std::uint8_t**>(frame->extended_data),
                                  frame->nb_samples);
      av_frame_unref(frame.get());
      if (got <= 0) continue;
      out.samples.resize(static_cast<std::size_t>(got));
      audioQueue.push_back(std::move(out));
    }
  }

  // Reads one packet and decodes it; false once the file has nothing more.
  bool pump() {
    if (status == Status::Failed) return false;
    if (demuxEnded) {
      if (!videoFlushed && video) {
        videoFlushed = true;
        avcodec_send_packet(video.get(), nullptr);
        receiveVideo();
        return true;
      }
      if (!audioFlushed && audio && readsAudio) {
        audioFlushed = true;
        avcodec_send_packet(audio.get(), nullptr);
        receiveAudio();
        return true;
      }
      return false;
    }
    const int r = av_read_frame(input, packet.get());
    if (r < 0) {
      // A cut-short file ends where its readable part ends.
      if (r != AVERROR_EOF) readError = r;
      demuxEnded = true;
      return true;
    }
    if (packet->stream_index == videoIndex && video) {
      if (!gavePicture) ++picturePackets;
      const int sent = avcodec_send_packet(video.get(), packet.get());
      if (sent >= 0)
        receiveVideo();
      else
        decodeError = sent;
    } else if (packet->stream_index == audioIndex && audio && readsAudio) {
      if (avcodec_send_packet(audio.get(), packet.get()) >= 0) receiveAudio();
    }
    av_packet_unref(packet.get());
    return true;
  }

  void updateStatus() {
    if (status == Status::Failed) return;
    const bool videoDone = !video || (videoFlushed && videoQueue.empty());
    const bool audioDone = !audio || !readsAudio || (audioFlushed && audioQueue.empty());
    if (demuxEnded && videoDone && audioDone) status = Status::Completed;
  }
};

fd::Expected<std::unique_ptr<MovieReader>> MovieReader::open(const std::filesystem::path& file,
                                                             const MovieReadOptions& options) {
  auto opened = av::openInput(file, options);
  if (!opened) return opened.failure();
  std::unique_ptr<MovieReader> r(new MovieReader());
  r->impl_ = std::make_unique<Impl>();
  Impl& m = *r->impl_;
  m.opened = std::move(*opened);
  m.input = m.opened.ctx.get();
  m.name = file.filename().string();
  AVFormatContext* ctx = m.input;
  std::string decoderFailure;
  auto openDecoder = [&](int index, av::CodecContext& out) -> bool {
    auto decoder = av::openDecoder(ctx->streams[index], options.limits);
    if (!decoder) {
      decoderFailure = decoder.error();
      return false;
    }
    out = std::move(*decoder);
    return true;
  };
  m.videoIndex = av_find_best_stream(ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (m.videoIndex >= 0 && !openDecoder(m.videoIndex, m.video)) m.videoIndex = -1;
  m.audioIndex = av_find_best_stream(ctx, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (m.audioIndex >= 0 && !openDecoder(m.audioIndex, m.audio)) m.audioIndex = -1;
  if (m.videoIndex < 0 && m.audioIndex < 0)
    return fd::fail(file.filename().string() + " has no picture or sound the program can read" +
                    (decoderFailure.empty() ? "" : " (" + decoderFailure + ")"));
  return r;
}

MovieReader::~MovieReader() = default;

double MovieReader::duration() const {
  const AVFormatContext* ctx = impl_->input;
  if (ctx->duration != AV_NOPTS_VALUE && ctx->duration > 0) return static_cast<double>(ctx->duration) / AV_TIME_BASE;
  return 0;
}

bool MovieReader::hasVideo() const { return impl_->video != nullptr; }
bool MovieReader::hasAudio() const { return impl_->audio != nullptr; }
int MovieReader::width() const { return impl_->video ? impl_->video->width : 0; }
int MovieReader::height() const { return impl_->video ? impl_->video->height : 0; }

double MovieReader::nominalFrameRate() const {
  if (impl_->videoIndex < 0) return 0;
  const AVRational r = impl_->input->streams[impl_->videoIndex]->avg_frame_rate;
  return r.den > 0 ? av_q2d(r) : 0;
}

int MovieReader::rotationDegrees() const {
  if (impl_->videoIndex < 0) return 0;
  AVStream* s = impl_->input->streams[impl_->videoIndex];
  const std::uint8_t* matrix = av_stream_get_side_data(s, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
  if (matrix == nullptr) return 0;
  const double angle = -av_display_rotation_get(reinterpret_cast<const std::int32_t*>(matrix));
  int degrees = static_cast<int>(std::lround(angle / 90.0)) * 90 % 360;
  return degrees < 0 ? degrees + 360 : degrees;
}

VideoTransform MovieReader::preferredTransform() const {
  if (impl_->videoIndex < 0) return {};
  AVStream* s = impl_->input->streams[impl_->videoIndex];
  const auto* m = reinterpret_cast<const std::int32_t*>(av_stream_get_side_data(s, AV_PKT_DATA_DISPLAYMATRIX, nullptr));
  if (m == nullptr) return {};
  const auto real = [](std::int32_t v) { return static_cast<float>(v / 65536.0); };
  return {real(m[0]), real(m[1]), real(m[3]), real(m[4]), real(m[6]), real(m[7])};
}

void MovieReader::setReadsAudio(bool reads) { impl_->readsAudio = reads; }

std::optional<VideoSample> MovieReader::nextVideoFrame() {
  Impl& m = *impl_;
  if (!m.video) return std::nullopt;
  while (m.videoQueue.empty() && !m.picturesGivenUp() && m.pump()) {
    // Sound read beside the pictures waits in its queue; unread, it is dropped.
    if (!m.readsAudio) m.audioQueue.clear();
  }
  if (m.videoQueue.empty() && !m.gavePicture) m.failWithoutPicture();
  std::optional<VideoSample> out;
  if (!m.videoQueue.empty()) {
    out = std::move(m.videoQueue.front());
    m.videoQueue.pop_front();
  }
  m.updateStatus();
  return out;
}

std::optional<AudioSamples> MovieReader::nextAudioSamples() {
  Impl& m = *impl_;
  if (!m.audio || !m.readsAudio) return std::nullopt;
  // Pictures decoded on the way wait for nextVideoFrame; a reader that never
  // asks for them would hold them all, so only a few seconds are kept.
  while (m.audioQueue.empty() && m.videoQueue.size() < 180 && m.pump()) {
  }
  std::optional<AudioSamples> out;
  if (!m.audioQueue.empty()) {
    out = std::move(m.audioQueue.front());
    m.audioQueue.pop_front();
  }
  m.updateStatus();
  return out;
}

std::optional<VideoSample> MovieReader::frameAt(double seconds) {
  Impl& m = *impl_;
  if (!m.video || m.status == Status::Failed) return std::nullopt;
  AVStream* stream = m.input->streams[m.videoIndex];
  std::int64_t target = av_rescale_q(std::llround(std::max(seconds, 0.0) * AV_TIME_BASE), AV_TIME_BASE_Q,
                                     stream->time_base);
  target += m.movieStartIn(stream);
  if (av_seek_frame(m.input, m.videoIndex, target, AVSEEK_FLAG_BACKWARD) >= 0) {
    avcodec_flush_buffers(m.video.get());
    if (m.audio) avcodec_flush_buffers(m.audio.get());
    m.videoQueue.clear();
    m.audioQueue.clear();
    m.demuxEnded = m.videoFlushed = m.audioFlushed = false;
    m.status = Status::Reading;
  }
  std::optional<VideoSample> last;
  while (auto f = nextVideoFrame()) {
    const bool reached = CMTimeGetSeconds(f->presentationTime) + 1e-6 >= seconds;
    last = std::move(f);
    if (reached) break;
  }
  return last;
}

MovieReader::Status MovieReader::status() const { return impl_->status; }
const std::string& MovieReader::error() const { return impl_->error; }

}  // namespace media
