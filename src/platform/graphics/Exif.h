#pragma once
// The only EXIF that pictures need here: the orientation tag (0x0112)
// of IFD0, read from a JPEG APP1 segment in either TIFF byte order.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace gfx {

// `app1` is the segment's payload after the length field: "Exif\0\0" then the
// TIFF header. The tag's value 1..8, or nothing when the segment is not EXIF,
// is malformed or out of bounds anywhere, or holds no valid orientation.
std::optional<int> exifOrientation(const std::uint8_t* app1, std::size_t size);

}  // namespace gfx
