#include "http/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace vellumara::test {

namespace {

constexpr int kIoTimeoutMs = 5000;
constexpr int kPollStepMs = 20;

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool PollFor(int fd, short events, int timeoutMs) {
  pollfd p{fd, events, 0};
  return ::poll(&p, 1, timeoutMs) > 0;
}

void AddressOf(int fd, bool peer, std::string& ip, int& port) {
  sockaddr_in addr{};
  socklen_t length = sizeof addr;
  const int rc = peer ? ::getpeername(fd, reinterpret_cast<sockaddr*>(&addr), &length)
                      : ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
  if (rc != 0) return;
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
  ip = text;
  port = ntohs(addr.sin_port);
}

// A socket stream that keeps a copy of every byte it hands to the server, so
// that a request can be recorded exactly as it came.
class RecordingStream final : public httplib::Stream {
 public:
  explicit RecordingStream(int fd) : fd_(fd) {}

  bool is_readable() const override {
    return pos_ < buffer_.size() || PollFor(fd_, POLLIN, kIoTimeoutMs);
  }
  bool is_writable() const override { return PollFor(fd_, POLLOUT, kIoTimeoutMs); }

  ssize_t read(char* ptr, size_t size) override {
    if (pos_ == buffer_.size()) {
      const ssize_t filled = Fill();
      if (filled <= 0) return filled;
    }
    const std::size_t n = std::min(size, buffer_.size() - pos_);
    std::memcpy(ptr, buffer_.data() + pos_, n);
    record_.append(ptr, n);
    pos_ += n;
    return static_cast<ssize_t>(n);
  }

  ssize_t write(const char* ptr, size_t size) override {
    if (!is_writable()) return -1;
    return ::send(fd_, ptr, size, MSG_NOSIGNAL);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    AddressOf(fd_, true, ip, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    AddressOf(fd_, false, ip, port);
  }
  socket_t socket() const override { return fd_; }

  // WaitForRequest: true once bytes (or the end) are waiting; false when the
  // connection stayed idle for idleMs or the server stops.
  bool WaitForRequest(int idleMs, const std::function<bool()>& running) {
    if (pos_ < buffer_.size()) return true;
    for (int waited = 0; waited < idleMs && running(); waited += kPollStepMs) {
      if (PollFor(fd_, POLLIN, kPollStepMs)) return true;
    }
    return false;
  }
  void BeginRequest() { record_.clear(); }
  std::string TakeRecord() { return std::exchange(record_, std::string()); }

 private:
  ssize_t Fill() {
    if (!PollFor(fd_, POLLIN, kIoTimeoutMs)) return -1;
    buffer_.resize(4096);
    const ssize_t n = ::recv(fd_, buffer_.data(), buffer_.size(), 0);
    buffer_.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    pos_ = 0;
    return n;
  }

  int fd_;
  std::string buffer_;
  std::size_t pos_ = 0;
  std::string record_;
};

// The connection the calling server thread is serving.
struct Connection {
  RecordingStream* stream = nullptr;
  int id = 0;
  int remotePort = 0;
};
thread_local Connection* tConnection = nullptr;

}  // namespace

class LoopbackServer::Impl {
 public:
  class Server final : public httplib::Server {
   public:
    explicit Server(Impl& owner) : owner_(owner) {}

   private:
    // Our own keep-alive loop over a recording stream, with no cap on the
    // requests per connection, so a client's connection reuse shows.
    bool process_and_close_socket(socket_t sock) override {
      RecordingStream stream(sock);
      Connection connection;
      connection.stream = &stream;
      connection.id = owner_.NewConnection();
      std::string ip;
      stream.get_remote_ip_and_port(ip, connection.remotePort);
      tConnection = &connection;
      bool ok = true;
      while (stream.WaitForRequest(owner_.idleSeconds * 1000,
                                   [this] { return !owner_.stopping.load(); })) {
        stream.BeginRequest();
        bool closed = false;
        ok = process_request(stream, false, closed, nullptr);
        if (!ok || closed) break;
      }
      tConnection = nullptr;
      ::shutdown(sock, SHUT_RDWR);
      ::close(sock);
      return ok;
    }

    Impl& owner_;
  };

  int NewConnection() {
    std::lock_guard<std::mutex> lock(mutex);
    return ++connections;
  }

  void Record(const httplib::Request& req) {
    if (tConnection == nullptr) return;
    const std::string raw = tConnection->stream->TakeRecord();
    RecordedRequest record;
    record.method = req.method;
    record.target = req.target;
    const std::size_t end = raw.find("\r\n\r\n");
    if (end == std::string::npos) {
      record.headerBlock = raw;
    } else {
      record.headerBlock = raw.substr(0, end + 2);
      record.body = raw.substr(end + 4);
    }
    record.connection = tConnection->id;
    record.remotePort = tConnection->remotePort;
    std::lock_guard<std::mutex> lock(mutex);
    records.push_back(std::move(record));
  }

  Server server{*this};
  std::thread thread;
  int port = 0;
  int idleSeconds = 5;
  // set before stopping: the server counts as running until its threads end
  std::atomic<bool> stopping{false};
  mutable std::mutex mutex;
  std::vector<RecordedRequest> records;
  int connections = 0;
};

std::vector<std::string> RecordedRequest::HeaderLines() const {
  std::vector<std::string> lines;
  std::size_t begin = headerBlock.find("\r\n");
  while (begin != std::string::npos) {
    begin += 2;
    const std::size_t end = headerBlock.find("\r\n", begin);
    if (end == std::string::npos) break;
    lines.push_back(headerBlock.substr(begin, end - begin));
    begin = end;
  }
  return lines;
}

std::string RecordedRequest::Header(std::string_view name) const {
  for (const std::string& line : HeaderLines()) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos || !SameName(std::string_view(line).substr(0, colon), name)) {
      continue;
    }
    const std::size_t value = line.find_first_not_of(' ', colon + 1);
    return value == std::string::npos ? std::string() : line.substr(value);
  }
  return {};
}

int RecordedRequest::HeaderCount(std::string_view name) const {
  int count = 0;
  for (const std::string& line : HeaderLines()) {
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos && SameName(std::string_view(line).substr(0, colon), name)) {
      ++count;
    }
  }
  return count;
}

LoopbackServer::LoopbackServer() : impl_(std::make_unique<Impl>()) {}

LoopbackServer::~LoopbackServer() {
  if (impl_->thread.joinable()) {
    impl_->stopping = true;
    impl_->server.stop();
    impl_->thread.join();
  }
}

httplib::Server& LoopbackServer::Routes() { return impl_->server; }

void LoopbackServer::Start(int idleSeconds) {
  Impl& impl = *impl_;
  impl.idleSeconds = idleSeconds;
  // kept-alive connections each hold a thread, so have plenty
  impl.server.new_task_queue = [] { return new httplib::ThreadPool(32); };
  impl.server.set_tcp_nodelay(true);
  impl.server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response&) {
    // the server reads bodies of these methods itself; for the others (HEAD
    // above all) read it here, or it would be taken for the next request
    const bool readsBody = req.method == "POST" || req.method == "PUT" ||
                           req.method == "PATCH" || req.method == "DELETE" || req.method == "PRI";
    if (!readsBody && tConnection != nullptr && req.has_header("Content-Length")) {
      auto left = req.get_header_value<uint64_t>("Content-Length");
      char buffer[4096];
      while (left > 0) {
        const ssize_t n = tConnection->stream->read(buffer, std::min<uint64_t>(left, sizeof buffer));
        if (n <= 0) break;
        left -= static_cast<uint64_t>(n);
      }
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  impl.server.set_post_routing_handler(
      [&impl](const httplib::Request& req, httplib::Response&) { impl.Record(req); });
  impl.port = impl.server.bind_to_any_port("127.0.0.1");
  if (impl.port <= 0) throw std::runtime_error("loopback server: no port to bind");
  impl.thread = std::thread([&impl] { impl.server.listen_after_bind(); });
  for (int i = 0; i < 5000 && !impl.server.is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

int LoopbackServer::Port() const { return impl_->port; }

std::string LoopbackServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(impl_->port) + std::string(path);
}

std::vector<RecordedRequest> LoopbackServer::Requests() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->records;
}

RecordedRequest LoopbackServer::LastRequest() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->records.empty() ? RecordedRequest{} : impl_->records.back();
}

int LoopbackServer::ConnectionCount() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->connections;
}

void LoopbackServer::ClearRecords() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->records.clear();
}

// --- RawServer ------------------------------------------------------------------

RawServer::RawServer(Script script) : script_(std::move(script)) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  if (listenFd_ < 0) throw std::runtime_error("raw server: no socket");
  const int on = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listenFd_, 16) != 0) {
    ::close(listenFd_);
    throw std::runtime_error("raw server: cannot listen");
  }
  std::string ip;
  AddressOf(listenFd_, false, ip, port_);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

RawServer::~RawServer() {
  stopping_ = true;
  acceptor_.join();
  std::vector<std::thread> workers;
  {
    std::lock_guard<std::mutex> lock(workersMutex_);
    workers.swap(workers_);
  }
  for (std::thread& worker : workers) worker.join();
  ::close(listenFd_);
}

std::string RawServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void RawServer::AcceptLoop() {
  while (!stopping_) {
    if (!PollFor(listenFd_, POLLIN, kPollStepMs)) continue;
    const int fd = ::accept(listenFd_, nullptr, nullptr);
    if (fd < 0) continue;
    ++connections_;
    std::lock_guard<std::mutex> lock(workersMutex_);
    workers_.emplace_back([this, fd] { Serve(fd); });
  }
}

void RawServer::Serve(int fd) {
  std::string head;
  char buffer[1024];
  // the head is read byte by byte so that nothing after it is taken
  while (!stopping_ && head.find("\r\n\r\n") == std::string::npos) {
    if (!PollFor(fd, POLLIN, kPollStepMs)) continue;
    const ssize_t n = ::recv(fd, buffer, 1, 0);
    if (n <= 0) break;
    head.append(buffer, static_cast<std::size_t>(n));
  }
  if (!stopping_) script_(*this, fd, head);
  ::close(fd);
}

bool RawServer::SendAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

void RawServer::WaitForClose(int fd) const {
  char buffer[1024];
  while (!stopping_) {
    if (!PollFor(fd, POLLIN, kPollStepMs)) continue;
    if (::recv(fd, buffer, sizeof buffer, 0) <= 0) return;
  }
}

void RawServer::Reset(int fd) {
  const linger abort{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
}

int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  int port = 0;
  std::string ip;
  AddressOf(fd, false, ip, port);
  ::close(fd);
  return port;
}

}  // namespace vellumara::test
