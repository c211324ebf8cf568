#include <gtest/gtest.h>

#include "atomdata/ADFamilies.h"
#include "atomdata/contacts/ADContacts.h"
#include "net/NetTestSupport.h"

// An entry that accepts a nickname inside the gd who elements it contains, as
// the calendar family declares its own children of gd who.
class ADEntryDeclaringForWhoTest : public ADEntryBase {
  AD_CLASS(ADEntryDeclaringForWhoTest)
  void addExtensionDeclarations() override {
    ADEntryBase::addExtensionDeclarations();
    addExtensionDeclarationForParentClass(adClass(), ADWho::adClass());
    addExtensionDeclarationForParentClass(ADWho::adClass(), ADContactNickname::adClass());
  }
};
AD_DEFINE_CLASS(ADEntryDeclaringForWhoTest, ADEntryBase)

namespace {

const char* kWhoEntry = R"(<entry xmlns="http://www.w3.org/2005/Atom" xmlns:gd="http://schemas.flipdesk.net/g/2005"
  xmlns:gContact="http://schemas.flipdesk.net/contact/2008">
  <gd:who valueString="Ann"><gContact:nickname>Annie</gContact:nickname><gd:attendeeType value="required"/></gd:who></entry>)";

std::string kindFeed(const char* term, const char* entryTerm) {
  return std::string("<feed xmlns=\"http://www.w3.org/2005/Atom\"><category scheme=\"") + kADCategoryScheme +
         "\" term=\"" + term + "\"/><entry><category scheme=\"" + kADCategoryScheme + "\" term=\"" + entryTerm +
         "\"/><title>x</title></entry></feed>";
}

}  // namespace

TEST(ADDeclarations, ChildrenDeclaredByAnAncestorAreParsedInsideTheirParent) {
  fd::Expected<ADObjectPtr> parsed = ADObjectWithXMLData(kWhoEntry, &ADEntryDeclaringForWhoTest::adClass());
  ASSERT_TRUE(parsed.ok()) << parsed.error();
  auto who = (*parsed)->objectFor<ADWho>();
  ASSERT_TRUE(who);
  auto nickname = who->objectFor<ADContactNickname>();
  ASSERT_TRUE(nickname);
  EXPECT_EQ(nickname->stringValue(), "Annie");
  EXPECT_TRUE(who->unknownChildren().empty());
  EXPECT_EQ(who->attendeeType()->stringValue(), "required");

  // Inside an entry that declares nothing for gd who, the nickname is kept unparsed.
  fd::Expected<ADObjectPtr> plain = ADObjectWithXMLData(kWhoEntry, &ADEntryBase::adClass());
  ASSERT_TRUE(plain.ok());
  EXPECT_FALSE((*plain)->objectFor<ADWho>());
  ASSERT_EQ((*plain)->unknownChildren().size(), 1u);
  EXPECT_NE((*plain)->XMLDocumentString().find("Annie"), std::string::npos);
}

TEST(ADDeclarations, EveryRegisteredKindParsesIntoItsClass) {
  ADRegisterServiceFamilies();
  struct Kind {
    const char* term;
    const ADClass* feed;
    const ADClass* entry;
  };
  const Kind kinds[] = {
      {kADContactKindContact, &ADFeedContact::adClass(), &ADEntryContact::adClass()},
      {kADContactKindProfile, &ADFeedContactProfile::adClass(), &ADEntryContactProfile::adClass()},
      {kADContactKindGroup, &ADFeedContactGroup::adClass(), &ADEntryContactGroup::adClass()},
  };
  for (const Kind& kind : kinds) {
    fd::Expected<ADObjectPtr> feed = ADObjectWithXMLData(kindFeed(kind.term, kind.term));
    ASSERT_TRUE(feed.ok()) << feed.error();
    EXPECT_EQ(&(*feed)->classInfo(), kind.feed) << kind.term;
    auto& entries = std::static_pointer_cast<ADFeedBase>(*feed)->entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(&entries[0]->classInfo(), kind.entry) << kind.term;
    // The same entry alone, and again after writing.
    ADObjectPtr entry = entries[0]->copy();
    entry->setNamespaces({{"", kADNamespaceAtom}});
    fd::Expected<ADObjectPtr> alone = ADObjectWithXMLData(entry->XMLDocumentString());
    ASSERT_TRUE(alone.ok());
    EXPECT_EQ(&(*alone)->classInfo(), kind.entry) << kind.term;
    EXPECT_TRUE(entry->isEqual(**alone));
  }
  // A base feed holding entries of registered kinds builds each from the maps.
  fd::Expected<ADObjectPtr> mixed = ADObjectWithXMLData(kindFeed("urn:none", kADContactKindGroup));
  ASSERT_TRUE(mixed.ok());
  EXPECT_EQ(&(*mixed)->classInfo(), &ADFeedBase::adClass());
  EXPECT_EQ(&std::static_pointer_cast<ADFeedBase>(*mixed)->entries()[0]->classInfo(), &ADEntryContactGroup::adClass());
}

TEST(ADDeclarations, AttributeExtensionsKeepTheirDocumentsPrefix) {
  fd::Expected<ADObjectPtr> parsed = ADObjectWithXMLData(
      R"(<entry xmlns="http://www.w3.org/2005/Atom" xmlns:g="http://schemas.flipdesk.net/g/2005" g:etag="one"/>)");
  ASSERT_TRUE(parsed.ok());
  auto entry = std::static_pointer_cast<ADEntryBase>(*parsed);
  entry->setETag(std::string("two"));
  const std::string xml = entry->XMLDocumentString();
  EXPECT_NE(xml.find("g:etag=\"two\""), std::string::npos) << xml;
  fd::Expected<ADObjectPtr> again = ADObjectWithXMLData(xml);
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(std::static_pointer_cast<ADEntryBase>(*again)->ETag(), "two");
  entry->setETag(std::nullopt);
  EXPECT_EQ(entry->XMLDocumentString().find("etag"), std::string::npos);
}

TEST(ADDeclarations, FeedCopiesHoldCopiesOfTheirEntries) {
  ADFeedContact feed;
  auto entry = ADEntryContact::contactEntryWithTitle(std::string("One"));
  feed.addEntry(entry);
  auto copy = std::static_pointer_cast<ADFeedContact>(feed.copy());
  ASSERT_EQ(copy->entries().size(), 1u);
  EXPECT_NE(copy->entries()[0], entry);
  EXPECT_TRUE(copy->isEqual(feed));
  copy->entries()[0]->setTitleWithString(std::string("Two"));
  EXPECT_EQ(entry->title()->stringValue(), "One");
  EXPECT_FALSE(copy->isEqual(feed));
}

TEST(ADDeclarations, DeepEntriesAreRefusedOnEitherPath) {
  std::string deep = "<entry xmlns=\"http://www.w3.org/2005/Atom\">";
  for (int i = 0; i < kADMaxXMLDepth; ++i) deep += "<x>";
  for (int i = 0; i < kADMaxXMLDepth; ++i) deep += "</x>";
  deep += "</entry>";
  fd::Expected<ADObjectPtr> entry = ADObjectWithXMLData(deep);
  ASSERT_FALSE(entry.ok());
  EXPECT_NE(entry.error().find("deeper"), std::string::npos);
  fd::Expected<ADObjectPtr> inFeed = ADObjectWithXMLData("<feed xmlns=\"http://www.w3.org/2005/Atom\">" + deep + "</feed>");
  ASSERT_FALSE(inFeed.ok());
  EXPECT_NE(inFeed.error().find("deeper"), std::string::npos);
}

class ADServiceRequestTest : public net_test::NetTest {};

TEST_F(ADServiceRequestTest, FamilyServicesSendTheirVersionAndSettings) {
  std::string version, authorization, ifMatch, method;
  http.server().Put("/other", [&](const httplib::Request& req, httplib::Response& res) {
    version = req.get_header_value("Data-Version");
    authorization = req.get_header_value("Authorization");
    ifMatch = req.get_header_value("If-Match");
    method = req.method;
    res.set_content(req.body, "application/atom+xml");
  });
  http.start();
  ADServiceContact service;
  EXPECT_EQ(service.serviceUploadChunkSize(), 0u);
  service.setServiceUploadChunkSize(UINT32_MAX);
  EXPECT_EQ(service.serviceUploadChunkSize(), UINT32_MAX);
  service.setAuthorization(std::string("Bearer token"));
  ADRegisterServiceFamilies();

  auto entry = ADEntryContact::contactEntryWithTitle(std::string("Ann"));
  entry->setETag(std::string("\"v1\""));
  int calls = 0;
  ADObjectPtr answer;
  service.fetchEntryByUpdatingEntry(*entry, http.url("/other"),
                                    [&](ADServiceTicket&, ADObjectPtr o, const std::optional<ADServiceError>& e) {
                                      ++calls;
                                      EXPECT_FALSE(e);
                                      answer = o;
                                    });
  ASSERT_TRUE(runUntil([&] { return calls > 0; }));
  EXPECT_EQ(method, "PUT");
  EXPECT_EQ(version, "3.0");
  EXPECT_EQ(authorization, "Bearer token");
  EXPECT_EQ(ifMatch, "\"v1\"");
  // The answer is parsed as the class of the entry sent.
  ASSERT_TRUE(answer);
  EXPECT_EQ(&answer->classInfo(), &ADEntryContact::adClass());
  EXPECT_TRUE(answer->isEqual(*entry));
}
