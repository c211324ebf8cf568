#include "atomdata/ADEntryBase.h"

#include <libxml/xmlreader.h>

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>

#include "atomdata/ADConstants.h"
#include "atomdata/ADKindMaps.h"

AD_DEFINE_CLASS(ADEntryBase, ADObject, .uri = kADNamespaceAtom, .localName = "entry")
AD_DEFINE_CLASS(ADFeedBase, ADObject, .uri = kADNamespaceAtom, .localName = "feed")

// --- Entry ---

void ADEntryBase::registerEntryClass(const ADClass& cls) { ad_kinds::registerEntry(cls); }
void ADEntryBase::registerEntryClass(const ADClass& cls, const char* scheme, std::string_view term) {
  ad_kinds::registerEntry(cls, scheme, term);
}

ADNamespaces ADEntryBase::baseADNamespaces() {
  return {{"", kADNamespaceAtom}, {kADNamespaceGDPrefix, kADNamespaceGD}, {kADNamespaceAtomPubPrefix, kADNamespaceAtomPub}};
}

void ADEntryBase::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  const ADClass& me = adClass();
  addExtensionDeclarationForParentClass(
      me, {&ADAtomTitle::adClass(), &ADAtomSummary::adClass(), &ADEntryContent::adClass(), &ADPerson::adClass(),
           &ADAtomContributor::adClass(), &ADCategory::adClass(), &ADLink::adClass(), &ADAtomID::adClass(),
           &ADAtomPublishedDate::adClass(), &ADAtomUpdatedDate::adClass(), &ADAtomEditedDate::adClass(),
           &ADAtomRights::adClass()});
  addAttributeExtensionDeclarationForParentClass(me, ADETagAttribute::adClass());
  addAttributeExtensionDeclarationForParentClass(me, ADKindAttribute::adClass());
}

std::shared_ptr<ADTextConstruct> ADEntryBase::title() const { return objectFor<ADTextConstruct>(ADAtomTitle::adClass()); }

void ADEntryBase::setTitle(std::shared_ptr<ADTextConstruct> title) { setObject(std::move(title), ADAtomTitle::adClass()); }

void ADEntryBase::setTitleWithString(const std::optional<std::string>& title) {
  setTitle(ADTextConstruct::textConstructWithString<ADAtomTitle>(title));
}

std::shared_ptr<ADTextConstruct> ADEntryBase::summary() const {
  return objectFor<ADTextConstruct>(ADAtomSummary::adClass());
}

void ADEntryBase::setSummary(std::shared_ptr<ADTextConstruct> summary) {
  setObject(std::move(summary), ADAtomSummary::adClass());
}

std::shared_ptr<ADLink> ADEntryBase::linkWithRelAttributeValue(std::string_view rel,
                                                               const std::optional<std::string>& type) const {
  for (const auto& link : links())
    if (link->rel() == rel && (!type || link->type() == type)) return link;
  return nullptr;
}

const ADEntryBase::Upload& ADEntryBase::upload() const {
  static const Upload none;
  return upload_ ? *upload_ : none;
}

ADEntryBase::Upload& ADEntryBase::uploadForChange() {
  if (!upload_) upload_ = std::make_unique<Upload>();
  return *upload_;
}

std::shared_ptr<ADLink> ADEntryBase::uploadEditLink() const { return linkWithRelAttributeValue(kADLinkRelResumableEditMedia); }

std::optional<std::string> ADEntryBase::identifier() const {
  auto id = objectFor<ADAtomID>();
  return id ? id->stringValue() : std::nullopt;
}

void ADEntryBase::setIdentifier(const std::optional<std::string>& identifier) {
  setObject(ADValueConstruct::valueWithString<ADAtomID>(identifier), ADAtomID::adClass());
}

std::optional<ADDateTime> ADEntryBase::updatedDate() const {
  auto d = objectFor<ADAtomUpdatedDate>();
  return d ? d->dateTimeValue() : std::nullopt;
}

void ADEntryBase::setUpdatedDate(const std::optional<ADDateTime>& date) {
  setObject(ADValueConstruct::valueWithDateTime<ADAtomUpdatedDate>(date), ADAtomUpdatedDate::adClass());
}

std::optional<ADDateTime> ADEntryBase::publishedDate() const {
  auto d = objectFor<ADAtomPublishedDate>();
  return d ? d->dateTimeValue() : std::nullopt;
}

// --- Feed ---

void ADFeedBase::registerFeedClass(const ADClass& cls) { ad_kinds::registerFeed(cls); }
void ADFeedBase::registerFeedClass(const ADClass& cls, const char* scheme, std::string_view term) {
  ad_kinds::registerFeed(cls, scheme, term);
}

ADFeedBase::ADFeedBase(const ADFeedBase& other) : ADObject(other) {
  entries_.reserve(other.entries_.size());
  for (const auto& entry : other.entries_) entries_.push_back(std::static_pointer_cast<ADEntryBase>(entry->copy()));
}

void ADFeedBase::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  const ADClass& me = adClass();
  addExtensionDeclarationForParentClass(
      me, {&ADAtomTitle::adClass(), &ADAtomSubtitle::adClass(), &ADAtomRights::adClass(), &ADAtomIcon::adClass(),
           &ADAtomLogo::adClass(), &ADLink::adClass(), &ADPerson::adClass(), &ADAtomContributor::adClass(),
           &ADCategory::adClass(), &ADAtomID::adClass(), &ADAtomUpdatedDate::adClass(), &ADAtomGenerator::adClass(),
           &ADOpenSearchTotalResults::adClass(), &ADOpenSearchStartIndex::adClass(),
           &ADOpenSearchItemsPerPage::adClass()});
  addAttributeExtensionDeclarationForParentClass(me, ADETagAttribute::adClass());
  addAttributeExtensionDeclarationForParentClass(me, ADKindAttribute::adClass());
}

void ADFeedBase::initWithXMLElement(const xmlNode* element, const ADObject* parent) {
  ADObject::initWithXMLElement(element, parent);
  const ADClass* forAll = classForEntries();
  for (const xmlNode* child = element->children; child && !ADParseBudget::spentInForce(); child = child->next) {
    if (child->type != XML_ELEMENT_NODE || ad_xml::text(child->name) != "entry" ||
        ad_xml::namespaceURI(child) != kADNamespaceAtom)
      continue;
    const ADClass* cls = forAll ? forAll : ad_kinds::classForElement(child, /*feed=*/false);
    if (!cls || !cls->isKindOf(ADEntryBase::adClass())) cls = &defaultClassForEntries();
    markConsumed(child);
    entries_.push_back(std::static_pointer_cast<ADEntryBase>(objectWithXMLElement(*cls, child, this)));
  }
}

ADXMLNode ADFeedBase::XMLElement() const {
  ADXMLNode node = ADObject::XMLElement();
  for (const auto& entry : entries_) xmlAddChild(node.get(), entry->XMLElement().release());
  return node;
}

std::string ADFeedBase::XMLDocumentString() const {
  // The feed's element without its children, as a document: the children
  // and the entries are written into it one at a time, each as it stands
  // under the feed's element, so that no tree larger than one child stands.
  ADXMLNode own = XMLElementWithoutChildren(std::nullopt);
  std::string head = ADXMLDocument::serialize(ADXMLNode(own));
  if (!head.ends_with("/>\n")) return ADXMLDocument::serialize(XMLElement());
  head.resize(head.size() - 3);
  head += '>';
  ADXMLTextWriter writer;
  writer.append(head);
  std::string().swap(head);
  bool written = false;
  const ad_xml::DeclarationScope scope(own.get());
  auto write = [&](ADXMLNode child) {
    ad_xml::dropRedundantDeclarations(child.get(), scope);
    writer.appendNode(child.get());
    written = true;
  };
  forEachXMLChild(write);
  for (const auto& entry : entries_) write(entry->XMLElement());
  if (!written) return ADXMLDocument::serialize(std::move(own));
  writer.append("</" + own.name() + ">\n");
  return writer.take();
}

bool ADFeedBase::isEqual(const ADObject& other) const {
  if (!ADObject::isEqual(other)) return false;
  const auto& o = static_cast<const ADFeedBase&>(other);
  if (entries_.size() != o.entries_.size()) return false;
  for (std::size_t i = 0; i < entries_.size(); ++i)
    if (!entries_[i]->isEqual(*o.entries_[i])) return false;
  return true;
}

fd::Status ADFeedBase::initWithData(std::string_view bytes) {
  const ADParseBudget budget;
  fd::Expected<ADXMLDocument> doc = ADXMLDocument::parse(bytes);
  if (!doc) return doc.failure();
  const xmlNode* root = doc->root();
  if (ad_xml::text(root->name) != "feed" || ad_xml::namespaceURI(root) != kADNamespaceAtom)
    return fd::fail("The document is not an Atom feed (its root is " + ad_xml::qualifiedName(root) + ")");
  initFromRootElement(root);
  if (budget.exceeded()) {
    entries_.clear();
    return ADParseBudget::refusal();
  }
  return {};
}

std::shared_ptr<ADTextConstruct> ADFeedBase::title() const { return objectFor<ADTextConstruct>(ADAtomTitle::adClass()); }

void ADFeedBase::setTitleWithString(const std::optional<std::string>& title) {
  setObject(ADTextConstruct::textConstructWithString<ADAtomTitle>(title), ADAtomTitle::adClass());
}

std::shared_ptr<ADTextConstruct> ADFeedBase::subtitle() const {
  return objectFor<ADTextConstruct>(ADAtomSubtitle::adClass());
}

void ADFeedBase::setSubtitle(std::shared_ptr<ADTextConstruct> subtitle) {
  setObject(std::move(subtitle), ADAtomSubtitle::adClass());
}

std::shared_ptr<ADLink> ADFeedBase::linkWithRelAttributeValue(std::string_view rel) const {
  for (const auto& link : links())
    if (link->rel() == rel) return link;
  return nullptr;
}

std::optional<std::string> ADFeedBase::identifier() const {
  auto id = objectFor<ADAtomID>();
  return id ? id->stringValue() : std::nullopt;
}

std::optional<int> ADFeedBase::totalResults() const {
  auto total = objectFor<ADOpenSearchTotalResults>();
  return total ? total->intNumberValue() : std::nullopt;
}

namespace {

struct ReaderDeleter {
  void operator()(xmlTextReaderPtr r) const { xmlFreeTextReader(r); }
};

// The last error is the one that stopped the reader; earlier ones (such as an
// unbound prefix) do not, as they do not stop a whole-tree parse either.
void keepLastError(void* arg, const char* message, xmlParserSeverities severity, xmlTextReaderLocatorPtr locator) {
  auto* out = static_cast<std::string*>(arg);
  if (severity == XML_PARSER_SEVERITY_WARNING || severity == XML_PARSER_SEVERITY_VALIDITY_WARNING) return;
  *out = "The XML document is malformed (line " + std::to_string(xmlTextReaderLocatorLineNumber(locator)) + "): ";
  *out += message ? message : "";
  while (!out->empty() && (out->back() == '\n' || out->back() == ' ')) out->pop_back();
}

// The namespaces a feed's root declares, for the feed's other children copied
// under a skeleton of the root. A copy declares on itself every namespace it
// uses from outside it; those the root declares are taken back, so that the
// copy stands in the skeleton as the element stood in the document (declaring
// only what it declared there). Each copy is walked once.
class RootScope {
 public:
  explicit RootScope(const xmlNode* root) {
    for (xmlNsPtr ns = root->nsDef; ns; ns = ns->next) declared_.try_emplace(std::string(ad_xml::text(ns->prefix)), ns);
  }

  void adopt(xmlNodePtr copy, const xmlNode* original) const {
    std::unordered_map<xmlNsPtr, xmlNsPtr> taken;
    xmlNsPtr* link = &copy->nsDef;
    while (xmlNsPtr ns = *link) {
      const std::string prefix(ad_xml::text(ns->prefix));
      auto root = declared_.find(prefix);
      if (declaresItself(original, prefix) || root == declared_.end() ||
          ad_xml::text(root->second->href) != ad_xml::text(ns->href)) {
        link = &ns->next;
        continue;
      }
      *link = ns->next;
      taken[ns] = root->second;
    }
    if (taken.empty()) return;
    auto redirect = [&](xmlNsPtr& ns) {
      if (auto it = taken.find(ns); it != taken.end()) ns = it->second;
    };
    for (xmlNodePtr node = copy; node;) {
      if (node->type == XML_ELEMENT_NODE) {
        redirect(node->ns);
        for (xmlAttrPtr a = node->properties; a; a = a->next) redirect(a->ns);
      }
      if (node->children && node->type == XML_ELEMENT_NODE) {
        node = node->children;
        continue;
      }
      while (node != copy && !node->next) node = node->parent;
      node = node == copy ? nullptr : node->next;
    }
    for (auto& [ns, root] : taken) {
      ns->next = nullptr;
      xmlFreeNs(ns);
    }
  }

 private:
  static bool declaresItself(const xmlNode* element, const std::string& prefix) {
    for (const xmlNs* ns = element->nsDef; ns; ns = ns->next)
      if (ad_xml::text(ns->prefix) == prefix) return true;
    return false;
  }

  std::unordered_map<std::string, xmlNsPtr> declared_;
};

// libxml2's reader hands its parser the bytes 512 at a time, and the parser
// looks back over the whole of an unfinished tag, comment, character data
// section or processing instruction at each hand-over: time quadratic in the
// length of one. A document with a longer one than this is parsed whole,
// which is linear, within the same budget (a 64 MB document of such pieces
// takes the reader about a second).
constexpr std::size_t kStreamedMarkupBytes = std::size_t{16} << 10;

// A feed read entry by entry: each entry's tree is built, made into objects
// and freed before the next is read, so that the whole document never stands
// as one tree beside its objects. The feed's own elements before its entries
// are copied into a skeleton of the root, from which the feed object is made
// when its first entry arrives (its class chosen from the kind markers read by
// then; Atom puts a feed's own elements before its entries), or once the
// skeleton holds kSkeletonChildren of them; its later elements go into the
// object one by one as they are read. The tree is charged to the budget as it
// is read, inside an entry too, and given back as it is freed.
// nullopt when the root is not an Atom feed (the caller parses the whole tree).
constexpr int kSkeletonChildren = 64;

std::optional<fd::Expected<ADObjectPtr>> streamFeed(std::string_view bytes, const ADXMLShape& shape, const ADClass* cls,
                                                    const ADParseBudget& budget) {
  ADXMLInput input(bytes, shape);
  std::unique_ptr<xmlTextReader, ReaderDeleter> reader(
      xmlReaderForIO(&ADXMLInput::read, nullptr, &input, nullptr, nullptr, kADXMLParseOptions));
  if (!reader) return fd::Expected<ADObjectPtr>(fd::fail("The XML reader could not be created"));
  std::string error;
  xmlTextReaderSetErrorHandler(reader.get(), &keepLastError, &error);
  auto failed = [&] {
    if (input.refused() || budget.exceeded()) return fd::Expected<ADObjectPtr>(ADParseBudget::refusal());
    return fd::Expected<ADObjectPtr>(fd::fail(error.empty() ? std::string("The XML document is malformed") : error));
  };
  // Left to the whole-tree parse, with what was read given back.
  auto notAFeed = [&]() -> std::optional<fd::Expected<ADObjectPtr>> {
    reader.reset();
    input.treeFreedBut(0);
    return std::nullopt;
  };
  int r = 0;
  while ((r = xmlTextReaderRead(reader.get())) == 1) {
    const int type = xmlTextReaderNodeType(reader.get());
    if (type == XML_READER_TYPE_DOCUMENT_TYPE) return notAFeed();  // refused by the whole-tree parse
    if (type == XML_READER_TYPE_ELEMENT) break;
  }
  if (r < 0 && input.refused()) return failed();
  if (r != 1) return notAFeed();
  const xmlNode* root = xmlTextReaderCurrentNode(reader.get());
  if (ad_xml::text(root->name) != "feed" || ad_xml::namespaceURI(root) != kADNamespaceAtom) return notAFeed();

  std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> skeletonDoc(xmlNewDoc(BAD_CAST "1.0"), &xmlFreeDoc);
  xmlNodePtr skeleton = xmlDocCopyNode(const_cast<xmlNode*>(root), skeletonDoc.get(), 2);
  xmlDocSetRootElement(skeletonDoc.get(), skeleton);
  const RootScope rootScope(skeleton);
  int skeletonChildren = 0;
  // The tree the skeleton's copies take, as charged for the elements copied.
  std::size_t skeletonTree = 0;
  std::shared_ptr<ADFeedBase> feed;
  auto makeFeed = [&] {
    const ADClass* chosen = cls ? cls : ad_kinds::classForElement(skeleton, /*feed=*/true);
    feed = std::static_pointer_cast<ADFeedBase>((chosen ? chosen : &ADFeedBase::adClass())->make());
    feed->initFromRootElement(skeleton);
    skeletonDoc.reset();
    input.treeFreedBut(input.treeCharged() - std::min(skeletonTree, input.treeCharged()));
    skeletonTree = 0;
  };
  const std::size_t entryCount = shape.entriesOnSecondLevel;
  std::vector<std::shared_ptr<ADEntryBase>> entries;
  entries.reserve(entryCount);
  ADParseBudget::charge(entryCount * sizeof(entries[0]));
  if (!xmlTextReaderIsEmptyElement(reader.get())) {
    r = xmlTextReaderRead(reader.get());
    while (r == 1 && xmlTextReaderDepth(reader.get()) > 0) {
      if (xmlTextReaderNodeType(reader.get()) != XML_READER_TYPE_ELEMENT) {
        r = xmlTextReaderRead(reader.get());
        continue;
      }
      const std::size_t treeBefore = input.treeCharged();
      xmlNodePtr node = xmlTextReaderExpand(reader.get());
      if (!node) return failed();
      if (ad_xml::text(node->name) == "entry" && ad_xml::namespaceURI(node) == kADNamespaceAtom) {
        if (!feed) makeFeed();
        const ADClass* entryClass = feed->classForEntries();
        if (!entryClass) entryClass = ad_kinds::classForElement(node, /*feed=*/false);
        if (!entryClass || !entryClass->isKindOf(ADEntryBase::adClass())) entryClass = &feed->defaultClassForEntries();
        entries.push_back(std::static_pointer_cast<ADEntryBase>(ADObject::objectWithXMLElement(*entryClass, node, feed.get())));
        if (entries.size() > entryCount) ADParseBudget::charge(sizeof(entries[0]));
      } else if (feed) {
        feed->parseFurtherChild(node);
      } else {
        xmlNodePtr copy = xmlDocCopyNode(node, skeletonDoc.get(), 1);
        if (!copy) return fd::Expected<ADObjectPtr>(fd::fail("An element of the feed could not be copied"));
        xmlAddChild(skeleton, copy);
        rootScope.adopt(copy, node);
        skeletonTree += input.treeCharged() - std::min(treeBefore, input.treeCharged());
        if (++skeletonChildren == kSkeletonChildren) makeFeed();
      }
      if (budget.exceeded()) return failed();
      r = xmlTextReaderNext(reader.get());
      // The element's tree is freed as the reader passes it; a copy in the
      // skeleton stands for it until the feed object is made.
      input.treeFreedBut(skeletonTree);
    }
  }
  // The rest must be well-formed too.
  while (r == 1) r = xmlTextReaderRead(reader.get());
  if (r < 0) return failed();
  if (!feed) makeFeed();
  if (budget.exceeded()) return failed();
  entries.shrink_to_fit();
  feed->setEntries(std::move(entries));
  return fd::Expected<ADObjectPtr>(std::move(feed));
}

}  // namespace

fd::Expected<ADObjectPtr> ADObjectWithXMLData(std::string_view bytes, const ADClass* cls) {
  ADXMLShape shape;
  if (fd::Status bounded = ADXMLDocument::checkBounds(bytes, &shape); !bounded) return bounded.failure();
  const ADParseBudget budget;
  if ((!cls || cls->isKindOf(ADFeedBase::adClass())) && shape.longestMarkup <= kStreamedMarkupBytes) {
    if (std::optional<fd::Expected<ADObjectPtr>> streamed = streamFeed(bytes, shape, cls, budget))
      return std::move(*streamed);
  }
  fd::Expected<ADXMLDocument> doc = ADXMLDocument::parse(bytes, shape);
  if (!doc) return doc.failure();
  const xmlNode* root = doc->root();
  const bool atom = ad_xml::namespaceURI(root) == kADNamespaceAtom;
  if (cls && cls->isKindOf(ADFeedBase::adClass()) && !(atom && ad_xml::text(root->name) == "feed"))
    return fd::fail("The document is not an Atom feed (its root is " + ad_xml::qualifiedName(root) + ")");
  if (cls && cls->isKindOf(ADEntryBase::adClass()) && !(atom && ad_xml::text(root->name) == "entry"))
    return fd::fail("The document is not an Atom entry (its root is " + ad_xml::qualifiedName(root) + ")");
  const ADClass* chosen = cls ? cls : ad_kinds::classForAnyElement(root);
  if (!chosen) return fd::fail("No class parses a document whose root is " + ad_xml::qualifiedName(root));
  ADObjectPtr object = ADObject::objectWithXMLElement(*chosen, root, nullptr);
  if (budget.exceeded()) return ADParseBudget::refusal();
  return object;
}
