#include "gpu/filters/GPUStockFilters.h"

#include "gpu/filters/colour/GPUColorAdjustmentFilters.h"

void registerStockFilters() {
  registerColorAdjustmentFilters();
}
