#pragma once
// An HTTP server on 127.0.0.1 at a free port, for the network tests and the
// network benchmark. Add handlers through server(), then start(); the
// destructor stops it and waits for its threads. Header-only, so that only the
// programs that use it link the server library.
//
// Without keep-alive every response closes its connection, so that stopping
// the server never waits for idle connections to time out.
#include <httplib.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

namespace testing_support {

class LocalHttpServer {
 public:
  explicit LocalHttpServer(bool keepAlive = false) {
    // Small answers otherwise wait out the peer's delayed acknowledgement.
    server_.set_tcp_nodelay(true);
    if (keepAlive) {
      server_.set_keep_alive_max_count(1000000);
    } else {
      server_.set_post_routing_handler(
          [](const httplib::Request&, httplib::Response& res) { res.set_header("Connection", "close"); });
    }
  }
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;
  ~LocalHttpServer() { stop(); }

  httplib::Server& server() { return server_; }

  void start() {
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("no free port on 127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!server_.is_running()) {
      if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error("the test server did not start");
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  void stop() {
    if (!thread_.joinable()) return;
    server_.stop();
    thread_.join();
  }

  int port() const { return port_; }
  std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
};

// The text packed as a server sends it with "Content-Encoding: gzip".
inline std::string gzip(const std::string& text) {
  httplib::detail::gzip_compressor compressor;
  std::string out;
  compressor.compress(text.data(), text.size(), true, [&](const char* data, std::size_t n) {
    out.append(data, n);
    return true;
  });
  return out;
}

}  // namespace testing_support
