// Fuzz target for picture decoding: the bytes as a PNG and as a JPEG, read
// as a layer file (capped at the largest page) and as a photo (scaled down to
// fit). It must never crash, never exceed the limits, and every picture it
// answers must hold exactly its pixels.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/graphics/Image.h"

namespace {

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "fuzz_picture: %s\n", what);
    std::abort();
  }
}

void decodeWith(const fd::Data& bytes, const gfx::ReadLimits& limits) {
  for (auto decode : {gfx::decodePNG, gfx::decodeJPEG}) {
    auto picture = decode(bytes, limits);
    if (!picture) {
      check(!picture.error().empty(), "a failure without a message");
      continue;
    }
    const std::size_t w = picture->pixelWidth(), h = picture->pixelHeight();
    check(limits.admits(w, h), "a picture beyond the limits");
    check(picture->bytes().size() == w * h * 4, "pixels do not match the size");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fd::Data bytes(data, data + size);
  decodeWith(bytes, gfx::ReadLimits::atMost(768, 576));
  decodeWith(bytes, gfx::ReadLimits{1024, 1024, std::size_t{1} << 18, true});
  return 0;
}
