#pragma once
// The text form of a configured message's argument: a type word ("float",
// "CGPoint" or "NSString"), "(", the arguments separated by commas and
// blanks, ")". Read in one pass, so a hostile configuration costs no more
// than its length, with what the pattern
//   (float|CGPoint|NSString)\((.*?)(?:,\s*(.*?))*\)
// gives under ECMAScript search rules, which stored configurations were
// written against.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The longest text argument a configuration may give: real ones are a number,
// a point or a resource name, far shorter.
inline constexpr std::size_t kMaxFilterArgumentLength = 4096;

struct GPUFilterArgumentText {
  std::string type;    // the type word
  std::string first;   // up to the first comma or ")"
  std::string second;  // after the last comma and the blanks after it; empty without a comma
};

// The leftmost form in the text whose arguments close with ")", or nothing.
// The form ends at the first ")" after its "(" (parentheses do not nest), and
// no argument spans a line break, though the blanks after a comma may.
std::optional<GPUFilterArgumentText> readFilterArgumentText(std::string_view text);
