#pragma once
// The photo album family: users, albums, photos, comments and tags of a
// photo-hosting service, the gphoto elements, the EXIF tag container, a query
// and a service with its feed URL builder.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "atomdata/ADConstants.h"
#include "atomdata/ADGeo.h"
#include "atomdata/ADQuery.h"
#include "atomdata/ADService.h"

inline constexpr const char kADNamespacePhotos[] = AD_SCHEMA_ROOT "/photos/2007";
inline constexpr const char kADNamespacePhotosPrefix[] = "gphoto";
inline constexpr const char kADNamespacePhotosEXIF[] = AD_SCHEMA_ROOT "/photos/exif/2007";
inline constexpr const char kADNamespacePhotosEXIFPrefix[] = "exif";
inline constexpr const char kADPhotosServiceVersion[] = "2.0";
inline constexpr const char kADPhotosKindPhoto[] = AD_SCHEMA_ROOT "/photos/2007#photo";
inline constexpr const char kADPhotosKindAlbum[] = AD_SCHEMA_ROOT "/photos/2007#album";
inline constexpr const char kADPhotosKindComment[] = AD_SCHEMA_ROOT "/photos/2007#comment";
inline constexpr const char kADPhotosKindTag[] = AD_SCHEMA_ROOT "/photos/2007#tag";
inline constexpr const char kADPhotosKindUser[] = AD_SCHEMA_ROOT "/photos/2007#user";

class ADPhotoConstants {
 public:
  // Base namespaces plus gphoto, exif, media and the geo namespaces.
  static ADNamespaces photoNamespaces();
  static void registerClasses();
};

// --- gphoto value elements (the value is the text) ---
#define AD_GPHOTO_VALUE(Cls) \
  class Cls : public ADValueElementConstruct { AD_CLASS(Cls) };
AD_GPHOTO_VALUE(ADPhotoGPhotoID)
AD_GPHOTO_VALUE(ADPhotoAlbumID)
AD_GPHOTO_VALUE(ADPhotoPhotoID)
AD_GPHOTO_VALUE(ADPhotoAccess)
AD_GPHOTO_VALUE(ADPhotoBytesUsed)
AD_GPHOTO_VALUE(ADPhotoChecksum)
AD_GPHOTO_VALUE(ADPhotoCommentCount)
AD_GPHOTO_VALUE(ADPhotoCommentingEnabled)
AD_GPHOTO_VALUE(ADPhotoHeight)
AD_GPHOTO_VALUE(ADPhotoWidth)
AD_GPHOTO_VALUE(ADPhotoSize)
AD_GPHOTO_VALUE(ADPhotoRotation)
AD_GPHOTO_VALUE(ADPhotoVideoStatus)
AD_GPHOTO_VALUE(ADPhotoLocation)
AD_GPHOTO_VALUE(ADPhotoNickname)
AD_GPHOTO_VALUE(ADPhotoUser)
AD_GPHOTO_VALUE(ADPhotoThumbnail)
AD_GPHOTO_VALUE(ADPhotoNumberUsed)
AD_GPHOTO_VALUE(ADPhotoNumberLeft)
AD_GPHOTO_VALUE(ADPhotoMaxPhotosPerAlbum)
AD_GPHOTO_VALUE(ADPhotoQuotaLimit)
AD_GPHOTO_VALUE(ADPhotoQuotaUsed)
AD_GPHOTO_VALUE(ADPhotoWeight)
AD_GPHOTO_VALUE(ADPhotoAlbumTitle)
AD_GPHOTO_VALUE(ADPhotoAlbumDesc)
AD_GPHOTO_VALUE(ADPhotoSnippet)
AD_GPHOTO_VALUE(ADPhotoSnippetType)
AD_GPHOTO_VALUE(ADPhotoTruncated)
#undef AD_GPHOTO_VALUE

// Milliseconds since 1970 UTC as decimal text; dates are seconds since 1970.
class ADPhotoTimestamp : public ADValueElementConstruct {
  AD_CLASS(ADPhotoTimestamp)
  static std::shared_ptr<ADPhotoTimestamp> timestampWithDate(double secondsSince1970);
  std::optional<double> dateValue() const;
  // Whole milliseconds, rounded down.
  void setDateValue(double secondsSince1970);
  std::string description() const;
};

// A media RSS group: thumbnails, and whatever else it holds kept as written.
class ADMediaGroup : public ADObject {
  AD_CLASS(ADMediaGroup)
  void addExtensionDeclarations() override;
  std::vector<std::shared_ptr<ADMediaThumbnail>> mediaThumbnails() const { return objectsFor<ADMediaThumbnail>(); }
  void addMediaThumbnail(std::shared_ptr<ADMediaThumbnail> t) { addObject(std::move(t), ADMediaThumbnail::adClass()); }
};

// An EXIF tag: an exif element whose local name is the tag name.
class ADEXIFTag : public ADValueElementConstruct {
  AD_CLASS(ADEXIFTag)
  static std::shared_ptr<ADEXIFTag> tagWithName(const std::string& name, const std::optional<std::string>& value);
  std::string name() const;
  // Tags of other names are other tags, whatever their values.
  bool isEqual(const ADObject& other) const override;
};

class ADEXIFTags : public ADObject {
  AD_CLASS(ADEXIFTags)
  void addExtensionDeclarations() override;
  ADXMLNode XMLElement() const override { return XMLElementWithExtensionsAndDefaultName(std::string("exif:tags")); }
  bool isEqual(const ADObject& other) const override;
  static std::shared_ptr<ADEXIFTags> EXIFTags() { return std::make_shared<ADEXIFTags>(); }
  AD_OBJECT_CHILDREN(ADEXIFTag, tags, Tags, Tag)
  // The first tag of that name; null when there is none.
  std::shared_ptr<ADEXIFTag> tagWithName(const std::string& name) const;
  std::optional<std::string> valueForTagName(const std::string& name) const;
  // Removes only the first tag of that name.
  void removeTagWithName(const std::string& name);
  // Replaces the first tag of that name by a new one at the end.
  void setTagWithName(const std::string& name, const std::optional<std::string>& value);
  // Name to value; where names repeat, the first tag in document order wins.
  std::map<std::string, std::string> tagDictionary() const;
};

// --- Accessor groups shared by entries and feeds ---
#define AD_PHOTO_GEO                                                                         \
  std::shared_ptr<ADGeo> geoLocation() const { return ADGeo::geoLocationForObject(*this); } \
  void setGeoLocation(std::shared_ptr<ADGeo> g) { ADGeo::setGeoLocation(std::move(g), *this); }
#define AD_PHOTO_PHOTO_ACCESSORS                                                  \
  AD_LONGLONG_CHILD(ADPhotoWidth, width, Width)                                  \
  AD_LONGLONG_CHILD(ADPhotoHeight, height, Height)                               \
  AD_INT_CHILD(ADPhotoRotation, rotation, Rotation)                              \
  AD_LONGLONG_CHILD(ADPhotoSize, size, Size)                                     \
  AD_STRING_CHILD(ADPhotoAlbumID, albumID, AlbumID)                              \
  AD_OBJECT_CHILD(ADPhotoTimestamp, timestamp, Timestamp)                        \
  AD_INT_CHILD(ADPhotoCommentCount, commentCount, CommentCount)                  \
  AD_BOOL_CHILD(ADPhotoCommentingEnabled, commentsEnabled, CommentsEnabled)      \
  AD_STRING_CHILD(ADPhotoChecksum, checksum, Checksum)                           \
  AD_STRING_CHILD(ADPhotoVideoStatus, videoStatus, VideoStatus)                  \
  AD_OBJECT_CHILD(ADMediaGroup, mediaGroup, MediaGroup)                          \
  AD_OBJECT_CHILD(ADEXIFTags, EXIFTags, EXIFTags)                                \
  AD_PHOTO_GEO
#define AD_PHOTO_ALBUM_ACCESSORS                                                  \
  AD_STRING_CHILD(ADPhotoAccess, access, Access)                                 \
  AD_LONGLONG_CHILD(ADPhotoBytesUsed, bytesUsed, BytesUsed)                      \
  AD_INT_CHILD(ADPhotoCommentCount, commentCount, CommentCount)                  \
  AD_BOOL_CHILD(ADPhotoCommentingEnabled, commentsEnabled, CommentsEnabled)      \
  AD_OBJECT_CHILD(ADPhotoTimestamp, timestamp, Timestamp)                        \
  AD_INT_CHILD(ADPhotoNumberUsed, photosUsed, PhotosUsed)                        \
  AD_INT_CHILD(ADPhotoNumberLeft, photosLeft, PhotosLeft)                        \
  AD_STRING_CHILD(ADPhotoUser, username, Username)                               \
  AD_STRING_CHILD(ADPhotoNickname, nickname, Nickname)                           \
  AD_STRING_CHILD(ADPhotoLocation, location, Location)                           \
  AD_OBJECT_CHILD(ADMediaGroup, mediaGroup, MediaGroup)                          \
  AD_PHOTO_GEO
#define AD_PHOTO_USER_ACCESSORS                                                      \
  AD_LONGLONG_CHILD(ADPhotoMaxPhotosPerAlbum, maxPhotosPerAlbum, MaxPhotosPerAlbum) \
  AD_STRING_CHILD(ADPhotoNickname, nickname, Nickname)                              \
  AD_LONGLONG_CHILD(ADPhotoQuotaLimit, quotaLimit, QuotaLimit)                      \
  AD_LONGLONG_CHILD(ADPhotoQuotaUsed, quotaUsed, QuotaUsed)                         \
  AD_STRING_CHILD(ADPhotoThumbnail, thumbnail, Thumbnail)                           \
  AD_STRING_CHILD(ADPhotoUser, username, Username)

// --- Entries ---
class ADEntryPhotoBase : public ADEntryBase {
  AD_CLASS(ADEntryPhotoBase)
  void addExtensionDeclarations() override;
  AD_STRING_CHILD(ADPhotoGPhotoID, GPhotoID, GPhotoID)
  std::shared_ptr<ADTextConstruct> photoDescription() const { return summary(); }
  void setPhotoDescription(std::shared_ptr<ADTextConstruct> d) { setSummary(std::move(d)); }
  void setPhotoDescriptionWithString(const std::optional<std::string>& text);
};

class ADEntryPhoto : public ADEntryPhotoBase {
  AD_CLASS(ADEntryPhoto)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntryPhoto> photoEntry();
  AD_PHOTO_PHOTO_ACCESSORS
  AD_STRING_CHILD(ADPhotoAlbumDesc, albumDescription, AlbumDescription)
  AD_STRING_CHILD(ADPhotoAlbumTitle, albumTitle, AlbumTitle)
  AD_STRING_CHILD(ADPhotoSnippet, snippet, Snippet)
  AD_STRING_CHILD(ADPhotoSnippetType, snippetType, SnippetType)
  AD_INT_CHILD(ADPhotoTruncated, truncated, Truncated)
  AD_STRING_CHILD(ADPhotoLocation, location, Location)
  // The photo bytes sent with an insert.
  const std::optional<std::string>& photoData() const { return uploadData(); }
  void setPhotoData(std::optional<std::string> data) { setUploadData(std::move(data)); }
  const std::optional<std::string>& photoMIMEType() const { return uploadMIMEType(); }
  void setPhotoMIMEType(std::optional<std::string> type) { setUploadMIMEType(std::move(type)); }
};

class ADEntryPhotoAlbum : public ADEntryPhotoBase {
  AD_CLASS(ADEntryPhotoAlbum)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntryPhotoAlbum> albumEntry();
  AD_PHOTO_ALBUM_ACCESSORS
};

class ADEntryPhotoComment : public ADEntryPhotoBase {
  AD_CLASS(ADEntryPhotoComment)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntryPhotoComment> commentEntryWithString(const std::optional<std::string>& text);
  AD_STRING_CHILD(ADPhotoAlbumID, albumID, AlbumID)
  AD_STRING_CHILD(ADPhotoPhotoID, photoID, PhotoID)
};

class ADEntryPhotoTag : public ADEntryPhotoBase {
  AD_CLASS(ADEntryPhotoTag)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntryPhotoTag> tagEntryWithString(const std::optional<std::string>& text);
  AD_INT_CHILD(ADPhotoWeight, weight, Weight)
};

class ADEntryPhotoUser : public ADEntryPhotoBase {
  AD_CLASS(ADEntryPhotoUser)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntryPhotoUser> userEntry();
  AD_PHOTO_USER_ACCESSORS
};

// --- Feeds: their entries take their class from the kind maps, so one album
// feed holds photos, comments and tags side by side. ---
class ADFeedPhotoBase : public ADFeedBase {
  AD_CLASS(ADFeedPhotoBase)
  void addExtensionDeclarations() override;
  AD_STRING_CHILD(ADPhotoGPhotoID, GPhotoID, GPhotoID)
  std::shared_ptr<ADTextConstruct> photoDescription() const { return subtitle(); }
  void setPhotoDescription(std::shared_ptr<ADTextConstruct> d) { setSubtitle(std::move(d)); }
  void setPhotoDescriptionWithString(const std::optional<std::string>& text);
  std::shared_ptr<ADEntryPhotoBase> entryForGPhotoID(const std::string& identifier) const;
};

class ADFeedPhoto : public ADFeedPhotoBase {
  AD_CLASS(ADFeedPhoto)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADFeedPhoto> photoFeed();
  AD_PHOTO_PHOTO_ACCESSORS
};

class ADFeedPhotoAlbum : public ADFeedPhotoBase {
  AD_CLASS(ADFeedPhotoAlbum)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADFeedPhotoAlbum> albumFeed();
  AD_PHOTO_ALBUM_ACCESSORS
};

class ADFeedPhotoUser : public ADFeedPhotoBase {
  AD_CLASS(ADFeedPhotoUser)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADFeedPhotoUser> userFeed();
  AD_PHOTO_USER_ACCESSORS
};
#undef AD_PHOTO_GEO
#undef AD_PHOTO_PHOTO_ACCESSORS
#undef AD_PHOTO_ALBUM_ACCESSORS
#undef AD_PHOTO_USER_ACCESSORS

class ADQueryPhotos : public ADQuery {
 public:
  using ADQuery::ADQuery;
  static std::shared_ptr<ADQueryPhotos> photoQueryWithFeedURL(std::string url) {
    return std::make_shared<ADQueryPhotos>(std::move(url));
  }
  static std::shared_ptr<ADQueryPhotos> photoQueryForUserID(const std::string& userID,
                                                            const std::optional<std::string>& albumID,
                                                            const std::optional<std::string>& albumName,
                                                            const std::optional<std::string>& photoID);
  // 0 or less removes the parameter; a missing one reads 0.
  long thumbsize() const;
  void setThumbsize(long size);
  std::optional<std::string> kind() const { return valueForParameterWithName("kind"); }
  void setKind(const std::optional<std::string>& v) { addCustomParameterWithName("kind", v); }
  std::optional<std::string> access() const { return valueForParameterWithName("access"); }
  void setAccess(const std::optional<std::string>& v) { addCustomParameterWithName("access", v); }
  // As thumbsize, but -1 (the full-size downloadable image) is written "d".
  long imageSize() const;
  void setImageSize(long size);
  std::optional<std::string> tag() const { return valueForParameterWithName("tag"); }
  void setTag(const std::optional<std::string>& v) { addCustomParameterWithName("tag", v); }
};

class ADServicePhotos : public ADServiceAccount {
 public:
  static constexpr const char kRootURLString[] = "https://photos.flipdesk.net/data/";
  std::string serviceID() const override { return "lh2"; }
  std::string serviceRootURLString() const override { return kRootURLString; }
  std::string defaultServiceVersion() const override { return kADPhotosServiceVersion; }
  std::uint64_t defaultServiceUploadChunkSize() const override { return UINT32_MAX; }
  ADNamespaces standardServiceNamespaces() const override { return ADPhotoConstants::photoNamespaces(); }

  // An album ID wins over an album name; the photo ID goes in as given.
  static std::string photoFeedURLForUserID(const std::string& userID, const std::optional<std::string>& albumID,
                                           const std::optional<std::string>& albumName,
                                           const std::optional<std::string>& photoID,
                                           const std::optional<std::string>& kind,
                                           const std::optional<std::string>& access);
  static std::string photoContactsFeedURLForUserID(const std::string& userID);
};
