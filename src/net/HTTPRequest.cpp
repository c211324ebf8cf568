#include "net/HTTPRequest.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "net/TextEncoding.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/transport/Transport.h"

namespace fs = std::filesystem;

struct HTTPRequest::Completion {
  int status = 0;
  HTTPHeaders headers;
  std::optional<std::string> body;       // nullopt when it went to a file
  std::optional<fs::path> finishedFile;  // the whole body, to move into place
  std::optional<HTTPError> error;
  bool bodyTooLarge = false;
};

namespace {

HTTPError makeError(HTTPErrorCode code, std::string description) {
  return HTTPError{kHTTPRequestErrorDomain, static_cast<int>(code), std::move(description)};
}

struct OutcomeError {
  transport::Outcome outcome;
  HTTPErrorCode code;
  const char* description;
};
// How the network's outcomes read to the caller; the network's own words follow.
constexpr OutcomeError kOutcomeErrors[] = {
    {transport::Outcome::ConnectFailed, HTTPErrorCode::ConnectionFailure, "A connection failure occurred"},
    {transport::Outcome::TimedOut, HTTPErrorCode::TimedOut, "The request timed out"},
    {transport::Outcome::BadAddress, HTTPErrorCode::BadAddress, "The address cannot be requested"},
    {transport::Outcome::TooManyRedirects, HTTPErrorCode::TooManyRedirects, "The request was redirected too many times"},
    {transport::Outcome::Cancelled, HTTPErrorCode::Cancelled, "The request was cancelled"},
    {transport::Outcome::SetUpFailed, HTTPErrorCode::StreamSetUp, "The request could not be set up"},
    {transport::Outcome::Refused, HTTPErrorCode::ConnectionFailure, "The response could not be taken"},
    {transport::Outcome::Failed, HTTPErrorCode::ConnectionFailure, "A connection failure occurred"},
};

HTTPError errorFor(const transport::Result& result) {
  for (const OutcomeError& entry : kOutcomeErrors)
    if (entry.outcome == result.outcome)
      return makeError(entry.code, result.message.empty() ? entry.description
                                                          : std::string(entry.description) + ": " + result.message);
  return makeError(HTTPErrorCode::ConnectionFailure, result.message);
}

HTTPError cancelledError() { return makeError(HTTPErrorCode::Cancelled, "The request was cancelled"); }

// The one network thread of the process, with the engine's queue width.
transport::Client& network() {
  // The main loop is made first so that it outlives the network thread, which posts to it.
  static const bool mainLoopFirst = (fd::RunLoop::main(), true);
  static transport::Client client(HTTPRequest::kMaxConcurrentRequests);
  (void)mainLoopFirst;
  return client;
}

bool isWebAddress(const std::string& url) {
  std::size_t colon = url.find("://");
  if (colon == std::string::npos) return false;
  std::string scheme = url.substr(0, colon);
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return scheme == "http" || scheme == "https";
}

bool hasLineBreakOrNul(const std::string& s) { return s.find_first_of(std::string("\r\n\0", 3)) != std::string::npos; }

// The first byte of a "Content-Range: bytes FIRST-LAST/TOTAL" value.
std::optional<std::uint64_t> rangeStart(const std::string& value) {
  unsigned long long first = 0;
  if (std::sscanf(value.c_str(), "bytes %llu-", &first) != 1) return std::nullopt;
  return first;
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// A file that is closed only after its bytes are on disk.
bool closeDurably(FilePtr& file) {
  std::FILE* f = file.release();
  bool ok = std::fflush(f) == 0 && ::fsync(::fileno(f)) == 0;
  return std::fclose(f) == 0 && ok;
}

// What a request needs on the network thread, taken when it starts.
struct Settings {
  transport::Request request;
  int retries = 0;
  std::uint64_t maxBodySize = 0;
  std::optional<fs::path> partialFile;  // beside the destination
};

}  // namespace

namespace net_detail {

// One started request on the network thread: gathers the body into memory or
// into the partial file, retries after time-outs, hands the outcome to the
// main thread.
class RequestTransfer final : public transport::Transfer {
 public:
  RequestTransfer(std::shared_ptr<HTTPRequest> owner, Settings settings)
      : owner_(std::move(owner)), settings_(std::move(settings)), retriesLeft_(settings_.retries) {}

  bool onResponse(const transport::ResponseHead& head) override {
    head_ = head;
    failure_.reset();
    tooLarge_ = false;
    // A body announced as larger than the limit is refused before it comes
    // (a packed one only as it inflates: its length counts packed bytes).
    if (!head.header("Content-Encoding")) {
      if (std::optional<std::string> length = head.header("Content-Length")) {
        unsigned long long announced = 0;
        if (std::sscanf(length->c_str(), "%llu", &announced) == 1 && announced > settings_.maxBodySize) {
          refuseAsTooLarge();
          return false;
        }
      }
    }
    if (!settings_.partialFile) {
      body_.clear();
      return true;
    }
    if (resumedFrom_ > 0 && head.status == 206) {
      // Appending is right only when the server starts where the file ends.
      std::optional<std::string> range = head.header("Content-Range");
      if (file_ && range && rangeStart(*range) == resumedFrom_) return true;
      failure_ = makeError(HTTPErrorCode::ConnectionFailure, "The server resumed the download at another offset");
      return false;
    }
    file_.reset(std::fopen(settings_.partialFile->c_str(), "wb"));
    fileBytes_ = 0;
    if (!file_) {
      failure_ = makeError(HTTPErrorCode::Files, "Cannot create the download file " + settings_.partialFile->string());
      return false;
    }
    return true;
  }

  bool onBody(std::string_view bytes) override {
    const std::uint64_t have = settings_.partialFile ? fileBytes_ : body_.size();
    if (bytes.size() > settings_.maxBodySize - std::min(have, settings_.maxBodySize)) {
      refuseAsTooLarge();
      return false;
    }
    if (!settings_.partialFile) {
      body_.append(bytes);
      return true;
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) {
      failure_ = makeError(HTTPErrorCode::Files, "Cannot write the download file " + settings_.partialFile->string());
      return false;
    }
    fileBytes_ += bytes.size();
    return true;
  }

  std::optional<transport::Request> onComplete(const transport::Result& result) override {
    if (result.outcome == transport::Outcome::TimedOut && retriesLeft_ > 0) {
      --retriesLeft_;
      transport::Request again = settings_.request;
      if (file_ && fileBytes_ > 0 && std::fflush(file_.get()) == 0) again.resumeFrom = fileBytes_;
      // The file holds inflated bytes, and only in the identity encoding do
      // byte ranges count those.
      if (again.resumeFrom > 0) again.acceptGzip = false;
      resumedFrom_ = again.resumeFrom;
      return again;
    }

    HTTPRequest::Completion done;
    done.status = static_cast<int>(head_.status);
    for (const auto& [name, value] : head_.headers) {
      auto [it, fresh] = done.headers.emplace(name, value);
      if (!fresh) it->second += ", " + value;
    }
    if (result.outcome == transport::Outcome::Done) {
      if (!settings_.partialFile) {
        done.body = std::move(body_);
      } else if (closeDurably(file_)) {
        done.finishedFile = settings_.partialFile;
      } else {
        done.error = makeError(HTTPErrorCode::Files, "Cannot write the download file " + settings_.partialFile->string());
      }
    } else {
      // A body over the limit is told as such, whatever the network made of
      // the refusal; what arrived of it is not kept.
      done.error = failure_ && (tooLarge_ || result.outcome == transport::Outcome::Refused) ? *failure_ : errorFor(result);
      done.bodyTooLarge = tooLarge_;
      if (!settings_.partialFile && !tooLarge_) done.body = std::move(body_);
    }
    if (!done.finishedFile && settings_.partialFile) {
      file_.reset();
      std::error_code ec;
      fs::remove(*settings_.partialFile, ec);
    }
    std::shared_ptr<HTTPRequest> owner = std::move(owner_);
    fd::RunLoop::main().post([owner, done = std::move(done)]() mutable { owner->complete(std::move(done)); });
    return std::nullopt;
  }

 private:
  void refuseAsTooLarge() {
    tooLarge_ = true;
    failure_ = makeError(HTTPErrorCode::ConnectionFailure,
                         "The response body is larger than " + std::to_string(settings_.maxBodySize) + " bytes");
  }

  std::shared_ptr<HTTPRequest> owner_;  // kept alive until its outcome is told
  Settings settings_;
  int retriesLeft_;
  transport::ResponseHead head_;
  std::string body_;
  FilePtr file_;
  std::uint64_t fileBytes_ = 0;
  std::uint64_t resumedFrom_ = 0;
  std::optional<HTTPError> failure_;  // why this side refused the response
  bool tooLarge_ = false;             // refused for the body size limit
};

}  // namespace net_detail

namespace {

std::atomic<std::uint64_t> partialFileSerial{0};

}  // namespace

bool HeaderNameLess::operator()(const std::string& a, const std::string& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

HTTPRequest::HTTPRequest(std::string url) : url_(std::move(url)) {}

std::shared_ptr<HTTPRequest> HTTPRequest::initWithURL(std::string url) {
  return std::shared_ptr<HTTPRequest>(new HTTPRequest(std::move(url)));
}

void HTTPRequest::addRequestHeader(const std::string& name, const std::string& value) {
  requestHeaders_[name] = value;
}

void HTTPRequest::setNumberOfTimesToRetryOnTimeout(int times) { retries_ = std::max(times, 0); }

void HTTPRequest::setTimeOutSeconds(double seconds) { timeOutSeconds_ = seconds; }

void HTTPRequest::setMaxBodySize(std::uint64_t bytes) { maxBodySize_ = bytes; }

void HTTPRequest::setDownloadDestinationPath(std::optional<std::string> path) { destination_ = std::move(path); }

void HTTPRequest::setDelegate(HTTPRequestDelegate* delegate) {
  std::lock_guard lock(delegateMutex_);
  delegate_ = delegate;
  delegateAlive_ = delegate != nullptr ? std::weak_ptr<const char>(delegate->alive_) : std::weak_ptr<const char>();
}

HTTPRequestDelegate* HTTPRequest::delegate() const {
  std::lock_guard lock(delegateMutex_);
  return delegateAlive_.expired() ? nullptr : delegate_;
}

void HTTPRequest::startAsynchronous() {
  if (started_.exchange(true)) {
    fd::Log("HTTPRequest: %s was started twice; the second start is ignored\n", url_.c_str());
    return;
  }
  if (!isWebAddress(url_)) {
    completeLater(makeError(HTTPErrorCode::BadAddress, "Only http and https addresses can be requested: " + url_));
    return;
  }
  if (method_.empty() || hasLineBreakOrNul(method_)) {
    completeLater(makeError(HTTPErrorCode::StreamSetUp, "The request method is not a single word"));
    return;
  }
  Settings settings;
  settings.request.url = url_;
  settings.request.method = method_;
  settings.request.body = postBody_;
  settings.request.timeoutSeconds = timeOutSeconds_;
  settings.request.maxRedirects = kMaxRedirects;
  settings.request.acceptGzip = true;
  for (const auto& [name, value] : requestHeaders_) {
    // A line break would let a header value start a header or request of its own.
    if (name.empty() || hasLineBreakOrNul(name) || hasLineBreakOrNul(value)) {
      completeLater(makeError(HTTPErrorCode::StreamSetUp, "The request header \"" + name + "\" is not a single line"));
      return;
    }
    settings.request.headers.emplace_back(name, value);
  }
  settings.retries = retries_;
  settings.maxBodySize = maxBodySize_;
  if (destination_)
    settings.partialFile = fs::path(*destination_ + ".download-" + std::to_string(::getpid()) + "-" +
                                    std::to_string(++partialFileSerial));
  transport::Request first = settings.request;
  auto transfer = std::make_shared<net_detail::RequestTransfer>(shared_from_this(), std::move(settings));
  exchange_ = network().start(std::move(first), std::move(transfer));
}

void HTTPRequest::completeLater(HTTPError error) {
  Completion done;
  done.error = std::move(error);
  fd::RunLoop::main().post([self = shared_from_this(), done = std::move(done)]() mutable { self->complete(std::move(done)); });
}

void HTTPRequest::cancel() {
  if (!started_ || finished_ || cancelled_.exchange(true)) return;
  if (std::uint64_t id = exchange_.load()) network().cancel(id);
}

void HTTPRequest::complete(Completion done) {
  if (finished_) return;
  if (cancelled_) {
    done.error = cancelledError();
  } else if (done.finishedFile && destination_) {
    std::error_code ec;
    fs::rename(*done.finishedFile, *destination_, ec);
    if (ec) done.error = makeError(HTTPErrorCode::Files, "Cannot move the download to " + *destination_ + ": " + ec.message());
  }
  if (done.finishedFile && done.error) {
    std::error_code ec;
    fs::remove(*done.finishedFile, ec);
  }
  finished_ = true;
  status_ = done.status;
  responseHeaders_ = std::move(done.headers);
  body_ = std::move(done.body);
  error_ = std::move(done.error);
  bodyTooLarge_ = done.bodyTooLarge && error_ && !cancelled_;

  HTTPRequestDelegate* target = nullptr;
  {
    std::lock_guard lock(delegateMutex_);
    if (!delegateAlive_.expired()) target = delegate_;
  }
  if (target == nullptr) return;
  if (error_) target->requestFailed(*this);
  else target->requestFinished(*this);
}

std::optional<std::string> HTTPRequest::responseString() const {
  if (!body_) return std::nullopt;
  auto contentType = responseHeaders_.find("Content-Type");
  std::optional<std::string> charset =
      contentType != responseHeaders_.end() ? net_text::charsetOf(contentType->second) : std::nullopt;
  return net_text::decodeToUTF8(*body_, charset);
}
