// Every text the program shows through the localiser is worded in the English
// table: a key without an entry shows as itself, and keys are often notes to
// the translator ("delete paper", "press metu Button info") rather than words
// for the user. The keys are found in the sources: string literals handed to
// fd::Localized (both sides of a choice, adjacent literals joined), literals
// handed to a function or lambda that passes its parameter on to it, however
// many such steps there are, and a short list of places where the key is
// taken at run time from a table of the screen's own. Those screens are
// built, and their keys checked as they are asked, by the app tests
// (InterfaceWordsScreensTest); the list here makes any new such place known.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/foundation/Localized.h"
#include "platform/foundation/Unicode.h"
#include "support/Sandbox.h"

namespace {

namespace fs = std::filesystem;

struct SourceFile {
  std::string name;  // relative to src/
  std::string text;  // comments blanked, offsets kept
};

// The index of the quote that closes the string or character literal whose
// opening quote is at `i` (the text's end when it is not closed).
std::size_t closingQuote(const std::string& s, std::size_t i) {
  const char quote = s[i];
  for (++i; i < s.size() && s[i] != quote; i += s[i] == '\\' ? 2 : 1) {
  }
  return std::min(i, s.size());
}

// Comments turned into spaces (new lines kept), so that words in them are
// never taken for code; string and character literals are left as they are.
std::string blankComments(const std::string& s) {
  std::string out = s;
  std::size_t i = 0;
  while (i < s.size()) {
    if (s.compare(i, 2, "R\"") == 0 && (i == 0 || !(std::isalnum(static_cast<unsigned char>(s[i - 1])) || s[i - 1] == '_'))) {
      const std::size_t open = s.find('(', i);
      if (open == std::string::npos) break;
      const std::string end = ")" + s.substr(i + 2, open - i - 2) + "\"";
      const std::size_t close = s.find(end, open);
      i = close == std::string::npos ? s.size() : close + end.size();
    } else if (s[i] == '"' || s[i] == '\'') {
      i = closingQuote(s, i) + 1;
    } else if (s.compare(i, 2, "//") == 0) {
      while (i < s.size() && s[i] != '\n') out[i++] = ' ';
    } else if (s.compare(i, 2, "/*") == 0) {
      const std::size_t close = s.find("*/", i + 2);
      const std::size_t stop = close == std::string::npos ? s.size() : close + 2;
      for (; i < stop; ++i)
        if (out[i] != '\n') out[i] = ' ';
    } else {
      ++i;
    }
  }
  return out;
}

// The index just past the bracket that closes the one before `from`, or npos.
std::size_t pastClosing(const std::string& s, std::size_t from) {
  int depth = 1;
  for (std::size_t i = from; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"' || c == '\'') {
      i = closingQuote(s, i);
    } else if (c == '(' || c == '[' || c == '{') {
      ++depth;
    } else if (c == ')' || c == ']' || c == '}') {
      if (--depth == 0) return i + 1;
    }
  }
  return std::string::npos;
}

std::string trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return std::string(s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1));
}

// The arguments of a call, split at the commas outside brackets and literals.
std::vector<std::string> splitArguments(const std::string& args) {
  std::vector<std::string> out;
  if (trim(args).empty()) return out;
  int depth = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const char c = args[i];
    if (c == '"' || c == '\'') {
      i = closingQuote(args, i);
    } else if (c == '(' || c == '[' || c == '{') {
      ++depth;
    } else if (c == ')' || c == ']' || c == '}') {
      --depth;
    } else if (c == ',' && depth == 0) {
      out.push_back(trim(std::string_view(args).substr(start, i - start)));
      start = i + 1;
    }
  }
  out.push_back(trim(std::string_view(args).substr(start)));
  return out;
}

// The string literals of an expression as the compiler makes them: escapes
// decoded, literals with only blanks between them joined into one.
std::vector<std::string> literalsIn(const std::string& expr) {
  std::vector<std::string> out;
  bool joining = false;
  for (std::size_t i = 0; i < expr.size();) {
    const char c = expr[i];
    if (c == '\'') {
      i = closingQuote(expr, i) + 1;
      joining = false;
      continue;
    }
    if (c != '"') {
      if (c != ' ' && c != '\t' && c != '\n' && c != '\r') joining = false;
      ++i;
      continue;
    }
    std::string text;
    for (++i; i < expr.size() && expr[i] != '"'; ++i) {
      if (expr[i] != '\\') {
        text += expr[i];
        continue;
      }
      const char e = expr[++i];
      switch (e) {
        case 'n': text += '\n'; break;
        case 't': text += '\t'; break;
        case 'u':
        case 'U': {
          const int digits = e == 'u' ? 4 : 8;
          fd::appendUtf8(text, static_cast<char32_t>(std::strtoul(expr.substr(i + 1, digits).c_str(), nullptr, 16)));
          i += digits;
          break;
        }
        default: text += e; break;  // \" \\ \'
      }
    }
    ++i;
    if (joining) out.back() += text;
    else out.push_back(text);
    joining = true;
  }
  return out;
}

bool isIdentifier(const std::string& s) { return std::regex_match(s, std::regex(R"([A-Za-z_]\w*)")); }

// "const std::string& title", "std::string_view key": a parameter as
// declared, not an argument.
bool isDeclaration(const std::string& s) {
  static const std::regex kDeclaration(R"((const\s+)?[A-Za-z_][\w:]*(<[^<>]*>)?\s*(const\s*)?[&*]*\s*[A-Za-z_]\w*(\s*=.*)?)");
  return std::regex_match(s, kDeclaration) && s.find_first_of(" &*") != std::string::npos;
}

struct Key {
  std::string text;
  std::set<std::string> files;
};

struct RunTimeSite {
  std::string file, argument;
  auto operator<=>(const RunTimeSite&) const = default;
};

class KeyScan {
 public:
  explicit KeyScan(std::vector<SourceFile> files) : files_(std::move(files)) {
    for (const SourceFile& f : files_)
      for (std::size_t at : callsOf(f, "Localized")) {
        const std::size_t open = f.text.find('(', at) + 1;
        const std::size_t close = pastClosing(f.text, open);
        if (close == std::string::npos) continue;
        argument(f, open, trim(std::string_view(f.text).substr(open, close - 1 - open)), 0);
      }
  }

  const std::map<std::string, Key>& keys() const { return keys_; }
  const std::set<RunTimeSite>& runTimeSites() const { return runTime_; }

 private:
  // Offsets of the calls of `name`: the whole word followed by a bracket.
  static std::vector<std::size_t> callsOf(const SourceFile& f, const std::string& name) {
    std::vector<std::size_t> out;
    const auto isWord = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    for (std::size_t at = f.text.find(name); at != std::string::npos; at = f.text.find(name, at + 1)) {
      if (at > 0 && isWord(f.text[at - 1])) continue;
      std::size_t after = at + name.size();
      while (after < f.text.size() && std::isspace(static_cast<unsigned char>(f.text[after]))) ++after;
      if (after < f.text.size() && f.text[after] == '(') out.push_back(at);
    }
    return out;
  }

  struct Forwarder {
    std::string name;
    std::size_t index;
    std::size_t definedAt;
  };

  // The function or lambda around `offset` that declares `parameter`.
  static std::optional<Forwarder> forwarder(const SourceFile& f, std::size_t offset, const std::string& parameter) {
    static const std::regex kHead(
        R"((\w+)\s*(?:=\s*\[[^\]]*\]\s*)?\(([^()]*)\)\s*(?:const\s*)?(?:noexcept\s*)?(?:override\s*)?(?:->\s*[\w:<>]+\s*)?\{)");
    static const std::set<std::string> kNotFunctions = {"if", "for", "while", "switch", "catch"};
    std::optional<Forwarder> found;
    const auto end = f.text.begin() + static_cast<std::ptrdiff_t>(offset);
    for (auto it = std::sregex_iterator(f.text.begin(), end, kHead); it != std::sregex_iterator(); ++it) {
      const std::smatch& m = *it;
      if (kNotFunctions.count(m[1].str())) continue;
      const std::size_t body = static_cast<std::size_t>(m.position() + m.length());
      const std::size_t bodyEnd = pastClosing(f.text, body);
      if (bodyEnd == std::string::npos || bodyEnd < offset) continue;
      const std::vector<std::string> params = splitArguments(m[2].str());
      for (std::size_t i = 0; i < params.size(); ++i) {
        static const std::regex kName(R"((\w+)\s*(?:=.*)?$)");
        std::smatch n;
        if (std::regex_search(params[i], n, kName) && n[1].str() == parameter && isDeclaration(params[i]))
          found = Forwarder{m[1].str(), i, static_cast<std::size_t>(m.position())};
      }
    }
    return found;
  }

  void argument(const SourceFile& f, std::size_t at, const std::string& arg, int depth) {
    if (arg.empty() || isDeclaration(arg)) return;
    const std::vector<std::string> literals = literalsIn(arg);
    if (!literals.empty()) {
      for (const std::string& k : literals) {
        Key& key = keys_[k];
        key.text = k;
        key.files.insert(f.name);
      }
      return;
    }
    if (isIdentifier(arg) && depth < 8) {
      if (std::optional<Forwarder> fw = forwarder(f, at, arg)) {
        // A helper declared in a header may be called from any file; one
        // defined in a source file only from that file.
        bool shared = false;
        for (const SourceFile& h : files_)
          shared |= h.name.ends_with(".h") && !callsOf(h, fw->name).empty();
        for (const SourceFile& g : files_) {
          if (!shared && &g != &f) continue;
          for (std::size_t call : callsOf(g, fw->name)) {
            if (&g == &f && call == fw->definedAt) continue;
            const std::size_t open = g.text.find('(', call) + 1;
            const std::size_t close = pastClosing(g.text, open);
            if (close == std::string::npos) continue;
            const std::vector<std::string> args = splitArguments(g.text.substr(open, close - 1 - open));
            if (fw->index < args.size()) argument(g, open, args[fw->index], depth + 1);
          }
        }
        return;
      }
    }
    runTime_.insert({f.name, arg});
  }

  std::vector<SourceFile> files_;
  std::map<std::string, Key> keys_;
  std::set<RunTimeSite> runTime_;
};

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<SourceFile> programSources() {
  const fs::path src = fs::path(FLIPDESK_SOURCE_DIR) / "src";
  std::vector<SourceFile> out;
  for (const auto& e : fs::recursive_directory_iterator(src)) {
    const std::string ext = e.path().extension().string();
    if (!e.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
    out.push_back({fs::relative(e.path(), src).generic_string(), blankComments(readFile(e.path()))});
  }
  std::sort(out.begin(), out.end(), [](const SourceFile& a, const SourceFile& b) { return a.name < b.name; });
  return out;
}

// The program's sources, read and scanned once for the tests here.
const KeyScan& programScan() {
  static const KeyScan* scan = new KeyScan(programSources());
  return *scan;
}

std::map<std::string, std::string> englishTable() {
  const fs::path file = fs::path(FLIPDESK_SOURCE_DIR) / "resources/strings/en.lproj/Localizable.strings";
  auto table = fd::parseStringsTable(readFile(file));
  EXPECT_TRUE(table.has_value()) << file << " is not a well-formed table";
  return table.value_or(std::map<std::string, std::string>{});
}

// Where a key is taken at run time. Each is a table of titles or captions of
// one screen, checked as the screen is built by InterfaceWordsScreensTest,
// except the stamp packs' titles, which come from the pack server and are
// names rather than keys of the program.
const std::set<RunTimeSite> kRunTimeSites = {
    {"app/ZTLoadingViewController.cpp", "kEntryTitles[i]"},
    {"app/ZTLoadingViewController.cpp", "kEntryTitles[entry]"},
    {"desk/BackgroundsView.cpp", "look.title"},
    {"desk/BackgroundsView.cpp", "e.title"},
    {"desk/DeskPages.cpp", "look.normalTitle"},
    {"desk/DeskPages.cpp", "look.selectedTitle"},
    {"desk/DeskSetup.cpp", "item.title"},
    {"desk/DeskSetup.cpp", "kDrawerItems[i].title"},
    {"desk/DeskSetup.cpp", "kOnionModeTitles[i]"},
    {"desk/DeskSetup.cpp", "r.title"},
    {"desk/frames/ShowSimpleView.cpp", "c.key"},
    {"desk/StampLibrary.cpp", "item_->title()"},
};

}  // namespace

// The scan itself, on sources written for it: every way a key reaches the
// localiser is followed, and nothing else is taken for a key.
TEST(InterfaceWords, TheScanFollowsEveryWayAKeyReachesTheLocaliser) {
  const std::vector<SourceFile> files = {
      {"a.h", blankComments("void tellAbout(const std::string& title, int n);\n")},
      {"a.cpp", blankComments(R"cpp(
// fd::Localized("in a comment") is no key
/* nor fd::Localized("in a block") */
void tellAbout(const std::string& title, int n) { show(fd::Localized(title), n); }
std::string filled(const std::string& key) { return fd::Localized(key); }
void f(bool yes) {
  label(fd::Localized("plain"));
  label(fd::Localized(yes ? "one side" : "other side"));
  label(fd::Localized("joined "
                      "over lines"));
  label(fd::Localized("\u201cquoted\u201d \"x\""));
  label(fd::Localized(kTable[i].title));
  auto button = [this](const ui::Rect& r, const char* caption) { return make(r, fd::Localized(caption)); };
  button({1, 2, 3, 4}, "from a lambda");
  show(filled("through %@ a helper"), 2);
  tellAbout(std::string("no"), 1);
  tellAbout(worded(x, y), 1);
  wrap(fd::Localized(word));
}
)cpp")},
      {"b.cpp", blankComments(R"cpp(
void g() { tellAbout("from another file", 3); filled("not this file's helper"); }
)cpp")},
  };
  const KeyScan scan(files);
  std::set<std::string> keys;
  for (const auto& [k, key] : scan.keys()) keys.insert(k);
  EXPECT_EQ(keys, (std::set<std::string>{"plain", "one side", "other side", "joined over lines",
                                         "\u201cquoted\u201d \"x\"", "from a lambda", "through %@ a helper", "no",
                                         "from another file"}));
  EXPECT_EQ(scan.runTimeSites(), (std::set<RunTimeSite>{{"a.cpp", "kTable[i].title"},
                                                        {"a.cpp", "worded(x, y)"},
                                                        {"a.cpp", "word"}}));
}

TEST(InterfaceWords, EveryKeyTheProgramHandsTheLocaliserHasItsWording) {
  const KeyScan& scan = programScan();
  const std::map<std::string, std::string> table = englishTable();
  // The scan sees the program: keys by every route are found.
  for (const char* known : {"delete paper", "Delete:", "press metu Button info", "Invalid timeinterval", "Projects",
                            "Share", "Recorder"})
    EXPECT_TRUE(scan.keys().count(known)) << "the scan no longer finds \u201c" << known << "\u201d";
  std::ostringstream missing;
  for (const auto& [k, key] : scan.keys()) {
    if (table.count(k)) {
      EXPECT_FALSE(trim(table.at(k)).empty()) << "\u201c" << k << "\u201d is worded as nothing";
      continue;
    }
    missing << "\n  \"" << k << "\" (";
    for (const std::string& f : key.files) missing << " " << f;
    missing << " )";
  }
  EXPECT_TRUE(missing.str().empty()) << "keys without an entry in Localizable.strings:" << missing.str();
}

TEST(InterfaceWords, KeysChosenAtRunTimeComeOnlyFromTheScreensCheckedAsTheyAreBuilt) {
  const KeyScan& scan = programScan();
  for (const RunTimeSite& s : scan.runTimeSites())
    EXPECT_TRUE(kRunTimeSites.count(s)) << s.file << " hands the localiser \u201c" << s.argument
                                        << "\u201d, a key chosen at run time: word its keys, build its screen in "
                                           "InterfaceWordsScreensTest and list it here";
  for (const RunTimeSite& s : kRunTimeSites)
    EXPECT_TRUE(scan.runTimeSites().count(s)) << s.file << " no longer hands the localiser \u201c" << s.argument
                                              << "\u201d: take it off the list";
}

// The record of keys without text that the screen checks read.
TEST(InterfaceWords, TheLocaliserRemembersEachKeyItHadNoTextFor) {
  const char* before = std::getenv("FLIPDESK_RESOURCES");
  const std::optional<std::string> kept = before ? std::optional<std::string>(before) : std::nullopt;
  const fs::path res = testing_support::makeTempDir("fd-words-");
  fs::create_directories(res / "strings" / "en.lproj");
  std::ofstream(res / "strings" / "en.lproj" / "Localizable.strings") << "\"worded\" = \"Worded\";";
  ::setenv("FLIPDESK_RESOURCES", res.c_str(), 1);
  fd::setLocalizationLanguage("en");
  EXPECT_TRUE(fd::keysWithoutText().empty());
  EXPECT_EQ(fd::Localized("worded"), "Worded");
  EXPECT_EQ(fd::Localized("raw key"), "raw key");
  EXPECT_EQ(fd::Localized("another"), "another");
  EXPECT_EQ(fd::Localized("raw key"), "raw key");
  EXPECT_EQ(fd::keysWithoutText(), (std::vector<std::string>{"raw key", "another"}));
  // Keys made from data cannot fill memory.
  for (std::size_t i = 0; i < 3 * fd::kMaxKeysWithoutText; ++i) fd::Localized("made " + std::to_string(i));
  EXPECT_EQ(fd::keysWithoutText().size(), fd::kMaxKeysWithoutText);
  // A table read again starts a new record.
  fd::setLocalizationLanguage("en");
  EXPECT_TRUE(fd::keysWithoutText().empty());
  if (kept) ::setenv("FLIPDESK_RESOURCES", kept->c_str(), 1);
  else ::unsetenv("FLIPDESK_RESOURCES");
  fd::setLocalizationLanguage("en");
  fs::remove_all(res);
}
