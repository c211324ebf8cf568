#include "platform/foundation/Value.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

using fd::Value;

TEST(Value, StringsCoerceFromTheirLeadingNumber) {
  EXPECT_EQ(Value("12abc").intValue(), 12);
  EXPECT_EQ(Value(" 3.5").intValue(), 3);
  EXPECT_FLOAT_EQ(Value(" 3.5").floatValue(), 3.5f);
  EXPECT_EQ(Value("abc").intValue(), 0);
  EXPECT_DOUBLE_EQ(Value("abc").doubleValue(), 0.0);
  EXPECT_EQ(Value("-42x").integerValue(), -42);
  EXPECT_EQ(Value("+7").intValue(), 7);
  EXPECT_DOUBLE_EQ(Value("1.5e2px").doubleValue(), 150.0);
  EXPECT_DOUBLE_EQ(Value("2e").doubleValue(), 2.0);
  EXPECT_DOUBLE_EQ(Value(".25").doubleValue(), 0.25);
  EXPECT_DOUBLE_EQ(Value("-.").doubleValue(), 0.0);
  EXPECT_EQ(Value("1e3").intValue(), 1);
  EXPECT_EQ(Value("").intValue(), 0);
}

TEST(Value, StringOverflowClampsInsteadOfWrapping) {
  EXPECT_EQ(Value("99999999999").intValue(), std::numeric_limits<int>::max());
  EXPECT_EQ(Value("-99999999999").intValue(), std::numeric_limits<int>::min());
  EXPECT_EQ(Value("99999999999999999999999").integerValue(), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(Value("-9223372036854775808").integerValue(), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(Value("1e999").doubleValue(), std::numeric_limits<double>::infinity());
}

TEST(Value, RealsTruncateTowardZero) {
  EXPECT_EQ(Value(2.9).intValue(), 2);
  EXPECT_EQ(Value(-2.9).intValue(), -2);
  EXPECT_EQ(Value(-0.5).integerValue(), 0);
  EXPECT_EQ(Value(1e30).integerValue(), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(Value(std::numeric_limits<double>::quiet_NaN()).intValue(), 0);
  EXPECT_FLOAT_EQ(Value(7).floatValue(), 7.0f);
}

TEST(Value, BoolCoercion) {
  EXPECT_TRUE(Value("YES").boolValue());
  EXPECT_TRUE(Value("yes").boolValue());
  EXPECT_TRUE(Value("true").boolValue());
  EXPECT_TRUE(Value("T").boolValue());
  EXPECT_TRUE(Value("  7").boolValue());
  EXPECT_TRUE(Value("-007").boolValue());
  EXPECT_FALSE(Value("no").boolValue());
  EXPECT_FALSE(Value("NO").boolValue());
  EXPECT_FALSE(Value("false").boolValue());
  EXPECT_FALSE(Value("0").boolValue());
  EXPECT_FALSE(Value("0.5").boolValue());
  EXPECT_FALSE(Value("").boolValue());
  EXPECT_TRUE(Value(0.5).boolValue());
  EXPECT_FALSE(Value(0.0).boolValue());
  EXPECT_TRUE(Value(-3).boolValue());
  EXPECT_FALSE(Value(0).boolValue());
  EXPECT_EQ(Value(true).intValue(), 1);
  EXPECT_DOUBLE_EQ(Value(false).doubleValue(), 0.0);
  EXPECT_FALSE(Value().boolValue());
  EXPECT_FALSE(Value(fd::Array{Value(1)}).boolValue());
}

TEST(Value, StringValueDescribesNumbers) {
  EXPECT_EQ(Value(12).stringValue(), "12");
  EXPECT_EQ(Value(0.5).stringValue(), "0.5");
  EXPECT_EQ(Value(true).stringValue(), "1");
  EXPECT_EQ(Value("x").stringValue(), "x");
  EXPECT_EQ(Value(fd::Data{1}).stringValue(), "");
  EXPECT_EQ(Value().stringValue(), "");
}

TEST(Value, TypesStayDistinct) {
  EXPECT_TRUE(Value(1).isInteger());
  EXPECT_TRUE(Value(1.0).isReal());
  EXPECT_TRUE(Value(1.0f).isReal());
  EXPECT_TRUE(Value(true).isBool());
  EXPECT_TRUE(Value(9000000000LL).isInteger());
  EXPECT_EQ(Value(9000000000LL).integerValue(), 9000000000LL);
  EXPECT_EQ(Value(std::size_t{3}), Value(3));
  EXPECT_EQ(Value(~0ull).integerValue(), std::numeric_limits<std::int64_t>::max());
  EXPECT_NE(Value(1), Value(1.0));
  EXPECT_NE(Value(1), Value(true));
  EXPECT_NE(Value("1"), Value(1));
  EXPECT_EQ(Value(fd::Date{5}), Value(fd::Date{5}));
  EXPECT_EQ(Value(fd::Date{5}).doubleValue(), 0.0);
}

// Integers above the signed 64-bit range, as unsigned counts and property
// lists hold them, are kept as they are: told with their own digits, equal
// to themselves alone, and given to callers that ask for a signed or an int
// as the largest one rather than as a negative number.
TEST(Value, IntegersAboveTheSignedRangeKeepTheirValue) {
  constexpr std::uint64_t kTop = std::numeric_limits<std::uint64_t>::max();
  constexpr std::uint64_t kJustAbove = std::uint64_t{1} << 63;
  const Value top(kTop), justAbove(kJustAbove);
  EXPECT_TRUE(top.isInteger());
  EXPECT_EQ(top.stringValue(), "18446744073709551615");
  EXPECT_EQ(justAbove.stringValue(), "9223372036854775808");
  EXPECT_EQ(top.largeUnsigned(), kTop);
  EXPECT_EQ(top.integerValue(), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(top.intValue(), std::numeric_limits<int>::max());
  EXPECT_DOUBLE_EQ(top.doubleValue(), 18446744073709551615.0);
  EXPECT_TRUE(top.boolValue());
  EXPECT_EQ(top, Value(kTop));
  EXPECT_NE(top, Value(-1));
  EXPECT_NE(justAbove, Value(std::numeric_limits<long long>::min()));
  EXPECT_NE(top, Value(std::numeric_limits<long long>::max()));
  // Within the signed range a number has one form, however it was made.
  EXPECT_EQ(Value(std::uint64_t{5}), Value(5));
  EXPECT_EQ(Value(kJustAbove - 1), Value(std::numeric_limits<long long>::max()));
  EXPECT_FALSE(Value(std::numeric_limits<long long>::max()).largeUnsigned());
  EXPECT_FALSE(Value(-1).largeUnsigned());
}

TEST(Value, ContainerAccess) {
  Value v;
  v["a"]["b"] = 3;
  v["list"] = fd::Array{Value(1), Value("two")};
  EXPECT_TRUE(v.isDictionary());
  EXPECT_EQ(v["a"]["b"].intValue(), 3);
  EXPECT_TRUE(v.contains("list"));
  EXPECT_FALSE(v.contains("missing"));
  const Value& c = v;
  EXPECT_TRUE(c["missing"].isNull());
  EXPECT_FALSE(v.contains("missing")) << "a const look-up must not insert";
  EXPECT_EQ(c["list"].at(1), Value("two"));
  EXPECT_TRUE(c["list"].at(2).isNull());
  EXPECT_TRUE(c["a"]["b"]["deeper"].isNull());
  EXPECT_EQ(c["list"].count(), 2u);
  EXPECT_EQ(Value(5).count(), 0u);
  EXPECT_EQ(Value(5).array(), nullptr);

  Value number(5);
  EXPECT_THROW(number["k"], std::logic_error);
}
