#include "platform/foundation/PropertyList.h"

#include <plist/plist.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/PropertyListCheck.h"

namespace fd {

namespace {

// Property-list dates count from 2001-01-01 UTC; Date counts from 1970.
constexpr double kReferenceDateOffset = 978307200.0;

struct PlistDeleter {
  void operator()(plist_t p) const { plist_free(p); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

using plistcheck::kMaxDepth;

// Fills `out` with the node's value. Each node is visited once and each value
// made in its place, so the time follows the number of nodes.
Status fromNode(plist_t node, int depth, Value& out) {
  if (node == nullptr) return fail("property list has a missing node");
  // The byte checks already refused deeper lists; this keeps the recursion
  // bounded whatever the parser hands back.
  if (depth >= kMaxDepth) return fail("property list nested too deeply");
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      std::uint8_t b = 0;
      plist_get_bool_val(node, &b);
      out = Value(b != 0);
      return {};
    }
    case PLIST_UINT: {
      std::uint64_t u = 0;
      plist_get_uint_val(node, &u);
      out = Value(static_cast<long long>(static_cast<std::int64_t>(u)));
      return {};
    }
    case PLIST_UID: {
      std::uint64_t u = 0;
      plist_get_uid_val(node, &u);
      out = Value(static_cast<long long>(u));
      return {};
    }
    case PLIST_REAL: {
      double d = 0;
      plist_get_real_val(node, &d);
      out = Value(d);
      return {};
    }
    case PLIST_STRING: {
      const char* s = plist_get_string_ptr(node, nullptr);
      out = Value(std::string(s ? s : ""));
      return {};
    }
    case PLIST_KEY: {
      char* s = nullptr;
      plist_get_key_val(node, &s);
      out = Value(std::string(s ? s : ""));
      std::free(s);
      return {};
    }
    case PLIST_DATA: {
      std::uint64_t length = 0;
      const char* p = plist_get_data_ptr(node, &length);
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(p);
      out = Value(Data(bytes, bytes + (p ? length : 0)));
      return {};
    }
    case PLIST_DATE: {
      std::int32_t sec = 0, usec = 0;
      plist_get_date_val(node, &sec, &usec);
      // The library hands back the fraction's magnitude for dates before 2001.
      double fraction = usec / 1e6;
      double since2001 = sec < 0 ? sec - fraction : sec + fraction;
      out = Value(Date{since2001 + kReferenceDateOffset});
      return {};
    }
    case PLIST_ARRAY: {
      out = Value(Array{});
      Array& items = *out.array();
      items.reserve(plist_array_get_size(node));
      // Walked item after item: fetching an item by its index walks from the
      // front in the arrays the binary parser builds, which made reading
      // long lists quadratic.
      plist_array_iter it = nullptr;
      plist_array_new_iter(node, &it);
      const std::unique_ptr<void, decltype(&std::free)> iterator(it, &std::free);
      for (;;) {
        plist_t child = nullptr;
        plist_array_next_item(node, it, &child);
        if (child == nullptr) break;
        if (Status s = fromNode(child, depth + 1, items.emplace_back()); !s) return s;
      }
      return {};
    }
    case PLIST_DICT: {
      out = Value(Dictionary{});
      Dictionary& entries = *out.dictionary();
      plist_dict_iter it = nullptr;
      plist_dict_new_iter(node, &it);
      const std::unique_ptr<void, decltype(&std::free)> iterator(it, &std::free);
      while (it != nullptr) {
        char* key = nullptr;
        plist_t child = nullptr;
        plist_dict_next_item(node, it, &key, &child);
        if (key == nullptr) break;
        std::string k(key);
        std::free(key);
        Value item;
        if (Status s = fromNode(child, depth + 1, item); !s) return s;
        entries.insert_or_assign(entries.end(), std::move(k), std::move(item));
      }
      return {};
    }
    default: return fail("property list holds an unsupported kind of value");
  }
}

}  // namespace

Expected<Value> parsePropertyList(const Data& bytes) {
  if (bytes.empty()) return fail("empty property list");
  if (bytes.size() > std::numeric_limits<std::uint32_t>::max()) return fail("property list too large");
  constexpr char kBinaryMagic[] = "bplist00";
  const bool binary = bytes.size() >= 8 && std::memcmp(bytes.data(), kBinaryMagic, 8) == 0;
  if (Status checked = binary ? plistcheck::checkBinary(bytes) : plistcheck::checkXML(bytes); !checked)
    return checked.failure();
  if (binary) return plistcheck::readCheckedBinary(bytes);
  plist_t root = nullptr;
  plist_from_xml(reinterpret_cast<const char*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()), &root);
  PlistPtr owner(root);
  if (root == nullptr) return fail("not a valid property list");
  Value value;
  if (Status converted = fromNode(root, 0, value); !converted) return converted.failure();
  return value;
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
