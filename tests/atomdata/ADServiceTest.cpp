#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "atomdata/ADConstants.h"
#include "atomdata/ADService.h"
#include "platform/foundation/RunLoop.h"
#include "net/NetTestSupport.h"

namespace {

const char* kEntryXML = R"(<entry xmlns="http://www.w3.org/2005/Atom" xmlns:gd="http://schemas.flipdesk.net/g/2005" gd:etag="E7">
  <id>tag:test,1</id><title>Stored</title><link rel="edit" href="EDIT"/></entry>)";

const char* kFeedXML = R"(<feed xmlns="http://www.w3.org/2005/Atom"><title>List</title>
  <entry><title>One</title></entry><entry><title>Two</title></entry></feed>)";

// What one completion was told.
struct Answer {
  int calls = 0;
  bool onMainThread = true;
  ADObjectPtr object;
  std::optional<ADServiceError> error;
  ADServiceCompletion completion() {
    return [this](ADServiceTicket&, ADObjectPtr o, const std::optional<ADServiceError>& e) {
      ++calls;
      onMainThread = onMainThread && fd::isMainThread();
      object = std::move(o);
      error = e;
    };
  }
};

// The network tests' fixture: a real-clock main loop and a local server.
class ADServiceTest : public net_test::NetTest {
 protected:
  // Waits for the answer, then makes sure no second one follows.
  void finish(Answer& answer) {
    ASSERT_TRUE(runUntil([&] { return answer.calls > 0; }));
    const auto settle = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
    while (std::chrono::steady_clock::now() < settle) fd::RunLoop::main().runOnce(0.01);
    EXPECT_EQ(answer.calls, 1);
    EXPECT_TRUE(answer.onMainThread);
  }

  ADServiceAccount service;
};

}  // namespace

TEST_F(ADServiceTest, FetchesFeedsAndEntriesIntoObjects) {
  std::string version;
  http.server().Get("/feed", [&](const httplib::Request& req, httplib::Response& res) {
    version = req.get_header_value("Data-Version");
    res.set_content(kFeedXML, "application/atom+xml");
  });
  http.server().Get("/entry", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(kEntryXML, "application/atom+xml");
  });
  http.start();

  Answer feed;
  auto ticket = service.fetchFeedWithURL(http.url("/feed"), feed.completion());
  finish(feed);
  EXPECT_FALSE(feed.error);
  auto parsed = std::dynamic_pointer_cast<ADFeedBase>(feed.object);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->entries().size(), 2u);
  EXPECT_EQ(ticket->statusCode(), 200);
  EXPECT_TRUE(ticket->hasCalledCallback());
  EXPECT_EQ(version, "1.0");

  Answer entry;
  service.fetchEntryWithURL(http.url("/entry"), entry.completion());
  finish(entry);
  auto stored = std::dynamic_pointer_cast<ADEntryBase>(entry.object);
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->ETag(), "E7");

  // Asked for as a feed, an entry document does not parse.
  Answer wrong;
  service.fetchFeedWithURL(http.url("/entry"), ADFeedBase::adClass(), wrong.completion());
  finish(wrong);
  ASSERT_TRUE(wrong.error);
  EXPECT_EQ(wrong.error->code, static_cast<int>(ADServiceErrorCode::ParseFailed));
}

TEST_F(ADServiceTest, RefusalsAndMalformedAnswersFailOnce) {
  http.server().Get("/missing", [](const httplib::Request&, httplib::Response& res) {
    res.status = 404;
    res.set_content("no such feed", "text/plain");
  });
  http.server().Get("/garbage", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("<feed><unclosed></feed>", "application/atom+xml");
  });
  http.start();

  Answer missing;
  service.fetchFeedWithURL(http.url("/missing"), missing.completion());
  finish(missing);
  ASSERT_TRUE(missing.error);
  EXPECT_EQ(missing.error->domain, kADServiceErrorDomain);
  EXPECT_EQ(missing.error->code, 404);
  EXPECT_EQ(missing.error->responseBody, "no such feed");

  Answer garbage;
  service.fetchFeedWithURL(http.url("/garbage"), garbage.completion());
  finish(garbage);
  ASSERT_TRUE(garbage.error);
  EXPECT_NE(garbage.error->message.find("malformed"), std::string::npos);
}

TEST_F(ADServiceTest, InsertsUpdatesAndDeletesEntries) {
  std::mutex m;
  std::string insertBody, insertType, updateBody, updateIfMatch, deleteIfMatch;
  std::string editURL;
  http.server().Post("/feed", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(m);
    insertBody = req.body;
    insertType = req.get_header_value("Content-Type");
    std::string answer = kEntryXML;
    answer.replace(answer.find("EDIT"), 4, editURL);
    res.status = 201;
    res.set_content(answer, "application/atom+xml");
  });
  http.server().Put("/feed/1", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(m);
    updateBody = req.body;
    updateIfMatch = req.get_header_value("If-Match");
    res.set_content(req.body, "application/atom+xml");
  });
  http.server().Delete("/feed/1", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(m);
    deleteIfMatch = req.get_header_value("If-Match");
    res.status = 200;
  });
  http.start();
  editURL = http.url("/feed/1");

  // An entry made without namespaces gets the service's before it is sent.
  ADEntryBase fresh;
  fresh.setTitleWithString(std::string("New & shiny"));
  ASSERT_TRUE(fresh.namespaces().empty());
  Answer inserted;
  service.fetchEntryByInsertingEntry(fresh, http.url("/feed"), inserted.completion());
  finish(inserted);
  ASSERT_FALSE(inserted.error) << inserted.error->message;
  EXPECT_EQ(fresh.namespaces(), ADEntryBase::baseADNamespaces());
  EXPECT_NE(insertType.find("application/atom+xml"), std::string::npos);
  fd::Expected<ADObjectPtr> sent = ADObjectWithXMLData(insertBody);
  ASSERT_TRUE(sent.ok()) << insertBody;
  EXPECT_EQ(std::static_pointer_cast<ADEntryBase>(*sent)->title()->stringValue(), "New & shiny");
  EXPECT_NE(insertBody.find("xmlns:gd=\"" + std::string(kADNamespaceGD) + "\""), std::string::npos);

  auto stored = std::dynamic_pointer_cast<ADEntryBase>(inserted.object);
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->editLink()->href(), editURL);

  // Namespaces of the entry's own are left alone.
  stored->setTitleWithString(std::string("Changed"));
  const ADNamespaces own = stored->namespaces();
  Answer updated;
  service.fetchEntryByUpdatingEntry(*stored, updated.completion());
  finish(updated);
  ASSERT_FALSE(updated.error) << updated.error->message;
  EXPECT_EQ(stored->namespaces(), own);
  EXPECT_EQ(updateIfMatch, "E7");
  auto echoed = std::dynamic_pointer_cast<ADEntryBase>(updated.object);
  ASSERT_TRUE(echoed);
  EXPECT_TRUE(echoed->isEqual(*stored));

  Answer deleted;
  service.deleteEntry(*stored, deleted.completion());
  finish(deleted);
  EXPECT_FALSE(deleted.error);
  EXPECT_FALSE(deleted.object);
  EXPECT_EQ(deleteIfMatch, "E7");

  // Without an edit link there is nowhere to update or delete.
  Answer nowhere;
  service.deleteEntry(fresh, nowhere.completion());
  finish(nowhere);
  ASSERT_TRUE(nowhere.error);
  EXPECT_EQ(nowhere.error->code, static_cast<int>(ADServiceErrorCode::NoEditLink));
}

TEST_F(ADServiceTest, MediaTravelsWithTheEntryAsOneMultipartBody) {
  std::string body, type;
  http.server().Post("/feed", [&](const httplib::Request& req, httplib::Response& res) {
    body = req.body;
    type = req.get_header_value("Content-Type");
    res.set_content(kEntryXML, "application/atom+xml");
  });
  http.start();
  ADEntryBase entry;
  entry.setTitleWithString(std::string("Clip"));
  // Media holding the usual boundary forces another one.
  entry.setUploadData(std::string("\x00\x01--END_OF_PART\xff", 17));
  entry.setUploadMIMEType(std::string("video/mp4"));
  Answer answer;
  service.fetchEntryByInsertingEntry(entry, http.url("/feed"), answer.completion());
  finish(answer);
  ASSERT_FALSE(answer.error);
  EXPECT_NE(type.find("multipart/related; boundary=\"END_OF_PART_0\""), std::string::npos) << type;
  EXPECT_NE(body.find("Content-Type: video/mp4\r\n\r\n" + std::string("\x00\x01--END_OF_PART\xff", 17) + "\r\n--END_OF_PART_0--"),
            std::string::npos);
  EXPECT_NE(body.find("<title>Clip</title>"), std::string::npos);
}

// The cancelled flag is written on the main thread and read on the parse
// queue; a cancelled ticket is never answered.
TEST_F(ADServiceTest, CancelledTicketsAreNeverAnswered) {
  std::atomic<int> hits{0};
  http.server().Get("/slow", [&](const httplib::Request&, httplib::Response& res) {
    ++hits;
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    res.set_content(kFeedXML, "application/atom+xml");
  });
  http.start();
  Answer answer;
  auto ticket = service.fetchFeedWithURL(http.url("/slow"), answer.completion());
  ASSERT_TRUE(runUntil([&] { return hits.load() > 0; }));
  ticket->cancelTicket();
  EXPECT_TRUE(ticket->isCancelled());
  release = true;
  const auto settle = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  while (std::chrono::steady_clock::now() < settle) fd::RunLoop::main().runOnce(0.01);
  EXPECT_EQ(answer.calls, 0);
  EXPECT_FALSE(ticket->hasCalledCallback());
}

TEST_F(ADServiceTest, QueriesFetchTheirEncodedURL) {
  std::string q;
  http.server().Get("/feed", [&](const httplib::Request& req, httplib::Response& res) {
    q = req.get_param_value("q");
    res.set_content(kFeedXML, "application/atom+xml");
  });
  http.start();
  ADQuery query(http.url("/feed"));
  query.addCustomParameterWithName("q", std::string("a&b=c #d"));
  Answer answer;
  service.fetchFeedWithQuery(query, answer.completion());
  finish(answer);
  EXPECT_FALSE(answer.error);
  EXPECT_EQ(q, "a&b=c #d");
}

namespace {
// A service that takes answers of at most 2,000 bytes: the real cap, small.
class SmallCapService : public ADServiceAccount {
 public:
  std::shared_ptr<HTTPRequest> requestForURL(const std::string& url, const std::optional<std::string>& ETag,
                                             const std::string& httpMethod, ADServiceTicket& ticket) override {
    auto request = ADServiceAccount::requestForURL(url, ETag, httpMethod, ticket);
    request->setMaxBodySize(2000);
    return request;
  }
};
}  // namespace

// An answer over the cap is told as too large, in the service's own words,
// however it arrives: with its length, in chunks, or packed.
TEST_F(ADServiceTest, AnAnswerOverTheSizeCapIsReportedAsTooLarge) {
  std::string big = "<feed xmlns=\"http://www.w3.org/2005/Atom\">";
  while (big.size() < 100000) big += "<entry><title>t</title></entry>";
  big += "</feed>";
  const std::string packed = testing_support::gzip(big);
  http.server().Get("/whole", [&](const httplib::Request&, httplib::Response& res) { res.set_content(big, "application/atom+xml"); });
  http.server().Get("/chunked", [&](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider("application/atom+xml", [&](size_t offset, httplib::DataSink& sink) {
      if (offset < big.size()) sink.write(big.data() + offset, std::min<size_t>(1000, big.size() - offset));
      else sink.done();
      return true;
    });
  });
  http.server().Get("/packed", [&](const httplib::Request&, httplib::Response& res) {
    res.set_header("Content-Encoding", "gzip");
    res.set_content(packed, "application/atom+xml");
  });
  http.server().Get("/small", [](const httplib::Request&, httplib::Response& res) { res.set_content(kFeedXML, "application/atom+xml"); });
  http.start();

  SmallCapService small;
  for (const char* path : {"/whole", "/chunked", "/packed"}) {
    Answer answer;
    small.fetchFeedWithURL(http.url(path), answer.completion());
    finish(answer);
    ASSERT_TRUE(answer.error) << path;
    EXPECT_EQ(answer.error->domain, kADServiceErrorDomain) << path;
    EXPECT_EQ(answer.error->code, static_cast<int>(ADServiceErrorCode::TooLarge)) << path;
    EXPECT_EQ(answer.error->message, "The answer is larger than 2000 bytes, more than an Atom document may be") << path;
  }
  Answer fits;
  small.fetchFeedWithURL(http.url("/small"), fits.completion());
  finish(fits);
  EXPECT_FALSE(fits.error);
  EXPECT_TRUE(fits.object);
}
