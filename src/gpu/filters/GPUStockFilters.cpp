#include "gpu/filters/GPUStockFilters.h"

#include "gpu/filters/blend/GPUBlendFilters.h"
#include "gpu/filters/blur/GPUBlurFilters.h"
#include "gpu/filters/colour/GPUColorAdjustmentFilters.h"
#include "gpu/filters/detection/GPUDetectionFilters.h"
#include "gpu/filters/distortion/GPUDistortionFilters.h"
#include "gpu/filters/generators/GPUGenerators.h"
#include "gpu/filters/groups/GPUFilterGroups.h"
#include "gpu/filters/neighbourhood/GPU3x3Filters.h"
#include "gpu/filters/reduction/GPUReductionGroups.h"
#include "gpu/filters/stylise/GPUStylisingFilters.h"
#include "gpu/filters/tonecurve/GPUToneCurveFilter.h"
#include "gpu/filters/utility/GPUUtilityFilters.h"
#include "gpu/filters/voronoi/GPUVoronoiFilters.h"

void registerStockFilters() {
  registerColorAdjustmentFilters();
  registerToneCurveFilters();
  registerDistortionFilters();
  registerStylisingFilters();
  registerGenerators();
  registerUtilityFilters();
  registerBlendFilters();
  registerBlurFilters();
  register3x3Filters();
  registerDetectionFilters();
  registerFilterGroups();
  registerReductionFilters();
  registerReductionGroups();
  registerVoronoiFilters();
}
