#include "model/SafeName.h"

#include "platform/graphics/Text.h"

std::string nameAsStored(std::string_view name) {
  const std::string held = gfx::heldOnOneLine(name);
  const auto first = held.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return held.substr(first, held.find_last_not_of(' ') - first + 1);
}
