#include "model/Backgrounds.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr std::string_view kCopyStems[] = {"background", "backgroundIcon"};
constexpr std::size_t kLongestCopyId = 32;

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

std::string backgroundCopyName(const std::optional<std::string>& id, bool icon) {
  const std::string stem(kCopyStems[icon ? 1 : 0]);
  return id ? stem + "-" + *id + ".png" : stem + ".png";
}

bool isBackgroundCopyId(std::string_view id) {
  return !id.empty() && id.size() <= kLongestCopyId &&
         std::all_of(id.begin(), id.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

bool isBackgroundCopyName(std::string_view name) {
  if (!name.ends_with(".png")) return false;
  name.remove_suffix(4);
  for (std::string_view stem : kCopyStems) {
    if (name == stem) return true;
    if (name.starts_with(stem) && name.size() > stem.size() && name[stem.size()] == '-' &&
        isBackgroundCopyId(name.substr(stem.size() + 1)))
      return true;
  }
  return false;
}

bool backgroundFilesInDoubt(const std::vector<std::string>& names) {
  int usual = 0;
  for (const std::string& name : names) {
    // The page files, nearly all of a long project's, are named by ids of
    // digits: one look tells them.
    if (name.empty() || (name[0] != 'b' && name[0] != 'B')) continue;
    if (name == kBackgroundMendMark) return true;
    if (!isBackgroundCopyName(name)) continue;
    if (name != backgroundCopyName(std::nullopt, false) && name != backgroundCopyName(std::nullopt, true)) return true;
    ++usual;
  }
  return usual == 1;
}
