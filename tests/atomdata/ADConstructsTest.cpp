#include <gtest/gtest.h>

#include "atomdata/ADGeo.h"
#include "atomdata/ADEntryBase.h"

// An entry that accepts geo locations in any of their three forms.
class ADEntryWithGeoForTest : public ADEntryBase {
  AD_CLASS(ADEntryWithGeoForTest)
  void addExtensionDeclarations() override {
    ADEntryBase::addExtensionDeclarations();
    ADGeo::addGeoExtensionDeclarationsToObject(*this, adClass());
  }
};
AD_DEFINE_CLASS(ADEntryWithGeoForTest, ADEntryBase)

namespace {
class ADTestRating : public ADValueConstruct {
  AD_CLASS(ADTestRating)
};
class ADTestField : public ADNameValueConstruct {
  AD_CLASS(ADTestField)
  std::string nameAttributeName() const override { return "key"; }
};
}  // namespace
AD_DEFINE_CLASS(ADTestRating, ADValueConstruct, .uri = "urn:test", .prefix = "t", .localName = "rating")
AD_DEFINE_CLASS(ADTestField, ADNameValueConstruct, .uri = "urn:test", .prefix = "t", .localName = "field")

TEST(ADConstructs, ValuesLiveInTheirAttributeOrText) {
  EXPECT_FALSE(ADValueConstruct::valueWithString<ADTestRating>(std::nullopt));
  EXPECT_FALSE(ADValueConstruct::valueWithNumber<ADTestRating>(std::nullopt));
  auto rating = ADValueConstruct::valueWithInt<ADTestRating>(4);
  EXPECT_EQ(rating->stringValueForAttribute("value"), "4");
  EXPECT_EQ(rating->intNumberValue(), 4);
  EXPECT_EQ(rating->longLongNumberValue(), 4);
  rating->setDoubleValue(2.25);
  EXPECT_EQ(rating->stringValue(), "2.25");
  EXPECT_EQ(rating->doubleValue(), 2.25);
  EXPECT_FALSE(rating->boolValue());
  auto yes = ADValueConstruct::valueWithBool<ADTestRating>(true);
  EXPECT_EQ(yes->stringValue(), "true");
  EXPECT_TRUE(yes->boolValue());
  yes->setStringValue(std::string("TRUE"));
  EXPECT_EQ(yes->boolNumberValue(), true);
  yes->setStringValue(std::string("yes"));
  EXPECT_EQ(yes->boolNumberValue(), false);
  yes->setStringValue(std::nullopt);
  EXPECT_FALSE(yes->boolNumberValue());
  auto when = ADValueConstruct::valueWithDateTime<ADAtomUpdatedDate>(ADDateTime::dateTimeWithSeconds(86400));
  EXPECT_EQ(when->contentStringValue(), "1970-01-02T00:00:00Z");
  EXPECT_EQ(when->dateTimeValue()->secondsSince1970(), 86400);
  EXPECT_FALSE(when->stringValueForAttribute("value"));
  EXPECT_FALSE(ADValueConstruct::valueWithDateTime<ADAtomUpdatedDate>(std::nullopt));

  auto field = ADValueConstruct::valueWithString<ADTestField>(std::string("38"));
  field->setName(std::string("shoe"));
  EXPECT_EQ(field->stringValueForAttribute("key"), "shoe");
  field->setNamespaces({{"t", "urn:test"}});
  fd::Expected<ADObjectPtr> back = ADObjectWithXMLData(field->XMLDocumentString(), &ADTestField::adClass());
  ASSERT_TRUE(back.ok()) << back.error();
  EXPECT_TRUE(field->isEqual(**back));
  EXPECT_EQ(std::static_pointer_cast<ADTestField>(*back)->name(), "shoe");
}

TEST(ADConstructs, TextConstructsAndContentKeepTypeLanguageAndXML) {
  auto title = ADTextConstruct::textConstructWithString<ADAtomTitle>(std::string("a < b"));
  title->setType(std::string("text"));
  title->setLang(std::string("de"));
  const std::string xml = title->XMLDocumentString();
  EXPECT_NE(xml.find("<title type=\"text\" xml:lang=\"de\">a &lt; b</title>"), std::string::npos) << xml;
  EXPECT_FALSE(ADTextConstruct::textConstructWithString<ADAtomTitle>(std::nullopt));

  auto content = ADEntryContent::contentWithXMLValue(ADXMLNode::elementWithName("p", std::string("hi")), std::string("xhtml"));
  ASSERT_EQ(content->XMLValues().size(), 1u);
  EXPECT_EQ(content->XMLValues()[0].XMLString(), "<p>hi</p>");
  EXPECT_EQ(ADXMLNode::localNameForName("media:thumbnail"), "thumbnail");
  EXPECT_EQ(ADXMLNode::localNameForName("plain"), "plain");
  EXPECT_EQ(ADXMLNode::elementWithName("x:y").name(), "x:y");
}

TEST(ADConstructs, GeoLocationsInEachFormRoundTrip) {
  const std::string xml = R"(<feed xmlns="http://www.w3.org/2005/Atom" xmlns:georss="http://www.georss.org/georss"
      xmlns:gml="http://www.opengis.net/gml" xmlns:geo="http://www.w3.org/2003/01/geo/wgs84_pos#">
    <entry><georss:point>45.256 -71.92</georss:point></entry>
    <entry><georss:where><gml:Point><gml:pos>-33.5 151.25</gml:pos></gml:Point></georss:where></entry>
    <entry><geo:Point><geo:lat>10</geo:lat><geo:long>20.5</geo:long></geo:Point></entry>
  </feed>)";
  fd::Expected<ADObjectPtr> parsed = ADObjectWithXMLData(xml);
  ASSERT_TRUE(parsed.ok()) << parsed.error();
  auto feed = std::static_pointer_cast<ADFeedBase>(*parsed);
  ASSERT_EQ(feed->entries().size(), 3u);
  // The entries are plain entries here, so parse each again as the geo test class.
  const double expected[3][2] = {{45.256, -71.92}, {-33.5, 151.25}, {10, 20.5}};
  for (int i = 0; i < 3; ++i) {
    auto entry = feed->entries()[i];
    entry->setNamespaces(ADGeo::geoNamespaces());
    entry->addNamespaces({{"", "http://www.w3.org/2005/Atom"}});
    fd::Expected<ADObjectPtr> geoEntry = ADObjectWithXMLData(entry->XMLDocumentString(), &ADEntryWithGeoForTest::adClass());
    ASSERT_TRUE(geoEntry.ok()) << geoEntry.error();
    auto geo = ADGeo::geoLocationForObject(**geoEntry);
    ASSERT_TRUE(geo) << i;
    EXPECT_EQ(geo->latitude, expected[i][0]);
    EXPECT_EQ(geo->longitude, expected[i][1]);
    EXPECT_TRUE((*geoEntry)->unknownChildren().empty());
    fd::Expected<ADObjectPtr> again = ADObjectWithXMLData((*geoEntry)->XMLDocumentString(), &ADEntryWithGeoForTest::adClass());
    ASSERT_TRUE(again.ok());
    EXPECT_TRUE((*geoEntry)->isEqual(**again)) << (*geoEntry)->XMLDocumentString();
  }

  ADEntryWithGeoForTest entry;
  ADGeo::setGeoLocation(ADGeo::geoWithLatitude<ADGeoRSSPoint>(1.5, 2), entry);
  ADGeo::setGeoLocation(ADGeo::geoWithLatitude<ADGeoW3CPoint>(3, 4), entry);
  EXPECT_FALSE(entry.objectForExtensionClass(ADGeoRSSPoint::adClass()));
  EXPECT_EQ(ADGeo::geoLocationForObject(entry)->latitude, 3);
  ADGeo::setGeoLocation(nullptr, entry);
  EXPECT_FALSE(ADGeo::geoLocationForObject(entry));
}

TEST(ADConstructs, APointWhoseNamespaceIsDeclaredOnItselfKeepsItWhenWritten) {
  const std::string xml = R"(<entry xmlns="http://www.w3.org/2005/Atom" xmlns:georss="http://www.georss.org/georss">
    <georss:where><gml:Point xmlns:gml="http://www.opengis.net/gml"><gml:pos>-33.5 151.25</gml:pos></gml:Point></georss:where>
  </entry>)";
  fd::Expected<ADObjectPtr> parsed = ADObjectWithXMLData(xml, &ADEntryWithGeoForTest::adClass());
  ASSERT_TRUE(parsed.ok()) << parsed.error();
  auto geo = ADGeo::geoLocationForObject(**parsed);
  ASSERT_TRUE(geo);
  EXPECT_EQ(geo->latitude, -33.5);
  const std::string written = (*parsed)->XMLDocumentString();
  fd::Expected<ADObjectPtr> again = ADObjectWithXMLData(written, &ADEntryWithGeoForTest::adClass());
  ASSERT_TRUE(again.ok()) << again.error() << "\n" << written;
  auto geoAgain = ADGeo::geoLocationForObject(**again);
  ASSERT_TRUE(geoAgain) << written;
  EXPECT_EQ(geoAgain->longitude, 151.25);
}
