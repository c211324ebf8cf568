#include "atomdata/translation/ADTranslation.h"

#define GTT(name) .uri = kADNamespaceTranslation, .prefix = kADNamespaceTranslationPrefix, .localName = name
#define GTT_VERSION .serviceVersion = kADTranslationServiceVersion

AD_DEFINE_CLASS(ADTranslationDocumentSource, ADObject, GTT("documentSource"))
AD_DEFINE_CLASS(ADTranslationSourceLanguage, ADValueElementConstruct, GTT("sourceLanguage"))
AD_DEFINE_CLASS(ADTranslationTargetLanguage, ADValueElementConstruct, GTT("targetLanguage"))
AD_DEFINE_CLASS(ADTranslationPercentComplete, ADValueElementConstruct, GTT("percentComplete"))
AD_DEFINE_CLASS(ADTranslationNumberOfSourceWords, ADValueElementConstruct, GTT("numberOfSourceWords"))
AD_DEFINE_CLASS(ADTranslationScope, ADValueElementConstruct, GTT("scope"))
AD_DEFINE_CLASS(ADTranslationLinks, ADObject, .uri = kADNamespaceTranslation, .prefix = kADNamespaceTranslationPrefix)
AD_DEFINE_CLASS(ADTranslationGlossary, ADTranslationLinks, GTT("glossary"))
AD_DEFINE_CLASS(ADTranslationMemory, ADTranslationLinks, GTT("translationMemory"))
AD_DEFINE_CLASS(ADEntryTranslationDocument, ADEntryBase, GTT_VERSION)
AD_DEFINE_CLASS(ADEntryTranslationGlossary, ADEntryBase, GTT_VERSION)
AD_DEFINE_CLASS(ADEntryTranslationMemory, ADEntryBase, GTT_VERSION)
AD_DEFINE_CLASS(ADFeedTranslationDocument, ADFeedBase, GTT_VERSION)
AD_DEFINE_CLASS(ADFeedTranslationGlossary, ADFeedBase, GTT_VERSION)
AD_DEFINE_CLASS(ADFeedTranslationMemory, ADFeedBase, .kindAttributeValue = kADTranslationKindMemoryFeed, GTT_VERSION)

ADNamespaces ADTranslationConstants::translationNamespaces() {
  ADNamespaces namespaces{{kADNamespaceTranslationPrefix, kADNamespaceTranslation}};
  for (const auto& [prefix, uri] : ADEntryBase::baseADNamespaces()) namespaces[prefix] = uri;
  return namespaces;
}

void ADTranslationConstants::registerClasses() { ADFeedBase::registerFeedClass(ADFeedTranslationMemory::adClass()); }

std::shared_ptr<ADTranslationDocumentSource> ADTranslationDocumentSource::documentSourceWithType(
    const std::optional<std::string>& type, const std::optional<std::string>& url) {
  auto s = std::make_shared<ADTranslationDocumentSource>();
  s->setType(type);
  s->setURLString(url);
  return s;
}

void ADTranslationLinks::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADLink::adClass());
}

std::vector<std::string> ADTranslationLinks::hrefs() const {
  std::vector<std::string> out;
  for (const auto& link : links()) out.push_back(link->href().value_or(""));
  return out;
}

namespace {
template <typename T>
std::shared_ptr<T> makeTranslationObject(const std::optional<std::string>& title) {
  auto object = ADObjectWithNamespaces<T>(ADTranslationConstants::translationNamespaces());
  if (title) object->setTitleWithString(title);
  return object;
}
}  // namespace

void ADEntryTranslationDocument::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(
      adClass(), {&ADTranslationDocumentSource::adClass(), &ADTranslationGlossary::adClass(), &ADLastModifiedBy::adClass(),
                  &ADTranslationNumberOfSourceWords::adClass(), &ADTranslationPercentComplete::adClass(),
                  &ADTranslationSourceLanguage::adClass(), &ADTranslationTargetLanguage::adClass(),
                  &ADTranslationMemory::adClass()});
}

std::shared_ptr<ADEntryTranslationDocument> ADEntryTranslationDocument::documentWithTitle(
    const std::optional<std::string>& title, const std::optional<std::string>& sourceLanguage,
    const std::optional<std::string>& targetLanguage) {
  auto entry = makeTranslationObject<ADEntryTranslationDocument>(title);
  entry->setSourceLanguage(sourceLanguage);
  entry->setTargetLanguage(targetLanguage);
  return entry;
}

bool ADEntryTranslationDocument::isHidden() const {
  return ADCategory::categoriesContainsCategoryWithScheme(categories(), std::string(kADTranslationHiddenScheme),
                                                          std::nullopt, std::string(kADTranslationHiddenLabel));
}

void ADEntryTranslationDocument::setIsHidden(bool v) {
  auto category =
      ADCategory::categoryWithScheme(std::string(kADTranslationHiddenScheme), std::string(kADTranslationHiddenTerm));
  category->setLabel(std::string(kADTranslationHiddenLabel));
  if (v) addCategory(category);
  else removeCategory(*category);
}

bool ADEntryTranslationDocument::hasCompletedTranslation() const {
  return ADCategory::categoriesContainsCategoryWithScheme(categories(), std::string(kADTranslationStateScheme),
                                                          std::string(kADTranslationStateCompleted), std::nullopt);
}

std::shared_ptr<ADEntryTranslationGlossary> ADEntryTranslationGlossary::glossaryWithTitle(
    const std::optional<std::string>& title) {
  return makeTranslationObject<ADEntryTranslationGlossary>(title);
}

void ADEntryTranslationMemory::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADTranslationScope::adClass());
}

std::shared_ptr<ADEntryTranslationMemory> ADEntryTranslationMemory::documentWithTitle(
    const std::optional<std::string>& title, const std::optional<std::string>& scope) {
  auto entry = makeTranslationObject<ADEntryTranslationMemory>(title);
  entry->setScope(scope);
  return entry;
}

std::shared_ptr<ADFeedTranslationDocument> ADFeedTranslationDocument::translationDocumentFeed() {
  return makeTranslationObject<ADFeedTranslationDocument>(std::nullopt);
}
std::shared_ptr<ADFeedTranslationGlossary> ADFeedTranslationGlossary::glossaryFeed() {
  return makeTranslationObject<ADFeedTranslationGlossary>(std::nullopt);
}
std::shared_ptr<ADFeedTranslationMemory> ADFeedTranslationMemory::memoryFeed() {
  return makeTranslationObject<ADFeedTranslationMemory>(std::nullopt);
}
