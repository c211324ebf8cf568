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
  if (binary) {
    if (Status checked = plistcheck::checkBinary(bytes); !checked) return checked.failure();
  }
  Expected<Value> value = binary ? plistcheck::readCheckedBinary(bytes) : plistcheck::readXML(bytes);
  if (!value) return value;
  if (Status again = plistcheck::readableOnceWritten(*value); !again) return again.failure();
  return value;
}

Expected<Value> readPropertyList(const std::filesystem::path& path) {
  const Expected<Data> bytes = files::readFile(path, plistcheck::fileBound());
  if (!bytes) return fail("cannot read " + path.string() + ": " + bytes.error());
  auto value = parsePropertyList(*bytes);
  if (!value) return fail(path.string() + ": " + value.error());
  return value;
}

Status writePropertyList(const std::filesystem::path& path, const Value& value) {
  Expected<std::string> text = plistcheck::storableText(value);
  if (!text) return fail(path.string() + " is not written: " + text.error());
  return files::writeFileAtomicallyReporting(path, text->data(), text->size());
}

}  // namespace fd
