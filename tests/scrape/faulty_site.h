// A novel site on 127.0.0.1 whose pages misbehave on purpose: a connection
// reset in the middle of a body, a stall, a body cut short, error statuses,
// redirect loops, bodies without end. Plain sockets, so that no server library
// stands between a test and the bytes on the wire; connections are kept alive
// between requests, as a real site keeps them.
//
//   FaultySite site;
//   site.Set("/b/2.html", FaultySite::Once(FaultySite::ResetMidBody(page),
//                                          FaultySite::Ok(page)));
//   settings.siteBase = site.Base();
//
// TestBook publishes a small book on such a site and says what its file must
// hold.
#pragma once

#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "http/loopback_server.h"
#include "text/codepage.h"
#include "text/text.h"

namespace vellumara::testing {

class FaultySite {
 public:
  // Reply: answers the hit-th request (counted from 1) for one path, on the
  // connected socket fd. False ends the connection after it.
  using Reply = std::function<bool(test::RawServer& server, int fd, int hit)>;

  FaultySite()
      : server_([this](test::RawServer& server, int fd, const std::string& head) {
          Converse(server, fd, head);
        }) {}
  FaultySite(const FaultySite&) = delete;
  FaultySite& operator=(const FaultySite&) = delete;

  // Base: "http://127.0.0.1:<port>", no trailing slash.
  [[nodiscard]] std::string Base() const { return server_.Url(""); }

  // Set: how requests for path (the query left off) are answered from now on;
  // its hit count starts again. Unknown paths get a 404.
  void Set(const std::string& path, Reply reply) {
    std::lock_guard lock(mutex_);
    replies_[path] = std::move(reply);
    hits_[path] = 0;
  }
  // Hits: requests for path so far.
  [[nodiscard]] int Hits(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto it = hits_.find(path);
    return it == hits_.end() ? 0 : it->second;
  }

  // --- replies ---------------------------------------------------------------

  static std::string Head(int status, std::string_view reason, std::string_view headers) {
    return "HTTP/1.1 " + std::to_string(status) + " " + std::string(reason) + "\r\n" +
           std::string(headers) + "\r\n";
  }
  static bool Send(int fd, std::string_view data) { return test::RawServer::SendAll(fd, data); }

  // Ok: 200 with body and its Content-Length.
  static Reply Ok(std::string body, std::string contentType = "text/html; charset=gbk") {
    return [body = std::move(body), contentType = std::move(contentType)](test::RawServer&, int fd,
                                                                          int) {
      return Send(fd, Head(200, "OK",
                           "Content-Type: " + contentType + "\r\nContent-Length: " +
                               std::to_string(body.size()) + "\r\n") +
                          body);
    };
  }
  // Status: the status with a short body and any extra header lines (each
  // ended by CR LF).
  static Reply Status(int status, std::string extraHeaders = "") {
    return [status, extraHeaders = std::move(extraHeaders)](test::RawServer&, int fd, int) {
      const std::string body = "status " + std::to_string(status);
      return Send(fd, Head(status, "Whatever",
                           extraHeaders + "Content-Type: text/plain\r\nContent-Length: " +
                               std::to_string(body.size()) + "\r\n") +
                          body);
    };
  }
  // ResetMidBody: promises the whole body, sends half of it, then aborts the
  // connection.
  static Reply ResetMidBody(std::string body) {
    return [body = std::move(body)](test::RawServer&, int fd, int) {
      Send(fd, Head(200, "OK", "Content-Length: " + std::to_string(body.size()) + "\r\n") +
                   body.substr(0, body.size() / 2));
      // let the half arrive before the reset throws it away
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      test::RawServer::Reset(fd);
      return false;
    };
  }
  // CutShort: promises the whole body, sends half and closes the connection
  // in good order.
  static Reply CutShort(std::string body) {
    return [body = std::move(body)](test::RawServer&, int fd, int) {
      Send(fd, Head(200, "OK", "Content-Length: " + std::to_string(body.size()) + "\r\n") +
                   body.substr(0, body.size() / 2));
      return false;
    };
  }
  // Silent: closes the connection without a byte of reply.
  static Reply Silent() {
    return [](test::RawServer&, int, int) { return false; };
  }
  // Stall: sends nothing and waits until the client gives up.
  static Reply Stall() {
    return [](test::RawServer& server, int fd, int) {
      server.WaitForClose(fd);
      return false;
    };
  }
  // Drip: a body that never ends, one byte every 300 ms: too fast for a
  // stall, too slow to ever finish.
  static Reply Drip() {
    return [](test::RawServer& server, int fd, int) {
      if (!Send(fd, Head(200, "OK", "Transfer-Encoding: chunked\r\n"))) return false;
      while (!server.Stopping() && Send(fd, "1\r\nx\r\n")) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
      }
      return false;
    };
  }
  // Endless: a chunked body without end and without a Content-Length, sent
  // as fast as the client takes it.
  static Reply Endless() {
    return [](test::RawServer& server, int fd, int) {
      if (!Send(fd, Head(200, "OK", "Transfer-Encoding: chunked\r\n"))) return false;
      const std::string chunk = "4000\r\n" + std::string(0x4000, 'x') + "\r\n";
      while (!server.Stopping() && Send(fd, chunk)) {
      }
      return false;
    };
  }
  // Redirect: 302 to location.
  static Reply Redirect(std::string location) {
    return [location = std::move(location)](test::RawServer&, int fd, int) {
      return Send(fd, Head(302, "Found", "Location: " + location + "\r\nContent-Length: 0\r\n"));
    };
  }
  // Once: first for the first request, then for every later one.
  static Reply Once(Reply first, Reply then) {
    return [first = std::move(first), then = std::move(then)](test::RawServer& server, int fd,
                                                              int hit) {
      return hit == 1 ? first(server, fd, hit) : then(server, fd, hit);
    };
  }

 private:
  // ReadHead: the next request's line and headers into head; false when the
  // client closed the connection or the server stops. GET requests carry no
  // body, so whatever follows the blank line is the next request.
  static bool ReadHead(test::RawServer& server, int fd, std::string& pending, std::string& head) {
    char buffer[4096];
    for (;;) {
      const std::size_t end = pending.find("\r\n\r\n");
      if (end != std::string::npos) {
        head = pending.substr(0, end + 4);
        pending.erase(0, end + 4);
        return true;
      }
      if (server.Stopping()) return false;
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) return false;
      pending.append(buffer, static_cast<std::size_t>(n));
    }
  }

  void Converse(test::RawServer& server, int fd, std::string head) {
    std::string pending;
    do {
      // "GET /path?query HTTP/1.1"
      const std::size_t from = head.find(' ') + 1;
      std::string path = head.substr(from, head.find(' ', from) - from);
      path = path.substr(0, path.find('?'));
      Reply reply;
      int hit = 0;
      {
        std::lock_guard lock(mutex_);
        auto it = replies_.find(path);
        if (it != replies_.end()) reply = it->second;
        hit = ++hits_[path];
      }
      if (!reply) reply = Status(404);
      if (!reply(server, fd, hit)) return;
    } while (ReadHead(server, fd, pending, head));
  }

  mutable std::mutex mutex_;
  std::map<std::string, Reply> replies_;
  std::map<std::string, int> hits_;
  test::RawServer server_;  // last: it stops, and its scripts end, before the maps go
};

// A book of a few chapters on a FaultySite, under /b/: the book page
// /b/book.html, the catalogue /b/ and the chapters /b/1.html, /b/2.html...
// Each chapter text holds "&nbsp;" and line breaks in both letter cases.
struct TestBook {
  Text name;                  // code page 936
  std::vector<Text> titles;   // chapter i is titles[i - 1]
  std::vector<Text> texts;    // the raw chapter text as the page holds it
  std::vector<Text> cleaned;  // what each text becomes in the file

  static TestBook Make(const Text& name, int chapters) {
    auto g = [](std::string_view utf8) { return Utf8ToGbk(utf8); };
    TestBook book;
    book.name = name;
    for (int i = 1; i <= chapters; ++i) {
      const std::string n = std::to_string(i);
      book.titles.push_back(g("第" + n + "章 风"));
      book.texts.push_back(g("第" + n + "章的正文，") + "&nbsp;&nbsp;" + g("风吹过山岗。") +
                           "<br />" + g("夜深了。") + "<BR /><br />" + g("完。"));
      book.cleaned.push_back(g("第" + n + "章的正文，") + "  " + g("风吹过山岗。") + "\r\n" +
                             g("夜深了。") + "\r\n" + g("完。"));
    }
    return book;
  }

  static std::string BookPath() { return "/b/book.html"; }
  static std::string CataloguePath() { return "/b/"; }
  static std::string ChapterPath(int i) { return "/b/" + std::to_string(i) + ".html"; }

  [[nodiscard]] int Count() const { return static_cast<int>(titles.size()); }

  [[nodiscard]] Text BookPage() const {
    return Utf8ToGbk("<html><body><h1>") + name +
           Utf8ToGbk("</h1><span class=\"btn\"><a href=\"/b/1.html\">开始阅读</a></span> "
                     "<span class=\"btn\"><a href=\"/b/\">查看目录</a></span></body></html>");
  }
  [[nodiscard]] Text CataloguePage() const {
    Text page = "<html><body><ul>\r\n";
    for (int i = 1; i <= Count(); ++i) {
      page += "<li><a href='" + ChapterPath(i) + "'>" + titles[i - 1] + "<span></span></a></li>\r\n";
    }
    return page + "</ul></body></html>";
  }
  [[nodiscard]] Text ChapterPage(int i) const { return ChapterPageWith(texts[i - 1]); }
  static Text ChapterPageWith(const Text& text) {
    return "<html><body><div id=\"nr_title\">x</div><div id=\"nr1\">" + text +
           "</div></body></html>";
  }

  // Publish: serves the book page, the catalogue and every chapter, all well.
  void Publish(FaultySite& site) const {
    site.Set(BookPath(), FaultySite::Ok(BookPage()));
    site.Set(CataloguePath(), FaultySite::Ok(CataloguePage()));
    for (int i = 1; i <= Count(); ++i) site.Set(ChapterPath(i), FaultySite::Ok(ChapterPage(i)));
  }

  // File: what the book's file holds when the chapters in `failed` could not
  // be had.
  [[nodiscard]] Text File(const std::set<int>& failed = {}) const {
    Text file = name + "\r\n\r\n";
    for (int i = 1; i <= Count(); ++i) {
      file += "\r\n\r\n" + titles[i - 1] + "\r\n\r\n";
      file += failed.count(i) ? Utf8ToGbk("（本章获取失败）") : cleaned[i - 1];
    }
    return file;
  }
};

// SearchReply: a UTF-8 search reply with one result per book, each pointing at
// address; names are code page 936.
inline std::string SearchReply(const std::string& address, const std::vector<Text>& names) {
  std::string page = "<html><body><div class=\"result-list\">\r\n";
  for (const Text& name : names) {
    page += "<div class=\"result-item\"><div class=\"result-game-item-detail\">\r\n"
            "<h3><a cpos=\"title\" href=\"" + address + "\" title=\"" + GbkToUtf8(name) +
            "\" class=\"result-game-item-title-link\">x</a></h3>\r\n"
            "<p class=\"result-game-item-desc\">简介</p>\r\n"
            "<p><span>作者：</span><span>某人</span></p>\r\n"
            "<p><span>更新状态：</span>完本</p></div></div>\r\n";
  }
  return page + "</div></body></html>";
}

}  // namespace vellumara::testing
