// The text work of one HTTP exchange, kept apart from the transfer so that it
// can be checked with literal text: the header block, the user agent, the
// address curl is given, and what is read back out of the response headers.
//
//   Text block = RequestHeaderBlock("http://site.example/a", "", "");
//   // "Accept: */*\r\nReferer: http://site.example/a\r\n..."
//
// Private to src/http; positions and case rules are those of text/text.h.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "text/text.h"

namespace vellumara::internal {

inline constexpr char kDefaultUserAgent[] = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// RequestUserAgent: the agent named in requestHeaders when a "User-Agent:"
// line is there (name found in any letter case), else the default agent. Cut
// at the first CR or LF, so it can never add a header line of its own.
[[nodiscard]] Text RequestUserAgent(const Text& requestHeaders);

// RequestHeaderBlock: requestHeaders with the default lines it lacks
// ("Accept:", "Referer:", "Accept-Language:", "Content-Type:", each looked for
// in exact case) and, when cookies is not empty, the cookie line; lines joined
// by CR LF with none after the last.
[[nodiscard]] Text RequestHeaderBlock(const Text& address, const Text& requestHeaders,
                                      const Text& cookies);

// WireHeaderLines: the header block cut into the lines curl sends. Every CR
// or LF ends a line (a lone one would otherwise reach the wire inside a
// header); empty lines go, since one would end the header section early. A
// line with a name and no value is written "Name;", curl's spelling for an
// empty header that is still sent.
[[nodiscard]] std::vector<std::string> WireHeaderLines(const Text& block);

// RequestUrl: the address as curl is to fetch it, built from UrlHost, UrlPort
// and UrlPath with the scheme of a secure ("https://") address; nullopt when
// that host, port or path cannot be sent (no host, a host with bytes no host
// name has, a port outside 1..65535, a control byte in the path). Spaces and
// bytes from 0x7F up are percent-encoded in the path; the server decodes them
// to the same bytes.
[[nodiscard]] std::optional<std::string> RequestUrl(const Text& address);

// RespellSetCookie: every "Set-Cookie", in any letter case, written with
// exactly those letters.
[[nodiscard]] Text RespellSetCookie(const Text& responseHeaders);

// ResponseCookies: "a=1; b=2" from the lines of responseHeaders that hold
// "Set-Cookie" (exact case): the value of each up to its first ";". Empty when
// there is none.
[[nodiscard]] Text ResponseCookies(const Text& responseHeaders);

// RetryAfterSeconds: the Retry-After header of responseHeaders in seconds; -1
// when it is absent or not a plain number of seconds (an HTTP date is ignored).
[[nodiscard]] int RetryAfterSeconds(const Text& responseHeaders);

}  // namespace vellumara::internal
