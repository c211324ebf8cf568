#include "atomdata/books/ADBooks.h"

#include "atomdata/ADUtilities.h"

#define GBS(name) .uri = kADNamespaceBooks, .prefix = kADNamespaceBooksPrefix, .localName = name
#define DC(name) .uri = kADNamespaceDublinCore, .prefix = kADNamespaceDublinCorePrefix, .localName = name

AD_DEFINE_CLASS(ADVolumeViewability, ADValueConstruct, GBS("viewability"))
AD_DEFINE_CLASS(ADVolumeEmbeddability, ADValueConstruct, GBS("embeddability"))
AD_DEFINE_CLASS(ADVolumeOpenAccess, ADValueConstruct, GBS("openAccess"))
AD_DEFINE_CLASS(ADVolumeReview, ADTextConstruct, GBS("review"))
AD_DEFINE_CLASS(ADDCCreator, ADValueElementConstruct, DC("creator"))
AD_DEFINE_CLASS(ADDCDate, ADValueElementConstruct, DC("date"))
AD_DEFINE_CLASS(ADDCDescription, ADValueElementConstruct, DC("description"))
AD_DEFINE_CLASS(ADDCFormat, ADValueElementConstruct, DC("format"))
AD_DEFINE_CLASS(ADDCIdentifier, ADValueElementConstruct, DC("identifier"))
AD_DEFINE_CLASS(ADDCLanguage, ADValueElementConstruct, DC("language"))
AD_DEFINE_CLASS(ADDCPublisher, ADValueElementConstruct, DC("publisher"))
AD_DEFINE_CLASS(ADDCSubject, ADValueElementConstruct, DC("subject"))
AD_DEFINE_CLASS(ADDCTitle, ADValueElementConstruct, DC("title"))
AD_DEFINE_CLASS(ADEntryVolume, ADEntryBase, .standardKind = kADBooksKindVolume, .serviceVersion = kADBooksServiceVersion)
AD_DEFINE_CLASS(ADEntryCollection, ADEntryBase, .standardKind = kADBooksKindCollection)
AD_DEFINE_CLASS(ADFeedVolume, ADFeedBase, .standardKind = kADBooksKindVolume, .serviceVersion = kADBooksServiceVersion)
AD_DEFINE_CLASS(ADFeedCollection, ADFeedBase, .standardKind = kADBooksKindCollection)

ADNamespaces ADBookConstants::booksNamespaces() {
  ADNamespaces namespaces = ADEntryBase::baseADNamespaces();
  namespaces[kADNamespaceBooksPrefix] = kADNamespaceBooks;
  namespaces[kADNamespaceDublinCorePrefix] = kADNamespaceDublinCore;
  return namespaces;
}

void ADBookConstants::registerClasses() {
  ADEntryBase::registerEntryClass(ADEntryVolume::adClass());
  ADEntryBase::registerEntryClass(ADEntryCollection::adClass());
  ADFeedBase::registerFeedClass(ADFeedVolume::adClass());
  ADFeedBase::registerFeedClass(ADFeedCollection::adClass());
}

std::shared_ptr<ADEntryVolume> ADEntryVolume::volumeEntry() {
  return ADObjectWithNamespaces<ADEntryVolume>(ADBookConstants::booksNamespaces());
}

void ADEntryVolume::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(
      adClass(), {&ADRating::adClass(), &ADVolumeViewability::adClass(), &ADVolumeEmbeddability::adClass(),
                  &ADVolumeReview::adClass(), &ADVolumeOpenAccess::adClass(), &ADDCCreator::adClass(),
                  &ADDCDate::adClass(), &ADDCDescription::adClass(), &ADDCFormat::adClass(),
                  &ADDCIdentifier::adClass(), &ADDCLanguage::adClass(), &ADDCPublisher::adClass(),
                  &ADDCSubject::adClass(), &ADDCTitle::adClass(), &ADComment::adClass()});
}

std::shared_ptr<ADEntryCollection> ADEntryCollection::collectionEntryWithTitle(const std::optional<std::string>& title) {
  auto e = std::make_shared<ADEntryCollection>();
  e->setTitleWithString(title);
  e->setNamespaces(ADBookConstants::booksNamespaces());
  return e;
}

std::shared_ptr<ADFeedVolume> ADFeedVolume::volumeFeed() {
  return ADObjectWithNamespaces<ADFeedVolume>(ADBookConstants::booksNamespaces());
}

std::shared_ptr<ADFeedCollection> ADFeedCollection::collectionFeed() {
  return ADObjectWithNamespaces<ADFeedCollection>(ADBookConstants::booksNamespaces());
}

std::string ADServiceBooks::booksURLForVolumeID(const std::optional<std::string>& volumeID) {
  std::string url = std::string(kRootURLString) + "users/me/volumes";
  return volumeID ? url + "/" + ADUtilities::stringByURLEncodingForURI(*volumeID) : url;
}

std::string ADServiceBooks::booksURLForCollectionID(const std::string& collectionID) {
  return std::string(kRootURLString) + "users/me/collections/" + ADUtilities::stringByURLEncodingForURI(collectionID) + "/volumes";
}

std::string ADServiceBooks::collectionsURL() { return std::string(kRootURLString) + "users/me/collections"; }
