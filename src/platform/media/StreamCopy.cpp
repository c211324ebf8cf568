#include "platform/media/StreamCopy.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <system_error>

#include "platform/media/FFmpegSupport.h"

namespace media {

namespace {

namespace fs = std::filesystem;

struct Source {
  av::Input ctx;
  int video = -1;
  int audio = -1;
};

fd::Expected<Source> openSource(const fs::path& file) {
  av::quietLibraryLog();
  AVFormatContext* raw = nullptr;
  int r = avformat_open_input(&raw, file.c_str(), nullptr, nullptr);
  if (r < 0) return fd::fail("cannot open movie " + file.string() + ": " + av::errorText(r));
  Source s;
  s.ctx.reset(raw);
  r = avformat_find_stream_info(raw, nullptr);
  if (r < 0) return fd::fail("cannot read movie " + file.string() + ": " + av::errorText(r));
  s.video = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  s.audio = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (s.video < 0 && s.audio < 0) return fd::fail("no pictures or sound in " + file.string());
  return s;
}

double seconds(int64_t ts, AVRational tb) { return static_cast<double>(ts) * av_q2d(tb); }

double durationOf(const Source& s) {
  if (s.ctx->duration > 0) return static_cast<double>(s.ctx->duration) / AV_TIME_BASE;
  double d = 0;
  for (unsigned i = 0; i < s.ctx->nb_streams; ++i) {
    const AVStream* st = s.ctx->streams[i];
    if (st->duration > 0) d = std::max(d, seconds(st->duration, st->time_base));
  }
  return d;
}

// The packets of one or more sources into one new file.
class Copier {
 public:
  explicit Copier(fs::path destination) : destination_(std::move(destination)) {}
  ~Copier() {
    out_.reset();
    if (!finished_) {
      std::error_code ec;
      fs::remove(av::partialName(destination_), ec);
    }
  }

  // The output's tracks take the first source's formats.
  fd::Status open(const Source& first) {
    const fs::path partial = av::partialName(destination_);
    AVFormatContext* raw = nullptr;
    int r = avformat_alloc_output_context2(&raw, nullptr, "mov", partial.c_str());
    if (r < 0 || raw == nullptr) return fd::fail("no movie container: " + av::errorText(r));
    out_.reset(raw);
    for (int in : {first.video, first.audio}) {
      if (in < 0) continue;
      AVStream* st = avformat_new_stream(raw, nullptr);
      if (st == nullptr) return fd::fail("cannot add a track");
      r = avcodec_parameters_copy(st->codecpar, first.ctx->streams[in]->codecpar);
      if (r < 0) return fd::fail("cannot copy a track's format: " + av::errorText(r));
      st->codecpar->codec_tag = 0;
      st->time_base = first.ctx->streams[in]->time_base;
      (in == first.video ? videoOut_ : audioOut_) = st->index;
    }
    copyDisplayMatrix(first);
    r = avio_open(&raw->pb, partial.c_str(), AVIO_FLAG_WRITE);
    if (r < 0) return fd::fail("cannot write a movie at " + destination_.string() + ": " + av::errorText(r));
    r = avformat_write_header(raw, nullptr);
    if (r < 0) return fd::fail("cannot start the movie: " + av::errorText(r));
    lastDts_.assign(raw->nb_streams, std::numeric_limits<int64_t>::min());
    return {};
  }

  // Copies the stretch of `src` to the output from `cursor` seconds on;
  // returns how long the copied stretch lasts.
  fd::Expected<double> append(const Source& src, std::optional<CopyRange> range, double cursor) {
    if (auto s = compatible(src); !s) return s.failure();
    const double start = range ? range->start : 0;
    const double end = range ? range->end : std::numeric_limits<double>::infinity();
    AVFormatContext* in = src.ctx.get();
    if (start > 0) {
      // Back to the key frame at or before the start: packets cannot begin elsewhere.
      const int seekStream = src.video >= 0 ? src.video : src.audio;
      const AVRational tb = in->streams[seekStream]->time_base;
      const int64_t ts = av_rescale(std::llround(start * 1e6), tb.den, static_cast<int64_t>(tb.num) * 1000000);
      if (av_seek_frame(in, seekStream, ts, AVSEEK_FLAG_BACKWARD) < 0)
        av_seek_frame(in, seekStream, 0, AVSEEK_FLAG_BACKWARD);
    }
    // The output time of a packet is its time less `origin` plus `cursor`.
    std::optional<double> origin;
    if (src.video < 0) origin = start;
    std::vector<av::Packet> early;  // sound read before the first key frame fixed the origin
    double lastEnd = cursor, videoEnd = cursor;
    bool videoDone = src.video < 0, audioDone = src.audio < 0;
    av::Packet pkt = av::makePacket();
    while (!(videoDone && audioDone)) {
      const int r = av_read_frame(in, pkt.get());
      if (r == AVERROR_EOF) break;
      if (r < 0) return fd::fail("cannot read the movie: " + av::errorText(r));
      const int si = pkt->stream_index;
      if (si != src.video && si != src.audio) {
        av_packet_unref(pkt.get());
        continue;
      }
      const AVRational tb = in->streams[si]->time_base;
      const int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
      const double t = ts == AV_NOPTS_VALUE ? 0 : seconds(ts, tb);
      if (t >= end) {
        (si == src.video ? videoDone : audioDone) = true;
        av_packet_unref(pkt.get());
        continue;
      }
      if (si == src.video && !origin) {
        if (!(pkt->flags & AV_PKT_FLAG_KEY)) {  // a cut may not begin between key frames
          av_packet_unref(pkt.get());
          continue;
        }
        origin = t;
        for (auto& a : early)
          if (auto s = write(src, *a, *origin, cursor, lastEnd); !s) return s.failure();
        early.clear();
      }
      if (!origin) {
        av::Packet keep = av::makePacket();
        av_packet_move_ref(keep.get(), pkt.get());
        early.push_back(std::move(keep));
        continue;
      }
      if (t + 1e-9 < *origin) {
        av_packet_unref(pkt.get());
        continue;
      }
      auto s = write(src, *pkt, *origin, cursor, si == src.video ? videoEnd : lastEnd);
      av_packet_unref(pkt.get());
      if (!s) return s.failure();
    }
    lastEnd = std::max(lastEnd, videoEnd);
    if (!origin) return fd::fail("no pictures in the asked stretch");
    // The next stretch follows the pictures (sound may run a packet over), and
    // never later than the asked end.
    double length = (src.video >= 0 ? videoEnd : lastEnd) - cursor;
    if (range) length = std::min(length, end - *origin);
    return length;
  }

  fd::Status finish() {
    int r = av_write_trailer(out_.get());
    if (r < 0) return fd::fail("cannot finish the movie: " + av::errorText(r));
    r = avio_closep(&out_->pb);
    if (r < 0) return fd::fail("cannot close the movie: " + av::errorText(r));
    out_.reset();
    std::error_code ec;
    fs::rename(av::partialName(destination_), destination_, ec);
    if (ec) return fd::fail("cannot name the movie " + destination_.string() + ": " + ec.message());
    finished_ = true;
    return {};
  }

 private:
  // The picture's turn (a recording made upright in another orientation) goes with it.
  void copyDisplayMatrix(const Source& first) {
    if (first.video < 0) return;
    const AVStream* st = first.ctx->streams[first.video];
    std::size_t size = 0;
    const std::uint8_t* matrix = av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (matrix == nullptr || size == 0) return;
    std::uint8_t* copy = av_stream_new_side_data(out_->streams[videoOut_], AV_PKT_DATA_DISPLAYMATRIX, size);
    if (copy != nullptr) std::copy(matrix, matrix + size, copy);
  }

  fd::Status compatible(const Source& src) const {
    auto same = [&](int in, int out) -> bool {
      if (in < 0 || out < 0) return true;
      const AVCodecParameters* a = src.ctx->streams[in]->codecpar;
      const AVCodecParameters* b = out_->streams[out]->codecpar;
      return a->codec_id == b->codec_id && a->width == b->width && a->height == b->height &&
             a->sample_rate == b->sample_rate;
    };
    if (!same(src.video, videoOut_) || !same(src.audio, audioOut_))
      return fd::fail("the movies differ in format and cannot be joined without re-encoding");
    return {};
  }

  fd::Status write(const Source& src, AVPacket& p, double origin, double cursor, double& lastEnd) {
    const bool video = p.stream_index == src.video;
    const int outIndex = video ? videoOut_ : audioOut_;
    if (outIndex < 0) return {};
    const AVRational inTb = src.ctx->streams[p.stream_index]->time_base;
    AVStream* os = out_->streams[outIndex];
    const int64_t shift = std::llround((origin - cursor) / av_q2d(inTb));
    if (p.pts != AV_NOPTS_VALUE) p.pts -= shift;
    if (p.dts != AV_NOPTS_VALUE) p.dts -= shift;
    av_packet_rescale_ts(&p, inTb, os->time_base);
    // Decoding order stays strictly increasing where two stretches meet.
    int64_t& last = lastDts_[outIndex];
    if (p.dts != AV_NOPTS_VALUE && last != std::numeric_limits<int64_t>::min() && p.dts <= last) {
      p.dts = last + 1;
      if (p.pts != AV_NOPTS_VALUE && p.pts < p.dts) p.pts = p.dts;
    }
    if (p.dts != AV_NOPTS_VALUE) last = p.dts;
    const int64_t pts = p.pts != AV_NOPTS_VALUE ? p.pts : p.dts;
    lastEnd = std::max(lastEnd, seconds(pts + std::max<int64_t>(p.duration, 0), os->time_base));
    p.stream_index = outIndex;
    p.pos = -1;
    const int r = av_interleaved_write_frame(out_.get(), &p);
    if (r < 0) return fd::fail("cannot write the movie: " + av::errorText(r));
    return {};
  }

  fs::path destination_;
  av::Output out_;
  int videoOut_ = -1, audioOut_ = -1;
  std::vector<int64_t> lastDts_;
  bool finished_ = false;
};

fd::Status checkRange(CopyRange r) {
  if (!(r.start >= 0) || !(r.end > r.start)) return fd::fail("the stretch to cut is empty or inverted");
  return {};
}

}  // namespace

fd::Expected<double> movieDuration(const fs::path& file) {
  auto s = openSource(file);
  if (!s) return s.failure();
  return durationOf(*s);
}

fd::Status copyMovieRange(const fs::path& source, CopyRange range, const fs::path& destination) {
  return joinMovies({JoinPart{source, range}}, destination);
}

fd::Status joinMovies(const std::vector<JoinPart>& parts, const fs::path& destination) {
  if (parts.empty()) return fd::fail("no movies to join");
  std::vector<Source> sources;
  for (const JoinPart& part : parts) {
    if (part.range)
      if (auto s = checkRange(*part.range); !s) return s;
    auto src = openSource(part.file);
    if (!src) return src.failure();
    sources.push_back(std::move(*src));
  }
  Copier copier(destination);
  if (auto s = copier.open(sources.front()); !s) return s;
  double cursor = 0;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    auto copied = copier.append(sources[i], parts[i].range, cursor);
    if (!copied) return copied.failure();
    cursor += *copied;
  }
  return copier.finish();
}

}  // namespace media
