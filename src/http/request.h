// One complete HTTP exchange per call.
//
//   Bytes page = HttpRequest(address);                 // GET, default headers
//   HttpOutcome outcome;
//   Bytes chapter = HttpRequest(address, {}, {}, nullptr, nullptr, nullptr,
//                               nullptr, {}, nullptr, {}, &outcome);
//   if (outcome.status != 200) ...
//
// Every failure gives empty Bytes. An optional by-reference argument is a
// pointer: nullptr means "left out"; the routine then works on a temporary.
// Safe to call from any thread. Called on the window's thread, the transfer runs
// on a helper thread while the window keeps dispatching its events.
#pragma once

#include <optional>
#include <string>

#include "text/text.h"

namespace vellumara {

// What an exchange came to, for callers that must tell the user the truth.
struct HttpOutcome {
  int status = 0;             // HTTP status of the final response; 0 when none arrived
  std::string error;          // empty when a response arrived whole; else why not
  bool transient = false;     // worth retrying: connection error, time-out, 408/429/5xx
  int retryAfterSeconds = -1; // the final response's Retry-After in seconds, -1 when absent
};

// Limits that keep a call from hanging or exhausting memory. The defaults are
// the shipped ones; tests pass shorter ones.
struct HttpLimits {
  long connectTimeoutSeconds = 30;
  long lowSpeedSeconds = 60;          // abort when under 1 byte/s for this long
  long totalSeconds = 600;            // abort an exchange that lasts longer, however it trickles
  long maxRedirects = 10;
  long long maxBodyBytes = 64LL << 20;
};

// HttpRequest: the response body of one exchange with `address`.
//  method: 0 GET, 1 POST, 2 HEAD; anything else GET.
//  postText: the body when *postBytes is empty and the method is not GET.
//  cookies: supplied (non-null) means: send it, bypass the process-wide cookie
//    store, and receive the merged cookie text back.
//  responseCookies: the cookies the response set, "a=1; b=2".
//  requestHeaders: extra header lines in; the whole header block as sent out.
//  responseHeaders: the final response's status line and headers, each with CR
//    LF, "Set-Cookie" spelt so whatever the server wrote.
//  noRedirect: true returns a redirect response instead of following it.
//  postBytes: the body; filled from postText when empty (POST, HEAD).
//  proxy: proxy server; empty for a direct connection (environment ignored).
//  outcome: status and error of the exchange.
// Empty Bytes on failure: no connection, a time-out, a body over the cap, a
// transfer cut short.
[[nodiscard]] Bytes HttpRequest(const Text& address, std::optional<int> method = std::nullopt,
                                const std::optional<Text>& postText = std::nullopt,
                                Text* cookies = nullptr, Text* responseCookies = nullptr,
                                Text* requestHeaders = nullptr, Text* responseHeaders = nullptr,
                                std::optional<bool> noRedirect = std::nullopt,
                                Bytes* postBytes = nullptr,
                                const std::optional<Text>& proxy = std::nullopt,
                                HttpOutcome* outcome = nullptr,
                                const HttpLimits& limits = HttpLimits{});

// HttpGlobalInit: sets up the HTTP library for the process. Call once in main
// before any other thread starts; HttpRequest also calls it on first use.
void HttpGlobalInit();

}  // namespace vellumara
