#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "net/JSON.h"

namespace {

fd::Value parse(std::string_view text) {
  std::optional<fd::Value> v = mutableObjectFromJSONString(text);
  EXPECT_TRUE(v.has_value()) << text;
  return v.value_or(fd::Value());
}

std::string nested(std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

}  // namespace

TEST(JSONTest, EveryKindIntoValues) {
  fd::Value v = parse(R"({"s":"x","i":-3,"r":0.5,"t":true,"f":false,"n":null,"a":[1,"two",[3]],"o":{"k":{}}})");
  ASSERT_TRUE(v.isDictionary());
  EXPECT_EQ(v.count(), 8u);
  EXPECT_EQ(v["s"], fd::Value("x"));
  EXPECT_TRUE(v["i"].isInteger());
  EXPECT_EQ(v["i"].integerValue(), -3);
  EXPECT_TRUE(v["r"].isReal());
  EXPECT_EQ(v["r"].doubleValue(), 0.5);
  EXPECT_EQ(v["t"], fd::Value(true));
  EXPECT_EQ(v["f"], fd::Value(false));
  EXPECT_TRUE(v.contains("n"));
  EXPECT_TRUE(v["n"].isNull());
  EXPECT_EQ(v["a"], fd::Value(fd::Array{1, "two", fd::Array{3}}));
  EXPECT_EQ(v["o"]["k"], fd::Value(fd::Dictionary{}));

  // The result belongs to the caller to change.
  v["a"].array()->push_back("more");
  EXPECT_EQ(v["a"].count(), 4u);

  // The stamp list's shapes, with surrounding white space.
  fd::Value mirrors = parse(" \n[{\"url\":\"http://m0/list\"},{\"url\":\"http://m1/list\"}]\r\n");
  ASSERT_TRUE(mirrors.isArray());
  EXPECT_EQ(mirrors.at(1)["url"], fd::Value("http://m1/list"));

  // Any value may stand alone; a lone null is a value, not a failure.
  EXPECT_EQ(parse("3"), fd::Value(3));
  EXPECT_EQ(parse("\"text\""), fd::Value("text"));
  std::optional<fd::Value> null = mutableObjectFromJSONString("null");
  ASSERT_TRUE(null.has_value());
  EXPECT_TRUE(null->isNull());
}

TEST(JSONTest, StringsDecodeEscapesAndKeepEveryCharacter) {
  EXPECT_EQ(parse(R"(["caf\u00e9"])").at(0), fd::Value("caf\xc3\xa9"));
  EXPECT_EQ(parse(R"(["\ud83d\ude00"])").at(0), fd::Value("\xf0\x9f\x98\x80"));
  EXPECT_EQ(parse(R"(["\"\\\/\b\f\n\r\t"])").at(0), fd::Value("\"\\/\b\f\n\r\t"));
  EXPECT_EQ(parse("[\"\xe6\xbc\xab\"]").at(0), fd::Value("\xe6\xbc\xab"));
  EXPECT_EQ(*parse(R"(["a\u0000b"])").at(0).string(), std::string("a\0b", 3));
  // Of repeated keys the last wins.
  EXPECT_EQ(parse(R"({"k":1,"k":2})")["k"], fd::Value(2));
}

TEST(JSONTest, NumbersAtTheLimits) {
  fd::Value v = parse("[9223372036854775807,-9223372036854775808,18446744073709551615,9223372036854775808,"
                      "1.7976931348623157e308,5e-324,-0,1E2,1e-400,-2.5e-3]");
  ASSERT_EQ(v.count(), 10u);
  EXPECT_TRUE(v.at(0).isInteger());
  EXPECT_EQ(v.at(0).integerValue(), std::numeric_limits<std::int64_t>::max());
  EXPECT_TRUE(v.at(1).isInteger());
  EXPECT_EQ(v.at(1).integerValue(), std::numeric_limits<std::int64_t>::min());
  // Beyond the signed range the size is kept as a real, not clamped.
  EXPECT_TRUE(v.at(2).isReal());
  EXPECT_EQ(v.at(2).doubleValue(), 18446744073709551615.0);
  EXPECT_TRUE(v.at(3).isReal());
  EXPECT_EQ(v.at(3).doubleValue(), 9223372036854775808.0);
  EXPECT_EQ(v.at(4).doubleValue(), std::numeric_limits<double>::max());
  EXPECT_EQ(v.at(5).doubleValue(), std::numeric_limits<double>::denorm_min());
  EXPECT_TRUE(v.at(6).isInteger());
  EXPECT_EQ(v.at(6).integerValue(), 0);
  EXPECT_TRUE(v.at(7).isReal());
  EXPECT_EQ(v.at(7).doubleValue(), 100.0);
  EXPECT_EQ(v.at(8).doubleValue(), 0.0);
  EXPECT_EQ(v.at(9).doubleValue(), -0.0025);

  // A number a double cannot hold has no value to give.
  EXPECT_FALSE(mutableObjectFromJSONString("[1e400]"));
  EXPECT_FALSE(mutableObjectFromJSONString("-1e400"));
}

TEST(JSONTest, TextsThatAreNotJSONGiveNil) {
  const char* invalid[] = {
      "",           " ",          "[1,2",        "{\"a\":1",     "[\"open",     "{\"a\"",      "{\"a\":",
      "[1,2]x",     "[1] [2]",    "{} garbage",  "1 2",          "[NaN]",       "NaN",         "[Infinity]",
      "-Infinity",  "{'a':1}",    "['a']",       "[1,]",         "{\"a\":1,}",  "[,1]",        "// note\n[1]",
      "/* c */[1]", "[1]/**/",    "[01]",        "[+1]",         "[.5]",        "[1.]",        "[1e]",
      "{a:1}",      "[\"a\" \"b\"]", "tru",      "nul",          "True",        "[\"\\x41\"]", "[\"\\ud800\"]",
      "[\"tab\there\"]", "{\"a\" 1}", "{1:2}",   "]",            "[\x01]",
  };
  for (const char* text : invalid) EXPECT_FALSE(mutableObjectFromJSONString(text)) << text;
  EXPECT_FALSE(mutableObjectFromJSONString("[\"\xff\"]")) << "invalid UTF-8";
  EXPECT_FALSE(mutableObjectFromJSONString(std::string("[1]\0", 4))) << "a NUL after the value";
}

TEST(JSONTest, NestingIsBoundedAndNeverExhaustsTheStack) {
  EXPECT_TRUE(mutableObjectFromJSONString(nested(kMaxJSONDepth)));
  EXPECT_FALSE(mutableObjectFromJSONString(nested(kMaxJSONDepth + 1)));
  EXPECT_FALSE(mutableObjectFromJSONString(nested(1000000)));
  EXPECT_FALSE(mutableObjectFromJSONString(std::string(1000000, '[')));

  std::string objects;
  for (std::size_t i = 0; i < kMaxJSONDepth; ++i) objects += "{\"k\":";
  objects += "1" + std::string(kMaxJSONDepth, '}');
  fd::Value deep = parse(objects);
  const fd::Value* at = &deep;
  for (std::size_t i = 0; i < kMaxJSONDepth; ++i) at = &(*at)["k"];
  EXPECT_EQ(*at, fd::Value(1));
}
