#pragma once
// The kind maps: which entry and feed classes a document's kind markers name.
// Classes enter them through registerEntryClass / registerFeedClass, called by
// each family's start-up registration before any document is parsed.
#include <libxml/tree.h>

#include <string>
#include <string_view>

struct ADClass;

namespace ad_kinds {
// The key of a category: the term alone under the kind scheme, else {"scheme":"term"}.
std::string keyForCategory(std::string_view scheme, std::string_view term);
void registerEntry(const ADClass& cls);
void registerFeed(const ADClass& cls);
// Enters cls under a category of its own choosing; a null scheme matches a
// category with that term under any scheme.
void registerEntry(const ADClass& cls, const char* scheme, std::string_view term);
void registerFeed(const ADClass& cls, const char* scheme, std::string_view term);
// The class that the element's gd "kind" attribute, else its atom categories,
// name in the entry or feed map; null when none is registered.
const ADClass* classForElement(const xmlNode* element, bool feed);
// The class for a root or embedded element chosen by its name and kind: feeds
// and entries through the maps (falling back to the base classes), "service"
// by the class registered under the name "ADAtomServiceDocument", app
// "categories" by "ADAtomCategoryGroup"; null otherwise.
const ADClass* classForAnyElement(const xmlNode* element);
}  // namespace ad_kinds
