#include "atomdata/ADObject.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_set>

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

std::string ADClass::qualifiedName() const {
  const char* uri = elementURI();
  const char* local = elementLocalName();
  std::string localName = local ? local : "";
  if (!uri || std::strcmp(uri, kADNamespaceAtom) == 0 || !elementPrefix()) return localName;
  return std::string(elementPrefix()) + ":" + localName;
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
  std::unordered_set<const void*> consumed;
};

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
      attributes_(other.attributes_),
      content_(other.content_),
      extras_(other.extras_ ? std::make_unique<Extras>(*other.extras_) : nullptr) {
  extensions_.reserve(other.extensions_.size());
  for (const auto& [cls, objects] : other.extensions_) {
    std::vector<ADObjectPtr> copies;
    copies.reserve(objects.size());
    for (const ADObjectPtr& o : objects) copies.push_back(o->copy());
    extensions_.emplace_back(cls, std::move(copies));
  }
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

std::vector<const ADClass*> ADObject::declaredChildClasses() const {
  std::vector<const ADClass*> out;
  const ADClass& mine = classInfo();
  for (const ADObject* holder = this; holder; holder = holder->parent_) {
    for (const auto& [parent, child] : holder->declarations().extensions)
      if (mine.isKindOf(*parent) && std::find(out.begin(), out.end(), child) == out.end()) out.push_back(child);
  }
  return out;
}

std::vector<const ADClass*> ADObject::declaredAttributeClasses() const {
  std::vector<const ADClass*> out;
  const ADClass& mine = classInfo();
  for (const ADObject* holder = this; holder; holder = holder->parent_) {
    for (const auto& [parent, child] : holder->declarations().attributeExtensions)
      if (mine.isKindOf(*parent) && std::find(out.begin(), out.end(), child) == out.end()) out.push_back(child);
  }
  return out;
}

// --- Parsing ---

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
  object->initWithXMLElement(element, parent);
  object->finishParsing();
  return object;
}

void ADObject::initWithXMLElement(const xmlNode* element, const ADObject* parent) {
  parent_ = parent;
  parse_ = std::make_unique<ParseState>();
  parse_->element = element;
  elementName_ = ad_xml::qualifiedName(element);
  if (element->nsDef) extras().namespaces = ad_xml::namespaceDeclarations(element);

  const ADDeclarations& mine = declarations();
  for (const std::string& name : mine.localAttributes) {
    if (const xmlAttr* a = ad_xml::findAttribute(element, name)) {
      attributes_[name] = ad_xml::attributeValue(a);
      markConsumed(a);
    }
  }
  for (const ADClass* cls : declaredAttributeClasses()) {
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
  if (mine.contentValue) content_ = stringValueFromElement(element);

  const std::vector<const ADClass*> childClasses = declaredChildClasses();
  for (const xmlNode* child = element->children; child; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    if (mine.childXMLElements) {
      extras().childXML.push_back(ADXMLNode::copyOf(child));
      markConsumed(child);
      continue;
    }
    for (const ADClass* cls : childClasses) {
      if (!matches(child, *cls)) continue;
      ADObjectPtr object = objectWithXMLElement(*cls, child, this);
      auto it = findExtension(*cls);
      if (it == extensions_.end()) extensions_.emplace_back(cls, std::vector<ADObjectPtr>{std::move(object)});
      else it->second.push_back(std::move(object));
      markConsumed(child);
      break;
    }
  }
}

void ADObject::initFromRootElement(const xmlNode* element) {
  initWithXMLElement(element, nullptr);
  finishParsing();
}

void ADObject::markConsumed(const void* node) {
  if (parse_) parse_->consumed.insert(node);
}

void ADObject::finishParsing() {
  if (!parse_) return;
  const xmlNode* element = parse_->element;
  for (const xmlNode* child = element->children; child; child = child->next)
    if (child->type == XML_ELEMENT_NODE && !parse_->consumed.count(child))
      extras().unknownChildren.push_back(ADXMLNode::copyOf(child));
  for (const xmlAttr* a = element->properties; a; a = a->next)
    if (!parse_->consumed.count(a)) extras().unknownAttributes.emplace_back(ad_xml::qualifiedName(a), ad_xml::attributeValue(a));
  parse_.reset();
  parent_ = nullptr;
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
  const std::string name = elementName_ ? *elementName_ : defaultName ? *defaultName : classInfo().qualifiedName();
  ADXMLNode node = ADXMLNode::elementWithName(name);
  xmlNodePtr element = node.get();
  const Extras& x = extrasOrEmpty();
  for (const auto& [prefix, uri] : x.namespaces)
    xmlNewNs(element, BAD_CAST uri.c_str(), prefix.empty() ? nullptr : BAD_CAST prefix.c_str());
  for (const auto& [attr, value] : attributes_) addToElement(element, value, attr);
  for (const auto& [cls, value] : x.attributeExtensions) addToElement(element, value.first, value.second);
  for (const auto& [attr, value] : x.unknownAttributes)
    if (!xmlHasProp(element, BAD_CAST attr.c_str())) addToElement(element, value, attr);
  if (content_ && !content_->empty()) xmlAddChild(element, xmlNewText(BAD_CAST content_->c_str()));
  for (const ADXMLNode& child : x.childXML) xmlAddChild(element, ADXMLNode(child).release());
  for (const auto& [cls, objects] : extensions_)
    for (const ADObjectPtr& object : objects) xmlAddChild(element, object->XMLElement().release());
  for (const ADXMLNode& child : x.unknownChildren) xmlAddChild(element, ADXMLNode(child).release());
  return node;
}

std::string ADObject::XMLDocumentString() const { return ADXMLDocument::serialize(XMLElement()); }

// --- Equality ---

bool ADObject::isEqual(const ADObject& other) const {
  if (this == &other) return true;
  if (&classInfo() != &other.classInfo()) return false;
  const std::vector<std::string> ignored = attributesIgnoredForEquality();
  auto withoutIgnored = [&](const std::map<std::string, std::string>& attrs) {
    std::map<std::string, std::string> out = attrs;
    for (const std::string& name : ignored) out.erase(name);
    return out;
  };
  if (withoutIgnored(attributes_) != withoutIgnored(other.attributes_)) return false;
  if (content_.value_or("") != other.content_.value_or("")) return false;
  const Extras& mine = extrasOrEmpty();
  const Extras& theirs = other.extrasOrEmpty();
  if (mine.childXML != theirs.childXML) return false;
  if (mine.attributeExtensions.size() != theirs.attributeExtensions.size()) return false;
  for (const auto& [cls, value] : mine.attributeExtensions) {
    auto it = theirs.attributeExtensions.find(cls);
    if (it == theirs.attributeExtensions.end() || it->second.first != value.first) return false;
  }
  std::size_t nonEmpty = 0;
  for (const auto& [cls, objects] : extensions_) {
    if (objects.empty()) continue;
    ++nonEmpty;
    auto it = other.findExtension(*cls);
    if (it == other.extensions_.end() || it->second.size() != objects.size()) return false;
    for (std::size_t i = 0; i < objects.size(); ++i)
      if (!objects[i]->isEqual(*it->second[i])) return false;
  }
  std::size_t otherNonEmpty = 0;
  for (const auto& entry : other.extensions_) otherNonEmpty += entry.second.empty() ? 0 : 1;
  return nonEmpty == otherNonEmpty;
}

// --- Extension store ---

ADObject::ExtensionList::iterator ADObject::findExtension(const ADClass& cls) {
  return std::find_if(extensions_.begin(), extensions_.end(), [&](const auto& e) { return e.first == &cls; });
}

ADObject::ExtensionList::const_iterator ADObject::findExtension(const ADClass& cls) const {
  return std::find_if(extensions_.begin(), extensions_.end(), [&](const auto& e) { return e.first == &cls; });
}

ADObjectPtr ADObject::objectForExtensionClass(const ADClass& cls) const {
  auto it = findExtension(cls);
  return it == extensions_.end() || it->second.empty() ? nullptr : it->second.front();
}

std::vector<ADObjectPtr> ADObject::objectsForExtensionClass(const ADClass& cls) const {
  auto it = findExtension(cls);
  return it == extensions_.end() ? std::vector<ADObjectPtr>{} : it->second;
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
  auto it = findExtension(cls);
  std::vector<ADObjectPtr> kept;
  for (const ADObjectPtr& o : objects) {
    if (!o) continue;
    nameForClass(*o, cls);
    kept.push_back(o);
  }
  if (kept.empty()) {
    if (it != extensions_.end()) extensions_.erase(it);
    return;
  }
  if (it == extensions_.end()) extensions_.emplace_back(&cls, std::move(kept));
  else it->second = std::move(kept);
}

void ADObject::addObject(ADObjectPtr object, const ADClass& cls) {
  if (!object) return;
  nameForClass(*object, cls);
  auto it = findExtension(cls);
  if (it == extensions_.end()) extensions_.emplace_back(&cls, std::vector<ADObjectPtr>{std::move(object)});
  else it->second.push_back(std::move(object));
}

void ADObject::removeObject(const ADObject& object, const ADClass& cls) {
  auto it = findExtension(cls);
  if (it == extensions_.end()) return;
  auto& objects = it->second;
  auto found = std::find_if(objects.begin(), objects.end(), [&](const ADObjectPtr& o) { return o->isEqual(object); });
  if (found != objects.end()) objects.erase(found);
  if (objects.empty()) extensions_.erase(it);
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
  auto it = attributes_.find(std::string(name));
  if (it == attributes_.end()) return std::nullopt;
  return it->second;
}

void ADObject::setStringValue(const std::optional<std::string>& value, std::string_view name) {
  if (value) attributes_[std::string(name)] = *value;
  else attributes_.erase(std::string(name));
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
