#include <gtest/gtest.h>

#include "ADFamilyTestSupport.h"
#include "atomdata/analytics/ADAnalytics.h"

using namespace ad_test;

namespace {

const std::string kAccounts = R"(<feed xmlns="http://www.w3.org/2005/Atom" xmlns:gd="http://schemas.flipdesk.net/g/2005"
      xmlns:dxp="http://schemas.flipdesk.net/analytics/2009" xmlns:ga="http://schemas.flipdesk.net/ga/2009"
      gd:kind="analytics#accounts">
  <dxp:segment id="gaid::-1" name="All Visits">
    <dxp:definition> </dxp:definition>
    <dxp:property name="ga:segmentId" value="s1"/>
  </dxp:segment>
  <entry gd:kind="analytics#account">
    <title>www.example.test</title>
    <dxp:property name="ga:accountName" value="Example"/>
    <dxp:property name="ga:currency" value="EUR"/>
    <dxp:tableId>ga:7</dxp:tableId>
    <ga:customVariable index="1" name="member" scope="visitor"/>
    <ga:goal active="true" name="Signup" number="1" value="2.5">
      <ga:destination caseSensitive="false" expression="/done" matchType="head" step1Required="true">
        <ga:step name="Form" number="1" path="/form"/>
      </ga:destination>
    </ga:goal>
    <ga:goal active="false" name="Stay" number="2" value="0.0">
      <ga:engagement comparison="&gt;" thresholdValue="8589934592" type="timeOnSite"/>
    </ga:goal>
  </entry>
</feed>)";

const std::string kData = R"(<feed xmlns="http://www.w3.org/2005/Atom" xmlns:gd="http://schemas.flipdesk.net/g/2005"
      xmlns:dxp="http://schemas.flipdesk.net/analytics/2009" gd:kind="analytics#data">
  <dxp:startDate>2009-10-01</dxp:startDate>
  <dxp:endDate>2009-10-31</dxp:endDate>
  <dxp:aggregates>
    <dxp:metric confidenceInterval="0.0" name="ga:visits" type="integer" value="1369"/>
  </dxp:aggregates>
  <dxp:dataSource>
    <dxp:property name="ga:profileId" value="7"/>
    <dxp:tableId>ga:7</dxp:tableId>
    <dxp:tableName>www.example.test</dxp:tableName>
  </dxp:dataSource>
  <entry gd:kind="analytics#datarow">
    <dxp:dimension name="ga:country" value="Iceland"/>
    <dxp:metric confidenceInterval="1.5" name="ga:visits" type="integer" value="12"/>
    <dxp:metric name="ga:visits" type="integer" value="99"/>
    <dxp:metric name="ga:bounceRate" type="percent" value="41.25"/>
  </entry>
</feed>)";

class ADAnalyticsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { registerFamilies(); }
};

}  // namespace

TEST_F(ADAnalyticsTest, AccountFeedsReadProfilesGoalsAndSegments) {
  auto feed = parse<ADFeedAnalyticsAccount>(kAccounts);
  ASSERT_TRUE(feed);
  auto account = std::dynamic_pointer_cast<ADEntryAnalyticsAccount>(feed->entries().at(0));
  ASSERT_TRUE(account);
  roundTrip(*feed, ADAnalyticsConstants::analyticsNamespaces());
  ASSERT_EQ(account->goals().size(), 2u);
  ADAnalyticsGoal& signup = *account->goals()[0];
  ADAnalyticsDestination& destination = *signup.destination();
  ADAnalyticsEngagement& engagement = *account->goals()[1]->engagement();
  ADAnalyticsSegment& segment = *feed->segments().at(0);
  EXPECT_EQ(account->analyticsPropertyWithName("ga:currency")->stringValue(), "EUR");
  EXPECT_FALSE(account->analyticsPropertyWithName("ga:none"));
  EXPECT_EQ(segment.analyticsPropertyWithName("ga:segmentId")->stringValue(), "s1");
  EXPECT_EQ(destination.steps().at(0)->path(), "/form");
  EXPECT_EQ(account->customVariables().at(0)->scope(), "visitor");

  checkAccessors<ADEntryAnalyticsAccount>(*account, {
      {"table", [](auto& e) { return e.tableID(); }, [](auto& e, const Text& v) { e.setTableID(v); }, "ga:7", "ga:8"},
      {"variable index", [](auto& e) { return text(e.customVariables().at(0)->index()); },
       [](auto& e, const Text& v) { e.customVariables().at(0)->setIndex(number(v)); }, "1", "5"},
      {"variable name", [](auto& e) { return e.customVariables().at(0)->name(); },
       [](auto& e, const Text& v) { e.customVariables().at(0)->setName(v); }, "member", "guest"},
  });
  checkAccessors<ADAnalyticsGoal>(signup, {
      {"active", [](auto& g) { return text(g.isActive()); }, [](auto& g, const Text& v) { g.setIsActive(flag(v)); },
       "true", "false"},
      {"name", [](auto& g) { return g.name(); }, [](auto& g, const Text& v) { g.setName(v); }, "Signup", "Buy"},
      {"number", [](auto& g) { return text(g.number()); }, [](auto& g, const Text& v) { g.setNumber(number(v)); }, "1",
       "4"},
      {"value", [](auto& g) { return g.stringValueForAttribute("value"); },
       [](auto& g, const Text& v) { g.setValue(std::stod(*v)); }, "2.5", "0.75"},
  });
  checkAccessors<ADAnalyticsDestination>(destination, {
      {"case", [](auto& d) { return text(d.isCaseSensitive()); },
       [](auto& d, const Text& v) { d.setIsCaseSensitive(flag(v)); }, "false", "true"},
      {"expression", [](auto& d) { return d.expression(); }, [](auto& d, const Text& v) { d.setExpression(v); }, "/done",
       "/thanks"},
      {"match", [](auto& d) { return d.matchType(); }, [](auto& d, const Text& v) { d.setMatchType(v); }, "head",
       "exact"},
      {"step 1", [](auto& d) { return text(d.isStep1Required()); },
       [](auto& d, const Text& v) { d.setIsStep1Required(flag(v)); }, "true", "false"},
      {"step", [](auto& d) { return d.steps().at(0)->name(); }, [](auto& d, const Text& v) { d.steps().at(0)->setName(v); },
       "Form", "Pay"},
  });
  checkAccessors<ADAnalyticsEngagement>(engagement, {
      {"comparison", [](auto& e) { return e.comparison(); }, [](auto& e, const Text& v) { e.setComparison(v); }, ">",
       "<"},
      {"threshold", [](auto& e) { return text(e.thresholdValue()); },
       [](auto& e, const Text& v) { e.setThresholdValue(std::stoll(*v)); }, "8589934592", "17179869184"},
      {"type", [](auto& e) { return e.type(); }, [](auto& e, const Text& v) { e.setType(v); }, "timeOnSite",
       "pagesVisited"},
  });
  checkAccessors<ADAnalyticsSegment>(segment, {
      {"name", [](auto& s) { return s.name(); }, [](auto& s, const Text& v) { s.setName(v); }, "All Visits", "New"},
      {"id", [](auto& s) { return s.analyticsID(); }, [](auto& s, const Text& v) { s.setAnalyticsID(v); }, "gaid::-1",
       "gaid::-2"},
      {"definition", [](auto& s) { return s.definition(); }, [](auto& s, const Text& v) { s.setDefinition(v); }, " ",
       "ga:visitorType==New"},
  });
  // Flags written always are written even at their default.
  auto again = roundTrip(*account, ADAnalyticsConstants::analyticsNamespaces());
  ASSERT_TRUE(again);
  const std::string written = again->XMLDocumentString();
  EXPECT_NE(written.find("active=\"false\""), std::string::npos) << written;
  EXPECT_NE(written.find("step1Required=\"false\""), std::string::npos) << written;
  roundTrip(*feed, ADAnalyticsConstants::analyticsNamespaces());
}

TEST_F(ADAnalyticsTest, DataFeedsReadRowsAggregatesAndSources) {
  auto feed = parse<ADFeedAnalyticsData>(kData);
  ASSERT_TRUE(feed);
  auto row = std::dynamic_pointer_cast<ADEntryAnalyticsData>(feed->entries().at(0));
  ASSERT_TRUE(row);
  roundTrip(*feed, ADAnalyticsConstants::analyticsNamespaces());

  // The first of two metrics with one name answers.
  EXPECT_EQ(row->metricWithName("ga:visits")->stringValue(), "12");
  EXPECT_EQ(row->metricWithName("ga:bounceRate")->doubleValue(), 41.25);
  EXPECT_EQ(row->dimensionWithName("ga:country")->stringValue(), "Iceland");
  EXPECT_FALSE(row->dimensionWithName("ga:city"));
  EXPECT_EQ(feed->aggregateGroup()->metrics().at(0)->doubleValue(), 1369);
  ADAnalyticsDataSource& source = *feed->dataSources().at(0);
  EXPECT_EQ(source.analyticsPropertyWithName("ga:profileId")->stringValue(), "7");

  checkAccessors<ADFeedAnalyticsData>(*feed, {
      {"start", [](auto& f) { return f.startDateString(); }, [](auto& f, const Text& v) { f.setStartDateString(v); },
       "2009-10-01", std::nullopt},
      {"end", [](auto& f) { return f.endDateString(); }, [](auto& f, const Text& v) { f.setEndDateString(v); },
       "2009-10-31", "2009-11-30"},
      {"table", [](auto& f) { return f.dataSources().at(0)->tableID(); },
       [](auto& f, const Text& v) { f.dataSources().at(0)->setTableID(v); }, "ga:7", "ga:9"},
      {"table name", [](auto& f) { return f.dataSources().at(0)->tableName(); },
       [](auto& f, const Text& v) { f.dataSources().at(0)->setTableName(v); }, "www.example.test", "other"},
  });
  EXPECT_FALSE(feed->objectForExtensionClass(ADAnalyticsStartDate::adClass()));
  ADAnalyticsMetric& metric = *row->metrics().at(0);
  checkAccessors<ADAnalyticsMetric>(metric, {
      {"name", [](auto& m) { return m.name(); }, [](auto& m, const Text& v) { m.setName(v); }, "ga:visits", "ga:hits"},
      {"type", [](auto& m) { return m.type(); }, [](auto& m, const Text& v) { m.setType(v); }, "integer", "currency"},
      {"value", [](auto& m) { return m.stringValue(); }, [](auto& m, const Text& v) { m.setStringValue(v); }, "12",
       "12.5"},
      {"interval", [](auto& m) { return m.stringValueForAttribute("confidenceInterval"); },
       [](auto& m, const Text& v) { m.setConfidenceInterval(std::stod(*v)); }, "1.5", "0.25"},
  });
  EXPECT_EQ(metric.doubleValue(), 12.5);
  EXPECT_EQ(metric.confidenceInterval(), 0.25);
  roundTrip(*row, ADAnalyticsConstants::analyticsNamespaces());

  // An entry marked only by its kind attribute finds its class.
  auto alone = parse<ADEntryAnalyticsData>(
      R"(<entry xmlns="http://www.w3.org/2005/Atom" xmlns:gd="http://schemas.flipdesk.net/g/2005" gd:kind="analytics#datarow"/>)");
  ASSERT_TRUE(alone);
  EXPECT_EQ(alone->kind(), "analytics#datarow");
}

TEST_F(ADAnalyticsTest, QueriesAndTheServiceThatReadsOnlyNamedClasses) {
  auto query = ADQueryAnalytics::analyticsDataQueryWithTableID(std::string("ga:7"), std::string("2009-10-01"),
                                                               std::string("2009-10-31"));
  EXPECT_EQ(query->feedURL(), ADQueryAnalytics::kDataFeedURLString);
  EXPECT_EQ(query->URL(), std::string(ADQueryAnalytics::kDataFeedURLString) +
                              "?end-date=2009-10-31&ids=ga%3A7&start-date=2009-10-01");
  checkAccessors<ADQueryAnalytics>(*query, {
      {"ids", [](auto& q) { return q.IDs(); }, [](auto& q, const Text& v) { q.setIDs(v); }, "ga:7", "ga:8"},
      {"dimensions", [](auto& q) { return q.dimensions(); }, [](auto& q, const Text& v) { q.setDimensions(v); },
       std::nullopt, "ga:country"},
      {"metrics", [](auto& q) { return q.metrics(); }, [](auto& q, const Text& v) { q.setMetrics(v); }, std::nullopt,
       "ga:visits"},
      {"start", [](auto& q) { return q.startDateString(); }, [](auto& q, const Text& v) { q.setStartDateString(v); },
       "2009-10-01", std::nullopt},
      {"end", [](auto& q) { return q.endDateString(); }, [](auto& q, const Text& v) { q.setEndDateString(v); },
       "2009-10-31", "2009-12-01"},
      {"filters", [](auto& q) { return q.filters(); }, [](auto& q, const Text& v) { q.setFilters(v); }, std::nullopt,
       "ga:country==Iceland"},
      {"sort", [](auto& q) { return q.sort(); }, [](auto& q, const Text& v) { q.setSort(v); }, std::nullopt, "-ga:visits"},
      {"segment", [](auto& q) { return q.segment(); }, [](auto& q, const Text& v) { q.setSegment(v); }, std::nullopt,
       "gaid::-1"},
  });
  EXPECT_EQ(query->URL().find("start-date"), std::string::npos);

  static_assert(!FetchesUntyped<ADServiceAnalytics>);
  static_assert(FetchesTyped<ADServiceAnalytics>);
  ADServiceAnalytics service;
  EXPECT_EQ(service.serviceID(), "analytics");
  EXPECT_EQ(service.defaultServiceVersion(), "2.1");
  EXPECT_EQ(service.serviceRootURLString().rfind("https://", 0), 0u);
  EXPECT_EQ(service.standardServiceNamespaces(), ADAnalyticsConstants::analyticsNamespaces());
  for (const ADClass* cls : {&ADEntryAnalyticsAccount::adClass(), &ADEntryAnalyticsData::adClass(),
                             &ADFeedAnalyticsAccount::adClass(), &ADFeedAnalyticsData::adClass()})
    EXPECT_EQ(cls->defaultServiceVersion(), std::string("2.1")) << cls->name;
  for (auto made : {ADEntryAnalyticsAccount::accountEntry()->namespaces(), ADEntryAnalyticsData::dataEntry()->namespaces(),
                    ADFeedAnalyticsAccount::accountFeed()->namespaces(), ADFeedAnalyticsData::dataFeed()->namespaces()})
    EXPECT_EQ(made, ADAnalyticsConstants::analyticsNamespaces());
}
