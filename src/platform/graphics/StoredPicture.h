#pragma once
// Pictures the program keeps and writes back after the user has drawn on
// them (a page's layers, the background being painted). Such a picture that
// is there but cannot be read must not load as nothing: the next save would
// write the empty canvas over the only copy. It is moved aside instead, and
// reported, like every state file that cannot be read.
#include <filesystem>
#include <string>

#include "platform/foundation/DamagedFile.h"
#include "platform/foundation/Expected.h"
#include "platform/graphics/Image.h"

namespace gfx {

// A missing file is an empty picture. A file that is there but cannot be read
// within the limits (empty, cut short, garbled, neither PNG nor JPEG, larger
// than the limits admit) is moved aside as "<name>.damaged-<time stamp>" and
// reported as a picture under `name`; the answer is then a failure naming the
// reason. Only the one place that will write the file again calls this:
// readers that only show a picture read it as they like and move nothing.
fd::Expected<Image> readStoredPicture(const std::filesystem::path& file, const std::string& name,
                                      const ReadLimits& limits = {});

}  // namespace gfx
