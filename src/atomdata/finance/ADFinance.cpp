#include "atomdata/finance/ADFinance.h"

#include "atomdata/ADUtilities.h"

#define GF(name) .uri = kADNamespaceFinance, .prefix = kADNamespaceFinancePrefix, .localName = name
#define FINANCE_KIND(kind) .standardKind = kind, .serviceVersion = kADFinanceServiceVersion

AD_DEFINE_CLASS(ADMoneyElementBase, ADObject, .uri = kADNamespaceFinance, .prefix = kADNamespaceFinancePrefix)
AD_DEFINE_CLASS(ADCommission, ADMoneyElementBase, GF("commission"))
AD_DEFINE_CLASS(ADCostBasis, ADMoneyElementBase, GF("costBasis"))
AD_DEFINE_CLASS(ADMarketValue, ADMoneyElementBase, GF("marketValue"))
AD_DEFINE_CLASS(ADGain, ADMoneyElementBase, GF("gain"))
AD_DEFINE_CLASS(ADDaysGain, ADMoneyElementBase, GF("daysGain"))
AD_DEFINE_CLASS(ADPrice, ADMoneyElementBase, GF("price"))
AD_DEFINE_CLASS(ADFinanceSymbol, ADObject, GF("symbol"))
AD_DEFINE_CLASS(ADFinanceTransactionData, ADObject, GF("transactionData"))
AD_DEFINE_CLASS(ADPortfolioBase, ADObject, .uri = kADNamespaceFinance, .prefix = kADNamespaceFinancePrefix)
AD_DEFINE_CLASS(ADPortfolioData, ADPortfolioBase, GF("portfolioData"))
AD_DEFINE_CLASS(ADPositionData, ADPortfolioBase, GF("positionData"))
AD_DEFINE_CLASS(ADEntryFinancePortfolio, ADEntryBase, FINANCE_KIND(kADFinanceKindPortfolio))
AD_DEFINE_CLASS(ADEntryFinancePosition, ADEntryBase, FINANCE_KIND(kADFinanceKindPosition))
AD_DEFINE_CLASS(ADEntryFinanceTransaction, ADEntryBase, FINANCE_KIND(kADFinanceKindTransaction))
AD_DEFINE_CLASS(ADFeedFinancePortfolio, ADFeedBase, FINANCE_KIND(kADFinanceKindPortfolio))
AD_DEFINE_CLASS(ADFeedFinancePosition, ADFeedBase, FINANCE_KIND(kADFinanceKindPosition))
AD_DEFINE_CLASS(ADFeedFinanceTransaction, ADFeedBase, FINANCE_KIND(kADFinanceKindTransaction))

void ADFinanceConstants::registerClasses() {
  for (const ADClass* cls : {&ADEntryFinancePortfolio::adClass(), &ADEntryFinancePosition::adClass(),
                             &ADEntryFinanceTransaction::adClass()})
    ADEntryBase::registerEntryClass(*cls);
  for (const ADClass* cls : {&ADFeedFinancePortfolio::adClass(), &ADFeedFinancePosition::adClass(),
                             &ADFeedFinanceTransaction::adClass()})
    ADFeedBase::registerFeedClass(*cls);
}

// --- Money groups ---

void ADMoneyElementBase::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADMoney::adClass());
}

std::shared_ptr<ADMoney> ADMoneyElementBase::moneyWithPrimaryCurrency() const {
  auto all = moneys();
  return all.empty() ? nullptr : all[0];
}

std::shared_ptr<ADMoney> ADMoneyElementBase::moneyWithSecondaryCurrency() const {
  auto all = moneys();
  return all.size() < 2 ? nullptr : all[1];
}

// --- Elements ---

std::shared_ptr<ADFinanceSymbol> ADFinanceSymbol::symbolWithSymbol(const std::optional<std::string>& symbol,
                                                                   const std::optional<std::string>& fullName,
                                                                   const std::optional<std::string>& exchange) {
  auto s = std::make_shared<ADFinanceSymbol>();
  s->setSymbol(symbol);
  s->setFullName(fullName);
  s->setExchange(exchange);
  return s;
}

void ADFinanceTransactionData::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), {&ADCommission::adClass(), &ADPrice::adClass()});
}

std::shared_ptr<ADFinanceTransactionData> ADFinanceTransactionData::transactionDataWithType(
    const std::optional<std::string>& type) {
  auto d = std::make_shared<ADFinanceTransactionData>();
  d->setType(type);
  return d;
}

void ADPortfolioBase::addParseDeclarations() {
  addLocalAttributeDeclarations({"gainPercentage", "return1w", "return4w", "return3m", "return1y", "return3y",
                                 "return5y", "returnOverall", "returnYTD"});
}

void ADPortfolioBase::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(
      adClass(), {&ADCostBasis::adClass(), &ADDaysGain::adClass(), &ADGain::adClass(), &ADMarketValue::adClass()});
}

void ADPortfolioData::addParseDeclarations() {
  ADPortfolioBase::addParseDeclarations();
  addLocalAttributeDeclarations({"currencyCode"});
}

void ADPositionData::addParseDeclarations() {
  ADPortfolioBase::addParseDeclarations();
  addLocalAttributeDeclarations({"shares"});
}

// --- Entries and feeds ---

ADNamespaces ADEntryFinancePortfolio::financeNamespaces() {
  ADNamespaces namespaces{{kADNamespaceFinancePrefix, kADNamespaceFinance}};
  for (const auto& [prefix, uri] : ADEntryBase::baseADNamespaces()) namespaces[prefix] = uri;
  return namespaces;
}

namespace {
template <typename T>
std::shared_ptr<T> makeFinanceObject() {
  return ADObjectWithNamespaces<T>(ADEntryFinancePortfolio::financeNamespaces());
}

std::optional<std::string> feedLinkURL(const std::shared_ptr<ADFeedLink>& link) {
  if (!link || !link->href() || link->href()->empty()) return std::nullopt;
  return link->href();
}
}  // namespace

void ADEntryFinancePortfolio::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), {&ADPortfolioData::adClass(), &ADFeedLink::adClass()});
}

std::shared_ptr<ADEntryFinancePortfolio> ADEntryFinancePortfolio::portfolioEntry() {
  return makeFinanceObject<ADEntryFinancePortfolio>();
}

std::optional<std::string> ADEntryFinancePortfolio::positionURL() const { return feedLinkURL(feedLink()); }

void ADEntryFinancePosition::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(
      adClass(), {&ADPositionData::adClass(), &ADFinanceSymbol::adClass(), &ADFeedLink::adClass()});
}

std::shared_ptr<ADEntryFinancePosition> ADEntryFinancePosition::positionEntry() {
  return makeFinanceObject<ADEntryFinancePosition>();
}

std::optional<std::string> ADEntryFinancePosition::transactionURL() const { return feedLinkURL(feedLink()); }

void ADEntryFinanceTransaction::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADFinanceTransactionData::adClass());
}

std::shared_ptr<ADEntryFinanceTransaction> ADEntryFinanceTransaction::transactionEntry() {
  return makeFinanceObject<ADEntryFinanceTransaction>();
}

std::shared_ptr<ADFeedFinancePortfolio> ADFeedFinancePortfolio::portfolioFeed() {
  return makeFinanceObject<ADFeedFinancePortfolio>();
}
std::shared_ptr<ADFeedFinancePosition> ADFeedFinancePosition::positionFeed() {
  return makeFinanceObject<ADFeedFinancePosition>();
}
std::shared_ptr<ADFeedFinanceTransaction> ADFeedFinanceTransaction::transactionFeed() {
  return makeFinanceObject<ADFeedFinanceTransaction>();
}

std::string ADServiceFinance::portfolioFeedURLForUserID(const std::string& userID) {
  return std::string(kRootURLString) + ADUtilities::stringByURLEncodingForURI(userID) + "/portfolios";
}
