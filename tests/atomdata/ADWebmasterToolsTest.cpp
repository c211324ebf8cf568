#include <gtest/gtest.h>

#include "ADFamilyTestSupport.h"
#include "atomdata/webmaster/ADWebmasterTools.h"

namespace {

const std::string kNS = "xmlns:wt=\"http://schemas.flipdesk.net/webmasters/tools/2007\"";
const std::string kRoot = "http://schemas.flipdesk.net/webmasters/tools/2007#";

std::string entry(const std::string& kind, const std::string& body) {
  return "<entry>" + ad_test::kindCategory(kRoot + kind) + body + "</entry>";
}

class ADWebmasterToolsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ad_test::registerFamilies(); }
};

TEST_F(ADWebmasterToolsTest, FeedsBuildEntriesByKind) {
  struct Case {
    std::string feedKind, entries, feedClass;
    std::vector<std::string> entryClasses;
  };
  const Case cases[] = {
      {"sites-feed",
       entry("site-info",
             "<wt:crawled>2009-01-02T03:04:05Z</wt:crawled><wt:verified>true</wt:verified><wt:indexed>false</wt:indexed>"
             "<wt:crawl-rate>normal</wt:crawl-rate><wt:enhanced-image-search>true</wt:enhanced-image-search>"
             "<gd:entryLink rel=\"" + kRoot + "verification\" href=\"http://w.test/v\"/>"
             "<wt:verification-method type=\"metatag\" in-use=\"true\"><meta name=\"v\" content=\"x\"/></wt:verification-method>"
             "<wt:verification-method type=\"htmlpage\">page.html</wt:verification-method>"),
       "ADFeedSite", {"ADEntrySite"}},
      {"crawl_issue_entry",
       entry("crawl_issue_entry", "<wt:crawl-type>web</wt:crawl-type><wt:issue-type>404</wt:issue-type>"
                                  "<wt:url>http://s.test/x</wt:url><wt:linked-from>http://s.test/a</wt:linked-from>"
                                  "<wt:linked-from>http://s.test/b</wt:linked-from>"),
       "ADFeedSiteCrawlIssue", {"ADEntrySiteCrawlIssue"}},
      {"sitemaps-feed",
       "<wt:sitemap-mobile><wt:markup-language>XHTML</wt:markup-language><wt:markup-language>WML</wt:markup-language>"
       "</wt:sitemap-mobile><wt:sitemap-news><wt:publication-label>Daily</wt:publication-label></wt:sitemap-news>" +
           entry("sitemap-regular", "<wt:sitemap-type>WEB</wt:sitemap-type><wt:sitemap-url-count>12</wt:sitemap-url-count>") +
           entry("sitemap-mobile", "<wt:sitemap-mobile-markup-language>XHTML</wt:sitemap-mobile-markup-language>") +
           entry("sitemap-news", "<wt:sitemap-news-publication-label>Daily</wt:sitemap-news-publication-label>"),
       "ADFeedSitemap", {"ADEntrySitemapRegular", "ADEntrySitemapMobile", "ADEntrySitemapNews"}},
      {"messages-feed",
       entry("message", "<wt:subject>Hi</wt:subject><wt:read>true</wt:read><wt:date>2009-05-06T00:00:00Z</wt:date>"),
       "ADFeedSiteMessage", {"ADEntrySiteMessage"}},
      {"keyword_entry", "<wt:keyword source=\"internal\">flip</wt:keyword><wt:keyword source=\"external\">desk</wt:keyword>",
       "ADFeedSiteKeyword", {}},
  };
  for (const Case& c : cases) {
    auto feed = ad_test::parse<ADFeedBase>(ad_test::feedXML(kNS, ad_test::kindCategory(kRoot + c.feedKind), c.entries));
    ASSERT_TRUE(feed);
    EXPECT_EQ(feed->classInfo().name, c.feedClass);
    EXPECT_EQ(ad_test::entryClassNames(*feed), c.entryClasses) << c.feedClass;
    ad_test::roundTrip(*feed);
  }

  auto sites = ad_test::parse<ADFeedSite>(ad_test::feedXML(kNS, ad_test::kindCategory(kRoot + "sites-feed"), cases[0].entries));
  auto site = std::dynamic_pointer_cast<ADEntrySite>(sites->entries().at(0));
  EXPECT_TRUE(site->isVerified());
  EXPECT_FALSE(site->isIndexed());
  EXPECT_TRUE(site->hasEnhancedImageSearch());
  EXPECT_EQ(site->crawlRate(), "normal");
  EXPECT_EQ(site->crawledDate()->RFC3339String(), "2009-01-02T03:04:05Z");
  EXPECT_EQ(site->verificationEntryLink()->href(), "http://w.test/v");
  EXPECT_FALSE(site->sitemapsEntryLink());
  ASSERT_TRUE(site->verificationMethodInUse());
  EXPECT_EQ(site->verificationMethodInUse()->type(), "metatag");
  EXPECT_EQ(site->verificationMethodInUse()->XMLValues().size(), 1u);
  EXPECT_FALSE(site->verificationMethods()[1]->isInUse()) << "no in-use attribute";
  EXPECT_EQ(site->verificationMethods()[1]->value(), "page.html");

  auto issues = ad_test::parse<ADFeedSiteCrawlIssue>(
      ad_test::feedXML(kNS, ad_test::kindCategory(kRoot + "crawl_issue_entry"), cases[1].entries));
  auto issue = std::dynamic_pointer_cast<ADEntrySiteCrawlIssue>(issues->entries().at(0));
  EXPECT_EQ(issue->issueLinkedFromURLStrings(), (std::vector<std::string>{"http://s.test/a", "http://s.test/b"}));
  EXPECT_EQ(issue->issueType(), "404");

  auto sitemaps = ad_test::parse<ADFeedSitemap>(ad_test::feedXML(kNS, ad_test::kindCategory(kRoot + "sitemaps-feed"), cases[2].entries));
  EXPECT_EQ(sitemaps->sitemapMobile()->markupLanguages().size(), 2u);
  EXPECT_EQ(sitemaps->sitemapNews()->publicationLabels().at(0)->stringValue(), "Daily");
  EXPECT_EQ(std::dynamic_pointer_cast<ADEntrySitemapRegular>(sitemaps->entries()[0])->sitemapURLCount(), 12);
  EXPECT_EQ(std::dynamic_pointer_cast<ADEntrySitemapMobile>(sitemaps->entries()[1])->markupLanguage(), "XHTML");

  auto keywords = ad_test::parse<ADFeedSiteKeyword>(ad_test::feedXML(kNS, ad_test::kindCategory(kRoot + "keyword_entry"), cases[4].entries));
  ASSERT_EQ(keywords->keywordsWithSource("external").size(), 1u);
  EXPECT_EQ(keywords->keywordsWithSource("external")[0]->stringValue(), "desk");
}

TEST_F(ADWebmasterToolsTest, SettersAndURLs) {
  auto issue = ADEntrySiteCrawlIssue::crawlIssueEntry();
  EXPECT_EQ(issue->issueLinkedFromURLStrings(), std::nullopt) << "none, not an empty list";
  issue->setIssueLinkedFromURLStrings(std::vector<std::string>{"a", "b"});
  issue->addIssueLinkedFromURLString("c");
  EXPECT_EQ(issue->issueLinkedFromURLStrings(), (std::vector<std::string>{"a", "b", "c"}));
  issue->setIssueLinkedFromURLStrings(std::vector<std::string>{"z"});
  EXPECT_EQ(issue->issueLinkedFromURLStrings(), std::vector<std::string>{"z"});
  ad_test::roundTrip(*issue);

  auto method = ADSiteVerificationMethod::verificationMethodWithType(std::string("metatag"), std::string("v"), true);
  method->setIsInUse(false);
  EXPECT_FALSE(method->stringValueForAttribute("in-use"));

  auto message = ADEntrySiteMessage::messageEntry();
  message->setRead(true);
  EXPECT_NE(message->XMLDocumentString().find("<wt:read>true</wt:read>"), std::string::npos);
  EXPECT_EQ(message->read(), true);
  auto site = ADEntrySite::siteEntry();
  site->setIsIndexed(false);
  EXPECT_NE(site->XMLDocumentString().find("<wt:indexed>false</wt:indexed>"), std::string::npos);
  site->setCrawlRate(std::nullopt);
  site->addVerificationMethod(ADSiteVerificationMethod::verificationMethodWithType(std::string("htmlpage"), std::string("p"), true));
  ad_test::roundTrip(*site);
  auto sitemap = ADEntrySitemapBase::sitemapEntry<ADEntrySitemapNews>();
  sitemap->setPublicationLabel(std::string("Weekly"));
  ad_test::roundTrip(*sitemap);

  EXPECT_EQ(ADServiceWebmasterTools::webmasterToolsFeedURLForSiteID("http://www.s.test/", "sitemaps"),
            std::string(ADServiceWebmasterTools::kRootURLString) + "http%3A%2F%2Fwww.s.test%2F/sitemaps");
  EXPECT_EQ(ADServiceWebmasterTools().serviceID(), "sitemaps");
}

}  // namespace
