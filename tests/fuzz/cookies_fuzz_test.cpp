// Random cookie texts for the merge: names from a small set so that they
// collide, values with spaces, "=deleted", stray separators and raw bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "fuzz/fuzz_support.h"
#include "fuzz/reference.h"
#include "http/cookies.h"

namespace vellumara {
namespace {

using fuzz::Args;
using fuzz::FuzzRun;
using fuzz::Rng;

const fuzz::Pieces kValuePieces{
    {6, "", 'a', 'z'}, {3, "", '0', '9'}, {3, " "}, {1, "\xa1\xa1"}, {1, "="}, {1, "deleted"},
    {1, "\xb0\xa1"}, {1, "", 0x80, 0xFF}, {1, "\""}, {1, "/"}, {1, ";"},
};

std::string Cookies(Rng& rng) {
  if (rng.Chance(15)) return fuzz::kTextPieces.Text(rng, 40);
  static const char* const kNames[] = {"a", "b", "sid", " a", "A", "", "path", "\xb0\xa1"};
  static const char* const kSeparators[] = {"; ", ";", " ; ", ";;", "; \xa1\xa1"};
  std::string out;
  const int items = rng.Range(0, 6);
  for (int k = 0; k < items; ++k) {
    if (k) out += kSeparators[rng.Range(0, 4)];
    out += kNames[rng.Range(0, 7)];
    if (rng.Chance(90)) out += "=";
    out += rng.Chance(20) ? std::string("deleted") : kValuePieces.Text(rng, 8);
  }
  if (rng.Chance(15)) out += kSeparators[rng.Range(0, 4)];
  return out;
}

TEST(CookiesFuzz, MergeKeepsItsPromises) {
  FuzzRun run("cookie merging", 0xc00c'0001ULL, 100000);
  long i = 0;
  for (; run.More(i); ++i) {
    Rng rng = run.InputRng(i);
    const std::string oldBefore = Cookies(rng);
    const std::string newBefore = Cookies(rng);
    auto args = [&] { return Args().Add("oldCookies", oldBefore).Add("newCookies", newBefore).str(); };

    Text oldCookies = oldBefore;
    Text newCookies = newBefore;
    const Text merged = MergeCookies(oldCookies, newCookies);
    run.Expect(oldCookies == merged, i, "oldCookies is not the result", args);
    run.Expect(newCookies == ref::RemoveSpaces(newBefore), i, "newCookies lost more than spaces",
               args);

    // the result: distinct items without spaces, none of them deleted
    const std::vector<std::string> items = ref::Split(merged, "; ");
    bool clean = true;
    std::set<std::string> seen;
    for (const std::string& item : items) {
      clean = clean && ref::RemoveSpaces(item) == item && ref::Right(item, 8) != "=deleted" &&
              seen.insert(item).second;
    }
    run.Expect(clean, i, "merged text has a space, a deleted or a repeated item", [&] {
      return args() + ",\n    merged = " + fuzz::Show(merged);
    });

    // the new items first, then the earlier ones whose name no new item has,
    // each once, joined by "; " and split again as the merge does
    std::vector<std::string> all = ref::Split(ref::RemoveSpaces(newBefore), ";");
    for (const std::string& o : ref::Split(ref::RemoveSpaces(oldBefore), ";")) {
      const std::string name = CookieName(o);
      if (std::none_of(all.begin(), all.end(),
                       [&](const std::string& x) { return CookieName(x) == name; })) {
        all.push_back(o);
      }
    }
    std::vector<std::string> live;
    for (const std::string& x : all) {
      if (ref::Right(x, 8) != "=deleted") live.push_back(x);
    }
    std::vector<std::string> want;
    for (const std::string& x : ref::Split(ref::Join(live, "; "), "; ")) {
      if (std::find(want.begin(), want.end(), x) == want.end()) want.push_back(x);
    }
    run.Expect(merged == ref::Join(want, "; "), i, "merged text differs", [&] {
      return args() + ",\n    expected = " + fuzz::Show(ref::Join(want, "; ")) +
             ",\n    got = " + fuzz::Show(merged);
    });
  }
  run.Finish(i);
}

TEST(CookiesFuzz, ListHelpersAgree) {
  FuzzRun run("cookie list helpers", 0xc00c'0002ULL, 200000);
  long i = 0;
  for (; run.More(i); ++i) {
    Rng rng = run.InputRng(i);
    const std::string text = Cookies(rng);
    static const char* const kSeparators[] = {"; ", ";", ",", "=", "", "\xa1\xa1"};
    const std::string separator = kSeparators[rng.Range(0, 5)];
    auto args = [&] { return Args().Add("text", text).Add("separator", separator).str(); };

    // each item once, in the order of first appearance
    const Text unique = RemoveDuplicateItems(text, separator);
    std::vector<std::string> want;
    for (const std::string& piece : ref::Split(text, separator)) {
      if (std::find(want.begin(), want.end(), piece) == want.end()) want.push_back(piece);
    }
    const std::string joined = ref::Join(want, separator);
    run.Expect(unique == joined || (separator.empty() && unique == text), i,
               "RemoveDuplicateItems differs", args);
    run.Expect(unique.size() <= text.size(), i, "RemoveDuplicateItems grew the text", args);

    // the first equal item, 1-based
    TextList list;
    for (const std::string& piece : ref::Split(text, separator)) TextListAppend(list, piece);
    const std::string wanted = rng.Chance(70) && TextListCount(list) > 0
                                   ? TextListItem(list, rng.Range(1, TextListCount(list)))
                                   : fuzz::kTextPieces.Text(rng, 4);
    const int index = IndexInList(list, wanted);
    int first = -1;
    for (int k = 1; k <= TextListCount(list) && first == -1; ++k) {
      if (TextListItem(list, k) == wanted) first = k;
    }
    run.Expect(index == first, i, "IndexInList differs",
               [&] { return args() + ",\n    wanted = " + fuzz::Show(wanted); });

    // the name: trimmed, before the first "="
    const Text name = CookieName(text);
    const int eq = ref::Find(text, "=", std::nullopt, false);
    run.Expect(ref::TrimMatches(name, eq == -1 ? text : ref::Left(text, eq - 1)), i,
               "CookieName differs", args);
    bool present = false;
    for (int k = 1; k <= TextListCount(list); ++k) {
      present = present || CookieName(TextListItem(list, k)) == name;
    }
    run.Expect(CookieNamePresent(list, name) == present, i, "CookieNamePresent differs", args);
  }
  run.Finish(i);
}

}  // namespace
}  // namespace vellumara
