#include "http/request_text.h"

#include <cstdio>

#include "http/url.h"
#include "text/markers.h"

namespace vellumara::internal {

namespace {

// A line break inside the agent would let it write a header of its own.
Text CutAtLineBreak(Text text) {
  const std::size_t end = text.find_first_of("\r\n");
  if (end != Text::npos) text.resize(end);
  return text;
}

bool IsHostByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
}

}  // namespace

Text RequestUserAgent(const Text& requestHeaders) {
  if (FindText(requestHeaders, "User-Agent:", std::nullopt, true) == -1) return kDefaultUserAgent;
  Text agent = TrimSpaces(TextBetween(requestHeaders + "\r\n", "User-Agent:", "\r\n"));
  // a small-letter "user-agent:" is missed by the exact search above
  if (agent.empty()) agent = HeaderValue(requestHeaders);
  return CutAtLineBreak(std::move(agent));
}

Text RequestHeaderBlock(const Text& address, const Text& requestHeaders, const Text& cookies) {
  Text block = requestHeaders;
  if (block.empty()) {
    block = "Accept: */*";
  } else if (FindText(block, "Accept:") == -1) {
    block += "\r\nAccept: */*";
  }
  if (FindText(block, "Referer:") == -1) block += "\r\nReferer: " + address;
  if (FindText(block, "Accept-Language:") == -1) block += "\r\nAccept-Language: zh-cn";
  if (FindText(block, "Content-Type:") == -1) {
    block += "\r\nContent-Type: application/x-www-form-urlencoded";
  }
  // added even when the caller's lines already hold a cookie line
  if (!cookies.empty()) {
    if (FindText(cookies, "Cookie:") != -1) {
      block += "\r\n" + cookies;
    } else {
      block += "\r\nCookie: " + cookies;
    }
  }
  return block;
}

std::vector<std::string> WireHeaderLines(const Text& block) {
  std::vector<std::string> lines;
  std::size_t begin = 0;
  while (begin <= block.size()) {
    std::size_t end = block.find_first_of("\r\n", begin);
    if (end == Text::npos) end = block.size();
    std::string line = block.substr(begin, end - begin);
    begin = end + 1;
    if (line.empty()) continue;
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos &&
        line.find_first_not_of(" \t", colon + 1) == std::string::npos) {
      // curl drops "Name:" with nothing after it, but sends "Name;" as "Name:"
      line.resize(colon);
      line += ';';
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

std::optional<std::string> RequestUrl(const Text& address) {
  for (const char c : address) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return std::nullopt;
  }
  const Text host = UrlHost(address);
  if (host.empty()) return std::nullopt;
  for (const char c : host) {
    if (!IsHostByte(static_cast<unsigned char>(c))) return std::nullopt;
  }
  const int port = UrlPort(address);
  if (port < 1 || port > 65535) return std::nullopt;

  const bool secure = ToLowerCase(TextLeft(address, 8)) == "https://";
  std::string url = secure ? "https://" : "http://";
  url += host;
  url += ':';
  url += std::to_string(port);
  for (const char c : UrlPath(address)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == ' ' || byte >= 0x7F) {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
      url += escaped;
    } else {
      url += c;
    }
  }
  return url;
}

Text RespellSetCookie(const Text& responseHeaders) {
  return ReplaceSubtext(responseHeaders, "Set-Cookie", "Set-Cookie", std::nullopt, std::nullopt,
                        false);
}

Text ResponseCookies(const Text& responseHeaders) {
  const TextList lines = SplitText(responseHeaders, "\r\n");
  Text cookies;
  for (int i = 1; i <= TextListCount(lines); ++i) {
    const Text& line = TextListItem(lines, i);
    if (FindText(line, "Set-Cookie") == -1) continue;
    Text value;
    if (FindText(line, ";") == -1) {
      value = TrimSpaces(
          ReplaceSubtext(line, "Set-Cookie:", std::nullopt, std::nullopt, std::nullopt, false));
    } else {
      value = TrimSpaces(TextBetween(line, "Set-Cookie:", ";"));
    }
    cookies += value;
    cookies += "; ";
  }
  return TextLeft(cookies, TextLength(cookies) - 2);
}

int RetryAfterSeconds(const Text& responseHeaders) {
  const TextList lines = SplitText(responseHeaders, "\r\n");
  for (int i = 1; i <= TextListCount(lines); ++i) {
    const Text& line = TextListItem(lines, i);
    if (ToLowerCase(TextLeft(line, 12)) != "retry-after:") continue;
    const std::size_t first = line.find_first_not_of(" \t", 12);
    if (first == Text::npos) return -1;
    const std::size_t last = line.find_last_not_of(" \t");
    const std::string value = line.substr(first, last - first + 1);
    // more digits than fit would be no sensible wait anyway
    if (value.size() > 9 || value.find_first_not_of("0123456789") != std::string::npos) return -1;
    return std::stoi(value);
  }
  return -1;
}

}  // namespace vellumara::internal
