#pragma once
// Delegates are not owned by the views and sheets that call them, and a
// screen may go while its view lives on (held by a finger, an animation, a
// pass of the compositor). A delegate interface derives from DelegateLife,
// and its caller keeps a DelegateRef, which answers nullptr once the delegate
// is destroyed, whoever owned it: a delegate that is gone is never called.
#include <memory>

namespace ui {

class DelegateLife {
 public:
  DelegateLife() = default;
  // A copy is another delegate with a life of its own.
  DelegateLife(const DelegateLife&) {}
  DelegateLife& operator=(const DelegateLife&) { return *this; }
  ~DelegateLife() = default;

  std::weak_ptr<const void> delegateLife() const { return life_; }

 private:
  // Owns nothing; it expires when the delegate is destroyed.
  std::shared_ptr<const void> life_{static_cast<const void*>(this), [](const void*) {}};
};

template <class Delegate>
class DelegateRef {
 public:
  DelegateRef() = default;
  DelegateRef(Delegate* d) { *this = d; }  // NOLINT: a delegate pointer converts
  DelegateRef& operator=(Delegate* d) {
    delegate_ = d;
    life_ = d ? d->delegateLife() : std::weak_ptr<const void>{};
    return *this;
  }
  Delegate* get() const { return life_.expired() ? nullptr : delegate_; }
  Delegate* operator->() const { return get(); }
  explicit operator bool() const { return get() != nullptr; }

 private:
  Delegate* delegate_ = nullptr;
  std::weak_ptr<const void> life_;
};

}  // namespace ui
