#include "atomdata/documents/ADDocs.h"

#include "atomdata/ADUtilities.h"

#define DOCS(name) .uri = kADNamespaceDocs, .prefix = kADNamespaceDocsPrefix, .localName = name
#define DOC_KIND(kind) .standardKind = kind, .serviceVersion = kADDocsServiceVersion

AD_DEFINE_CLASS(ADDocFeatureName, ADValueElementConstruct, DOCS("featureName"))
AD_DEFINE_CLASS(ADDocFeatureRate, ADValueElementConstruct, DOCS("featureRate"))
AD_DEFINE_CLASS(ADDocFeature, ADObject, DOCS("feature"))
AD_DEFINE_CLASS(ADDocMaxUploadSize, ADValueElementConstruct, DOCS("maxUploadSize"))
AD_DEFINE_CLASS(ADDocTransferFormat, ADObject, .uri = kADNamespaceDocs, .prefix = kADNamespaceDocsPrefix)
AD_DEFINE_CLASS(ADDocImportFormat, ADDocTransferFormat, DOCS("importFormat"))
AD_DEFINE_CLASS(ADDocExportFormat, ADDocTransferFormat, DOCS("exportFormat"))
AD_DEFINE_CLASS(ADLastViewed, ADValueElementConstruct, .uri = kADNamespaceGD, .prefix = kADNamespaceGDPrefix,
                .localName = "lastViewed")
AD_DEFINE_CLASS(ADWritersCanInvite, ADBoolValueConstruct, DOCS("writersCanInvite"))
AD_DEFINE_CLASS(ADQuotaBytesUsedInTrash, ADValueElementConstruct, DOCS("quotaBytesUsedInTrash"))
AD_DEFINE_CLASS(ADDocPublish, ADValueConstruct, DOCS("publish"))
AD_DEFINE_CLASS(ADDocPublishAuto, ADValueConstruct, DOCS("publishAuto"))
AD_DEFINE_CLASS(ADDocPublishOutsideDomain, ADValueConstruct, DOCS("publishOutsideDomain"))
AD_DEFINE_CLASS(ADEntryDocBase, ADEntryBase, .serviceVersion = kADDocsServiceVersion)
AD_DEFINE_CLASS(ADEntryStandardDoc, ADEntryDocBase, DOC_KIND(kADDocsKindDocument))
AD_DEFINE_CLASS(ADEntrySpreadsheetDoc, ADEntryDocBase, DOC_KIND(kADDocsKindSpreadsheet))
AD_DEFINE_CLASS(ADEntryPresentationDoc, ADEntryDocBase, DOC_KIND(kADDocsKindPresentation))
AD_DEFINE_CLASS(ADEntryDrawingDoc, ADEntryDocBase, DOC_KIND(kADDocsKindDrawing))
AD_DEFINE_CLASS(ADEntryPDFDoc, ADEntryDocBase, DOC_KIND(kADDocsKindPDF))
AD_DEFINE_CLASS(ADEntryFileDoc, ADEntryDocBase, DOC_KIND(kADDocsKindFile))
AD_DEFINE_CLASS(ADEntryFolderDoc, ADEntryDocBase, DOC_KIND(kADDocsKindFolder))
AD_DEFINE_CLASS(ADEntryDocListMetadata, ADEntryBase, DOC_KIND(kADDocsKindMetadata))
AD_DEFINE_CLASS(ADEntryDocRevision, ADEntryBase, DOC_KIND(kADDocsKindRevision))
AD_DEFINE_CLASS(ADFeedDocList, ADFeedBase, DOC_KIND(kADDocsKindItem))
AD_DEFINE_CLASS(ADFeedDocRevision, ADFeedBase, DOC_KIND(kADDocsKindRevision))

ADNamespaces ADDocConstants::baseDocumentNamespaces() {
  ADNamespaces namespaces = ADEntryBase::baseADNamespaces();
  namespaces[kADNamespaceDocsPrefix] = kADNamespaceDocs;
  return namespaces;
}

std::string ADDocConstants::coreProtocolVersionForServiceVersion(const std::string& v) {
  return ADUtilities::coreProtocolVersionForServiceVersion(v);
}

void ADDocConstants::registerClasses() {
  for (const ADClass* cls :
       {&ADEntryStandardDoc::adClass(), &ADEntrySpreadsheetDoc::adClass(), &ADEntryPresentationDoc::adClass(),
        &ADEntryDrawingDoc::adClass(), &ADEntryPDFDoc::adClass(), &ADEntryFileDoc::adClass(),
        &ADEntryFolderDoc::adClass(), &ADEntryDocListMetadata::adClass(), &ADEntryDocRevision::adClass()})
    ADEntryBase::registerEntryClass(*cls);
  ADFeedBase::registerFeedClass(ADFeedDocList::adClass());
  ADFeedBase::registerFeedClass(ADFeedDocRevision::adClass());
}

// --- Elements ---

void ADDocFeature::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), {&ADDocFeatureName::adClass(), &ADDocFeatureRate::adClass()});
}

void ADDocMaxUploadSize::addParseDeclarations() {
  ADValueElementConstruct::addParseDeclarations();
  addLocalAttributeDeclarations({"kind"});
}

void ADDocTransferFormat::addParseDeclarations() { addLocalAttributeDeclarations({"source", "target"}); }

// --- Document entries ---

void ADEntryDocBase::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), {&ADFeedLink::adClass(), &ADLastViewed::adClass(),
                                                    &ADWritersCanInvite::adClass(), &ADLastModifiedBy::adClass(),
                                                    &ADQuotaBytesUsed::adClass()});
}

std::shared_ptr<ADEntryDocBase> ADEntryDocBase::documentEntry() {
  return ADObjectWithNamespaces<ADEntryDocBase>(ADDocConstants::baseDocumentNamespaces());
}

namespace {
bool hasLabel(const ADEntryBase& entry, const char* label) {
  return ADCategory::categoriesContainsCategoryWithLabel(entry.categories(), label);
}

void setLabel(ADEntryBase& entry, const char* label, bool on) {
  auto category = ADCategory::categoryWithLabel(label);
  if (on) entry.addCategory(category);
  else entry.removeCategory(*category);
}
}  // namespace

bool ADEntryDocBase::isStarred() const { return hasLabel(*this, "starred"); }
void ADEntryDocBase::setIsStarred(bool v) { setLabel(*this, "starred", v); }
bool ADEntryDocBase::isHidden() const { return hasLabel(*this, "hidden"); }
void ADEntryDocBase::setIsHidden(bool v) { setLabel(*this, "hidden", v); }

std::vector<std::shared_ptr<ADLink>> ADEntryDocBase::parentLinks() const {
  return ADUtilities::objectsFromArray(links(), std::optional<std::string>(kADDocsRelParent),
                                       [](const ADLink& l) { return l.rel(); });
}

std::shared_ptr<ADFeedLink> ADEntryDocBase::feedLinkForRel(const std::string& rel) const {
  return ADUtilities::firstObjectFromArray(feedLinks(), std::optional<std::string>(rel),
                                           [](const ADFeedLink& l) { return l.rel(); });
}

// --- Metadata and revisions ---

void ADEntryDocListMetadata::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(
      adClass(), {&ADDocExportFormat::adClass(), &ADDocFeature::adClass(), &ADDocImportFormat::adClass(),
                  &ADDocMaxUploadSize::adClass(), &ADQuotaBytesTotal::adClass(), &ADQuotaBytesUsed::adClass(),
                  &ADQuotaBytesUsedInTrash::adClass()});
}

std::shared_ptr<ADDocMaxUploadSize> ADEntryDocListMetadata::maxUploadSizeForKind(const std::string& kind) const {
  return ADUtilities::firstObjectFromArray(maxUploadSizes(), std::optional<std::string>(kind),
                                           [](const ADDocMaxUploadSize& s) { return s.uploadKind(); });
}

std::shared_ptr<ADDocFeature> ADEntryDocListMetadata::featureForName(const std::string& name) const {
  return ADUtilities::firstObjectFromArray(features(), std::optional<std::string>(name),
                                           [](const ADDocFeature& f) { return f.featureName(); });
}

void ADEntryDocRevision::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(
      adClass(), {&ADDocPublish::adClass(), &ADDocPublishAuto::adClass(), &ADDocPublishOutsideDomain::adClass()});
}

std::shared_ptr<ADEntryDocRevision> ADEntryDocRevision::revisionEntry() {
  return ADObjectWithNamespaces<ADEntryDocRevision>(ADDocConstants::baseDocumentNamespaces());
}

std::shared_ptr<ADPerson> ADEntryDocRevision::modifyingUser() const {
  auto people = authors();
  return people.empty() ? nullptr : people.front();
}

void ADEntryDocRevision::setModifyingUser(std::shared_ptr<ADPerson> person) {
  setAuthors(person ? std::vector<std::shared_ptr<ADPerson>>{std::move(person)} : std::vector<std::shared_ptr<ADPerson>>{});
}

// --- Service ---

std::string ADServiceDocs::docsURLForUserID(const std::string& userID, const std::string& visibility,
                                            const std::optional<std::string>& projection,
                                            const std::optional<std::string>& resourceID,
                                            const std::optional<std::string>& feedType,
                                            const std::optional<std::string>& revisionID) {
  std::string url = std::string(kRootURLString) + ADUtilities::stringByURLEncodingForURI(userID) + "/" + visibility +
                    "/" + projection.value_or("full");
  if (resourceID) url += "/" + ADUtilities::stringByURLEncodingForURI(*resourceID);
  if (feedType) url += "/" + *feedType;
  if (revisionID) url += "/" + *revisionID;
  return url;
}

std::string ADServiceDocs::docsFeedURL() {
  return docsURLForUserID("default", "private", std::nullopt, std::nullopt, std::nullopt, std::nullopt);
}

std::string ADServiceDocs::folderContentsFeedURLForFolderID(const std::string& folderID) {
  return docsURLForUserID("default", "private", std::nullopt, folderID, std::string("contents"), std::nullopt);
}

std::string ADServiceDocs::docsUploadURL() {
  return std::string(kRootURLString) + "upload/create-session/default/private/full";
}

std::string ADServiceDocs::metadataEntryURLForUserID(const std::string& userID) {
  return std::string(kRootURLString) + "metadata/" + ADUtilities::stringByURLEncodingForURI(userID);
}

std::optional<std::string> ADServiceDocs::updateURLForEntry(const ADEntryBase& entry) const {
  std::shared_ptr<ADLink> link =
      entry.uploadData() && serviceUploadChunkSize() != 0 ? entry.uploadEditLink() : entry.editLink();
  return link ? link->href() : std::nullopt;
}

std::shared_ptr<ADServiceTicket> ADServiceDocs::fetchEntryByUpdatingEntry(ADEntryBase& entry,
                                                                          ADServiceCompletion completion) {
  if (std::optional<std::string> url = updateURLForEntry(entry))
    return ADServiceAccount::fetchEntryByUpdatingEntry(entry, *url, std::move(completion));
  return ADServiceAccount::fetchEntryByUpdatingEntry(entry, std::move(completion));
}
