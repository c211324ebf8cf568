#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "platform/transport/Transport.h"

namespace transport {

namespace {

using Clock = std::chrono::steady_clock;

// Longest sleep of the network thread when nothing wakes it.
constexpr int kIdlePollMs = 1000;

struct MultiDeleter {
  void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};
struct EasyDeleter {
  void operator()(CURL* e) const { curl_easy_cleanup(e); }
};
struct SlistDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using MultiPtr = std::unique_ptr<CURLM, MultiDeleter>;
using EasyPtr = std::unique_ptr<CURL, EasyDeleter>;
using SlistPtr = std::unique_ptr<curl_slist, SlistDeleter>;

struct CodeOutcome {
  CURLcode code;
  Outcome outcome;
};
// libcurl's results as the callers tell failures apart; others are Failed.
constexpr CodeOutcome kOutcomes[] = {
    {CURLE_OK, Outcome::Done},
    {CURLE_COULDNT_RESOLVE_PROXY, Outcome::ConnectFailed},
    {CURLE_COULDNT_RESOLVE_HOST, Outcome::ConnectFailed},
    {CURLE_COULDNT_CONNECT, Outcome::ConnectFailed},
    {CURLE_WEIRD_SERVER_REPLY, Outcome::ConnectFailed},
    {CURLE_PARTIAL_FILE, Outcome::ConnectFailed},
    {CURLE_SEND_ERROR, Outcome::ConnectFailed},
    {CURLE_RECV_ERROR, Outcome::ConnectFailed},
    {CURLE_GOT_NOTHING, Outcome::ConnectFailed},
    {CURLE_SSL_CONNECT_ERROR, Outcome::ConnectFailed},
    {CURLE_PEER_FAILED_VERIFICATION, Outcome::ConnectFailed},
    {CURLE_BAD_CONTENT_ENCODING, Outcome::ConnectFailed},
    {CURLE_HTTP2, Outcome::ConnectFailed},
    {CURLE_OPERATION_TIMEDOUT, Outcome::TimedOut},
    {CURLE_URL_MALFORMAT, Outcome::BadAddress},
    {CURLE_UNSUPPORTED_PROTOCOL, Outcome::BadAddress},
    {CURLE_TOO_MANY_REDIRECTS, Outcome::TooManyRedirects},
    {CURLE_WRITE_ERROR, Outcome::Refused},
    {CURLE_OUT_OF_MEMORY, Outcome::SetUpFailed},
};

Outcome outcomeFor(CURLcode code) {
  for (const CodeOutcome& entry : kOutcomes)
    if (entry.code == code) return entry.outcome;
  return Outcome::Failed;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  return s;
}

void initCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

std::optional<std::string> ResponseHead::header(std::string_view name) const {
  for (const auto& [key, value] : headers)
    if (equalsIgnoringCase(key, name)) return value;
  return std::nullopt;
}

// One exchange, from start() until its slot is freed.
struct Exchange {
  Client::Id id = 0;
  Request request;
  std::shared_ptr<Transfer> transfer;
  EasyPtr easy;
  SlistPtr headerList;
  ResponseHead head;
  bool headTold = false;
  Clock::time_point lastActivity;
  char errorText[CURL_ERROR_SIZE] = {};

  Clock::time_point deadline() const {
    return lastActivity + std::chrono::duration_cast<Clock::duration>(
                              std::chrono::duration<double>(std::max(request.timeoutSeconds, 0.0)));
  }

  // Hands on the head of the response whose body comes now.
  bool tellHead() {
    if (headTold) return true;
    headTold = true;
    long status = 0;
    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status != 0) head.status = status;
    return transfer->onResponse(head);
  }

  static std::size_t onHeaderLine(char* data, std::size_t size, std::size_t count, void* user) {
    auto* ex = static_cast<Exchange*>(user);
    const std::size_t n = size * count;
    ex->lastActivity = Clock::now();
    std::string_view line(data, n);
    if (line.starts_with("HTTP/")) {
      // A new response begins (after a redirect or an interim reply): its
      // headers replace those seen so far.
      ex->head = ResponseHead{};
      std::size_t space = line.find(' ');
      if (space != std::string_view::npos) ex->head.status = std::atol(std::string(line.substr(space + 1, 3)).c_str());
      return n;
    }
    std::size_t colon = line.find(':');
    if (colon != std::string_view::npos)
      ex->head.headers.emplace_back(std::string(trim(line.substr(0, colon))), std::string(trim(line.substr(colon + 1))));
    return n;
  }

  static std::size_t onBodyBytes(char* data, std::size_t size, std::size_t count, void* user) {
    auto* ex = static_cast<Exchange*>(user);
    const std::size_t n = size * count;
    ex->lastActivity = Clock::now();
    if (!ex->tellHead()) return 0;
    if (n > 0 && !ex->transfer->onBody(std::string_view(data, n))) return 0;
    return n;
  }

  // Readies the easy handle for the current request; false when it cannot.
  bool prepare() {
    if (!easy) easy.reset(curl_easy_init());
    else curl_easy_reset(easy.get());
    if (!easy) return false;
    head = ResponseHead{};
    headTold = false;
    errorText[0] = '\0';
    lastActivity = Clock::now();

    curl_slist* list = nullptr;
    for (const auto& [name, value] : request.headers) {
      // "Name;" is libcurl's way to send a header with an empty value.
      std::string line = value.empty() ? name + ";" : name + ": " + value;
      curl_slist* grown = curl_slist_append(list, line.c_str());
      if (grown == nullptr) {
        curl_slist_free_all(list);
        return false;
      }
      list = grown;
    }
    headerList.reset(list);

    CURL* e = easy.get();
    bool ok = curl_easy_setopt(e, CURLOPT_URL, request.url.c_str()) == CURLE_OK;
    ok &= curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok &= curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok &= curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK;
    ok &= curl_easy_setopt(e, CURLOPT_MAXREDIRS, request.maxRedirects) == CURLE_OK;
    ok &= curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    ok &= curl_easy_setopt(e, CURLOPT_HTTPHEADER, headerList.get()) == CURLE_OK;
    ok &= curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Exchange::onHeaderLine) == CURLE_OK;
    ok &= curl_easy_setopt(e, CURLOPT_HEADERDATA, this) == CURLE_OK;
    ok &= curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Exchange::onBodyBytes) == CURLE_OK;
    ok &= curl_easy_setopt(e, CURLOPT_WRITEDATA, this) == CURLE_OK;
    ok &= curl_easy_setopt(e, CURLOPT_ERRORBUFFER, errorText) == CURLE_OK;
    if (request.acceptGzip) ok &= curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "gzip") == CURLE_OK;
    if (request.body) {
      ok &= curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body->size())) == CURLE_OK;
      ok &= curl_easy_setopt(e, CURLOPT_COPYPOSTFIELDS, request.body->data()) == CURLE_OK;
    }
    if (request.method != "GET" && !(request.method == "POST" && request.body))
      ok &= curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, request.method.c_str()) == CURLE_OK;  // libcurl copies it
    if (request.resumeFrom > 0) {
      std::string range = std::to_string(request.resumeFrom) + "-";
      ok &= curl_easy_setopt(e, CURLOPT_RANGE, range.c_str()) == CURLE_OK;  // libcurl copies it
    }
    return ok;
  }
};

struct Client::Impl {
  explicit Impl(int width) : width(std::max(width, 1)) {
    initCurlOnce();
    multi.reset(curl_multi_init());
    // Idle keep-alive connections count too: the server never sees more
    // connections than exchanges are allowed at once.
    curl_multi_setopt(multi.get(), CURLMOPT_MAX_TOTAL_CONNECTIONS, static_cast<long>(this->width));
    curl_multi_setopt(multi.get(), CURLMOPT_MAXCONNECTS, static_cast<long>(this->width));
    thread = std::thread([this] { run(); });
  }

  ~Impl() {
    {
      std::lock_guard lock(m);
      stopping = true;
    }
    curl_multi_wakeup(multi.get());
    thread.join();
    for (auto& [easy, ex] : active) curl_multi_remove_handle(multi.get(), easy);
    active.clear();
  }

  void wake() { curl_multi_wakeup(multi.get()); }

  void run() {
    for (;;) {
      std::vector<Id> cancelled;
      std::vector<std::unique_ptr<Exchange>> cancelledWaiting;
      {
        std::lock_guard lock(m);
        if (stopping) return;
        cancelled.swap(cancels);
        for (Id id : cancelled) {
          auto it = std::find_if(waiting.begin(), waiting.end(), [id](const auto& ex) { return ex->id == id; });
          if (it != waiting.end()) {
            cancelledWaiting.push_back(std::move(*it));
            waiting.erase(it);
          }
        }
      }
      for (auto& ex : cancelledWaiting) ex->transfer->onComplete({Outcome::Cancelled, "cancelled"});
      for (Id id : cancelled) {
        auto it = std::find_if(active.begin(), active.end(), [id](const auto& entry) { return entry.second->id == id; });
        if (it != active.end()) finish(it->first, {Outcome::Cancelled, "cancelled"});
      }
      fill();

      int running = 0;
      curl_multi_perform(multi.get(), &running);
      int left = 0;
      while (CURLMsg* msg = curl_multi_info_read(multi.get(), &left)) {
        if (msg->msg == CURLMSG_DONE) finish(msg->easy_handle, resultFor(msg->easy_handle, msg->data.result));
      }
      endTimedOut();
      fill();

      curl_multi_poll(multi.get(), nullptr, 0, pollTimeoutMs(), nullptr);
    }
  }

  Result resultFor(CURL* easy, CURLcode code) {
    Exchange& ex = *active.at(easy);
    Outcome outcome = outcomeFor(code);
    if (outcome == Outcome::Done && !ex.tellHead()) return {Outcome::Refused, "refused by the receiver"};
    if (outcome == Outcome::Done) return {};
    return {outcome, ex.errorText[0] != '\0' ? std::string(ex.errorText) : std::string(curl_easy_strerror(code))};
  }

  void endTimedOut() {
    const auto now = Clock::now();
    std::vector<CURL*> late;
    for (const auto& [easy, ex] : active)
      if (ex->deadline() <= now) late.push_back(easy);
    for (CURL* easy : late) {
      const Exchange& ex = *active.at(easy);
      char text[64];
      std::snprintf(text, sizeof text, "nothing arrived for %g s", ex.request.timeoutSeconds);
      finish(easy, {Outcome::TimedOut, text});
    }
  }

  int pollTimeoutMs() const {
    if (active.empty()) return kIdlePollMs;
    auto next = Clock::time_point::max();
    for (const auto& [easy, ex] : active) next = std::min(next, ex->deadline());
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count() + 1;
    return static_cast<int>(std::clamp<long long>(ms, 0, kIdlePollMs));
  }

  // Ends an open exchange; a retry it asks for takes the same slot.
  void finish(CURL* easy, const Result& result) {
    auto node = active.extract(easy);
    std::unique_ptr<Exchange> ex = std::move(node.mapped());
    curl_multi_remove_handle(multi.get(), easy);
    std::optional<Request> again = ex->transfer->onComplete(result);
    if (!again || result.outcome == Outcome::Cancelled) {
      if (spare.size() < static_cast<std::size_t>(width)) spare.push_back(std::move(ex->easy));
      return;
    }
    ex->request = std::move(*again);
    begin(std::move(ex));
  }

  // Adds an exchange to the multi handle, or ends it when it cannot start.
  void begin(std::unique_ptr<Exchange> ex) {
    if (!ex->easy && !spare.empty()) {
      ex->easy = std::move(spare.back());
      spare.pop_back();
    }
    if (!ex->prepare() || curl_multi_add_handle(multi.get(), ex->easy.get()) != CURLM_OK) {
      std::optional<Request> again = ex->transfer->onComplete({Outcome::SetUpFailed, "the exchange could not be set up"});
      (void)again;  // an exchange that cannot be set up would fail the same way again
      return;
    }
    CURL* easy = ex->easy.get();
    active.emplace(easy, std::move(ex));
  }

  void fill() {
    while (static_cast<int>(active.size()) < width) {
      std::unique_ptr<Exchange> next;
      {
        std::lock_guard lock(m);
        if (waiting.empty()) return;
        next = std::move(waiting.front());
        waiting.pop_front();
      }
      begin(std::move(next));
    }
  }

  const int width;
  MultiPtr multi;
  std::atomic<Id> nextId{1};
  std::mutex m;
  std::deque<std::unique_ptr<Exchange>> waiting;  // guarded by m
  std::vector<Id> cancels;                        // guarded by m
  bool stopping = false;                          // guarded by m
  std::map<CURL*, std::unique_ptr<Exchange>> active;  // network thread only
  std::vector<EasyPtr> spare;  // handles of ended exchanges, for the next ones; network thread only
  std::thread thread;
};

Client::Client(int maxConcurrent) : impl_(std::make_unique<Impl>(maxConcurrent)) {}

Client::~Client() = default;

Client::Id Client::start(Request request, std::shared_ptr<Transfer> transfer) {
  auto ex = std::make_unique<Exchange>();
  ex->id = impl_->nextId++;
  ex->request = std::move(request);
  ex->transfer = std::move(transfer);
  const Id id = ex->id;
  {
    std::lock_guard lock(impl_->m);
    impl_->waiting.push_back(std::move(ex));
  }
  impl_->wake();
  return id;
}

void Client::cancel(Id id) {
  {
    std::lock_guard lock(impl_->m);
    impl_->cancels.push_back(id);
  }
  impl_->wake();
}

int Client::maxConcurrent() const { return impl_->width; }

}  // namespace transport
