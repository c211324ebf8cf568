#include "atomdata/ADQuery.h"

#include <cstdlib>

#include <charconv>
#include <strings.h>

#include "atomdata/ADUtilities.h"

std::string ADQuery::URL() const {
  if (parameters_.empty()) return feedURL_;
  const std::size_t hash = feedURL_.find('#');
  std::string base = feedURL_.substr(0, hash);
  const std::string fragment = hash == std::string::npos ? std::string() : feedURL_.substr(hash);
  char separator = base.find('?') == std::string::npos ? '?' : '&';
  for (const auto& [name, value] : parameters_) {
    base += separator;
    base += ADUtilities::stringByURLEncodingStringParameter(name);
    base += '=';
    base += ADUtilities::stringByURLEncodingStringParameter(value);
    separator = '&';
  }
  return base + fragment;
}

void ADQuery::addCustomParameterWithName(const std::string& name, const std::optional<std::string>& value) {
  if (value) parameters_[name] = *value;
  else parameters_.erase(name);
}

std::optional<std::string> ADQuery::valueForParameterWithName(const std::string& name) const {
  auto it = parameters_.find(name);
  if (it == parameters_.end()) return std::nullopt;
  return it->second;
}

void ADQuery::addCustomParameterWithNameBoolValueDefaultValue(const std::string& name, bool value, bool defaultValue) {
  addCustomParameterWithName(name, value == defaultValue ? std::nullopt : std::optional<std::string>(value ? "true" : "false"));
}

bool ADQuery::boolValueForParameterWithName(const std::string& name, bool defaultValue) const {
  std::optional<std::string> value = valueForParameterWithName(name);
  if (!value) return defaultValue;
  return strcasecmp(value->c_str(), "true") == 0;
}

void ADQuery::addCustomParameterWithNameIntValueRemoveForValue(const std::string& name, int value, int removeForValue) {
  addCustomParameterWithName(name, value == removeForValue ? std::nullopt : std::optional<std::string>(std::to_string(value)));
}

int ADQuery::intValueForParameterWithName(const std::string& name, int missingParameterValue) const {
  std::optional<std::string> value = valueForParameterWithName(name);
  if (!value) return missingParameterValue;
  int out = 0;
  auto [end, ec] = std::from_chars(value->data(), value->data() + value->size(), out);
  return ec == std::errc() && end != value->data() ? out : missingParameterValue;
}

void ADQuery::addCustomParameterWithNameDateTime(const std::string& name, const std::optional<ADDateTime>& dateTime) {
  addCustomParameterWithName(name, dateTime ? std::optional<std::string>(dateTime->RFC3339String()) : std::nullopt);
}

std::optional<ADDateTime> ADQuery::dateTimeForParameterWithName(const std::string& name) const {
  std::optional<std::string> value = valueForParameterWithName(name);
  return value ? ADDateTime::dateTimeWithRFC3339String(*value) : std::nullopt;
}

void ADQuery::addCustomParameterWithNamePositiveValue(const std::string& name, long value) {
  addCustomParameterWithName(name, value > 0 ? std::optional<std::string>(std::to_string(value)) : std::nullopt);
}

long ADQuery::positiveValueForParameterWithName(const std::string& name) const {
  std::optional<std::string> text = valueForParameterWithName(name);
  return text ? std::strtol(text->c_str(), nullptr, 10) : 0;
}
