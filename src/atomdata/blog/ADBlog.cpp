#include "atomdata/blog/ADBlog.h"

#include <cstdlib>

#include "atomdata/ADUtilities.h"

#define THR(name) .uri = kADNamespaceThreading, .prefix = kADNamespaceThreadingPrefix, .localName = name

AD_DEFINE_CLASS(ADThreadingTotal, ADValueElementConstruct, THR("total"))
AD_DEFINE_CLASS(ADThreadingCount, ADAttribute, THR("count"))
AD_DEFINE_CLASS(ADThreadingUpdated, ADAttribute, THR("updated"))
AD_DEFINE_CLASS(ADInReplyTo, ADObject, THR("in-reply-to"))
AD_DEFINE_CLASS(ADEntryBlog, ADEntryBase, .serviceVersion = kADBlogServiceVersion)
AD_DEFINE_CLASS(ADEntryBlogPost, ADEntryBase, .serviceVersion = kADBlogServiceVersion)
AD_DEFINE_CLASS(ADEntryBlogComment, ADEntryBase, .serviceVersion = kADBlogServiceVersion)
AD_DEFINE_CLASS(ADFeedBlog, ADFeedBase, .serviceVersion = kADBlogServiceVersion)
AD_DEFINE_CLASS(ADFeedBlogPost, ADFeedBase, .serviceVersion = kADBlogServiceVersion)
AD_DEFINE_CLASS(ADFeedBlogComment, ADFeedBase, .serviceVersion = kADBlogServiceVersion)

ADNamespaces ADBlogConstants::blogNamespaces() {
  ADNamespaces namespaces = ADEntryBase::baseADNamespaces();
  namespaces[kADNamespaceThreadingPrefix] = kADNamespaceThreading;
  return namespaces;
}

// --- Threading ---

void ADInReplyTo::addParseDeclarations() { addLocalAttributeDeclarations({"href", "ref", "source", "type"}); }

std::shared_ptr<ADInReplyTo> ADInReplyTo::inReplyToWithHref(const std::optional<std::string>& href,
                                                            const std::optional<std::string>& ref,
                                                            const std::optional<std::string>& source,
                                                            const std::optional<std::string>& type) {
  auto r = std::make_shared<ADInReplyTo>();
  r->setHref(href);
  r->setRef(ref);
  r->setSource(source);
  r->setType(type);
  return r;
}

void ADThreadingLink::addThreadingLinkExtensionDeclarationsToObject(ADObject& object) {
  object.addAttributeExtensionDeclarationForParentClass(ADLink::adClass(), ADThreadingCount::adClass());
  object.addAttributeExtensionDeclarationForParentClass(ADLink::adClass(), ADThreadingUpdated::adClass());
}

std::optional<int> ADThreadingLink::threadingCountForLink(const ADLink& link) {
  std::optional<std::string> text = link.attributeValueForExtensionClass(ADThreadingCount::adClass());
  if (!text || text->empty()) return std::nullopt;
  return std::atoi(text->c_str());
}

void ADThreadingLink::setThreadingCount(std::optional<int> count, ADLink& link) {
  link.setAttributeValue(count ? std::optional<std::string>(std::to_string(*count)) : std::nullopt,
                         ADThreadingCount::adClass());
}

std::optional<ADDateTime> ADThreadingLink::threadingUpdatedDateForLink(const ADLink& link) {
  std::optional<std::string> text = link.attributeValueForExtensionClass(ADThreadingUpdated::adClass());
  if (!text || text->empty()) return std::nullopt;
  return ADDateTime::dateTimeWithRFC3339String(*text);
}

void ADThreadingLink::setThreadingUpdatedDate(const std::optional<ADDateTime>& date, ADLink& link) {
  link.setAttributeValue(date ? std::optional<std::string>(date->RFC3339String()) : std::nullopt,
                         ADThreadingUpdated::adClass());
}

// --- Entries and feeds ---

template <typename T>
static std::shared_ptr<T> withBlogNamespaces() {
  return ADObjectWithNamespaces<T>(ADBlogConstants::blogNamespaces());
}

std::shared_ptr<ADEntryBlog> ADEntryBlog::blogEntry() { return withBlogNamespaces<ADEntryBlog>(); }
std::shared_ptr<ADEntryBlogPost> ADEntryBlogPost::postEntry() { return withBlogNamespaces<ADEntryBlogPost>(); }
std::shared_ptr<ADEntryBlogComment> ADEntryBlogComment::commentEntry() { return withBlogNamespaces<ADEntryBlogComment>(); }
std::shared_ptr<ADFeedBlog> ADFeedBlog::blogFeed() { return withBlogNamespaces<ADFeedBlog>(); }
std::shared_ptr<ADFeedBlogPost> ADFeedBlogPost::blogPostFeed() { return withBlogNamespaces<ADFeedBlogPost>(); }

void ADEntryBlogPost::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), {&ADMediaThumbnail::adClass(), &ADThreadingTotal::adClass()});
  // A post's replies links carry the thread's size and last change.
  ADThreadingLink::addThreadingLinkExtensionDeclarationsToObject(*this);
}

std::optional<int> ADEntryBlogPost::total() const {
  auto t = objectFor<ADThreadingTotal>();
  return t ? t->intNumberValue() : std::nullopt;
}

void ADEntryBlogPost::setTotal(std::optional<int> total) {
  setObject(ADValueConstruct::valueWithNumber<ADThreadingTotal>(total), ADThreadingTotal::adClass());
}

void ADEntryBlogComment::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADInReplyTo::adClass());
}

std::string ADServiceBlog::blogFeedURLForUserID(const std::string& userID) {
  return std::string(kRootURLString) + ADUtilities::stringByURLEncodingForURI(userID) + "/blogs";
}
