#pragma once
// What the network tests share: a fixture with a real-clock main loop and a
// local server, and a delegate that records what it is told.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "net/HTTPRequest.h"
#include "platform/foundation/RunLoop.h"
#include "support/LocalHttpServer.h"
#include "support/Sandbox.h"

namespace net_test {

class RecordingDelegate : public HTTPRequestDelegate {
 public:
  void requestFinished(HTTPRequest& request) override { record(request, finished); }
  void requestFailed(HTTPRequest& request) override { record(request, failed); }

  std::size_t calls() const { return finished.size() + failed.size(); }

  std::vector<HTTPRequest*> finished;
  std::vector<HTTPRequest*> failed;
  bool allOnMainThread = true;

 private:
  void record(HTTPRequest& request, std::vector<HTTPRequest*>& into) {
    allOnMainThread = allOnMainThread && fd::isMainThread();
    into.push_back(&request);
  }
};

class NetTest : public testing_support::SandboxTest {
 protected:
  void SetUp() override { fd::RunLoop::resetMainForTesting(/*virtualClock=*/false); }
  // Stalled handlers end when the test ends, before the server stops.
  void TearDown() override { release = true; }

  // Turns the main loop until done() holds or the time is up.
  bool runUntil(const std::function<bool()>& done, double seconds = 10) {
    return testing_support::runMainUntil(done, seconds);
  }

  // Starts the request with the delegate and turns the loop until it is told.
  void runToEnd(const std::shared_ptr<HTTPRequest>& request, RecordingDelegate& delegate) {
    request->setDelegate(&delegate);
    request->startAsynchronous();
    ASSERT_TRUE(runUntil([&] { return delegate.calls() > 0; })) << request->url();
    // Exactly one answer: nothing more arrives afterwards.
    fd::RunLoop::main().runOnce(0.05);
    EXPECT_EQ(delegate.calls(), 1u);
    EXPECT_TRUE(delegate.allOnMainThread);
    EXPECT_TRUE(request->isFinished());
  }

  // The request was told requestFailed, with this code of the engine's domain.
  static ::testing::AssertionResult failedWith(const HTTPRequest& request, const RecordingDelegate& delegate,
                                               HTTPErrorCode code) {
    if (delegate.failed.size() != 1 || !request.error())
      return ::testing::AssertionFailure() << request.url() << " did not fail";
    const HTTPError& error = *request.error();
    if (error.domain != kHTTPRequestErrorDomain || error.code != static_cast<int>(code))
      return ::testing::AssertionFailure() << request.url() << " failed with " << error.domain << " " << error.code
                                           << ": " << error.localizedDescription;
    return ::testing::AssertionSuccess();
  }

  // A handler that counts its requests and answers only when the test ends.
  httplib::Server::Handler stallingHandler(std::atomic<int>& hits) {
    return [this, &hits](const httplib::Request&, httplib::Response& res) {
      ++hits;
      stallUntilReleased();
      res.set_content("late", "text/plain");
    };
  }

  // Holds a server thread until the test releases it (or a few seconds pass).
  void stallUntilReleased() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!release && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }

  std::atomic<bool> release{false};
  testing_support::LocalHttpServer http;
};

}  // namespace net_test
