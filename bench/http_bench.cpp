// Prints how long 1,000 sequential small GETs to a loopback server take through
// HttpRequest, next to the same 1,000 addresses fetched by one run of the curl
// command line (which keeps its connection open between them), and how many
// connections the server saw for each.
//
//   ./vellumara_http_bench [count]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <unistd.h>

#include "http/loopback_server.h"
#include "http/request.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

int DistinctConnections(const vellumara::test::LoopbackServer& server) {
  std::set<int> seen;
  for (const auto& request : server.Requests()) seen.insert(request.connection);
  return static_cast<int>(seen.size());
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
  vellumara::HttpGlobalInit();

  vellumara::test::LoopbackServer server;
  // a chapter-sized reply would measure the copying; this measures the exchange
  const std::string reply(200, 'x');
  server.Routes().Get(R"(/item/(\d+))", [&reply](const httplib::Request&, httplib::Response& res) {
    res.set_content(reply, "text/plain");
  });
  server.Start();
  auto url = [&server](int i) { return server.Url("/item/" + std::to_string(i)); };

  // HttpRequest, one call after the other
  long long bytes = 0;
  int failures = 0;
  const Clock::time_point ours = Clock::now();
  for (int i = 0; i < count; ++i) {
    const vellumara::Bytes body = vellumara::HttpRequest(url(i));
    if (body.size() != reply.size()) ++failures;
    bytes += static_cast<long long>(body.size());
  }
  const double oursSeconds = Seconds(ours);
  const int oursConnections = DistinctConnections(server);
  server.ClearRecords();

  // the curl command line, every address in one process
  char config[] = "/tmp/vellumara_http_bench_XXXXXX";
  const int fd = mkstemp(config);
  if (fd < 0) {
    std::perror("mkstemp");
    return 1;
  }
  close(fd);
  {
    std::ofstream out(config);
    for (int i = 0; i < count; ++i) out << "url = \"" << url(i) << "\"\noutput = \"/dev/null\"\n";
  }
  const std::string command = std::string("curl -s -K ") + config;
  const Clock::time_point theirs = Clock::now();
  const int status = std::system(command.c_str());
  const double curlSeconds = Seconds(theirs);
  std::remove(config);
  const int curlRequests = static_cast<int>(server.Requests().size());
  const int curlConnections = DistinctConnections(server);

  std::printf("%d sequential GETs of %zu bytes to 127.0.0.1\n", count, reply.size());
  std::printf("HttpRequest:  %.3f s  (%.1f us per call)  %d connection(s), %d failure(s), %lld bytes\n",
              oursSeconds, 1e6 * oursSeconds / count, oursConnections, failures, bytes);
  std::printf("curl -K:      %.3f s  (%.1f us per call)  %d connection(s), %d request(s), exit %d\n",
              curlSeconds, 1e6 * curlSeconds / count, curlConnections, curlRequests, status);
  std::printf("ratio HttpRequest / curl: %.2f\n", curlSeconds > 0 ? oursSeconds / curlSeconds : 0.0);
  return failures == 0 && status == 0 ? 0 : 1;
}
