#include "text/codepage.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace vellumara {
namespace {

// Both sides are written as byte escapes: UTF-8 on one, code page 936 on the
// other.
TEST(Utf8ToGbk, Table) {
  struct Case {
    const char* name;
    std::string utf8, gbk;
  };
  const Case cases[] = {
      {"ascii", "Search: abc 123\r\n", "Search: abc 123\r\n"},
      {"chinese", "\xe4\xb8\xad\xe6\x96\x87", "\xd6\xd0\xce\xc4"},
      {"full-width digit and ideographic space", "\xef\xbc\x91\xe3\x80\x80", "\xa3\xb1\xa1\xa1"},
      {"euro sign is 0x80", "\xe2\x82\xac", "\x80"},
      {"empty", "", ""},
      // a character code page 936 lacks: one '?' for the whole character
      {"emoji", "a\xf0\x9f\x98\x80" "b", "a?b"},
      {"thai letter", "\xe0\xb8\x81", "?"},
      // bad UTF-8: one '?' per byte skipped
      {"stray byte", "a\xff" "b", "a?b"},
      {"lone continuation byte", "\x80" "a", "?a"},
      {"overlong NUL", "\xc0\x80", "??"},
      {"cut at the end", "a\xe4\xb8", "a??"},
      {"cut before ascii", "\xe4\xb8" "a\xe4\xb8\xad", "??a\xd6\xd0"},
      {"surrogate", "\xed\xa0\x80", "???"},
      // the result ends before the first NUL byte
      {"NUL ends the text", std::string("ab\0cd", 5), "ab"},
      {"NUL first", std::string("\0ab", 3), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Utf8ToGbk(c.utf8), c.gbk);
    EXPECT_EQ(Utf8ToGbk(Bytes(c.utf8.begin(), c.utf8.end())), c.gbk);
  }
}

TEST(GbkToUtf8, Table) {
  struct Case {
    const char* name;
    std::string gbk, utf8;
  };
  const Case cases[] = {
      {"chinese", "\xd6\xd0\xce\xc4", "\xe4\xb8\xad\xe6\x96\x87"},
      {"ascii kept", "a\r\nb", "a\r\nb"},
      {"euro", "\x80", "\xe2\x82\xac"},
      {"cut character at the end", "ab\xd6", "ab?"},
      {"invalid pair", "a\xff\xfe" "b", "a?b"},
      {"lead byte before a line break keeps it", "\xd6\n", "?\n"},
      {"empty", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(GbkToUtf8(c.gbk), c.utf8);
  }
}

// Every GB2312 character survives the trip there and back, in one text.
TEST(Codepage, RoundTripOfTheWholeGb2312Block) {
  std::string gbk;
  for (int lead = 0xB0; lead <= 0xF7; ++lead) {
    for (int trail = 0xA1; trail <= 0xFE; ++trail) {
      if (lead == 0xD7 && trail > 0xF9) continue;  // unassigned in GB2312
      gbk.push_back(static_cast<char>(lead));
      gbk.push_back(static_cast<char>(trail));
    }
    gbk += "\r\n";
  }
  const std::string utf8 = GbkToUtf8(gbk);
  EXPECT_EQ(utf8.find('?'), std::string::npos);
  EXPECT_TRUE(Utf8ToGbk(utf8) == gbk);  // no dump of 15,000 bytes on failure
}

// Errors in the middle of long text, and output that outgrows the first guess.
TEST(Codepage, LongTextWithErrorsAndGrowth) {
  std::string utf8, expected;
  for (int i = 0; i < 2000; ++i) {
    utf8 += "\xe4\xb8\xad" "x\xff\xf0\x9f\x98\x80";
    expected += "\xd6\xd0" "x??";
  }
  EXPECT_TRUE(Utf8ToGbk(utf8) == expected);

  const std::string euros(3000, '\x80');
  std::string expectedUtf8;
  for (int i = 0; i < 3000; ++i) expectedUtf8 += "\xe2\x82\xac";
  EXPECT_TRUE(GbkToUtf8(euros) == expectedUtf8);
}

// Each thread keeps its own converter.
TEST(Codepage, ThreadsConvertAtTheSameTime) {
  std::vector<std::thread> threads;
  std::vector<int> ok(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &ok] {
      int good = 0;
      for (int i = 0; i < 500; ++i) {
        good += Utf8ToGbk("\xe4\xb8\xad\xff") == "\xd6\xd0?";
        good += GbkToUtf8("\xce\xc4") == "\xe6\x96\x87";
      }
      ok[static_cast<size_t>(t)] = good;
    });
  }
  for (auto& th : threads) th.join();
  for (int good : ok) EXPECT_EQ(good, 1000);
}

}  // namespace
}  // namespace vellumara
