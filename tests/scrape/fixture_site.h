// A small novel site on 127.0.0.1 for the command tests: the search service and
// the book pages of tests/fixtures/site. Pages are written in UTF-8 for the
// reader; the book site serves them in code page 936, as the real one does, and
// "{base}" in a page becomes the site's own address.
//
//   FixtureSite site;
//   settings.searchEndpoint = site.Base() + "/cse/search?q=";
//   settings.siteBase = site.Base();
#pragma once

#include <chrono>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "http/loopback_server.h"
#include "text/codepage.h"

namespace vellumara::testing {

class FixtureSite {
 public:
  FixtureSite() {
    httplib::Server& routes = server_.Routes();
    routes.Get("/cse/search", [this](const httplib::Request& req, httplib::Response& res) {
      Record(req);
      res.set_content(Page("search.html"), "text/html; charset=utf-8");
    });
    // A search service that takes its time, so something can happen meanwhile.
    routes.Get("/slow/cse/search", [this](const httplib::Request& req, httplib::Response& res) {
      Record(req);
      std::this_thread::sleep_for(std::chrono::milliseconds(600));
      res.set_content(Page("search.html"), "text/html; charset=utf-8");
    });
    routes.Get(R"(/book/.*)", [this](const httplib::Request& req, httplib::Response& res) {
      int hits = Record(req);
      std::string file = req.path.substr(1);
      if (file.ends_with("/")) file += "index.html";
      // A chapter that fails once, then succeeds.
      if (file.find("once500") != std::string::npos && hits == 1) {
        res.status = 500;
        res.set_content("busy", "text/plain");
        return;
      }
      std::string page = Page(file);
      if (page.empty()) {
        res.status = 404;
        res.set_content("not found", "text/plain");
        return;
      }
      res.set_content(Utf8ToGbk(page), "text/html; charset=gbk");
    });
    server_.Start();
  }

  std::string Base() const { return server_.Url(""); }
  // Targets requested so far, as they came on the wire (query still encoded).
  std::vector<std::string> Targets() {
    std::lock_guard lock(mutex_);
    return targets_;
  }

 private:
  int Record(const httplib::Request& req) {
    std::lock_guard lock(mutex_);
    targets_.push_back(req.target);
    return ++hits_[req.path];
  }
  std::string Page(const std::string& file) const {
    std::ifstream in(std::string(VELLUMARA_FIXTURES) + "/site/" + file, std::ios::binary);
    if (!in) return {};
    std::stringstream content;
    content << in.rdbuf();
    std::string page = content.str();
    for (std::size_t at; (at = page.find("{base}")) != std::string::npos;) page.replace(at, 6, Base());
    return page;
  }

  test::LoopbackServer server_;
  std::mutex mutex_;
  std::vector<std::string> targets_;
  std::map<std::string, int> hits_;
};

}  // namespace vellumara::testing
