#include <gtest/gtest.h>

#include "ADFamilyTestSupport.h"
#include "atomdata/spreadsheet/ADSpreadsheet.h"

namespace {

const std::string kNS =
    "xmlns:gs=\"http://schemas.flipdesk.net/spreadsheets/2006\" "
    "xmlns:gsx=\"http://schemas.flipdesk.net/spreadsheets/2006/extended\"";
const std::string kRoot = "http://schemas.flipdesk.net/spreadsheets/2006#";
std::string sheetCategory(const std::string& kind) {
  return "<category scheme=\"http://schemas.flipdesk.net/spreadsheets/2006\" term=\"" + kRoot + kind + "\"/>";
}

class ADSpreadsheetTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ad_test::registerFamilies(); }
};

TEST_F(ADSpreadsheetTest, FeedsOfEachKindParseIntoTheirClasses) {
  struct Case {
    std::string head, entries, feedClass;
    std::vector<std::string> entryClasses;
  };
  const Case cases[] = {
      // Spreadsheets, cells and lists are known by their term under any scheme.
      {ad_test::kindCategory(kRoot + "spreadsheet"), "<entry>" + sheetCategory("spreadsheet") + "</entry>",
       "ADFeedSpreadsheet", {"ADEntrySpreadsheet"}},
      {sheetCategory("worksheet"), "<entry/>", "ADFeedWorksheet", {"ADEntryWorksheet"}},
      {sheetCategory("cell") + "<gs:rowCount>4</gs:rowCount><gs:colCount>2</gs:colCount>",
       "<entry><gs:cell row=\"1\" col=\"2\" inputValue=\"=A1\" numericValue=\"3.5\">3.5</gs:cell></entry>",
       "ADFeedSpreadsheetCell", {"ADEntrySpreadsheetCell"}},
      {sheetCategory("list"), "<entry><gsx:name>Ann</gsx:name><gsx:age>7</gsx:age></entry>", "ADFeedSpreadsheetList",
       {"ADEntrySpreadsheetList"}},
      {ad_test::kindCategory(kRoot + "record"),
       "<entry><gs:field name=\"a\" index=\"A\">1</gs:field><gs:field name=\"b\" formula=\"=1\">2</gs:field></entry>",
       "ADFeedSpreadsheetRecord", {"ADEntrySpreadsheetRecord"}},
      {ad_test::kindCategory(kRoot + "table"),
       "<entry><content type=\"application/atom+xml\" src=\"http://r.test/records\"/><gs:header row=\"2\"/>"
       "<gs:worksheet name=\"Sheet1\"/><gs:data startRow=\"3\" numRows=\"5\" insertionMode=\"insert\">"
       "<gs:column index=\"A\" name=\"x\"/></gs:data></entry>",
       "ADFeedSpreadsheetTable", {"ADEntrySpreadsheetTable"}},
  };
  for (const Case& c : cases) {
    auto feed = ad_test::parse<ADFeedBase>(ad_test::feedXML(kNS, c.head, c.entries));
    ASSERT_TRUE(feed);
    EXPECT_EQ(feed->classInfo().name, c.feedClass);
    EXPECT_EQ(ad_test::entryClassNames(*feed), c.entryClasses) << c.feedClass;
    ad_test::roundTrip(*feed);
  }
}

TEST_F(ADSpreadsheetTest, AccessorsOfParsedEntries) {
  auto cells = ad_test::parse<ADFeedSpreadsheetCell>(ad_test::feedXML(
      kNS, sheetCategory("cell") + "<gs:rowCount>4</gs:rowCount><gs:colCount>2</gs:colCount>",
      "<entry><gs:cell row=\"1\" col=\"2\" inputValue=\"=A1\" numericValue=\"3.5\">3.5</gs:cell></entry>"
      "<entry><gs:cell col=\"3\"/></entry>"));
  ASSERT_TRUE(cells);
  EXPECT_EQ(cells->rowCount(), 4);
  EXPECT_EQ(cells->columnCount(), 2);
  auto cell = std::dynamic_pointer_cast<ADEntrySpreadsheetCell>(cells->entries()[0])->cell();
  EXPECT_EQ(cell->row, 1);
  EXPECT_EQ(cell->column, 2);
  EXPECT_EQ(cell->inputString, "=A1");
  EXPECT_EQ(cell->numericValue, 3.5);
  EXPECT_EQ(cell->resultString, "3.5");
  auto bare = std::dynamic_pointer_cast<ADEntrySpreadsheetCell>(cells->entries()[1])->cell();
  EXPECT_EQ(bare->row, 0) << "a parsed cell without a row starts at 0";
  EXPECT_EQ(bare->XMLElement().XMLString().find("row="), std::string::npos);

  auto tables = ad_test::parse<ADFeedSpreadsheetTable>(ad_test::feedXML(
      kNS, ad_test::kindCategory(kRoot + "table"),
      "<entry><content type=\"application/atom+xml\" src=\"http://r.test/records\"/><gs:header row=\"2\"/>"
      "<gs:worksheet name=\"Sheet1\"/><gs:data startRow=\"3\" numRows=\"5\"><gs:column index=\"A\" name=\"x\"/></gs:data></entry>"));
  ASSERT_TRUE(tables);
  auto table = std::dynamic_pointer_cast<ADEntrySpreadsheetTable>(tables->entries()[0]);
  EXPECT_EQ(table->spreadsheetHeader()->row(), 2);
  EXPECT_EQ(table->worksheetName()->stringValue(), "Sheet1");
  EXPECT_EQ(table->spreadsheetData()->numberOfRows(), 5);
  EXPECT_EQ(table->spreadsheetData()->columns().at(0)->name(), "x");
  EXPECT_EQ(table->recordFeedURL(), "http://r.test/records");
}

TEST_F(ADSpreadsheetTest, CellsWriteOnlyTheirSetValues) {
  struct Case {
    int row, column;
    std::optional<std::string> result;
    std::string expected;
  };
  const Case cases[] = {
      {0, 0, "", "<gs:cell/>"},
      {-1, 5, std::nullopt, "<gs:cell col=\"5\"/>"},
      {2, 1, "x", "<gs:cell row=\"2\" col=\"1\">x</gs:cell>"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ADSpreadsheetCell::cellWithRow(c.row, c.column, std::nullopt, std::nullopt, c.result)->XMLElement().XMLString(),
              c.expected);
  ADSpreadsheetCell made;
  EXPECT_EQ(made.row, -1);
  EXPECT_EQ(made.column, -1);

  auto entry = ADEntrySpreadsheetCell::spreadsheetCellEntryWithCell(
      ADSpreadsheetCell::cellWithRow(3, 4, std::string("=SUM(A1:A2)"), 0.25, std::string("0.25")));
  auto again = ad_test::roundTrip(*entry);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->cell()->numericValue, 0.25);
  auto other = ADSpreadsheetCell::cellWithRow(3, 5, std::string("=SUM(A1:A2)"), 0.25, std::string("0.25"));
  EXPECT_FALSE(entry->cell()->isEqual(*other));
  EXPECT_TRUE(entry->cell()->copy()->isEqual(*entry->cell()));
}

TEST_F(ADSpreadsheetTest, NewWorksheetAndCounts) {
  auto sheet = ADEntryWorksheet::worksheetEntry();
  ASSERT_EQ(sheet->categories().size(), 1u);
  EXPECT_EQ(sheet->categories()[0]->scheme(), kADNamespaceSpreadsheet);
  EXPECT_EQ(sheet->categories()[0]->term(), kRoot + "worksheet");
  const std::string xml = sheet->XMLDocumentString();
  EXPECT_NE(xml.find("<gs:rowCount>100</gs:rowCount>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<gs:colCount>20</gs:colCount>"), std::string::npos) << xml;
  auto parsed = ad_test::parse<ADEntryWorksheet>(xml);
  ASSERT_TRUE(parsed) << "the worksheet category names the worksheet entry";
  EXPECT_EQ(parsed->rowCount(), 100);

  sheet->setRowCount(-1);
  EXPECT_NE(sheet->XMLDocumentString().find("<gs:rowCount/>"), std::string::npos);
  EXPECT_EQ(ADEntryWorksheet().rowCount(), 0) << "absent";
  EXPECT_EQ(ADRowColumnCount().XMLElement().XMLString(), "<gs:count/>");

  // Under the kind scheme the worksheet term names no entry class.
  auto plain = ad_test::parse<ADEntryBase>("<entry xmlns=\"http://www.w3.org/2005/Atom\">" +
                                          ad_test::kindCategory(kRoot + "worksheet") + "</entry>");
  ASSERT_TRUE(plain);
  EXPECT_STREQ(plain->classInfo().name, "ADEntryBase");
  EXPECT_TRUE(ADEntryWorksheet().categories().empty()) << "only the factory adds the category";
}

TEST_F(ADSpreadsheetTest, ListColumnsByName) {
  auto list = ad_test::parse<ADFeedSpreadsheetList>(
      ad_test::feedXML(kNS, sheetCategory("list"), "<entry><gsx:name>Ann</gsx:name><gsx:age>7</gsx:age></entry>"));
  ASSERT_TRUE(list);
  auto row = std::dynamic_pointer_cast<ADEntrySpreadsheetList>(list->entries()[0]);
  ASSERT_TRUE(row->customElementForName("NAME"));
  EXPECT_EQ(row->customElementForName("NAME")->stringValue, "Ann");
  row->setCustomElement(ADSpreadsheetCustomElement::elementWithName("Name", std::string("Bob")));
  auto columns = row->customElements();
  ASSERT_EQ(columns.size(), 2u);
  EXPECT_EQ(columns[0]->name, "age");
  EXPECT_EQ(columns[1]->name, "Name");
  EXPECT_EQ(row->customElementDictionary().count("Name"), 1u);
  row->setCustomElement(columns[1]);
  EXPECT_EQ(row->customElements().size(), 2u) << "the same object changes nothing";
  const std::string xml = row->XMLElement().XMLString();
  EXPECT_NE(xml.find("<gsx:Name>Bob</gsx:Name>"), std::string::npos) << xml;
  ad_test::roundTrip(*list);
}

TEST_F(ADSpreadsheetTest, FeedURLsFromEntries) {
  auto entry = ADEntrySpreadsheet::spreadsheetEntry();
  entry->addLink(ADLink::linkWithRel(std::string(kADSpreadsheetRelWorksheetsFeed), std::nullopt, std::string("http://l.test")));
  EXPECT_EQ(entry->worksheetsFeedURL(), "http://l.test");
  auto content = std::make_shared<ADEntryContent>();
  content->setType(std::string("application/atom+xml;type=feed"));
  content->setStringValue(std::nullopt);
  content->ADObject::setStringValue(std::string("http://c.test"), "src");
  entry->setContent(content);
  EXPECT_EQ(entry->worksheetsFeedURL(), "http://c.test");
  EXPECT_FALSE(ADEntryWorksheet::worksheetEntry()->listFeedURL());
}

TEST_F(ADSpreadsheetTest, QueryParameters) {
  auto q = ADQuerySpreadsheet::spreadsheetQueryWithFeedURL("http://s.test/feed");
  q->setMinimumRow(2);
  q->setMaximumColumn(9);
  q->setIsReverseSort(true);
  q->setSpreadsheetQuery(std::string("age > 5"));
  EXPECT_EQ(q->URL(), "http://s.test/feed?max-col=9&min-row=2&reverse=true&sq=age+%3E+5");
  q->setMinimumRow(0);
  EXPECT_FALSE(q->valueForParameterWithName("min-row"));
  EXPECT_EQ(q->minimumRow(), 0);
  EXPECT_EQ(ADServiceSpreadsheet().serviceID(), "wise");
  auto parsed = ADFeedWorksheet::worksheetFeedWithXMLData(ad_test::feedXML(kNS, "", "<entry/>"));
  ASSERT_TRUE(parsed.ok());
  EXPECT_EQ(ad_test::entryClassNames(**parsed), std::vector<std::string>{"ADEntryWorksheet"});
  EXPECT_FALSE(ADFeedWorksheet::worksheetFeedWithXMLData("<entry/>").ok());
}

}  // namespace
