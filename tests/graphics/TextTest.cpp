// Text layout and drawing: colour, placement, alignment, wrapping,
// truncation and measuring.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/graphics/Text.h"

namespace {

using gfx::Color;
using gfx::Context;
using gfx::Image;
using gfx::Rect;
using gfx::TextStyle;

struct Ink {
  int minX = 1 << 30, minY = 1 << 30, maxX = -1, maxY = -1, count = 0;
  bool any() const { return count > 0; }
  float centreX() const { return (minX + maxX + 1) / 2.0f; }
  float centreY() const { return (minY + maxY + 1) / 2.0f; }
};

Ink inkOf(const Image& img) {
  Ink ink;
  for (int y = 0; y < img.pixelHeight(); ++y)
    for (int x = 0; x < img.pixelWidth(); ++x)
      if (img.pixel(x, y)[3] > 0) {
        ink.minX = std::min(ink.minX, x), ink.maxX = std::max(ink.maxX, x);
        ink.minY = std::min(ink.minY, y), ink.maxY = std::max(ink.maxY, y);
        ++ink.count;
      }
  return ink;
}

Image drawn(const char* text, const TextStyle& style, Rect r, int w = 200, int h = 60, float scale = 1) {
  Context ctx(w, h, scale);
  gfx::drawText(ctx, text, r, style);
  return ctx.makeImage();
}

// How many pixels of the rows above `bottom` differ between two pictures of
// one size.
int differingAbove(const Image& a, const Image& b, float bottom) {
  int differing = 0;
  for (int y = 0; y < static_cast<int>(bottom); ++y)
    for (int x = 0; x < a.pixelWidth(); ++x)
      if (!std::equal(a.pixel(x, y), a.pixel(x, y) + 4, b.pixel(x, y))) ++differing;
  return differing;
}

TEST(GfxTextTest, DrawsInTheGivenColourInsideTheRect) {
  TextStyle style;
  style.color = Color::rgba8(200, 30, 10);
  Image img = drawn("Hello", style, {20, 10, 150, 30});
  Ink ink = inkOf(img);
  ASSERT_TRUE(ink.any());
  EXPECT_GE(ink.minX, 20);
  EXPECT_LE(ink.minX, 24);  // starts at the left edge
  EXPECT_GE(ink.minY, 10);
  EXPECT_LE(ink.maxY, 40);
  EXPECT_LT(ink.maxX, 100);
  int solid = 0;
  for (int y = 0; y < img.pixelHeight(); ++y)
    for (int x = 0; x < img.pixelWidth(); ++x) {
      const std::uint8_t* p = img.pixel(x, y);
      if (p[3] == 255) {
        ++solid;
        EXPECT_EQ(p[0], 200);
        EXPECT_EQ(p[1], 30);
        EXPECT_EQ(p[2], 10);
      } else if (p[3] > 64) {
        EXPECT_NEAR(p[0], 200, 3);  // edges carry the same colour in straight form
      }
    }
  EXPECT_GT(solid, 20);
}

TEST(GfxTextTest, AlignmentMovesTheText) {
  TextStyle style;
  const Rect r{0, 0, 200, 60};
  Ink left = inkOf(drawn("Flip", style, r));
  style.alignment = gfx::TextAlignment::Center;
  Ink centre = inkOf(drawn("Flip", style, r));
  style.alignment = gfx::TextAlignment::Right;
  Ink right = inkOf(drawn("Flip", style, r));
  EXPECT_LT(left.minX, 4);
  EXPECT_NEAR(centre.centreX(), 100, 3);
  EXPECT_GT(right.maxX, 195);
  EXPECT_EQ(left.maxX - left.minX, right.maxX - right.minX);

  // Single-line clipping and truncating styles are aligned as well.
  style.numberOfLines = 1;
  style.lineBreak = gfx::LineBreak::Clip;
  EXPECT_NEAR(inkOf(drawn("Flip", style, r)).maxX, right.maxX, 1);
  style.lineBreak = gfx::LineBreak::TruncateTail;
  style.alignment = gfx::TextAlignment::Center;
  EXPECT_NEAR(inkOf(drawn("Flip", style, r)).centreX(), 100, 3);

  style.verticalAlignment = gfx::VerticalAlignment::Center;
  EXPECT_NEAR(inkOf(drawn("Flip", style, r)).centreY(), 30, 4);
  style.verticalAlignment = gfx::VerticalAlignment::Bottom;
  EXPECT_GT(inkOf(drawn("Flip", style, r)).maxY, 50);
}

// A sentence reads in the direction of its first strong letter outside the
// names it quotes, isolated, whichever way the names read: one beginning
// with a Hebrew name reads left to right, starting at the left.
TEST(GfxTextTest, ASentenceTakesItsDirectionFromOutsideTheNamesItIsolates) {
  const std::string shalom = "\u05e9\u05dc\u05d5\u05dd";
  const std::string sentence = "\u201c\u2068" + shalom + "\u2069\u201d could not be renamed.";
  EXPECT_FALSE(gfx::lineEnd(sentence, gfx::Font{}).rightToLeft);
  EXPECT_TRUE(gfx::lineEnd("\u201c\u2068Walk\u2069\u201d " + shalom, gfx::Font{}).rightToLeft);
  EXPECT_FALSE(gfx::lineEnd("\u2068" + shalom + "\u2069", gfx::Font{}).rightToLeft);
  TextStyle style;
  style.font.size = 12;
  EXPECT_LT(inkOf(drawn(sentence.c_str(), style, {0, 0, 400, 60}, 400)).minX, 4);
}

TEST(GfxTextTest, MeasuringGrowsWithTextAndWraps) {
  TextStyle style;
  EXPECT_EQ(gfx::measureText("", style), (gfx::Size{0, 0}));
  const gfx::Size one = gfx::measureText("a", style);
  const gfx::Size word = gfx::measureText("animation", style);
  const gfx::Size two = gfx::measureText("animation animation", style);
  EXPECT_GT(one.width, 5);
  EXPECT_GT(word.width, 5 * one.width);
  EXPECT_GT(two.width, 2 * word.width);
  EXPECT_EQ(one.height, word.height);
  EXPECT_NEAR(one.height, gfx::lineHeight(style.font), 1);
  EXPECT_GT(one.height, 15);
  EXPECT_LT(one.height, 25);
  EXPECT_EQ(one.width, std::ceil(one.width));

  // Wrapped into a narrow width: two lines, no wider than allowed.
  const gfx::Size wrapped = gfx::measureText("animation animation", style, word.width + 5);
  EXPECT_LE(wrapped.width, word.width + 5);
  EXPECT_NEAR(wrapped.height, 2 * one.height, 2);
  style.numberOfLines = 1;
  EXPECT_EQ(gfx::measureText("animation animation", style, word.width + 5).height, one.height);
  style.numberOfLines = 0;
  style.lineBreak = gfx::LineBreak::CharWrap;
  EXPECT_GE(gfx::measureText("animation", style, 30).height, 3 * one.height - 2);

  style.lineBreak = gfx::LineBreak::TruncateTail;
  style.numberOfLines = 1;
  const gfx::Size cut = gfx::measureText("animation animation animation", style, 60);
  EXPECT_LE(cut.width, 60);
  EXPECT_EQ(cut.height, one.height);

  TextStyle big;
  big.font.size = 34;
  EXPECT_NEAR(gfx::measureText("animation", big).width, 2 * word.width, 3);
  big.font.size = 17;
  big.font.bold = true;
  EXPECT_GT(gfx::measureText("animation", big).width, word.width);
}

// A word longer than the width breaks over lines with its own characters
// only: a line of "nnnn..." holds as many as fit and shows them as they are
// drawn alone, with no hyphen added where the word was broken, whether the
// text wraps by words, by characters or is cut to a number of lines.
TEST(GfxTextTest, AWordBrokenOverLinesShowsOnlyItsOwnCharacters) {
  TextStyle style;
  const std::string ten(10, 'n'), twenty(20, 'n');
  const float width = gfx::measureText(ten, style).width;
  const float line = gfx::lineHeight(style.font);
  const Image alone = drawn(ten.c_str(), style, {0, 0, width, line});
  for (const gfx::LineBreak mode : {gfx::LineBreak::WordWrap, gfx::LineBreak::CharWrap, gfx::LineBreak::TruncateTail}) {
    SCOPED_TRACE(static_cast<int>(mode));
    style.lineBreak = mode;
    style.numberOfLines = mode == gfx::LineBreak::TruncateTail ? 2 : 0;
    EXPECT_EQ(gfx::measureText(twenty, style, width).height, std::ceil(2 * line)) << "two lines of ten";
    const Image broken = drawn(twenty.c_str(), style, {0, 0, width, 2 * line});
    EXPECT_EQ(differingAbove(alone, broken, line), 0) << "the first line is not the word's first ten letters";
  }
}

// A count of lines is of all the text's lines, however many paragraphs it
// has and whether a new line or a line or paragraph separator (U+2028,
// U+2029) ends them: cut to fewer, the text shows that many lines and no
// more, its first line as it is, whichever end or middle is cut. A count that
// took only new lines for line ends showed each paragraph's share of lines.
struct LinesCase {
  const char* name;
  std::string text;
  int lines;      // the text's lines when whole, at the least
  bool exactly;   // and measured as just so many
};
void PrintTo(const LinesCase& c, std::ostream* os) { *os << c.name; }

class LineCountTest : public testing::TestWithParam<LinesCase> {};

TEST_P(LineCountTest, CutToFewerLinesTheTextShowsThatManyAndNoMore) {
  const LinesCase& c = GetParam();
  TextStyle style;
  const float line = gfx::lineHeight(style.font);
  const Rect r{0, 0, 120, 300};
  const Image one = drawn("one", style, r, 120, 300);
  EXPECT_GT(inkOf(drawn(c.text.c_str(), style, r, 120, 300)).maxY, (c.lines - 1) * line);
  if (c.exactly) {
    EXPECT_NEAR(gfx::measureText(c.text, style, r.width).height, c.lines * line, 1.5);
  }
  for (const gfx::LineBreak mode :
       {gfx::LineBreak::TruncateTail, gfx::LineBreak::TruncateMiddle, gfx::LineBreak::TruncateHead}) {
    for (int lines = 1; lines < c.lines; ++lines) {
      SCOPED_TRACE("mode " + std::to_string(static_cast<int>(mode)) + ", " + std::to_string(lines) + " lines");
      style.lineBreak = mode;
      style.numberOfLines = lines;
      EXPECT_NEAR(gfx::measureText(c.text, style, r.width).height, lines * line, 1.5);
      const Image cut = drawn(c.text.c_str(), style, r, 120, 300);
      const Ink ink = inkOf(cut);
      EXPECT_LT(ink.maxY, lines * line + 1);
      EXPECT_GT(ink.maxY, (lines - 1) * line);
      if (lines > 1) {
        EXPECT_EQ(differingAbove(one, cut, line), 0) << "the first line is not the text's first";
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    GfxTextTest, LineCountTest,
    testing::Values(
        LinesCase{"Paragraphs", "one\ntwo\n\nthree four five six seven eight nine ten\neleven\u2029twelve", 7, false},
        LinesCase{"LineSeparators", "one\u2028two\u2028three\u2028four\u2028five", 5, true},
        LinesCase{"ParagraphSeparators", "one\u2029two\u2029three\u2029four\u2029five", 5, true},
        LinesCase{"BothSeparators", "one\u2028two\u2029three\u2028four\u2029five", 5, true}),
    [](const testing::TestParamInfo<LinesCase>& info) { return std::string(info.param.name); });

// Text held to one line is one line whatever breaks it holds: a name with
// a line separator, cut in its middle at scale 2, drew two lines, and one
// clipped to a field showed only its first line. Each character text layout
// breaks a line at shows as a space, the text drawn and measured as the text
// with that space would be.
TEST(GfxTextTest, OneLineShowsEveryLineBreakAsASpace) {
  const std::string spaced = "Walking cycle second take";
  TextStyle cut;
  cut.font = {"DejaVu Sans", 11, true};
  cut.alignment = gfx::TextAlignment::Center;
  cut.verticalAlignment = gfx::VerticalAlignment::Center;
  cut.lineBreak = gfx::LineBreak::TruncateMiddle;
  cut.numberOfLines = 1;
  TextStyle clipped = cut;
  clipped.lineBreak = gfx::LineBreak::Clip;
  for (const char* lineBreak : {"\n", "\r", "\r\n", "\v", "\f", "\u0085", "\u2028", "\u2029"}) {
    const std::string text = "Walking cycle" + std::string(lineBreak) + "second take";
    for (const TextStyle& style : {cut, clipped}) {
      for (const float scale : {1.0f, 2.0f}) {
        SCOPED_TRACE(testing::PrintToString(lineBreak) + (style.lineBreak == gfx::LineBreak::Clip ? " clipped" : " cut") +
                     " at scale " + std::to_string(scale));
        const Rect r{4, 0, 112, 30};
        const int w = static_cast<int>(120 * scale), h = static_cast<int>(30 * scale);
        const Image broken = drawn(text.c_str(), style, r, w, h, scale);
        const Image whole = drawn(spaced.c_str(), style, r, w, h, scale);
        EXPECT_EQ(differingAbove(whole, broken, 30 * scale), 0);
        EXPECT_EQ(gfx::measureText(text, style).width, gfx::measureText(spaced, style).width);
        EXPECT_EQ(gfx::measureText(text, style, r.width).height, std::ceil(gfx::lineHeight(style.font)));
      }
    }
  }
}

TEST(GfxTextTest, LineCountAndTruncationLimitTheInk) {
  const char* longText = "one two three four five six seven eight nine ten eleven twelve";
  TextStyle style;
  const float line = gfx::lineHeight(style.font);
  const Rect r{0, 0, 100, 200};
  Ink all = inkOf(drawn(longText, style, r, 100, 200));
  style.numberOfLines = 2;
  Ink two = inkOf(drawn(longText, style, r, 100, 200));
  EXPECT_GT(all.maxY, 3 * line);
  EXPECT_LT(two.maxY, 2 * line + 1);
  EXPECT_GT(two.maxY, line);

  style.lineBreak = gfx::LineBreak::TruncateTail;
  Ink truncated = inkOf(drawn(longText, style, r, 100, 200));
  EXPECT_LT(truncated.maxY, 2 * line + 1);
  EXPECT_LE(truncated.maxX, 100);

  // A rect shorter than the text cuts it off at its bottom.
  style = TextStyle{};
  Ink shortRect = inkOf(drawn(longText, style, {0, 0, 100, line}, 100, 200));
  EXPECT_LT(shortRect.maxY, line + 1);
}

TEST(GfxTextTest, FollowsTheScaleAndTheAlpha) {
  TextStyle style;
  Ink at1 = inkOf(drawn("Flip", style, {0, 0, 100, 30}, 100, 30, 1));
  Ink at2 = inkOf(drawn("Flip", style, {0, 0, 100, 30}, 200, 60, 2));
  EXPECT_NEAR(at2.maxX - at2.minX, 2 * (at1.maxX - at1.minX), 3);

  Context ctx(100, 30);
  ctx.setAlpha(0.5f);
  gfx::drawText(ctx, "Flip", {0, 0, 100, 30}, style);
  Image img = ctx.makeImage();
  int maxAlpha = 0;
  for (std::size_t i = 3; i < img.bytes().size(); i += 4) maxAlpha = std::max<int>(maxAlpha, img.bytes()[i]);
  EXPECT_NEAR(maxAlpha, 128, 1);

  // Invalid UTF-8 is drawn with replacement characters, not refused or crashed on.
  Context bad(100, 30);
  gfx::drawText(bad, "ab\xff\xfe" "cd", {0, 0, 100, 30}, style);
  EXPECT_TRUE(inkOf(bad.makeImage()).any());
  EXPECT_GT(gfx::measureText("ab\xff" "cd", style).width, 0);
}

TEST(GfxTextTest, ThreadsDrawTheSamePixels) {
  // Icons are drawn on background queues while the UI draws labels.
  TextStyle style;
  const Image reference = drawn("Frame 7", style, {0, 0, 100, 30}, 100, 30);
  const gfx::Size measured = gfx::measureText("Frame 7", style);
  std::vector<int> mismatches(4, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 20; ++i)
        if (drawn("Frame 7", style, {0, 0, 100, 30}, 100, 30).bytes() != reference.bytes() ||
            gfx::measureText("Frame 7", style) != measured)
          ++mismatches[t];
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

}  // namespace
