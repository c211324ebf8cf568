#pragma once
// The documents family: the document list (documents, spreadsheets,
// presentations, drawings, PDFs, files, folders), the per-user metadata entry,
// revisions with their publishing flags, the list query and the service.
#include <optional>
#include <string>
#include <vector>

#include "atomdata/ADConstants.h"
#include "atomdata/ADQuery.h"
#include "atomdata/ADService.h"
#include "atomdata/gd/ADGDElements.h"

inline constexpr const char kADNamespaceDocs[] = AD_SCHEMA_ROOT "/docs/2007";
inline constexpr const char kADNamespaceDocsPrefix[] = "docs";
inline constexpr const char kADDocsServiceVersion[] = "3.0";
inline constexpr const char kADDocsKindDocument[] = AD_SCHEMA_ROOT "/docs/2007#document";
inline constexpr const char kADDocsKindSpreadsheet[] = AD_SCHEMA_ROOT "/docs/2007#spreadsheet";
inline constexpr const char kADDocsKindPresentation[] = AD_SCHEMA_ROOT "/docs/2007#presentation";
inline constexpr const char kADDocsKindDrawing[] = AD_SCHEMA_ROOT "/docs/2007#drawing";
inline constexpr const char kADDocsKindPDF[] = AD_SCHEMA_ROOT "/docs/2007#pdf";
inline constexpr const char kADDocsKindFile[] = AD_SCHEMA_ROOT "/docs/2007#file";
inline constexpr const char kADDocsKindFolder[] = AD_SCHEMA_ROOT "/docs/2007#folder";
inline constexpr const char kADDocsKindMetadata[] = AD_SCHEMA_ROOT "/docs/2007#metadata";
inline constexpr const char kADDocsKindRevision[] = AD_SCHEMA_ROOT "/docs/2007#revision";
inline constexpr const char kADDocsKindItem[] = AD_SCHEMA_ROOT "/docs/2007#item";
inline constexpr const char kADDocsRelParent[] = AD_SCHEMA_ROOT "/docs/2007#parent";
inline constexpr const char kADDocsRelRevisions[] = AD_SCHEMA_ROOT "/docs/2007/revisions";
inline constexpr const char kADDocsRelPublish[] = AD_SCHEMA_ROOT "/docs/2007#publish";
inline constexpr const char kADDocsRelACL[] = AD_SCHEMA_ROOT "/acl/2007#accessControlList";
inline constexpr const char kADDocsRelWorksheetsFeed[] = AD_SCHEMA_ROOT "/spreadsheets/2006#worksheetsfeed";
inline constexpr const char kADDocsRelTablesFeed[] = AD_SCHEMA_ROOT "/spreadsheets/2006#tablesfeed";

class ADDocConstants {
 public:
  // Base namespaces plus docs.
  static ADNamespaces baseDocumentNamespaces();
  static std::string coreProtocolVersionForServiceVersion(const std::string& v);
  static void registerClasses();
};

// --- Elements ---
class ADDocFeatureName : public ADValueElementConstruct { AD_CLASS(ADDocFeatureName) };
class ADDocFeatureRate : public ADValueElementConstruct { AD_CLASS(ADDocFeatureRate) };
class ADDocFeature : public ADObject {
  AD_CLASS(ADDocFeature)
  void addExtensionDeclarations() override;
  AD_STRING_CHILD(ADDocFeatureName, featureName, FeatureName)
  AD_STRING_CHILD(ADDocFeatureRate, featureRate, FeatureRate)
};

class ADDocMaxUploadSize : public ADValueElementConstruct {
  AD_CLASS(ADDocMaxUploadSize)
  void addParseDeclarations() override;
  std::optional<std::string> uploadKind() const { return stringValueForAttribute("kind"); }
  void setUploadKind(const std::optional<std::string>& v) { ADObject::setStringValue(v, "kind"); }
};

class ADDocTransferFormat : public ADObject {
  AD_CLASS(ADDocTransferFormat)
  void addParseDeclarations() override;
  std::optional<std::string> source() const { return stringValueForAttribute("source"); }
  void setSource(const std::optional<std::string>& v) { setStringValue(v, "source"); }
  std::optional<std::string> target() const { return stringValueForAttribute("target"); }
  void setTarget(const std::optional<std::string>& v) { setStringValue(v, "target"); }
};
class ADDocImportFormat : public ADDocTransferFormat { AD_CLASS(ADDocImportFormat) };
class ADDocExportFormat : public ADDocTransferFormat { AD_CLASS(ADDocExportFormat) };

class ADLastViewed : public ADValueElementConstruct { AD_CLASS(ADLastViewed) };
class ADWritersCanInvite : public ADBoolValueConstruct { AD_CLASS(ADWritersCanInvite) };
class ADQuotaBytesUsedInTrash : public ADValueElementConstruct { AD_CLASS(ADQuotaBytesUsedInTrash) };
class ADDocPublish : public ADValueConstruct { AD_CLASS(ADDocPublish) };
class ADDocPublishAuto : public ADValueConstruct { AD_CLASS(ADDocPublishAuto) };
class ADDocPublishOutsideDomain : public ADValueConstruct { AD_CLASS(ADDocPublishOutsideDomain) };

// A flag written "true" or "false" (nullopt writes "false").
#define AD_DOC_FLAG(Cls, get, Set)                                                                    \
  std::optional<bool> get() const {                                                                 \
    auto c = objectFor<Cls>();                                                                      \
    return c ? c->boolNumberValue() : std::nullopt;                                                 \
  }                                                                                                 \
  void set##Set(std::optional<bool> v) { setObject(ADValueConstruct::valueWithBool<Cls>(v.value_or(false)), Cls::adClass()); }

// --- Entries ---
class ADEntryDocBase : public ADEntryBase {
  AD_CLASS(ADEntryDocBase)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntryDocBase> documentEntry();
  AD_DATETIME_CHILD(ADLastViewed, lastViewed, LastViewed)
  AD_DOC_FLAG(ADWritersCanInvite, writersCanInvite, WritersCanInvite)
  AD_OBJECT_CHILD(ADLastModifiedBy, lastModifiedBy, LastModifiedBy)
  AD_LONGLONG_CHILD(ADQuotaBytesUsed, quotaBytesUsed, QuotaBytesUsed)
  AD_OBJECT_CHILDREN(ADFeedLink, feedLinks, FeedLinks, FeedLink)
  // Labels of the labels scheme, whatever the category's term.
  bool isStarred() const;
  void setIsStarred(bool v);
  bool isHidden() const;
  void setIsHidden(bool v);
  // Links to the folders holding the entry; empty when it has no links.
  std::vector<std::shared_ptr<ADLink>> parentLinks() const;
  std::shared_ptr<ADFeedLink> feedLinkForRel(const std::string& rel) const;
  std::shared_ptr<ADFeedLink> ACLFeedLink() const { return feedLinkForRel(kADDocsRelACL); }
  std::shared_ptr<ADFeedLink> revisionFeedLink() const { return feedLinkForRel(kADDocsRelRevisions); }
};

#define AD_DOC_ENTRY(Cls) \
  class Cls : public ADEntryDocBase { AD_CLASS(Cls) };
AD_DOC_ENTRY(ADEntryStandardDoc)
AD_DOC_ENTRY(ADEntryPresentationDoc)
AD_DOC_ENTRY(ADEntryDrawingDoc)
AD_DOC_ENTRY(ADEntryPDFDoc)
AD_DOC_ENTRY(ADEntryFileDoc)
AD_DOC_ENTRY(ADEntryFolderDoc)
#undef AD_DOC_ENTRY

class ADEntrySpreadsheetDoc : public ADEntryDocBase {
  AD_CLASS(ADEntrySpreadsheetDoc)
  std::shared_ptr<ADLink> worksheetsLink() const { return linkWithRelAttributeValue(kADDocsRelWorksheetsFeed); }
  std::shared_ptr<ADLink> tablesLink() const { return linkWithRelAttributeValue(kADDocsRelTablesFeed); }
};

class ADEntryDocListMetadata : public ADEntryBase {
  AD_CLASS(ADEntryDocListMetadata)
  void addExtensionDeclarations() override;
  AD_OBJECT_CHILDREN(ADDocExportFormat, exportFormats, ExportFormats, ExportFormat)
  AD_OBJECT_CHILDREN(ADDocFeature, features, Features, Feature)
  AD_OBJECT_CHILDREN(ADDocImportFormat, importFormats, ImportFormats, ImportFormat)
  AD_OBJECT_CHILDREN(ADDocMaxUploadSize, maxUploadSizes, MaxUploadSizes, MaxUploadSize)
  AD_LONGLONG_CHILD(ADQuotaBytesTotal, quotaBytesTotal, QuotaBytesTotal)
  AD_LONGLONG_CHILD(ADQuotaBytesUsed, quotaBytesUsed, QuotaBytesUsed)
  AD_LONGLONG_CHILD(ADQuotaBytesUsedInTrash, quotaBytesUsedInTrash, QuotaBytesUsedInTrash)
  std::shared_ptr<ADDocMaxUploadSize> maxUploadSizeForKind(const std::string& kind) const;
  std::shared_ptr<ADDocFeature> featureForName(const std::string& name) const;
};

class ADEntryDocRevision : public ADEntryBase {
  AD_CLASS(ADEntryDocRevision)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntryDocRevision> revisionEntry();
  AD_DOC_FLAG(ADDocPublish, publish, Publish)
  AD_DOC_FLAG(ADDocPublishAuto, publishAuto, PublishAuto)
  AD_DOC_FLAG(ADDocPublishOutsideDomain, publishOutsideDomain, PublishOutsideDomain)
  std::shared_ptr<ADPerson> modifyingUser() const;
  void setModifyingUser(std::shared_ptr<ADPerson> person);
  std::shared_ptr<ADLink> publishedLink() const { return linkWithRelAttributeValue(kADDocsRelPublish); }
};
#undef AD_DOC_FLAG

// The list feed names no entry class: each entry's kind chooses, and an entry
// of no registered kind is a plain document entry.
class ADFeedDocList : public ADFeedBase {
  AD_CLASS(ADFeedDocList)
  const ADClass& defaultClassForEntries() const override { return ADEntryDocBase::adClass(); }
};

class ADFeedDocRevision : public ADFeedBase {
  AD_CLASS(ADFeedDocRevision)
  const ADClass* classForEntries() const override { return &ADEntryDocRevision::adClass(); }
};

class ADQueryDocs : public ADQuery {
 public:
  using ADQuery::ADQuery;
  static std::shared_ptr<ADQueryDocs> documentQueryWithFeedURL(std::string url) {
    return std::make_shared<ADQueryDocs>(std::move(url));
  }
#define AD_DOCS_STRING(get, Set, name)                                                   \
  std::optional<std::string> get() const { return valueForParameterWithName(name); }     \
  void set##Set(const std::optional<std::string>& v) { addCustomParameterWithName(name, v); }
#define AD_DOCS_BOOL(get, Set, name, def)                                                   \
  bool get() const { return boolValueForParameterWithName(name, def); }                     \
  void set##Set(bool v) { addCustomParameterWithNameBoolValueDefaultValue(name, v, def); }
#define AD_DOCS_DATE(get, Set, name)                                                           \
  std::optional<ADDateTime> get() const { return dateTimeForParameterWithName(name); }         \
  void set##Set(const std::optional<ADDateTime>& v) { addCustomParameterWithNameDateTime(name, v); }
  AD_DOCS_STRING(titleQuery, TitleQuery, "title")
  AD_DOCS_BOOL(isTitleQueryExact, IsTitleQueryExact, "title-exact", false)
  AD_DOCS_STRING(parentFolderName, ParentFolderName, "folder")
  AD_DOCS_BOOL(shouldShowFolders, ShouldShowFolders, "showfolders", false)
  AD_DOCS_STRING(owner, Owner, "owner")
  AD_DOCS_STRING(reader, Reader, "reader")
  AD_DOCS_STRING(writer, Writer, "writer")
  AD_DOCS_DATE(openedMinDateTime, OpenedMinDateTime, "opened-min")
  AD_DOCS_DATE(openedMaxDateTime, OpenedMaxDateTime, "opened-max")
  AD_DOCS_DATE(editedMinDateTime, EditedMinDateTime, "edited-min")
  AD_DOCS_DATE(editedMaxDateTime, EditedMaxDateTime, "edited-max")
  AD_DOCS_BOOL(shouldActuallyDelete, ShouldActuallyDelete, "delete", false)
  AD_DOCS_BOOL(shouldConvertUpload, ShouldConvertUpload, "convert", true)
  AD_DOCS_BOOL(shouldOCRUpload, ShouldOCRUpload, "ocr", false)
  AD_DOCS_STRING(sourceLanguage, SourceLanguage, "sourceLanguage")
  AD_DOCS_STRING(targetLanguage, TargetLanguage, "targetLanguage")
#undef AD_DOCS_STRING
#undef AD_DOCS_BOOL
#undef AD_DOCS_DATE
};

class ADServiceDocs : public ADServiceAccount {
 public:
  static constexpr const char kRootURLString[] = "https://docs.flipdesk.net/feeds/";
  std::string serviceID() const override { return "writely"; }
  std::string serviceRootURLString() const override { return kRootURLString; }
  std::string defaultServiceVersion() const override { return kADDocsServiceVersion; }
  std::uint64_t defaultServiceUploadChunkSize() const override { return UINT32_MAX; }
  ADNamespaces standardServiceNamespaces() const override { return ADDocConstants::baseDocumentNamespaces(); }

  // Root, encoded user, visibility, projection ("full" when none), then the
  // encoded resource ID, feed type and revision ID, each when given.
  static std::string docsURLForUserID(const std::string& userID, const std::string& visibility,
                                      const std::optional<std::string>& projection,
                                      const std::optional<std::string>& resourceID,
                                      const std::optional<std::string>& feedType,
                                      const std::optional<std::string>& revisionID);
  static std::string docsFeedURL();
  static std::string folderContentsFeedURLForFolderID(const std::string& folderID);
  static std::string docsUploadURL();
  static std::string metadataEntryURLForUserID(const std::string& userID);

  // An entry carrying media goes to its upload edit link when this service
  // uploads in chunks; otherwise to its edit link.
  std::optional<std::string> updateURLForEntry(const ADEntryBase& entry) const;
  std::shared_ptr<ADServiceTicket> fetchEntryByUpdatingEntry(ADEntryBase& entry, ADServiceCompletion completion);
};
