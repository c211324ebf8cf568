// Reading pictures of either format, and what the file name says of them.
#include "platform/graphics/Codec.h"

#include <string_view>

#include "platform/foundation/FileUtil.h"
#include "platform/graphics/Image.h"

namespace gfx {

std::optional<Image> readImage(const std::filesystem::path& path, std::string* error) {
  auto bytes = fd::files::readFile(path);
  if (!bytes) {
    if (error) *error = "cannot read " + path.string();
    return std::nullopt;
  }
  auto img = bytes->size() >= 2 && (*bytes)[0] == 0xff && (*bytes)[1] == 0xd8 ? decodeJPEG(*bytes, error)
                                                                               : decodePNG(*bytes, error);
  if (img) img->setScale(scaleFromFileName(path));
  return img;
}

float scaleFromFileName(const std::filesystem::path& path) {
  const std::string stem = path.stem().string();
  constexpr std::string_view kSuffix = "@2x";
  return stem.size() >= kSuffix.size() && stem.compare(stem.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0
             ? 2.0f
             : 1.0f;
}

}  // namespace gfx
