// Text with pango on cairo. Hinting is off and metrics are unhinted, so a
// layout measures the same whatever the transform it is drawn with.
#include "platform/graphics/Text.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>

#include "platform/foundation/Unicode.h"
#include "platform/graphics/ContextImpl.h"

namespace gfx {

namespace {

template <typename T, void (*Free)(T*)>
struct Deleter {
  void operator()(T* p) const { Free(p); }
};
void unrefLayout(PangoLayout* p) { g_object_unref(p); }
void unrefContext(PangoContext* p) { g_object_unref(p); }
using LayoutPtr = std::unique_ptr<PangoLayout, Deleter<PangoLayout, unrefLayout>>;
using ContextPtr = std::unique_ptr<PangoContext, Deleter<PangoContext, unrefContext>>;

PangoContext* measuringContext() {
  // One per thread: pango's default font map is per thread as well.
  thread_local ContextPtr context(pango_font_map_create_context(pango_cairo_font_map_get_default()));
  return context.get();
}

void setFontOptions(PangoContext* context) {
  cairo_font_options_t* o = cairo_font_options_create();
  cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
  pango_cairo_context_set_font_options(context, o);
  cairo_font_options_destroy(o);
}

bool truncates(LineBreak b) {
  return b == LineBreak::TruncateHead || b == LineBreak::TruncateTail || b == LineBreak::TruncateMiddle;
}

PangoEllipsizeMode ellipsizeFor(LineBreak b) {
  switch (b) {
    case LineBreak::TruncateHead: return PANGO_ELLIPSIZE_START;
    case LineBreak::TruncateMiddle: return PANGO_ELLIPSIZE_MIDDLE;
    case LineBreak::TruncateTail: return PANGO_ELLIPSIZE_END;
    default: return PANGO_ELLIPSIZE_NONE;
  }
}

// The direction of a text holding isolates, as its first strong letter
// outside them gives it (left to right when it has none there): pango looks
// inside isolates too, so that a sentence beginning with a quoted
// right-to-left name would read right to left. nullopt for a text holding
// none, whose direction pango finds itself, paragraph by paragraph.
std::optional<PangoDirection> directionOutsideIsolates(std::string_view text) {
  const auto opens = [](gunichar c) { return c >= 0x2066 && c <= 0x2068; };
  if (text.find("\u2066") == std::string_view::npos && text.find("\u2067") == std::string_view::npos &&
      text.find("\u2068") == std::string_view::npos)
    return std::nullopt;
  std::size_t depth = 0;
  for (const char *p = text.data(), *end = text.data() + text.size(); p < end; p = g_utf8_next_char(p)) {
    const gunichar c = g_utf8_get_char(p);
    if (opens(c)) {
      ++depth;
    } else if (c == 0x2069) {
      if (depth > 0) --depth;
    } else if (depth == 0) {
      const PangoDirection d = pango_unichar_direction(c);
      if (d == PANGO_DIRECTION_LTR || d == PANGO_DIRECTION_RTL) return d;
    }
  }
  return PANGO_DIRECTION_LTR;
}

// Lays valid text out as the style says for a box of the given width (<= 0:
// unlimited) and height (<= 0: unlimited; only truncation looks at it), a
// number of lines counted as pango does, per paragraph.
LayoutPtr layOut(PangoContext* context, const std::string& text, const TextStyle& style, float width, float height) {
  // The context is shared by the layouts of one measure or drawing, each
  // laid out before the next is made: its direction is this text's.
  const std::optional<PangoDirection> direction = directionOutsideIsolates(text);
  pango_context_set_base_dir(context, direction.value_or(PANGO_DIRECTION_WEAK_LTR));
  LayoutPtr layout(pango_layout_new(context));
  if (direction) pango_layout_set_auto_dir(layout.get(), FALSE);
  const std::size_t length = std::min<std::size_t>(text.size(), std::numeric_limits<int>::max());
  pango_layout_set_text(layout.get(), text.c_str(), static_cast<int>(length));
  // A word broken over lines shows only its own characters: a hyphen added
  // where it breaks would make a name or a path read as one it is not.
  PangoAttrList* attributes = pango_attr_list_new();
  pango_attr_list_insert(attributes, pango_attr_insert_hyphens_new(FALSE));
  pango_layout_set_attributes(layout.get(), attributes);
  pango_attr_list_unref(attributes);

  PangoFontDescription* fd = pango_font_description_new();
  pango_font_description_set_family(fd, style.font.family.c_str());
  pango_font_description_set_absolute_size(fd, std::max(style.font.size, 0.0f) * PANGO_SCALE);
  pango_font_description_set_weight(fd, style.font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_layout_set_font_description(layout.get(), fd);
  pango_font_description_free(fd);

  const bool singleLine = style.numberOfLines == 1;
  const bool clipOnly = style.lineBreak == LineBreak::Clip && singleLine;
  if (width > 0 && !clipOnly) pango_layout_set_width(layout.get(), static_cast<int>(width * PANGO_SCALE));
  pango_layout_set_wrap(layout.get(), style.lineBreak == LineBreak::CharWrap ? PANGO_WRAP_CHAR : PANGO_WRAP_WORD_CHAR);
  if (truncates(style.lineBreak)) {
    pango_layout_set_ellipsize(layout.get(), ellipsizeFor(style.lineBreak));
    if (style.numberOfLines > 0) pango_layout_set_height(layout.get(), -style.numberOfLines);
    else if (height > 0) pango_layout_set_height(layout.get(), static_cast<int>(height * PANGO_SCALE));
    else pango_layout_set_height(layout.get(), std::numeric_limits<int>::max());
  }
  return layout;
}

bool hasSeparators(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i)
    if (fd::lineBreakAt(text, i) > 0) return true;
  return false;
}

// The text from `from` on as one paragraph: its line breaks become spaces.
std::string runOn(const std::string& text, std::size_t from) {
  return text.substr(0, from) + fd::oneLine(std::string_view(text).substr(from));
}

// As layOut, with a number of lines that counts all the text's lines: pango
// keeps that many of each paragraph, so a text of several paragraphs cut to
// a few lines would show them all. Past the last line kept, the text runs on
// as one paragraph, cut with the ellipsis on that line.
LayoutPtr makeLayout(PangoContext* context, std::string_view utf8, const TextStyle& style, float width,
                     float height) {
  const int lines = style.numberOfLines;
  // One line is one paragraph whatever the text holds: its line breaks show
  // as spaces, and pango, asked for one line, cuts or clips that line alone.
  if (lines == 1) return layOut(context, fd::oneLine(validUtf8(utf8)), style, width, height);
  const std::string text = validUtf8(utf8);
  if (!truncates(style.lineBreak) || lines <= 0 || !hasSeparators(text))
    return layOut(context, text, style, width, height);
  TextStyle whole = style;
  whole.lineBreak = LineBreak::WordWrap;
  whole.numberOfLines = 0;
  const LayoutPtr all = layOut(context, text, whole, width, 0);
  if (pango_layout_get_line_count(all.get()) <= lines) return layOut(context, text, style, width, height);
  PangoLayoutIter* it = pango_layout_get_iter(all.get());
  for (int i = 1; i < lines; ++i) pango_layout_iter_next_line(it);
  const auto lastKept = static_cast<std::size_t>(pango_layout_iter_get_line_readonly(it)->start_index);
  PangoRectangle logical;
  pango_layout_iter_get_line_extents(it, nullptr, &logical);
  pango_layout_iter_free(it);
  LayoutPtr layout = layOut(context, runOn(text, lastKept), style, width, height);
  // Room for the lines kept and not for one more.
  pango_layout_set_height(layout.get(), logical.y + logical.height + logical.height / 2);
  return layout;
}

// Logical size of the first `lines` lines (0: all), in points.
Size keptSize(PangoLayout* layout, int lines) {
  PangoLayoutIter* it = pango_layout_get_iter(layout);
  int count = 0, right = 0, bottom = 0;
  do {
    PangoRectangle logical;
    pango_layout_iter_get_line_extents(it, nullptr, &logical);
    right = std::max(right, logical.width);
    bottom = std::max(bottom, logical.y + logical.height);
    ++count;
  } while ((lines == 0 || count < lines) && pango_layout_iter_next_line(it));
  pango_layout_iter_free(it);
  return {static_cast<float>(right) / PANGO_SCALE, static_cast<float>(bottom) / PANGO_SCALE};
}

constexpr float kAlignFactor[] = {0.0f, 0.5f, 1.0f};  // by TextAlignment / VerticalAlignment
constexpr PangoAlignment kPangoAlignment[] = {PANGO_ALIGN_LEFT, PANGO_ALIGN_CENTER, PANGO_ALIGN_RIGHT};

}  // namespace

Size measureText(std::string_view utf8, const TextStyle& style, float maxWidth) {
  if (utf8.empty()) return {};
  PangoContext* context = measuringContext();
  setFontOptions(context);
  LayoutPtr layout = makeLayout(context, utf8, style, maxWidth, 0);
  Size s = keptSize(layout.get(), truncates(style.lineBreak) ? 0 : std::max(style.numberOfLines, 0));
  if (maxWidth > 0) s.width = std::min(s.width, maxWidth);
  return {std::ceil(s.width), std::ceil(s.height)};
}

float lineHeight(const Font& font) {
  TextStyle style;
  style.font = font;
  PangoContext* context = measuringContext();
  setFontOptions(context);
  LayoutPtr layout = makeLayout(context, "X", style, 0, 0);
  return keptSize(layout.get(), 1).height;
}

LineEnd lineEnd(std::string_view utf8, const Font& font) {
  if (utf8.empty()) return {};
  TextStyle style;
  style.font = font;
  style.lineBreak = LineBreak::Clip;
  style.numberOfLines = 1;
  PangoContext* context = measuringContext();
  setFontOptions(context);
  LayoutPtr layout = makeLayout(context, utf8, style, 0, 0);
  const char* text = pango_layout_get_text(layout.get());
  const int length = static_cast<int>(std::strlen(text));
  LineEnd end;
  PangoRectangle logical;
  pango_layout_get_extents(layout.get(), nullptr, &logical);
  end.width = static_cast<float>(logical.width) / PANGO_SCALE;
  if (length == 0) return end;
  end.rightToLeft = pango_layout_get_line_readonly(layout.get(), 0)->resolved_dir == PANGO_DIRECTION_RTL;
  // A right-to-left character's box is told with a negative width: its
  // x is where it begins as read.
  PangoRectangle last;
  const int at = static_cast<int>(g_utf8_prev_char(text + length) - text);
  pango_layout_index_to_pos(layout.get(), at, &last);
  end.before = static_cast<float>(last.x) / PANGO_SCALE;
  end.after = static_cast<float>(last.x + last.width) / PANGO_SCALE;
  return end;
}

std::string validUtf8(std::string_view text) {
  if (g_utf8_validate_len(text.data(), text.size(), nullptr)) return std::string(text);
  char* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
  std::string out(valid);
  g_free(valid);
  return out;
}

std::string heldOnOneLine(std::string_view text) {
  std::string line = fd::oneLine(validUtf8(text));
  for (char& c : line) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = ' ';
  }
  return line;
}

std::vector<std::size_t> characterStarts(std::string_view utf8) {
  if (utf8.empty()) return {0};
  if (utf8.size() >= static_cast<std::size_t>(std::numeric_limits<int>::max()) ||
      !g_utf8_validate_len(utf8.data(), utf8.size(), nullptr))
    return {0, utf8.size()};
  const auto chars = static_cast<std::size_t>(g_utf8_strlen(utf8.data(), static_cast<gssize>(utf8.size())));
  std::vector<PangoLogAttr> attrs(chars + 1);
  pango_get_log_attrs(utf8.data(), static_cast<int>(utf8.size()), -1, pango_language_get_default(), attrs.data(),
                      static_cast<int>(attrs.size()));
  std::vector<std::size_t> starts;
  const char* p = utf8.data();
  for (std::size_t i = 0; i < chars; ++i, p = g_utf8_next_char(p))
    if (i == 0 || attrs[i].is_cursor_position) starts.push_back(static_cast<std::size_t>(p - utf8.data()));
  starts.push_back(utf8.size());
  return starts;
}

void drawText(Context& ctx, std::string_view utf8, const Rect& rect, const TextStyle& style) {
  auto* impl = detail::ContextAccess::impl(ctx);
  if (!ctx.valid() || utf8.empty() || rect.isEmpty()) return;
  const Rect r = rect.standardized();
  cairo_t* cr = impl->cr;
  LayoutPtr layout(pango_cairo_create_layout(cr));
  PangoContext* context = pango_layout_get_context(layout.get());
  setFontOptions(context);
  layout = makeLayout(context, utf8, style, r.width, r.height);
  pango_layout_set_alignment(layout.get(), kPangoAlignment[static_cast<int>(style.alignment)]);
  const int lines = truncates(style.lineBreak) ? 0 : std::max(style.numberOfLines, 0);
  const Size kept = keptSize(layout.get(), lines);
  float x = r.x;
  if (pango_layout_get_width(layout.get()) < 0)  // unwrapped: pango does not align, so place the line here
    x += (r.width - kept.width) * kAlignFactor[static_cast<int>(style.alignment)];
  const float y = r.y + (r.height - kept.height) * kAlignFactor[static_cast<int>(style.verticalAlignment)];
  // Only the kept lines, and nothing outside r.
  const float clipTop = std::max(r.y, y), clipBottom = std::min(r.y + r.height, y + kept.height);
  if (clipBottom <= clipTop) return;

  impl->draw([&] {
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, r.x, clipTop, r.width, clipBottom - clipTop);
    cairo_clip(cr);
    cairo_move_to(cr, x, y);
    impl->setSource(style.color);
    pango_cairo_show_layout(cr, layout.get());
    cairo_restore(cr);
  });
}

}  // namespace gfx

#if defined(__SANITIZE_ADDRESS__)
// The one list of what the leak checker passes over, here because every
// program of the project draws text. fontconfig keeps the patterns of matched
// fonts in caches that live until the process ends and that the leak checker
// cannot follow; the D-Bus library that SDL opens for a window keeps its
// connection's buffers until the process ends, with no call to release them
// in the SDL the program builds on. Any program drawing text, or any window,
// would otherwise fail under the sanitizers.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }
#endif
