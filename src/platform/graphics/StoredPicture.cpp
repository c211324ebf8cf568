#include "platform/graphics/StoredPicture.h"

#include "platform/foundation/FileUtil.h"
#include "platform/graphics/Codec.h"

namespace gfx {

namespace {

// No picture the limits admit is stored in a file much larger than its
// pixels: a larger file is refused before it is read into memory.
std::uintmax_t largestFileFor(const ReadLimits& limits) {
  return static_cast<std::uintmax_t>(limits.maxPixels) * 8 + (std::uintmax_t{1} << 20);
}

// The picture, or why it cannot be read.
fd::Expected<Image> decodeStored(const std::filesystem::path& file, const ReadLimits& limits) {
  const std::optional<std::uintmax_t> size = fd::files::fileSize(file);
  if (!size) return fd::fail("the file cannot be opened");
  if (*size == 0) return fd::fail("the file is empty");
  if (*size > largestFileFor(limits)) return fd::fail("the file is larger than any picture allowed here");
  const std::optional<fd::Data> bytes = fd::files::readFile(file);
  if (!bytes) return fd::fail("the file cannot be opened");
  fd::Expected<Image> picture = looksLikePNG(*bytes)    ? decodePNG(*bytes, limits)
                                : looksLikeJPEG(*bytes) ? decodeJPEG(*bytes, limits)
                                                        : fd::fail("it is neither a PNG nor a JPEG picture");
  if (picture) picture->setScale(scaleFromFileName(file));
  return picture;
}

}  // namespace

fd::Expected<Image> readStoredPicture(const std::filesystem::path& file, const std::string& name,
                                      const ReadLimits& limits) {
  std::error_code ec;
  if (std::filesystem::symlink_status(file, ec).type() == std::filesystem::file_type::not_found) return Image();
  fd::Expected<Image> picture = decodeStored(file, limits);
  if (!picture) fd::setAsideDamagedFile(file, fd::DamagedFileReport::Kind::Picture, name, picture.error());
  return picture;
}

}  // namespace gfx
