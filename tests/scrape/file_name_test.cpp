// Book names come from web pages: the file made from one must stay in its
// directory and be a name every file system takes.
#include "scrape/file_name.h"

#include <gtest/gtest.h>

#include "text/codepage.h"

namespace vellumara {
namespace {

Text G(std::string_view utf8) { return Utf8ToGbk(utf8); }

TEST(SafeBookName, ReplacesWhatPathsAndWindowsRefuse) {
  struct Case {
    const char* name;
    Text in;
    Text out;
  } cases[] = {
      {"plain", G("测试之书"), G("测试之书")},
      {"climbing out", "../../etc/x", ".._.._etc_x"},
      {"absolute", "/abs", "_abs"},
      {"backslash", "a\\b", "a_b"},
      {"forbidden set", "a:b*c?d\"e<f>g|h", "a_b_c_d_e_f_g_h"},
      {"control characters", "a\tb\r\nc\x7f", "a_b__c_"},
      {"trailing dots and spaces", "name. . ", "name"},
      {"only spaces", "   ", ""},
      {"reserved", "CON", "CON_"},
      {"reserved any case", "lpt9", "lpt9_"},
      {"reserved before extension", "nul.tar", "nul_.tar"},
      {"not reserved", "CONSOLE", "CONSOLE"},
      {"COM0 is allowed", "COM0", "COM0"},
      // 0x5C and 0x7C as second bytes belong to the character
      {"second byte 0x5C", G("名字"), G("名字")},
      {"lead byte then backslash", Text("\x81\x5c") + "x", Text("\x81\x5c") + "x"},
      {"invalid pair keeps its slash out", Text("\x81/etc"), "__etc"},
      {"cut final character", Text("ab\xb0"), "ab_"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SafeBookName(c.in), c.out);
  }
}

TEST(BookFileName, IsUtf8WithExtensionAndFitsTheFileSystem) {
  EXPECT_EQ(BookFileName(G("测试之书")), std::optional<std::string>("测试之书.txt"));
  EXPECT_EQ(BookFileName(G("名\\字")), std::optional<std::string>("名_字.txt"));

  // 300 bytes of double-byte characters: cut on a character boundary
  Text longName;
  for (int i = 0; i < 150; ++i) longName += G("书");
  std::optional<std::string> file = BookFileName(longName);
  ASSERT_TRUE(file);
  EXPECT_LE(file->size(), 255u);
  EXPECT_TRUE(file->ends_with(".txt"));
  EXPECT_EQ((file->size() - 4) % 3, 0u);  // whole UTF-8 characters only
  EXPECT_GT(file->size(), 240u);
}

TEST(BookFileName, RefusesWhatLeavesNoName) {
  for (const Text& name : {Text(), Text("   "), Text("."), Text(".."), Text("...")}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(BookFileName(name), std::nullopt);
  }
}

}  // namespace
}  // namespace vellumara
