#pragma once
// The spreadsheet family: spreadsheets, worksheets, cells, list rows with
// free-named columns, tables and records.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "atomdata/ADConstants.h"
#include "atomdata/ADQuery.h"
#include "atomdata/ADService.h"

inline constexpr const char kADNamespaceSpreadsheet[] = AD_SCHEMA_ROOT "/spreadsheets/2006";
inline constexpr const char kADNamespaceSpreadsheetPrefix[] = "gs";
inline constexpr const char kADNamespaceSpreadsheetExtended[] = AD_SCHEMA_ROOT "/spreadsheets/2006/extended";
inline constexpr const char kADNamespaceSpreadsheetExtendedPrefix[] = "gsx";
inline constexpr const char kADNamespaceVisualization[] = AD_SCHEMA_ROOT "/visualization/2008";
inline constexpr const char kADNamespaceVisualizationPrefix[] = "gviz";
inline constexpr const char kADSpreadsheetServiceVersion[] = "3.0";
// The category scheme of the family is its namespace.
inline constexpr const char* kADSpreadsheetCategoryScheme = kADNamespaceSpreadsheet;
inline constexpr const char kADSpreadsheetKindSpreadsheet[] = AD_SCHEMA_ROOT "/spreadsheets/2006#spreadsheet";
inline constexpr const char kADSpreadsheetKindWorksheet[] = AD_SCHEMA_ROOT "/spreadsheets/2006#worksheet";
inline constexpr const char kADSpreadsheetKindCell[] = AD_SCHEMA_ROOT "/spreadsheets/2006#cell";
inline constexpr const char kADSpreadsheetKindList[] = AD_SCHEMA_ROOT "/spreadsheets/2006#list";
inline constexpr const char kADSpreadsheetKindRecord[] = AD_SCHEMA_ROOT "/spreadsheets/2006#record";
inline constexpr const char kADSpreadsheetKindTable[] = AD_SCHEMA_ROOT "/spreadsheets/2006#table";
inline constexpr const char kADSpreadsheetRelWorksheetsFeed[] = AD_SCHEMA_ROOT "/spreadsheets/2006#worksheetsfeed";
inline constexpr const char kADSpreadsheetRelTablesFeed[] = AD_SCHEMA_ROOT "/spreadsheets/2006#tablesfeed";
inline constexpr const char kADSpreadsheetRelCellsFeed[] = AD_SCHEMA_ROOT "/spreadsheets/2006#cellsfeed";
inline constexpr const char kADSpreadsheetRelListFeed[] = AD_SCHEMA_ROOT "/spreadsheets/2006#listfeed";
inline constexpr const char kADSpreadsheetRelSource[] = AD_SCHEMA_ROOT "/spreadsheets/2006#source";

class ADSpreadsheetConstants {
 public:
  // Base namespaces plus gs, gsx and gviz.
  static ADNamespaces spreadsheetNamespaces();
  static std::string coreProtocolVersionForServiceVersion(const std::string& v);
  static void registerClasses();
};

// A cell keeps its values in fields. Made here, row and column are -1 (unset);
// a parsed cell starts at 0 and takes what its attributes say.
class ADSpreadsheetCell : public ADObject {
  AD_CLASS(ADSpreadsheetCell)
  static std::shared_ptr<ADSpreadsheetCell> cellWithRow(int row, int column, const std::optional<std::string>& inputString,
                                                        std::optional<double> numericValue,
                                                        const std::optional<std::string>& resultString);
  void initWithXMLElement(const xmlNode* element, const ADObject* parent) override;
  ADXMLNode XMLElement() const override;
  bool isEqual(const ADObject& other) const override;

  int row = -1;
  int column = -1;
  std::optional<std::string> inputString;  // the formula or text as typed
  std::optional<double> numericValue;
  std::optional<std::string> resultString;  // the computed value
};

// A row or column count, written as the element's text when it is 0 or more.
class ADRowColumnCount : public ADObject {
  AD_CLASS(ADRowColumnCount)
  void initWithXMLElement(const xmlNode* element, const ADObject* parent) override;
  ADXMLNode XMLElement() const override;
  bool isEqual(const ADObject& other) const override;
  int count = -1;
};
class ADRowCount : public ADRowColumnCount {
  AD_CLASS(ADRowCount)
  static std::shared_ptr<ADRowCount> rowCountWithInt(int count);
};
class ADColumnCount : public ADRowColumnCount {
  AD_CLASS(ADColumnCount)
  static std::shared_ptr<ADColumnCount> columnCountWithInt(int count);
};

// A column of a list row: a gsx element named by the column.
class ADSpreadsheetCustomElement : public ADObject {
  AD_CLASS(ADSpreadsheetCustomElement)
  static std::shared_ptr<ADSpreadsheetCustomElement> elementWithName(const std::string& name,
                                                                     const std::optional<std::string>& value);
  void initWithXMLElement(const xmlNode* element, const ADObject* parent) override;
  ADXMLNode XMLElement() const override;
  bool isEqual(const ADObject& other) const override;
  // Changing the name does not rename the element.
  std::optional<std::string> name;
  std::optional<std::string> stringValue;
};

class ADSpreadsheetField : public ADObject {
  AD_CLASS(ADSpreadsheetField)
  void addParseDeclarations() override;
  static std::shared_ptr<ADSpreadsheetField> fieldWithName(const std::optional<std::string>& name,
                                                           const std::optional<std::string>& value);
  std::optional<std::string> name() const { return stringValueForAttribute("name"); }
  void setName(const std::optional<std::string>& v) { setStringValue(v, "name"); }
  std::optional<std::string> indexString() const { return stringValueForAttribute("index"); }
  void setIndexString(const std::optional<std::string>& v) { setStringValue(v, "index"); }
  std::optional<std::string> formula() const { return stringValueForAttribute("formula"); }
  void setFormula(const std::optional<std::string>& v) { setStringValue(v, "formula"); }
  std::optional<std::string> value() const { return contentStringValue(); }
  void setValue(const std::optional<std::string>& v) { setContentStringValue(v); }
};

class ADSpreadsheetColumn : public ADObject {
  AD_CLASS(ADSpreadsheetColumn)
  void addParseDeclarations() override;
  static std::shared_ptr<ADSpreadsheetColumn> columnWithIndexString(const std::optional<std::string>& index,
                                                                    const std::optional<std::string>& name);
  std::optional<std::string> name() const { return stringValueForAttribute("name"); }
  std::optional<std::string> indexString() const { return stringValueForAttribute("index"); }
};

class ADSpreadsheetData : public ADObject {
  AD_CLASS(ADSpreadsheetData)
  void addParseDeclarations() override;
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADSpreadsheetData> spreadsheetDataWithStartIndex(int startIndex, int numberOfRows,
                                                                          const std::optional<std::string>& mode);
  std::optional<int> startIndex() const { return intNumberForAttribute("startRow"); }
  void setStartIndex(std::optional<int> v) { setNumberValue(v, "startRow"); }
  std::optional<int> numberOfRows() const { return intNumberForAttribute("numRows"); }
  void setNumberOfRows(std::optional<int> v) { setNumberValue(v, "numRows"); }
  std::optional<std::string> insertionMode() const { return stringValueForAttribute("insertionMode"); }
  void setInsertionMode(const std::optional<std::string>& v) { setStringValue(v, "insertionMode"); }
  AD_OBJECT_CHILDREN(ADSpreadsheetColumn, columns, Columns, Column)
};

class ADSpreadsheetHeader : public ADValueConstruct {
  AD_CLASS(ADSpreadsheetHeader)
  std::optional<std::string> attributeName() const override { return std::string("row"); }
  static std::shared_ptr<ADSpreadsheetHeader> headerWithRow(int row) { return valueWithInt<ADSpreadsheetHeader>(row); }
  std::optional<int> row() const { return intNumberValue(); }
  void setRow(std::optional<int> v) { setDoubleValue(v); }
};

class ADWorksheetName : public ADValueConstruct {
  AD_CLASS(ADWorksheetName)
  std::optional<std::string> attributeName() const override { return std::string("name"); }
  static std::shared_ptr<ADWorksheetName> worksheetNameWithString(const std::optional<std::string>& s) {
    return valueWithString<ADWorksheetName>(s);
  }
};

// --- Entries. The category a factory adds belongs only to objects made
// here; a parsed entry keeps exactly the categories its XML holds. ---
class ADEntrySpreadsheet : public ADEntryBase {
  AD_CLASS(ADEntrySpreadsheet)
  static std::shared_ptr<ADEntrySpreadsheet> spreadsheetEntry();
  std::shared_ptr<ADLink> spreadsheetLink() const { return alternateLink(); }
  std::shared_ptr<ADLink> tablesFeedLink() const { return linkWithRelAttributeValue(kADSpreadsheetRelTablesFeed); }
  // The content's source when it is an Atom feed, else the worksheets feed link.
  std::optional<std::string> worksheetsFeedURL() const;
};

class ADEntryWorksheet : public ADEntryBase {
  AD_CLASS(ADEntryWorksheet)
  void addExtensionDeclarations() override;
  // Carries the worksheet category, 100 rows and 20 columns.
  static std::shared_ptr<ADEntryWorksheet> worksheetEntry();
  int rowCount() const;
  void setRowCount(int count);
  int columnCount() const;
  void setColumnCount(int count);
  std::shared_ptr<ADLink> spreadsheetLink() const { return alternateLink(); }
  std::shared_ptr<ADLink> cellsLink() const { return linkWithRelAttributeValue(kADSpreadsheetRelCellsFeed); }
  std::optional<std::string> listFeedURL() const;
};

class ADEntrySpreadsheetCell : public ADEntryBase {
  AD_CLASS(ADEntrySpreadsheetCell)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntrySpreadsheetCell> spreadsheetCellEntryWithCell(std::shared_ptr<ADSpreadsheetCell> cell);
  AD_OBJECT_CHILD(ADSpreadsheetCell, cell, Cell)
  std::shared_ptr<ADLink> sourceLink() const { return linkWithRelAttributeValue(kADSpreadsheetRelSource); }
};

class ADEntrySpreadsheetList : public ADEntryBase {
  AD_CLASS(ADEntrySpreadsheetList)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntrySpreadsheetList> listEntry();
  std::vector<std::shared_ptr<ADSpreadsheetCustomElement>> customElements() const {
    return objectsFor<ADSpreadsheetCustomElement>();
  }
  void setCustomElements(const std::vector<std::shared_ptr<ADSpreadsheetCustomElement>>& v) {
    setObjects(v, ADSpreadsheetCustomElement::adClass());
  }
  // The first column whose name equals the given one, ignoring case.
  std::shared_ptr<ADSpreadsheetCustomElement> customElementForName(const std::string& name) const;
  // Replaces the column of that name (ignoring case) and puts the new one last.
  void setCustomElement(std::shared_ptr<ADSpreadsheetCustomElement> element);
  // Exact name to column; of two columns with the same name the later wins.
  std::map<std::string, std::shared_ptr<ADSpreadsheetCustomElement>> customElementDictionary() const;
};

class ADEntrySpreadsheetRecord : public ADEntryBase {
  AD_CLASS(ADEntrySpreadsheetRecord)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntrySpreadsheetRecord> recordEntry();
  AD_OBJECT_CHILDREN(ADSpreadsheetField, fields, Fields, Field)
};

class ADEntrySpreadsheetTable : public ADEntryBase {
  AD_CLASS(ADEntrySpreadsheetTable)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntrySpreadsheetTable> tableEntry();
  AD_OBJECT_CHILD(ADSpreadsheetData, spreadsheetData, SpreadsheetData)
  AD_OBJECT_CHILD(ADSpreadsheetHeader, spreadsheetHeader, SpreadsheetHeader)
  void setSpreadsheetHeaderWithRow(int row) { setSpreadsheetHeader(ADSpreadsheetHeader::headerWithRow(row)); }
  AD_OBJECT_CHILD(ADWorksheetName, worksheetName, WorksheetName)
  void setWorksheetNameWithString(const std::optional<std::string>& s) {
    setWorksheetName(ADWorksheetName::worksheetNameWithString(s));
  }
  std::optional<std::string> recordFeedURL() const { return content() ? content()->sourceURL() : std::nullopt; }
};

// --- Feeds ---
#define AD_SPREADSHEET_FEED(Cls, Entry, factory)                                              \
  class Cls : public ADFeedBase {                                                              \
    AD_CLASS(Cls)                                                                              \
    const ADClass* classForEntries() const override { return &Entry::adClass(); }             \
    static std::shared_ptr<Cls> factory();                                                     \
    static fd::Expected<std::shared_ptr<Cls>> factory##WithXMLData(std::string_view bytes);    \
  };
AD_SPREADSHEET_FEED(ADFeedSpreadsheet, ADEntrySpreadsheet, spreadsheetFeed)
AD_SPREADSHEET_FEED(ADFeedWorksheet, ADEntryWorksheet, worksheetFeed)
AD_SPREADSHEET_FEED(ADFeedSpreadsheetList, ADEntrySpreadsheetList, spreadsheetListFeed)
AD_SPREADSHEET_FEED(ADFeedSpreadsheetRecord, ADEntrySpreadsheetRecord, spreadsheetRecordFeed)
AD_SPREADSHEET_FEED(ADFeedSpreadsheetTable, ADEntrySpreadsheetTable, spreadsheetTableFeed)
#undef AD_SPREADSHEET_FEED

class ADFeedSpreadsheetCell : public ADFeedBase {
  AD_CLASS(ADFeedSpreadsheetCell)
  void addExtensionDeclarations() override;
  const ADClass* classForEntries() const override { return &ADEntrySpreadsheetCell::adClass(); }
  static std::shared_ptr<ADFeedSpreadsheetCell> spreadsheetCellFeed();
  static fd::Expected<std::shared_ptr<ADFeedSpreadsheetCell>> spreadsheetCellFeedWithXMLData(std::string_view bytes);
  int rowCount() const;
  int columnCount() const;
};

class ADQuerySpreadsheet : public ADQuery {
 public:
  using ADQuery::ADQuery;
  static std::shared_ptr<ADQuerySpreadsheet> spreadsheetQueryWithFeedURL(std::string url) {
    return std::make_shared<ADQuerySpreadsheet>(std::move(url));
  }
  std::optional<std::string> titleQuery() const { return valueForParameterWithName("title"); }
  void setTitleQuery(const std::optional<std::string>& v) { addCustomParameterWithName("title", v); }
  bool isTitleQueryExact() const { return boolValueForParameterWithName("title-exact", false); }
  void setIsTitleQueryExact(bool v) { addCustomParameterWithNameBoolValueDefaultValue("title-exact", v, false); }
  std::optional<std::string> spreadsheetQuery() const { return valueForParameterWithName("sq"); }
  void setSpreadsheetQuery(const std::optional<std::string>& v) { addCustomParameterWithName("sq", v); }
  bool isReverseSort() const { return boolValueForParameterWithName("reverse", false); }
  void setIsReverseSort(bool v) { addCustomParameterWithNameBoolValueDefaultValue("reverse", v, false); }
  // Row and column bounds: 0 or less removes the parameter; a missing one reads 0.
  long minimumRow() const { return positiveValueForParameterWithName("min-row"); }
  void setMinimumRow(long v) { addCustomParameterWithNamePositiveValue("min-row", v); }
  long maximumRow() const { return positiveValueForParameterWithName("max-row"); }
  void setMaximumRow(long v) { addCustomParameterWithNamePositiveValue("max-row", v); }
  long minimumColumn() const { return positiveValueForParameterWithName("min-col"); }
  void setMinimumColumn(long v) { addCustomParameterWithNamePositiveValue("min-col", v); }
  long maximumColumn() const { return positiveValueForParameterWithName("max-col"); }
  void setMaximumColumn(long v) { addCustomParameterWithNamePositiveValue("max-col", v); }
  std::optional<std::string> range() const { return valueForParameterWithName("range"); }
  void setRange(const std::optional<std::string>& v) { addCustomParameterWithName("range", v); }
  bool shouldReturnEmpty() const { return boolValueForParameterWithName("return-empty", false); }
  void setShouldReturnEmpty(bool v) { addCustomParameterWithNameBoolValueDefaultValue("return-empty", v, false); }
};

class ADServiceSpreadsheet : public ADServiceAccount {
 public:
  static constexpr const char kRootURLString[] = "https://spreadsheets.flipdesk.net/feeds/";
  std::string serviceID() const override { return "wise"; }
  std::string serviceRootURLString() const override { return kRootURLString; }
  std::string defaultServiceVersion() const override { return kADSpreadsheetServiceVersion; }
  ADNamespaces standardServiceNamespaces() const override { return ADSpreadsheetConstants::spreadsheetNamespaces(); }
};
