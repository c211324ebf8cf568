#include <gtest/gtest.h>

#include "ADFamilyTestSupport.h"
#include "atomdata/documents/ADDocs.h"

namespace {

const std::string kNS = "xmlns:docs=\"http://schemas.flipdesk.net/docs/2007\"";
const std::string kRoot = "http://schemas.flipdesk.net/docs/2007#";
const std::string kLabels = "http://schemas.flipdesk.net/g/2005/labels";

std::string docEntry(const std::string& kind, const std::string& body = "") {
  return "<entry>" + (kind.empty() ? "" : ad_test::kindCategory(kRoot + kind)) + body + "</entry>";
}

class ADDocsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ad_test::registerFamilies(); }
};

TEST_F(ADDocsTest, ListFeedBuildsEachDocumentByItsKind) {
  const std::string body =
      "<gd:lastViewed>2009-03-05T10:00:00Z</gd:lastViewed><docs:writersCanInvite value=\"true\"/>"
      "<gd:quotaBytesUsed>1024</gd:quotaBytesUsed><gd:lastModifiedBy><name>Ann</name></gd:lastModifiedBy>"
      "<gd:feedLink rel=\"http://schemas.flipdesk.net/acl/2007#accessControlList\" href=\"http://d.test/acl\"/>"
      "<gd:feedLink rel=\"http://schemas.flipdesk.net/docs/2007/revisions\" href=\"http://d.test/rev\"/>"
      "<category scheme=\"" + kLabels + "\" term=\"anything\" label=\"starred\"/>"
      "<link rel=\"http://schemas.flipdesk.net/docs/2007#parent\" href=\"http://d.test/f1\"/>"
      "<link rel=\"alternate\" href=\"http://d.test/view\"/>"
      "<link rel=\"http://schemas.flipdesk.net/docs/2007#parent\" href=\"http://d.test/f2\"/>";
  auto feed = ad_test::parse<ADFeedDocList>(ad_test::feedXML(
      kNS, ad_test::kindCategory(kRoot + "item"),
      docEntry("document", body) + docEntry("spreadsheet",
                                            "<link rel=\"http://schemas.flipdesk.net/spreadsheets/2006#worksheetsfeed\" "
                                            "href=\"http://d.test/ws\"/>") +
          docEntry("presentation") + docEntry("drawing") + docEntry("pdf") + docEntry("file") + docEntry("folder") +
          docEntry("") + docEntry("unknown")));
  ASSERT_TRUE(feed);
  EXPECT_EQ(ad_test::entryClassNames(*feed),
            (std::vector<std::string>{"ADEntryStandardDoc", "ADEntrySpreadsheetDoc", "ADEntryPresentationDoc",
                                      "ADEntryDrawingDoc", "ADEntryPDFDoc", "ADEntryFileDoc", "ADEntryFolderDoc",
                                      "ADEntryDocBase", "ADEntryDocBase"}));
  auto doc = std::dynamic_pointer_cast<ADEntryDocBase>(feed->entries()[0]);
  EXPECT_EQ(doc->lastViewed()->RFC3339String(), "2009-03-05T10:00:00Z");
  EXPECT_EQ(doc->writersCanInvite(), true);
  EXPECT_EQ(doc->quotaBytesUsed(), 1024);
  EXPECT_EQ(doc->lastModifiedBy()->name(), "Ann");
  EXPECT_EQ(doc->ACLFeedLink()->href(), "http://d.test/acl");
  EXPECT_EQ(doc->revisionFeedLink()->href(), "http://d.test/rev");
  ASSERT_EQ(doc->parentLinks().size(), 2u);
  EXPECT_EQ(doc->parentLinks()[1]->href(), "http://d.test/f2");
  EXPECT_TRUE(doc->isStarred()) << "any term of the labels scheme";
  EXPECT_FALSE(doc->isHidden());
  EXPECT_EQ(std::dynamic_pointer_cast<ADEntrySpreadsheetDoc>(feed->entries()[1])->worksheetsLink()->href(),
            "http://d.test/ws");
  ad_test::roundTrip(*feed);

  // The document base class registers nothing: a lone entry of no known kind is plain.
  auto lone = ad_test::parse<ADEntryBase>("<entry xmlns=\"http://www.w3.org/2005/Atom\"/>");
  ASSERT_TRUE(lone);
  EXPECT_STREQ(lone->classInfo().name, "ADEntryBase");
}

TEST_F(ADDocsTest, LabelsFlagsAndWriteBack) {
  auto doc = ADEntryDocBase::documentEntry();
  EXPECT_EQ(doc->namespaces().at("docs"), kADNamespaceDocs);
  doc->setIsStarred(true);
  doc->setIsHidden(true);
  ASSERT_EQ(doc->categories().size(), 2u);
  EXPECT_EQ(doc->categories()[0]->term(), kLabels + "#starred");
  doc->setIsStarred(false);
  EXPECT_FALSE(doc->isStarred());
  EXPECT_TRUE(doc->isHidden());
  doc->setWritersCanInvite(true);
  EXPECT_NE(doc->XMLDocumentString().find("<docs:writersCanInvite value=\"true\"/>"), std::string::npos);
  EXPECT_EQ(doc->writersCanInvite(), true);
  doc->setQuotaBytesUsed(5LL << 33);
  doc->setLastViewed(ADDateTime::dateTimeWithRFC3339String("2010-01-02T03:04:05Z"));
  auto again = ad_test::roundTrip(*doc);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->quotaBytesUsed(), 5LL << 33);

  auto revision = ADEntryDocRevision::revisionEntry();
  revision->setPublish(true);
  revision->setPublishAuto(std::nullopt);
  EXPECT_EQ(revision->publishAuto(), false) << "nothing writes false";
  auto person = std::make_shared<ADPerson>();
  person->setName(std::string("Bo"));
  revision->setModifyingUser(person);
  EXPECT_EQ(revision->modifyingUser()->name(), "Bo");
  ad_test::roundTrip(*revision);
  revision->setModifyingUser(nullptr);
  EXPECT_FALSE(revision->modifyingUser());
}

TEST_F(ADDocsTest, MetadataAndRevisionFeeds) {
  auto meta = ad_test::parse<ADEntryDocListMetadata>(
      "<entry xmlns=\"http://www.w3.org/2005/Atom\" xmlns:gd=\"http://schemas.flipdesk.net/g/2005\" " + kNS + ">" +
      ad_test::kindCategory(kRoot + "metadata") +
      "<gd:quotaBytesTotal>1000</gd:quotaBytesTotal><docs:quotaBytesUsedInTrash>7</docs:quotaBytesUsedInTrash>"
      "<docs:importFormat source=\"text/rtf\" target=\"document\"/><docs:exportFormat source=\"document\" target=\"pdf\"/>"
      "<docs:feature><docs:featureName>ocr</docs:featureName><docs:featureRate>0.5</docs:featureRate></docs:feature>"
      "<docs:maxUploadSize kind=\"document\">512</docs:maxUploadSize><docs:maxUploadSize kind=\"pdf\">1024</docs:maxUploadSize>"
      "</entry>");
  ASSERT_TRUE(meta);
  EXPECT_EQ(meta->quotaBytesTotal(), 1000);
  EXPECT_EQ(meta->quotaBytesUsedInTrash(), 7);
  EXPECT_EQ(meta->importFormats().at(0)->target(), "document");
  EXPECT_EQ(meta->exportFormats().at(0)->target(), "pdf");
  EXPECT_EQ(meta->featureForName("ocr")->featureRate(), "0.5");
  EXPECT_EQ(meta->maxUploadSizeForKind("pdf")->stringValue(), "1024");
  EXPECT_FALSE(meta->maxUploadSizeForKind("video"));
  ad_test::roundTrip(*meta);

  auto revisions = ad_test::parse<ADFeedDocRevision>(ad_test::feedXML(
      kNS, ad_test::kindCategory(kRoot + "revision"),
      "<entry><docs:publish value=\"true\"/><link rel=\"http://schemas.flipdesk.net/docs/2007#publish\" href=\"http://p.test\"/></entry>"));
  ASSERT_TRUE(revisions);
  auto rev = std::dynamic_pointer_cast<ADEntryDocRevision>(revisions->entries().at(0));
  ASSERT_TRUE(rev);
  EXPECT_EQ(rev->publish(), true);
  EXPECT_FALSE(rev->publishOutsideDomain());
  EXPECT_EQ(rev->publishedLink()->href(), "http://p.test");
}

TEST_F(ADDocsTest, URLsQueryAndUpdateTarget) {
  const std::string root = ADServiceDocs::kRootURLString;
  EXPECT_EQ(ADServiceDocs::docsFeedURL(), root + "default/private/full");
  EXPECT_EQ(ADServiceDocs::folderContentsFeedURLForFolderID("folder:12"), root + "default/private/full/folder%3A12/contents");
  EXPECT_EQ(ADServiceDocs::docsUploadURL(), root + "upload/create-session/default/private/full");
  EXPECT_EQ(ADServiceDocs::metadataEntryURLForUserID("a b"), root + "metadata/a%20b");
  EXPECT_EQ(ADServiceDocs::docsURLForUserID("u", "public", std::string("basic"), std::string("r/1"), std::string("revisions"),
                                            std::string("7")),
            root + "u/public/basic/r%2F1/revisions/7");

  auto q = ADQueryDocs::documentQueryWithFeedURL("http://d.test/f");
  q->setShouldConvertUpload(true);
  EXPECT_FALSE(q->valueForParameterWithName("convert"));
  q->setShouldConvertUpload(false);
  EXPECT_EQ(q->valueForParameterWithName("convert"), "false");
  q->setIsTitleQueryExact(true);
  q->setEditedMinDateTime(ADDateTime::dateTimeWithRFC3339String("2010-01-02T03:04:05Z"));
  EXPECT_EQ(q->editedMinDateTime()->RFC3339String(), "2010-01-02T03:04:05Z");
  EXPECT_TRUE(q->isTitleQueryExact());

  ADServiceDocs service;
  EXPECT_EQ(service.serviceID(), "writely");
  ADEntryDocBase entry;
  entry.addLink(ADLink::linkWithRel(std::string("edit"), std::nullopt, std::string("http://d.test/edit")));
  entry.addLink(ADLink::linkWithRel(std::string(kADLinkRelResumableEditMedia), std::nullopt, std::string("http://d.test/media")));
  EXPECT_EQ(service.updateURLForEntry(entry), "http://d.test/edit") << "no upload data";
  entry.setUploadData(std::string("bytes"));
  EXPECT_EQ(service.updateURLForEntry(entry), "http://d.test/media");
  service.setServiceUploadChunkSize(0);
  EXPECT_EQ(service.updateURLForEntry(entry), "http://d.test/edit") << "no resumable upload";
}

}  // namespace
