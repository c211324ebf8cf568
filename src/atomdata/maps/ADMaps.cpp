#include "atomdata/maps/ADMaps.h"

#include <cstdio>
#include <cstdlib>

#include "atomdata/ADUtilities.h"

#define MAPS_KIND(kind) .standardKind = kind, .serviceVersion = kADMapsServiceVersion

AD_DEFINE_CLASS(ADEntryMap, ADEntryBase, MAPS_KIND(kADMapsKindMap))
AD_DEFINE_CLASS(ADEntryMapFeature, ADEntryBase, MAPS_KIND(kADMapsKindFeature))
AD_DEFINE_CLASS(ADEntryMapVersion, ADEntryBase, MAPS_KIND(kADMapsKindVersion))
AD_DEFINE_CLASS(ADFeedMap, ADFeedBase, MAPS_KIND(kADMapsKindMap))
AD_DEFINE_CLASS(ADFeedMapFeature, ADFeedBase, MAPS_KIND(kADMapsKindFeature))
AD_DEFINE_CLASS(ADFeedMapVersion, ADFeedBase, MAPS_KIND(kADMapsKindVersion))

ADNamespaces ADMapConstants::mapsNamespaces() {
  ADNamespaces namespaces = ADEntryBase::baseADNamespaces();
  namespaces[kADNamespaceKMLPrefix] = kADNamespaceKML;
  return namespaces;
}

ADNamespaces ADMapConstants::mapsServerNamespaces() {
  ADNamespaces namespaces = ADEntryBase::baseADNamespaces();
  namespaces[""] = kADNamespaceKML;
  namespaces["atom"] = kADNamespaceAtom;
  return namespaces;
}

void ADMapConstants::registerClasses() {
  for (const ADClass* cls : {&ADEntryMap::adClass(), &ADEntryMapFeature::adClass(), &ADEntryMapVersion::adClass()})
    ADEntryBase::registerEntryClass(*cls);
  for (const ADClass* cls : {&ADFeedMap::adClass(), &ADFeedMapFeature::adClass(), &ADFeedMapVersion::adClass()})
    ADFeedBase::registerFeedClass(*cls);
}

namespace {
template <typename T>
std::shared_ptr<T> makeMapsObject(const std::optional<std::string>& title) {
  auto object = ADObjectWithNamespaces<T>(ADMapConstants::mapsNamespaces());
  if (title) object->setTitleWithString(title);
  return object;
}
}  // namespace

void ADEntryMap::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), ADCustomProperty::adClass());
}

std::shared_ptr<ADEntryMap> ADEntryMap::mapEntryWithTitle(const std::optional<std::string>& title) {
  return makeMapsObject<ADEntryMap>(title);
}

bool ADEntryMap::isAPIVisible() const {
  auto property = customPropertyWithName("api_visible");
  if (!property) return true;
  return std::atoi(property->value().value_or("").c_str()) > 0;
}

void ADEntryMapFeature::addExtensionDeclarations() {
  ADEntryBase::addExtensionDeclarations();
  addExtensionDeclarationForParentClass(adClass(), {&ADStructuredPostalAddress::adClass(), &ADCustomProperty::adClass()});
}

std::shared_ptr<ADEntryMapFeature> ADEntryMapFeature::featureEntryWithTitle(const std::optional<std::string>& title) {
  return makeMapsObject<ADEntryMapFeature>(title);
}

std::vector<ADXMLNode> ADEntryMapFeature::KMLValues() const {
  auto c = content();
  return c ? c->XMLValues() : std::vector<ADXMLNode>{};
}

void ADEntryMapFeature::setKMLValues(std::vector<ADXMLNode> values) {
  auto c = content();
  if (!c) {
    c = std::make_shared<ADEntryContent>();
    setContent(c);
  }
  c->setType(std::string(kADMapsKMLContentType));
  c->setChildXMLElements(std::move(values));
}

void ADEntryMapFeature::addKMLValue(ADXMLNode value) {
  if (auto c = content()) {
    c->setType(std::string(kADMapsKMLContentType));
    c->addChildXMLElement(std::move(value));
  } else {
    setContent(ADEntryContent::contentWithXMLValue(std::move(value), std::string(kADMapsKMLContentType)));
  }
}

std::shared_ptr<ADEntryMapVersion> ADEntryMapVersion::versionEntry() { return makeMapsObject<ADEntryMapVersion>(std::nullopt); }
std::shared_ptr<ADFeedMap> ADFeedMap::mapFeed() { return makeMapsObject<ADFeedMap>(std::nullopt); }
std::shared_ptr<ADFeedMapFeature> ADFeedMapFeature::featureFeed() { return makeMapsObject<ADFeedMapFeature>(std::nullopt); }
std::shared_ptr<ADFeedMapVersion> ADFeedMapVersion::versionFeed() { return makeMapsObject<ADFeedMapVersion>(std::nullopt); }

// --- Query ---

namespace {
std::string sixDecimals(double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%f", value);
  return buf;
}
}  // namespace

void ADQueryMaps::setBoxWithWest(double west, double south, double east, double north) {
  addCustomParameterWithName("box", sixDecimals(west) + "," + sixDecimals(south) + "," + sixDecimals(east) + "," +
                                        sixDecimals(north));
}

double ADQueryMaps::doubleParameter(const std::string& name) const {
  std::optional<std::string> text = valueForParameterWithName(name);
  return text ? std::strtod(text->c_str(), nullptr) : 0.0;
}

void ADQueryMaps::setDoubleParameter(const std::string& name, double value) {
  addCustomParameterWithName(name, sixDecimals(value));
}

// --- Service ---

std::string ADServiceMaps::mapsFeedURLForUserID(const std::string& userID, const std::string& projection) {
  return std::string(kRootURLString) + "maps/" + ADUtilities::stringByURLEncodingStringParameter(userID) + "/" + projection;
}

void ADServiceMaps::addServerNamespacesIfNone(ADEntryBase& entry) {
  if (!entry.namespaces().empty()) return;
  entry.setNamespaces(dynamic_cast<ADEntryMapFeature*>(&entry) ? ADMapConstants::mapsServerNamespaces()
                                                                : ADMapConstants::mapsNamespaces());
}
