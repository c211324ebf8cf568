#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <thread>
#include <utility>
#include <vector>

#include "platform/foundation/Localized.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Unicode.h"
#include "support/Sandbox.h"

namespace fs = std::filesystem;

TEST(StringsTable, ParsesEscapesCommentsAndBareWords) {
  auto t = fd::parseStringsTable(
      "/* header\n comment */\n"
      "\"Hello\" = \"Bonjour\";\n"
      "// line comment\n"
      "\"Quote \\\"x\\\"\" = \"Back\\\\slash\\nnext\";\n"
      "bare_key = \"v\";  \"same\";\n"
      "\"u\" = \"\\U00e9\";\n");
  ASSERT_TRUE(t);
  EXPECT_EQ(t->at("Hello"), "Bonjour");
  EXPECT_EQ(t->at("Quote \"x\""), "Back\\slash\nnext");
  EXPECT_EQ(t->at("bare_key"), "v");
  EXPECT_EQ(t->at("same"), "same");
  EXPECT_EQ(t->at("u"), "é");
  EXPECT_EQ(t->size(), 5u);
}

TEST(StringsTable, ReadsUtf16WithAByteOrderMark) {
  std::u16string text = u"\"a\" = \"\u00fc\U0001F600\";";
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  auto t = fd::parseStringsTable(bytes);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->at("a"), "ü😀");
}

TEST(StringsTable, MalformedTextIsRejected) {
  for (const char* bad : {"\"a\" = \"b\"", "\"a\" = ;", "\"a\" \"b\";", "\"open = \"x\";", "/* never closed",
                          "\"a\" = \"b\\"})
    EXPECT_FALSE(fd::parseStringsTable(bad)) << bad;
  EXPECT_TRUE(fd::parseStringsTable("  // only a comment"));
}

TEST(Localized, LooksUpTheLanguageTableAndFallsBackToTheKey) {
  auto res = testing_support::makeTempDir("fd-strings-");
  fs::create_directories(res / "strings" / "fr.lproj");
  fs::create_directories(res / "strings" / "en.lproj");
  std::ofstream(res / "strings" / "fr.lproj" / "Localizable.strings") << "\"Delete\" = \"Supprimer\";";
  std::ofstream(res / "strings" / "en.lproj" / "Localizable.strings") << "\"Delete\" = \"Remove\";";
  ::setenv("FLIPDESK_RESOURCES", res.c_str(), 1);

  fd::setLocalizationLanguage("fr");
  EXPECT_EQ(fd::localizationLanguage(), "fr");
  EXPECT_EQ(fd::Localized("Delete"), "Supprimer");
  EXPECT_EQ(fd::Localized("Untranslated text"), "Untranslated text");

  fd::setLocalizationLanguage("de");  // no table: the English one stands in
  EXPECT_EQ(fd::Localized("Delete"), "Remove");

  ::unsetenv("FLIPDESK_RESOURCES");
  fs::remove_all(res);
}

// Nothing of a quoted name reaches past its end: an isolate it opens is
// closed there, a close of an isolate it never opened is left out, and its
// line breaks read as spaces.
TEST(Localized, AQuotedNameKeepsItsDirectionToItself) {
  for (const auto& [name, shown] : std::vector<std::pair<std::string, std::string>>{
           {"Walk", "\u2068Walk\u2069"},
           {"a\u202Eb", "\u2068a\u202Eb\u2069"},
           {"a\u2069\u202Eb", "\u2068a\u202Eb\u2069"},
           {"\u2067a\nb\u2068c", "\u2068\u2067a b\u2068c\u2069\u2069\u2069"},
           {"\u2066a\u2069\u2069b", "\u2068\u2066a\u2069b\u2069"}}) {
    EXPECT_EQ(fd::quoted(name), "\u201c" + shown + "\u201d") << name;
    EXPECT_EQ(fd::filled("\u201c%@\u201d %@.", {name, name}), "\u201c" + shown + "\u201d " + fd::oneLine(name) + ".");
  }
}

TEST(Localized, BuiltTableIsInstalled) {
  ::setenv("FLIPDESK_RESOURCES", FLIPDESK_BUILD_RESOURCES, 1);
  fd::setLocalizationLanguage("en");
  EXPECT_TRUE(fs::exists(fs::path(FLIPDESK_BUILD_RESOURCES) / "strings/en.lproj/Localizable.strings"));
  EXPECT_EQ(fd::Localized("Cancel"), "Cancel");
}

TEST(Log, OneLinePerCallFromManyThreads) {
  testing::internal::CaptureStderr();
  fd::Log("value %d and %s", 7, "text");
  fd::Log("already ends\n");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 20; ++i) fd::Log("thread %d line %d with some padding text", t, i);
    });
  for (auto& th : threads) th.join();
  std::string out = testing::internal::GetCapturedStderr();
  EXPECT_EQ(out.rfind("value 7 and text\nalready ends\n", 0), 0u);
  std::istringstream lines(out);
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    ++count;
    if (count > 2) {
      EXPECT_TRUE(line.rfind("thread ", 0) == 0 && line.find("padding text") != std::string::npos) << line;
    }
  }
  EXPECT_EQ(count, 82);
}
