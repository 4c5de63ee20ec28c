// Browser memory over many loads: serves a listing page on 127.0.0.1, runs
// one kelvane-run that loads it again and again, and samples the PSS of
// kelvane-run and all its browser processes every second, telling each
// sample by the load in progress.
// Usage: bench_pagememory KELVANE_RUN PAGE_FILE LOADS same|distinct [options...]
// "distinct" gives each load an address of its own (the time is added to
// it), as a watcher of many pages would see; "same" loads one address.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

// Every process below pid, and pid itself.
std::vector<long> processTree(long root) {
  std::multimap<long, long> children;  // parent -> child
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream status(entry.path() / "status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind("PPid:", 0) == 0) children.emplace(std::stol(line.substr(5)), std::stol(name));
    }
  }
  std::vector<long> found = {root};
  for (size_t i = 0; i < found.size(); ++i) {
    for (auto [it, end] = children.equal_range(found[i]); it != end; ++it) {
      found.push_back(it->second);
    }
  }
  return found;
}

// Proportional set size (shared pages split between their users), in MB.
double pssMb(const std::vector<long>& pids) {
  double kb = 0;
  for (long pid : pids) {
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string line;
    while (std::getline(rollup, line)) {
      if (line.rfind("Pss:", 0) == 0) kb += std::stod(line.substr(4));
    }
  }
  return kb / 1024;
}

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

struct Sample {
  double seconds;
  int load;  // the load in progress, from 1; 0 before the first request
  double pss;
  double mainPss;  // kelvane-run itself, without its browser processes
  size_t processes;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(
        stderr, "usage: bench_pagememory KELVANE_RUN PAGE_FILE LOADS same|distinct [options...]\n");
    return 2;
  }
  QCoreApplication app(argc, argv);
  const QString runner = QString::fromLocal8Bit(argv[1]);
  QFile pageFile(QString::fromLocal8Bit(argv[2]));
  if (!pageFile.open(QIODevice::ReadOnly)) return 2;
  const QByteArray page = pageFile.readAll();
  const int loads = std::max(1, std::atoi(argv[3]));
  const bool distinct = std::string(argv[4]) == "distinct";
  QStringList extra;
  for (int i = 5; i < argc; ++i) extra << QString::fromLocal8Bit(argv[i]);

  // A plain HTTP/1.1 server: every request for /list gets the page.
  QTcpServer server;
  server.listen(QHostAddress::LocalHost, 0);
  int requests = 0;
  QObject::connect(&server, &QTcpServer::newConnection, [&] {
    while (QTcpSocket* socket = server.nextPendingConnection()) {
      QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
      auto buffer = std::make_shared<QByteArray>();
      QObject::connect(socket, &QTcpSocket::readyRead, socket, [&, socket, buffer] {
        *buffer += socket->readAll();
        while (buffer->contains("\r\n\r\n")) {
          const QByteArray head = buffer->left(buffer->indexOf("\r\n\r\n"));
          buffer->remove(0, head.size() + 4);
          const bool list = head.startsWith("GET /list ") || head.startsWith("GET /list?");
          if (list) ++requests;
          const QByteArray body = list ? page : QByteArray("not here");
          socket->write("HTTP/1.1 " + QByteArray(list ? "200 OK" : "404 Not Found") +
                        "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                        QByteArray::number(body.size()) + "\r\n\r\n" + body);
        }
      });
    }
  });

  QTemporaryDir dir;
  const QString script = dir.filePath("load.spt");
  {
    QFile f(script);
    if (!f.open(QIODevice::WriteOnly)) return 2;
    const QByteArray address = "http://127.0.0.1:" + QByteArray::number(server.serverPort()) +
                               "/list" + (distinct ? "?t=" : "");
    f.write("REPLACE\t\"" + address + "\"\tV1\r\n" + (distinct ? "TIME\tV1\r\n" : "") +
            "URL\tV1\r\nGETA\tHT\tD\t\"class=\"\"price\"\">\"\r\n");
  }

  QProcess process;
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  std::vector<Sample> samples;
  QElapsedTimer clock;
  QTimer sampler;
  QObject::connect(&sampler, &QTimer::timeout, [&] {
    // Once kelvane-run has gone there is nothing of it to measure.
    if (process.state() != QProcess::Running || process.processId() <= 0) return;
    const auto pids = processTree(process.processId());
    samples.push_back(
        {clock.elapsed() / 1000.0, requests, pssMb(pids), pssMb({pids[0]}), pids.size()});
  });
  QObject::connect(&process, &QProcess::finished, &app, &QCoreApplication::quit);
  QObject::connect(&process, &QProcess::errorOccurred, &app, &QCoreApplication::quit);
  clock.start();
  process.start(runner,
                QStringList{"--runs", QString::number(loads)} + extra + QStringList{script});
  sampler.start(1000);
  app.exec();
  const double total = clock.elapsed() / 1000.0;

  // The curve: per load for a short run, else per 10 loads, the median and
  // the highest sample.
  const int step = loads <= 30 ? 1 : 10;
  std::printf("page %lld bytes, %d loads served in %.1f s (%.2f s per load), exit status %d\n",
              static_cast<long long>(page.size()), requests, total, total / std::max(1, requests),
              process.exitCode());
  std::printf("loads      PSS MB median   max   kelvane-run alone   processes\n");
  double peak = 0;
  std::vector<double> early, late;
  for (int from = 1; from <= loads; from += step) {
    std::vector<double> in, alone;
    size_t procs = 0;
    for (const Sample& s : samples) {
      if (s.load >= from && s.load < from + step) {
        in.push_back(s.pss);
        alone.push_back(s.mainPss);
        procs = std::max(procs, s.processes);
      }
    }
    if (in.empty()) continue;
    const std::string range =
        step == 1 ? std::to_string(from) : std::to_string(from) + "-" + std::to_string(from + 9);
    std::printf("%-9s  %10.0f %8.0f   %10.0f          %zu\n", range.c_str(), median(in),
                *std::max_element(in.begin(), in.end()), median(alone), procs);
  }
  for (const Sample& s : samples) {
    peak = std::max(peak, s.pss);
    if (s.load >= 5 && s.load <= 20) early.push_back(s.pss);
    if (s.load > loads - 50) late.push_back(s.pss);
  }
  const double e = median(early), l = median(late);
  std::printf(
      "peak %.0f MB (target <= 450); median loads 5-20 %.0f MB, last 50 loads %.0f MB,"
      " ratio %.3f (target <= 1.1); %zu samples\n",
      peak, e, l, e > 0 ? l / e : 0.0, samples.size());
  return process.exitCode() == 0 && requests >= loads ? 0 : 1;
}
