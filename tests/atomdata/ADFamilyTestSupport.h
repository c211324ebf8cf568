#pragma once
// What the family tests share: parsing a document into a family class,
// writing an object back and parsing it again, and running a table of
// accessors (each read from the parsed document, then set and read again).
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "atomdata/ADEntryBase.h"
#include "atomdata/ADFamilies.h"
#include "atomdata/ADService.h"

namespace ad_test {

inline void registerFamilies() {
  static const bool once = (ADRegisterServiceFamilies(), true);
  (void)once;
}

// The document parsed by the kind maps (or as cls), expected to be a T.
template <typename T>
std::shared_ptr<T> parse(const std::string& xml, const ADClass* cls = nullptr) {
  fd::Expected<ADObjectPtr> parsed = ADObjectWithXMLData(xml, cls);
  EXPECT_TRUE(parsed.ok()) << parsed.error();
  if (!parsed) return nullptr;
  auto object = std::dynamic_pointer_cast<T>(*parsed);
  EXPECT_TRUE(object) << "parsed as " << (*parsed)->classInfo().name;
  return object;
}

// Written (declaring the namespaces when it declares none), parsed again as its
// own class, and equal to what was written.
template <typename T>
std::shared_ptr<T> roundTrip(T& object, const ADNamespaces& namespaces) {
  if (object.namespaces().empty()) object.setNamespaces(namespaces);
  const std::string written = object.XMLDocumentString();
  fd::Expected<ADObjectPtr> parsed = ADObjectWithXMLData(written, &object.classInfo());
  EXPECT_TRUE(parsed.ok()) << parsed.error();
  if (!parsed) return nullptr;
  auto again = std::dynamic_pointer_cast<T>(*parsed);
  EXPECT_TRUE(again);
  if (again) {
    EXPECT_TRUE(object.isEqual(*again)) << written << "\n" << again->XMLDocumentString();
  }
  return again;
}

// Written, parsed again as its own class, and equal to what was written (for
// objects that carry their namespaces, as the families' factories make them).
template <typename T>
std::shared_ptr<T> roundTrip(const T& object) {
  const std::string written = object.XMLDocumentString();
  fd::Expected<ADObjectPtr> parsed = ADObjectWithXMLData(written, &object.classInfo());
  EXPECT_TRUE(parsed.ok()) << parsed.error() << "\n" << written;
  if (!parsed) return nullptr;
  auto again = std::dynamic_pointer_cast<T>(*parsed);
  EXPECT_TRUE(again);
  if (again) {
    EXPECT_TRUE(object.isEqual(*again)) << written << "\n" << again->XMLDocumentString();
  }
  return again;
}

// The class names of a feed's entries, in order.
inline std::vector<std::string> entryClassNames(const ADFeedBase& feed) {
  std::vector<std::string> out;
  for (const auto& entry : feed.entries()) out.emplace_back(entry->classInfo().name);
  return out;
}

// A feed document (Atom and gd declared, and the given namespaces) around entries.
inline std::string feedXML(const std::string& namespaces, const std::string& head, const std::string& entries) {
  return "<?xml version=\"1.0\"?>\n<feed xmlns=\"http://www.w3.org/2005/Atom\" "
         "xmlns:gd=\"http://schemas.flipdesk.net/g/2005\" " + namespaces + ">" + head + entries + "</feed>";
}

inline std::string kindCategory(const std::string& term) {
  return "<category scheme=\"http://schemas.flipdesk.net/g/2005#kind\" term=\"" + term + "\"/>";
}

using Text = std::optional<std::string>;

// One accessor pair, with values written as text.
template <typename T>
struct AccessorRow {
  const char* name;
  std::function<Text(const T&)> get;
  std::function<void(T&, const Text&)> set;
  Text parsed;   // what the document holds
  Text changed;  // set, then read back
};

template <typename T>
void checkAccessors(T& object, const std::vector<AccessorRow<T>>& rows) {
  for (const AccessorRow<T>& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.get(object), row.parsed);
    row.set(object, row.changed);
    EXPECT_EQ(row.get(object), row.changed);
  }
}

inline Text text(std::optional<int> v) { return v ? Text(std::to_string(*v)) : std::nullopt; }
inline Text text(std::optional<long long> v) { return v ? Text(std::to_string(*v)) : std::nullopt; }
inline Text text(bool v) { return std::string(v ? "true" : "false"); }
inline Text text(const std::optional<ADDateTime>& v) { return v ? Text(v->RFC3339String()) : std::nullopt; }
inline std::optional<int> number(const Text& v) { return v ? std::optional<int>(std::stoi(*v)) : std::nullopt; }
inline bool flag(const Text& v) { return v == "true"; }
inline std::optional<ADDateTime> date(const Text& v) {
  return v ? ADDateTime::dateTimeWithRFC3339String(*v) : std::nullopt;
}

// Whether a service leaves the class of what it fetches to the kind maps.
template <typename S>
concept FetchesUntyped = requires(S s, ADServiceCompletion c, const ADQuery& q) {
  s.fetchFeedWithURL(std::string(), c);
} || requires(S s, ADServiceCompletion c) {
  s.fetchEntryWithURL(std::string(), c);
} || requires(S s, ADServiceCompletion c, const ADQuery& q) {
  s.fetchFeedWithQuery(q, c);
};
template <typename S>
concept FetchesTyped = requires(S s, ADServiceCompletion c) {
  s.fetchFeedWithURL(std::string(), ADFeedBase::adClass(), c);
  s.fetchEntryWithURL(std::string(), ADEntryBase::adClass(), c);
};

}  // namespace ad_test
