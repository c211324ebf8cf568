// Pixel forms of Image: premultiplication, canvas pixel blocks, orientation,
// scaling and cropping.
#include <gtest/gtest.h>

#include "platform/graphics/Image.h"
#include "platform/graphics/PixelFormat.h"

namespace {

using gfx::Image;
using gfx::Orientation;

void setPixel(Image& img, int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
  std::uint8_t* p = img.pixel(x, y);
  p[0] = r, p[1] = g, p[2] = b, p[3] = a;
}

TEST(GfxPremultiplyTest, PremultipliedFormSurvivesStraightRoundTripForEveryPair) {
  // Every (c, a) with c <= a is a premultiplied colour; going to straight and
  // back must give it again, or repeated saves would drift.
  Image img(256, 256);
  img.setPremultiplied(true);
  for (int a = 0; a < 256; ++a)
    for (int c = 0; c < 256; ++c) setPixel(img, c, a, c <= a ? c : a, c <= a ? c : 0, c <= a ? a - c : a, a);
  Image original = img;
  img.unpremultiply();
  EXPECT_FALSE(img.premultiplied());
  img.premultiply();
  EXPECT_TRUE(img.premultiplied());
  ASSERT_EQ(img.bytes(), original.bytes());
}

TEST(GfxPremultiplyTest, EveryRepresentableStraightColourReturnsExactly) {
  int representable = 0;
  for (int a = 1; a < 256; ++a) {
    // The straight colours that premultiplied form can hold are exactly the
    // images of unpremultiply; each must survive premultiply -> unpremultiply.
    for (int c = 0; c <= a; ++c) {
      std::uint8_t s = gfx::pixelformat::unpremultiply(c, a);
      Image img(1, 1);
      setPixel(img, 0, 0, s, s, s, static_cast<std::uint8_t>(a));
      img.premultiply();
      ASSERT_EQ(img.pixel(0, 0)[0], c) << "a=" << a << " c=" << c;
      img.unpremultiply();
      ASSERT_EQ(img.pixel(0, 0)[0], s) << "a=" << a << " c=" << c;
      ++representable;
    }
  }
  EXPECT_EQ(representable, 255 * 258 / 2);
}

TEST(GfxPremultiplyTest, RoundsToNearestAndHandlesTransparentAndOpaque) {
  Image img(4, 1);
  setPixel(img, 0, 0, 255, 128, 1, 0);    // transparent: colour becomes 0
  setPixel(img, 1, 0, 200, 100, 3, 255);  // opaque: unchanged
  setPixel(img, 2, 0, 255, 128, 1, 128);  // 128*128/255 = 64.25 -> 64; 1*128/255 -> 1 (0.50196)
  setPixel(img, 3, 0, 3, 2, 1, 1);        // below one half: 0
  img.premultiply();
  const std::uint8_t expected[] = {0, 0, 0, 0, 200, 100, 3, 255, 128, 64, 1, 128, 0, 0, 0, 1};
  EXPECT_EQ(std::vector<std::uint8_t>(std::begin(expected), std::end(expected)), img.bytes());
  img.premultiply();  // a second call must not premultiply again
  EXPECT_EQ(std::vector<std::uint8_t>(std::begin(expected), std::end(expected)), img.bytes());
}

TEST(GfxPremultiplyTest, InvalidPremultipliedComponentsSaturate) {
  Image img(1, 1);
  img.setPremultiplied(true);
  setPixel(img, 0, 0, 200, 10, 0, 100);  // 200 > alpha 100: not a real premultiplied colour
  img.unpremultiply();
  EXPECT_EQ(img.pixel(0, 0)[0], 255);
  EXPECT_EQ(img.pixel(0, 0)[1], 26);  // 10*255/100 = 25.5 -> 26
}

TEST(GfxPixelBlockTest, RowsAreBottomUpAndPremultiplied) {
  // A 2x3 block: bottom row first.
  std::vector<std::uint8_t> block(2 * 3 * 4);
  for (int row = 0; row < 3; ++row)
    for (int x = 0; x < 2; ++x) {
      std::uint8_t* p = &block[(row * 2 + x) * 4];
      p[0] = static_cast<std::uint8_t>(10 * row + x), p[1] = 0, p[2] = 0, p[3] = 128;
    }
  Image img = Image::fromPixelBlock(block.data(), 2, 3, 2.0f);
  EXPECT_TRUE(img.premultiplied());
  EXPECT_EQ(img.scale(), 2.0f);
  EXPECT_EQ(img.pixel(0, 0)[0], 20);  // top row of the image = last row of the block
  EXPECT_EQ(img.pixel(1, 2)[0], 1);
  EXPECT_EQ(img.toPixelBlock(), block);

  // A straight picture gives a premultiplied block.
  Image straight = img;
  straight.unpremultiply();
  EXPECT_EQ(straight.toPixelBlock(), block);
  EXPECT_FALSE(straight.premultiplied());
}

// A 3x2 picture with distinct pixels, so that any wrong mapping shows.
Image numbered(Orientation o) {
  Image img(3, 2, 2.0f);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) setPixel(img, x, y, static_cast<std::uint8_t>(y * 3 + x), 0, 0, 255);
  img.setOrientation(o);
  return img;
}

TEST(GfxOrientationTest, ExifNumbersAndSizes) {
  const int exif[] = {1, 3, 8, 6, 2, 4, 5, 7};
  for (int i = 0; i < 8; ++i) {
    auto o = static_cast<Orientation>(i);
    EXPECT_EQ(gfx::exifFromOrientation(o), exif[i]);
    EXPECT_EQ(gfx::orientationFromExif(exif[i]), o);
    const bool sideways = exif[i] >= 5;
    EXPECT_EQ(numbered(o).size(), (sideways ? gfx::Size{1, 1.5f} : gfx::Size{1.5f, 1})) << i;
  }
  EXPECT_EQ(gfx::orientationFromExif(0), Orientation::Up);
  EXPECT_EQ(gfx::orientationFromExif(9), Orientation::Up);
}

TEST(GfxOrientationTest, NormalizedPixelsForEveryOrientation) {
  // Stored 3x2:  0 1 2 / 3 4 5. Upright pictures, row by row.
  struct Case {
    Orientation o;
    int w, h;
    std::vector<int> upright;
  };
  const Case cases[] = {
      {Orientation::Up, 3, 2, {0, 1, 2, 3, 4, 5}},
      {Orientation::Down, 3, 2, {5, 4, 3, 2, 1, 0}},
      {Orientation::UpMirrored, 3, 2, {2, 1, 0, 5, 4, 3}},
      {Orientation::DownMirrored, 3, 2, {3, 4, 5, 0, 1, 2}},
      {Orientation::Right, 2, 3, {3, 0, 4, 1, 5, 2}},  // turned clockwise to show
      {Orientation::Left, 2, 3, {2, 5, 1, 4, 0, 3}},   // turned counter-clockwise
      {Orientation::LeftMirrored, 2, 3, {0, 3, 1, 4, 2, 5}},
      {Orientation::RightMirrored, 2, 3, {5, 2, 4, 1, 3, 0}},
  };
  for (const Case& c : cases) {
    Image up = numbered(c.o).normalizedOrientation();
    ASSERT_EQ(up.pixelWidth(), c.w);
    ASSERT_EQ(up.pixelHeight(), c.h);
    EXPECT_EQ(up.orientation(), Orientation::Up);
    EXPECT_EQ(up.scale(), 2.0f);
    std::vector<int> got;
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) got.push_back(up.pixel(x, y)[0]);
    EXPECT_EQ(got, c.upright) << "orientation " << static_cast<int>(c.o);
    EXPECT_EQ(up.size(), numbered(c.o).size());
  }
}

TEST(GfxImageOpsTest, CropCutsToThePictureAndKeepsItsForm) {
  Image img = numbered(Orientation::Down);
  img.setPremultiplied(true);
  Image c = img.cropped({1, 0, 5, 1});
  ASSERT_EQ(c.pixelWidth(), 2);
  ASSERT_EQ(c.pixelHeight(), 1);
  EXPECT_EQ(c.pixel(0, 0)[0], 1);
  EXPECT_EQ(c.pixel(1, 0)[0], 2);
  EXPECT_TRUE(c.premultiplied());
  EXPECT_EQ(c.orientation(), Orientation::Down);
  EXPECT_EQ(c.scale(), 2.0f);
  EXPECT_EQ(img.cropped({0.5f, 0.5f, 1, 1}).pixelWidth(), 2);  // rounded outwards
  EXPECT_TRUE(img.cropped({3, 0, 2, 2}).empty());
  EXPECT_TRUE(img.cropped({-4, -4, 2, 2}).empty());
}

TEST(GfxImageOpsTest, ScaledCopy) {
  Image img(4, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) setPixel(img, x, y, x < 2 ? 255 : 0, 0, x < 2 ? 0 : 255, 255);
  img.setScale(2.0f);
  img.setOrientation(Orientation::Left);
  Image half = img.scaledTo(2, 1);
  ASSERT_EQ(half.pixelWidth(), 2);
  ASSERT_EQ(half.pixelHeight(), 1);
  EXPECT_EQ(half.scale(), 2.0f);
  EXPECT_EQ(half.orientation(), Orientation::Left);
  EXPECT_FALSE(half.premultiplied());
  EXPECT_EQ(half.pixel(0, 0)[0], 255);  // the left half stays red at its centre
  EXPECT_EQ(half.pixel(1, 0)[2], 255);

  Image same = img.scaledTo(4, 2);
  EXPECT_EQ(same.bytes(), img.bytes());

  // Upscaling interpolates between the two colours in the middle.
  Image wide = img.scaledTo(16, 2);
  const std::uint8_t* mid = wide.pixel(8, 0);
  EXPECT_GT(mid[0], 60);
  EXPECT_GT(mid[2], 60);
  EXPECT_EQ(wide.pixel(0, 0)[0], 255);
  EXPECT_EQ(wide.pixel(15, 1)[2], 255);

  EXPECT_TRUE(img.scaledTo(0, 5).empty());
}

TEST(GfxImageOpsTest, ShrinkingAveragesInsteadOfSampling) {
  // One-pixel black and white stripes shrunk by five: every pixel is grey, as
  // an icon of a picture with thin lines must be, not a random pick of stripes.
  Image stripes(80, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 80; ++x) setPixel(stripes, x, y, x % 2 ? 255 : 0, x % 2 ? 255 : 0, x % 2 ? 255 : 0, 255);
  Image icon = stripes.scaledTo(16, 2);
  for (int x = 1; x < 15; ++x) EXPECT_NEAR(icon.pixel(x, 1)[0], 128, 30) << x;  // 2 or 3 white stripes of 5
}

TEST(GfxImageOpsTest, ScalingDoesNotBleedColourOfTransparentPixels) {
  Image img(2, 1);
  setPixel(img, 0, 0, 255, 255, 255, 0);  // invisible white
  setPixel(img, 1, 0, 0, 0, 0, 255);      // opaque black
  Image wide = img.scaledTo(8, 1);
  for (int x = 0; x < 8; ++x) {
    const std::uint8_t* p = wide.pixel(x, 0);
    if (p[3] > 0) {
      EXPECT_EQ(p[0], 0) << x;  // never lighter than black where it shows
    }
  }
}

}  // namespace
