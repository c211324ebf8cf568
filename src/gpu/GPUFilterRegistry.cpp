#include "gpu/GPUFilterRegistry.h"

#include "gpu/GPUFilter.h"
#include "gpu/filters/GPUStockFilters.h"

const GPUFilterClass::Message* GPUFilterClass::findMessage(const std::string& selector) const {
  auto it = messages_.find(selector);
  return it == messages_.end() ? nullptr : &it->second;
}

GPUFilterRegistry& GPUFilterRegistry::shared() {
  static GPUFilterRegistry registry;
  return registry;
}

void GPUFilterRegistry::registerClass(GPUFilterClass filterClass) {
  std::lock_guard lock(m_);
  const std::string name = filterClass.name();
  classes_.insert_or_assign(name, std::move(filterClass));
}

const GPUFilterClass* GPUFilterRegistry::classNamed(const std::string& name) const {
  std::lock_guard lock(m_);
  auto it = classes_.find(name);
  // Entries are never removed, so the pointer stays good after the lock.
  return it == classes_.end() ? nullptr : &it->second;
}

std::vector<std::string> GPUFilterRegistry::classNames() const {
  std::lock_guard lock(m_);
  std::vector<std::string> names;
  for (const auto& [name, cls] : classes_) names.push_back(name);
  return names;
}

void GPUFilterRegistry::registerCoreFilters() {
  shared().registerClass(GPUFilterClass::of<GPUFilter>("GPUFilter")
                             .message("prepareForImageCapture", &GPUFilter::prepareForImageCapture));
  registerStockFilters();
}
