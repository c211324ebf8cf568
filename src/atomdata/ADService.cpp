#include "atomdata/ADService.h"

#include "net/HTTPRequest.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/RunLoop.h"

namespace {

// The client's one parsing queue: responses become objects off the main thread.
fd::DispatchQueue& parseQueue() {
  static fd::DispatchQueue queue("atomdata.parse");
  return queue;
}

constexpr const char kAtomContentType[] = "application/atom+xml; charset=UTF-8";

std::string sizeInWords(std::uint64_t bytes) {
  if (bytes % (std::uint64_t{1} << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
  return std::to_string(bytes) + " bytes";
}

// A boundary that occurs in none of the parts.
std::string boundaryFor(const std::string& a, const std::string& b) {
  std::string boundary = "END_OF_PART";
  for (unsigned n = 0; a.find(boundary) != std::string::npos || b.find(boundary) != std::string::npos; ++n)
    boundary = "END_OF_PART_" + std::to_string(n);
  return boundary;
}

}  // namespace

// The request's delegate: hands the body to the parse queue, then the result
// to the main thread.
class ADServiceTicket::Fetch : public HTTPRequestDelegate {
 public:
  Fetch(ADServiceTicket& ticket, const ADClass* cls, bool parse) : ticket_(ticket), cls_(cls), parse_(parse) {}

  void requestFinished(HTTPRequest& request) override {
    ticket_.statusCode_ = request.responseStatusCode();
    const int status = request.responseStatusCode();
    std::string body = request.takeResponseData().value_or("");
    if (status < 200 || status > 299) {
      ADServiceError error{kADServiceErrorDomain, status, "The server refused the request with status " + std::to_string(status), body};
      ticket_.deliver(nullptr, std::move(error));
      return;
    }
    if (!parse_) {
      ticket_.deliver(nullptr, std::nullopt);
      return;
    }
    std::shared_ptr<ADServiceTicket> ticket = ticket_.shared_from_this();
    const ADClass* cls = cls_;
    parseQueue().async([ticket, cls, body = std::move(body)] {
      if (ticket->isCancelled()) return;
      fd::Expected<ADObjectPtr> parsed = ADObjectWithXMLData(body, cls);
      fd::RunLoop::main().post([ticket, parsed = std::move(parsed)]() mutable {
        if (!parsed) {
          ticket->deliver(nullptr, ADServiceError{kADServiceErrorDomain, static_cast<int>(ADServiceErrorCode::ParseFailed),
                                                  parsed.error(), std::nullopt});
          return;
        }
        ticket->deliver(std::move(parsed).value(), std::nullopt);
      });
    });
  }

  void requestFailed(HTTPRequest& request) override {
    ticket_.statusCode_ = request.responseStatusCode();
    if (request.bodyTooLarge()) {
      ticket_.deliver(nullptr, ADServiceError{kADServiceErrorDomain, static_cast<int>(ADServiceErrorCode::TooLarge),
                                              "The answer is larger than " + sizeInWords(request.maxBodySize()) +
                                                  ", more than an Atom document may be",
                                              std::nullopt});
      return;
    }
    const HTTPError& e = *request.error();
    ticket_.deliver(nullptr, ADServiceError{e.domain, e.code, e.localizedDescription, std::nullopt});
  }

 private:
  ADServiceTicket& ticket_;
  const ADClass* cls_;
  bool parse_;
};

void ADServiceTicket::cancelTicket() {
  if (callbackCalled_.load() || cancelled_.exchange(true)) return;
  if (request_) request_->cancel();
  completion_ = nullptr;
  keepAlive_.reset();
}

void ADServiceTicket::deliver(ADObjectPtr object, std::optional<ADServiceError> error) {
  if (cancelled_.load() || callbackCalled_.exchange(true)) return;
  object_ = std::move(object);
  error_ = std::move(error);
  ADServiceCompletion completion = std::move(completion_);
  std::shared_ptr<ADServiceTicket> self = std::move(keepAlive_);
  if (completion) completion(*this, object_, error_);
}

// --- ADServiceBase ---

std::shared_ptr<HTTPRequest> ADServiceBase::requestForURL(const std::string& url, const std::optional<std::string>& ETag,
                                                          const std::string& httpMethod, ADServiceTicket&) {
  std::shared_ptr<HTTPRequest> request = HTTPRequest::initWithURL(url);
  request->setRequestMethod(httpMethod);
  // Nothing larger would parse; stop it while it arrives rather than after.
  request->setMaxBodySize(kADMaxXMLBytes);
  request->addRequestHeader("Data-Version", serviceVersion());
  if (ETag && httpMethod != "GET" && httpMethod != "POST") request->addRequestHeader("If-Match", *ETag);
  if (authorization_) request->addRequestHeader("Authorization", *authorization_);
  return request;
}

std::shared_ptr<ADServiceTicket> ADServiceBase::fetchObject(const std::string& url, const std::string& method,
                                                            const std::optional<std::string>& ETag,
                                                            std::optional<std::string> body,
                                                            const std::string& contentType, const ADClass* cls,
                                                            bool parse, ADServiceCompletion completion) {
  auto ticket = std::make_shared<ADServiceTicket>();
  ticket->completion_ = std::move(completion);
  ticket->keepAlive_ = ticket;
  ticket->request_ = requestForURL(url, ETag, method, *ticket);
  if (body) {
    ticket->request_->addRequestHeader("Content-Type", contentType);
    ticket->request_->setPostBody(std::move(body));
  }
  ticket->fetch_ = std::make_unique<ADServiceTicket::Fetch>(*ticket, cls, parse);
  ticket->request_->setDelegate(ticket->fetch_.get());
  ticket->request_->startAsynchronous();
  return ticket;
}

// --- ADServiceAccount ---

std::shared_ptr<ADServiceTicket> ADServiceAccount::fetchFeedWithURL(const std::string& url, ADServiceCompletion completion) {
  return fetchObject(url, "GET", std::nullopt, std::nullopt, "", nullptr, true, std::move(completion));
}

std::shared_ptr<ADServiceTicket> ADServiceAccount::fetchFeedWithURL(const std::string& url, const ADClass& feedClass,
                                                                    ADServiceCompletion completion) {
  return fetchObject(url, "GET", std::nullopt, std::nullopt, "", &feedClass, true, std::move(completion));
}

std::shared_ptr<ADServiceTicket> ADServiceAccount::fetchEntryWithURL(const std::string& url, ADServiceCompletion completion) {
  return fetchObject(url, "GET", std::nullopt, std::nullopt, "", nullptr, true, std::move(completion));
}

std::shared_ptr<ADServiceTicket> ADServiceAccount::fetchEntryWithURL(const std::string& url, const ADClass& entryClass,
                                                                     ADServiceCompletion completion) {
  return fetchObject(url, "GET", std::nullopt, std::nullopt, "", &entryClass, true, std::move(completion));
}

std::shared_ptr<ADServiceTicket> ADServiceAccount::fetchFeedWithQuery(const ADQuery& query, ADServiceCompletion completion) {
  return fetchFeedWithURL(query.URL(), std::move(completion));
}

void ADServiceAccount::addNamespacesIfNoneToObject(ADObject& object) const {
  if (object.namespaces().empty()) object.setNamespaces(standardServiceNamespaces());
}

std::shared_ptr<ADServiceTicket> ADServiceAccount::send(ADEntryBase& entry, const std::string& url,
                                                        const std::string& method, ADServiceCompletion completion) {
  addNamespacesIfNoneToObject(entry);
  std::string xml = entry.XMLDocumentString();
  if (!entry.uploadData()) {
    return fetchObject(url, method, entry.ETag(), std::move(xml), kAtomContentType, &entry.classInfo(), true,
                       std::move(completion));
  }
  // The entry and its media travel as one multipart/related body.
  const std::string& media = *entry.uploadData();
  const std::string boundary = boundaryFor(xml, media);
  std::string body = "Media multipart posting\r\n--" + boundary + "\r\nContent-Type: " + kAtomContentType + "\r\n\r\n" +
                     xml + "\r\n--" + boundary + "\r\nContent-Type: " +
                     entry.uploadMIMEType().value_or("application/octet-stream") + "\r\n\r\n" + media + "\r\n--" +
                     boundary + "--\r\n";
  return fetchObject(url, method, entry.ETag(), std::move(body), "multipart/related; boundary=\"" + boundary + "\"",
                     &entry.classInfo(), true, std::move(completion));
}

std::shared_ptr<ADServiceTicket> ADServiceBase::failAtOnce(ADServiceError error, ADServiceCompletion completion) {
  auto ticket = std::make_shared<ADServiceTicket>();
  ticket->completion_ = std::move(completion);
  ticket->keepAlive_ = ticket;
  fd::RunLoop::main().post([ticket, error = std::move(error)]() mutable { ticket->deliver(nullptr, std::move(error)); });
  return ticket;
}

std::shared_ptr<ADServiceTicket> ADServiceAccount::fetchEntryByInsertingEntry(ADEntryBase& entry, const std::string& feedURL,
                                                                              ADServiceCompletion completion) {
  return send(entry, feedURL, "POST", std::move(completion));
}

std::shared_ptr<ADServiceTicket> ADServiceAccount::fetchEntryByUpdatingEntry(ADEntryBase& entry,
                                                                             ADServiceCompletion completion) {
  auto edit = entry.editLink();
  if (!edit || !edit->href())
    return failAtOnce({kADServiceErrorDomain, static_cast<int>(ADServiceErrorCode::NoEditLink),
                       "The entry has no edit link to update it at", std::nullopt},
                      std::move(completion));
  return send(entry, *edit->href(), "PUT", std::move(completion));
}

std::shared_ptr<ADServiceTicket> ADServiceAccount::fetchEntryByUpdatingEntry(ADEntryBase& entry, const std::string& entryURL,
                                                                             ADServiceCompletion completion) {
  return send(entry, entryURL, "PUT", std::move(completion));
}

std::shared_ptr<ADServiceTicket> ADServiceAccount::deleteEntry(const ADEntryBase& entry, ADServiceCompletion completion) {
  auto edit = entry.editLink();
  if (!edit || !edit->href())
    return failAtOnce({kADServiceErrorDomain, static_cast<int>(ADServiceErrorCode::NoEditLink),
                       "The entry has no edit link to delete it at", std::nullopt},
                      std::move(completion));
  return fetchObject(*edit->href(), "DELETE", entry.ETag(), std::nullopt, "", nullptr, false, std::move(completion));
}
