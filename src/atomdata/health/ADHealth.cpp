#include "atomdata/health/ADHealth.h"

#include "atomdata/ADUtilities.h"

#define HEALTH_KIND(kind) .standardKind = kind, .serviceVersion = kADHealthServiceVersion

AD_DEFINE_CLASS(ADHealthContainerObject, ADObject)
AD_DEFINE_CLASS(ADContinuityOfCareRecord, ADHealthContainerObject, .uri = kADNamespaceCCR,
                .prefix = kADNamespaceCCRPrefix, .localName = "ContinuityOfCareRecord")
AD_DEFINE_CLASS(ADProfileMetaData, ADHealthContainerObject, .uri = kADNamespaceHealthMetadata,
                .prefix = kADNamespaceHealthMetadataPrefix, .localName = "ProfileMetaData")
AD_DEFINE_CLASS(ADEntryHealthProfile, ADEntryBase, HEALTH_KIND(kADHealthKindProfile))
AD_DEFINE_CLASS(ADEntryHealthRegister, ADEntryBase, HEALTH_KIND(kADHealthKindRegister))
AD_DEFINE_CLASS(ADFeedHealthProfile, ADFeedBase, HEALTH_KIND(kADHealthKindProfile))
AD_DEFINE_CLASS(ADFeedHealthRegister, ADFeedBase, HEALTH_KIND(kADHealthKindRegister))

ADNamespaces ADHealthConstants::healthNamespaces() {
  ADNamespaces namespaces{{kADNamespaceCCRPrefix, kADNamespaceCCR}};
  for (const auto& [prefix, uri] : ADEntryBase::baseADNamespaces()) namespaces[prefix] = uri;
  return namespaces;
}

void ADHealthConstants::registerClasses() {
  ADEntryBase::registerEntryClass(ADEntryHealthProfile::adClass());
  ADEntryBase::registerEntryClass(ADEntryHealthRegister::adClass());
  ADFeedBase::registerFeedClass(ADFeedHealthProfile::adClass());
  ADFeedBase::registerFeedClass(ADFeedHealthRegister::adClass());
}

void ADHealthContainerObject::initWithStandaloneElement(const xmlNode* element) {
  std::vector<ADXMLNode> children;
  for (const xmlNode* child = element->children; child; child = child->next) children.push_back(ADXMLNode::copyOf(child));
  setChildXMLElements(std::move(children));
  setNamespaces(dictionaryForElementNamespaces(element));
}

void ADEntryHealthProfile::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), {&ADContinuityOfCareRecord::adClass(), &ADProfileMetaData::adClass()});
}

std::shared_ptr<ADEntryHealthProfile> ADEntryHealthProfile::profileEntry() {
  return ADObjectWithNamespaces<ADEntryHealthProfile>(ADHealthConstants::healthNamespaces());
}

std::shared_ptr<ADCategory> ADEntryHealthProfile::healthItemCategory() const {
  return ADUtilities::firstObjectFromArray(categories(), std::optional<std::string>(kADHealthSchemeItem),
                                           [](const ADCategory& c) { return c.scheme(); });
}

std::shared_ptr<ADCategory> ADEntryHealthProfile::CCRCategory() const {
  const auto all = categories();
  if (auto c = ADUtilities::firstObjectFromArray(all, std::optional<std::string>(kADHealthSchemeCCR),
                                                 [](const ADCategory& c) { return c.scheme(); }))
    return c;
  return ADUtilities::firstObjectFromArray(all, std::optional<std::string>(), [](const ADCategory& c) { return c.scheme(); });
}

void ADEntryHealthRegister::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADContinuityOfCareRecord::adClass());
}

std::shared_ptr<ADEntryHealthRegister> ADEntryHealthRegister::registerEntry() {
  return ADObjectWithNamespaces<ADEntryHealthRegister>(ADHealthConstants::healthNamespaces());
}

std::shared_ptr<ADFeedHealthProfile> ADFeedHealthProfile::healthProfileFeed() {
  return ADObjectWithNamespaces<ADFeedHealthProfile>(ADHealthConstants::healthNamespaces());
}

std::shared_ptr<ADFeedHealthRegister> ADFeedHealthRegister::healthRegisterFeed() {
  return ADObjectWithNamespaces<ADFeedHealthRegister>(ADHealthConstants::healthNamespaces());
}
