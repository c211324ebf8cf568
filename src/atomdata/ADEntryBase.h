#pragma once
// Atom entries and feeds: the standard Atom children, the kind registration,
// and the media an entry carries on insert or update.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "atomdata/ADElements.h"

class ADEntryBase : public ADObject {
  AD_CLASS(ADEntryBase)
  ADEntryBase() = default;
  ADEntryBase(const ADEntryBase& other)
      : ADObject(other), upload_(other.upload_ ? std::make_unique<Upload>(*other.upload_) : nullptr) {}

  // Enters cls in the entry kind map under its kind term and its gd kind
  // attribute value (each when it has one).
  static void registerEntryClass(const ADClass& cls);
  // Enters cls under a category; a null scheme matches that term under any scheme.
  static void registerEntryClass(const ADClass& cls, const char* scheme, std::string_view term);
  // The Atom default namespace, gd and app.
  static ADNamespaces baseADNamespaces();

  void addExtensionDeclarations() override;

  std::shared_ptr<ADTextConstruct> title() const;
  void setTitle(std::shared_ptr<ADTextConstruct> title);
  void setTitleWithString(const std::optional<std::string>& title);
  std::shared_ptr<ADTextConstruct> summary() const;
  void setSummary(std::shared_ptr<ADTextConstruct> summary);
  std::shared_ptr<ADEntryContent> content() const { return objectFor<ADEntryContent>(); }
  void setContent(std::shared_ptr<ADEntryContent> content) { setObject(std::move(content), ADEntryContent::adClass()); }
  std::vector<std::shared_ptr<ADPerson>> authors() const { return objectsFor<ADPerson>(); }
  void setAuthors(const std::vector<std::shared_ptr<ADPerson>>& authors) { setObjects(authors, ADPerson::adClass()); }
  void addAuthor(std::shared_ptr<ADPerson> author) { addObject(std::move(author), ADPerson::adClass()); }
  std::vector<std::shared_ptr<ADCategory>> categories() const { return objectsFor<ADCategory>(); }
  void setCategories(const std::vector<std::shared_ptr<ADCategory>>& c) { setObjects(c, ADCategory::adClass()); }
  void addCategory(std::shared_ptr<ADCategory> c) { addObject(std::move(c), ADCategory::adClass()); }
  void removeCategory(const ADCategory& c) { removeObject(c, ADCategory::adClass()); }
  std::vector<std::shared_ptr<ADLink>> links() const { return objectsFor<ADLink>(); }
  void setLinks(const std::vector<std::shared_ptr<ADLink>>& links) { setObjects(links, ADLink::adClass()); }
  void addLink(std::shared_ptr<ADLink> link) { addObject(std::move(link), ADLink::adClass()); }
  std::shared_ptr<ADLink> linkWithRelAttributeValue(std::string_view rel,
                                                    const std::optional<std::string>& type = std::nullopt) const;
  std::shared_ptr<ADLink> editLink() const { return linkWithRelAttributeValue("edit"); }
  std::shared_ptr<ADLink> alternateLink() const { return linkWithRelAttributeValue("alternate"); }
  std::shared_ptr<ADLink> uploadEditLink() const;
  std::optional<std::string> identifier() const;
  void setIdentifier(const std::optional<std::string>& identifier);
  std::optional<ADDateTime> updatedDate() const;
  void setUpdatedDate(const std::optional<ADDateTime>& date);
  std::optional<ADDateTime> publishedDate() const;
  std::optional<std::string> ETag() const { return attributeValueForExtensionClass(ADETagAttribute::adClass()); }
  void setETag(const std::optional<std::string>& etag) { setAttributeValue(etag, ADETagAttribute::adClass()); }
  std::optional<std::string> kind() const { return attributeValueForExtensionClass(ADKindAttribute::adClass()); }

  // Media sent with the entry on insert or update; nullopt when it carries none.
  const std::optional<std::string>& uploadData() const { return upload().data; }
  void setUploadData(std::optional<std::string> data) { uploadForChange().data = std::move(data); }
  const std::optional<std::string>& uploadMIMEType() const { return upload().mimeType; }
  void setUploadMIMEType(std::optional<std::string> type) { uploadForChange().mimeType = std::move(type); }

 private:
  // Kept apart: the entries of a parsed feed carry none.
  struct Upload {
    std::optional<std::string> data;
    std::optional<std::string> mimeType;
  };
  const Upload& upload() const;
  Upload& uploadForChange();
  std::unique_ptr<Upload> upload_;
};

class ADFeedBase : public ADObject {
  AD_CLASS(ADFeedBase)
  ADFeedBase() = default;
  // The entries are copied too.
  ADFeedBase(const ADFeedBase& other);

  static void registerFeedClass(const ADClass& cls);
  static void registerFeedClass(const ADClass& cls, const char* scheme, std::string_view term);
  // Parses the bytes into this feed (a document whose root is an Atom feed).
  fd::Status initWithData(std::string_view bytes);

  void addExtensionDeclarations() override;
  void initWithXMLElement(const xmlNode* element, const ADObject* parent) override;
  ADXMLNode XMLElement() const override;
  // The same text as the whole tree's, written entry after entry: the feed
  // never stands as one tree beside its objects.
  std::string XMLDocumentString() const override;
  bool isEqual(const ADObject& other) const override;

  // The class of the feed's entries; null lets the kind maps choose, falling
  // back to defaultClassForEntries.
  virtual const ADClass* classForEntries() const { return nullptr; }
  virtual const ADClass& defaultClassForEntries() const { return ADEntryBase::adClass(); }

  const std::vector<std::shared_ptr<ADEntryBase>>& entries() const { return entries_; }
  void setEntries(std::vector<std::shared_ptr<ADEntryBase>> entries) { entries_ = std::move(entries); }
  void addEntry(std::shared_ptr<ADEntryBase> entry) { entries_.push_back(std::move(entry)); }

  std::shared_ptr<ADTextConstruct> title() const;
  void setTitleWithString(const std::optional<std::string>& title);
  std::shared_ptr<ADTextConstruct> subtitle() const;
  void setSubtitle(std::shared_ptr<ADTextConstruct> subtitle);
  std::vector<std::shared_ptr<ADLink>> links() const { return objectsFor<ADLink>(); }
  std::shared_ptr<ADLink> linkWithRelAttributeValue(std::string_view rel) const;
  std::vector<std::shared_ptr<ADCategory>> categories() const { return objectsFor<ADCategory>(); }
  std::vector<std::shared_ptr<ADPerson>> authors() const { return objectsFor<ADPerson>(); }
  std::optional<std::string> identifier() const;
  std::optional<int> totalResults() const;

 private:
  std::vector<std::shared_ptr<ADEntryBase>> entries_;
};

// A document parsed into the class its root names: a feed or entry by its kind
// (or as cls when given), a service document by its root's name.
fd::Expected<ADObjectPtr> ADObjectWithXMLData(std::string_view bytes, const ADClass* cls = nullptr);

// A new empty object of class T declaring the namespaces (the families' factories).
template <typename T>
std::shared_ptr<T> ADObjectWithNamespaces(ADNamespaces namespaces) {
  auto object = std::make_shared<T>();
  object->setNamespaces(std::move(namespaces));
  return object;
}

// A feed of class T parsed from the bytes (the families' "...FeedWithXMLData").
template <typename T>
fd::Expected<std::shared_ptr<T>> ADFeedWithXMLData(std::string_view bytes) {
  auto feed = std::make_shared<T>();
  if (fd::Status parsed = feed->initWithData(bytes); !parsed) return parsed.failure();
  return feed;
}
