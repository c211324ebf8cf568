// JPEG reading: EXIF orientation in both byte orders, upright drawing of all
// eight orientations, and bad input. Fixtures are made here with libjpeg.
#include <gtest/gtest.h>

#include <cstdio>
#include <jpeglib.h>

#include <array>
#include <string>

#include "platform/foundation/FileUtil.h"
#include "platform/graphics/Exif.h"
#include "platform/graphics/Image.h"
#include "MemoryCeiling.h"
#include "support/Sandbox.h"

namespace {

using gfx::Image;

fd::Data encodeJpeg(const Image& img, bool gray = false, bool progressive = false) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = static_cast<JDIMENSION>(img.pixelWidth());
  c.image_height = static_cast<JDIMENSION>(img.pixelHeight());
  c.input_components = gray ? 1 : 3;
  c.in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 95, TRUE);
  if (progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  std::vector<unsigned char> row(static_cast<std::size_t>(img.pixelWidth()) * 3);
  while (c.next_scanline < c.image_height) {
    const std::uint8_t* src = img.pixel(0, static_cast<int>(c.next_scanline));
    for (int x = 0; x < img.pixelWidth(); ++x)
      for (int k = 0; k < c.input_components; ++k) row[x * c.input_components + k] = src[x * 4 + k];
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  fd::Data data(out, out + size);
  std::free(out);
  return data;
}

// A TIFF block holding IFD0 with a text tag and then the orientation tag.
fd::Data exifPayload(int orientation, bool bigEndian) {
  fd::Data t;
  auto u16 = [&](unsigned v) {
    if (bigEndian) t.push_back(static_cast<std::uint8_t>(v >> 8)), t.push_back(static_cast<std::uint8_t>(v));
    else t.push_back(static_cast<std::uint8_t>(v)), t.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  auto u32 = [&](unsigned v) {
    if (bigEndian) u16(v >> 16), u16(v & 0xffff);
    else u16(v & 0xffff), u16(v >> 16);
  };
  for (char ch : std::string("Exif\0\0", 6)) t.push_back(static_cast<std::uint8_t>(ch));
  t.push_back(bigEndian ? 'M' : 'I'), t.push_back(bigEndian ? 'M' : 'I');
  u16(42);
  u32(8);
  u16(2);                                         // two entries
  u16(0x010f), u16(2), u32(4);                    // Make, ASCII, 4 bytes inline
  t.push_back('a'), t.push_back('b'), t.push_back('c'), t.push_back(0);
  u16(0x0112), u16(3), u32(1), u16(static_cast<unsigned>(orientation)), u16(0);
  u32(0);  // no next IFD
  return t;
}

// The JPEG with an APP1 segment of the given payload right after SOI.
fd::Data withApp1(const fd::Data& jpeg, const fd::Data& payload) {
  const std::size_t len = payload.size() + 2;
  fd::Data out = {jpeg[0], jpeg[1], 0xff, 0xe1, static_cast<std::uint8_t>(len >> 8), static_cast<std::uint8_t>(len)};
  for (std::uint8_t b : payload) out.push_back(b);
  for (std::size_t i = 2; i < jpeg.size(); ++i) out.push_back(jpeg[i]);
  return out;
}

// Upright test picture: quadrants red | green over blue | white.
constexpr int kW = 32, kH = 24;
constexpr std::array<std::array<std::uint8_t, 3>, 4> kQuadrant = {{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}}};
int quadrantAt(int X, int Y) { return (Y < kH / 2 ? 0 : 2) + (X < kW / 2 ? 0 : 1); }

enum Side { Top, Bottom, Left, Right };
// The EXIF definition: which side of the upright picture the stored row 0 and
// the stored column 0 are.
struct ExifSides {
  Side row0, col0;
};
constexpr ExifSides kSides[9] = {{Top, Left},    {Top, Left},   {Top, Right},     {Bottom, Right}, {Bottom, Left},
                                 {Left, Top},    {Right, Top},  {Right, Bottom},  {Left, Bottom}};

// The stored pixels a camera would write for the upright picture under tag e.
Image storedFor(int e) {
  const ExifSides s = kSides[e];
  const bool sideways = s.row0 == Left || s.row0 == Right;
  Image img(sideways ? kH : kW, sideways ? kW : kH);
  for (int y = 0; y < img.pixelHeight(); ++y)
    for (int x = 0; x < img.pixelWidth(); ++x) {
      int X, Y;
      if (!sideways) {
        Y = s.row0 == Top ? y : kH - 1 - y;
        X = s.col0 == Left ? x : kW - 1 - x;
      } else {
        X = s.row0 == Left ? y : kW - 1 - y;
        Y = s.col0 == Top ? x : kH - 1 - x;
      }
      const auto& c = kQuadrant[quadrantAt(X, Y)];
      std::uint8_t* p = img.pixel(x, y);
      p[0] = c[0], p[1] = c[1], p[2] = c[2], p[3] = 255;
    }
  return img;
}

void expectUprightQuadrants(const Image& up, const std::string& what) {
  ASSERT_EQ(up.pixelWidth(), kW) << what;
  ASSERT_EQ(up.pixelHeight(), kH) << what;
  const int cx[] = {kW / 4, 3 * kW / 4}, cy[] = {kH / 4, 3 * kH / 4};
  for (int qy = 0; qy < 2; ++qy)
    for (int qx = 0; qx < 2; ++qx) {
      const std::uint8_t* p = up.pixel(cx[qx], cy[qy]);
      const auto& c = kQuadrant[qy * 2 + qx];
      for (int k = 0; k < 3; ++k) EXPECT_NEAR(p[k], c[k], 40) << what << " quadrant " << qy * 2 + qx;
      EXPECT_EQ(p[3], 255);
    }
}

class GfxJpegTest : public testing_support::SandboxTest {};

TEST_F(GfxJpegTest, AllEightOrientationsInBothByteOrders) {
  const gfx::Orientation expected[9] = {gfx::Orientation::Up,           gfx::Orientation::Up,
                                        gfx::Orientation::UpMirrored,   gfx::Orientation::Down,
                                        gfx::Orientation::DownMirrored, gfx::Orientation::LeftMirrored,
                                        gfx::Orientation::Right,        gfx::Orientation::RightMirrored,
                                        gfx::Orientation::Left};
  for (int e = 1; e <= 8; ++e) {
    const Image stored = storedFor(e);
    const fd::Data plain = encodeJpeg(stored);
    for (bool big : {false, true}) {
      const std::string what = "exif " + std::to_string(e) + (big ? " MM" : " II");
      auto img = gfx::decodeJPEG(withApp1(plain, exifPayload(e, big)));
      ASSERT_TRUE(img) << what;
      EXPECT_EQ(img->orientation(), expected[e]) << what;
      EXPECT_EQ(img->pixelWidth(), stored.pixelWidth()) << what;  // pixels stay as stored
      EXPECT_EQ(img->size(), (gfx::Size{kW, kH})) << what;
      expectUprightQuadrants(img->normalizedOrientation(), what);
    }
  }
}

TEST_F(GfxJpegTest, FileWithoutExifIsUpAndOtherApp1SegmentsAreSkipped) {
  const fd::Data plain = encodeJpeg(storedFor(1));
  auto img = gfx::decodeJPEG(plain);
  ASSERT_TRUE(img);
  EXPECT_EQ(img->orientation(), gfx::Orientation::Up);
  expectUprightQuadrants(*img, "no exif");

  const std::string xmp = "http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>";
  fd::Data xmpPayload(xmp.begin(), xmp.end());
  const fd::Data stored6 = encodeJpeg(storedFor(6));
  auto both = gfx::decodeJPEG(withApp1(withApp1(stored6, exifPayload(6, true)), xmpPayload));
  ASSERT_TRUE(both);
  EXPECT_EQ(both->orientation(), gfx::Orientation::Right);

  const auto path = root() / "photo@2x.jpg";
  ASSERT_TRUE(fd::files::writeFileAtomically(path, withApp1(stored6, exifPayload(6, false))));
  auto fromFile = gfx::readImage(path);
  ASSERT_TRUE(fromFile);
  EXPECT_EQ(fromFile->orientation(), gfx::Orientation::Right);
  EXPECT_EQ(fromFile->scale(), 2.0f);
  EXPECT_EQ(fromFile->size(), (gfx::Size{kW / 2.0f, kH / 2.0f}));
  EXPECT_TRUE(gfx::readJPEG(path));
}

TEST_F(GfxJpegTest, GrayscaleBecomesGreyRgb) {
  Image g(16, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) g.pixel(x, y)[0] = 200, g.pixel(x, y)[3] = 255;
  auto img = gfx::decodeJPEG(encodeJpeg(g, true));
  ASSERT_TRUE(img);
  const std::uint8_t* p = img->pixel(8, 8);
  EXPECT_NEAR(p[0], 200, 2);
  EXPECT_EQ(p[0], p[1]);
  EXPECT_EQ(p[1], p[2]);
  EXPECT_EQ(p[3], 255);
}

TEST_F(GfxJpegTest, TruncatedFilesGiveErrorsAtEveryLength) {
  const fd::Data full = withApp1(encodeJpeg(storedFor(3)), exifPayload(3, false));
  ASSERT_TRUE(gfx::decodeJPEG(full));
  for (std::size_t n = 0; n < full.size(); n += (n < 200 ? 1 : 7)) {
    fd::Data cut(full.begin(), full.begin() + static_cast<long>(n));
    auto img = gfx::decodeJPEG(cut);
    EXPECT_FALSE(img) << "length " << n;
    EXPECT_FALSE(img.error().empty()) << "length " << n;
  }
}

TEST_F(GfxJpegTest, CorruptBytesNeverCrash) {
  const fd::Data full = withApp1(encodeJpeg(storedFor(5)), exifPayload(5, true));
  for (std::size_t i = 2; i < full.size(); i += 2) {
    fd::Data bad = full;
    bad[i] ^= 0xa5;
    auto img = gfx::decodeJPEG(bad);
    if (img) EXPECT_EQ(img->bytes().size(), static_cast<std::size_t>(img->pixelWidth()) * img->pixelHeight() * 4);
    else EXPECT_FALSE(img.error().empty());
  }
  EXPECT_FALSE(gfx::decodeJPEG(fd::Data{0xff, 0xd8, 0xff}));
}

// The same file with the frame header's size changed: a few hundred bytes
// that claim a picture of any size.
fd::Data claimingSize(fd::Data jpeg, unsigned width, unsigned height) {
  for (std::size_t i = 2; i + 8 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xff && (jpeg[i + 1] == 0xc0 || jpeg[i + 1] == 0xc2)) {
      jpeg[i + 5] = static_cast<std::uint8_t>(height >> 8), jpeg[i + 6] = static_cast<std::uint8_t>(height);
      jpeg[i + 7] = static_cast<std::uint8_t>(width >> 8), jpeg[i + 8] = static_cast<std::uint8_t>(width);
      return jpeg;
    }
  }
  ADD_FAILURE() << "no frame header";
  return jpeg;
}

Image quadrants(int w, int h) {
  Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const auto& c = kQuadrant[(y < h / 2 ? 0 : 2) + (x < w / 2 ? 0 : 1)];
      std::uint8_t* p = img.pixel(x, y);
      p[0] = c[0], p[1] = c[1], p[2] = c[2], p[3] = 255;
    }
  return img;
}

TEST_F(GfxJpegTest, TinyFilesClaimingHugeSizesAreRefusedBeforeDecoding) {
  const fd::Data baseline = encodeJpeg(storedFor(1));
  const fd::Data progressive = encodeJpeg(storedFor(1), false, true);
  // Cut a few bytes into the first scan: the header is whole, the data is not.
  fd::Data cutShort = claimingSize(progressive, 30000, 30000);
  for (std::size_t i = 2; i + 1 < cutShort.size(); ++i)
    if (cutShort[i] == 0xff && cutShort[i + 1] == 0xda) {
      cutShort.resize(i + 20);
      break;
    }
  struct Case {
    const char* what;
    fd::Data bytes;
    const char* size;
  };
  const Case cases[] = {
      {"progressive", claimingSize(progressive, 65000, 65000), "65000x65000"},
      {"baseline", claimingSize(baseline, 2303, 41728), "2303x41728"},
      {"truncated progressive", cutShort, "30000x30000"},
  };
  const auto child = testing_support::runUnderMemoryCeiling(std::size_t{512} << 20, [&] {
    for (const Case& c : cases) {
      EXPECT_LT(c.bytes.size(), 1000u) << c.what;
      auto img = gfx::decodeJPEG(c.bytes);
      ASSERT_FALSE(img) << c.what;
      EXPECT_NE(img.error().find(std::string(c.size) + " pixels are more than allowed"), std::string::npos)
          << c.what << ": " << img.error();
    }
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "signal " << child.signal;
}

TEST_F(GfxJpegTest, APhotoLargerThanAllowedIsDecodedScaledDownToFit) {
  const fd::Data photo = encodeJpeg(quadrants(1000, 800));
  gfx::ReadLimits limits{4096, 4096, 200 * 200, false};
  auto refused = gfx::decodeJPEG(photo, limits);
  ASSERT_FALSE(refused);
  EXPECT_NE(refused.error().find("1000x800"), std::string::npos) << refused.error();

  // 1/4 would be 250x200, still too many pixels; 1/8 is the largest that fits.
  limits.scaleDownToFit = true;
  auto eighth = gfx::decodeJPEG(photo, limits);
  ASSERT_TRUE(eighth) << eighth.error();
  EXPECT_EQ(eighth->pixelWidth(), 125);
  EXPECT_EQ(eighth->pixelHeight(), 100);
  const int cx[] = {31, 93}, cy[] = {25, 75};
  for (int q = 0; q < 4; ++q) {
    const std::uint8_t* p = eighth->pixel(cx[q % 2], cy[q / 2]);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(p[k], kQuadrant[q][k], 40) << "quadrant " << q;
  }
  // A side limit alone picks the shrink too: 1000 wide into 600 is a half.
  auto half = gfx::decodeJPEG(photo, gfx::ReadLimits{600, 4096, std::size_t{1} << 24, true});
  ASSERT_TRUE(half) << half.error();
  EXPECT_EQ(half->pixelWidth(), 500);
  EXPECT_EQ(half->pixelHeight(), 400);
  // Within the limits nothing is scaled.
  auto whole = gfx::decodeJPEG(photo, gfx::ReadLimits{1000, 800, 800000, true});
  ASSERT_TRUE(whole) << whole.error();
  EXPECT_EQ(whole->pixelWidth(), 1000);
  // Even an eighth too large: refused, saying so.
  auto tooLarge = gfx::decodeJPEG(photo, gfx::ReadLimits{100, 100, 10000, true});
  ASSERT_FALSE(tooLarge);
  EXPECT_NE(tooLarge.error().find("even at 1/8"), std::string::npos) << tooLarge.error();
}

TEST_F(GfxJpegTest, TheDecodersOwnMemoryIsCappedWhateverTheCallerAllows) {
  // A progressive file keeps all coefficients of the picture: 20000 x 20000
  // would need over a gigabyte even though the caller admits the size.
  const fd::Data claim = claimingSize(encodeJpeg(storedFor(1), false, true), 20000, 20000);
  const auto child = testing_support::runUnderMemoryCeiling(std::size_t{768} << 20, [&] {
    auto img = gfx::decodeJPEG(claim, gfx::ReadLimits{65535, 65535, std::size_t{1} << 32, false});
    ASSERT_FALSE(img);
    EXPECT_NE(img.error().find("JPEG: "), std::string::npos) << img.error();
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "signal " << child.signal;
}

TEST_F(GfxJpegTest, TruncatedProgressiveFilesGiveErrorsAtEveryLength) {
  const fd::Data full = encodeJpeg(storedFor(2), false, true);
  ASSERT_TRUE(gfx::decodeJPEG(full));
  for (std::size_t n = 0; n < full.size(); n += (n < 300 ? 3 : 11)) {
    auto img = gfx::decodeJPEG(fd::Data(full.begin(), full.begin() + static_cast<long>(n)));
    EXPECT_FALSE(img) << "length " << n;
  }
}

TEST(GfxExifTest, MalformedSegmentsGiveNothing) {
  auto parse = [](const fd::Data& d) { return gfx::exifOrientation(d.data(), d.size()); };
  EXPECT_EQ(parse(exifPayload(6, false)), 6);
  EXPECT_EQ(parse(exifPayload(8, true)), 8);
  EXPECT_FALSE(parse(exifPayload(0, false)));
  EXPECT_FALSE(parse(exifPayload(9, true)));

  fd::Data wrongType = exifPayload(3, false);
  wrongType[6 + 8 + 2 + 12 + 2] = 4;  // LONG instead of SHORT
  EXPECT_FALSE(parse(wrongType));

  fd::Data badMagic = exifPayload(3, true);
  badMagic[6 + 3] = 43;
  EXPECT_FALSE(parse(badMagic));

  fd::Data farIfd = exifPayload(3, false);
  farIfd[6 + 4] = 0xf0, farIfd[6 + 7] = 0xff;  // IFD offset far beyond the segment
  EXPECT_FALSE(parse(farIfd));

  fd::Data manyEntries = exifPayload(3, false);
  manyEntries[6 + 8] = 0xff, manyEntries[6 + 9] = 0xff;  // more entries than the segment holds
  EXPECT_EQ(parse(manyEntries), 3);  // the tag comes before the scan leaves the segment
  manyEntries[6 + 8 + 2 + 12] = 0x13;  // hide the tag: the scan now runs off the end
  EXPECT_FALSE(parse(manyEntries));

  const fd::Data full = exifPayload(7, true);
  for (std::size_t n = 0; n < full.size() - 6; ++n) {  // value padding and next-IFD link are not needed
    fd::Data cut(full.begin(), full.begin() + static_cast<long>(n));
    EXPECT_FALSE(parse(cut)) << n;
  }
  EXPECT_FALSE(gfx::exifOrientation(nullptr, 100));
  fd::Data notExif = full;
  notExif[0] = 'X';
  EXPECT_FALSE(parse(notExif));
}

}  // namespace
