#pragma once
// Helpers of the Atom data client: version comparison, lookups in arrays of
// objects, and the percent-encoding of caller values joined into URLs.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum class ADComparisonResult { Ascending = -1, Same = 0, Descending = 1 };

class ADUtilities {
 public:
  // Dotted versions compared part by part as numbers ("1.10" after "1.9"; a
  // missing part counts as 0).
  static ADComparisonResult compareVersion(std::string_view a, std::string_view b);
  // The core protocol of most families: "2.0" for service versions of 2.0 and
  // above, else "1.0".
  static std::string coreProtocolVersionForServiceVersion(std::string_view serviceVersion) {
    return compareVersion(serviceVersion, "2.0") != ADComparisonResult::Ascending ? "2.0" : "1.0";
  }

  // Every byte outside RFC 3986's unreserved set percent-encoded, so that "/",
  // "?", "#" and "%" in a caller's value stay inside one path segment.
  static std::string stringByURLEncodingForURI(std::string_view text);
  // For a query parameter value: as above, with a blank written as "+".
  static std::string stringByURLEncodingStringParameter(std::string_view text);

  // The first element whose key value equals value; null for none.
  template <typename T, typename Key, typename V>
  static std::shared_ptr<T> firstObjectFromArray(const std::vector<std::shared_ptr<T>>& array, const V& value, Key key) {
    for (const auto& object : array)
      if (object && key(*object) == value) return object;
    return nullptr;
  }
  // Every element whose key value equals value, in order.
  template <typename T, typename Key, typename V>
  static std::vector<std::shared_ptr<T>> objectsFromArray(const std::vector<std::shared_ptr<T>>& array, const V& value,
                                                          Key key) {
    std::vector<std::shared_ptr<T>> out;
    for (const auto& object : array)
      if (object && key(*object) == value) out.push_back(object);
    return out;
  }
  // A new array of copies of the objects.
  template <typename T>
  static std::vector<std::shared_ptr<T>> arrayWithCopiesOfObjectsInArray(const std::vector<std::shared_ptr<T>>& array) {
    std::vector<std::shared_ptr<T>> out;
    out.reserve(array.size());
    for (const auto& object : array) out.push_back(object ? std::static_pointer_cast<T>(object->copy()) : nullptr);
    return out;
  }
};
