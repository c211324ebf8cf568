#pragma once
// The Atom elements entries and feeds are made of, and the few shared elements
// of the gd, media and AtomPub vocabularies the core itself uses.
#include <optional>
#include <string>
#include <vector>

#include "atomdata/ADConstructs.h"

// --- Text constructs and plain values of Atom ---
class ADAtomTitle : public ADTextConstruct { AD_CLASS(ADAtomTitle) };
class ADAtomSubtitle : public ADTextConstruct { AD_CLASS(ADAtomSubtitle) };
class ADAtomSummary : public ADTextConstruct { AD_CLASS(ADAtomSummary) };
class ADAtomRights : public ADTextConstruct { AD_CLASS(ADAtomRights) };
class ADAtomID : public ADValueElementConstruct { AD_CLASS(ADAtomID) };
class ADAtomIcon : public ADValueElementConstruct { AD_CLASS(ADAtomIcon) };
class ADAtomLogo : public ADValueElementConstruct { AD_CLASS(ADAtomLogo) };
class ADAtomPublishedDate : public ADValueElementConstruct { AD_CLASS(ADAtomPublishedDate) };
class ADAtomUpdatedDate : public ADValueElementConstruct { AD_CLASS(ADAtomUpdatedDate) };
class ADAtomEditedDate : public ADValueElementConstruct { AD_CLASS(ADAtomEditedDate) };
class ADAtomGenerator : public ADValueElementConstruct {
  AD_CLASS(ADAtomGenerator)
  void addParseDeclarations() override;
};
class ADOpenSearchTotalResults : public ADValueElementConstruct { AD_CLASS(ADOpenSearchTotalResults) };
class ADOpenSearchStartIndex : public ADValueElementConstruct { AD_CLASS(ADOpenSearchStartIndex) };
class ADOpenSearchItemsPerPage : public ADValueElementConstruct { AD_CLASS(ADOpenSearchItemsPerPage) };

// --- Person ---
class ADPersonName : public ADValueElementConstruct { AD_CLASS(ADPersonName) };
class ADPersonEmail : public ADValueElementConstruct { AD_CLASS(ADPersonEmail) };
class ADPersonURI : public ADValueElementConstruct { AD_CLASS(ADPersonURI) };

// An Atom person (stored as an entry's or feed's author).
class ADPerson : public ADObject {
  AD_CLASS(ADPerson)
  static std::shared_ptr<ADPerson> personWithName(const std::optional<std::string>& name,
                                                  const std::optional<std::string>& email);
  void addExtensionDeclarations() override;
  std::optional<std::string> name() const;
  void setName(const std::optional<std::string>& name);
  std::optional<std::string> email() const;
  void setEmail(const std::optional<std::string>& email);
  std::optional<std::string> URI() const;
  void setURI(const std::optional<std::string>& uri);
};
class ADAtomContributor : public ADPerson { AD_CLASS(ADAtomContributor) };

// --- Category ---
class ADCategory : public ADObject {
  AD_CLASS(ADCategory)
  void addParseDeclarations() override;
  static std::shared_ptr<ADCategory> categoryWithScheme(const std::optional<std::string>& scheme,
                                                        const std::optional<std::string>& term);
  // A category of the labels scheme: term "scheme#label", label as given.
  static std::shared_ptr<ADCategory> categoryWithLabel(const std::string& label);
  static bool categoriesContainsCategoryWithLabel(const std::vector<std::shared_ptr<ADCategory>>& categories,
                                                  const std::string& label);
  // nullopt arguments match any value.
  static bool categoriesContainsCategoryWithScheme(const std::vector<std::shared_ptr<ADCategory>>& categories,
                                                   const std::optional<std::string>& scheme,
                                                   const std::optional<std::string>& term,
                                                   const std::optional<std::string>& label);
  std::optional<std::string> scheme() const { return stringValueForAttribute("scheme"); }
  void setScheme(const std::optional<std::string>& v) { setStringValue(v, "scheme"); }
  std::optional<std::string> term() const { return stringValueForAttribute("term"); }
  void setTerm(const std::optional<std::string>& v) { setStringValue(v, "term"); }
  std::optional<std::string> label() const { return stringValueForAttribute("label"); }
  void setLabel(const std::optional<std::string>& v) { setStringValue(v, "label"); }
};

// --- Link ---
class ADLink : public ADObject {
  AD_CLASS(ADLink)
  void addParseDeclarations() override;
  static std::shared_ptr<ADLink> linkWithRel(const std::optional<std::string>& rel,
                                             const std::optional<std::string>& type,
                                             const std::optional<std::string>& href);
  std::optional<std::string> rel() const { return stringValueForAttribute("rel"); }
  void setRel(const std::optional<std::string>& v) { setStringValue(v, "rel"); }
  std::optional<std::string> type() const { return stringValueForAttribute("type"); }
  void setType(const std::optional<std::string>& v) { setStringValue(v, "type"); }
  std::optional<std::string> href() const { return stringValueForAttribute("href"); }
  void setHref(const std::optional<std::string>& v) { setStringValue(v, "href"); }
  std::optional<std::string> title() const { return stringValueForAttribute("title"); }
  std::optional<std::string> URL() const { return href(); }
};

// --- Content ---
class ADEntryContent : public ADObject {
  AD_CLASS(ADEntryContent)
  void addParseDeclarations() override;
  static std::shared_ptr<ADEntryContent> contentWithString(const std::optional<std::string>& text);
  static std::shared_ptr<ADEntryContent> contentWithXMLValue(ADXMLNode value, const std::optional<std::string>& type);
  std::optional<std::string> stringValue() const { return contentStringValue(); }
  void setStringValue(const std::optional<std::string>& v) { setContentStringValue(v); }
  std::optional<std::string> type() const { return stringValueForAttribute("type"); }
  void setType(const std::optional<std::string>& v) { ADObject::setStringValue(v, "type"); }
  std::optional<std::string> sourceURL() const { return stringValueForAttribute("src"); }
  const std::vector<ADXMLNode>& XMLValues() const { return childXMLElements(); }
};

// --- Shared gd and media elements ---
class ADFeedLink : public ADObject {
  AD_CLASS(ADFeedLink)
  void addParseDeclarations() override;
  std::optional<std::string> rel() const { return stringValueForAttribute("rel"); }
  void setRel(const std::optional<std::string>& v) { setStringValue(v, "rel"); }
  std::optional<std::string> href() const { return stringValueForAttribute("href"); }
  void setHref(const std::optional<std::string>& v) { setStringValue(v, "href"); }
  std::optional<int> countHint() const { return intNumberForAttribute("countHint"); }
  bool isReadOnly() const { return boolValueForAttribute("readOnly", false); }
  void setIsReadOnly(bool v) { setBoolValue(v, false, "readOnly"); }
};

class ADRating : public ADObject {
  AD_CLASS(ADRating)
  void addParseDeclarations() override;
  static std::shared_ptr<ADRating> ratingWithValue(int value, int max, int min);
  std::optional<int> value() const { return intNumberForAttribute("value"); }
  std::optional<int> max() const { return intNumberForAttribute("max"); }
  std::optional<int> min() const { return intNumberForAttribute("min"); }
  std::optional<int> numberOfRaters() const { return intNumberForAttribute("numRaters"); }
  std::optional<double> average() const { return doubleNumberForAttribute("average"); }
};

class ADComment : public ADObject {
  AD_CLASS(ADComment)
  void addParseDeclarations() override;
  void addExtensionDeclarations() override;
  std::shared_ptr<ADFeedLink> feedLink() const { return objectFor<ADFeedLink>(); }
  void setFeedLink(std::shared_ptr<ADFeedLink> link) { setObject(std::move(link), ADFeedLink::adClass()); }
};

class ADMediaThumbnail : public ADObject {
  AD_CLASS(ADMediaThumbnail)
  void addParseDeclarations() override;
  std::optional<std::string> URLString() const { return stringValueForAttribute("url"); }
  std::optional<int> height() const { return intNumberForAttribute("height"); }
  std::optional<int> width() const { return intNumberForAttribute("width"); }
  std::optional<std::string> time() const { return stringValueForAttribute("time"); }
};

// gd attributes of entries and feeds.
class ADETagAttribute : public ADAttribute { AD_CLASS(ADETagAttribute) };
class ADKindAttribute : public ADAttribute { AD_CLASS(ADKindAttribute) };
