// Pages that try to break out: book names and chapter titles that look like
// paths or devices, a huge search reply, markers in an order no honest page
// has. Through the real window (offscreen): each ends with a clear status and
// nothing but a file inside the output directory, or no file at all.
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "scrape/export_window.h"
#include "scrape/faulty_site.h"
#include "text/codepage.h"

namespace vellumara {
namespace {

using testing::ExportWindow;
using testing::FaultySite;
using testing::ReadWholeFile;
using testing::SameBytes;
using testing::ScratchDir;
using testing::TestBook;

Text G(std::string_view utf8) { return Utf8ToGbk(utf8); }

Text Repeat(std::string_view piece, int times) {
  Text out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

class HostileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.searchEndpoint = site_.Base() + "/cse/search?q=";
    settings_.siteBase = site_.Base();
    settings_.outputDirectory = dir_.Out().string();
    settings_.limits.connectTimeoutSeconds = 2;
    settings_.limits.lowSpeedSeconds = 2;
    settings_.firstRetryPauseMs = 10;
    book_ = TestBook::Make(G("书"), 2);
    book_.Publish(site_);
  }

  void ServeSearch(const std::string& reply) {
    site_.Set("/cse/search", FaultySite::Ok(reply, "text/html; charset=utf-8"));
  }
  void ListBooks(const std::vector<Text>& names) {
    ServeSearch(testing::SearchReply(site_.Base() + TestBook::BookPath(), names));
  }
  ExportWindow& Ui() {
    if (!ui_) ui_ = std::make_unique<ExportWindow>(settings_);
    return *ui_;
  }
  // BookAs: the book's file when the row's name is name.
  Text BookAs(const Text& name) const {
    TestBook renamed = book_;
    renamed.name = name;
    return renamed.File();
  }

  FaultySite site_;
  ScratchDir dir_;
  SiteSettings settings_;
  TestBook book_;
  std::unique_ptr<ExportWindow> ui_;
};

// --- book names, as the search reply gives them -------------------------------

TEST_F(HostileTest, BookNamesFromTheSearchReplyStayInsideTheOutputDirectory) {
  const std::string longFile = Repeat("书", 83) + ".txt";  // 253 bytes; one more is 256
  struct Case {
    const char* label;
    Text name;                        // code page 936, as the row holds it
    std::optional<std::string> file;  // UTF-8; none: refused
  } cases[] = {
      {"climbing out", "../../etc/x", ".._.._etc_x.txt"},
      {"absolute", "/abs", "_abs.txt"},
      {"device", "CON", "CON_.txt"},
      {"device before a dot", "aux.txt", "aux_.txt.txt"},
      {"backslash", "a\\b", "a_b.txt"},
      {"double quote", "a\"c", "a_c.txt"},
      {"control characters", "a\tb\x01" "c\x1b" "d\x7f", "a_b_c_d_.txt"},
      {"300 bytes", Repeat(G("书"), 150), longFile},
      {"second bytes 0x5C and 0x7C", "\x81\x5c\x81\x7c", "乗亅.txt"},
      {"full-width spaces only", G("　　"), "　　.txt"},
      {"trailing dots", "x...", "x.txt"},
      {"dot dot", "..", std::nullopt},
      {"dot", ".", std::nullopt},
  };
  std::vector<Text> names;
  for (const Case& c : cases) names.push_back(c.name);
  ListBooks(names);
  ASSERT_EQ(Ui().Search("x"), static_cast<int>(std::size(cases)));

  std::vector<std::string> expectedFiles;
  for (int row = 0; row < static_cast<int>(std::size(cases)); ++row) {
    const Case& c = cases[row];
    SCOPED_TRACE(c.label);
    ASSERT_EQ(Ui().Cell(row, 1), c.name);
    const int chapterRequests = site_.Hits(TestBook::ChapterPath(1));
    const Text status = Ui().Export(row);
    if (c.file) {
      EXPECT_EQ(status, G("书籍:") + c.name + G("的所有章节已生成TXT文本在程序目录下"));
      EXPECT_TRUE(SameBytes(ReadWholeFile(dir_.Out() / *c.file), BookAs(c.name)));
      expectedFiles.push_back(*c.file);
    } else {
      EXPECT_EQ(status, G("书名不能用作文件名,未生成TXT文本"));
      EXPECT_EQ(site_.Hits(TestBook::ChapterPath(1)), chapterRequests);
    }
  }
  std::sort(expectedFiles.begin(), expectedFiles.end());
  EXPECT_EQ(dir_.Written(), expectedFiles);
}

TEST_F(HostileTest, ANameOfOnlySpacesIsRefused) {
  // the search drops every ASCII space of a result, so nothing is left
  ListBooks({"   "});
  ASSERT_EQ(Ui().Search("x"), 1);
  EXPECT_EQ(Ui().Cell(0, 1), "");
  EXPECT_EQ(Ui().Export(0), G("书名不能用作文件名,未生成TXT文本"));
  EXPECT_TRUE(dir_.Written().empty());
}

// --- chapter titles and paths, as the catalogue gives them --------------------

TEST_F(HostileTest, ChapterTitlesReachTheFileAsTheyAre) {
  book_.titles = {"../../etc/x", "/abs", "CON", "a\\b", "\x01\x1b[31m", Repeat(G("章"), 150),
                  "\x81\x5c"};
  book_.texts.resize(book_.titles.size(), "text");
  book_.cleaned.resize(book_.titles.size(), "text");
  book_.Publish(site_);
  ListBooks({G("书")});
  std::vector<Text> statuses;
  ASSERT_EQ(Ui().Search("x"), 1);
  Ui().window().状态条1->SetTextObserver([&](int part, const Text& text) {
    if (part == 1) statuses.push_back(text);
  });

  EXPECT_EQ(Ui().Export(0), G("书籍:书的所有章节已生成TXT文本在程序目录下"));
  EXPECT_TRUE(SameBytes(ReadWholeFile(dir_.Out() / "书.txt"), book_.File()));
  EXPECT_EQ(dir_.Written(), std::vector<std::string>{"书.txt"});
  for (const Text& title : book_.titles) {
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), G("正在处理 《") + title + G("》")),
              statuses.end());
  }
}

// A chapter path is put after the site's address: one that does not begin
// with "/" runs on into the host part ("@host:port/", ".other.domain/") and
// would send the request elsewhere. Such a chapter is not fetched and counts as
// lost.
TEST_F(HostileTest, AChapterPathCannotPointAtAnotherHost) {
  FaultySite other;
  other.Set("/evil.html", FaultySite::Ok(TestBook::ChapterPageWith("from elsewhere")));
  const std::string port = other.Base().substr(other.Base().rfind(':') + 1);
  Text catalogue = book_.CataloguePage();
  const std::string path = TestBook::ChapterPath(2);
  catalogue.replace(catalogue.find(path), path.size(), "@127.0.0.1:" + port + "/evil.html");
  site_.Set(TestBook::CataloguePath(), FaultySite::Ok(catalogue));
  ListBooks({G("书")});
  ASSERT_EQ(Ui().Search("x"), 1);

  EXPECT_EQ(Ui().Export(0), G("书籍:书已生成TXT文本在程序目录下,其中1章获取失败"));
  EXPECT_EQ(other.Hits("/evil.html"), 0);
  EXPECT_TRUE(SameBytes(ReadWholeFile(dir_.Out() / "书.txt"), book_.File({2})));
}

// --- a huge search reply --------------------------------------------------------

TEST_F(HostileTest, ATenMegabyteSearchReply) {
  // one result with a 10 MB introduction among a thousand ordinary ones
  const std::string huge = Repeat("简介很长。", 10 * 1024 * 1024 / 15);
  std::string reply = testing::SearchReply(site_.Base() + TestBook::BookPath(),
                                           std::vector<Text>(500, G("书")));
  const std::string block = "<p class=\"result-game-item-desc\">";
  std::string tail = testing::SearchReply(site_.Base() + TestBook::BookPath(),
                                          std::vector<Text>(500, G("书")));
  reply.insert(reply.rfind(block) + block.size(), huge);
  reply += tail;
  ASSERT_GT(reply.size(), 10u << 20);
  ServeSearch(reply);

  EXPECT_EQ(Ui().Search("x"), 1000);
  EXPECT_EQ(Ui().Status(), G("搜索完成!"));
  EXPECT_TRUE(SameBytes(Ui().Cell(499, 2), G(huge + "简介")));
  EXPECT_EQ(Ui().Cell(500, 2), G("简介"));
  // the list still works: export from it
  EXPECT_EQ(Ui().Export(999), G("书籍:书的所有章节已生成TXT文本在程序目录下"));
}

// --- markers in an order no honest page has --------------------------------------

TEST_F(HostileTest, SearchMarkersInASurprisingOrder) {
  const std::string address = site_.Base() + TestBook::BookPath();
  auto fields = [&](const std::string& name) {
    return " <a href=\"" + address + "\" title=\"" + name +
           "\" class=\"x\">x</a><p class=\"result-game-item-desc\">简介</p>"
           "<p><span>作者：</span><span>某人</span></p> ";
  };
  const std::string start = "result-game-item-detail";
  const std::string end = "更新状态：</span>";
  struct Case {
    const char* label;
    std::string reply;
    std::vector<std::string> names;  // column 1 of each row, UTF-8
  } cases[] = {
      {"end before start", end + start + fields("甲") + end, {"甲"}},
      {"nested start markers", start + start + fields("甲") + end, {"甲"}},
      {"a start inside a block", start + fields("甲") + start + fields("乙") + end, {"甲"}},
      {"last block without its end", start + fields("甲") + end + start + fields("乙"), {"甲"}},
      {"end markers only", end + end + end, {}},
      {"start markers only", start + start + start, {}},
      {"empty block", start + end + start + fields("乙") + end, {"乙"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ServeSearch(c.reply);
    ASSERT_EQ(Ui().Search("x"), static_cast<int>(c.names.size()));
    EXPECT_EQ(Ui().Status(), G("搜索完成!"));
    for (int row = 0; row < static_cast<int>(c.names.size()); ++row) {
      EXPECT_EQ(Ui().Cell(row, 0), address);
      EXPECT_EQ(Ui().Cell(row, 1), G(c.names[row]));
    }
  }
}

TEST_F(HostileTest, AResultMissingHalfItsMarkersExportsNothing) {
  const std::string start = "<div class=\"result-game-item-detail\">";
  const std::string end = "<p><span>更新状态：</span>完本</p></div>";
  ServeSearch(
      // no address: the link lacks its title
      start + "<a href=\"" + site_.Base() + TestBook::BookPath() + "\">x</a>" + end +
      // no name: the title has nothing after it
      start + "<a href=\"" + site_.Base() + TestBook::BookPath() + "\"title=\"" + end);
  ASSERT_EQ(Ui().Search("x"), 2);
  EXPECT_EQ(Ui().Cell(0, 0), "");
  EXPECT_EQ(Ui().Cell(0, 2), G("暂无简介"));
  EXPECT_EQ(Ui().Cell(1, 0), site_.Base() + TestBook::BookPath());
  EXPECT_EQ(Ui().Cell(1, 1), "");

  EXPECT_EQ(Ui().Export(0), G("无法获取书籍页面,请稍后重试"));
  EXPECT_EQ(Ui().Export(1), G("书名不能用作文件名,未生成TXT文本"));
  EXPECT_TRUE(dir_.Written().empty());
}

TEST_F(HostileTest, CatalogueAndChapterMarkersInASurprisingOrder) {
  // the catalogue: an end marker first, an entry inside an entry, one without
  // its end; the chapter: its end marker before its start
  const Text end = "<span></span></a></li>";
  site_.Set(TestBook::CataloguePath(),
            FaultySite::Ok(end + "<li><a href=<li><a href='/b/1.html'>" + book_.titles[0] + end +
                           "<li><a href='/b/2.html'>" + book_.titles[1] + end +
                           "<li><a href='/b/3.html'>lost"));
  site_.Set(TestBook::ChapterPath(2),
            FaultySite::Ok("</div>" + book_.ChapterPage(2)));
  ListBooks({G("书")});
  ASSERT_EQ(Ui().Search("x"), 1);

  EXPECT_EQ(Ui().Export(0), G("书籍:书的所有章节已生成TXT文本在程序目录下"));
  EXPECT_TRUE(SameBytes(ReadWholeFile(dir_.Out() / "书.txt"), book_.File()));
  EXPECT_EQ(site_.Hits("/b/3.html"), 0);
}

}  // namespace
}  // namespace vellumara
