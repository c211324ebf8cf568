#pragma once
// Named notifications with an optional payload. Posting from any thread
// delivers synchronously on the poster's thread, as the phone does.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"

namespace fd {

struct Notification {
  std::string name;
  const void* object = nullptr;  // the sender, when it says
  Value userInfo;
};

class NotificationCenter {
 public:
  using ObserverId = std::uint64_t;
  using Handler = std::function<void(const Notification&)>;

  static NotificationCenter& defaultCenter();

  // object: only notifications from that sender (nullptr: any). owner: a key
  // to remove all of one observer's registrations at once.
  ObserverId addObserver(const std::string& name, Handler handler, const void* owner = nullptr,
                         const void* object = nullptr);
  void removeObserver(ObserverId id);
  void removeObserver(const void* owner);
  // Handlers run outside the lock, so they may add or remove observers; one
  // removed while the post is under way is not called.
  void post(const std::string& name, const void* object = nullptr, Value userInfo = {});

 private:
  struct Entry {
    ObserverId id;
    std::string name;
    const void* owner;
    const void* object;
    Handler handler;
    // Cleared on removal, so a post already under way skips the observer.
    std::atomic<bool> active{true};
  };
  std::mutex m_;
  std::vector<std::shared_ptr<Entry>> entries_;
  ObserverId next_ = 1;
};

// Posted by the platform when memory runs low.
inline constexpr const char* kLowMemoryNotification = "UIApplicationDidReceiveMemoryWarningNotification";

}  // namespace fd
