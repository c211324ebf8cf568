#include "gpu/GPUFilterArgumentText.h"

namespace {

constexpr std::string_view kTypeWords[] = {"float", "CGPoint", "NSString"};

bool isLineBreak(char c) { return c == '\n' || c == '\r'; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || isLineBreak(c); }

// Where the argument starting at `from` stops: a comma, ")", a line break or the end.
std::size_t argumentEnd(std::string_view text, std::size_t from) {
  while (from < text.size() && text[from] != ',' && text[from] != ')' && !isLineBreak(text[from])) ++from;
  return from;
}

// The type word that opens a form at `at`, or empty.
std::string_view typeWordAt(std::string_view text, std::size_t at) {
  const std::string_view rest = text.substr(at);
  for (std::string_view word : kTypeWords) {
    if (rest.starts_with(word) && rest.substr(word.size()).starts_with('(')) return word;
  }
  return {};
}

}  // namespace

std::optional<GPUFilterArgumentText> readFilterArgumentText(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size()) {
    const std::string_view type = typeWordAt(text, at);
    if (type.empty()) {
      ++at;
      continue;
    }
    const std::size_t open = at + type.size() + 1;
    std::size_t end = argumentEnd(text, open);
    const std::string_view first = text.substr(open, end - open);
    std::string_view second;
    while (end < text.size() && text[end] == ',') {
      std::size_t start = end + 1;
      while (start < text.size() && isBlank(text[start])) ++start;
      end = argumentEnd(text, start);
      second = text.substr(start, end - start);
    }
    if (end < text.size() && text[end] == ')') return GPUFilterArgumentText{std::string(type), std::string(first),
                                                                            std::string(second)};
    // Any form opening before this stop reads its arguments into the same
    // stop, so the search goes on after it; at the end of the text no form is left.
    if (end == text.size()) return std::nullopt;
    at = end + 1;
  }
  return std::nullopt;
}
