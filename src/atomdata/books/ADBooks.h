#pragma once
// The books family: volumes with their Dublin Core metadata, rating, review
// and access, and the user's collections.
#include <optional>
#include <string>
#include <vector>

#include "atomdata/ADConstants.h"
#include "atomdata/ADQuery.h"
#include "atomdata/ADService.h"

inline constexpr const char kADNamespaceBooks[] = AD_SCHEMA_ROOT "/books/2008";
inline constexpr const char kADNamespaceBooksPrefix[] = "gbs";
inline constexpr const char kADNamespaceDublinCore[] = "http://purl.org/dc/terms";
inline constexpr const char kADNamespaceDublinCorePrefix[] = "dc";
inline constexpr const char kADBooksServiceVersion[] = "2.0";
inline constexpr const char kADBooksKindVolume[] = AD_SCHEMA_ROOT "/books/2008#volume";
inline constexpr const char kADBooksKindCollection[] = AD_SCHEMA_ROOT "/books/2008#collection";
inline constexpr const char kADBooksLinkRelInfo[] = AD_SCHEMA_ROOT "/books/2008/info";
inline constexpr const char kADBooksLinkRelPreview[] = AD_SCHEMA_ROOT "/books/2008/preview";
inline constexpr const char kADBooksLinkRelThumbnail[] = AD_SCHEMA_ROOT "/books/2008/thumbnail";
inline constexpr const char kADBooksLinkRelAnnotation[] = AD_SCHEMA_ROOT "/books/2008/annotation";
inline constexpr const char kADBooksLinkRelEPubDownload[] = AD_SCHEMA_ROOT "/books/2008/epubdownload";

class ADBookConstants {
 public:
  // The base namespaces plus "gbs" and "dc".
  static ADNamespaces booksNamespaces();
  // The books service speaks core protocol 2.0 whatever its version.
  static std::string coreProtocolVersionForServiceVersion(const std::string&) { return "2.0"; }
  static void registerClasses();
};

class ADVolumeViewability : public ADValueConstruct { AD_CLASS(ADVolumeViewability) };
class ADVolumeEmbeddability : public ADValueConstruct { AD_CLASS(ADVolumeEmbeddability) };
class ADVolumeOpenAccess : public ADValueConstruct { AD_CLASS(ADVolumeOpenAccess) };
class ADVolumeReview : public ADTextConstruct { AD_CLASS(ADVolumeReview) };

// The Dublin Core elements, text each.
class ADDCCreator : public ADValueElementConstruct { AD_CLASS(ADDCCreator) };
class ADDCDate : public ADValueElementConstruct { AD_CLASS(ADDCDate) };
class ADDCDescription : public ADValueElementConstruct { AD_CLASS(ADDCDescription) };
class ADDCFormat : public ADValueElementConstruct { AD_CLASS(ADDCFormat) };
class ADDCIdentifier : public ADValueElementConstruct { AD_CLASS(ADDCIdentifier) };
class ADDCLanguage : public ADValueElementConstruct { AD_CLASS(ADDCLanguage) };
class ADDCPublisher : public ADValueElementConstruct { AD_CLASS(ADDCPublisher) };
class ADDCSubject : public ADValueElementConstruct { AD_CLASS(ADDCSubject) };
class ADDCTitle : public ADValueElementConstruct { AD_CLASS(ADDCTitle) };

class ADEntryVolume : public ADEntryBase {
  AD_CLASS(ADEntryVolume)
  static std::shared_ptr<ADEntryVolume> volumeEntry();
  static std::string coreProtocolVersionForServiceVersion(const std::string& v) {
    return ADBookConstants::coreProtocolVersionForServiceVersion(v);
  }
  void addExtensionDeclarations() override;

#define AD_VOLUME_LIST(Type, list, List, Add)                                                     \
  std::vector<std::shared_ptr<Type>> list() const { return objectsFor<Type>(); }                  \
  void set##List(const std::vector<std::shared_ptr<Type>>& v) { setObjects(v, Type::adClass()); } \
  void add##Add(std::shared_ptr<Type> v) { addObject(std::move(v), Type::adClass()); }
  AD_VOLUME_LIST(ADDCCreator, creators, Creators, Creator)
  AD_VOLUME_LIST(ADDCDate, dates, Dates, Date)
  AD_VOLUME_LIST(ADDCDescription, volumeDescriptions, VolumeDescriptions, VolumeDescriptions)
  AD_VOLUME_LIST(ADDCFormat, formats, Formats, Format)
  AD_VOLUME_LIST(ADDCIdentifier, volumeIdentifiers, VolumeIdentifiers, VolumeIdentifier)
  AD_VOLUME_LIST(ADDCLanguage, languages, Languages, Language)
  AD_VOLUME_LIST(ADDCPublisher, publishers, Publishers, Publisher)
  AD_VOLUME_LIST(ADDCSubject, subjects, Subjects, Subject)
  AD_VOLUME_LIST(ADDCTitle, volumeTitles, VolumeTitles, VolumeTitle)
#undef AD_VOLUME_LIST

  // Plain strings over the gbs value elements; nullopt removes the element.
  std::optional<std::string> viewability() const { return ADValueConstruct::stringValueOfChild<ADVolumeViewability>(*this); }
  void setViewability(const std::optional<std::string>& v) { ADValueConstruct::setChildWithString<ADVolumeViewability>(*this, v); }
  std::optional<std::string> embeddability() const { return ADValueConstruct::stringValueOfChild<ADVolumeEmbeddability>(*this); }
  void setEmbeddability(const std::optional<std::string>& v) { ADValueConstruct::setChildWithString<ADVolumeEmbeddability>(*this, v); }
  std::optional<std::string> openAccess() const { return ADValueConstruct::stringValueOfChild<ADVolumeOpenAccess>(*this); }
  void setOpenAccess(const std::optional<std::string>& v) { ADValueConstruct::setChildWithString<ADVolumeOpenAccess>(*this, v); }

  std::shared_ptr<ADRating> rating() const { return objectFor<ADRating>(); }
  void setRating(std::shared_ptr<ADRating> v) { setObject(std::move(v), ADRating::adClass()); }
  std::shared_ptr<ADVolumeReview> review() const { return objectFor<ADVolumeReview>(); }
  void setReview(std::shared_ptr<ADVolumeReview> v) { setObject(std::move(v), ADVolumeReview::adClass()); }
  std::shared_ptr<ADComment> comment() const { return objectFor<ADComment>(); }
  void setComment(std::shared_ptr<ADComment> v) { setObject(std::move(v), ADComment::adClass()); }

  std::shared_ptr<ADLink> infoLink() const { return linkWithRelAttributeValue(kADBooksLinkRelInfo); }
  std::shared_ptr<ADLink> previewLink() const { return linkWithRelAttributeValue(kADBooksLinkRelPreview); }
  std::shared_ptr<ADLink> thumbnailLink() const { return linkWithRelAttributeValue(kADBooksLinkRelThumbnail); }
  std::shared_ptr<ADLink> annotationLink() const { return linkWithRelAttributeValue(kADBooksLinkRelAnnotation); }
  std::shared_ptr<ADLink> EPubDownloadLink() const { return linkWithRelAttributeValue(kADBooksLinkRelEPubDownload); }
};

class ADEntryCollection : public ADEntryBase {
  AD_CLASS(ADEntryCollection)
  static std::shared_ptr<ADEntryCollection> collectionEntryWithTitle(const std::optional<std::string>& title);
};

class ADFeedVolume : public ADFeedBase {
  AD_CLASS(ADFeedVolume)
  static std::shared_ptr<ADFeedVolume> volumeFeed();
  static std::string coreProtocolVersionForServiceVersion(const std::string& v) {
    return ADBookConstants::coreProtocolVersionForServiceVersion(v);
  }
  const ADClass* classForEntries() const override { return &ADEntryVolume::adClass(); }
};

class ADFeedCollection : public ADFeedBase {
  AD_CLASS(ADFeedCollection)
  static std::shared_ptr<ADFeedCollection> collectionFeed();
  const ADClass* classForEntries() const override { return &ADEntryCollection::adClass(); }
};

class ADQueryBooks : public ADQuery {
 public:
  using ADQuery::ADQuery;
  static std::shared_ptr<ADQueryBooks> booksQueryWithFeedURL(std::string url) {
    return std::make_shared<ADQueryBooks>(std::move(url));
  }
  std::optional<std::string> minimumViewability() const { return valueForParameterWithName("min-viewability"); }
  void setMinimumViewability(const std::optional<std::string>& v) { addCustomParameterWithName("min-viewability", v); }
  std::optional<std::string> EBook() const { return valueForParameterWithName("ebook"); }
  void setEBook(const std::optional<std::string>& v) { addCustomParameterWithName("ebook", v); }
};

class ADServiceBooks : public ADServiceAccount {
 public:
  static constexpr const char kRootURLString[] = "http://books.flipdesk.net/books/feeds/";
  std::string serviceID() const override { return "print"; }
  std::string serviceRootURLString() const override { return kRootURLString; }
  std::string defaultServiceVersion() const override { return kADBooksServiceVersion; }
  ADNamespaces standardServiceNamespaces() const override { return ADBookConstants::booksNamespaces(); }
  // The IDs are percent-encoded: the service's own IDs come out unchanged,
  // and a caller's "/", "?" or "#" cannot lead the request to another
  // resource. nullopt names every volume.
  static std::string booksURLForVolumeID(const std::optional<std::string>& volumeID);
  static std::string booksURLForCollectionID(const std::string& collectionID);
  static std::string collectionsURL();
};
