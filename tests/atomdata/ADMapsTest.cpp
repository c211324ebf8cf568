#include <gtest/gtest.h>

#include "ADFamilyTestSupport.h"
#include "atomdata/maps/ADMaps.h"

namespace {

const std::string kRoot = "http://schemas.flipdesk.net/maps/2008#";

class ADMapsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ad_test::registerFamilies(); }
};

TEST_F(ADMapsTest, FeedsOfEachKind) {
  struct Case {
    std::string kind, entryBody, feedClass, entryClass;
  };
  const Case cases[] = {
      {"map",
       "<content type=\"application/atom+xml\" src=\"http://m.test/features\"/>"
       "<gd:customProperty name=\"api_visible\">0</gd:customProperty>"
       "<link rel=\"http://schemas.flipdesk.net/maps/2008#view\" href=\"http://m.test/view\"/>",
       "ADFeedMap", "ADEntryMap"},
      {"feature",
       "<content type=\"application/vnd.google-earth.kml+xml\"><Placemark xmlns=\"http://www.opengis.net/kml/2.2\">"
       "<name>Pier</name></Placemark></content><gd:structuredPostalAddress><gd:city>Kiel</gd:city></gd:structuredPostalAddress>"
       "<gd:customProperty name=\"colour\">red</gd:customProperty>",
       "ADFeedMapFeature", "ADEntryMapFeature"},
      {"version", "<title>v2</title>", "ADFeedMapVersion", "ADEntryMapVersion"},
  };
  for (const Case& c : cases) {
    auto feed = ad_test::parse<ADFeedBase>(ad_test::feedXML(
        "", ad_test::kindCategory(kRoot + c.kind), "<entry>" + ad_test::kindCategory(kRoot + c.kind) + c.entryBody + "</entry>"));
    ASSERT_TRUE(feed);
    EXPECT_EQ(feed->classInfo().name, c.feedClass);
    EXPECT_EQ(ad_test::entryClassNames(*feed), std::vector<std::string>{c.entryClass});
    ad_test::roundTrip(*feed);
  }
  auto maps = ad_test::parse<ADFeedMap>(ad_test::feedXML("", ad_test::kindCategory(kRoot + "map"), "<entry>" + cases[0].entryBody + "</entry>"));
  auto map = std::dynamic_pointer_cast<ADEntryMap>(maps->entries().at(0));
  EXPECT_EQ(map->featuresFeedURL(), "http://m.test/features");
  EXPECT_EQ(map->viewLink()->href(), "http://m.test/view");
  EXPECT_FALSE(map->isAPIVisible());
  auto features = ad_test::parse<ADFeedMapFeature>(
      ad_test::feedXML("", ad_test::kindCategory(kRoot + "feature"), "<entry>" + cases[1].entryBody + "</entry>"));
  auto feature = std::dynamic_pointer_cast<ADEntryMapFeature>(features->entries().at(0));
  ASSERT_EQ(feature->KMLValues().size(), 1u);
  EXPECT_EQ(feature->KMLValues()[0].name(), "Placemark");
  EXPECT_EQ(feature->customPropertyWithName("colour")->value(), "red");
  EXPECT_TRUE(feature->postalAddress());
}

TEST_F(ADMapsTest, APIVisibility) {
  struct Case {
    std::optional<std::string> value;
    bool visible;
  };
  for (const Case& c : {Case{std::nullopt, true}, Case{"0", false}, Case{"1", true}, Case{"-2", false}}) {
    auto map = ADEntryMap::mapEntryWithTitle(std::string("Trip"));
    if (c.value) map->addCustomProperty(ADCustomProperty::propertyWithName(std::string("api_visible"), c.value));
    EXPECT_EQ(map->isAPIVisible(), c.visible) << c.value.value_or("none");
  }
}

TEST_F(ADMapsTest, KMLInsideTheContent) {
  auto feature = ADEntryMapFeature::featureEntryWithTitle(std::string("Pier"));
  EXPECT_EQ(feature->title()->stringValue(), "Pier");
  EXPECT_TRUE(feature->KMLValues().empty());
  feature->addKMLValue(ADXMLNode::elementWithName("Placemark"));
  ASSERT_TRUE(feature->content());
  EXPECT_EQ(feature->content()->type(), kADMapsKMLContentType);
  feature->addKMLValue(ADXMLNode::elementWithName("Style"));
  ASSERT_EQ(feature->KMLValues().size(), 2u);
  EXPECT_EQ(feature->KMLValues()[1].name(), "Style");
  feature->setKMLValues({ADXMLNode::elementWithName("Point")});
  EXPECT_EQ(feature->KMLValues().size(), 1u);

  auto other = ADEntryMapFeature::featureEntryWithTitle(std::nullopt);
  other->setContent(ADEntryContent::contentWithString(std::string("text")));
  other->setKMLValues({ADXMLNode::elementWithName("Point")});
  EXPECT_EQ(other->content()->type(), kADMapsKMLContentType) << "existing content becomes KML-typed";
}

TEST_F(ADMapsTest, QueryURLsAndUpdateNamespaces) {
  auto q = ADQueryMaps::mapsQueryWithFeedURL("http://m.test/f");
  q->setBoxWithWest(-1, -2, 3, 4);
  EXPECT_EQ(q->boxString(), "-1.000000,-2.000000,3.000000,4.000000");
  EXPECT_EQ(q->latitude(), 0.0);
  q->setLatitude(52.5);
  EXPECT_EQ(q->valueForParameterWithName("lat"), "52.500000");
  EXPECT_EQ(q->latitude(), 52.5);
  EXPECT_EQ(ADServiceMaps::mapsFeedURLForUserID("a b", "full"), std::string(ADServiceMaps::kRootURLString) + "maps/a+b/full");
  EXPECT_EQ(ADServiceMaps().serviceID(), "local");

  ADEntryMapFeature feature;
  ADServiceMaps::addServerNamespacesIfNone(feature);
  EXPECT_EQ(feature.namespaces().at(""), kADNamespaceKML);
  EXPECT_EQ(feature.namespaces().at("atom"), kADNamespaceAtom);
  ADEntryMap map;
  ADServiceMaps::addServerNamespacesIfNone(map);
  EXPECT_EQ(map.namespaces().at("kml"), kADNamespaceKML);
  auto kept = ADEntryMapFeature::featureEntryWithTitle(std::nullopt);
  ADServiceMaps::addServerNamespacesIfNone(*kept);
  EXPECT_EQ(kept->namespaces().at(""), kADNamespaceAtom) << "an entry with namespaces keeps them";
}

}  // namespace
