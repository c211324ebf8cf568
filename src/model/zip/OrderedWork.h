#pragma once
// Work on a list whose items can be prepared in any order but must be handed
// on in list order: compressing entries before they are written one after
// another, extracting entries before they are moved into place, drawing
// pictures. Preparation runs on a few threads of its own; the hand-over runs
// on the calling thread. At most `window` items are prepared ahead of the
// hand-over, which bounds the memory the prepared results hold.
#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace orderedwork {

// Threads worth starting for count items: the machine's cores, at most eight.
inline std::size_t threadsFor(std::size_t count) {
  const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
  return std::min({cores, std::size_t{8}, count});
}

// makeWorker() is called once per thread and gives a callable Result(size_t)
// that may keep state of its own (an open file, a buffer). consume(i, result)
// is called for i = 0, 1, ... in order; when it answers false no further item
// is handed on, items not yet started are never prepared, and prepared ones
// are destroyed. Answers whether every item was consumed.
template <typename Result, typename MakeWorker, typename Consume>
bool run(std::size_t count, std::size_t threads, std::size_t window, MakeWorker makeWorker, Consume consume) {
  const auto oneAfterAnother = [&] {
    auto worker = makeWorker();
    for (std::size_t i = 0; i < count; ++i) {
      Result result = worker(i);
      if (!consume(i, result)) return false;
    }
    return true;
  };
  if (threads <= 1 || count <= 1) return oneAfterAnother();
  window = std::max<std::size_t>(window, 1);
  std::mutex m;
  std::condition_variable changed;
  std::vector<std::optional<Result>> ready(count);
  std::vector<std::exception_ptr> thrown(count);
  std::size_t next = 0, consumed = 0;
  bool stop = false;

  const auto work = [&] {
    std::optional<decltype(makeWorker())> worker;
    try {
      worker.emplace(makeWorker());
    } catch (...) {
      std::lock_guard lock(m);
      if (next < count) thrown[next] = std::current_exception();
      stop = true;
      changed.notify_all();
      return;
    }
    for (;;) {
      std::size_t i;
      {
        std::unique_lock lock(m);
        changed.wait(lock, [&] { return stop || next >= count || next < consumed + window; });
        if (stop || next >= count) return;
        i = next++;
      }
      std::optional<Result> result;
      std::exception_ptr error;
      try {
        result.emplace((*worker)(i));
      } catch (...) {
        error = std::current_exception();
      }
      std::lock_guard lock(m);
      ready[i] = std::move(result);
      thrown[i] = error;
      if (error) ready[i].reset();
      changed.notify_all();
    }
  };

  std::vector<std::thread> pool;
  pool.reserve(threads);
  // Under a memory ceiling a thread's stack may not fit: the work goes on
  // with the threads there are, or on this one alone.
  for (std::size_t t = 0; t < threads; ++t) {
    try {
      pool.emplace_back(work);
    } catch (const std::system_error&) {
      break;
    } catch (const std::bad_alloc&) {
      break;
    }
  }
  if (pool.empty()) return oneAfterAnother();
  const auto finish = [&] {
    {
      std::lock_guard lock(m);
      stop = true;
    }
    changed.notify_all();
    for (std::thread& t : pool) t.join();
  };

  bool all = true;
  std::exception_ptr rethrow;
  for (std::size_t i = 0; i < count; ++i) {
    std::optional<Result> result;
    {
      std::unique_lock lock(m);
      changed.wait(lock, [&] { return ready[i].has_value() || thrown[i] || (stop && next <= i); });
      if (thrown[i]) {
        rethrow = thrown[i];
        all = false;
        break;
      }
      if (!ready[i]) {  // a worker could not start: nothing more will come
        all = false;
        break;
      }
      result = std::move(ready[i]);
      ready[i].reset();
    }
    bool ok = false;
    try {
      ok = consume(i, *result);
    } catch (...) {
      rethrow = std::current_exception();
      all = false;
      break;
    }
    {
      std::lock_guard lock(m);
      consumed = i + 1;
    }
    changed.notify_all();
    if (!ok) {
      all = false;
      break;
    }
  }
  finish();
  if (rethrow) std::rethrow_exception(rethrow);
  return all;
}

}  // namespace orderedwork
