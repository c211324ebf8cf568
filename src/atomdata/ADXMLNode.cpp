#include "atomdata/ADXMLNode.h"

#include <libxml/parser.h>
#include <libxml/xmlsave.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

namespace ad_xml {

std::string_view text(const xmlChar* s) {
  return s ? std::string_view(reinterpret_cast<const char*>(s)) : std::string_view();
}

namespace {
std::string prefixed(const xmlNs* ns, const xmlChar* name) {
  std::string out;
  if (ns && ns->prefix) {
    out = text(ns->prefix);
    out += ':';
  }
  out += text(name);
  return out;
}
}  // namespace

std::string qualifiedName(const xmlNode* node) { return prefixed(node->ns, node->name); }
std::string qualifiedName(const xmlAttr* attr) { return prefixed(attr->ns, attr->name); }

std::string_view namespaceURI(const xmlNode* node) { return node->ns ? text(node->ns->href) : std::string_view(); }

const xmlAttr* findAttribute(const xmlNode* element, std::string_view qname) {
  const std::size_t colon = qname.find(':');
  std::string_view local = colon == std::string_view::npos ? qname : qname.substr(colon + 1);
  std::string href;
  if (colon != std::string_view::npos) {
    std::string prefix(qname.substr(0, colon));
    if (prefix == "xml") {
      href = reinterpret_cast<const char*>(XML_XML_NAMESPACE);
    } else {
      const xmlNs* ns = xmlSearchNs(element->doc, const_cast<xmlNode*>(element), BAD_CAST prefix.c_str());
      if (!ns) return nullptr;
      href = text(ns->href);
    }
  }
  for (const xmlAttr* a = element->properties; a; a = a->next) {
    if (text(a->name) != local) continue;
    if (colon == std::string_view::npos ? a->ns == nullptr : (a->ns && text(a->ns->href) == href)) return a;
  }
  return nullptr;
}

std::string attributeValue(const xmlAttr* attr) {
  std::string out;
  for (const xmlNode* c = attr->children; c; c = c->next)
    if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) out += text(c->content);
  return out;
}

std::optional<std::string> attribute(const xmlNode* element, std::string_view qname) {
  const xmlAttr* a = findAttribute(element, qname);
  if (!a) return std::nullopt;
  return attributeValue(a);
}

std::map<std::string, std::string> namespaceDeclarations(const xmlNode* element) {
  std::map<std::string, std::string> out;
  for (const xmlNs* ns = element->nsDef; ns; ns = ns->next) out[std::string(text(ns->prefix))] = std::string(text(ns->href));
  return out;
}

DeclarationScope::DeclarationScope(const xmlNode* element) {
  for (xmlNsPtr ns = element->nsDef; ns; ns = ns->next) byPrefix_.try_emplace(text(ns->prefix), ns);
}

xmlNsPtr DeclarationScope::find(std::string_view prefix) const {
  auto it = byPrefix_.find(prefix);
  return it == byPrefix_.end() ? nullptr : it->second;
}

void dropRedundantDeclarations(xmlNodePtr root, const DeclarationScope& scope) {
  if (!root) return;
  // The declarations of the tree's own elements in scope where the walk is.
  std::vector<xmlNsPtr> inScope;
  auto bound = [&](const xmlNs* ns) -> xmlNsPtr {
    for (auto it = inScope.rbegin(); it != inScope.rend(); ++it)
      if (text((*it)->prefix) == text(ns->prefix)) return *it;
    return scope.find(text(ns->prefix));
  };
  std::unordered_map<xmlNsPtr, xmlNsPtr> replaced;  // dropped, the binding that stands for it
  auto redirect = [&](xmlNsPtr& ns) {
    if (auto it = replaced.find(ns); it != replaced.end()) ns = it->second;
  };
  // Walks without recursion; each element's declarations are in scope for its subtree.
  struct Level {
    xmlNodePtr node;
    std::size_t scopeSize;
  };
  std::vector<Level> open;
  xmlNodePtr node = root;
  while (node) {
    if (node->type == XML_ELEMENT_NODE) {
      const std::size_t before = inScope.size();
      for (xmlNsPtr* link = &node->nsDef; *link;) {
        xmlNsPtr ns = *link;
        xmlNsPtr outer = bound(ns);
        if (outer && text(outer->href) == text(ns->href)) {
          *link = ns->next;
          ns->next = nullptr;
          replaced.emplace(ns, outer);
        } else {
          link = &ns->next;
        }
      }
      for (xmlNsPtr ns = node->nsDef; ns; ns = ns->next) inScope.push_back(ns);
      redirect(node->ns);
      for (xmlAttrPtr a = node->properties; a; a = a->next) redirect(a->ns);
      if (node->children) {
        open.push_back({node, before});
        node = node->children;
        continue;
      }
      inScope.resize(before);
    }
    while (node != root && !node->next && !open.empty()) {
      node = open.back().node;
      inScope.resize(open.back().scopeSize);
      open.pop_back();
    }
    node = node == root ? nullptr : node->next;
  }
  for (const auto& [dropped, outer] : replaced) xmlFreeNs(dropped);
}

}  // namespace ad_xml

namespace {
struct ParserDeleter {
  void operator()(xmlParserCtxtPtr p) const { xmlFreeParserCtxt(p); }
};
}  // namespace

ADXMLNode ADXMLNode::copyOf(const xmlNode* node) {
  ADXMLNode copy(xmlDocCopyNode(const_cast<xmlNode*>(node), nullptr, 1));
  if (!copy.node_ || copy.node_->type != XML_ELEMENT_NODE) return copy;
  copy.text_ = ADText(std::string_view(copy.XMLString()));
  xmlFreeNode(copy.node_);
  copy.node_ = nullptr;
  return copy;
}

ADXMLNode::ADXMLNode(const ADXMLNode& other)
    : node_(other.node_ ? xmlDocCopyNode(other.node_, nullptr, 1) : nullptr), text_(other.text_) {}

ADXMLNode& ADXMLNode::operator=(const ADXMLNode& other) {
  if (this != &other) *this = ADXMLNode(other);
  return *this;
}

ADXMLNode& ADXMLNode::operator=(ADXMLNode&& other) noexcept {
  if (this != &other) {
    if (node_) xmlFreeNode(node_);
    node_ = other.node_;
    text_ = std::move(other.text_);
    other.node_ = nullptr;
  }
  return *this;
}

ADXMLNode::~ADXMLNode() {
  if (node_) xmlFreeNode(node_);
}

xmlNodePtr ADXMLNode::get() const {
  if (node_ || !text_.has()) return node_;
  // The text is this program's own writing of a parsed element: it reads back
  // as that element. Names are copied out of the parser's dictionary, so the
  // node outlives the document it was read into. A feed's kept elements are
  // read back by the hundred thousand as it is written: one parser serves a
  // thread, made anew once its dictionary has grown.
  constexpr std::size_t kParserDictionaryNames = 4096;
  thread_local std::unique_ptr<xmlParserCtxt, ParserDeleter> parser;
  if (!parser || static_cast<std::size_t>(xmlDictSize(parser->dict)) > kParserDictionaryNames)
    parser.reset(xmlNewParserCtxt());
  if (!parser) return nullptr;
  const std::string_view text = text_.view();
  xmlDocPtr doc = xmlCtxtReadMemory(parser.get(), text.data(), static_cast<int>(text.size()), nullptr, "UTF-8",
                                    kADXMLParseOptions | XML_PARSE_NODICT);
  if (xmlNodePtr root = doc ? xmlDocGetRootElement(doc) : nullptr) {
    xmlUnlinkNode(root);
    xmlSetTreeDoc(root, nullptr);
    node_ = root;
    text_ = ADText();
  }
  xmlFreeDoc(doc);
  return node_;
}

xmlNodePtr ADXMLNode::release() {
  xmlNodePtr n = get();
  node_ = nullptr;
  text_ = ADText();
  return n;
}

ADXMLNode ADXMLNode::elementWithName(std::string_view name, const std::optional<std::string>& stringValue) {
  std::string n(name);
  xmlNodePtr node = xmlNewNode(nullptr, BAD_CAST n.c_str());
  if (stringValue) xmlAddChild(node, xmlNewText(BAD_CAST stringValue->c_str()));
  return ADXMLNode(node);
}

std::string ADXMLNode::localNameForName(std::string_view name) {
  const std::size_t colon = name.find(':');
  return std::string(colon == std::string_view::npos ? name : name.substr(colon + 1));
}

std::string ADXMLNode::name() const {
  if (!node_ && text_.has()) {
    // The text starts with "<" and the name.
    const std::string_view text = text_.view();
    const std::size_t end = text.find_first_of(" \t\r\n/>", 1);
    return std::string(text.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1));
  }
  return node_ ? ad_xml::qualifiedName(node_) : std::string();
}

std::string ADXMLNode::stringValue() const {
  std::string out;
  const xmlNode* node = get();
  if (!node) return out;
  for (const xmlNode* c = node->children; c; c = c->next)
    if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) out += ad_xml::text(c->content);
  return out;
}

std::string ADXMLNode::XMLString() const {
  if (!node_ && text_.has()) return std::string(text_.view());
  if (!node_) return {};
  std::unique_ptr<xmlBuffer, decltype(&xmlBufferFree)> buffer(xmlBufferCreate(), &xmlBufferFree);
  xmlNodeDump(buffer.get(), node_->doc, node_, 0, 0);
  return std::string(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                     static_cast<std::size_t>(xmlBufferLength(buffer.get())));
}

std::string ADXMLNode::XMLStringUTF8() const {
  if (!get()) return {};
  ADXMLTextWriter writer;
  writer.appendNode(node_);
  return writer.take();
}

// --- Writing text ---

namespace {
constexpr std::size_t kTextBlock = std::size_t{1} << 20;
}  // namespace

ADXMLTextWriter::ADXMLTextWriter()
    : out_(xmlOutputBufferCreateIO(&ADXMLTextWriter::write, nullptr, this, xmlFindCharEncodingHandler("UTF-8"))) {}

ADXMLTextWriter::~ADXMLTextWriter() {
  if (out_) xmlOutputBufferClose(out_);
}

int ADXMLTextWriter::write(void* context, const char* bytes, int length) {
  auto& writer = *static_cast<ADXMLTextWriter*>(context);
  const std::string_view text(bytes, static_cast<std::size_t>(length));
  if (writer.blocks_.empty() || writer.blocks_.back().size() + text.size() > writer.blocks_.back().capacity()) {
    // Blocks grow with the text up to kTextBlock: a short text takes little.
    writer.blocks_.emplace_back();
    writer.blocks_.back().reserve(std::max(text.size(), std::clamp(writer.size_, std::size_t{256}, kTextBlock)));
  }
  writer.blocks_.back() += text;
  writer.size_ += text.size();
  return length;
}

void ADXMLTextWriter::append(std::string_view text) {
  if (out_) xmlOutputBufferFlush(out_);
  write(this, text.data(), static_cast<int>(text.size()));
}

void ADXMLTextWriter::appendNode(const xmlNode* node) {
  if (out_) xmlNodeDumpOutput(out_, node->doc, const_cast<xmlNode*>(node), 0, 0, "UTF-8");
}

std::string ADXMLTextWriter::take() {
  if (out_) xmlOutputBufferFlush(out_);
  if (blocks_.size() == 1) {
    std::string text = std::move(blocks_.front());
    blocks_.clear();
    size_ = 0;
    text.shrink_to_fit();
    return text;
  }
  std::string text;
  text.reserve(size_);
  for (std::string& block : blocks_) {
    text += block;
    std::string().swap(block);
  }
  blocks_.clear();
  size_ = 0;
  return text;
}

bool ADXMLNode::operator==(const ADXMLNode& other) const { return XMLString() == other.XMLString(); }

namespace {

// A document type declaration is where entity expansion and external loading
// start; Atom documents never carry one, so the parse stops at the first sign.
void refuseDocumentType(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
  auto* parser = static_cast<xmlParserCtxtPtr>(context);
  parser->_private = parser;  // marks the refusal for parse()
  xmlStopParser(parser);
}

void ignoreMessage(void*, const char*, ...) {}

}  // namespace

// --- Parse budget ---

namespace {
thread_local ADParseBudget* budgetInForce = nullptr;
}  // namespace

ADParseBudget::ADParseBudget(std::size_t bytes) : bytes_(bytes), outer_(budgetInForce) { budgetInForce = this; }
ADParseBudget::~ADParseBudget() { budgetInForce = outer_; }

void ADParseBudget::charge(std::size_t bytes) {
  if (budgetInForce) budgetInForce->spent_ += bytes;
}

void ADParseBudget::release(std::size_t bytes) {
  if (budgetInForce) budgetInForce->spent_ -= std::min(bytes, budgetInForce->spent_);
}

bool ADParseBudget::inForce() { return budgetInForce != nullptr; }

bool ADParseBudget::spentInForce() { return budgetInForce && budgetInForce->exceeded(); }

fd::Failure ADParseBudget::refusal() {
  const std::size_t bytes = budgetInForce ? budgetInForce->bytes_ : kADMaxParseBytes;
  return fd::fail("The document would take more than " + std::to_string(bytes >> 20) +
                  " MiB of memory to read, more than a document is given");
}

// --- Shape and input ---

namespace {
// What libxml2 takes for a node (an element, a run of text, a comment) and
// for an attribute with its value's text node, beside their bytes.
constexpr std::size_t kTreeNodeBytes = 128;
constexpr std::size_t kTreeAttributeBytes = 232;
}  // namespace

std::size_t ADXMLShape::treeBytesOfFirst(std::size_t offset) const {
  if (nodeBytesBefore.empty()) return offset;
  const std::size_t window = std::min((offset + kWindow - 1) / kWindow, nodeBytesBefore.size() - 1);
  return nodeBytesBefore[window] + std::min(window * kWindow, size);
}

int ADXMLInput::read(void* context, char* buffer, int length) {
  auto& in = *static_cast<ADXMLInput*>(context);
  if (in.refused_ || length < 0) return -1;
  const std::size_t n = std::min(static_cast<std::size_t>(length), in.bytes_.size() - in.offset_);
  const std::size_t tree = std::max(in.shape_.treeBytesOfFirst(in.offset_ + n), in.treeRead_);
  ADParseBudget::charge(tree - in.treeRead_);
  in.tree_ += tree - in.treeRead_;
  in.treeRead_ = tree;
  if (ADParseBudget::spentInForce()) {
    in.refused_ = true;
    return -1;
  }
  std::memcpy(buffer, in.bytes_.data() + in.offset_, n);
  in.offset_ += n;
  return static_cast<int>(n);
}

void ADXMLInput::treeFreedBut(std::size_t standing) {
  if (standing >= tree_) return;
  ADParseBudget::release(tree_ - standing);
  tree_ = standing;
}

fd::Status ADXMLDocument::checkBounds(std::string_view bytes, ADXMLShape* shape) {
  if (bytes.size() > kADMaxXMLBytes)
    return fd::fail("The XML document is larger than " + std::to_string(kADMaxXMLBytes >> 20) + " MiB");
  const char* const begin = bytes.data();
  const char* const end = begin + bytes.size();
  auto skipPast = [&](const char* from, std::string_view closing) {
    const char* found = std::search(from, end, closing.begin(), closing.end());
    return found == end ? end : found + closing.size();
  };
  auto startsWith = [&](const char* p, std::string_view prefix) {
    return static_cast<std::size_t>(end - p) >= prefix.size() && std::memcmp(p, prefix.data(), prefix.size()) == 0;
  };
  auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  // The tree the nodes take, each counted in the window where it starts.
  std::vector<std::size_t> nodeBytesBefore;
  std::size_t nodeBytes = 0;
  auto node = [&](const char* at, std::size_t attributes) {
    if (!shape) return;
    const auto window = static_cast<std::size_t>(at - begin) / ADXMLShape::kWindow;
    while (nodeBytesBefore.size() <= window) nodeBytesBefore.push_back(nodeBytes);
    nodeBytes += kTreeNodeBytes + attributes * kTreeAttributeBytes;
  };
  // Per open element, the declarations in scope outside it.
  std::vector<std::size_t> outside;
  std::size_t inScope = 0;
  std::size_t entries = 0;
  std::size_t longestMarkup = 0;
  auto markupTo = [&](const char* from, const char* to) {
    longestMarkup = std::max(longestMarkup, static_cast<std::size_t>(to - from));
    return to;
  };
  const char* p = begin;
  while (p < end) {
    const char* text = p;
    p = static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(end - p)));
    if (!p) break;
    if (p != text) node(text, 0);
    if (startsWith(p, "<!--")) {
      node(p, 0);
      p = markupTo(p, skipPast(p + 4, "-->"));
    } else if (startsWith(p, "<![CDATA[")) {
      node(p, 0);
      p = markupTo(p, skipPast(p + 9, "]]>"));
    } else if (startsWith(p, "<?")) {
      node(p, 0);
      p = markupTo(p, skipPast(p + 2, "?>"));
    } else if (startsWith(p, "<!")) {
      markupTo(p, end);
      break;  // a document type (refused by the parser) or no XML at all
    } else if (startsWith(p, "</")) {
      if (!outside.empty()) {
        inScope = outside.back();
        outside.pop_back();
      }
      p = markupTo(p, skipPast(p + 2, ">"));
    } else {
      // A start tag: its attributes are its "=" outside quotes; a declaration
      // is one whose name (the run of characters before the "=", white space
      // between them aside) is xmlns or starts with "xmlns:". The run is kept
      // as the scan goes: looking back from each "=" would make a tag of
      // many of them quadratic.
      std::size_t attributes = 0, declared = 0;
      char quote = 0;
      const char* run = nullptr;
      const char* runEnd = nullptr;
      const char* q = p + 1;
      for (; q < end && (quote || *q != '>'); ++q) {
        const char c = *q;
        if (quote) {
          if (c == quote) quote = 0;
          continue;
        }
        if (c == '"' || c == '\'') {
          quote = c;
          run = runEnd = nullptr;
          continue;
        }
        if (isSpace(c)) continue;
        if (c == '=') {
          ++attributes;
          const std::string_view name = run ? std::string_view(run, static_cast<std::size_t>(runEnd - run)) : std::string_view();
          if (name == "xmlns" || name.starts_with("xmlns:")) ++declared;
        }
        if (runEnd != q) run = q;
        runEnd = q + 1;
      }
      markupTo(p, q == end ? end : q + 1);
      if (q == end) break;  // an unfinished tag: the parser refuses it
      if (outside.size() + 1 > static_cast<std::size_t>(kADMaxXMLDepth))
        return fd::fail("The XML document nests elements deeper than " + std::to_string(kADMaxXMLDepth) + " levels");
      if (inScope + declared > kADMaxNamespacesInScope)
        return fd::fail("The XML document has more than " + std::to_string(kADMaxNamespacesInScope) +
                        " namespace declarations in scope at one element");
      if (attributes > kADMaxAttributesPerElement)
        return fd::fail("The XML document has an element with more than " + std::to_string(kADMaxAttributesPerElement) +
                        " attributes");
      node(p, attributes);
      if (outside.size() == 1) {
        const char* nameEnd = p + 1;
        while (nameEnd < q && !isSpace(*nameEnd) && *nameEnd != '/') ++nameEnd;
        const std::string_view name(p + 1, static_cast<std::size_t>(nameEnd - p - 1));
        if (name == "entry" || name.ends_with(":entry")) ++entries;
      }
      if (q[-1] != '/') {
        outside.push_back(inScope);
        inScope += declared;
      }
      p = q + 1;
    }
  }
  if (shape) {
    const std::size_t windows = (bytes.size() + ADXMLShape::kWindow - 1) / ADXMLShape::kWindow;
    nodeBytesBefore.resize(windows + 1, nodeBytes);
    shape->entriesOnSecondLevel = entries;
    shape->longestMarkup = longestMarkup;
    shape->nodeBytesBefore = std::move(nodeBytesBefore);
    shape->size = bytes.size();
  }
  return {};
}

fd::Expected<ADXMLDocument> ADXMLDocument::parse(std::string_view bytes) {
  ADXMLShape shape;
  if (fd::Status bounded = checkBounds(bytes, &shape); !bounded) return bounded.failure();
  return parse(bytes, shape);
}

fd::Expected<ADXMLDocument> ADXMLDocument::parse(std::string_view bytes, const ADXMLShape& shape) {
  std::optional<ADParseBudget> own;
  if (!ADParseBudget::inForce()) own.emplace();
  std::unique_ptr<xmlParserCtxt, ParserDeleter> parser(xmlNewParserCtxt());
  if (!parser) return fd::fail("The XML parser could not be created");
  parser->sax->internalSubset = &refuseDocumentType;
  parser->sax->externalSubset = &refuseDocumentType;
  parser->sax->error = &ignoreMessage;
  parser->sax->warning = &ignoreMessage;
  parser->vctxt.error = &ignoreMessage;
  parser->vctxt.warning = &ignoreMessage;
  // No entity substitution, no DTD loading (a document type stops the parse).
  ADXMLInput input(bytes, shape);
  xmlDocPtr doc =
      xmlCtxtReadIO(parser.get(), &ADXMLInput::read, nullptr, &input, nullptr, nullptr, kADXMLParseOptions);
  ADXMLDocument result(doc);
  if (parser->_private == parser.get()) return fd::fail("The XML document declares a document type, which is refused");
  if (input.refused()) return ADParseBudget::refusal();
  if (!doc || !parser->wellFormed || !result.root()) {
    const xmlError* error = xmlCtxtGetLastError(parser.get());
    std::string message = "The XML document is malformed";
    if (error && error->message) {
      message += " (line " + std::to_string(error->line) + "): ";
      message += error->message;
      while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
    }
    return fd::fail(message);
  }
  return result;
}

std::string ADXMLDocument::serialize(ADXMLNode root) {
  xmlDocPtr doc = xmlNewDoc(BAD_CAST "1.0");
  xmlNodePtr element = root.release();
  ad_xml::dropRedundantDeclarations(element);
  xmlDocSetRootElement(doc, element);
  xmlChar* out = nullptr;
  int size = 0;
  xmlDocDumpMemoryEnc(doc, &out, &size, "UTF-8");
  std::string text(reinterpret_cast<const char*>(out), static_cast<std::size_t>(size));
  xmlFree(out);
  xmlFreeDoc(doc);
  return text;
}

ADXMLDocument& ADXMLDocument::operator=(ADXMLDocument&& other) noexcept {
  if (this != &other) {
    if (doc_) xmlFreeDoc(doc_);
    doc_ = other.doc_;
    other.doc_ = nullptr;
  }
  return *this;
}

ADXMLDocument::~ADXMLDocument() {
  if (doc_) xmlFreeDoc(doc_);
}
