// The page tests' server on 127.0.0.1: each path gets a fixed reply, sent at
// once, after a delay, or begun and never finished; other paths get a 404.
// "{count}" in a body becomes the number of requests for its path so far.
#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "support/local_http_server.h"

namespace kelvane::testing {

class TestServer {
 public:
  struct Reply {
    QByteArray body;
    QByteArray contentType = "text/html; charset=utf-8";
    int status = 200;
    int delayMs = 0;
    // Sends the headers and half of the body, then nothing more.
    bool neverFinish = false;
    // Header lines after the Content-Type.
    QByteArray headers = "Cache-Control: no-store\r\n";
  };
  // How many static sites send a page: an old Last-Modified and no cache
  // headers, which lets a cache count it as fresh for a while.
  static constexpr const char* kOldLastModified =
      "Last-Modified: Mon, 01 Jan 2024 00:00:00 GMT\r\n";

  void route(const QString& path, Reply reply) {
    const std::lock_guard lock(mutex_);
    routes_[path.toStdString()] = std::move(reply);
  }
  QString url(const QString& path) const {
    return QString::fromStdString(server_.url(path.toStdString()));
  }
  int requests(const QString& path) const {
    const std::lock_guard lock(mutex_);
    const auto it = counts_.find(path.toStdString());
    return it == counts_.end() ? 0 : it->second;
  }
  static int closedPort() { return LocalHttpServer::closedPort(); }

 private:
  void answer(int fd, const std::string& path) {
    Reply reply{"<p>not here</p>", "text/html", 404};
    {
      const std::lock_guard lock(mutex_);
      const int count = ++counts_[path];
      if (const auto it = routes_.find(path); it != routes_.end()) reply = it->second;
      reply.body.replace("{count}", QByteArray::number(count));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(reply.delayMs));
    const std::string status = std::to_string(reply.status) + " Status";
    const std::string headers =
        "Content-Type: " + reply.contentType.toStdString() + "\r\n" + reply.headers.toStdString();
    if (!reply.neverFinish) {
      LocalHttpServer::reply(fd, status, headers, reply.body.toStdString());
      return;
    }
    LocalHttpServer::send(fd, "HTTP/1.1 " + status + "\r\n" + headers + "Content-Length: " +
                                  std::to_string(reply.body.size()) + "\r\n\r\n" +
                                  reply.body.left(reply.body.size() / 2).toStdString());
    while (!server_.stopping()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }

  mutable std::mutex mutex_;
  std::map<std::string, Reply> routes_;
  std::map<std::string, int> counts_;
  // Last, so that its connections end before the routes go.
  LocalHttpServer server_{[this](LocalHttpServer&, int fd, const std::string& path,
                                 const std::string&) { answer(fd, path); }};
};

}  // namespace kelvane::testing
