// What an alert shows of texts too long for it, on both screens and at both
// scales: a path keeps its file name, shortened in its middle; a name in
// another script is cut between whole characters as the reader sees them
// and stays valid UTF-8; a title of many lines leaves the buttons on the
// screen. Every text an alert shows is drawn as given, or cut, never changed.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AlertReading.h"
#include "UiTestSupport.h"
#include "platform/ui/Alert.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"

using namespace ui;

namespace {

const std::string kEllipsis = "\u2026";

struct Layout {
  bool tall;
  float scale;
};
constexpr Layout kLayouts[] = {{false, 1}, {false, 2}, {true, 1}, {true, 2}};

// A text that fills any screen many times over.
std::string essay() {
  std::string out;
  for (int i = 0; i < 300; ++i) out += "a sentence that goes on ";
  return out;
}

// Well-formed UTF-8: no stray or missing continuation bytes, nothing
// overlong, no surrogates, nothing past U+10FFFF.
bool isUtf8(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    const int more = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (more < 0 || i + static_cast<std::size_t>(more) >= s.size()) return false;
    char32_t cp = more == 0 ? c : c & (0x3F >> more);
    for (int k = 1; k <= more; ++k) {
      const auto b = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      if ((b & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (b & 0x3F);
    }
    const char32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (cp < least[more] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += static_cast<std::size_t>(more) + 1;
  }
  return true;
}

// The height the label's text up to `end` takes with no line limit: what the
// label shows of it, when it has room for that.
float heightThrough(const Label& label, std::size_t end) {
  gfx::TextStyle style = label.style();
  style.numberOfLines = 0;
  style.lineBreak = gfx::LineBreak::WordWrap;
  return gfx::measureText(label.text().substr(0, end), style, label.frame().width).height;
}

// How much of the label is seen before anything is scrolled: down to the
// bottom of the box it scrolls in, or all of it.
float heightSeenAtFirst(const Label& label) {
  if (const ScrollView* box = alert_reading::scrollBoxOf(label))
    return std::min(label.frame().height, box->bounds().height - label.frame().y);
  return label.frame().height;
}

class AlertTextTest : public ui_test::UiTest {
 protected:
  void use(const Layout& layout) {
    host = std::make_unique<HeadlessHost>(layout.tall, layout.scale);
    host->setInstantAnimations(true);
  }

  // Shows the alert, checks that it and all it holds are on the screen, that
  // every label has the room its text takes and that it can be answered with
  // its last button; answers what its labels showed.
  std::vector<std::string> showAndAnswer(const std::string& title, const std::string& message,
                                         const std::vector<std::string>& others,
                                         const std::function<void(const std::vector<Label*>&)>& look = {}) {
    auto alert = AlertView::make(title, message, nullptr, "OK", others);
    alert->show();
    alert_reading::expectOnTheScreenWithRoomForItsText(*alert);
    EXPECT_EQ(alert->title(), title) << "the alert's own text changed";
    EXPECT_EQ(alert->message(), message) << "the alert's own text changed";
    const std::vector<Label*> labels = alert_reading::alertLabels(*alert);
    std::vector<std::string> shown;
    for (const Label* l : labels) shown.push_back(l->text());
    if (look) look(labels);
    const std::string last = others.empty() ? "OK" : others.back();
    EXPECT_TRUE(host->tapAlertButton(last).has_value()) << last;
    host->runUntilIdle();
    EXPECT_TRUE(host->alerts().empty());
    return shown;
  }
};

}  // namespace

// A file's path of 80 to 200 characters, as the damaged-file alerts show it:
// alone it is shown whole; in a message too long for the screen the path is
// shortened in its middle, keeps its beginning and its whole file name (a
// kept copy's name with its time stamp too), and that stays above where the
// message is cut.
TEST_F(AlertTextTest, ALongPathKeepsItsFileName) {
  const std::string names[] = {"Project.plist", "Project.plist.damaged-20261208013150123",
                               "20261208013150123.png.damaged-20261208013150123"};
  for (const Layout& layout : kLayouts) {
    use(layout);
    for (const std::string& name : names) {
      for (const std::size_t length : {80u, 120u, 160u, 200u}) {
        const std::string folders = "/home/maker/Projects/";
        const std::string path =
            folders + std::string(length - folders.size() - name.size() - 1, 'p') + "/" + name;
        ASSERT_EQ(path.size(), length);
        SCOPED_TRACE(path + (layout.tall ? " tall" : "") + " x" + std::to_string(layout.scale));

        // Alone: nothing to shorten.
        EXPECT_EQ(showAndAnswer("Picture could not be read", "It was kept as " + path, {}),
                  (std::vector<std::string>{"Picture could not be read", "It was kept as " + path}));

        const std::string message = "The foreground of page 1 could not be read (it is cut short).\nIt was kept as " +
                                    path + "\n" + essay();
        showAndAnswer("Picture could not be read", message, {"Delete"}, [&](const std::vector<Label*>& labels) {
          ASSERT_EQ(labels.size(), 2u);
          const Label& shown = *labels[1];
          const std::size_t at = shown.text().find("It was kept as /home/");
          ASSERT_NE(at, std::string::npos) << shown.text().substr(0, 200);
          const std::size_t start = at + std::string("It was kept as ").size();
          const std::size_t end = shown.text().find('\n', start);
          ASSERT_NE(end, std::string::npos);
          const std::string word = shown.text().substr(start, end - start);
          EXPECT_LT(word.size(), path.size()) << "not shortened";
          EXPECT_NE(word.find(kEllipsis), std::string::npos) << word;
          EXPECT_TRUE(word.ends_with("/" + name)) << word;
          // Its line is shown whole, with a line of the message below it.
          EXPECT_LE(heightThrough(shown, end) + gfx::lineHeight(shown.font()), heightSeenAtFirst(shown) + 1) << word;
        });
      }
    }
  }
}

// A project's name of one long word in another script, in the title of an
// alert whose message is too long for the screen: it is shortened in its
// middle between whole characters, a character of several code points
// (kana with a separate voicing mark, Hangul of conjoining jamo, flags) is
// never cut in two, and what is shown is valid UTF-8 even when the name
// was not.
TEST_F(AlertTextTest, ANameInAnotherScriptIsCutBetweenWholeCharacters) {
  struct Case {
    const char* what;
    std::string unit;  // one character as the reader sees it
  };
  const Case cases[] = {
      {"ideographs", "\u52d5"},
      {"kana with a separate voicing mark", "\u304b\u3099"},
      {"Hangul of conjoining jamo", "\u1112\u1161\u11ab"},
      {"flags", "\U0001F1EF\U0001F1F5"},
      {"accented letters", "e\u0301"},
  };
  for (const Layout& layout : kLayouts) {
    use(layout);
    for (const Case& c : cases) {
      for (const int count : {57, 80, 121}) {
        SCOPED_TRACE(std::string(c.what) + " x" + std::to_string(count) + (layout.tall ? " tall" : "") + " scale " +
                     std::to_string(layout.scale));
        std::string name;
        for (int i = 0; i < count; ++i) name += c.unit;
        const std::vector<std::string> shown =
            showAndAnswer("\u201c" + name + "\u201d could not be opened", essay(), {"Delete", "Keep"});
        ASSERT_FALSE(shown.empty());
        const std::string& title = shown[0];
        EXPECT_TRUE(isUtf8(title));
        const std::size_t open = title.find("\u201c"), close = title.find("\u201d");
        ASSERT_NE(open, std::string::npos);
        ASSERT_NE(close, std::string::npos);
        const std::string kept = title.substr(open + 3, close - open - 3);
        const std::size_t cut = kept.find(kEllipsis);
        ASSERT_NE(cut, std::string::npos) << "not shortened: " << kept;
        for (const std::string& part : {kept.substr(0, cut), kept.substr(cut + kEllipsis.size())}) {
          EXPECT_FALSE(part.empty());
          std::string whole;
          while (whole.size() < part.size()) whole += c.unit;
          EXPECT_EQ(part, whole) << "a character was cut in two";
        }
      }
    }
  }

  // Bytes that are no UTF-8 (a name read from a disk as it was) are shown
  // as replacement characters; the shown text is UTF-8, shortened or not.
  use(kLayouts[0]);
  const std::string broken = "\xe5\x8b\x95\xe5\x8b" + std::string(30, 'x') + "\xff\x80" + "\xe5";
  for (const bool longText : {false, true}) {
    SCOPED_TRACE(longText);
    std::string name;
    for (int i = 0; i < (longText ? 4 : 1); ++i) name += broken;
    for (const std::string& text : showAndAnswer("\u201c" + name + "\u201d", name + " " + name, {})) {
      EXPECT_TRUE(isUtf8(text));
      EXPECT_NE(text.find("\ufffd"), std::string::npos) << text;
    }
  }
}

// A title longer than half the screen, in one paragraph or in several, with
// no message, a short one or one too long for the screen, and one to three
// buttons: the alert stays on the screen with every button on it, the title
// is wrapped over lines, cut to what the message leaves it, or both, and
// still says how it begins.
TEST_F(AlertTextTest, ATitleLongerThanHalfTheScreenLeavesTheButtonsOnIt) {
  std::string wordy, paragraphs;
  for (int i = 0; i < 45; ++i) {
    wordy += "Drawing" + std::to_string(i) + " ";
    paragraphs += "Drawing" + std::to_string(i) + (i % 3 == 2 ? "\n" : " ");
  }
  const std::vector<std::vector<std::string>> buttonSets = {{}, {"Delete"}, {"Delete", "Keep"}};
  for (const Layout& layout : kLayouts) {
    use(layout);
    const float titleLine = gfx::lineHeight({"DejaVu Sans", 17, true});
    const std::string titles[] = {wordy + "could not be opened", paragraphs + "could not be opened"};
    const std::string messages[] = {std::string(), "Clear this Frames", essay()};
    for (const std::string& title : titles) {
      for (const std::string& message : messages) {
        for (const auto& others : buttonSets) {
          SCOPED_TRACE(title.substr(0, 20) + "/" + message.substr(0, 20) + " " + std::to_string(others.size() + 1) +
                       " buttons" + (layout.tall ? " tall" : "") + " x" + std::to_string(layout.scale));
          const std::vector<std::string> shown =
              showAndAnswer(title, message, others, [&](const std::vector<Label*>& labels) {
                ASSERT_EQ(labels.size(), message.empty() ? 1u : 2u);
                EXPECT_GT(labels[0]->frame().height, 2 * titleLine) << "not wrapped";
                if (labels.size() == 2) {
                  EXPECT_GT(labels[1]->frame().height, 0);
                }
              });
          ASSERT_FALSE(shown.empty());
          EXPECT_EQ(shown[0].substr(0, 18), title.substr(0, 18));
          if (!message.empty() && message.size() < 40) {
            ASSERT_EQ(shown.size(), 2u);
            EXPECT_EQ(shown[1], message);
          }
        }
      }
    }
  }
}

// Texts far past what any screen shows (thousands of lines, a hundred
// thousand words, one character of fifty thousand combining marks) are cut
// before they are laid out, which would take minutes: the alert shows their
// beginning, cut after a whole word where there is one, with an ellipsis, a
// few thousand bytes at the most, and is answered as any other.
TEST_F(AlertTextTest, TextsOfThousandsOfLinesAreCutBeforeTheyAreLaidOut) {
  std::string lines, words, marks = "e";
  for (int i = 0; i < 6000; ++i) lines += "Line " + std::to_string(i) + " of the log\n";
  for (int i = 0; i < 100000; ++i) words += "word ";
  for (int i = 0; i < 50000; ++i) marks += "\u0301";
  use(kLayouts[0]);
  for (const std::string* huge : {&lines, &words, &marks}) {
    SCOPED_TRACE(huge->substr(0, 12));
    const std::vector<std::string> shown = showAndAnswer(*huge, *huge, {"Delete"});
    ASSERT_EQ(shown.size(), 2u);
    for (const std::string& text : shown) {
      EXPECT_LT(text.size(), 16u * 1024);
      EXPECT_TRUE(isUtf8(text));
      EXPECT_TRUE(text.ends_with(kEllipsis));
      const std::string kept = text.substr(0, text.size() - kEllipsis.size());
      EXPECT_TRUE(huge->starts_with(kept));
      if (huge != &marks) {
        EXPECT_TRUE(std::string(" \n").find((*huge)[kept.size()]) != std::string::npos) << "cut inside a word";
      }
    }
  }
}

// A message taller than the room an alert has, a long one-word name in it,
// under one to three buttons, is shown as given and scrolls in a box from its
// first line to its last, a bar at the box's side at its top, then its bottom.
TEST_F(AlertTextTest, AMessageTallerThanTheRoomScrollsToItsLastSentence) {
  std::string message;
  for (int i = 1; i <= 24; ++i)
    message += "Sentence " + std::to_string(i) + " of the message tells more." + (i % 4 == 0 ? "\n" : " ");
  message += "The project open now is \u201c" + std::string(100, 'n') + "\u201d.";
  const std::vector<std::vector<std::string>> buttonSets = {{}, {"Delete"}, {"Delete", "Keep"}};
  for (const Layout& layout : kLayouts) {
    use(layout);
    for (const auto& others : buttonSets) {
      SCOPED_TRACE(std::to_string(others.size() + 1) + " buttons" + (layout.tall ? " tall" : "") + " x" +
                   std::to_string(layout.scale));
      showAndAnswer("Project could not be read", message, others, [&](const std::vector<Label*>& labels) {
        ASSERT_EQ(labels.size(), 2u);
        EXPECT_EQ(labels[1]->text(), message);
        const ScrollView* box = alert_reading::scrollBoxOf(*labels[1]);
        ASSERT_NE(box, nullptr) << "the message does not scroll";
        // Where the bar stands on the screen: the middle of the light rows
        // along the box's right side, as a share of the box's height.
        auto barAt = [&] {
          const gfx::Image shot = host->screenshot();
          const Rect r = box->convertRectTo(box->bounds(), nullptr);
          const float s = layout.scale;
          float light = 0, sum = 0;
          for (int y = static_cast<int>(r.y * s); y < static_cast<int>((r.y + r.height) * s); ++y)
            for (int x = static_cast<int>((r.x + r.width - 4.5f) * s); x < static_cast<int>((r.x + r.width) * s); ++x)
              if (shot.pixel(x, y)[0] > 120) {
                ++light;
                sum += (y / s - r.y) / r.height;
                break;
              }
          EXPECT_GT(light, 0) << "no bar";
          return light > 0 ? sum / light : -1.0f;
        };
        EXPECT_LT(barAt(), 0.35f) << "the bar is not at the top at first";
        alert_reading::expectEveryLineSeen(*host, *labels[1]);
        EXPECT_GT(barAt(), 0.65f) << "the bar is not at the bottom at the end";
      });
    }
  }
}
