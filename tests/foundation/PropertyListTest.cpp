#include "platform/foundation/PropertyList.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>

#include "platform/foundation/FileUtil.h"
#include "support/Sandbox.h"

namespace fs = std::filesystem;
using fd::Value;

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

}  // namespace

class PropertyListTest : public testing_support::SandboxTest {};

TEST_F(PropertyListTest, EveryKindRoundTripsThroughXML) {
  Value original = everyKind();
  std::string error;
  auto back = fd::parsePropertyList(bytesOf(fd::serializePropertyListXML(original)), &error);
  ASSERT_TRUE(back) << error;
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
  std::string error;
  auto v = fd::readPropertyList(fs::path(FLIPDESK_TEST_DATA) / "binary.plist", &error);
  ASSERT_TRUE(v) << error;
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
  auto binary = fd::files::readFile(fs::path(FLIPDESK_TEST_DATA) / "binary.plist");
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
    std::string error;
    EXPECT_FALSE(fd::parsePropertyList(damaged[i], &error)) << "case " << i;
    EXPECT_FALSE(error.empty());
  }
  for (const fd::Data& d : damaged) fd::parsePropertyList(d);  // must not crash under the sanitizers
}

TEST_F(PropertyListTest, MissingFileIsAnError) {
  std::string error;
  EXPECT_FALSE(fd::readPropertyList(root() / "nope.plist", &error));
  EXPECT_FALSE(error.empty());
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
