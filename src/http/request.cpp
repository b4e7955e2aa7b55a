#include "http/request.h"

#include <curl/curl.h>
#include <strings.h>

#include <charconv>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "http/cookies.h"
#include "http/curl_handle.h"
#include "http/request_text.h"
#include "text/events.h"

namespace vellumara {

namespace {

using internal::CurlLease;
using internal::CurlList;

// Response headers beyond this are no honest reply; the exchange fails.
constexpr std::size_t kMaxHeaderBytes = 1 << 20;

// How long the window's thread waits between two rounds of its events.
constexpr auto kPumpInterval = std::chrono::milliseconds(5);

// What comes back over the wire, filled by curl's callbacks.
struct Received {
  long long maxBody = 0;
  Bytes body;
  std::string headers;  // the latest response's status line and headers, CR LF after each
  bool responseArrived = false;
  bool bodyOverCap = false;
  bool headersOverCap = false;

  // A HEAD that carries a body goes out as a custom request, for which curl
  // would wait for a body the server never sends: the transfer is ended at
  // the close of the final response's headers instead.
  bool endAfterHeaders = false;
  bool followRedirects = true;
  int status = 0;             // of the response being read
  bool hasLocation = false;   // ...and whether it named a new location
  bool endedAfterHeaders = false;
};

// One exchange as curl is to carry it out, and what came of it.
struct Transfer {
  std::string url;
  std::string proxyServer;  // empty: a direct connection
  std::string userAgent;
  std::vector<std::string> headerLines;
  int method = 0;
  Bytes body;  // sent for POST and HEAD
  bool followRedirects = true;
  bool useCookieStore = true;
  HttpLimits limits;

  bool started = false;  // a handle was had, so the exchange went ahead
  bool succeeded = false;
  Received received;
  HttpOutcome outcome;
};

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto& received = *static_cast<Received*>(user);
  const std::size_t n = size * count;
  if (static_cast<long long>(received.body.size() + n) > received.maxBody) {
    received.bodyOverCap = true;
    return 0;  // anything but n ends the transfer
  }
  try {
    received.body.insert(received.body.end(), data, data + n);
  } catch (...) {
    return 0;  // nothing may unwind through curl
  }
  return n;
}

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto& received = *static_cast<Received*>(user);
  const std::size_t n = size * count;
  std::string_view line(data, n);
  // Every response (a redirect, a 100 Continue, a proxy's answer) starts with
  // its status line; only the final response is kept.
  if (line.starts_with("HTTP/")) {
    received.headers.clear();
    received.body.clear();
    received.responseArrived = true;
    const std::size_t space = line.find(' ');
    received.status = 0;
    if (space != std::string_view::npos) {
      std::from_chars(line.data() + space + 1, line.data() + line.size(), received.status);
    }
    received.hasLocation = false;
  } else if (line.size() > 9 && strncasecmp(line.data(), "location:", 9) == 0) {
    received.hasLocation = true;
  }
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.empty()) {  // the blank line that ends the block
    const bool followed = received.followRedirects && received.hasLocation &&
                          (received.status == 301 || received.status == 302 ||
                           received.status == 303 || received.status == 307 ||
                           received.status == 308);
    if (received.endAfterHeaders && received.status >= 200 && !followed) {
      received.endedAfterHeaders = true;
      return 0;
    }
    return n;
  }
  if (received.headers.size() + line.size() + 2 > kMaxHeaderBytes) {
    received.headersOverCap = true;
    return 0;
  }
  try {
    for (const char c : line) {
      if (c != '\0') received.headers += c;  // Text holds no NUL
    }
    received.headers += "\r\n";
  } catch (...) {
    return 0;
  }
  return n;
}

// The proxy server curl is to use. The plain-address form "http=" + proxy
// names the proxy for plain http; the secure form passes the text itself, a
// bare server serving every scheme. Both come down to the server named in the
// text. A per-scheme list ("http=a:8080 https=b:8443") gives the entry for
// the address's scheme, else a bare entry, else none.
std::string ProxyServer(const Text& proxy, bool secure) {
  const std::string wanted = secure ? "https" : "http";
  std::string bare;
  std::size_t begin = 0;
  while (begin < proxy.size()) {
    std::size_t end = proxy.find_first_of(" \t;", begin);
    if (end == Text::npos) end = proxy.size();
    const std::string entry = proxy.substr(begin, end - begin);
    begin = end + 1;
    if (entry.empty()) continue;
    const std::size_t equals = entry.find('=');
    if (equals == std::string::npos) {
      if (bare.empty()) bare = entry;
    } else if (ToLowerCase(entry.substr(0, equals)) == wanted) {
      return entry.substr(equals + 1);
    }
  }
  return bare;
}

bool IsTransientStatus(long status) {
  return status == 408 || status == 429 || status == 500 || status == 502 || status == 503 ||
         status == 504;
}

bool IsTransientError(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
      return true;
    default:
      return false;
  }
}

// The one place where curl's result becomes ours.
void RecordResult(Transfer& t, CURLcode code, long status, const char* errorBuffer) {
  const Received& received = t.received;
  HttpOutcome& outcome = t.outcome;
  outcome.status = received.responseArrived ? static_cast<int>(status) : 0;
  outcome.retryAfterSeconds = internal::RetryAfterSeconds(received.headers);
  if (code == CURLE_OK || (code == CURLE_WRITE_ERROR && received.endedAfterHeaders)) {
    t.succeeded = true;
    outcome.error.clear();
    outcome.transient = IsTransientStatus(status);
    return;
  }
  t.succeeded = false;
  if (received.bodyOverCap || code == CURLE_FILESIZE_EXCEEDED) {
    outcome.error = "response body larger than " + std::to_string(t.limits.maxBodyBytes) + " bytes";
  } else if (received.headersOverCap) {
    outcome.error = "response headers larger than " + std::to_string(kMaxHeaderBytes) + " bytes";
  } else {
    outcome.error = curl_easy_strerror(code);
    if (errorBuffer[0] != '\0') {
      outcome.error += ": ";
      outcome.error += errorBuffer;
    }
  }
  outcome.transient = IsTransientError(code);
}

// Runs the exchange on the calling thread. The handle is borrowed and given
// back here, so the whole of it stays on one thread.
void Perform(Transfer& t) {
  CurlList headers;
  for (const std::string& line : t.headerLines) {
    if (!internal::CurlListAppend(headers, line.c_str())) return;
  }
  // Our "Accept: */*" line stands in for curl's own; a caller line that
  // merely mentions "Accept:" must not bring curl's back either. No
  // "Expect: 100-continue" before a body: the body goes at once.
  if (!internal::CurlListAppend(headers, "Accept:") ||
      !internal::CurlListAppend(headers, "Expect:")) {
    return;
  }
  // A redirect's headers end such a HEAD only when curl gives up the
  // connection after them rather than wait for the redirect's body.
  if (t.method == 2 && !t.body.empty() && !internal::CurlListAppend(headers, "Connection: close")) {
    return;
  }

  CurlLease lease = CurlLease::Borrow(t.useCookieStore);
  if (!lease) {
    t.outcome.error = "no HTTP handle could be made";
    return;
  }
  t.started = true;
  CURL* const h = lease.get();
  t.received.maxBody = t.limits.maxBodyBytes;
  t.received.followRedirects = t.followRedirects;
  t.received.endAfterHeaders = t.method == 2 && !t.body.empty();
  char errorBuffer[CURL_ERROR_SIZE] = {};

  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_URL, t.url.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(h, CURLOPT_PATH_AS_IS, 1L);  // the path goes out as the address spells it
  // An empty proxy means none at all: curl must not fall back on http_proxy
  // and the like from the environment, nor on no_proxy.
  curl_easy_setopt(h, CURLOPT_PROXY, t.proxyServer.c_str());
  curl_easy_setopt(h, CURLOPT_NOPROXY, "");
  curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(h, CURLOPT_USERAGENT, t.userAgent.c_str());
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());

  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, t.followRedirects ? 1L : 0L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, t.limits.maxRedirects);
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");

  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, t.limits.connectTimeoutSeconds);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, t.limits.lowSpeedSeconds);
  curl_easy_setopt(h, CURLOPT_TIMEOUT, t.limits.totalSeconds);
  curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(t.limits.maxBodyBytes));

  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &t.received);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &t.received);

  // Never a body to POSTFIELDS that is a null pointer: curl would then read
  // the body from stdin.
  static const char kNoBody[] = "";
  const char* const bodyData =
      t.body.empty() ? kNoBody : reinterpret_cast<const char*>(t.body.data());
  const auto bodySize = static_cast<curl_off_t>(t.body.size());
  switch (t.method) {
    case 1:
      curl_easy_setopt(h, CURLOPT_POST, 1L);
      curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, bodySize);
      curl_easy_setopt(h, CURLOPT_POSTFIELDS, bodyData);
      break;
    case 2:
      if (t.body.empty()) {
        curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
      } else {
        // NOBODY would drop our body, so the body goes as for a POST under
        // the name HEAD (see Received::endAfterHeaders)
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, bodySize);
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, bodyData);
        curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, "HEAD");
      }
      break;
    default:
      curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
      break;
  }

  const CURLcode code = curl_easy_perform(h);
  long status = 0;
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
  RecordResult(t, code, status, errorBuffer);
  if (!t.succeeded) t.received.body.clear();
}

// Runs the exchange on a helper thread while the window's thread keeps
// dispatching its events, so the window repaints and answers input. A fresh
// thread per call: an event handler may itself start an exchange.
void PerformWhilePumping(Transfer& t) {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::thread helper;
  try {
    helper = std::thread([&] {
      Perform(t);
      std::lock_guard<std::mutex> lock(mutex);
      done = true;
      finished.notify_one();
    });
  } catch (const std::system_error&) {
    Perform(t);  // no thread to be had: block, but still do the work
    return;
  }
  std::unique_lock<std::mutex> lock(mutex);
  while (!done) {
    lock.unlock();
    PumpEvents();
    lock.lock();
    finished.wait_for(lock, kPumpInterval, [&] { return done; });
  }
  lock.unlock();
  helper.join();
}

}  // namespace

void HttpGlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

Bytes HttpRequest(const Text& address, std::optional<int> method,
                  const std::optional<Text>& postText, Text* cookies, Text* responseCookies,
                  Text* requestHeaders, Text* responseHeaders, std::optional<bool> noRedirect,
                  Bytes* postBytes, const std::optional<Text>& proxy, HttpOutcome* outcome,
                  const HttpLimits& limits) {
  HttpGlobalInit();
  HttpOutcome unused;
  HttpOutcome& result = outcome != nullptr ? *outcome : unused;
  result = HttpOutcome{};

  int verb = method.value_or(0);
  if (verb < 0 || verb > 2) verb = 0;
  const bool secure = ToLowerCase(TextLeft(address, 8)) == "https://";
  const Text none;
  const Text& callerHeaders = requestHeaders != nullptr ? *requestHeaders : none;

  Transfer t;
  t.method = verb;
  t.userAgent = internal::RequestUserAgent(callerHeaders);
  const Text block =
      internal::RequestHeaderBlock(address, callerHeaders, cookies != nullptr ? *cookies : none);
  t.headerLines = internal::WireHeaderLines(block);
  bool bodyFromText = false;
  if (verb != 0) {
    if (postBytes != nullptr && !postBytes->empty()) {
      t.body = *postBytes;
    } else {
      t.body = TextToBytes(postText.value_or(Text{}));
      bodyFromText = true;
    }
  }
  t.proxyServer = ProxyServer(proxy.value_or(Text{}), secure);
  t.followRedirects = !noRedirect.value_or(false);
  // The caller's cookies bypass the process store: nothing stored is added
  // and nothing received is kept.
  t.useCookieStore = cookies == nullptr;
  t.limits = limits;

  if (std::optional<std::string> url = internal::RequestUrl(address)) {
    t.url = std::move(*url);
    if (OnEventThread()) {
      PerformWhilePumping(t);
    } else {
      Perform(t);
    }
    if (!t.started) {
      result = t.outcome;
      return {};  // no handle: nothing touched
    }
  } else {
    // as good as a name that does not resolve
    t.outcome.error = "no server can be reached at this address";
  }

  if (requestHeaders != nullptr) *requestHeaders = block;
  if (bodyFromText && postBytes != nullptr) *postBytes = t.body;
  const Text receivedHeaders = internal::RespellSetCookie(t.received.headers);
  if (responseHeaders != nullptr) *responseHeaders = receivedHeaders;
  Text received = internal::ResponseCookies(receivedHeaders);
  if (cookies != nullptr) {
    Text merged = MergeCookies(*cookies, received);
    received = std::move(merged);
  }
  if (responseCookies != nullptr) *responseCookies = received;
  result = t.outcome;
  return t.succeeded ? std::move(t.received.body) : Bytes{};
}

}  // namespace vellumara
