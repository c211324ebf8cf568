#pragma once
// What the picture readers share: the scale a file name implies.
#include <filesystem>

namespace gfx {

// 2 for a name whose stem ends in "@2x" ("icon@2x.png"), else 1.
float scaleFromFileName(const std::filesystem::path& path);

}  // namespace gfx
