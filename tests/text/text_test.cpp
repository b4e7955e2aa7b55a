#include "text/text.h"

#include <gtest/gtest.h>

#include "text/printers.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace vellumara {
namespace {

using std::nullopt;

// GBK bytes used below: 0xB0 0xA1 is one Chinese character, 0xA1 0xA1 the
// ideographic space. A string literal is split wherever a hex escape would
// otherwise swallow the next letter.
const std::string kIdeoSpace = "\xa1\xa1";

// --- slicing -----------------------------------------------------------------

struct SliceCase {
  const char* name;
  std::string text;
  int start;  // TextMid only
  int n;
  std::string left, right, mid;
};

TEST(TextSlicing, LeftRightMid) {
  const SliceCase cases[] = {
      {"n zero", "abcdef", 1, 0, "", "", ""},
      {"n negative", "abcdef", 1, -3, "", "", ""},
      {"n within", "abcdef", 2, 3, "abc", "def", "bcd"},
      {"n beyond the length", "abcdef", 4, 100, "abcdef", "abcdef", "def"},
      {"n at int max", "abcdef", 6, std::numeric_limits<int>::max(), "abcdef", "abcdef", "f"},
      {"mid start 0 is not moved to 1", "abcdef", 0, 3, "abc", "def", ""},
      {"mid start negative", "abcdef", -1, 3, "abc", "def", ""},
      {"mid start past the end", "abcdef", 7, 1, "a", "f", ""},
      {"empty text", "", 1, 2, "", "", ""},
      // slicing counts plain bytes and may cut a character in two
      {"cuts a double-byte character", "\xb0\xa1\xb0\xa1", 2, 2, "\xb0\xa1", "\xb0\xa1",
       "\xa1\xb0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TextLeft(c.text, c.n), c.left);
    EXPECT_EQ(TextRight(c.text, c.n), c.right);
    EXPECT_EQ(TextMid(c.text, c.start, c.n), c.mid);
  }
}

// --- FindText ------------------------------------------------------------------

struct FindCase {
  const char* name;
  std::string text, sub;
  std::optional<int> start;
  bool ignoreCase;
  int expected;
};

TEST(FindText, Table) {
  const FindCase cases[] = {
      {"first occurrence", "abcabc", "bc", nullopt, false, 2},
      {"from start", "abcabc", "bc", 3, false, 5},
      {"start exactly on the occurrence", "abcabc", "bc", 5, false, 5},
      {"start 0 searches from 1", "abcabc", "ab", 0, false, 1},
      {"start -1 searches from 1", "abcabc", "ab", -1, false, 1},
      {"start at length + 1", "abcabc", "c", 7, false, -1},
      {"not found", "abcabc", "abd", nullopt, false, -1},
      {"sub longer than text", "ab", "abc", nullopt, false, -1},
      {"sub is the whole text", "abc", "abc", nullopt, false, 1},
      {"match at the very end", "abcxyz", "yz", nullopt, false, 5},
      {"empty text", "", "a", nullopt, false, -1},
      // an empty sub is found at 1 wherever the region holds a byte
      {"empty sub", "abc", "", nullopt, false, 1},
      {"empty sub, start > 1", "abc", "", 3, false, 1},
      {"empty sub, start past the end", "abc", "", 4, false, -1},
      {"empty sub, empty text", "", "", nullopt, false, -1},
      // case folding covers ASCII letters only
      {"exact case misses capitals", "USER-AGENT: x", "User-Agent:", nullopt, false, -1},
      {"ignore case finds capitals", "Host: a\r\nUSER-AGENT: x", "User-Agent:", nullopt, true, 10},
      {"ignore case does not fold '@' and '`'", "@", "`", nullopt, true, -1},
      {"ignore case does not fold '[' and '{'", "[", "{", nullopt, true, -1},
      // folding applies to second bytes too: 0xB0 'A' matches 0xB0 'a'
      {"ignore case folds a second byte", "x\xb0" "A", "\xb0" "a", nullopt, true, 2},
      {"exact case on a second byte", "x\xb0" "A", "\xb0" "a", nullopt, false, -1},
      // never a match at a second byte
      {"no match at a second byte", "\xb0\x41", "\x41", nullopt, false, -1},
      {"match after a double-byte character", "\xb0\x41\x41", "\x41", nullopt, false, 3},
      {"second byte that looks like the marker", "\xb0\x3c" "a<", "<", nullopt, false, 4},
      // a start on a second byte is taken as a character start
      {"start on a second byte matches there", "\xb0\x41", "\x41", 2, false, 2},
      {"start on a second byte pairs differently", "a\xb0\xb1\xb2" "b", "\xb2" "b", 3, false,
       -1},
      {"same search from the text's own character start", "a\xb0\xb1\xb2" "b", "\xb2" "b", 2,
       false, 4},
      {"incomplete final character", "ab\xb0", "\xb0", nullopt, false, 3},
      {"double-byte sub", "a\xb0\xa1\xb0\xa2", "\xb0\xa2", nullopt, false, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FindText(c.text, c.sub, c.start, c.ignoreCase), c.expected);
  }
}

TEST(FindText, StartOnSecondByteCanMissAFollowingOccurrence) {
  // 0xB0 0xB1 then 'x': from 2 the walk takes 0xB1 'x' as one character.
  const std::string text = "\xb0\xb1" "x";
  EXPECT_EQ(FindText(text, "x", 1, false), 3);
  EXPECT_EQ(FindText(text, "x", 2, false), -1);
  // 'a', 0xB0 0xB1, 0xB2 'b': 'b' is a second byte for a walk from 1, but a
  // walk from 3 pairs 0xB1 0xB2 and lands on it.
  const std::string shifted = "a\xb0\xb1\xb2" "b";
  EXPECT_EQ(FindText(shifted, "b", 1, false), -1);
  EXPECT_EQ(FindText(shifted, "b", 3, false), 5);
  EXPECT_EQ(FindText(shifted, "\xb1\xb2", 3, false), 3);
  EXPECT_EQ(FindText(shifted, "\xb1\xb2", 2, false), -1);
}

// --- FindTextReverse -------------------------------------------------------------

TEST(FindTextReverse, Table) {
  const FindCase cases[] = {
      {"start left out: last occurrence", "a.b.c", ".", nullopt, false, 4},
      {"start at an occurrence: the one before", "a.b.c", ".", 4, false, 2},
      {"start 1", "a.b.c", ".", 1, false, -1},
      {"start 0", "a.b.c", ".", 0, false, -1},
      {"start past the end", "a.b.c", ".", 100, false, 4},
      {"occurrence must end before start", "abcab", "ab", 5, false, 1},
      {"occurrence ending just before start", "abcab", "ab", 6, false, 4},
      {"overlapping occurrences are all seen", "aaaa", "aa", nullopt, false, 3},
      {"empty sub", "abc", "", nullopt, false, 1},
      {"empty sub, start 1", "abc", "", 1, false, -1},
      {"empty text", "", "a", nullopt, false, -1},
      {"ignore case", "xAbxab", "AB", nullopt, true, 5},
      {"exact case", "xAbxab", "Ab", nullopt, false, 2},
      {"no match at a second byte", "\xb0." "a", ".", nullopt, false, -1},
      {"incomplete final character", "a\xb0", "\xb0", nullopt, false, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FindTextReverse(c.text, c.sub, c.start, c.ignoreCase), c.expected);
  }
}

TEST(FindTextReverse, StepsThroughTheDotsOfAHost) {
  const std::string host = "www.books.example.com";
  std::vector<int> dots;
  for (int p = FindTextReverse(host, ".", nullopt, false); p != -1;
       p = FindTextReverse(host, ".", p, false)) {
    dots.push_back(p);
  }
  EXPECT_EQ(dots, (std::vector<int>{18, 10, 4}));
}

// --- CompareText -------------------------------------------------------------------

TEST(CompareText, Table) {
  struct Case {
    const char* name;
    std::string a, b;
    int expected;
  };
  const Case cases[] = {
      {"equal", "abc", "abc", 0},
      {"both empty", "", "", 0},
      {"prefix is smaller", "ab", "abc", -1},
      {"longer is larger", "abc", "ab", 1},
      {"first difference decides", "abd", "abc", 1},
      {"bytes compare unsigned", "\xb0", "a", 1},
      {"case matters", "A", "a", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CompareText(c.a, c.b), c.expected);
  }
  EXPECT_EQ(CompareText(std::string_view(), ""), 0);
}

// --- ConcatText --------------------------------------------------------------------

TEST(ConcatText, MixedPartsAndEmptyOnes) {
  const std::string name = "\xb0\xa1";
  const std::string_view none;
  EXPECT_EQ(ConcatText("dir", "/", name, none, ".txt"), "dir/\xb0\xa1.txt");
  EXPECT_EQ(ConcatText(none, std::string()), "");
}

// --- ReplaceSubtext ----------------------------------------------------------------

struct ReplaceCase {
  const char* name;
  std::string text, find;
  std::optional<std::string> replacement;
  std::optional<int> start, count;
  bool caseSensitive;
  std::string expected;
};

TEST(ReplaceSubtext, Table) {
  const ReplaceCase cases[] = {
      {"every occurrence", "a-b-c", "-", "+", nullopt, nullopt, true, "a+b+c"},
      {"replacement left out deletes", "a-b-c", "-", nullopt, nullopt, nullopt, true, "abc"},
      {"count limits", "a-b-c-d", "-", "+", nullopt, 2, true, "a+b+c-d"},
      {"count 0 leaves the text", "a-b-c", "-", "+", nullopt, 0, true, "a-b-c"},
      {"negative count: no limit", "a-b-c", "-", "+", nullopt, -1, true, "a+b+c"},
      {"empty find leaves the text", "a-b-c", "", "+", nullopt, nullopt, true, "a-b-c"},
      {"empty text", "", "-", "+", nullopt, nullopt, true, ""},
      {"start skips earlier bytes", "a-b-c", "-", "+", 3, nullopt, true, "a-b+c"},
      {"start 0 means 1", "-a", "-", "+", 0, nullopt, true, "+a"},
      {"start past the end", "a-b", "-", "+", 4, nullopt, true, "a-b"},
      {"replacement longer and holding find", "aa", "a", "aa", nullopt, nullopt, true, "aaaa"},
      {"case sensitive misses", "A-a", "a", "x", nullopt, nullopt, true, "A-x"},
      {"case ignored", "A-a", "a", "x", nullopt, nullopt, false, "x-x"},
      {"no match at a second byte", "\xb0-a-", "-", "+", nullopt, nullopt, true, "\xb0-a+"},
      {"double-byte find", "\xb0\xa1" "x\xb0\xa1", "\xb0\xa1", "y", nullopt, nullopt, true,
       "yxy"},
      // the incomplete final character goes only when the walk reaches it
      {"one-byte find drops an incomplete end", "a-b\xb0", "-", "+", nullopt, nullopt, true,
       "a+b"},
      {"two-byte find keeps an incomplete end", "a--b\xb0", "--", "+", nullopt, nullopt, true,
       "a+b\xb0"},
      {"count reached keeps an incomplete end", "a-b\xb0", "-", "+", nullopt, 1, true,
       "a+b\xb0"},
      {"one-byte find matching the incomplete end", "a\xb0", "\xb0", "+", nullopt, nullopt,
       true, "a+"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<std::string_view> replacement;
    if (c.replacement) replacement = *c.replacement;
    EXPECT_EQ(ReplaceSubtext(c.text, c.find, replacement, c.start, c.count, c.caseSensitive),
              c.expected);
  }
}

TEST(ReplaceSubtext, ReplacedOutputIsNotScannedAgain) {
  const struct {
    int pairs;
    int expectedPairs;
  } cases[] = {{1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pairs);
    std::string text;
    for (int i = 0; i < c.pairs; ++i) text += "\r\n";
    std::string expected;
    for (int i = 0; i < c.expectedPairs; ++i) expected += "\r\n";
    EXPECT_EQ(ReplaceSubtext(text, "\r\n\r\n", "\r\n", nullopt, nullopt, true), expected);
  }
}

TEST(ReplaceSubtext, RewritesSetCookieInAnyCase) {
  const std::string block =
      "HTTP/1.1 200 OK\r\nset-cookie: a=1\r\nSET-COOKIE: b=2\r\nSet-cookie: c=3\r\n";
  EXPECT_EQ(ReplaceSubtext(block, "Set-Cookie", "Set-Cookie", nullopt, nullopt, false),
            "HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\nSet-Cookie: b=2\r\nSet-Cookie: c=3\r\n");
}

// --- SplitText -------------------------------------------------------------------

TEST(SplitText, Table) {
  struct Case {
    const char* name;
    std::string text, delimiter;
    TextList expected;
  };
  const Case cases[] = {
      {"plain", "a;b;c", ";", {"a", "b", "c"}},
      {"delimiter at the end: no empty last piece", "a;b;", ";", {"a", "b"}},
      {"delimiter at the start: empty first piece", ";a", ";", {"", "a"}},
      {"two delimiters: empty piece between", "a;;b", ";", {"a", "", "b"}},
      {"only the delimiter", ";", ";", {""}},
      {"no delimiter", "abc", ";", {"abc"}},
      {"empty text", "", ";", {}},
      {"empty delimiter", "a;b", "", {"a;b"}},
      {"long delimiter", "a\r\nb\r\n\r\nc", "\r\n", {"a", "b", "", "c"}},
      {"case matters", "aXbxc", "x", {"aXb", "c"}},
      {"no split at a second byte", "\xb0;a;b", ";", {"\xb0;a", "b"}},
      {"incomplete final character stays", "a;\xb0", ";", {"a", "\xb0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SplitText(c.text, c.delimiter), c.expected);
  }
}

// --- spaces --------------------------------------------------------------------------

TEST(Spaces, TrimAndRemove) {
  struct Case {
    const char* name;
    std::string text;
    std::string trimmed, removed;
  };
  const Case cases[] = {
      {"ascii spaces", "  a b  ", "a b", "ab"},
      {"ideographic spaces", kIdeoSpace + "a" + kIdeoSpace + "b" + kIdeoSpace, "a" + kIdeoSpace + "b",
       "ab"},
      {"mixed run at the end", "a " + kIdeoSpace + " ", "a", "a"},
      {"trailing CR LF stays", " a\r\n", "a\r\n", "a\r\n"},
      {"tab is not a space", "\ta\t", "\ta\t", "\ta\t"},
      {"only spaces", " " + kIdeoSpace + " ", "", ""},
      {"empty", "", "", ""},
      // 0xB0 0xA1 0xA1 0xB0 holds no ideographic space: the pair is split
      // across two characters
      {"A1 A1 across characters", "\xb0\xa1\xa1\xb0", "\xb0\xa1\xa1\xb0", "\xb0\xa1\xa1\xb0"},
      {"space as a second byte", "\xb0 ", "\xb0 ", "\xb0 "},
      // the incomplete final character is left out
      {"incomplete end", "a \xb0", "a ", "a"},
      {"incomplete end alone", "\xb0", "", ""},
      {"lone A1 at the end", "a\xa1", "a", "a"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TrimSpaces(c.text), c.trimmed);
    EXPECT_EQ(RemoveAllSpaces(c.text), c.removed);
  }
}

TEST(ToLowerCase, AsciiAtCharacterStartsOnly) {
  EXPECT_EQ(ToLowerCase("Set-COOKIE: A=Z[@"), "set-cookie: a=z[@");
  // 0xB0 'A' is one character; its second byte stays a capital
  EXPECT_EQ(ToLowerCase("\xb0" "AB"), "\xb0" "Ab");
  EXPECT_EQ(ToLowerCase("A\xb0"), "a\xb0");
}

// --- TextToInt -----------------------------------------------------------------------

TEST(TextToInt, Table) {
  struct Case {
    const char* name;
    std::string text;
    std::int32_t expected;
  };
  const Case cases[] = {
      {"plain", "8080", 8080},
      {"leading spaces, trailing rest", "  42/path", 42},
      {"whitespace 0x09..0x0D", "\t\n\v\f\r7", 7},
      {"negative", "-15", -15},
      {"plus", "+15", 15},
      {"sign without digits", "-", 0},
      {"space after the sign ends it", "- 5", 0},
      {"no hexadecimal", "0x1F", 0},
      {"empty", "", 0},
      {"letter first", "a12", 0},
      {"full-width digits", "\xa3\xb1\xa3\xb2\xa3\xb3", 123},
      {"full-width minus", "\xa3\xad\xa3\xb5", -5},
      {"ideographic space before", kIdeoSpace + "9", 9},
      {"full-width and ascii mixed", "1\xa3\xb0" "2", 102},
      {"other double-byte character ends it", "12\xb0\xa1" "3", 12},
      {"incomplete end", "12\xa3", 12},
      {"int max", "2147483647", 2147483647},
      {"int min", "-2147483648", std::numeric_limits<std::int32_t>::min()},
      // 32-bit wrap-around without a check
      {"one past int max wraps", "2147483648", std::numeric_limits<std::int32_t>::min()},
      {"2^32 wraps to 0", "4294967296", 0},
      {"2^32 + 5", "4294967301", 5},
      {"many digits", "99999999999999999999", static_cast<std::int32_t>(1661992959u)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TextToInt(c.text), c.expected);
  }
}

// --- small builders and integers -------------------------------------------------------

TEST(SmallBuilders, BlankTextCharFromCodeBitOrTruncate) {
  EXPECT_EQ(BlankText(3), "   ");
  EXPECT_EQ(BlankText(0), "");
  EXPECT_EQ(BlankText(-2), "");
  EXPECT_EQ(CharFromCode(0), "");
  EXPECT_EQ(CharFromCode(0x41), "A");
  EXPECT_EQ(BitOr({0x1, 0x4, 0x10}), 0x15);
  EXPECT_EQ(BitOr({std::numeric_limits<std::int32_t>::min(), 1}),
            std::numeric_limits<std::int32_t>::min() + 1);
  EXPECT_EQ(TruncateToInteger(7.0), 7);
  EXPECT_EQ(TruncateToInteger(-7.9), -7);
  EXPECT_EQ(TruncateToInteger(1e12), std::numeric_limits<std::int32_t>::max());
}

// --- Bytes -----------------------------------------------------------------------------

TEST(Bytes, Primitives) {
  const Bytes abc = TextToBytes("abc");
  EXPECT_EQ(BytesLength(abc), 3);
  EXPECT_EQ(BytesLength(TextToBytes("")), 0);
  EXPECT_EQ(BlankBytes(3), Bytes(3, 0));
  EXPECT_TRUE(BlankBytes(0).empty());
  EXPECT_EQ(BytesLeft(abc, 2), TextToBytes("ab"));
  EXPECT_EQ(BytesLeft(abc, 10), abc);
  EXPECT_TRUE(BytesLeft(abc, -1).empty());
  EXPECT_TRUE(ConcatBytes(Bytes(), Bytes()).empty());
  EXPECT_EQ(ConcatBytes(abc, Bytes(), abc), TextToBytes("abcabc"));
  EXPECT_TRUE(BytesEqual(Bytes(), Bytes()));
  EXPECT_FALSE(BytesEqual(abc, BlankBytes(3)));

  // the text stops at the first NUL byte
  const Bytes withNul = {'a', 'b', 0, 'c'};
  EXPECT_EQ(BytesToText(withNul), "ab");
  EXPECT_EQ(BytesToText(Bytes{0, 'a'}), "");
  EXPECT_EQ(BytesToText(Bytes{0xb0, 0xa1}), "\xb0\xa1");
  EXPECT_EQ(BytesToText(Bytes()), "");
}

// --- TextList ----------------------------------------------------------------------------

TEST(TextList, AppendCountItemClear) {
  TextList list;
  EXPECT_EQ(TextListCount(list), 0);
  std::string text = "first";
  TextListAppend(list, text);
  TextListAppend(list, "");
  text = "changed";  // the list holds its own copy
  EXPECT_EQ(TextListCount(list), 2);
  EXPECT_EQ(TextListItem(list, 1), "first");
  EXPECT_EQ(TextListItem(list, 2), "");
  TextListClear(list);
  EXPECT_EQ(TextListCount(list), 0);
}

TEST(TextListDeathTest, IndexOutsideTheListStops) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const TextList list{"a", "b"};
  EXPECT_DEATH((void)TextListItem(list, 0), "index 0 is below 1 \\(the list has 2 elements\\)");
  EXPECT_DEATH((void)TextListItem(list, -5), "index -5 is below 1");
  EXPECT_DEATH((void)TextListItem(list, 3), "index 3 is above the count 2");
  EXPECT_DEATH((void)TextListItem(TextList(), 1), "index 1 is above the count 0");
}

}  // namespace
}  // namespace vellumara
