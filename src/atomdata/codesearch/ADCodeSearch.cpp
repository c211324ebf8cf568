#include "atomdata/codesearch/ADCodeSearch.h"

#include "atomdata/codesearch/ADACL.h"

#define GCS(name) .uri = kADNamespaceCodeSearch, .prefix = kADNamespaceCodeSearchPrefix, .localName = name
#define GCS_KIND .standardKind = kADCodeSearchKindResult, .serviceVersion = kADCodeSearchServiceVersion

AD_DEFINE_CLASS(ADCodeSearchFile, ADObject, GCS("file"))
AD_DEFINE_CLASS(ADCodeSearchPackage, ADObject, GCS("package"))
AD_DEFINE_CLASS(ADCodeSearchMatch, ADTextConstruct, GCS("match"))
AD_DEFINE_CLASS(ADEntryCodeSearch, ADEntryBase, GCS_KIND)
AD_DEFINE_CLASS(ADFeedCodeSearch, ADFeedBase, GCS_KIND)

// --- File and package ---

std::shared_ptr<ADCodeSearchFile> ADCodeSearchFile::fileWithName(const std::optional<std::string>& name) {
  auto f = std::make_shared<ADCodeSearchFile>();
  f->setName(name);
  return f;
}

void ADCodeSearchFile::initWithXMLElement(const xmlNode* element, const ADObject* parent) {
  ADObject::initWithXMLElement(element, parent);
  name_ = stringForAttributeName("name", element);
}

ADXMLNode ADCodeSearchFile::XMLElement() const {
  ADXMLNode node = ADObject::XMLElement();
  addToElement(node.get(), name_, "name");
  return node;
}

bool ADCodeSearchFile::isEqual(const ADObject& other) const {
  return ADObject::isEqual(other) && name_ == static_cast<const ADCodeSearchFile&>(other).name_;
}

std::shared_ptr<ADCodeSearchPackage> ADCodeSearchPackage::packageWithName(const std::optional<std::string>& name,
                                                                          const std::optional<std::string>& uri) {
  auto p = std::make_shared<ADCodeSearchPackage>();
  p->setName(name);
  p->setURI(uri);
  return p;
}

void ADCodeSearchPackage::initWithXMLElement(const xmlNode* element, const ADObject* parent) {
  ADObject::initWithXMLElement(element, parent);
  name_ = stringForAttributeName("name", element);
  uri_ = stringForAttributeName("uri", element);
}

ADXMLNode ADCodeSearchPackage::XMLElement() const {
  ADXMLNode node = ADObject::XMLElement();
  addToElement(node.get(), name_, "name");
  addToElement(node.get(), uri_, "uri");
  return node;
}

bool ADCodeSearchPackage::isEqual(const ADObject& other) const {
  if (!ADObject::isEqual(other)) return false;
  const auto& o = static_cast<const ADCodeSearchPackage&>(other);
  return name_ == o.name_ && uri_ == o.uri_;
}

// --- Match ---

void ADCodeSearchMatch::addParseDeclarations() {
  ADTextConstruct::addParseDeclarations();
  addLocalAttributeDeclarations({"lineNumber"});
}

std::shared_ptr<ADCodeSearchMatch> ADCodeSearchMatch::matchWithStringValue(const std::optional<std::string>& text,
                                                                           const std::optional<std::string>& type,
                                                                           const std::optional<std::string>& lineNumber) {
  auto m = std::make_shared<ADCodeSearchMatch>();
  m->setStringValue(text);
  m->setType(type);
  m->setLineNumberString(lineNumber);
  return m;
}

// --- Entry and feed ---

ADNamespaces ADEntryCodeSearch::codeSearchNamespaces() {
  ADNamespaces namespaces = ADEntryBase::baseADNamespaces();
  namespaces[kADNamespaceCodeSearchPrefix] = kADNamespaceCodeSearch;
  return namespaces;
}

std::shared_ptr<ADEntryCodeSearch> ADEntryCodeSearch::codeSearchEntryWithFile(std::shared_ptr<ADCodeSearchFile> file,
                                                                              std::shared_ptr<ADCodeSearchPackage> package) {
  auto e = std::make_shared<ADEntryCodeSearch>();
  e->setFile(std::move(file));
  e->setPackage(std::move(package));
  return e;
}

void ADEntryCodeSearch::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(
      adClass(), {&ADCodeSearchPackage::adClass(), &ADCodeSearchFile::adClass(), &ADCodeSearchMatch::adClass()});
}

void ADEntryCodeSearch::registerClasses() {
  ADEntryBase::registerEntryClass(adClass());
  ADFeedBase::registerFeedClass(ADFeedCodeSearch::adClass());
  ad_acl::registerClasses();
}

fd::Expected<std::shared_ptr<ADFeedCodeSearch>> ADFeedCodeSearch::codeSearchFeedWithXMLData(std::string_view data) {
  return ADFeedWithXMLData<ADFeedCodeSearch>(data);
}
