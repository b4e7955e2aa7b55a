// Conversion between code page 936 and UTF-8, over iconv.
//
//   Text reply = Utf8ToGbk(body);            // what the search service sends
//   std::string shown = GbkToUtf8(cell);     // what the window displays
//
// Neither conversion fails: what cannot be converted becomes '?'.
#pragma once

#include <string>
#include <string_view>

#include "text/text.h"

namespace vellumara {

// Utf8ToGbk: the UTF-8 bytes as code page 936 Text. Invalid UTF-8 sequences and
// characters code page 936 lacks come out as '?'; the result ends before the
// first NUL byte, as BytesToText does.
[[nodiscard]] Text Utf8ToGbk(const Bytes& data);
[[nodiscard]] Text Utf8ToGbk(std::string_view data);

// GbkToUtf8: code page 936 bytes as UTF-8 for display. Invalid or cut
// double-byte characters come out as '?'.
[[nodiscard]] std::string GbkToUtf8(std::string_view text);

}  // namespace vellumara
