#include <gtest/gtest.h>

#include "ADFamilyTestSupport.h"
#include "atomdata/health/ADHealth.h"

namespace {

const std::string kRoot = "http://schemas.flipdesk.net/health/";
const std::string kNS = "xmlns:ccr=\"urn:astm-org:CCR\" xmlns:h9m=\"http://schemas.flipdesk.net/health/metadata\"";
const std::string kCCR =
    "<ccr:ContinuityOfCareRecord><ccr:Body><ccr:Medications><ccr:Medication><ccr:Product><ccr:ProductName>"
    "<ccr:Text>Aspirin</ccr:Text></ccr:ProductName></ccr:Product></ccr:Medication></ccr:Medications></ccr:Body>"
    "</ccr:ContinuityOfCareRecord>";

class ADHealthTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ad_test::registerFamilies(); }
};

TEST_F(ADHealthTest, ProfileAndRegisterFeedsKeepTheRecordAsWritten) {
  struct Case {
    std::string kind, body, feedClass, entryClass;
  };
  const Case cases[] = {
      {"profile", kCCR + "<h9m:ProfileMetaData><h9m:Note>n</h9m:Note></h9m:ProfileMetaData>", "ADFeedHealthProfile",
       "ADEntryHealthProfile"},
      {"register", kCCR, "ADFeedHealthRegister", "ADEntryHealthRegister"},
  };
  for (const Case& c : cases) {
    auto feed = ad_test::parse<ADFeedBase>(ad_test::feedXML(
        kNS, ad_test::kindCategory(kRoot + "kinds#" + c.kind),
        "<entry>" + ad_test::kindCategory(kRoot + "kinds#" + c.kind) + c.body + "</entry>"));
    ASSERT_TRUE(feed);
    EXPECT_EQ(feed->classInfo().name, c.feedClass);
    EXPECT_EQ(ad_test::entryClassNames(*feed), std::vector<std::string>{c.entryClass});
    const std::string written = feed->XMLDocumentString();
    EXPECT_NE(written.find("<ccr:ProductName><ccr:Text>Aspirin</ccr:Text></ccr:ProductName>"), std::string::npos)
        << written;
    ad_test::roundTrip(*feed);
  }
  auto profiles = ad_test::parse<ADFeedHealthProfile>(ad_test::feedXML(
      kNS, ad_test::kindCategory(kRoot + "kinds#profile"), "<entry>" + ad_test::kindCategory(kRoot + "kinds#profile") + kCCR +
                   "<h9m:ProfileMetaData/><link rel=\"next\" href=\"http://h.test/2\"/>"
                   "<link rel=\"http://schemas.flipdesk.net/health/data#complete\" href=\"http://h.test/all\"/></entry>"));
  auto profile = std::dynamic_pointer_cast<ADEntryHealthProfile>(profiles->entries().at(0));
  ASSERT_TRUE(profile);
  ASSERT_TRUE(profile->continuityOfCareRecord());
  EXPECT_EQ(profile->continuityOfCareRecord()->childXMLElements().at(0).name(), "ccr:Body");
  EXPECT_TRUE(profile->profileMetaData());
  EXPECT_EQ(profile->nextLink()->href(), "http://h.test/2");
  EXPECT_EQ(profile->completeLink()->href(), "http://h.test/all");
}

TEST_F(ADHealthTest, Categories) {
  auto profile = ADEntryHealthProfile::profileEntry();
  EXPECT_EQ(profile->namespaces().at("ccr"), kADNamespaceCCR);
  EXPECT_EQ(profile->namespaces().count("h9m"), 0u);
  auto bare = ADCategory::categoryWithScheme(std::nullopt, std::string("LABTEST"));
  profile->addCategory(bare);
  EXPECT_EQ(profile->CCRCategory(), bare) << "no CCR scheme: the first without a scheme";
  EXPECT_FALSE(profile->healthItemCategory());
  auto ccr = ADCategory::categoryWithScheme(std::string(kADHealthSchemeCCR), std::string("MEDICATION"));
  auto item = ADCategory::categoryWithScheme(std::string(kADHealthSchemeItem), std::string("Aspirin"));
  profile->addCategory(item);
  profile->addCategory(ccr);
  EXPECT_EQ(profile->CCRCategory()->term(), "MEDICATION");
  EXPECT_EQ(profile->healthItemCategory()->term(), "Aspirin");
  ad_test::roundTrip(*profile);
}

TEST_F(ADHealthTest, StandaloneContainerQueryAndServices) {
  fd::Expected<ADXMLDocument> doc = ADXMLDocument::parse(
      "<ccr:ContinuityOfCareRecord xmlns:ccr=\"urn:astm-org:CCR\"><ccr:Body><ccr:X/></ccr:Body></ccr:ContinuityOfCareRecord>");
  ASSERT_TRUE(doc.ok());
  auto record = ADHealthContainerObject::objectWithXMLElement<ADContinuityOfCareRecord>(doc->root());
  EXPECT_EQ(record->namespaces().at("ccr"), kADNamespaceCCR);
  ASSERT_EQ(record->childXMLElements().size(), 1u);
  auto entry = ADEntryHealthRegister::registerEntry();
  entry->setContinuityOfCareRecord(record);
  auto again = ad_test::roundTrip(*entry);
  ASSERT_TRUE(again);
  const ADXMLNode& body = again->continuityOfCareRecord()->childXMLElements().at(0);
  EXPECT_EQ(body.name(), "ccr:Body");
  EXPECT_NE(body.XMLString().find("<ccr:X/></ccr:Body>"), std::string::npos) << body.XMLString();

  auto q = ADQueryHealth::healthQueryWithFeedURL("http://h.test/f");
  q->setIsGrouped(true);
  q->setMaxResultsInGroup(0);
  q->setStartIndexGroup(3);
  EXPECT_EQ(q->URL(), "http://h.test/f?grouped=true&start-index-group=3");
  EXPECT_EQ(q->maxResultsInGroup(), 0);

  ADServiceHealth health;
  ADServiceHealthSandbox sandbox;
  EXPECT_EQ(health.profileListFeedURL(), std::string(ADServiceHealth::kRootURLString) + "profile/list");
  EXPECT_EQ(sandbox.profileListFeedURL().rfind(ADServiceHealthSandbox::kRootURLString, 0), 0u);
  EXPECT_EQ(sandbox.registerFeedURLForProfileID("p1"), std::string(ADServiceHealthSandbox::kRootURLString) + "register/ui/p1");
  EXPECT_EQ(sandbox.serviceID(), "weaver");
  EXPECT_EQ(health.serviceID(), "health");
}

}  // namespace
