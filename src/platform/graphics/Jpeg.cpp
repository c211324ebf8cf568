// JPEG reading and writing with libjpeg(-turbo) in memory. Errors longjmp back to
// runDecode, so what they may cross lives in the caller's DecodeJob. Data that
// ends early is an error here (libjpeg would pad it with grey and warn).
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <jpeglib.h>
#include <jerror.h>

#include <csetjmp>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <string>

#include "platform/foundation/FileUtil.h"
#include "platform/graphics/Codec.h"
#include "platform/graphics/Exif.h"
#include "platform/graphics/Image.h"

namespace gfx {

namespace {

constexpr int kWarnDataEndsEarly = JWRN_JPEG_EOF;
// What the decoder may take for itself beyond the picture: progressive and
// multi-scan files keep every coefficient of the whole picture (about 6 bytes
// a pixel at most), which the size limits bound; this is the backstop.
constexpr long kMaxDecoderMemory = 256L << 20;
// Every scan of a progressive file goes over the whole picture again; real
// files have about ten.
constexpr int kMaxScans = 256;
// The shrink factors libjpeg decodes at directly, smallest first.
constexpr unsigned kScaleDenominators[] = {1, 2, 4, 8};

struct ErrorManager {
  jpeg_error_mgr base;
  jpeg_progress_mgr progress;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  bool endedEarly;
};

void onError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  err->base.format_message(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

void onProgress(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans) {
    std::snprintf(err->message, sizeof err->message, "more than %d scans", kMaxScans);
    std::longjmp(err->jump, 1);
  }
}

std::size_t scaledSide(std::size_t side, unsigned denominator) { return (side + denominator - 1) / denominator; }

// The smallest shrink that brings the picture inside the limits (1 when it
// already is); 0 when none may be used or none is enough.
unsigned shrinkToFit(std::size_t w, std::size_t h, const ReadLimits& limits) {
  for (unsigned d : kScaleDenominators) {
    if (d > 1 && !limits.scaleDownToFit) break;
    if (limits.admits(scaledSide(w, d), scaledSide(h, d))) return d;
  }
  return 0;
}

void onMessage(j_common_ptr cinfo, int level) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  if (level < 0 && err->base.msg_code == kWarnDataEndsEarly) err->endedEarly = true;
}

struct DecodeJob {
  Image image;
  std::vector<std::uint8_t> row;
  int exif = 1;
  bool adobeInverted = false;
};

void readMarkers(jpeg_decompress_struct& cinfo, DecodeJob& job) {
  for (jpeg_saved_marker_ptr m = cinfo.marker_list; m != nullptr; m = m->next) {
    if (m->marker == JPEG_APP0 + 1) {
      if (auto o = exifOrientation(m->data, m->data_length)) {
        job.exif = *o;
        break;
      }
    }
  }
  // Adobe writes CMYK inverted; its files carry an APP14 "Adobe" segment.
  job.adobeInverted = cinfo.saw_Adobe_marker;
}

void storeRow(const jpeg_decompress_struct& cinfo, const DecodeJob& job, std::uint8_t* out) {
  const std::uint8_t* in = job.row.data();
  const int w = static_cast<int>(cinfo.output_width);
  for (int x = 0; x < w; ++x, out += 4) {
    if (cinfo.out_color_space == JCS_CMYK) {
      const std::uint8_t* p = in + x * 4;
      unsigned k = job.adobeInverted ? p[3] : 255 - p[3];
      for (int i = 0; i < 3; ++i) {
        unsigned c = job.adobeInverted ? p[i] : 255 - p[i];
        out[i] = static_cast<std::uint8_t>((c * k + 127) / 255);
      }
    } else if (cinfo.out_color_space == JCS_GRAYSCALE) {
      out[0] = out[1] = out[2] = in[x];
    } else {
      std::memcpy(out, in + x * 3, 3);
    }
    out[3] = 255;
  }
}

bool runDecode(jpeg_decompress_struct& cinfo, ErrorManager& err, const fd::Data& bytes, const ReadLimits& limits,
               DecodeJob& job) {
  if (setjmp(err.jump)) return false;
  jpeg_create_decompress(&cinfo);
  cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
  err.progress.progress_monitor = onProgress;
  cinfo.progress = &err.progress;
  jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xffff);
  jpeg_read_header(&cinfo, TRUE);
  readMarkers(cinfo, job);
  // Before libjpeg takes any memory for the picture: its header size decides.
  const unsigned shrink = shrinkToFit(cinfo.image_width, cinfo.image_height, limits);
  if (shrink == 0) {
    std::snprintf(err.message, sizeof err.message, "%ux%u pixels are more than allowed here%s",
                  cinfo.image_width, cinfo.image_height, limits.scaleDownToFit ? ", even at 1/8" : "");
    return false;
  }
  cinfo.scale_num = 1;
  cinfo.scale_denom = shrink;
  switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE: cinfo.out_color_space = JCS_GRAYSCALE; break;
    case JCS_CMYK:
    case JCS_YCCK: cinfo.out_color_space = JCS_CMYK; break;
    default: cinfo.out_color_space = JCS_RGB; break;
  }
  jpeg_start_decompress(&cinfo);
  const std::size_t w = cinfo.output_width, h = cinfo.output_height;
  if (!limits.admits(w, h)) {
    std::snprintf(err.message, sizeof err.message, "%zux%zu pixels decoded are more than allowed here", w, h);
    return false;
  }
  job.image = Image(static_cast<int>(w), static_cast<int>(h));
  job.row.resize(w * static_cast<std::size_t>(cinfo.output_components));
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = job.row.data();
    const int y = static_cast<int>(cinfo.output_scanline);
    if (jpeg_read_scanlines(&cinfo, &row, 1) != 1 || err.endedEarly) break;
    storeRow(cinfo, job, job.image.pixel(0, y));
  }
  if (!err.endedEarly) jpeg_finish_decompress(&cinfo);
  if (err.endedEarly) {
    std::snprintf(err.message, sizeof err.message, "data ends early");
    return false;
  }
  return true;
}

}  // namespace

fd::Expected<Image> decodeJPEG(const fd::Data& bytes, const ReadLimits& limits) {
  if (bytes.size() < 4 || !looksLikeJPEG(bytes)) return fd::fail("not a JPEG file");
  jpeg_decompress_struct cinfo;
  std::memset(&cinfo, 0, sizeof cinfo);  // destroying a never-created decoder is then harmless
  ErrorManager err;
  std::memset(&err, 0, sizeof err);
  cinfo.err = jpeg_std_error(&err.base);
  err.base.error_exit = onError;
  err.base.emit_message = onMessage;
  DecodeJob job;
  bool ok = runDecode(cinfo, err, bytes, limits, job);
  jpeg_destroy_decompress(&cinfo);
  if (!ok) return fd::fail(err.message[0] ? "JPEG: " + std::string(err.message) : "corrupt JPEG data");
  job.image.setOrientation(orientationFromExif(job.exif));
  return std::move(job.image);
}

fd::Expected<fd::Data> encodeJPEG(const Image& image, float quality) {
  if (image.empty()) return fd::fail("an empty picture has no JPEG form");
  const Image upright = image.normalizedOrientation();
  const int w = upright.pixelWidth(), h = upright.pixelHeight();
  jpeg_compress_struct cinfo{};
  ErrorManager err{};
  cinfo.err = jpeg_std_error(&err.base);
  err.base.error_exit = onError;
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  std::vector<std::uint8_t> row(static_cast<std::size_t>(w) * 3);
  if (setjmp(err.jump) != 0) {
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    return fd::fail("JPEG: " + std::string(err.message));
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &out, &outSize);
  cinfo.image_width = static_cast<JDIMENSION>(w);
  cinfo.image_height = static_cast<JDIMENSION>(h);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, std::clamp(static_cast<int>(std::lround(quality * 100.0f)), 1, 100), TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < w; ++x) {
      const std::uint8_t* p = upright.pixel(x, y);
      // Straight colour over black is the premultiplied value.
      const int a = upright.premultiplied() ? 255 : p[3];
      for (int c = 0; c < 3; ++c) row[static_cast<std::size_t>(x) * 3 + c] = static_cast<std::uint8_t>(p[c] * a / 255);
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  fd::Data data(out, out + outSize);
  std::free(out);
  return data;
}

}  // namespace gfx
