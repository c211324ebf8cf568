// Small requests to a local keep-alive server, counted in requests per second:
// the HTTP engine as the program uses it (delegates told through the main
// loop), one request at a time and all at once, beside a plain libcurl easy
// loop over one connection as the yardstick. Only the yardstick calls libcurl
// directly. Goal: the engine at 0.7 times the yardstick or better.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <memory>
#include <vector>

#include "net/HTTPRequest.h"
#include "platform/foundation/RunLoop.h"
#include "support/LocalHttpServer.h"

namespace {

constexpr int kRequests = 1000;

// Never stopped: stopping would wait out the keep-alive of idle connections
// at exit; the process's end closes it.
testing_support::LocalHttpServer& server() {
  static testing_support::LocalHttpServer* http = [] {
    auto* s = new testing_support::LocalHttpServer(/*keepAlive=*/true);
    s->server().Get("/small", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("{\"ok\":true}", "application/json");
    });
    s->start();
    return s;
  }();
  return *http;
}

void countRequests(benchmark::State& state) {
  state.counters["requests_per_second"] =
      benchmark::Counter(static_cast<double>(kRequests) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

std::size_t discard(char*, std::size_t size, std::size_t count, void*) { return size * count; }

void BM_PlainCurlEasyLoop(benchmark::State& state) {
  const std::string url = server().url("/small");
  curl_global_init(CURL_GLOBAL_DEFAULT);
  CURL* easy = curl_easy_init();
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &discard);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "gzip");
  for (auto _ : state) {
    for (int i = 0; i < kRequests; ++i) {
      long status = 0;
      if (curl_easy_perform(easy) != CURLE_OK || curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK ||
          status != 200) {
        state.SkipWithError("request failed");
        break;
      }
    }
  }
  curl_easy_cleanup(easy);
  countRequests(state);
}
BENCHMARK(BM_PlainCurlEasyLoop)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// Starts the next request from the delegate of the one before, as a caller
// walking a list does.
class Chain : public HTTPRequestDelegate {
 public:
  explicit Chain(std::string url) : url_(std::move(url)) {}
  void startNext() {
    current_ = HTTPRequest::initWithURL(url_);
    current_->setDelegate(this);
    current_->startAsynchronous();
  }
  void requestFinished(HTTPRequest& request) override {
    ok_ = ok_ && request.responseStatusCode() == 200;
    if (++done_ < kRequests) startNext();
  }
  void requestFailed(HTTPRequest&) override {
    ok_ = false;
    ++done_;
    if (done_ < kRequests) startNext();
  }
  int done_ = 0;
  bool ok_ = true;

 private:
  std::string url_;
  std::shared_ptr<HTTPRequest> current_;
};

void BM_HTTPRequestOneAtATime(benchmark::State& state) {
  const std::string url = server().url("/small");
  fd::RunLoop::resetMainForTesting(/*virtualClock=*/false);
  for (auto _ : state) {
    Chain chain(url);
    chain.startNext();
    while (chain.done_ < kRequests) fd::RunLoop::main().runOnce(0.1);
    if (!chain.ok_) state.SkipWithError("request failed");
  }
  countRequests(state);
}
BENCHMARK(BM_HTTPRequestOneAtATime)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

class Counter : public HTTPRequestDelegate {
 public:
  void requestFinished(HTTPRequest& request) override {
    ok = ok && request.responseStatusCode() == 200;
    ++done;
  }
  void requestFailed(HTTPRequest&) override {
    ok = false;
    ++done;
  }
  int done = 0;
  bool ok = true;
};

void BM_HTTPRequestAllAtOnce(benchmark::State& state) {
  const std::string url = server().url("/small");
  fd::RunLoop::resetMainForTesting(/*virtualClock=*/false);
  for (auto _ : state) {
    Counter counter;
    std::vector<std::shared_ptr<HTTPRequest>> requests;
    requests.reserve(kRequests);
    for (int i = 0; i < kRequests; ++i) {
      requests.push_back(HTTPRequest::initWithURL(url));
      requests.back()->setDelegate(&counter);
      requests.back()->startAsynchronous();
    }
    while (counter.done < kRequests) fd::RunLoop::main().runOnce(0.1);
    if (!counter.ok) state.SkipWithError("request failed");
  }
  countRequests(state);
}
BENCHMARK(BM_HTTPRequestAllAtOnce)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
