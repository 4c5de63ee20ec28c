// A small HTTP server on 127.0.0.1 for page tests: each path gets a fixed
// reply, sent at once, after a delay, or begun and never finished.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace kelvane::testing {

class TestServer : public QObject {
 public:
  struct Reply {
    QByteArray body;
    QByteArray contentType = "text/html; charset=utf-8";
    int status = 200;
    int delayMs = 0;
    // Sends the headers and half of the body, then nothing more.
    bool neverFinish = false;
  };

  TestServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) serve(socket);
    });
  }

  void route(const QString& path, Reply reply) { routes_.insert(path, std::move(reply)); }
  QString url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path);
  }
  int requests(const QString& path) const { return counts_.value(path); }

  // A port on which nothing listens.
  static quint16 closedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
  }

 private:
  void serve(QTcpSocket* socket) {
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
      QByteArray& request = pending_[socket];
      request += socket->readAll();
      if (!request.contains("\r\n\r\n")) return;
      const QList<QByteArray> firstLine = request.left(request.indexOf("\r\n")).split(' ');
      pending_.remove(socket);
      const QString path = firstLine.size() > 1 ? QString::fromLatin1(firstLine[1]) : QString();
      ++counts_[path];
      const Reply reply = routes_.value(path, Reply{"<p>not here</p>", "text/html", 404});
      QPointer<QTcpSocket> alive(socket);
      QTimer::singleShot(reply.delayMs, this, [alive, reply] {
        if (alive) send(alive, reply);
      });
    });
  }

  static void send(QTcpSocket* socket, const Reply& reply) {
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + " Status\r\n";
    head += "Content-Type: " + reply.contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    head += "Cache-Control: no-store\r\n";
    if (reply.neverFinish) {
      socket->write(head + "\r\n" + reply.body.left(reply.body.size() / 2));
      return;
    }
    socket->write(head + "Connection: close\r\n\r\n" + reply.body);
    socket->disconnectFromHost();
  }

  QTcpServer server_;
  QHash<QString, Reply> routes_;
  QHash<QString, int> counts_;
  QHash<QTcpSocket*, QByteArray> pending_;
};

}  // namespace kelvane::testing
