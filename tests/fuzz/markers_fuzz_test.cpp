// Random pages and markers for the marker routines. A counting event pump sees
// every PumpEvents call, so a collection that stops making progress is caught
// (and its input printed) instead of hanging the test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "fuzz/fuzz_support.h"
#include "fuzz/reference.h"
#include "text/events.h"
#include "text/markers.h"

namespace vellumara {
namespace {

using fuzz::Args;
using fuzz::FuzzRun;
using fuzz::Rng;

// Pages: the common bytes plus the pieces of markers the tests pick from.
const fuzz::Pieces kPagePieces{
    {10, "", 0x01, 0xFF},
    {3, "<"}, {3, ">"}, {2, "'"}, {2, "\""}, {2, " "}, {1, "\xa1\xa1"}, {1, "\r\n"},
    {2, fuzz::kQuoteToken}, {1, "#"}, {1, "\xd2\xfd"}, {1, "<li>"}, {1, "</li>"},
    {2, "", 'a', 'c'}, {1, "", 'A', 'C'}, {2, "", 0x80, 0xFF}, {1, "http://"},
};

// What the pump has seen during the current call, and the input to print
// should the call never end.
struct PumpWatch {
  long calls = 0;
  long limit = 0;
  std::string input;
};
PumpWatch watch;

void InstallCountingPump() {
  static const bool installed = [] {
    InstallEventPump({[] {
                        if (++watch.calls > watch.limit) {
                          std::cerr << "ExtractAllBetween does not end: more than " << watch.limit
                                    << " event pumps for\n  " << watch.input << std::endl;
                          std::abort();
                        }
                      },
                      [] { return true; }});
    return true;
  }();
  (void)installed;
}

std::string Marker(Rng& rng, std::string_view page) {
  if (rng.Chance(5)) return {};
  return fuzz::SearchText(rng, page, kPagePieces);
}

TEST(MarkersFuzz, TextBetweenAgreesWithReferenceWalk) {
  FuzzRun run("TextBetween", 0x3a2c'0001ULL, 200000);
  long i = 0;
  for (; run.More(i); ++i) {
    Rng rng = run.InputRng(i);
    const std::string text = kPagePieces.Text(rng, 80);
    std::string startMarker = Marker(rng, text);
    std::string endMarker = Marker(rng, text);
    // a quote in the page is often asked for by the token
    if (rng.Chance(20)) startMarker += fuzz::kQuoteToken;
    if (rng.Chance(10)) endMarker = fuzz::kQuoteToken + endMarker;
    const std::optional<int> startPos = fuzz::MaybePosition(rng, ref::Len(text));
    const std::optional<bool> ignoreCase = fuzz::MaybeBool(rng);
    auto args = [&] {
      return Args()
          .Add("text", text)
          .Add("startMarker", startMarker)
          .Add("endMarker", endMarker)
          .Add("startPos", startPos)
          .Add("ignoreCase", ignoreCase)
          .str();
    };

    const Text got = TextBetween(text, startMarker, endMarker, startPos, ignoreCase);
    run.Expect(text.find(got) != std::string::npos, i, "TextBetween result not inside the text",
               args);
    run.Expect(got == ref::Between(text, startMarker, endMarker, startPos,
                                   ignoreCase.value_or(false)),
               i, "TextBetween differs from the walk", args);
  }
  run.Finish(i);
}

TEST(MarkersFuzz, ExtractAllBetweenEndsAndAgrees) {
  InstallCountingPump();
  FuzzRun run("ExtractAllBetween", 0x3a2c'0002ULL, 100000);
  long i = 0;
  for (; run.More(i); ++i) {
    Rng rng = run.InputRng(i);
    const std::string text = kPagePieces.Text(rng, 120);
    const int L = ref::Len(text);
    const std::string startMarker = Marker(rng, text);
    const std::string endMarker = Marker(rng, text);
    ExtractOptions options;
    options.matchCase = fuzz::MaybeBool(rng);
    if (rng.Chance(40)) options.maxLength = rng.Range(-2, 12);
    if (rng.Chance(30)) options.prefix = kPagePieces.Text(rng, 4);
    if (rng.Chance(30)) options.suffix = kPagePieces.Text(rng, 4);
    options.keepStartMarker = fuzz::MaybeBool(rng);
    options.keepEndMarker = fuzz::MaybeBool(rng);
    options.startPos = fuzz::MaybePosition(rng, L);
    auto args = [&] {
      return Args()
          .Add("text", text)
          .Add("startMarker", startMarker)
          .Add("endMarker", endMarker)
          .Add("matchCase", options.matchCase)
          .Add("maxLength", options.maxLength)
          .Add("prefix", options.prefix)
          .Add("suffix", options.suffix)
          .Add("keepStartMarker", options.keepStartMarker)
          .Add("keepEndMarker", options.keepEndMarker)
          .Add("startPos", options.startPos)
          .str();
    };

    // Each pair found moves the search on by at least one byte, so a call
    // that pumps more than four times per byte is going round in circles.
    watch.calls = 0;
    watch.limit = 4L * (L + 3);
    watch.input = "seed " + std::to_string(run.seed()) + ", input " + std::to_string(i) + ":\n  " + args();

    TextList list{"left over", "from before"};
    const int count = ExtractAllBetween(text, startMarker, endMarker, list, options);
    run.Expect(count == TextListCount(list), i, "returned count is not the list's", args);

    // every item is made of trimmed page text and what was put around it
    const std::size_t around = options.prefix.value_or("").size() +
                               options.suffix.value_or("").size() + startMarker.size() +
                               endMarker.size();
    bool bounded = true;
    for (int k = 1; k <= TextListCount(list); ++k) {
      const Text& item = TextListItem(list, k);
      bounded = bounded && !item.empty() && item.size() <= text.size() + around;
      if (options.maxLength.value_or(0) != 0) {
        bounded = bounded && static_cast<int>(item.size()) < *options.maxLength;
      }
    }
    run.Expect(bounded, i, "an item is empty, too long or over maxLength", args);

    // the markers whose outcome is ours to choose are only held to the bounds
    const bool prefixOrSuffix =
        !options.prefix.value_or("").empty() || !options.suffix.value_or("").empty();
    if (startMarker.empty() || (endMarker.empty() && prefixOrSuffix)) continue;

    ref::ExtractArgs a;
    a.matchCase = options.matchCase.value_or(false);
    a.maxLength = options.maxLength.value_or(0);
    a.prefix = options.prefix.value_or("");
    a.suffix = options.suffix.value_or("");
    a.keepStartMarker = options.keepStartMarker.value_or(false);
    a.keepEndMarker = options.keepEndMarker.value_or(false);
    a.startPos = options.startPos.value_or(0);
    const ref::Extracted want = ref::ExtractAll(text, startMarker, endMarker, a);
    std::vector<std::string> got;
    for (int k = 1; k <= TextListCount(list); ++k) got.push_back(TextListItem(list, k));
    run.Expect(got == want.items, i, "ExtractAllBetween items differ from the walk",
               [&] { return args() + ",\n    expected = " + fuzz::Show(want.items) +
                            ",\n    got = " + fuzz::Show(got); });
    run.Expect(watch.calls == want.pumps, i, "ExtractAllBetween event pumps differ",
               [&] { return args() + ",\n    expected pumps = " + std::to_string(want.pumps) +
                            ", got " + std::to_string(watch.calls); });
  }
  run.Finish(i);
}

TEST(MarkersFuzz, ReplacePairsAndHeaderValueAgree) {
  FuzzRun run("ReplacePairs and HeaderValue", 0x3a2c'0003ULL, 200000);
  long i = 0;
  for (; run.More(i); ++i) {
    Rng rng = run.InputRng(i);
    const std::string text = kPagePieces.Text(rng, 80);
    const int L = ref::Len(text);
    std::vector<std::pair<std::string, std::string>> pairs;
    const int pairCount = rng.Range(1, 5);
    for (int k = 0; k < pairCount; ++k) {
      pairs.emplace_back(Marker(rng, text), kPagePieces.Text(rng, 6));
    }
    pairs.resize(5);  // the pairs left out are empty and change nothing
    const std::optional<int> count =
        rng.Chance(50) ? std::nullopt : std::optional<int>(rng.Range(-2, 3));
    const std::optional<int> startPos = fuzz::MaybePosition(rng, L);
    const std::optional<bool> matchCase = fuzz::MaybeBool(rng);
    auto args = [&] {
      Args a;
      a.Add("text", text).Add("count", count).Add("startPos", startPos).Add("matchCase", matchCase);
      for (const auto& [find, replacement] : pairs) a.Add("find", find).Add("replace", replacement);
      return a.str();
    };

    const Text got = ReplacePairs(text, count, startPos, matchCase, pairs[0].first,
                                  pairs[0].second, pairs[1].first, pairs[1].second,
                                  pairs[2].first, pairs[2].second, pairs[3].first,
                                  pairs[3].second, pairs[4].first, pairs[4].second);
    run.Expect(got == ref::Pairs(text, count, startPos, matchCase.value_or(false), pairs), i,
               "ReplacePairs differs from the walk", args);
    if (count && *count == 0) {
      run.Expect(got == text, i, "ReplacePairs with count 0 changed the text", args);
    }

    const Text value = HeaderValue(text);
    const int colon = ref::Find(text, ":", std::nullopt, false);
    const std::string after = colon == -1 ? std::string() : ref::Right(text, L - colon);
    run.Expect(ref::TrimMatches(value, after), i, "HeaderValue differs from the walk", args);
  }
  run.Finish(i);
}

}  // namespace
}  // namespace vellumara
