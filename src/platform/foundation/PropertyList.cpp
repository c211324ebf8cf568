#include "platform/foundation/PropertyList.h"

#include <cstring>
#include <limits>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/PropertyListCheck.h"
#include "platform/foundation/PropertyListXMLForm.h"

namespace fd {

Expected<Value> parsePropertyList(const Data& bytes) {
  if (bytes.empty()) return fail("empty property list");
  if (bytes.size() > std::numeric_limits<std::uint32_t>::max()) return fail("property list too large");
  constexpr char kBinaryMagic[] = "bplist00";
  const bool binary = bytes.size() >= 8 && std::memcmp(bytes.data(), kBinaryMagic, 8) == 0;
  if (binary) {
    if (Status checked = plistcheck::checkBinary(bytes); !checked) return checked.failure();
  }
  // Each value is tallied as it is built, so that most lists are known to
  // be written within the bounds without a pass over what was read.
  plistxml::Bound written;
  Expected<Value> value =
      binary ? plistcheck::readCheckedBinary(bytes, &written) : plistcheck::readXML(bytes, &written);
  if (!value) return value;
  if (Status again = plistcheck::readableOnceWritten(*value, written, bytes.size()); !again) return again.failure();
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
  return files::writeFileAtomicallyReporting(path, text->data(), text->size(), files::IfSame::Keep);
}

}  // namespace fd
