#include "atomdata/contacts/ADContacts.h"

#include "atomdata/ADUtilities.h"

#define CONTACT_KIND(kind) .standardKind = kind, .serviceVersion = kADContactServiceVersion

AD_DEFINE_CLASS(ADEntryContactBase, ADEntryBase)
AD_DEFINE_CLASS(ADEntryContact, ADEntryContactBase, CONTACT_KIND(kADContactKindContact))
AD_DEFINE_CLASS(ADEntryContactProfile, ADEntryContactBase, CONTACT_KIND(kADContactKindProfile))
AD_DEFINE_CLASS(ADEntryContactGroup, ADEntryBase, CONTACT_KIND(kADContactKindGroup))
AD_DEFINE_CLASS(ADFeedContact, ADFeedBase, CONTACT_KIND(kADContactKindContact))
AD_DEFINE_CLASS(ADFeedContactProfile, ADFeedBase, CONTACT_KIND(kADContactKindProfile))
AD_DEFINE_CLASS(ADFeedContactGroup, ADFeedBase, .standardKind = kADContactKindGroup)

// --- Constants ---

ADNamespaces ADContactConstants::contactNamespaces() {
  ADNamespaces namespaces = ADEntryBase::baseADNamespaces();
  namespaces[kADNamespaceContactPrefix] = kADNamespaceContact;
  return namespaces;
}

std::string ADContactConstants::coreProtocolVersionForServiceVersion(const std::string& version) {
  return ADUtilities::coreProtocolVersionForServiceVersion(version);
}

void ADContactConstants::registerClasses() {
  for (const ADClass* cls : {&ADEntryContact::adClass(), &ADEntryContactProfile::adClass(), &ADEntryContactGroup::adClass()})
    ADEntryBase::registerEntryClass(*cls);
  for (const ADClass* cls : {&ADFeedContact::adClass(), &ADFeedContactProfile::adClass(), &ADFeedContactGroup::adClass()})
    ADFeedBase::registerFeedClass(*cls);
}

// --- Contact base entry ---

void ADEntryContactBase::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(
      adClass(),
      {&ADOrganization::adClass(), &ADEmail::adClass(), &ADIM::adClass(), &ADPhoneNumber::adClass(),
       &ADPostalAddress::adClass(), &ADExtendedProperty::adClass(), &ADContactBillingInformation::adClass(),
       &ADContactBirthday::adClass(), &ADContactCalendarLink::adClass(), &ADContactDirectoryServer::adClass(),
       &ADContactEvent::adClass(), &ADContactExternalID::adClass(), &ADContactGender::adClass(),
       &ADContactHobby::adClass(), &ADContactInitials::adClass(), &ADContactJot::adClass(),
       &ADContactLanguage::adClass(), &ADWhere::adClass(), &ADContactMaidenName::adClass(),
       &ADContactMileage::adClass(), &ADName::adClass(), &ADContactNickname::adClass(),
       &ADContactOccupation::adClass(), &ADContactPriority::adClass(), &ADContactRelation::adClass(),
       &ADContactSensitivity::adClass(), &ADContactShortName::adClass(), &ADStructuredPostalAddress::adClass(),
       &ADContactSubject::adClass(), &ADContactUserDefinedField::adClass(), &ADContactWebsiteLink::adClass()});
}

void ADEntryContactBase::setTitle(std::shared_ptr<ADTextConstruct> title) {
  if (title && title->stringValue().value_or("").empty()) title = nullptr;
  ADEntryBase::setTitle(std::move(title));
}

void ADEntryContactBase::setTitleWithString(const std::optional<std::string>& title) {
  ADEntryBase::setTitleWithString(title && !title->empty() ? title : std::nullopt);
}

ADObjectPtr ADEntryContactBase::primaryObjectForExtensionClass(const ADClass& cls) const {
  for (const ADObjectPtr& o : objectsForExtensionClass(cls))
    if (o->boolValueForAttribute("primary", false)) return o;
  return nullptr;
}

void ADEntryContactBase::setPrimaryObject(const ADObjectPtr& object, const ADClass& cls) {
  bool matched = false;
  for (const ADObjectPtr& o : objectsForExtensionClass(cls)) {
    const bool same = object && o->isEqual(*object);
    o->setBoolValue(same, false, "primary");
    matched = matched || same;
  }
  if (!matched && object) {
    object->setBoolValue(true, false, "primary");
    addObject(object, cls);
  }
}

std::shared_ptr<ADExtendedProperty> ADEntryContactBase::extendedPropertyForName(const std::string& name) const {
  return ADUtilities::firstObjectFromArray(extendedProperties(), std::optional<std::string>(name),
                                           [](const ADExtendedProperty& p) { return p.name(); });
}

#define AD_CONTACT_STRING(getter, Setter, Cls)                                                        \
  std::optional<std::string> ADEntryContactBase::getter() const {                                    \
    return ADValueConstruct::stringValueOfChild<Cls>(*this);                                         \
  }                                                                                                  \
  void ADEntryContactBase::set##Setter(const std::optional<std::string>& v) {                        \
    ADValueConstruct::setChildWithNonEmptyString<Cls>(*this, v);                                     \
  }

AD_CONTACT_STRING(billingInformation, BillingInformation, ADContactBillingInformation)
AD_CONTACT_STRING(birthday, Birthday, ADContactBirthday)
AD_CONTACT_STRING(directoryServer, DirectoryServer, ADContactDirectoryServer)
AD_CONTACT_STRING(gender, Gender, ADContactGender)
AD_CONTACT_STRING(initials, Initials, ADContactInitials)
AD_CONTACT_STRING(maidenName, MaidenName, ADContactMaidenName)
AD_CONTACT_STRING(mileage, Mileage, ADContactMileage)
AD_CONTACT_STRING(nickname, Nickname, ADContactNickname)
AD_CONTACT_STRING(occupation, Occupation, ADContactOccupation)
AD_CONTACT_STRING(shortName, ShortName, ADContactShortName)
AD_CONTACT_STRING(subject, Subject, ADContactSubject)
#undef AD_CONTACT_STRING

std::optional<ADDateTime> ADEntryContactBase::birthdayDate() const {
  std::optional<std::string> text = birthday();
  if (!text) return std::nullopt;
  std::string day = *text;
  if (day.size() >= 3 && day.compare(0, 2, "--") == 0) day = "1804-" + day.substr(2);
  return ADDateTime::dateTimeWithRFC3339String(day + "T12:00:00Z");
}

void ADEntryContactBase::setBirthdayWithDate(const std::optional<ADDateTime>& date) {
  if (!date) {
    setBirthday(std::nullopt);
    return;
  }
  std::string text = ADDateTime::dateTimeWithSeconds(date->secondsSince1970()).RFC3339String().substr(0, 10);
  if (text.size() >= 6 && text.compare(0, 5, "1804-") == 0) text = "--" + text.substr(5);
  setBirthday(text);
}

std::optional<std::string> ADEntryContactBase::priority() const {
  auto p = objectFor<ADContactPriority>();
  return p ? p->rel() : std::nullopt;
}

void ADEntryContactBase::setPriority(const std::optional<std::string>& rel) {
  auto p = std::make_shared<ADContactPriority>();
  p->setRel(rel);
  setObject(p, ADContactPriority::adClass());
}

std::optional<std::string> ADEntryContactBase::sensitivity() const {
  auto s = objectFor<ADContactSensitivity>();
  return s ? s->rel() : std::nullopt;
}

void ADEntryContactBase::setSensitivity(const std::optional<std::string>& rel) {
  auto s = std::make_shared<ADContactSensitivity>();
  s->setRel(rel);
  setObject(s, ADContactSensitivity::adClass());
}

// --- Contact entry ---

void ADEntryContact::addExtensionDeclarations() {
  ADEntryContactBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), {&ADGroupMembershipInfo::adClass(), &ADContactYomiName::adClass()});
}

std::shared_ptr<ADEntryContact> ADEntryContact::contactEntryWithName(std::shared_ptr<ADName> name) {
  auto e = std::make_shared<ADEntryContact>();
  e->setNamespaces(ADContactConstants::contactNamespaces());
  e->setName(std::move(name));
  return e;
}

std::shared_ptr<ADEntryContact> ADEntryContact::contactEntryWithFullNameString(const std::optional<std::string>& full) {
  return contactEntryWithName(ADName::nameWithFullNameString(full));
}

std::shared_ptr<ADEntryContact> ADEntryContact::contactEntryWithTitle(const std::optional<std::string>& title) {
  auto e = std::make_shared<ADEntryContact>();
  e->setNamespaces(ADContactConstants::contactNamespaces());
  e->setTitleWithString(title);
  return e;
}

std::optional<std::string> ADEntryContact::yomi() const { return ADValueConstruct::stringValueOfChild<ADContactYomiName>(*this); }
void ADEntryContact::setYomi(const std::optional<std::string>& v) { ADValueConstruct::setChildWithNonEmptyString<ADContactYomiName>(*this, v); }

std::shared_ptr<ADGroupMembershipInfo> ADEntryContact::groupMembershipInfoWithHref(const std::string& href) const {
  return ADUtilities::firstObjectFromArray(groupMembershipInfos(), std::optional<std::string>(href),
                                           [](const ADGroupMembershipInfo& g) { return g.href(); });
}

std::shared_ptr<ADEntryContactProfile> ADEntryContactProfile::contactProfileEntry() {
  auto e = std::make_shared<ADEntryContactProfile>();
  e->setNamespaces(ADContactConstants::contactNamespaces());
  return e;
}

// --- Group entry ---

void ADEntryContactGroup::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), {&ADExtendedProperty::adClass(), &ADContactSystemGroup::adClass()});
}

std::shared_ptr<ADEntryContactGroup> ADEntryContactGroup::contactGroupEntryWithTitle(const std::optional<std::string>& title) {
  auto e = std::make_shared<ADEntryContactGroup>();
  e->setNamespaces(ADContactConstants::contactNamespaces());
  e->setTitleWithString(title);
  return e;
}

// --- Feeds ---

void ADFeedContact::addExtensionDeclarations() {
  ADFeedBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADWhere::adClass());
}

std::shared_ptr<ADFeedContact> ADFeedContact::contactFeed() {
  auto f = std::make_shared<ADFeedContact>();
  f->setNamespaces(ADContactConstants::contactNamespaces());
  return f;
}

std::shared_ptr<ADFeedContactProfile> ADFeedContactProfile::contactProfileFeed() {
  auto f = std::make_shared<ADFeedContactProfile>();
  f->setNamespaces(ADContactConstants::contactNamespaces());
  return f;
}

std::shared_ptr<ADFeedContactGroup> ADFeedContactGroup::contactGroupFeed() {
  auto f = std::make_shared<ADFeedContactGroup>();
  f->setNamespaces(ADContactConstants::contactNamespaces());
  return f;
}

std::vector<std::shared_ptr<ADEntryContact>> ADFeedContact::entriesWithGroupHref(const std::string& href) const {
  std::vector<std::shared_ptr<ADEntryContact>> out;
  for (const auto& entry : entries())
    if (auto contact = std::dynamic_pointer_cast<ADEntryContact>(entry))
      if (contact->groupMembershipInfoWithHref(href)) out.push_back(contact);
  return out;
}

std::shared_ptr<ADEntryContactGroup> ADFeedContactGroup::entryForSystemGroupID(const std::string& identifier) const {
  for (const auto& entry : entries())
    if (auto group = std::dynamic_pointer_cast<ADEntryContactGroup>(entry))
      if (group->systemGroup() && group->systemGroup()->identifier() == identifier) return group;
  return nullptr;
}

// --- Query and service ---

std::shared_ptr<ADQueryContact> ADQueryContact::contactQueryForUserID(const std::string& userID) {
  return contactQueryWithFeedURL(ADServiceContact::contactFeedURLForUserID(userID));
}

std::string ADServiceContact::contactURLForFeedName(const std::string& feedName, const std::string& userID,
                                                    const std::string& projection) {
  return std::string(kRootURLString) + ADUtilities::stringByURLEncodingForURI(feedName) + "/" +
         ADUtilities::stringByURLEncodingForURI(userID) + "/" + ADUtilities::stringByURLEncodingForURI(projection);
}
