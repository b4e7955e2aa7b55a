// Cutting text out between marker strings, and chained replacement pairs.
#include "text/markers.h"

#include "text/events.h"

namespace vellumara {

namespace {

// "#引号" in GBK: lets a caller write a double quote inside a marker.
constexpr std::string_view kQuoteToken = "#\xd2\xfd\xba\xc5";

Text ExpandQuoteToken(std::string_view marker) {
  return ReplaceSubtext(marker, kQuoteToken, "\"", std::nullopt, std::nullopt, true);
}

}  // namespace

Text TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                 std::optional<int> startPos, std::optional<bool> ignoreCase) {
  const bool fold = ignoreCase.value_or(false);
  const Text start = ExpandQuoteToken(startMarker);
  const Text end = ExpandQuoteToken(endMarker);
  int s = FindText(text, start, startPos.value_or(0), fold);
  if (s == -1) return {};
  s += TextLength(start);
  const int e = FindText(text, end, s, fold);
  if (e == -1) return {};
  return TextMid(text, s, e - s);
}

int ExtractAllBetween(std::string_view text, std::string_view startMarker,
                      std::string_view endMarker, TextList& list, const ExtractOptions& options) {
  TextListClear(list);
  const bool fold = !options.matchCase.value_or(false);
  const int maxLength = options.maxLength.value_or(0);
  const std::string_view prefix = options.prefix ? std::string_view(*options.prefix) : "";
  const std::string_view suffix = options.suffix ? std::string_view(*options.suffix) : "";
  const bool keepStart = options.keepStartMarker.value_or(false);
  const bool keepEnd = options.keepEndMarker.value_or(false);
  const int startLength = TextLength(startMarker);

  int pos = options.startPos.value_or(0);
  // With non-empty markers every start marker found lies after the one before.
  // An empty start marker is always "found" at 1, and an empty end marker with
  // a prefix or suffix sends the search back to the start: either would repeat
  // the same item for ever, so a start marker that does not move ends the
  // collection.
  int lastFound = 0;
  for (;;) {
    const int f = FindText(text, startMarker, pos, fold);
    if (f == -1 || f <= lastFound) break;
    lastFound = f;
    const int after = f + startLength;
    const int g = FindText(text, endMarker, after, fold);
    if (g == -1) break;

    Text item = ConcatText(prefix, TrimSpaces(TextMid(text, after, g - after)), suffix);
    if (!item.empty()) {
      if (keepStart || keepEnd) {
        item = ConcatText(keepStart ? startMarker : std::string_view(), item,
                          keepEnd ? endMarker : std::string_view());
      }
      if (maxLength != 0) {
        if (TextLength(item) < maxLength) TextListAppend(list, item);
        PumpEvents();
      } else {
        TextListAppend(list, item);
      }
      pos = g;  // the end marker may open the next item
    } else {
      pos = after;
    }
    PumpEvents();
    PumpEvents();
    PumpEvents();
  }
  return TextListCount(list);
}

Text ReplacePairs(std::string_view text, std::optional<int> count, std::optional<int> startPos,
                  std::optional<bool> matchCase, std::string_view find1, std::string_view replace1,
                  std::string_view find2, std::string_view replace2, std::string_view find3,
                  std::string_view replace3, std::string_view find4, std::string_view replace4,
                  std::string_view find5, std::string_view replace5) {
  int start = startPos.value_or(0);
  if (start == 0) start = 1;
  const bool caseSensitive = matchCase.value_or(false);
  const std::string_view finds[] = {find1, find2, find3, find4, find5};
  const std::string_view replacements[] = {replace1, replace2, replace3, replace4, replace5};
  Text result(text);
  for (int k = 0; k < 5; ++k) {
    if (finds[k].empty()) continue;  // an empty find text changes nothing
    result = ReplaceSubtext(result, finds[k], replacements[k], start, count, caseSensitive);
  }
  return result;
}

Text HeaderValue(std::string_view line) {
  const int p = FindText(line, ":", std::nullopt, false);
  if (p == -1) return {};
  return TrimSpaces(TextRight(line, TextLength(line) - p));
}

}  // namespace vellumara
