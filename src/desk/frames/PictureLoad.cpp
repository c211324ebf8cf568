#include "desk/frames/PictureLoad.h"

#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/foundation/Dispatch.h"
#include "platform/foundation/RunLoop.h"

namespace picture_load {

namespace {

struct Count {
  // At exit no load may still be reading or posting: the process waits for
  // the few in flight rather than let them run into torn-down statics.
  ~Count() {
    std::unique_lock lock(m);
    cv.wait(lock, [this] { return count == 0; });
  }
  std::mutex m;
  std::condition_variable cv;
  int count = 0;
};
Count& counter() {
  static Count* c = new Count;  // never destroyed: loads on their threads count down into it
  return *c;
}

std::optional<gfx::Image> read(const std::optional<std::filesystem::path>& path) {
  if (!path) return std::nullopt;
  std::error_code ec;
  if (!std::filesystem::exists(*path, ec)) return std::nullopt;
  auto image = gfx::readImage(*path);
  if (!image) return std::nullopt;
  return std::move(image).value();
}

}  // namespace

void start(std::vector<std::optional<std::filesystem::path>> paths, std::function<void(Pictures&)> done) {
  {
    std::lock_guard lock(counter().m);
    ++counter().count;
  }
  // With no room for a thread the pictures are read on the caller, and
  // still handed over on a later turn of the main loop.
  fd::detachThread([paths = std::move(paths), done = std::move(done)]() mutable {
    auto pictures = std::make_shared<Pictures>();
    for (const auto& p : paths) pictures->push_back(read(p));
    // The callback (and whatever it keeps alive) travels on to the main
    // thread, so its last owner is never this thread.
    fd::RunLoop::main().post([done = std::move(done), pictures] { done(*pictures); });
    std::lock_guard lock(counter().m);
    if (--counter().count == 0) counter().cv.notify_all();
  });
}

int inFlight() {
  std::lock_guard lock(counter().m);
  return counter().count;
}

void waitAll() {
  {
    std::unique_lock lock(counter().m);
    counter().cv.wait(lock, [] { return counter().count == 0; });
  }
  fd::RunLoop::main().runUntilIdle();
}

}  // namespace picture_load
