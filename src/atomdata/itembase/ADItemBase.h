#pragma once
// The Item Base family: an item is a bag of typed, named attributes written as
// elements named by the attribute (blanks as underscores), plus the metadata
// elements that describe attribute statistics. Its classes register no kind:
// the service names them when it fetches.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "atomdata/ADQuery.h"
#include "atomdata/ADService.h"

#define AD_ITEMBASE_ROOT "http://base.flipdesk.net/base"
inline constexpr const char kADNamespaceItemBase[] = AD_ITEMBASE_ROOT "/ns/1.0";
inline constexpr const char kADNamespaceItemBasePrefix[] = "g";
inline constexpr const char kADNamespaceItemBaseMetadata[] = AD_ITEMBASE_ROOT "/ns-metadata/1.0";
inline constexpr const char kADNamespaceItemBaseMetadataPrefix[] = "gm";
inline constexpr const char kADItemBaseItemTypeScheme[] = AD_ITEMBASE_ROOT "/categories/itemtypes";
inline constexpr const char kADItemBaseServiceVersion[] = "2.0";

// A typed, named attribute; nested attributes are its sub-attributes.
class ADItemBaseAttribute : public ADObject {
  AD_CLASS(ADItemBaseAttribute)
  void addParseDeclarations() override;
  void addExtensionDeclarations() override;
  bool isEqual(const ADObject& other) const override;
  static std::shared_ptr<ADItemBaseAttribute> attributeWithName(const std::string& name,
                                                                const std::optional<std::string>& type,
                                                                const std::optional<std::string>& textValue);
  static std::string attributeNameFromElementLocalName(const std::string& local);
  static std::string elementLocalNameFromAttributeName(const std::string& name);

  // The element's local name with underscores read as blanks.
  std::string name() const;
  // Renames the element ("g:" and the name with blanks as underscores); an
  // empty name leaves it as it was.
  void setName(const std::string& name);
  std::optional<std::string> type() const { return stringValueForAttribute("type"); }
  void setType(const std::optional<std::string>& v) { setStringValue(v, "type"); }
  bool isPrivate() const;
  void setIsPrivate(bool v) { setStringValue(v ? std::optional<std::string>("private") : std::nullopt, "access"); }
  std::optional<std::string> textValue() const { return contentStringValue(); }
  void setTextValue(const std::optional<std::string>& v) { setContentStringValue(v); }
  std::optional<ADDateTime> dateTime() const;
  AD_OBJECT_CHILDREN(ADItemBaseAttribute, subAttributes, SubAttributes, SubAttribute)
};

class ADItemBaseMetadataValue : public ADObject {
  AD_CLASS(ADItemBaseMetadataValue)
  void addParseDeclarations() override;
  static std::shared_ptr<ADItemBaseMetadataValue> metadataValueWithContents(const std::optional<std::string>& contents,
                                                                            std::optional<int> count);
  std::optional<std::string> contents() const { return contentStringValue(); }
  void setContents(const std::optional<std::string>& v) { setContentStringValue(v); }
  std::optional<int> count() const { return intNumberForAttribute("count"); }
  void setCount(std::optional<int> v) { setNumberValue(v, "count"); }
};

class ADItemBaseMetadataAttribute : public ADObject {
  AD_CLASS(ADItemBaseMetadataAttribute)
  void addParseDeclarations() override;
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADItemBaseMetadataAttribute> metadataAttributeWithType(const std::optional<std::string>& type,
                                                                                const std::optional<std::string>& name,
                                                                                std::optional<int> count);
  std::optional<std::string> name() const { return stringValueForAttribute("name"); }
  void setName(const std::optional<std::string>& v) { setStringValue(v, "name"); }
  std::optional<std::string> type() const { return stringValueForAttribute("type"); }
  void setType(const std::optional<std::string>& v) { setStringValue(v, "type"); }
  std::optional<int> count() const { return intNumberForAttribute("count"); }
  void setCount(std::optional<int> v) { setNumberValue(v, "count"); }
  AD_OBJECT_CHILDREN(ADItemBaseMetadataValue, values, Values, Value)
};

class ADItemBaseMetadataAttributeList : public ADObject {
  AD_CLASS(ADItemBaseMetadataAttributeList)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADItemBaseMetadataAttributeList> metadataAttributeList() {
    return std::make_shared<ADItemBaseMetadataAttributeList>();
  }
  AD_OBJECT_CHILDREN(ADItemBaseMetadataAttribute, metadataAttributes, MetadataAttributes, MetadataAttribute)
};

class ADItemBaseMetadataItemType : public ADObject {
  AD_CLASS(ADItemBaseMetadataItemType)
  void addParseDeclarations() override { addContentValueDeclaration(); }
  static std::shared_ptr<ADItemBaseMetadataItemType> metadataItemTypeWithValue(const std::optional<std::string>& v);
  std::optional<std::string> value() const { return contentStringValue(); }
  void setValue(const std::optional<std::string>& v) { setContentStringValue(v); }
};

class ADEntryItemBase : public ADEntryBase {
  AD_CLASS(ADEntryItemBase)
  // g and gm, merged with the base namespaces.
  static ADNamespaces itemBaseNamespaces();
  static std::shared_ptr<ADEntryItemBase> itemBaseEntryForCategoryTerm(const std::optional<std::string>& term);
  void addExtensionDeclarations() override;

  AD_OBJECT_CHILDREN(ADItemBaseAttribute, entryAttributes, EntryAttributes, EntryAttribute)
  AD_OBJECT_CHILDREN(ADItemBaseMetadataAttribute, metadataAttributes, MetadataAttributes, MetadataAttribute)
  AD_OBJECT_CHILD(ADItemBaseMetadataAttributeList, metadataAttributeList, MetadataAttributeList)
  std::optional<std::string> metadataItemType() const;
  void setMetadataItemType(const std::optional<std::string>& value);

  // Whether supertype is type itself or one of its supertypes ("number" of "int").
  static bool isAttributeType(const std::optional<std::string>& supertype, const std::optional<std::string>& type);
  // Attributes of that name and of that type or a subtype; nullopt matches any.
  std::vector<std::shared_ptr<ADItemBaseAttribute>> attributesWithName(const std::optional<std::string>& name,
                                                                        const std::optional<std::string>& type) const;
  // The single match; null for none or more than one.
  std::shared_ptr<ADItemBaseAttribute> attributeWithName(const std::optional<std::string>& name,
                                                         const std::optional<std::string>& type) const;
  void removeAttributesWithName(const std::optional<std::string>& name, const std::optional<std::string>& type);
  // Removes every match, then appends one with the value (when given).
  void setAttributeWithName(const std::string& name, const std::optional<std::string>& type,
                            const std::optional<std::string>& textValue);
  static std::vector<std::string> stringValuesForAttributes(const std::vector<std::shared_ptr<ADItemBaseAttribute>>& a);
  // Element local name to the attributes of that name, in document order.
  std::map<std::string, std::vector<std::shared_ptr<ADItemBaseAttribute>>> attributeDictionary() const;

  // --- Typed accessors ---
  std::vector<std::string> labels() const { return values("label", "text"); }
  void addLabel(const std::string& v) { appendValue("label", "text", v); }
  std::optional<std::string> itemType() const { return text("item type", "text"); }
  void setItemType(const std::optional<std::string>& v) { setAttributeWithName("item type", "text", v); }
  std::optional<ADDateTime> expirationDate() const;
  void setExpirationDate(const std::optional<ADDateTime>& v);
  std::vector<std::string> imageLinks() const { return values("image link", "url"); }
  void addImageLink(const std::string& v) { appendValue("image link", "url", v); }
  std::optional<std::string> imageLink() const;
  std::vector<std::string> paymentMethods() const { return values("payment accepted", "text"); }
  // A method already listed is not added again.
  void addPaymentMethod(const std::string& v) { appendNewValue("payment accepted", "text", v); }
  std::optional<std::string> price() const { return text("price", "floatUnit"); }
  void setPrice(const std::optional<std::string>& v) { setAttributeWithName("price", "floatUnit", v); }
  std::optional<std::string> location() const { return text("location", "location"); }
  void setLocation(const std::optional<std::string>& v) { setAttributeWithName("location", "location", v); }
  std::optional<std::string> priceType() const { return text("price type", "text"); }
  void setPriceType(const std::optional<std::string>& v) { setAttributeWithName("price type", "text", v); }
  std::optional<int> quantity() const;
  void setQuantity(std::optional<int> v);
  std::optional<std::string> priceUnits() const { return text("price units", "text"); }
  void setPriceUnits(const std::optional<std::string>& v) { setAttributeWithName("price units", "text", v); }
  std::vector<std::string> shippings() const { return values("shipping", "shipping"); }
  // A shipping value already listed is not added again; the others stay.
  void addShipping(const std::string& v) { appendNewValue("shipping", "shipping", v); }
  std::optional<float> taxPercent() const;
  void setTaxPercent(std::optional<float> v);
  std::optional<std::string> taxRegion() const { return text("tax region", "text"); }
  void setTaxRegion(const std::optional<std::string>& v) { setAttributeWithName("tax region", "text", v); }
  std::optional<std::string> deliveryRadius() const { return text("delivery radius", "floatUnit"); }
  void setDeliveryRadius(const std::optional<std::string>& v) { setAttributeWithName("delivery radius", "floatUnit", v); }
  std::optional<bool> shouldPickUp() const;
  void setShouldPickUp(std::optional<bool> v);
  std::optional<std::string> deliveryNotes() const { return text("delivery notes", "text"); }
  void setDeliveryNotes(const std::optional<std::string>& v) { setAttributeWithName("delivery notes", "text", v); }
  std::optional<std::string> paymentNotes() const { return text("payment notes", "text"); }
  void setPaymentNotes(const std::optional<std::string>& v) { setAttributeWithName("payment notes", "text", v); }
  std::optional<int> customerID() const;

 private:
  std::optional<std::string> text(const char* name, const char* type) const;
  std::vector<std::string> values(const char* name, const char* type) const;
  void appendValue(const char* name, const char* type, const std::string& value);
  void appendNewValue(const char* name, const char* type, const std::string& value);
};

class ADFeedItemBase : public ADFeedBase {
  AD_CLASS(ADFeedItemBase)
  const ADClass* classForEntries() const override { return &ADEntryItemBase::adClass(); }
  static std::shared_ptr<ADFeedItemBase> itemBaseFeed();
  static fd::Expected<std::shared_ptr<ADFeedItemBase>> itemBaseFeedWithXMLData(std::string_view bytes) {
    return ADFeedWithXMLData<ADFeedItemBase>(bytes);
  }
};

class ADQueryItemBase : public ADQuery {
 public:
  using ADQuery::ADQuery;
  static std::shared_ptr<ADQueryItemBase> itemBaseQueryWithFeedURL(std::string url) {
    return std::make_shared<ADQueryItemBase>(std::move(url));
  }
  std::optional<std::string> itemBaseQuery() const { return valueForParameterWithName("bq"); }
  void setItemBaseQuery(const std::optional<std::string>& v) { addCustomParameterWithName("bq", v); }
  long maxValues() const { return positiveValueForParameterWithName("max-values"); }
  void setMaxValues(long v) { addCustomParameterWithNamePositiveValue("max-values", v); }
};

// Fetches parse as the family's feed and entry classes, since they register no kind.
class ADServiceItemBase : public ADServiceAccount {
 public:
  std::string serviceID() const override { return "gbase"; }
  std::string defaultServiceVersion() const override { return kADItemBaseServiceVersion; }
  ADNamespaces standardServiceNamespaces() const override { return ADEntryItemBase::itemBaseNamespaces(); }
  void setDeveloperKey(std::optional<std::string> key) { developerKey_ = std::move(key); }
  const std::optional<std::string>& developerKey() const { return developerKey_; }

  std::shared_ptr<ADServiceTicket> fetchFeedWithURL(const std::string& url, ADServiceCompletion completion) {
    return ADServiceAccount::fetchFeedWithURL(url, ADFeedItemBase::adClass(), std::move(completion));
  }
  std::shared_ptr<ADServiceTicket> fetchFeedWithQuery(const ADQuery& query, ADServiceCompletion completion) {
    return fetchFeedWithURL(query.URL(), std::move(completion));
  }
  std::shared_ptr<ADServiceTicket> fetchEntryWithURL(const std::string& url, ADServiceCompletion completion) {
    return ADServiceAccount::fetchEntryWithURL(url, ADEntryItemBase::adClass(), std::move(completion));
  }
  // Adds "X-Developer-Key" when the key has a length.
  std::shared_ptr<HTTPRequest> requestForURL(const std::string& url, const std::optional<std::string>& ETag,
                                             const std::string& httpMethod, ADServiceTicket& ticket) override;

 private:
  std::optional<std::string> developerKey_;
};
