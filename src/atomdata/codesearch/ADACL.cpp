#include "atomdata/codesearch/ADACL.h"

#define GACL(name) .uri = kADNamespaceACL, .prefix = kADNamespaceACLPrefix, .localName = name

AD_DEFINE_CLASS(ADACLRole, ADObject, GACL("role"))
AD_DEFINE_CLASS(ADACLScope, ADObject, GACL("scope"))
AD_DEFINE_CLASS(ADACLKeyedRole, ADObject, GACL("withKey"))
AD_DEFINE_CLASS(ADEntryACL, ADEntryBase, .standardKind = kADACLKindAccessRule)
AD_DEFINE_CLASS(ADFeedACL, ADFeedBase, .standardKind = kADACLKindAccessRule)

void ADACLRole::addParseDeclarations() { addLocalAttributeDeclarations({"value"}); }

std::shared_ptr<ADACLRole> ADACLRole::roleWithValue(const std::optional<std::string>& value) {
  auto r = std::make_shared<ADACLRole>();
  r->setValue(value);
  return r;
}

void ADACLScope::addParseDeclarations() { addLocalAttributeDeclarations({"type", "value", "name"}); }

std::shared_ptr<ADACLScope> ADACLScope::scopeWithType(const std::optional<std::string>& type,
                                                      const std::optional<std::string>& value) {
  auto s = std::make_shared<ADACLScope>();
  s->setType(type);
  s->setValue(value);
  return s;
}

void ADACLKeyedRole::addParseDeclarations() { addLocalAttributeDeclarations({"key"}); }

void ADACLKeyedRole::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADACLRole::adClass());
}

std::shared_ptr<ADACLKeyedRole> ADACLKeyedRole::keyedRoleWithKey(const std::optional<std::string>& key,
                                                                 const std::optional<std::string>& value) {
  auto k = std::make_shared<ADACLKeyedRole>();
  k->setKey(key);
  k->setRole(ADACLRole::roleWithValue(value));
  return k;
}

ADNamespaces ADEntryACL::ACLNamespaces() {
  ADNamespaces namespaces = ADEntryBase::baseADNamespaces();
  namespaces[kADNamespaceACLPrefix] = kADNamespaceACL;
  return namespaces;
}

std::shared_ptr<ADEntryACL> ADEntryACL::ACLEntryWithScope(std::shared_ptr<ADACLScope> scope,
                                                          std::shared_ptr<ADACLRole> role) {
  auto e = ADObjectWithNamespaces<ADEntryACL>(ACLNamespaces());
  e->setScope(std::move(scope));
  e->setRole(std::move(role));
  return e;
}

void ADEntryACL::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(),
                                        {&ADACLRole::adClass(), &ADACLScope::adClass(), &ADACLKeyedRole::adClass()});
}

std::shared_ptr<ADFeedACL> ADFeedACL::ACLFeed() { return ADObjectWithNamespaces<ADFeedACL>(ADEntryACL::ACLNamespaces()); }

fd::Expected<std::shared_ptr<ADFeedACL>> ADFeedACL::ACLFeedWithXMLData(std::string_view data) {
  return ADFeedWithXMLData<ADFeedACL>(data);
}

std::shared_ptr<ADLink> ACLLink(const ADEntryBase& entry) { return entry.linkWithRelAttributeValue(kADACLLinkRel); }

namespace ad_acl {

namespace {
void addACLNamespacesIfNone(ADEntryACL& entry) {
  if (entry.namespaces().empty()) entry.setNamespaces(ADEntryACL::ACLNamespaces());
}
}  // namespace

std::shared_ptr<ADServiceTicket> fetchACLFeedWithURL(ADServiceAccount& service, const std::string& url,
                                                     ADServiceCompletion completion) {
  return service.fetchFeedWithURL(url, std::move(completion));
}

std::shared_ptr<ADServiceTicket> fetchACLEntryByInsertingEntry(ADServiceAccount& service, ADEntryACL& entry,
                                                               const std::string& feedURL,
                                                               ADServiceCompletion completion) {
  addACLNamespacesIfNone(entry);
  return service.fetchEntryByInsertingEntry(entry, feedURL, std::move(completion));
}

std::shared_ptr<ADServiceTicket> fetchACLEntryByUpdatingEntry(ADServiceAccount& service, ADEntryACL& entry,
                                                              ADServiceCompletion completion) {
  addACLNamespacesIfNone(entry);
  return service.fetchEntryByUpdatingEntry(entry, std::move(completion));
}

std::shared_ptr<ADServiceTicket> fetchACLEntryByUpdatingEntry(ADServiceAccount& service, ADEntryACL& entry,
                                                              const std::string& entryURL,
                                                              ADServiceCompletion completion) {
  addACLNamespacesIfNone(entry);
  return service.fetchEntryByUpdatingEntry(entry, entryURL, std::move(completion));
}

std::shared_ptr<ADServiceTicket> deleteACLEntry(ADServiceAccount& service, const ADEntryACL& entry,
                                                ADServiceCompletion completion) {
  return service.deleteEntry(entry, std::move(completion));
}

void registerClasses() {
  ADEntryBase::registerEntryClass(ADEntryACL::adClass());
  ADFeedBase::registerFeedClass(ADFeedACL::adClass());
}

}  // namespace ad_acl
