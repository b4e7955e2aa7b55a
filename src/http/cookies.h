// Folding the cookies a response set into the cookie text a caller keeps.
//
//   Text kept = "a=1; b=2; c=3", got = "b=20; c=deleted; d=4";
//   Text merged = MergeCookies(kept, got);   // "b=20; d=4; a=1"
//
// Purely textual: no attribute is interpreted. Comparisons are exact.
#pragma once

#include <string_view>

#include "text/text.h"

namespace vellumara {

// MergeCookies: the new cookies first, then the earlier ones whose name the new
// ones lack, without items ending in "=deleted" and without exact duplicates,
// joined by "; ". Rewrites both arguments: newCookies loses its spaces and
// oldCookies becomes the result.
Text MergeCookies(Text& oldCookies, Text& newCookies);

// CookieName: the trimmed text before the first "=" (the whole trimmed text
// when there is none).
[[nodiscard]] Text CookieName(std::string_view cookie);

// CookieNamePresent: true when an item of list has the cookie name `name`.
[[nodiscard]] bool CookieNamePresent(const TextList& list, std::string_view name);

// RemoveDuplicateItems: text split at separator, later copies of an item
// dropped, joined again by separator.
[[nodiscard]] Text RemoveDuplicateItems(std::string_view text, std::string_view separator);

// IndexInList: the 1-based index of the first item equal to text, or -1.
[[nodiscard]] int IndexInList(const TextList& list, std::string_view text);

}  // namespace vellumara
