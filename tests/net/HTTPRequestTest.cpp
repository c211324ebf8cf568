#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <random>
#include <set>

#include "net/CannedServer.h"
#include "net/HTTPRequest.h"
#include "net/NetTestSupport.h"
#include "platform/foundation/FileUtil.h"

namespace fs = std::filesystem;
using net_test::NetTest;
using net_test::RecordingDelegate;

namespace {

using testing_support::gzip;

std::string randomBytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string out(n, '\0');
  for (char& c : out) c = static_cast<char>(gen() & 0xff);
  return out;
}

std::string readAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Names in the folder: a finished or failed download leaves no partial file.
std::vector<std::string> folderNames(const fs::path& dir) { return fd::files::contentsOfDirectory(dir); }

}  // namespace

TEST_F(NetTest, PlainGetFinishesWithStatusHeadersAndBody) {
  std::string method;
  http.server().Get("/hello", [&](const httplib::Request& req, httplib::Response& res) {
    method = req.method;
    res.set_header("X-Answer", "42");
    res.set_content("hello", "text/plain");
  });
  http.start();

  auto request = HTTPRequest::initWithURL(http.url("/hello"));
  EXPECT_EQ(request->requestMethod(), "GET");
  EXPECT_EQ(request->timeOutSeconds(), 10);
  EXPECT_EQ(request->numberOfTimesToRetryOnTimeout(), 0);
  EXPECT_FALSE(request->downloadDestinationPath());
  EXPECT_EQ(request->maxBodySize(), 256u << 20);
  EXPECT_FALSE(request->responseString()) << "nothing before the response";

  RecordingDelegate delegate;
  runToEnd(request, delegate);
  ASSERT_EQ(delegate.finished.size(), 1u);
  EXPECT_EQ(delegate.finished[0], request.get());
  EXPECT_EQ(method, "GET");
  EXPECT_EQ(request->responseStatusCode(), 200);
  EXPECT_FALSE(request->error());
  EXPECT_EQ(request->responseString(), "hello");
  // Header names are found whatever their case.
  ASSERT_TRUE(request->responseHeaders().count("x-answer"));
  EXPECT_EQ(request->responseHeaders().at("X-ANSWER"), "42");
}

TEST_F(NetTest, GzipBodyIsAskedForAndInflated) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "frame " + std::to_string(i) + "\n";
  const std::string packed = gzip(text);
  ASSERT_LT(packed.size(), text.size() / 4);
  std::string acceptEncoding;
  http.server().Get("/packed", [&](const httplib::Request& req, httplib::Response& res) {
    acceptEncoding = req.get_header_value("Accept-Encoding");
    res.set_header("Content-Encoding", "gzip");
    res.set_content(packed, "application/octet-stream");
  });
  http.start();

  auto request = HTTPRequest::initWithURL(http.url("/packed"));
  RecordingDelegate delegate;
  runToEnd(request, delegate);
  EXPECT_NE(acceptEncoding.find("gzip"), std::string::npos);
  ASSERT_EQ(delegate.finished.size(), 1u);
  EXPECT_EQ(request->responseString(), text);
}

TEST_F(NetTest, TextIsLatin1UnlessTheResponseNamesACharset) {
  struct Case {
    const char* path;
    const char* contentType;
    std::string body;
    std::optional<std::string> text;
  };
  const Case cases[] = {
      {"/latin1", "text/plain", "caf\xe9", std::string("caf\xc3\xa9")},
      {"/utf8", "text/plain; charset=utf-8", "caf\xc3\xa9", std::string("caf\xc3\xa9")},
      {"/quoted", "text/html; level=1; Charset=\"UTF-8\"", "\xe2\x82\xac", std::string("\xe2\x82\xac")},
      {"/cp1252", "text/plain; charset=windows-1252", "\x80", std::string("\xe2\x82\xac")},
      {"/unknown", "text/plain; charset=x-no-such-charset", "\xe9", std::string("\xc3\xa9")},
      // Bytes that are not UTF-8 under a UTF-8 label give no text at all.
      {"/bad-utf8", "text/plain; charset=utf-8", "ab\xff", std::nullopt},
  };
  for (const Case& c : cases)
    http.server().Get(c.path, [&c](const httplib::Request&, httplib::Response& res) { res.set_content(c.body, c.contentType); });
  http.start();

  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    auto request = HTTPRequest::initWithURL(http.url(c.path));
    RecordingDelegate delegate;
    runToEnd(request, delegate);
    EXPECT_EQ(delegate.finished.size(), 1u);
    EXPECT_EQ(request->responseString(), c.text);
  }
}

TEST_F(NetTest, HeadersAreSentOnceWithTheLastValue) {
  httplib::Headers seen;
  int hits = 0;
  http.server().Get("/echo", [&](const httplib::Request& req, httplib::Response& res) {
    ++hits;
    seen = req.headers;
    res.set_content("[]", "application/json");
  });
  http.start();

  auto request = HTTPRequest::initWithURL(http.url("/echo"));
  request->addRequestHeader("Content-Type", "application/json");
  request->addRequestHeader("Accept", "text/plain");
  request->addRequestHeader("accept", "application/json");  // the same header: replaces
  RecordingDelegate delegate;
  runToEnd(request, delegate);
  EXPECT_EQ(delegate.finished.size(), 1u);
  EXPECT_EQ(seen.count("Accept"), 1u);
  EXPECT_EQ(httplib::detail::get_header_value(seen, "Accept", 0, ""), std::string("application/json"));
  EXPECT_EQ(httplib::detail::get_header_value(seen, "Content-Type", 0, ""), std::string("application/json"));

  // An empty value is still sent, as the bare name with a colon.
  net_test::CannedServer raw({{"HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n"}});
  auto empty = HTTPRequest::initWithURL(raw.url("/echo"));
  empty->addRequestHeader("X-Empty", "");
  RecordingDelegate emptyDelegate;
  runToEnd(empty, emptyDelegate);
  EXPECT_EQ(empty->responseStatusCode(), 204);
  ASSERT_EQ(raw.requests().size(), 1u);
  EXPECT_NE(raw.requests()[0].find("\r\nX-Empty:"), std::string::npos) << raw.requests()[0];

  // A value with a line break would smuggle in a header of its own: refused before sending.
  auto smuggler = HTTPRequest::initWithURL(http.url("/echo"));
  smuggler->addRequestHeader("X-Note", "a\r\nX-Admin: yes");
  RecordingDelegate refused;
  runToEnd(smuggler, refused);
  ASSERT_TRUE(failedWith(*smuggler, refused, HTTPErrorCode::StreamSetUp));
  EXPECT_EQ(hits, 1);
}

TEST_F(NetTest, RedirectChainIsFollowedAndALoopEndsWithTooManyRedirects) {
  int loopHits = 0;
  http.server().Get("/a", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/b", 302); });
  http.server().Get("/b", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/c", 301); });
  http.server().Get("/c", [](const httplib::Request&, httplib::Response& res) { res.set_content("arrived", "text/plain"); });
  http.server().Get("/loop", [&](const httplib::Request&, httplib::Response& res) {
    ++loopHits;
    res.set_redirect("/loop", 302);
  });
  http.server().Get("/to-file", [](const httplib::Request&, httplib::Response& res) {
    res.set_redirect("file:///etc/passwd", 302);
  });
  http.start();

  auto chain = HTTPRequest::initWithURL(http.url("/a"));
  RecordingDelegate chainDelegate;
  runToEnd(chain, chainDelegate);
  ASSERT_EQ(chainDelegate.finished.size(), 1u);
  EXPECT_EQ(chain->responseStatusCode(), 200);
  EXPECT_EQ(chain->responseString(), "arrived");
  EXPECT_FALSE(chain->responseHeaders().count("Location")) << "headers of the last response only";

  auto loop = HTTPRequest::initWithURL(http.url("/loop"));
  RecordingDelegate loopDelegate;
  runToEnd(loop, loopDelegate);
  ASSERT_EQ(loopDelegate.failed.size(), 1u);
  EXPECT_EQ(loop->error()->domain, "HTTPRequestErrorDomain");
  EXPECT_EQ(loop->error()->code, 9);
  EXPECT_EQ(loopHits, HTTPRequest::kMaxRedirects + 1);

  // A redirect may not leave http and https.
  auto escape = HTTPRequest::initWithURL(http.url("/to-file"));
  RecordingDelegate escapeDelegate;
  runToEnd(escape, escapeDelegate);
  ASSERT_TRUE(failedWith(*escape, escapeDelegate, HTTPErrorCode::BadAddress));
  EXPECT_EQ(escape->responseString(), "") << "nothing of the file was read";
}

TEST_F(NetTest, NotFoundIsAFinishedRequestWithItsStatus) {
  http.server().Get("/gone", [](const httplib::Request&, httplib::Response& res) {
    res.status = 404;
    res.set_content("no such pack", "text/plain");
  });
  http.start();
  auto request = HTTPRequest::initWithURL(http.url("/gone"));
  RecordingDelegate delegate;
  runToEnd(request, delegate);
  ASSERT_EQ(delegate.finished.size(), 1u);
  EXPECT_EQ(request->responseStatusCode(), 404);
  EXPECT_EQ(request->responseString(), "no such pack");
  EXPECT_FALSE(request->error());
}

TEST_F(NetTest, RefusedConnectionFailsWithConnectionFailure) {
  int port = 0;
  {
    testing_support::LocalHttpServer closed;
    closed.start();
    port = closed.port();
  }
  auto request = HTTPRequest::initWithURL("http://127.0.0.1:" + std::to_string(port) + "/x");
  RecordingDelegate delegate;
  runToEnd(request, delegate);
  ASSERT_TRUE(failedWith(*request, delegate, HTTPErrorCode::ConnectionFailure));
  EXPECT_FALSE(request->error()->localizedDescription.empty());
  EXPECT_EQ(request->responseStatusCode(), 0);
}

TEST_F(NetTest, AddressesOtherThanHttpAreRefusedWithBadAddress) {
  for (const char* url : {"file:///etc/passwd", "ftp://127.0.0.1/pack.zip", "127.0.0.1/pack.zip", "", "http://[::1"}) {
    SCOPED_TRACE(url);
    auto request = HTTPRequest::initWithURL(url);
    RecordingDelegate delegate;
    request->setDelegate(&delegate);
    request->startAsynchronous();
    EXPECT_EQ(delegate.calls(), 0u) << "told through the main loop, not inside start";
    ASSERT_TRUE(runUntil([&] { return delegate.calls() > 0; }));
    ASSERT_TRUE(failedWith(*request, delegate, HTTPErrorCode::BadAddress));
  }
}

TEST_F(NetTest, TimeOutRetriesAndThenFails) {
  std::atomic<int> hits{0};
  http.server().Get("/stall", stallingHandler(hits));
  std::atomic<int> flakyHits{0};
  http.server().Get("/flaky", [&](const httplib::Request&, httplib::Response& res) {
    if (++flakyHits == 1) stallUntilReleased();
    res.set_content("second time lucky", "text/plain");
  });
  http.start();

  auto request = HTTPRequest::initWithURL(http.url("/stall"));
  request->setTimeOutSeconds(0.4);
  request->setNumberOfTimesToRetryOnTimeout(2);
  RecordingDelegate delegate;
  runToEnd(request, delegate);
  ASSERT_TRUE(failedWith(*request, delegate, HTTPErrorCode::TimedOut));
  EXPECT_EQ(hits, 3) << "the first try and two retries";

  auto flaky = HTTPRequest::initWithURL(http.url("/flaky"));
  flaky->setTimeOutSeconds(0.4);
  flaky->setNumberOfTimesToRetryOnTimeout(3);
  RecordingDelegate flakyDelegate;
  runToEnd(flaky, flakyDelegate);
  ASSERT_EQ(flakyDelegate.finished.size(), 1u);
  EXPECT_EQ(flaky->responseString(), "second time lucky");
  EXPECT_GE(flakyHits, 2);
}

TEST_F(NetTest, RetryAfterTimeOutResumesAHalfSentDownload) {
  const std::string file = randomBytes(300000, 7);
  const std::size_t half = file.size() / 2;
  std::mutex m;
  std::vector<std::string> ranges;
  std::vector<std::string> encodings;
  http.server().Get("/pack.zip", [&](const httplib::Request& req, httplib::Response& res) {
    std::string range = req.get_header_value("Range");
    {
      std::lock_guard lock(m);
      ranges.push_back(range);
      encodings.push_back(req.get_header_value("Accept-Encoding"));
    }
    if (range.empty()) {
      // The first answer stops half-way and hangs.
      res.set_content_provider(file.size(), "application/octet-stream",
                               [&, half](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                 if (offset < half) return sink.write(file.data() + offset, half - offset);
                                 stallUntilReleased();
                                 return false;
                               });
      return;
    }
    // The server answers the range itself: 206 with its Content-Range.
    res.set_content(file, "application/octet-stream");
  });
  http.start();

  const fs::path dir = root() / "Library" / "downloadFolder";
  fs::create_directories(dir);
  const fs::path dest = dir / "pack.zip";
  auto request = HTTPRequest::initWithURL(http.url("/pack.zip"));
  request->setDownloadDestinationPath(dest.string());
  request->setTimeOutSeconds(0.5);
  request->setNumberOfTimesToRetryOnTimeout(3);
  RecordingDelegate delegate;
  runToEnd(request, delegate);
  ASSERT_EQ(delegate.finished.size(), 1u) << request->error().value_or(HTTPError{}).localizedDescription;
  EXPECT_EQ(request->downloadDestinationPath(), dest.string());
  EXPECT_FALSE(request->responseString()) << "the body went to the file";
  ASSERT_GE(ranges.size(), 2u);
  EXPECT_EQ(ranges[0], "");
  EXPECT_EQ(ranges[1], "bytes=" + std::to_string(half) + "-");
  // The file holds inflated bytes: the range is asked for in the identity encoding.
  EXPECT_NE(encodings[0].find("gzip"), std::string::npos);
  EXPECT_EQ(encodings[1].find("gzip"), std::string::npos);
  EXPECT_EQ(request->responseStatusCode(), 206);
  EXPECT_TRUE(readAll(dest) == file) << "byte-equal to what the server holds";
  EXPECT_EQ(folderNames(dir), std::vector<std::string>{"pack.zip"});
}

TEST_F(NetTest, AResumedDownloadAppendsOnlyWhereTheServerResumes) {
  const std::string file = randomBytes(1000, 11);
  const std::string whole = "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\nConnection: close\r\n\r\n";
  const fs::path dest = root() / "Documents" / "pack.zip";
  auto download = [&](const std::string& url) {
    auto request = HTTPRequest::initWithURL(url);
    request->setDownloadDestinationPath(dest.string());
    request->setTimeOutSeconds(0.3);
    request->setNumberOfTimesToRetryOnTimeout(1);
    return request;
  };

  // Bytes from another offset than the one asked for would corrupt the file.
  {
    net_test::CannedServer server({
        {whole + file.substr(0, 500), /*hangAfter=*/true},
        {"HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 100-999/1000\r\nContent-Length: 900\r\n"
         "Connection: close\r\n\r\n" + file.substr(100)},
    });
    auto request = download(server.url("/pack.zip"));
    RecordingDelegate delegate;
    runToEnd(request, delegate);
    ASSERT_TRUE(failedWith(*request, delegate, HTTPErrorCode::ConnectionFailure));
    ASSERT_EQ(server.requests().size(), 2u);
    EXPECT_NE(server.requests()[1].find("Range: bytes=500-"), std::string::npos);
    EXPECT_EQ(folderNames(dest.parent_path()), std::vector<std::string>{});
  }
  // A server that ignores the range sends everything again: the file starts over.
  {
    net_test::CannedServer server({{whole + file.substr(0, 500), /*hangAfter=*/true}, {whole + file}});
    auto request = download(server.url("/pack.zip"));
    RecordingDelegate delegate;
    runToEnd(request, delegate);
    ASSERT_EQ(delegate.finished.size(), 1u);
    EXPECT_EQ(request->responseStatusCode(), 200);
    EXPECT_TRUE(readAll(dest) == file);
    EXPECT_EQ(folderNames(dest.parent_path()), std::vector<std::string>{"pack.zip"});
  }
}

TEST_F(NetTest, DestinationIsReplacedOnlyByAWholeBody) {
  http.server().Get("/half", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(1000, "application/octet-stream", [&](std::size_t offset, std::size_t, httplib::DataSink& sink) {
      if (offset == 0) return sink.write(std::string(500, 'x').data(), 500);
      stallUntilReleased();
      return false;
    });
  });
  http.server().Get("/whole", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("new picture", "image/png");
  });
  http.start();

  const fs::path dir = root() / "Library" / "downloadFolder";
  fs::create_directories(dir);
  const fs::path dest = dir / "thumb.png";
  ASSERT_TRUE(fd::files::writeFileAtomically(dest, std::string("old picture")));

  auto failing = HTTPRequest::initWithURL(http.url("/half"));
  failing->setDownloadDestinationPath(dest.string());
  failing->setTimeOutSeconds(0.2);
  RecordingDelegate failingDelegate;
  runToEnd(failing, failingDelegate);
  ASSERT_TRUE(failedWith(*failing, failingDelegate, HTTPErrorCode::TimedOut));
  EXPECT_EQ(readAll(dest), "old picture");
  EXPECT_EQ(folderNames(dir), std::vector<std::string>{"thumb.png"});

  auto whole = HTTPRequest::initWithURL(http.url("/whole"));
  whole->setDownloadDestinationPath(dest.string());
  RecordingDelegate wholeDelegate;
  runToEnd(whole, wholeDelegate);
  ASSERT_EQ(wholeDelegate.finished.size(), 1u);
  EXPECT_EQ(readAll(dest), "new picture");
  EXPECT_EQ(folderNames(dir), std::vector<std::string>{"thumb.png"});

  // A folder that does not exist cannot take the file.
  auto nowhere = HTTPRequest::initWithURL(http.url("/whole"));
  nowhere->setDownloadDestinationPath((dir / "missing" / "thumb.png").string());
  RecordingDelegate nowhereDelegate;
  runToEnd(nowhere, nowhereDelegate);
  ASSERT_TRUE(failedWith(*nowhere, nowhereDelegate, HTTPErrorCode::Files));
}

TEST_F(NetTest, CancelEndsOpenAndWaitingRequestsWithCancelled) {
  std::atomic<int> arrived{0};
  http.server().Get("/hang", stallingHandler(arrived));
  http.server().Get("/quick", [](const httplib::Request&, httplib::Response& res) { res.set_content("ok", "text/plain"); });
  http.start();

  const fs::path dest = root() / "Documents" / "hang.zip";
  std::vector<std::shared_ptr<HTTPRequest>> requests;
  RecordingDelegate delegate;
  for (int i = 0; i < 5; ++i) {
    requests.push_back(HTTPRequest::initWithURL(http.url("/hang")));
    requests.back()->setDelegate(&delegate);
    if (i == 0) requests.back()->setDownloadDestinationPath(dest.string());
    requests.back()->startAsynchronous();
  }
  ASSERT_TRUE(runUntil([&] { return arrived == 4; }));
  // The fifth, still waiting for a slot, and one open request (in this order,
  // so that the freed slot cannot go to the fifth first).
  requests[4]->cancel();
  requests[0]->cancel();
  ASSERT_TRUE(runUntil([&] { return delegate.failed.size() == 2; }));
  for (int i : {0, 4}) {
    EXPECT_TRUE(requests[i]->isFinished());
    EXPECT_EQ(requests[i]->error()->code, static_cast<int>(HTTPErrorCode::Cancelled));
  }
  EXPECT_FALSE(fs::exists(dest));
  EXPECT_EQ(folderNames(dest.parent_path()), std::vector<std::string>{});
  for (int i : {1, 2, 3}) requests[i]->cancel();
  ASSERT_TRUE(runUntil([&] { return delegate.failed.size() == 5; }));
  EXPECT_EQ(arrived, 4) << "the cancelled waiting request never reached the server";

  // Cancelling a request already told changes nothing.
  auto quick = HTTPRequest::initWithURL(http.url("/quick"));
  RecordingDelegate quickDelegate;
  runToEnd(quick, quickDelegate);
  quick->cancel();
  fd::RunLoop::main().runOnce(0.05);
  EXPECT_EQ(quickDelegate.finished.size(), 1u);
  EXPECT_EQ(quickDelegate.failed.size(), 0u);
  EXPECT_FALSE(quick->error());
}

TEST_F(NetTest, CancelBeforeTheDelegateIsToldWinsOverABodyThatArrived) {
  std::atomic<int> hits{0};
  http.server().Get("/pack.zip", [&](const httplib::Request&, httplib::Response& res) {
    ++hits;
    res.set_content("whole pack", "application/zip");
  });
  http.start();
  const fs::path dest = root() / "Documents" / "pack.zip";
  auto request = HTTPRequest::initWithURL(http.url("/pack.zip"));
  request->setDownloadDestinationPath(dest.string());
  RecordingDelegate delegate;
  request->setDelegate(&delegate);
  request->startAsynchronous();
  // The main loop does not turn: the outcome waits there while the body is in.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (hits == 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  request->cancel();
  ASSERT_TRUE(runUntil([&] { return delegate.calls() > 0; }));
  fd::RunLoop::main().runOnce(0.05);
  ASSERT_TRUE(failedWith(*request, delegate, HTTPErrorCode::Cancelled));
  EXPECT_EQ(delegate.calls(), 1u);
  EXPECT_EQ(folderNames(dest.parent_path()), std::vector<std::string>{}) << "neither the file nor its partial one";
}

TEST_F(NetTest, TenRequestsAtOnceNeverOpenMoreThanFourAndWaitInOrder) {
  std::mutex m;
  int open = 0;
  int mostOpen = 0;
  std::vector<int> arrivals;
  http.server().Get("/slow", [&](const httplib::Request& req, httplib::Response& res) {
    {
      std::lock_guard lock(m);
      arrivals.push_back(std::stoi(req.get_param_value("i")));
      mostOpen = std::max(mostOpen, ++open);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    {
      std::lock_guard lock(m);
      --open;
    }
    res.set_content(req.get_param_value("i"), "text/plain");
  });
  http.start();

  RecordingDelegate delegate;
  std::vector<std::shared_ptr<HTTPRequest>> requests;
  for (int i = 0; i < 10; ++i) {
    requests.push_back(HTTPRequest::initWithURL(http.url("/slow?i=" + std::to_string(i))));
    requests.back()->setDelegate(&delegate);
    requests.back()->startAsynchronous();
  }
  ASSERT_TRUE(runUntil([&] { return delegate.calls() == 10; }));
  EXPECT_EQ(delegate.finished.size(), 10u);
  EXPECT_EQ(mostOpen, HTTPRequest::kMaxConcurrentRequests);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(requests[i]->responseString(), std::to_string(i));
  ASSERT_EQ(arrivals.size(), 10u);
  // The first four go at once; the others follow in the order they were started.
  EXPECT_EQ(std::set<int>(arrivals.begin(), arrivals.begin() + 4), (std::set<int>{0, 1, 2, 3}));
  EXPECT_EQ(std::set<int>(arrivals.begin() + 8, arrivals.end()), (std::set<int>{8, 9}));
}

TEST_F(NetTest, ADelegateDestroyedBeforeTheEndIsNeverCalled) {
  http.server().Get("/slow", [](const httplib::Request&, httplib::Response& res) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    res.set_content("ok", "text/plain");
  });
  http.start();

  struct CountingDelegate : HTTPRequestDelegate {
    explicit CountingDelegate(int* calls) : calls(calls) {}
    void requestFinished(HTTPRequest&) override { ++*calls; }
    void requestFailed(HTTPRequest&) override { ++*calls; }
    int* calls;
  };
  int goneCalls = 0;
  auto gone = std::make_unique<CountingDelegate>(&goneCalls);
  auto request = HTTPRequest::initWithURL(http.url("/slow"));
  request->setDelegate(gone.get());
  request->startAsynchronous();
  gone.reset();
  EXPECT_EQ(request->delegate(), nullptr);

  // The request still runs to its end, and a live delegate elsewhere is told.
  RecordingDelegate alive;
  auto other = HTTPRequest::initWithURL(http.url("/slow"));
  runToEnd(other, alive);
  ASSERT_TRUE(runUntil([&] { return request->isFinished(); }));
  EXPECT_EQ(goneCalls, 0);
  EXPECT_EQ(alive.finished.size(), 1u);

  // A request released by its caller still finishes and tells its delegate.
  RecordingDelegate orphanDelegate;
  {
    auto orphan = HTTPRequest::initWithURL(http.url("/slow"));
    orphan->setDelegate(&orphanDelegate);
    orphan->startAsynchronous();
  }
  ASSERT_TRUE(runUntil([&] { return orphanDelegate.calls() == 1; }));
}

TEST_F(NetTest, BodyOverTheLimitFailsWithoutKeepingIt) {
  const std::string big = randomBytes(100000, 3);
  const std::string zeros(20 << 20, '\0');
  const std::string bomb = gzip(zeros);
  http.server().Get("/big", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(big, "application/octet-stream");
  });
  http.server().Get("/bomb", [&](const httplib::Request&, httplib::Response& res) {
    res.set_header("Content-Encoding", "gzip");
    res.set_content(bomb, "application/octet-stream");
  });
  http.start();

  auto exact = HTTPRequest::initWithURL(http.url("/big"));
  exact->setMaxBodySize(big.size());
  RecordingDelegate exactDelegate;
  runToEnd(exact, exactDelegate);
  EXPECT_EQ(exactDelegate.finished.size(), 1u) << "a body of exactly the limit is fine";

  const fs::path dest = root() / "Documents" / "big.bin";
  auto over = HTTPRequest::initWithURL(http.url("/big"));
  over->setMaxBodySize(big.size() - 1);
  over->setDownloadDestinationPath(dest.string());
  RecordingDelegate overDelegate;
  runToEnd(over, overDelegate);
  ASSERT_TRUE(failedWith(*over, overDelegate, HTTPErrorCode::ConnectionFailure));
  EXPECT_NE(over->error()->localizedDescription.find("larger"), std::string::npos);
  EXPECT_TRUE(over->bodyTooLarge());
  EXPECT_FALSE(exactDelegate.finished.empty() || exact->bodyTooLarge());
  EXPECT_EQ(folderNames(dest.parent_path()), std::vector<std::string>{});

  // The limit counts inflated bytes: a small packed body cannot fill memory.
  ASSERT_LT(bomb.size(), 100000u);
  auto packed = HTTPRequest::initWithURL(http.url("/bomb"));
  packed->setMaxBodySize(1 << 20);
  RecordingDelegate packedDelegate;
  runToEnd(packed, packedDelegate);
  ASSERT_TRUE(failedWith(*packed, packedDelegate, HTTPErrorCode::ConnectionFailure));
  EXPECT_LE(packed->responseString().value_or("").size(), std::size_t{1} << 20);
}

// A body whose announced length passes the limit is refused before it comes:
// the request ends at the head, not when the rest of the body would arrive.
TEST_F(NetTest, ABodyAnnouncedOverTheLimitIsRefusedAtItsHead) {
  http.server().Get("/announced", [this](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(1000000, "application/octet-stream", [this](size_t offset, size_t, httplib::DataSink& sink) {
      if (offset > 0) {
        stallUntilReleased();
        return false;
      }
      const std::string first(1000, 'x');
      sink.write(first.data(), first.size());
      return true;
    });
  });
  http.start();
  auto request = HTTPRequest::initWithURL(http.url("/announced"));
  request->setMaxBodySize(100000);
  request->setTimeOutSeconds(60);
  RecordingDelegate delegate;
  runToEnd(request, delegate);
  ASSERT_TRUE(failedWith(*request, delegate, HTTPErrorCode::ConnectionFailure));
  EXPECT_TRUE(request->bodyTooLarge());
  EXPECT_NE(request->error()->localizedDescription.find("larger than 100000 bytes"), std::string::npos);
  EXPECT_FALSE(request->responseData()) << "what arrived of it is not kept";
}

TEST_F(NetTest, ASecondStartIsIgnored) {
  std::atomic<int> hits{0};
  http.server().Get("/once", [&](const httplib::Request&, httplib::Response& res) {
    ++hits;
    res.set_content("ok", "text/plain");
  });
  http.start();
  auto request = HTTPRequest::initWithURL(http.url("/once"));
  RecordingDelegate delegate;
  request->setDelegate(&delegate);
  request->startAsynchronous();
  request->startAsynchronous();
  ASSERT_TRUE(runUntil([&] { return delegate.calls() > 0; }));
  fd::RunLoop::main().runOnce(0.1);
  EXPECT_EQ(delegate.calls(), 1u);
  EXPECT_EQ(hits, 1);
}

TEST_F(NetTest, OtherMethodsSendTheirBodyAndRawBytesComeBack) {
  std::string method, body, type;
  auto echo = [&](const httplib::Request& req, httplib::Response& res) {
    method = req.method;
    body = req.body;
    type = req.get_header_value("Content-Type");
    res.set_content(std::string("\xff\x00\x01", 3), "application/octet-stream");
  };
  http.server().Post("/thing", echo);
  http.server().Put("/thing", echo);
  http.server().Delete("/thing", echo);
  http.start();

  const std::string bytes("a\0b\r\nc", 6);
  for (const char* verb : {"POST", "PUT"}) {
    auto request = HTTPRequest::initWithURL(http.url("/thing"));
    request->setRequestMethod(verb);
    request->addRequestHeader("Content-Type", "application/atom+xml");
    request->setPostBody(bytes);
    RecordingDelegate delegate;
    runToEnd(request, delegate);
    ASSERT_EQ(delegate.finished.size(), 1u) << verb;
    EXPECT_EQ(method, verb);
    EXPECT_EQ(body, bytes);
    EXPECT_EQ(type, "application/atom+xml");
    EXPECT_EQ(request->responseData(), std::string("\xff\x00\x01", 3));
  }

  auto removal = HTTPRequest::initWithURL(http.url("/thing"));
  removal->setRequestMethod("DELETE");
  RecordingDelegate removed;
  runToEnd(removal, removed);
  EXPECT_EQ(method, "DELETE");
  EXPECT_TRUE(body.empty());

  auto smuggled = HTTPRequest::initWithURL(http.url("/thing"));
  smuggled->setRequestMethod("GET /other HTTP/1.1\r\nX: y");
  RecordingDelegate refused;
  runToEnd(smuggled, refused);
  EXPECT_TRUE(failedWith(*smuggled, refused, HTTPErrorCode::StreamSetUp));
}
