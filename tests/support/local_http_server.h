// A small HTTP server on 127.0.0.1 for tests, without Qt: each connection
// on a thread of its own, each request answered by a handler that writes
// whatever it likes to the socket (well-formed pages, endless redirects,
// gzip bombs, headers dripped byte by byte, a page that never ends). The
// handler may be called on several connections at once. A connection's
// thread waits for the server's end before it ends itself: a thread that
// ends while the client forks (the direct fetch reads a page in a child
// process) could leave the sanitizer's allocator locked in the child.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kelvane::testing {

class LocalHttpServer {
 public:
  // Gets the request line's path and the whole request head; writes the
  // answer with send(). A false from send means the client has gone.
  using Handler = std::function<void(LocalHttpServer&, int fd, const std::string& path,
                                     const std::string& head)>;

  explicit LocalHttpServer(Handler handler) : handler_(std::move(handler)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 16);
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
  }

  ~LocalHttpServer() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    ended_.notify_all();
    thread_.join();
    for (std::thread& t : connections_) t.join();
    ::close(listener_);
  }

  std::string url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
  }
  bool stopping() const { return stopping_; }

  // A port on which nothing listens.
  static int closedPort() {
    const LocalHttpServer closed(
        [](LocalHttpServer&, int, const std::string&, const std::string&) {});
    return closed.port_;
  }

  // Writes all of data; false when the client has closed the connection.
  static bool send(int fd, std::string_view data) {
    while (!data.empty()) {
      const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
      if (n <= 0) return false;
      data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
  }

  // A complete answer with a length and no keep-alive.
  static void reply(int fd, std::string_view status, std::string_view headers,
                    std::string_view body) {
    send(fd, "HTTP/1.1 " + std::string(status) + "\r\n" + std::string(headers) +
                 "Content-Length: " + std::to_string(body.size()) +
                 "\r\nConnection: close\r\n\r\n" + std::string(body));
  }

 private:
  // Waits for a connection or for the server to stop.
  bool readable(int fd) const {
    pollfd p{fd, POLLIN, 0};
    while (!stopping_) {
      if (::poll(&p, 1, 50) > 0) return true;
    }
    return false;
  }

  void serve() {
    while (readable(listener_)) {
      const int fd = ::accept(listener_, nullptr, nullptr);
      if (fd < 0) continue;
      connections_.emplace_back([this, fd] {
        answer(fd);
        std::unique_lock<std::mutex> lock(mutex_);
        ended_.wait(lock, [this] { return stopping_.load(); });
      });
    }
  }

  void answer(int fd) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && readable(fd)) {
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      head.append(buffer, static_cast<size_t>(n));
    }
    const size_t start = head.find(' ') + 1;
    const std::string path = head.substr(start, head.find(' ', start) - start);
    handler_(*this, fd, path, head);
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
  }

  Handler handler_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  std::vector<std::thread> connections_;  // only the serving thread adds to it
  std::mutex mutex_;
  std::condition_variable ended_;
};

}  // namespace kelvane::testing
