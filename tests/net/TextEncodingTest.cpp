#include <gtest/gtest.h>

#include "net/TextEncoding.h"

TEST(TextEncodingTest, CharsetIsFoundAmongTheParameters) {
  EXPECT_EQ(net_text::charsetOf("text/plain; charset=utf-8"), "utf-8");
  EXPECT_EQ(net_text::charsetOf("text/html;level=1;CHARSET=\"Shift_JIS\" ; q=2"), "Shift_JIS");
  EXPECT_EQ(net_text::charsetOf("application/json"), std::nullopt);
  EXPECT_EQ(net_text::charsetOf("text/plain; charset="), std::nullopt);
  EXPECT_EQ(net_text::charsetOf("text/plain; xcharset=utf-8"), std::nullopt);
  EXPECT_EQ(net_text::charsetOf(""), std::nullopt);
}

TEST(TextEncodingTest, DecodesToUTF8) {
  // Latin-1 maps every byte, so any body has a text.
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  std::optional<std::string> latin1 = net_text::decodeToUTF8(all, std::nullopt);
  ASSERT_TRUE(latin1);
  EXPECT_EQ(latin1->size(), 128u + 2 * 128u);
  EXPECT_EQ(latin1->substr(latin1->size() - 2), "\xc3\xbf");

  EXPECT_EQ(net_text::decodeToUTF8("", std::string("utf-8")), "");
  EXPECT_EQ(net_text::decodeToUTF8("\x82\xa0", std::string("Shift_JIS")), "\xe3\x81\x82");
  EXPECT_EQ(net_text::decodeToUTF8("\xe3\x81", std::string("UTF-8")), std::nullopt) << "cut in a character";
  EXPECT_EQ(net_text::decodeToUTF8("\xed\xa0\x80", std::string("UTF-8")), std::nullopt) << "a lone surrogate";

  // Text three times the size of its bytes ("\x80" is the euro sign) grows
  // the output as often as needed.
  std::string euros(1 << 20, '\x80');
  std::optional<std::string> grown = net_text::decodeToUTF8(euros, std::string("windows-1252"));
  ASSERT_TRUE(grown);
  EXPECT_EQ(grown->size(), euros.size() * 3);
  EXPECT_EQ(grown->substr(0, 3), "\xe2\x82\xac");
}
