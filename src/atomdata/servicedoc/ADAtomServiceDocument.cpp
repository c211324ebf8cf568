#include "atomdata/servicedoc/ADAtomServiceDocument.h"

#include <strings.h>

#include "atomdata/ADConstants.h"

#define APP(name) .uri = kADNamespaceAtomPub, .prefix = kADNamespaceAtomPubPrefix, .localName = name

AD_DEFINE_CLASS(ADAtomAccept, ADValueElementConstruct, APP("accept"))
AD_DEFINE_CLASS(ADAtomCategoryGroup, ADObject, APP("categories"))
AD_DEFINE_CLASS(ADAtomCollection, ADObject, APP("collection"))
AD_DEFINE_CLASS(ADAtomWorkspace, ADObject, APP("workspace"))
AD_DEFINE_CLASS(ADAtomServiceDocument, ADObject, APP("service"), .serviceVersion = "2.0")

void ADAtomServiceDocument::registerClasses() {
  ADClass::registerClassName(adClass());
  ADClass::registerClassName(ADAtomCategoryGroup::adClass());
}

void ADAtomServiceDocument::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADAtomWorkspace::adClass());
}

void ADAtomWorkspace::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), {&ADAtomCollection::adClass(), &ADAtomTitle::adClass()});
}

void ADAtomCollection::addParseDeclarations() { addLocalAttributeDeclarations({"href"}); }

void ADAtomCollection::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(
      adClass(), {&ADAtomCategoryGroup::adClass(), &ADAtomAccept::adClass(), &ADAtomTitle::adClass()});
}

std::optional<std::vector<std::string>> ADAtomCollection::serviceAcceptStrings() const {
  auto accepts = objectsFor<ADAtomAccept>();
  if (accepts.empty()) return std::nullopt;
  std::vector<std::string> out;
  for (const auto& a : accepts) out.push_back(a->stringValue().value_or(""));
  return out;
}

void ADAtomCollection::setServiceAcceptStrings(const std::vector<std::string>& accepts) {
  std::vector<std::shared_ptr<ADAtomAccept>> elements;
  for (const std::string& a : accepts) elements.push_back(ADValueConstruct::valueWithString<ADAtomAccept>(a));
  setObjects(elements, ADAtomAccept::adClass());
}

void ADAtomCategoryGroup::addParseDeclarations() { addLocalAttributeDeclarations({"href", "scheme", "fixed"}); }

void ADAtomCategoryGroup::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADCategory::adClass());
}

bool ADAtomCategoryGroup::isFixed() const {
  std::optional<std::string> fixed = stringValueForAttribute("fixed");
  return fixed && strcasecmp(fixed->c_str(), "yes") == 0;
}

void ADAtomCategoryGroup::setIsFixed(bool fixed) {
  setStringValue(fixed ? std::optional<std::string>("yes") : std::nullopt, "fixed");
}
