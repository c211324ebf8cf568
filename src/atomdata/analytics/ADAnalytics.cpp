#include "atomdata/analytics/ADAnalytics.h"

#define DXP(name) .uri = kADNamespaceAnalytics, .prefix = kADNamespaceAnalyticsPrefix, .localName = name
#define GA(name) .uri = kADNamespaceAnalyticsGA, .prefix = kADNamespaceAnalyticsGAPrefix, .localName = name
#define ANALYTICS_KIND(value) .kindAttributeValue = value, .serviceVersion = kADAnalyticsServiceVersion

AD_DEFINE_CLASS(ADAnalyticsProperty, ADNameValueConstruct, DXP("property"))
AD_DEFINE_CLASS(ADAnalyticsDimension, ADNameValueConstruct, DXP("dimension"))
AD_DEFINE_CLASS(ADAnalyticsTableID, ADValueElementConstruct, DXP("tableId"))
AD_DEFINE_CLASS(ADAnalyticsTableName, ADValueElementConstruct, DXP("tableName"))
AD_DEFINE_CLASS(ADAnalyticsStartDate, ADValueElementConstruct, DXP("startDate"))
AD_DEFINE_CLASS(ADAnalyticsEndDate, ADValueElementConstruct, DXP("endDate"))
AD_DEFINE_CLASS(ADAnalyticsDefinition, ADValueElementConstruct, DXP("definition"))
AD_DEFINE_CLASS(ADAnalyticsPropertyHolder, ADObject)
AD_DEFINE_CLASS(ADAnalyticsMetric, ADObject, DXP("metric"))
AD_DEFINE_CLASS(ADAnalyticsAggregateGroup, ADObject, DXP("aggregates"))
AD_DEFINE_CLASS(ADAnalyticsDataSource, ADAnalyticsPropertyHolder, DXP("dataSource"))
AD_DEFINE_CLASS(ADAnalyticsSegment, ADAnalyticsPropertyHolder, DXP("segment"))
AD_DEFINE_CLASS(ADAnalyticsCustomVariable, ADObject, GA("customVariable"))
AD_DEFINE_CLASS(ADAnalyticsGoal, ADObject, GA("goal"))
AD_DEFINE_CLASS(ADAnalyticsDestination, ADObject, GA("destination"))
AD_DEFINE_CLASS(ADAnalyticsStep, ADObject, GA("step"))
AD_DEFINE_CLASS(ADAnalyticsEngagement, ADObject, GA("engagement"))
AD_DEFINE_CLASS(ADEntryAnalyticsAccount, ADEntryBase, ANALYTICS_KIND("analytics#account"))
AD_DEFINE_CLASS(ADEntryAnalyticsData, ADEntryBase, ANALYTICS_KIND("analytics#datarow"))
AD_DEFINE_CLASS(ADFeedAnalyticsBase, ADFeedBase)
AD_DEFINE_CLASS(ADFeedAnalyticsAccount, ADFeedAnalyticsBase, ANALYTICS_KIND("analytics#accounts"))
AD_DEFINE_CLASS(ADFeedAnalyticsData, ADFeedAnalyticsBase, ANALYTICS_KIND("analytics#data"))

ADNamespaces ADAnalyticsConstants::analyticsNamespaces() {
  ADNamespaces namespaces = ADEntryBase::baseADNamespaces();
  namespaces[kADNamespaceAnalyticsPrefix] = kADNamespaceAnalytics;
  namespaces[kADNamespaceAnalyticsGAPrefix] = kADNamespaceAnalyticsGA;
  return namespaces;
}

void ADAnalyticsConstants::registerClasses() {
  ADEntryBase::registerEntryClass(ADEntryAnalyticsAccount::adClass());
  ADEntryBase::registerEntryClass(ADEntryAnalyticsData::adClass());
  ADFeedBase::registerFeedClass(ADFeedAnalyticsAccount::adClass());
  ADFeedBase::registerFeedClass(ADFeedAnalyticsData::adClass());
}

// --- Elements ---

void ADAnalyticsMetric::addParseDeclarations() {
  addLocalAttributeDeclarations({"name", "type", "value", "confidenceInterval"});
}

void ADAnalyticsAggregateGroup::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADAnalyticsMetric::adClass());
}

void ADAnalyticsDataSource::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(
      adClass(), {&ADAnalyticsProperty::adClass(), &ADAnalyticsTableID::adClass(), &ADAnalyticsTableName::adClass()});
}

void ADAnalyticsSegment::addParseDeclarations() { addLocalAttributeDeclarations({"name", "id"}); }

void ADAnalyticsSegment::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), {&ADAnalyticsDefinition::adClass(), &ADAnalyticsProperty::adClass()});
}

void ADAnalyticsCustomVariable::addParseDeclarations() { addLocalAttributeDeclarations({"index", "name", "scope"}); }

void ADAnalyticsGoal::addParseDeclarations() { addLocalAttributeDeclarations({"active", "name", "number", "value"}); }

void ADAnalyticsGoal::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(),
                                        {&ADAnalyticsDestination::adClass(), &ADAnalyticsEngagement::adClass()});
}

void ADAnalyticsDestination::addParseDeclarations() {
  addLocalAttributeDeclarations({"caseSensitive", "expression", "matchType", "step1Required"});
}

void ADAnalyticsDestination::addExtensionDeclarations() {
  ADObject::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADAnalyticsStep::adClass());
}

void ADAnalyticsStep::addParseDeclarations() { addLocalAttributeDeclarations({"name", "number", "path"}); }

void ADAnalyticsEngagement::addParseDeclarations() {
  addLocalAttributeDeclarations({"comparison", "thresholdValue", "type"});
}

// --- Entries and feeds ---

std::shared_ptr<ADEntryAnalyticsAccount> ADEntryAnalyticsAccount::accountEntry() {
  return ADObjectWithNamespaces<ADEntryAnalyticsAccount>(ADAnalyticsConstants::analyticsNamespaces());
}

void ADEntryAnalyticsAccount::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), {&ADAnalyticsProperty::adClass(), &ADAnalyticsTableID::adClass(),
                                                    &ADAnalyticsGoal::adClass(), &ADAnalyticsCustomVariable::adClass()});
}

std::shared_ptr<ADEntryAnalyticsData> ADEntryAnalyticsData::dataEntry() {
  return ADObjectWithNamespaces<ADEntryAnalyticsData>(ADAnalyticsConstants::analyticsNamespaces());
}

void ADEntryAnalyticsData::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), {&ADAnalyticsDimension::adClass(), &ADAnalyticsMetric::adClass()});
}

std::shared_ptr<ADFeedAnalyticsAccount> ADFeedAnalyticsAccount::accountFeed() {
  return ADObjectWithNamespaces<ADFeedAnalyticsAccount>(ADAnalyticsConstants::analyticsNamespaces());
}

void ADFeedAnalyticsAccount::addExtensionDeclarations() {
  ADFeedBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADAnalyticsSegment::adClass());
}

std::shared_ptr<ADFeedAnalyticsData> ADFeedAnalyticsData::dataFeed() {
  return ADObjectWithNamespaces<ADFeedAnalyticsData>(ADAnalyticsConstants::analyticsNamespaces());
}

void ADFeedAnalyticsData::addExtensionDeclarations() {
  ADFeedBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(
      adClass(), {&ADAnalyticsAggregateGroup::adClass(), &ADAnalyticsDataSource::adClass(),
                  &ADAnalyticsStartDate::adClass(), &ADAnalyticsEndDate::adClass(), &ADAnalyticsSegment::adClass()});
}

std::shared_ptr<ADQueryAnalytics> ADQueryAnalytics::analyticsDataQueryWithTableID(
    const std::optional<std::string>& tableID, const std::optional<std::string>& startDate,
    const std::optional<std::string>& endDate) {
  auto query = analyticsQueryWithFeedURL(kDataFeedURLString);
  query->setIDs(tableID);
  query->setStartDateString(startDate);
  query->setEndDateString(endDate);
  return query;
}
