// PNG reading and writing with libpng, from and to memory. libpng reports
// errors by longjmp, so everything a longjmp may cross lives in a Job object
// owned by the caller (no automatic C++ objects in the jumping frames).
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/FileUtil.h"
#include "platform/graphics/Codec.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/PixelFormat.h"

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

bool runWrite(png_structp png, png_infop info, const Image& image, int level, WriteJob& job) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, &job, writeToMemory, flushNothing);
  if (level >= 0) png_set_compression_level(png, level > 9 ? 9 : level);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.pixelWidth()), static_cast<png_uint_32>(image.pixelHeight()),
               8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  job.rows.resize(image.pixelHeight());
  for (int y = 0; y < image.pixelHeight(); ++y) job.rows[y] = const_cast<png_bytep>(image.pixel(0, y));
  png_write_image(png, job.rows.data());
  png_write_end(png, nullptr);
  return true;
}

// --- the striped writer: the rows cut into stripes that are filtered and
// compressed at the same time, one zlib stream all the same.

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
// A private, ancillary chunk that lists the rows of each stripe, one IDAT
// chunk per stripe; readers that do not know it skip it.
constexpr char kStripeChunk[5] = "fdSP";
constexpr int kMinStripeRows = 48;
constexpr int kMostStripes = 8;

void putU32(fd::Data& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 24));
  out.push_back(static_cast<std::uint8_t>(v >> 16));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

// One row as stored: straight alpha (unpremultiplied from a premultiplied
// picture, as Image::unpremultiply does).
void straightRow(const Image& image, int y, std::uint8_t* out) {
  const std::uint8_t* in = image.pixel(0, y);
  const std::size_t n = static_cast<std::size_t>(image.pixelWidth()) * 4;
  if (!image.premultiplied()) {
    std::memcpy(out, in, n);
    return;
  }
  for (std::size_t i = 0; i < n; i += 4) {
    const std::uint8_t a = in[i + 3];
    if (a == 255) {
      std::memcpy(out + i, in + i, 4);
    } else if (a == 0) {
      std::memset(out + i, 0, 4);
    } else {
      for (int k = 0; k < 3; ++k) out[i + k] = pixelformat::unpremultiply(in[i + k], a);
      out[i + 3] = a;
    }
  }
}

std::uint8_t paeth(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return static_cast<std::uint8_t>(a);
  return static_cast<std::uint8_t>(pb <= pc ? b : c);
}

// The filter type byte, then the row filtered against the one above (null
// for the first row, which has zeros above it).
void filterRow(PngEncoding::Filter filter, const std::uint8_t* row, const std::uint8_t* above, std::size_t n,
               std::uint8_t* out) {
  constexpr std::size_t bpp = 4;
  out[0] = static_cast<std::uint8_t>(static_cast<int>(filter) - 1);
  std::uint8_t* f = out + 1;
  switch (filter) {
    case PngEncoding::Filter::Sub:
      std::memcpy(f, row, std::min(n, bpp));
      for (std::size_t i = bpp; i < n; ++i) f[i] = static_cast<std::uint8_t>(row[i] - row[i - bpp]);
      break;
    case PngEncoding::Filter::Up:
      if (!above) std::memcpy(f, row, n);
      else
        for (std::size_t i = 0; i < n; ++i) f[i] = static_cast<std::uint8_t>(row[i] - above[i]);
      break;
    case PngEncoding::Filter::Average:
      for (std::size_t i = 0; i < n; ++i) {
        const int left = i >= bpp ? row[i - bpp] : 0, up = above ? above[i] : 0;
        f[i] = static_cast<std::uint8_t>(row[i] - (left + up) / 2);
      }
      break;
    case PngEncoding::Filter::Paeth:
      for (std::size_t i = 0; i < n; ++i) {
        const int left = i >= bpp ? row[i - bpp] : 0, up = above ? above[i] : 0;
        const int upLeft = above && i >= bpp ? above[i - bpp] : 0;
        f[i] = static_cast<std::uint8_t>(row[i] - paeth(left, up, upLeft));
      }
      break;
    default:
      std::memcpy(f, row, n);
      break;
  }
}

// The adaptive filter tries all five filters on every row: one byte x
// filtered all five ways (a: the byte left of it, b: above, c: above left),
// in the order of the filter types.
void filterFiveWays(int x, int a, int b, int c, std::uint8_t v[5]) {
  v[0] = static_cast<std::uint8_t>(x);
  v[1] = static_cast<std::uint8_t>(x - a);
  v[2] = static_cast<std::uint8_t>(x - b);
  v[3] = static_cast<std::uint8_t>(x - ((a + b) >> 1));
  v[4] = static_cast<std::uint8_t>(x - paeth(a, b, c));
}

// How far a filtered byte is from zero, taken as signed. The smaller a row's
// sum, the better it usually compresses.
std::uint32_t distanceFromZero(std::uint8_t v) {
  return static_cast<std::uint32_t>(std::abs(static_cast<std::int8_t>(v)));
}

// Sixteen bytes of a row from its fifth on (each has a pixel to its left),
// each filtered all five ways into out[k] + i, with their distances added to
// each filter's sum: a fixed count, which the compiler does with vector
// instructions.
void filterSixteenFiveWays(const std::uint8_t* __restrict row, const std::uint8_t* __restrict above,
                           std::uint8_t* __restrict o0, std::uint8_t* __restrict o1, std::uint8_t* __restrict o2,
                           std::uint8_t* __restrict o3, std::uint8_t* __restrict o4, std::uint32_t distance[5]) {
  std::uint32_t s0 = 0, s1 = 0, s2 = 0, s3 = 0, s4 = 0;
  for (int j = 0; j < 16; ++j) {
    std::uint8_t v[5];
    filterFiveWays(row[j], row[j - 4], above[j], above[j - 4], v);
    o0[j] = v[0], o1[j] = v[1], o2[j] = v[2], o3[j] = v[3], o4[j] = v[4];
    s0 += distanceFromZero(v[0]), s1 += distanceFromZero(v[1]), s2 += distanceFromZero(v[2]),
        s3 += distanceFromZero(v[3]), s4 += distanceFromZero(v[4]);
  }
  distance[0] += s0, distance[1] += s1, distance[2] += s2, distance[3] += s3, distance[4] += s4;
}

// Each row's filter chosen as libpng's default writer chooses it: the one
// whose output is nearest to all zeros, the earlier filter on a tie. Without
// a row above only None and Sub are tried, so that a stripe's first row
// needs nothing from the stripe before it. `trial` holds one row per filter.
void filterRowAdaptively(const std::uint8_t* row, const std::uint8_t* above, std::size_t n, std::uint8_t* trial,
                         std::uint8_t* out) {
  using Filter = PngEncoding::Filter;
  constexpr Filter kTried[] = {Filter::None, Filter::Sub, Filter::Up, Filter::Average, Filter::Paeth};
  const std::size_t stride = n + 1;
  std::uint32_t distance[5] = {};
  std::size_t tried = 2;
  if (above) {
    std::uint8_t* const f[5] = {trial + 1, trial + stride + 1, trial + 2 * stride + 1, trial + 3 * stride + 1,
                                trial + 4 * stride + 1};
    auto one = [&](std::size_t i, int a, int c) {
      std::uint8_t v[5];
      filterFiveWays(row[i], a, above[i], c, v);
      for (int k = 0; k < 5; ++k) f[k][i] = v[k], distance[k] += distanceFromZero(v[k]);
    };
    std::size_t i = 0;
    for (; i < std::min<std::size_t>(4, n); ++i) one(i, 0, 0);
    for (; i + 16 <= n; i += 16)
      filterSixteenFiveWays(row + i, above + i, f[0] + i, f[1] + i, f[2] + i, f[3] + i, f[4] + i, distance);
    for (; i < n; ++i) one(i, row[i - 4], above[i - 4]);
    tried = 5;
  } else {
    for (std::size_t k = 0; k < tried; ++k) {
      filterRow(kTried[k], row, nullptr, n, trial + k * stride);
      for (std::size_t i = 1; i <= n; ++i) distance[k] += distanceFromZero(trial[k * stride + i]);
    }
  }
  // On a picture one pixel wide libpng tries no filter that reads the pixel
  // to the left: Sub and Paeth come to None and Up there, but Average does not.
  const bool onePixel = n <= 4;
  std::size_t best = 0;
  for (std::size_t k = 1; k < tried; ++k)
    if ((!onePixel || kTried[k] == Filter::Up) && distance[k] < distance[best]) best = k;
  trial[best * stride] = static_cast<std::uint8_t>(static_cast<int>(kTried[best]) - 1);
  std::memcpy(out, trial + best * stride, stride);
}

// The zlib strategy libpng's writer takes for these settings: short matches
// are worth little in filtered rows, whose small differences the Huffman
// codes already store in few bits.
int strategyFor(const PngEncoding& encoding) {
  if (encoding.runLength) return Z_RLE;
  return encoding.filter == PngEncoding::Filter::None ? Z_DEFAULT_STRATEGY : Z_FILTERED;
}

int levelOf(const PngEncoding& encoding) {
  return encoding.compressionLevel < 0 ? Z_DEFAULT_COMPRESSION : std::min(encoding.compressionLevel, 9);
}

// One stripe's working memory, kept by an encoder from one picture to the
// next: its rows, filtered and compressed, and the compressor itself.
struct Stripe {
  int firstRow = 0, rows = 0;
  bool last = false;
  std::vector<std::uint8_t> straight[2];
  std::vector<std::uint8_t> trial;  // the adaptive filter's candidates for one row
  std::vector<std::uint8_t> raw;
  fd::Data deflated;
  std::size_t deflatedSize = 0;
  uLong adler = 1;
  bool ok = false;
  z_stream zs{};
  bool zsReady = false;

  Stripe() = default;
  Stripe(const Stripe&) = delete;
  Stripe& operator=(const Stripe&) = delete;
  ~Stripe() {
    if (zsReady) deflateEnd(&zs);
  }

  // The compressor for these settings, set up once and reset after.
  bool compressor(const PngEncoding& encoding) {
    if (zsReady) return deflateReset(&zs) == Z_OK;
    zsReady = deflateInit2(&zs, levelOf(encoding), Z_DEFLATED, -15, 8, strategyFor(encoding)) == Z_OK;
    return zsReady;
  }
};

// Filters and compresses one stripe as raw deflate: a full flush at its end
// (the next stripe starts afresh, byte-aligned), the end of the stream after
// the last.
void compressStripe(const Image& image, const PngEncoding& encoding, Stripe& stripe) {
  stripe.ok = false;
  try {
    const std::size_t n = static_cast<std::size_t>(image.pixelWidth()) * 4;
    for (auto& row : stripe.straight) row.resize(n);
    stripe.raw.resize(static_cast<std::size_t>(stripe.rows) * (n + 1));
    const bool adaptive = encoding.filter == PngEncoding::Filter::Adaptive;
    if (adaptive) stripe.trial.resize(5 * (n + 1));
    const bool needsAbove = encoding.filter != PngEncoding::Filter::None && encoding.filter != PngEncoding::Filter::Sub;
    // A single filter reaches into the stripe before; the adaptive one does not.
    bool haveAbove = false;
    if (needsAbove && !adaptive && stripe.firstRow > 0) {
      straightRow(image, stripe.firstRow - 1, stripe.straight[1].data());
      haveAbove = true;
    }
    for (int r = 0; r < stripe.rows; ++r) {
      std::uint8_t* row = stripe.straight[r % 2].data();
      const std::uint8_t* above = haveAbove ? stripe.straight[(r + 1) % 2].data() : nullptr;
      std::uint8_t* out = stripe.raw.data() + r * (n + 1);
      straightRow(image, stripe.firstRow + r, row);
      if (adaptive) filterRowAdaptively(row, above, n, stripe.trial.data(), out);
      else filterRow(encoding.filter, row, above, n, out);
      haveAbove = needsAbove;
    }
    stripe.adler = adler32(1, stripe.raw.data(), static_cast<uInt>(stripe.raw.size()));
    if (!stripe.compressor(encoding)) return;
    z_stream& zs = stripe.zs;
    stripe.deflated.resize(deflateBound(&zs, static_cast<uLong>(stripe.raw.size())) + 16);
    zs.next_in = stripe.raw.data();
    zs.avail_in = static_cast<uInt>(stripe.raw.size());
    zs.next_out = stripe.deflated.data();
    zs.avail_out = static_cast<uInt>(stripe.deflated.size());
    const int result = deflate(&zs, stripe.last ? Z_FINISH : Z_FULL_FLUSH);
    stripe.ok = stripe.last ? result == Z_STREAM_END : (result == Z_OK && zs.avail_in == 0 && zs.avail_out > 0);
    stripe.deflatedSize = stripe.deflated.size() - zs.avail_out;
  } catch (const std::bad_alloc&) {
    stripe.ok = false;
  }
}

// The zlib header as zlib writes it: deflate with a 32K window, no preset
// dictionary, and the level's speed class (only a hint to readers).
void putZlibHeader(fd::Data& out, int level) {
  const int speed = level == Z_DEFAULT_COMPRESSION ? 2 : level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
  int header = (0x78 << 8) | (speed << 6);
  header += 31 - header % 31;
  out.push_back(static_cast<std::uint8_t>(header >> 8));
  out.push_back(static_cast<std::uint8_t>(header));
}

// A chunk written straight into the file: its length and check sum are
// filled in when it ends.
std::size_t beginChunk(fd::Data& out, const char type[4]) {
  const std::size_t at = out.size();
  putU32(out, 0);
  out.insert(out.end(), type, type + 4);
  return at;
}

void endChunk(fd::Data& out, std::size_t at) {
  const std::size_t size = out.size() - at - 8;
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(size >> (24 - 8 * i));
  putU32(out, static_cast<std::uint32_t>(crc32(0, out.data() + at + 4, static_cast<uInt>(size + 4))));
}

}  // namespace

struct PngEncoder::Work {
  PngEncoding encoding;
  std::vector<std::unique_ptr<Stripe>> stripes;
  fd::Data out;

  fd::Status encode(const Image& image, Spread spread);
};

fd::Status PngEncoder::Work::encode(const Image& image, Spread spread) {
  if (image.empty()) return fd::fail("an empty picture has no PNG form");
  const int w = image.pixelWidth(), h = image.pixelHeight();
  const std::size_t rowBytes = static_cast<std::size_t>(w) * 4 + 1;
  if (rowBytes * static_cast<std::size_t>(h) > (std::size_t{1} << 31)) return fd::fail("PNG: the picture is too large");
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const int count = std::clamp(h / kMinStripeRows, 1, std::min(kMostStripes, cores));
  try {
    while (static_cast<int>(stripes.size()) < count) stripes.push_back(std::make_unique<Stripe>());
  } catch (const std::bad_alloc&) {
    return fd::fail("PNG: cannot encode");
  }
  for (int i = 0; i < count; ++i) {
    Stripe& s = *stripes[static_cast<std::size_t>(i)];
    s.firstRow = static_cast<int>(static_cast<long>(h) * i / count);
    s.rows = static_cast<int>(static_cast<long>(h) * (i + 1) / count) - s.firstRow;
    s.last = i + 1 == count;
  }
  if (spread == Spread::SideBySide) {
    std::vector<std::future<void>> others;
    // Where no thread can start (no room for its stack), a stripe is
    // compressed on this thread as its result is asked for.
    for (int i = 1; i < count; ++i)
      others.push_back(std::async(std::launch::async | std::launch::deferred,
                                  [&, i] { compressStripe(image, encoding, *stripes[i]); }));
    compressStripe(image, encoding, *stripes[0]);
    for (auto& f : others) f.get();
  } else {
    for (int i = 0; i < count; ++i) compressStripe(image, encoding, *stripes[static_cast<std::size_t>(i)]);
  }
  for (int i = 0; i < count; ++i)
    if (!stripes[static_cast<std::size_t>(i)]->ok) return fd::fail("PNG: cannot encode");

  try {
    out.clear();
    std::size_t total = 8 + 25 + 12 + 5 + 4 * static_cast<std::size_t>(count) + 12 + 6;
    for (int i = 0; i < count; ++i) total += 12 + stripes[static_cast<std::size_t>(i)]->deflatedSize;
    out.reserve(total);
    out.insert(out.end(), std::begin(kSignature), std::end(kSignature));
    std::size_t at = beginChunk(out, "IHDR");
    putU32(out, static_cast<std::uint32_t>(w));
    putU32(out, static_cast<std::uint32_t>(h));
    out.insert(out.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA, deflate, filtered rows, not interlaced
    endChunk(out, at);
    at = beginChunk(out, kStripeChunk);
    out.push_back(1);
    putU32(out, static_cast<std::uint32_t>(count));
    for (int i = 0; i < count; ++i) putU32(out, static_cast<std::uint32_t>(stripes[static_cast<std::size_t>(i)]->rows));
    endChunk(out, at);
    uLong adler = 1;
    for (int i = 0; i < count; ++i) {
      const Stripe& s = *stripes[static_cast<std::size_t>(i)];
      adler = i == 0 ? s.adler : adler32_combine(adler, s.adler, static_cast<z_off_t>(s.raw.size()));
      at = beginChunk(out, "IDAT");
      if (i == 0) putZlibHeader(out, levelOf(encoding));
      out.insert(out.end(), s.deflated.begin(), s.deflated.begin() + static_cast<long>(s.deflatedSize));
      if (s.last) putU32(out, static_cast<std::uint32_t>(adler));
      endChunk(out, at);
    }
    endChunk(out, beginChunk(out, "IEND"));
  } catch (const std::bad_alloc&) {
    return fd::fail("PNG: cannot encode");
  }
  return {};
}

PngEncoder::PngEncoder(const PngEncoding& encoding) : work_(std::make_unique<Work>()) { work_->encoding = encoding; }

PngEncoder::~PngEncoder() = default;
PngEncoder::PngEncoder(PngEncoder&&) noexcept = default;
PngEncoder& PngEncoder::operator=(PngEncoder&&) noexcept = default;

fd::Expected<std::span<const std::uint8_t>> PngEncoder::encode(const Image& image, Spread spread) {
  if (fd::Status done = work_->encode(image, spread); !done) return done.failure();
  return std::span<const std::uint8_t>(work_->out);
}

namespace {

// --- reading striped files: their stripes are inflated side by side.

std::uint32_t getU32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

struct Chunk {
  const std::uint8_t* type = nullptr;
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  bool is(const char* name) const { return std::memcmp(type, name, 4) == 0; }
};

// The chunks of a whole file whose every CRC checks out; empty otherwise.
std::vector<Chunk> checkedChunks(const fd::Data& bytes) {
  std::vector<Chunk> chunks;
  std::size_t at = sizeof kSignature;
  while (at < bytes.size()) {
    if (bytes.size() - at < 12) return {};
    const std::size_t size = getU32(bytes.data() + at);
    if (size > bytes.size() - at - 12) return {};
    Chunk c{bytes.data() + at + 4, bytes.data() + at + 8, size};
    const uLong crc = crc32(0, c.type, static_cast<uInt>(size + 4));
    if (crc != getU32(c.data + size)) return {};
    chunks.push_back(c);
    at += size + 12;
    if (c.is("IEND")) return at == bytes.size() ? chunks : std::vector<Chunk>{};
  }
  return {};
}

// Inflates one stripe's raw deflate data into exactly `out`. A stripe before
// the last must end where a reader of the whole stream would start a new
// block (byte-aligned, after a block that is not the last); the last must end
// the stream, with `trailing` bytes left.
bool inflateStripe(const std::uint8_t* in, std::size_t size, std::uint8_t* out, std::size_t outSize, bool last,
                   std::size_t trailing) {
  z_stream zs{};
  if (inflateInit2(&zs, -15) != Z_OK) return false;
  zs.next_in = const_cast<std::uint8_t*>(in);
  zs.avail_in = static_cast<uInt>(size);
  zs.next_out = out;
  zs.avail_out = static_cast<uInt>(outSize);
  bool ok = false;
  for (;;) {
    const int r = inflate(&zs, last ? Z_NO_FLUSH : Z_BLOCK);
    if (r == Z_STREAM_END) {
      ok = last && zs.avail_out == 0 && zs.avail_in == trailing;
      break;
    }
    if (r != Z_OK) break;
    if (!last && zs.avail_in == 0) {
      ok = zs.avail_out == 0 && zs.data_type == 128;
      break;
    }
  }
  inflateEnd(&zs);
  return ok;
}

// Undoes a row's filter from `in` into `out` (above: the row above, already
// undone; null for the first row).
void unfilterRow(std::uint8_t type, const std::uint8_t* in, std::uint8_t* out, const std::uint8_t* above,
                 std::size_t n) {
  constexpr std::size_t bpp = 4;
  switch (type) {
    case 1:
      std::memcpy(out, in, std::min(n, bpp));
      for (std::size_t i = bpp; i < n; ++i) out[i] = static_cast<std::uint8_t>(in[i] + out[i - bpp]);
      break;
    case 2:
      if (!above) std::memcpy(out, in, n);
      else
        for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(in[i] + above[i]);
      break;
    case 3:
      for (std::size_t i = 0; i < n; ++i) {
        const int left = i >= bpp ? out[i - bpp] : 0, up = above ? above[i] : 0;
        out[i] = static_cast<std::uint8_t>(in[i] + (left + up) / 2);
      }
      break;
    case 4:
      for (std::size_t i = 0; i < n; ++i) {
        const int left = i >= bpp ? out[i - bpp] : 0, up = above ? above[i] : 0;
        const int upLeft = above && i >= bpp ? above[i - bpp] : 0;
        out[i] = static_cast<std::uint8_t>(in[i] + paeth(left, up, upLeft));
      }
      break;
    default:
      std::memcpy(out, in, n);
      break;
  }
}

// A file as the striped writer makes it (8-bit RGBA, not interlaced, the
// stripe table, one IDAT per stripe, nothing else), decoded; nullopt for any
// other file or one that does not check out, which libpng then reads.
std::optional<Image> decodeStriped(const fd::Data& bytes, const ReadLimits& limits) {
  const std::vector<Chunk> chunks = checkedChunks(bytes);
  if (chunks.size() < 4 || !chunks[0].is("IHDR") || chunks[0].size != 13 || !chunks[1].is(kStripeChunk) ||
      !chunks.back().is("IEND"))
    return std::nullopt;
  const std::uint8_t* ihdr = chunks[0].data;
  const std::uint32_t w = getU32(ihdr), h = getU32(ihdr + 4);
  if (ihdr[8] != 8 || ihdr[9] != 6 || ihdr[10] != 0 || ihdr[11] != 0 || ihdr[12] != 0) return std::nullopt;
  if (w == 0 || h == 0 || w > kMaxDimension || h > kMaxDimension || !limits.admits(w, h)) return std::nullopt;
  const Chunk& table = chunks[1];
  if (table.size < 5 || table.data[0] != 1) return std::nullopt;
  const std::uint32_t count = getU32(table.data + 1);
  if (count == 0 || count > kMostStripes || table.size != 5 + 4 * std::size_t{count} ||
      chunks.size() != 3 + std::size_t{count})
    return std::nullopt;
  const std::size_t rowBytes = std::size_t{w} * 4 + 1;
  struct Part {
    const std::uint8_t* in;
    std::size_t size;
    std::size_t firstRow, rows;
    std::vector<std::uint8_t> raw;
    uLong adler = 1;
    bool ok = false, undone = false;
  };
  std::vector<Part> parts;
  std::size_t row = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t rows = getU32(table.data + 5 + 4 * i);
    const Chunk& idat = chunks[2 + i];
    if (!idat.is("IDAT") || rows == 0 || rows > h - row) return std::nullopt;
    Part part{idat.data, idat.size, row, rows, {}};
    if (i == 0) {
      // The zlib header: deflate with a window of at most 32K, no preset dictionary.
      if (part.size < 2 || (part.in[0] & 0x0f) != 8 || (part.in[0] >> 4) > 7 || (part.in[1] & 0x20) != 0 ||
          ((part.in[0] << 8) | part.in[1]) % 31 != 0)
        return std::nullopt;
      part.in += 2;
      part.size -= 2;
    }
    parts.push_back(std::move(part));
    row += rows;
  }
  if (row != h || parts.back().size < 4) return std::nullopt;
  Image image;
  try {
    image = Image(static_cast<int>(w), static_cast<int>(h));
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  const std::size_t n = rowBytes - 1;
  auto rowOf = [&](std::size_t y) { return image.pixel(0, static_cast<int>(y)); };
  // Rows that filter against the row above wait for the stripe before.
  auto undo = [&](Part& part, bool first) {
    for (std::size_t r = 0; r < part.rows; ++r) {
      const std::uint8_t type = part.raw[r * rowBytes];
      if (type > 4) return;
      if (r == 0 && !first && type >= 2) return;
    }
    for (std::size_t r = 0; r < part.rows; ++r) {
      const std::size_t y = part.firstRow + r;
      unfilterRow(part.raw[r * rowBytes], part.raw.data() + r * rowBytes + 1, rowOf(y), y > 0 ? rowOf(y - 1) : nullptr,
                  n);
    }
    part.undone = true;
  };
  auto inflatePart = [&](Part& part) {
    try {
      const bool last = &part == &parts.back();
      part.raw.resize(part.rows * rowBytes);
      part.ok = inflateStripe(part.in, part.size, part.raw.data(), part.raw.size(), last, last ? 4 : 0);
      if (!part.ok) return;
      part.adler = adler32(1, part.raw.data(), static_cast<uInt>(part.raw.size()));
      undo(part, &part == &parts.front());
    } catch (const std::bad_alloc&) {
      part.ok = false;
    }
  };
  {
    std::vector<std::future<void>> others;
    // As the stripes are compressed: on this thread when no other can start.
    for (std::size_t i = 1; i < parts.size(); ++i)
      others.push_back(std::async(std::launch::async | std::launch::deferred, [&, i] { inflatePart(parts[i]); }));
    inflatePart(parts[0]);
    for (auto& f : others) f.get();
  }
  uLong adler = 1;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (!parts[i].ok) return std::nullopt;
    adler = i == 0 ? parts[i].adler
                   : adler32_combine(adler, parts[i].adler, static_cast<z_off_t>(parts[i].rows * rowBytes));
  }
  const Part& last = parts.back();
  if (adler != getU32(last.in + last.size - 4)) return std::nullopt;
  for (Part& part : parts) {
    if (part.undone) continue;
    for (std::size_t r = 0; r < part.rows; ++r) {
      const std::size_t y = part.firstRow + r;
      const std::uint8_t type = part.raw[r * rowBytes];
      if (type > 4) return std::nullopt;
      unfilterRow(type, part.raw.data() + r * rowBytes + 1, rowOf(y), y > 0 ? rowOf(y - 1) : nullptr, n);
    }
  }
  return image;
}

}  // namespace

fd::Expected<Image> decodePNG(const fd::Data& bytes, const ReadLimits& limits) {
  if (!looksLikePNG(bytes)) return fd::fail("not a PNG file");
  if (std::optional<Image> striped = decodeStriped(bytes, limits)) return std::move(*striped);
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
  bool ok = runWrite(png, info, *src, compressionLevel, job);
  png_destroy_write_struct(&png, &info);
  if (!ok) return fd::fail("PNG: " + (job.error.empty() ? std::string("cannot encode") : job.error));
  return std::move(job.out);
}

fd::Expected<fd::Data> encodePNG(const Image& image, const PngEncoding& encoding) {
  PngEncoder encoder(encoding);
  if (fd::Status done = encoder.work_->encode(image, PngEncoder::Spread::SideBySide); !done) return done.failure();
  return std::move(encoder.work_->out);
}

fd::Status writePNG(const std::filesystem::path& path, const Image& image, int compressionLevel) {
  auto bytes = encodePNG(image, compressionLevel);
  if (!bytes) return fd::fail(path.string() + ": " + bytes.error());
  return fd::files::writeFileAtomicallyReporting(path, *bytes);
}

}  // namespace gfx
