#include "atomdata/photos/ADPhotos.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "atomdata/ADUtilities.h"

#define GPHOTO(name) .uri = kADNamespacePhotos, .prefix = kADNamespacePhotosPrefix, .localName = name
#define PHOTO_KIND(kind) .standardKind = kind, .serviceVersion = kADPhotosServiceVersion

AD_DEFINE_CLASS(ADPhotoGPhotoID, ADValueElementConstruct, GPHOTO("id"))
AD_DEFINE_CLASS(ADPhotoAlbumID, ADValueElementConstruct, GPHOTO("albumid"))
AD_DEFINE_CLASS(ADPhotoPhotoID, ADValueElementConstruct, GPHOTO("photoid"))
AD_DEFINE_CLASS(ADPhotoAccess, ADValueElementConstruct, GPHOTO("access"))
AD_DEFINE_CLASS(ADPhotoBytesUsed, ADValueElementConstruct, GPHOTO("bytesUsed"))
AD_DEFINE_CLASS(ADPhotoChecksum, ADValueElementConstruct, GPHOTO("checksum"))
AD_DEFINE_CLASS(ADPhotoCommentCount, ADValueElementConstruct, GPHOTO("commentCount"))
AD_DEFINE_CLASS(ADPhotoCommentingEnabled, ADValueElementConstruct, GPHOTO("commentingEnabled"))
AD_DEFINE_CLASS(ADPhotoHeight, ADValueElementConstruct, GPHOTO("height"))
AD_DEFINE_CLASS(ADPhotoWidth, ADValueElementConstruct, GPHOTO("width"))
AD_DEFINE_CLASS(ADPhotoSize, ADValueElementConstruct, GPHOTO("size"))
AD_DEFINE_CLASS(ADPhotoRotation, ADValueElementConstruct, GPHOTO("rotation"))
AD_DEFINE_CLASS(ADPhotoTimestamp, ADValueElementConstruct, GPHOTO("timestamp"))
AD_DEFINE_CLASS(ADPhotoVideoStatus, ADValueElementConstruct, GPHOTO("videostatus"))
AD_DEFINE_CLASS(ADPhotoLocation, ADValueElementConstruct, GPHOTO("location"))
AD_DEFINE_CLASS(ADPhotoNickname, ADValueElementConstruct, GPHOTO("nickname"))
AD_DEFINE_CLASS(ADPhotoUser, ADValueElementConstruct, GPHOTO("user"))
AD_DEFINE_CLASS(ADPhotoThumbnail, ADValueElementConstruct, GPHOTO("thumbnail"))
AD_DEFINE_CLASS(ADPhotoNumberUsed, ADValueElementConstruct, GPHOTO("numphotos"))
AD_DEFINE_CLASS(ADPhotoNumberLeft, ADValueElementConstruct, GPHOTO("numphotosremaining"))
AD_DEFINE_CLASS(ADPhotoMaxPhotosPerAlbum, ADValueElementConstruct, GPHOTO("maxPhotosPerAlbum"))
AD_DEFINE_CLASS(ADPhotoQuotaLimit, ADValueElementConstruct, GPHOTO("quotalimit"))
AD_DEFINE_CLASS(ADPhotoQuotaUsed, ADValueElementConstruct, GPHOTO("quotacurrent"))
AD_DEFINE_CLASS(ADPhotoWeight, ADValueElementConstruct, GPHOTO("weight"))
AD_DEFINE_CLASS(ADPhotoAlbumTitle, ADValueElementConstruct, GPHOTO("albumtitle"))
AD_DEFINE_CLASS(ADPhotoAlbumDesc, ADValueElementConstruct, GPHOTO("albumdesc"))
AD_DEFINE_CLASS(ADPhotoSnippet, ADValueElementConstruct, GPHOTO("snippet"))
AD_DEFINE_CLASS(ADPhotoSnippetType, ADValueElementConstruct, GPHOTO("snippettype"))
AD_DEFINE_CLASS(ADPhotoTruncated, ADValueElementConstruct, GPHOTO("truncated"))
AD_DEFINE_CLASS(ADMediaGroup, ADObject, .uri = kADNamespaceMedia, .prefix = kADNamespaceMediaPrefix,
                .localName = "group")
AD_DEFINE_CLASS(ADEXIFTag, ADValueElementConstruct, .uri = kADNamespacePhotosEXIF,
                .prefix = kADNamespacePhotosEXIFPrefix, .localName = "*")
AD_DEFINE_CLASS(ADEXIFTags, ADObject, .uri = kADNamespacePhotosEXIF, .prefix = kADNamespacePhotosEXIFPrefix,
                .localName = "tags")
AD_DEFINE_CLASS(ADEntryPhotoBase, ADEntryBase, .serviceVersion = kADPhotosServiceVersion)
AD_DEFINE_CLASS(ADEntryPhoto, ADEntryPhotoBase, PHOTO_KIND(kADPhotosKindPhoto))
AD_DEFINE_CLASS(ADEntryPhotoAlbum, ADEntryPhotoBase, PHOTO_KIND(kADPhotosKindAlbum))
AD_DEFINE_CLASS(ADEntryPhotoComment, ADEntryPhotoBase, PHOTO_KIND(kADPhotosKindComment))
AD_DEFINE_CLASS(ADEntryPhotoTag, ADEntryPhotoBase, PHOTO_KIND(kADPhotosKindTag))
AD_DEFINE_CLASS(ADEntryPhotoUser, ADEntryPhotoBase, PHOTO_KIND(kADPhotosKindUser))
AD_DEFINE_CLASS(ADFeedPhotoBase, ADFeedBase, .serviceVersion = kADPhotosServiceVersion)
AD_DEFINE_CLASS(ADFeedPhoto, ADFeedPhotoBase, PHOTO_KIND(kADPhotosKindPhoto))
AD_DEFINE_CLASS(ADFeedPhotoAlbum, ADFeedPhotoBase, PHOTO_KIND(kADPhotosKindAlbum))
AD_DEFINE_CLASS(ADFeedPhotoUser, ADFeedPhotoBase, PHOTO_KIND(kADPhotosKindUser))

ADNamespaces ADPhotoConstants::photoNamespaces() {
  ADNamespaces namespaces = ADEntryBase::baseADNamespaces();
  namespaces[kADNamespacePhotosPrefix] = kADNamespacePhotos;
  namespaces[kADNamespacePhotosEXIFPrefix] = kADNamespacePhotosEXIF;
  namespaces[kADNamespaceMediaPrefix] = kADNamespaceMedia;
  for (const auto& [prefix, uri] : ADGeo::geoNamespaces()) namespaces[prefix] = uri;
  return namespaces;
}

void ADPhotoConstants::registerClasses() {
  for (const ADClass* cls : {&ADEntryPhoto::adClass(), &ADEntryPhotoAlbum::adClass(), &ADEntryPhotoComment::adClass(),
                             &ADEntryPhotoTag::adClass(), &ADEntryPhotoUser::adClass()})
    ADEntryBase::registerEntryClass(*cls);
  for (const ADClass* cls : {&ADFeedPhoto::adClass(), &ADFeedPhotoAlbum::adClass(), &ADFeedPhotoUser::adClass()})
    ADFeedBase::registerFeedClass(*cls);
}

// --- Timestamp ---

std::shared_ptr<ADPhotoTimestamp> ADPhotoTimestamp::timestampWithDate(double secondsSince1970) {
  auto t = std::make_shared<ADPhotoTimestamp>();
  t->setDateValue(secondsSince1970);
  return t;
}

std::optional<double> ADPhotoTimestamp::dateValue() const {
  std::optional<double> milliseconds = doubleValue();
  return milliseconds ? std::optional<double>(*milliseconds / 1000.0) : std::nullopt;
}

void ADPhotoTimestamp::setDateValue(double secondsSince1970) { setDoubleValue(std::floor(secondsSince1970 * 1000.0)); }

std::string ADPhotoTimestamp::description() const {
  std::optional<double> seconds = dateValue();
  if (!seconds) return "";
  ADDateTime date = ADDateTime::dateTimeWithSeconds(static_cast<std::int64_t>(std::floor(*seconds)));
  return date.RFC3339String();
}

// --- Media group and EXIF ---

void ADMediaGroup::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADMediaThumbnail::adClass());
}

std::shared_ptr<ADEXIFTag> ADEXIFTag::tagWithName(const std::string& name, const std::optional<std::string>& value) {
  auto tag = std::make_shared<ADEXIFTag>();
  tag->setStringValue(value);
  tag->setElementName(std::string(kADNamespacePhotosEXIFPrefix) + ":" + name);
  return tag;
}

std::string ADEXIFTag::name() const { return ADXMLNode::localNameForName(elementName().value_or("")); }

bool ADEXIFTag::isEqual(const ADObject& other) const {
  return ADValueElementConstruct::isEqual(other) && name() == static_cast<const ADEXIFTag&>(other).name();
}

void ADEXIFTags::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADEXIFTag::adClass());
}

bool ADEXIFTags::isEqual(const ADObject& other) const {
  if (this == &other) return true;
  if (!dynamic_cast<const ADEXIFTags*>(&other)) return false;
  return ADObject::isEqual(other);
}

std::shared_ptr<ADEXIFTag> ADEXIFTags::tagWithName(const std::string& name) const {
  for (const auto& tag : tags())
    if (tag->name() == name) return tag;
  return nullptr;
}

std::optional<std::string> ADEXIFTags::valueForTagName(const std::string& name) const {
  auto tag = tagWithName(name);
  return tag ? tag->stringValue() : std::nullopt;
}

void ADEXIFTags::removeTagWithName(const std::string& name) {
  auto tag = tagWithName(name);
  if (!tag) return;
  auto all = tags();
  all.erase(std::find(all.begin(), all.end(), tag));
  setTags(all);
}

void ADEXIFTags::setTagWithName(const std::string& name, const std::optional<std::string>& value) {
  removeTagWithName(name);
  addTag(ADEXIFTag::tagWithName(name, value));
}

std::map<std::string, std::string> ADEXIFTags::tagDictionary() const {
  std::map<std::string, std::string> out;
  const auto all = tags();
  for (auto it = all.rbegin(); it != all.rend(); ++it) out[(*it)->name()] = (*it)->stringValue().value_or("");
  return out;
}

// --- Entries and feeds ---

void ADEntryPhotoBase::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADPhotoGPhotoID::adClass());
}

void ADEntryPhotoBase::setPhotoDescriptionWithString(const std::optional<std::string>& text) {
  setPhotoDescription(ADTextConstruct::textConstructWithString<ADAtomSummary>(text));
}

namespace {
// The children of photo entries and feeds, in their declared order.
void declarePhotoChildren(ADObject& object, const ADClass& cls) {
  object.addExtensionDeclarationForParentClass(
      cls, {&ADPhotoWidth::adClass(), &ADPhotoHeight::adClass(), &ADPhotoRotation::adClass(), &ADPhotoSize::adClass(),
            &ADPhotoAlbumID::adClass(), &ADPhotoTimestamp::adClass(), &ADPhotoCommentCount::adClass(),
            &ADPhotoCommentingEnabled::adClass(), &ADPhotoChecksum::adClass(), &ADPhotoVideoStatus::adClass(),
            &ADMediaGroup::adClass(), &ADEXIFTags::adClass()});
}

void declareAlbumChildren(ADObject& object, const ADClass& cls) {
  object.addExtensionDeclarationForParentClass(
      cls, {&ADPhotoAccess::adClass(), &ADPhotoBytesUsed::adClass(), &ADPhotoCommentCount::adClass(),
            &ADPhotoCommentingEnabled::adClass(), &ADPhotoTimestamp::adClass(), &ADPhotoNumberUsed::adClass(),
            &ADPhotoNumberLeft::adClass(), &ADPhotoUser::adClass(), &ADPhotoNickname::adClass(),
            &ADPhotoLocation::adClass(), &ADMediaGroup::adClass()});
  ADGeo::addGeoExtensionDeclarationsToObject(object, cls);
}

void declareUserChildren(ADObject& object, const ADClass& cls) {
  object.addExtensionDeclarationForParentClass(
      cls, {&ADPhotoMaxPhotosPerAlbum::adClass(), &ADPhotoNickname::adClass(), &ADPhotoQuotaLimit::adClass(),
            &ADPhotoQuotaUsed::adClass(), &ADPhotoThumbnail::adClass(), &ADPhotoUser::adClass()});
}
}  // namespace

void ADEntryPhoto::addExtensionDeclarations() {
  ADEntryPhotoBase::addExtensionDeclarations();
  declarePhotoChildren(*this, adClass());
  addExtensionDeclarationForParentClass(
      adClass(), {&ADPhotoAlbumDesc::adClass(), &ADPhotoAlbumTitle::adClass(), &ADPhotoSnippet::adClass(),
                  &ADPhotoSnippetType::adClass(), &ADPhotoTruncated::adClass(), &ADPhotoLocation::adClass()});
  ADGeo::addGeoExtensionDeclarationsToObject(*this, adClass());
}

void ADEntryPhotoAlbum::addExtensionDeclarations() {
  ADEntryPhotoBase::addExtensionDeclarations();
  declareAlbumChildren(*this, adClass());
}

void ADEntryPhotoComment::addExtensionDeclarations() {
  ADEntryPhotoBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), {&ADPhotoAlbumID::adClass(), &ADPhotoPhotoID::adClass()});
}

void ADEntryPhotoTag::addExtensionDeclarations() {
  ADEntryPhotoBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADPhotoWeight::adClass());
}

void ADEntryPhotoUser::addExtensionDeclarations() {
  ADEntryPhotoBase::addExtensionDeclarations();
  declareUserChildren(*this, adClass());
}

std::shared_ptr<ADEntryPhoto> ADEntryPhoto::photoEntry() {
  return ADObjectWithNamespaces<ADEntryPhoto>(ADPhotoConstants::photoNamespaces());
}

std::shared_ptr<ADEntryPhotoAlbum> ADEntryPhotoAlbum::albumEntry() {
  return ADObjectWithNamespaces<ADEntryPhotoAlbum>(ADPhotoConstants::photoNamespaces());
}

std::shared_ptr<ADEntryPhotoComment> ADEntryPhotoComment::commentEntryWithString(const std::optional<std::string>& text) {
  auto entry = ADObjectWithNamespaces<ADEntryPhotoComment>(ADPhotoConstants::photoNamespaces());
  entry->setContent(ADEntryContent::contentWithString(text));
  return entry;
}

std::shared_ptr<ADEntryPhotoTag> ADEntryPhotoTag::tagEntryWithString(const std::optional<std::string>& text) {
  auto entry = ADObjectWithNamespaces<ADEntryPhotoTag>(ADPhotoConstants::photoNamespaces());
  entry->setTitleWithString(text);
  return entry;
}

std::shared_ptr<ADEntryPhotoUser> ADEntryPhotoUser::userEntry() {
  return ADObjectWithNamespaces<ADEntryPhotoUser>(ADPhotoConstants::photoNamespaces());
}

void ADFeedPhotoBase::addExtensionDeclarations() {
  ADFeedBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADPhotoGPhotoID::adClass());
}

void ADFeedPhotoBase::setPhotoDescriptionWithString(const std::optional<std::string>& text) {
  setSubtitle(ADTextConstruct::textConstructWithString<ADAtomSubtitle>(text));
}

std::shared_ptr<ADEntryPhotoBase> ADFeedPhotoBase::entryForGPhotoID(const std::string& identifier) const {
  for (const auto& entry : entries())
    if (auto photo = std::dynamic_pointer_cast<ADEntryPhotoBase>(entry))
      if (photo->GPhotoID() == identifier) return photo;
  return nullptr;
}

void ADFeedPhoto::addExtensionDeclarations() {
  ADFeedPhotoBase::addExtensionDeclarations();
  declarePhotoChildren(*this, adClass());
  ADGeo::addGeoExtensionDeclarationsToObject(*this, adClass());
}

void ADFeedPhotoAlbum::addExtensionDeclarations() {
  ADFeedPhotoBase::addExtensionDeclarations();
  declareAlbumChildren(*this, adClass());
}

void ADFeedPhotoUser::addExtensionDeclarations() {
  ADFeedPhotoBase::addExtensionDeclarations();
  declareUserChildren(*this, adClass());
}

std::shared_ptr<ADFeedPhoto> ADFeedPhoto::photoFeed() {
  return ADObjectWithNamespaces<ADFeedPhoto>(ADPhotoConstants::photoNamespaces());
}

std::shared_ptr<ADFeedPhotoAlbum> ADFeedPhotoAlbum::albumFeed() {
  return ADObjectWithNamespaces<ADFeedPhotoAlbum>(ADPhotoConstants::photoNamespaces());
}

std::shared_ptr<ADFeedPhotoUser> ADFeedPhotoUser::userFeed() {
  return ADObjectWithNamespaces<ADFeedPhotoUser>(ADPhotoConstants::photoNamespaces());
}

// --- Query ---

long ADQueryPhotos::thumbsize() const { return positiveValueForParameterWithName("thumbsize"); }
void ADQueryPhotos::setThumbsize(long size) { addCustomParameterWithNamePositiveValue("thumbsize", size); }

// -1 asks for the full-size downloadable image, written "d".
long ADQueryPhotos::imageSize() const {
  return valueForParameterWithName("imgmax") == "d" ? -1 : positiveValueForParameterWithName("imgmax");
}

void ADQueryPhotos::setImageSize(long size) {
  if (size == -1) addCustomParameterWithName("imgmax", std::string("d"));
  else addCustomParameterWithNamePositiveValue("imgmax", size);
}

std::shared_ptr<ADQueryPhotos> ADQueryPhotos::photoQueryForUserID(const std::string& userID,
                                                                  const std::optional<std::string>& albumID,
                                                                  const std::optional<std::string>& albumName,
                                                                  const std::optional<std::string>& photoID) {
  return photoQueryWithFeedURL(
      ADServicePhotos::photoFeedURLForUserID(userID, albumID, albumName, photoID, std::nullopt, std::nullopt));
}

// --- Service ---

std::string ADServicePhotos::photoFeedURLForUserID(const std::string& userID, const std::optional<std::string>& albumID,
                                                   const std::optional<std::string>& albumName,
                                                   const std::optional<std::string>& photoID,
                                                   const std::optional<std::string>& kind,
                                                   const std::optional<std::string>& access) {
  std::string url = std::string(kRootURLString) + "feed/api/user/" + ADUtilities::stringByURLEncodingForURI(userID);
  if (albumID) url += "/albumid/" + ADUtilities::stringByURLEncodingForURI(*albumID);
  else if (albumName) url += "/album/" + ADUtilities::stringByURLEncodingForURI(*albumName);
  if (photoID) url += "/photoid/" + *photoID;
  std::string query;
  if (kind) query += "kind=" + ADUtilities::stringByURLEncodingStringParameter(*kind);
  if (access) query += (query.empty() ? "" : "&") + std::string("access=") + ADUtilities::stringByURLEncodingStringParameter(*access);
  if (!query.empty()) url += "?" + query;
  return url;
}

std::string ADServicePhotos::photoContactsFeedURLForUserID(const std::string& userID) {
  return std::string(kRootURLString) + "feed/api/user/" + ADUtilities::stringByURLEncodingForURI(userID) +
         "/contacts?kind=user";
}
