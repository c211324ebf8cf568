#include "model/Backgrounds.h"

namespace {

struct PrefixType {
  std::string_view prefix;
  int type;
};

constexpr PrefixType kBackgroundPrefixes[] = {
    {"SS", kBackgroundShippedStill}, {"US", kBackgroundUserStill}, {"SD", kBackgroundShippedLoop},
    {"UD", kBackgroundUserLoop},     {"SC", kBackgroundShippedHold}, {"UC", kBackgroundUserHold},
};

}  // namespace

int backgroundTypeOfName(std::string_view name) {
  if (name.size() < 2) return kBackgroundOther;
  for (const PrefixType& p : kBackgroundPrefixes) {
    if (name.substr(0, 2) == p.prefix) return p.type;
  }
  return kBackgroundOther;
}
