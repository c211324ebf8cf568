#include "desk/frames/SoundArt.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"

namespace sound_art {

namespace {

using gfx::Color;
using gfx::Context;
using gfx::Path;
using gfx::Rect;

// The track sits on the frame manager's slate; tags are a sea green so they
// stand apart from the paper-coloured frames, the cursor takes the manager's
// warm accent.
constexpr Color kTrack{0.13f, 0.16f, 0.2f, 1};
constexpr Color kTrackRim{0.3f, 0.35f, 0.42f, 1};
constexpr Color kGroove{0.07f, 0.09f, 0.11f, 1};
constexpr Color kTick{0.62f, 0.68f, 0.74f, 1};
constexpr Color kTag{0.12f, 0.58f, 0.52f, 1};
constexpr Color kTagDeep{0.06f, 0.36f, 0.33f, 1};
constexpr Color kTagLight{0.55f, 0.88f, 0.8f, 1};
constexpr Color kSelect{0.84f, 0.27f, 0.2f, 1};
constexpr Color kSelectDeep{0.52f, 0.12f, 0.09f, 1};
constexpr Color kCursor{0.96f, 0.55f, 0.16f, 1};
constexpr Color kCream{0.99f, 0.96f, 0.88f, 1};
constexpr Color kRecord{0.86f, 0.15f, 0.13f, 1};

// The timeline inside the track bar: frames run from x 45 to 375.
constexpr float kLineStart = 45, kLineEnd = 375;

void pill(Context& c, Rect r, float radius, Color fill, Color rim, float rimWidth) {
  Path p;
  p.addRoundedRect(r, radius);
  c.setFillColor(fill);
  c.fillPath(p);
  c.setStrokeColor(rim);
  c.setLineWidth(rimWidth);
  c.strokePath(p);
}

// A button well of the track: a lighter raised face, sunk when pressed.
void well(Context& c, float w, float h, bool pressed) {
  pill(c, {1.5f, 1.5f, w - 3, h - 3}, 7, pressed ? kGroove : kTrackRim, pressed ? kTrackRim : kTick, 1.5f);
  if (!pressed) {
    c.setFillColor(Color::white(1, 0.12f));
    c.fillRect({5, 3, w - 10, h * 0.3f});
  }
}

void noteGlyph(Context& c, float cx, float cy, float s, Color ink) {
  c.setFillColor(ink);
  Path head;
  head.addEllipse({cx - s, cy + s * 0.3f, s * 1.1f, s * 0.8f});
  c.fillPath(head);
  c.fillRect({cx - s * 0.05f, cy - s * 1.3f, s * 0.22f, s * 2.0f});
  c.fillPolygon({{cx + s * 0.17f, cy - s * 1.3f}, {cx + s * 0.95f, cy - s * 0.8f}, {cx + s * 0.95f, cy - s * 0.45f},
                 {cx + s * 0.17f, cy - s * 0.85f}});
}

void micGlyph(Context& c, float cx, float cy, float s, Color ink) {
  c.setFillColor(ink);
  Path capsule;
  capsule.addRoundedRect({cx - s * 0.4f, cy - s * 1.2f, s * 0.8f, s * 1.5f}, s * 0.4f);
  c.fillPath(capsule);
  c.setStrokeColor(ink);
  c.setLineWidth(std::max(1.0f, s * 0.18f));
  c.strokePolyline({{cx - s * 0.7f, cy - s * 0.2f}, {cx - s * 0.6f, cy + s * 0.35f}, {cx, cy + s * 0.6f},
                    {cx + s * 0.6f, cy + s * 0.35f}, {cx + s * 0.7f, cy - s * 0.2f}});
  c.strokePolyline({{cx, cy + s * 0.6f}, {cx, cy + s * 1.1f}});
  c.strokePolyline({{cx - s * 0.45f, cy + s * 1.1f}, {cx + s * 0.45f, cy + s * 1.1f}});
}

void crossGlyph(Context& c, float cx, float cy, float s, Color ink, float width) {
  c.setStrokeColor(ink);
  c.setLineWidth(width);
  c.setLineCap(gfx::LineCap::Round);
  c.strokePolyline({{cx - s, cy - s}, {cx + s, cy + s}});
  c.strokePolyline({{cx + s, cy - s}, {cx - s, cy + s}});
}

// The panel: a 40-point tab with a note at the left, the timeline with its
// ruler and groove in the middle, the button wells at the right.
void paintTrackBar(Context& c, float w, float h, int) {
  pill(c, {0.75f, 0.75f, w - 1.5f, h - 1.5f}, 9, kTrack, kTrackRim, 1.5f);
  pill(c, {3, 4, 36, h - 8}, 7, kTrackRim, kTick, 1);
  noteGlyph(c, 20, 18, 8, kCream);
  c.setFillColor(Color::white(1, 0.3f));
  c.fillRect({12, 32, 18, 1});
  // Ruler: a tick for every tenth of the span, longer at the ends and middle.
  c.setFillColor(kTick);
  c.fillRect({kLineStart, 30, kLineEnd - kLineStart, 1});
  for (int i = 0; i <= 10; ++i) {
    const float x = kLineStart + (kLineEnd - kLineStart) * i / 10.0f;
    const float tall = (i % 5 == 0) ? 10 : 5;
    c.fillRect({std::round(x) - 0.5f, 31 - tall, 1, tall});
  }
  pill(c, {kLineStart - 3, 19, kLineEnd - kLineStart + 12, 58}, 6, kGroove, kTrackRim, 1);
  // Faint frame lanes in the groove.
  c.setFillColor(Color::white(1, 0.05f));
  for (float y = 26; y < 74; y += 8) c.fillRect({kLineStart, y, kLineEnd - kLineStart + 6, 3});
  pill(c, {386, 10, w - 390, h - 16}, 8, Color::white(0, 0.25f), kTrackRim, 1);
}

// The cursor: a pointer head over a line down into the ruler.
void paintSlider(Context& c, float w, float h, int) {
  c.setFillColor(Color::white(0, 0.4f));
  c.fillPolygon({{1.5f, 1.5f}, {w - 0.5f, 1.5f}, {w - 0.5f, h * 0.55f + 1}, {w / 2 + 1, h * 0.8f + 1}, {1.5f, h * 0.55f + 1}});
  c.setFillColor(kCursor);
  c.fillPolygon({{0.5f, 0.5f}, {w - 1.5f, 0.5f}, {w - 1.5f, h * 0.55f}, {w / 2 - 0.5f, h * 0.8f}, {0.5f, h * 0.55f}});
  c.setFillColor(kCream);
  c.fillRect({w / 2 - 1, 2.5f, 1, h * 0.4f});
  c.setFillColor(kCursor);
  c.fillRect({w / 2 - 1, h * 0.8f, 1, h * 0.2f});
}

// Record, add a sound, stop: variant = glyph * 2 + (1 when pressed). The
// title sits under the glyph.
enum ButtonGlyph { kRecordDot, kNote, kStopSquare };

void paintTrackButton(Context& c, float w, float h, int variant) {
  const bool pressed = variant & 1;
  well(c, w, h, pressed);
  const float cx = w / 2, cy = 20;
  const Color ink = pressed ? kTick : kCream;
  switch (static_cast<ButtonGlyph>(variant / 2)) {
    case kRecordDot: {
      Path dot;
      dot.addEllipse({cx - 8, cy - 8, 16, 16});
      c.setFillColor(pressed ? kSelectDeep : kRecord);
      c.fillPath(dot);
      c.setStrokeColor(ink);
      c.setLineWidth(1.5f);
      c.strokePath(dot);
      break;
    }
    case kNote: noteGlyph(c, cx, cy, 8, ink); break;
    case kStopSquare:
      pill(c, {cx - 7, cy - 7, 14, 14}, 2, pressed ? kSelectDeep : kRecord, ink, 1.5f);
      break;
  }
}

// A tag bar: its top 8 points stay clear for the delete button, the body
// carries a wave at the left, and the right 26 points (the resize handle)
// a grip. Column 45 and row 29 stretch, both plain body.
void tagBody(Context& c, float w, float h, Color fill, Color deep, Color light, bool grip) {
  pill(c, {1, 9, w - 2, h - 10}, 6, fill, deep, 2);
  c.setFillColor(light.withAlpha(0.35f));
  c.fillRect({4, 11, w - 8, 3});
  c.setFillColor(light.withAlpha(0.5f));
  for (int i = 0; i < 8 && 4 + i * 5 < 42 && 4 + i * 5 < w - 6; ++i) {
    const float amp = 4 + 6 * std::fabs(std::sin(i * 1.3f));
    c.fillRect({4.0f + i * 5, 37 - amp, 3, 2 * amp});
  }
  if (grip) {
    pill(c, {w - 24, 16, 20, h - 22}, 4, deep, light.withAlpha(0.6f), 1);
    c.setFillColor(light);
    for (float x : {w - 18, w - 14.5f, w - 11}) c.fillRect({x, 24, 1.5f, h - 38});
  }
}

// variant: 0 the long bar, 1 the short one, 2 and 3 their selected looks.
void paintTag(Context& c, float w, float h, int variant) {
  const bool selected = variant >= 2;
  const bool shortBar = variant % 2 == 1;
  const Color fill = selected ? kSelect : kTag;
  const Color deep = selected ? kSelectDeep : kTagDeep;
  if (shortBar) {
    pill(c, {1, 1, w - 2, h - 2}, std::min(5.0f, w / 3), fill, deep, 2);
    c.setFillColor(kTagLight.withAlpha(0.5f));
    for (float y = 8; y + 4 < h; y += 7) c.fillRect({w / 2 - 3, y, 6, 2});
    return;
  }
  tagBody(c, w, h, fill, deep, selected ? kCream : kTagLight, true);
}

void paintTagDelete(Context& c, float w, float h, int pressed) {
  Path p;
  p.addEllipse({1, 1, w - 2, h - 2});
  c.setFillColor(pressed ? kSelectDeep : kSelect);
  c.fillPath(p);
  c.setStrokeColor(kCream);
  c.setLineWidth(1.5f);
  c.strokePath(p);
  crossGlyph(c, w / 2, h / 2, w * 0.2f, kCream, 2);
}

// The single-sound button: a bar with the sound's kind at the left and a
// delete cross in the right 32 points, the title between.
void paintSoundButton(Context& c, float w, float h, int variant) {
  const bool pressed = variant & 1;
  const bool recording = variant >= 2;
  pill(c, {1, 1, w - 2, h - 2}, 8, pressed ? kTagDeep : kTag, kCream, 1.5f);
  const Color ink = pressed ? kTagLight : kCream;
  if (recording) micGlyph(c, 11, h / 2, 6, ink);
  else noteGlyph(c, 11, h / 2, 6, ink);
  c.setFillColor(Color::white(0, 0.2f));
  c.fillRect({w - 32, 6, 1, h - 12});
  crossGlyph(c, w - 16, h / 2, 5, ink, 2.5f);
}

using Entry = desk_art::ArtEntry;

constexpr Entry kEntries[] = {
    {"soundtrack_bar.png", 480, 80, paintTrackBar, 0},
    {"picsmanager_slider.png", 13, 19, paintSlider, 0},
    {"add_record01.png", 45, 66, paintTrackButton, kRecordDot * 2},
    {"add_record02.png", 45, 66, paintTrackButton, kRecordDot * 2 + 1},
    {"add_sound01.png", 45, 66, paintTrackButton, kNote * 2},
    {"add_sound02.png", 45, 66, paintTrackButton, kNote * 2 + 1},
    {"add_stop01.png", 45, 66, paintTrackButton, kStopSquare * 2},
    {"add_stop02.png", 45, 66, paintTrackButton, kStopSquare * 2 + 1},
    {"sound_tag.png", 91, 58, paintTag, 0},
    {"sound_tag_short.png", 20, 50, paintTag, 1},
    {"sound_tag_select.png", 91, 58, paintTag, 2},
    {"sound_tag_short_select.png", 20, 50, paintTag, 3},
    {"sound_delete01.png", 19, 19, paintTagDelete, 0},
    {"sound_delete02.png", 19, 19, paintTagDelete, 1},
    {"tag_sound01.png", 145, 49, paintSoundButton, 0},
    {"tag_sound02.png", 145, 49, paintSoundButton, 1},
    {"tag_record01.png", 145, 49, paintSoundButton, 2},
    {"tag_record02.png", 145, 49, paintSoundButton, 3},
};

}  // namespace

desk_art::ArtCatalogue& pictures() {
  static desk_art::ArtCatalogue c(kEntries);
  return c;
}

}  // namespace sound_art
