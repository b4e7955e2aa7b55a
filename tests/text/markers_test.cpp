#include "text/markers.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "text/events.h"
#include "text/printers.h"

namespace vellumara {
namespace {

using std::nullopt;

// "#引号" in GBK
const std::string kQuoteToken = "#\xd2\xfd\xba\xc5";

// --- TextBetween -------------------------------------------------------------------

TEST(TextBetween, Table) {
  struct Case {
    const char* name;
    std::string text, start, end;
    std::optional<int> startPos;
    std::optional<bool> ignoreCase;
    std::string expected;
  };
  const Case cases[] = {
      {"both markers", "<p><a>x y</a></p>", "<a>", "</a>", nullopt, nullopt, "x y"},
      {"first end marker after the start", "<a>x</a>y</a>", "<a>", "</a>", nullopt, nullopt,
       "x"},
      {"end directly after start", "<a></a>", "<a>", "</a>", nullopt, nullopt, ""},
      {"no end marker after the start", "</a><a>x", "<a>", "</a>", nullopt, nullopt, ""},
      {"no start marker", "x</a>", "<a>", "</a>", nullopt, nullopt, ""},
      {"start marker at the very end", "x<a>", "<a>", "</a>", nullopt, nullopt, ""},
      {"empty text", "", "<a>", "</a>", nullopt, nullopt, ""},
      {"same marker both sides", "'path'>", "'", "'", nullopt, nullopt, "path"},
      // the quote token stands for a double quote, in both markers
      {"quote token", "<a href=\"/b/1/\">", "href=" + kQuoteToken, kQuoteToken + ">", nullopt,
       nullopt, "/b/1/"},
      {"literal quote", "<a href=\"/b/1/\">", "href=\"", "\">", nullopt, nullopt, "/b/1/"},
      {"token is not read in the text", "a" + kQuoteToken + "b\"c\"", "\"", "\"", nullopt,
       nullopt, "c"},
      // exact case unless asked otherwise
      {"case left out: exact", "<DIV>x</DIV>", "<div>", "</div>", nullopt, nullopt, ""},
      {"ignoreCase false", "<DIV>x</DIV>", "<div>", "</div>", nullopt, false, ""},
      {"ignoreCase true", "<DIV>x</DIV>", "<div>", "</div>", nullopt, true, "x"},
      {"ignoreCase covers the end marker", "<div>x</DIV>", "<div>", "</div>", nullopt, true, "x"},
      // where the start search begins
      {"startPos skips the first", "<a>1</a><a>2</a>", "<a>", "</a>", 2, nullopt, "2"},
      {"startPos 0", "<a>1</a>", "<a>", "</a>", 0, nullopt, "1"},
      {"startPos negative", "<a>1</a>", "<a>", "</a>", -4, nullopt, "1"},
      {"double-byte text kept whole", "<t>\xd5\xc2\xbd\xda</t>", "<t>", "</t>", nullopt, nullopt,
       "\xd5\xc2\xbd\xda"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TextBetween(c.text, c.start, c.end, c.startPos, c.ignoreCase), c.expected);
  }
}

// --- ExtractAllBetween -------------------------------------------------------------

// Counts the PumpEvents calls made while a test runs.
class ExtractAllBetweenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallEventPump({.pump = [this] { ++pumps; }, .onEventThread = [] { return true; }});
  }
  void TearDown() override { InstallEventPump({}); }

  int pumps = 0;
};

TEST_F(ExtractAllBetweenTest, NoStartMarkerEmptiesTheListAndPumpsNothing) {
  TextList list{"old", "items"};
  EXPECT_EQ(ExtractAllBetween("no markers here", "<li>", "</li>", list), 0);
  EXPECT_EQ(list, TextList());
  EXPECT_EQ(pumps, 0);
}

TEST_F(ExtractAllBetweenTest, StartWithoutEndStopsAndKeepsWhatWasStored) {
  TextList list{"old"};
  EXPECT_EQ(ExtractAllBetween("<li>a</li><li>b", "<li>", "</li>", list), 1);
  EXPECT_EQ(list, TextList({"a"}));
  EXPECT_EQ(pumps, 3);
}

TEST_F(ExtractAllBetweenTest, EachClosingQuoteOpensTheNextItem) {
  TextList list;
  EXPECT_EQ(ExtractAllBetween("'a'b'c'", "'", "'", list), 3);
  EXPECT_EQ(list, TextList({"a", "b", "c"}));
  EXPECT_EQ(pumps, 9);
}

TEST_F(ExtractAllBetweenTest, ItemsAreTrimmedAndEmptyOnesSkipped) {
  TextList list;
  const std::string ideo = "\xa1\xa1";
  EXPECT_EQ(ExtractAllBetween("<i> a </i><i> " + ideo + " </i><i>" + ideo + "b</i>", "<i>",
                              "</i>", list),
            2);
  EXPECT_EQ(list, TextList({"a", "b"}));
  EXPECT_EQ(pumps, 9);
}

TEST_F(ExtractAllBetweenTest, AfterAnEmptyItemTheSearchResumesJustAfterItsStartMarker) {
  // Start " " and end "|": the first item "  " trims to nothing; the next
  // search starts at byte 2, a space, and finds a second (empty) pair before
  // the end marker just used.
  TextList list;
  EXPECT_EQ(ExtractAllBetween("  |y|", " ", "|", list), 0);
  EXPECT_EQ(pumps, 6);
}

TEST_F(ExtractAllBetweenTest, CaseIgnoredUnlessMatchCase) {
  TextList list;
  EXPECT_EQ(ExtractAllBetween("<LI>a</li><li>b</LI>", "<li>", "</li>", list), 2);
  EXPECT_EQ(list, TextList({"a", "b"}));
  EXPECT_EQ(ExtractAllBetween("<LI>a</li><li>b</LI>", "<li>", "</li>", list,
                              {.matchCase = true}),
            0);
  EXPECT_EQ(ExtractAllBetween("<LI>a</li><li>b</li>", "<li>", "</li>", list,
                              {.matchCase = true}),
            1);
  EXPECT_EQ(list, TextList({"b"}));
}

TEST_F(ExtractAllBetweenTest, PrefixSuffixAndKeptMarkersInOrder) {
  TextList list;
  EXPECT_EQ(ExtractAllBetween("<a> x </a><a></a>", "<a>", "</a>", list,
                              {.prefix = "[", .suffix = "]"}),
            2);
  // the empty second item is stored too: prefix and suffix make it non-empty
  EXPECT_EQ(list, TextList({"[x]", "[]"}));

  EXPECT_EQ(ExtractAllBetween("<a> x </a><a> </a>", "<a>", "</a>", list,
                              {.prefix = "[", .suffix = "]", .keepStartMarker = true,
                               .keepEndMarker = true}),
            2);
  EXPECT_EQ(list, TextList({"<a>[x]</a>", "<a>[]</a>"}));

  // kept markers go only on items that are not empty
  EXPECT_EQ(ExtractAllBetween("<a> </a><a>y</a>", "<a>", "</a>", list,
                              {.keepStartMarker = true, .keepEndMarker = true}),
            1);
  EXPECT_EQ(list, TextList({"<a>y</a>"}));
}

TEST_F(ExtractAllBetweenTest, SuffixAsTheExportUsesIt) {
  TextList list;
  const std::string page =
      "<li><a href='/1.html'>One<span></span></a></li>\r\n"
      "<li><a href='/2.html'>Two<span></span></a></li>";
  EXPECT_EQ(ExtractAllBetween(page, "<li><a href=", "<span></span></a></li>", list,
                              {.suffix = "'"}),
            2);
  EXPECT_EQ(list, TextList({"'/1.html'>One'", "'/2.html'>Two'"}));
}

TEST_F(ExtractAllBetweenTest, MaxLengthKeepsOnlyShorterItemsAndPumpsOnceMore) {
  struct Case {
    const char* name;
    int maxLength;
    ExtractOptions extra;
    TextList expected;
    int pumps;
  };
  const std::string page = "<a>abcd</a><a>abcde</a><a> </a><a>x</a>";
  const Case cases[] = {
      {"5 keeps 4 bytes, drops 5", 5, {}, {"abcd", "x"}, 4 * 3 + 3},
      {"negative drops everything", -1, {}, {}, 4 * 3 + 3},
      {"0 is no filter", 0, {}, {"abcd", "abcde", "x"}, 4 * 3},
      // the length counts the prefix and the kept markers
      // the empty item becomes "-" and is stored
      {"prefix counts", 5, {.prefix = "-"}, {"-", "-x"}, 4 * 4},
      {"kept marker counts", 6, {.keepEndMarker = true}, {"x</a>"}, 4 * 3 + 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    pumps = 0;
    TextList list;
    ExtractOptions options = c.extra;
    options.maxLength = c.maxLength;
    EXPECT_EQ(ExtractAllBetween(page, "<a>", "</a>", list, options), c.expected.Count());
    EXPECT_EQ(list, c.expected);
    EXPECT_EQ(pumps, c.pumps);
  }
}

TEST_F(ExtractAllBetweenTest, StartPos) {
  TextList list;
  EXPECT_EQ(ExtractAllBetween("<a>1</a><a>2</a>", "<a>", "</a>", list, {.startPos = 2}), 1);
  EXPECT_EQ(list, TextList({"2"}));
  EXPECT_EQ(ExtractAllBetween("<a>1</a><a>2</a>", "<a>", "</a>", list, {.startPos = -3}), 2);
}

TEST_F(ExtractAllBetweenTest, MarkersThatWouldRepeatForeverEndTheCollection) {
  struct Case {
    const char* name;
    std::string text, start, end;
    ExtractOptions options;
    TextList expected;
  };
  const Case cases[] = {
      {"empty start marker", "a|b|c", "", "|", {}, {"a"}},
      {"empty start marker, startPos", "a|b|c", "", "|", {.startPos = 3}, {"a"}},
      {"empty end marker with a suffix", "<a>x<a>y", "<a>", "", {.suffix = "'"}, {"'"}},
      {"empty end marker with a prefix", "<a>x<a>y", "<a>", "", {.prefix = "'"}, {"'"}},
      {"empty end marker alone stores nothing", "<a>x<a>y", "<a>", "", {}, {}},
      {"both empty", "abc", "", "", {}, {}},
      {"both empty with a prefix", "abc", "", "", {.prefix = "p"}, {"p"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TextList list;
    EXPECT_EQ(ExtractAllBetween(c.text, c.start, c.end, list, c.options), c.expected.Count());
    EXPECT_EQ(list, c.expected);
  }
}

// --- ReplacePairs ------------------------------------------------------------------

TEST(ReplacePairs, BlankLinesCollapseInOnePass) {
  const struct {
    std::string text, expected;
  } cases[] = {
      {"\r\n\r\n", "\r\n"},
      {"\r\n\r\n\r\n", "\r\n\r\n"},
      {"\r\n\r\n\r\n\r\n", "\r\n\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.size() / 2);
    EXPECT_EQ(ReplacePairs(c.text, nullopt, nullopt, nullopt, "\r\n\r\n", "\r\n"), c.expected);
  }
}

TEST(ReplacePairs, Options) {
  struct Case {
    const char* name;
    std::string text;
    std::optional<int> count, startPos;
    std::optional<bool> matchCase;
    std::string expected;
  };
  // one pair: "-" to "+"
  const Case cases[] = {
      {"count left out: every occurrence", "a-b-c", nullopt, nullopt, nullopt, "a+b+c"},
      {"count 0 supplied: unchanged", "a-b-c", 0, nullopt, nullopt, "a-b-c"},
      {"count 1", "a-b-c", 1, nullopt, nullopt, "a+b-c"},
      {"count negative: no limit", "a-b-c", -1, nullopt, nullopt, "a+b+c"},
      {"startPos 0 as 1", "-a-", nullopt, 0, nullopt, "+a+"},
      {"startPos negative as 1", "-a-", nullopt, -2, nullopt, "+a+"},
      {"startPos skips", "-a-", nullopt, 2, nullopt, "-a+"},
      {"empty text", "", nullopt, nullopt, nullopt, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReplacePairs(c.text, c.count, c.startPos, c.matchCase, "-", "+"), c.expected);
  }
}

TEST(ReplacePairs, CaseIgnoredUnlessMatchCase) {
  EXPECT_EQ(ReplacePairs("a&NBSP;b", nullopt, nullopt, nullopt, "&nbsp;", " "), "a b");
  EXPECT_EQ(ReplacePairs("a&NBSP;b", nullopt, nullopt, true, "&nbsp;", " "), "a&NBSP;b");
  EXPECT_EQ(ReplacePairs("a&NBSP;b", nullopt, nullopt, false, "&nbsp;", " "), "a b");
}

TEST(ReplacePairs, PairsApplyInOrderAndNeverSeeTheirOwnOutput) {
  // a later pair sees what earlier pairs made
  EXPECT_EQ(ReplacePairs("a", nullopt, nullopt, nullopt, "a", "b", "b", "c"), "c");
  // a pair does not rescan its own replacement
  EXPECT_EQ(ReplacePairs("ab", nullopt, nullopt, nullopt, "a", "aa", "b", "bb"), "aabb");
  // an empty find changes nothing; an empty replacement removes
  EXPECT_EQ(ReplacePairs("a-b", nullopt, nullopt, nullopt, "", "x", "-", ""), "ab");
  // count applies to every step
  EXPECT_EQ(ReplacePairs("a-a-b-b", 1, nullopt, nullopt, "a", "x", "b", "y"), "x-a-y-b");
  // all five pairs are used
  EXPECT_EQ(ReplacePairs("12345", nullopt, nullopt, nullopt, "1", "a", "2", "b", "3", "c", "4",
                         "d", "5", "e"),
            "abcde");
}

TEST(ReplacePairs, ChapterCleaning) {
  const std::string text = "&nbsp;&nbsp;&nbsp;&nbsp;One.<br /><br />&nbsp;&nbsp;Two.<BR />";
  EXPECT_EQ(ReplacePairs(text, nullopt, nullopt, nullopt, "&nbsp;", " ", "<br />", "\r\n",
                         "\r\n\r\n", "\r\n"),
            "    One.\r\n  Two.\r\n");
}

// --- HeaderValue -------------------------------------------------------------------

TEST(HeaderValue, Table) {
  struct Case {
    const char* name;
    std::string line, expected;
  };
  const Case cases[] = {
      {"spaces around the value", "Content-Length:   1234 ", "1234"},
      {"no colon", "HTTP/1.1 200 OK", ""},
      {"value holding a colon", "Location: http://x/y", "http://x/y"},
      {"colon at the end", "X-Empty:", ""},
      {"ideographic spaces trimmed", "Name:\xa1\xa1v\xa1\xa1", "v"},
      {"tab is kept", "Name:\tv", "\tv"},
      {"empty line", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(HeaderValue(c.line), c.expected);
  }
}

}  // namespace
}  // namespace vellumara
