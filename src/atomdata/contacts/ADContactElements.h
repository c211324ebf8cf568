#pragma once
// The contacts family's own elements (gContact namespace).
#include "atomdata/ADConstants.h"
#include "atomdata/gd/ADGDElements.h"

inline constexpr const char kADNamespaceContact[] = AD_SCHEMA_ROOT "/contact/2008";
inline constexpr const char kADNamespaceContactPrefix[] = "gContact";

class ADContactBillingInformation : public ADValueElementConstruct { AD_CLASS(ADContactBillingInformation) };
class ADContactBirthday : public ADValueConstruct {
  AD_CLASS(ADContactBirthday)
  std::optional<std::string> attributeName() const override { return std::string("when"); }
};
class ADContactDirectoryServer : public ADValueElementConstruct { AD_CLASS(ADContactDirectoryServer) };
class ADContactGender : public ADValueConstruct { AD_CLASS(ADContactGender) };
class ADContactHobby : public ADValueElementConstruct { AD_CLASS(ADContactHobby) };
class ADContactInitials : public ADValueElementConstruct { AD_CLASS(ADContactInitials) };
class ADContactMaidenName : public ADValueElementConstruct { AD_CLASS(ADContactMaidenName) };
class ADContactMileage : public ADValueElementConstruct { AD_CLASS(ADContactMileage) };
class ADContactNickname : public ADValueElementConstruct { AD_CLASS(ADContactNickname) };
class ADContactOccupation : public ADValueElementConstruct { AD_CLASS(ADContactOccupation) };
class ADContactShortName : public ADValueElementConstruct { AD_CLASS(ADContactShortName) };
class ADContactSubject : public ADValueElementConstruct { AD_CLASS(ADContactSubject) };
class ADContactYomiName : public ADValueElementConstruct { AD_CLASS(ADContactYomiName) };

// Links with a primary flag that equality ignores.
class ADContactLink : public ADGDPrimaryElement {
  AD_CLASS(ADContactLink)
  void addParseDeclarations() override;
  template <typename T>
  static std::shared_ptr<T> linkWithRel(const std::optional<std::string>& rel, const std::optional<std::string>& label,
                                        const std::optional<std::string>& href) {
    auto l = std::make_shared<T>();
    l->setRel(rel);
    l->setLabel(label);
    l->setHref(href);
    return l;
  }
  std::optional<std::string> href() const { return stringValueForAttribute("href"); }
  void setHref(const std::optional<std::string>& v) { setStringValue(v, "href"); }
};
class ADContactCalendarLink : public ADContactLink { AD_CLASS(ADContactCalendarLink) };
class ADContactWebsiteLink : public ADContactLink { AD_CLASS(ADContactWebsiteLink) };

class ADContactEvent : public ADObject {
  AD_CLASS(ADContactEvent)
  void addParseDeclarations() override;
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADContactEvent> eventWithRel(const std::optional<std::string>& rel,
                                                      const std::optional<std::string>& label,
                                                      std::shared_ptr<ADWhen> when);
  std::optional<std::string> rel() const { return stringValueForAttribute("rel"); }
  std::optional<std::string> label() const { return stringValueForAttribute("label"); }
  std::shared_ptr<ADWhen> when() const { return objectFor<ADWhen>(); }
};

class ADContactExternalID : public ADObject {
  AD_CLASS(ADContactExternalID)
  void addParseDeclarations() override;
  static std::shared_ptr<ADContactExternalID> externalIDWithRel(const std::optional<std::string>& rel,
                                                                const std::optional<std::string>& label,
                                                                const std::optional<std::string>& value);
  std::optional<std::string> stringValue() const { return stringValueForAttribute("value"); }
};

class ADContactJot : public ADObject {
  AD_CLASS(ADContactJot)
  void addParseDeclarations() override;
  static std::shared_ptr<ADContactJot> jotWithRel(const std::optional<std::string>& rel,
                                                  const std::optional<std::string>& value);
  std::optional<std::string> rel() const { return stringValueForAttribute("rel"); }
  std::optional<std::string> stringValue() const { return contentStringValue(); }
};

class ADContactLanguage : public ADObject {
  AD_CLASS(ADContactLanguage)
  void addParseDeclarations() override;
  static std::shared_ptr<ADContactLanguage> languageWithCode(const std::optional<std::string>& code,
                                                             const std::optional<std::string>& label);
  std::optional<std::string> code() const { return stringValueForAttribute("code"); }
  std::optional<std::string> label() const { return stringValueForAttribute("label"); }
};

// Elements carrying only a rel.
class ADContactPriority : public ADObject {
  AD_CLASS(ADContactPriority)
  void addParseDeclarations() override;
  std::optional<std::string> rel() const { return stringValueForAttribute("rel"); }
  void setRel(const std::optional<std::string>& v) { setStringValue(v, "rel"); }
};
class ADContactSensitivity : public ADObject {
  AD_CLASS(ADContactSensitivity)
  void addParseDeclarations() override;
  std::optional<std::string> rel() const { return stringValueForAttribute("rel"); }
  void setRel(const std::optional<std::string>& v) { setStringValue(v, "rel"); }
};

class ADContactRelation : public ADObject {
  AD_CLASS(ADContactRelation)
  void addParseDeclarations() override;
  static std::shared_ptr<ADContactRelation> relationWithRel(const std::optional<std::string>& rel,
                                                            const std::optional<std::string>& label,
                                                            const std::optional<std::string>& value);
  std::optional<std::string> stringValue() const { return contentStringValue(); }
};

class ADContactUserDefinedField : public ADNameValueConstruct {
  AD_CLASS(ADContactUserDefinedField)
  std::string nameAttributeName() const override { return "key"; }
  static std::shared_ptr<ADContactUserDefinedField> userDefinedFieldWithKey(const std::optional<std::string>& key,
                                                                            const std::optional<std::string>& value);
  std::optional<std::string> key() const { return name(); }
  void setKey(const std::optional<std::string>& v) { setName(v); }
};

class ADContactSystemGroup : public ADValueConstruct {
  AD_CLASS(ADContactSystemGroup)
  std::optional<std::string> attributeName() const override { return std::string("id"); }
  std::optional<std::string> identifier() const { return stringValue(); }
  void setIdentifier(const std::optional<std::string>& v) { setStringValue(v); }
};

class ADGroupMembershipInfo : public ADObject {
  AD_CLASS(ADGroupMembershipInfo)
  void addParseDeclarations() override;
  static std::shared_ptr<ADGroupMembershipInfo> groupMembershipInfoWithHref(const std::optional<std::string>& href);
  std::optional<std::string> href() const { return stringValueForAttribute("href"); }
  void setHref(const std::optional<std::string>& v) { setStringValue(v, "href"); }
  bool isDeleted() const { return boolValueForAttribute("deleted", false); }
  void setIsDeleted(bool v) { setBoolValue(v, false, "deleted"); }
};
