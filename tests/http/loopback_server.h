// HTTP servers on 127.0.0.1 for tests that talk to the network.
//
// LoopbackServer: a cpp-httplib server on a free port that records every
// request as it arrived on the wire: the raw header block, the body, and which
// connection carried it, so tests can check the exact bytes a client sent and
// count its connections.
//
//   static test::LoopbackServer* server = new test::LoopbackServer;
//   server->Routes().Get("/page", [](const httplib::Request&, httplib::Response& res) {
//     res.set_content("hello", "text/plain");
//   });
//   server->Start();
//   Bytes body = HttpRequest(server->Url("/page"));
//   EXPECT_EQ(server->LastRequest().Header("Accept"), "*/*");
//
// RawServer: plain sockets, for replies no well-behaved server gives (a stall,
// a body cut short, a reset). Each connection runs a script of the test's own.
//
// Both serve until destroyed; start one per test suite.
#pragma once

#include <httplib.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vellumara::test {

// One request as the server read it.
struct RecordedRequest {
  std::string method;
  std::string target;       // as on the request line: path and query
  std::string headerBlock;  // the request line and every header line, each ended by CR LF
  std::string body;         // every byte after the blank line
  int connection = 0;       // 1 for the first connection the server accepted, 2 for the next...
  int remotePort = 0;

  // HeaderLines: the header lines after the request line, without CR LF.
  [[nodiscard]] std::vector<std::string> HeaderLines() const;
  // Header: the value of the first header called name (any letter case),
  // without the spaces after the colon; empty when there is none.
  [[nodiscard]] std::string Header(std::string_view name) const;
  // HeaderCount: how many header lines are called name (any letter case).
  [[nodiscard]] int HeaderCount(std::string_view name) const;
};

class LoopbackServer {
 public:
  LoopbackServer();
  ~LoopbackServer();  // stops the server and waits for its threads
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // Routes: where handlers are added, before Start. The pre- and
  // post-routing handlers are the recorder's own; leave them alone. A HEAD
  // request with a body has the body read (and recorded) before its GET
  // handler runs.
  [[nodiscard]] httplib::Server& Routes();
  // Start: binds 127.0.0.1 on a free port and returns once it accepts.
  // Connections are kept open between requests for idleSeconds.
  void Start(int idleSeconds = 5);

  [[nodiscard]] int Port() const;
  // Url: "http://127.0.0.1:<port>" followed by path.
  [[nodiscard]] std::string Url(std::string_view path = "/") const;

  // Requests: every request recorded since the start or the last ClearRecords.
  [[nodiscard]] std::vector<RecordedRequest> Requests() const;
  // LastRequest: the latest one; an empty record when there is none.
  [[nodiscard]] RecordedRequest LastRequest() const;
  // ConnectionCount: connections accepted since the start.
  [[nodiscard]] int ConnectionCount() const;
  void ClearRecords();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

class RawServer {
 public:
  // Script: plays one connection. fd is the connected socket; head holds the
  // request line and headers read so far (up to the blank line). The server
  // closes fd after the script returns.
  using Script = std::function<void(RawServer& server, int fd, const std::string& head)>;

  explicit RawServer(Script script);
  ~RawServer();  // stops accepting, ends running scripts' waits, joins
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;

  [[nodiscard]] int Port() const { return port_; }
  [[nodiscard]] std::string Url(std::string_view path = "/") const;
  [[nodiscard]] int ConnectionCount() const { return connections_.load(); }
  [[nodiscard]] bool Stopping() const { return stopping_.load(); }

  // SendAll: writes every byte of data; false when the peer went away.
  static bool SendAll(int fd, std::string_view data);
  // WaitForClose: returns once the client has closed or reset the connection,
  // or the server is stopping. A stall is a script that only calls this.
  void WaitForClose(int fd) const;
  // Reset: makes the close that follows abort the connection (TCP RST).
  static void Reset(int fd);

 private:
  void AcceptLoop();
  void Serve(int fd);

  Script script_;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::thread acceptor_;
  std::mutex workersMutex_;
  std::vector<std::thread> workers_;
};

// FreePort: a port on 127.0.0.1 that nothing listens on (it was bound and
// let go again), for a connection that must be refused.
[[nodiscard]] int FreePort();

}  // namespace vellumara::test
