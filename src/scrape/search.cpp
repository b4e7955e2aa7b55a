#include "scrape/search.h"

#include "http/request.h"
#include "scrape/phrases.h"
#include "text/codepage.h"
#include "text/events.h"
#include "text/markers.h"

namespace vellumara {

Text SearchAddress(std::string_view name, std::string_view endpoint) {
  // The name goes into the query as its code page 936 bytes; encoding them keeps
  // a space, "&" or "#" in the name from ending or changing the query.
  static constexpr char kHex[] = "0123456789ABCDEF";
  Text encoded;
  encoded.reserve(name.size() * 3);
  for (unsigned char c : name) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                 c == '-' || c == '.' || c == '_' || c == '~';
    if (plain) {
      encoded += static_cast<char>(c);
    } else {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 0x0F];
    }
  }
  return ConcatText(endpoint, encoded, "&s=", SearchSiteId, "&nsid=&entry=1");
}

Text SearchNovels(const Text& name, Control* resultList, const SiteSettings& settings) {
  const Phrases& p = ScrapePhrases();
  PumpEvents();
  SetStatus(p.searching);

  HttpOutcome outcome;
  Bytes reply = HttpRequest(SearchAddress(name, settings.searchEndpoint), {}, {}, nullptr, nullptr,
                            nullptr, nullptr, {}, nullptr, {}, &outcome, settings.limits);
  if (outcome.status == 0) return p.searchNoReply;
  if (outcome.status >= 400) return ConcatText(p.searchHttpError, std::to_string(outcome.status));
  if (!outcome.error.empty()) return p.searchBroken;

  Text page = Utf8ToGbk(reply);
  TextList blocks;
  ExtractAllBetween(page, p.blockStart, p.blockEnd, blocks);
  const int count = TextListCount(blocks);
  for (int i = 1; i <= count; ++i) {
    PumpEvents();
    // Without spaces the link's attributes stand next to each other, which the
    // address and name markers rely on.
    Text block = ReplacePairs(TextListItem(blocks, i), {}, {}, {}, " ", "", "\r\n", "", "<em>", "",
                              "</em>", "");
    Text address = TextBetween(block, p.addressStart, p.addressEnd);
    Text bookName = TextBetween(block, p.nameStart, p.nameEnd);
    Text intro = TextBetween(block, p.introStart, p.introEnd);
    Text author = TextBetween(block, p.authorStart, p.authorEnd);
    if (CompareText(intro, "") == 0) intro = p.noIntro;

    int row = ListAppendRow(resultList);
    ListSetCell(resultList, row, 0, address);
    ListSetCell(resultList, row, 1, bookName);
    ListSetCell(resultList, row, 2, intro);
    ListSetCell(resultList, row, 3, author);
  }
  return p.searchDone;
}

}  // namespace vellumara
