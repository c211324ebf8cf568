#include "model/SafeName.h"

#include "platform/foundation/Unicode.h"
#include "platform/graphics/Text.h"

std::string nameAsStored(std::string_view name) {
  return std::string(fd::withoutOuterSpaces(gfx::heldOnOneLine(name)));
}
