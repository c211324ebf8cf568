#include "net/JSON.h"

#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

namespace {

// Builds the value as the parser reads it, so that nesting costs no recursion
// here and a depth limit can stop a hostile text early.
class ValueBuilder {
 public:
  using json = nlohmann::json;

  bool null() { return place(fd::Value()) != nullptr; }
  bool boolean(bool b) { return place(fd::Value(b)) != nullptr; }
  bool number_integer(json::number_integer_t n) { return place(fd::Value(static_cast<long long>(n))) != nullptr; }
  bool number_unsigned(json::number_unsigned_t n) {
    // Above the signed range an integer keeps its size as a real rather than clamping.
    if (n > static_cast<json::number_unsigned_t>(std::numeric_limits<std::int64_t>::max()))
      return place(fd::Value(static_cast<double>(n))) != nullptr;
    return place(fd::Value(static_cast<long long>(n))) != nullptr;
  }
  bool number_float(json::number_float_t d, const std::string& /*text*/) { return place(fd::Value(d)) != nullptr; }
  bool string(std::string& s) { return place(fd::Value(std::move(s))) != nullptr; }
  bool binary(json::binary_t& /*bytes*/) { return false; }

  bool start_object(std::size_t /*size*/) { return open(fd::Value(fd::Dictionary{})); }
  bool key(std::string& k) {
    key_ = std::move(k);
    return true;
  }
  bool end_object() { return close(); }
  bool start_array(std::size_t /*size*/) { return open(fd::Value(fd::Array{})); }
  bool end_array() { return close(); }

  bool parse_error(std::size_t /*position*/, const std::string& /*token*/, const nlohmann::detail::exception& /*e*/) {
    return false;
  }

  fd::Value take() { return std::move(root_); }

 private:
  // Puts a value where the parser is: the root, the next array element, or
  // the dictionary entry of the last key.
  fd::Value* place(fd::Value v) {
    if (open_.empty()) {
      root_ = std::move(v);
      return &root_;
    }
    fd::Value* container = open_.back();
    if (fd::Array* array = container->array()) {
      array->push_back(std::move(v));
      return &array->back();
    }
    fd::Value& slot = (*container->dictionary())[key_];
    slot = std::move(v);
    return &slot;
  }

  bool open(fd::Value container) {
    if (open_.size() >= kMaxJSONDepth) return false;
    // Elements are only ever added to the innermost open container, so the
    // pointers to the outer ones stay valid.
    open_.push_back(place(std::move(container)));
    return true;
  }

  bool close() {
    open_.pop_back();
    return true;
  }

  fd::Value root_;
  std::vector<fd::Value*> open_;
  std::string key_;
};

}  // namespace

std::optional<fd::Value> mutableObjectFromJSONString(std::string_view text) {
  // The parser takes a NUL byte for the end of the text; in JSON it is never
  // allowed outside a string and must be escaped inside one.
  if (text.find('\0') != std::string_view::npos) return std::nullopt;
  ValueBuilder builder;
  if (!nlohmann::json::sax_parse(text.begin(), text.end(), &builder, nlohmann::json::input_format_t::json,
                                 /*strict=*/true, /*ignore_comments=*/false))
    return std::nullopt;
  return builder.take();
}
