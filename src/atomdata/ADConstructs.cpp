#include "atomdata/ADConstructs.h"

#include <strings.h>

AD_DEFINE_CLASS(ADValueConstruct, ADObject)
AD_DEFINE_CLASS(ADValueElementConstruct, ADValueConstruct)
AD_DEFINE_CLASS(ADNameValueConstruct, ADValueConstruct)
AD_DEFINE_CLASS(ADBoolValueConstruct, ADValueConstruct)
AD_DEFINE_CLASS(ADTextConstruct, ADObject)

void ADValueConstruct::addParseDeclarations() {
  if (std::optional<std::string> name = attributeName()) addLocalAttributeDeclarations({*name});
  else addContentValueDeclaration();
}

std::optional<std::string> ADValueConstruct::stringValue() const {
  if (std::optional<std::string> name = attributeName()) return stringValueForAttribute(*name);
  return contentStringValue();
}

void ADValueConstruct::setStringValue(const std::optional<std::string>& value) {
  if (std::optional<std::string> name = attributeName()) ADObject::setStringValue(value, *name);
  else setContentStringValue(value);
}

std::optional<int> ADValueConstruct::intNumberValue() const {
  std::optional<std::string> text = stringValue();
  if (!text) return std::nullopt;
  try {
    return std::stoi(*text);
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<long long> ADValueConstruct::longLongNumberValue() const {
  std::optional<std::string> text = stringValue();
  if (!text) return std::nullopt;
  try {
    return std::stoll(*text);
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<double> ADValueConstruct::doubleValue() const {
  std::optional<std::string> text = stringValue();
  if (!text) return std::nullopt;
  try {
    return std::stod(*text);
  } catch (...) {
    return std::nullopt;
  }
}

void ADValueConstruct::setDoubleValue(std::optional<double> value) {
  if (std::optional<std::string> name = attributeName()) {
    setNumberValue(value, *name);
  } else {
    ADObject scratch;
    scratch.setNumberValue(value, "v");
    setContentStringValue(scratch.stringValueForAttribute("v"));
  }
}

std::optional<ADDateTime> ADValueConstruct::dateTimeValue() const {
  std::optional<std::string> text = stringValue();
  return text ? ADDateTime::dateTimeWithRFC3339String(*text) : std::nullopt;
}

bool ADValueConstruct::boolValue() const {
  std::optional<std::string> text = stringValue();
  return text && strcasecmp(text->c_str(), "true") == 0;
}

std::optional<bool> ADValueConstruct::boolNumberValue() const {
  if (!stringValue()) return std::nullopt;
  return boolValue();
}

void ADNameValueConstruct::addParseDeclarations() {
  ADValueConstruct::addParseDeclarations();
  addLocalAttributeDeclarations({nameAttributeName()});
}

void ADTextConstruct::addParseDeclarations() {
  addLocalAttributeDeclarations({"type", "xml:lang"});
  addContentValueDeclaration();
}
