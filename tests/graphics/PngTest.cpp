// PNG files: exact round trips in straight alpha, "@2x" names, and bad input.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>

#include "platform/foundation/FileUtil.h"
#include "platform/graphics/Image.h"
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
  std::string error;
  EXPECT_FALSE(gfx::readPNG(root() / "absent.png", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(gfx::readImage(root() / "absent.png", &error));
}

TEST_F(GfxPngTest, TruncatedFilesGiveErrorsAtEveryLength) {
  auto bytes = *gfx::encodePNG(allAlphas(), 0);  // stored blocks: the data ends early, not just the trailer
  for (std::size_t n = 0; n < bytes.size(); n += (n < 80 ? 1 : 37)) {
    fd::Data cut(bytes.begin(), bytes.begin() + static_cast<long>(n));
    std::string error;
    EXPECT_FALSE(gfx::decodePNG(cut, &error)) << "length " << n;
    EXPECT_FALSE(error.empty()) << "length " << n;
  }
}

TEST_F(GfxPngTest, CorruptBytesNeverCrash) {
  auto good = *gfx::encodePNG(allAlphas());
  // Flipping bytes in the header, the chunk lengths and the image data; the
  // CRCs catch most, and what they do not must still decode to a valid picture.
  for (std::size_t i = 8; i < good.size(); i += 3) {
    fd::Data bad = good;
    bad[i] ^= 0x5a;
    std::string error;
    auto img = gfx::decodePNG(bad, &error);
    if (img) EXPECT_EQ(img->bytes().size(), static_cast<std::size_t>(img->pixelWidth()) * img->pixelHeight() * 4);
    else EXPECT_FALSE(error.empty());
  }
  std::string error;
  EXPECT_FALSE(gfx::decodePNG(fd::Data{'n', 'o', 't', ' ', 'p', 'n', 'g', '!', '!'}, &error));
  EXPECT_EQ(error, "not a PNG file");
  EXPECT_FALSE(gfx::decodePNG(fd::Data{}));
}

}  // namespace
