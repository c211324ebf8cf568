#include "platform/graphics/StoredPicture.h"

#include "platform/foundation/FileUtil.h"
#include "platform/graphics/Codec.h"

namespace gfx {

namespace {

// The picture, or why it cannot be read.
fd::Expected<Image> decodeStored(const std::filesystem::path& file, const ReadLimits& limits) {
  const fd::Expected<fd::Data> bytes = fd::files::readFile(file, limits.largestFile());
  if (!bytes) return bytes.failure();
  if (bytes->empty()) return fd::fail("the file is empty");
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
