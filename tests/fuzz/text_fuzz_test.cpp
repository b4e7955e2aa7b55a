// Random inputs for the byte-text primitives: each result is checked against a
// naive walk of the same rules and against properties that must always hold.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "fuzz/fuzz_support.h"
#include "fuzz/reference.h"
#include "text/text.h"

namespace vellumara {
namespace {

using fuzz::Args;
using fuzz::FuzzRun;
using fuzz::Rng;

// Texts for TextToInt: a run of what the number reader skips or reads, then
// anything.
const fuzz::Pieces kNumberPieces{
    {4, "", '0', '9'}, {2, " "}, {1, "\t"}, {1, "\r\n"}, {1, "\v"}, {2, "-"}, {2, "+"},
    {1, "\xa1\xa1"},   // ideographic space
    {2, "\xa3\xb0"}, {2, "\xa3\xb9"}, {1, "\xa3\xad"}, {1, "\xa3\xab"},  // full-width 0 9 - +
    {1, "\xa3"}, {1, "", 0x80, 0xFF}, {1, "", 'a', 'z'}, {1, "x"},
};

// A text of 0..12 pieces of the number alphabet, sometimes long digit runs
// that wrap around.
std::string NumberText(Rng& rng) {
  std::string out;
  const int n = rng.Range(0, 12);
  for (int k = 0; k < n; ++k) out += kNumberPieces.One(rng);
  if (rng.Chance(10)) out += std::string(rng.Range(9, 25), static_cast<char>('0' + rng.Range(0, 9)));
  if (rng.Chance(30)) out += fuzz::kTextPieces.Text(rng, 8);
  return out;
}

TEST(TextFuzz, PrimitivesAgreeWithReferenceWalks) {
  FuzzRun run("text primitives", 0x7e17'0001ULL, 200000);
  long i = 0;
  for (; run.More(i); ++i) {
    Rng rng = run.InputRng(i);
    const std::string text = fuzz::kTextPieces.Text(rng, 60);
    const int L = ref::Len(text);
    const std::string sub = fuzz::SearchText(rng, text, fuzz::kTextPieces);
    const int n = fuzz::RandomPosition(rng, L);
    const int n2 = fuzz::RandomPosition(rng, L);
    const std::optional<int> start = fuzz::MaybePosition(rng, L);
    const bool ignoreCase = rng.Chance(50);
    auto args = [&] {
      return Args()
          .Add("text", text)
          .Add("sub", sub)
          .Add("n", n)
          .Add("n2", n2)
          .Add("start", start)
          .Add("ignoreCase", ignoreCase)
          .str();
    };

    // slicing: exact clamps, never longer than n or the text
    run.Expect(TextLength(text) == L, i, "TextLength(text)", args);
    const Text left = TextLeft(text, n);
    run.Expect(left == ref::Left(text, n), i, "TextLeft(text, n)", args);
    const Text right = TextRight(text, n);
    run.Expect(right == ref::Right(text, n), i, "TextRight(text, n)", args);
    const Text mid = TextMid(text, n, n2);
    run.Expect(mid == ref::Mid(text, n, n2), i, "TextMid(text, n, n2)", args);
    run.Expect(ref::Len(mid) <= std::max(n2, 0) && ref::Len(mid) <= L, i,
               "TextMid longer than n2 or the text", args);

    // forward search: -1 or a real occurrence at a character start
    const int found = FindText(text, sub, start, ignoreCase);
    run.Expect(found == ref::Find(text, sub, start, ignoreCase), i,
               "FindText(text, sub, start, ignoreCase) differs from the walk", args);
    run.Expect(found == -1 || (found >= 1 && found <= L && (sub.empty() ||
                               (found + ref::Len(sub) - 1 <= L &&
                                ref::MatchAt(text, found, sub, ignoreCase)))),
               i, "FindText result is not an occurrence", args);

    // backward search: wholly before start
    const int back = FindTextReverse(text, sub, start, ignoreCase);
    run.Expect(back == ref::FindReverse(text, sub, start, ignoreCase), i,
               "FindTextReverse(text, sub, start, ignoreCase) differs from the walk", args);
    if (back != -1 && !sub.empty()) {
      const bool inside = back >= 1 && back + ref::Len(sub) - 1 <= L &&
                          ref::MatchAt(text, back, sub, ignoreCase) &&
                          (!start || static_cast<long long>(back) + ref::Len(sub) <= *start);
      run.Expect(inside, i, "FindTextReverse result not an occurrence wholly before start", args);
    }

    // comparison: a sign, antisymmetric, zero only for equal texts
    const int cmp = CompareText(text, sub);
    run.Expect(cmp == ref::Compare(text, sub) && CompareText(sub, text) == -cmp &&
                   CompareText(text, text) == 0,
               i, "CompareText(text, sub)", args);
    run.Expect(ConcatText(text, sub, left) == text + sub + left, i, "ConcatText", args);
  }
  run.Finish(i);
}

TEST(TextFuzz, TransformationsAgreeWithReferenceWalks) {
  FuzzRun run("text transformations", 0x7e17'0002ULL, 200000);
  long i = 0;
  for (; run.More(i); ++i) {
    Rng rng = run.InputRng(i);
    const std::string text = fuzz::kTextPieces.Text(rng, 60);
    const int L = ref::Len(text);
    const std::string find = fuzz::SearchText(rng, text, fuzz::kTextPieces);
    const std::optional<std::string> replacement =
        rng.Chance(25) ? std::nullopt
                       : std::optional<std::string>(fuzz::kTextPieces.Text(rng, 6));
    const std::optional<int> start = fuzz::MaybePosition(rng, L);
    const std::optional<int> count =
        rng.Chance(30) ? std::nullopt : std::optional<int>(fuzz::RandomPosition(rng, 4));
    const bool caseSensitive = rng.Chance(50);
    auto args = [&] {
      return Args()
          .Add("text", text)
          .Add("find", find)
          .Add("replacement", replacement)
          .Add("start", start)
          .Add("count", count)
          .Add("caseSensitive", caseSensitive)
          .str();
    };

    std::optional<std::string_view> replacementView;
    if (replacement) replacementView = *replacement;
    const Text replaced = ReplaceSubtext(text, find, replacementView, start, count, caseSensitive);
    run.Expect(replaced == ref::Replace(text, find, replacement.value_or(""), start, count,
                                        caseSensitive),
               i, "ReplaceSubtext differs from the walk", args);
    if (count && *count == 0) {
      run.Expect(replaced == text, i, "ReplaceSubtext with count 0 changed the text", args);
    }

    // splitting: the pieces joined again give the text, less one trailing
    // delimiter when the text ended in one
    const TextList pieces = SplitText(text, find);
    std::vector<std::string> got;
    for (int k = 1; k <= TextListCount(pieces); ++k) got.push_back(TextListItem(pieces, k));
    run.Expect(got == ref::Split(text, find), i, "SplitText(text, find) differs from the walk",
               args);
    const std::string joined = ref::Join(got, find);
    run.Expect(joined == text || (!find.empty() && joined + find == text), i,
               "SplitText pieces joined do not give the text back", args);

    // spaces and case: never longer than the input
    const Text trimmed = TrimSpaces(text);
    run.Expect(ref::TrimMatches(trimmed, text) && trimmed.size() <= text.size(), i,
               "TrimSpaces(text)", args);
    const Text squeezed = RemoveAllSpaces(text);
    run.Expect(squeezed == ref::RemoveSpaces(text) && squeezed.size() <= text.size(), i,
               "RemoveAllSpaces(text)", args);
    const Text lower = ToLowerCase(text);
    run.Expect(lower == ref::Lower(text) && lower.size() == text.size(), i, "ToLowerCase(text)",
               args);

    // list appends keep copies in order
    TextList list;
    TextListAppend(list, text);
    TextListAppend(list, find);
    run.Expect(TextListCount(list) == 2 && TextListItem(list, 1) == text &&
                   TextListItem(list, 2) == find,
               i, "TextListAppend", args);
    TextListClear(list);
    run.Expect(TextListCount(list) == 0, i, "TextListClear", args);
  }
  run.Finish(i);
}

TEST(TextFuzz, NumbersAndBuffers) {
  FuzzRun run("numbers and buffers", 0x7e17'0003ULL, 200000);
  long i = 0;
  for (; run.More(i); ++i) {
    Rng rng = run.InputRng(i);
    const std::string number = NumberText(rng);
    Bytes bytes;
    const int byteCount = rng.Range(0, 20);
    for (int k = 0; k < byteCount; ++k) {
      bytes.push_back(static_cast<unsigned char>(rng.Chance(15) ? 0 : rng.Range(0, 255)));
    }
    const std::string text = fuzz::kTextPieces.Text(rng, 20);
    const int n = fuzz::RandomPosition(rng, 20);
    const std::int32_t a = static_cast<std::int32_t>(rng.Next());
    const std::int32_t b = static_cast<std::int32_t>(rng.Next());
    auto args = [&] {
      std::string raw(bytes.begin(), bytes.end());
      return Args()
          .Add("number", number)
          .Add("bytes", raw)
          .Add("text", text)
          .Add("n", n)
          .Add("a", static_cast<int>(a))
          .Add("b", static_cast<int>(b))
          .str();
    };

    run.Expect(TextToInt(number) == ref::ToInt(number), i, "TextToInt(number)", args);

    // blank areas: n spaces or zero bytes, empty below 1 (far counts skipped,
    // they would only allocate)
    if (n <= 4096) {
      const std::size_t want = static_cast<std::size_t>(std::max(n, 0));
      run.Expect(BlankText(n) == std::string(want, ' '), i, "BlankText(n)", args);
      run.Expect(BlankBytes(n) == Bytes(want, 0), i, "BlankBytes(n)", args);
    }
    const int keep = std::clamp(n, 0, byteCount);
    run.Expect(BytesLeft(bytes, n) == Bytes(bytes.begin(), bytes.begin() + keep), i,
               "BytesLeft(bytes, n)", args);
    run.Expect(BytesLength(bytes) == byteCount, i, "BytesLength", args);

    Bytes doubled = bytes;
    doubled.insert(doubled.end(), bytes.begin(), bytes.end());
    run.Expect(ConcatBytes(bytes, bytes) == doubled, i, "ConcatBytes", args);
    run.Expect(BytesEqual(bytes, bytes) && BytesEqual(bytes, doubled) == bytes.empty(), i,
               "BytesEqual", args);

    // BytesToText stops at the first NUL; TextToBytes keeps every byte
    std::string beforeNul;
    for (unsigned char c : bytes) {
      if (c == 0) break;
      beforeNul += static_cast<char>(c);
    }
    run.Expect(BytesToText(bytes) == beforeNul, i, "BytesToText(bytes)", args);
    run.Expect(TextToBytes(text) == Bytes(text.begin(), text.end()), i, "TextToBytes(text)",
               args);

    const int code = rng.Range(0, 255);
    const Text ch = CharFromCode(code);
    run.Expect(code == 0 ? ch.empty() : ch == std::string(1, static_cast<char>(code)), i,
               "CharFromCode(code)", [&] { return args() + ", code = " + std::to_string(code); });

    run.Expect(BitOr({a, b}) == (a | b) && BitOr({a, b, n}) == (a | b | n), i, "BitOr", args);
    run.Expect(TruncateToInteger(static_cast<double>(a)) == a &&
                   TruncateToInteger(static_cast<double>(a) / 4) ==
                       static_cast<std::int32_t>(std::trunc(static_cast<double>(a) / 4)),
               i, "TruncateToInteger", args);
  }
  run.Finish(i);
}

}  // namespace
}  // namespace vellumara
