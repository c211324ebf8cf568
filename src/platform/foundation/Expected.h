#pragma once
// The one way the layers report failure: a value, or a failure with a message
// a person can read. The system's YES/NO and nil answers are made from it at
// the system's own boundary; inside the layers nothing fails silently.
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace fd {

struct Failure {
  std::string message;
  // The system's error number when a call the system refused is why (a full
  // disk is ENOSPC), so that a layer above can tell it in the user's words;
  // 0 otherwise.
  int error = 0;
};

inline Failure fail(std::string message, int error = 0) { return Failure{std::move(message), error}; }

template <typename T>
class [[nodiscard]] Expected {
 public:
  Expected(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Expected(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  // The value; only when ok().
  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  // The failure's message; empty when ok().
  const std::string& error() const {
    static const std::string none;
    return ok() ? none : std::get<1>(state_).message;
  }
  // The failure itself, to pass up a layer unchanged; only when !ok().
  const Failure& failure() const { return std::get<1>(state_); }
  // The failure's error number; 0 when ok() or when none is known.
  int errorNumber() const { return ok() ? 0 : std::get<1>(state_).error; }

  // The value, or nullopt at a boundary that answers nil.
  std::optional<T> toOptional() && {
    if (!ok()) return std::nullopt;
    return std::move(*this).value();
  }

 private:
  std::variant<T, Failure> state_;
};

// An operation that yields nothing but can fail.
template <>
class [[nodiscard]] Expected<void> {
 public:
  Expected() = default;
  Expected(Failure failure) : failure_(std::move(failure)) {}

  bool ok() const { return !failure_; }
  explicit operator bool() const { return ok(); }
  const std::string& error() const {
    static const std::string none;
    return failure_ ? failure_->message : none;
  }
  const Failure& failure() const { return *failure_; }
  int errorNumber() const { return failure_ ? failure_->error : 0; }

 private:
  std::optional<Failure> failure_;
};

using Status = Expected<void>;

}  // namespace fd
