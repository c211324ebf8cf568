#pragma once
// The finance family: portfolios, the positions held in them and the
// transactions of each position, with performance figures and money amounts
// in up to two currencies.
#include <optional>
#include <string>
#include <vector>

#include "atomdata/ADConstants.h"
#include "atomdata/ADQuery.h"
#include "atomdata/ADService.h"
#include "atomdata/gd/ADGDElements.h"

inline constexpr const char kADNamespaceFinance[] = AD_SCHEMA_ROOT "/finance/2007";
inline constexpr const char kADNamespaceFinancePrefix[] = "gf";
inline constexpr const char kADFinanceServiceVersion[] = "2.0";
inline constexpr const char kADFinanceKindPortfolio[] = AD_SCHEMA_ROOT "/finance/2007#portfolio";
inline constexpr const char kADFinanceKindPosition[] = AD_SCHEMA_ROOT "/finance/2007#position";
inline constexpr const char kADFinanceKindTransaction[] = AD_SCHEMA_ROOT "/finance/2007#transaction";

// The same amount in one or two currencies: the first money is the primary one.
class ADMoneyElementBase : public ADObject {
  AD_CLASS(ADMoneyElementBase)
  void addExtensionDeclarations() override;
  template <typename T = ADMoneyElementBase>
  static std::shared_ptr<T> moneyGroupWithMoney(std::shared_ptr<ADMoney> money) {
    auto group = std::make_shared<T>();
    group->addMoney(std::move(money));
    return group;
  }
  AD_OBJECT_CHILDREN(ADMoney, moneys, Moneys, Money)
  std::shared_ptr<ADMoney> moneyWithPrimaryCurrency() const;
  std::shared_ptr<ADMoney> moneyWithSecondaryCurrency() const;
};
#define AD_MONEY_GROUP(Cls) \
  class Cls : public ADMoneyElementBase { AD_CLASS(Cls) };
AD_MONEY_GROUP(ADCommission)
AD_MONEY_GROUP(ADCostBasis)
AD_MONEY_GROUP(ADMarketValue)
AD_MONEY_GROUP(ADGain)
AD_MONEY_GROUP(ADDaysGain)
AD_MONEY_GROUP(ADPrice)
#undef AD_MONEY_GROUP

// Number attributes, written as the number's text; nullopt removes them.
#define AD_FINANCE_NUMBER(get, Set, name, reader)                             \
  std::optional<double> get() const { return reader(name); }                  \
  void set##Set(std::optional<double> v) { setNumberValue(v, name); }
#define AD_FINANCE_STRING(get, Set, name)                                               \
  std::optional<std::string> get() const { return stringValueForAttribute(name); }      \
  void set##Set(const std::optional<std::string>& v) { setStringValue(v, name); }

class ADFinanceSymbol : public ADObject {
  AD_CLASS(ADFinanceSymbol)
  void addParseDeclarations() override { addLocalAttributeDeclarations({"symbol", "exchange", "fullName"}); }
  static std::shared_ptr<ADFinanceSymbol> symbolWithSymbol(const std::optional<std::string>& symbol,
                                                           const std::optional<std::string>& fullName,
                                                           const std::optional<std::string>& exchange);
  AD_FINANCE_STRING(symbol, Symbol, "symbol")
  AD_FINANCE_STRING(exchange, Exchange, "exchange")
  AD_FINANCE_STRING(fullName, FullName, "fullName")
};

class ADFinanceTransactionData : public ADObject {
  AD_CLASS(ADFinanceTransactionData)
  void addParseDeclarations() override { addLocalAttributeDeclarations({"type", "shares", "date", "notes"}); }
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADFinanceTransactionData> transactionDataWithType(const std::optional<std::string>& type);
  AD_FINANCE_STRING(type, Type, "type")
  AD_FINANCE_NUMBER(shares, Shares, "shares", decimalNumberForAttribute)
  std::optional<ADDateTime> date() const { return dateTimeForAttribute("date"); }
  void setDate(const std::optional<ADDateTime>& v) { setDateTimeValue(v, "date"); }
  AD_FINANCE_STRING(notes, Notes, "notes")
  AD_OBJECT_CHILD(ADCommission, commission, Commission)
  AD_OBJECT_CHILD(ADPrice, price, Price)
};

class ADPortfolioBase : public ADObject {
  AD_CLASS(ADPortfolioBase)
  void addParseDeclarations() override;
  void addExtensionDeclarations() override;
  AD_FINANCE_NUMBER(gainPercentage, GainPercentage, "gainPercentage", doubleNumberForAttribute)
  AD_FINANCE_NUMBER(return1w, Return1w, "return1w", decimalNumberForAttribute)
  AD_FINANCE_NUMBER(return4w, Return4w, "return4w", decimalNumberForAttribute)
  AD_FINANCE_NUMBER(return3m, Return3m, "return3m", decimalNumberForAttribute)
  AD_FINANCE_NUMBER(return1y, Return1y, "return1y", decimalNumberForAttribute)
  AD_FINANCE_NUMBER(return3y, Return3y, "return3y", decimalNumberForAttribute)
  AD_FINANCE_NUMBER(return5y, Return5y, "return5y", decimalNumberForAttribute)
  AD_FINANCE_NUMBER(returnOverall, ReturnOverall, "returnOverall", decimalNumberForAttribute)
  AD_FINANCE_NUMBER(returnYTD, ReturnYTD, "returnYTD", decimalNumberForAttribute)
  AD_OBJECT_CHILD(ADCostBasis, costBasis, CostBasis)
  AD_OBJECT_CHILD(ADDaysGain, daysGain, DaysGain)
  AD_OBJECT_CHILD(ADGain, gain, Gain)
  AD_OBJECT_CHILD(ADMarketValue, marketValue, MarketValue)
};

class ADPortfolioData : public ADPortfolioBase {
  AD_CLASS(ADPortfolioData)
  void addParseDeclarations() override;
  static std::shared_ptr<ADPortfolioData> portfolioData() { return std::make_shared<ADPortfolioData>(); }
  AD_FINANCE_STRING(currencyCode, CurrencyCode, "currencyCode")
};

class ADPositionData : public ADPortfolioBase {
  AD_CLASS(ADPositionData)
  void addParseDeclarations() override;
  static std::shared_ptr<ADPositionData> positionData() { return std::make_shared<ADPositionData>(); }
  AD_FINANCE_NUMBER(shares, Shares, "shares", decimalNumberForAttribute)
};
#undef AD_FINANCE_NUMBER
#undef AD_FINANCE_STRING

class ADEntryFinancePortfolio : public ADEntryBase {
  AD_CLASS(ADEntryFinancePortfolio)
  // Base namespaces plus gf.
  static ADNamespaces financeNamespaces();
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntryFinancePortfolio> portfolioEntry();
  AD_OBJECT_CHILD(ADPortfolioData, portfolioData, PortfolioData)
  AD_OBJECT_CHILD(ADFeedLink, feedLink, FeedLink)
  // The feed of the portfolio's positions; nullopt without a link or href.
  std::optional<std::string> positionURL() const;
};

class ADEntryFinancePosition : public ADEntryBase {
  AD_CLASS(ADEntryFinancePosition)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntryFinancePosition> positionEntry();
  AD_OBJECT_CHILD(ADPositionData, positionData, PositionData)
  AD_OBJECT_CHILD(ADFinanceSymbol, symbol, Symbol)
  AD_OBJECT_CHILD(ADFeedLink, feedLink, FeedLink)
  // The feed of the position's transactions; nullopt without a link or href.
  std::optional<std::string> transactionURL() const;
};

class ADEntryFinanceTransaction : public ADEntryBase {
  AD_CLASS(ADEntryFinanceTransaction)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntryFinanceTransaction> transactionEntry();
  AD_OBJECT_CHILD(ADFinanceTransactionData, transactionData, TransactionData)
};

#define AD_FINANCE_FEED(Cls, Entry, factory)                                     \
  class Cls : public ADFeedBase {                                                 \
    AD_CLASS(Cls)                                                                 \
    const ADClass* classForEntries() const override { return &Entry::adClass(); } \
    static std::shared_ptr<Cls> factory();                                        \
  };
AD_FINANCE_FEED(ADFeedFinancePortfolio, ADEntryFinancePortfolio, portfolioFeed)
AD_FINANCE_FEED(ADFeedFinancePosition, ADEntryFinancePosition, positionFeed)
AD_FINANCE_FEED(ADFeedFinanceTransaction, ADEntryFinanceTransaction, transactionFeed)
#undef AD_FINANCE_FEED

class ADFinanceConstants {
 public:
  static void registerClasses();
};

class ADQueryFinance : public ADQuery {
 public:
  using ADQuery::ADQuery;
  static std::shared_ptr<ADQueryFinance> financeQueryWithFeedURL(std::string url) {
    return std::make_shared<ADQueryFinance>(std::move(url));
  }
  bool shouldIncludeReturns() const { return boolValueForParameterWithName("returns", false); }
  void setShouldIncludeReturns(bool v) { addCustomParameterWithNameBoolValueDefaultValue("returns", v, false); }
  bool shouldIncludePositions() const { return boolValueForParameterWithName("positions", false); }
  void setShouldIncludePositions(bool v) { addCustomParameterWithNameBoolValueDefaultValue("positions", v, false); }
  bool shouldIncludeTransactions() const { return boolValueForParameterWithName("transactions", false); }
  void setShouldIncludeTransactions(bool v) { addCustomParameterWithNameBoolValueDefaultValue("transactions", v, false); }
};

class ADServiceFinance : public ADServiceAccount {
 public:
  static constexpr const char kRootURLString[] = "https://finance.flipdesk.net/finance/feeds/";
  std::string serviceID() const override { return "finance"; }
  std::string serviceRootURLString() const override { return kRootURLString; }
  std::string defaultServiceVersion() const override { return kADFinanceServiceVersion; }
  ADNamespaces standardServiceNamespaces() const override { return ADEntryFinancePortfolio::financeNamespaces(); }
  static std::string portfolioFeedURLForUserID(const std::string& userID);
};
