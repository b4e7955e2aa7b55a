// Cutting text out of pages by marker pairs, and chained replacement pairs.
//
//   Text path = TextBetween(entry, "'", "'>");
//   TextList entries;
//   ExtractAllBetween(page, "<li><a href=", "<span></span></a></li>", entries,
//                     {.suffix = "'"});
//   Text clean = ReplacePairs(text, {}, {}, {}, "&nbsp;", " ", "<br />", "\r\n");
//
// Positions and case rules are those of text/text.h. None of these routines
// reports an error: a missing marker gives the empty text.
#pragma once

#include <optional>
#include <string_view>

#include "text/text.h"

namespace vellumara {

// TextBetween: the bytes between the first startMarker at or after startPos and
// the first endMarker after it; empty when either is missing. In both markers
// "#引号" stands for one double quote. Exact case unless ignoreCase.
[[nodiscard]] Text TextBetween(std::string_view text, std::string_view startMarker,
                               std::string_view endMarker, std::optional<int> startPos = std::nullopt,
                               std::optional<bool> ignoreCase = std::nullopt);

// The optional arguments of ExtractAllBetween, in their order.
struct ExtractOptions {
  std::optional<bool> matchCase{};        // left out: case ignored
  std::optional<int> maxLength{};         // 0 / left out: no filter; else keep items shorter than this
  std::optional<Text> prefix{};           // put in front of every item
  std::optional<Text> suffix{};           // put after every item
  std::optional<bool> keepStartMarker{};  // start marker in front of every stored item
  std::optional<bool> keepEndMarker{};    // end marker after every stored item
  std::optional<int> startPos{};          // where the first search begins
};

// ExtractAllBetween: empties `list`, then stores every trimmed text between a
// startMarker and the next endMarker, in page order; returns the count stored.
// An end marker may open the next item. Calls PumpEvents three times per pair
// found. An empty start marker (or an empty end marker with a prefix or suffix)
// ends the collection instead of looping.
int ExtractAllBetween(std::string_view text, std::string_view startMarker,
                      std::string_view endMarker, TextList& list,
                      const ExtractOptions& options = {});

// ReplacePairs: the text after up to five ReplaceSubtext steps, one per pair in
// order; each step scans its input once and never sees its own output. `count`
// supplied limits every step (0: nothing replaced); left out: every
// occurrence. startPos 0 or negative means 1. Case ignored unless matchCase.
[[nodiscard]] Text ReplacePairs(std::string_view text, std::optional<int> count,
                                std::optional<int> startPos, std::optional<bool> matchCase,
                                std::string_view find1, std::string_view replace1,
                                std::string_view find2 = {}, std::string_view replace2 = {},
                                std::string_view find3 = {}, std::string_view replace3 = {},
                                std::string_view find4 = {}, std::string_view replace4 = {},
                                std::string_view find5 = {}, std::string_view replace5 = {});

// HeaderValue: the trimmed text after the first colon of line; empty without one.
[[nodiscard]] Text HeaderValue(std::string_view line);

}  // namespace vellumara
