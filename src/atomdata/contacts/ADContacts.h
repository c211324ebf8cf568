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

  // Repeated children: a list getter and setter and an add form; most also a
  // remove form and a primary pair.
#define AD_CONTACT_LIST(Type, list, List, One)                                                          \
  std::vector<std::shared_ptr<Type>> list() const { return objectsFor<Type>(); }                        \
  void set##List(const std::vector<std::shared_ptr<Type>>& v) { setObjects(v, Type::adClass()); }       \
  void add##One(std::shared_ptr<Type> v) { addObject(std::move(v), Type::adClass()); }
#define AD_CONTACT_REMOVE(Type, One) \
  void remove##One(const Type& v) { removeObject(v, Type::adClass()); }
#define AD_CONTACT_PRIMARY(Type, One)                                                                           \
  std::shared_ptr<Type> primary##One() const {                                                                  \
    return std::dynamic_pointer_cast<Type>(primaryObjectForExtensionClass(Type::adClass()));                    \
  }                                                                                                             \
  void setPrimary##One(std::shared_ptr<Type> v) { setPrimaryObject(v, Type::adClass()); }

  AD_CONTACT_LIST(ADOrganization, organizations, Organizations, Organization)
  AD_CONTACT_REMOVE(ADOrganization, Organization)
  AD_CONTACT_PRIMARY(ADOrganization, Organization)
  AD_CONTACT_LIST(ADEmail, emailAddresses, EmailAddresses, EmailAddress)
  AD_CONTACT_REMOVE(ADEmail, EmailAddress)
  AD_CONTACT_PRIMARY(ADEmail, EmailAddress)
  AD_CONTACT_LIST(ADIM, IMAddresses, IMAddresses, IMAddress)
  AD_CONTACT_REMOVE(ADIM, IMAddress)
  AD_CONTACT_PRIMARY(ADIM, IMAddress)
  AD_CONTACT_LIST(ADPhoneNumber, phoneNumbers, PhoneNumbers, PhoneNumber)
  AD_CONTACT_REMOVE(ADPhoneNumber, PhoneNumber)
  AD_CONTACT_PRIMARY(ADPhoneNumber, PhoneNumber)
  AD_CONTACT_LIST(ADPostalAddress, postalAddresses, PostalAddresses, PostalAddress)
  AD_CONTACT_REMOVE(ADPostalAddress, PostalAddress)
  AD_CONTACT_PRIMARY(ADPostalAddress, PostalAddress)
  AD_CONTACT_LIST(ADStructuredPostalAddress, structuredPostalAddresses, StructuredPostalAddresses, StructuredPostalAddress)
  AD_CONTACT_REMOVE(ADStructuredPostalAddress, StructuredPostalAddress)
  AD_CONTACT_PRIMARY(ADStructuredPostalAddress, StructuredPostalAddress)
  AD_CONTACT_LIST(ADContactCalendarLink, calendarLinks, CalendarLinks, CalendarLink)
  AD_CONTACT_REMOVE(ADContactCalendarLink, CalendarLink)
  AD_CONTACT_PRIMARY(ADContactCalendarLink, CalendarLink)
  AD_CONTACT_LIST(ADContactWebsiteLink, websiteLinks, WebsiteLinks, WebsiteLink)
  AD_CONTACT_REMOVE(ADContactWebsiteLink, WebsiteLink)
  AD_CONTACT_PRIMARY(ADContactWebsiteLink, WebsiteLink)
  AD_CONTACT_LIST(ADExtendedProperty, extendedProperties, ExtendedProperties, ExtendedProperty)
  AD_CONTACT_REMOVE(ADExtendedProperty, ExtendedProperty)
  AD_CONTACT_LIST(ADContactUserDefinedField, userDefinedFields, UserDefinedFields, UserDefinedField)
  AD_CONTACT_REMOVE(ADContactUserDefinedField, UserDefinedField)
  AD_CONTACT_LIST(ADContactEvent, events, Events, Event)
  AD_CONTACT_LIST(ADContactExternalID, externalIDs, ExternalIDs, ExternalID)
  AD_CONTACT_LIST(ADContactHobby, hobbies, Hobbies, Hobby)
  AD_CONTACT_LIST(ADContactJot, jots, Jots, Jot)
  AD_CONTACT_LIST(ADContactLanguage, languages, Languages, Language)
  AD_CONTACT_LIST(ADContactRelation, relations, Relations, Relation)
#undef AD_CONTACT_PRIMARY
#undef AD_CONTACT_REMOVE
#undef AD_CONTACT_LIST

  // The first extended property with that name; null when there is none.
  std::shared_ptr<ADExtendedProperty> extendedPropertyForName(const std::string& name) const;

  // Plain strings over single elements: "" or nullopt removes the element.
  std::optional<std::string> billingInformation() const;
  void setBillingInformation(const std::optional<std::string>& v);
  std::optional<std::string> birthday() const;
  void setBirthday(const std::optional<std::string>& v);
  std::optional<std::string> directoryServer() const;
  void setDirectoryServer(const std::optional<std::string>& v);
  std::optional<std::string> gender() const;
  void setGender(const std::optional<std::string>& v);
  std::optional<std::string> initials() const;
  void setInitials(const std::optional<std::string>& v);
  std::optional<std::string> maidenName() const;
  void setMaidenName(const std::optional<std::string>& v);
  std::optional<std::string> mileage() const;
  void setMileage(const std::optional<std::string>& v);
  std::optional<std::string> nickname() const;
  void setNickname(const std::optional<std::string>& v);
  std::optional<std::string> occupation() const;
  void setOccupation(const std::optional<std::string>& v);
  std::optional<std::string> shortName() const;
  void setShortName(const std::optional<std::string>& v);
  std::optional<std::string> subject() const;
  void setSubject(const std::optional<std::string>& v);
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

class ADEntryContactProfile : public ADEntryContactBase {
  AD_CLASS(ADEntryContactProfile)
  static std::shared_ptr<ADEntryContactProfile> contactProfileEntry();
};

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
  static std::shared_ptr<ADFeedContactProfile> contactProfileFeed();
  const ADClass* classForEntries() const override { return &ADEntryContactProfile::adClass(); }
};

class ADFeedContactGroup : public ADFeedBase {
  AD_CLASS(ADFeedContactGroup)
  static std::shared_ptr<ADFeedContactGroup> contactGroupFeed();
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
  static std::string contactFeedURLForUserID(const std::string& userID, const std::string& projection) {
    return contactURLForFeedName("contacts", userID, projection);
  }
  static std::string contactFeedURLForPropertyName(const std::string& name) {
    return contactURLForFeedName("contacts", "default", "property-" + name);
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
