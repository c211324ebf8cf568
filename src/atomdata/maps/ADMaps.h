#pragma once
// The maps family: user maps, the features placed on them (KML inside their
// content) and map versions, with custom properties, a geographic query and a
// service whose update sets the namespaces the server expects.
#include <optional>
#include <string>
#include <vector>

#include "atomdata/ADConstants.h"
#include "atomdata/ADQuery.h"
#include "atomdata/ADService.h"
#include "atomdata/ADUtilities.h"
#include "atomdata/gd/ADGDElements.h"

inline constexpr const char kADNamespaceKML[] = "http://www.opengis.net/kml/2.2";
inline constexpr const char kADNamespaceKMLPrefix[] = "kml";
inline constexpr const char kADMapsServiceVersion[] = "2.0";
inline constexpr const char kADMapsKindMap[] = AD_SCHEMA_ROOT "/maps/2008#map";
inline constexpr const char kADMapsKindFeature[] = AD_SCHEMA_ROOT "/maps/2008#feature";
inline constexpr const char kADMapsKindVersion[] = AD_SCHEMA_ROOT "/maps/2008#version";
inline constexpr const char kADMapsRelView[] = AD_SCHEMA_ROOT "/maps/2008#view";
inline constexpr const char kADMapsKMLContentType[] = "application/vnd.google-earth.kml+xml";

class ADMapConstants {
 public:
  // Base namespaces plus kml.
  static ADNamespaces mapsNamespaces();
  // Base namespaces with KML as the default namespace and Atom as "atom".
  static ADNamespaces mapsServerNamespaces();
  static void registerClasses();
};

// Custom properties, shared by maps and features.
#define AD_MAPS_CUSTOM_PROPERTIES                                                                      \
  AD_OBJECT_CHILDREN(ADCustomProperty, customProperties, CustomProperties, CustomProperty)            \
  std::shared_ptr<ADCustomProperty> customPropertyWithName(const std::string& name) const {           \
    return ADUtilities::firstObjectFromArray(customProperties(), std::optional<std::string>(name),     \
                                             [](const ADCustomProperty& p) { return p.name(); });      \
  }                                                                                                    \
  std::shared_ptr<ADLink> viewLink() const { return linkWithRelAttributeValue(kADMapsRelView); }

class ADEntryMap : public ADEntryBase {
  AD_CLASS(ADEntryMap)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntryMap> mapEntryWithTitle(const std::optional<std::string>& title);
  AD_MAPS_CUSTOM_PROPERTIES
  std::optional<std::string> featuresFeedURL() const { return content() ? content()->sourceURL() : std::nullopt; }
  // Visible unless an "api_visible" property reads as 0 or less.
  bool isAPIVisible() const;
};

class ADEntryMapFeature : public ADEntryBase {
  AD_CLASS(ADEntryMapFeature)
  void addExtensionDeclarations() override;
  static std::shared_ptr<ADEntryMapFeature> featureEntryWithTitle(const std::optional<std::string>& title);
  AD_OBJECT_CHILD(ADStructuredPostalAddress, postalAddress, PostalAddress)
  AD_MAPS_CUSTOM_PROPERTIES
  // The KML lives as raw XML inside the content, which is KML-typed when set.
  std::vector<ADXMLNode> KMLValues() const;
  void setKMLValues(std::vector<ADXMLNode> values);
  void addKMLValue(ADXMLNode value);
};
#undef AD_MAPS_CUSTOM_PROPERTIES

class ADEntryMapVersion : public ADEntryBase {
  AD_CLASS(ADEntryMapVersion)
  static std::shared_ptr<ADEntryMapVersion> versionEntry();
};

class ADFeedMap : public ADFeedBase {
  AD_CLASS(ADFeedMap)
  const ADClass* classForEntries() const override { return &ADEntryMap::adClass(); }
  static std::shared_ptr<ADFeedMap> mapFeed();
};
class ADFeedMapFeature : public ADFeedBase {
  AD_CLASS(ADFeedMapFeature)
  const ADClass* classForEntries() const override { return &ADEntryMapFeature::adClass(); }
  static std::shared_ptr<ADFeedMapFeature> featureFeed();
};
class ADFeedMapVersion : public ADFeedBase {
  AD_CLASS(ADFeedMapVersion)
  const ADClass* classForEntries() const override { return &ADEntryMapVersion::adClass(); }
  static std::shared_ptr<ADFeedMapVersion> versionFeed();
};

class ADQueryMaps : public ADQuery {
 public:
  using ADQuery::ADQuery;
  static std::shared_ptr<ADQueryMaps> mapsQueryWithFeedURL(std::string url) {
    return std::make_shared<ADQueryMaps>(std::move(url));
  }
  std::optional<std::string> prevID() const { return valueForParameterWithName("previd"); }
  void setPrevID(const std::optional<std::string>& v) { addCustomParameterWithName("previd", v); }
  std::optional<std::string> attributeQueryString() const { return valueForParameterWithName("mq"); }
  void setAttributeQueryString(const std::optional<std::string>& v) { addCustomParameterWithName("mq", v); }
  std::optional<std::string> boxString() const { return valueForParameterWithName("box"); }
  void setBoxString(const std::optional<std::string>& v) { addCustomParameterWithName("box", v); }
  void setBoxWithWest(double west, double south, double east, double north);
  double latitude() const { return doubleParameter("lat"); }
  void setLatitude(double v) { setDoubleParameter("lat", v); }
  double longitude() const { return doubleParameter("lng"); }
  void setLongitude(double v) { setDoubleParameter("lng", v); }
  double radius() const { return doubleParameter("radius"); }
  void setRadius(double v) { setDoubleParameter("radius", v); }
  std::optional<std::string> sortBy() const { return valueForParameterWithName("sortby"); }
  void setSortBy(const std::optional<std::string>& v) { addCustomParameterWithName("sortby", v); }

 private:
  double doubleParameter(const std::string& name) const;
  void setDoubleParameter(const std::string& name, double value);
};

class ADServiceMaps : public ADServiceAccount {
 public:
  static constexpr const char kRootURLString[] = "https://maps.flipdesk.net/maps/feeds/";
  std::string serviceID() const override { return "local"; }
  std::string serviceRootURLString() const override { return kRootURLString; }
  std::string defaultServiceVersion() const override { return kADMapsServiceVersion; }
  ADNamespaces standardServiceNamespaces() const override { return ADMapConstants::mapsNamespaces(); }
  // The user ID encoded as a query value (a blank as "+"), the projection as given.
  static std::string mapsFeedURLForUserID(const std::string& userID, const std::string& projection);
  // Gives an entry without namespaces of its own those the server expects:
  // KML as the default for a feature, the maps namespaces for anything else.
  static void addServerNamespacesIfNone(ADEntryBase& entry);
  std::shared_ptr<ADServiceTicket> fetchEntryByUpdatingEntry(ADEntryBase& entry, ADServiceCompletion completion) {
    addServerNamespacesIfNone(entry);
    return ADServiceAccount::fetchEntryByUpdatingEntry(entry, std::move(completion));
  }
};
