#include <gtest/gtest.h>

#include "ADFamilyTestSupport.h"
#include "atomdata/itembase/ADItemBase.h"
#include "net/HTTPRequest.h"
#include "net/NetTestSupport.h"

namespace {

const std::string kNS =
    "xmlns:g=\"http://base.flipdesk.net/base/ns/1.0\" xmlns:gm=\"http://base.flipdesk.net/base/ns-metadata/1.0\"";

const std::string kFeed = ad_test::feedXML(
    kNS, "<title>Items</title>",
    "<entry><title>Bike</title>"
    "<g:item_type type=\"text\">Products</g:item_type><g:price type=\"floatUnit\">120 usd</g:price>"
    "<g:quantity type=\"int\">3</g:quantity><g:weight type=\"float\">9.5</g:weight>"
    "<g:size type=\"numberUnit\">L</g:size><g:made type=\"date\">2009-01-01</g:made>"
    "<g:expiration_date type=\"dateTime\">2010-05-06T07:08:09Z</g:expiration_date>"
    "<g:label type=\"text\">red</g:label><g:label type=\"text\">used</g:label>"
    "<g:payment_accepted type=\"text\">cash</g:payment_accepted>"
    "<g:pickup type=\"boolean\">TRUE</g:pickup><g:customer_id type=\"int\">x12</g:customer_id>"
    "<g:shipping type=\"shipping\" access=\"Private\"><g:country type=\"text\">DE</g:country></g:shipping>"
    "<gm:item_type>Products</gm:item_type>"
    "<gm:attributes><gm:attribute name=\"color\" type=\"text\" count=\"4\"><gm:value count=\"3\">red</gm:value></gm:attribute></gm:attributes>"
    "</entry>");

class ADItemBaseTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ad_test::registerFamilies(); }
};

TEST_F(ADItemBaseTest, FeedParsesAsNamedAndItsAttributesByName) {
  // No kind is registered: the kind maps leave a plain feed, the named class parses the family's.
  auto plain = ad_test::parse<ADFeedBase>(kFeed);
  ASSERT_TRUE(plain);
  EXPECT_STREQ(plain->classInfo().name, "ADFeedBase");
  auto parsed = ADFeedItemBase::itemBaseFeedWithXMLData(kFeed);
  ASSERT_TRUE(parsed.ok()) << parsed.error();
  auto feed = *parsed;
  auto item = std::dynamic_pointer_cast<ADEntryItemBase>(feed->entries().at(0));
  ASSERT_TRUE(item);
  EXPECT_EQ(item->itemType(), "Products");
  EXPECT_EQ(item->price(), "120 usd");
  EXPECT_EQ(item->quantity(), 3);
  EXPECT_EQ(item->customerID(), std::nullopt) << "text that does not start with digits";
  EXPECT_EQ(item->labels(), (std::vector<std::string>{"red", "used"}));
  EXPECT_EQ(item->shouldPickUp(), true);
  EXPECT_EQ(item->expirationDate()->RFC3339String(), "2010-05-06T07:08:09Z");
  EXPECT_EQ(item->imageLink(), std::nullopt);
  EXPECT_EQ(item->metadataItemType(), "Products");
  auto color = item->metadataAttributeList()->metadataAttributes().at(0);
  EXPECT_EQ(color->count(), 4);
  EXPECT_EQ(color->values().at(0)->contents(), "red");
  auto shipping = item->attributeWithName(std::string("shipping"), std::nullopt);
  ASSERT_TRUE(shipping);
  EXPECT_TRUE(shipping->isPrivate()) << "ignoring case";
  EXPECT_EQ(shipping->subAttributes().at(0)->textValue(), "DE");
  EXPECT_EQ(item->attributeDictionary().at("item_type").size(), 1u);
  ad_test::roundTrip(*feed);
}

TEST_F(ADItemBaseTest, TypeHierarchyLookups) {
  auto feed = *ADFeedItemBase::itemBaseFeedWithXMLData(kFeed);
  auto item = std::dynamic_pointer_cast<ADEntryItemBase>(feed->entries().at(0));
  auto names = [](const std::vector<std::shared_ptr<ADItemBaseAttribute>>& list) {
    std::vector<std::string> out;
    for (const auto& a : list) out.push_back(a->name());
    return out;
  };
  struct Case {
    std::string type;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"number", {"quantity", "weight", "customer id"}},
      {"numberUnit", {"price", "size"}},
      {"dateTimeRange", {"made", "expiration date"}},
      {"date", {"made", "expiration date"}},
      {"dateTime", {"expiration date"}},
      {"shipping", {"shipping"}},
  };
  for (const Case& c : cases) EXPECT_EQ(names(item->attributesWithName(std::nullopt, c.type)), c.names) << c.type;
  EXPECT_FALSE(ADEntryItemBase::isAttributeType(std::nullopt, std::string("int")));
  EXPECT_TRUE(ADEntryItemBase::isAttributeType(std::string("text"), std::string("text")));
  EXPECT_FALSE(ADEntryItemBase::isAttributeType(std::string("int"), std::string("number")));
}

TEST_F(ADItemBaseTest, TypedSettersNamesAndShipping) {
  auto item = ADEntryItemBase::itemBaseEntryForCategoryTerm(std::string("Products"));
  EXPECT_EQ(item->categories().at(0)->scheme(), kADItemBaseItemTypeScheme);
  item->setPriceType(std::string("firm"));
  EXPECT_NE(item->XMLDocumentString().find("<g:price_type type=\"text\">firm</g:price_type>"), std::string::npos);
  item->setPrice(std::string("1 eur"));
  item->addEntryAttribute(ADItemBaseAttribute::attributeWithName("price", std::string("floatUnit"), std::string("2 eur")));
  EXPECT_EQ(item->price(), std::nullopt) << "two prices";
  item->setItemType(std::string("Jobs"));
  item->setItemType(std::nullopt);
  EXPECT_TRUE(item->attributesWithName(std::string("item type"), std::string("text")).empty());
  item->addPaymentMethod("cash");
  item->addPaymentMethod("cheque");
  item->addPaymentMethod("cash");
  EXPECT_EQ(item->paymentMethods(), (std::vector<std::string>{"cash", "cheque"}));
  // Adding a shipping value keeps the others (no shipping value is dropped).
  item->addShipping("DE:::5 eur");
  item->addShipping("FR:::9 eur");
  item->addShipping("DE:::5 eur");
  EXPECT_EQ(item->shippings(), (std::vector<std::string>{"DE:::5 eur", "FR:::9 eur"}));
  item->setQuantity(12);
  item->setTaxPercent(7.5f);
  item->setShouldPickUp(false);
  item->addImageLink("http://i.test/1.jpg");
  item->setExpirationDate(ADDateTime::dateTimeWithRFC3339String("2011-01-01T00:00:00Z"));
  auto again = ad_test::roundTrip(*item);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->quantity(), 12);
  EXPECT_FLOAT_EQ(*again->taxPercent(), 7.5f);
  EXPECT_EQ(again->shouldPickUp(), false);
  EXPECT_EQ(again->imageLink(), "http://i.test/1.jpg");
  item->setQuantity(std::nullopt);
  EXPECT_FALSE(item->quantity());

  auto renamed = ADItemBaseAttribute::attributeWithName("a b", std::nullopt, std::nullopt);
  renamed->setName("");
  EXPECT_EQ(renamed->elementName(), "g:a_b") << "an empty name renames nothing";
  auto other = ADItemBaseAttribute::attributeWithName("c", std::nullopt, std::nullopt);
  EXPECT_FALSE(renamed->isEqual(*other)) << "names differ";
  renamed->setIsPrivate(true);
  EXPECT_EQ(renamed->stringValueForAttribute("access"), "private");
  renamed->setIsPrivate(false);
  EXPECT_FALSE(renamed->stringValueForAttribute("access"));
}

TEST_F(ADItemBaseTest, QueryAndDeveloperKeyHeader) {
  auto q = ADQueryItemBase::itemBaseQueryWithFeedURL("http://b.test/feeds");
  q->setItemBaseQuery(std::string("[item type:products]"));
  q->setMaxValues(0);
  EXPECT_FALSE(q->valueForParameterWithName("max-values"));
  q->setMaxValues(5);
  EXPECT_EQ(q->maxValues(), 5);

}

class ADItemBaseServiceTest : public net_test::NetTest {};

TEST_F(ADItemBaseServiceTest, FetchesAsTheFamilysFeedWithTheDeveloperKey) {
  ad_test::registerFamilies();
  std::vector<std::string> keys;
  http.server().Get("/feed", [&](const httplib::Request& req, httplib::Response& res) {
    keys.push_back(req.has_header("X-Developer-Key") ? req.get_header_value("X-Developer-Key") : "none");
    res.set_content(kFeed, "application/atom+xml");
  });
  http.start();
  ADServiceItemBase service;
  EXPECT_EQ(service.serviceID(), "gbase");
  for (const char* key : {"", "abc"}) {
    service.setDeveloperKey(std::string(key));
    ADObjectPtr fetched;
    bool done = false;
    service.fetchFeedWithURL(http.url("/feed"), [&](ADServiceTicket&, ADObjectPtr o, const std::optional<ADServiceError>&) {
      fetched = std::move(o);
      done = true;
    });
    ASSERT_TRUE(runUntil([&] { return done; }));
    auto feed = std::dynamic_pointer_cast<ADFeedItemBase>(fetched);
    ASSERT_TRUE(feed) << "parsed as the family's feed without any kind";
    EXPECT_TRUE(std::dynamic_pointer_cast<ADEntryItemBase>(feed->entries().at(0)));
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"none", "key=abc"}));
}

}  // namespace
