#pragma once
// A bare TCP server on 127.0.0.1 that answers the n-th connection with the
// n-th canned reply, byte for byte: for answers a regular HTTP server would
// never give (a wrong Content-Range, a range ignored). A reply may hang after
// its first part until the server is destroyed.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace net_test {

struct CannedReply {
  std::string bytes;
  bool hangAfter = false;  // keep the connection open, silent, after the bytes
};

class CannedServer {
 public:
  explicit CannedServer(std::vector<CannedReply> replies) : replies_(std::move(replies)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        ::listen(listener_, 8) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
      throw std::runtime_error("cannot listen on 127.0.0.1");
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { serve(); });
  }

  ~CannedServer() {
    stopping_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    ::close(listener_);
    thread_.join();
    for (int fd : open_) ::close(fd);
  }

  std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

  // The request heads received, in order.
  std::vector<std::string> requests() const {
    std::lock_guard lock(m_);
    return requests_;
  }

 private:
  void serve() {
    for (const CannedReply& reply : replies_) {
      int fd = ::accept(listener_, nullptr, nullptr);
      if (fd < 0 || stopping_) return;
      std::string head;
      char c;
      while (head.find("\r\n\r\n") == std::string::npos && ::recv(fd, &c, 1, 0) == 1) head += c;
      {
        std::lock_guard lock(m_);
        requests_.push_back(head);
      }
      ::send(fd, reply.bytes.data(), reply.bytes.size(), MSG_NOSIGNAL);
      if (reply.hangAfter) {
        open_.push_back(fd);
      } else {
        ::close(fd);
      }
    }
  }

  std::vector<CannedReply> replies_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex m_;
  std::vector<std::string> requests_;
  std::vector<int> open_;  // hanging connections; closed by the destructor
  std::thread thread_;
};

}  // namespace net_test
