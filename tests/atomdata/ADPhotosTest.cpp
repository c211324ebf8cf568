#include <gtest/gtest.h>

#include "ADFamilyTestSupport.h"
#include "atomdata/photos/ADPhotos.h"

namespace {

const std::string kNS =
    "xmlns:gphoto=\"http://schemas.flipdesk.net/photos/2007\" xmlns:exif=\"http://schemas.flipdesk.net/photos/exif/2007\" "
    "xmlns:media=\"http://search.yahoo.com/mrss/\" xmlns:georss=\"http://www.georss.org/georss\" "
    "xmlns:gml=\"http://www.opengis.net/gml\"";
const std::string kRoot = "http://schemas.flipdesk.net/photos/2007#";

const std::string kAlbumFeed = ad_test::feedXML(
    kNS,
    ad_test::kindCategory(kRoot + "album") +
        "<title>Summer</title><subtitle>Beach days</subtitle><gphoto:id>5</gphoto:id><gphoto:access>public</gphoto:access>"
        "<gphoto:bytesUsed>9876543210</gphoto:bytesUsed><gphoto:numphotos>3</gphoto:numphotos>"
        "<gphoto:commentingEnabled>true</gphoto:commentingEnabled><gphoto:user>ann</gphoto:user>",
    "<entry>" + ad_test::kindCategory(kRoot + "photo") +
        "<title>a.jpg</title><gphoto:id>p1</gphoto:id><gphoto:width>4000</gphoto:width><gphoto:height>3000</gphoto:height>"
        "<gphoto:rotation>90</gphoto:rotation><gphoto:timestamp>1234567</gphoto:timestamp>"
        "<gphoto:commentingEnabled>false</gphoto:commentingEnabled><gphoto:albumid>5</gphoto:albumid>"
        "<media:group><media:thumbnail url=\"http://img.test/t.jpg\" width=\"72\" height=\"48\"/></media:group>"
        "<exif:tags><exif:make>Acme</exif:make><exif:iso>100</exif:iso><exif:make>Other</exif:make></exif:tags>"
        "<georss:where><gml:Point><gml:pos>52.5 13.4</gml:pos></gml:Point></georss:where>"
        "</entry>"
        "<entry>" + ad_test::kindCategory(kRoot + "comment") +
        "<content>Nice</content><gphoto:id>c1</gphoto:id><gphoto:photoid>p1</gphoto:photoid></entry>"
        "<entry>" + ad_test::kindCategory(kRoot + "tag") + "<title>sea</title><gphoto:weight>4</gphoto:weight></entry>"
        "<entry><title>no kind</title><gphoto:id>x</gphoto:id></entry>");

class ADPhotosTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ad_test::registerFamilies(); }
};

TEST_F(ADPhotosTest, AlbumFeedHoldsPhotosCommentsAndTagsByKind) {
  auto feed = ad_test::parse<ADFeedPhotoAlbum>(kAlbumFeed);
  ASSERT_TRUE(feed);
  EXPECT_EQ(ad_test::entryClassNames(*feed),
            (std::vector<std::string>{"ADEntryPhoto", "ADEntryPhotoComment", "ADEntryPhotoTag", "ADEntryBase"}));
  EXPECT_EQ(feed->GPhotoID(), "5");
  EXPECT_EQ(feed->access(), "public");
  EXPECT_EQ(feed->bytesUsed(), 9876543210LL);
  EXPECT_EQ(feed->photosUsed(), 3);
  EXPECT_EQ(feed->commentsEnabled(), true);
  EXPECT_EQ(feed->username(), "ann");
  EXPECT_EQ(feed->photoDescription()->stringValue(), "Beach days");

  auto photo = std::dynamic_pointer_cast<ADEntryPhoto>(feed->entries()[0]);
  EXPECT_EQ(photo->width(), 4000);
  EXPECT_EQ(photo->height(), 3000);
  EXPECT_EQ(photo->rotation(), 90);
  EXPECT_EQ(photo->commentsEnabled(), false);
  EXPECT_EQ(photo->albumID(), "5");
  EXPECT_DOUBLE_EQ(*photo->timestamp()->dateValue(), 1234.567);
  ASSERT_TRUE(photo->mediaGroup());
  EXPECT_EQ(photo->mediaGroup()->mediaThumbnails().at(0)->width(), 72);
  ASSERT_TRUE(photo->geoLocation());
  EXPECT_DOUBLE_EQ(*photo->geoLocation()->latitude, 52.5);
  auto comment = std::dynamic_pointer_cast<ADEntryPhotoComment>(feed->entries()[1]);
  EXPECT_EQ(comment->photoID(), "p1");
  EXPECT_EQ(comment->content()->stringValue(), "Nice");
  EXPECT_EQ(std::dynamic_pointer_cast<ADEntryPhotoTag>(feed->entries()[2])->weight(), 4);
  EXPECT_EQ(feed->entryForGPhotoID("c1"), comment);
  EXPECT_EQ(feed->entryForGPhotoID("x"), nullptr) << "an entry of no photo kind is a plain entry";

  ad_test::roundTrip(*feed);
}

TEST_F(ADPhotosTest, ExifTagsKeepTheFirstOfARepeatedName) {
  auto feed = ad_test::parse<ADFeedPhotoAlbum>(kAlbumFeed);
  ASSERT_TRUE(feed);
  auto tags = std::dynamic_pointer_cast<ADEntryPhoto>(feed->entries()[0])->EXIFTags();
  ASSERT_TRUE(tags);
  EXPECT_EQ(tags->valueForTagName("make"), "Acme");
  EXPECT_EQ(tags->tagDictionary(), (std::map<std::string, std::string>{{"make", "Acme"}, {"iso", "100"}}));
  tags->setTagWithName("make", "New");
  std::vector<std::string> order;
  for (const auto& t : tags->tags()) order.push_back(t->name() + "=" + t->stringValue().value_or(""));
  EXPECT_EQ(order, (std::vector<std::string>{"iso=100", "make=Other", "make=New"}));
  EXPECT_EQ(tags->valueForTagName("make"), "Other");
  tags->removeTagWithName("absent");
  EXPECT_EQ(tags->tags().size(), 3u);
  EXPECT_FALSE(tags->isEqual(ADObject()));

  // A tag of another name holding the same value is not the one removed.
  auto same = ADEXIFTags::EXIFTags();
  same->addTag(ADEXIFTag::tagWithName("fnumber", std::string("8")));
  same->addTag(ADEXIFTag::tagWithName("iso", std::string("8")));
  same->removeTagWithName("iso");
  ASSERT_EQ(same->tags().size(), 1u);
  EXPECT_EQ(same->tags()[0]->name(), "fnumber");
  EXPECT_FALSE(same->tags()[0]->isEqual(*ADEXIFTag::tagWithName("iso", std::string("8"))));
}

TEST_F(ADPhotosTest, FactoriesSettersAndWriteBack) {
  auto photo = ADEntryPhoto::photoEntry();
  EXPECT_EQ(photo->namespaces().at("gphoto"), kADNamespacePhotos);
  EXPECT_EQ(photo->namespaces().count("georss"), 1u);
  photo->setWidth(1LL << 40);
  photo->setCommentsEnabled(true);
  photo->setChecksum(std::string("abc"));
  photo->setTimestamp(ADPhotoTimestamp::timestampWithDate(0.0015));
  auto tags = ADEXIFTags::EXIFTags();
  tags->setTagWithName("fstop", "2.8");
  photo->setEXIFTags(tags);
  photo->setGeoLocation(ADGeo::geoWithLatitude<ADGeoRSSPoint>(1.5, -2.25));
  photo->setPhotoDescriptionWithString(std::string("desc"));
  photo->setPhotoData(std::string("\xff\xd8"));
  EXPECT_EQ(photo->uploadData(), std::string("\xff\xd8"));
  EXPECT_EQ(photo->timestamp()->stringValue(), "1") << "milliseconds, rounded down";
  const std::string xml = photo->XMLDocumentString();
  EXPECT_NE(xml.find("<exif:fstop>2.8</exif:fstop>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<gphoto:width>1099511627776</gphoto:width>"), std::string::npos) << xml;
  auto again = ad_test::roundTrip(*photo);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->EXIFTags()->valueForTagName("fstop"), "2.8");
  photo->setWidth(std::nullopt);
  EXPECT_FALSE(photo->width());

  EXPECT_EQ(ADEntryPhotoComment::commentEntryWithString(std::string("hi"))->content()->stringValue(), "hi");
  EXPECT_EQ(ADEntryPhotoTag::tagEntryWithString(std::string("sea"))->title()->stringValue(), "sea");
  auto user = ADEntryPhotoUser::userEntry();
  user->setQuotaLimit(1000);
  user->setNickname(std::string("Ann"));
  ad_test::roundTrip(*user);
  auto album = ADEntryPhotoAlbum::albumEntry();
  album->setPhotosLeft(7);
  album->setLocation(std::string("Kiel"));
  ad_test::roundTrip(*album);
}

TEST_F(ADPhotosTest, BaseClassesAndUnknownKindsRegisterNothing) {
  // A user feed's entries of the user kind are users; a feed whose kind no
  // class registered is a plain feed.
  auto users = ad_test::parse<ADFeedPhotoUser>(ad_test::feedXML(
      kNS, ad_test::kindCategory(kRoot + "user"), "<entry>" + ad_test::kindCategory(kRoot + "user") + "</entry>"));
  ASSERT_TRUE(users);
  EXPECT_EQ(ad_test::entryClassNames(*users), std::vector<std::string>{"ADEntryPhotoUser"});
  auto comments = ad_test::parse<ADFeedBase>(ad_test::feedXML(kNS, ad_test::kindCategory(kRoot + "comment"), ""));
  ASSERT_TRUE(comments);
  EXPECT_STREQ(comments->classInfo().name, "ADFeedBase");
}

TEST_F(ADPhotosTest, TimestampConversions) {
  ADPhotoTimestamp t;
  t.setStringValue(std::string("1234567"));
  EXPECT_DOUBLE_EQ(*t.dateValue(), 1234.567);
  t.setDateValue(0.0015);
  EXPECT_EQ(t.stringValue(), "1");
  t.setDateValue(86400);
  EXPECT_EQ(t.description(), "1970-01-02T00:00:00Z");
}

TEST_F(ADPhotosTest, FeedURLsAndQuery) {
  const std::string root = ADServicePhotos::kRootURLString;
  struct Case {
    std::optional<std::string> albumID, albumName, photoID, kind, access;
    std::string tail;
  };
  const Case cases[] = {
      {"a b", "Name", std::nullopt, std::nullopt, std::nullopt, "feed/api/user/ann/albumid/a%20b"},
      {std::nullopt, "My Album", std::nullopt, std::nullopt, std::nullopt, "feed/api/user/ann/album/My%20Album"},
      {"1", std::nullopt, "p/2", "photo", "private", "feed/api/user/ann/albumid/1/photoid/p/2?kind=photo&access=private"},
      {std::nullopt, std::nullopt, std::nullopt, std::nullopt, "all", "feed/api/user/ann?access=all"},
      {std::nullopt, std::nullopt, std::nullopt, "tag,photo", std::nullopt, "feed/api/user/ann?kind=tag%2Cphoto"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ADServicePhotos::photoFeedURLForUserID("ann", c.albumID, c.albumName, c.photoID, c.kind, c.access),
              root + c.tail);
  EXPECT_EQ(ADServicePhotos::photoContactsFeedURLForUserID("a b"), root + "feed/api/user/a%20b/contacts?kind=user");

  auto query = ADQueryPhotos::photoQueryForUserID("ann", std::string("1"), std::nullopt, std::nullopt);
  EXPECT_EQ(query->feedURL(), root + "feed/api/user/ann/albumid/1");
  EXPECT_EQ(query->imageSize(), 0);
  query->setImageSize(-1);
  EXPECT_EQ(query->valueForParameterWithName("imgmax"), "d");
  EXPECT_EQ(query->imageSize(), -1);
  query->setImageSize(0);
  EXPECT_FALSE(query->valueForParameterWithName("imgmax"));
  query->setThumbsize(-1);
  EXPECT_FALSE(query->valueForParameterWithName("thumbsize")) << "only the image size knows \"d\"";
  query->setThumbsize(144);
  EXPECT_EQ(query->thumbsize(), 144);
  ADServicePhotos service;
  EXPECT_EQ(service.serviceID(), "lh2");
  EXPECT_EQ(service.serviceUploadChunkSize(), UINT32_MAX);
}

}  // namespace
