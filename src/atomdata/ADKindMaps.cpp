#include "atomdata/ADKindMaps.h"

#include <map>
#include <mutex>

#include "atomdata/ADConstants.h"
#include "atomdata/ADEntryBase.h"
#include "atomdata/ADXMLNode.h"

namespace ad_kinds {

namespace {

struct Maps {
  std::mutex mutex;
  std::map<std::string, const ADClass*, std::less<>> entries;
  std::map<std::string, const ADClass*, std::less<>> feeds;
};

Maps& maps() {
  static Maps m;
  return m;
}

void enter(std::map<std::string, const ADClass*, std::less<>>& map, const ADClass& cls) {
  std::lock_guard lock(maps().mutex);
  if (cls.traits.standardKind) map[keyForCategory(kADCategoryScheme, cls.traits.standardKind)] = &cls;
  if (cls.traits.kindAttributeValue) map[cls.traits.kindAttributeValue] = &cls;
}

void enter(std::map<std::string, const ADClass*, std::less<>>& map, const ADClass& cls, const char* scheme,
           std::string_view term) {
  std::lock_guard lock(maps().mutex);
  map[keyForCategory(scheme ? scheme : "", term)] = &cls;
}

const ADClass* find(const std::map<std::string, const ADClass*, std::less<>>& map, std::string_view key) {
  auto it = map.find(key);
  return it == map.end() ? nullptr : it->second;
}

}  // namespace

std::string keyForCategory(std::string_view scheme, std::string_view term) {
  if (scheme == kADCategoryScheme) return std::string(term);
  return "{\"" + std::string(scheme) + "\":\"" + std::string(term) + "\"}";
}

void registerEntry(const ADClass& cls) { enter(maps().entries, cls); }
void registerFeed(const ADClass& cls) { enter(maps().feeds, cls); }
void registerEntry(const ADClass& cls, const char* scheme, std::string_view term) { enter(maps().entries, cls, scheme, term); }
void registerFeed(const ADClass& cls, const char* scheme, std::string_view term) { enter(maps().feeds, cls, scheme, term); }

const ADClass* classForElement(const xmlNode* element, bool feed) {
  Maps& m = maps();
  const auto& map = feed ? m.feeds : m.entries;
  std::lock_guard lock(m.mutex);
  for (const xmlAttr* a = element->properties; a; a = a->next) {
    if (ad_xml::text(a->name) == "kind" && a->ns && ad_xml::text(a->ns->href) == kADNamespaceGD)
      if (const ADClass* cls = find(map, ad_xml::attributeValue(a))) return cls;
  }
  for (const xmlNode* child = element->children; child; child = child->next) {
    if (child->type != XML_ELEMENT_NODE || ad_xml::text(child->name) != "category" ||
        ad_xml::namespaceURI(child) != kADNamespaceAtom)
      continue;
    std::optional<std::string> scheme = ad_xml::attribute(child, "scheme");
    std::optional<std::string> term = ad_xml::attribute(child, "term");
    if (!term) continue;
    if (const ADClass* cls = find(map, keyForCategory(scheme.value_or(""), *term))) return cls;
    if (scheme && !scheme->empty())
      if (const ADClass* cls = find(map, keyForCategory("", *term))) return cls;
  }
  return nullptr;
}

const ADClass* classForAnyElement(const xmlNode* element) {
  const std::string_view local = ad_xml::text(element->name);
  if (ad_xml::namespaceURI(element) == kADNamespaceAtom) {
    if (local == "feed") {
      const ADClass* cls = classForElement(element, true);
      return cls ? cls : &ADFeedBase::adClass();
    }
    if (local == "entry") {
      const ADClass* cls = classForElement(element, false);
      return cls ? cls : &ADEntryBase::adClass();
    }
  }
  if (local == "service") return ADClass::named("ADAtomServiceDocument");
  // A category document (RFC 5023) stands alone as an app "categories" root.
  if (local == "categories" && ad_xml::namespaceURI(element) == kADNamespaceAtomPub)
    return ADClass::named("ADAtomCategoryGroup");
  return nullptr;
}

}  // namespace ad_kinds
