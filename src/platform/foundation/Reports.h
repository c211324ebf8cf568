#pragma once
// Reports made anywhere for whoever tells the user: each goes to the handler
// on the thread that made it; reports made before a handler was set (at
// start, before there is a screen) go to it when it is set. An empty handler
// keeps them for later.
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

namespace fd {

template <typename Report>
class ReportChannel {
 public:
  using Handler = std::function<void(const Report&)>;

  void deliver(const Report& report) {
    Handler handler;
    {
      std::lock_guard lock(m_);
      if (!handler_) {
        pending_.push_back(report);
        return;
      }
      handler = handler_;
    }
    handler(report);
  }
  void setHandler(Handler handler) {
    std::vector<Report> waiting;
    {
      std::lock_guard lock(m_);
      handler_ = handler;
      if (handler) waiting.swap(pending_);
    }
    for (const Report& report : waiting) handler(report);
  }
  // The reports no handler has taken yet.
  std::vector<Report> take() {
    std::lock_guard lock(m_);
    return std::exchange(pending_, {});
  }

 private:
  std::mutex m_;
  Handler handler_;
  std::vector<Report> pending_;
};

}  // namespace fd
