// PNG files: exact round trips in straight alpha, "@2x" names, and bad input.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstdio>

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

// A whole, tiny PNG whose header claims the given size: a few bytes of image
// data follow, far too few for the picture (69 bytes in all).
fd::Data claimingPNG(std::uint32_t width, std::uint32_t height) {
  fd::Data out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  auto u32 = [](fd::Data& d, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) d.push_back(static_cast<std::uint8_t>(v >> shift));
  };
  auto chunk = [&](const char* type, const fd::Data& body) {
    u32(out, static_cast<std::uint32_t>(body.size()));
    fd::Data typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    out.insert(out.end(), typed.begin(), typed.end());
    u32(out, static_cast<std::uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
  };
  fd::Data ihdr;
  u32(ihdr, width);
  u32(ihdr, height);
  for (std::uint8_t b : {8, 6, 0, 0, 0}) ihdr.push_back(b);  // 8-bit RGBA, not interlaced
  chunk("IHDR", ihdr);
  const std::uint8_t row[5] = {0, 0, 0, 0, 0};
  fd::Data idat(32);
  uLongf size = idat.size();
  compress2(idat.data(), &size, row, sizeof row, 9);
  idat.resize(size);
  chunk("IDAT", idat);
  chunk("IEND", {});
  return out;
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

}  // namespace
