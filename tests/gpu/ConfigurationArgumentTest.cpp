// The reader of a configuration's text arguments against the pattern it
// stands for: on every input the pattern can finish, the reader finds the same
// form with the same type and arguments. std::regex, whose backtracking takes
// time doubling with every comma and stack growing with the argument's
// length, stays here as the oracle on short inputs.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "gpu/GPUFilterArgumentText.h"

namespace {

std::optional<GPUFilterArgumentText> oracle(const std::string& text) {
  static const std::regex pattern(R"((float|CGPoint|NSString)\((.*?)(?:,\s*(.*?))*\))");
  std::smatch m;
  if (!std::regex_search(text, m, pattern)) return std::nullopt;
  return GPUFilterArgumentText{m[1].str(), m[2].str(), m[3].str()};
}

std::string shown(const std::optional<GPUFilterArgumentText>& form) {
  if (!form) return "no form";
  return form->type + " [" + form->first + "] [" + form->second + "]";
}

void expectAgreement(const std::string& text) {
  EXPECT_EQ(shown(readFilterArgumentText(text)), shown(oracle(text))) << "input: \"" << text << "\"";
}

}  // namespace

// What the pattern gives on the odd inputs, spelled out: the last of several
// comma-separated arguments is the second, the first ")" closes the form,
// arguments stop at line breaks while the blanks after a comma do not.
TEST(GPUFilterArgumentTextTest, ReadsTheFormsThePatternFinds) {
  struct Row {
    std::string text;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {"float(0.5)", "float [0.5] []"},
      {"CGPoint(0.5, 0.25)", "CGPoint [0.5] [0.25]"},
      {"CGPoint(1,2)", "CGPoint [1] [2]"},
      {"float(1, 2, 3)", "float [1] [3]"},
      {"CGPoint(1,\t \n 2)", "CGPoint [1] [2]"},
      {"CGPoint(1, )", "CGPoint [1] []"},
      {"CGPoint(, 2)", "CGPoint [] [2]"},
      {"float()", "float [] []"},
      {"NSString(abc)", "NSString [abc] []"},
      {"NSString(a b, c d)", "NSString [a b] [c d]"},
      {"float(float(1))", "float [float(1] []"},
      {"NSString(a(b)c)", "NSString [a(b] []"},
      {"  x = float(2) and CGPoint(3, 4)", "float [2] []"},
      {"double(2)", "no form"},
      {"Float(2)", "no form"},
      {"float (2)", "no form"},
      {"float(2", "no form"},
      {"NSString(,,,,", "no form"},
      {"float(1\n)", "no form"},
      {"float(1\r)", "no form"},
      {"float(1\nfloat(2)", "float [2] []"},
      {"float(1, 2\n, 3) CGPoint(4,5)", "CGPoint [4] [5]"},
      {"floatCGPoint(1,2)", "CGPoint [1] [2]"},
      {"NSNSString(x)", "NSString [x] []"},
      {std::string("float(1\0, 2)", 12), std::string("float [1\0] [2]", 14)},
      {"", "no form"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(shown(readFilterArgumentText(row.text)), row.expected) << "input: \"" << row.text << "\"";
    expectAgreement(row.text);
  }
}

// Random texts of the form's pieces and the characters around them, short
// enough that the pattern finishes at once.
TEST(GPUFilterArgumentTextTest, AgreesWithThePatternOnRandomTexts) {
  const std::vector<std::string> pieces = {"float(", "CGPoint(", "NSString(", ",", " ", ")", "(", "a", "1", ".",
                                           "\n",     "\r",       "\t",        "\v", "\f", "float", "Point(",
                                           "NSStr",  std::string(1, '\0'), "\xc2\xa0"};
  std::mt19937 random(20240611);
  std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 1);
  std::uniform_int_distribution<int> length(0, 14);
  int forms = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    for (int n = length(random); n > 0; --n) text += pieces[piece(random)];
    expectAgreement(text);
    if (oracle(text)) ++forms;
    if (::testing::Test::HasFailure()) break;
  }
  // The table exercises both answers, not only texts without a form.
  EXPECT_GT(forms, 2000);
}
