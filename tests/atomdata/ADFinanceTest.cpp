#include <gtest/gtest.h>

#include "ADFamilyTestSupport.h"
#include "atomdata/finance/ADFinance.h"

namespace {

const std::string kNS = "xmlns:gf=\"http://schemas.flipdesk.net/finance/2007\"";
const std::string kRoot = "http://schemas.flipdesk.net/finance/2007#";

class ADFinanceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ad_test::registerFamilies(); }
};

TEST_F(ADFinanceTest, FeedsOfEachLevel) {
  struct Case {
    std::string kind, body, feedClass, entryClass;
  };
  const Case cases[] = {
      {"portfolio",
       "<gf:portfolioData currencyCode=\"USD\" gainPercentage=\"0.25\" return1w=\"0.01\" returnYTD=\"-0.5\">"
       "<gf:gain><gd:money amount=\"10.5\" currencyCode=\"USD\"/><gd:money amount=\"8\" currencyCode=\"EUR\"/></gf:gain>"
       "</gf:portfolioData><gd:feedLink href=\"http://f.test/positions\"/>",
       "ADFeedFinancePortfolio", "ADEntryFinancePortfolio"},
      {"position",
       "<gf:positionData shares=\"12.345\"><gf:marketValue><gd:money amount=\"99\" currencyCode=\"USD\"/></gf:marketValue>"
       "</gf:positionData><gf:symbol symbol=\"ACME\" exchange=\"NYSE\" fullName=\"Acme Corp\"/><gd:feedLink href=\"\"/>",
       "ADFeedFinancePosition", "ADEntryFinancePosition"},
      {"transaction",
       "<gf:transactionData type=\"Buy\" shares=\"0.5\" date=\"2009-01-02T00:00:00Z\" notes=\"first\">"
       "<gf:commission><gd:money amount=\"1\" currencyCode=\"USD\"/></gf:commission>"
       "<gf:price><gd:money amount=\"20\" currencyCode=\"USD\"/></gf:price></gf:transactionData>",
       "ADFeedFinanceTransaction", "ADEntryFinanceTransaction"},
  };
  for (const Case& c : cases) {
    auto feed = ad_test::parse<ADFeedBase>(ad_test::feedXML(
        kNS, ad_test::kindCategory(kRoot + c.kind), "<entry>" + ad_test::kindCategory(kRoot + c.kind) + c.body + "</entry>"));
    ASSERT_TRUE(feed);
    EXPECT_EQ(feed->classInfo().name, c.feedClass);
    EXPECT_EQ(ad_test::entryClassNames(*feed), std::vector<std::string>{c.entryClass});
    ad_test::roundTrip(*feed);
  }
  auto portfolios = ad_test::parse<ADFeedFinancePortfolio>(
      ad_test::feedXML(kNS, ad_test::kindCategory(kRoot + "portfolio"), "<entry>" + cases[0].body + "</entry>"));
  auto portfolio = std::dynamic_pointer_cast<ADEntryFinancePortfolio>(portfolios->entries().at(0));
  auto data = portfolio->portfolioData();
  EXPECT_EQ(data->currencyCode(), "USD");
  EXPECT_EQ(data->gainPercentage(), 0.25);
  EXPECT_EQ(data->returnYTD(), -0.5);
  EXPECT_EQ(data->gain()->moneyWithPrimaryCurrency()->amount(), 10.5);
  EXPECT_EQ(data->gain()->moneyWithSecondaryCurrency()->currencyCode(), "EUR");
  EXPECT_EQ(portfolio->positionURL(), "http://f.test/positions");

  auto positions = ad_test::parse<ADFeedFinancePosition>(
      ad_test::feedXML(kNS, ad_test::kindCategory(kRoot + "position"), "<entry>" + cases[1].body + "</entry>"));
  auto position = std::dynamic_pointer_cast<ADEntryFinancePosition>(positions->entries().at(0));
  EXPECT_EQ(position->positionData()->shares(), 12.345);
  EXPECT_EQ(position->symbol()->fullName(), "Acme Corp");
  EXPECT_FALSE(position->transactionURL()) << "an empty href";
  EXPECT_FALSE(position->positionData()->marketValue()->moneyWithSecondaryCurrency()) << "one currency";
}

TEST_F(ADFinanceTest, WrittenValuesReadBack) {
  auto transaction = ADEntryFinanceTransaction::transactionEntry();
  EXPECT_EQ(transaction->namespaces().at("gf"), kADNamespaceFinance);
  auto data = ADFinanceTransactionData::transactionDataWithType(std::string("Sell"));
  data->setShares(0.1);
  data->setDate(ADDateTime::dateTimeWithRFC3339String("2009-06-07T08:09:10Z"));
  data->setPrice(ADMoneyElementBase::moneyGroupWithMoney<ADPrice>(ADMoney::moneyWithAmount(3.75, std::string("GBP"))));
  transaction->setTransactionData(data);
  EXPECT_NE(transaction->XMLDocumentString().find("shares=\"0.1\""), std::string::npos);
  auto again = ad_test::roundTrip(*transaction);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->transactionData()->shares(), 0.1);
  EXPECT_EQ(again->transactionData()->price()->moneyWithPrimaryCurrency()->amount(), 3.75);
  data->setShares(std::nullopt);
  EXPECT_FALSE(data->stringValueForAttribute("shares"));

  auto position = ADEntryFinancePosition::positionEntry();
  EXPECT_FALSE(position->transactionURL()) << "no feed link";
  position->setSymbol(ADFinanceSymbol::symbolWithSymbol(std::string("X"), std::string("X Inc"), std::string("NASDAQ")));
  auto positionData = ADPositionData::positionData();
  positionData->setReturn5y(1.5);
  position->setPositionData(positionData);
  ad_test::roundTrip(*position);
  EXPECT_FALSE(ADMoneyElementBase().moneyWithPrimaryCurrency());
}

TEST_F(ADFinanceTest, QueryAndFeedURL) {
  auto q = ADQueryFinance::financeQueryWithFeedURL("http://f.test/p");
  q->setShouldIncludeReturns(true);
  EXPECT_EQ(q->valueForParameterWithName("returns"), "true");
  q->setShouldIncludeReturns(false);
  EXPECT_FALSE(q->valueForParameterWithName("returns"));
  q->setShouldIncludePositions(true);
  EXPECT_TRUE(q->shouldIncludePositions());
  EXPECT_EQ(ADServiceFinance::portfolioFeedURLForUserID("a/b"),
            std::string(ADServiceFinance::kRootURLString) + "a%2Fb/portfolios");
  EXPECT_EQ(ADServiceFinance().serviceID(), "finance");
}

}  // namespace
