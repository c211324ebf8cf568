#include "atomdata/ADElements.h"

#include "atomdata/ADConstants.h"

#define ATOM(name) .uri = kADNamespaceAtom, .localName = name
#define GD(name) .uri = kADNamespaceGD, .prefix = kADNamespaceGDPrefix, .localName = name

AD_DEFINE_CLASS(ADAtomTitle, ADTextConstruct, ATOM("title"))
AD_DEFINE_CLASS(ADAtomSubtitle, ADTextConstruct, ATOM("subtitle"))
AD_DEFINE_CLASS(ADAtomSummary, ADTextConstruct, ATOM("summary"))
AD_DEFINE_CLASS(ADAtomRights, ADTextConstruct, ATOM("rights"))
AD_DEFINE_CLASS(ADAtomID, ADValueElementConstruct, ATOM("id"))
AD_DEFINE_CLASS(ADAtomIcon, ADValueElementConstruct, ATOM("icon"))
AD_DEFINE_CLASS(ADAtomLogo, ADValueElementConstruct, ATOM("logo"))
AD_DEFINE_CLASS(ADAtomPublishedDate, ADValueElementConstruct, ATOM("published"))
AD_DEFINE_CLASS(ADAtomUpdatedDate, ADValueElementConstruct, ATOM("updated"))
AD_DEFINE_CLASS(ADAtomEditedDate, ADValueElementConstruct, .uri = kADNamespaceAtomPub,
                .prefix = kADNamespaceAtomPubPrefix, .localName = "edited")
AD_DEFINE_CLASS(ADAtomGenerator, ADValueElementConstruct, ATOM("generator"))
AD_DEFINE_CLASS(ADOpenSearchTotalResults, ADValueElementConstruct, .uri = kADNamespaceOpenSearch,
                .prefix = kADNamespaceOpenSearchPrefix, .localName = "totalResults")
AD_DEFINE_CLASS(ADOpenSearchStartIndex, ADValueElementConstruct, .uri = kADNamespaceOpenSearch,
                .prefix = kADNamespaceOpenSearchPrefix, .localName = "startIndex")
AD_DEFINE_CLASS(ADOpenSearchItemsPerPage, ADValueElementConstruct, .uri = kADNamespaceOpenSearch,
                .prefix = kADNamespaceOpenSearchPrefix, .localName = "itemsPerPage")
AD_DEFINE_CLASS(ADPersonName, ADValueElementConstruct, ATOM("name"))
AD_DEFINE_CLASS(ADPersonEmail, ADValueElementConstruct, ATOM("email"))
AD_DEFINE_CLASS(ADPersonURI, ADValueElementConstruct, ATOM("uri"))
AD_DEFINE_CLASS(ADPerson, ADObject, ATOM("author"))
AD_DEFINE_CLASS(ADAtomContributor, ADPerson, ATOM("contributor"))
AD_DEFINE_CLASS(ADCategory, ADObject, ATOM("category"))
AD_DEFINE_CLASS(ADLink, ADObject, ATOM("link"))
AD_DEFINE_CLASS(ADEntryContent, ADObject, ATOM("content"))
AD_DEFINE_CLASS(ADFeedLink, ADObject, GD("feedLink"))
AD_DEFINE_CLASS(ADRating, ADObject, GD("rating"))
AD_DEFINE_CLASS(ADComment, ADObject, GD("comments"))
AD_DEFINE_CLASS(ADMediaThumbnail, ADObject, .uri = kADNamespaceMedia, .prefix = kADNamespaceMediaPrefix,
                .localName = "thumbnail")
AD_DEFINE_CLASS(ADETagAttribute, ADAttribute, GD("etag"))
AD_DEFINE_CLASS(ADKindAttribute, ADAttribute, GD("kind"))

void ADAtomGenerator::addParseDeclarations() {
  ADValueElementConstruct::addParseDeclarations();
  addLocalAttributeDeclarations({"uri", "version"});
}

// --- Person ---

std::shared_ptr<ADPerson> ADPerson::personWithName(const std::optional<std::string>& name,
                                                   const std::optional<std::string>& email) {
  auto person = std::make_shared<ADPerson>();
  person->setName(name);
  person->setEmail(email);
  return person;
}

void ADPerson::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), {&ADPersonName::adClass(), &ADPersonEmail::adClass(), &ADPersonURI::adClass()});
}

std::optional<std::string> ADPerson::name() const { return ADValueConstruct::stringValueOfChild<ADPersonName>(*this); }
void ADPerson::setName(const std::optional<std::string>& v) { ADValueConstruct::setChildWithString<ADPersonName>(*this, v); }
std::optional<std::string> ADPerson::email() const { return ADValueConstruct::stringValueOfChild<ADPersonEmail>(*this); }
void ADPerson::setEmail(const std::optional<std::string>& v) { ADValueConstruct::setChildWithString<ADPersonEmail>(*this, v); }
std::optional<std::string> ADPerson::URI() const { return ADValueConstruct::stringValueOfChild<ADPersonURI>(*this); }
void ADPerson::setURI(const std::optional<std::string>& v) { ADValueConstruct::setChildWithString<ADPersonURI>(*this, v); }

// --- Category ---

void ADCategory::addParseDeclarations() { addLocalAttributeDeclarations({"scheme", "term", "label", "xml:lang"}); }

std::shared_ptr<ADCategory> ADCategory::categoryWithScheme(const std::optional<std::string>& scheme,
                                                           const std::optional<std::string>& term) {
  auto category = std::make_shared<ADCategory>();
  category->setScheme(scheme);
  category->setTerm(term);
  return category;
}

std::shared_ptr<ADCategory> ADCategory::categoryWithLabel(const std::string& label) {
  auto category = categoryWithScheme(std::string(kADCategoryLabelScheme), std::string(kADCategoryLabelScheme) + "#" + label);
  category->setLabel(label);
  return category;
}

bool ADCategory::categoriesContainsCategoryWithLabel(const std::vector<std::shared_ptr<ADCategory>>& categories,
                                                     const std::string& label) {
  return categoriesContainsCategoryWithScheme(categories, std::string(kADCategoryLabelScheme), std::nullopt, label);
}

bool ADCategory::categoriesContainsCategoryWithScheme(const std::vector<std::shared_ptr<ADCategory>>& categories,
                                                      const std::optional<std::string>& scheme,
                                                      const std::optional<std::string>& term,
                                                      const std::optional<std::string>& label) {
  for (const auto& c : categories) {
    if (scheme && c->scheme() != scheme) continue;
    if (term && c->term() != term) continue;
    if (label && c->label() != label) continue;
    return true;
  }
  return false;
}

// --- Link ---

void ADLink::addParseDeclarations() { addLocalAttributeDeclarations({"rel", "type", "href", "hreflang", "title", "length"}); }

std::shared_ptr<ADLink> ADLink::linkWithRel(const std::optional<std::string>& rel, const std::optional<std::string>& type,
                                            const std::optional<std::string>& href) {
  auto link = std::make_shared<ADLink>();
  link->setRel(rel);
  link->setType(type);
  link->setHref(href);
  return link;
}

// --- Content ---

void ADEntryContent::addParseDeclarations() {
  addLocalAttributeDeclarations({"type", "src", "xml:lang"});
  addContentValueDeclaration();
  addChildXMLElementsDeclaration();
}

std::shared_ptr<ADEntryContent> ADEntryContent::contentWithString(const std::optional<std::string>& text) {
  if (!text) return nullptr;
  auto content = std::make_shared<ADEntryContent>();
  content->setStringValue(text);
  return content;
}

std::shared_ptr<ADEntryContent> ADEntryContent::contentWithXMLValue(ADXMLNode value, const std::optional<std::string>& type) {
  auto content = std::make_shared<ADEntryContent>();
  if (value) content->addChildXMLElement(std::move(value));
  content->setType(type);
  return content;
}

// --- gd and media ---

void ADFeedLink::addParseDeclarations() { addLocalAttributeDeclarations({"rel", "href", "countHint", "readOnly"}); }

void ADRating::addParseDeclarations() { addLocalAttributeDeclarations({"rel", "value", "max", "min", "average", "numRaters"}); }

std::shared_ptr<ADRating> ADRating::ratingWithValue(int value, int max, int min) {
  auto rating = std::make_shared<ADRating>();
  rating->setStringValue(std::to_string(value), "value");
  rating->setStringValue(std::to_string(max), "max");
  rating->setStringValue(std::to_string(min), "min");
  return rating;
}

void ADComment::addParseDeclarations() { addLocalAttributeDeclarations({"rel"}); }

void ADComment::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADFeedLink::adClass());
}

void ADMediaThumbnail::addParseDeclarations() { addLocalAttributeDeclarations({"url", "height", "width", "time"}); }
