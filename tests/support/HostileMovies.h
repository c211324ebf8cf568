#pragma once
// Movies a camera or a trim must refuse, made in the test: a motion-JPEG
// movie whose pictures are as large as asked (16000 x 16000 fits in about a
// megabyte, since every 8 x 8 block of a flat grey picture takes two bits),
// a movie whose headers are intact but whose picture data is junk, and a
// movie of noise too large for a FIFO to hold.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Expected.h"
#include "platform/media/MovieWriter.h"

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

// A top-level box of a QuickTime or MPEG-4 file: where its payload lies.
struct MovieBox {
  std::string type;
  std::uint64_t payloadAt = 0, payloadSize = 0;
};

// The file's top-level boxes in order (empty for a file that is none).
inline std::vector<MovieBox> topLevelBoxes(const std::filesystem::path& file) {
  std::vector<MovieBox> boxes;
  std::ifstream in(file, std::ios::binary);
  std::error_code ec;
  const std::uint64_t end = std::filesystem::file_size(file, ec);
  std::uint64_t at = 0;
  const auto bigEndian = [&](int bytes) {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = v << 8 | static_cast<std::uint8_t>(in.get());
    return v;
  };
  while (!ec && at + 8 <= end) {
    in.seekg(static_cast<std::streamoff>(at));
    std::uint64_t size = bigEndian(4);
    std::string type(4, ' ');
    in.read(type.data(), 4);
    std::uint64_t header = 8;
    if (size == 1) {
      size = bigEndian(8);
      header = 16;
    } else if (size == 0) {
      size = end - at;
    }
    if (!in || size < header || size > end - at) break;
    boxes.push_back({type, at + header, size - header});
    at += size;
  }
  return boxes;
}

// Whether the movie's index (moov) comes after its picture data (mdat), as a
// movie is written unless asked otherwise.
inline bool indexAfterPictures(const std::filesystem::path& file) {
  std::optional<std::size_t> mdat, moov;
  const std::vector<MovieBox> boxes = topLevelBoxes(file);
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    if (boxes[i].type == "mdat" && !mdat) mdat = i;
    if (boxes[i].type == "moov" && !moov) moov = i;
  }
  return mdat && moov && *moov > *mdat;
}

// Overwrites the payload of every mdat box with junk, keeping the headers and
// the index: the movie opens and tells its tracks, but none of its pictures
// decodes. False when the file has no picture data.
inline bool scrambleMovieData(const std::filesystem::path& file) {
  std::fstream io(file, std::ios::binary | std::ios::in | std::ios::out);
  std::uint32_t state = 0x2545F491u;
  bool scrambled = false;
  for (const MovieBox& box : topLevelBoxes(file)) {
    if (box.type != "mdat" || box.payloadSize == 0) continue;
    std::vector<char> junk(box.payloadSize);
    for (char& c : junk) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      c = static_cast<char>(state >> 24);
    }
    io.seekp(static_cast<std::streamoff>(box.payloadAt));
    io.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    scrambled = static_cast<bool>(io);
  }
  return scrambled;
}

// One second of noise at 320 x 240 in an MPEG-4 file as the media layer
// writes it (its index after its pictures): noise does not compress, so the
// file is well over a megabyte.
inline fd::Status writeNoiseMovie(const std::filesystem::path& file) {
  auto writer = media::MovieWriter::create(file, media::MovieContainer::MPEG4);
  if (!writer) return writer.failure();
  media::MovieWriter& w = **writer;
  if (auto s = w.addVideoTrack({320, 240, 30, 30}); !s) return s;
  if (!w.startWriting()) return fd::fail(w.error());
  w.startSession(CMTimeMake(0, 600));
  std::uint32_t state = 1;
  for (int i = 0; i < 30; ++i) {
    auto p = media::PixelBuffer::make(320, 240);
    for (std::uint8_t& b : p->data) {
      state = state * 1664525u + 1013904223u;
      b = static_cast<std::uint8_t>(state >> 24);
    }
    w.appendVideo(*p, CMTimeMake(i * 20, 600));
  }
  return w.finishWriting();
}

}  // namespace testing_support
