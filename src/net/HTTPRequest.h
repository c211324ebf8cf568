#pragma once
// An asynchronous HTTP GET as the system's services make it: one object per
// request, its outcome told to a delegate on the main thread, at most four
// requests open at a time across the process (the rest wait in the order they
// were started), all driven by the one network thread.
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

class HTTPRequest;
namespace net_detail {
class RequestTransfer;
}

inline constexpr const char* kHTTPRequestErrorDomain = "HTTPRequestErrorDomain";

// The codes of kHTTPRequestErrorDomain.
enum class HTTPErrorCode : int {
  ConnectionFailure = 1,  // no connection, a broken one, or a body over the size limit
  TimedOut = 2,
  Authentication = 3,
  Cancelled = 4,
  BadAddress = 5,         // a malformed URL or a scheme other than http/https
  StreamSetUp = 6,        // the request could not be built (a header with a line break)
  Credentials = 7,
  Files = 8,              // the download file could not be written or moved into place
  TooManyRedirects = 9,
};

// The failure of a request.
struct HTTPError {
  std::string domain = kHTTPRequestErrorDomain;
  int code = 0;
  std::string localizedDescription;
};

// Header names compare without regard to case, as HTTP has them.
struct HeaderNameLess {
  bool operator()(const std::string& a, const std::string& b) const;
};
using HTTPHeaders = std::map<std::string, std::string, HeaderNameLess>;

// The receiver of a request's outcome, always on the main thread. A delegate
// destroyed before its request ends is simply not told; delegates are made
// and destroyed on the main thread.
class HTTPRequestDelegate {
 public:
  HTTPRequestDelegate() = default;
  // A copy is a delegate of its own, with a lifetime of its own.
  HTTPRequestDelegate(const HTTPRequestDelegate&) {}
  HTTPRequestDelegate& operator=(const HTTPRequestDelegate&) { return *this; }
  virtual ~HTTPRequestDelegate() = default;

  virtual void requestFinished(HTTPRequest& /*request*/) {}
  virtual void requestFailed(HTTPRequest& /*request*/) {}

 private:
  friend class HTTPRequest;
  // Expires with the delegate, which is how a request knows it is gone.
  std::shared_ptr<const char> alive_ = std::make_shared<const char>('\0');
};

class HTTPRequest : public std::enable_shared_from_this<HTTPRequest> {
 public:
  static constexpr double kDefaultTimeOutSeconds = 10;
  static constexpr std::uint64_t kDefaultMaxBodySize = std::uint64_t{256} << 20;
  static constexpr int kMaxConcurrentRequests = 4;
  static constexpr long kMaxRedirects = 10;

  // A GET of url with the defaults: 10 s time-out, no retries, redirects
  // followed, gzip accepted, text read as Latin-1 unless the response names a
  // charset.
  static std::shared_ptr<HTTPRequest> initWithURL(std::string url);

  const std::string& url() const { return url_; }
  const std::string& requestMethod() const { return method_; }

  // Settings; they take effect at startAsynchronous.
  // "GET" unless set; a method with a line break or a NUL fails the request (StreamSetUp).
  void setRequestMethod(std::string method) { method_ = std::move(method); }
  // The bytes sent as the request body; nullopt sends none.
  void setPostBody(std::optional<std::string> body) { postBody_ = std::move(body); }
  const std::optional<std::string>& postBody() const { return postBody_; }
  // A second value for the same name replaces the first.
  void addRequestHeader(const std::string& name, const std::string& value);
  const HTTPHeaders& requestHeaders() const { return requestHeaders_; }
  // Restarts after a time-out, resuming a partial download file with "Range".
  void setNumberOfTimesToRetryOnTimeout(int times);
  int numberOfTimesToRetryOnTimeout() const { return retries_; }
  // The request fails with TimedOut when nothing arrives for this long.
  void setTimeOutSeconds(double seconds);
  double timeOutSeconds() const { return timeOutSeconds_; }
  // A body larger than this fails the request (ConnectionFailure, told apart
  // by bodyTooLarge()) as soon as the excess arrives, or before the body when
  // the response announces a larger length; what arrived of it is not kept.
  void setMaxBodySize(std::uint64_t bytes);
  std::uint64_t maxBodySize() const { return maxBodySize_; }
  // Where the body goes instead of memory. It is written beside that path and
  // moved there only when the whole body has arrived, replacing an existing file.
  void setDownloadDestinationPath(std::optional<std::string> path);
  const std::optional<std::string>& downloadDestinationPath() const { return destination_; }

  // Not owned; may be changed from any thread at any time.
  void setDelegate(HTTPRequestDelegate* delegate);
  // The delegate, or nullptr when none is set or it has been destroyed.
  HTTPRequestDelegate* delegate() const;

  // Queues the request and returns at once. The delegate gets exactly one of
  // requestFinished/requestFailed on the main thread. A second start is ignored.
  void startAsynchronous();
  // The request ends as failed with Cancelled, unless its outcome has already
  // been told. Main thread.
  void cancel();

  // Outcome, on the main thread once the delegate has been told.
  bool isFinished() const { return finished_; }
  // 0 until a response arrived.
  int responseStatusCode() const { return status_; }
  const HTTPHeaders& responseHeaders() const { return responseHeaders_; }
  // The body as text in the response's encoding; nullopt when no body was kept
  // (it went to a file, nothing arrived) or it is not valid in that encoding.
  std::optional<std::string> responseString() const;
  // The body's bytes as they arrived; nullopt as for responseString.
  const std::optional<std::string>& responseData() const { return body_; }
  // Hands the body over (responseData() is nullopt afterwards), so that a
  // caller keeping a large body holds it once.
  std::optional<std::string> takeResponseData() { return std::exchange(body_, std::nullopt); }
  // The failure of a failed request; nullopt for a finished one.
  const std::optional<HTTPError>& error() const { return error_; }
  // Whether the request failed because its body passed the size limit.
  bool bodyTooLarge() const { return bodyTooLarge_; }

  // What the network thread hands back to the main thread.
  struct Completion;

 private:
  friend class net_detail::RequestTransfer;
  explicit HTTPRequest(std::string url);
  void complete(Completion completion);
  void completeLater(HTTPError error);

  std::string url_;
  std::string method_ = "GET";
  std::optional<std::string> postBody_;
  HTTPHeaders requestHeaders_;
  int retries_ = 0;
  double timeOutSeconds_ = kDefaultTimeOutSeconds;
  std::uint64_t maxBodySize_ = kDefaultMaxBodySize;
  std::optional<std::string> destination_;

  mutable std::mutex delegateMutex_;
  HTTPRequestDelegate* delegate_ = nullptr;
  std::weak_ptr<const char> delegateAlive_;

  std::atomic<bool> started_{false};
  std::atomic<bool> cancelled_{false};
  std::atomic<std::uint64_t> exchange_{0};  // the network exchange; 0 before start
  bool finished_ = false;
  int status_ = 0;
  HTTPHeaders responseHeaders_;
  std::optional<std::string> body_;
  std::optional<HTTPError> error_;
  bool bodyTooLarge_ = false;
};
