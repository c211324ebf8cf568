// PNG reading and writing with libpng, from and to memory. libpng reports
// errors by longjmp, so everything a longjmp may cross lives in a Job object
// owned by the caller (no automatic C++ objects in the jumping frames).
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstring>
#include <string>

#include "platform/foundation/FileUtil.h"
#include "platform/graphics/Codec.h"
#include "platform/graphics/Image.h"

namespace gfx {

namespace {

constexpr std::uint32_t kMaxDimension = 1u << 15;

struct ReadJob {
  const fd::Data* in = nullptr;
  const ReadLimits* limits = nullptr;
  std::size_t pos = 0;
  Image image;
  std::vector<png_bytep> rows;
  std::string error;
};

void pngError(png_structp png, png_const_charp message) {
  auto* error = static_cast<std::string*>(png_get_error_ptr(png));
  if (error != nullptr && error->empty()) *error = message;
  png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

void readFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* job = static_cast<ReadJob*>(png_get_io_ptr(png));
  if (job->in->size() - job->pos < length) png_error(png, "PNG data ends early");
  std::memcpy(out, job->in->data() + job->pos, length);
  job->pos += length;
}

// The decoding proper; false with job.error set on failure.
bool runRead(png_structp png, png_infop info, ReadJob& job) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, &job, readFromMemory);
  png_set_user_limits(png, kMaxDimension, kMaxDimension);
  png_read_info(png, info);
  png_uint_32 w = 0, h = 0;
  int depth = 0, colorType = 0, interlace = 0;
  png_get_IHDR(png, info, &w, &h, &depth, &colorType, &interlace, nullptr, nullptr);
  if (!job.limits->admits(w, h)) {
    job.error = std::to_string(w) + "x" + std::to_string(h) + " pixels are more than allowed here";
    return false;
  }
  png_set_expand(png);  // palette to RGB, low-bit grey to 8 bits, tRNS to alpha
  png_set_strip_16(png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<png_size_t>(w) * 4) png_error(png, "unexpected PNG row layout");
  job.image = Image(static_cast<int>(w), static_cast<int>(h));
  job.rows.resize(h);
  for (png_uint_32 y = 0; y < h; ++y) job.rows[y] = job.image.pixel(0, static_cast<int>(y));
  png_read_image(png, job.rows.data());
  png_read_end(png, nullptr);
  return true;
}

struct WriteJob {
  fd::Data out;
  std::vector<png_bytep> rows;
  std::string error;
};

void writeToMemory(png_structp png, png_bytep data, png_size_t length) {
  auto* job = static_cast<WriteJob*>(png_get_io_ptr(png));
  job->out.insert(job->out.end(), data, data + length);
}

void flushNothing(png_structp) {}

// libpng's filter flags by PngEncoding::Filter (Adaptive: all five).
constexpr int kPngFilterFlags[] = {PNG_ALL_FILTERS, PNG_FILTER_NONE, PNG_FILTER_SUB,
                                   PNG_FILTER_UP,   PNG_FILTER_AVG,  PNG_FILTER_PAETH};

bool runWrite(png_structp png, png_infop info, const Image& image, const PngEncoding& encoding, WriteJob& job) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, &job, writeToMemory, flushNothing);
  const int level = encoding.compressionLevel;
  if (level >= 0) png_set_compression_level(png, level > 9 ? 9 : level);
  if (encoding.filter != PngEncoding::Filter::Adaptive) {
    png_set_filter(png, PNG_FILTER_TYPE_BASE, kPngFilterFlags[static_cast<int>(encoding.filter)]);
  }
  if (encoding.runLength) png_set_compression_strategy(png, Z_RLE);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.pixelWidth()), static_cast<png_uint_32>(image.pixelHeight()),
               8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  job.rows.resize(image.pixelHeight());
  for (int y = 0; y < image.pixelHeight(); ++y) job.rows[y] = const_cast<png_bytep>(image.pixel(0, y));
  png_write_image(png, job.rows.data());
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

fd::Expected<Image> decodePNG(const fd::Data& bytes, const ReadLimits& limits) {
  if (!looksLikePNG(bytes)) return fd::fail("not a PNG file");
  ReadJob job;
  job.in = &bytes;
  job.limits = &limits;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &job.error, pngError, pngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return fd::fail("out of memory");
  }
  bool ok = runRead(png, info, job);
  png_destroy_read_struct(&png, &info, nullptr);
  if (!ok) return fd::fail(job.error.empty() ? "corrupt PNG data" : "PNG: " + job.error);
  return std::move(job.image);
}

fd::Expected<fd::Data> encodePNG(const Image& image, int compressionLevel) {
  PngEncoding encoding;
  encoding.compressionLevel = compressionLevel;
  return encodePNG(image, encoding);
}

fd::Expected<fd::Data> encodePNG(const Image& image, const PngEncoding& encoding) {
  if (image.empty()) return fd::fail("an empty picture has no PNG form");
  Image straight;
  const Image* src = &image;
  if (image.premultiplied()) {
    straight = image;
    straight.unpremultiply();
    src = &straight;
  }
  WriteJob job;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job.error, pngError, pngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return fd::fail("out of memory");
  }
  bool ok = runWrite(png, info, *src, encoding, job);
  png_destroy_write_struct(&png, &info);
  if (!ok) return fd::fail("PNG: " + (job.error.empty() ? std::string("cannot encode") : job.error));
  return std::move(job.out);
}

fd::Status writePNG(const std::filesystem::path& path, const Image& image, int compressionLevel) {
  auto bytes = encodePNG(image, compressionLevel);
  if (!bytes) return fd::fail(path.string() + ": " + bytes.error());
  if (!fd::files::writeFileAtomically(path, *bytes)) return fd::fail("cannot write " + path.string());
  return {};
}

}  // namespace gfx
