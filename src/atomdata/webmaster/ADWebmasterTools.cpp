#include "atomdata/webmaster/ADWebmasterTools.h"

#include "atomdata/ADUtilities.h"

#define WT(name) .uri = kADNamespaceWebmasterTools, .prefix = kADNamespaceWebmasterToolsPrefix, .localName = name
#define WT_KIND(kind) .standardKind = kind, .serviceVersion = kADWebmasterToolsServiceVersion

AD_DEFINE_CLASS(ADSiteCrawledDate, ADValueElementConstruct, WT("crawled"))
AD_DEFINE_CLASS(ADSiteVerified, ADValueElementConstruct, WT("verified"))
AD_DEFINE_CLASS(ADSiteIndexed, ADValueElementConstruct, WT("indexed"))
AD_DEFINE_CLASS(ADSiteGeoLocation, ADValueElementConstruct, WT("geolocation"))
AD_DEFINE_CLASS(ADSiteCrawlRate, ADValueElementConstruct, WT("crawl-rate"))
AD_DEFINE_CLASS(ADSitePreferredDomain, ADValueElementConstruct, WT("preferred-domain"))
AD_DEFINE_CLASS(ADSiteEnhancedImageSearch, ADValueElementConstruct, WT("enhanced-image-search"))
AD_DEFINE_CLASS(ADSiteCrawlType, ADValueElementConstruct, WT("crawl-type"))
AD_DEFINE_CLASS(ADSiteCrawlIssueDateDetected, ADValueElementConstruct, WT("date-detected"))
AD_DEFINE_CLASS(ADSiteCrawlIssueDetail, ADValueElementConstruct, WT("detail"))
AD_DEFINE_CLASS(ADSiteCrawlIssueType, ADValueElementConstruct, WT("issue-type"))
AD_DEFINE_CLASS(ADSiteCrawlIssueURL, ADValueElementConstruct, WT("url"))
AD_DEFINE_CLASS(ADSiteCrawlIssueLinkedFrom, ADValueElementConstruct, WT("linked-from"))
AD_DEFINE_CLASS(ADSitemapStatus, ADValueElementConstruct, WT("sitemap-status"))
AD_DEFINE_CLASS(ADSitemapLastDownloaded, ADValueElementConstruct, WT("sitemap-last-downloaded"))
AD_DEFINE_CLASS(ADSitemapURLCount, ADValueElementConstruct, WT("sitemap-url-count"))
AD_DEFINE_CLASS(ADSitemapType, ADValueElementConstruct, WT("sitemap-type"))
AD_DEFINE_CLASS(ADSitemapMobileMarkupLanguage, ADValueElementConstruct, WT("sitemap-mobile-markup-language"))
AD_DEFINE_CLASS(ADSitemapNewsPublicationLabel, ADValueElementConstruct, WT("sitemap-news-publication-label"))
AD_DEFINE_CLASS(ADSitemapMarkupLanguage, ADValueElementConstruct, WT("markup-language"))
AD_DEFINE_CLASS(ADSitemapPublicationLabel, ADValueElementConstruct, WT("publication-label"))
AD_DEFINE_CLASS(ADSiteMessageBody, ADValueElementConstruct, WT("body"))
AD_DEFINE_CLASS(ADSiteMessageDate, ADValueElementConstruct, WT("date"))
AD_DEFINE_CLASS(ADSiteMessageLanguage, ADValueElementConstruct, WT("language"))
AD_DEFINE_CLASS(ADSiteMessageRead, ADValueElementConstruct, WT("read"))
AD_DEFINE_CLASS(ADSiteMessageSubject, ADValueElementConstruct, WT("subject"))
AD_DEFINE_CLASS(ADSiteVerificationMethod, ADObject, WT("verification-method"))
AD_DEFINE_CLASS(ADSiteKeyword, ADObject, WT("keyword"))
AD_DEFINE_CLASS(ADSitemapMobile, ADObject, WT("sitemap-mobile"))
AD_DEFINE_CLASS(ADSitemapNews, ADObject, WT("sitemap-news"))
AD_DEFINE_CLASS(ADEntrySite, ADEntryBase, WT_KIND(kADWebmasterKindSite))
AD_DEFINE_CLASS(ADEntrySiteCrawlIssue, ADEntryBase, WT_KIND(kADWebmasterKindCrawlIssue))
AD_DEFINE_CLASS(ADEntrySitemapBase, ADEntryBase, .serviceVersion = kADWebmasterToolsServiceVersion)
AD_DEFINE_CLASS(ADEntrySitemapRegular, ADEntrySitemapBase, WT_KIND(kADWebmasterKindSitemapRegular))
AD_DEFINE_CLASS(ADEntrySitemapMobile, ADEntrySitemapBase, WT_KIND(kADWebmasterKindSitemapMobile))
AD_DEFINE_CLASS(ADEntrySitemapNews, ADEntrySitemapBase, WT_KIND(kADWebmasterKindSitemapNews))
AD_DEFINE_CLASS(ADEntrySiteMessage, ADEntryBase, WT_KIND(kADWebmasterKindMessage))
AD_DEFINE_CLASS(ADFeedSite, ADFeedBase, WT_KIND(kADWebmasterKindSitesFeed))
AD_DEFINE_CLASS(ADFeedSiteCrawlIssue, ADFeedBase, WT_KIND(kADWebmasterKindCrawlIssue))
AD_DEFINE_CLASS(ADFeedSiteKeyword, ADFeedBase, WT_KIND(kADWebmasterKindKeyword))
AD_DEFINE_CLASS(ADFeedSitemap, ADFeedBase, WT_KIND(kADWebmasterKindSitemapsFeed))
AD_DEFINE_CLASS(ADFeedSiteMessage, ADFeedBase, WT_KIND(kADWebmasterKindMessagesFeed))

ADNamespaces ADWebmasterToolsConstants::webmasterToolsNamespaces() {
  ADNamespaces namespaces{{kADNamespaceWebmasterToolsPrefix, kADNamespaceWebmasterTools}};
  for (const auto& [prefix, uri] : ADEntryBase::baseADNamespaces()) namespaces[prefix] = uri;
  return namespaces;
}

void ADWebmasterToolsConstants::registerClasses() {
  for (const ADClass* cls : {&ADEntrySite::adClass(), &ADEntrySiteCrawlIssue::adClass(), &ADEntrySitemapRegular::adClass(),
                             &ADEntrySitemapMobile::adClass(), &ADEntrySitemapNews::adClass(), &ADEntrySiteMessage::adClass()})
    ADEntryBase::registerEntryClass(*cls);
  for (const ADClass* cls : {&ADFeedSite::adClass(), &ADFeedSiteCrawlIssue::adClass(), &ADFeedSiteKeyword::adClass(),
                             &ADFeedSitemap::adClass(), &ADFeedSiteMessage::adClass()})
    ADFeedBase::registerFeedClass(*cls);
}

namespace {
template <typename T>
std::shared_ptr<T> makeWebmasterObject() {
  return ADObjectWithNamespaces<T>(ADWebmasterToolsConstants::webmasterToolsNamespaces());
}
}  // namespace

// --- Elements ---

void ADSiteVerificationMethod::addParseDeclarations() {
  addLocalAttributeDeclarations({"type", "in-use"});
  addContentValueDeclaration();
  addChildXMLElementsDeclaration();
}

std::shared_ptr<ADSiteVerificationMethod> ADSiteVerificationMethod::verificationMethodWithType(
    const std::optional<std::string>& type, const std::optional<std::string>& value, bool isInUse) {
  auto m = std::make_shared<ADSiteVerificationMethod>();
  m->setType(type);
  m->setValue(value);
  m->setIsInUse(isInUse);
  return m;
}

void ADSiteKeyword::addParseDeclarations() {
  addLocalAttributeDeclarations({"source"});
  addContentValueDeclaration();
}

std::shared_ptr<ADSiteKeyword> ADSiteKeyword::keywordWithSource(const std::optional<std::string>& source,
                                                                const std::optional<std::string>& value) {
  auto k = std::make_shared<ADSiteKeyword>();
  k->setSource(source);
  k->setStringValue(value);
  return k;
}

void ADSitemapMobile::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADSitemapMarkupLanguage::adClass());
}

void ADSitemapNews::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADSitemapPublicationLabel::adClass());
}

// --- Entries ---

void ADEntrySite::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(
      adClass(), {&ADSiteCrawledDate::adClass(), &ADSiteVerified::adClass(), &ADSiteIndexed::adClass(),
                  &ADSiteGeoLocation::adClass(), &ADSiteCrawlRate::adClass(), &ADSitePreferredDomain::adClass(),
                  &ADSiteEnhancedImageSearch::adClass(), &ADEntryLink::adClass(), &ADSiteVerificationMethod::adClass()});
}

std::shared_ptr<ADEntrySite> ADEntrySite::siteEntry() { return makeWebmasterObject<ADEntrySite>(); }

std::shared_ptr<ADEntryLink> ADEntrySite::entryLinkWithRel(const char* rel) const {
  return ADUtilities::firstObjectFromArray(entryLinks(), std::optional<std::string>(rel),
                                           [](const ADEntryLink& l) { return l.rel(); });
}

std::shared_ptr<ADSiteVerificationMethod> ADEntrySite::verificationMethodInUse() const {
  return ADUtilities::firstObjectFromArray(verificationMethods(), true,
                                           [](const ADSiteVerificationMethod& m) { return m.isInUse(); });
}

void ADEntrySiteCrawlIssue::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(
      adClass(), {&ADSiteCrawlType::adClass(), &ADSiteCrawlIssueDateDetected::adClass(), &ADSiteCrawlIssueDetail::adClass(),
                  &ADSiteCrawlIssueType::adClass(), &ADSiteCrawlIssueLinkedFrom::adClass(), &ADSiteCrawlIssueURL::adClass()});
}

std::shared_ptr<ADEntrySiteCrawlIssue> ADEntrySiteCrawlIssue::crawlIssueEntry() {
  return makeWebmasterObject<ADEntrySiteCrawlIssue>();
}

std::optional<std::vector<std::string>> ADEntrySiteCrawlIssue::issueLinkedFromURLStrings() const {
  auto all = objectsFor<ADSiteCrawlIssueLinkedFrom>();
  if (all.empty()) return std::nullopt;
  std::vector<std::string> out;
  for (const auto& l : all) out.push_back(l->stringValue().value_or(""));
  return out;
}

void ADEntrySiteCrawlIssue::setIssueLinkedFromURLStrings(const std::optional<std::vector<std::string>>& urls) {
  setObjects(std::vector<ADObjectPtr>{}, ADSiteCrawlIssueLinkedFrom::adClass());
  if (urls)
    for (const std::string& url : *urls) addIssueLinkedFromURLString(url);
}

void ADEntrySiteCrawlIssue::addIssueLinkedFromURLString(const std::string& url) {
  addObject(ADValueConstruct::valueWithString<ADSiteCrawlIssueLinkedFrom>(url), ADSiteCrawlIssueLinkedFrom::adClass());
}

void ADEntrySitemapBase::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(
      adClass(), {&ADSitemapStatus::adClass(), &ADSitemapLastDownloaded::adClass(), &ADSitemapURLCount::adClass()});
}

void ADEntrySitemapRegular::addExtensionDeclarations() {
  ADEntrySitemapBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADSitemapType::adClass());
}

void ADEntrySitemapMobile::addExtensionDeclarations() {
  ADEntrySitemapBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADSitemapMobileMarkupLanguage::adClass());
}

void ADEntrySitemapNews::addExtensionDeclarations() {
  ADEntrySitemapBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADSitemapNewsPublicationLabel::adClass());
}

void ADEntrySiteMessage::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(
      adClass(), {&ADSiteMessageBody::adClass(), &ADSiteMessageDate::adClass(), &ADSiteMessageLanguage::adClass(),
                  &ADSiteMessageRead::adClass(), &ADSiteMessageSubject::adClass()});
}

std::shared_ptr<ADEntrySiteMessage> ADEntrySiteMessage::messageEntry() { return makeWebmasterObject<ADEntrySiteMessage>(); }

// --- Feeds ---

std::shared_ptr<ADFeedSite> ADFeedSite::siteFeed() { return makeWebmasterObject<ADFeedSite>(); }
std::shared_ptr<ADFeedSiteCrawlIssue> ADFeedSiteCrawlIssue::crawlIssueFeed() {
  return makeWebmasterObject<ADFeedSiteCrawlIssue>();
}
std::shared_ptr<ADFeedSiteKeyword> ADFeedSiteKeyword::siteKeywordFeed() { return makeWebmasterObject<ADFeedSiteKeyword>(); }
std::shared_ptr<ADFeedSitemap> ADFeedSitemap::sitemapFeed() { return makeWebmasterObject<ADFeedSitemap>(); }
std::shared_ptr<ADFeedSiteMessage> ADFeedSiteMessage::messageFeed() { return makeWebmasterObject<ADFeedSiteMessage>(); }

void ADFeedSiteKeyword::addExtensionDeclarations() {
  ADFeedBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADSiteKeyword::adClass());
}

std::vector<std::shared_ptr<ADSiteKeyword>> ADFeedSiteKeyword::keywordsWithSource(const std::string& source) const {
  return ADUtilities::objectsFromArray(keywords(), std::optional<std::string>(source),
                                       [](const ADSiteKeyword& k) { return k.source(); });
}

void ADFeedSitemap::addExtensionDeclarations() {
  ADFeedBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), {&ADSitemapMobile::adClass(), &ADSitemapNews::adClass()});
}

std::string ADServiceWebmasterTools::webmasterToolsFeedURLForSiteID(const std::string& siteID, const std::string& feedType) {
  return std::string(kRootURLString) + ADUtilities::stringByURLEncodingForURI(siteID) + "/" + feedType;
}
