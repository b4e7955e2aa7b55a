#include "scrape/search.h"

#include <gtest/gtest.h>

#include "text/codepage.h"

namespace vellumara {
namespace {

TEST(SearchAddress, EncodesEveryByteOfTheNameButUnreservedOnes) {
  const Text tail = "&s=8108208238784316788&nsid=&entry=1";
  struct Case {
    const char* name;
    Text in;
    Text query;
  } cases[] = {
      {"empty name still asks", "", ""},
      {"unreserved stay", "Az09-._~", "Az09-._~"},
      {"space, ampersand and hash", "a b&c#d", "a%20b%26c%23d"},
      {"code page 936 bytes", Utf8ToGbk("斗破"), "%B6%B7%C6%C6"},
      {"query injection", "x&s=1", "x%26s%3D1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SearchAddress(c.in, "http://h/cse/search?q="), "http://h/cse/search?q=" + c.query + tail);
  }
}

}  // namespace
}  // namespace vellumara
