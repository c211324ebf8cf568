#include "atomdata/ADObject.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "atomdata/ADConstants.h"
#include "atomdata/ADKindMaps.h"

// --- ADClass ---

bool ADClass::isKindOf(const ADClass& other) const {
  for (const ADClass* c = this; c; c = c->superclass)
    if (c == &other) return true;
  return false;
}

#define AD_INHERITED(field)                          \
  for (const ADClass* c = this; c; c = c->superclass) \
    if (c->traits.field) return c->traits.field;     \
  return nullptr

const char* ADClass::elementURI() const { AD_INHERITED(uri); }
const char* ADClass::elementPrefix() const { AD_INHERITED(prefix); }
const char* ADClass::elementLocalName() const { AD_INHERITED(localName); }
const char* ADClass::defaultServiceVersion() const {
  for (const ADClass* c = this; c; c = c->superclass)
    if (c->traits.serviceVersion) return c->traits.serviceVersion;
  return kADDefaultServiceVersion;
}
#undef AD_INHERITED

const std::string& ADClass::qualifiedName() const {
  if (const std::string* name = qualifiedNameMade.load(std::memory_order_acquire)) return *name;
  const char* uri = elementURI();
  const char* local = elementLocalName();
  std::string made = local ? local : "";
  if (uri && std::strcmp(uri, kADNamespaceAtom) != 0 && elementPrefix()) made = std::string(elementPrefix()) + ":" + made;
  // Made once per class and kept as long as the class (a second thread may
  // make an equal one, which stays unused).
  auto* name = new std::string(std::move(made));
  const std::string* expected = nullptr;
  if (!qualifiedNameMade.compare_exchange_strong(expected, name, std::memory_order_acq_rel)) {
    delete name;
    return *expected;
  }
  return *name;
}

namespace {
std::mutex& classNamesMutex() {
  static std::mutex m;
  return m;
}
std::map<std::string, const ADClass*, std::less<>>& classNames() {
  static std::map<std::string, const ADClass*, std::less<>> names;
  return names;
}
}  // namespace

void ADClass::registerClassName(const ADClass& cls) {
  std::lock_guard lock(classNamesMutex());
  classNames()[cls.name] = &cls;
}

const ADClass* ADClass::named(std::string_view name) {
  std::lock_guard lock(classNamesMutex());
  auto it = classNames().find(name);
  return it == classNames().end() ? nullptr : it->second;
}

// --- ADObject ---

const ADClass& ADObject::adClass() {
  static const ADClass cls{"ADObject", nullptr, [] { return std::make_shared<ADObject>(); }, ADClassTraits{}};
  return cls;
}

bool ObjectsEqualOrBothNil(const ADObject* a, const ADObject* b) {
  if (a == b) return true;
  if (!a || !b) return false;
  return a->isEqual(*b);
}

struct ADObject::ParseState {
  const xmlNode* element = nullptr;
  const ADObject* parent = nullptr;
  // Sorted once the element's own reading is done.
  std::vector<const void*> consumed;
  bool isConsumed(const void* node) const { return std::binary_search(consumed.begin(), consumed.end(), node); }
};

std::vector<std::pair<const ADObject*, std::unique_ptr<ADObject::ParseState>>>& ADObject::parses() {
  thread_local std::vector<std::pair<const ADObject*, std::unique_ptr<ParseState>>> parsing;
  return parsing;
}

ADObject::ParseState* ADObject::parseState() const {
  auto& parsing = parses();
  for (auto it = parsing.rbegin(); it != parsing.rend(); ++it)
    if (it->first == this) return it->second.get();
  return nullptr;
}

void ADObject::beginParse(const xmlNode* element, const ADObject* parent) {
  endParse();
  auto state = std::make_unique<ParseState>();
  state->element = element;
  state->parent = parent;
  parses().emplace_back(this, std::move(state));
}

void ADObject::endParse() {
  auto& parsing = parses();
  for (auto it = parsing.rbegin(); it != parsing.rend(); ++it) {
    if (it->first != this) continue;
    parsing.erase(std::next(it).base());
    return;
  }
}

const ADObject* ADObject::parsingParent() const {
  const ParseState* state = parseState();
  return state ? state->parent : nullptr;
}

std::optional<std::string> ADObject::elementName() const {
  if (elementName_.isMark()) return classInfo().qualifiedName();
  return elementName_.value();
}

void ADObject::setElementName(const std::optional<std::string>& name) {
  elementName_ = name && *name == classInfo().qualifiedName() ? ADText::mark() : ADText::of(name);
}

ADObject::ADObject() = default;
ADObject::~ADObject() = default;

ADObject::Extras& ADObject::extras() {
  if (!extras_) extras_ = std::make_unique<Extras>();
  return *extras_;
}

const ADObject::Extras& ADObject::extrasOrEmpty() const {
  static const Extras none;
  return extras_ ? *extras_ : none;
}

ADObject::ADObject(const ADObject& other)
    : elementName_(other.elementName_),
      content_(other.content_),
      attributes_(other.attributes_),
      extras_(other.extras_ ? std::make_unique<Extras>(*other.extras_) : nullptr) {
  extensions_.reserve(other.extensions_.size());
  for (const auto& [cls, object] : other.extensions_) extensions_.emplace_back(cls, object->copy());
}

// --- Declarations ---

namespace {
thread_local ADDeclarations* building = nullptr;
std::mutex declarationsMutex;
}  // namespace

const ADDeclarations& ADObject::declarations() const {
  const ADClass& cls = classInfo();
  if (const ADDeclarations* d = cls.declarations.load(std::memory_order_acquire)) return *d;
  std::lock_guard lock(declarationsMutex);
  if (const ADDeclarations* d = cls.declarations.load(std::memory_order_acquire)) return *d;
  // Lives as long as the class: built once per process.
  auto* made = new ADDeclarations;
  ADDeclarations* outer = building;
  building = made;
  auto* self = const_cast<ADObject*>(this);
  self->addParseDeclarations();
  self->addExtensionDeclarations();
  building = outer;
  cls.declarations.store(made, std::memory_order_release);
  return *made;
}

void ADObject::addExtensionDeclarationForParentClass(const ADClass& parent, const ADClass& child) {
  if (building) building->extensions.emplace_back(&parent, &child);
}

void ADObject::addExtensionDeclarationForParentClass(const ADClass& parent, std::initializer_list<const ADClass*> children) {
  for (const ADClass* child : children) addExtensionDeclarationForParentClass(parent, *child);
}

void ADObject::addAttributeExtensionDeclarationForParentClass(const ADClass& parent, const ADClass& attributeClass) {
  if (building) building->attributeExtensions.emplace_back(&parent, &attributeClass);
}

void ADObject::addLocalAttributeDeclarations(std::initializer_list<std::string_view> names) {
  if (!building) return;
  for (std::string_view n : names)
    if (std::find(building->localAttributes.begin(), building->localAttributes.end(), n) == building->localAttributes.end())
      building->localAttributes.emplace_back(n);
}

void ADObject::addContentValueDeclaration() {
  if (building) building->contentValue = true;
}

void ADObject::addChildXMLElementsDeclaration() {
  if (building) building->childXMLElements = true;
}

struct ADObject::DeclaredHere {
  std::vector<const ADClass*> children;
  std::vector<const ADClass*> attributes;
};

// What the classes along a chain of holders declare for the innermost: it
// depends on the classes alone, so each thread works it out once per chain it
// meets (all the entries of a feed share one) and not once per object.
std::shared_ptr<const ADObject::DeclaredHere> ADObject::declaredHere() const {
  constexpr std::size_t kDeclaredCacheChains = 4096;
  thread_local std::map<std::vector<const ADClass*>, std::shared_ptr<const DeclaredHere>> cache;
  thread_local std::vector<const ADClass*> chain;
  chain.clear();
  for (const ADObject* holder = this; holder; holder = holder->parsingParent()) chain.push_back(&holder->classInfo());
  if (auto it = cache.find(chain); it != cache.end()) return it->second;
  auto made = std::make_shared<DeclaredHere>();
  const ADClass& mine = classInfo();
  auto add = [&](std::vector<const ADClass*>& out, const ADClass* parent, const ADClass* child) {
    if (mine.isKindOf(*parent) && std::find(out.begin(), out.end(), child) == out.end()) out.push_back(child);
  };
  for (const ADObject* holder = this; holder; holder = holder->parsingParent()) {
    const ADDeclarations& d = holder->declarations();
    for (const auto& [parent, child] : d.extensions) add(made->children, parent, child);
    for (const auto& [parent, child] : d.attributeExtensions) add(made->attributes, parent, child);
  }
  if (cache.size() >= kDeclaredCacheChains) cache.clear();
  cache.emplace(chain, made);
  return made;
}

// --- Parsing ---

namespace {
// What the allocator takes for a block of n bytes (its header and rounding).
std::size_t heapBlock(std::size_t n) { return n == 0 ? 0 : std::max<std::size_t>(32, (n + 8 + 15) & ~std::size_t{15}); }
std::size_t heapText(const ADText& text) { return text.has() && text.view().size() > 7 ? heapBlock(text.view().size() + 4) : 0; }
std::size_t heapString(const std::string& s) { return s.capacity() > 15 ? heapBlock(s.capacity() + 1) : 0; }
std::size_t heapNode(const ADXMLNode& node) { return node ? heapBlock(node.XMLString().size() + 4) : 0; }
}  // namespace


namespace {
bool matches(const xmlNode* node, const ADClass& cls) {
  const char* local = cls.elementLocalName();
  // "*" stands for any local name in the class's namespace (free-named elements).
  if (!local || (std::strcmp(local, "*") != 0 && ad_xml::text(node->name) != local)) return false;
  const char* uri = cls.elementURI();
  return ad_xml::namespaceURI(node) == (uri ? std::string_view(uri) : std::string_view());
}
}  // namespace

ADObjectPtr ADObject::objectWithXMLElement(const ADClass& cls, const xmlNode* element, const ADObject* parent) {
  ADObjectPtr object = cls.make();
  // Whatever happens, the object leaves the thread's parses with this call.
  struct Ended {
    ADObject& object;
    ~Ended() { object.endParse(); }
  } ended{*object};
  object->initWithXMLElement(element, parent);
  object->finishParsing();
  return object;
}

// --- Memory ---

std::size_t ADObject::footprint() const {
  // The object in its shared block (with the block's counts), its texts, its
  // list of stored objects, and what it keeps apart.
  std::size_t bytes = heapBlock(objectSize() + 16) + heapText(elementName_) + heapText(content_);
  bytes += heapBlock(extensions_.capacity() * sizeof(ExtensionList::value_type));
  attributes_.forEach([&](std::string_view name, std::string_view value) { bytes += name.size() + value.size() + 8; });
  if (!attributes_.empty()) bytes += 16;
  if (extras_) {
    const Extras& x = *extras_;
    bytes += heapBlock(sizeof(Extras));
    for (const auto& [prefix, uri] : x.namespaces) bytes += heapBlock(96) + heapString(prefix) + heapString(uri);
    for (const auto* kept : {&x.childXML, &x.unknownChildren}) {
      bytes += heapBlock(kept->capacity() * sizeof(ADXMLNode));
      for (const ADXMLNode& node : *kept) bytes += heapNode(node);
    }
    for (const auto& [cls, value] : x.attributeExtensions) bytes += heapBlock(112) + heapString(value.first) + heapString(value.second);
    bytes += heapBlock(x.unknownAttributes.capacity() * sizeof(x.unknownAttributes[0]));
    for (const auto& [name, value] : x.unknownAttributes) bytes += heapString(name) + heapString(value);
  }
  return bytes;
}

void ADObject::initWithXMLElement(const xmlNode* element, const ADObject* parent) {
  beginParse(element, parent);
  const std::string name = ad_xml::qualifiedName(element);
  elementName_ = name == classInfo().qualifiedName() ? ADText::mark() : ADText(std::string_view(name));
  if (element->nsDef) extras().namespaces = ad_xml::namespaceDeclarations(element);

  const ADDeclarations& mine = declarations();
  for (const std::string& name : mine.localAttributes) {
    if (const xmlAttr* a = ad_xml::findAttribute(element, name)) {
      attributes_.set(name, ad_xml::attributeValue(a));
      markConsumed(a);
    }
  }
  const std::shared_ptr<const DeclaredHere> here = declaredHere();
  for (const ADClass* cls : here->attributes) {
    const char* uri = cls->elementURI();
    const char* local = cls->elementLocalName();
    for (const xmlAttr* a = element->properties; a && local; a = a->next) {
      if (ad_xml::text(a->name) != local) continue;
      if ((a->ns ? ad_xml::text(a->ns->href) : std::string_view()) != (uri ? std::string_view(uri) : std::string_view()))
        continue;
      extras().attributeExtensions[cls] = {ad_xml::attributeValue(a), ad_xml::qualifiedName(a)};
      markConsumed(a);
      break;
    }
  }
  if (mine.contentValue) content_ = ADText(std::string_view(stringValueFromElement(element)));

  // Past the budget the object is thrown away with the document: it grows no more.
  for (const xmlNode* child = element->children; child && !ADParseBudget::spentInForce(); child = child->next)
    if (child->type == XML_ELEMENT_NODE) parseChild(child, here->children);
}

void ADObject::parseChild(const xmlNode* child, const std::vector<const ADClass*>& childClasses) {
  if (declarations().childXMLElements) {
    extras().childXML.push_back(ADXMLNode::copyOf(child));
    markConsumed(child);
    return;
  }
  for (const ADClass* cls : childClasses) {
    if (!matches(child, *cls)) continue;
    extensions_.emplace_back(cls, objectWithXMLElement(*cls, child, this));
    markConsumed(child);
    return;
  }
}

void ADObject::parseFurtherChild(const xmlNode* child) {
  beginParse(child->parent, nullptr);
  const std::size_t stored = extensions_.size();
  parseChild(child, declaredHere()->children);
  if (parseState()->consumed.empty()) {
    extras().unknownChildren.push_back(ADXMLNode::copyOf(child));
    ADParseBudget::charge(sizeof(ADXMLNode) + heapNode(extras().unknownChildren.back()));
  } else if (extensions_.size() > stored) {
    ADParseBudget::charge(sizeof(ExtensionList::value_type));
  }
  endParse();
}

void ADObject::initFromRootElement(const xmlNode* element) {
  initWithXMLElement(element, nullptr);
  finishParsing();
}

void ADObject::markConsumed(const void* node) {
  if (ParseState* state = parseState()) state->consumed.push_back(node);
}

void ADObject::finishParsing() {
  // The elements kept are charged one by one (an element may hold millions),
  // then the rest of the object.
  std::size_t charged = 0;
  if (ParseState* state = parseState()) {
    const xmlNode* element = state->element;
    std::sort(state->consumed.begin(), state->consumed.end());
    for (const xmlNode* child = element->children; child && !ADParseBudget::spentInForce(); child = child->next) {
      if (child->type != XML_ELEMENT_NODE || state->isConsumed(child)) continue;
      extras().unknownChildren.push_back(ADXMLNode::copyOf(child));
      const std::size_t kept = sizeof(ADXMLNode) + heapNode(extras().unknownChildren.back());
      ADParseBudget::charge(kept);
      charged += kept;
    }
    for (const xmlAttr* a = element->properties; a; a = a->next)
      if (!state->isConsumed(a)) extras().unknownAttributes.emplace_back(ad_xml::qualifiedName(a), ad_xml::attributeValue(a));
    endParse();
  }
  const std::size_t bytes = footprint();
  ADParseBudget::charge(bytes - std::min(charged, bytes));
}

ADObjectPtr ADObject::objectForChildOfElement(const xmlNode* element, std::string_view qualifiedName,
                                              std::string_view namespaceURI, const ADClass* cls) {
  const std::string local = ADXMLNode::localNameForName(qualifiedName);
  for (const xmlNode* child = element->children; child; child = child->next) {
    if (child->type != XML_ELEMENT_NODE || ad_xml::text(child->name) != local ||
        ad_xml::namespaceURI(child) != namespaceURI)
      continue;
    const ADClass* chosen = cls ? cls : ad_kinds::classForAnyElement(child);
    if (!chosen) return nullptr;
    markConsumed(child);
    return objectWithXMLElement(*chosen, child, this);
  }
  return nullptr;
}

std::optional<std::string> ADObject::stringForAttributeName(std::string_view name, const xmlNode* element) {
  const xmlAttr* a = ad_xml::findAttribute(element, name);
  if (!a) return std::nullopt;
  markConsumed(a);
  return ad_xml::attributeValue(a);
}

namespace {
template <typename T>
std::optional<T> parseNumber(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  std::string_view s = *text;
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  T value{};
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end == s.data()) return std::nullopt;
  return value;
}
}  // namespace

std::optional<double> ADObject::doubleNumberForAttributeName(std::string_view name, const xmlNode* element) {
  return parseNumber<double>(stringForAttributeName(name, element));
}

std::optional<int> ADObject::intNumberForAttributeName(std::string_view name, const xmlNode* element) {
  return parseNumber<int>(stringForAttributeName(name, element));
}

std::optional<ADDateTime> ADObject::dateTimeForAttributeName(std::string_view name, const xmlNode* element) {
  std::optional<std::string> text = stringForAttributeName(name, element);
  return text ? ADDateTime::dateTimeWithRFC3339String(*text) : std::nullopt;
}

bool ADObject::boolForAttributeName(std::string_view name, const xmlNode* element) {
  std::optional<std::string> text = stringForAttributeName(name, element);
  return text && strcasecmp(text->c_str(), "true") == 0;
}

std::string ADObject::stringValueFromElement(const xmlNode* element) {
  std::string out;
  for (const xmlNode* c = element->children; c; c = c->next)
    if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) out += ad_xml::text(c->content);
  return out;
}

ADNamespaces ADObject::dictionaryForElementNamespaces(const xmlNode* element) {
  return ad_xml::namespaceDeclarations(element);
}

// --- Writing ---

void ADObject::addToElement(xmlNode* element, const std::optional<std::string>& value, std::string_view name) {
  if (!value) return;
  std::string n(name);
  xmlNewProp(element, BAD_CAST n.c_str(), BAD_CAST value->c_str());
}

ADXMLNode ADObject::XMLElement() const { return XMLElementWithExtensionsAndDefaultName(std::nullopt); }

ADXMLNode ADObject::XMLElementWithExtensionsAndDefaultName(const std::optional<std::string>& defaultName) const {
  ADXMLNode node = XMLElementWithoutChildren(defaultName);
  forEachXMLChild([&](ADXMLNode child) { xmlAddChild(node.get(), child.release()); });
  return node;
}

ADXMLNode ADObject::XMLElementWithoutChildren(const std::optional<std::string>& defaultName) const {
  const std::string name = elementName_.has()  ? std::string(elementName_.view())
                           : elementName_.isMark() || !defaultName ? classInfo().qualifiedName()
                                                                 : *defaultName;
  ADXMLNode node = ADXMLNode::elementWithName(name);
  xmlNodePtr element = node.get();
  const Extras& x = extrasOrEmpty();
  for (const auto& [prefix, uri] : x.namespaces)
    xmlNewNs(element, BAD_CAST uri.c_str(), prefix.empty() ? nullptr : BAD_CAST prefix.c_str());
  attributes_.forEach([&](std::string_view attr, std::string_view value) { addToElement(element, std::string(value), attr); });
  for (const auto& [cls, value] : x.attributeExtensions) addToElement(element, value.first, value.second);
  for (const auto& [attr, value] : x.unknownAttributes)
    if (!xmlHasProp(element, BAD_CAST attr.c_str())) addToElement(element, value, attr);
  return node;
}

void ADObject::forEachXMLChild(const std::function<void(ADXMLNode)>& visit) const {
  const Extras& x = extrasOrEmpty();
  if (!content_.view().empty()) visit(ADXMLNode(xmlNewText(BAD_CAST std::string(content_.view()).c_str())));
  for (const ADXMLNode& child : x.childXML) visit(ADXMLNode(child));
  for (const ADClass* cls : extensionClasses())
    for (const auto& [c, object] : extensions_)
      if (c == cls) visit(object->XMLElement());
  for (const ADXMLNode& child : x.unknownChildren) visit(ADXMLNode(child));
}

std::string ADObject::XMLDocumentString() const { return ADXMLDocument::serialize(XMLElement()); }

// --- Equality ---

bool ADObject::isEqual(const ADObject& other) const {
  if (this == &other) return true;
  if (&classInfo() != &other.classInfo()) return false;
  const std::vector<std::string> ignored = attributesIgnoredForEquality();
  auto isIgnored = [&](std::string_view name) { return std::find(ignored.begin(), ignored.end(), name) != ignored.end(); };
  if (!attributes_.equals(other.attributes_, isIgnored)) return false;
  if (content_.view() != other.content_.view()) return false;
  const Extras& mine = extrasOrEmpty();
  const Extras& theirs = other.extrasOrEmpty();
  if (mine.childXML != theirs.childXML) return false;
  if (mine.attributeExtensions.size() != theirs.attributeExtensions.size()) return false;
  for (const auto& [cls, value] : mine.attributeExtensions) {
    auto it = theirs.attributeExtensions.find(cls);
    if (it == theirs.attributeExtensions.end() || it->second.first != value.first) return false;
  }
  // The same objects under each class, in order; the order of the classes does not count.
  if (extensions_.size() != other.extensions_.size()) return false;
  for (const ADClass* cls : extensionClasses()) {
    std::vector<const ADObject*> theirsOfClass;
    for (const auto& [c, object] : other.extensions_)
      if (c == cls) theirsOfClass.push_back(object.get());
    std::size_t i = 0;
    for (const auto& [c, object] : extensions_) {
      if (c != cls) continue;
      if (i >= theirsOfClass.size() || !object->isEqual(*theirsOfClass[i])) return false;
      ++i;
    }
    if (i != theirsOfClass.size()) return false;
  }
  return true;
}

// --- Extension store ---

std::vector<const ADClass*> ADObject::extensionClasses() const {
  std::vector<const ADClass*> classes;
  for (const auto& [cls, object] : extensions_)
    if (std::find(classes.begin(), classes.end(), cls) == classes.end()) classes.push_back(cls);
  return classes;
}

ADObjectPtr ADObject::objectForExtensionClass(const ADClass& cls) const {
  for (const auto& [c, object] : extensions_)
    if (c == &cls) return object;
  return nullptr;
}

std::vector<ADObjectPtr> ADObject::objectsForExtensionClass(const ADClass& cls) const {
  std::vector<ADObjectPtr> out;
  for (const auto& [c, object] : extensions_)
    if (c == &cls) out.push_back(object);
  return out;
}

namespace {
// A stored object without a name of its own is written under the class it is stored as.
void nameForClass(ADObject& object, const ADClass& cls) {
  if (!object.elementName()) object.setElementName(cls.qualifiedName());
}
}  // namespace

void ADObject::setObject(ADObjectPtr object, const ADClass& cls) {
  if (!object) {
    setObjects({}, cls);
    return;
  }
  setObjects(std::vector<ADObjectPtr>{std::move(object)}, cls);
}

void ADObject::setObjects(const std::vector<ADObjectPtr>& objects, const ADClass& cls) {
  // The new group takes the place of the old one, or comes last.
  auto first = std::find_if(extensions_.begin(), extensions_.end(), [&](const auto& e) { return e.first == &cls; });
  std::size_t at = static_cast<std::size_t>(first - extensions_.begin());
  std::erase_if(extensions_, [&](const auto& e) { return e.first == &cls; });
  at = std::min(at, extensions_.size());
  ExtensionList kept;
  for (const ADObjectPtr& o : objects) {
    if (!o) continue;
    nameForClass(*o, cls);
    kept.emplace_back(&cls, o);
  }
  extensions_.insert(extensions_.begin() + static_cast<std::ptrdiff_t>(at), std::make_move_iterator(kept.begin()),
                     std::make_move_iterator(kept.end()));
}

void ADObject::addObject(ADObjectPtr object, const ADClass& cls) {
  if (!object) return;
  nameForClass(*object, cls);
  extensions_.emplace_back(&cls, std::move(object));
}

void ADObject::removeObject(const ADObject& object, const ADClass& cls) {
  auto found = std::find_if(extensions_.begin(), extensions_.end(),
                            [&](const auto& e) { return e.first == &cls && e.second->isEqual(object); });
  if (found != extensions_.end()) extensions_.erase(found);
}

std::optional<std::string> ADObject::attributeValueForExtensionClass(const ADClass& cls) const {
  const auto& table = extrasOrEmpty().attributeExtensions;
  auto it = table.find(&cls);
  if (it == table.end()) return std::nullopt;
  return it->second.first;
}

void ADObject::setAttributeValue(const std::optional<std::string>& value, const ADClass& cls) {
  if (!value) {
    if (extras_) extras_->attributeExtensions.erase(&cls);
    return;
  }
  // A parsed attribute keeps the prefix its document bound.
  auto& table = extras().attributeExtensions;
  auto it = table.find(&cls);
  if (it != table.end()) it->second.first = *value;
  else table[&cls] = {*value, cls.qualifiedName()};
}

// --- Attribute table ---

std::optional<std::string> ADObject::stringValueForAttribute(std::string_view name) const {
  std::optional<std::string_view> value = attributes_.find(name);
  if (!value) return std::nullopt;
  return std::string(*value);
}

void ADObject::setStringValue(const std::optional<std::string>& value, std::string_view name) {
  attributes_.set(name, value);
}

bool ADObject::boolValueForAttribute(std::string_view name, bool defaultValue) const {
  std::optional<std::string> value = stringValueForAttribute(name);
  if (!value) return defaultValue;
  if (defaultValue) return strcasecmp(value->c_str(), "false") != 0;
  return strcasecmp(value->c_str(), "true") == 0;
}

void ADObject::setBoolValue(bool value, bool defaultValue, std::string_view name) {
  if (value == defaultValue) setStringValue(std::nullopt, name);
  else setExplicitBoolValue(value, name);
}

void ADObject::setExplicitBoolValue(bool value, std::string_view name) {
  setStringValue(std::string(value ? "true" : "false"), name);
}

std::optional<int> ADObject::intNumberForAttribute(std::string_view name) const {
  return parseNumber<int>(stringValueForAttribute(name));
}

std::optional<long long> ADObject::longLongNumberForAttribute(std::string_view name) const {
  return parseNumber<long long>(stringValueForAttribute(name));
}

std::optional<double> ADObject::doubleNumberForAttribute(std::string_view name) const {
  return parseNumber<double>(stringValueForAttribute(name));
}

std::optional<double> ADObject::decimalNumberForAttribute(std::string_view name) const {
  return parseNumber<double>(stringValueForAttribute(name));
}

std::string ADNumberString(double value) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, end);
}

void ADObject::setNumberValue(std::optional<double> value, std::string_view name) {
  setStringValue(value ? std::optional<std::string>(ADNumberString(*value)) : std::nullopt, name);
}

std::optional<ADDateTime> ADObject::dateTimeForAttribute(std::string_view name) const {
  std::optional<std::string> text = stringValueForAttribute(name);
  return text ? ADDateTime::dateTimeWithRFC3339String(*text) : std::nullopt;
}

void ADObject::setDateTimeValue(const std::optional<ADDateTime>& value, std::string_view name) {
  setStringValue(value ? std::optional<std::string>(value->RFC3339String()) : std::nullopt, name);
}

void ADObject::addNamespaces(const ADNamespaces& namespaces) {
  for (const auto& [prefix, uri] : namespaces) extras().namespaces[prefix] = uri;
}

// --- ADAttribute ---

AD_DEFINE_CLASS(ADAttribute, ADObject)

ADObjectPtr ADAttribute::attributeWithValue(const ADClass& cls, std::string value) {
  ADObjectPtr object = cls.make();
  if (auto* attribute = dynamic_cast<ADAttribute*>(object.get())) attribute->setStringValue(std::move(value));
  return object;
}

bool ADAttribute::isEqual(const ADObject& other) const {
  const auto* o = dynamic_cast<const ADAttribute*>(&other);
  return o && &classInfo() == &other.classInfo() && value_ == o->value_;
}
