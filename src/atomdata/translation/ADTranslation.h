#pragma once
// The translation family: documents to translate (source, languages,
// progress, glossary and translation memory), glossaries and translation
// memories. Only the memory feed registers a kind.
#include <optional>
#include <string>
#include <vector>

#include "atomdata/ADConstants.h"
#include "atomdata/ADQuery.h"
#include "atomdata/ADService.h"
#include "atomdata/gd/ADGDElements.h"

inline constexpr const char kADNamespaceTranslation[] = AD_SCHEMA_ROOT "/gtt/2009/11";
inline constexpr const char kADNamespaceTranslationPrefix[] = "gtt";
inline constexpr const char kADTranslationServiceVersion[] = "1.0";
inline constexpr const char kADTranslationKindMemoryFeed[] = "gtrans#memory";
inline constexpr const char kADTranslationHiddenScheme[] = AD_SCHEMA_ROOT "/g/2005#labels";
inline constexpr const char kADTranslationHiddenTerm[] = AD_SCHEMA_ROOT "/g/2005#hidden";
inline constexpr const char kADTranslationHiddenLabel[] = "hidden";
inline constexpr const char kADTranslationStateScheme[] = AD_SCHEMA_ROOT "/gtt/2009/11#translationState";
inline constexpr const char kADTranslationStateCompleted[] = AD_SCHEMA_ROOT "/gtt/2009/11#completed";

class ADTranslationConstants {
 public:
  // Base namespaces plus gtt.
  static ADNamespaces translationNamespaces();
  // "2.1", whatever the service version.
  static std::string coreProtocolVersionForServiceVersion(const std::string&) { return "2.1"; }
  static void registerClasses();
};

class ADTranslationDocumentSource : public ADObject {
  AD_CLASS(ADTranslationDocumentSource)
  void addParseDeclarations() override { addLocalAttributeDeclarations({"type", "url"}); }
  static std::shared_ptr<ADTranslationDocumentSource> documentSourceWithType(const std::optional<std::string>& type,
                                                                            const std::optional<std::string>& url);
  std::optional<std::string> type() const { return stringValueForAttribute("type"); }
  void setType(const std::optional<std::string>& v) { setStringValue(v, "type"); }
  std::optional<std::string> URLString() const { return stringValueForAttribute("url"); }
  void setURLString(const std::optional<std::string>& v) { setStringValue(v, "url"); }
};
class ADTranslationSourceLanguage : public ADValueElementConstruct { AD_CLASS(ADTranslationSourceLanguage) };
class ADTranslationTargetLanguage : public ADValueElementConstruct { AD_CLASS(ADTranslationTargetLanguage) };
class ADTranslationPercentComplete : public ADValueElementConstruct { AD_CLASS(ADTranslationPercentComplete) };
class ADTranslationNumberOfSourceWords : public ADValueElementConstruct { AD_CLASS(ADTranslationNumberOfSourceWords) };
class ADTranslationScope : public ADValueElementConstruct { AD_CLASS(ADTranslationScope) };

// An element holding atom links.
class ADTranslationLinks : public ADObject {
  AD_CLASS(ADTranslationLinks)
  void addExtensionDeclarations() override;
  template <typename T>
  static std::shared_ptr<T> withLink(std::shared_ptr<ADLink> link) {
    auto object = std::make_shared<T>();
    object->addLink(std::move(link));
    return object;
  }
  AD_OBJECT_CHILDREN(ADLink, links, Links, Link)
  void removeLink(const ADLink& link) { removeObject(link, ADLink::adClass()); }
  std::vector<std::string> hrefs() const;
};
class ADTranslationGlossary : public ADTranslationLinks {
  AD_CLASS(ADTranslationGlossary)
  static std::shared_ptr<ADTranslationGlossary> glossaryWithLink(std::shared_ptr<ADLink> link) {
    return withLink<ADTranslationGlossary>(std::move(link));
  }
};
class ADTranslationMemory : public ADTranslationLinks {
  AD_CLASS(ADTranslationMemory)
  static std::shared_ptr<ADTranslationMemory> memoryWithLink(std::shared_ptr<ADLink> link) {
    return withLink<ADTranslationMemory>(std::move(link));
  }
};

class ADEntryTranslationDocument : public ADEntryBase {
  AD_CLASS(ADEntryTranslationDocument)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntryTranslationDocument> documentWithTitle(const std::optional<std::string>& title,
                                                                       const std::optional<std::string>& sourceLanguage,
                                                                       const std::optional<std::string>& targetLanguage);
  AD_OBJECT_CHILD(ADTranslationDocumentSource, documentSource, DocumentSource)
  AD_OBJECT_CHILD(ADTranslationGlossary, glossary, Glossary)
  AD_OBJECT_CHILD(ADTranslationMemory, translationMemory, TranslationMemory)
  AD_OBJECT_CHILD(ADLastModifiedBy, lastModifiedBy, LastModifiedBy)
  AD_STRING_CHILD(ADTranslationSourceLanguage, sourceLanguage, SourceLanguage)
  AD_STRING_CHILD(ADTranslationTargetLanguage, targetLanguage, TargetLanguage)
  AD_INT_CHILD(ADTranslationNumberOfSourceWords, numberOfSourceWords, NumberOfSourceWords)
  AD_INT_CHILD(ADTranslationPercentComplete, percentComplete, PercentComplete)
  // A labels-scheme category labelled "hidden", whatever its term.
  bool isHidden() const;
  void setIsHidden(bool v);
  // A translation-state category with the completed term, whatever its label.
  bool hasCompletedTranslation() const;
};

class ADEntryTranslationGlossary : public ADEntryBase {
  AD_CLASS(ADEntryTranslationGlossary)
  static std::shared_ptr<ADEntryTranslationGlossary> glossaryWithTitle(const std::optional<std::string>& title);
};

class ADEntryTranslationMemory : public ADEntryBase {
  AD_CLASS(ADEntryTranslationMemory)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntryTranslationMemory> documentWithTitle(const std::optional<std::string>& title,
                                                                     const std::optional<std::string>& scope);
  AD_STRING_CHILD(ADTranslationScope, scope, Scope)
};

class ADFeedTranslationDocument : public ADFeedBase {
  AD_CLASS(ADFeedTranslationDocument)
  const ADClass* classForEntries() const override { return &ADEntryTranslationDocument::adClass(); }
  static std::shared_ptr<ADFeedTranslationDocument> translationDocumentFeed();
};
class ADFeedTranslationGlossary : public ADFeedBase {
  AD_CLASS(ADFeedTranslationGlossary)
  const ADClass* classForEntries() const override { return &ADEntryTranslationGlossary::adClass(); }
  static std::shared_ptr<ADFeedTranslationGlossary> glossaryFeed();
};
class ADFeedTranslationMemory : public ADFeedBase {
  AD_CLASS(ADFeedTranslationMemory)
  const ADClass* classForEntries() const override { return &ADEntryTranslationMemory::adClass(); }
  static std::shared_ptr<ADFeedTranslationMemory> memoryFeed();
};

class ADQueryTranslation : public ADQuery {
 public:
  using ADQuery::ADQuery;
  static std::shared_ptr<ADQueryTranslation> translationQueryWithFeedURL(std::string url) {
    return std::make_shared<ADQueryTranslation>(std::move(url));
  }
  std::optional<std::string> scope() const { return valueForParameterWithName("scope"); }
  void setScope(const std::optional<std::string>& v) { addCustomParameterWithName("scope", v); }
  bool deleteForAllUsers() const { return boolValueForParameterWithName("delete", false); }
  void setDeleteForAllUsers(bool v) { addCustomParameterWithNameBoolValueDefaultValue("delete", v, false); }
};

class ADServiceTranslation : public ADServiceAccount {
 public:
  static constexpr const char kRootURLString[] = "https://translate.flipdesk.net/toolkit/feeds/";
  std::string serviceID() const override { return "gtrans"; }
  std::string serviceRootURLString() const override { return kRootURLString; }
  std::string defaultServiceVersion() const override { return kADTranslationServiceVersion; }
  ADNamespaces standardServiceNamespaces() const override { return ADTranslationConstants::translationNamespaces(); }
  // The root followed by the entry type as given.
  static std::string translationFeedURLForEntryType(const std::string& type) { return kRootURLString + type; }
  static std::string documentFeedURL() { return translationFeedURLForEntryType("documents"); }
  static std::string memoryFeedURL() { return translationFeedURLForEntryType("tm"); }
  static std::string glossaryFeedURL() { return translationFeedURLForEntryType("glossary"); }
};
