// PNG files: exact round trips in straight alpha, "@2x" names, and bad input.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/foundation/FileUtil.h"
#include "platform/graphics/Image.h"
#include "MemoryCeiling.h"
#include "support/Sandbox.h"

namespace {

using gfx::Image;

// Every alpha, with colours chosen so that alpha 0 pixels still carry colour.
Image allAlphas() {
  Image img(256, 3);
  for (int x = 0; x < 256; ++x)
    for (int y = 0; y < 3; ++y) {
      std::uint8_t* p = img.pixel(x, y);
      p[0] = static_cast<std::uint8_t>(255 - x), p[1] = static_cast<std::uint8_t>(x * 7 + y),
      p[2] = static_cast<std::uint8_t>(y * 100), p[3] = static_cast<std::uint8_t>(x);
    }
  return img;
}

class GfxPngTest : public testing_support::SandboxTest {};

// Writes a PNG of another colour type with libpng's own file writer.
void writeRawPNG(const std::filesystem::path& path, int w, int h, int colorType, int depth, bool interlaced,
                 const std::vector<std::vector<png_byte>>& rows, const std::vector<png_color>& palette = {},
                 const std::vector<png_byte>& paletteAlpha = {}) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, w, h, depth, colorType, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  if (!paletteAlpha.empty())
    png_set_tRNS(png, info, paletteAlpha.data(), static_cast<int>(paletteAlpha.size()), nullptr);
  png_write_info(png, info);
  std::vector<png_bytep> ptrs;
  for (const auto& r : rows) ptrs.push_back(const_cast<png_bytep>(r.data()));
  png_write_image(png, ptrs.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

TEST_F(GfxPngTest, OtherColourTypesBecomeRgba) {
  // Palette with a transparent entry.
  writeRawPNG(root() / "pal.png", 2, 1, PNG_COLOR_TYPE_PALETTE, 8, false, {{0, 1}}, {{255, 0, 0}, {0, 0, 255}}, {0});
  auto pal = gfx::readPNG(root() / "pal.png");
  ASSERT_TRUE(pal);
  EXPECT_EQ(pal->bytes(), (std::vector<std::uint8_t>{255, 0, 0, 0, 0, 0, 255, 255}));

  // 16-bit grey with alpha: the high bytes are kept.
  writeRawPNG(root() / "grey.png", 1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, {{0x80, 0x01, 0x40, 0xff}});
  auto grey = gfx::readPNG(root() / "grey.png");
  ASSERT_TRUE(grey);
  EXPECT_EQ(grey->bytes(), (std::vector<std::uint8_t>{0x80, 0x80, 0x80, 0x40}));

  // Interlaced RGB without alpha: opaque.
  std::vector<std::vector<png_byte>> rows;
  for (int y = 0; y < 9; ++y) {
    rows.emplace_back();
    for (int x = 0; x < 9; ++x) rows.back().insert(rows.back().end(), {png_byte(x * 20), png_byte(y * 20), 7});
  }
  writeRawPNG(root() / "adam7.png", 9, 9, PNG_COLOR_TYPE_RGB, 8, true, rows);
  auto adam7 = gfx::readPNG(root() / "adam7.png");
  ASSERT_TRUE(adam7);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 9; ++x) {
      const std::uint8_t* p = adam7->pixel(x, y);
      ASSERT_EQ(std::vector<int>({p[0], p[1], p[2], p[3]}), std::vector<int>({x * 20, y * 20, 7, 255}));
    }
}

TEST_F(GfxPngTest, StraightAlphaRoundTripIsBitExact) {
  Image img = allAlphas();
  for (int level : {-1, 0, 9}) {
    auto bytes = gfx::encodePNG(img, level);
    ASSERT_TRUE(bytes);
    auto back = gfx::decodePNG(*bytes);
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->premultiplied());
    EXPECT_EQ(back->scale(), 1.0f);
    EXPECT_EQ(back->orientation(), gfx::Orientation::Up);
    EXPECT_EQ(back->bytes(), img.bytes()) << "level " << level;
  }
}

TEST_F(GfxPngTest, PremultipliedPictureIsWrittenStraight) {
  Image img(3, 1);
  img.setPremultiplied(true);
  const std::uint8_t px[] = {64, 32, 0, 128, 0, 0, 0, 0, 255, 10, 20, 255};
  std::copy(std::begin(px), std::end(px), img.pixels());
  auto back = gfx::decodePNG(*gfx::encodePNG(img));
  ASSERT_TRUE(back);
  const std::uint8_t straight[] = {128, 64, 0, 128, 0, 0, 0, 0, 255, 10, 20, 255};
  EXPECT_EQ(back->bytes(), std::vector<std::uint8_t>(std::begin(straight), std::end(straight)));
  back->premultiply();
  EXPECT_EQ(back->bytes(), img.bytes());
  EXPECT_TRUE(img.premultiplied());  // the caller's picture is left alone
}

TEST_F(GfxPngTest, FilesAndScaleFromName) {
  Image img = allAlphas();
  const auto plain = root() / "icon.png", retina = root() / "icon@2x.png", odd = root() / "icon@2x-old.png";
  for (const auto& p : {plain, retina, odd}) ASSERT_TRUE(gfx::writePNG(p, img));
  auto a = gfx::readPNG(plain), b = gfx::readPNG(retina), c = gfx::readPNG(odd);
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(a->scale(), 1.0f);
  EXPECT_EQ(b->scale(), 2.0f);
  EXPECT_EQ(b->size(), (gfx::Size{128, 1.5f}));
  EXPECT_EQ(c->scale(), 1.0f);
  EXPECT_EQ(b->bytes(), img.bytes());
  auto any = gfx::readImage(retina);
  ASSERT_TRUE(any);
  EXPECT_EQ(any->scale(), 2.0f);
  EXPECT_EQ(any->bytes(), img.bytes());
}

TEST_F(GfxPngTest, WritingAnEmptyPictureOrIntoAMissingFolderFails) {
  EXPECT_FALSE(gfx::encodePNG(Image()));
  EXPECT_FALSE(gfx::writePNG(root() / "nope" / "x.png", allAlphas()));
  EXPECT_FALSE(fd::files::exists(root() / "nope" / "x.png"));
}

TEST_F(GfxPngTest, MissingFileGivesError) {
  auto png = gfx::readPNG(root() / "absent.png");
  EXPECT_FALSE(png);
  EXPECT_NE(png.error().find("absent.png"), std::string::npos) << png.error();
  EXPECT_FALSE(gfx::readImage(root() / "absent.png"));
}

TEST_F(GfxPngTest, TruncatedFilesGiveErrorsAtEveryLength) {
  auto bytes = *gfx::encodePNG(allAlphas(), 0);  // stored blocks: the data ends early, not just the trailer
  for (std::size_t n = 0; n < bytes.size(); n += (n < 80 ? 1 : 37)) {
    fd::Data cut(bytes.begin(), bytes.begin() + static_cast<long>(n));
    auto img = gfx::decodePNG(cut);
    EXPECT_FALSE(img) << "length " << n;
    EXPECT_FALSE(img.error().empty()) << "length " << n;
  }
}

TEST_F(GfxPngTest, CorruptBytesNeverCrash) {
  auto good = *gfx::encodePNG(allAlphas());
  // Flipping bytes in the header, the chunk lengths and the image data; the
  // CRCs catch most, and what they do not must still decode to a valid picture.
  for (std::size_t i = 8; i < good.size(); i += 3) {
    fd::Data bad = good;
    bad[i] ^= 0x5a;
    auto img = gfx::decodePNG(bad);
    if (img) EXPECT_EQ(img->bytes().size(), static_cast<std::size_t>(img->pixelWidth()) * img->pixelHeight() * 4);
    else EXPECT_FALSE(img.error().empty());
  }
  auto notPng = gfx::decodePNG(fd::Data{'n', 'o', 't', ' ', 'p', 'n', 'g', '!', '!'});
  EXPECT_FALSE(notPng);
  EXPECT_EQ(notPng.error(), "not a PNG file");
  EXPECT_FALSE(gfx::decodePNG(fd::Data{}));
}

void putU32(fd::Data& d, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) d.push_back(static_cast<std::uint8_t>(v >> shift));
}

// A PNG file made chunk by chunk, each with its CRC, for an 8-bit RGBA picture.
struct PngFile {
  fd::Data bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  PngFile(std::uint32_t width, std::uint32_t height) {
    fd::Data ihdr;
    putU32(ihdr, width);
    putU32(ihdr, height);
    for (std::uint8_t b : {8, 6, 0, 0, 0}) ihdr.push_back(b);  // 8-bit RGBA, not interlaced
    chunk("IHDR", ihdr);
  }
  void chunk(const char* type, const fd::Data& body) {
    putU32(bytes, static_cast<std::uint32_t>(body.size()));
    fd::Data typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    bytes.insert(bytes.end(), typed.begin(), typed.end());
    putU32(bytes, static_cast<std::uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
  }
};

// A whole, tiny PNG whose header claims the given size: a few bytes of image
// data follow, far too few for the picture (69 bytes in all).
fd::Data claimingPNG(std::uint32_t width, std::uint32_t height) {
  PngFile file(width, height);
  const std::uint8_t row[5] = {0, 0, 0, 0, 0};
  fd::Data idat(32);
  uLongf size = idat.size();
  compress2(idat.data(), &size, row, sizeof row, 9);
  idat.resize(size);
  file.chunk("IDAT", idat);
  file.chunk("IEND", {});
  return file.bytes;
}

TEST_F(GfxPngTest, AHugeClaimedSizeIsRefusedBeforeAnyPixelMemory) {
  const fd::Data tiny = claimingPNG(32768, 32768);
  EXPECT_LT(tiny.size(), 80u);
  const auto child = testing_support::runUnderMemoryCeiling(std::size_t{512} << 20, [&] {
    auto img = gfx::decodePNG(tiny);
    ASSERT_FALSE(img);
    EXPECT_NE(img.error().find("32768x32768 pixels are more than allowed"), std::string::npos) << img.error();
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "signal " << child.signal;
}

TEST_F(GfxPngTest, TheCallersLimitsDecideWhatIsTooLarge) {
  const Image layer = allAlphas();  // 256 x 3
  const fd::Data png = *gfx::encodePNG(layer);
  EXPECT_TRUE(gfx::decodePNG(png, gfx::ReadLimits::atMost(256, 3)));
  for (auto limits : {gfx::ReadLimits::atMost(255, 3), gfx::ReadLimits::atMost(256, 2),
                      gfx::ReadLimits{1000, 1000, 767, false}}) {
    auto img = gfx::decodePNG(png, limits);
    ASSERT_FALSE(img);
    EXPECT_NE(img.error().find("256x3 pixels"), std::string::npos) << img.error();
  }
  // The default admits the largest page and more, but not what the tiny file claims.
  EXPECT_TRUE(gfx::ReadLimits{}.admits(768, 576));
  EXPECT_TRUE(gfx::ReadLimits{}.admits(4096, 4096));
  EXPECT_FALSE(gfx::ReadLimits{}.admits(4097, 4096));
  EXPECT_FALSE(gfx::ReadLimits{}.admits(16385, 1));
  EXPECT_FALSE(gfx::ReadLimits{}.admits(0, 5));

  const auto path = root() / "layer.png";
  ASSERT_TRUE(gfx::writePNG(path, layer));
  auto fromFile = gfx::readPNG(path, gfx::ReadLimits::atMost(100, 100));
  ASSERT_FALSE(fromFile);
  EXPECT_NE(fromFile.error().find(path.string()), std::string::npos) << fromFile.error();
}

TEST_F(GfxPngTest, AnUnreadablePictureNamesWhatWasTried) {
  const auto gif = root() / "anim.gif";
  ASSERT_TRUE(fd::files::writeFileAtomically(gif, std::string("GIF89a\x01\x00\x01\x00")));
  auto any = gfx::readImage(gif);
  ASSERT_FALSE(any);
  EXPECT_NE(any.error().find("neither a PNG nor a JPEG file"), std::string::npos) << any.error();
  EXPECT_NE(any.error().find("anim.gif"), std::string::npos) << any.error();

  const auto jpegNamedPng = root() / "photo.png";
  ASSERT_TRUE(fd::files::writeFileAtomically(jpegNamedPng, fd::Data{0xff, 0xd8, 0xff, 0xe0, 0, 0}));
  auto png = gfx::readPNG(jpegNamedPng);
  ASSERT_FALSE(png);
  EXPECT_NE(png.error().find("not a PNG file"), std::string::npos) << png.error();
  auto jpeg = gfx::readJPEG(root() / "anim.gif");
  ASSERT_FALSE(jpeg);
  EXPECT_NE(jpeg.error().find("not a JPEG file"), std::string::npos) << jpeg.error();
  // A damaged PNG says it is one, and why it failed.
  fd::Data cut = *gfx::encodePNG(allAlphas());
  cut.resize(cut.size() / 2);
  const auto damaged = root() / "damaged.png";
  ASSERT_TRUE(fd::files::writeFileAtomically(damaged, cut));
  auto broken = gfx::readImage(damaged);
  ASSERT_FALSE(broken);
  EXPECT_NE(broken.error().find("PNG: "), std::string::npos) << broken.error();
}

// A picture as the canvas leaves one: mostly transparent, soft-edged strokes,
// a noisy patch, every alpha.
Image layerLike(int w, int h, unsigned seed) {
  Image img(w, h);
  std::mt19937 random(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = img.pixel(x, y);
      const int d = std::abs((x * 3 + y * 5) % 97 - 48);
      const bool noisy = x > w / 2 && y > h / 2;
      const int a = noisy ? static_cast<int>(random() % 256) : std::max(0, 255 - d * 12);
      p[0] = static_cast<std::uint8_t>(x), p[1] = static_cast<std::uint8_t>(y * 3), p[2] = 200,
      p[3] = static_cast<std::uint8_t>(a);
    }
  return img;
}

// libpng reading a whole file its own way (its simplified reader), as any
// program reading PNG would.
std::vector<std::uint8_t> readWithLibpng(const fd::Data& bytes, int& w, int& h) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return {};
  image.format = PNG_FORMAT_RGBA;
  std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
  w = static_cast<int>(image.width);
  h = static_cast<int>(image.height);
  return pixels;
}

// Files of the striped writer have their rows filtered and compressed in
// stripes side by side, one zlib stream all the same, and are read back in
// stripes too: every filter (each row's own or one for all), level and size
// comes back exactly, and libpng reads the same pixels.
TEST_F(GfxPngTest, StripedFilesRoundTripAndReadTheSameWithLibpng) {
  using Filter = gfx::PngEncoding::Filter;
  const std::vector<std::pair<int, int>> sizes = {{1, 1}, {3, 2}, {17, 5}, {300, 97}, {257, 400}, {768, 576}};
  for (auto [w, h] : sizes) {
    Image img = layerLike(w, h, static_cast<unsigned>(w * h));
    for (Filter f : {Filter::Adaptive, Filter::None, Filter::Sub, Filter::Up, Filter::Average, Filter::Paeth})
      for (int level : {-1, 0, 1, 4, 9})
        for (bool rle : {false, true}) {
          if (w * h > 100000 && (level == 9 || level == 0)) continue;  // slow and adds nothing
          const std::string what = std::to_string(w) + "x" + std::to_string(h) + " filter " +
                                   std::to_string(static_cast<int>(f)) + " level " + std::to_string(level) +
                                   (rle ? " rle" : "");
          auto bytes = gfx::encodePNG(img, gfx::PngEncoding{level, f, rle});
          ASSERT_TRUE(bytes) << what;
          auto back = gfx::decodePNG(*bytes);
          ASSERT_TRUE(back) << what << ": " << back.error();
          EXPECT_FALSE(back->premultiplied());
          EXPECT_EQ(back->bytes(), img.bytes()) << what;
          int lw = 0, lh = 0;
          EXPECT_EQ(readWithLibpng(*bytes, lw, lh), img.bytes()) << what;
          EXPECT_EQ(lw, w);
          EXPECT_EQ(lh, h);
        }
  }
  // A premultiplied picture is stored straight, as by the other writer.
  Image pre = layerLike(64, 64, 3);
  pre.setPremultiplied(true);
  for (std::size_t i = 0; i < pre.bytes().size(); i += 4)
    for (int k = 0; k < 3; ++k) pre.pixels()[i + k] = std::min(pre.pixels()[i + k], pre.pixels()[i + 3]);
  auto quick = gfx::decodePNG(*gfx::encodePNG(pre, gfx::kQuickPngEncoding));
  auto plain = gfx::decodePNG(*gfx::encodePNG(pre));
  ASSERT_TRUE(quick && plain);
  EXPECT_EQ(quick->bytes(), plain->bytes());
}

// An encoder kept from one picture to the next writes each as a fresh one
// would, whatever came before: pictures growing and shrinking (more stripes,
// fewer, one), filters chosen row by row or one for all, its stripes side by
// side or on the calling thread, and after a picture it refused.
TEST_F(GfxPngTest, AKeptEncoderWritesEachPictureAsAFreshOneWould) {
  using Filter = gfx::PngEncoding::Filter;
  using Spread = gfx::PngEncoder::Spread;
  const std::vector<std::pair<int, int>> sizes = {{768, 576}, {384, 288}, {17, 5}, {768, 576}, {216, 162},
                                                  {1, 1},     {300, 97},  {768, 576}};
  const gfx::PngEncoding encodings[] = {gfx::kQuickPngEncoding, {1, Filter::Sub, true}, {1, Filter::Up, true},
                                         {1, Filter::Paeth, false}};
  for (const gfx::PngEncoding& encoding : encodings)
    for (Spread spread : {Spread::SideBySide, Spread::CallingThread}) {
      gfx::PngEncoder kept(encoding);
      unsigned seed = 1;
      for (auto [w, h] : sizes) {
        const std::string what = std::to_string(w) + "x" + std::to_string(h) + " filter " +
                                 std::to_string(static_cast<int>(encoding.filter)) +
                                 (spread == Spread::SideBySide ? " side by side" : " on the calling thread");
        const Image img = layerLike(w, h, seed++);
        auto bytes = kept.encode(img, spread);
        ASSERT_TRUE(bytes) << what << ": " << bytes.error();
        const fd::Data fresh = *gfx::encodePNG(img, encoding);
        EXPECT_TRUE(std::equal(bytes->begin(), bytes->end(), fresh.begin(), fresh.end())) << what;
        int lw = 0, lh = 0;
        EXPECT_EQ(readWithLibpng(fd::Data(bytes->begin(), bytes->end()), lw, lh), img.bytes()) << what;
        EXPECT_FALSE(kept.encode(Image(), spread)) << "an empty picture has no file";
      }
    }
}

// Other programs read the files the page writer makes: ImageMagick and
// FFmpeg give back the same pixels.
TEST_F(GfxPngTest, StripedFilesReadTheSameInOtherPrograms) {
  const Image img = layerLike(768, 576, 11);
  const auto path = root() / "layer.png";
  ASSERT_TRUE(fd::files::writeFileAtomically(path, *gfx::encodePNG(img, gfx::kQuickPngEncoding)));
  const auto raw = root() / "pixels.rgba";
  struct Reader {
    const char* tool;
    std::string command;
  };
  const std::vector<Reader> readers = {
      {"convert", "convert '" + path.string() + "' -depth 8 'rgba:" + raw.string() + "'"},
      {"ffmpeg", "ffmpeg -v error -y -i '" + path.string() + "' -f rawvideo -pix_fmt rgba '" + raw.string() + "'"}};
  int tried = 0;
  for (const Reader& r : readers) {
    if (std::system((std::string("command -v ") + r.tool + " >/dev/null 2>&1").c_str()) != 0) continue;
    ++tried;
    std::filesystem::remove(raw);
    ASSERT_EQ(std::system((r.command + " >/dev/null 2>&1").c_str()), 0) << r.tool;
    std::ifstream in(raw, std::ios::binary);
    const std::vector<std::uint8_t> pixels((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(pixels, img.bytes()) << r.tool;
  }
  if (tried == 0) GTEST_SKIP() << "neither ImageMagick nor FFmpeg is installed";
}

// The stripes are read apart only when they really stand apart: a file that
// claims stripes its data does not keep (a stream cut anywhere, stripes that
// reach back into the one before, a wrong check sum) is read whole, as libpng
// reads it, or refused as libpng refuses it.
TEST_F(GfxPngTest, StripesThatDoNotStandApartAreReadWhole) {
  const Image img = layerLike(64, 96, 5);
  fd::Data rows;
  for (int y = 0; y < img.pixelHeight(); ++y) {
    rows.push_back(1);  // Sub
    const std::uint8_t* p = img.pixel(0, y);
    for (int i = 0; i < img.pixelWidth() * 4; ++i) rows.push_back(static_cast<std::uint8_t>(p[i] - (i >= 4 ? p[i - 4] : 0)));
  }
  fd::Data z(compressBound(static_cast<uLong>(rows.size())));
  uLongf zsize = z.size();
  ASSERT_EQ(compress2(z.data(), &zsize, rows.data(), static_cast<uLong>(rows.size()), 6), Z_OK);
  z.resize(zsize);
  // A file with the stripe table for the given rows and IDAT chunks cut at the given offsets.
  auto file = [&](const std::vector<std::uint32_t>& stripeRows, const std::vector<std::size_t>& cuts,
                  const fd::Data& stream) {
    PngFile png(64, 96);
    fd::Data table{1};
    putU32(table, static_cast<std::uint32_t>(stripeRows.size()));
    for (std::uint32_t r : stripeRows) putU32(table, r);
    png.chunk("fdSP", table);
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
      png.chunk("IDAT", fd::Data(stream.begin() + static_cast<long>(from), stream.begin() + static_cast<long>(cut)));
      from = cut;
    }
    png.chunk("IDAT", fd::Data(stream.begin() + static_cast<long>(from), stream.end()));
    png.chunk("IEND", {});
    return png.bytes;
  };
  // One ordinary stream cut into three chunks anywhere.
  for (std::size_t a : {std::size_t{3}, z.size() / 3, z.size() / 2})
    for (std::size_t b : {z.size() / 2 + 1, z.size() - 9, z.size() - 2}) {
      if (b <= a) continue;
      const fd::Data bytes = file({32, 32, 32}, {a, b}, z);
      auto back = gfx::decodePNG(bytes);
      ASSERT_TRUE(back) << a << " " << b << ": " << back.error();
      EXPECT_EQ(back->bytes(), img.bytes()) << a << " " << b;
    }
  // Stripes cut at full flushes but reaching back past them: made by one
  // deflate stream flushed with Z_SYNC_FLUSH, which keeps the history.
  fd::Data synced;
  std::vector<std::size_t> cuts;
  {
    z_stream zs{};
    ASSERT_EQ(deflateInit(&zs, 6), Z_OK);
    fd::Data buf(compressBound(static_cast<uLong>(rows.size())) + 64);
    zs.next_out = buf.data();
    zs.avail_out = static_cast<uInt>(buf.size());
    const std::size_t third = rows.size() / 3;
    for (int part = 0; part < 3; ++part) {
      zs.next_in = rows.data() + part * third;
      zs.avail_in = static_cast<uInt>(part == 2 ? rows.size() - 2 * third : third);
      ASSERT_GE(deflate(&zs, part == 2 ? Z_FINISH : Z_SYNC_FLUSH), Z_OK);
      if (part < 2) cuts.push_back(zs.total_out);
    }
    buf.resize(zs.total_out);
    deflateEnd(&zs);
    synced = buf;
  }
  {
    auto back = gfx::decodePNG(file({32, 32, 32}, cuts, synced));
    ASSERT_TRUE(back) << back.error();
    EXPECT_EQ(back->bytes(), img.bytes());
  }
  // A table that does not add up, and a wrong check sum: refused like any
  // damaged file or read whole.
  {
    auto back = gfx::decodePNG(file({32, 32, 31}, cuts, synced));
    ASSERT_TRUE(back) << back.error();
    EXPECT_EQ(back->bytes(), img.bytes());
  }
  fd::Data damaged = *gfx::encodePNG(img, gfx::kQuickPngEncoding);
  damaged[damaged.size() - 12 - 5] ^= 0x5a;  // a byte of the check sum (a chunk CRC made anew)
  const std::size_t idatEnd = damaged.size() - 12;
  std::size_t start = idatEnd;
  while (start >= 8 && std::string(damaged.begin() + static_cast<long>(start) - 4, damaged.begin() + static_cast<long>(start)) != "IDAT") --start;
  const uLong crc = crc32(0, damaged.data() + start - 4, static_cast<uInt>(idatEnd - 4 - (start - 4)));
  for (int k = 0; k < 4; ++k) damaged[idatEnd - 4 + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(crc >> (24 - 8 * k));
  int lw = 0, lh = 0;
  const std::vector<std::uint8_t> libpng = readWithLibpng(damaged, lw, lh);
  auto back = gfx::decodePNG(damaged);
  if (libpng.empty()) EXPECT_FALSE(back);
  else EXPECT_TRUE(back && back->bytes() == libpng);
}

}  // namespace

namespace {

std::uint32_t readU32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
}

// A PNG file's chunks of one type, in order.
std::vector<fd::Data> chunksOf(const fd::Data& png, const char* type) {
  std::vector<fd::Data> out;
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const std::size_t length = readU32(png.data() + at);
    if (at + 12 + length > png.size()) break;
    if (std::equal(type, type + 4, png.begin() + static_cast<long>(at) + 4))
      out.emplace_back(png.begin() + static_cast<long>(at) + 8, png.begin() + static_cast<long>(at + 8 + length));
    at += 12 + length;
  }
  return out;
}

// The filter type of each row of a non-interlaced 8-bit RGBA file: its image
// data inflated, the first byte of each row.
std::vector<int> rowFilters(const fd::Data& png, int width, int height) {
  fd::Data stream;
  for (const fd::Data& idat : chunksOf(png, "IDAT")) stream.insert(stream.end(), idat.begin(), idat.end());
  const std::size_t stride = static_cast<std::size_t>(width) * 4 + 1;
  fd::Data raw(stride * static_cast<std::size_t>(height));
  uLongf size = raw.size();
  if (uncompress(raw.data(), &size, stream.data(), static_cast<uLong>(stream.size())) != Z_OK || size != raw.size())
    return {};
  std::vector<int> filters;
  for (int y = 0; y < height; ++y) filters.push_back(raw[static_cast<std::size_t>(y) * stride]);
  return filters;
}

// The picture as libpng's own writer stores it with its default choices.
fd::Data libpngDefaultEncode(const Image& img) {
  fd::Data out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t length) {
        auto& bytes = *static_cast<fd::Data*>(png_get_io_ptr(p));
        bytes.insert(bytes.end(), data, data + length);
      },
      nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(img.pixelWidth()), static_cast<png_uint_32>(img.pixelHeight()), 8,
               PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < img.pixelHeight(); ++y) png_write_row(png, img.pixel(0, y));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

// The first row of each stripe, from the striped writer's stripe table.
std::vector<int> stripeStarts(const fd::Data& png) {
  std::vector<int> starts{0};
  const std::vector<fd::Data> tables = chunksOf(png, "fdSP");
  if (tables.size() != 1 || tables[0].size() < 5) return starts;
  const fd::Data& t = tables[0];
  const std::uint32_t count = readU32(t.data() + 1);
  int row = 0;
  for (std::uint32_t i = 0; i + 1 < count && 5 + 4 * (i + 1) <= t.size(); ++i) {
    row += static_cast<int>(readU32(t.data() + 5 + 4 * i));
    starts.push_back(row);
  }
  return starts;
}

// Smooth shading that turns across the picture, with a few hard edges: the
// kind of picture where each filter wins somewhere.
Image shaded(int w, int h) {
  Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = img.pixel(x, y);
      const bool edge = (x / 13 + y / 11) % 5 == 0;
      p[0] = static_cast<std::uint8_t>(x * y / 7 + (edge ? 90 : 0));
      p[1] = static_cast<std::uint8_t>((x * x + y * 3) / 11);
      p[2] = static_cast<std::uint8_t>(y * 2 + x / 3);
      p[3] = static_cast<std::uint8_t>(edge ? 255 : 128 + (x + y) % 128);
    }
  return img;
}

// One colour over the whole picture, but for a band: rows that equal the row
// above filter to zeros in more than one way.
Image flat(int w, int h) {
  Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = img.pixel(x, y);
      const bool band = y >= h / 3 && y < h / 2;
      p[0] = 40, p[1] = static_cast<std::uint8_t>(band ? 200 : 90), p[2] = 150, p[3] = 255;
    }
  return img;
}

// Small values in a checkerboard: nearest to zeros unfiltered.
Image checker(int w, int h) {
  Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) std::fill_n(img.pixel(x, y), 4, static_cast<std::uint8_t>((x + y) % 2 ? 6 : 0));
  return img;
}

// Rising to the right and falling downwards: each pixel lies halfway between
// its left and upper neighbours, where averaging them (and Paeth's guess)
// gives it exactly.
Image ramp(int w, int h) {
  Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = img.pixel(x, y);
      p[0] = p[1] = p[2] = static_cast<std::uint8_t>(60 + (x - y) % 60);
      p[3] = 255;
    }
  return img;
}

}  // namespace

// The striped writer's adaptive filter chooses each row's filter as libpng's
// writer does: the filter bytes of its files are libpng's, row by row, but
// for the first row of each stripe, which is filtered without the row above
// so that the stripes stand apart. The pictures (canvas layers, shading,
// flat colour and ramps with ties between filters, widths that leave the
// rows' ends apart from the blocks the writer works in) make libpng choose
// every filter.
TEST_F(GfxPngTest, TheAdaptiveFilterChoosesEachRowsFilterAsLibpngDoes) {
  struct Picture {
    std::string name;
    Image image;
  };
  const std::vector<Picture> pictures = {
      {"layer 300x97", layerLike(300, 97, 7)}, {"layer 257x400", layerLike(257, 400, 8)},
      {"shaded 203x150", shaded(203, 150)},    {"shaded 37x300", shaded(37, 300)},
      {"flat 64x64", flat(64, 64)},            {"flat 5x130", flat(5, 130)},
      {"shaded 2x60", shaded(2, 60)},          {"checker 90x70", checker(90, 70)},
      {"ramp 120x110", ramp(120, 110)},        {"shaded 1x50", shaded(1, 50)}, {"ramp 1x50", ramp(1, 50)},
  };
  std::vector<int> chosenByLibpng(5, 0);
  for (const gfx::PngEncoding& encoding : {gfx::kQuickPngEncoding, gfx::PngEncoding{}}) {
    gfx::PngEncoder encoder(encoding);
    for (const Picture& picture : pictures) {
      SCOPED_TRACE(picture.name);
      const int w = picture.image.pixelWidth(), h = picture.image.pixelHeight();
      const std::vector<int> theirs = rowFilters(libpngDefaultEncode(picture.image), w, h);
      auto bytes = encoder.encode(picture.image);
      ASSERT_TRUE(bytes) << bytes.error();
      const fd::Data file(bytes->begin(), bytes->end());
      const std::vector<int> ours = rowFilters(file, w, h);
      ASSERT_EQ(theirs.size(), static_cast<std::size_t>(h));
      ASSERT_EQ(ours.size(), static_cast<std::size_t>(h));
      const std::vector<int> starts = stripeStarts(file);
      std::string differing;
      for (int y = 0; y < h; ++y) {
        if (std::find(starts.begin(), starts.end(), y) != starts.end()) continue;
        const int libpngs = theirs[static_cast<std::size_t>(y)], writers = ours[static_cast<std::size_t>(y)];
        ASSERT_GE(libpngs, 0);
        ASSERT_LT(libpngs, 5);
        ++chosenByLibpng[static_cast<std::size_t>(libpngs)];
        if (writers != libpngs)
          differing += " row " + std::to_string(y) + ": " + std::to_string(writers) + " for " +
                       std::to_string(libpngs) + ";";
      }
      EXPECT_TRUE(differing.empty()) << "filters chosen otherwise than by libpng:" << differing.substr(0, 400);
    }
  }
  for (int filter = 0; filter < 5; ++filter)
    EXPECT_GT(chosenByLibpng[static_cast<std::size_t>(filter)], 0) << "libpng never chose filter " << filter;
}
