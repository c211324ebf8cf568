#include <gtest/gtest.h>

#include "ADFamilyTestSupport.h"
#include "atomdata/books/ADBooks.h"

using namespace ad_test;

namespace {

const std::string kVolumes = R"(<feed xmlns="http://www.w3.org/2005/Atom" xmlns:gd="http://schemas.flipdesk.net/g/2005"
      xmlns:gbs="http://schemas.flipdesk.net/books/2008" xmlns:dc="http://purl.org/dc/terms">
  <category scheme="http://schemas.flipdesk.net/g/2005#kind" term="http://schemas.flipdesk.net/books/2008#volume"/>
  <entry>
    <category scheme="http://schemas.flipdesk.net/g/2005#kind" term="http://schemas.flipdesk.net/books/2008#volume"/>
    <title>Persuasion</title>
    <link rel="http://schemas.flipdesk.net/books/2008/info" href="http://b.test/info"/>
    <link rel="http://schemas.flipdesk.net/books/2008/preview" href="http://b.test/preview"/>
    <link rel="http://schemas.flipdesk.net/books/2008/thumbnail" href="http://b.test/thumb"/>
    <link rel="http://schemas.flipdesk.net/books/2008/annotation" href="http://b.test/notes"/>
    <link rel="http://schemas.flipdesk.net/books/2008/epubdownload" href="http://b.test/epub"/>
    <gd:rating min="1" max="5" average="4.5"/>
    <gd:comments><gd:feedLink href="http://b.test/reviews"/></gd:comments>
    <gbs:viewability value="http://schemas.flipdesk.net/books/2008#view_all_pages"/>
    <gbs:embeddability value="http://schemas.flipdesk.net/books/2008#embeddable"/>
    <gbs:openAccess value="http://schemas.flipdesk.net/books/2008#enabled"/>
    <gbs:review type="text" xml:lang="en">Quietly sharp.</gbs:review>
    <dc:creator>Jane Austen</dc:creator>
    <dc:date>1817</dc:date>
    <dc:description>A late novel.</dc:description>
    <dc:format>249 pages</dc:format>
    <dc:identifier>Q1</dc:identifier>
    <dc:identifier>ISBN:0141439688</dc:identifier>
    <dc:language>en</dc:language>
    <dc:publisher>Murray</dc:publisher>
    <dc:subject>Fiction</dc:subject>
    <dc:title>Persuasion</dc:title>
    <dc:title>A Novel</dc:title>
  </entry>
</feed>)";

class ADBooksTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { registerFamilies(); }
};

// The text of each element of the list, joined by "|".
template <typename T>
Text joined(const std::vector<std::shared_ptr<T>>& list) {
  if (list.empty()) return std::nullopt;
  std::string out;
  for (const auto& e : list) out += (out.empty() ? "" : "|") + e->stringValue().value_or("");
  return out;
}

// A Dublin Core list row: read joined; set to the one value, then add it again.
template <typename T>
AccessorRow<ADEntryVolume> dublinCoreRow(const char* name,
                                         std::vector<std::shared_ptr<T>> (ADEntryVolume::*get)() const,
                                         void (ADEntryVolume::*set)(const std::vector<std::shared_ptr<T>>&),
                                         void (ADEntryVolume::*add)(std::shared_ptr<T>), Text parsed) {
  return {name, [get](const ADEntryVolume& e) { return joined((e.*get)()); },
          [set, add](ADEntryVolume& e, const Text& v) {
            (e.*set)({ADValueConstruct::valueWithString<T>(v)});
            (e.*add)(ADValueConstruct::valueWithString<T>(v));
          },
          parsed, std::nullopt};
}

}  // namespace

TEST_F(ADBooksTest, VolumesCarryTheirDublinCoreAndAccess) {
  auto feed = parse<ADFeedVolume>(kVolumes);
  ASSERT_TRUE(feed);
  auto volume = std::dynamic_pointer_cast<ADEntryVolume>(feed->entries().at(0));
  ASSERT_TRUE(volume);
  roundTrip(*feed, ADBookConstants::booksNamespaces());

  EXPECT_EQ(volume->infoLink()->href(), "http://b.test/info");
  EXPECT_EQ(volume->previewLink()->href(), "http://b.test/preview");
  EXPECT_EQ(volume->thumbnailLink()->href(), "http://b.test/thumb");
  EXPECT_EQ(volume->annotationLink()->href(), "http://b.test/notes");
  EXPECT_EQ(volume->EPubDownloadLink()->href(), "http://b.test/epub");
  EXPECT_EQ(volume->rating()->average(), 4.5);
  EXPECT_EQ(volume->comment()->feedLink()->href(), "http://b.test/reviews");
  EXPECT_EQ(volume->review()->lang(), "en");

  // Each list row's set and add leave two copies of "x": compare after.
  std::vector<AccessorRow<ADEntryVolume>> lists = {
      dublinCoreRow<ADDCCreator>("creators", &ADEntryVolume::creators, &ADEntryVolume::setCreators,
                                 &ADEntryVolume::addCreator, "Jane Austen"),
      dublinCoreRow<ADDCDate>("dates", &ADEntryVolume::dates, &ADEntryVolume::setDates, &ADEntryVolume::addDate, "1817"),
      dublinCoreRow<ADDCDescription>("descriptions", &ADEntryVolume::volumeDescriptions,
                                     &ADEntryVolume::setVolumeDescriptions, &ADEntryVolume::addVolumeDescriptions,
                                     "A late novel."),
      dublinCoreRow<ADDCFormat>("formats", &ADEntryVolume::formats, &ADEntryVolume::setFormats,
                                &ADEntryVolume::addFormat, "249 pages"),
      dublinCoreRow<ADDCIdentifier>("identifiers", &ADEntryVolume::volumeIdentifiers,
                                    &ADEntryVolume::setVolumeIdentifiers, &ADEntryVolume::addVolumeIdentifier,
                                    "Q1|ISBN:0141439688"),
      dublinCoreRow<ADDCLanguage>("languages", &ADEntryVolume::languages, &ADEntryVolume::setLanguages,
                                  &ADEntryVolume::addLanguage, "en"),
      dublinCoreRow<ADDCPublisher>("publishers", &ADEntryVolume::publishers, &ADEntryVolume::setPublishers,
                                   &ADEntryVolume::addPublisher, "Murray"),
      dublinCoreRow<ADDCSubject>("subjects", &ADEntryVolume::subjects, &ADEntryVolume::setSubjects,
                                 &ADEntryVolume::addSubject, "Fiction"),
      dublinCoreRow<ADDCTitle>("titles", &ADEntryVolume::volumeTitles, &ADEntryVolume::setVolumeTitles,
                               &ADEntryVolume::addVolumeTitle, "Persuasion|A Novel"),
  };
  for (auto& row : lists) row.changed = "x|x";
  for (auto& row : lists) {
    auto set = row.set;
    row.set = [set](ADEntryVolume& e, const Text&) { set(e, std::string("x")); };
  }
  checkAccessors(*volume, lists);

  checkAccessors<ADEntryVolume>(*volume, {
      {"viewability", [](auto& e) { return e.viewability(); }, [](auto& e, const Text& v) { e.setViewability(v); },
       AD_SCHEMA_ROOT "/books/2008#view_all_pages", std::nullopt},
      {"embeddability", [](auto& e) { return e.embeddability(); }, [](auto& e, const Text& v) { e.setEmbeddability(v); },
       AD_SCHEMA_ROOT "/books/2008#embeddable", AD_SCHEMA_ROOT "/books/2008#not_embeddable"},
      {"open access", [](auto& e) { return e.openAccess(); }, [](auto& e, const Text& v) { e.setOpenAccess(v); },
       AD_SCHEMA_ROOT "/books/2008#enabled", AD_SCHEMA_ROOT "/books/2008#disabled"},
      {"review", [](auto& e) { return e.review()->stringValue(); },
       [](auto& e, const Text& v) { e.setReview(ADTextConstruct::textConstructWithString<ADVolumeReview>(v)); },
       "Quietly sharp.", "Long."},
      {"rating", [](auto& e) { return text(e.rating()->value()); },
       [](auto& e, const Text& v) { e.setRating(ADRating::ratingWithValue(*number(v), 5, 1)); }, std::nullopt, "3"},
  });
  // nullopt removed the viewability element itself.
  EXPECT_FALSE(volume->objectForExtensionClass(ADVolumeViewability::adClass()));
  volume->setComment(nullptr);
  EXPECT_FALSE(volume->comment());
  roundTrip(*volume, ADBookConstants::booksNamespaces());
}

TEST_F(ADBooksTest, CollectionsFactoriesQueriesAndURLs) {
  auto collections = parse<ADFeedCollection>(R"(<feed xmlns="http://www.w3.org/2005/Atom">
    <category scheme="http://schemas.flipdesk.net/g/2005#kind" term="http://schemas.flipdesk.net/books/2008#collection"/>
    <entry><title>To read</title></entry></feed>)");
  ASSERT_TRUE(collections);
  ASSERT_TRUE(std::dynamic_pointer_cast<ADEntryCollection>(collections->entries().at(0)));
  EXPECT_EQ(ADEntryCollection::adClass().defaultServiceVersion(), std::string("1.0"));
  EXPECT_EQ(ADFeedVolume::adClass().defaultServiceVersion(), std::string("2.0"));
  EXPECT_EQ(ADEntryVolume::coreProtocolVersionForServiceVersion("1.0"), "2.0");
  EXPECT_EQ(ADFeedVolume::coreProtocolVersionForServiceVersion("3.0"), "2.0");

  auto entry = ADEntryCollection::collectionEntryWithTitle(std::string("Shelf"));
  EXPECT_EQ(entry->title()->stringValue(), "Shelf");
  EXPECT_EQ(entry->namespaces().at("dc"), kADNamespaceDublinCore);
  EXPECT_EQ(ADEntryVolume::volumeEntry()->namespaces().at("gbs"), kADNamespaceBooks);
  EXPECT_EQ(ADFeedVolume::volumeFeed()->namespaces(), ADBookConstants::booksNamespaces());
  EXPECT_EQ(ADFeedCollection::collectionFeed()->namespaces(), ADBookConstants::booksNamespaces());

  auto query = ADQueryBooks::booksQueryWithFeedURL("http://b.test/feeds/volumes");
  query->setMinimumViewability(std::string("full"));
  query->setEBook(std::string("free"));
  EXPECT_EQ(query->minimumViewability(), "full");
  EXPECT_EQ(query->EBook(), "free");
  EXPECT_EQ(query->URL(), "http://b.test/feeds/volumes?ebook=free&min-viewability=full");
  query->setEBook(std::nullopt);
  EXPECT_EQ(query->URL(), "http://b.test/feeds/volumes?min-viewability=full");

  const std::string root = ADServiceBooks::kRootURLString;
  EXPECT_EQ(root.rfind("http://", 0), 0u);
  EXPECT_EQ(ADServiceBooks::booksURLForVolumeID(std::nullopt), root + "users/me/volumes");
  EXPECT_EQ(ADServiceBooks::booksURLForVolumeID(std::string("b1_X-z")), root + "users/me/volumes/b1_X-z");
  EXPECT_EQ(ADServiceBooks::booksURLForCollectionID("7"), root + "users/me/collections/7/volumes");
  EXPECT_EQ(ADServiceBooks::collectionsURL(), root + "users/me/collections");
  // A caller's ID cannot step out of its path segment.
  EXPECT_EQ(ADServiceBooks::booksURLForVolumeID(std::string("../x?y")), root + "users/me/volumes/..%2Fx%3Fy");
  EXPECT_EQ(ADServiceBooks::booksURLForCollectionID("a/b"), root + "users/me/collections/a%2Fb/volumes");
  ADServiceBooks service;
  EXPECT_EQ(service.serviceID(), "print");
  EXPECT_EQ(service.defaultServiceVersion(), "2.0");
  EXPECT_EQ(service.standardServiceNamespaces(), ADBookConstants::booksNamespaces());
}
