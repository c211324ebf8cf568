#include "atomdata/itembase/ADItemBase.h"

#include <strings.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "net/HTTPRequest.h"

#define G(name) .uri = kADNamespaceItemBase, .prefix = kADNamespaceItemBasePrefix, .localName = name
#define GM(name) .uri = kADNamespaceItemBaseMetadata, .prefix = kADNamespaceItemBaseMetadataPrefix, .localName = name

AD_DEFINE_CLASS(ADItemBaseAttribute, ADObject, G("*"))
AD_DEFINE_CLASS(ADItemBaseMetadataValue, ADObject, GM("value"))
AD_DEFINE_CLASS(ADItemBaseMetadataAttribute, ADObject, GM("attribute"))
AD_DEFINE_CLASS(ADItemBaseMetadataAttributeList, ADObject, GM("attributes"))
AD_DEFINE_CLASS(ADItemBaseMetadataItemType, ADObject, GM("item_type"))
AD_DEFINE_CLASS(ADEntryItemBase, ADEntryBase, .serviceVersion = kADItemBaseServiceVersion)
AD_DEFINE_CLASS(ADFeedItemBase, ADFeedBase, .serviceVersion = kADItemBaseServiceVersion)

namespace {
// Subtype to supertype.
constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kSupertypes{{
    {"int", "number"},
    {"float", "number"},
    {"intUnit", "numberUnit"},
    {"floatUnit", "numberUnit"},
    {"dateTime", "date"},
    {"date", "dateTimeRange"},
}};

std::string replaced(std::string text, char from, char to) {
  std::replace(text.begin(), text.end(), from, to);
  return text;
}
}  // namespace

// --- Attribute ---

void ADItemBaseAttribute::addParseDeclarations() {
  addLocalAttributeDeclarations({"type", "access"});
  addContentValueDeclaration();
}

void ADItemBaseAttribute::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), adClass());
}

bool ADItemBaseAttribute::isEqual(const ADObject& other) const {
  return ADObject::isEqual(other) && name() == static_cast<const ADItemBaseAttribute&>(other).name();
}

std::shared_ptr<ADItemBaseAttribute> ADItemBaseAttribute::attributeWithName(const std::string& name,
                                                                            const std::optional<std::string>& type,
                                                                            const std::optional<std::string>& textValue) {
  auto a = std::make_shared<ADItemBaseAttribute>();
  a->setName(name);
  a->setType(type);
  a->setTextValue(textValue);
  return a;
}

std::string ADItemBaseAttribute::attributeNameFromElementLocalName(const std::string& local) {
  return replaced(local, '_', ' ');
}

std::string ADItemBaseAttribute::elementLocalNameFromAttributeName(const std::string& name) {
  return replaced(name, ' ', '_');
}

std::string ADItemBaseAttribute::name() const {
  return attributeNameFromElementLocalName(ADXMLNode::localNameForName(elementName().value_or("")));
}

void ADItemBaseAttribute::setName(const std::string& name) {
  if (!name.empty())
    setElementName(std::string(kADNamespaceItemBasePrefix) + ":" + elementLocalNameFromAttributeName(name));
}

bool ADItemBaseAttribute::isPrivate() const {
  std::optional<std::string> access = stringValueForAttribute("access");
  return access && strcasecmp(access->c_str(), "private") == 0;
}

std::optional<ADDateTime> ADItemBaseAttribute::dateTime() const {
  return textValue() ? ADDateTime::dateTimeWithRFC3339String(*textValue()) : std::nullopt;
}

// --- Metadata ---

void ADItemBaseMetadataValue::addParseDeclarations() {
  addLocalAttributeDeclarations({"count"});
  addContentValueDeclaration();
}

std::shared_ptr<ADItemBaseMetadataValue> ADItemBaseMetadataValue::metadataValueWithContents(
    const std::optional<std::string>& contents, std::optional<int> count) {
  auto v = std::make_shared<ADItemBaseMetadataValue>();
  v->setContents(contents);
  v->setCount(count);
  return v;
}

void ADItemBaseMetadataAttribute::addParseDeclarations() { addLocalAttributeDeclarations({"name", "type", "count"}); }

void ADItemBaseMetadataAttribute::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADItemBaseMetadataValue::adClass());
}

std::shared_ptr<ADItemBaseMetadataAttribute> ADItemBaseMetadataAttribute::metadataAttributeWithType(
    const std::optional<std::string>& type, const std::optional<std::string>& name, std::optional<int> count) {
  auto a = std::make_shared<ADItemBaseMetadataAttribute>();
  a->setType(type);
  a->setName(name);
  a->setCount(count);
  return a;
}

void ADItemBaseMetadataAttributeList::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADItemBaseMetadataAttribute::adClass());
}

std::shared_ptr<ADItemBaseMetadataItemType> ADItemBaseMetadataItemType::metadataItemTypeWithValue(
    const std::optional<std::string>& v) {
  auto t = std::make_shared<ADItemBaseMetadataItemType>();
  t->setValue(v);
  return t;
}

// --- Entry ---

ADNamespaces ADEntryItemBase::itemBaseNamespaces() {
  ADNamespaces namespaces{{kADNamespaceItemBasePrefix, kADNamespaceItemBase},
                          {kADNamespaceItemBaseMetadataPrefix, kADNamespaceItemBaseMetadata}};
  for (const auto& [prefix, uri] : ADEntryBase::baseADNamespaces()) namespaces[prefix] = uri;
  return namespaces;
}

std::shared_ptr<ADEntryItemBase> ADEntryItemBase::itemBaseEntryForCategoryTerm(const std::optional<std::string>& term) {
  auto entry = ADObjectWithNamespaces<ADEntryItemBase>(itemBaseNamespaces());
  if (term) entry->addCategory(ADCategory::categoryWithScheme(std::string(kADItemBaseItemTypeScheme), term));
  return entry;
}

void ADEntryItemBase::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(
      adClass(), {&ADItemBaseAttribute::adClass(), &ADItemBaseMetadataAttribute::adClass(),
                  &ADItemBaseMetadataAttributeList::adClass(), &ADItemBaseMetadataItemType::adClass()});
}

std::optional<std::string> ADEntryItemBase::metadataItemType() const {
  auto t = objectFor<ADItemBaseMetadataItemType>();
  return t ? t->value() : std::nullopt;
}

void ADEntryItemBase::setMetadataItemType(const std::optional<std::string>& value) {
  setObject(value ? ADItemBaseMetadataItemType::metadataItemTypeWithValue(value) : nullptr,
            ADItemBaseMetadataItemType::adClass());
}

bool ADEntryItemBase::isAttributeType(const std::optional<std::string>& supertype, const std::optional<std::string>& type) {
  if (!supertype || !type) return false;
  std::string_view current = *type;
  while (true) {
    if (current == *supertype) return true;
    auto it = std::find_if(kSupertypes.begin(), kSupertypes.end(), [&](const auto& p) { return p.first == current; });
    if (it == kSupertypes.end()) return false;
    current = it->second;
  }
}

std::vector<std::shared_ptr<ADItemBaseAttribute>> ADEntryItemBase::attributesWithName(
    const std::optional<std::string>& name, const std::optional<std::string>& type) const {
  std::vector<std::shared_ptr<ADItemBaseAttribute>> out;
  for (const auto& a : entryAttributes()) {
    if (name && a->name() != *name) continue;
    if (type && !isAttributeType(type, a->type())) continue;
    out.push_back(a);
  }
  return out;
}

std::shared_ptr<ADItemBaseAttribute> ADEntryItemBase::attributeWithName(const std::optional<std::string>& name,
                                                                        const std::optional<std::string>& type) const {
  auto found = attributesWithName(name, type);
  return found.size() == 1 ? found.front() : nullptr;
}

void ADEntryItemBase::removeAttributesWithName(const std::optional<std::string>& name,
                                               const std::optional<std::string>& type) {
  auto all = entryAttributes();
  const auto matches = attributesWithName(name, type);
  std::erase_if(all, [&](const auto& a) { return std::find(matches.begin(), matches.end(), a) != matches.end(); });
  setEntryAttributes(all);
}

void ADEntryItemBase::setAttributeWithName(const std::string& name, const std::optional<std::string>& type,
                                           const std::optional<std::string>& textValue) {
  removeAttributesWithName(name, type);
  if (textValue) addEntryAttribute(ADItemBaseAttribute::attributeWithName(name, type, textValue));
}

std::vector<std::string> ADEntryItemBase::stringValuesForAttributes(
    const std::vector<std::shared_ptr<ADItemBaseAttribute>>& attributes) {
  std::vector<std::string> out;
  for (const auto& a : attributes)
    if (a->textValue()) out.push_back(*a->textValue());
  return out;
}

std::map<std::string, std::vector<std::shared_ptr<ADItemBaseAttribute>>> ADEntryItemBase::attributeDictionary() const {
  std::map<std::string, std::vector<std::shared_ptr<ADItemBaseAttribute>>> out;
  for (const auto& a : entryAttributes())
    out[ADItemBaseAttribute::elementLocalNameFromAttributeName(a->name())].push_back(a);
  return out;
}

std::optional<std::string> ADEntryItemBase::text(const char* name, const char* type) const {
  auto a = attributeWithName(std::string(name), std::string(type));
  return a ? a->textValue() : std::nullopt;
}

std::vector<std::string> ADEntryItemBase::values(const char* name, const char* type) const {
  return stringValuesForAttributes(attributesWithName(std::string(name), std::string(type)));
}

void ADEntryItemBase::appendValue(const char* name, const char* type, const std::string& value) {
  addEntryAttribute(ADItemBaseAttribute::attributeWithName(name, std::string(type), value));
}

void ADEntryItemBase::appendNewValue(const char* name, const char* type, const std::string& value) {
  const std::vector<std::string> present = values(name, type);
  if (std::find(present.begin(), present.end(), value) == present.end()) appendValue(name, type, value);
}

std::optional<ADDateTime> ADEntryItemBase::expirationDate() const {
  auto a = attributeWithName(std::string("expiration date"), std::string("dateTime"));
  return a ? a->dateTime() : std::nullopt;
}

void ADEntryItemBase::setExpirationDate(const std::optional<ADDateTime>& v) {
  setAttributeWithName("expiration date", std::string("dateTime"),
                       v ? std::optional<std::string>(v->RFC3339String()) : std::nullopt);
}

std::optional<std::string> ADEntryItemBase::imageLink() const {
  auto links = imageLinks();
  return links.empty() ? std::nullopt : std::optional<std::string>(links.front());
}

namespace {
// The leading number of the text, as a scanner reads it; nullopt when none.
template <typename T>
std::optional<T> scanNumber(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  const char* begin = text->c_str();
  char* end = nullptr;
  T value = std::is_integral_v<T> ? static_cast<T>(std::strtol(begin, &end, 10)) : static_cast<T>(std::strtof(begin, &end));
  if (end == begin) return std::nullopt;
  return value;
}
}  // namespace

std::optional<int> ADEntryItemBase::quantity() const { return scanNumber<int>(text("quantity", "int")); }

void ADEntryItemBase::setQuantity(std::optional<int> v) {
  setAttributeWithName("quantity", std::string("int"), v ? std::optional<std::string>(std::to_string(*v)) : std::nullopt);
}

std::optional<float> ADEntryItemBase::taxPercent() const { return scanNumber<float>(text("tax percent", "float")); }

void ADEntryItemBase::setTaxPercent(std::optional<float> v) {
  setAttributeWithName("tax percent", std::string("float"), v ? std::optional<std::string>(ADNumberString(*v)) : std::nullopt);
}

std::optional<bool> ADEntryItemBase::shouldPickUp() const {
  auto a = attributeWithName(std::string("pickup"), std::string("boolean"));
  if (!a) return std::nullopt;
  return a->textValue() && strcasecmp(a->textValue()->c_str(), "true") == 0;
}

void ADEntryItemBase::setShouldPickUp(std::optional<bool> v) {
  setAttributeWithName("pickup", std::string("boolean"),
                       v ? std::optional<std::string>(*v ? "true" : "false") : std::nullopt);
}

std::optional<int> ADEntryItemBase::customerID() const { return scanNumber<int>(text("customer id", "int")); }

std::shared_ptr<ADFeedItemBase> ADFeedItemBase::itemBaseFeed() {
  return ADObjectWithNamespaces<ADFeedItemBase>(ADEntryItemBase::itemBaseNamespaces());
}

// --- Service ---

std::shared_ptr<HTTPRequest> ADServiceItemBase::requestForURL(const std::string& url,
                                                              const std::optional<std::string>& ETag,
                                                              const std::string& httpMethod, ADServiceTicket& ticket) {
  std::shared_ptr<HTTPRequest> request = ADServiceAccount::requestForURL(url, ETag, httpMethod, ticket);
  if (developerKey_ && !developerKey_->empty()) request->addRequestHeader("X-Developer-Key", "key=" + *developerKey_);
  return request;
}
