#pragma once
// The code search family: one entry per source file matching a search, with
// its package and the matching lines.
#include <optional>
#include <string>
#include <vector>

#include "atomdata/ADConstants.h"
#include "atomdata/ADEntryBase.h"

inline constexpr const char kADNamespaceCodeSearch[] = AD_SCHEMA_ROOT "/codesearch/2006";
inline constexpr const char kADNamespaceCodeSearchPrefix[] = "gcs";
inline constexpr const char kADCodeSearchKindResult[] = AD_SCHEMA_ROOT "/codesearch/2006#result";
inline constexpr const char kADCodeSearchServiceVersion[] = "2.0";

// Keeps its name in a field.
class ADCodeSearchFile : public ADObject {
  AD_CLASS(ADCodeSearchFile)
  static std::shared_ptr<ADCodeSearchFile> fileWithName(const std::optional<std::string>& name);
  void initWithXMLElement(const xmlNode* element, const ADObject* parent) override;
  ADXMLNode XMLElement() const override;
  bool isEqual(const ADObject& other) const override;
  const std::optional<std::string>& name() const { return name_; }
  void setName(std::optional<std::string> v) { name_ = std::move(v); }

 private:
  std::optional<std::string> name_;
};

// Keeps its name and URI in fields.
class ADCodeSearchPackage : public ADObject {
  AD_CLASS(ADCodeSearchPackage)
  static std::shared_ptr<ADCodeSearchPackage> packageWithName(const std::optional<std::string>& name,
                                                              const std::optional<std::string>& uri);
  void initWithXMLElement(const xmlNode* element, const ADObject* parent) override;
  ADXMLNode XMLElement() const override;
  bool isEqual(const ADObject& other) const override;
  const std::optional<std::string>& name() const { return name_; }
  void setName(std::optional<std::string> v) { name_ = std::move(v); }
  const std::optional<std::string>& URI() const { return uri_; }
  void setURI(std::optional<std::string> v) { uri_ = std::move(v); }

 private:
  std::optional<std::string> name_;
  std::optional<std::string> uri_;
};

class ADCodeSearchMatch : public ADTextConstruct {
  AD_CLASS(ADCodeSearchMatch)
  void addParseDeclarations() override;
  static std::shared_ptr<ADCodeSearchMatch> matchWithStringValue(const std::optional<std::string>& text,
                                                                 const std::optional<std::string>& type,
                                                                 const std::optional<std::string>& lineNumber);
  std::optional<std::string> lineNumberString() const { return stringValueForAttribute("lineNumber"); }
  void setLineNumberString(const std::optional<std::string>& v) { ADObject::setStringValue(v, "lineNumber"); }
};

class ADEntryCodeSearch : public ADEntryBase {
  AD_CLASS(ADEntryCodeSearch)
  // The base namespaces plus "gcs".
  static ADNamespaces codeSearchNamespaces();
  static std::shared_ptr<ADEntryCodeSearch> codeSearchEntryWithFile(std::shared_ptr<ADCodeSearchFile> file,
                                                                    std::shared_ptr<ADCodeSearchPackage> package);
  void addExtensionDeclarations() override;
  std::shared_ptr<ADCodeSearchFile> file() const { return objectFor<ADCodeSearchFile>(); }
  void setFile(std::shared_ptr<ADCodeSearchFile> v) { setObject(std::move(v), ADCodeSearchFile::adClass()); }
  std::shared_ptr<ADCodeSearchPackage> package() const { return objectFor<ADCodeSearchPackage>(); }
  void setPackage(std::shared_ptr<ADCodeSearchPackage> v) { setObject(std::move(v), ADCodeSearchPackage::adClass()); }
  std::vector<std::shared_ptr<ADCodeSearchMatch>> matches() const { return objectsFor<ADCodeSearchMatch>(); }
  void setMatches(const std::vector<std::shared_ptr<ADCodeSearchMatch>>& v) { setObjects(v, ADCodeSearchMatch::adClass()); }
  void addMatch(std::shared_ptr<ADCodeSearchMatch> v) { addObject(std::move(v), ADCodeSearchMatch::adClass()); }
  // Enters the code search and access-control classes in the kind maps.
  static void registerClasses();
};

class ADFeedCodeSearch : public ADFeedBase {
  AD_CLASS(ADFeedCodeSearch)
  static std::shared_ptr<ADFeedCodeSearch> codeSearchFeed() { return std::make_shared<ADFeedCodeSearch>(); }
  static fd::Expected<std::shared_ptr<ADFeedCodeSearch>> codeSearchFeedWithXMLData(std::string_view data);
  const ADClass* classForEntries() const override { return &ADEntryCodeSearch::adClass(); }
};
