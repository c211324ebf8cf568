#pragma once
// What the picture readers share: recognising a format by its first bytes,
// reading a file through the decoders, and the scale a file name implies.
#include <filesystem>

#include "platform/foundation/Value.h"

namespace gfx {

bool looksLikePNG(const fd::Data& bytes);
bool looksLikeJPEG(const fd::Data& bytes);

// 2 for a name whose stem ends in "@2x" ("icon@2x.png"), else 1.
float scaleFromFileName(const std::filesystem::path& path);

}  // namespace gfx
