#include <glib.h>

#include <algorithm>
#include <memory>

#include "platform/foundation/Unicode.h"

namespace fd {

std::string composedForm(std::string_view utf8) {
  // ASCII is its own composed form, and most names are ASCII.
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return std::string(utf8);
  const std::unique_ptr<gchar, decltype(&g_free)> composed(
      g_utf8_normalize(utf8.data(), static_cast<gssize>(utf8.size()), G_NORMALIZE_NFC), &g_free);
  return composed ? std::string(composed.get()) : std::string(utf8);
}

}  // namespace fd
