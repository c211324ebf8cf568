// Fuzz target for the JSON reader: arbitrary bytes as a response text. The
// reader must never crash, must answer nil for every text the strict grammar
// refuses, and must answer a value for every text it accepts (unless the text
// nests deeper than the reader's limit).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string_view>

#include "net/JSON.h"

namespace {

// Deepest nesting of a text the grammar accepts (brackets outside strings).
std::size_t nestingDepth(std::string_view text) {
  std::size_t depth = 0;
  std::size_t deepest = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (inString) {
      if (c == '\\') ++i;
      else if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      deepest = std::max(deepest, ++depth);
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return deepest;
}

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "fuzz_json: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const bool read = mutableObjectFromJSONString(text).has_value();
  // The oracle: the same grammar as a plain yes/no, with NUL bytes (which
  // the parser would take for the end) refused as the reader refuses them.
  const bool valid = text.find('\0') == std::string_view::npos && nlohmann::json::accept(text);
  check(!read || valid, "a value for a text that is not JSON");
  check(read || !valid || nestingDepth(text) > kMaxJSONDepth, "nil for a valid JSON text");
  return 0;
}
