#pragma once
// Turns a pencil sketch into strokes on transparency: black whose opacity is
// one minus the red of the input, so white paper vanishes, black lines stay
// fully opaque and greys become partly transparent black.
#include "gpu/GPUFilter.h"

extern const char* const kGPUWhiteFragmentShaderString;

class GPUWhiteFilter : public GPUFilter {
 public:
  GPUWhiteFilter();
};

// Enters "GPUWhiteFilter" into the filter registry; calling it again changes nothing.
void registerWhiteFilter();
