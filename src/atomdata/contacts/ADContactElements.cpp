#include "atomdata/contacts/ADContactElements.h"

#define GCONTACT(name) .uri = kADNamespaceContact, .prefix = kADNamespaceContactPrefix, .localName = name

AD_DEFINE_CLASS(ADContactBillingInformation, ADValueElementConstruct, GCONTACT("billingInformation"))
AD_DEFINE_CLASS(ADContactBirthday, ADValueConstruct, GCONTACT("birthday"))
AD_DEFINE_CLASS(ADContactDirectoryServer, ADValueElementConstruct, GCONTACT("directoryServer"))
AD_DEFINE_CLASS(ADContactGender, ADValueConstruct, GCONTACT("gender"))
AD_DEFINE_CLASS(ADContactHobby, ADValueElementConstruct, GCONTACT("hobby"))
AD_DEFINE_CLASS(ADContactInitials, ADValueElementConstruct, GCONTACT("initials"))
AD_DEFINE_CLASS(ADContactMaidenName, ADValueElementConstruct, GCONTACT("maidenName"))
AD_DEFINE_CLASS(ADContactMileage, ADValueElementConstruct, GCONTACT("mileage"))
AD_DEFINE_CLASS(ADContactNickname, ADValueElementConstruct, GCONTACT("nickname"))
AD_DEFINE_CLASS(ADContactOccupation, ADValueElementConstruct, GCONTACT("occupation"))
AD_DEFINE_CLASS(ADContactShortName, ADValueElementConstruct, GCONTACT("shortName"))
AD_DEFINE_CLASS(ADContactSubject, ADValueElementConstruct, GCONTACT("subject"))
AD_DEFINE_CLASS(ADContactYomiName, ADValueElementConstruct, GCONTACT("yomiName"))
AD_DEFINE_CLASS(ADContactLink, ADGDPrimaryElement, .uri = kADNamespaceContact, .prefix = kADNamespaceContactPrefix)
AD_DEFINE_CLASS(ADContactCalendarLink, ADContactLink, GCONTACT("calendarLink"))
AD_DEFINE_CLASS(ADContactWebsiteLink, ADContactLink, GCONTACT("website"))
AD_DEFINE_CLASS(ADContactEvent, ADObject, GCONTACT("event"))
AD_DEFINE_CLASS(ADContactExternalID, ADObject, GCONTACT("externalId"))
AD_DEFINE_CLASS(ADContactJot, ADObject, GCONTACT("jot"))
AD_DEFINE_CLASS(ADContactLanguage, ADObject, GCONTACT("language"))
AD_DEFINE_CLASS(ADContactPriority, ADObject, GCONTACT("priority"))
AD_DEFINE_CLASS(ADContactSensitivity, ADObject, GCONTACT("sensitivity"))
AD_DEFINE_CLASS(ADContactRelation, ADObject, GCONTACT("relation"))
AD_DEFINE_CLASS(ADContactUserDefinedField, ADNameValueConstruct, GCONTACT("userDefinedField"))
AD_DEFINE_CLASS(ADContactSystemGroup, ADValueConstruct, GCONTACT("systemGroup"))
AD_DEFINE_CLASS(ADGroupMembershipInfo, ADObject, GCONTACT("groupMembershipInfo"))

void ADContactLink::addParseDeclarations() { addLocalAttributeDeclarations({"href", "label", "rel", "primary"}); }

void ADContactEvent::addParseDeclarations() { addLocalAttributeDeclarations({"label", "rel"}); }

void ADContactEvent::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADWhen::adClass());
}

std::shared_ptr<ADContactEvent> ADContactEvent::eventWithRel(const std::optional<std::string>& rel,
                                                             const std::optional<std::string>& label,
                                                             std::shared_ptr<ADWhen> when) {
  auto e = std::make_shared<ADContactEvent>();
  e->setStringValue(rel, "rel");
  e->setStringValue(label, "label");
  e->setObject(std::move(when), ADWhen::adClass());
  return e;
}

void ADContactExternalID::addParseDeclarations() { addLocalAttributeDeclarations({"label", "rel", "value"}); }

std::shared_ptr<ADContactExternalID> ADContactExternalID::externalIDWithRel(const std::optional<std::string>& rel,
                                                                             const std::optional<std::string>& label,
                                                                             const std::optional<std::string>& value) {
  auto e = std::make_shared<ADContactExternalID>();
  e->setStringValue(rel, "rel");
  e->setStringValue(label, "label");
  e->setStringValue(value, "value");
  return e;
}

void ADContactJot::addParseDeclarations() {
  addLocalAttributeDeclarations({"rel"});
  addContentValueDeclaration();
}

std::shared_ptr<ADContactJot> ADContactJot::jotWithRel(const std::optional<std::string>& rel,
                                                       const std::optional<std::string>& value) {
  auto j = std::make_shared<ADContactJot>();
  j->setStringValue(rel, "rel");
  j->setContentStringValue(value);
  return j;
}

void ADContactLanguage::addParseDeclarations() { addLocalAttributeDeclarations({"label", "code"}); }

std::shared_ptr<ADContactLanguage> ADContactLanguage::languageWithCode(const std::optional<std::string>& code,
                                                                       const std::optional<std::string>& label) {
  auto l = std::make_shared<ADContactLanguage>();
  l->setStringValue(code, "code");
  l->setStringValue(label, "label");
  return l;
}

void ADContactPriority::addParseDeclarations() { addLocalAttributeDeclarations({"rel"}); }
void ADContactSensitivity::addParseDeclarations() { addLocalAttributeDeclarations({"rel"}); }

void ADContactRelation::addParseDeclarations() {
  addLocalAttributeDeclarations({"rel", "label"});
  addContentValueDeclaration();
}

std::shared_ptr<ADContactRelation> ADContactRelation::relationWithRel(const std::optional<std::string>& rel,
                                                                      const std::optional<std::string>& label,
                                                                      const std::optional<std::string>& value) {
  auto r = std::make_shared<ADContactRelation>();
  r->setStringValue(rel, "rel");
  r->setStringValue(label, "label");
  r->setContentStringValue(value);
  return r;
}

std::shared_ptr<ADContactUserDefinedField> ADContactUserDefinedField::userDefinedFieldWithKey(
    const std::optional<std::string>& key, const std::optional<std::string>& value) {
  auto f = std::make_shared<ADContactUserDefinedField>();
  f->setKey(key);
  f->setStringValue(value);
  return f;
}

void ADGroupMembershipInfo::addParseDeclarations() { addLocalAttributeDeclarations({"href", "deleted"}); }

std::shared_ptr<ADGroupMembershipInfo> ADGroupMembershipInfo::groupMembershipInfoWithHref(
    const std::optional<std::string>& href) {
  auto g = std::make_shared<ADGroupMembershipInfo>();
  g->setHref(href);
  return g;
}
