// Fuzz target for filter pipeline configurations: arbitrary bytes as a
// property-list configuration, built into a pipeline by
// GPUFilterPipeline::withConfiguration over a small picture, with the core and
// stock filters registered as at start-up. Building must never crash nor hang
// however long or odd its text arguments; a configuration that fails says why
// and chains nothing to the picture, one that succeeds chains one filter per
// entry.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "FuzzSandbox.h"
#include "gpu/GPUFilterPipeline.h"
#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUPicture.h"
#include "platform/foundation/PropertyList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool ready = [] {
    // The pipeline's context runs without a display, as in the tests.
    ::setenv("EGL_PLATFORM", "surfaceless", 0);
    GPUFilterRegistry::registerCoreFilters();
    return true;
  }();
  (void)ready;
  auto configuration = fd::parsePropertyList(fd::Data(data, data + size));
  if (!configuration) return 0;
  auto picture = std::make_shared<GPUPicture>(gfx::Image(4, 4));
  auto pipeline = GPUFilterPipeline::withConfiguration(*configuration, picture, nullptr);
  if (!pipeline) {
    fuzz_support::check(!pipeline.error().empty(), "fuzz_config", "a configuration failed without saying why");
    fuzz_support::check(picture->targets().empty(), "fuzz_config", "a failed configuration chained a filter");
    return 0;
  }
  const fd::Array* entries = (*configuration)["Filters"].array();
  fuzz_support::check(entries != nullptr && (*pipeline)->filters().size() == entries->size(), "fuzz_config",
                      "the chain does not hold one filter per entry");
  fuzz_support::check(entries->empty() || picture->targets().size() == 1, "fuzz_config",
                      "the picture does not feed the chain's first filter");
  return 0;
}
