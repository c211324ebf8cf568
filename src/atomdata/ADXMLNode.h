#pragma once
// Owning wrappers of libxml2 trees: one element kept apart from its document
// (unparsed child XML, unknown elements, elements being written), and a parsed
// document. Parsing refuses hostile input: no DTD, no entities, no network,
// bounded size and depth.
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "atomdata/ADCompact.h"
#include "platform/foundation/Expected.h"

// The largest document the client parses, and the deepest element nesting.
inline constexpr std::size_t kADMaxXMLBytes = std::size_t{64} << 20;
inline constexpr int kADMaxXMLDepth = 200;
// The most namespace declarations in scope at any element, and the most
// attributes (declarations included) on one element. The parser's work for
// each element grows with both, so a document past either is refused before
// it is parsed, and parsing stays linear in the document.
inline constexpr std::size_t kADMaxNamespacesInScope = 256;
inline constexpr std::size_t kADMaxAttributesPerElement = 256;
// The most memory one parse may take beside the document's bytes: the tree
// libxml2 builds of the document (of a feed read entry by entry, the element
// being read) and the objects made of it. Whatever the document's shape, a
// parse that would pass it stops and is refused in words.
inline constexpr std::size_t kADMaxParseBytes = std::size_t{1} << 30;

// How libxml2 parses every document here: nothing fetched from the network,
// no messages printed (failures are told in words), and none of the parser's
// own limits on the length of one text, name or attribute value. A document
// reaches the parser only once its bounds above have been checked on its
// bytes, and its tree grows only within the parse budget, so those limits
// would only call a long text in a well-formed document malformed.
inline constexpr int kADXMLParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE;

// The memory a parse may take: while a budget is in force on a thread, the
// tree each parse there builds (as it reads) and each object it makes (as it
// is made) are counted against it. A parse stops where its budget is spent:
// no document, however it is shaped, takes more.
class ADParseBudget {
 public:
  explicit ADParseBudget(std::size_t bytes = kADMaxParseBytes);
  ~ADParseBudget();
  ADParseBudget(const ADParseBudget&) = delete;
  ADParseBudget& operator=(const ADParseBudget&) = delete;

  // Counts against, or gives back to, the budget in force on this thread, if any.
  static void charge(std::size_t bytes);
  static void release(std::size_t bytes);
  static bool inForce();
  // A budget is in force here and spent: what a parse would make now is thrown away.
  static bool spentInForce();
  bool exceeded() const { return spent_ > bytes_; }
  std::size_t bytes() const { return bytes_; }
  // The refusal of a document that passed the budget in force, in words.
  static fd::Failure refusal();

 private:
  std::size_t bytes_;
  std::size_t spent_ = 0;
  ADParseBudget* outer_;
};

// What the bounds pre-pass learns of a document besides its bounds.
struct ADXMLShape {
  // How many elements of the second level have the local name "entry" (at
  // least as many as a feed has entries).
  std::size_t entriesOnSecondLevel = 0;
  // The longest piece of markup (a tag with its attributes, a comment, a
  // character data section, a processing instruction), from its "<" to its end.
  std::size_t longestMarkup = 0;
  // The memory libxml2's tree of the document's first `offset` bytes takes,
  // as told by the markup found there (its elements, attributes and text),
  // counting in whole each stretch of kWindow bytes the offset reaches into.
  std::size_t treeBytesOfFirst(std::size_t offset) const;

  static constexpr std::size_t kWindow = 4096;
  // [i]: the tree of the nodes that start before i * kWindow, their bytes aside.
  std::vector<std::size_t> nodeBytesBefore;
  std::size_t size = 0;
};

// A document's bytes handed to libxml2 as it asks for them (its input
// callback): each stretch is charged to the parse budget in force, for the
// tree it becomes, before the parser has it. A read that would pass the
// budget fails instead, so the parse stops there and the tree never grows
// past the budget. What was charged stays charged while the budget lasts,
// unless the caller tells that the parser has freed it.
class ADXMLInput {
 public:
  ADXMLInput(std::string_view bytes, const ADXMLShape& shape) : bytes_(bytes), shape_(shape) {}
  ADXMLInput(const ADXMLInput&) = delete;
  ADXMLInput& operator=(const ADXMLInput&) = delete;

  // For xmlReaderForIO and xmlCtxtReadIO, with this input as the context.
  static int read(void* context, char* buffer, int length);
  // A read failed for the budget.
  bool refused() const { return refused_; }
  // The parser has freed its tree but for what takes `standing` of what was charged.
  void treeFreedBut(std::size_t standing);
  std::size_t treeCharged() const { return tree_; }

 private:
  std::string_view bytes_;
  const ADXMLShape& shape_;
  std::size_t offset_ = 0;
  std::size_t treeRead_ = 0;  // the tree of the bytes handed over so far
  std::size_t tree_ = 0;      // of that, what the parser still holds
  bool refused_ = false;
};

class ADXMLNode {
 public:
  ADXMLNode() = default;
  // Takes ownership of an unlinked node (null for none).
  explicit ADXMLNode(xmlNodePtr owned) : node_(owned) {}
  // A copy of an element of a parsed document, carrying the namespace
  // declarations it uses. It is kept as its XML text, a fraction of its tree,
  // until its node is asked for: a document's unknown elements are kept so.
  static ADXMLNode copyOf(const xmlNode* node);
  ADXMLNode(const ADXMLNode& other);
  ADXMLNode& operator=(const ADXMLNode& other);
  ADXMLNode(ADXMLNode&& other) noexcept : node_(other.node_), text_(std::move(other.text_)) { other.node_ = nullptr; }
  ADXMLNode& operator=(ADXMLNode&& other) noexcept;
  ~ADXMLNode();

  // A new element with a text child (none for nullopt).
  static ADXMLNode elementWithName(std::string_view name, const std::optional<std::string>& stringValue = {});
  // The part of a qualified name after the colon; the whole name without one.
  static std::string localNameForName(std::string_view name);

  explicit operator bool() const { return node_ != nullptr || text_.has(); }
  // The node (made from the text, once, when kept as text).
  xmlNodePtr get() const;
  xmlNodePtr release();

  // "prefix:local" as written, or the local name.
  std::string name() const;
  // The joined text of the element's text children.
  std::string stringValue() const;
  // The element as XML text.
  std::string XMLString() const;
  // The element as XML text in UTF-8, as a document written with
  // ADXMLDocument::serialize holds it.
  std::string XMLStringUTF8() const;

  // Equal when they serialise alike.
  bool operator==(const ADXMLNode& other) const;

 private:
  // One of the two: the node, or the element's text (what XMLString gives).
  mutable xmlNodePtr node_ = nullptr;
  mutable ADText text_;
};

// A parsed document; its root element stays valid while it lives.
class ADXMLDocument {
 public:
  // Malformed, past one of the bounds above, declaring a DTD, or with a tree
  // that would pass the parse budget in force (or kADMaxParseBytes when none
  // is): a failure saying which. The tree stays charged to the budget in
  // force, beside the objects then made of it.
  static fd::Expected<ADXMLDocument> parse(std::string_view bytes);
  // The same for bytes whose shape checkBounds told.
  static fd::Expected<ADXMLDocument> parse(std::string_view bytes, const ADXMLShape& shape);
  // The bounds above, checked on the bytes in one pass without parsing them,
  // in time linear in their length: size, nesting, namespaces in scope,
  // attributes per element. A malformed document may pass; the parser
  // refuses it. Tells, when asked, the document's shape.
  static fd::Status checkBounds(std::string_view bytes, ADXMLShape* shape = nullptr);
  // A document with the element as its root, written as UTF-8 with an XML declaration.
  static std::string serialize(ADXMLNode root);

  ADXMLDocument(ADXMLDocument&& other) noexcept : doc_(other.doc_) { other.doc_ = nullptr; }
  ADXMLDocument& operator=(ADXMLDocument&& other) noexcept;
  ADXMLDocument(const ADXMLDocument&) = delete;
  ADXMLDocument& operator=(const ADXMLDocument&) = delete;
  ~ADXMLDocument();

  xmlNodePtr root() const { return xmlDocGetRootElement(doc_); }

 private:
  explicit ADXMLDocument(xmlDocPtr doc) : doc_(doc) {}
  xmlDocPtr doc_ = nullptr;
};

// A document's text written a piece at a time (nodes as XMLStringUTF8 writes
// them), kept in blocks joined once at the end: a string grown piece by piece
// would at times hold three times the text while it moves.
class ADXMLTextWriter {
 public:
  ADXMLTextWriter();
  ~ADXMLTextWriter();
  ADXMLTextWriter(const ADXMLTextWriter&) = delete;
  ADXMLTextWriter& operator=(const ADXMLTextWriter&) = delete;

  void append(std::string_view text);
  void appendNode(const xmlNode* node);
  // All that was written, the writer left empty.
  std::string take();

 private:
  static int write(void* context, const char* bytes, int length);
  xmlOutputBufferPtr out_ = nullptr;
  std::vector<std::string> blocks_;
  std::size_t size_ = 0;
};

// Small readers over libxml2 nodes shared by the parsing code.
namespace ad_xml {
// The declarations an element makes, looked up by prefix: the scope of the
// elements written under it one after another. Valid while the element lives.
class DeclarationScope {
 public:
  DeclarationScope() = default;
  explicit DeclarationScope(const xmlNode* element);
  xmlNsPtr find(std::string_view prefix) const;

 private:
  std::unordered_map<std::string_view, xmlNsPtr> byPrefix_;
};
// Drops the declarations under root that bind a prefix to the namespace it is
// already bound to where they stand (by root's ancestors' declarations within
// the tree, or by those of `scope`, an element standing above root when it is
// written); what named them names the outer binding. Written back, the kept
// elements of a document then add nothing to the declarations in scope.
void dropRedundantDeclarations(xmlNodePtr root, const DeclarationScope& scope = DeclarationScope());
std::string_view text(const xmlChar* s);
// "prefix:local" of an element or attribute, as the document wrote it.
std::string qualifiedName(const xmlNode* node);
std::string qualifiedName(const xmlAttr* attr);
// The namespace URI of an element or attribute ("" for none).
std::string_view namespaceURI(const xmlNode* node);
// The value of the attribute with that qualified name, resolving its prefix
// through the element's namespaces.
std::optional<std::string> attribute(const xmlNode* element, std::string_view qualifiedName);
const xmlAttr* findAttribute(const xmlNode* element, std::string_view qualifiedName);
std::string attributeValue(const xmlAttr* attr);
// The xmlns declarations made on the element itself, prefix to URI ("" default).
std::map<std::string, std::string> namespaceDeclarations(const xmlNode* element);
}  // namespace ad_xml
