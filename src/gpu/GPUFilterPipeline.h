#pragma once
// An ordered chain of filters between an input source and an output target,
// kept chained in that order. It can be built from a configuration (a
// property-list dictionary) naming registered filter classes and the
// messages to send them; a configuration that fails builds nothing.
#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

#include "gpu/GPUFilterRegistry.h"
#include "gpu/GPUOutput.h"
#include "platform/foundation/Expected.h"
#include "platform/foundation/Value.h"

class GPUFilterPipeline {
 public:
  using Filters = std::vector<std::shared_ptr<GPUFilterStage>>;

  GPUFilterPipeline(Filters orderedFilters, std::shared_ptr<GPUOutput> input, std::shared_ptr<GPUInput> output);
  // A pipeline from a configuration dictionary, or the failure that stopped it
  // (logged as "Sorry, a parsing error occurred."); nothing is chained then.
  static fd::Expected<std::unique_ptr<GPUFilterPipeline>> withConfiguration(const fd::Value& configuration,
                                                                           std::shared_ptr<GPUOutput> input,
                                                                           std::shared_ptr<GPUInput> output);
  static fd::Expected<std::unique_ptr<GPUFilterPipeline>> withConfigurationFile(const std::filesystem::path& file,
                                                                               std::shared_ptr<GPUOutput> input,
                                                                               std::shared_ptr<GPUInput> output);
  // The filters a configuration describes, made from the registry's classes
  // with their messages sent; a failure when any entry cannot be honoured.
  static fd::Expected<Filters> parseConfiguration(const fd::Value& configuration);

  void addFilter(std::shared_ptr<GPUFilterStage> filter);
  void addFilter(std::shared_ptr<GPUFilterStage> filter, std::size_t index);
  void replaceFilterAtIndex(std::size_t index, std::shared_ptr<GPUFilterStage> filter);
  void removeFilterAtIndex(std::size_t index);
  void removeAllFilters();
  void replaceAllFilters(Filters filters);

  // The last filter's current frame.
  gfx::Image currentFilteredFrame();
  gfx::Image newCGImageFromCurrentFilteredFrame();
  gfx::Image newCGImageFromCurrentFilteredFrameWithOrientation(gfx::Orientation orientation);

  Filters filters() const;
  std::shared_ptr<GPUOutput> input() const;
  std::shared_ptr<GPUInput> output() const;
  void setInput(std::shared_ptr<GPUOutput> input);
  void setOutput(std::shared_ptr<GPUInput> output);

 private:
  void refreshFilters();

  mutable std::recursive_mutex m_;
  Filters filters_;
  std::shared_ptr<GPUOutput> input_;
  std::shared_ptr<GPUInput> output_;
};
