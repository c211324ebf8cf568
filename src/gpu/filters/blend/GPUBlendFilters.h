#pragma once
// The blend modes and the other plain two-input filters: each draws one
// shader over the base (first input) and the overlay (second input).
// Zero divisors of the dividing modes give a defined colour, never NaN.
#include "gpu/GPUTwoInputFilter.h"
#include "gpu/filters/GPUStockFilterSupport.h"

// A two-input filter made of one fragment shader and no uniforms of its own.
class GPUPlainBlendFilter : public GPUTwoInputFilter {
 public:
  using GPUTwoInputFilter::GPUTwoInputFilter;
};

#define FD_PLAIN_BLEND(Name) \
  class Name : public GPUPlainBlendFilter { \
   public: \
    Name(); \
  };
FD_PLAIN_BLEND(GPUColorBurnBlendFilter)
FD_PLAIN_BLEND(GPUColorDodgeBlendFilter)
FD_PLAIN_BLEND(GPUDarkenBlendFilter)
FD_PLAIN_BLEND(GPULightenBlendFilter)
FD_PLAIN_BLEND(GPUDifferenceBlendFilter)
FD_PLAIN_BLEND(GPUSubtractBlendFilter)
FD_PLAIN_BLEND(GPUDivideBlendFilter)
FD_PLAIN_BLEND(GPUExclusionBlendFilter)
FD_PLAIN_BLEND(GPUHardLightBlendFilter)
FD_PLAIN_BLEND(GPUOverlayBlendFilter)
FD_PLAIN_BLEND(GPUMultiplyBlendFilter)
FD_PLAIN_BLEND(GPUScreenBlendFilter)
FD_PLAIN_BLEND(GPUSoftLightBlendFilter)
FD_PLAIN_BLEND(GPUNormalBlendFilter)
FD_PLAIN_BLEND(GPUSourceOverBlendFilter)
// The overlay must be a 512 x 512 lookup picture of 8 x 8 tiles.
FD_PLAIN_BLEND(GPULookupFilter)
#undef FD_PLAIN_BLEND

// The overlay over the base by the overlay's alpha times the mix.
class GPUAlphaBlendFilter : public GPUTwoInputFilter {
 public:
  GPUAlphaBlendFilter();
  void setMix(float mix);
  float mix() const { return mix_; }

 private:
  GLint mixUniform_ = -1;
  float mix_ = 0.5f;
};

// The base faded into the overlay on all four channels.
class GPUDissolveBlendFilter : public GPUTwoInputFilter {
 public:
  GPUDissolveBlendFilter();
  void setMix(float mix);
  float mix() const { return mix_; }

 private:
  GLint mixUniform_ = -1;
  float mix_ = 0.5f;
};

// Base pixels near the key colour (by their chroma) give way to the overlay.
class GPUChromaKeyBlendFilter : public GPUChromaKeying<GPUTwoInputFilter> {
 public:
  GPUChromaKeyBlendFilter();
};

// The base with the overlay's mean grey as its alpha, composited over the
// background colour.
class GPUMaskFilter : public GPUTwoInputFilter {
 public:
  GPUMaskFilter();
  void renderToTextureWithVertices(const GPUQuad& vertices, const GPUQuad& textureCoordinates,
                                   GLuint sourceTexture) override;
};

void registerBlendFilters();
