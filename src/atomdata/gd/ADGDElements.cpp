#include "atomdata/gd/ADGDElements.h"

#include <charconv>

#include "atomdata/ADConstants.h"

#define GD(name) .uri = kADNamespaceGD, .prefix = kADNamespaceGDPrefix, .localName = name

AD_DEFINE_CLASS(ADGDLabelledElement, ADObject, .uri = kADNamespaceGD, .prefix = kADNamespaceGDPrefix)
AD_DEFINE_CLASS(ADGDPrimaryElement, ADGDLabelledElement)
AD_DEFINE_CLASS(ADEmail, ADGDPrimaryElement, GD("email"))
AD_DEFINE_CLASS(ADIM, ADGDPrimaryElement, GD("im"))
AD_DEFINE_CLASS(ADPhoneNumber, ADGDPrimaryElement, GD("phoneNumber"))
AD_DEFINE_CLASS(ADPostalAddress, ADGDPrimaryElement, GD("postalAddress"))
AD_DEFINE_CLASS(ADPostalAddressAgent, ADValueElementConstruct, GD("agent"))
AD_DEFINE_CLASS(ADPostalAddressCity, ADValueElementConstruct, GD("city"))
AD_DEFINE_CLASS(ADPostalAddressCountry, ADValueElementConstruct, GD("country"))
AD_DEFINE_CLASS(ADPostalAddressFormattedAddress, ADValueElementConstruct, GD("formattedAddress"))
AD_DEFINE_CLASS(ADPostalAddressHouseName, ADValueElementConstruct, GD("housename"))
AD_DEFINE_CLASS(ADPostalAddressNeighborhood, ADValueElementConstruct, GD("neighborhood"))
AD_DEFINE_CLASS(ADPostalAddressPOBox, ADValueElementConstruct, GD("pobox"))
AD_DEFINE_CLASS(ADPostalAddressPostCode, ADValueElementConstruct, GD("postcode"))
AD_DEFINE_CLASS(ADPostalAddressRegion, ADValueElementConstruct, GD("region"))
AD_DEFINE_CLASS(ADPostalAddressStreet, ADValueElementConstruct, GD("street"))
AD_DEFINE_CLASS(ADPostalAddressSubregion, ADValueElementConstruct, GD("subregion"))
AD_DEFINE_CLASS(ADStructuredPostalAddress, ADGDLabelledElement, GD("structuredPostalAddress"))
AD_DEFINE_CLASS(ADNameElement, ADObject, .uri = kADNamespaceGD, .prefix = kADNamespaceGDPrefix)
AD_DEFINE_CLASS(ADNameAdditional, ADNameElement, GD("additionalName"))
AD_DEFINE_CLASS(ADNameFamily, ADNameElement, GD("familyName"))
AD_DEFINE_CLASS(ADNameFull, ADNameElement, GD("fullName"))
AD_DEFINE_CLASS(ADNameGiven, ADNameElement, GD("givenName"))
AD_DEFINE_CLASS(ADNamePrefix, ADValueElementConstruct, GD("namePrefix"))
AD_DEFINE_CLASS(ADNameSuffix, ADValueElementConstruct, GD("nameSuffix"))
AD_DEFINE_CLASS(ADName, ADObject, GD("name"))
AD_DEFINE_CLASS(ADOrganizationName, ADObject, GD("orgName"))
AD_DEFINE_CLASS(ADOrgDepartment, ADValueElementConstruct, GD("orgDepartment"))
AD_DEFINE_CLASS(ADOrgJobDescription, ADValueElementConstruct, GD("orgJobDescription"))
AD_DEFINE_CLASS(ADOrgSymbol, ADValueElementConstruct, GD("orgSymbol"))
AD_DEFINE_CLASS(ADOrgTitle, ADValueElementConstruct, GD("orgTitle"))
AD_DEFINE_CLASS(ADOrganization, ADGDLabelledElement, GD("organization"))
AD_DEFINE_CLASS(ADMoney, ADObject, GD("money"))
AD_DEFINE_CLASS(ADCustomProperty, ADObject, GD("customProperty"))
AD_DEFINE_CLASS(ADGeoPt, ADObject, GD("geoPt"))
AD_DEFINE_CLASS(ADExtendedProperty, ADObject, GD("extendedProperty"))
AD_DEFINE_CLASS(ADEntryLink, ADObject, GD("entryLink"))
AD_DEFINE_CLASS(ADWhen, ADObject, GD("when"))
AD_DEFINE_CLASS(ADWhere, ADObject, GD("where"))
AD_DEFINE_CLASS(ADWho, ADObject, GD("who"))
AD_DEFINE_CLASS(ADAttendeeStatus, ADValueConstruct, GD("attendeeStatus"))
AD_DEFINE_CLASS(ADAttendeeType, ADValueConstruct, GD("attendeeType"))
AD_DEFINE_CLASS(ADQuotaBytesTotal, ADValueElementConstruct, GD("quotaBytesTotal"))
AD_DEFINE_CLASS(ADQuotaBytesUsed, ADValueElementConstruct, GD("quotaBytesUsed"))
AD_DEFINE_CLASS(ADLastModifiedBy, ADPerson, GD("lastModifiedBy"))

namespace {

bool isBlank(const std::optional<std::string>& s) {
  return !s || s->find_first_not_of(" \t\r\n\v\f") == std::string::npos;
}

// Blank strings remove the part; others are stored as given.
template <typename T>
void setPartIfNotBlank(ADObject& holder, const std::optional<std::string>& value) {
  holder.setObject(isBlank(value) ? nullptr : ADValueConstruct::valueWithString<T>(value), T::adClass());
}

}  // namespace

// --- Addresses and numbers ---

void ADEmail::addParseDeclarations() { addLocalAttributeDeclarations({"label", "address", "rel", "primary"}); }

std::shared_ptr<ADEmail> ADEmail::emailWithLabel(const std::optional<std::string>& label,
                                                 const std::optional<std::string>& address) {
  auto e = std::make_shared<ADEmail>();
  e->setLabel(label);
  e->setAddress(address);
  return e;
}

void ADIM::addParseDeclarations() { addLocalAttributeDeclarations({"address", "protocol", "label", "rel", "primary"}); }

std::shared_ptr<ADIM> ADIM::IMWithProtocol(const std::optional<std::string>& protocol,
                                           const std::optional<std::string>& rel,
                                           const std::optional<std::string>& label,
                                           const std::optional<std::string>& address) {
  auto im = std::make_shared<ADIM>();
  im->setProtocol(protocol);
  im->setRel(rel);
  im->setLabel(label);
  im->setAddress(address);
  return im;
}

void ADPhoneNumber::addParseDeclarations() {
  addLocalAttributeDeclarations({"label", "rel", "uri", "primary"});
  addContentValueDeclaration();
}

std::shared_ptr<ADPhoneNumber> ADPhoneNumber::phoneNumberWithString(const std::optional<std::string>& number) {
  auto p = std::make_shared<ADPhoneNumber>();
  p->setStringValue(number);
  return p;
}

void ADPostalAddress::addParseDeclarations() {
  addLocalAttributeDeclarations({"label", "rel", "primary"});
  addContentValueDeclaration();
}

std::shared_ptr<ADPostalAddress> ADPostalAddress::postalAddressWithString(const std::optional<std::string>& address) {
  auto p = std::make_shared<ADPostalAddress>();
  p->setStringValue(address);
  return p;
}

void ADPostalAddressCountry::addParseDeclarations() {
  ADValueElementConstruct::addParseDeclarations();
  addLocalAttributeDeclarations({"code"});
}

void ADStructuredPostalAddress::addParseDeclarations() {
  addLocalAttributeDeclarations({"label", "mailClass", "primary", "rel", "usage"});
}

void ADStructuredPostalAddress::addExtensionDeclarations() {
  ADGDLabelledElement::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(
      adClass(), {&ADPostalAddressAgent::adClass(), &ADPostalAddressCity::adClass(), &ADPostalAddressCountry::adClass(),
                  &ADPostalAddressFormattedAddress::adClass(), &ADPostalAddressHouseName::adClass(),
                  &ADPostalAddressNeighborhood::adClass(), &ADPostalAddressPOBox::adClass(),
                  &ADPostalAddressPostCode::adClass(), &ADPostalAddressRegion::adClass(),
                  &ADPostalAddressStreet::adClass(), &ADPostalAddressSubregion::adClass()});
}

std::shared_ptr<ADStructuredPostalAddress> ADStructuredPostalAddress::structuredPostalAddress() {
  return std::make_shared<ADStructuredPostalAddress>();
}

#define AD_ADDRESS_PART(getter, setter, Cls)                                                              \
  std::optional<std::string> ADStructuredPostalAddress::getter() const { return ADValueConstruct::stringValueOfChild<Cls>(*this); } \
  void ADStructuredPostalAddress::setter(const std::optional<std::string>& v) { ADValueConstruct::setChildWithString<Cls>(*this, v); }

AD_ADDRESS_PART(agent, setAgent, ADPostalAddressAgent)
AD_ADDRESS_PART(city, setCity, ADPostalAddressCity)
AD_ADDRESS_PART(formattedAddress, setFormattedAddress, ADPostalAddressFormattedAddress)
AD_ADDRESS_PART(houseName, setHouseName, ADPostalAddressHouseName)
AD_ADDRESS_PART(neighborhood, setNeighborhood, ADPostalAddressNeighborhood)
AD_ADDRESS_PART(POBox, setPOBox, ADPostalAddressPOBox)
AD_ADDRESS_PART(postCode, setPostCode, ADPostalAddressPostCode)
AD_ADDRESS_PART(region, setRegion, ADPostalAddressRegion)
AD_ADDRESS_PART(street, setStreet, ADPostalAddressStreet)
AD_ADDRESS_PART(subregion, setSubregion, ADPostalAddressSubregion)
#undef AD_ADDRESS_PART

std::optional<std::string> ADStructuredPostalAddress::countryName() const { return ADValueConstruct::stringValueOfChild<ADPostalAddressCountry>(*this); }

void ADStructuredPostalAddress::setCountryName(const std::optional<std::string>& v) {
  auto country = objectFor<ADPostalAddressCountry>();
  if (!country && v) {
    country = ADValueConstruct::valueWithString<ADPostalAddressCountry>(v);
    setObject(country, ADPostalAddressCountry::adClass());
  }
  if (country) country->setStringValue(v);
}

std::optional<std::string> ADStructuredPostalAddress::countryCode() const {
  auto country = objectFor<ADPostalAddressCountry>();
  return country ? country->code() : std::nullopt;
}

void ADStructuredPostalAddress::setCountryCode(const std::optional<std::string>& v) {
  auto country = objectFor<ADPostalAddressCountry>();
  if (!country && v) {
    country = std::make_shared<ADPostalAddressCountry>();
    setObject(country, ADPostalAddressCountry::adClass());
  }
  if (country) country->setCode(v);
}

// --- Names ---

void ADNameElement::addParseDeclarations() {
  addLocalAttributeDeclarations({"yomi"});
  addContentValueDeclaration();
}

void ADNameElement::setYomi(const std::optional<std::string>& v) {
  ADObject::setStringValue(v && !v->empty() ? v : std::nullopt, "yomi");
}

void ADName::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), {&ADNameAdditional::adClass(), &ADNameFamily::adClass(),
                                                    &ADNameFull::adClass(), &ADNameGiven::adClass(),
                                                    &ADNamePrefix::adClass(), &ADNameSuffix::adClass()});
}

std::shared_ptr<ADName> ADName::name() { return std::make_shared<ADName>(); }

std::shared_ptr<ADName> ADName::nameWithFullNameString(const std::optional<std::string>& full) {
  auto n = name();
  n->setFullNameWithString(full);
  return n;
}

std::shared_ptr<ADName> ADName::nameWithPrefix(const std::optional<std::string>& prefix,
                                               const std::optional<std::string>& given,
                                               const std::optional<std::string>& additional,
                                               const std::optional<std::string>& family,
                                               const std::optional<std::string>& suffix) {
  auto n = name();
  n->setNamePrefix(prefix);
  n->setGivenNameWithString(given);
  n->setAdditionalNameWithString(additional);
  n->setFamilyNameWithString(family);
  n->setNameSuffix(suffix);
  return n;
}

#define AD_NAME_PART(Part, Cls)                                                                     \
  void ADName::set##Part(const ADNameElement* e) {                                                   \
    setObject(ADNameElement::nameElementWithNameElement<Cls>(e), Cls::adClass());                   \
  }                                                                                                 \
  void ADName::set##Part##WithString(const std::optional<std::string>& s) {                         \
    setObject(ADNameElement::nameElementWithString<Cls>(s), Cls::adClass());                        \
  }

AD_NAME_PART(AdditionalName, ADNameAdditional)
AD_NAME_PART(FamilyName, ADNameFamily)
AD_NAME_PART(FullName, ADNameFull)
AD_NAME_PART(GivenName, ADNameGiven)
#undef AD_NAME_PART

std::optional<std::string> ADName::namePrefix() const { return ADValueConstruct::stringValueOfChild<ADNamePrefix>(*this); }
void ADName::setNamePrefix(const std::optional<std::string>& s) { ADValueConstruct::setChildWithNonEmptyString<ADNamePrefix>(*this, s); }
std::optional<std::string> ADName::nameSuffix() const { return ADValueConstruct::stringValueOfChild<ADNameSuffix>(*this); }
void ADName::setNameSuffix(const std::optional<std::string>& s) { ADValueConstruct::setChildWithNonEmptyString<ADNameSuffix>(*this, s); }

// --- Organisations ---

void ADOrganizationName::addParseDeclarations() {
  addLocalAttributeDeclarations({"yomi"});
  addContentValueDeclaration();
}

std::shared_ptr<ADOrganizationName> ADOrganizationName::organizationNameWithString(const std::optional<std::string>& s) {
  auto n = std::make_shared<ADOrganizationName>();
  n->setStringValue(s);
  return n;
}

void ADOrganization::addParseDeclarations() { addLocalAttributeDeclarations({"label", "rel", "primary"}); }

void ADOrganization::addExtensionDeclarations() {
  ADGDLabelledElement::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(
      adClass(), {&ADOrgDepartment::adClass(), &ADOrgJobDescription::adClass(), &ADOrgSymbol::adClass(),
                  &ADOrgTitle::adClass(), &ADOrganizationName::adClass(), &ADWhere::adClass()});
}

std::shared_ptr<ADOrganization> ADOrganization::organizationWithName(const std::optional<std::string>& name) {
  auto o = std::make_shared<ADOrganization>();
  o->setOrgName(name);
  return o;
}

#define AD_ORG_PART(getter, setter, Cls)                                                                       \
  std::optional<std::string> ADOrganization::getter() const { return ADValueConstruct::stringValueOfChild<Cls>(*this); }                  \
  void ADOrganization::setter(const std::optional<std::string>& v) { setPartIfNotBlank<Cls>(*this, v); }

AD_ORG_PART(orgDepartment, setOrgDepartment, ADOrgDepartment)
AD_ORG_PART(orgJobDescription, setOrgJobDescription, ADOrgJobDescription)
AD_ORG_PART(orgSymbol, setOrgSymbol, ADOrgSymbol)
AD_ORG_PART(orgTitle, setOrgTitle, ADOrgTitle)
#undef AD_ORG_PART

std::optional<std::string> ADOrganization::orgName() const {
  auto n = objectFor<ADOrganizationName>();
  return n ? n->stringValue() : std::nullopt;
}

void ADOrganization::setOrgName(const std::optional<std::string>& v) {
  auto n = objectFor<ADOrganizationName>();
  if (!n && v) {
    n = std::make_shared<ADOrganizationName>();
    setObject(n, ADOrganizationName::adClass());
  }
  if (n) n->setStringValue(isBlank(v) ? std::nullopt : v);
}

std::optional<std::string> ADOrganization::orgNameYomi() const {
  auto n = objectFor<ADOrganizationName>();
  return n ? n->yomi() : std::nullopt;
}

void ADOrganization::setOrgNameYomi(const std::optional<std::string>& v) {
  auto n = objectFor<ADOrganizationName>();
  if (!n && v) {
    n = std::make_shared<ADOrganizationName>();
    setObject(n, ADOrganizationName::adClass());
  }
  if (n) n->setYomi(v);
}

std::shared_ptr<ADWhere> ADOrganization::where() const { return objectFor<ADWhere>(); }
void ADOrganization::setWhere(std::shared_ptr<ADWhere> where) { setObject(std::move(where), ADWhere::adClass()); }

// --- Money ---

void ADCustomProperty::addParseDeclarations() {
  addLocalAttributeDeclarations({"name"});
  addContentValueDeclaration();
}

std::shared_ptr<ADCustomProperty> ADCustomProperty::propertyWithName(const std::optional<std::string>& name,
                                                                     const std::optional<std::string>& value) {
  auto p = std::make_shared<ADCustomProperty>();
  p->setName(name);
  p->setValue(value);
  return p;
}

void ADMoney::addParseDeclarations() { addLocalAttributeDeclarations({"amount", "currencyCode"}); }

std::shared_ptr<ADMoney> ADMoney::moneyWithAmount(std::optional<double> amount, const std::optional<std::string>& code) {
  auto m = std::make_shared<ADMoney>();
  m->setAmount(amount);
  m->setCurrencyCode(code);
  return m;
}

// --- Geo point ---

namespace {
std::optional<std::string> numberString(std::optional<double> v) {
  if (!v) return std::nullopt;
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, *v);
  return std::string(buf, end);
}
}  // namespace

std::shared_ptr<ADGeoPt> ADGeoPt::geoPtWithLabel(const std::optional<std::string>& label, std::optional<double> lat,
                                                 std::optional<double> lon, std::optional<double> elev,
                                                 const std::optional<ADDateTime>& time) {
  auto p = std::make_shared<ADGeoPt>();
  p->label = label;
  p->lat = lat;
  p->lon = lon;
  p->elev = elev;
  p->time = time;
  return p;
}

void ADGeoPt::initWithXMLElement(const xmlNode* element, const ADObject* parent) {
  ADObject::initWithXMLElement(element, parent);
  label = stringForAttributeName("label", element);
  lat = doubleNumberForAttributeName("lat", element);
  lon = doubleNumberForAttributeName("lon", element);
  elev = doubleNumberForAttributeName("elev", element);
  time = dateTimeForAttributeName("time", element);
}

ADXMLNode ADGeoPt::XMLElement() const {
  ADXMLNode node = XMLElementWithExtensionsAndDefaultName(std::string("gd:geoPt"));
  addToElement(node.get(), label, "label");
  addToElement(node.get(), numberString(lat), "lat");
  addToElement(node.get(), numberString(lon), "lon");
  addToElement(node.get(), numberString(elev), "elev");
  addToElement(node.get(), time ? std::optional<std::string>(time->RFC3339String()) : std::nullopt, "time");
  return node;
}

bool ADGeoPt::isEqual(const ADObject& other) const {
  if (this == &other) return true;
  if (!ADObject::isEqual(other)) return false;
  const auto& o = static_cast<const ADGeoPt&>(other);
  // Numbers compare by their written form, whatever their type.
  return label == o.label && numberString(lat) == numberString(o.lat) && numberString(lon) == numberString(o.lon) &&
         numberString(elev) == numberString(o.elev) && time == o.time;
}

// --- Extended property ---

void ADExtendedProperty::addParseDeclarations() {
  addLocalAttributeDeclarations({"name", "value", "realm"});
  addChildXMLElementsDeclaration();
}

void ADExtendedProperty::initWithXMLElement(const xmlNode* element, const ADObject* parent) {
  ADObject::initWithXMLElement(element, parent);
  if (!namespaces().count("")) addEmptyDefaultNamespace();
}

std::shared_ptr<ADExtendedProperty> ADExtendedProperty::propertyWithName(const std::optional<std::string>& name,
                                                                         const std::optional<std::string>& value) {
  auto p = std::make_shared<ADExtendedProperty>();
  p->setName(name);
  p->setValue(value);
  p->addEmptyDefaultNamespace();
  return p;
}

std::optional<std::map<std::string, std::string>> ADExtendedProperty::XMLValuesDictionary() const {
  if (XMLValues().empty()) return std::nullopt;
  std::map<std::string, std::string> out;
  for (const ADXMLNode& node : XMLValues()) out[node.name()] = node.stringValue();
  return out;
}

void ADExtendedProperty::setXMLValuesDictionary(const std::map<std::string, std::string>& dictionary) {
  std::vector<ADXMLNode> nodes;
  for (const auto& [key, value] : dictionary) nodes.push_back(ADXMLNode::elementWithName(key, value));
  setXMLValues(std::move(nodes));
}

void ADExtendedProperty::setXMLValue(const std::optional<std::string>& value, const std::string& key) {
  std::map<std::string, std::string> dictionary = XMLValuesDictionary().value_or(std::map<std::string, std::string>{});
  if (value) dictionary[key] = *value;
  else dictionary.erase(key);
  setXMLValuesDictionary(dictionary);
}

std::optional<std::string> ADExtendedProperty::XMLValueForKey(const std::string& key) const {
  auto dictionary = XMLValuesDictionary();
  if (!dictionary) return std::nullopt;
  auto it = dictionary->find(key);
  if (it == dictionary->end()) return std::nullopt;
  return it->second;
}

// --- Entry link ---

ADEntryLink::ADEntryLink(const ADEntryLink& other)
    : ADObject(other), entry(other.entry ? std::static_pointer_cast<ADEntryBase>(other.entry->copy()) : nullptr) {}

void ADEntryLink::addParseDeclarations() { addLocalAttributeDeclarations({"href", "readOnly", "rel"}); }

void ADEntryLink::initWithXMLElement(const xmlNode* element, const ADObject* parent) {
  ADObject::initWithXMLElement(element, parent);
  entry = std::dynamic_pointer_cast<ADEntryBase>(objectForChildOfElement(element, "entry", kADNamespaceAtom, nullptr));
}

ADXMLNode ADEntryLink::XMLElement() const {
  ADXMLNode node = ADObject::XMLElement();
  if (entry) xmlAddChild(node.get(), entry->XMLElement().release());
  return node;
}

bool ADEntryLink::isEqual(const ADObject& other) const {
  if (!ADObject::isEqual(other)) return false;
  return ObjectsEqualOrBothNil(entry.get(), static_cast<const ADEntryLink&>(other).entry.get());
}

std::shared_ptr<ADEntryLink> ADEntryLink::entryLinkWithHref(const std::optional<std::string>& href, bool readOnly) {
  auto l = std::make_shared<ADEntryLink>();
  l->setHref(href);
  l->setIsReadOnly(readOnly);
  return l;
}

// --- When, where, who ---

void ADWhen::addParseDeclarations() { addLocalAttributeDeclarations({"valueString", "startTime", "endTime"}); }

std::shared_ptr<ADWhen> ADWhen::whenWithStartTime(const std::optional<ADDateTime>& start,
                                                  const std::optional<ADDateTime>& end) {
  auto w = std::make_shared<ADWhen>();
  w->setStartTime(start);
  w->setEndTime(end);
  return w;
}

void ADWhere::addParseDeclarations() { addLocalAttributeDeclarations({"rel", "valueString", "label"}); }

void ADWhere::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADEntryLink::adClass());
}

std::shared_ptr<ADWhere> ADWhere::whereWithString(const std::optional<std::string>& s) {
  auto w = std::make_shared<ADWhere>();
  w->setStringValue(s);
  return w;
}

void ADWho::addParseDeclarations() { addLocalAttributeDeclarations({"rel", "valueString", "email"}); }

void ADWho::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), {&ADAttendeeType::adClass(), &ADAttendeeStatus::adClass(),
                                                    &ADEntryLink::adClass()});
}

std::shared_ptr<ADWho> ADWho::whoWithRel(const std::optional<std::string>& rel, const std::optional<std::string>& name,
                                         const std::optional<std::string>& email) {
  auto w = std::make_shared<ADWho>();
  w->setRel(rel);
  w->setStringValue(name);
  w->setEmail(email);
  return w;
}
