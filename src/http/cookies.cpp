// Cookie merging, purely on the text: items are split at ";" and compared by
// the name before their "=", byte for byte.
#include "http/cookies.h"

#include <utility>

namespace vellumara {

namespace {

bool Equal(std::string_view a, std::string_view b) { return CompareText(a, b) == 0; }

}  // namespace

Text MergeCookies(Text& oldCookies, Text& newCookies) {
  // Spaces go first, so "a=1; b=2" and "a=1;b=2" split alike. Values lose
  // their inner spaces too; the caller sees both stripped texts.
  Text kept = RemoveAllSpaces(oldCookies);
  Text received = RemoveAllSpaces(newCookies);

  const TextList earlier = SplitText(kept, ";");
  TextList merged = SplitText(received, ";");
  // merged grows while we go, so of several earlier items of one name only the
  // first gets in, and none gets in beside a new item of that name.
  for (int i = 1; i <= TextListCount(earlier); ++i) {
    const Text& item = TextListItem(earlier, i);
    if (!CookieNamePresent(merged, CookieName(item))) {
      TextListAppend(merged, item);
    }
  }

  Text joined;
  for (int i = 1; i <= TextListCount(merged); ++i) {
    const Text& item = TextListItem(merged, i);
    // A server deletes a cookie by setting it to "deleted".
    if (!Equal(TextRight(item, 8), "=deleted")) {
      joined = ConcatText(joined, item, "; ");
    }
  }
  joined = TextLeft(joined, TextLength(joined) - 2);
  joined = RemoveDuplicateItems(joined, "; ");

  // newCookies first: should both names refer to one variable, it ends up
  // holding the result, as oldCookies must.
  newCookies = std::move(received);
  oldCookies = joined;
  return joined;
}

Text CookieName(std::string_view cookie) {
  const int m = FindText(cookie, "=", std::nullopt, false);
  if (m == -1) {
    return TrimSpaces(cookie);
  }
  return TrimSpaces(TextLeft(cookie, m - 1));
}

bool CookieNamePresent(const TextList& list, std::string_view name) {
  for (int i = 1; i <= TextListCount(list); ++i) {
    if (Equal(CookieName(TextListItem(list, i)), name)) {
      return true;
    }
  }
  return false;
}

Text RemoveDuplicateItems(std::string_view text, std::string_view separator) {
  const TextList items = SplitText(text, separator);
  TextList kept;
  Text out;
  for (int i = 1; i <= TextListCount(items); ++i) {
    const Text& item = TextListItem(items, i);
    if (IndexInList(kept, item) == -1) {
      TextListAppend(kept, item);
      out = ConcatText(out, item, separator);
    }
  }
  return TextLeft(out, TextLength(out) - TextLength(separator));
}

int IndexInList(const TextList& list, std::string_view text) {
  for (int i = 1; i <= TextListCount(list); ++i) {
    if (Equal(TextListItem(list, i), text)) {
      return i;
    }
  }
  return -1;
}

}  // namespace vellumara
