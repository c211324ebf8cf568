#include "platform/media/StreamCopy.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>
#include <system_error>

#include "platform/media/FFmpegSupport.h"

namespace media {

namespace {

namespace fs = std::filesystem;

// A picture this close to a stretch's start counts as at the start.
constexpr double kTimeSlack = 1e-6;

struct Source {
  av::OpenedInput opened;
  AVFormatContext* ctx = nullptr;  // opened's
  int video = -1;
  int audio = -1;
};

fd::Expected<Source> openSource(const fs::path& file) {
  auto opened = av::openInput(file, {});
  if (!opened) return opened.failure();
  Source s;
  s.opened = std::move(*opened);
  s.ctx = s.opened.ctx.get();
  s.video = av_find_best_stream(s.ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  s.audio = av_find_best_stream(s.ctx, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (s.video < 0 && s.audio < 0) return fd::fail("no pictures or sound in " + file.filename().string());
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

// --- H.264 framing: parameter sets and the two ways NAL units are delimited.

using Bytes = std::vector<std::uint8_t>;
constexpr int kNalSps = 7, kNalPps = 8;

// The NAL units of Annex B bytes (start codes 00 00 01 or 00 00 00 01).
std::vector<std::span<const std::uint8_t>> annexBUnits(std::span<const std::uint8_t> data) {
  std::vector<std::span<const std::uint8_t>> units;
  std::size_t i = 0, begin = std::string::npos;
  const auto startCodeAt = [&](std::size_t k) { return k + 3 <= data.size() && data[k] == 0 && data[k + 1] == 0 && data[k + 2] == 1; };
  while (i < data.size()) {
    if (startCodeAt(i)) {
      if (begin != std::string::npos) {
        std::size_t end = i;
        while (end > begin && data[end - 1] == 0) --end;  // the zero of a four-byte start code
        units.push_back(data.subspan(begin, end - begin));
      }
      i += 3;
      begin = i;
      continue;
    }
    ++i;
  }
  if (begin != std::string::npos && begin < data.size()) units.push_back(data.subspan(begin));
  return units;
}

// Whether track header bytes are an avcC record (else Annex B).
bool isAvcRecord(std::span<const std::uint8_t> extradata) { return extradata.size() >= 7 && extradata[0] == 1; }

// The SPS and PPS units of a track header, in the order stored.
std::vector<Bytes> parameterSets(std::span<const std::uint8_t> extradata) {
  std::vector<Bytes> sets;
  if (!isAvcRecord(extradata)) {
    for (auto unit : annexBUnits(extradata)) {
      const int type = unit.empty() ? 0 : unit[0] & 0x1f;
      if (type == kNalSps || type == kNalPps) sets.emplace_back(unit.begin(), unit.end());
    }
    return sets;
  }
  std::size_t at = 5;
  for (int kind = 0; kind < 2 && at < extradata.size(); ++kind) {
    const int count = kind == 0 ? extradata[at] & 0x1f : extradata[at];
    ++at;
    for (int n = 0; n < count && at + 2 <= extradata.size(); ++n) {
      const std::size_t len = static_cast<std::size_t>(extradata[at] << 8 | extradata[at + 1]);
      at += 2;
      if (at + len > extradata.size()) return sets;
      sets.emplace_back(extradata.begin() + static_cast<std::ptrdiff_t>(at),
                        extradata.begin() + static_cast<std::ptrdiff_t>(at + len));
      at += len;
    }
  }
  return sets;
}

// Units in the track's framing: big-endian lengths of `lengthSize` bytes, or
// Annex B start codes when it is 0.
void appendUnit(Bytes& out, std::span<const std::uint8_t> unit, int lengthSize) {
  if (lengthSize == 0) {
    out.insert(out.end(), {0, 0, 0, 1});
  } else {
    for (int k = lengthSize - 1; k >= 0; --k) out.push_back(static_cast<std::uint8_t>(unit.size() >> (8 * k)));
  }
  out.insert(out.end(), unit.begin(), unit.end());
}

std::span<const std::uint8_t> extradataOf(const AVCodecParameters* par) {
  if (par->extradata == nullptr || par->extradata_size <= 0) return {};
  return {par->extradata, static_cast<std::size_t>(par->extradata_size)};
}

// The pictures from a stretch's start up to its first key frame, decoded and
// encoded again, so the stretch can begin where it was asked to.
class HeadEncoder {
 public:
  HeadEncoder(const Source& src, const AVCodecParameters* outPar) : src_(src), outPar_(outPar) {}

  // The kept pictures of a packet read before the first key frame; `keep`
  // decides by a picture's time, `emit` takes each encoded packet.
  template <typename Keep, typename Emit>
  fd::Status decode(const AVPacket* pkt, Keep&& keep, Emit&& emit) {
    if (!decoder_) {
      auto d = av::openDecoder(src_.ctx->streams[src_.video], {});
      if (!d) return d.failure();
      decoder_ = std::move(*d);
    }
    if (avcodec_send_packet(decoder_.get(), pkt) < 0 && pkt != nullptr) return {};  // a damaged picture is skipped
    av::Frame frame = av::makeFrame();
    while (avcodec_receive_frame(decoder_.get(), frame.get()) == 0) {
      std::int64_t ts = frame->best_effort_timestamp;
      if (ts == AV_NOPTS_VALUE) ts = frame->pts;
      if (ts != AV_NOPTS_VALUE && keep(seconds(ts, timeBase()))) {
        if (auto s = encode(frame.get(), ts, emit); !s) return s;
      }
      av_frame_unref(frame.get());
    }
    return {};
  }

  // Every picture still in the decoder, then every packet still in the encoder.
  template <typename Keep, typename Emit>
  fd::Status finish(Keep&& keep, Emit&& emit) {
    if (decoder_)
      if (auto s = decode(nullptr, keep, emit); !s) return s;
    if (!encoder_) return {};
    avcodec_send_frame(encoder_.get(), nullptr);
    return drain(emit);
  }

  bool started() const { return encoder_ != nullptr; }
  // Whether the packets after the head must bring the track's own parameter sets.
  bool changedParameterSets() const { return inBand_; }

 private:
  AVRational timeBase() const { return src_.ctx->streams[src_.video]->time_base; }

  fd::Status openEncoder(const AVFrame* first) {
    if (outPar_ == nullptr) return fd::fail("the movie has no picture track to cut");
    const AVStream* st = src_.ctx->streams[src_.video];
    if (st->codecpar->codec_id != AV_CODEC_ID_H264)
      return fd::fail("a stretch of a " + std::string(avcodec_get_name(st->codecpar->codec_id)) +
                      " movie can only begin at a key frame");
    AVRational rate = st->avg_frame_rate.num > 0 ? st->avg_frame_rate : st->r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = AVRational{30, 1};
    // One key frame at the head's start is all it needs.
    auto e = av::openH264Encoder({first->width, first->height, timeBase(), rate, 1 << 20});
    if (!e) return e.failure();
    encoder_ = std::move(*e);
    frameDuration_ = av_rescale_q(1, av_inv_q(rate), timeBase());
    const auto own = parameterSets(extradataOf(outPar_));
    const std::span<const std::uint8_t> mine(encoder_->extradata, static_cast<std::size_t>(std::max(0, encoder_->extradata_size)));
    inBand_ = parameterSets(mine) != own;
    if (inBand_) headSets_ = parameterSets(mine);
    const auto out = extradataOf(outPar_);
    lengthSize_ = isAvcRecord(out) ? (out[4] & 3) + 1 : 0;
    return {};
  }

  template <typename Emit>
  fd::Status encode(AVFrame* frame, std::int64_t ts, Emit& emit) {
    if (!encoder_)
      if (auto s = openEncoder(frame); !s) return s;
    AVFrame* in = frame;
    av::Frame converted;
    if (frame->format != encoder_->pix_fmt || frame->width != encoder_->width || frame->height != encoder_->height) {
      sws_.reset(sws_getCachedContext(sws_.release(), frame->width, frame->height,
                                      static_cast<AVPixelFormat>(frame->format), encoder_->width, encoder_->height,
                                      encoder_->pix_fmt, SWS_BILINEAR, nullptr, nullptr, nullptr));
      converted = av::makeFrame();
      converted->format = encoder_->pix_fmt;
      converted->width = encoder_->width;
      converted->height = encoder_->height;
      if (!sws_ || av_frame_get_buffer(converted.get(), 0) < 0) return fd::fail("the pictures cannot be converted");
      sws_scale(sws_.get(), frame->data, frame->linesize, 0, frame->height, converted->data, converted->linesize);
      in = converted.get();
    }
    in->pts = ts;
    in->pict_type = AV_PICTURE_TYPE_NONE;
    if (avcodec_send_frame(encoder_.get(), in) < 0) return fd::fail("the pictures cannot be encoded");
    return drain(emit);
  }

  template <typename Emit>
  fd::Status drain(Emit& emit) {
    av::Packet pkt = av::makePacket();
    for (;;) {
      const int r = avcodec_receive_packet(encoder_.get(), pkt.get());
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return {};
      if (r < 0) return fd::fail("the pictures cannot be encoded: " + av::errorText(r));
      // The encoder frames its units with start codes; the track may want lengths.
      Bytes body;
      if (inBand_ && !setsSent_) {
        for (const Bytes& set : headSets_) appendUnit(body, set, lengthSize_);
        setsSent_ = true;
      }
      for (auto unit : annexBUnits({pkt->data, static_cast<std::size_t>(pkt->size)})) appendUnit(body, unit, lengthSize_);
      av::Packet out = av::makePacket();
      if (av_new_packet(out.get(), static_cast<int>(body.size())) < 0) return fd::fail("out of memory");
      std::memcpy(out->data, body.data(), body.size());
      out->pts = pkt->pts;
      out->dts = pkt->dts;
      out->duration = pkt->duration > 0 ? pkt->duration : frameDuration_;
      out->flags = pkt->flags;
      out->stream_index = src_.video;
      av_packet_unref(pkt.get());
      if (auto s = emit(*out); !s) return s;
    }
  }

  const Source& src_;
  const AVCodecParameters* outPar_;
  av::CodecContext decoder_, encoder_;
  av::Sws sws_;
  std::int64_t frameDuration_ = 1;
  bool inBand_ = false, setsSent_ = false;
  std::vector<Bytes> headSets_;
  int lengthSize_ = 4;
};

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
    AVFormatContext* in = src.ctx;
    if (start > 0) {
      // Back to the key frame at or before the start: decoding begins there.
      const int seekStream = src.video >= 0 ? src.video : src.audio;
      const AVRational tb = in->streams[seekStream]->time_base;
      const int64_t ts = av_rescale(std::llround(start * 1e6), tb.den, static_cast<int64_t>(tb.num) * 1000000);
      if (av_seek_frame(in, seekStream, ts, AVSEEK_FLAG_BACKWARD) < 0)
        av_seek_frame(in, seekStream, 0, AVSEEK_FLAG_BACKWARD);
    }
    // The output time of a packet is its time less `origin` plus `cursor`:
    // the first picture kept starts the stretch.
    std::optional<double> origin;
    if (src.video < 0) origin = start;
    std::vector<av::Packet> early;  // sound read before the first picture kept fixed the origin
    double lastEnd = cursor, videoEnd = cursor;
    bool videoDone = src.video < 0, audioDone = src.audio < 0;
    bool copying = false;           // from the first key frame of the stretch on
    bool resendSets = false;        // after a head whose parameter sets were its own
    HeadEncoder head(src, videoOut_ >= 0 ? out_->streams[videoOut_]->codecpar : nullptr);

    const auto fixOrigin = [&](double t) -> fd::Status {
      origin = t;
      for (auto& a : early)
        if (auto s = write(src, *a, *origin, cursor, lastEnd); !s) return s;
      early.clear();
      return {};
    };
    fd::Status heldBack;  // a failure while the origin was fixed from inside the head
    const auto keep = [&](double t) {
      if (t + kTimeSlack < start || t >= end) return false;
      if (!origin) heldBack = fixOrigin(t);
      return heldBack.ok();
    };
    const auto emitHead = [&](AVPacket& p) { return write(src, p, *origin, cursor, videoEnd); };

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
      if (si == src.video && !copying) {
        if ((pkt->flags & AV_PKT_FLAG_KEY) && t + kTimeSlack >= start) {
          // The first key frame of the stretch: what comes before it is
          // encoded, what follows is copied.
          if (auto s = head.finish(keep, emitHead); !s) return s.failure();
          if (!heldBack) return heldBack.failure();
          resendSets = head.changedParameterSets();
          if (!origin)
            if (auto s = fixOrigin(t); !s) return s.failure();
          copying = true;
        } else {
          auto s = head.decode(pkt.get(), keep, emitHead);
          av_packet_unref(pkt.get());
          if (!s) return s.failure();
          if (!heldBack) return heldBack.failure();
          continue;
        }
      }
      if (!origin) {
        av::Packet held = av::makePacket();
        av_packet_move_ref(held.get(), pkt.get());
        early.push_back(std::move(held));
        continue;
      }
      if (t + 1e-9 < *origin) {
        av_packet_unref(pkt.get());
        continue;
      }
      if (si == src.video && resendSets) {
        if (auto s = withOwnParameterSets(src, *pkt); !s) return s.failure();
        resendSets = false;
      }
      auto s = write(src, *pkt, *origin, cursor, si == src.video ? videoEnd : lastEnd);
      av_packet_unref(pkt.get());
      if (!s) return s.failure();
    }
    if (!copying)
      if (auto s = head.finish(keep, emitHead); !s) return s.failure();
    if (!heldBack) return heldBack.failure();
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

  // The source's own SPS and PPS before a key frame that follows pictures
  // encoded with other ones.
  fd::Status withOwnParameterSets(const Source& src, AVPacket& p) {
    const auto own = extradataOf(src.ctx->streams[src.video]->codecpar);
    const int lengthSize = isAvcRecord(own) ? (own[4] & 3) + 1 : 0;
    Bytes body;
    for (const Bytes& set : parameterSets(own)) appendUnit(body, set, lengthSize);
    body.insert(body.end(), p.data, p.data + p.size);
    av::Packet joined = av::makePacket();
    if (av_new_packet(joined.get(), static_cast<int>(body.size())) < 0) return fd::fail("out of memory");
    std::memcpy(joined->data, body.data(), body.size());
    av_packet_copy_props(joined.get(), &p);
    av_packet_unref(&p);
    av_packet_move_ref(&p, joined.get());
    return {};
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
