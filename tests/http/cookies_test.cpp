#include "http/cookies.h"

#include <gtest/gtest.h>

#include <string>

namespace vellumara {
namespace {

struct MergeCase {
  const char* name;
  std::string oldBefore;
  std::string newBefore;
  std::string result;  // also what oldCookies holds afterwards
  std::string newAfter;
};

TEST(CookiesTest, MergeCookies) {
  const MergeCase cases[] = {
      {"new replace old, deleted dropped", "a=1; b=2; c=3", "b=20; c=deleted; d=4",
       "b=20; d=4; a=1", "b=20;c=deleted;d=4"},
      // of two earlier items with one name only the first survives
      {"earlier duplicate name", "a=1; a=2", "", "a=1", ""},
      {"exact duplicate", "", "x=1; x=1", "x=1", "x=1;x=1"},
      {"same name, different items", "", "x=1; x=2", "x=1; x=2", "x=1;x=2"},
      {"earlier deleted item", "a=deleted; b=2", "", "b=2", ""},
      {"deleted is exact case", "a=DELETED", "", "a=DELETED", ""},
      {"spaces in values are lost", "a=hello world", "", "a=helloworld", ""},
      {"ideographic space removed", "a=1;\xa1\xa1" "b=2", "", "a=1; b=2", ""},
      {"both empty", "", "", "", ""},
      // attributes are not understood: they merge like cookies
      {"attributes as cookies", "a=1; path=/", "b=2; path=/x", "b=2; path=/x; a=1",
       "b=2;path=/x"},
      {"empty items", ";a=1;;", "", "; a=1", ""},
  };
  for (const MergeCase& c : cases) {
    SCOPED_TRACE(c.name);
    Text oldCookies = c.oldBefore;
    Text newCookies = c.newBefore;
    const Text result = MergeCookies(oldCookies, newCookies);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(oldCookies, c.result);
    EXPECT_EQ(newCookies, c.newAfter);
  }
}

TEST(CookiesTest, MergeIntoOneVariable) {
  Text both = "a=1; b=2";
  EXPECT_EQ(MergeCookies(both, both), "a=1; b=2");
  EXPECT_EQ(both, "a=1; b=2");
}

TEST(CookiesTest, CookieName) {
  EXPECT_EQ(CookieName(" sid =a=b"), "sid");
  EXPECT_EQ(CookieName(" secure "), "secure");
  EXPECT_EQ(CookieName("=1"), "");
  EXPECT_EQ(CookieName(""), "");
}

TEST(CookiesTest, CookieNamePresent) {
  const TextList list{"a=1", " b =2", "flag"};
  EXPECT_TRUE(CookieNamePresent(list, "b"));
  EXPECT_TRUE(CookieNamePresent(list, "flag"));
  EXPECT_FALSE(CookieNamePresent(list, "B"));
  EXPECT_FALSE(CookieNamePresent(list, "1"));
  EXPECT_FALSE(CookieNamePresent(TextList{}, ""));
}

TEST(CookiesTest, RemoveDuplicateItems) {
  EXPECT_EQ(RemoveDuplicateItems("p,q,p,r", ","), "p,q,r");
  EXPECT_EQ(RemoveDuplicateItems("", ","), "");
  EXPECT_EQ(RemoveDuplicateItems("p; q; p", "; "), "p; q");
  // a trailing separator goes; an empty piece is an item like any other
  EXPECT_EQ(RemoveDuplicateItems("p,,q,,p,", ","), "p,,q");
}

TEST(CookiesTest, IndexInList) {
  EXPECT_EQ(IndexInList(TextList{}, "q"), -1);
  EXPECT_EQ(IndexInList(TextList{"p", "q", "q"}, "q"), 2);
  EXPECT_EQ(IndexInList(TextList{"p", "q"}, "Q"), -1);
  EXPECT_EQ(IndexInList(TextList{"p", ""}, ""), 2);
}

}  // namespace
}  // namespace vellumara
