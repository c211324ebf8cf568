#include "platform/foundation/PropertyList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

#include "platform/foundation/DamagedFile.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyListCheck.h"
#include "platform/foundation/UserDefaults.h"
#include "graphics/MemoryCeiling.h"
#include "support/BinaryPlist.h"
#include "support/ChildProcess.h"
#include "support/CpuCeiling.h"
#include "support/ListBound.h"
#include "support/Sandbox.h"

namespace fs = std::filesystem;
using fd::Value;
using testing_support::BinaryPlist;
using testing_support::ScopedBuildBudget;

namespace {

Value everyKind() {
  Value v;
  v["true"] = true;
  v["false"] = false;
  v["zero"] = 0;
  v["negative"] = -7;
  v["big"] = 9000000000LL;
  v["min"] = std::numeric_limits<long long>::min();
  v["max"] = std::numeric_limits<long long>::max();
  v["real"] = 2.5;
  v["wholeReal"] = 3.0;
  v["tiny"] = 1e-10;
  v["third"] = 1.0 / 3.0;
  v["string"] = "Grüße <&> \"世界\"";
  v["empty"] = "";
  v["data"] = fd::Data{0, 1, 2, 254, 255};
  v["emptyData"] = fd::Data{};
  v["date"] = fd::Date{1368779415};
  v["oldDate"] = fd::Date{946684799};  // before the property-list epoch
  v["array"] = fd::Array{Value(1), Value("two"), Value(fd::Array{Value(3.0)}), Value(fd::Dictionary{{"four", 4}})};
  v["dict"]["nested"]["deep"] = "yes";
  v["dict"]["emptyDict"] = fd::Dictionary{};
  return v;
}

fd::Data bytesOf(const std::string& s) { return fd::Data(s.begin(), s.end()); }

std::string readText(const fs::path& p) {
  std::ifstream in(p);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Arrays nested `levels` deep (the innermost empty), binary and XML.
fd::Data nestedBinary(std::size_t levels) {
  BinaryPlist p;
  for (std::size_t i = 0; i + 1 < levels; ++i) p.array({i + 1});
  p.array({});
  return p.bytes(0);
}
fd::Data nestedXML(std::size_t levels) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">";
  for (std::size_t i = 0; i < levels; ++i) xml += "<array>";
  for (std::size_t i = 0; i < levels; ++i) xml += "</array>";
  return bytesOf(xml + "</plist>\n");
}

// The start of a value's written form, after its XML header.
std::string startOf(const Value& v) {
  const std::string text = fd::serializePropertyListXML(v);
  return text.substr(std::min(text.find("<plist"), text.size()), 300);
}

testing::AssertionResult refusedFor(const fd::Expected<Value>& parsed, const std::string& reason) {
  if (parsed) return testing::AssertionFailure() << "taken: " << startOf(*parsed);
  if (parsed.error().find(reason) == std::string::npos)
    return testing::AssertionFailure() << "refused: " << parsed.error();
  return testing::AssertionSuccess();
}

}  // namespace

class PropertyListTest : public testing_support::SandboxTest {};

TEST_F(PropertyListTest, EveryKindRoundTripsThroughXML) {
  Value original = everyKind();
  auto back = fd::parsePropertyList(bytesOf(fd::serializePropertyListXML(original)));
  ASSERT_TRUE(back) << back.error();
  EXPECT_EQ(*back, original);
  EXPECT_TRUE((*back)["wholeReal"].isReal());
  EXPECT_TRUE((*back)["zero"].isInteger());
}

TEST_F(PropertyListTest, WrittenFileReadsBack) {
  fs::path file = root() / "Library" / "Test.plist";
  ASSERT_TRUE(fd::writePropertyList(file, everyKind()));
  auto back = fd::readPropertyList(file);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, everyKind());
  EXPECT_NE(readText(file).find("<plist"), std::string::npos) << "files are written as XML";
}

TEST_F(PropertyListTest, NullsAreLeftOutAndANullRootIsAnEmptyDictionary) {
  Value v;
  v["kept"] = 1;
  v["gone"] = nullptr;
  v["list"] = fd::Array{Value(), Value(2)};
  auto back = fd::parsePropertyList(bytesOf(fd::serializePropertyListXML(v)));
  ASSERT_TRUE(back);
  EXPECT_FALSE(back->contains("gone"));
  EXPECT_EQ((*back)["list"], Value(fd::Array{Value(2)}));

  auto empty = fd::parsePropertyList(bytesOf(fd::serializePropertyListXML(Value())));
  ASSERT_TRUE(empty);
  EXPECT_EQ(*empty, Value(fd::Dictionary{}));
}

TEST_F(PropertyListTest, BinaryFixtureReads) {
  auto v = fd::readPropertyList(fs::path(FLIPDESK_TEST_DATA) / "binary.plist");
  ASSERT_TRUE(v) << v.error();
  const Value& p = *v;
  EXPECT_EQ(p["bool"], Value(true));
  EXPECT_EQ(p["false"], Value(false));
  EXPECT_EQ(p["int"], Value(42));
  EXPECT_EQ(p["negative"], Value(-7));
  EXPECT_EQ(p["big"], Value(9000000000LL));
  EXPECT_EQ(p["min"], Value(std::numeric_limits<long long>::min()));
  EXPECT_EQ(p["real"], Value(2.5));
  EXPECT_EQ(p["string"], Value("Grüße, 世界"));
  EXPECT_EQ(p["data"], Value(fd::Data{0, 1, 2, 254, 255}));
  EXPECT_EQ(p["date"], Value(fd::Date{1368779415}));
  EXPECT_EQ(p["array"], Value(fd::Array{Value(1), Value("two"), Value(fd::Array{Value(3.0)}),
                                        Value(fd::Dictionary{{"four", 4}})}));
  EXPECT_EQ(p["dict"]["nested"]["deep"], Value("yes"));
  EXPECT_EQ(p["dict"]["empty"], Value(fd::Dictionary{}));
}

TEST_F(PropertyListTest, DamagedInputIsAnErrorNotACrash) {
  auto binary = testing_support::fileBytes(fs::path(FLIPDESK_TEST_DATA) / "binary.plist");
  ASSERT_TRUE(binary);
  std::string xml = fd::serializePropertyListXML(everyKind());

  std::vector<fd::Data> damaged = {{},
                                   bytesOf("hello"),
                                   bytesOf("bplist00"),
                                   bytesOf(xml.substr(0, xml.size() / 2)),
                                   bytesOf("<plist version=\"1.0\"><dict><key>a</key></plist>")};
  for (std::size_t cut : {9ul, binary->size() / 2, binary->size() - 1})
    damaged.emplace_back(binary->begin(), binary->begin() + static_cast<long>(cut));
  // Corrupt the trailer's offsets and every byte of the object table in turn.
  for (std::size_t i = 8; i < binary->size(); ++i) {
    fd::Data flipped = *binary;
    flipped[i] ^= 0xFF;
    damaged.push_back(flipped);
  }
  for (std::size_t i = 0; i < 5; ++i) {
    auto parsed = fd::parsePropertyList(damaged[i]);
    EXPECT_FALSE(parsed) << "case " << i;
    EXPECT_FALSE(parsed.error().empty());
  }
  for (const fd::Data& d : damaged) (void)fd::parsePropertyList(d);  // must not crash under the sanitizers
}

TEST_F(PropertyListTest, MissingFileIsAnError) {
  auto missing = fd::readPropertyList(root() / "nope.plist");
  EXPECT_FALSE(missing);
  EXPECT_NE(missing.error().find("nope.plist"), std::string::npos) << missing.error();
}

// A list larger than any the program writes is taken for a damaged one and
// refused by its size, unread, even when what it holds would parse: the
// reader that decides sets it aside and tells why, one that only shows
// answers at once and moves nothing.
TEST_F(PropertyListTest, AFilePastTheBoundIsRefusedUnread) {
  fd::takeDamagedFileReports();
  const std::string text = fd::serializePropertyListXML(Value(fd::Dictionary{{"v", 1}}));
  const fs::path padded = root() / "Library" / "Padded.plist";
  {
    std::ofstream out(padded, std::ios::binary);
    out << text << std::string(fd::kMaxPropertyListBytes - text.size(), '\n');
  }
  ASSERT_TRUE(fd::readPropertyList(padded)) << "a list of just the bound is read";
  std::ofstream(padded, std::ios::binary | std::ios::app) << '\n';
  const auto refused = fd::readPropertyList(padded);
  ASSERT_FALSE(refused);
  EXPECT_NE(refused.error().find("the file is 64 MiB and 1 byte, larger than the 64 MiB it may be"), std::string::npos)
      << refused.error();
  const auto peeked = fd::peekStoredDictionary(padded);
  ASSERT_FALSE(peeked);
  EXPECT_TRUE(fs::exists(padded));
  EXPECT_TRUE(fd::takeDamagedFileReports().empty());

  // Sparse: 3 GB that take no disk, and that the readers never take into memory.
  const fs::path huge = root() / "Library" / "Huge.plist";
  std::ofstream(huge) << text;
  fs::resize_file(huge, std::uintmax_t{3} << 30);
  const auto child = testing_support::runUnderMemoryCeiling(std::size_t{256} << 20, [&] {
    EXPECT_FALSE(fd::peekStoredDictionary(huge));
    EXPECT_TRUE(fs::exists(huge));
    EXPECT_FALSE(fd::readStoredDictionary(huge, fd::DamagedFileReport::Kind::Settings, "Huge.plist"));
    EXPECT_FALSE(fs::exists(huge));
    const std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].reason, "the file is 3.0 GiB, larger than the 64 MiB it may be");
    ASSERT_FALSE(reports[0].keptAs.empty());
    EXPECT_EQ(fs::file_size(reports[0].keptAs), std::uintmax_t{3} << 30);
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "signal " << child.signal;
}

TEST_F(PropertyListTest, FailedWriteKeepsTheOldFile) {
  fs::path file = root() / "Keep.plist";
  ASSERT_TRUE(fd::writePropertyList(file, Value(fd::Dictionary{{"v", 1}})));

  // The parent is a file: no temp file can be made next to the target.
  EXPECT_FALSE(fd::writePropertyList(file / "child.plist", Value(fd::Dictionary{{"v", 2}})));

  // The target is a non-empty folder: the final rename must fail.
  fs::path folder = root() / "Folder.plist";
  fs::create_directories(folder / "inside");
  EXPECT_FALSE(fd::writePropertyList(folder, Value(fd::Dictionary{{"v", 3}})));
  EXPECT_TRUE(fs::is_directory(folder / "inside"));

  EXPECT_EQ((*fd::readPropertyList(file))["v"], Value(1));
  EXPECT_EQ(fd::files::contentsOfDirectory(root()),
            (std::vector<std::string>{"Documents", "Folder.plist", "Keep.plist", "Library", "tmp"}))
      << "no temp file may be left behind";
}

TEST_F(PropertyListTest, StringsAndKeysHoldingNulAreRefusedNotAnAbort) {
  // The parser itself would stop the program on these; the child shows it does not.
  const auto child = testing_support::runInChild([] {
    std::vector<std::pair<const char*, fd::Data>> files;
    {
      BinaryPlist p;  // {"a\0": "x"} with a UTF-16 key, a few dozen bytes
      const std::size_t key = p.utf16(std::u16string(u"a\0", 2)), value = p.ascii("x");
      files.emplace_back("utf-16 key", p.bytes(p.dict({key}, {value})));
    }
    {
      BinaryPlist p;
      const std::size_t key = p.ascii("name"), value = p.utf16(std::u16string(u"Gr\u00fc\0e", 5));
      files.emplace_back("utf-16 value", p.bytes(p.dict({key}, {value})));
    }
    {
      BinaryPlist p;
      const std::size_t key = p.ascii(std::string("a\0b", 3)), value = p.ascii("x");
      files.emplace_back("ascii key", p.bytes(p.dict({key}, {value})));
    }
    {
      BinaryPlist p;
      const std::size_t inner = p.ascii(std::string("\0", 1));
      files.emplace_back("ascii in an array", p.bytes(p.array({inner})));
    }
    const std::string xml = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a";
    fd::Data nulXml = bytesOf(xml);
    nulXml.push_back(0);
    const fd::Data rest = bytesOf("b</key><string>x</string></dict></plist>");
    nulXml.insert(nulXml.end(), rest.begin(), rest.end());
    files.emplace_back("xml", nulXml);

    EXPECT_LT(files[0].second.size(), 100u);
    for (const auto& [what, bytes] : files)
      EXPECT_TRUE(refusedFor(fd::parsePropertyList(bytes), "NUL character")) << what;

    // The preferences file is the first thing read at start-up.
    ASSERT_TRUE(fd::files::writeFileAtomically(fd::paths::preferences() / "flipdesk.plist", files[0].second));
    fd::UserDefaults::resetStandardForTesting();
    EXPECT_TRUE(fd::UserDefaults::standard().objectForKey("a").isNull());
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "signal " << child.signal;

  // Strings of either encoding without NUL still read.
  BinaryPlist p;
  const std::size_t key = p.utf16(u"Gr\u00fc\u00dfe"), value = p.utf16(u"\u4e16\u754c");
  auto good = fd::parsePropertyList(p.bytes(p.dict({key}, {value})));
  ASSERT_TRUE(good) << good.error();
  EXPECT_EQ((*good)["Grüße"], Value("世界"));
}

TEST_F(PropertyListTest, NestingBeyondTheCapIsRefusedBeforeTheParserRecurses) {
  // Deep enough to overflow the parser's stack: the child shows it does not.
  const auto child = testing_support::runInChild([] {
    EXPECT_TRUE(refusedFor(fd::parsePropertyList(nestedBinary(100000)), "nested deeper than 512 levels"));
    EXPECT_TRUE(refusedFor(fd::parsePropertyList(nestedXML(200000)), "nested deeper than 512 levels"));
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "signal " << child.signal;

  // The cap itself: 512 levels read, 513 do not, in both forms.
  for (auto make : {nestedBinary, nestedXML}) {
    auto atCap = fd::parsePropertyList(make(512));
    ASSERT_TRUE(atCap) << atCap.error();
    const Value* v = &*atCap;
    int levels = 1;
    while (v->isArray() && !v->array()->empty()) v = &v->array()->front(), ++levels;
    EXPECT_EQ(levels, 512);
    EXPECT_TRUE(refusedFor(fd::parsePropertyList(make(513)), "nested deeper than 512 levels"));
  }
  // Comments, processing instructions and empty elements do not count as levels.
  std::string xml = "<?xml version=\"1.0\"?><!-- <array> --><plist version=\"1.0\">";
  for (int i = 0; i < 511; ++i) xml += "<array><!-- <array><array> --><true/>";
  xml += "<array/>";
  for (int i = 0; i < 511; ++i) xml += "</array>";
  auto mixed = fd::parsePropertyList(bytesOf(xml + "</plist>"));
  EXPECT_TRUE(mixed) << mixed.error();
}

TEST_F(PropertyListTest, BinaryObjectTablesThatLoopOrExplodeAreRefused) {
  BinaryPlist loop;
  const std::size_t a = loop.array({}), b = loop.array({a});
  loop.set(a, {b});
  EXPECT_TRUE(refusedFor(fd::parsePropertyList(loop.bytes(a)), "contains itself"));

  // Forty arrays each holding the next one twice: a few hundred bytes that
  // expand to 2^40 values.
  BinaryPlist doubling;
  for (std::size_t i = 0; i < 40; ++i) doubling.array({i + 1, i + 1});
  doubling.array({});
  EXPECT_TRUE(refusedFor(fd::parsePropertyList(doubling.bytes(0)), "too many objects"));

  // Sharing that stays small is fine.
  BinaryPlist shared;
  const std::size_t leaf = shared.ascii("same");
  const std::size_t pair = shared.array({leaf, leaf});
  auto ok = fd::parsePropertyList(shared.bytes(shared.array({pair, pair, leaf})));
  ASSERT_TRUE(ok) << ok.error();
  EXPECT_EQ(*ok, Value(fd::Array{Value(fd::Array{Value("same"), Value("same")}), Value(fd::Array{Value("same"), Value("same")}), Value("same")}));

  BinaryPlist dangling;
  const std::size_t top = dangling.array({7});
  EXPECT_TRUE(refusedFor(fd::parsePropertyList(dangling.bytes(top)), "missing object"));
}

// A binary list's shared objects are copied out once per reference, so its
// bytes say little of what it builds: 28 KB that stand for 32 GB, 8 MB for
// 2 GB. A read is charged for what it would build before it builds, each
// copy counted, and such lists are refused at once within a small memory
// ceiling; the reader that decides sets one aside and tells why, the one
// that only shows moves nothing. Sharing that builds within the budget is
// read as before.
TEST_F(PropertyListTest, SharedObjectsAreChargedEachTimeTheyAreCopiedOut) {
  fd::takeDamagedFileReports();
  const fs::path file = root() / "Library" / "Shared.plist";
  const fd::Data shared = testing_support::sharedDataList();
  ASSERT_TRUE(fd::files::writeFileAtomically(file, shared));
  const auto child = testing_support::runUnderMemoryCeiling(std::size_t{256} << 20, [&] {
    for (const fd::Data& list : {shared, testing_support::sharedStringList(), testing_support::sharedDataList(false)}) {
      const auto read = fd::parsePropertyList(list);
      EXPECT_TRUE(refusedFor(read, "once read it would take more than the 256 MiB a list may take")) << read.error();
    }
    EXPECT_LT(shared.size(), std::size_t{32} << 10);
    EXPECT_FALSE(fd::peekStoredDictionary(file));
    EXPECT_TRUE(fs::exists(file));
    EXPECT_TRUE(fd::takeDamagedFileReports().empty());
    EXPECT_FALSE(fd::readStoredDictionary(file, fd::DamagedFileReport::Kind::Settings, "Shared.plist"));
    EXPECT_FALSE(fs::exists(file));
    const std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].reason.find("256 MiB"), std::string::npos) << reports[0].reason;
    EXPECT_EQ(testing_support::fileBytes(reports[0].keptAs), shared);
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "signal " << child.signal;

  // A 1 KB string copied out by 200 arrays of 100 references each: 20 MB,
  // read whole. Fifteen times as many copies pass the budget.
  const auto copies = [](std::size_t lists, std::size_t each) {
    BinaryPlist p;
    const std::size_t text = p.ascii(std::string(1024, 'n'));
    const std::size_t inner = p.array(std::vector<std::size_t>(each, text));
    return p.bytes(p.array(std::vector<std::size_t>(lists, inner)));
  };
  const auto within = fd::parsePropertyList(copies(200, 100));
  ASSERT_TRUE(within) << within.error();
  ASSERT_EQ(within->count(), 200u);
  EXPECT_EQ(within->at(199).count(), 100u);
  EXPECT_EQ(within->at(199).at(99), Value(std::string(1024, 'n')));
  EXPECT_TRUE(refusedFor(fd::parsePropertyList(copies(3000, 100)), "256 MiB"));
}

// A valid XML list of 64 MB of small elements once took 1.6 GB to read, a
// tree of parser nodes beside the value: it is read within a ceiling far
// below that, as a bound of its file. One of as many bytes whose elements
// would build past the budget is refused before it builds.
TEST_F(PropertyListTest, ALongXMLListIsReadWithinABoundOfItsFile) {
  const auto list = [](const std::string& element, std::size_t bytes) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<array>\n";
    for (std::size_t i = 0; xml.size() < bytes; ++i) {
      xml += "\t";
      xml += element.empty() ? "<integer>" + std::to_string(i % 10000) + "</integer>" : element;
      xml += "\n";
    }
    return bytesOf(xml + "</array>\n</plist>\n");
  };
  constexpr std::size_t kBytes = 67000000;  // 63.9 MB, under the file bound
  const fd::Data numbers = list("", kBytes), flags = list("<true/>", kBytes);
  ASSERT_LE(numbers.size(), fd::kMaxPropertyListBytes);
  const auto child = testing_support::runUnderMemoryCeiling(std::size_t{1} << 30, [&] {
    const auto read = fd::parsePropertyList(numbers);
    ASSERT_TRUE(read) << read.error();
    const std::size_t count = read->count();
    EXPECT_GT(count, 2500000u);
    EXPECT_EQ(read->at(count - 1), Value(static_cast<int>((count - 1) % 10000)));
    EXPECT_EQ(read->at(12345), Value(2345));
    EXPECT_TRUE(refusedFor(fd::parsePropertyList(flags), "once read it would take more than the 256 MiB"));
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "signal " << child.signal;
}

// The text as stored files have it: tab indentation, empty containers closed
// at once, reals to 17 digits with their special spellings, whole-second
// dates (the fraction no stored list keeps dropped), base64 lines that
// shorten with the indentation, and strings cut at a NUL.
TEST_F(PropertyListTest, WrittenTextKeepsTheStoredLayout) {
  fd::Data bytes;
  for (int i = 0; i < 60; ++i) bytes.push_back(static_cast<std::uint8_t>(i * 7));
  Value deep(bytes);
  for (int i = 0; i < 9; ++i) deep = Value(fd::Array{deep});
  const Value v(fd::Dictionary{{"bool", Value(true)},
                               {"int", Value(-5)},
                               {"real", Value(0.1)},
                               {"zero", Value(0.0)},
                               {"whole", Value(100.0)},
                               {"nan", Value(std::numeric_limits<double>::quiet_NaN())},
                               {"inf", Value(-std::numeric_limits<double>::infinity())},
                               {"text", Value("x<&>y \"q\"")},
                               {"data", Value(bytes)},
                               {"date", Value(fd::Date{978307200.0 + 86400.75})},
                               {"old date", Value(fd::Date{978307200.0 - 0.5})},
                               {"empty", Value(fd::Array{})},
                               {"none", Value(fd::Dictionary{})},
                               {"deep", deep},
                               {"nul", Value(std::string("cut\0off", 7))}});
  EXPECT_EQ(fd::serializePropertyListXML(v), R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>bool</key>
	<true/>
	<key>data</key>
	<data>
	AAcOFRwjKjE4P0ZNVFtiaXB3foWMk5qhqK+2vcTL0tng5+71/AMKERgfJi00O0JJUFde
	ZWxzeoGIj5ad
	</data>
	<key>date</key>
	<date>2001-01-02T00:00:00Z</date>
	<key>deep</key>
	<array>
		<array>
			<array>
				<array>
					<array>
						<array>
							<array>
								<array>
									<array>
										<data>
								AAcOFRwjKjE4
								P0ZNVFtiaXB3
								foWMk5qhqK+2
								vcTL0tng5+71
								/AMKERgfJi00
								O0JJUFdeZWxz
								eoGIj5ad
										</data>
									</array>
								</array>
							</array>
						</array>
					</array>
				</array>
			</array>
		</array>
	</array>
	<key>empty</key>
	<array/>
	<key>inf</key>
	<real>-infinity</real>
	<key>int</key>
	<integer>-5</integer>
	<key>nan</key>
	<real>nan</real>
	<key>none</key>
	<dict/>
	<key>nul</key>
	<string>cut</string>
	<key>old date</key>
	<date>2000-12-31T23:59:59Z</date>
	<key>real</key>
	<real>0.10000000000000001</real>
	<key>text</key>
	<string>x&lt;&amp;&gt;y "q"</string>
	<key>whole</key>
	<real>100</real>
	<key>zero</key>
	<real>0.0</real>
</dict>
</plist>
)");
}

// Every date the reader takes, of the years 1 to 9999, is written as it is
// and reads back the same. Other readers take no year 0000 nor a fifth
// digit, and the XML form keeps whole seconds: a binary list's date beyond
// those years, one that is no number or one with a fraction of a second, is
// refused at its first read in words, and a value holding one is never
// written (its text alone shows the nearest the reader takes, the second a
// fraction is dropped from, and the reference date for one that is no
// number).
TEST_F(PropertyListTest, DatesOfEveryYearTheReaderTakesAreWrittenAsTheyAre) {
  const char* const dates[] = {"0001-01-01T00:00:00Z", "0001-02-03T04:05:06Z", "0999-12-31T23:59:59Z",
                               "1601-01-01T00:00:00Z", "1901-12-13T20:45:51Z", "1933-12-13T20:45:51Z",
                               "1969-12-31T23:59:59Z", "2069-01-19T03:14:08Z", "2100-01-01T00:00:00Z",
                               "2400-02-29T12:00:00Z", "9999-12-31T23:59:59Z"};
  for (const char* date : dates) {
    const std::string element = "<date>" + std::string(date) + "</date>";
    const auto read = fd::parsePropertyList(bytesOf("<plist version=\"1.0\">" + element + "</plist>"));
    ASSERT_TRUE(read) << date << ": " << read.error();
    const std::string written = fd::serializePropertyListXML(*read);
    EXPECT_NE(written.find(element), std::string::npos) << written;
    const auto back = fd::parsePropertyList(bytesOf(written));
    ASSERT_TRUE(back) << date << ": " << back.error();
    EXPECT_EQ(*back, *read) << date;
  }
  constexpr double kReference = 978307200.0, kFirst = -62135596800.0, kPastLast = 253402300800.0;
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN(), kInfinity = std::numeric_limits<double>::infinity();
  const std::pair<double, const char*> kept[] = {
      {kFirst, "0001-01-01T00:00:00Z"},
      {kPastLast - 1, "9999-12-31T23:59:59Z"},
      {kReference - 1, "2000-12-31T23:59:59Z"},
  };
  for (const auto& [seconds, date] : kept) {
    BinaryPlist p;
    const auto read = fd::parsePropertyList(p.bytes(p.date(seconds - kReference)));
    ASSERT_TRUE(read) << date << ": " << read.error();
    const fs::path file = root() / "Date.plist";
    ASSERT_TRUE(fd::writePropertyList(file, *read)) << date;
    EXPECT_NE(readText(file).find("<date>" + std::string(date) + "</date>"), std::string::npos) << readText(file);
    ASSERT_TRUE(fd::readPropertyList(file)) << date;
  }
  struct Beyond {
    double seconds;
    const char* words;
    const char* shownAs;
  };
  const Beyond beyond[] = {
      {1e300, "a date past the year 9999, which a list cannot keep", "9999-12-31T23:59:59Z"},
      {kPastLast, "a date past the year 9999", "9999-12-31T23:59:59Z"},
      {kInfinity, "a date past the year 9999", "9999-12-31T23:59:59Z"},
      {-1e300, "a date before the year 1, which a list cannot keep", "0001-01-01T00:00:00Z"},
      {kFirst - 0.25, "a date before the year 1", "0001-01-01T00:00:00Z"},
      {-62167219200.0, "a date before the year 1", "0001-01-01T00:00:00Z"},  // 0000-01-01
      {-kInfinity, "a date before the year 1", "0001-01-01T00:00:00Z"},
      {kNaN, "a date that is no number, which a list cannot keep", "2001-01-01T00:00:00Z"},
      // 1999-12-31T23:59:59.75, once rewritten as the next year's first second.
      {946684799.75, "a date with a fraction of a second, which a list cannot keep", "1999-12-31T23:59:59Z"},
      {kReference + 0.5, "a date with a fraction of a second", "2001-01-01T00:00:00Z"},
      {kFirst + 0.25, "a date with a fraction of a second", "0001-01-01T00:00:00Z"},
      {kPastLast - 1e-4, "a date with a fraction of a second", "9999-12-31T23:59:59Z"},
  };
  for (const auto& [seconds, words, shownAs] : beyond) {
    BinaryPlist p;
    const fd::Data list = p.bytes(p.dict({p.ascii("d")}, {p.date(seconds - kReference)}));
    EXPECT_TRUE(refusedFor(fd::parsePropertyList(list), words)) << seconds;
    const Value value(fd::Dictionary{{"d", Value(fd::Date{seconds})}});
    const fd::Status written = fd::writePropertyList(root() / "Beyond.plist", value);
    EXPECT_FALSE(written) << seconds;
    EXPECT_NE(written.error().find(words), std::string::npos) << written.error();
    EXPECT_FALSE(fs::exists(root() / "Beyond.plist"));
    const fd::Status again = fd::plistcheck::readableOnceWritten(value);
    EXPECT_FALSE(again) << seconds;
    EXPECT_NE(again.error().find(words), std::string::npos) << again.error();
    const std::string text = fd::serializePropertyListXML(value);
    EXPECT_NE(text.find(std::string("<date>") + shownAs + "</date>"), std::string::npos) << seconds << "\n" << text;
    EXPECT_TRUE(fd::parsePropertyList(bytesOf(text))) << seconds;
  }
  // A fraction too small to show once the seconds to 1970 are added is
  // refused all the same.
  BinaryPlist tiny;
  EXPECT_TRUE(refusedFor(fd::parsePropertyList(tiny.bytes(tiny.date(1e-8))), "a date with a fraction of a second"));
}

// A damaged or hostile Project.plist or preferences file may hold lists of
// any length. Each item is read once: the ceiling is far above what that takes
// and far below what reading item after item from the front of the list took
// (minutes for a list of this length).
TEST_F(PropertyListTest, LongListsReadInTimeLinearInTheirLength) {
  constexpr std::size_t kItems = 150000;
  BinaryPlist p;
  std::vector<std::size_t> numbers, items;
  for (int v = 0; v < 256; ++v) numbers.push_back(p.integer(static_cast<std::uint8_t>(v)));
  for (std::size_t i = 0; i < kItems; ++i) items.push_back(numbers[i % 256]);
  const std::size_t list = p.array(items);
  const std::size_t key = p.ascii("SoundTagViewPoints");
  const fd::Data binary = p.bytes(p.dict({key}, {list}));

  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict><key>list</key><array>";
  for (std::size_t i = 0; i < kItems; ++i) xml += "<integer>" + std::to_string(i % 256) + "</integer>";
  xml += "</array></dict></plist>\n";

  const auto child = testing_support::runUnderCpuCeiling(5, [&] {
    auto fromBinary = fd::parsePropertyList(binary);
    ASSERT_TRUE(fromBinary) << fromBinary.error();
    const fd::Array* read = (*fromBinary)["SoundTagViewPoints"].array();
    ASSERT_TRUE(read);
    ASSERT_EQ(read->size(), kItems);
    EXPECT_EQ(read->at(kItems - 1), Value(static_cast<int>((kItems - 1) % 256)));

    auto fromXML = fd::parsePropertyList(bytesOf(xml));
    ASSERT_TRUE(fromXML) << fromXML.error();
    EXPECT_EQ((*fromXML)["list"], (*fromBinary)["SoundTagViewPoints"]);

    auto again = fd::parsePropertyList(bytesOf(fd::serializePropertyListXML(*fromBinary)));
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, *fromBinary);
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "signal " << child.signal;
}

// A project of many frames is written with little more memory than its text
// takes (its property-list nodes once took several times that).
TEST_F(PropertyListTest, WritingALongListNeedsLittleMoreMemoryThanItsText) {
  constexpr int kFrames = 30000;
  fd::Array frames;
  fd::Dictionary layers;
  for (int i = 0; i < kFrames; ++i) {
    const std::string a = std::to_string(20260101000000000LL + 2 * i);
    const std::string b = std::to_string(20260101000000001LL + 2 * i);
    frames.push_back(Value(fd::Dictionary{{"IconName", Value(a + "x")}, {"LaysArray", Value(fd::Array{Value(a), Value(b)})}}));
    layers[a] = Value(fd::Dictionary{{"LayPosition", Value(1)}, {"RefPageArray", Value(fd::Array{Value(i + 1)})}});
    layers[b] = Value(fd::Dictionary{{"LayPosition", Value(2)}, {"RefPageArray", Value(fd::Array{Value(i + 1)})}});
  }
  const Value project(fd::Dictionary{{"ImagesArray", Value(std::move(frames))}, {"LaysDictionary", Value(std::move(layers))}});
  const fs::path file = root() / "Library" / "Project.plist";

  const auto child = testing_support::runUnderMemoryCeiling(std::size_t{40} << 20, [&] {
    ASSERT_TRUE(fd::writePropertyList(file, project));
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "signal " << child.signal;
  const auto size = fd::files::fileSize(file);
  ASSERT_TRUE(size);
  EXPECT_GT(*size, std::uintmax_t{15} << 20) << "the text alone is this large";
  auto back = fd::readPropertyList(file);
  ASSERT_TRUE(back) << back.error();
  EXPECT_EQ(*back, project);
}

namespace {

// An array of elements packed without the indentation and line breaks the
// program writes between them, as long as `bytes` allows.
fd::Data packedList(const std::string& element, std::size_t bytes) {
  const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><array>";
  const std::string tail = "</array></plist>\n";
  std::string xml = head;
  xml.reserve(bytes);
  while (xml.size() + element.size() + tail.size() <= bytes) xml += element;
  return bytesOf(xml + tail);
}

}  // namespace

// 12 KB of shared dates stood for 70.6 MB of XML: preferences taken at start
// were written back at quit past the 64 MB bound and set aside at the next
// start. They are refused at the start, set aside and told what they would
// take written.
TEST_F(PropertyListTest, SharedDatesThatWouldBeWrittenPastTheBoundAreRefusedAtTheStart) {
  fd::takeDamagedFileReports();
  const fd::Data dates = testing_support::sharedDateList(2000, 1000);
  EXPECT_LT(dates.size(), std::size_t{16} << 10);
  const fs::path preferences = fd::UserDefaults::standard().filePath();
  ASSERT_TRUE(fd::files::writeFileAtomically(preferences, dates));
  fd::UserDefaults::resetStandardForTesting();
  EXPECT_TRUE(fd::UserDefaults::standard().startedFromDamagedFile());
  EXPECT_TRUE(fd::UserDefaults::standard().objectForKey("dates").isNull());
  std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].kind, fd::DamagedFileReport::Kind::Preferences);
  EXPECT_EQ(reports[0].reason, "it is too large to open: its file of " + fd::files::describeSize(dates.size()) +
                                   " holds what would be saved as 70.6 MiB, more than the 64 MiB a list may be");
  EXPECT_EQ(testing_support::fileBytes(reports[0].keptAs), dates);
}

// XML lists just under the bound (63.9 MB of 64, here scaled down to a
// bound of 1 MB) grew past it once written with the indentation and lines of
// stored files: dates by 6 percent, small numbers by 10, one-byte data by 35.
// Each is refused at its first read with what it would take written; shorter
// ones are taken, written and taken again.
TEST_F(PropertyListTest, PackedListsThatWouldBeWrittenPastTheBoundAreRefusedAtTheirFirstRead) {
  constexpr std::size_t kBound = std::size_t{1} << 20;
  testing_support::ScopedListFileBound bound(kBound);
  struct Packed {
    const char* element;
    const char* writtenAs;
  };
  for (const Packed& list : {Packed{"<date>2013-05-17T08:30:15Z</date>", "1.1 MiB"},
                             Packed{"<integer>7</integer>", "1.1 MiB"}, Packed{"<data>Bw==</data>", "1.4 MiB"}}) {
    const fd::Data packed = packedList(list.element, kBound - kBound / 640);
    const auto read = fd::parsePropertyList(packed);
    EXPECT_TRUE(refusedFor(read, std::string(" holds what would be saved as ") + list.writtenAs +
                                     ", more than the 1 MiB a list may be"))
        << list.element << ": " << (read ? "taken" : read.error());

    const auto taken = fd::parsePropertyList(packedList(list.element, kBound * 7 / 10));
    ASSERT_TRUE(taken) << list.element << ": " << taken.error();
    const fs::path file = root() / "Library" / "Packed.plist";
    ASSERT_TRUE(fd::writePropertyList(file, *taken));
    const auto again = fd::readPropertyList(file);
    ASSERT_TRUE(again) << list.element << ": " << again.error();
    EXPECT_EQ(*again, *taken);
  }
}

// The size a list is held to is the one the writer makes, over every kind of
// value at every depth: numbers of every width and sign, reals with their
// special spellings, dates before and after the epoch, text whose markup is
// written longer than it reads, data whose base64 lines shorten with the
// indentation, keys cut at a NUL into one, values left out.
TEST_F(PropertyListTest, TheSizeAListIsHeldToIsTheSizeItIsWritten) {
  std::vector<Value> values = {everyKind(), Value(), Value(fd::Array{}), Value(fd::Dictionary{})};
  for (long long n : {0LL, 7LL, -7LL, 10LL, -10000LL, std::numeric_limits<long long>::min(),
                      std::numeric_limits<long long>::max()})
    values.emplace_back(n);
  for (double d : {0.0, -0.0, 0.1, -2.5e-300, 1e300, 1.0 / 3.0, std::numeric_limits<double>::quiet_NaN(),
                   std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()})
    values.emplace_back(d);
  for (double t : {-1e12, -1.0, 0.0, 978307200.5, 2e9, 1e15, std::numeric_limits<double>::quiet_NaN()})
    values.emplace_back(fd::Date{t});
  using namespace std::string_literals;
  for (const std::string& text : {""s, "&"s, "<&>"s, "a&amp;b"s, "\"quoted\" 'and' ]]>"s, "Grüße 世界"s, "cut\0here"s})
    values.emplace_back(text);
  fd::Dictionary cutKeys{{std::string("a\0x", 3), Value(1)}, {std::string("a\0y", 3), Value(2)},
                         {"a&b", Value(3)}, {"<", Value()}};
  values.emplace_back(cutKeys);
  for (std::size_t length : {0, 1, 2, 3, 4, 56, 57, 58, 100, 1000}) {
    fd::Data bytes(length);
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(i * 37);
    Value nested(bytes);
    for (int depth = 0; depth < 12; ++depth) {
      values.push_back(nested);
      nested = depth % 2 ? Value(fd::Array{nested, Value()}) : Value(fd::Dictionary{{"k&", nested}, {"null", Value()}});
    }
  }
  Value deep(fd::Array{Value(1)});
  for (int i = 0; i < fd::plistcheck::kMaxDepth + 8; ++i) deep = Value(fd::Array{deep, Value("x")});
  values.push_back(deep);
  for (const Value& v : values)
    EXPECT_EQ(fd::writtenPropertyListSize(v), fd::serializePropertyListXML(v).size())
        << fd::serializePropertyListXML(v).substr(0, 400);
}

namespace {

// The binary form of a value of whole numbers and ASCII text: a number of
// one byte where it fits, of eight where it is signed, of sixteen above the
// signed range.
std::size_t binaryObject(BinaryPlist& p, const Value& v) {
  switch (v.type()) {
    case Value::Type::Bool: return p.boolean(v.boolValue());
    case Value::Type::Integer: {
      if (const std::optional<std::uint64_t> large = v.largeUnsigned()) return p.integer16(0, *large);
      const std::int64_t n = v.integerValue();
      return n >= 0 && n <= 255 ? p.integer(static_cast<std::uint8_t>(n)) : p.integer8(n);
    }
    case Value::Type::Real: return p.real(v.doubleValue());
    case Value::Type::String: return p.ascii(*v.string());
    case Value::Type::Data: return p.data(*v.data());
    case Value::Type::Date: return p.date(v.date()->seconds - 978307200.0);
    case Value::Type::Array: {
      std::vector<std::size_t> items;
      for (const Value& item : *v.array()) items.push_back(binaryObject(p, item));
      return p.array(items);
    }
    case Value::Type::Dictionary: {
      std::vector<std::size_t> keys, items;
      for (const auto& [key, item] : *v.dictionary()) {
        keys.push_back(p.ascii(key));
        items.push_back(binaryObject(p, item));
      }
      return p.dict(keys, items);
    }
    case Value::Type::Null: break;
  }
  return p.boolean(false);
}

fd::Data binaryOf(const Value& v) {
  BinaryPlist p;
  const std::size_t top = binaryObject(p, v);
  return p.bytes(top);
}

// The least budget the reader reads the text within.
std::uint64_t chargeOf(const std::string& text) {
  std::uint64_t low = 1, high = fd::kMaxPropertyListBuildBytes;
  while (low < high) {
    const std::uint64_t middle = low + (high - low) / 2;
    ScopedBuildBudget budget(middle);
    if (fd::plistcheck::checkXML(text))
      high = middle;
    else
      low = middle + 1;
  }
  return low;
}

}  // namespace

// A list read within the budget for what it builds may be charged more once
// written: its numbers, dates and base64 lines become text, its markup
// characters entities. It is taken only when its written form would be read
// within the budget too, to the byte, and its written form is then read again.
TEST_F(PropertyListTest, AListIsTakenOnlyWhenItsWrittenFormWouldBeReadWithinTheBudget) {
  fd::Array dates(3000, Value(fd::Date{1368779415}));
  fd::Array numbers, data;
  for (int i = 0; i < 2000; ++i) numbers.emplace_back(i % 2 ? Value(i % 256) : Value(i / 7.0));
  for (int i = 0; i < 500; ++i) data.emplace_back(fd::Data(static_cast<std::size_t>(i % 90), static_cast<std::uint8_t>(i)));
  fd::Dictionary markup;
  for (int i = 0; i < 300; ++i) markup["k&" + std::to_string(i)] = Value(std::string(static_cast<std::size_t>(i), '&'));
  const Value nested(fd::Dictionary{{"a<", Value(fd::Array{Value(dates), Value(fd::Dictionary{{"d", Value(data)}})})},
                                    {"b", Value(true)}, {"c", Value(markup)}});
  for (const Value& v : {Value(dates), Value(numbers), Value(data), Value(markup), nested}) {
    const std::string text = fd::serializePropertyListXML(v);
    const fd::Data binary = binaryOf(v);
    const std::uint64_t charge = chargeOf(text);
    {
      ScopedBuildBudget budget(charge - 1);
      ASSERT_TRUE(fd::plistcheck::checkBinary(binary)) << "the binary form itself is read within the budget";
      EXPECT_TRUE(refusedFor(fd::parsePropertyList(binary), "it is too large to open: saved again and once read")) << text.substr(0, 300);
    }
    ScopedBuildBudget budget(charge);
    const auto read = fd::parsePropertyList(binary);
    ASSERT_TRUE(read) << read.error();
    EXPECT_EQ(*read, v);
    const auto again = fd::parsePropertyList(bytesOf(text));
    ASSERT_TRUE(again) << again.error();
    EXPECT_EQ(*again, v);
  }
}

// A list grown by the program's own edits past what would be read again is
// not written: the write fails in words and the file before it stays whole,
// whether the text would pass the bound or build past the budget once read.
TEST_F(PropertyListTest, AWriteThatWouldNotBeReadAgainIsRefusedAndTheFileKept) {
  const fs::path file = root() / "Grown" / "Grown.plist";
  fs::create_directories(file.parent_path());
  const Value before(fd::Dictionary{{"text", Value(std::string(1000, 'a'))}});
  ASSERT_TRUE(fd::writePropertyList(file, before));
  const std::optional<fd::Data> written = testing_support::fileBytes(file);

  const Value past(fd::Dictionary{{"text", Value(std::string(fd::kMaxPropertyListBytes, 'a'))}});
  const fd::Status refused = fd::writePropertyList(file, past);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error(), file.string() +
                                 " is not written: it is too large to keep, as it would be saved as 64 MiB and 224 "
                                 "bytes, more than the 64 MiB a list may be");
  {
    ScopedBuildBudget budget(1 << 20);
    const Value heavy(fd::Array(20000, Value(true)));
    EXPECT_LT(fd::writtenPropertyListSize(heavy), std::uint64_t{1} << 20);
    const fd::Status charged = fd::writePropertyList(file, heavy);
    EXPECT_FALSE(charged);
    EXPECT_NE(charged.error().find("more than the 1 MiB a list may take"), std::string::npos) << charged.error();
  }
  EXPECT_EQ(testing_support::fileBytes(file), written);
  EXPECT_EQ(*fd::readPropertyList(file), before);
  EXPECT_EQ(fd::files::contentsOfDirectory(file.parent_path()), std::vector<std::string>{"Grown.plist"})
      << "no temp file may be left behind";
}

namespace {

// Equal values, or the two told apart by their written form.
testing::AssertionResult sameList(const Value& got, const Value& wanted) {
  if (got == wanted) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "got\n" << startOf(got) << "\nwhere it was\n" << startOf(wanted);
}

// A list read from its bytes (as `expected`, where given), written and read
// again; the second read must give what the first did.
void expectReadWrittenAndReadAgain(const fd::Data& bytes, const fs::path& file, const std::string& what,
                                   const Value* expected = nullptr) {
  const auto read = fd::parsePropertyList(bytes);
  ASSERT_TRUE(read) << what << ": " << read.error();
  if (expected != nullptr) {
    EXPECT_TRUE(sameList(*read, *expected)) << what;
  }
  ASSERT_TRUE(fd::writePropertyList(file, *read)) << what;
  const auto again = fd::readPropertyList(file);
  ASSERT_TRUE(again) << what << ": " << again.error();
  EXPECT_TRUE(sameList(*again, *read)) << what;
}

// A dictionary whose key holds arrays nested down to an empty string,
// `levels` levels of values in all, as XML writes it with the string one
// empty tag.
std::string deepDictionaryXML(int levels) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>k</key>";
  for (int i = 0; i < levels - 2; ++i) xml += "<array>";
  xml += "<string/>";
  for (int i = 0; i < levels - 2; ++i) xml += "</array>";
  return xml + "</dict></plist>\n";
}
fd::Data deepDictionaryBinary(int levels) {
  BinaryPlist p;
  std::size_t inner = p.ascii("");
  for (int i = 0; i < levels - 2; ++i) inner = p.array({inner});
  return p.bytes(p.dict({p.ascii("k")}, {inner}));
}
// Arrays around a flag, `levels` levels in all, with no <plist> around them.
std::string bareArraysXML(int levels) {
  std::string xml;
  for (int i = 0; i < levels - 1; ++i) xml += "<array>";
  xml += "<true/>";
  for (int i = 0; i < levels - 1; ++i) xml += "</array>";
  return xml;
}

}  // namespace

// Levels of values are counted one way by both readers (XML with <plist>
// or without, a leaf as one empty tag or two; binary), the writer and the
// check: a list of 513 levels is refused at its first read, the preferences'
// at a start too, 512 are read, written and read again the same, and a value
// made deeper is not written. 513 had been taken and written one level deeper.
TEST_F(PropertyListTest, ListsAreTakenAsDeepAsTheyAreWrittenAndReadAgain) {
  const fs::path file = root() / "Library" / "Deep.plist";
  for (const auto& [what, bytes] : std::vector<std::pair<std::string, fd::Data>>{
           {"XML dictionary", bytesOf(deepDictionaryXML(512))},
           {"binary dictionary", deepDictionaryBinary(512)},
           {"bare arrays", bytesOf(bareArraysXML(512))},
           {"binary arrays", nestedBinary(512)}})
    expectReadWrittenAndReadAgain(bytes, file, what + ", 512 levels");
  for (const auto& [what, bytes] : std::vector<std::pair<std::string, fd::Data>>{
           {"XML dictionary, 513 levels", bytesOf(deepDictionaryXML(513))},
           {"binary dictionary, 513 levels", deepDictionaryBinary(513)},
           {"bare arrays, 513 levels", bytesOf(bareArraysXML(513))},
           {"bare arrays, 514 levels", bytesOf(bareArraysXML(514))},
           {"binary arrays, 513 levels", nestedBinary(513)}})
    EXPECT_TRUE(refusedFor(fd::parsePropertyList(bytes), "nested deeper than 512 levels")) << what;

  // The preferences are the first list read at a start: one too deep is set
  // aside there, told why.
  fd::takeDamagedFileReports();
  const fs::path preferences = fd::UserDefaults::standard().filePath();
  ASSERT_TRUE(fd::files::writeFileAtomically(preferences, bytesOf(deepDictionaryXML(513))));
  fd::UserDefaults::resetStandardForTesting();
  EXPECT_TRUE(fd::UserDefaults::standard().startedFromDamagedFile());
  const std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].reason.find("nested deeper than 512 levels"), std::string::npos) << reports[0].reason;

  // A value the program made deeper than a list is read is not written
  // without its innermost value: the write fails in words, the file kept.
  const Value kept(fd::Dictionary{{"k", Value(1)}});
  ASSERT_TRUE(fd::writePropertyList(file, kept));
  Value deep(fd::Array{Value("innermost")});
  for (int level = 2; level < 513; ++level) deep = Value(fd::Array{deep});
  const fd::Status refused = fd::writePropertyList(file, deep);
  ASSERT_FALSE(refused);
  EXPECT_NE(refused.error().find("nested deeper than the 512 levels a list may be"),
            std::string::npos)
      << refused.error();
  EXPECT_EQ(*fd::readPropertyList(file), kept);
  EXPECT_TRUE(fd::writePropertyList(file, deep.at(0)));
  const auto back = fd::readPropertyList(file);
  ASSERT_TRUE(back) << back.error();
  EXPECT_EQ(*back, deep.at(0));
}

// Integers above the signed 64-bit range (the binary form holds unsigned
// ones in sixteen bytes) were read as negative numbers and written back so,
// and those below it as large positive ones. They are kept as they are,
// written with their own digits and read again the same; one beyond what a
// list may hold is refused in words at its first read.
TEST_F(PropertyListTest, IntegersAreKeptAsTheyAreOrRefusedNeverChanged) {
  constexpr std::uint64_t kTop = std::numeric_limits<std::uint64_t>::max();
  constexpr long long kLeast = std::numeric_limits<long long>::min();
  const char* const digits[] = {"18446744073709551615", "9223372036854775808", "9223372036854775807",
                                "-9223372036854775808", "-1", "0"};
  const Value expected(fd::Array{Value(kTop), Value(std::uint64_t{1} << 63), Value(std::numeric_limits<long long>::max()),
                                 Value(kLeast), Value(-1), Value(0)});
  std::string xml = "<plist version=\"1.0\"><array>";
  for (const char* d : digits) xml += std::string("<integer>") + d + "</integer>";
  xml += "</array></plist>";
  BinaryPlist p;
  const fd::Data binary = p.bytes(p.array({p.integer16(0, kTop), p.integer16(0, std::uint64_t{1} << 63),
                                           p.integer8(std::numeric_limits<long long>::max()),
                                           p.integer16(~std::uint64_t{0}, static_cast<std::uint64_t>(kLeast)),
                                           p.integer16(~std::uint64_t{0}, ~std::uint64_t{0}), p.integer8(0)}));
  const fs::path file = root() / "Library" / "Numbers.plist";
  for (const auto& [what, bytes] : {std::pair<const char*, fd::Data>{"XML", bytesOf(xml)}, {"binary", binary}})
    expectReadWrittenAndReadAgain(bytes, file, what, &expected);
  const std::string written = fd::serializePropertyListXML(expected);
  for (const char* d : digits)
    EXPECT_NE(written.find(std::string("<integer>") + d + "</integer>"), std::string::npos) << d << " in\n" << written;
  // What the program asks of them keeps their sense: the largest number is
  // no -1, and reads as the largest its callers take.
  const Value& top = expected.at(0);
  EXPECT_EQ(top.integerValue(), std::numeric_limits<std::int64_t>::max());
  EXPECT_NE(top, Value(-1));

  std::vector<std::pair<std::string, fd::Data>> beyond;
  for (const char* d : {"18446744073709551616", "-9223372036854775809", "99999999999999999999999",
                        "-18446744073709551615", "0x10000000000000000"})
    beyond.emplace_back(d, bytesOf(std::string("<plist version=\"1.0\"><integer>") + d + "</integer></plist>"));
  for (const auto& [high, low] :
       {std::pair<std::uint64_t, std::uint64_t>{1, 0}, {~std::uint64_t{0}, 5}, {0x8000000000000000, 0}}) {
    BinaryPlist b;
    beyond.emplace_back("binary " + std::to_string(high) + " " + std::to_string(low),
                        b.bytes(b.array({b.integer16(high, low)})));
  }
  for (const auto& [what, bytes] : beyond)
    EXPECT_TRUE(refusedFor(fd::parsePropertyList(bytes), "integer beyond those a list may hold")) << what;

  // A binary list's unique id, by which an archive's objects refer to one
  // another, has no XML form: it was read as an integer and written as one.
  for (std::uint8_t size : {1, 2, 4, 8}) {
    BinaryPlist b;
    fd::Data id{static_cast<std::uint8_t>(0x80 | (size - 1))};
    id.insert(id.end(), size, 7);
    EXPECT_TRUE(refusedFor(fd::parsePropertyList(b.bytes(b.dict({b.ascii("root")}, {b.add(id)}))),
                           "it holds the id of an archived object, which a list cannot keep"))
        << int{size};
  }
}

namespace {

// `value` with a string beside it that brings its written form to `bytes`
// exactly: markup characters, each written as five bytes as the bound takes
// them, and a plain letter or few.
Value writtenTo(const Value& value, std::uint64_t bytes) {
  Value padded(fd::Dictionary{{"items", value}, {"pad", Value("")}});
  const std::uint64_t without = fd::writtenPropertyListSize(padded);
  EXPECT_LE(without, bytes);
  const std::uint64_t more = bytes - without;
  padded["pad"] = Value(std::string(more / 5, '&') + std::string(more % 5, 'a'));
  EXPECT_EQ(fd::writtenPropertyListSize(padded), bytes);
  return padded;
}

}  // namespace

// The check that a list is written within the file bound first bounds its
// written form from the kinds and lengths of its values, and counts it
// exactly only where that bound comes near: a list of each kind of value at
// its longest written form, brought to exactly the bound, is taken from
// either form, and one byte more is refused at its first read.
TEST_F(PropertyListTest, AListWrittenToExactlyTheBoundIsTakenAndOneByteMoreRefused) {
  constexpr std::uint64_t kBound = std::uint64_t{64} << 10;
  testing_support::ScopedListFileBound bound(kBound);
  const auto many = [](const Value& v, std::size_t n) { return Value(fd::Array(n, v)); };
  fd::Data bytes(57);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 41);
  Value nested(bytes);
  for (int i = 0; i < 12; ++i) nested = Value(fd::Array{nested, Value(bytes)});
  fd::Dictionary keys;
  for (int i = 0; i < 300; ++i) keys["&<>" + std::to_string(i)] = Value(i % 2 == 0);
  Value levels(fd::Array{Value(1)});
  for (int i = 0; i < 200; ++i) levels = Value(fd::Array{levels});
  const std::pair<const char*, Value> kinds[] = {
      {"reals", many(Value(-1.2345678901234567e-300), 1000)},
      {"integers", Value(fd::Array{many(Value(std::numeric_limits<long long>::min()), 500),
                                   many(Value(std::numeric_limits<std::uint64_t>::max()), 500)})},
      {"dates", many(Value(fd::Date{-62135596800.0}), 1000)},
      {"flags", many(Value(false), 3000)},
      {"markup", many(Value(std::string(30, '&') + "<>"), 300)},
      {"data at depth", many(nested, 8)},
      {"keys", Value(keys)},
      {"levels", levels},
  };
  const fs::path file = root() / "Library" / "Edge.plist";
  for (const auto& [what, value] : kinds) {
    const Value exact = writtenTo(value, kBound), over = writtenTo(value, kBound + 1);
    ASSERT_EQ(fd::serializePropertyListXML(exact).size(), kBound) << what;
    for (const bool binary : {false, true}) {
      const std::string form = std::string(what) + (binary ? ", binary" : ", XML");
      const auto inForm = [&](const Value& v) {
        return binary ? binaryOf(v) : bytesOf(fd::serializePropertyListXML(v));
      };
      expectReadWrittenAndReadAgain(inForm(exact), file, form, &exact);
      EXPECT_TRUE(refusedFor(fd::parsePropertyList(inForm(over)),
                             "holds what would be saved as 64 KiB and 1 byte, more than the 64 KiB a list may be"))
          << form;
    }
    EXPECT_FALSE(fd::writePropertyList(file, over)) << what;
  }
}
