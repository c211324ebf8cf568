// Reading pictures from files: one road for PNG, JPEG and either.
#include "platform/graphics/Codec.h"

#include <png.h>

#include <span>
#include <string_view>

#include "platform/foundation/FileUtil.h"
#include "platform/graphics/Image.h"

namespace gfx {

namespace {

struct Format {
  const char* name;
  bool (*matches)(const fd::Data&);
  fd::Expected<Image> (*decode)(const fd::Data&, const ReadLimits&);
};
// In the order tried; readPNG and readJPEG use one entry each.
constexpr Format kFormats[] = {{"PNG", looksLikePNG, decodePNG}, {"JPEG", looksLikeJPEG, decodeJPEG}};
constexpr std::span<const Format> kPngOnly(kFormats, 1);
constexpr std::span<const Format> kJpegOnly(kFormats + 1, 1);

fd::Expected<Image> readAs(const std::filesystem::path& path, std::span<const Format> formats,
                           const ReadLimits& limits) {
  const fd::Expected<fd::Data> bytes = fd::files::readFile(path, limits.largestFile());
  if (!bytes) return fd::fail("cannot read " + path.string() + ": " + bytes.error());
  std::string tried;
  for (const Format& format : formats) {
    if (format.matches(*bytes)) {
      auto image = format.decode(*bytes, limits);
      if (!image) return fd::fail(path.string() + ": " + image.error());
      image->setScale(scaleFromFileName(path));
      return image;
    }
    tried += std::string(tried.empty() ? "a " : " nor a ") + format.name;
  }
  return fd::fail(path.string() + ": " + (formats.size() > 1 ? "neither " : "not ") + tried + " file");
}

}  // namespace

bool looksLikePNG(const fd::Data& bytes) { return bytes.size() >= 8 && png_sig_cmp(bytes.data(), 0, 8) == 0; }

bool looksLikeJPEG(const fd::Data& bytes) { return bytes.size() >= 3 && bytes[0] == 0xff && bytes[1] == 0xd8 && bytes[2] == 0xff; }

fd::Expected<Image> readPNG(const std::filesystem::path& path, const ReadLimits& limits) {
  return readAs(path, kPngOnly, limits);
}

fd::Expected<Image> readJPEG(const std::filesystem::path& path, const ReadLimits& limits) {
  return readAs(path, kJpegOnly, limits);
}

fd::Expected<Image> readImage(const std::filesystem::path& path, const ReadLimits& limits) {
  return readAs(path, kFormats, limits);
}

float scaleFromFileName(const std::filesystem::path& path) {
  const std::string stem = path.stem().string();
  constexpr std::string_view kSuffix = "@2x";
  return stem.size() >= kSuffix.size() && stem.compare(stem.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0
             ? 2.0f
             : 1.0f;
}

}  // namespace gfx
