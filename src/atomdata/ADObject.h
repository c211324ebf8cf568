#pragma once
// The base of every Atom element, entry and feed: an extension store (child
// objects by their class), an attribute table, optional text content, kept
// unparsed child XML, the element's own namespace declarations, and whatever
// the document held that no declaration named (kept and written back).
//
// A class says what it parses in two hooks called once per class:
// addParseDeclarations (its attributes, content, raw child XML) and
// addExtensionDeclarations (which child classes are accepted inside which
// parent classes). Declarations are looked up through the object's ancestors
// while parsing, so an entry can declare children of an element it contains.
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "atomdata/ADClass.h"
#include "atomdata/ADCompact.h"
#include "atomdata/ADDateTime.h"
#include "atomdata/ADXMLNode.h"
#include "platform/foundation/Expected.h"

class ADObject;
using ADObjectPtr = std::shared_ptr<ADObject>;
// Prefix to URI; "" is the default namespace.
using ADNamespaces = std::map<std::string, std::string>;

// What one class declared; built once, then only read.
struct ADDeclarations {
  std::vector<std::pair<const ADClass*, const ADClass*>> extensions;           // parent class, child class
  std::vector<std::pair<const ADClass*, const ADClass*>> attributeExtensions;  // parent class, attribute class
  std::vector<std::string> localAttributes;
  bool contentValue = false;
  bool childXMLElements = false;
};

// True when both are null or the first isEqual the second.
bool ObjectsEqualOrBothNil(const ADObject* a, const ADObject* b);
inline bool ObjectsEqualOrBothNil(const ADObjectPtr& a, const ADObjectPtr& b) { return ObjectsEqualOrBothNil(a.get(), b.get()); }
template <typename T>
bool ObjectsEqualOrBothNil(const std::optional<T>& a, const std::optional<T>& b) {
  return a == b;
}
inline bool BoolsEqual(bool a, bool b) { return a == b; }
// A number as the elements write it: the shortest text that reads back the same.
std::string ADNumberString(double value);

class ADObject {
 public:
  ADObject();
  // A deep copy: the stored objects are copied too.
  ADObject(const ADObject& other);
  ADObject& operator=(const ADObject&) = delete;
  virtual ~ADObject();

  static const ADClass& adClass();
  virtual const ADClass& classInfo() const { return adClass(); }
  virtual ADObjectPtr copy() const { return std::make_shared<ADObject>(*this); }
  virtual std::size_t objectSize() const { return sizeof(ADObject); }
  // The heap the object itself takes (the objects it stores not counted).
  std::size_t footprint() const;

  // --- Parsing and writing ---
  // A new object of the class from the element; parent is the object that holds it.
  static ADObjectPtr objectWithXMLElement(const ADClass& cls, const xmlNode* element, const ADObject* parent);
  // Classes with fields read them after calling this.
  virtual void initWithXMLElement(const xmlNode* element, const ADObject* parent);
  // The element, as written by XMLElementWithExtensionsAndDefaultName with the
  // class's qualified name.
  virtual ADXMLNode XMLElement() const;
  ADXMLNode XMLElementWithExtensionsAndDefaultName(const std::optional<std::string>& defaultName) const;
  static void addToElement(xmlNode* element, const std::optional<std::string>& value, std::string_view name);
  // The object written as a whole XML document.
  virtual std::string XMLDocumentString() const;

  // Same class, equal attributes (but those ignored), content, raw child XML
  // and stored objects.
  virtual bool isEqual(const ADObject& other) const;
  virtual std::vector<std::string> attributesIgnoredForEquality() const { return {}; }

  // --- Declarations (called once per class, from the hooks) ---
  virtual void addParseDeclarations() {}
  virtual void addExtensionDeclarations() {}
  void addExtensionDeclarationForParentClass(const ADClass& parent, const ADClass& child);
  void addExtensionDeclarationForParentClass(const ADClass& parent, std::initializer_list<const ADClass*> children);
  void addAttributeExtensionDeclarationForParentClass(const ADClass& parent, const ADClass& attributeClass);
  void addLocalAttributeDeclarations(std::initializer_list<std::string_view> names);
  void addContentValueDeclaration();
  void addChildXMLElementsDeclaration();
  const ADDeclarations& declarations() const;

  // --- Extension store ---
  ADObjectPtr objectForExtensionClass(const ADClass& cls) const;
  std::vector<ADObjectPtr> objectsForExtensionClass(const ADClass& cls) const;
  template <typename T>
  std::shared_ptr<T> objectFor(const ADClass& cls = T::adClass()) const {
    return std::dynamic_pointer_cast<T>(objectForExtensionClass(cls));
  }
  template <typename T>
  std::vector<std::shared_ptr<T>> objectsFor(const ADClass& cls = T::adClass()) const {
    std::vector<std::shared_ptr<T>> out;
    for (const ADObjectPtr& o : objectsForExtensionClass(cls))
      if (auto t = std::dynamic_pointer_cast<T>(o)) out.push_back(std::move(t));
    return out;
  }
  void setObject(ADObjectPtr object, const ADClass& cls);
  void setObjects(const std::vector<ADObjectPtr>& objects, const ADClass& cls);
  template <typename T>
  void setObjects(const std::vector<std::shared_ptr<T>>& objects, const ADClass& cls) {
    setObjects(std::vector<ADObjectPtr>(objects.begin(), objects.end()), cls);
  }
  void addObject(ADObjectPtr object, const ADClass& cls);
  void removeObject(const ADObject& object, const ADClass& cls);

  // Attribute extensions (ADAttribute subclasses).
  std::optional<std::string> attributeValueForExtensionClass(const ADClass& cls) const;
  void setAttributeValue(const std::optional<std::string>& value, const ADClass& cls);

  // --- Attribute table ---
  std::optional<std::string> stringValueForAttribute(std::string_view name) const;
  void setStringValue(const std::optional<std::string>& value, std::string_view name);
  bool boolValueForAttribute(std::string_view name, bool defaultValue) const;
  void setBoolValue(bool value, bool defaultValue, std::string_view name);
  void setExplicitBoolValue(bool value, std::string_view name);
  std::optional<int> intNumberForAttribute(std::string_view name) const;
  std::optional<long long> longLongNumberForAttribute(std::string_view name) const;
  std::optional<double> doubleNumberForAttribute(std::string_view name) const;
  std::optional<double> decimalNumberForAttribute(std::string_view name) const;
  void setNumberValue(std::optional<double> value, std::string_view name);
  std::optional<ADDateTime> dateTimeForAttribute(std::string_view name) const;
  void setDateTimeValue(const std::optional<ADDateTime>& value, std::string_view name);
  // The attribute table, in name order.
  const ADAttributeList& attributes() const { return attributes_; }

  // --- Content, raw child XML, namespaces, name ---
  std::optional<std::string> contentStringValue() const { return content_.value(); }
  void setContentStringValue(const std::optional<std::string>& value) { content_ = ADText::of(value); }
  const std::vector<ADXMLNode>& childXMLElements() const { return extrasOrEmpty().childXML; }
  void setChildXMLElements(std::vector<ADXMLNode> elements) { extras().childXML = std::move(elements); }
  void addChildXMLElement(ADXMLNode element) { extras().childXML.push_back(std::move(element)); }
  const ADNamespaces& namespaces() const { return extrasOrEmpty().namespaces; }
  void setNamespaces(ADNamespaces namespaces) { extras().namespaces = std::move(namespaces); }
  void addNamespaces(const ADNamespaces& namespaces);
  // The name the element is written under; nullopt when it has none of its own.
  std::optional<std::string> elementName() const;
  void setElementName(const std::optional<std::string>& name);
  // Elements and attributes of the document that no declaration named.
  const std::vector<ADXMLNode>& unknownChildren() const { return extrasOrEmpty().unknownChildren; }

  // --- Readers of XML elements, for classes with fields ---
  static std::string stringValueFromElement(const xmlNode* element);
  static ADNamespaces dictionaryForElementNamespaces(const xmlNode* element);
  static std::string coreProtocolVersionForServiceVersion(const std::string& version) { return version; }
  // The first child with that qualified name and namespace, parsed as cls (or,
  // for null, the class the kind maps choose).
  ADObjectPtr objectForChildOfElement(const xmlNode* element, std::string_view qualifiedName,
                                      std::string_view namespaceURI, const ADClass* cls);
  std::optional<std::string> stringForAttributeName(std::string_view name, const xmlNode* element);
  std::optional<double> doubleNumberForAttributeName(std::string_view name, const xmlNode* element);
  std::optional<int> intNumberForAttributeName(std::string_view name, const xmlNode* element);
  std::optional<ADDateTime> dateTimeForAttributeName(std::string_view name, const xmlNode* element);
  bool boolForAttributeName(std::string_view name, const xmlNode* element);

  // Parses the element into this (fresh) object, as objectWithXMLElement
  // does for a new one, charging it to the parse budget in force.
  void initFromRootElement(const xmlNode* element);
  // Parses one more child element into this object, made from its element
  // before, as one of its children: a long feed's own elements reach it one
  // by one while the feed is read.
  void parseFurtherChild(const xmlNode* child);

 protected:
  // The element as XMLElementWithExtensionsAndDefaultName writes it, without
  // its children; then each child it is written with (its text, raw child
  // XML, stored objects, unknown elements), in order, one at a time: a large
  // element is written a child at a time.
  ADXMLNode XMLElementWithoutChildren(const std::optional<std::string>& defaultName) const;
  void forEachXMLChild(const std::function<void(ADXMLNode)>& visit) const;
  // Marks a child element or attribute as read, so that it is not kept as unknown.
  void markConsumed(const void* node);
  // The object that holds this one, while parsing.
  const ADObject* parsingParent() const;

 private:
  // The state of the parse of this object, kept on the parsing thread (none
  // when the object is not being parsed there).
  struct ParseState;
  // The objects being parsed on this thread, innermost last: parses nest as
  // the elements do.
  static std::vector<std::pair<const ADObject*, std::unique_ptr<ParseState>>>& parses();
  ParseState* parseState() const;
  void beginParse(const xmlNode* element, const ADObject* parent);
  void endParse();
  void parseChild(const xmlNode* child, const std::vector<const ADClass*>& childClasses);
  // Keeps what no declaration named, and charges the object to the parse budget in force.
  void finishParsing();
  // The child and attribute classes declared for this object by it and its holders.
  struct DeclaredHere;
  std::shared_ptr<const DeclaredHere> declaredHere() const;

  // The stored objects in the order they were stored, each with its class;
  // those of one class are one group, in the place its first took.
  using ExtensionList = std::vector<std::pair<const ADClass*, ADObjectPtr>>;
  // Each class of the store once, in the order of its group.
  std::vector<const ADClass*> extensionClasses() const;

  // What most elements never have, kept apart so that the many small
  // elements of a large feed stay small.
  struct Extras {
    ADNamespaces namespaces;
    std::vector<ADXMLNode> childXML;
    // Value and the name it is written under (as parsed, else the class's).
    std::map<const ADClass*, std::pair<std::string, std::string>> attributeExtensions;
    std::vector<ADXMLNode> unknownChildren;
    std::vector<std::pair<std::string, std::string>> unknownAttributes;
  };
  Extras& extras();
  const Extras& extrasOrEmpty() const;

  // A word each: a feed of a million small entries holds millions of these.
  // The name is marked, not held, when it is the class's own.
  ADText elementName_;
  ADText content_;
  ADAttributeList attributes_;
  ExtensionList extensions_;
  std::unique_ptr<Extras> extras_;
};

// An attribute extension: a string value stored under its class, written as
// an attribute of the element that holds it.
class ADAttribute : public ADObject {
  AD_CLASS(ADAttribute)
  static ADObjectPtr attributeWithValue(const ADClass& cls, std::string value);
  const std::string& stringValue() const { return value_; }
  void setStringValue(std::string value) { value_ = std::move(value); }
  bool isEqual(const ADObject& other) const override;

 private:
  std::string value_;
};
