#include "platform/foundation/PropertyList.h"

#include <cstring>
#include <limits>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/PropertyListCheck.h"

namespace fd {

Expected<Value> parsePropertyList(const Data& bytes) {
  if (bytes.empty()) return fail("empty property list");
  if (bytes.size() > std::numeric_limits<std::uint32_t>::max()) return fail("property list too large");
  constexpr char kBinaryMagic[] = "bplist00";
  const bool binary = bytes.size() >= 8 && std::memcmp(bytes.data(), kBinaryMagic, 8) == 0;
  if (!binary) return plistcheck::readXML(bytes);
  if (Status checked = plistcheck::checkBinary(bytes); !checked) return checked.failure();
  return plistcheck::readCheckedBinary(bytes);
}

Expected<Value> readPropertyList(const std::filesystem::path& path) {
  const Expected<Data> bytes = files::readFile(path, kMaxPropertyListBytes);
  if (!bytes) return fail("cannot read " + path.string() + ": " + bytes.error());
  auto value = parsePropertyList(*bytes);
  if (!value) return fail(path.string() + ": " + value.error());
  return value;
}

Status writePropertyList(const std::filesystem::path& path, const Value& value) {
  std::string text = serializePropertyListXML(value);
  if (text.empty()) return fail("cannot make a property list of the value for " + path.string());
  return files::writeFileAtomicallyReporting(path, text.data(), text.size());
}

}  // namespace fd
