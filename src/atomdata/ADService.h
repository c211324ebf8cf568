#pragma once
// The service: requests for feeds and entries (fetch, insert, update, delete),
// each answered through its ticket exactly once, on the main thread, unless the
// ticket is cancelled first. Responses are parsed on the client's parse queue.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "atomdata/ADEntryBase.h"
#include "atomdata/ADQuery.h"

class HTTPRequest;
class ADServiceBase;

inline constexpr const char* kADServiceErrorDomain = "ADServiceErrorDomain";
// Codes of kADServiceErrorDomain besides HTTP status codes.
enum class ADServiceErrorCode : int {
  ParseFailed = -1,    // the response was not a document of the expected kind
  NoEditLink = -2,     // an update or delete of an entry that names no URL for it
  TooLarge = -3,       // the answer passed the size an Atom document may have (kADMaxXMLBytes)
};

struct ADServiceError {
  std::string domain;  // kADServiceErrorDomain, or the HTTP engine's for a failed exchange
  int code = 0;        // the HTTP status for a refused request
  std::string message;
  std::optional<std::string> responseBody;
};

class ADServiceTicket;
using ADServiceCompletion =
    std::function<void(ADServiceTicket& ticket, ADObjectPtr object, const std::optional<ADServiceError>& error)>;

class ADServiceTicket : public std::enable_shared_from_this<ADServiceTicket> {
 public:
  // Main thread. The completion is never called after this.
  void cancelTicket();
  bool isCancelled() const { return cancelled_.load(); }
  bool hasCalledCallback() const { return callbackCalled_.load(); }
  int statusCode() const { return statusCode_; }
  ADObjectPtr fetchedObject() const { return object_; }
  const std::optional<ADServiceError>& fetchError() const { return error_; }
  const std::shared_ptr<HTTPRequest>& request() const { return request_; }

 private:
  friend class ADServiceBase;
  class Fetch;
  void deliver(ADObjectPtr object, std::optional<ADServiceError> error);

  // Set on the main thread and read on the parse queue.
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> callbackCalled_{false};
  int statusCode_ = 0;
  ADObjectPtr object_;
  std::optional<ADServiceError> error_;
  std::shared_ptr<HTTPRequest> request_;
  std::unique_ptr<Fetch> fetch_;
  ADServiceCompletion completion_;
  std::shared_ptr<ADServiceTicket> keepAlive_;  // until answered or cancelled
};

class ADServiceBase {
 public:
  virtual ~ADServiceBase() = default;

  // Hooks of a service family.
  virtual std::string serviceID() const { return ""; }
  virtual std::string serviceRootURLString() const { return ""; }
  virtual std::string defaultServiceVersion() const { return "1.0"; }
  virtual ADNamespaces standardServiceNamespaces() const { return ADEntryBase::baseADNamespaces(); }
  virtual std::string authorizationScope() const { return serviceRootURLString(); }
  // 0: no resumable upload; UINT32_MAX: the whole body in one resumable request.
  virtual std::uint64_t defaultServiceUploadChunkSize() const { return 0; }

  std::uint64_t serviceUploadChunkSize() const { return chunkSize_.value_or(defaultServiceUploadChunkSize()); }
  void setServiceUploadChunkSize(std::uint64_t size) { chunkSize_ = size; }
  std::string serviceVersion() const { return version_.value_or(defaultServiceVersion()); }
  void setServiceVersion(std::optional<std::string> version) { version_ = std::move(version); }
  // An "Authorization" header value sent with every request (none when unset).
  void setAuthorization(std::optional<std::string> value) { authorization_ = std::move(value); }

  // The request a fetch sends; a subclass may add headers to it.
  virtual std::shared_ptr<HTTPRequest> requestForURL(const std::string& url, const std::optional<std::string>& ETag,
                                                     const std::string& httpMethod, ADServiceTicket& ticket);

 protected:
  // Sends the request; the response is parsed as cls (the kind maps choose for
  // null) unless parse is false.
  std::shared_ptr<ADServiceTicket> fetchObject(const std::string& url, const std::string& method,
                                               const std::optional<std::string>& ETag,
                                               std::optional<std::string> body, const std::string& contentType,
                                               const ADClass* cls, bool parse, ADServiceCompletion completion);
  // A ticket answered with the error at the main loop's next turn.
  std::shared_ptr<ADServiceTicket> failAtOnce(ADServiceError error, ADServiceCompletion completion);

 private:
  std::optional<std::uint64_t> chunkSize_;
  std::optional<std::string> version_;
  std::optional<std::string> authorization_;
};

class ADServiceAccount : public ADServiceBase {
 public:
  std::shared_ptr<ADServiceTicket> fetchFeedWithURL(const std::string& url, ADServiceCompletion completion);
  std::shared_ptr<ADServiceTicket> fetchFeedWithURL(const std::string& url, const ADClass& feedClass,
                                                    ADServiceCompletion completion);
  std::shared_ptr<ADServiceTicket> fetchEntryWithURL(const std::string& url, ADServiceCompletion completion);
  std::shared_ptr<ADServiceTicket> fetchEntryWithURL(const std::string& url, const ADClass& entryClass,
                                                     ADServiceCompletion completion);
  std::shared_ptr<ADServiceTicket> fetchFeedWithQuery(const ADQuery& query, ADServiceCompletion completion);
  // POSTs the entry (with its upload data, when it has some, as a
  // multipart/related body) to the feed; the answer is the entry as stored.
  std::shared_ptr<ADServiceTicket> fetchEntryByInsertingEntry(ADEntryBase& entry, const std::string& feedURL,
                                                              ADServiceCompletion completion);
  // PUTs the entry to its edit link (or the given URL), with its ETag as If-Match.
  std::shared_ptr<ADServiceTicket> fetchEntryByUpdatingEntry(ADEntryBase& entry, ADServiceCompletion completion);
  std::shared_ptr<ADServiceTicket> fetchEntryByUpdatingEntry(ADEntryBase& entry, const std::string& entryURL,
                                                             ADServiceCompletion completion);
  std::shared_ptr<ADServiceTicket> deleteEntry(const ADEntryBase& entry, ADServiceCompletion completion);

  // Gives an object without namespace declarations of its own the service's.
  void addNamespacesIfNoneToObject(ADObject& object) const;

 private:
  std::shared_ptr<ADServiceTicket> send(ADEntryBase& entry, const std::string& url, const std::string& method,
                                        ADServiceCompletion completion);
};

// A service whose feeds and entries are read only as a class the caller names:
// the fetches that leave the class to the kind maps are refused (not callable).
class ADServiceTypedFetchesOnly : public ADServiceAccount {
 public:
  using ADServiceAccount::fetchEntryWithURL;
  using ADServiceAccount::fetchFeedWithURL;
  std::shared_ptr<ADServiceTicket> fetchFeedWithURL(const std::string& url, ADServiceCompletion completion) = delete;
  std::shared_ptr<ADServiceTicket> fetchEntryWithURL(const std::string& url, ADServiceCompletion completion) = delete;
  std::shared_ptr<ADServiceTicket> fetchFeedWithQuery(const ADQuery& query, ADServiceCompletion completion) = delete;
};
