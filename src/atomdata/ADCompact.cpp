#include "atomdata/ADCompact.h"

#include <vector>

namespace {

struct Attribute {
  std::string_view name;
  std::string_view value;
};

std::uint32_t lengthAt(const char* p) {
  std::uint32_t n = 0;
  std::memcpy(&n, p, sizeof n);
  return n;
}

// Visits the attributes of a block in order until the visitor answers true.
template <typename Visit>
void walk(std::string_view block, Visit visit) {
  const char* p = block.data();
  const char* const end = p + block.size();
  while (p < end) {
    const std::uint32_t nameLength = lengthAt(p);
    const std::string_view name(p + 4, nameLength);
    p += 4 + nameLength;
    const std::uint32_t valueLength = lengthAt(p);
    if (visit(Attribute{name, std::string_view(p + 4, valueLength)})) return;
    p += 4 + valueLength;
  }
}

std::vector<Attribute> unpack(std::string_view block) {
  std::vector<Attribute> out;
  walk(block, [&](const Attribute& a) {
    out.push_back(a);
    return false;
  });
  return out;
}

void appendLength(std::string& out, std::size_t n) {
  const auto length = static_cast<std::uint32_t>(n);
  out.append(reinterpret_cast<const char*>(&length), sizeof length);
}

}  // namespace

std::optional<std::string_view> ADAttributeList::find(std::string_view name) const {
  std::optional<std::string_view> found;
  walk(block_.view(), [&](const Attribute& a) {
    if (a.name == name) found = a.value;
    return found.has_value();
  });
  return found;
}

void ADAttributeList::set(std::string_view name, const std::optional<std::string>& value) {
  std::vector<Attribute> attributes = unpack(block_.view());
  auto at = attributes.begin();
  while (at != attributes.end() && at->name < name) ++at;
  const bool present = at != attributes.end() && at->name == name;
  if (!value && !present) return;
  std::string packed;
  auto put = [&](std::string_view n, std::string_view v) {
    appendLength(packed, n.size());
    packed += n;
    appendLength(packed, v.size());
    packed += v;
  };
  for (auto it = attributes.begin(); it != attributes.end(); ++it) {
    if (it == at) {
      if (value) put(name, *value);
      if (present) continue;
    }
    put(it->name, it->value);
  }
  if (at == attributes.end() && value) put(name, *value);
  block_ = packed.empty() ? ADText() : ADText(std::string_view(packed));
}

void ADAttributeList::forEach(const std::function<void(std::string_view, std::string_view)>& visit) const {
  for (const Attribute& a : unpack(block_.view())) visit(a.name, a.value);
}

bool ADAttributeList::equals(const ADAttributeList& other, const std::function<bool(std::string_view)>& ignored) const {
  std::vector<Attribute> mine = unpack(block_.view()), theirs = unpack(other.block_.view());
  std::erase_if(mine, [&](const Attribute& a) { return ignored(a.name); });
  std::erase_if(theirs, [&](const Attribute& a) { return ignored(a.name); });
  if (mine.size() != theirs.size()) return false;
  for (std::size_t i = 0; i < mine.size(); ++i)
    if (mine[i].name != theirs[i].name || mine[i].value != theirs[i].value) return false;
  return true;
}
