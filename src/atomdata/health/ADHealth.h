#pragma once
// The health family: profile and register entries carrying a continuity of
// care record and profile metadata as opaque XML, a grouped query, and the
// production and sandbox services.
#include <optional>
#include <string>

#include "atomdata/ADConstants.h"
#include "atomdata/ADQuery.h"
#include "atomdata/ADService.h"

inline constexpr const char kADNamespaceCCR[] = "urn:astm-org:CCR";
inline constexpr const char kADNamespaceCCRPrefix[] = "ccr";
inline constexpr const char kADNamespaceHealthMetadata[] = AD_SCHEMA_ROOT "/health/metadata";
inline constexpr const char kADNamespaceHealthMetadataPrefix[] = "h9m";
inline constexpr const char kADHealthServiceVersion[] = "2.0";
inline constexpr const char kADHealthKindProfile[] = AD_SCHEMA_ROOT "/health/kinds#profile";
inline constexpr const char kADHealthKindRegister[] = AD_SCHEMA_ROOT "/health/kinds#register";
inline constexpr const char kADHealthRelComplete[] = AD_SCHEMA_ROOT "/health/data#complete";
inline constexpr const char kADHealthSchemeItem[] = AD_SCHEMA_ROOT "/health/item";
inline constexpr const char kADHealthSchemeCCR[] = AD_SCHEMA_ROOT "/health/ccr";

class ADHealthConstants {
 public:
  // Base namespaces plus ccr (the metadata namespace is not declared).
  static ADNamespaces healthNamespaces();
  static void registerClasses();
};

// Holds all its child XML unparsed.
class ADHealthContainerObject : public ADObject {
  AD_CLASS(ADHealthContainerObject)
  void addParseDeclarations() override { addChildXMLElementsDeclaration(); }
  // A container of class T from a standalone element: copies of its children
  // and its own namespace declarations.
  template <typename T>
  static std::shared_ptr<T> objectWithXMLElement(const xmlNode* element) {
    auto object = std::make_shared<T>();
    object->initWithStandaloneElement(element);
    return object;
  }
  void initWithStandaloneElement(const xmlNode* element);
};
class ADContinuityOfCareRecord : public ADHealthContainerObject { AD_CLASS(ADContinuityOfCareRecord) };
class ADProfileMetaData : public ADHealthContainerObject { AD_CLASS(ADProfileMetaData) };

class ADEntryHealthRegister : public ADEntryBase {
  AD_CLASS(ADEntryHealthRegister)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntryHealthRegister> registerEntry();
  AD_OBJECT_CHILD(ADContinuityOfCareRecord, continuityOfCareRecord, ContinuityOfCareRecord)
  std::shared_ptr<ADLink> completeLink() const { return linkWithRelAttributeValue(kADHealthRelComplete); }
};

class ADEntryHealthProfile : public ADEntryBase {
  AD_CLASS(ADEntryHealthProfile)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntryHealthProfile> profileEntry();
  AD_OBJECT_CHILD(ADContinuityOfCareRecord, continuityOfCareRecord, ContinuityOfCareRecord)
  AD_OBJECT_CHILD(ADProfileMetaData, profileMetaData, ProfileMetaData)
  std::shared_ptr<ADLink> completeLink() const { return linkWithRelAttributeValue(kADHealthRelComplete); }
  std::shared_ptr<ADLink> nextLink() const { return linkWithRelAttributeValue("next"); }
  std::shared_ptr<ADCategory> healthItemCategory() const;
  // The CCR-scheme category, else the first without a scheme.
  std::shared_ptr<ADCategory> CCRCategory() const;
};

// Their entries take their class from the kind maps.
class ADFeedHealthProfile : public ADFeedBase {
  AD_CLASS(ADFeedHealthProfile)
  static std::shared_ptr<ADFeedHealthProfile> healthProfileFeed();
};
class ADFeedHealthRegister : public ADFeedBase {
  AD_CLASS(ADFeedHealthRegister)
  static std::shared_ptr<ADFeedHealthRegister> healthRegisterFeed();
};

class ADQueryHealth : public ADQuery {
 public:
  using ADQuery::ADQuery;
  static std::shared_ptr<ADQueryHealth> healthQueryWithFeedURL(std::string url) {
    return std::make_shared<ADQueryHealth>(std::move(url));
  }
  bool isDigest() const { return boolValueForParameterWithName("digest", false); }
  void setIsDigest(bool v) { addCustomParameterWithNameBoolValueDefaultValue("digest", v, false); }
  bool isGrouped() const { return boolValueForParameterWithName("grouped", false); }
  void setIsGrouped(bool v) { addCustomParameterWithNameBoolValueDefaultValue("grouped", v, false); }
  long maxResultsGroup() const { return positiveValueForParameterWithName("max-results-group"); }
  void setMaxResultsGroup(long v) { addCustomParameterWithNamePositiveValue("max-results-group", v); }
  long maxResultsInGroup() const { return positiveValueForParameterWithName("max-results-in-group"); }
  void setMaxResultsInGroup(long v) { addCustomParameterWithNamePositiveValue("max-results-in-group", v); }
  long startIndexGroup() const { return positiveValueForParameterWithName("start-index-group"); }
  void setStartIndexGroup(long v) { addCustomParameterWithNamePositiveValue("start-index-group", v); }
  long startIndexInGroup() const { return positiveValueForParameterWithName("start-index-in-group"); }
  void setStartIndexInGroup(long v) { addCustomParameterWithNamePositiveValue("start-index-in-group", v); }
};

// The URL builders ask the service for its root, so the sandbox builds its own.
class ADServiceHealth : public ADServiceAccount {
 public:
  static constexpr const char kRootURLString[] = "https://health.flipdesk.net/health/feeds/";
  std::string serviceID() const override { return "health"; }
  std::string serviceRootURLString() const override { return kRootURLString; }
  std::string defaultServiceVersion() const override { return kADHealthServiceVersion; }
  ADNamespaces standardServiceNamespaces() const override { return ADHealthConstants::healthNamespaces(); }
  std::string profileListFeedURL() const { return serviceRootURLString() + "profile/list"; }
  std::string profileFeedURLForProfileID(const std::string& id) const { return serviceRootURLString() + "profile/ui/" + id; }
  std::string registerFeedURLForProfileID(const std::string& id) const {
    return serviceRootURLString() + "register/ui/" + id;
  }
};

class ADServiceHealthSandbox : public ADServiceHealth {
 public:
  static constexpr const char kRootURLString[] = "https://health.flipdesk.net/h9/feeds/";
  std::string serviceID() const override { return "weaver"; }
  std::string serviceRootURLString() const override { return kRootURLString; }
};
