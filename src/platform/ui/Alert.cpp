#include "platform/ui/Alert.h"

#include <algorithm>
#include <string_view>

#include "platform/foundation/Unicode.h"
#include "platform/graphics/Text.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Window.h"

namespace ui {

namespace {
std::vector<ButtonSheet*>& registry() {
  static auto* sheets = new std::vector<ButtonSheet*>();  // never destroyed: sheets leave it as they go
  return *sheets;
}

// Button colours by role: ordinary, emphasised (cancel), destructive.
constexpr Color kButtonColors[] = {
    {0.82f, 0.84f, 0.88f, 1},
    {0.25f, 0.3f, 0.42f, 1},
    {0.8f, 0.15f, 0.12f, 1},
};
constexpr Color kButtonTitleColors[] = {{0.1f, 0.1f, 0.15f, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}};
constexpr float kAlertWidth = 284;
constexpr float kButtonHeight = 40;
constexpr float kMargin = 12;
}  // namespace

std::vector<ButtonSheet*> visibleButtonSheets() {
  std::vector<ButtonSheet*> out;
  for (ButtonSheet* s : registry())
    if (s->isVisible()) out.push_back(s);
  return out;
}

ButtonSheet::ButtonSheet(std::string title, std::string message, ButtonSheetDelegate* delegate)
    : title_(std::move(title)), message_(std::move(message)) {
  setDelegate(delegate);
}

ButtonSheet::~ButtonSheet() { std::erase(registry(), this); }

std::string ButtonSheet::buttonTitleAtIndex(int index) const {
  if (index < 0 || index >= numberOfButtons()) return {};
  return buttons_[static_cast<std::size_t>(index)];
}

int ButtonSheet::addButtonWithTitle(const std::string& title) {
  buttons_.push_back(title);
  int i = numberOfButtons() - 1;
  if (firstOtherIndex_ < 0 && i != cancelIndex_) firstOtherIndex_ = i;
  return i;
}

std::shared_ptr<Button> ButtonSheet::makeButton(int index, bool emphasised) {
  auto b = Button::make(ButtonType::Custom);
  int role = emphasised ? 1 : 0;
  if (auto* as = dynamic_cast<ActionSheet*>(this); as && as->destructiveButtonIndex() == index) role = 2;
  b->setBackgroundColor(kButtonColors[role]);
  b->setTitle(buttonTitleAtIndex(index));
  b->setTitleColor(kButtonTitleColors[role]);
  b->setTitleColor(Color{1, 1, 0.6f, 1}, StateHighlighted);
  b->setTag(index);
  b->addTarget(this, [this, index](Control*, const Event*) { pressButton(index); }, TouchUpInside);
  return b;
}

void ButtonSheet::presentIn(std::shared_ptr<Window> window) {
  window_ = window;
  window->setWindowLevel(Window::kLevelAlert);
  window->setBackgroundColor(Color{0, 0, 0, 0.4f});
  build();
  window->addSubview(shared_from_this());
  visible_ = true;
  dismissing_ = false;
  registry().push_back(this);
  window->makeKeyAndVisible();
}

void ButtonSheet::pressButton(int index) {
  if (!visible_ || dismissing_ || index < 0 || index >= numberOfButtons()) return;
  std::shared_ptr<View> keep = shared_from_this();
  if (ButtonSheetDelegate* d = delegate()) d->clickedButtonAtIndex(*this, index);
  dismissWithClickedButtonIndex(index, true);
}

void ButtonSheet::dismissWithClickedButtonIndex(int index, bool animated) {
  if (!visible_ || dismissing_) return;
  dismissing_ = true;
  auto self = std::static_pointer_cast<ButtonSheet>(shared_from_this());
  std::shared_ptr<Window> w = window_.lock();
  animated = animated && w;
  // While the sheet fades its answer is still to come: nothing beneath may
  // act first, on a screen other than the one the question was about.
  std::shared_ptr<Application::InputHold> hold = animated ? Application::shared().holdInput() : nullptr;
  if (ButtonSheetDelegate* d = delegate()) d->willDismissWithButtonIndex(*this, index);
  auto finish = [self, index, hold] {
    self->visible_ = false;
    std::erase(registry(), self.get());
    std::shared_ptr<Window> w = self->window_.lock();
    self->window_.reset();
    self->removeFromSuperview();
    if (w) Application::shared().removeWindow(w.get());
    if (ButtonSheetDelegate* d = self->delegate()) d->didDismissWithButtonIndex(*self, index);
    if (hold) hold->release();
  };
  if (!animated) {
    finish();
    return;
  }
  Animations::animate(kFadeDuration, [w] { w->setAlpha(0); }, [finish](bool) { finish(); });
}

// --- alert

AlertView::AlertView(std::string title, std::string message, ButtonSheetDelegate* delegate,
                     std::optional<std::string> cancel, std::vector<std::string> others)
    : ButtonSheet(std::move(title), std::move(message), delegate) {
  if (cancel) {
    buttons_.push_back(*cancel);
    cancelIndex_ = 0;
  }
  for (auto& o : others) addButtonWithTitle(o);
}

std::shared_ptr<AlertView> AlertView::make(std::string title, std::string message, ButtonSheetDelegate* delegate,
                                           std::optional<std::string> cancel, std::vector<std::string> others) {
  return std::make_shared<AlertView>(std::move(title), std::move(message), delegate, std::move(cancel),
                                     std::move(others));
}

void AlertView::show() {
  if (visible_) return;
  presentIn(std::make_shared<Window>(Screen::main().bounds()));
}

namespace {

constexpr float kScreenMargin = 6;
constexpr float kTitleSize = 17, kMessageSize = 14, kTextGap = 8;
// A word longer than this (about two lines), such as a file's path, could
// fill lines on its own.
constexpr std::size_t kLongestWord = 56;
// What a path shortened to keep its file name keeps of its folders at least.
constexpr std::size_t kShortestHead = 6;

// Keeps a long word's beginning and end (a path's folder and its file name)
// around an ellipsis, in whole characters as the reader sees them. A path
// keeps its whole file name after its slash (a kept copy's stamp included)
// while that leaves room for the start of its folders.
std::string shortenWord(std::string_view word) {
  const std::vector<std::size_t> starts = gfx::characterStarts(word);
  const std::size_t count = starts.size() - 1;
  if (count <= kLongestWord) return std::string(word);
  std::size_t tail = kLongestWord - kLongestWord / 3 - 1;
  if (const std::size_t slash = word.rfind('/'); slash != std::string_view::npos) {
    const auto name = std::upper_bound(starts.begin(), starts.end() - 1, slash) - 1;
    const auto nameLength = static_cast<std::size_t>(starts.end() - 1 - name);
    tail = std::clamp(nameLength, tail, kLongestWord - 1 - kShortestHead);
  }
  const std::size_t head = kLongestWord - 1 - tail;
  return std::string(word.substr(0, starts[head])) + "\u2026" + std::string(word.substr(starts[count - tail]));
}

// Which long words of a text are shortened: all of them, or only paths,
// whose middle folders say least (names stay whole, to be read as they are).
enum class Shortened { Words, Paths };

std::string shortenLongWords(const std::string& text, Shortened which = Shortened::Words) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t end = text.find_first_of(" \n\t", i);
    const std::size_t stop = end == std::string::npos ? text.size() : end;
    const std::string_view word = std::string_view(text).substr(i, stop - i);
    out += which == Shortened::Words || word.find('/') != std::string_view::npos ? shortenWord(word)
                                                                                 : std::string(word);
    if (stop < text.size()) out += text[stop];
    i = stop + 1;
  }
  return out;
}

// No screen shows more of an alert's text than this. Past it (a hostile
// name, a message of thousands of lines) the text is cut before it is laid
// out at all: laying a text out takes time that grows with the square of
// its paragraphs, and a label lays it out at every drawing.
constexpr std::size_t kMostShownBytes = 4096, kMostShownParagraphs = 64;

// Where a text past what a screen shows is to be cut: its size when it is
// within it.
std::size_t shownEnd(const std::string& text) {
  const std::size_t end = std::min(text.size(), kMostShownBytes);
  std::size_t paragraphs = 0;
  for (std::size_t i = 0; i < end; ++i)
    if (text[i] == '\n' && ++paragraphs == kMostShownParagraphs) return i;
  return end;
}

// The text, or, when it runs past what a screen shows, its long words
// shortened and the rest cut after a whole word with an ellipsis.
std::string boundText(const std::string& text) {
  if (shownEnd(text) == text.size()) return text;
  std::string out = shortenLongWords(text);
  std::size_t end = shownEnd(out);
  if (end == out.size()) return out;
  if (const std::size_t space = out.find_last_of(" \n\t", end); space != std::string::npos && space > 0) end = space;
  fd::cutUtf8ToLength(out, end);
  return out + "\u2026";
}

std::shared_ptr<Label> alertText(const std::string& text, float size, bool bold, int lines) {
  auto l = std::make_shared<Label>();
  l->setFont({"DejaVu Sans", size, bold});
  l->setTextColor(Color::white(1));
  l->setTextAlignment(TextAlignment::Center);
  l->setNumberOfLines(lines);
  l->setLineBreakMode(lines == 0 ? LineBreak::WordWrap : LineBreak::TruncateTail);
  l->setText(text);
  return l;
}

// A message taller than the room an alert has for it scrolls in a box under
// a finger, a bar at the box's side telling how much of it lies above and
// below what is seen; its text is laid out whole, so no sentence is lost.
class MessageBox : public ScrollView {
 public:
  static constexpr float kBarWidth = 3, kInset = 3;
  // The width of the message's lines in a box of the given width.
  static float textWidth(float boxWidth) { return boxWidth - 2 * (kBarWidth + kInset); }

  MessageBox(const Rect& frame, std::shared_ptr<Label> text) : ScrollView(frame) {
    setBackgroundColor({0, 0, 0, 0.22f});
    const float height = text->sizeThatFits({textWidth(frame.width), 100000}).height;
    text->setFrame({kBarWidth + kInset, kInset, textWidth(frame.width), height});
    addSubview(std::move(text));
    setContentSize({frame.width, height + 2 * kInset});
    bar_->setBackgroundColor(Color::white(0.6f));
    bar_->setUserInteractionEnabled(false);
    addSubview(bar_);
    didScroll();
  }

 protected:
  void didScroll() override {
    const Rect seen = bounds();
    const float content = std::max(contentSize().height, seen.height);
    const float length = std::max(kMinBar, seen.height * seen.height / content);
    const float travel = maxContentOffset().y;
    const float along = travel > 0 ? std::clamp(seen.y / travel, 0.0f, 1.0f) : 0;
    bar_->setFrame({seen.width - kBarWidth - 1, seen.y + along * (seen.height - length), kBarWidth, length});
  }

 private:
  static constexpr float kMinBar = 12;
  std::shared_ptr<View> bar_ = std::make_shared<View>();
};

}  // namespace

void AlertView::build() {
  for (auto& sv : std::vector<std::shared_ptr<View>>(subviews())) sv->removeFromSuperview();
  setBackgroundColor({0.08f, 0.13f, 0.3f, 0.94f});
  const Rect screen = Screen::main().bounds();
  const float inner = kAlertWidth - 2 * kMargin;
  const int n = numberOfButtons();
  const float buttons = n == 2 ? kButtonHeight : n * (kButtonHeight + 6) - 6;
  // Whatever the texts, the buttons stay on the screen: the texts get what
  // is left, long words shortened in the middle first (in the message only
  // paths), then the title cut in lines and the message scrolled.
  const float textRoom = screen.height - 2 * kScreenMargin - 2 * kMargin - 4 - buttons;
  std::string title = boundText(gfx::validUtf8(title_)), message = boundText(gfx::validUtf8(message_));
  auto height = [&](const std::string& text, float size, bool bold, int lines) {
    return text.empty() ? 0.0f : alertText(text, size, bold, lines)->sizeThatFits({inner, 100000}).height + kTextGap;
  };
  int titleLines = 0;
  // Above zero: the message is taller and scrolls in a box this tall.
  float messageRoom = 0;
  if (height(title, kTitleSize, true, 0) + height(message, kMessageSize, false, 0) > textRoom) {
    title = shortenLongWords(title);
    message = shortenLongWords(message, Shortened::Paths);
  }
  const float titleWhole = height(title, kTitleSize, true, 0);
  if (titleWhole + height(message, kMessageSize, false, 0) > textRoom) {
    // The title keeps up to half the room, in whole lines; the message takes
    // the rest, scrolling when it needs more.
    const float titleLine = gfx::lineHeight({"DejaVu Sans", kTitleSize, true});
    const float messageLine = gfx::lineHeight({"DejaVu Sans", kMessageSize, false});
    titleLines = std::max(1, static_cast<int>((textRoom / 2 - kTextGap) / titleLine));
    const float titleTaken = std::min(titleWhole, height(title, kTitleSize, true, titleLines));
    if (titleWhole <= titleTaken) titleLines = 0;
    const float room = textRoom - titleTaken - kTextGap;
    if (room < messageLine + 2 * MessageBox::kInset) message.clear();
    else if (height(message, kMessageSize, false, 0) - kTextGap > room) messageRoom = room;
  }
  float y = kMargin;
  auto addText = [&](const std::string& text, float size, bool bold, int lines) {
    if (text.empty()) return;
    auto l = alertText(text, size, bold, lines);
    const Size fits = l->sizeThatFits({inner, 100000});
    l->setFrame({kMargin, y, inner, fits.height});
    addSubview(l);
    y += fits.height + kTextGap;
  };
  addText(title, kTitleSize, true, titleLines);
  if (messageRoom > 0) {
    addSubview(std::make_shared<MessageBox>(Rect{kMargin, y, inner, messageRoom},
                                            alertText(message, kMessageSize, false, 0)));
    y += messageRoom + kTextGap;
  } else {
    addText(message, kMessageSize, false, 0);
  }
  y += 4;
  if (n == 2) {
    // Two buttons stand side by side, the cancel button on the left.
    float w = (inner - 8) / 2;
    for (int i = 0; i < 2; ++i) {
      auto b = makeButton(i, i == cancelIndex_);
      b->setFrame({kMargin + i * (w + 8), y, w, kButtonHeight});
      addSubview(b);
    }
    y += kButtonHeight + kMargin;
  } else {
    // Stacked: the others first, the cancel button at the bottom.
    std::vector<int> order;
    for (int i = 0; i < n; ++i)
      if (i != cancelIndex_) order.push_back(i);
    if (cancelIndex_ >= 0) order.push_back(cancelIndex_);
    for (int i : order) {
      auto b = makeButton(i, i == cancelIndex_);
      b->setFrame({kMargin, y, inner, kButtonHeight});
      addSubview(b);
      y += kButtonHeight + 6;
    }
    y += kMargin - 6;
  }
  setFrame({(screen.width - kAlertWidth) / 2, std::max(kScreenMargin, (screen.height - y) / 2), kAlertWidth, y});
}

// --- action sheet

ActionSheet::ActionSheet(std::string title, ButtonSheetDelegate* delegate, std::optional<std::string> cancel,
                         std::optional<std::string> destructive, std::vector<std::string> others)
    : ButtonSheet(std::move(title), {}, delegate) {
  if (destructive) {
    buttons_.push_back(*destructive);
    destructiveIndex_ = 0;
  }
  for (auto& o : others) addButtonWithTitle(o);
  if (cancel) {
    buttons_.push_back(*cancel);
    cancelIndex_ = numberOfButtons() - 1;
  }
}

std::shared_ptr<ActionSheet> ActionSheet::make(std::string title, ButtonSheetDelegate* delegate,
                                               std::optional<std::string> cancel,
                                               std::optional<std::string> destructive,
                                               std::vector<std::string> others) {
  return std::make_shared<ActionSheet>(std::move(title), delegate, std::move(cancel), std::move(destructive),
                                       std::move(others));
}

void ActionSheet::showInView(View*) {
  if (visible_) return;
  presentIn(std::make_shared<Window>(Screen::main().bounds()));
  Rect f = frame();
  Rect screen = Screen::main().bounds();
  setCenter({center().x, center().y + f.height});
  Point target{screen.width / 2, screen.height - f.height / 2};
  Animations::animate(kFadeDuration, [this, target] { setCenter(target); });
}

void ActionSheet::build() {
  for (auto& sv : std::vector<std::shared_ptr<View>>(subviews())) sv->removeFromSuperview();
  setBackgroundColor({0.12f, 0.14f, 0.2f, 0.94f});
  Rect screen = Screen::main().bounds();
  float width = std::min(screen.width, 360.0f);
  float inner = width - 2 * kMargin;
  float y = kMargin;
  if (!title_.empty()) {
    auto l = std::make_shared<Label>();
    l->setFont({"DejaVu Sans", 13, false});
    l->setTextColor(Color::white(0.85f));
    l->setTextAlignment(TextAlignment::Center);
    l->setText(title_);
    l->setFrame({kMargin, y, inner, 20});
    addSubview(l);
    y += 26;
  }
  for (int i = 0; i < numberOfButtons(); ++i) {
    if (i == cancelIndex_) y += 6;
    auto b = makeButton(i, i == cancelIndex_);
    b->setFrame({kMargin, y, inner, kButtonHeight});
    addSubview(b);
    y += kButtonHeight + 6;
  }
  y += kMargin - 6;
  setFrame({(screen.width - width) / 2, screen.height - y, width, y});
}

}  // namespace ui
