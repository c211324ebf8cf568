#include "atomdata/spreadsheet/ADSpreadsheet.h"

#include <strings.h>

#include "atomdata/ADUtilities.h"

#define GS(name) .uri = kADNamespaceSpreadsheet, .prefix = kADNamespaceSpreadsheetPrefix, .localName = name
#define SHEET .serviceVersion = kADSpreadsheetServiceVersion

AD_DEFINE_CLASS(ADSpreadsheetCell, ADObject, GS("cell"))
AD_DEFINE_CLASS(ADRowColumnCount, ADObject, .uri = kADNamespaceSpreadsheet, .prefix = kADNamespaceSpreadsheetPrefix)
AD_DEFINE_CLASS(ADRowCount, ADRowColumnCount, GS("rowCount"))
AD_DEFINE_CLASS(ADColumnCount, ADRowColumnCount, GS("colCount"))
AD_DEFINE_CLASS(ADSpreadsheetCustomElement, ADObject, .uri = kADNamespaceSpreadsheetExtended,
                .prefix = kADNamespaceSpreadsheetExtendedPrefix, .localName = "*")
AD_DEFINE_CLASS(ADSpreadsheetField, ADObject, GS("field"))
AD_DEFINE_CLASS(ADSpreadsheetData, ADObject, GS("data"))
AD_DEFINE_CLASS(ADSpreadsheetColumn, ADObject, GS("column"))
AD_DEFINE_CLASS(ADSpreadsheetHeader, ADValueConstruct, GS("header"))
AD_DEFINE_CLASS(ADWorksheetName, ADValueConstruct, GS("worksheet"))
AD_DEFINE_CLASS(ADEntrySpreadsheet, ADEntryBase, SHEET)
AD_DEFINE_CLASS(ADEntryWorksheet, ADEntryBase, SHEET)
AD_DEFINE_CLASS(ADEntrySpreadsheetCell, ADEntryBase, SHEET)
AD_DEFINE_CLASS(ADEntrySpreadsheetList, ADEntryBase, SHEET)
AD_DEFINE_CLASS(ADEntrySpreadsheetRecord, ADEntryBase, .standardKind = kADSpreadsheetKindRecord, SHEET)
AD_DEFINE_CLASS(ADEntrySpreadsheetTable, ADEntryBase, .standardKind = kADSpreadsheetKindTable, SHEET)
AD_DEFINE_CLASS(ADFeedSpreadsheet, ADFeedBase, SHEET)
AD_DEFINE_CLASS(ADFeedWorksheet, ADFeedBase, SHEET)
AD_DEFINE_CLASS(ADFeedSpreadsheetCell, ADFeedBase, SHEET)
AD_DEFINE_CLASS(ADFeedSpreadsheetList, ADFeedBase, SHEET)
AD_DEFINE_CLASS(ADFeedSpreadsheetRecord, ADFeedBase, .standardKind = kADSpreadsheetKindRecord, SHEET)
AD_DEFINE_CLASS(ADFeedSpreadsheetTable, ADFeedBase, .standardKind = kADSpreadsheetKindTable, SHEET)

ADNamespaces ADSpreadsheetConstants::spreadsheetNamespaces() {
  ADNamespaces namespaces = ADEntryBase::baseADNamespaces();
  namespaces[kADNamespaceSpreadsheetPrefix] = kADNamespaceSpreadsheet;
  namespaces[kADNamespaceSpreadsheetExtendedPrefix] = kADNamespaceSpreadsheetExtended;
  namespaces[kADNamespaceVisualizationPrefix] = kADNamespaceVisualization;
  return namespaces;
}

std::string ADSpreadsheetConstants::coreProtocolVersionForServiceVersion(const std::string& v) {
  return ADUtilities::coreProtocolVersionForServiceVersion(v);
}

void ADSpreadsheetConstants::registerClasses() {
  // Spreadsheets, cells and lists are known by their term under any scheme;
  // the worksheet entry only under the family's own scheme.
  ADEntryBase::registerEntryClass(ADEntrySpreadsheet::adClass(), nullptr, kADSpreadsheetKindSpreadsheet);
  ADEntryBase::registerEntryClass(ADEntryWorksheet::adClass(), kADSpreadsheetCategoryScheme, kADSpreadsheetKindWorksheet);
  ADEntryBase::registerEntryClass(ADEntrySpreadsheetCell::adClass(), nullptr, kADSpreadsheetKindCell);
  ADEntryBase::registerEntryClass(ADEntrySpreadsheetList::adClass(), nullptr, kADSpreadsheetKindList);
  ADEntryBase::registerEntryClass(ADEntrySpreadsheetRecord::adClass());
  ADEntryBase::registerEntryClass(ADEntrySpreadsheetTable::adClass());
  ADFeedBase::registerFeedClass(ADFeedSpreadsheet::adClass(), nullptr, kADSpreadsheetKindSpreadsheet);
  ADFeedBase::registerFeedClass(ADFeedWorksheet::adClass(), nullptr, kADSpreadsheetKindWorksheet);
  ADFeedBase::registerFeedClass(ADFeedSpreadsheetCell::adClass(), nullptr, kADSpreadsheetKindCell);
  ADFeedBase::registerFeedClass(ADFeedSpreadsheetList::adClass(), nullptr, kADSpreadsheetKindList);
  ADFeedBase::registerFeedClass(ADFeedSpreadsheetRecord::adClass());
  ADFeedBase::registerFeedClass(ADFeedSpreadsheetTable::adClass());
}

namespace {
std::shared_ptr<ADCategory> sheetCategory(const char* term) {
  return ADCategory::categoryWithScheme(std::string(kADSpreadsheetCategoryScheme), std::string(term));
}

// A new object with the family's namespaces and, where given, its category.
template <typename T>
std::shared_ptr<T> makeSheetObject(const char* term) {
  auto object = ADObjectWithNamespaces<T>(ADSpreadsheetConstants::spreadsheetNamespaces());
  if (term) object->addObject(sheetCategory(term), ADCategory::adClass());
  return object;
}

// The content's source for Atom-feed content, else the link with the rel.
std::optional<std::string> feedURLFromEntry(const ADEntryBase& entry, const char* rel) {
  auto content = entry.content();
  if (content && content->type() && content->type()->rfind("application/atom+xml", 0) == 0) return content->sourceURL();
  auto link = entry.linkWithRelAttributeValue(rel);
  return link ? link->href() : std::nullopt;
}

void addIntAttribute(xmlNode* element, int value, const char* name) {
  ADObject::addToElement(element, std::to_string(value), name);
}
}  // namespace

// --- Cell ---

std::shared_ptr<ADSpreadsheetCell> ADSpreadsheetCell::cellWithRow(int row, int column,
                                                                  const std::optional<std::string>& inputString,
                                                                  std::optional<double> numericValue,
                                                                  const std::optional<std::string>& resultString) {
  auto cell = std::make_shared<ADSpreadsheetCell>();
  cell->row = row;
  cell->column = column;
  cell->inputString = inputString;
  cell->numericValue = numericValue;
  cell->resultString = resultString;
  return cell;
}

void ADSpreadsheetCell::initWithXMLElement(const xmlNode* element, const ADObject* parent) {
  ADObject::initWithXMLElement(element, parent);
  row = intNumberForAttributeName("row", element).value_or(0);
  column = intNumberForAttributeName("col", element).value_or(0);
  inputString = stringForAttributeName("inputValue", element);
  numericValue = doubleNumberForAttributeName("numericValue", element);
  resultString = stringValueFromElement(element);
}

ADXMLNode ADSpreadsheetCell::XMLElement() const {
  ADXMLNode node = XMLElementWithExtensionsAndDefaultName(std::string("gs:cell"));
  if (row >= 1) addIntAttribute(node.get(), row, "row");
  if (column >= 1) addIntAttribute(node.get(), column, "col");
  addToElement(node.get(), inputString, "inputValue");
  if (numericValue) addToElement(node.get(), ADNumberString(*numericValue), "numericValue");
  if (resultString && !resultString->empty()) xmlAddChild(node.get(), xmlNewText(BAD_CAST resultString->c_str()));
  return node;
}

bool ADSpreadsheetCell::isEqual(const ADObject& other) const {
  if (this == &other) return true;
  auto* cell = dynamic_cast<const ADSpreadsheetCell*>(&other);
  if (!cell || !ADObject::isEqual(other)) return false;
  return row == cell->row && column == cell->column && inputString == cell->inputString &&
         numericValue == cell->numericValue && resultString == cell->resultString;
}

// --- Counts ---

void ADRowColumnCount::initWithXMLElement(const xmlNode* element, const ADObject* parent) {
  ADObject::initWithXMLElement(element, parent);
  const std::string text = stringValueFromElement(element);
  count = text.empty() ? 0 : std::atoi(text.c_str());
}

ADXMLNode ADRowColumnCount::XMLElement() const {
  ADXMLNode node = XMLElementWithExtensionsAndDefaultName(std::string("gs:count"));
  if (count >= 0) xmlAddChild(node.get(), xmlNewText(BAD_CAST std::to_string(count).c_str()));
  return node;
}

bool ADRowColumnCount::isEqual(const ADObject& other) const {
  return ADObject::isEqual(other) && count == static_cast<const ADRowColumnCount&>(other).count;
}

std::shared_ptr<ADRowCount> ADRowCount::rowCountWithInt(int count) {
  auto c = std::make_shared<ADRowCount>();
  c->count = count;
  return c;
}

std::shared_ptr<ADColumnCount> ADColumnCount::columnCountWithInt(int count) {
  auto c = std::make_shared<ADColumnCount>();
  c->count = count;
  return c;
}

// --- List columns ---

std::shared_ptr<ADSpreadsheetCustomElement> ADSpreadsheetCustomElement::elementWithName(
    const std::string& name, const std::optional<std::string>& value) {
  auto e = std::make_shared<ADSpreadsheetCustomElement>();
  e->name = name;
  e->stringValue = value;
  e->setElementName(std::string(kADNamespaceSpreadsheetExtendedPrefix) + ":" + name);
  return e;
}

void ADSpreadsheetCustomElement::initWithXMLElement(const xmlNode* element, const ADObject* parent) {
  ADObject::initWithXMLElement(element, parent);
  name = std::string(ad_xml::text(element->name));
  stringValue = stringValueFromElement(element);
}

ADXMLNode ADSpreadsheetCustomElement::XMLElement() const {
  ADXMLNode node = ADObject::XMLElement();
  if (stringValue) xmlAddChild(node.get(), xmlNewText(BAD_CAST stringValue->c_str()));
  return node;
}

bool ADSpreadsheetCustomElement::isEqual(const ADObject& other) const {
  if (!ADObject::isEqual(other)) return false;
  auto& e = static_cast<const ADSpreadsheetCustomElement&>(other);
  return name == e.name && stringValue == e.stringValue;
}

// --- Records and tables ---

void ADSpreadsheetField::addParseDeclarations() {
  addLocalAttributeDeclarations({"name", "index", "formula"});
  addContentValueDeclaration();
}

std::shared_ptr<ADSpreadsheetField> ADSpreadsheetField::fieldWithName(const std::optional<std::string>& name,
                                                                      const std::optional<std::string>& value) {
  auto f = std::make_shared<ADSpreadsheetField>();
  f->setName(name);
  f->setValue(value);
  return f;
}

void ADSpreadsheetColumn::addParseDeclarations() { addLocalAttributeDeclarations({"name", "index"}); }

std::shared_ptr<ADSpreadsheetColumn> ADSpreadsheetColumn::columnWithIndexString(const std::optional<std::string>& index,
                                                                                const std::optional<std::string>& name) {
  auto c = std::make_shared<ADSpreadsheetColumn>();
  c->setStringValue(index, "index");
  c->setStringValue(name, "name");
  return c;
}

void ADSpreadsheetData::addParseDeclarations() { addLocalAttributeDeclarations({"startRow", "numRows", "insertionMode"}); }

void ADSpreadsheetData::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADSpreadsheetColumn::adClass());
}

std::shared_ptr<ADSpreadsheetData> ADSpreadsheetData::spreadsheetDataWithStartIndex(int startIndex, int numberOfRows,
                                                                                    const std::optional<std::string>& mode) {
  auto d = std::make_shared<ADSpreadsheetData>();
  d->setStartIndex(startIndex);
  d->setNumberOfRows(numberOfRows);
  d->setInsertionMode(mode);
  return d;
}

// --- Entries ---

std::shared_ptr<ADEntrySpreadsheet> ADEntrySpreadsheet::spreadsheetEntry() {
  return makeSheetObject<ADEntrySpreadsheet>(kADSpreadsheetKindSpreadsheet);
}

std::optional<std::string> ADEntrySpreadsheet::worksheetsFeedURL() const {
  return feedURLFromEntry(*this, kADSpreadsheetRelWorksheetsFeed);
}

void ADEntryWorksheet::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), {&ADColumnCount::adClass(), &ADRowCount::adClass()});
}

std::shared_ptr<ADEntryWorksheet> ADEntryWorksheet::worksheetEntry() {
  auto entry = makeSheetObject<ADEntryWorksheet>(kADSpreadsheetKindWorksheet);
  entry->setRowCount(100);
  entry->setColumnCount(20);
  return entry;
}

namespace {
template <typename T>
int countOf(const ADObject& object) {
  auto c = object.objectFor<T>();
  return c ? c->count : 0;
}
}  // namespace

int ADEntryWorksheet::rowCount() const { return countOf<ADRowCount>(*this); }
void ADEntryWorksheet::setRowCount(int count) { setObject(ADRowCount::rowCountWithInt(count), ADRowCount::adClass()); }
int ADEntryWorksheet::columnCount() const { return countOf<ADColumnCount>(*this); }
void ADEntryWorksheet::setColumnCount(int count) {
  setObject(ADColumnCount::columnCountWithInt(count), ADColumnCount::adClass());
}
std::optional<std::string> ADEntryWorksheet::listFeedURL() const { return feedURLFromEntry(*this, kADSpreadsheetRelListFeed); }

void ADEntrySpreadsheetCell::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADSpreadsheetCell::adClass());
}

std::shared_ptr<ADEntrySpreadsheetCell> ADEntrySpreadsheetCell::spreadsheetCellEntryWithCell(
    std::shared_ptr<ADSpreadsheetCell> cell) {
  auto entry = makeSheetObject<ADEntrySpreadsheetCell>(kADSpreadsheetKindCell);
  entry->setCell(std::move(cell));
  return entry;
}

void ADEntrySpreadsheetList::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADSpreadsheetCustomElement::adClass());
}

std::shared_ptr<ADEntrySpreadsheetList> ADEntrySpreadsheetList::listEntry() {
  return makeSheetObject<ADEntrySpreadsheetList>(kADSpreadsheetKindList);
}

std::shared_ptr<ADSpreadsheetCustomElement> ADEntrySpreadsheetList::customElementForName(const std::string& name) const {
  for (const auto& e : customElements())
    if (e->name && strcasecmp(e->name->c_str(), name.c_str()) == 0) return e;
  return nullptr;
}

void ADEntrySpreadsheetList::setCustomElement(std::shared_ptr<ADSpreadsheetCustomElement> element) {
  if (!element) return;
  auto old = customElementForName(element->name.value_or(""));
  if (old == element) return;
  if (old) {
    auto all = customElements();
    std::erase(all, old);
    setCustomElements(all);
  }
  addObject(std::move(element), ADSpreadsheetCustomElement::adClass());
}

std::map<std::string, std::shared_ptr<ADSpreadsheetCustomElement>> ADEntrySpreadsheetList::customElementDictionary() const {
  std::map<std::string, std::shared_ptr<ADSpreadsheetCustomElement>> out;
  for (const auto& e : customElements()) out[e->name.value_or("")] = e;
  return out;
}

void ADEntrySpreadsheetRecord::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADSpreadsheetField::adClass());
}

std::shared_ptr<ADEntrySpreadsheetRecord> ADEntrySpreadsheetRecord::recordEntry() {
  return makeSheetObject<ADEntrySpreadsheetRecord>(nullptr);
}

void ADEntrySpreadsheetTable::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(
      adClass(), {&ADSpreadsheetData::adClass(), &ADSpreadsheetHeader::adClass(), &ADWorksheetName::adClass()});
}

std::shared_ptr<ADEntrySpreadsheetTable> ADEntrySpreadsheetTable::tableEntry() {
  return makeSheetObject<ADEntrySpreadsheetTable>(nullptr);
}

// --- Feeds ---

#define SHEET_FEED(Cls, factory, term)                                                      \
  std::shared_ptr<Cls> Cls::factory() { return makeSheetObject<Cls>(term); }                \
  fd::Expected<std::shared_ptr<Cls>> Cls::factory##WithXMLData(std::string_view bytes) {   \
    return ADFeedWithXMLData<Cls>(bytes);                                                   \
  }
SHEET_FEED(ADFeedSpreadsheet, spreadsheetFeed, kADSpreadsheetKindSpreadsheet)
SHEET_FEED(ADFeedWorksheet, worksheetFeed, kADSpreadsheetKindWorksheet)
SHEET_FEED(ADFeedSpreadsheetCell, spreadsheetCellFeed, kADSpreadsheetKindCell)
SHEET_FEED(ADFeedSpreadsheetList, spreadsheetListFeed, kADSpreadsheetKindList)
SHEET_FEED(ADFeedSpreadsheetRecord, spreadsheetRecordFeed, nullptr)
SHEET_FEED(ADFeedSpreadsheetTable, spreadsheetTableFeed, nullptr)
#undef SHEET_FEED

void ADFeedSpreadsheetCell::addExtensionDeclarations() {
  ADFeedBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), {&ADColumnCount::adClass(), &ADRowCount::adClass()});
}

int ADFeedSpreadsheetCell::rowCount() const { return countOf<ADRowCount>(*this); }
int ADFeedSpreadsheetCell::columnCount() const { return countOf<ADColumnCount>(*this); }
