#pragma once
// The filter classes a pipeline configuration may name, and the messages each
// answers. Classes are entered by an explicit call at start-up (static
// initialisers in a static library are dropped by the linker); a
// configuration can make nothing else.
#include <functional>
#include <map>
#include <mutex>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "gpu/GPUOutput.h"
#include "platform/foundation/Expected.h"

// The argument of one configured message.
using GPUFilterListElement = std::variant<float, gfx::Point>;
using GPUFilterMessageArgument =
    std::variant<std::monostate, float, gfx::Point, std::string, std::vector<GPUFilterListElement>>;

class GPUFilterClass {
 public:
  enum class ArgumentKind { None, Float, Point, String, List };
  using Factory = std::function<std::shared_ptr<GPUFilterStage>()>;
  using Send = std::function<void(GPUFilterStage&, const GPUFilterMessageArgument&)>;
  // Whether a configuration may send the argument; empty takes every one.
  using Accepts = std::function<fd::Status(const std::string&)>;
  struct Message {
    ArgumentKind kind;
    Send send;
    Accepts accepts;
  };

  GPUFilterClass(std::string name, Factory factory) : name_(std::move(name)), factory_(std::move(factory)) {}
  // A class made with its default constructor.
  template <typename T>
  static GPUFilterClass of(std::string name) {
    return GPUFilterClass(std::move(name), [] { return std::make_shared<T>(); });
  }

  // Messages by selector name: "prepareForImageCapture" takes nothing,
  // "setIntensity:" one argument of the kind given.
  template <typename T>
  GPUFilterClass& message(const std::string& selector, void (T::*method)()) {
    messages_[selector] = {ArgumentKind::None, [method](GPUFilterStage& f, const GPUFilterMessageArgument&) {
                             (static_cast<T&>(f).*method)();
                           }, {}};
    return *this;
  }
  template <typename T>
  GPUFilterClass& message(const std::string& selector, void (T::*method)(float)) {
    messages_[selector] = {ArgumentKind::Float, [method](GPUFilterStage& f, const GPUFilterMessageArgument& a) {
                             (static_cast<T&>(f).*method)(std::get<float>(a));
                           }, {}};
    return *this;
  }
  template <typename T>
  GPUFilterClass& message(const std::string& selector, void (T::*method)(gfx::Point)) {
    messages_[selector] = {ArgumentKind::Point, [method](GPUFilterStage& f, const GPUFilterMessageArgument& a) {
                             (static_cast<T&>(f).*method)(std::get<gfx::Point>(a));
                           }, {}};
    return *this;
  }
  // A text argument; when `accepts` is given, a configuration whose text it
  // refuses (a resource name leading out of the resources, say) fails whole,
  // before any of its filters is made.
  template <typename T>
  GPUFilterClass& message(const std::string& selector, void (T::*method)(const std::string&), Accepts accepts = {}) {
    messages_[selector] = {ArgumentKind::String,
                           [method](GPUFilterStage& f, const GPUFilterMessageArgument& a) {
                             (static_cast<T&>(f).*method)(std::get<std::string>(a));
                           },
                           std::move(accepts)};
    return *this;
  }
  template <typename T>
  GPUFilterClass& message(const std::string& selector, void (T::*method)(const std::vector<GPUFilterListElement>&)) {
    messages_[selector] = {ArgumentKind::List, [method](GPUFilterStage& f, const GPUFilterMessageArgument& a) {
                             (static_cast<T&>(f).*method)(std::get<std::vector<GPUFilterListElement>>(a));
                           }, {}};
    return *this;
  }

  const std::string& name() const { return name_; }
  std::shared_ptr<GPUFilterStage> make() const { return factory_(); }
  const Message* findMessage(const std::string& selector) const;

 private:
  std::string name_;
  Factory factory_;
  std::map<std::string, Message> messages_;
};

class GPUFilterRegistry {
 public:
  static GPUFilterRegistry& shared();

  // A later entry of the same name replaces the earlier one.
  void registerClass(GPUFilterClass filterClass);
  const GPUFilterClass* classNamed(const std::string& name) const;
  std::vector<std::string> classNames() const;

  // Enters the pipeline's own classes and the stock filters. Called once at start-up; calling it
  // again changes nothing.
  static void registerCoreFilters();

 private:
  mutable std::mutex m_;
  std::map<std::string, GPUFilterClass> classes_;
};
