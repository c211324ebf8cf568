#include <gtest/gtest.h>

#include <mutex>

#include "ADFamilyTestSupport.h"
#include "atomdata/codesearch/ADACL.h"
#include "atomdata/codesearch/ADCodeSearch.h"
#include "net/NetTestSupport.h"
#include "platform/foundation/RunLoop.h"

using namespace ad_test;

namespace {

const std::string kResults = R"(<feed xmlns="http://www.w3.org/2005/Atom" xmlns:gcs="http://schemas.flipdesk.net/codesearch/2006">
  <category scheme="http://schemas.flipdesk.net/g/2005#kind" term="http://schemas.flipdesk.net/codesearch/2006#result"/>
  <title>Results</title>
  <entry>
    <title>src/main.c</title>
    <gcs:package name="tools-1.0" uri="http://code.test/tools-1.0.tar.gz"/>
    <gcs:file name="tools-1.0/src/main.c"/>
    <gcs:match lineNumber="12" type="text/html">int &lt;b&gt;main&lt;/b&gt;(void)</gcs:match>
    <gcs:match lineNumber="40" type="text/html">return main_loop();</gcs:match>
  </entry>
</feed>)";

const std::string kRules = R"(<feed xmlns="http://www.w3.org/2005/Atom" xmlns:gAcl="http://schemas.flipdesk.net/acl/2007">
  <category scheme="http://schemas.flipdesk.net/g/2005#kind" term="http://schemas.flipdesk.net/acl/2007#accessRule"/>
  <entry>
    <category scheme="http://schemas.flipdesk.net/g/2005#kind" term="http://schemas.flipdesk.net/acl/2007#accessRule"/>
    <link rel="http://schemas.flipdesk.net/acl/2007#controlledObject" href="http://cal.test/c/1"/>
    <gAcl:scope type="user" value="ann@mail.test" name="Ann"/>
    <gAcl:role value="http://schemas.flipdesk.net/acl/2007#read"/>
    <gAcl:withKey key="A1B2"><gAcl:role value="http://schemas.flipdesk.net/acl/2007#owner"/></gAcl:withKey>
  </entry>
</feed>)";

class ADCodeSearchTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { registerFamilies(); }
};

}  // namespace

TEST_F(ADCodeSearchTest, ResultsParseByTheirKindAndKeepEveryField) {
  auto feed = parse<ADFeedCodeSearch>(kResults);
  ASSERT_TRUE(feed);
  auto entry = std::dynamic_pointer_cast<ADEntryCodeSearch>(feed->entries().at(0));
  ASSERT_TRUE(entry);
  EXPECT_EQ(ADEntryCodeSearch::adClass().defaultServiceVersion(), std::string("2.0"));
  EXPECT_EQ(ADFeedCodeSearch::adClass().defaultServiceVersion(), std::string("2.0"));
  roundTrip(*feed, ADEntryCodeSearch::codeSearchNamespaces());

  ASSERT_EQ(entry->matches().size(), 2u);
  ADCodeSearchMatch& match = *entry->matches()[0];
  checkAccessors<ADEntryCodeSearch>(*entry, {
      {"file", [](auto& e) { return e.file()->name(); },
       [](auto& e, const Text& v) { e.setFile(ADCodeSearchFile::fileWithName(v)); }, "tools-1.0/src/main.c", "b.c"},
      {"package name", [](auto& e) { return e.package()->name(); }, [](auto& e, const Text& v) { e.package()->setName(v); },
       "tools-1.0", "tools-2.0"},
      {"package URI", [](auto& e) { return e.package()->URI(); }, [](auto& e, const Text& v) { e.package()->setURI(v); },
       "http://code.test/tools-1.0.tar.gz", std::nullopt},
  });
  checkAccessors<ADCodeSearchMatch>(match, {
      {"text", [](auto& m) { return m.stringValue(); }, [](auto& m, const Text& v) { m.setStringValue(v); },
       "int <b>main</b>(void)", "x"},
      {"line", [](auto& m) { return m.lineNumberString(); }, [](auto& m, const Text& v) { m.setLineNumberString(v); },
       "12", "13"},
      {"type", [](auto& m) { return m.type(); }, [](auto& m, const Text& v) { m.setType(v); }, "text/html",
       "text/plain"},
  });
  entry->addMatch(ADCodeSearchMatch::matchWithStringValue(std::string("y"), std::string("text"), std::string("99")));
  auto again = roundTrip(*entry, ADEntryCodeSearch::codeSearchNamespaces());
  ASSERT_TRUE(again);
  // A package without a URI writes none.
  EXPECT_EQ(again->XMLDocumentString().find("uri="), std::string::npos);
  EXPECT_EQ(again->matches().at(2)->lineNumberString(), "99");

  auto a = ADCodeSearchPackage::packageWithName(std::string("p"), std::string("http://a"));
  auto b = ADCodeSearchPackage::packageWithName(std::string("p"), std::string("http://b"));
  EXPECT_FALSE(a->isEqual(*b));
  b->setURI(std::string("http://a"));
  EXPECT_TRUE(a->isEqual(*b));
  auto copy = std::static_pointer_cast<ADCodeSearchPackage>(a->copy());
  a->setURI(std::nullopt);
  EXPECT_EQ(copy->URI(), "http://a");
  EXPECT_FALSE(ADCodeSearchFile::fileWithName(std::string("a"))->isEqual(*ADCodeSearchFile::fileWithName(std::nullopt)));

  // Made without namespaces, as the family's factories leave them.
  EXPECT_TRUE(ADFeedCodeSearch::codeSearchFeed()->namespaces().empty());
  EXPECT_TRUE(ADEntryCodeSearch::codeSearchEntryWithFile(nullptr, nullptr)->namespaces().empty());
  auto parsed = ADFeedCodeSearch::codeSearchFeedWithXMLData(kResults);
  ASSERT_TRUE(parsed.ok());
  EXPECT_EQ((*parsed)->entries().size(), 1u);
  EXPECT_FALSE(ADFeedCodeSearch::codeSearchFeedWithXMLData("<entry xmlns=\"http://www.w3.org/2005/Atom\"/>").ok());
}

TEST_F(ADCodeSearchTest, AccessRulesPairAScopeWithARole) {
  auto feed = parse<ADFeedACL>(kRules);
  ASSERT_TRUE(feed);
  auto rule = std::dynamic_pointer_cast<ADEntryACL>(feed->entries().at(0));
  ASSERT_TRUE(rule);
  EXPECT_EQ(ADEntryACL::adClass().defaultServiceVersion(), std::string("1.0"));
  EXPECT_EQ(rule->controlledObjectLink()->href(), "http://cal.test/c/1");
  roundTrip(*feed, ADEntryACL::ACLNamespaces());

  checkAccessors<ADEntryACL>(*rule, {
      {"scope type", [](auto& e) { return e.scope()->type(); }, [](auto& e, const Text& v) { e.scope()->setType(v); },
       "user", "domain"},
      {"scope value", [](auto& e) { return e.scope()->value(); }, [](auto& e, const Text& v) { e.scope()->setValue(v); },
       "ann@mail.test", "mail.test"},
      {"scope name", [](auto& e) { return e.scope()->name(); }, [](auto& e, const Text& v) { e.scope()->setName(v); },
       "Ann", std::nullopt},
      {"role", [](auto& e) { return e.role()->value(); },
       [](auto& e, const Text& v) { e.setRole(ADACLRole::roleWithValue(v)); },
       AD_SCHEMA_ROOT "/acl/2007#read", AD_SCHEMA_ROOT "/acl/2007#writer"},
      {"key", [](auto& e) { return e.keyedRole()->key(); }, [](auto& e, const Text& v) { e.keyedRole()->setKey(v); },
       "A1B2", "C3"},
      {"keyed role", [](auto& e) { return e.keyedRole()->role()->value(); },
       [](auto& e, const Text& v) { e.setKeyedRole(ADACLKeyedRole::keyedRoleWithKey(std::string("C3"), v)); },
       AD_SCHEMA_ROOT "/acl/2007#owner", "none"},
  });
  roundTrip(*rule, ADEntryACL::ACLNamespaces());

  // Any entry finds its list.
  ADEntryBase shared;
  EXPECT_FALSE(ACLLink(shared));
  shared.addLink(ADLink::linkWithRel(std::string(kADACLLinkRel), std::nullopt, std::string("http://cal.test/acl")));
  EXPECT_EQ(ACLLink(shared)->href(), "http://cal.test/acl");

  auto made = ADEntryACL::ACLEntryWithScope(ADACLScope::scopeWithType(std::string("default"), std::nullopt),
                                            ADACLRole::roleWithValue(std::string("r")));
  EXPECT_EQ(made->namespaces(), ADEntryACL::ACLNamespaces());
  EXPECT_EQ(made->scope()->type(), "default");
  EXPECT_EQ(ADFeedACL::ACLFeed()->namespaces().at("gAcl"), kADNamespaceACL);
  auto parsed = ADFeedACL::ACLFeedWithXMLData(kRules);
  ASSERT_TRUE(parsed.ok());
  EXPECT_TRUE(std::dynamic_pointer_cast<ADEntryACL>((*parsed)->entries().at(0)));
}

namespace {
class ADACLServiceTest : public net_test::NetTest {
 protected:
  void SetUp() override {
    net_test::NetTest::SetUp();
    registerFamilies();
  }
  // Sends one insert and waits for its answer; the body the server received.
  std::string insert(ADEntryACL& entry) {
    int calls = 0;
    ad_acl::fetchACLEntryByInsertingEntry(service, entry, http.url("/acl"),
                                          [&](ADServiceTicket&, ADObjectPtr, const std::optional<ADServiceError>&) {
                                            ++calls;
                                          });
    EXPECT_TRUE(runUntil([&] { return calls > 0; }));
    std::lock_guard lock(m);
    return body;
  }
  std::mutex m;
  std::string body;
  ADServiceAccount service;
};
}  // namespace

TEST_F(ADACLServiceTest, InsertedRulesCarryTheListNamespacesOnlyWhenTheyHaveNone) {
  http.server().Post("/acl", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(m);
    body = req.body;
    res.status = 201;
    res.set_content(req.body, "application/atom+xml");
  });
  http.start();

  ADEntryACL bare;
  bare.setRole(ADACLRole::roleWithValue(std::string("reader")));
  std::string sent = insert(bare);
  EXPECT_EQ(bare.namespaces(), ADEntryACL::ACLNamespaces());
  for (const auto& [prefix, uri] : ADEntryACL::ACLNamespaces()) {
    const std::string declaration = (prefix.empty() ? "xmlns=\"" : "xmlns:" + prefix + "=\"") + uri + "\"";
    EXPECT_NE(sent.find(declaration), std::string::npos) << declaration << " in " << sent;
  }
  auto parsed = parse<ADEntryACL>(sent, &ADEntryACL::adClass());
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->role()->value(), "reader");

  // Declarations of its own are left as they are.
  ADEntryACL declared;
  declared.setNamespaces({{"", kADNamespaceAtom}, {"gAcl", kADNamespaceACL}});
  declared.setRole(ADACLRole::roleWithValue(std::string("writer")));
  sent = insert(declared);
  EXPECT_EQ(declared.namespaces().size(), 2u);
  EXPECT_EQ(sent.find("xmlns:app"), std::string::npos) << sent;
  EXPECT_NE(sent.find("gAcl:role"), std::string::npos);
}
