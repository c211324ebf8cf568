#pragma once
// The contacts family: contacts, profiles and groups of an address-book
// service. The worked member of the family pattern: constants, entries and
// feeds that register their kinds, a query and a service.
#include <optional>
#include <string>
#include <vector>

#include "atomdata/ADQuery.h"
#include "atomdata/ADService.h"
#include "atomdata/contacts/ADContactElements.h"

inline constexpr const char kADContactServiceVersion[] = "3.0";
inline constexpr const char kADContactKindContact[] = AD_SCHEMA_ROOT "/contact/2008#contact";
inline constexpr const char kADContactKindProfile[] = AD_SCHEMA_ROOT "/contact/2008#profile";
inline constexpr const char kADContactKindGroup[] = AD_SCHEMA_ROOT "/contact/2008#group";
inline constexpr const char kADContactLinkRelPhoto[] = AD_SCHEMA_ROOT "/contacts/2008/rel#photo";

class ADContactConstants {
 public:
  // The base namespaces plus "gContact"; the caller may change the copy.
  static ADNamespaces contactNamespaces();
  // "2.0" for service versions of 2.0 and above, else "1.0".
  static std::string coreProtocolVersionForServiceVersion(const std::string& version);
  // Enters every contacts entry and feed class in the kind maps.
  static void registerClasses();
};

class ADEntryContactBase : public ADEntryBase {
  AD_CLASS(ADEntryContactBase)
  void addExtensionDeclarations() override;
  static std::string coreProtocolVersionForServiceVersion(const std::string& v) {
    return ADContactConstants::coreProtocolVersionForServiceVersion(v);
  }
  // An empty title is no title.
  void setTitle(std::shared_ptr<ADTextConstruct> title);
  void setTitleWithString(const std::optional<std::string>& title);

  // The first element of the class's list whose primary flag is set.
  ADObjectPtr primaryObjectForExtensionClass(const ADClass& cls) const;
  // Marks the equal element primary and clears the others; appends the object
  // as primary when none is equal. nullptr clears every flag.
  void setPrimaryObject(const ADObjectPtr& object, const ADClass& cls);

  std::vector<std::shared_ptr<ADOrganization>> organizations() const { return objectsFor<ADOrganization>(); }
  void setOrganizations(const std::vector<std::shared_ptr<ADOrganization>>& v) { setObjects(v, ADOrganization::adClass()); }
  void addOrganization(std::shared_ptr<ADOrganization> v) { addObject(std::move(v), ADOrganization::adClass()); }
  void removeOrganization(const ADOrganization& v) { removeObject(v, ADOrganization::adClass()); }
  std::shared_ptr<ADOrganization> primaryOrganization() const;
  void setPrimaryOrganization(std::shared_ptr<ADOrganization> v) { setPrimaryObject(v, ADOrganization::adClass()); }

  std::vector<std::shared_ptr<ADEmail>> emailAddresses() const { return objectsFor<ADEmail>(); }
  void setEmailAddresses(const std::vector<std::shared_ptr<ADEmail>>& v) { setObjects(v, ADEmail::adClass()); }
  void addEmailAddress(std::shared_ptr<ADEmail> v) { addObject(std::move(v), ADEmail::adClass()); }
  void removeEmailAddress(const ADEmail& v) { removeObject(v, ADEmail::adClass()); }
  std::shared_ptr<ADEmail> primaryEmailAddress() const;
  void setPrimaryEmailAddress(std::shared_ptr<ADEmail> v) { setPrimaryObject(v, ADEmail::adClass()); }

  std::vector<std::shared_ptr<ADIM>> IMAddresses() const { return objectsFor<ADIM>(); }
  void addIMAddress(std::shared_ptr<ADIM> v) { addObject(std::move(v), ADIM::adClass()); }
  std::vector<std::shared_ptr<ADPhoneNumber>> phoneNumbers() const { return objectsFor<ADPhoneNumber>(); }
  void addPhoneNumber(std::shared_ptr<ADPhoneNumber> v) { addObject(std::move(v), ADPhoneNumber::adClass()); }
  std::vector<std::shared_ptr<ADStructuredPostalAddress>> structuredPostalAddresses() const {
    return objectsFor<ADStructuredPostalAddress>();
  }
  void addStructuredPostalAddress(std::shared_ptr<ADStructuredPostalAddress> v) {
    addObject(std::move(v), ADStructuredPostalAddress::adClass());
  }
  std::vector<std::shared_ptr<ADContactWebsiteLink>> websiteLinks() const { return objectsFor<ADContactWebsiteLink>(); }
  void addWebsiteLink(std::shared_ptr<ADContactWebsiteLink> v) { addObject(std::move(v), ADContactWebsiteLink::adClass()); }
  std::shared_ptr<ADContactWebsiteLink> primaryWebsiteLink() const;
  void setPrimaryWebsiteLink(std::shared_ptr<ADContactWebsiteLink> v) { setPrimaryObject(v, ADContactWebsiteLink::adClass()); }
  std::vector<std::shared_ptr<ADExtendedProperty>> extendedProperties() const { return objectsFor<ADExtendedProperty>(); }
  void addExtendedProperty(std::shared_ptr<ADExtendedProperty> v) { addObject(std::move(v), ADExtendedProperty::adClass()); }
  std::shared_ptr<ADExtendedProperty> extendedPropertyForName(const std::string& name) const;
  std::vector<std::shared_ptr<ADContactUserDefinedField>> userDefinedFields() const {
    return objectsFor<ADContactUserDefinedField>();
  }
  void addUserDefinedField(std::shared_ptr<ADContactUserDefinedField> v) {
    addObject(std::move(v), ADContactUserDefinedField::adClass());
  }
  std::vector<std::shared_ptr<ADContactEvent>> events() const { return objectsFor<ADContactEvent>(); }
  void addEvent(std::shared_ptr<ADContactEvent> v) { addObject(std::move(v), ADContactEvent::adClass()); }

  // Plain strings over single elements: "" or nullopt removes the element.
  std::optional<std::string> nickname() const;
  void setNickname(const std::optional<std::string>& v);
  std::optional<std::string> occupation() const;
  void setOccupation(const std::optional<std::string>& v);
  std::optional<std::string> gender() const;
  void setGender(const std::optional<std::string>& v);
  std::optional<std::string> birthday() const;
  void setBirthday(const std::optional<std::string>& v);
  // A birthday without a year ("--MM-dd") reads as that day of 1804 at noon UTC.
  std::optional<ADDateTime> birthdayDate() const;
  void setBirthdayWithDate(const std::optional<ADDateTime>& date);

  std::optional<std::string> priority() const;
  void setPriority(const std::optional<std::string>& rel);
  std::optional<std::string> sensitivity() const;
  void setSensitivity(const std::optional<std::string>& rel);
  std::shared_ptr<ADName> name() const { return objectFor<ADName>(); }
  void setName(std::shared_ptr<ADName> v) { setObject(std::move(v), ADName::adClass()); }
  std::shared_ptr<ADWhere> where() const { return objectFor<ADWhere>(); }
  void setWhere(std::shared_ptr<ADWhere> v) { setObject(std::move(v), ADWhere::adClass()); }
  std::shared_ptr<ADLink> photoLink() const { return linkWithRelAttributeValue(kADContactLinkRelPhoto); }
};

class ADEntryContact : public ADEntryContactBase {
  AD_CLASS(ADEntryContact)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntryContact> contactEntryWithName(std::shared_ptr<ADName> name);
  static std::shared_ptr<ADEntryContact> contactEntryWithFullNameString(const std::optional<std::string>& full);
  static std::shared_ptr<ADEntryContact> contactEntryWithTitle(const std::optional<std::string>& title);
  std::optional<std::string> yomi() const;
  void setYomi(const std::optional<std::string>& v);
  std::vector<std::shared_ptr<ADGroupMembershipInfo>> groupMembershipInfos() const {
    return objectsFor<ADGroupMembershipInfo>();
  }
  void addGroupMembershipInfo(std::shared_ptr<ADGroupMembershipInfo> v) {
    addObject(std::move(v), ADGroupMembershipInfo::adClass());
  }
  void removeGroupMembershipInfo(const ADGroupMembershipInfo& v) { removeObject(v, ADGroupMembershipInfo::adClass()); }
  std::shared_ptr<ADGroupMembershipInfo> groupMembershipInfoWithHref(const std::string& href) const;
};

class ADEntryContactProfile : public ADEntryContactBase { AD_CLASS(ADEntryContactProfile) };

class ADEntryContactGroup : public ADEntryBase {
  AD_CLASS(ADEntryContactGroup)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntryContactGroup> contactGroupEntryWithTitle(const std::optional<std::string>& title);
  std::vector<std::shared_ptr<ADExtendedProperty>> extendedProperties() const { return objectsFor<ADExtendedProperty>(); }
  void addExtendedProperty(std::shared_ptr<ADExtendedProperty> v) { addObject(std::move(v), ADExtendedProperty::adClass()); }
  std::shared_ptr<ADContactSystemGroup> systemGroup() const { return objectFor<ADContactSystemGroup>(); }
  void setSystemGroup(std::shared_ptr<ADContactSystemGroup> v) { setObject(std::move(v), ADContactSystemGroup::adClass()); }
};

class ADFeedContact : public ADFeedBase {
  AD_CLASS(ADFeedContact)
  void addExtensionDeclarations() override;
  const ADClass* classForEntries() const override { return &ADEntryContact::adClass(); }
  static std::shared_ptr<ADFeedContact> contactFeed();
  // Entries, in feed order, with a membership of that group.
  std::vector<std::shared_ptr<ADEntryContact>> entriesWithGroupHref(const std::string& href) const;
};

class ADFeedContactProfile : public ADFeedBase {
  AD_CLASS(ADFeedContactProfile)
  const ADClass* classForEntries() const override { return &ADEntryContactProfile::adClass(); }
};

class ADFeedContactGroup : public ADFeedBase {
  AD_CLASS(ADFeedContactGroup)
  const ADClass* classForEntries() const override { return &ADEntryContactGroup::adClass(); }
  std::shared_ptr<ADEntryContactGroup> entryForSystemGroupID(const std::string& identifier) const;
};

class ADQueryContact : public ADQuery {
 public:
  using ADQuery::ADQuery;
  static std::shared_ptr<ADQueryContact> contactQueryWithFeedURL(std::string url) {
    return std::make_shared<ADQueryContact>(std::move(url));
  }
  static std::shared_ptr<ADQueryContact> contactQueryForUserID(const std::string& userID);
  std::optional<std::string> groupIdentifier() const { return valueForParameterWithName("group"); }
  void setGroupIdentifier(const std::optional<std::string>& v) { addCustomParameterWithName("group", v); }
};

class ADServiceContact : public ADServiceAccount {
 public:
  static constexpr const char kRootURLString[] = "https://contacts.flipdesk.net/m8/feeds/";

  std::string serviceID() const override { return "cp"; }
  std::string serviceRootURLString() const override { return kRootURLString; }
  std::string defaultServiceVersion() const override { return kADContactServiceVersion; }
  ADNamespaces standardServiceNamespaces() const override { return ADContactConstants::contactNamespaces(); }

  // Root, then feed name, user ID and projection, each percent-encoded.
  static std::string contactURLForFeedName(const std::string& feedName, const std::string& userID,
                                           const std::string& projection);
  static std::string contactFeedURLForUserID(const std::string& userID) {
    return contactURLForFeedName("contacts", userID, "full");
  }
  static std::string groupFeedURLForUserID(const std::string& userID) {
    return contactURLForFeedName("groups", userID, "full");
  }
  static std::string contactGroupFeedURLForPropertyName(const std::string& name) {
    return contactURLForFeedName("groups", "default", "property-" + name);
  }
  std::shared_ptr<ADServiceTicket> fetchContactFeedForUsername(const std::string& user, ADServiceCompletion completion) {
    return fetchFeedWithURL(contactFeedURLForUserID(user), std::move(completion));
  }
};
