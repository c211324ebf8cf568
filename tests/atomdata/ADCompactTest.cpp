// The one-word holders of an object's text and attributes, at the edges of
// their forms: empty, seven bytes (the most kept inside the word), eight,
// bytes that are NUL, the mark, copies and moves.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "atomdata/ADCompact.h"
#include "atomdata/ADObject.h"

TEST(ADCompact, TextKeepsEveryLengthAndTellsAbsentFromEmpty) {
  EXPECT_FALSE(ADText().has());
  EXPECT_FALSE(ADText::of(std::nullopt).has());
  EXPECT_EQ(ADText::of(std::string()).value(), std::string());
  for (const std::string& s : {std::string("t"), std::string("1234567"), std::string("12345678"),
                              std::string(7, '\0'), std::string("long text of a title, well past a word")}) {
    const ADText text(s);
    ASSERT_TRUE(text.has());
    EXPECT_EQ(text.view(), s);
    ADText copy = text;
    EXPECT_EQ(copy.view(), s);
    ADText moved = std::move(copy);
    EXPECT_EQ(moved.view(), s);
    EXPECT_FALSE(copy.has()) << "a text moved from is absent";
    moved = text;
    EXPECT_EQ(moved.view(), s);
    EXPECT_FALSE(text.isMark());
  }
  const ADText mark = ADText::mark();
  EXPECT_TRUE(mark.isMark());
  EXPECT_FALSE(mark.has());
  EXPECT_EQ(mark.view(), "");
}

TEST(ADCompact, AttributesStayInNameOrderAndCompareWithoutTheIgnored) {
  ADAttributeList list;
  list.set("rel", std::string("alternate"));
  list.set("href", std::string("http://example.test/a"));
  list.set("type", std::string(""));
  std::string order;
  list.forEach([&](std::string_view name, std::string_view value) { order += std::string(name) + "=" + std::string(value) + ";"; });
  EXPECT_EQ(order, "href=http://example.test/a;rel=alternate;type=;");
  EXPECT_EQ(list.find("type"), std::string_view(""));
  EXPECT_FALSE(list.find("ty"));

  ADAttributeList other = list;
  other.set("rel", std::string("edit"));
  EXPECT_EQ(list.find("rel"), std::string_view("alternate")) << "a copy is a list of its own";
  auto none = [](std::string_view) { return false; };
  EXPECT_FALSE(list.equals(other, none));
  EXPECT_TRUE(list.equals(other, [](std::string_view name) { return name == "rel"; }));

  other.set("rel", std::nullopt);
  other.set("href", std::nullopt);
  other.set("type", std::nullopt);
  EXPECT_TRUE(other.empty());
  other.set("absent", std::nullopt);
  EXPECT_TRUE(other.empty());
}

// An element's name equal to its class's is only marked, and still read back.
TEST(ADCompact, AnObjectNamedAsItsClassReadsThatName) {
  ADObject object;
  EXPECT_FALSE(object.elementName());
  object.setElementName(object.classInfo().qualifiedName());
  EXPECT_EQ(object.elementName(), object.classInfo().qualifiedName());
  object.setElementName(std::string("x:other"));
  EXPECT_EQ(object.elementName(), "x:other");
  object.setElementName(std::nullopt);
  EXPECT_FALSE(object.elementName());
}
