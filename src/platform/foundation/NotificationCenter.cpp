#include "platform/foundation/NotificationCenter.h"

#include <algorithm>

namespace fd {

NotificationCenter& NotificationCenter::defaultCenter() {
  // Never destroyed: observers leave it from destructors that may run while
  // the process ends.
  static NotificationCenter* center = new NotificationCenter;
  return *center;
}

NotificationCenter::ObserverId NotificationCenter::addObserver(const std::string& name, Handler handler,
                                                               const void* owner, const void* object) {
  std::lock_guard lock(m_);
  auto entry = std::make_shared<Entry>();
  entry->id = next_++;
  entry->name = name;
  entry->owner = owner;
  entry->object = object;
  entry->handler = std::move(handler);
  entries_.push_back(entry);
  return entry->id;
}

void NotificationCenter::removeObserver(ObserverId id) {
  std::lock_guard lock(m_);
  std::erase_if(entries_, [&](const std::shared_ptr<Entry>& e) {
    if (e->id != id) return false;
    e->active = false;
    return true;
  });
}

void NotificationCenter::removeObserver(const void* owner) {
  if (owner == nullptr) return;
  std::lock_guard lock(m_);
  std::erase_if(entries_, [&](const std::shared_ptr<Entry>& e) {
    if (e->owner != owner) return false;
    e->active = false;
    return true;
  });
}

void NotificationCenter::post(const std::string& name, const void* object, Value userInfo) {
  std::vector<std::shared_ptr<Entry>> receivers;
  {
    std::lock_guard lock(m_);
    for (const auto& e : entries_)
      if (e->name == name && (e->object == nullptr || e->object == object)) receivers.push_back(e);
  }
  Notification note{name, object, std::move(userInfo)};
  for (const auto& e : receivers)
    if (e->active) e->handler(note);
}

}  // namespace fd
