// Address decomposition. Every step is a text primitive with its own edge rules
// (positions from 1, -1 for nothing found, clamped counts); the results the
// request routine sees, odd ones included, follow from those rules.
#include "http/url.h"

#include <utility>

#include "text/markers.h"

namespace vellumara {

namespace {

bool Equal(std::string_view a, std::string_view b) { return CompareText(a, b) == 0; }

// Cut a ":port" off unless the caller wants it kept.
Text DropPort(Text s, bool keepPort) {
  if (keepPort) {
    return s;
  }
  const int m = FindText(s, ":", std::nullopt, false);
  if (m == -1) {
    return s;
  }
  return TextLeft(s, m - 1);
}

// The text between the scheme and the next "/"; the address always gets a
// slash at its end first, so a bare host still has one after it.
Text StandardHost(std::string_view address, bool mainDomain) {
  Text s = ToLowerCase(address);
  if (!Equal(TextRight(s, 1), "/")) {
    s = ConcatText(s, "/");
  }
  if (Equal(TextLeft(s, 8), "https://")) {
    s = TextBetween(s, "https://", "/");
  } else {
    if (FindText(s, "http://", std::nullopt, false) == -1) {
      s = ConcatText("http://", s);
    }
    s = TextBetween(s, "http://", "/");
  }
  if (mainDomain) {
    // A port still sticks to the last label here and stays with it.
    const TextList labels = SplitText(s, ".");
    const int n = TextListCount(labels);
    if (n > 1) {
      s = ConcatText(TextListItem(labels, n - 1), ".", TextListItem(labels, n));
    }
  }
  return s;
}

// The host cut down to a number of labels counted from the right, by stepping
// through its dots from the end.
Text LevelHost(std::string_view address, bool mainDomain, int levels) {
  Text s = ToLowerCase(address);
  s = ReplaceSubtext(s, "http://", "", std::nullopt, std::nullopt, true);
  s = ReplaceSubtext(s, "https://", "", std::nullopt, std::nullopt, true);
  const int slash = FindText(s, "/", std::nullopt, false);
  if (slash != -1) {
    s = TextLeft(s, slash - 1);
  }
  const int length = TextLength(s);
  int p = length;
  for (int i = 0; i < levels; ++i) {
    // Once no dot is left, p is -1 and every further search gives -1 again.
    p = FindTextReverse(s, ".", p, false);
  }
  const int q = FindTextReverse(s, ".", p, false);
  if (mainDomain) {
    // q = -1 asks for length + 1 bytes, which is all of s.
    return TextRight(s, length - q);
  }
  if (q != -1) {
    const int r = FindTextReverse(s, ".", q, false);
    if (r != -1) {
      return TextRight(s, length - r);
    }
  }
  return s;
}

}  // namespace

Text UrlHost(std::string_view address, std::optional<bool> mainDomain,
             std::optional<bool> keepPort, std::optional<int> levels) {
  const bool domainOnly = mainDomain.value_or(false);
  Text s = levels.has_value() ? LevelHost(address, domainOnly, *levels)
                              : StandardHost(address, domainOnly);
  return DropPort(std::move(s), keepPort.value_or(false));
}

std::int32_t UrlPort(std::string_view address) {
  const Text host = UrlHost(address, std::nullopt, true, std::nullopt);
  const int m = FindTextReverse(host, ":", std::nullopt, false);
  if (m != -1) {
    return TextToInt(TextRight(host, TextLength(host) - m));
  }
  // Only the five letters count, so a bare host named "httpsrv..." gets 443.
  return Equal(TextLeft(ToLowerCase(address), 5), "https") ? 443 : 80;
}

Text UrlPath(std::string_view address) {
  const Text host = UrlHost(address);
  const int a = FindText(address, host, 1, true);
  // a = -1 makes the search start at the first byte.
  const int b = FindText(address, "/", a, true);
  if (b <= 0) {
    return "/";
  }
  return TextRight(address, TextLength(address) - b + 1);
}

}  // namespace vellumara
