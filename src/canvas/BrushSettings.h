#pragma once
// The state of a brush as one value. The canvas keeps the whole of it and
// hands the renderer its render part, which the renderer applies as a whole
// (and re-applies when another canvas drew in between).
#include <GLES2/gl2.h>

#include <optional>

#include "canvas/DabShaper.h"
#include "platform/graphics/Geometry.h"

struct BlendSettings {
  GLenum sc = GL_SRC_ALPHA, dc = GL_ONE_MINUS_SRC_ALPHA;  // colour source, destination
  GLenum sa = GL_ONE, da = GL_ONE_MINUS_SRC_ALPHA;        // alpha source, destination
  GLenum colorEquation = GL_FUNC_ADD, alphaEquation = GL_FUNC_ADD;
  bool operator==(const BlendSettings&) const = default;
};

// What the renderer draws dabs with.
struct RenderSettings {
  gfx::Color color{0, 0, 0, 0};  // the render colour, alpha effect included
  float alpha = 1.0f;            // the brush opacity
  float size = 0;                // the render size, backing pixels
  int tipIndex = 0;              // brush tip: atlas index / 4, cell index % 4
  DabStyle dab;
  BlendSettings blend;
  bool smudge = false;
  float smudgeSoftness = 0.5f;
  float pressure = 0.5f;
  bool operator==(const RenderSettings&) const = default;
};

// The canvas's brush: its render part and what only the canvas uses.
struct BrushSettings {
  RenderSettings render;
  std::optional<gfx::Color> color = gfx::Color{1, 0, 0, 1};  // as the user chose it
  bool alphaEffect = true;   // denser brushes paint each dab fainter
  int brushType = 0;         // the type or tip index last set
  int useType = 0;           // 0 after a full preset, 1 after a tip choice
  float brushSize = 32;      // the slow-speed size, backing pixels
  float sizeMin = 32, sizeMax = 32;
  bool autoresize = false;   // dab size follows speed
  float density = 0.25f;     // dab spacing as a fraction of the dab size
  float speedSense = 0.5f;
  bool operator==(const BrushSettings&) const = default;
};
