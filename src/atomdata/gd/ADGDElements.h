#pragma once
// The gd elements several service families share: addresses, phone numbers,
// names, organisations, money, geo points, extended properties, embedded
// entries, the time, place and people of an event, quotas, the last editor.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "atomdata/ADEntryBase.h"

// Elements with a label, a rel and a "primary" flag.
class ADGDLabelledElement : public ADObject {
  AD_CLASS(ADGDLabelledElement)
  std::optional<std::string> label() const { return stringValueForAttribute("label"); }
  void setLabel(const std::optional<std::string>& v) { ADObject::setStringValue(v, "label"); }
  std::optional<std::string> rel() const { return stringValueForAttribute("rel"); }
  void setRel(const std::optional<std::string>& v) { ADObject::setStringValue(v, "rel"); }
  bool isPrimary() const { return boolValueForAttribute("primary", false); }
  void setIsPrimary(bool v) { setBoolValue(v, false, "primary"); }
};

// The same, with the flag left out of equality.
class ADGDPrimaryElement : public ADGDLabelledElement {
  AD_CLASS(ADGDPrimaryElement)
  std::vector<std::string> attributesIgnoredForEquality() const override { return {"primary"}; }
};

class ADEmail : public ADGDPrimaryElement {
  AD_CLASS(ADEmail)
  void addParseDeclarations() override;
  static std::shared_ptr<ADEmail> emailWithLabel(const std::optional<std::string>& label,
                                                 const std::optional<std::string>& address);
  std::optional<std::string> address() const { return stringValueForAttribute("address"); }
  void setAddress(const std::optional<std::string>& v) { ADObject::setStringValue(v, "address"); }
};

class ADIM : public ADGDPrimaryElement {
  AD_CLASS(ADIM)
  void addParseDeclarations() override;
  static std::shared_ptr<ADIM> IMWithProtocol(const std::optional<std::string>& protocol,
                                              const std::optional<std::string>& rel,
                                              const std::optional<std::string>& label,
                                              const std::optional<std::string>& address);
  std::optional<std::string> address() const { return stringValueForAttribute("address"); }
  void setAddress(const std::optional<std::string>& v) { ADObject::setStringValue(v, "address"); }
  std::optional<std::string> protocol() const { return stringValueForAttribute("protocol"); }
  void setProtocol(const std::optional<std::string>& v) { ADObject::setStringValue(v, "protocol"); }
};

class ADPhoneNumber : public ADGDPrimaryElement {
  AD_CLASS(ADPhoneNumber)
  void addParseDeclarations() override;
  static std::shared_ptr<ADPhoneNumber> phoneNumberWithString(const std::optional<std::string>& number);
  std::optional<std::string> URI() const { return stringValueForAttribute("uri"); }
  void setURI(const std::optional<std::string>& v) { ADObject::setStringValue(v, "uri"); }
  std::optional<std::string> stringValue() const { return contentStringValue(); }
  void setStringValue(const std::optional<std::string>& v) { setContentStringValue(v); }
};

class ADPostalAddress : public ADGDPrimaryElement {
  AD_CLASS(ADPostalAddress)
  void addParseDeclarations() override;
  static std::shared_ptr<ADPostalAddress> postalAddressWithString(const std::optional<std::string>& address);
  std::optional<std::string> stringValue() const { return contentStringValue(); }
  void setStringValue(const std::optional<std::string>& v) { setContentStringValue(v); }
};

// The parts of a structured postal address.
class ADPostalAddressAgent : public ADValueElementConstruct { AD_CLASS(ADPostalAddressAgent) };
class ADPostalAddressCity : public ADValueElementConstruct { AD_CLASS(ADPostalAddressCity) };
class ADPostalAddressCountry : public ADValueElementConstruct {
  AD_CLASS(ADPostalAddressCountry)
  void addParseDeclarations() override;
  std::optional<std::string> code() const { return stringValueForAttribute("code"); }
  void setCode(const std::optional<std::string>& v) { ADObject::setStringValue(v, "code"); }
};
class ADPostalAddressFormattedAddress : public ADValueElementConstruct { AD_CLASS(ADPostalAddressFormattedAddress) };
class ADPostalAddressHouseName : public ADValueElementConstruct { AD_CLASS(ADPostalAddressHouseName) };
class ADPostalAddressNeighborhood : public ADValueElementConstruct { AD_CLASS(ADPostalAddressNeighborhood) };
class ADPostalAddressPOBox : public ADValueElementConstruct { AD_CLASS(ADPostalAddressPOBox) };
class ADPostalAddressPostCode : public ADValueElementConstruct { AD_CLASS(ADPostalAddressPostCode) };
class ADPostalAddressRegion : public ADValueElementConstruct { AD_CLASS(ADPostalAddressRegion) };
class ADPostalAddressStreet : public ADValueElementConstruct { AD_CLASS(ADPostalAddressStreet) };
class ADPostalAddressSubregion : public ADValueElementConstruct { AD_CLASS(ADPostalAddressSubregion) };

class ADStructuredPostalAddress : public ADGDLabelledElement {
  AD_CLASS(ADStructuredPostalAddress)
  void addParseDeclarations() override;
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADStructuredPostalAddress> structuredPostalAddress();
  std::optional<std::string> mailClass() const { return stringValueForAttribute("mailClass"); }
  void setMailClass(const std::optional<std::string>& v) { ADObject::setStringValue(v, "mailClass"); }
  std::optional<std::string> usage() const { return stringValueForAttribute("usage"); }
  void setUsage(const std::optional<std::string>& v) { ADObject::setStringValue(v, "usage"); }

  // Plain-string parts: nullopt removes the part, "" stores an empty one.
  std::optional<std::string> agent() const;
  void setAgent(const std::optional<std::string>& v);
  std::optional<std::string> city() const;
  void setCity(const std::optional<std::string>& v);
  std::optional<std::string> formattedAddress() const;
  void setFormattedAddress(const std::optional<std::string>& v);
  std::optional<std::string> houseName() const;
  void setHouseName(const std::optional<std::string>& v);
  std::optional<std::string> neighborhood() const;
  void setNeighborhood(const std::optional<std::string>& v);
  std::optional<std::string> POBox() const;
  void setPOBox(const std::optional<std::string>& v);
  std::optional<std::string> postCode() const;
  void setPostCode(const std::optional<std::string>& v);
  std::optional<std::string> region() const;
  void setRegion(const std::optional<std::string>& v);
  std::optional<std::string> street() const;
  void setStreet(const std::optional<std::string>& v);
  std::optional<std::string> subregion() const;
  void setSubregion(const std::optional<std::string>& v);
  // Name and code share the one country part.
  std::optional<std::string> countryName() const;
  void setCountryName(const std::optional<std::string>& v);
  std::optional<std::string> countryCode() const;
  void setCountryCode(const std::optional<std::string>& v);
};

// --- Names ---
class ADNameElement : public ADObject {
  AD_CLASS(ADNameElement)
  void addParseDeclarations() override;
  // nullptr for a missing or empty string.
  template <typename T>
  static std::shared_ptr<T> nameElementWithString(const std::optional<std::string>& s) {
    if (!s || s->empty()) return nullptr;
    auto e = std::make_shared<T>();
    e->setStringValue(s);
    return e;
  }
  // The text and yomi of another part, as a part of class T.
  template <typename T>
  static std::shared_ptr<T> nameElementWithNameElement(const ADNameElement* other) {
    auto e = std::make_shared<T>();
    if (other) {
      e->setStringValue(other->stringValue());
      e->setYomi(other->yomi());
    }
    return e;
  }
  std::optional<std::string> stringValue() const { return contentStringValue(); }
  void setStringValue(const std::optional<std::string>& v) { setContentStringValue(v); }
  std::optional<std::string> yomi() const { return stringValueForAttribute("yomi"); }
  void setYomi(const std::optional<std::string>& v);
};
class ADNameAdditional : public ADNameElement { AD_CLASS(ADNameAdditional) };
class ADNameFamily : public ADNameElement { AD_CLASS(ADNameFamily) };
class ADNameFull : public ADNameElement { AD_CLASS(ADNameFull) };
class ADNameGiven : public ADNameElement { AD_CLASS(ADNameGiven) };
class ADNamePrefix : public ADValueElementConstruct { AD_CLASS(ADNamePrefix) };
class ADNameSuffix : public ADValueElementConstruct { AD_CLASS(ADNameSuffix) };

class ADName : public ADObject {
  AD_CLASS(ADName)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADName> name();
  static std::shared_ptr<ADName> nameWithFullNameString(const std::optional<std::string>& full);
  static std::shared_ptr<ADName> nameWithPrefix(const std::optional<std::string>& prefix,
                                                const std::optional<std::string>& given,
                                                const std::optional<std::string>& additional,
                                                const std::optional<std::string>& family,
                                                const std::optional<std::string>& suffix);
  std::shared_ptr<ADNameAdditional> additionalName() const { return objectFor<ADNameAdditional>(); }
  void setAdditionalName(const ADNameElement* e);
  void setAdditionalNameWithString(const std::optional<std::string>& s);
  std::shared_ptr<ADNameFamily> familyName() const { return objectFor<ADNameFamily>(); }
  void setFamilyName(const ADNameElement* e);
  void setFamilyNameWithString(const std::optional<std::string>& s);
  std::shared_ptr<ADNameFull> fullName() const { return objectFor<ADNameFull>(); }
  void setFullName(const ADNameElement* e);
  void setFullNameWithString(const std::optional<std::string>& s);
  std::shared_ptr<ADNameGiven> givenName() const { return objectFor<ADNameGiven>(); }
  void setGivenName(const ADNameElement* e);
  void setGivenNameWithString(const std::optional<std::string>& s);
  std::optional<std::string> namePrefix() const;
  void setNamePrefix(const std::optional<std::string>& s);
  std::optional<std::string> nameSuffix() const;
  void setNameSuffix(const std::optional<std::string>& s);
};

// --- Organisations ---
class ADOrganizationName : public ADObject {
  AD_CLASS(ADOrganizationName)
  void addParseDeclarations() override;
  static std::shared_ptr<ADOrganizationName> organizationNameWithString(const std::optional<std::string>& s);
  std::optional<std::string> stringValue() const { return contentStringValue(); }
  void setStringValue(const std::optional<std::string>& v) { setContentStringValue(v); }
  std::optional<std::string> yomi() const { return stringValueForAttribute("yomi"); }
  void setYomi(const std::optional<std::string>& v) { ADObject::setStringValue(v, "yomi"); }
};
class ADOrgDepartment : public ADValueElementConstruct { AD_CLASS(ADOrgDepartment) };
class ADOrgJobDescription : public ADValueElementConstruct { AD_CLASS(ADOrgJobDescription) };
class ADOrgSymbol : public ADValueElementConstruct { AD_CLASS(ADOrgSymbol) };
class ADOrgTitle : public ADValueElementConstruct { AD_CLASS(ADOrgTitle) };

class ADWhere;
class ADOrganization : public ADGDLabelledElement {
  AD_CLASS(ADOrganization)
  void addParseDeclarations() override;
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADOrganization> organizationWithName(const std::optional<std::string>& name);
  // Stored untrimmed; blank or nullopt removes the part.
  std::optional<std::string> orgDepartment() const;
  void setOrgDepartment(const std::optional<std::string>& v);
  std::optional<std::string> orgJobDescription() const;
  void setOrgJobDescription(const std::optional<std::string>& v);
  std::optional<std::string> orgSymbol() const;
  void setOrgSymbol(const std::optional<std::string>& v);
  std::optional<std::string> orgTitle() const;
  void setOrgTitle(const std::optional<std::string>& v);
  // Name and yomi share the one orgName child, which stays once made.
  std::optional<std::string> orgName() const;
  void setOrgName(const std::optional<std::string>& v);
  std::optional<std::string> orgNameYomi() const;
  void setOrgNameYomi(const std::optional<std::string>& v);
  std::shared_ptr<ADWhere> where() const;
  void setWhere(std::shared_ptr<ADWhere> where);
};

// --- Money, geo point, extended property, entry link ---
class ADMoney : public ADObject {
  AD_CLASS(ADMoney)
  void addParseDeclarations() override;
  static std::shared_ptr<ADMoney> moneyWithAmount(std::optional<double> amount, const std::optional<std::string>& code);
  std::optional<double> amount() const { return decimalNumberForAttribute("amount"); }
  void setAmount(std::optional<double> v) { setNumberValue(v, "amount"); }
  std::optional<std::string> currencyCode() const { return stringValueForAttribute("currencyCode"); }
  void setCurrencyCode(const std::optional<std::string>& v) { ADObject::setStringValue(v, "currencyCode"); }
};

// A named custom property; its value is the text.
class ADCustomProperty : public ADObject {
  AD_CLASS(ADCustomProperty)
  void addParseDeclarations() override;
  static std::shared_ptr<ADCustomProperty> propertyWithName(const std::optional<std::string>& name,
                                                            const std::optional<std::string>& value);
  std::optional<std::string> name() const { return stringValueForAttribute("name"); }
  void setName(const std::optional<std::string>& v) { ADObject::setStringValue(v, "name"); }
  std::optional<std::string> value() const { return contentStringValue(); }
  void setValue(const std::optional<std::string>& v) { setContentStringValue(v); }
};

// A geo point keeps its values in fields.
class ADGeoPt : public ADObject {
  AD_CLASS(ADGeoPt)
  static std::shared_ptr<ADGeoPt> geoPtWithLabel(const std::optional<std::string>& label, std::optional<double> lat,
                                                 std::optional<double> lon, std::optional<double> elev,
                                                 const std::optional<ADDateTime>& time);
  void initWithXMLElement(const xmlNode* element, const ADObject* parent) override;
  ADXMLNode XMLElement() const override;
  bool isEqual(const ADObject& other) const override;
  std::optional<std::string> label;
  std::optional<double> lat, lon, elev;
  std::optional<ADDateTime> time;
};

class ADExtendedProperty : public ADObject {
  AD_CLASS(ADExtendedProperty)
  void addParseDeclarations() override;
  void initWithXMLElement(const xmlNode* element, const ADObject* parent) override;
  static std::shared_ptr<ADExtendedProperty> propertyWithName(const std::optional<std::string>& name,
                                                              const std::optional<std::string>& value);
  std::optional<std::string> name() const { return stringValueForAttribute("name"); }
  void setName(const std::optional<std::string>& v) { ADObject::setStringValue(v, "name"); }
  std::optional<std::string> value() const { return stringValueForAttribute("value"); }
  void setValue(const std::optional<std::string>& v) { ADObject::setStringValue(v, "value"); }
  std::optional<std::string> realm() const { return stringValueForAttribute("realm"); }
  void setRealm(const std::optional<std::string>& v) { ADObject::setStringValue(v, "realm"); }
  void addEmptyDefaultNamespace() { addNamespaces({{"", ""}}); }
  const std::vector<ADXMLNode>& XMLValues() const { return childXMLElements(); }
  void setXMLValues(std::vector<ADXMLNode> v) { setChildXMLElements(std::move(v)); }
  void addXMLValue(ADXMLNode v) { addChildXMLElement(std::move(v)); }
  // The child elements as name to text; nullopt when there are none.
  std::optional<std::map<std::string, std::string>> XMLValuesDictionary() const;
  void setXMLValuesDictionary(const std::map<std::string, std::string>& dictionary);
  void setXMLValue(const std::optional<std::string>& value, const std::string& key);
  std::optional<std::string> XMLValueForKey(const std::string& key) const;
};

// Holds one embedded entry in a field.
class ADEntryLink : public ADObject {
  AD_CLASS(ADEntryLink)
  ADEntryLink() = default;
  ADEntryLink(const ADEntryLink& other);
  void addParseDeclarations() override;
  void initWithXMLElement(const xmlNode* element, const ADObject* parent) override;
  ADXMLNode XMLElement() const override;
  bool isEqual(const ADObject& other) const override;
  static std::shared_ptr<ADEntryLink> entryLinkWithHref(const std::optional<std::string>& href, bool readOnly);
  std::optional<std::string> href() const { return stringValueForAttribute("href"); }
  void setHref(const std::optional<std::string>& v) { ADObject::setStringValue(v, "href"); }
  std::optional<std::string> rel() const { return stringValueForAttribute("rel"); }
  bool isReadOnly() const { return boolValueForAttribute("readOnly", false); }
  void setIsReadOnly(bool v) { setBoolValue(v, false, "readOnly"); }
  std::shared_ptr<ADEntryBase> entry;
};

// --- When, where, who ---
class ADWhen : public ADObject {
  AD_CLASS(ADWhen)
  void addParseDeclarations() override;
  static std::shared_ptr<ADWhen> whenWithStartTime(const std::optional<ADDateTime>& start,
                                                   const std::optional<ADDateTime>& end);
  std::optional<ADDateTime> startTime() const { return dateTimeForAttribute("startTime"); }
  void setStartTime(const std::optional<ADDateTime>& v) { setDateTimeValue(v, "startTime"); }
  std::optional<ADDateTime> endTime() const { return dateTimeForAttribute("endTime"); }
  void setEndTime(const std::optional<ADDateTime>& v) { setDateTimeValue(v, "endTime"); }
  std::optional<std::string> value() const { return stringValueForAttribute("valueString"); }
  void setValue(const std::optional<std::string>& v) { ADObject::setStringValue(v, "valueString"); }
};

class ADWhere : public ADObject {
  AD_CLASS(ADWhere)
  void addParseDeclarations() override;
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADWhere> whereWithString(const std::optional<std::string>& s);
  std::optional<std::string> rel() const { return stringValueForAttribute("rel"); }
  void setRel(const std::optional<std::string>& v) { ADObject::setStringValue(v, "rel"); }
  std::optional<std::string> label() const { return stringValueForAttribute("label"); }
  void setLabel(const std::optional<std::string>& v) { ADObject::setStringValue(v, "label"); }
  std::optional<std::string> stringValue() const { return stringValueForAttribute("valueString"); }
  void setStringValue(const std::optional<std::string>& v) { ADObject::setStringValue(v, "valueString"); }
  std::shared_ptr<ADEntryLink> entryLink() const { return objectFor<ADEntryLink>(); }
  void setEntryLink(std::shared_ptr<ADEntryLink> l) { setObject(std::move(l), ADEntryLink::adClass()); }
};

class ADAttendeeStatus : public ADValueConstruct { AD_CLASS(ADAttendeeStatus) };
class ADAttendeeType : public ADValueConstruct { AD_CLASS(ADAttendeeType) };

class ADWho : public ADObject {
  AD_CLASS(ADWho)
  void addParseDeclarations() override;
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADWho> whoWithRel(const std::optional<std::string>& rel, const std::optional<std::string>& name,
                                           const std::optional<std::string>& email);
  std::optional<std::string> rel() const { return stringValueForAttribute("rel"); }
  void setRel(const std::optional<std::string>& v) { ADObject::setStringValue(v, "rel"); }
  std::optional<std::string> email() const { return stringValueForAttribute("email"); }
  void setEmail(const std::optional<std::string>& v) { ADObject::setStringValue(v, "email"); }
  std::optional<std::string> stringValue() const { return stringValueForAttribute("valueString"); }
  void setStringValue(const std::optional<std::string>& v) { ADObject::setStringValue(v, "valueString"); }
  std::shared_ptr<ADAttendeeType> attendeeType() const { return objectFor<ADAttendeeType>(); }
  void setAttendeeType(std::shared_ptr<ADAttendeeType> v) { setObject(std::move(v), ADAttendeeType::adClass()); }
  std::shared_ptr<ADAttendeeStatus> attendeeStatus() const { return objectFor<ADAttendeeStatus>(); }
  void setAttendeeStatus(std::shared_ptr<ADAttendeeStatus> v) { setObject(std::move(v), ADAttendeeStatus::adClass()); }
  std::shared_ptr<ADEntryLink> entryLink() const { return objectFor<ADEntryLink>(); }
  void setEntryLink(std::shared_ptr<ADEntryLink> l) { setObject(std::move(l), ADEntryLink::adClass()); }
};

// --- Quotas and the last editor ---
class ADQuotaBytesTotal : public ADValueElementConstruct { AD_CLASS(ADQuotaBytesTotal) };
class ADQuotaBytesUsed : public ADValueElementConstruct { AD_CLASS(ADQuotaBytesUsed) };
class ADLastModifiedBy : public ADPerson { AD_CLASS(ADLastModifiedBy) };
