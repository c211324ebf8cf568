#pragma once
// A feed URL with query parameters. Parameter names and values are
// percent-encoded as they are joined, whatever the caller put in them.
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "atomdata/ADDateTime.h"

class ADQuery {
 public:
  explicit ADQuery(std::string feedURL) : feedURL_(std::move(feedURL)) {}
  virtual ~ADQuery() = default;
  static std::shared_ptr<ADQuery> queryWithFeedURL(std::string feedURL) {
    return std::make_shared<ADQuery>(std::move(feedURL));
  }

  const std::string& feedURL() const { return feedURL_; }
  // The feed URL with every parameter, in name order, before any fragment.
  std::string URL() const;

  // nullopt removes the parameter.
  void addCustomParameterWithName(const std::string& name, const std::optional<std::string>& value);
  std::optional<std::string> valueForParameterWithName(const std::string& name) const;
  // Present only when the value differs from the default.
  void addCustomParameterWithNameBoolValueDefaultValue(const std::string& name, bool value, bool defaultValue);
  bool boolValueForParameterWithName(const std::string& name, bool defaultValue) const;
  // Written in decimal; removed when equal to removeForValue.
  void addCustomParameterWithNameIntValueRemoveForValue(const std::string& name, int value, int removeForValue);
  int intValueForParameterWithName(const std::string& name, int missingParameterValue) const;
  // A count or size: written in decimal when above 0, removed otherwise; a
  // missing parameter reads 0.
  void addCustomParameterWithNamePositiveValue(const std::string& name, long value);
  long positiveValueForParameterWithName(const std::string& name) const;
  void addCustomParameterWithNameDateTime(const std::string& name, const std::optional<ADDateTime>& dateTime);
  std::optional<ADDateTime> dateTimeForParameterWithName(const std::string& name) const;

 private:
  std::string feedURL_;
  std::map<std::string, std::string> parameters_;
};
