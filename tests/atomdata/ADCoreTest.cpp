#include <gtest/gtest.h>

#include <string>

#include "atomdata/ADConstants.h"
#include "atomdata/ADEntryBase.h"
#include "atomdata/ADQuery.h"
#include "atomdata/ADUtilities.h"

namespace {

// A feed of the shape the video service sends: namespaces on the root, an
// element nobody declared, entries with links, categories and authors.
const char* kFeed = R"(<?xml version="1.0" encoding="UTF-8"?>
<feed xmlns="http://www.w3.org/2005/Atom" xmlns:gd="http://schemas.flipdesk.net/g/2005"
      xmlns:openSearch="http://a9.com/-/spec/opensearch/1.1/" xmlns:x="urn:example:x" gd:etag="W/&quot;CkY&quot;">
  <id>http://example.test/feeds/videos</id>
  <updated>2008-05-21T09:30:00.125-07:00</updated>
  <title type="text">Animations &amp; more</title>
  <link rel="self" type="application/atom+xml" href="http://example.test/feeds/videos?start=1"/>
  <openSearch:totalResults>2</openSearch:totalResults>
  <x:extra level="3">kept as it is</x:extra>
  <entry gd:etag="W/&quot;A0&quot;">
    <id>tag:example.test,2008:video-1</id>
    <published>2008-05-20T18:00:00Z</published>
    <title>First</title>
    <content type="text">A bouncing ball</content>
    <author><name>Ann</name><email>ann@example.test</email></author>
    <category scheme="http://example.test/tags" term="ball" label="Ball"/>
    <link rel="edit" href="http://example.test/feeds/videos/1"/>
    <link rel="alternate" type="text/html" href="http://example.test/watch/1"/>
  </entry>
  <entry>
    <id>tag:example.test,2008:video-2</id>
    <title xml:lang="fr">Deuxième</title>
    <content type="xhtml"><div xmlns="http://www.w3.org/1999/xhtml"><b>bold</b> words</div></content>
  </entry>
</feed>)";

std::shared_ptr<ADFeedBase> parseFeed(const std::string& xml) {
  fd::Expected<ADObjectPtr> parsed = ADObjectWithXMLData(xml);
  EXPECT_TRUE(parsed.ok()) << parsed.error();
  if (!parsed) return nullptr;
  return std::dynamic_pointer_cast<ADFeedBase>(*parsed);
}

}  // namespace

TEST(ADParsing, FeedParsesIntoBaseClassesWithItsChildren) {
  auto feed = parseFeed(kFeed);
  ASSERT_TRUE(feed);
  EXPECT_EQ(&feed->classInfo(), &ADFeedBase::adClass());
  EXPECT_EQ(feed->identifier(), "http://example.test/feeds/videos");
  ASSERT_TRUE(feed->title());
  EXPECT_EQ(feed->title()->stringValue(), "Animations & more");
  EXPECT_EQ(feed->title()->type(), "text");
  EXPECT_EQ(feed->totalResults(), 2);
  ASSERT_TRUE(feed->linkWithRelAttributeValue("self"));
  EXPECT_EQ(feed->linkWithRelAttributeValue("self")->href(), "http://example.test/feeds/videos?start=1");
  EXPECT_EQ(feed->namespaces().at("gd"), kADNamespaceGD);
  EXPECT_EQ(feed->attributeValueForExtensionClass(ADETagAttribute::adClass()), "W/\"CkY\"");

  ASSERT_EQ(feed->entries().size(), 2u);
  const auto& first = *feed->entries()[0];
  EXPECT_EQ(&first.classInfo(), &ADEntryBase::adClass());
  EXPECT_EQ(first.ETag(), "W/\"A0\"");
  EXPECT_EQ(first.title()->stringValue(), "First");
  EXPECT_EQ(first.content()->stringValue(), "A bouncing ball");
  ASSERT_EQ(first.authors().size(), 1u);
  EXPECT_EQ(first.authors()[0]->name(), "Ann");
  EXPECT_EQ(first.authors()[0]->email(), "ann@example.test");
  EXPECT_EQ(first.editLink()->href(), "http://example.test/feeds/videos/1");
  EXPECT_EQ(first.linkWithRelAttributeValue("alternate", std::string("text/html"))->href(), "http://example.test/watch/1");
  EXPECT_FALSE(first.linkWithRelAttributeValue("alternate", std::string("video/mp4")));
  ASSERT_TRUE(first.publishedDate());
  EXPECT_EQ(first.publishedDate()->RFC3339String(), "2008-05-20T18:00:00Z");
  EXPECT_TRUE(ADCategory::categoriesContainsCategoryWithScheme(first.categories(), std::nullopt, std::string("ball"), std::nullopt));

  const auto& second = *feed->entries()[1];
  EXPECT_EQ(second.title()->lang(), "fr");
  ASSERT_EQ(second.content()->XMLValues().size(), 1u);
  EXPECT_EQ(second.content()->XMLValues()[0].name(), "div");
}

TEST(ADParsing, FeedWritesBackAndParsesAgainEqualKeepingUnknownElements) {
  auto feed = parseFeed(kFeed);
  ASSERT_TRUE(feed);
  ASSERT_EQ(feed->unknownChildren().size(), 1u);
  const std::string written = feed->XMLDocumentString();
  EXPECT_NE(written.find("level=\"3\">kept as it is</x:extra>"), std::string::npos) << written;
  EXPECT_NE(written.find("<b>bold</b> words"), std::string::npos) << written;

  auto again = parseFeed(written);
  ASSERT_TRUE(again);
  EXPECT_TRUE(feed->isEqual(*again));
  EXPECT_TRUE(again->isEqual(*feed));
  EXPECT_EQ(again->unknownChildren(), feed->unknownChildren());
  // Written a second time, nothing moves.
  EXPECT_EQ(again->XMLDocumentString(), written);

  // A changed entry makes the feeds differ.
  again->entries()[0]->setTitleWithString(std::string("Renamed"));
  EXPECT_FALSE(feed->isEqual(*again));
}

TEST(ADParsing, NamespacesDeclaredOnTheElementOrUnderAnotherPrefixWork) {
  // The entry declares its own namespaces; gd is bound to a prefix of its own.
  const std::string xml = R"(<a:entry xmlns:a="http://www.w3.org/2005/Atom" xmlns:g="http://schemas.flipdesk.net/g/2005" g:etag="E1">
    <a:title>Own prefixes</a:title><a:link rel="edit" href="http://h/e"/></a:entry>)";
  fd::Expected<ADObjectPtr> parsed = ADObjectWithXMLData(xml);
  ASSERT_TRUE(parsed.ok()) << parsed.error();
  auto entry = std::dynamic_pointer_cast<ADEntryBase>(*parsed);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->title()->stringValue(), "Own prefixes");
  EXPECT_EQ(entry->ETag(), "E1");
  EXPECT_EQ(entry->editLink()->href(), "http://h/e");
  EXPECT_EQ(entry->namespaces().at("a"), kADNamespaceAtom);

  fd::Expected<ADObjectPtr> again = ADObjectWithXMLData(entry->XMLDocumentString());
  ASSERT_TRUE(again.ok()) << again.error();
  EXPECT_TRUE(entry->isEqual(**again));
}

TEST(ADParsing, RootsOtherThanFeedsAndEntriesAreRefusedClearly) {
  fd::Expected<ADObjectPtr> parsed = ADObjectWithXMLData("<rss version=\"2.0\"><channel/></rss>");
  ASSERT_FALSE(parsed.ok());
  EXPECT_NE(parsed.error().find("rss"), std::string::npos);
  EXPECT_FALSE(ADObjectWithXMLData("<a:feed/>").ok());  // an unbound prefix names no Atom feed

  ADFeedBase feed;
  fd::Status status = feed.initWithData("<entry xmlns=\"http://www.w3.org/2005/Atom\"/>");
  EXPECT_FALSE(status.ok());
  EXPECT_TRUE(feed.initWithData(kFeed).ok());
  EXPECT_EQ(feed.entries().size(), 2u);
}

TEST(ADParsing, AnUnboundAttributePrefixIsToleratedAndWrittenParsable) {
  // Namespace slips stop neither a whole-tree parse nor an entry-by-entry one,
  // and what is written back parses again.
  const std::string xml =
      "<feed xmlns=\"http://www.w3.org/2005/Atom\" bogus:attr=\"1\"><title>t</title><entry bogus:x=\"2\"><title>e</title></entry></feed>";
  auto feed = parseFeed(xml);
  ASSERT_TRUE(feed);
  ASSERT_EQ(feed->entries().size(), 1u);
  auto again = parseFeed(feed->XMLDocumentString());
  ASSERT_TRUE(again);
  EXPECT_TRUE(feed->isEqual(*again));
  ADFeedBase whole;
  EXPECT_TRUE(whole.initWithData(xml).ok());
  EXPECT_TRUE(whole.isEqual(*feed));
}

// --- Hostile input ---

TEST(ADParsing, HostileDocumentsAreRefusedWithoutHarm) {
  const std::string externalEntity = R"(<?xml version="1.0"?>
<!DOCTYPE feed [<!ENTITY secret SYSTEM "file:///etc/passwd">]>
<feed xmlns="http://www.w3.org/2005/Atom"><title>&secret;</title></feed>)";
  fd::Expected<ADObjectPtr> parsed = ADObjectWithXMLData(externalEntity);
  ASSERT_FALSE(parsed.ok());
  EXPECT_NE(parsed.error().find("document type"), std::string::npos) << parsed.error();

  std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">";
  for (int i = 1; i < 10; ++i)
    laughs += "<!ENTITY lol" + std::to_string(i) + " \"" + std::string(10, '&') + "\">";
  laughs += "]><feed xmlns=\"http://www.w3.org/2005/Atom\"><title>&lol9;</title></feed>";
  EXPECT_FALSE(ADObjectWithXMLData(laughs).ok());

  const std::string externalDTD =
      "<?xml version=\"1.0\"?><!DOCTYPE feed SYSTEM \"http://127.0.0.1:1/feed.dtd\"><feed xmlns=\"http://www.w3.org/2005/Atom\"/>";
  EXPECT_FALSE(ADObjectWithXMLData(externalDTD).ok());

  std::string deep = "<feed xmlns=\"http://www.w3.org/2005/Atom\">";
  for (int i = 0; i < kADMaxXMLDepth + 5; ++i) deep += "<x>";
  for (int i = 0; i < kADMaxXMLDepth + 5; ++i) deep += "</x>";
  deep += "</feed>";
  fd::Expected<ADObjectPtr> tooDeep = ADObjectWithXMLData(deep);
  ASSERT_FALSE(tooDeep.ok());
  EXPECT_NE(tooDeep.error().find("deeper"), std::string::npos) << tooDeep.error();

  std::string huge(kADMaxXMLBytes + 1, ' ');
  fd::Expected<ADObjectPtr> tooBig = ADObjectWithXMLData(huge);
  ASSERT_FALSE(tooBig.ok());
  EXPECT_NE(tooBig.error().find("larger"), std::string::npos);

  for (const char* malformed : {"", "<feed", "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title></feed>",
                                "<feed xmlns=\"http://www.w3.org/2005/Atom\">&undefined;</feed>",
                                "\xff\xfe<\0f\0"}) {
    fd::Expected<ADObjectPtr> bad = ADObjectWithXMLData(malformed);
    ASSERT_FALSE(bad.ok()) << malformed;
    EXPECT_NE(bad.error().find("malformed"), std::string::npos) << bad.error();
  }
}

// --- The object core ---

TEST(ADObjectCore, ExtensionStoreSetsAddsRemovesAndNamesObjects) {
  ADEntryBase entry;
  EXPECT_FALSE(entry.objectForExtensionClass(ADCategory::adClass()));
  EXPECT_TRUE(entry.objectsForExtensionClass(ADCategory::adClass()).empty());

  auto a = ADCategory::categoryWithScheme(std::string("s"), std::string("a"));
  auto b = ADCategory::categoryWithScheme(std::string("s"), std::string("b"));
  entry.addObject(a, ADCategory::adClass());
  entry.addObject(nullptr, ADCategory::adClass());
  entry.addObject(b, ADCategory::adClass());
  ASSERT_EQ(entry.categories().size(), 2u);
  EXPECT_EQ(entry.objectForExtensionClass(ADCategory::adClass()), a);
  EXPECT_EQ(a->elementName(), "category");

  // An equal copy removes the stored one.
  auto copyOfA = std::static_pointer_cast<ADCategory>(a->copy());
  entry.removeCategory(*copyOfA);
  ASSERT_EQ(entry.categories().size(), 1u);
  EXPECT_EQ(entry.categories()[0], b);

  entry.setObject(nullptr, ADCategory::adClass());
  EXPECT_TRUE(entry.categories().empty());

  // A stored object gets the qualified name of the class it is stored as.
  auto rating = std::make_shared<ADRating>();
  entry.setObject(rating, ADRating::adClass());
  EXPECT_EQ(rating->elementName(), "gd:rating");
}

TEST(ADObjectCore, AttributeReadersAndWriters) {
  ADObject o;
  o.setStringValue(std::string("x"), "plain");
  EXPECT_EQ(o.stringValueForAttribute("plain"), "x");
  o.setStringValue(std::nullopt, "plain");
  EXPECT_FALSE(o.stringValueForAttribute("plain"));

  EXPECT_TRUE(o.boolValueForAttribute("flag", true));
  EXPECT_FALSE(o.boolValueForAttribute("flag", false));
  o.setStringValue(std::string("FALSE"), "flag");
  EXPECT_FALSE(o.boolValueForAttribute("flag", true));
  o.setStringValue(std::string("yes"), "flag");
  EXPECT_TRUE(o.boolValueForAttribute("flag", true));   // anything but "false"
  EXPECT_FALSE(o.boolValueForAttribute("flag", false));  // only "true"
  o.setBoolValue(true, true, "flag");
  EXPECT_FALSE(o.stringValueForAttribute("flag"));  // the default is not written
  o.setBoolValue(true, false, "flag");
  EXPECT_EQ(o.stringValueForAttribute("flag"), "true");
  o.setExplicitBoolValue(false, "flag");
  EXPECT_EQ(o.stringValueForAttribute("flag"), "false");

  o.setStringValue(std::string("42"), "n");
  EXPECT_EQ(o.intNumberForAttribute("n"), 42);
  EXPECT_EQ(o.longLongNumberForAttribute("n"), 42);
  o.setStringValue(std::string("nope"), "n");
  EXPECT_FALSE(o.intNumberForAttribute("n"));
  EXPECT_FALSE(o.intNumberForAttribute("missing"));
  o.setNumberValue(2.5, "d");
  EXPECT_EQ(o.stringValueForAttribute("d"), "2.5");
  o.setNumberValue(3.0, "d");
  EXPECT_EQ(o.stringValueForAttribute("d"), "3");
  EXPECT_EQ(o.doubleNumberForAttribute("d"), 3.0);

  o.setDateTimeValue(ADDateTime::dateTimeWithRFC3339String("2020-02-29T23:59:59+05:30"), "when");
  EXPECT_EQ(o.stringValueForAttribute("when"), "2020-02-29T23:59:59+05:30");
  EXPECT_EQ(o.dateTimeForAttribute("when")->secondsSince1970(), 1583000999);
}

TEST(ADObjectCore, CopiesAreDeepAndEqualityFollowsTheStore) {
  auto entry = std::make_shared<ADEntryBase>();
  entry->setTitleWithString(std::string("T"));
  entry->addAuthor(ADPerson::personWithName(std::string("Ann"), std::nullopt));
  auto copy = std::static_pointer_cast<ADEntryBase>(entry->copy());
  EXPECT_TRUE(entry->isEqual(*copy));
  copy->authors()[0]->setName(std::string("Bob"));
  EXPECT_EQ(entry->authors()[0]->name(), "Ann");
  EXPECT_FALSE(entry->isEqual(*copy));
  // Another class with the same contents is not equal.
  ADAtomTitle title;
  ADAtomSummary summary;
  EXPECT_FALSE(title.isEqual(summary));
  EXPECT_TRUE(ObjectsEqualOrBothNil(nullptr, static_cast<const ADObject*>(nullptr)));
  EXPECT_FALSE(ObjectsEqualOrBothNil(entry.get(), nullptr));
}

TEST(ADObjectCore, CategoriesOfTheLabelsScheme) {
  auto label = ADCategory::categoryWithLabel("starred");
  EXPECT_EQ(label->scheme(), std::string(kADSchemaRoot) + "/g/2005/labels");
  EXPECT_EQ(label->term(), std::string(kADSchemaRoot) + "/g/2005/labels#starred");
  EXPECT_EQ(label->label(), "starred");
  auto other = ADCategory::categoryWithScheme(std::string(kADCategoryLabelScheme), std::string("whatever"));
  other->setLabel(std::string("shared"));
  std::vector<std::shared_ptr<ADCategory>> list{label, other};
  EXPECT_TRUE(ADCategory::categoriesContainsCategoryWithLabel(list, "starred"));
  EXPECT_TRUE(ADCategory::categoriesContainsCategoryWithLabel(list, "shared"));
  EXPECT_FALSE(ADCategory::categoriesContainsCategoryWithLabel(list, "missing"));
  EXPECT_FALSE(ADCategory::categoriesContainsCategoryWithScheme(list, std::string("other"), std::nullopt, std::nullopt));
}

// --- Dates, utilities and queries ---

TEST(ADDateTimeTest, ReadsAndWritesRFC3339WithZonesAndFractions) {
  struct Case {
    const char* in;
    const char* out;
    long long seconds;
  };
  const Case cases[] = {
      {"1970-01-01T00:00:00Z", "1970-01-01T00:00:00Z", 0},
      {"2008-05-21T09:30:00.125-07:00", "2008-05-21T09:30:00.125-07:00", 1211387400},
      {"2008-05-21t16:30:00z", "2008-05-21T16:30:00Z", 1211387400},
      {"1969-12-31T23:59:59.999999999Z", "1969-12-31T23:59:59.999999999Z", -1},
      {"2000-02-29T12:00:00+14:00", "2000-02-29T12:00:00+14:00", 951775200},
      {"2012-06-30T23:59:60Z", "2012-06-30T23:59:59Z", 1341100799},
      {"2008-05-21", "2008-05-21", 1211328000},
      {"2008-05-21T09:30:00-00:00", "2008-05-21T09:30:00Z", 1211362200},
  };
  for (const Case& c : cases) {
    auto d = ADDateTime::dateTimeWithRFC3339String(c.in);
    ASSERT_TRUE(d) << c.in;
    EXPECT_EQ(d->RFC3339String(), c.out) << c.in;
    EXPECT_EQ(d->secondsSince1970(), c.seconds) << c.in;
  }
  EXPECT_EQ(ADDateTime::dateTimeWithRFC3339String("2008-05-21T16:30:00Z"),
            ADDateTime::dateTimeWithRFC3339String("2008-05-21T16:30:00Z"));
  EXPECT_FALSE(ADDateTime::dateTimeWithRFC3339String("2008-05-21T16:30:00Z") ==
               *ADDateTime::dateTimeWithRFC3339String("2008-05-21T09:30:00-07:00"));
  for (const char* bad : {"", "2008", "2008-13-01T00:00:00Z", "2001-02-29", "2008-05-21T24:00:00Z",
                          "2008-05-21T09:30:00", "2008-05-21T09:30:00.Z", "2008-05-21T09:30:00+7:00",
                          "2008-05-21T09:30:00Zjunk", "2008-05-21T09:30:00.1234567890Z"})
    EXPECT_FALSE(ADDateTime::dateTimeWithRFC3339String(bad)) << bad;
  EXPECT_EQ(ADDateTime::dateTimeWithSeconds(0, -90).RFC3339String(), "1969-12-31T22:30:00-01:30");
}

TEST(ADUtilitiesTest, VersionsCompareAsNumbersPartByPart) {
  EXPECT_EQ(ADUtilities::compareVersion("1.9", "1.10"), ADComparisonResult::Ascending);
  EXPECT_EQ(ADUtilities::compareVersion("2.0", "2"), ADComparisonResult::Same);
  EXPECT_EQ(ADUtilities::compareVersion("3.0", "2.0"), ADComparisonResult::Descending);
  EXPECT_EQ(ADUtilities::compareVersion("", "0.0"), ADComparisonResult::Same);
}

TEST(ADUtilitiesTest, CallerValuesArePercentEncoded) {
  EXPECT_EQ(ADUtilities::stringByURLEncodingForURI("a/b?c#d%e f&g=h+i~j"), "a%2Fb%3Fc%23d%25e%20f%26g%3Dh%2Bi~j");
  EXPECT_EQ(ADUtilities::stringByURLEncodingForURI("\xc3\xa9"), "%C3%A9");
  EXPECT_EQ(ADUtilities::stringByURLEncodingStringParameter("a b&c=d"), "a+b%26c%3Dd");

  struct Named {
    std::shared_ptr<ADCategory> category;
  };
  std::vector<std::shared_ptr<ADCategory>> list{ADCategory::categoryWithScheme(std::string("s"), std::string("a")),
                                                ADCategory::categoryWithScheme(std::string("s"), std::string("b")),
                                                ADCategory::categoryWithScheme(std::string("t"), std::string("a"))};
  auto term = [](const ADCategory& c) { return c.term(); };
  EXPECT_EQ(ADUtilities::firstObjectFromArray(list, std::optional<std::string>("a"), term), list[0]);
  EXPECT_FALSE(ADUtilities::firstObjectFromArray(list, std::optional<std::string>("z"), term));
  EXPECT_EQ(ADUtilities::objectsFromArray(list, std::optional<std::string>("a"), term).size(), 2u);
  auto copies = ADUtilities::arrayWithCopiesOfObjectsInArray(list);
  ASSERT_EQ(copies.size(), 3u);
  EXPECT_NE(copies[0], list[0]);
  EXPECT_TRUE(copies[0]->isEqual(*list[0]));
}

TEST(ADQueryTest, ParametersAreEncodedAndDefaultsLeftOut) {
  ADQuery query("http://example.test/feeds/x?alt=atom#top");
  EXPECT_EQ(query.URL(), "http://example.test/feeds/x?alt=atom#top");
  query.addCustomParameterWithName("q", std::string("cats & dogs/#1"));
  query.addCustomParameterWithName("we ird", std::string("="));
  query.addCustomParameterWithNameBoolValueDefaultValue("strict", true, true);
  query.addCustomParameterWithNameIntValueRemoveForValue("max-results", 25, -1);
  query.addCustomParameterWithNameIntValueRemoveForValue("start-index", -1, -1);
  EXPECT_EQ(query.URL(), "http://example.test/feeds/x?alt=atom&max-results=25&q=cats+%26+dogs%2F%231&we+ird=%3D#top");
  EXPECT_EQ(query.valueForParameterWithName("q"), "cats & dogs/#1");
  EXPECT_TRUE(query.boolValueForParameterWithName("strict", true));
  query.addCustomParameterWithNameBoolValueDefaultValue("strict", false, true);
  EXPECT_EQ(query.valueForParameterWithName("strict"), "false");
  EXPECT_FALSE(query.boolValueForParameterWithName("strict", true));
  EXPECT_EQ(query.intValueForParameterWithName("max-results", 0), 25);
  EXPECT_EQ(query.intValueForParameterWithName("start-index", 7), 7);
  query.addCustomParameterWithNameDateTime("updated-min", ADDateTime::dateTimeWithRFC3339String("2008-01-01T00:00:00Z"));
  EXPECT_EQ(query.dateTimeForParameterWithName("updated-min")->RFC3339String(), "2008-01-01T00:00:00Z");
  query.addCustomParameterWithName("q", std::nullopt);
  EXPECT_FALSE(query.valueForParameterWithName("q"));
  EXPECT_EQ(ADQuery("http://h/f").URL(), "http://h/f");
}
