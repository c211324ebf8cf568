#pragma once
// The analytics family: the account feed of a web-statistics service
// (profiles with properties, goals and custom variables; advanced segments)
// and its data feed (rows of dimensions and metrics over a table and dates).
#include <optional>
#include <string>
#include <vector>

#include "atomdata/ADConstants.h"
#include "atomdata/ADQuery.h"
#include "atomdata/ADService.h"
#include "atomdata/ADUtilities.h"

inline constexpr const char kADNamespaceAnalytics[] = AD_SCHEMA_ROOT "/analytics/2009";
inline constexpr const char kADNamespaceAnalyticsPrefix[] = "dxp";
inline constexpr const char kADNamespaceAnalyticsGA[] = AD_SCHEMA_ROOT "/ga/2009";
inline constexpr const char kADNamespaceAnalyticsGAPrefix[] = "ga";
inline constexpr const char kADAnalyticsServiceVersion[] = "2.1";

class ADAnalyticsConstants {
 public:
  // dxp and ga plus the base namespaces.
  static ADNamespaces analyticsNamespaces();
  static void registerClasses();
};

// The first object of the list whose name() equals name.
template <typename T>
std::shared_ptr<T> ADAnalyticsObjectWithName(const std::vector<std::shared_ptr<T>>& list, const std::string& name) {
  return ADUtilities::firstObjectFromArray(list, std::optional<std::string>(name), [](const T& o) { return o.name(); });
}

class ADAnalyticsProperty : public ADNameValueConstruct { AD_CLASS(ADAnalyticsProperty) };
class ADAnalyticsDimension : public ADNameValueConstruct { AD_CLASS(ADAnalyticsDimension) };
class ADAnalyticsTableID : public ADValueElementConstruct { AD_CLASS(ADAnalyticsTableID) };
class ADAnalyticsTableName : public ADValueElementConstruct { AD_CLASS(ADAnalyticsTableName) };
class ADAnalyticsStartDate : public ADValueElementConstruct { AD_CLASS(ADAnalyticsStartDate) };
class ADAnalyticsEndDate : public ADValueElementConstruct { AD_CLASS(ADAnalyticsEndDate) };
class ADAnalyticsDefinition : public ADValueElementConstruct { AD_CLASS(ADAnalyticsDefinition) };

// Elements holding repeated dxp property children.
class ADAnalyticsPropertyHolder : public ADObject {
  AD_CLASS(ADAnalyticsPropertyHolder)
  std::vector<std::shared_ptr<ADAnalyticsProperty>> analyticsProperties() const { return objectsFor<ADAnalyticsProperty>(); }
  void setAnalyticsProperties(const std::vector<std::shared_ptr<ADAnalyticsProperty>>& v) {
    setObjects(v, ADAnalyticsProperty::adClass());
  }
  void addAnalyticsProperty(std::shared_ptr<ADAnalyticsProperty> v) { addObject(std::move(v), ADAnalyticsProperty::adClass()); }
  std::shared_ptr<ADAnalyticsProperty> analyticsPropertyWithName(const std::string& name) const {
    return ADAnalyticsObjectWithName(analyticsProperties(), name);
  }
};

class ADAnalyticsMetric : public ADObject {
  AD_CLASS(ADAnalyticsMetric)
  void addParseDeclarations() override;
  std::optional<std::string> name() const { return stringValueForAttribute("name"); }
  void setName(const std::optional<std::string>& v) { ADObject::setStringValue(v, "name"); }
  std::optional<std::string> type() const { return stringValueForAttribute("type"); }
  void setType(const std::optional<std::string>& v) { ADObject::setStringValue(v, "type"); }
  std::optional<std::string> stringValue() const { return stringValueForAttribute("value"); }
  void setStringValue(const std::optional<std::string>& v) { ADObject::setStringValue(v, "value"); }
  std::optional<double> doubleValue() const { return doubleNumberForAttribute("value"); }
  std::optional<double> confidenceInterval() const { return doubleNumberForAttribute("confidenceInterval"); }
  void setConfidenceInterval(std::optional<double> v) { setNumberValue(v, "confidenceInterval"); }
};

class ADAnalyticsAggregateGroup : public ADObject {
  AD_CLASS(ADAnalyticsAggregateGroup)
  void addExtensionDeclarations() override;
  std::vector<std::shared_ptr<ADAnalyticsMetric>> metrics() const { return objectsFor<ADAnalyticsMetric>(); }
  void setMetrics(const std::vector<std::shared_ptr<ADAnalyticsMetric>>& v) { setObjects(v, ADAnalyticsMetric::adClass()); }
  void addMetric(std::shared_ptr<ADAnalyticsMetric> v) { addObject(std::move(v), ADAnalyticsMetric::adClass()); }
};

class ADAnalyticsDataSource : public ADAnalyticsPropertyHolder {
  AD_CLASS(ADAnalyticsDataSource)
  void addExtensionDeclarations() override;
  std::optional<std::string> tableID() const { return ADValueConstruct::stringValueOfChild<ADAnalyticsTableID>(*this); }
  void setTableID(const std::optional<std::string>& v) { ADValueConstruct::setChildWithString<ADAnalyticsTableID>(*this, v); }
  std::optional<std::string> tableName() const { return ADValueConstruct::stringValueOfChild<ADAnalyticsTableName>(*this); }
  void setTableName(const std::optional<std::string>& v) { ADValueConstruct::setChildWithString<ADAnalyticsTableName>(*this, v); }
};

class ADAnalyticsSegment : public ADAnalyticsPropertyHolder {
  AD_CLASS(ADAnalyticsSegment)
  void addParseDeclarations() override;
  void addExtensionDeclarations() override;
  std::optional<std::string> name() const { return stringValueForAttribute("name"); }
  void setName(const std::optional<std::string>& v) { setStringValue(v, "name"); }
  std::optional<std::string> analyticsID() const { return stringValueForAttribute("id"); }
  void setAnalyticsID(const std::optional<std::string>& v) { setStringValue(v, "id"); }
  std::optional<std::string> definition() const { return ADValueConstruct::stringValueOfChild<ADAnalyticsDefinition>(*this); }
  void setDefinition(const std::optional<std::string>& v) { ADValueConstruct::setChildWithString<ADAnalyticsDefinition>(*this, v); }
};

class ADAnalyticsCustomVariable : public ADObject {
  AD_CLASS(ADAnalyticsCustomVariable)
  void addParseDeclarations() override;
  std::optional<int> index() const { return intNumberForAttribute("index"); }
  void setIndex(std::optional<int> v) { setNumberValue(v, "index"); }
  std::optional<std::string> name() const { return stringValueForAttribute("name"); }
  void setName(const std::optional<std::string>& v) { setStringValue(v, "name"); }
  std::optional<std::string> scope() const { return stringValueForAttribute("scope"); }
  void setScope(const std::optional<std::string>& v) { setStringValue(v, "scope"); }
};

class ADAnalyticsStep : public ADObject {
  AD_CLASS(ADAnalyticsStep)
  void addParseDeclarations() override;
  std::optional<std::string> name() const { return stringValueForAttribute("name"); }
  void setName(const std::optional<std::string>& v) { setStringValue(v, "name"); }
  std::optional<int> number() const { return intNumberForAttribute("number"); }
  void setNumber(std::optional<int> v) { setNumberValue(v, "number"); }
  std::optional<std::string> path() const { return stringValueForAttribute("path"); }
  void setPath(const std::optional<std::string>& v) { setStringValue(v, "path"); }
};

class ADAnalyticsDestination : public ADObject {
  AD_CLASS(ADAnalyticsDestination)
  void addParseDeclarations() override;
  void addExtensionDeclarations() override;
  // Flags written as "true" or "false" even at their default.
  bool isCaseSensitive() const { return boolValueForAttribute("caseSensitive", false); }
  void setIsCaseSensitive(bool v) { setExplicitBoolValue(v, "caseSensitive"); }
  std::optional<std::string> expression() const { return stringValueForAttribute("expression"); }
  void setExpression(const std::optional<std::string>& v) { setStringValue(v, "expression"); }
  std::optional<std::string> matchType() const { return stringValueForAttribute("matchType"); }
  void setMatchType(const std::optional<std::string>& v) { setStringValue(v, "matchType"); }
  bool isStep1Required() const { return boolValueForAttribute("step1Required", false); }
  void setIsStep1Required(bool v) { setExplicitBoolValue(v, "step1Required"); }
  std::vector<std::shared_ptr<ADAnalyticsStep>> steps() const { return objectsFor<ADAnalyticsStep>(); }
  void setSteps(const std::vector<std::shared_ptr<ADAnalyticsStep>>& v) { setObjects(v, ADAnalyticsStep::adClass()); }
  void addStep(std::shared_ptr<ADAnalyticsStep> v) { addObject(std::move(v), ADAnalyticsStep::adClass()); }
};

class ADAnalyticsEngagement : public ADObject {
  AD_CLASS(ADAnalyticsEngagement)
  void addParseDeclarations() override;
  std::optional<std::string> comparison() const { return stringValueForAttribute("comparison"); }
  void setComparison(const std::optional<std::string>& v) { setStringValue(v, "comparison"); }
  std::optional<long long> thresholdValue() const { return longLongNumberForAttribute("thresholdValue"); }
  void setThresholdValue(std::optional<long long> v) {
    setStringValue(v ? std::optional<std::string>(std::to_string(*v)) : std::nullopt, "thresholdValue");
  }
  std::optional<std::string> type() const { return stringValueForAttribute("type"); }
  void setType(const std::optional<std::string>& v) { setStringValue(v, "type"); }
};

class ADAnalyticsGoal : public ADObject {
  AD_CLASS(ADAnalyticsGoal)
  void addParseDeclarations() override;
  void addExtensionDeclarations() override;
  bool isActive() const { return boolValueForAttribute("active", false); }
  void setIsActive(bool v) { setExplicitBoolValue(v, "active"); }
  std::optional<std::string> name() const { return stringValueForAttribute("name"); }
  void setName(const std::optional<std::string>& v) { setStringValue(v, "name"); }
  std::optional<int> number() const { return intNumberForAttribute("number"); }
  void setNumber(std::optional<int> v) { setNumberValue(v, "number"); }
  std::optional<double> value() const { return doubleNumberForAttribute("value"); }
  void setValue(std::optional<double> v) { setNumberValue(v, "value"); }
  std::shared_ptr<ADAnalyticsDestination> destination() const { return objectFor<ADAnalyticsDestination>(); }
  void setDestination(std::shared_ptr<ADAnalyticsDestination> v) { setObject(std::move(v), ADAnalyticsDestination::adClass()); }
  std::shared_ptr<ADAnalyticsEngagement> engagement() const { return objectFor<ADAnalyticsEngagement>(); }
  void setEngagement(std::shared_ptr<ADAnalyticsEngagement> v) { setObject(std::move(v), ADAnalyticsEngagement::adClass()); }
};

// --- Entries and feeds ---
class ADEntryAnalyticsAccount : public ADEntryBase {
  AD_CLASS(ADEntryAnalyticsAccount)
  static std::shared_ptr<ADEntryAnalyticsAccount> accountEntry();
  void addExtensionDeclarations() override;
  std::optional<std::string> tableID() const { return ADValueConstruct::stringValueOfChild<ADAnalyticsTableID>(*this); }
  void setTableID(const std::optional<std::string>& v) { ADValueConstruct::setChildWithString<ADAnalyticsTableID>(*this, v); }
  std::vector<std::shared_ptr<ADAnalyticsProperty>> analyticsProperties() const { return objectsFor<ADAnalyticsProperty>(); }
  void setAnalyticsProperties(const std::vector<std::shared_ptr<ADAnalyticsProperty>>& v) {
    setObjects(v, ADAnalyticsProperty::adClass());
  }
  void addAnalyticsProperty(std::shared_ptr<ADAnalyticsProperty> v) { addObject(std::move(v), ADAnalyticsProperty::adClass()); }
  std::shared_ptr<ADAnalyticsProperty> analyticsPropertyWithName(const std::string& name) const {
    return ADAnalyticsObjectWithName(analyticsProperties(), name);
  }
  std::vector<std::shared_ptr<ADAnalyticsGoal>> goals() const { return objectsFor<ADAnalyticsGoal>(); }
  void setGoals(const std::vector<std::shared_ptr<ADAnalyticsGoal>>& v) { setObjects(v, ADAnalyticsGoal::adClass()); }
  void addGoal(std::shared_ptr<ADAnalyticsGoal> v) { addObject(std::move(v), ADAnalyticsGoal::adClass()); }
  std::vector<std::shared_ptr<ADAnalyticsCustomVariable>> customVariables() const {
    return objectsFor<ADAnalyticsCustomVariable>();
  }
  void setCustomVariables(const std::vector<std::shared_ptr<ADAnalyticsCustomVariable>>& v) {
    setObjects(v, ADAnalyticsCustomVariable::adClass());
  }
  void addCustomVariable(std::shared_ptr<ADAnalyticsCustomVariable> v) {
    addObject(std::move(v), ADAnalyticsCustomVariable::adClass());
  }
};

class ADEntryAnalyticsData : public ADEntryBase {
  AD_CLASS(ADEntryAnalyticsData)
  static std::shared_ptr<ADEntryAnalyticsData> dataEntry();
  void addExtensionDeclarations() override;
  std::vector<std::shared_ptr<ADAnalyticsDimension>> dimensions() const { return objectsFor<ADAnalyticsDimension>(); }
  void setDimensions(const std::vector<std::shared_ptr<ADAnalyticsDimension>>& v) { setObjects(v, ADAnalyticsDimension::adClass()); }
  void addDimension(std::shared_ptr<ADAnalyticsDimension> v) { addObject(std::move(v), ADAnalyticsDimension::adClass()); }
  std::shared_ptr<ADAnalyticsDimension> dimensionWithName(const std::string& name) const {
    return ADAnalyticsObjectWithName(dimensions(), name);
  }
  std::vector<std::shared_ptr<ADAnalyticsMetric>> metrics() const { return objectsFor<ADAnalyticsMetric>(); }
  void setMetrics(const std::vector<std::shared_ptr<ADAnalyticsMetric>>& v) { setObjects(v, ADAnalyticsMetric::adClass()); }
  void addMetric(std::shared_ptr<ADAnalyticsMetric> v) { addObject(std::move(v), ADAnalyticsMetric::adClass()); }
  std::shared_ptr<ADAnalyticsMetric> metricWithName(const std::string& name) const {
    return ADAnalyticsObjectWithName(metrics(), name);
  }
};

// Feeds holding dxp segment children.
class ADFeedAnalyticsBase : public ADFeedBase {
  AD_CLASS(ADFeedAnalyticsBase)
  std::vector<std::shared_ptr<ADAnalyticsSegment>> segments() const { return objectsFor<ADAnalyticsSegment>(); }
  void setSegments(const std::vector<std::shared_ptr<ADAnalyticsSegment>>& v) { setObjects(v, ADAnalyticsSegment::adClass()); }
  void addSegment(std::shared_ptr<ADAnalyticsSegment> v) { addObject(std::move(v), ADAnalyticsSegment::adClass()); }
};

class ADFeedAnalyticsAccount : public ADFeedAnalyticsBase {
  AD_CLASS(ADFeedAnalyticsAccount)
  static std::shared_ptr<ADFeedAnalyticsAccount> accountFeed();
  void addExtensionDeclarations() override;
  const ADClass* classForEntries() const override { return &ADEntryAnalyticsAccount::adClass(); }
};

class ADFeedAnalyticsData : public ADFeedAnalyticsBase {
  AD_CLASS(ADFeedAnalyticsData)
  static std::shared_ptr<ADFeedAnalyticsData> dataFeed();
  void addExtensionDeclarations() override;
  const ADClass* classForEntries() const override { return &ADEntryAnalyticsData::adClass(); }
  std::shared_ptr<ADAnalyticsAggregateGroup> aggregateGroup() const { return objectFor<ADAnalyticsAggregateGroup>(); }
  void setAggregateGroup(std::shared_ptr<ADAnalyticsAggregateGroup> v) {
    setObject(std::move(v), ADAnalyticsAggregateGroup::adClass());
  }
  std::vector<std::shared_ptr<ADAnalyticsDataSource>> dataSources() const { return objectsFor<ADAnalyticsDataSource>(); }
  void setDataSources(const std::vector<std::shared_ptr<ADAnalyticsDataSource>>& v) {
    setObjects(v, ADAnalyticsDataSource::adClass());
  }
  void addDataSource(std::shared_ptr<ADAnalyticsDataSource> v) { addObject(std::move(v), ADAnalyticsDataSource::adClass()); }
  std::optional<std::string> startDateString() const { return ADValueConstruct::stringValueOfChild<ADAnalyticsStartDate>(*this); }
  void setStartDateString(const std::optional<std::string>& v) { ADValueConstruct::setChildWithString<ADAnalyticsStartDate>(*this, v); }
  std::optional<std::string> endDateString() const { return ADValueConstruct::stringValueOfChild<ADAnalyticsEndDate>(*this); }
  void setEndDateString(const std::optional<std::string>& v) { ADValueConstruct::setChildWithString<ADAnalyticsEndDate>(*this, v); }
};

// --- Query and service ---
class ADQueryAnalytics : public ADQuery {
 public:
  using ADQuery::ADQuery;
  static constexpr const char kDataFeedURLString[] = "https://analytics.flipdesk.net/analytics/feeds/data";
  static std::shared_ptr<ADQueryAnalytics> analyticsQueryWithFeedURL(std::string url) {
    return std::make_shared<ADQueryAnalytics>(std::move(url));
  }
  static std::shared_ptr<ADQueryAnalytics> analyticsDataQueryWithTableID(const std::optional<std::string>& tableID,
                                                                         const std::optional<std::string>& startDate,
                                                                         const std::optional<std::string>& endDate);
#define AD_ANALYTICS_PARAMETER(getter, Setter, parameter)                                        \
  std::optional<std::string> getter() const { return valueForParameterWithName(parameter); }     \
  void set##Setter(const std::optional<std::string>& v) { addCustomParameterWithName(parameter, v); }
  AD_ANALYTICS_PARAMETER(IDs, IDs, "ids")
  AD_ANALYTICS_PARAMETER(dimensions, Dimensions, "dimensions")
  AD_ANALYTICS_PARAMETER(metrics, Metrics, "metrics")
  AD_ANALYTICS_PARAMETER(startDateString, StartDateString, "start-date")
  AD_ANALYTICS_PARAMETER(endDateString, EndDateString, "end-date")
  AD_ANALYTICS_PARAMETER(filters, Filters, "filters")
  AD_ANALYTICS_PARAMETER(sort, Sort, "sort")
  AD_ANALYTICS_PARAMETER(segment, Segment, "segment")
#undef AD_ANALYTICS_PARAMETER
};

class ADServiceAnalytics : public ADServiceTypedFetchesOnly {
 public:
  static constexpr const char kRootURLString[] = "https://analytics.flipdesk.net/analytics/feeds/";
  std::string serviceID() const override { return "analytics"; }
  std::string serviceRootURLString() const override { return kRootURLString; }
  std::string defaultServiceVersion() const override { return kADAnalyticsServiceVersion; }
  ADNamespaces standardServiceNamespaces() const override { return ADAnalyticsConstants::analyticsNamespaces(); }
};
