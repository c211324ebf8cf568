#include "atomdata/ADGeo.h"

#include <charconv>
#include <sstream>

namespace {
constexpr const char kGeoW3C[] = "http://www.w3.org/2003/01/geo/wgs84_pos#";
constexpr const char kGeoRSS[] = "http://www.georss.org/georss";
constexpr const char kGML[] = "http://www.opengis.net/gml";

std::string number(double v) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, end);
}

std::optional<double> parseDouble(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  double v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return v;
}

const xmlNode* child(const xmlNode* element, std::string_view uri, std::string_view local) {
  for (const xmlNode* c = element ? element->children : nullptr; c; c = c->next)
    if (c->type == XML_ELEMENT_NODE && ad_xml::text(c->name) == local && ad_xml::namespaceURI(c) == uri) return c;
  return nullptr;
}
}  // namespace

AD_DEFINE_CLASS(ADGeo, ADObject)
AD_DEFINE_CLASS(ADGeoRSSPoint, ADGeo, .uri = kGeoRSS, .prefix = "georss", .localName = "point")
AD_DEFINE_CLASS(ADGeoRSSWhere, ADGeo, .uri = kGeoRSS, .prefix = "georss", .localName = "where")
AD_DEFINE_CLASS(ADGeoW3CPoint, ADGeo, .uri = kGeoW3C, .prefix = "geo", .localName = "Point")

ADNamespaces ADGeo::geoNamespaces() { return {{"geo", kGeoW3C}, {"georss", kGeoRSS}, {"gml", kGML}}; }

void ADGeo::addGeoExtensionDeclarationsToObject(ADObject& object, const ADClass& parentClass) {
  object.addExtensionDeclarationForParentClass(
      parentClass, {&ADGeoRSSPoint::adClass(), &ADGeoRSSWhere::adClass(), &ADGeoW3CPoint::adClass()});
}

std::shared_ptr<ADGeo> ADGeo::geoLocationForObject(const ADObject& object) {
  for (const ADClass* cls : {&ADGeoRSSPoint::adClass(), &ADGeoRSSWhere::adClass(), &ADGeoW3CPoint::adClass()})
    if (auto geo = object.objectFor<ADGeo>(*cls)) return geo;
  return nullptr;
}

void ADGeo::setGeoLocation(std::shared_ptr<ADGeo> geo, ADObject& object) {
  for (const ADClass* cls : {&ADGeoRSSPoint::adClass(), &ADGeoRSSWhere::adClass(), &ADGeoW3CPoint::adClass()})
    object.setObject(nullptr, *cls);
  if (geo) {
    const ADClass& cls = geo->classInfo();
    object.setObject(std::move(geo), cls);
  }
}

bool ADGeo::isEqual(const ADObject& other) const {
  if (!ADObject::isEqual(other)) return false;
  const auto& o = static_cast<const ADGeo&>(other);
  // Compared as written, so that a location that is not a number equals itself.
  return coordinateString() == o.coordinateString();
}

std::string ADGeo::coordinateString() const {
  if (!latitude || !longitude) return {};
  return number(*latitude) + " " + number(*longitude);
}

void ADGeo::setCoordinateString(const std::string& text) {
  std::istringstream in(text);
  std::string a, b;
  in >> a >> b;
  latitude = parseDouble(a);
  longitude = parseDouble(b);
  if (!latitude || !longitude) latitude = longitude = std::nullopt;
}

void ADGeoRSSPoint::initWithXMLElement(const xmlNode* element, const ADObject* parent) {
  ADObject::initWithXMLElement(element, parent);
  setCoordinateString(stringValueFromElement(element));
}

ADXMLNode ADGeoRSSPoint::XMLElement() const {
  ADXMLNode node = ADObject::XMLElement();
  if (latitude) xmlAddChild(node.get(), xmlNewText(BAD_CAST coordinateString().c_str()));
  return node;
}

void ADGeoRSSWhere::initWithXMLElement(const xmlNode* element, const ADObject* parent) {
  ADObject::initWithXMLElement(element, parent);
  const xmlNode* point = child(element, kGML, "Point");
  const xmlNode* pos = child(point, kGML, "pos");
  if (point) {
    markConsumed(point);
    pointNamespaces_ = dictionaryForElementNamespaces(point);
  }
  if (pos) setCoordinateString(stringValueFromElement(pos));
}

ADXMLNode ADGeoRSSWhere::XMLElement() const {
  ADXMLNode node = ADObject::XMLElement();
  if (latitude) {
    ADXMLNode point = ADXMLNode::elementWithName("gml:Point");
    for (const auto& [prefix, uri] : pointNamespaces_)
      xmlNewNs(point.get(), BAD_CAST uri.c_str(), prefix.empty() ? nullptr : BAD_CAST prefix.c_str());
    xmlAddChild(point.get(), ADXMLNode::elementWithName("gml:pos", coordinateString()).release());
    xmlAddChild(node.get(), point.release());
  }
  return node;
}

void ADGeoW3CPoint::initWithXMLElement(const xmlNode* element, const ADObject* parent) {
  ADObject::initWithXMLElement(element, parent);
  const xmlNode* lat = child(element, kGeoW3C, "lat");
  const xmlNode* lon = child(element, kGeoW3C, "long");
  if (lat) markConsumed(lat);
  if (lon) markConsumed(lon);
  latitude = lat ? parseDouble(stringValueFromElement(lat)) : std::nullopt;
  longitude = lon ? parseDouble(stringValueFromElement(lon)) : std::nullopt;
  if (!latitude || !longitude) latitude = longitude = std::nullopt;
}

ADXMLNode ADGeoW3CPoint::XMLElement() const {
  ADXMLNode node = ADObject::XMLElement();
  if (latitude) {
    xmlAddChild(node.get(), ADXMLNode::elementWithName("geo:lat", number(*latitude)).release());
    xmlAddChild(node.get(), ADXMLNode::elementWithName("geo:long", number(*longitude)).release());
  }
  return node;
}
