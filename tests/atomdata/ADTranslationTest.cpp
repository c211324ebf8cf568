#include <gtest/gtest.h>

#include "ADFamilyTestSupport.h"
#include "atomdata/translation/ADTranslation.h"

namespace {

const std::string kNS = "xmlns:gtt=\"http://schemas.flipdesk.net/gtt/2009/11\"";
const std::string kDocEntry =
    "<entry><title>Letter</title><gtt:documentSource type=\"html\" url=\"http://t.test/l.html\"/>"
    "<gtt:sourceLanguage>en</gtt:sourceLanguage><gtt:targetLanguage>de</gtt:targetLanguage>"
    "<gtt:percentComplete>40</gtt:percentComplete><gtt:numberOfSourceWords>1200</gtt:numberOfSourceWords>"
    "<gtt:glossary><link href=\"http://t.test/g1\"/><link href=\"http://t.test/g2\"/></gtt:glossary>"
    "<gtt:translationMemory><link href=\"http://t.test/tm\"/></gtt:translationMemory>"
    "<gd:lastModifiedBy><name>Ann</name></gd:lastModifiedBy>"
    "<category scheme=\"http://schemas.flipdesk.net/g/2005#labels\" term=\"other\" label=\"hidden\"/>"
    "<category scheme=\"http://schemas.flipdesk.net/gtt/2009/11#translationState\" "
    "term=\"http://schemas.flipdesk.net/gtt/2009/11#completed\" label=\"Done\"/></entry>";

class ADTranslationTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ad_test::registerFamilies(); }
};

TEST_F(ADTranslationTest, OnlyTheMemoryFeedIsKnownByItsKind) {
  auto memories = ad_test::parse<ADFeedTranslationMemory>(
      "<feed xmlns=\"http://www.w3.org/2005/Atom\" xmlns:gd=\"http://schemas.flipdesk.net/g/2005\" " + kNS +
      " gd:kind=\"gtrans#memory\"><entry><gtt:scope>private</gtt:scope></entry></feed>");
  ASSERT_TRUE(memories);
  auto memory = std::dynamic_pointer_cast<ADEntryTranslationMemory>(memories->entries().at(0));
  ASSERT_TRUE(memory);
  EXPECT_EQ(memory->scope(), "private");
  ad_test::roundTrip(*memories);

  // Document and glossary feeds parse into the family only when named.
  const std::string documents = ad_test::feedXML(kNS, "", kDocEntry);
  auto plain = ad_test::parse<ADFeedBase>(documents);
  EXPECT_STREQ(plain->classInfo().name, "ADFeedBase");
  auto named = ADFeedWithXMLData<ADFeedTranslationDocument>(documents);
  ASSERT_TRUE(named.ok());
  auto doc = std::dynamic_pointer_cast<ADEntryTranslationDocument>((*named)->entries().at(0));
  ASSERT_TRUE(doc);
  EXPECT_EQ(doc->documentSource()->URLString(), "http://t.test/l.html");
  EXPECT_EQ(doc->sourceLanguage(), "en");
  EXPECT_EQ(doc->percentComplete(), 40);
  EXPECT_EQ(doc->numberOfSourceWords(), 1200);
  EXPECT_EQ(doc->glossary()->hrefs(), (std::vector<std::string>{"http://t.test/g1", "http://t.test/g2"}));
  EXPECT_EQ(doc->translationMemory()->hrefs(), std::vector<std::string>{"http://t.test/tm"});
  EXPECT_EQ(doc->lastModifiedBy()->name(), "Ann");
  EXPECT_TRUE(doc->isHidden()) << "any term";
  EXPECT_TRUE(doc->hasCompletedTranslation()) << "any label";
  ad_test::roundTrip(**named);
  auto glossaries = ADFeedWithXMLData<ADFeedTranslationGlossary>(ad_test::feedXML(kNS, "", "<entry/>"));
  ASSERT_TRUE(glossaries.ok());
  EXPECT_EQ(ad_test::entryClassNames(**glossaries), std::vector<std::string>{"ADEntryTranslationGlossary"});
}

TEST_F(ADTranslationTest, FactoriesFlagsAndURLs) {
  auto doc = ADEntryTranslationDocument::documentWithTitle(std::string("Memo"), std::string("fr"), std::string("es"));
  EXPECT_EQ(doc->namespaces().at("gtt"), kADNamespaceTranslation);
  EXPECT_EQ(doc->title()->stringValue(), "Memo");
  EXPECT_EQ(doc->targetLanguage(), "es");
  EXPECT_FALSE(doc->isHidden());
  doc->setIsHidden(true);
  EXPECT_TRUE(doc->isHidden());
  doc->setIsHidden(false);
  EXPECT_TRUE(doc->categories().empty());
  EXPECT_FALSE(doc->hasCompletedTranslation());
  auto link = ADLink::linkWithRel(std::nullopt, std::nullopt, std::string("http://t.test/g"));
  doc->setGlossary(ADTranslationGlossary::glossaryWithLink(link));
  doc->glossary()->removeLink(*link);
  EXPECT_TRUE(doc->glossary()->hrefs().empty());
  doc->setTranslationMemory(ADTranslationMemory::memoryWithLink(link));
  doc->setDocumentSource(ADTranslationDocumentSource::documentSourceWithType(std::string("doc"), std::string("u")));
  doc->setPercentComplete(100);
  ad_test::roundTrip(*doc);
  EXPECT_EQ(ADEntryTranslationMemory::documentWithTitle(std::string("TM"), std::string("public"))->scope(), "public");
  EXPECT_EQ(ADTranslationConstants::coreProtocolVersionForServiceVersion("9.0"), "2.1");

  auto q = ADQueryTranslation::translationQueryWithFeedURL("http://t.test/tm");
  q->setDeleteForAllUsers(true);
  q->setScope(std::string("private"));
  EXPECT_EQ(q->URL(), "http://t.test/tm?delete=true&scope=private");
  EXPECT_EQ(ADServiceTranslation::memoryFeedURL(), std::string(ADServiceTranslation::kRootURLString) + "tm");
  EXPECT_EQ(ADServiceTranslation::documentFeedURL(), std::string(ADServiceTranslation::kRootURLString) + "documents");
  EXPECT_EQ(ADServiceTranslation().serviceID(), "gtrans");
}

}  // namespace
