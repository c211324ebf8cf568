#pragma once
// The blog family: blogs, posts and comments of a weblog service, with the
// Atom threading elements comments use to name what they answer. No blog
// class names a kind, so they are used only where a caller names them.
#include <optional>
#include <string>

#include "atomdata/ADConstants.h"
#include "atomdata/ADService.h"

inline constexpr const char kADNamespaceThreading[] = "http://purl.org/syndication/thread/1.0";
inline constexpr const char kADNamespaceThreadingPrefix[] = "thr";
inline constexpr const char kADBlogServiceVersion[] = "2.0";
inline constexpr const char kADBlogLinkRelSettings[] = AD_SCHEMA_ROOT "/blog/2008#settings";
inline constexpr const char kADBlogLinkRelTemplate[] = AD_SCHEMA_ROOT "/blog/2008#template";

class ADBlogConstants {
 public:
  // The base namespaces plus "thr".
  static ADNamespaces blogNamespaces();
};

// --- Atom threading ---
class ADThreadingTotal : public ADValueElementConstruct { AD_CLASS(ADThreadingTotal) };
class ADThreadingCount : public ADAttribute { AD_CLASS(ADThreadingCount) };
class ADThreadingUpdated : public ADAttribute { AD_CLASS(ADThreadingUpdated) };

class ADInReplyTo : public ADObject {
  AD_CLASS(ADInReplyTo)
  void addParseDeclarations() override;
  static std::shared_ptr<ADInReplyTo> inReplyToWithHref(const std::optional<std::string>& href,
                                                        const std::optional<std::string>& ref,
                                                        const std::optional<std::string>& source,
                                                        const std::optional<std::string>& type);
  std::optional<std::string> href() const { return stringValueForAttribute("href"); }
  void setHref(const std::optional<std::string>& v) { setStringValue(v, "href"); }
  std::optional<std::string> ref() const { return stringValueForAttribute("ref"); }
  void setRef(const std::optional<std::string>& v) { setStringValue(v, "ref"); }
  std::optional<std::string> source() const { return stringValueForAttribute("source"); }
  void setSource(const std::optional<std::string>& v) { setStringValue(v, "source"); }
  std::optional<std::string> type() const { return stringValueForAttribute("type"); }
  void setType(const std::optional<std::string>& v) { setStringValue(v, "type"); }
};

// The threading attributes of Atom links.
class ADThreadingLink {
 public:
  static void addThreadingLinkExtensionDeclarationsToObject(ADObject& object);
  // nullopt when absent or empty.
  static std::optional<int> threadingCountForLink(const ADLink& link);
  static void setThreadingCount(std::optional<int> count, ADLink& link);
  static std::optional<ADDateTime> threadingUpdatedDateForLink(const ADLink& link);
  static void setThreadingUpdatedDate(const std::optional<ADDateTime>& date, ADLink& link);
};

// --- Entries and feeds ---
class ADEntryBlog : public ADEntryBase {
  AD_CLASS(ADEntryBlog)
  static std::shared_ptr<ADEntryBlog> blogEntry();
  std::shared_ptr<ADLink> repliesLink() const { return linkWithRelAttributeValue("replies"); }
  std::shared_ptr<ADLink> settingsLink() const { return linkWithRelAttributeValue(kADBlogLinkRelSettings); }
  std::shared_ptr<ADLink> templateLink() const { return linkWithRelAttributeValue(kADBlogLinkRelTemplate); }
};

class ADEntryBlogPost : public ADEntryBase {
  AD_CLASS(ADEntryBlogPost)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntryBlogPost> postEntry();
  std::shared_ptr<ADMediaThumbnail> thumbnail() const { return objectFor<ADMediaThumbnail>(); }
  void setThumbnail(std::shared_ptr<ADMediaThumbnail> v) { setObject(std::move(v), ADMediaThumbnail::adClass()); }
  std::optional<int> total() const;
  void setTotal(std::optional<int> total);
  std::shared_ptr<ADLink> enclosureLink() const { return linkWithRelAttributeValue("enclosure"); }
  std::shared_ptr<ADLink> repliesAtomLink() const {
    return linkWithRelAttributeValue("replies", std::string("application/atom+xml"));
  }
  std::shared_ptr<ADLink> repliesHTMLLink() const { return linkWithRelAttributeValue("replies", std::string("text/html")); }
};

class ADEntryBlogComment : public ADEntryBase {
  AD_CLASS(ADEntryBlogComment)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntryBlogComment> commentEntry();
  std::shared_ptr<ADInReplyTo> inReplyTo() const { return objectFor<ADInReplyTo>(); }
  void setInReplyTo(std::shared_ptr<ADInReplyTo> v) { setObject(std::move(v), ADInReplyTo::adClass()); }
  std::shared_ptr<ADLink> repliesLink() const { return linkWithRelAttributeValue("replies"); }
};

class ADFeedBlog : public ADFeedBase {
  AD_CLASS(ADFeedBlog)
  static std::shared_ptr<ADFeedBlog> blogFeed();
  const ADClass* classForEntries() const override { return &ADEntryBlog::adClass(); }
};

class ADFeedBlogPost : public ADFeedBase {
  AD_CLASS(ADFeedBlogPost)
  static std::shared_ptr<ADFeedBlogPost> blogPostFeed();
  const ADClass* classForEntries() const override { return &ADEntryBlogPost::adClass(); }
};

class ADFeedBlogComment : public ADFeedBase {
  AD_CLASS(ADFeedBlogComment)
  const ADClass* classForEntries() const override { return &ADEntryBlogComment::adClass(); }
};

// --- Service ---
class ADServiceBlog : public ADServiceTypedFetchesOnly {
 public:
  static constexpr const char kRootURLString[] = "http://blogs.flipdesk.net/feeds/";
  std::string serviceID() const override { return "blog"; }
  std::string serviceRootURLString() const override { return kRootURLString; }
  std::string defaultServiceVersion() const override { return kADBlogServiceVersion; }
  ADNamespaces standardServiceNamespaces() const override { return ADBlogConstants::blogNamespaces(); }
  // Root, the percent-encoded user ID, then "/blogs".
  static std::string blogFeedURLForUserID(const std::string& userID);
};
