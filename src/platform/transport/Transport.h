#pragma once
// HTTP exchanges over libcurl's multi interface, all driven by one network
// thread per Client. A Client runs at most a fixed number of exchanges at once;
// the others wait, in the order they were started, without their time-out
// running. Nothing else in the program calls libcurl.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace transport {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// One exchange: a GET unless another method is named.
struct Request {
  std::string url;                // http or https only; other schemes end as BadAddress
  std::string method = "GET";     // GET, POST, PUT, DELETE, ...
  std::optional<std::string> body;  // sent as the request body (POST and PUT)
  HeaderList headers;             // sent as given
  double timeoutSeconds = 10;     // the exchange ends when nothing arrives for this long
  long maxRedirects = 10;         // redirects followed; one more ends the exchange
  bool acceptGzip = true;         // asks for gzip and hands on the inflated body
  std::uint64_t resumeFrom = 0;   // > 0: asks for the body from this byte on ("Range")
};

// Status line and headers of the response whose body follows (redirects
// already followed: never the headers of a 3xx that was followed).
struct ResponseHead {
  long status = 0;
  HeaderList headers;
  // The first value of a header, compared without regard to case.
  std::optional<std::string> header(std::string_view name) const;
};

enum class Outcome {
  Done,              // the whole response arrived (any status)
  ConnectFailed,     // no connection, or it broke before the response was whole
  TimedOut,          // nothing arrived within the time-out
  BadAddress,        // a malformed URL, or a scheme other than http/https
  TooManyRedirects,
  Refused,           // a callback of the Transfer returned false
  Cancelled,
  SetUpFailed,       // the exchange could not be prepared
  Failed,            // anything else; the message says what
};

struct Result {
  Outcome outcome = Outcome::Done;
  std::string message;  // libcurl's words for a failure; empty when Done
};

// The receiver of one exchange. Every call comes on the Client's network
// thread, in this order: onResponse once (before the first body bytes, or at
// the end for an empty body), onBody any number of times, onComplete once.
class Transfer {
 public:
  virtual ~Transfer() = default;
  // false ends the exchange as Refused.
  virtual bool onResponse(const ResponseHead& head) = 0;
  virtual bool onBody(std::string_view bytes) = 0;
  // The exchange ended. A request returned here runs at once in the same slot
  // (a retry keeps its place); nullopt frees the slot. Ignored for Cancelled.
  virtual std::optional<Request> onComplete(const Result& result) = 0;
};

class Client {
 public:
  using Id = std::uint64_t;

  explicit Client(int maxConcurrent);
  // Ends the network thread; exchanges still open or waiting are dropped
  // without being told.
  ~Client();
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  // From any thread; returns at once.
  Id start(Request request, std::shared_ptr<Transfer> transfer);
  // From any thread. The exchange ends as Cancelled (its onComplete is called
  // on the network thread); nothing happens when it has already ended.
  void cancel(Id id);
  int maxConcurrent() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace transport
