// Serves one file over HTTP on 127.0.0.1 for the fetch benchmark, at every
// path, until standard input closes: bench_serve_file FILE [CONTENT-TYPE]
// Prints the port first.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "support/local_http_server.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::ifstream in(argv[1], std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  const std::string body = content.str();
  const std::string type = argc > 2 ? argv[2] : "text/html";
  kelvane::testing::LocalHttpServer server([&](kelvane::testing::LocalHttpServer&, int fd,
                                               const std::string&, const std::string&) {
    kelvane::testing::LocalHttpServer::reply(fd, "200 OK", "Content-Type: " + type + "\r\n", body);
  });
  const std::string url = server.url("/");
  std::printf("%s\n", url.substr(url.rfind(':') + 1, url.size() - url.rfind(':') - 2).c_str());
  std::fflush(stdout);
  std::string line;
  while (std::getline(std::cin, line)) {
  }
  return 0;
}
