#pragma once
// Access-control lists: who (a scope) may do what (a role) with a shared
// resource. Any entry may point to its list; any service can post rules with
// the list's namespaces.
#include <optional>
#include <string>

#include "atomdata/ADConstants.h"
#include "atomdata/ADService.h"

inline constexpr const char kADNamespaceACL[] = AD_SCHEMA_ROOT "/acl/2007";
inline constexpr const char kADNamespaceACLPrefix[] = "gAcl";
inline constexpr const char kADACLKindAccessRule[] = AD_SCHEMA_ROOT "/acl/2007#accessRule";
inline constexpr const char kADACLLinkRel[] = AD_SCHEMA_ROOT "/acl/2007#accessControlList";
inline constexpr const char kADACLLinkRelControlledObject[] = AD_SCHEMA_ROOT "/acl/2007#controlledObject";

class ADACLRole : public ADObject {
  AD_CLASS(ADACLRole)
  void addParseDeclarations() override;
  static std::shared_ptr<ADACLRole> roleWithValue(const std::optional<std::string>& value);
  std::optional<std::string> value() const { return stringValueForAttribute("value"); }
  void setValue(const std::optional<std::string>& v) { setStringValue(v, "value"); }
};

class ADACLScope : public ADObject {
  AD_CLASS(ADACLScope)
  void addParseDeclarations() override;
  static std::shared_ptr<ADACLScope> scopeWithType(const std::optional<std::string>& type,
                                                   const std::optional<std::string>& value);
  std::optional<std::string> type() const { return stringValueForAttribute("type"); }
  void setType(const std::optional<std::string>& v) { setStringValue(v, "type"); }
  std::optional<std::string> value() const { return stringValueForAttribute("value"); }
  void setValue(const std::optional<std::string>& v) { setStringValue(v, "value"); }
  std::optional<std::string> name() const { return stringValueForAttribute("name"); }
  void setName(const std::optional<std::string>& v) { setStringValue(v, "name"); }
};

class ADACLKeyedRole : public ADObject {
  AD_CLASS(ADACLKeyedRole)
  void addParseDeclarations() override;
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADACLKeyedRole> keyedRoleWithKey(const std::optional<std::string>& key,
                                                          const std::optional<std::string>& value);
  std::optional<std::string> key() const { return stringValueForAttribute("key"); }
  void setKey(const std::optional<std::string>& v) { setStringValue(v, "key"); }
  std::shared_ptr<ADACLRole> role() const { return objectFor<ADACLRole>(); }
  void setRole(std::shared_ptr<ADACLRole> v) { setObject(std::move(v), ADACLRole::adClass()); }
};

class ADEntryACL : public ADEntryBase {
  AD_CLASS(ADEntryACL)
  // The base namespaces plus "gAcl".
  static ADNamespaces ACLNamespaces();
  static std::shared_ptr<ADEntryACL> ACLEntryWithScope(std::shared_ptr<ADACLScope> scope,
                                                      std::shared_ptr<ADACLRole> role);
  void addExtensionDeclarations() override;
  std::shared_ptr<ADACLScope> scope() const { return objectFor<ADACLScope>(); }
  void setScope(std::shared_ptr<ADACLScope> v) { setObject(std::move(v), ADACLScope::adClass()); }
  std::shared_ptr<ADACLRole> role() const { return objectFor<ADACLRole>(); }
  void setRole(std::shared_ptr<ADACLRole> v) { setObject(std::move(v), ADACLRole::adClass()); }
  std::shared_ptr<ADACLKeyedRole> keyedRole() const { return objectFor<ADACLKeyedRole>(); }
  void setKeyedRole(std::shared_ptr<ADACLKeyedRole> v) { setObject(std::move(v), ADACLKeyedRole::adClass()); }
  std::shared_ptr<ADLink> controlledObjectLink() const { return linkWithRelAttributeValue(kADACLLinkRelControlledObject); }
};

class ADFeedACL : public ADFeedBase {
  AD_CLASS(ADFeedACL)
  static std::shared_ptr<ADFeedACL> ACLFeed();
  static fd::Expected<std::shared_ptr<ADFeedACL>> ACLFeedWithXMLData(std::string_view data);
  const ADClass* classForEntries() const override { return &ADEntryACL::adClass(); }
};

// What every entry and service gains from access-control lists.
// The entry's link to its access-control list; null when it has none.
std::shared_ptr<ADLink> ACLLink(const ADEntryBase& entry);

namespace ad_acl {
std::shared_ptr<ADServiceTicket> fetchACLFeedWithURL(ADServiceAccount& service, const std::string& url,
                                                     ADServiceCompletion completion);
// The inserts and updates give an entry without namespace declarations of its
// own the access-control namespaces first.
std::shared_ptr<ADServiceTicket> fetchACLEntryByInsertingEntry(ADServiceAccount& service, ADEntryACL& entry,
                                                               const std::string& feedURL,
                                                               ADServiceCompletion completion);
std::shared_ptr<ADServiceTicket> fetchACLEntryByUpdatingEntry(ADServiceAccount& service, ADEntryACL& entry,
                                                              ADServiceCompletion completion);
std::shared_ptr<ADServiceTicket> fetchACLEntryByUpdatingEntry(ADServiceAccount& service, ADEntryACL& entry,
                                                              const std::string& entryURL,
                                                              ADServiceCompletion completion);
std::shared_ptr<ADServiceTicket> deleteACLEntry(ADServiceAccount& service, const ADEntryACL& entry,
                                                ADServiceCompletion completion);
// Enters the access-control entry and feed classes in the kind maps.
void registerClasses();
}  // namespace ad_acl
