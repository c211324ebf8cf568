#pragma once
// Geographic locations in the three forms feeds carry them: a GeoRSS point
// ("lat lon" text), a GeoRSS where holding a GML point, and a W3C geo point
// with lat and long children. Each keeps its coordinates in fields.
#include <optional>

#include "atomdata/ADObject.h"

class ADGeo : public ADObject {
  AD_CLASS(ADGeo)
  // geo, georss and gml.
  static ADNamespaces geoNamespaces();
  // Lets the parent class hold any of the three forms.
  static void addGeoExtensionDeclarationsToObject(ADObject& object, const ADClass& parentClass);
  // The first location the object holds in any form; null for none.
  static std::shared_ptr<ADGeo> geoLocationForObject(const ADObject& object);
  // Replaces whatever location the object held (null removes it).
  static void setGeoLocation(std::shared_ptr<ADGeo> geo, ADObject& object);

  template <typename T>
  static std::shared_ptr<T> geoWithLatitude(double latitude, double longitude) {
    auto g = std::make_shared<T>();
    g->latitude = latitude;
    g->longitude = longitude;
    return g;
  }
  bool isEqual(const ADObject& other) const override;

  std::optional<double> latitude;
  std::optional<double> longitude;

 protected:
  // "lat lon" with the shortest exact decimals; parsing the same form back.
  std::string coordinateString() const;
  void setCoordinateString(const std::string& text);
};

class ADGeoRSSPoint : public ADGeo {
  AD_CLASS(ADGeoRSSPoint)
  void initWithXMLElement(const xmlNode* element, const ADObject* parent) override;
  ADXMLNode XMLElement() const override;
};

class ADGeoRSSWhere : public ADGeo {
  AD_CLASS(ADGeoRSSWhere)
  void initWithXMLElement(const xmlNode* element, const ADObject* parent) override;
  ADXMLNode XMLElement() const override;

 private:
  // Declarations a feed made on the GML point itself; the point is not an
  // object of its own, so they would otherwise be lost and the written
  // point would use an undeclared prefix.
  ADNamespaces pointNamespaces_;
};

class ADGeoW3CPoint : public ADGeo {
  AD_CLASS(ADGeoW3CPoint)
  void initWithXMLElement(const xmlNode* element, const ADObject* parent) override;
  ADXMLNode XMLElement() const override;
};
