#pragma once
// The webmaster tools family: verified sites with their crawl settings and
// verification methods, crawl issues, sitemaps of three kinds, messages and
// keywords. Every feed lets the kind maps choose its entries' classes.
#include <optional>
#include <string>
#include <vector>

#include "atomdata/ADConstants.h"
#include "atomdata/ADService.h"
#include "atomdata/gd/ADGDElements.h"

inline constexpr const char kADNamespaceWebmasterTools[] = AD_SCHEMA_ROOT "/webmasters/tools/2007";
inline constexpr const char kADNamespaceWebmasterToolsPrefix[] = "wt";
inline constexpr const char kADWebmasterToolsServiceVersion[] = "2.0";
#define AD_WT_TERM(fragment) AD_SCHEMA_ROOT "/webmasters/tools/2007#" fragment
inline constexpr const char kADWebmasterKindSite[] = AD_WT_TERM("site-info");
inline constexpr const char kADWebmasterKindCrawlIssue[] = AD_WT_TERM("crawl_issue_entry");
inline constexpr const char kADWebmasterKindSitemapRegular[] = AD_WT_TERM("sitemap-regular");
inline constexpr const char kADWebmasterKindSitemapMobile[] = AD_WT_TERM("sitemap-mobile");
inline constexpr const char kADWebmasterKindSitemapNews[] = AD_WT_TERM("sitemap-news");
inline constexpr const char kADWebmasterKindMessage[] = AD_WT_TERM("message");
inline constexpr const char kADWebmasterKindSitesFeed[] = AD_WT_TERM("sites-feed");
inline constexpr const char kADWebmasterKindKeyword[] = AD_WT_TERM("keyword_entry");
inline constexpr const char kADWebmasterKindSitemapsFeed[] = AD_WT_TERM("sitemaps-feed");
inline constexpr const char kADWebmasterKindMessagesFeed[] = AD_WT_TERM("messages-feed");
inline constexpr const char kADWebmasterRelVerification[] = AD_WT_TERM("verification");
inline constexpr const char kADWebmasterRelSitemaps[] = AD_WT_TERM("sitemaps");
#undef AD_WT_TERM

class ADWebmasterToolsConstants {
 public:
  // wt merged with the base namespaces.
  static ADNamespaces webmasterToolsNamespaces();
  static void registerClasses();
};

#define AD_WT_VALUE(Cls) \
  class Cls : public ADValueElementConstruct { AD_CLASS(Cls) };
AD_WT_VALUE(ADSiteCrawledDate)
AD_WT_VALUE(ADSiteVerified)
AD_WT_VALUE(ADSiteIndexed)
AD_WT_VALUE(ADSiteGeoLocation)
AD_WT_VALUE(ADSiteCrawlRate)
AD_WT_VALUE(ADSitePreferredDomain)
AD_WT_VALUE(ADSiteEnhancedImageSearch)
AD_WT_VALUE(ADSiteCrawlType)
AD_WT_VALUE(ADSiteCrawlIssueDateDetected)
AD_WT_VALUE(ADSiteCrawlIssueDetail)
AD_WT_VALUE(ADSiteCrawlIssueType)
AD_WT_VALUE(ADSiteCrawlIssueURL)
AD_WT_VALUE(ADSiteCrawlIssueLinkedFrom)
AD_WT_VALUE(ADSitemapStatus)
AD_WT_VALUE(ADSitemapLastDownloaded)
AD_WT_VALUE(ADSitemapURLCount)
AD_WT_VALUE(ADSitemapType)
AD_WT_VALUE(ADSitemapMobileMarkupLanguage)
AD_WT_VALUE(ADSitemapNewsPublicationLabel)
AD_WT_VALUE(ADSitemapMarkupLanguage)
AD_WT_VALUE(ADSitemapPublicationLabel)
AD_WT_VALUE(ADSiteMessageBody)
AD_WT_VALUE(ADSiteMessageDate)
AD_WT_VALUE(ADSiteMessageLanguage)
AD_WT_VALUE(ADSiteMessageRead)
AD_WT_VALUE(ADSiteMessageSubject)
#undef AD_WT_VALUE

class ADSiteVerificationMethod : public ADObject {
  AD_CLASS(ADSiteVerificationMethod)
  void addParseDeclarations() override;
  static std::shared_ptr<ADSiteVerificationMethod> verificationMethodWithType(const std::optional<std::string>& type,
                                                                             const std::optional<std::string>& value,
                                                                             bool isInUse);
  std::optional<std::string> type() const { return stringValueForAttribute("type"); }
  void setType(const std::optional<std::string>& v) { setStringValue(v, "type"); }
  bool isInUse() const { return boolValueForAttribute("in-use", false); }
  void setIsInUse(bool v) { setBoolValue(v, false, "in-use"); }
  std::optional<std::string> value() const { return contentStringValue(); }
  void setValue(const std::optional<std::string>& v) { setContentStringValue(v); }
  const std::vector<ADXMLNode>& XMLValues() const { return childXMLElements(); }
  void setXMLValues(std::vector<ADXMLNode> values) { setChildXMLElements(std::move(values)); }
};

class ADSiteKeyword : public ADObject {
  AD_CLASS(ADSiteKeyword)
  void addParseDeclarations() override;
  static std::shared_ptr<ADSiteKeyword> keywordWithSource(const std::optional<std::string>& source,
                                                          const std::optional<std::string>& value);
  std::optional<std::string> source() const { return stringValueForAttribute("source"); }
  void setSource(const std::optional<std::string>& v) { ADObject::setStringValue(v, "source"); }
  std::optional<std::string> stringValue() const { return contentStringValue(); }
  void setStringValue(const std::optional<std::string>& v) { setContentStringValue(v); }
};

class ADSitemapMobile : public ADObject {
  AD_CLASS(ADSitemapMobile)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADSitemapMobile> sitemapMobile() { return std::make_shared<ADSitemapMobile>(); }
  AD_OBJECT_CHILDREN(ADSitemapMarkupLanguage, markupLanguages, MarkupLanguages, MarkupLanguage)
};

class ADSitemapNews : public ADObject {
  AD_CLASS(ADSitemapNews)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADSitemapNews> sitemapNews() { return std::make_shared<ADSitemapNews>(); }
  AD_OBJECT_CHILDREN(ADSitemapPublicationLabel, publicationLabels, PublicationLabels, PublicationLabel)
};

// A flag that reads false when absent and is always written "true" or "false".
#define AD_WT_FLAG(Cls, get, Set)                                               \
  bool get() const {                                                            \
    auto c = objectFor<Cls>();                                                  \
    return c && c->boolValue();                                                 \
  }                                                                             \
  void set##Set(bool v) { setObject(ADValueConstruct::valueWithBool<Cls>(v), Cls::adClass()); }

class ADEntrySite : public ADEntryBase {
  AD_CLASS(ADEntrySite)
  static ADNamespaces webmasterToolsNamespaces() { return ADWebmasterToolsConstants::webmasterToolsNamespaces(); }
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntrySite> siteEntry();
  AD_WT_FLAG(ADSiteIndexed, isIndexed, IsIndexed)
  AD_WT_FLAG(ADSiteVerified, isVerified, IsVerified)
  AD_WT_FLAG(ADSiteEnhancedImageSearch, hasEnhancedImageSearch, HasEnhancedImageSearch)
  AD_DATETIME_CHILD(ADSiteCrawledDate, crawledDate, CrawledDate)
  AD_STRING_CHILD(ADSiteGeoLocation, geoLocation, GeoLocation)
  AD_STRING_CHILD(ADSiteCrawlRate, crawlRate, CrawlRate)
  AD_STRING_CHILD(ADSitePreferredDomain, preferredDomain, PreferredDomain)
  AD_OBJECT_CHILDREN(ADSiteVerificationMethod, verificationMethods, VerificationMethods, VerificationMethod)
  AD_OBJECT_CHILDREN(ADEntryLink, entryLinks, EntryLinks, EntryLink)
  std::shared_ptr<ADEntryLink> verificationEntryLink() const { return entryLinkWithRel(kADWebmasterRelVerification); }
  std::shared_ptr<ADEntryLink> sitemapsEntryLink() const { return entryLinkWithRel(kADWebmasterRelSitemaps); }
  std::shared_ptr<ADSiteVerificationMethod> verificationMethodInUse() const;

 private:
  std::shared_ptr<ADEntryLink> entryLinkWithRel(const char* rel) const;
};

class ADEntrySiteCrawlIssue : public ADEntryBase {
  AD_CLASS(ADEntrySiteCrawlIssue)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntrySiteCrawlIssue> crawlIssueEntry();
  AD_STRING_CHILD(ADSiteCrawlType, crawlType, CrawlType)
  AD_STRING_CHILD(ADSiteCrawlIssueDetail, detail, Detail)
  AD_STRING_CHILD(ADSiteCrawlIssueType, issueType, IssueType)
  AD_STRING_CHILD(ADSiteCrawlIssueURL, issueURLString, IssueURLString)
  AD_DATETIME_CHILD(ADSiteCrawlIssueDateDetected, detectedDate, DetectedDate)
  // The linked-from texts in order; nullopt when there are none.
  std::optional<std::vector<std::string>> issueLinkedFromURLStrings() const;
  void setIssueLinkedFromURLStrings(const std::optional<std::vector<std::string>>& urls);
  void addIssueLinkedFromURLString(const std::string& url);
};

class ADEntrySitemapBase : public ADEntryBase {
  AD_CLASS(ADEntrySitemapBase)
  void addExtensionDeclarations() override;
  template <typename T>
  static std::shared_ptr<T> sitemapEntry() {
    return ADObjectWithNamespaces<T>(ADWebmasterToolsConstants::webmasterToolsNamespaces());
  }
  AD_STRING_CHILD(ADSitemapStatus, sitemapStatus, SitemapStatus)
  AD_DATETIME_CHILD(ADSitemapLastDownloaded, lastDownloadDate, LastDownloadDate)
  AD_INT_CHILD(ADSitemapURLCount, sitemapURLCount, SitemapURLCount)
};

class ADEntrySitemapRegular : public ADEntrySitemapBase {
  AD_CLASS(ADEntrySitemapRegular)
  void addExtensionDeclarations() override;
  AD_STRING_CHILD(ADSitemapType, sitemapType, SitemapType)
};
class ADEntrySitemapMobile : public ADEntrySitemapBase {
  AD_CLASS(ADEntrySitemapMobile)
  void addExtensionDeclarations() override;
  AD_STRING_CHILD(ADSitemapMobileMarkupLanguage, markupLanguage, MarkupLanguage)
};
class ADEntrySitemapNews : public ADEntrySitemapBase {
  AD_CLASS(ADEntrySitemapNews)
  void addExtensionDeclarations() override;
  AD_STRING_CHILD(ADSitemapNewsPublicationLabel, publicationLabel, PublicationLabel)
};

class ADEntrySiteMessage : public ADEntryBase {
  AD_CLASS(ADEntrySiteMessage)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntrySiteMessage> messageEntry();
  AD_STRING_CHILD(ADSiteMessageBody, body, Body)
  AD_STRING_CHILD(ADSiteMessageLanguage, language, Language)
  AD_STRING_CHILD(ADSiteMessageSubject, subject, Subject)
  AD_DATETIME_CHILD(ADSiteMessageDate, messageDate, MessageDate)
  AD_BOOL_CHILD(ADSiteMessageRead, read, Read)
};
#undef AD_WT_FLAG

class ADFeedSite : public ADFeedBase {
  AD_CLASS(ADFeedSite)
  static std::shared_ptr<ADFeedSite> siteFeed();
};
class ADFeedSiteCrawlIssue : public ADFeedBase {
  AD_CLASS(ADFeedSiteCrawlIssue)
  static std::shared_ptr<ADFeedSiteCrawlIssue> crawlIssueFeed();
};
class ADFeedSiteKeyword : public ADFeedBase {
  AD_CLASS(ADFeedSiteKeyword)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADFeedSiteKeyword> siteKeywordFeed();
  AD_OBJECT_CHILDREN(ADSiteKeyword, keywords, Keywords, Keyword)
  std::vector<std::shared_ptr<ADSiteKeyword>> keywordsWithSource(const std::string& source) const;
};
class ADFeedSitemap : public ADFeedBase {
  AD_CLASS(ADFeedSitemap)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADFeedSitemap> sitemapFeed();
  AD_OBJECT_CHILD(ADSitemapMobile, sitemapMobile, SitemapMobile)
  AD_OBJECT_CHILD(ADSitemapNews, sitemapNews, SitemapNews)
};
class ADFeedSiteMessage : public ADFeedBase {
  AD_CLASS(ADFeedSiteMessage)
  static std::shared_ptr<ADFeedSiteMessage> messageFeed();
};

class ADServiceWebmasterTools : public ADServiceAccount {
 public:
  static constexpr const char kRootURLString[] = "https://webmaster.flipdesk.net/webmasters/tools/feeds/";
  std::string serviceID() const override { return "sitemaps"; }
  std::string serviceRootURLString() const override { return kRootURLString; }
  std::string defaultServiceVersion() const override { return kADWebmasterToolsServiceVersion; }
  ADNamespaces standardServiceNamespaces() const override {
    return ADWebmasterToolsConstants::webmasterToolsNamespaces();
  }
  // The site ID (often a URL itself) becomes one encoded path segment.
  static std::string webmasterToolsFeedURLForSiteID(const std::string& siteID, const std::string& feedType);
};
