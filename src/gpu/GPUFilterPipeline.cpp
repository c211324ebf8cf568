#include "gpu/GPUFilterPipeline.h"

#include <cstdlib>

#include "gpu/GPUFilterArgumentText.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PropertyList.h"

namespace {

// A text argument past the length a configuration may give is refused
// before it is read.
fd::Status withinLength(const std::string& text, const std::string& selector) {
  if (text.size() <= kMaxFilterArgumentLength) return {};
  return fd::fail("an argument of " + selector + " is " + std::to_string(text.size()) +
                  " characters long; a configuration may give at most " + std::to_string(kMaxFilterArgumentLength));
}

float floatValue(const std::string& text) { return std::strtof(text.c_str(), nullptr); }

fd::Expected<GPUFilterMessageArgument> argumentFromValue(const fd::Value& value, const std::string& selector) {
  if (const std::string* text = value.string()) {
    if (fd::Status length = withinLength(*text, selector); !length) return length.failure();
    auto parsed = readFilterArgumentText(*text);
    if (!parsed) return fd::fail("argument \"" + *text + "\" of " + selector + " is not type(value)");
    if (parsed->type == "float") return GPUFilterMessageArgument(floatValue(parsed->first));
    if (parsed->type == "CGPoint") {
      return GPUFilterMessageArgument(gfx::Point{floatValue(parsed->first), floatValue(parsed->second)});
    }
    return GPUFilterMessageArgument(parsed->first);
  }
  if (const fd::Array* elements = value.array()) {
    std::vector<GPUFilterListElement> list;
    for (const fd::Value& element : *elements) {
      const std::string* text = element.string();
      if (text != nullptr) {
        if (fd::Status length = withinLength(*text, selector); !length) return length.failure();
      }
      auto parsed = text != nullptr ? readFilterArgumentText(*text) : std::nullopt;
      if (!parsed || parsed->type == "NSString") {
        return fd::fail("list argument of " + selector + " holds an element that is not float(x) or CGPoint(x, y)");
      }
      if (parsed->type == "float") {
        list.emplace_back(floatValue(parsed->first));
      } else {
        list.emplace_back(gfx::Point{floatValue(parsed->first), floatValue(parsed->second)});
      }
    }
    return GPUFilterMessageArgument(std::move(list));
  }
  return fd::fail("argument of " + selector + " is neither text nor a list");
}

GPUFilterClass::ArgumentKind kindOf(const GPUFilterMessageArgument& argument) {
  using Kind = GPUFilterClass::ArgumentKind;
  static constexpr Kind kinds[] = {Kind::None, Kind::Float, Kind::Point, Kind::String, Kind::List};
  return kinds[argument.index()];
}

fd::Expected<GPUFilterPipeline::Filters> failed(fd::Failure failure) {
  fd::Log("Sorry, a parsing error occurred.\n");
  return failure;
}

}  // namespace

GPUFilterPipeline::GPUFilterPipeline(Filters orderedFilters, std::shared_ptr<GPUOutput> input,
                                     std::shared_ptr<GPUInput> output)
    : filters_(std::move(orderedFilters)), input_(std::move(input)), output_(std::move(output)) {
  refreshFilters();
}

fd::Expected<GPUFilterPipeline::Filters> GPUFilterPipeline::parseConfiguration(const fd::Value& configuration) {
  const fd::Array* entries = configuration["Filters"].array();
  if (entries == nullptr) return failed(fd::fail("the configuration has no \"Filters\" list"));
  // Every entry is checked before any filter is made, so a bad configuration
  // makes no filter at all.
  struct Planned {
    const GPUFilterClass* filterClass;
    std::vector<std::pair<const GPUFilterClass::Message*, GPUFilterMessageArgument>> messages;
  };
  std::vector<Planned> plan;
  for (const fd::Value& entry : *entries) {
    const std::string name = entry["FilterName"].stringValue();
    const GPUFilterClass* filterClass = GPUFilterRegistry::shared().classNamed(name);
    if (filterClass == nullptr) return failed(fd::fail("no filter class named \"" + name + "\" is registered"));
    Planned planned{filterClass, {}};
    if (const fd::Dictionary* attributes = entry["Attributes"].dictionary()) {
      for (const auto& [selector, value] : *attributes) {
        const GPUFilterClass::Message* message = filterClass->findMessage(selector);
        if (message == nullptr) return failed(fd::fail(name + " does not answer " + selector));
        GPUFilterMessageArgument argument;
        if (!selector.empty() && selector.back() == ':') {
          auto parsed = argumentFromValue(value, selector);
          if (!parsed) return failed(parsed.failure());
          argument = std::move(*parsed);
        }
        if (kindOf(argument) != message->kind) {
          return failed(fd::fail("argument of " + name + " " + selector + " is of the wrong type"));
        }
        if (const std::string* text = std::get_if<std::string>(&argument); text && message->accepts) {
          if (fd::Status accepted = message->accepts(*text); !accepted)
            return failed(fd::fail(name + " " + selector + " " + accepted.error()));
        }
        planned.messages.emplace_back(message, std::move(argument));
      }
    }
    plan.push_back(std::move(planned));
  }
  Filters filters;
  for (const Planned& planned : plan) {
    std::shared_ptr<GPUFilterStage> filter = planned.filterClass->make();
    for (const auto& [message, argument] : planned.messages) message->send(*filter, argument);
    filters.push_back(std::move(filter));
  }
  return filters;
}

fd::Expected<std::unique_ptr<GPUFilterPipeline>> GPUFilterPipeline::withConfiguration(
    const fd::Value& configuration, std::shared_ptr<GPUOutput> input, std::shared_ptr<GPUInput> output) {
  auto filters = parseConfiguration(configuration);
  if (!filters) return filters.failure();
  return std::make_unique<GPUFilterPipeline>(std::move(*filters), std::move(input), std::move(output));
}

fd::Expected<std::unique_ptr<GPUFilterPipeline>> GPUFilterPipeline::withConfigurationFile(
    const std::filesystem::path& file, std::shared_ptr<GPUOutput> input, std::shared_ptr<GPUInput> output) {
  auto configuration = fd::readPropertyList(file);
  if (!configuration) {
    fd::Log("Sorry, a parsing error occurred.\n");
    return fd::fail("cannot read the configuration " + file.string() + ": " + configuration.error());
  }
  return withConfiguration(*configuration, std::move(input), std::move(output));
}

void GPUFilterPipeline::refreshFilters() {
  std::lock_guard lock(m_);
  std::shared_ptr<GPUOutput> previous = input_;
  for (const auto& filter : filters_) {
    if (previous) {
      previous->removeAllTargets();
      previous->addTarget(filter);
    }
    previous = filter;
  }
  if (previous) {
    previous->removeAllTargets();
    if (output_) previous->addTarget(output_);
  }
}

void GPUFilterPipeline::addFilter(std::shared_ptr<GPUFilterStage> filter) {
  std::lock_guard lock(m_);
  filters_.push_back(std::move(filter));
  refreshFilters();
}

void GPUFilterPipeline::addFilter(std::shared_ptr<GPUFilterStage> filter, std::size_t index) {
  std::lock_guard lock(m_);
  filters_.insert(filters_.begin() + static_cast<std::ptrdiff_t>(std::min(index, filters_.size())),
                  std::move(filter));
  refreshFilters();
}

void GPUFilterPipeline::replaceFilterAtIndex(std::size_t index, std::shared_ptr<GPUFilterStage> filter) {
  std::lock_guard lock(m_);
  if (index >= filters_.size()) return;
  filters_[index] = std::move(filter);
  refreshFilters();
}

void GPUFilterPipeline::removeFilterAtIndex(std::size_t index) {
  std::lock_guard lock(m_);
  if (index >= filters_.size()) return;
  filters_[index]->removeAllTargets();
  filters_.erase(filters_.begin() + static_cast<std::ptrdiff_t>(index));
  refreshFilters();
}

void GPUFilterPipeline::removeAllFilters() {
  std::lock_guard lock(m_);
  for (const auto& filter : filters_) filter->removeAllTargets();
  filters_.clear();
  refreshFilters();
}

void GPUFilterPipeline::replaceAllFilters(Filters filters) {
  std::lock_guard lock(m_);
  for (const auto& filter : filters_) filter->removeAllTargets();
  filters_ = std::move(filters);
  refreshFilters();
}

gfx::Image GPUFilterPipeline::currentFilteredFrame() {
  std::lock_guard lock(m_);
  return filters_.empty() ? gfx::Image{} : filters_.back()->imageFromCurrentlyProcessedOutput();
}

gfx::Image GPUFilterPipeline::newCGImageFromCurrentFilteredFrame() {
  std::lock_guard lock(m_);
  return filters_.empty() ? gfx::Image{} : filters_.back()->newCGImageFromCurrentlyProcessedOutput();
}

gfx::Image GPUFilterPipeline::newCGImageFromCurrentFilteredFrameWithOrientation(gfx::Orientation orientation) {
  std::lock_guard lock(m_);
  return filters_.empty() ? gfx::Image{}
                          : filters_.back()->newCGImageFromCurrentlyProcessedOutputWithOrientation(orientation);
}

GPUFilterPipeline::Filters GPUFilterPipeline::filters() const {
  std::lock_guard lock(m_);
  return filters_;
}
std::shared_ptr<GPUOutput> GPUFilterPipeline::input() const {
  std::lock_guard lock(m_);
  return input_;
}
std::shared_ptr<GPUInput> GPUFilterPipeline::output() const {
  std::lock_guard lock(m_);
  return output_;
}
void GPUFilterPipeline::setInput(std::shared_ptr<GPUOutput> input) {
  std::lock_guard lock(m_);
  input_ = std::move(input);
}
void GPUFilterPipeline::setOutput(std::shared_ptr<GPUInput> output) {
  std::lock_guard lock(m_);
  output_ = std::move(output);
}
