#include "http/request.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "http/loopback_server.h"
#include "http/request_text.h"
#include "text/events.h"

namespace vellumara {
namespace {

using test::LoopbackServer;
using test::RawServer;
using test::RecordedRequest;

const Text kDefaultAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

Text DefaultBlockAfter(const Text& address) {
  return "Accept: */*\r\nReferer: " + address +
         "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded";
}

// The header lines of a block, each followed by CR LF, as they reach the wire.
Text AsWireLines(const Text& block) { return block + "\r\n"; }

// --- the text steps, with literal text --------------------------------------

TEST(RequestTextTest, UserAgentComesFromTheCallerLines) {
  struct Case {
    const char* name;
    Text headers;
    Text agent;
  } const cases[] = {
      {"none given", "", kDefaultAgent},
      {"other lines only", "X-A: 1", kDefaultAgent},
      {"own line", "X-A: 1\r\nUser-Agent:  Bot/2 \r\nX-B: 2", "Bot/2"},
      // the exact-case cut misses a small-letter line; the fallback takes the
      // value after the first colon of the whole text
      {"small letters", "user-agent: Bot/1", "Bot/1"},
      // ...which for several lines runs into the next line; it stops at the
      // line break so that it can never write a header of its own
      {"small letters after another line", "X-A: 1\r\nuser-agent: Bot/1", "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(internal::RequestUserAgent(c.headers), c.agent);
  }
}

TEST(RequestTextTest, AddressBecomesTheUrlCurlFetches) {
  struct Case {
    const char* name;
    Text address;
    std::optional<std::string> url;
  } const cases[] = {
      {"host lower-cased, port and path kept", "http://Site.EXAMPLE:8080/A/b?x=1",
       "http://site.example:8080/A/b?x=1"},
      {"secure default port", "https://site.example", "https://site.example:443/"},
      {"no scheme", "site.example/a", "http://site.example:80/a"},
      // five letters pick the port, the scheme stays plain
      {"host named https...", "httpsrv.example/a", "http://httpsrv.example:443/a"},
      {"dot segments sent as they are", "http://site.example/a/../b", "http://site.example:80/a/../b"},
      // a typed book name goes in the query raw; curl would refuse the space
      {"space and GBK bytes escaped", "http://site.example/s?q=\xb6\xa8 x",
       "http://site.example:80/s?q=%B6%A8%20x"},
      // nothing a server could be reached at
      {"empty", "", std::nullopt},
      {"query straight after the host", "http://site.example?x=1", std::nullopt},
      {"port 0", "http://site.example:/a", std::nullopt},
      {"port too large", "http://site.example:70000/a", std::nullopt},
      {"line break in the address", "http://site.example/a\r\nX-Evil: 1", std::nullopt},
      {"GBK host", "http://\xb0" "A.example/", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(internal::RequestUrl(c.address), c.url);
  }
}

TEST(RequestTextTest, HeaderBlockBecomesWireLines) {
  using Lines = std::vector<std::string>;
  // a caller's trailing CR LF leaves an empty line inside the block, which
  // would end the header section early
  EXPECT_EQ(internal::WireHeaderLines("X-A: 1\r\n\r\nAccept: */*"), (Lines{"X-A: 1", "Accept: */*"}));
  // curl drops "Name:" with no value; "Name;" still goes out
  EXPECT_EQ(internal::WireHeaderLines("Referer: \r\nX-B: 2"), (Lines{"Referer;", "X-B: 2"}));
  // a lone CR or LF ends a line too, never reaching the wire inside a header
  EXPECT_EQ(internal::WireHeaderLines("A: 1\nB: 2\rC: 3"), (Lines{"A: 1", "B: 2", "C: 3"}));
}

TEST(RequestTextTest, ResponseHeadersGiveCookiesAndRetryAfter) {
  const Text headers = internal::RespellSetCookie(
      "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nset-cookie: b=2\r\nSET-COOKIE:  c=3 ; "
      "HttpOnly\r\nContent-Length: 0\r\n");
  EXPECT_EQ(headers,
            "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\nSet-Cookie:  c=3 ; "
            "HttpOnly\r\nContent-Length: 0\r\n");
  EXPECT_EQ(internal::ResponseCookies(headers), "a=1; b=2; c=3");
  EXPECT_EQ(internal::ResponseCookies("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n"), "");

  struct Case {
    const char* name;
    Text headers;
    int seconds;
  } const cases[] = {
      {"seconds", "HTTP/1.1 503 x\r\nRetry-After: 120\r\n", 120},
      {"small letters, spaces", "HTTP/1.1 429 x\r\nretry-after:  7 \r\n", 7},
      {"date", "HTTP/1.1 503 x\r\nRetry-After: Wed, 21 Oct 2015 07:28:00 GMT\r\n", -1},
      {"absent", "HTTP/1.1 503 x\r\n", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(internal::RetryAfterSeconds(c.headers), c.seconds);
  }
}

// --- exchanges with a loopback server ----------------------------------------

// Short limits, so that a test that goes wrong still ends soon.
HttpLimits TestLimits() {
  HttpLimits limits;
  limits.connectTimeoutSeconds = 5;
  limits.lowSpeedSeconds = 1;
  return limits;
}

std::atomic<int> gPumpCalls{0};
std::atomic<std::thread::id> gEventThread{};

void Respond(httplib::Response& res, const std::string& body) { res.set_content(body, "text/plain"); }

class HttpRequestTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    HttpGlobalInit();
    InstallEventPump({[] { ++gPumpCalls; },
                      [] { return std::this_thread::get_id() == gEventThread.load(); }});
    server_ = new LoopbackServer;
    httplib::Server& routes = server_->Routes();
    routes.Get("/echo", [](const httplib::Request&, httplib::Response& res) { Respond(res, "hello"); });
    routes.Post("/echo", [](const httplib::Request& req, httplib::Response& res) {
      Respond(res, req.body);
    });
    // cookies kept under /cookies, so they never reach the other routes
    routes.Get("/cookies/set", [](const httplib::Request&, httplib::Response& res) {
      res.set_header("Set-Cookie", "a=1; path=/cookies");
      res.set_header("set-cookie", "b=2");
      Respond(res, "set");
    });
    routes.Get("/cookies/other", [](const httplib::Request&, httplib::Response& res) {
      res.set_header("Set-Cookie", "c=3");
      Respond(res, "other");
    });
    routes.Get("/cookies/echo", [](const httplib::Request&, httplib::Response& res) {
      Respond(res, "echo");
    });
    routes.Get("/cookies/long", [](const httplib::Request&, httplib::Response& res) {
      res.set_header("X-Long", std::string(6000, 'x'));
      res.set_header("Set-Cookie", "d=4; path=/cookies");
      Respond(res, "long");
    });
    routes.Get(R"(/hop/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
      const int left = std::stoi(req.matches[1]);
      if (left == 0) return Respond(res, "landed");
      res.status = 302;
      res.set_header("Location", "/hop/" + std::to_string(left - 1));
      Respond(res, "moved");
    });
    routes.Get("/loop", [](const httplib::Request&, httplib::Response& res) {
      res.status = 302;
      res.set_header("Location", "/loop");
    });
    routes.Get("/to-ftp", [](const httplib::Request&, httplib::Response& res) {
      res.status = 302;
      res.set_header("Location", "ftp://127.0.0.1:1/file");
    });
    routes.Get(R"(/status/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
      res.status = std::stoi(req.matches[1]);
      if (res.status == 503) res.set_header("Retry-After", "7");
      Respond(res, "status " + std::string(req.matches[1]));
    });
    routes.Get(R"(/bytes/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
      Respond(res, std::string(std::stoul(req.matches[1]), 'b'));
    });
    routes.Get(R"(/chunked/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
      const std::size_t total = std::stoul(req.matches[1]);
      res.set_chunked_content_provider("text/plain", [total](std::size_t offset, httplib::DataSink& sink) {
        if (offset >= total) {
          sink.done();
        } else {
          const std::string piece(std::min<std::size_t>(100, total - offset), 'c');
          sink.write(piece.data(), piece.size());
        }
        return true;
      });
    });
    // answers only once the caller's thread has been seen dispatching events
    routes.Get("/wait-for-pump", [](const httplib::Request&, httplib::Response& res) {
      for (int i = 0; i < 500 && gPumpCalls.load() < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      Respond(res, gPumpCalls.load() >= 3 ? "pumped" : "not pumped");
    });
    routes.Get("http://proxied.invalid/x", [](const httplib::Request&, httplib::Response& res) {
      Respond(res, "via proxy");
    });
    server_->Start();
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  static std::string Url(std::string_view path) { return server_->Url(path); }
  static std::string HostLine() { return "Host: 127.0.0.1:" + std::to_string(server_->Port()) + "\r\n"; }

  static LoopbackServer* server_;
};

LoopbackServer* HttpRequestTest::server_ = nullptr;

TEST_F(HttpRequestTest, PlainCallSendsTheDefaultHeaderBlock) {
  const std::string address = Url("/echo");
  EXPECT_EQ(BytesToText(HttpRequest(address)), "hello");
  const Text block = DefaultBlockAfter(address);
  EXPECT_EQ(server_->LastRequest().headerBlock, "GET /echo HTTP/1.1\r\n" + HostLine() +
                                                    "User-Agent: " + kDefaultAgent + "\r\n" +
                                                    AsWireLines(block));

  // the caller's variable holds the block afterwards
  Text headers;
  EXPECT_EQ(BytesToText(HttpRequest(address, {}, {}, nullptr, nullptr, &headers)), "hello");
  EXPECT_EQ(headers, block);
}

TEST_F(HttpRequestTest, CallerLinesJoinTheBlockAsSent) {
  const std::string address = Url("/echo");
  const Text defaults = DefaultBlockAfter(address);
  const Text afterReferer = "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded";
  struct Case {
    const char* name;
    Text given;
    Text block;  // the given lines and what was added, as sent
    Text agent;  // the one User-Agent line on the wire
  } const cases[] = {
      {"one extra line", "X-A: 1", "X-A: 1\r\n" + defaults, kDefaultAgent},
      // the name test is exact-case, so our Accept comes as well
      {"small-letter accept", "accept: text/html", "accept: text/html\r\n" + defaults, kDefaultAgent},
      {"existing referer", "Referer: http://other.example/",
       "Referer: http://other.example/\r\nAccept: */*" + afterReferer, kDefaultAgent},
      // the caller's own agent line goes out instead of ours, in its spelling
      {"own agent", "User-Agent: Bot/2", "User-Agent: Bot/2\r\n" + defaults, "Bot/2"},
      {"small-letter agent", "user-agent: Bot/1", "user-agent: Bot/1\r\n" + defaults, "Bot/1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Text headers = c.given;
    EXPECT_EQ(BytesToText(HttpRequest(address, {}, {}, nullptr, nullptr, &headers)), "hello");
    EXPECT_EQ(headers, c.block);
    const RecordedRequest sent = server_->LastRequest();
    EXPECT_EQ(sent.HeaderCount("User-Agent"), 1);
    EXPECT_EQ(sent.Header("User-Agent"), c.agent);
    const Text ourAgentLine = c.agent == kDefaultAgent ? "User-Agent: " + kDefaultAgent + "\r\n" : "";
    EXPECT_EQ(sent.headerBlock,
              "GET /echo HTTP/1.1\r\n" + HostLine() + ourAgentLine + AsWireLines(c.block));
  }
}

TEST_F(HttpRequestTest, MethodsAndBodies) {
  struct Case {
    const char* name;
    std::optional<int> method;
    std::optional<Text> postText;
    Text postBytes;  // as given
    const char* verb;
    Text bodySent;
    Text result;
    Text postBytesAfter;
  } const cases[] = {
      // anything but 0..2 is GET, and GET sends no body
      {"method 7", 7, "a=1", "", "GET", "", "hello", ""},
      {"method -1", -1, "a=1", "", "GET", "", "hello", ""},
      {"GET ignores the body", 0, "a=1", "", "GET", "", "hello", ""},
      // the caller's postBytes is filled from postText
      {"POST of postText", 1, "a=1&b=2", "", "POST", "a=1&b=2", "a=1&b=2", "a=1&b=2"},
      {"POST of postBytes", 1, "ignored", std::string("x\0y", 3), "POST", std::string("x\0y", 3),
       std::string("x\0y", 3), std::string("x\0y", 3)},
      {"POST without body", 1, std::nullopt, "", "POST", "", "", ""},
      // HEAD sends its body like POST, and gets none back
      {"HEAD with body", 2, "q=1", "", "HEAD", "q=1", "", "q=1"},
      {"HEAD without body", 2, std::nullopt, "", "HEAD", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes postBytes = TextToBytes(c.postBytes);
    HttpOutcome outcome;
    const Bytes result = HttpRequest(Url("/echo"), c.method, c.postText, nullptr, nullptr, nullptr,
                                     nullptr, {}, &postBytes, {}, &outcome);
    EXPECT_EQ(outcome.error, "");
    EXPECT_EQ(outcome.status, 200);
    EXPECT_EQ(std::string(result.begin(), result.end()), c.result);
    EXPECT_EQ(std::string(postBytes.begin(), postBytes.end()), c.postBytesAfter);
    const RecordedRequest sent = server_->LastRequest();
    EXPECT_EQ(sent.method, c.verb);
    EXPECT_EQ(sent.body, c.bodySent);
    EXPECT_EQ(sent.HeaderCount("Expect"), 0);
    if (std::string(c.verb) == "POST" || !c.bodySent.empty()) {
      EXPECT_EQ(sent.Header("Content-Length"), std::to_string(c.bodySent.size()));
    } else {
      EXPECT_EQ(sent.HeaderCount("Content-Length"), 0);
    }
  }

  // a body large enough that curl would first ask for "100 Continue" goes at once
  const Text large(2 << 20, 'p');
  // (not as a form: the server would refuse a form that long)
  Text octets = "Content-Type: application/octet-stream";
  EXPECT_EQ(HttpRequest(Url("/echo"), 1, large, nullptr, nullptr, &octets).size(), large.size());
  EXPECT_EQ(server_->LastRequest().HeaderCount("Expect"), 0);
  EXPECT_EQ(server_->LastRequest().body.size(), large.size());

  // a HEAD with a body still follows redirects, and ends without waiting for
  // a body that never comes
  HttpOutcome outcome;
  Text responseHeaders;
  EXPECT_TRUE(HttpRequest(Url("/hop/2"), 2, "q=1", nullptr, nullptr, nullptr, &responseHeaders, {},
                          nullptr, {}, &outcome, TestLimits())
                  .empty());
  EXPECT_EQ(outcome.error, "");
  EXPECT_EQ(outcome.status, 200);
  EXPECT_EQ(server_->LastRequest().target, "/hop/0");
  EXPECT_NE(responseHeaders.find("\r\nContent-Length: 6\r\n"), std::string::npos);
}

TEST_F(HttpRequestTest, SuppliedCookiesAreSentAndMerged) {
  // a value becomes a cookie line; one that already is a line goes as it is
  Text cookies = "a=1";
  (void)HttpRequest(Url("/cookies/echo"), {}, {}, &cookies);
  EXPECT_EQ(server_->LastRequest().HeaderCount("Cookie"), 1);
  EXPECT_EQ(server_->LastRequest().Header("Cookie"), "a=1");
  cookies = "Cookie: x=9";
  (void)HttpRequest(Url("/cookies/echo"), {}, {}, &cookies);
  EXPECT_EQ(server_->LastRequest().HeaderCount("Cookie"), 1);
  EXPECT_EQ(server_->LastRequest().Header("Cookie"), "x=9");

  // the response's cookies come first, then the earlier ones they leave
  cookies = "b=0; z=9";
  Text responseCookies = "stale";
  Text responseHeaders;
  EXPECT_EQ(BytesToText(HttpRequest(Url("/cookies/set"), {}, {}, &cookies, &responseCookies,
                                    nullptr, &responseHeaders)),
            "set");
  EXPECT_EQ(responseCookies, "a=1; b=2; z=9");
  EXPECT_EQ(cookies, "a=1; b=2; z=9");
  EXPECT_EQ(responseHeaders.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
  EXPECT_NE(responseHeaders.find("\r\nSet-Cookie: a=1; path=/cookies\r\n"), std::string::npos);
  EXPECT_NE(responseHeaders.find("\r\nSet-Cookie: b=2\r\n"), std::string::npos);
  EXPECT_EQ(responseHeaders.find("set-cookie"), std::string::npos);
  // every line ends in CR LF; the blank line that closed the block is not kept
  EXPECT_EQ(responseHeaders.substr(responseHeaders.size() - 2), "\r\n");
  EXPECT_EQ(responseHeaders.find("\r\n\r\n"), std::string::npos);

  // supplied but empty: no cookie line, and still merged
  cookies.clear();
  (void)HttpRequest(Url("/cookies/set"), {}, {}, &cookies, &responseCookies);
  EXPECT_EQ(server_->LastRequest().HeaderCount("Cookie"), 0);
  EXPECT_EQ(cookies, "a=1; b=2");
  EXPECT_EQ(responseCookies, "a=1; b=2");
}

TEST_F(HttpRequestTest, ProcessCookieStoreServesCallsWithoutCookies) {
  Text responseCookies;
  (void)HttpRequest(Url("/cookies/set"), {}, {}, nullptr, &responseCookies);
  EXPECT_EQ(responseCookies, "a=1; b=2");
  (void)HttpRequest(Url("/cookies/echo"));
  const std::string stored = server_->LastRequest().Header("Cookie");
  EXPECT_NE(stored.find("a=1"), std::string::npos) << stored;
  EXPECT_NE(stored.find("b=2"), std::string::npos) << stored;

  // supplied cookies bypass the store both ways: nothing stored is added...
  Text cookies;
  (void)HttpRequest(Url("/cookies/echo"), {}, {}, &cookies);
  EXPECT_EQ(server_->LastRequest().HeaderCount("Cookie"), 0);
  // ...and nothing received is kept
  (void)HttpRequest(Url("/cookies/other"), {}, {}, &cookies);
  EXPECT_EQ(cookies, "c=3");
  (void)HttpRequest(Url("/cookies/echo"));
  EXPECT_EQ(server_->LastRequest().Header("Cookie").find("c=3"), std::string::npos);
}

TEST_F(HttpRequestTest, LongResponseHeadersAreCapturedWhole) {
  Text cookies, responseCookies, responseHeaders;
  EXPECT_EQ(BytesToText(HttpRequest(Url("/cookies/long"), {}, {}, &cookies, &responseCookies,
                                    nullptr, &responseHeaders)),
            "long");
  EXPECT_GT(responseHeaders.size(), 6000u);
  EXPECT_NE(responseHeaders.find("\r\nX-Long: " + std::string(6000, 'x') + "\r\n"), std::string::npos);
  EXPECT_EQ(responseCookies, "d=4");
}

TEST_F(HttpRequestTest, RedirectsFollowedUnlessTurnedOff) {
  HttpOutcome outcome;
  Text responseHeaders;
  EXPECT_EQ(BytesToText(HttpRequest(Url("/hop/3"), {}, {}, nullptr, nullptr, nullptr,
                                    &responseHeaders, {}, nullptr, {}, &outcome)),
            "landed");
  EXPECT_EQ(outcome.status, 200);
  // only the final response's headers remain
  EXPECT_EQ(responseHeaders.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
  EXPECT_EQ(responseHeaders.find("Location"), std::string::npos);

  EXPECT_EQ(BytesToText(HttpRequest(Url("/hop/3"), {}, {}, nullptr, nullptr, nullptr,
                                    &responseHeaders, true, nullptr, {}, &outcome)),
            "moved");
  EXPECT_EQ(outcome.status, 302);
  EXPECT_NE(responseHeaders.find("\r\nLocation: /hop/2\r\n"), std::string::npos);

  // a loop is given up after ten redirects
  server_->ClearRecords();
  EXPECT_TRUE(HttpRequest(Url("/loop"), {}, {}, nullptr, nullptr, nullptr, nullptr, {}, nullptr,
                          {}, &outcome)
                  .empty());
  EXPECT_NE(outcome.error, "");
  EXPECT_EQ(server_->Requests().size(), 11u);

  // only http and https are followed
  EXPECT_TRUE(HttpRequest(Url("/to-ftp"), {}, {}, nullptr, nullptr, nullptr, nullptr, {}, nullptr,
                          {}, &outcome)
                  .empty());
  EXPECT_NE(outcome.error, "");
}

TEST_F(HttpRequestTest, ErrorStatusBodiesComeBack) {
  struct Case {
    int status;
    bool transient;
    int retryAfter;
  } const cases[] = {{404, false, -1}, {500, true, -1}, {503, true, 7}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    HttpOutcome outcome;
    const std::string code = std::to_string(c.status);
    EXPECT_EQ(BytesToText(HttpRequest(Url("/status/" + code), {}, {}, nullptr, nullptr, nullptr,
                                      nullptr, {}, nullptr, {}, &outcome)),
              "status " + code);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.error, "");
    EXPECT_EQ(outcome.transient, c.transient);
    EXPECT_EQ(outcome.retryAfterSeconds, c.retryAfter);
  }
}

TEST_F(HttpRequestTest, NoServerGivesEmptyBytes) {
  struct Case {
    const char* name;
    std::string address;
    bool transient;
  } const cases[] = {
      {"refused port", "http://127.0.0.1:" + std::to_string(test::FreePort()) + "/", true},
      {"name that never resolves", "http://nothing.invalid/", true},
      {"empty address", "", false},
      {"query taken as part of the host", "http://127.0.0.1?x=1", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HttpOutcome outcome;
    Text requestHeaders, responseHeaders = "stale", responseCookies = "stale";
    const Bytes body = HttpRequest(c.address, {}, {}, nullptr, &responseCookies, &requestHeaders,
                                   &responseHeaders, {}, nullptr, {}, &outcome, TestLimits());
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(outcome.status, 0);
    EXPECT_NE(outcome.error, "");
    EXPECT_EQ(outcome.transient, c.transient);
    // the exchange went ahead as far as it could
    EXPECT_EQ(requestHeaders, DefaultBlockAfter(c.address));
    EXPECT_EQ(responseHeaders, "");
    EXPECT_EQ(responseCookies, "");
  }
}

TEST_F(HttpRequestTest, BodyOverTheCapFails) {
  HttpLimits limits = TestLimits();
  limits.maxBodyBytes = 1000;
  struct Case {
    const char* path;
    std::size_t size;  // 0: the exchange fails
  } const cases[] = {
      {"/bytes/1000", 1000}, {"/bytes/1001", 0}, {"/chunked/1000", 1000}, {"/chunked/5000", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    HttpOutcome outcome;
    const Bytes body = HttpRequest(Url(c.path), {}, {}, nullptr, nullptr, nullptr, nullptr, {},
                                   nullptr, {}, &outcome, limits);
    EXPECT_EQ(body.size(), c.size);
    EXPECT_EQ(outcome.status, 200);
    EXPECT_EQ(outcome.error.empty(), c.size != 0) << outcome.error;
  }
}

TEST_F(HttpRequestTest, SequentialCallsShareOneConnection) {
  server_->ClearRecords();
  for (int i = 0; i < 4; ++i) (void)HttpRequest(Url("/echo"));
  // from two threads one after the other
  for (int t = 0; t < 2; ++t) {
    std::thread([] {
      for (int i = 0; i < 2; ++i) (void)HttpRequest(Url("/echo"));
    }).join();
  }
  // calls that bring their own cookies, on a handle of their own
  for (int i = 0; i < 3; ++i) {
    Text cookies = "k=" + std::to_string(i);
    (void)HttpRequest(Url("/cookies/echo"), {}, {}, &cookies);
  }
  const std::vector<RecordedRequest> requests = server_->Requests();
  ASSERT_EQ(requests.size(), 11u);
  for (std::size_t i = 1; i < 8; ++i) EXPECT_EQ(requests[i].connection, requests[0].connection) << i;
  for (std::size_t i = 9; i < 11; ++i) EXPECT_EQ(requests[i].connection, requests[8].connection) << i;
}

TEST_F(HttpRequestTest, EventThreadKeepsDispatchingDuringTheTransfer) {
  gPumpCalls = 0;
  gEventThread = std::this_thread::get_id();
  const Text body = BytesToText(HttpRequest(Url("/wait-for-pump")));
  gEventThread = std::thread::id();
  EXPECT_EQ(body, "pumped");

  // on any other thread the call runs directly and dispatches nothing
  gPumpCalls = 0;
  EXPECT_EQ(BytesToText(HttpRequest(Url("/echo"))), "hello");
  EXPECT_EQ(gPumpCalls.load(), 0);
}

TEST_F(HttpRequestTest, ProxyIsUsedOnlyWhenGiven) {
  const std::string server = "127.0.0.1:" + std::to_string(server_->Port());
  const std::string proxies[] = {server, "https=127.0.0.1:1 http=" + server};
  for (const std::string& proxy : proxies) {
    SCOPED_TRACE(proxy);
    EXPECT_EQ(BytesToText(HttpRequest("http://proxied.invalid/x", {}, {}, nullptr, nullptr, nullptr,
                                      nullptr, {}, nullptr, proxy, nullptr, TestLimits())),
              "via proxy");
    EXPECT_EQ(server_->LastRequest().target, "http://proxied.invalid/x");
  }

  // without one, a proxy named in the environment is not used either
  const std::string nowhere = "http://127.0.0.1:" + std::to_string(test::FreePort());
  for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) {
    setenv(name, nowhere.c_str(), 1);
  }
  const Text body = BytesToText(HttpRequest(Url("/echo"), {}, {}, nullptr, nullptr, nullptr,
                                            nullptr, {}, nullptr, {}, nullptr, TestLimits()));
  for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) unsetenv(name);
  EXPECT_EQ(body, "hello");
}

// --- servers that misbehave -------------------------------------------------------

TEST(HttpRequestRawTest, BrokenTransfersGiveEmptyBytes) {
  struct Case {
    const char* name;
    RawServer::Script script;
    int status;  // of the response that began, 0 when none did
  } const cases[] = {
      {"stall before any reply",
       [](RawServer& server, int fd, const std::string&) { server.WaitForClose(fd); }, 0},
      {"stall inside the body",
       [](RawServer& server, int fd, const std::string&) {
         RawServer::SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nsome");
         server.WaitForClose(fd);
       },
       200},
      {"body cut short",
       [](RawServer&, int fd, const std::string&) {
         RawServer::SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this");
       },
       200},
      {"reset inside the body",
       [](RawServer&, int fd, const std::string&) {
         RawServer::SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly this");
         RawServer::Reset(fd);
       },
       200},
      {"closed without a reply", [](RawServer&, int, const std::string&) {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RawServer server(c.script);
    HttpOutcome outcome;
    Text responseHeaders;
    const Bytes body = HttpRequest(server.Url("/"), {}, {}, nullptr, nullptr, nullptr,
                                   &responseHeaders, {}, nullptr, {}, &outcome, TestLimits());
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_NE(outcome.error, "");
    EXPECT_TRUE(outcome.transient);
    // the headers of a response that began are kept, else there are none
    EXPECT_EQ(responseHeaders.empty(), c.status == 0);
  }
}

}  // namespace
}  // namespace vellumara
