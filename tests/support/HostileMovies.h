#pragma once
// Movies a camera or a trim must refuse, made in the test: a motion-JPEG
// movie whose pictures are as large as asked (16000 x 16000 fits in about a
// megabyte, since every 8 x 8 block of a flat grey picture takes two bits).
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

namespace testing_support {

// A baseline grey JPEG of width x height, every block the same mid grey.
inline std::vector<std::uint8_t> flatGreyJpeg(int width, int height) {
  std::vector<std::uint8_t> j;
  const auto put16 = [&](int v) {
    j.push_back(static_cast<std::uint8_t>(v >> 8));
    j.push_back(static_cast<std::uint8_t>(v & 255));
  };
  const auto marker = [&](std::uint8_t m) {
    j.push_back(0xFF);
    j.push_back(m);
  };
  marker(0xD8);  // start of image
  marker(0xDB);  // quantisation table 0: all ones
  put16(67);
  j.push_back(0);
  j.insert(j.end(), 64, 1);
  marker(0xC0);  // baseline frame, one component
  put16(11);
  j.push_back(8);
  put16(height);
  put16(width);
  j.push_back(1);
  j.insert(j.end(), {1, 0x11, 0});
  // Huffman tables with one code each, "0": DC difference 0, end of block.
  for (std::uint8_t tableClass : {0x00, 0x10}) {
    marker(0xC4);
    put16(2 + 1 + 16 + 1);
    j.push_back(tableClass);
    j.push_back(1);
    j.insert(j.end(), 15, 0);
    j.push_back(0);
  }
  marker(0xDA);  // start of scan
  put16(8);
  j.insert(j.end(), {1, 1, 0x00, 0, 63, 0});
  const std::size_t blocks = static_cast<std::size_t>((width + 7) / 8) * static_cast<std::size_t>((height + 7) / 8);
  const std::size_t bits = 2 * blocks;
  j.insert(j.end(), bits / 8, 0);
  if (bits % 8 != 0) j.push_back(static_cast<std::uint8_t>(0xFF >> (bits % 8)));  // padded with ones
  marker(0xD9);  // end of image
  return j;
}

// A QuickTime movie of `frames` such pictures at 30 a second; false when it
// could not be written.
inline bool writeFlatMjpegMovie(const std::filesystem::path& file, int width, int height, int frames = 2) {
  const std::vector<std::uint8_t> jpeg = flatGreyJpeg(width, height);
  AVFormatContext* out = nullptr;
  if (avformat_alloc_output_context2(&out, nullptr, "mov", file.c_str()) < 0 || out == nullptr) return false;
  AVStream* st = avformat_new_stream(out, nullptr);
  bool ok = st != nullptr;
  if (ok) {
    st->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    st->codecpar->codec_id = AV_CODEC_ID_MJPEG;
    st->codecpar->width = width;
    st->codecpar->height = height;
    st->time_base = AVRational{1, 30};
  }
  ok = ok && avio_open(&out->pb, file.c_str(), AVIO_FLAG_WRITE) >= 0 && avformat_write_header(out, nullptr) >= 0;
  for (int i = 0; ok && i < frames; ++i) {
    AVPacket* p = av_packet_alloc();
    ok = av_new_packet(p, static_cast<int>(jpeg.size())) >= 0;
    if (ok) {
      std::copy(jpeg.begin(), jpeg.end(), p->data);
      p->pts = p->dts = av_rescale_q(i, AVRational{1, 30}, st->time_base);
      p->duration = av_rescale_q(1, AVRational{1, 30}, st->time_base);
      p->flags |= AV_PKT_FLAG_KEY;
      p->stream_index = st->index;
      ok = av_interleaved_write_frame(out, p) >= 0;
    }
    av_packet_free(&p);
  }
  if (ok) ok = av_write_trailer(out) >= 0;
  if (out->pb != nullptr) avio_closep(&out->pb);
  avformat_free_context(out);
  return ok;
}

}  // namespace testing_support
