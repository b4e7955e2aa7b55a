// The export against a site that misbehaves: through the real window
// (offscreen), with short limits so that every fault plays out in seconds.
// Whatever happens, the export ends, keeps what a retry can get back, counts
// what it cannot, and touches nothing but its own file in the output directory.
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "scrape/export_window.h"
#include "scrape/faulty_site.h"
#include "text/codepage.h"

namespace vellumara {
namespace {

namespace fs = std::filesystem;
using testing::ExportWindow;
using testing::FaultySite;
using testing::ReadWholeFile;
using testing::SameBytes;
using testing::ScratchDir;
using testing::TestBook;
using Reply = FaultySite::Reply;

Text G(std::string_view utf8) { return Utf8ToGbk(utf8); }

constexpr std::string_view kOldContent = "an earlier export of this book, which must survive\r\n";

class FaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.searchEndpoint = site_.Base() + "/cse/search?q=";
    settings_.siteBase = site_.Base();
    settings_.outputDirectory = dir_.Out().string();
    settings_.limits.connectTimeoutSeconds = 2;
    settings_.limits.lowSpeedSeconds = 1;
    settings_.limits.maxBodyBytes = 256 << 10;
    settings_.limits.maxRedirects = 3;
    settings_.firstRetryPauseMs = 10;
    settings_.maxRetryAfterSeconds = 2;
    book_ = TestBook::Make(G("故障之书"), 3);
    book_.Publish(site_);
    site_.Set("/cse/search",
              FaultySite::Ok(testing::SearchReply(site_.Base() + TestBook::BookPath(), {book_.name}),
                             "text/html; charset=utf-8"));
  }

  // Export: searches, picks the one result and exports it; the final status.
  Text Export() {
    if (!ui_) ui_ = std::make_unique<ExportWindow>(settings_);
    EXPECT_EQ(ui_->Search(QString::fromUtf8("故障")), 1);
    return ui_->Export(0);
  }

  fs::path BookFile() const { return dir_.Out() / "故障之书.txt"; }
  void PlantOldFile() const { std::ofstream(BookFile(), std::ios::binary) << kOldContent; }
  std::vector<std::string> Written() const { return dir_.Written(); }

  Text Done() const { return G("书籍:故障之书的所有章节已生成TXT文本在程序目录下"); }
  Text PartlyDone(int failed) const {
    return G("书籍:故障之书已生成TXT文本在程序目录下,其中") + std::to_string(failed) + G("章获取失败");
  }

  FaultySite site_;
  ScratchDir dir_;
  SiteSettings settings_;
  TestBook book_;
  std::unique_ptr<ExportWindow> ui_;
};

// A fault of one chapter page, made from the page it spoils.
struct ChapterFault {
  const char* name;
  std::function<Reply(const Text& page)> reply;
  int requests;  // the chapter's requests in all; 0: not checked
};

std::string FaultName(const ::testing::TestParamInfo<ChapterFault>& info) {
  return info.param.name;
}
void PrintTo(const ChapterFault& fault, std::ostream* out) { *out << fault.name; }

TEST_F(FaultsTest, AFaultFreeSiteGivesTheWholeBook) {
  PlantOldFile();
  EXPECT_EQ(Export(), Done());
  EXPECT_TRUE(SameBytes(ReadWholeFile(BookFile()), book_.File()));
  EXPECT_EQ(Written(), std::vector<std::string>{"故障之书.txt"});
}

// --- faults a retry gets past: the file equals the fault-free one ------------

class RecoverableFault : public FaultsTest, public ::testing::WithParamInterface<ChapterFault> {};

TEST_P(RecoverableFault, FileEqualsTheFaultFreeOne) {
  const ChapterFault& fault = GetParam();
  site_.Set(TestBook::ChapterPath(2),
            FaultySite::Once(fault.reply(book_.ChapterPage(2)), FaultySite::Ok(book_.ChapterPage(2))));
  PlantOldFile();  // replaced whole

  EXPECT_EQ(Export(), Done());
  EXPECT_TRUE(SameBytes(ReadWholeFile(BookFile()), book_.File()));
  EXPECT_EQ(Written(), std::vector<std::string>{"故障之书.txt"});
  if (fault.requests > 0) {
    EXPECT_EQ(site_.Hits(TestBook::ChapterPath(2)), fault.requests);
  }
  EXPECT_EQ(site_.Hits(TestBook::ChapterPath(3)), 1);
}

const ChapterFault kRecoverable[] = {
    {"reset_in_the_body", [](const Text& page) { return FaultySite::ResetMidBody(page); }, 2},
    {"body_short_of_its_length", [](const Text& page) { return FaultySite::CutShort(page); }, 2},
    // on a reused connection the HTTP library itself may try again at once
    {"closed_without_reply", [](const Text&) { return FaultySite::Silent(); }, 0},
    {"status_503_retry_after_1",
     [](const Text&) { return FaultySite::Status(503, "Retry-After: 1\r\n"); }, 2},
    {"status_500", [](const Text&) { return FaultySite::Status(500); }, 2},
    {"status_429", [](const Text&) { return FaultySite::Status(429, "Retry-After: 0\r\n"); }, 2},
    {"stall_until_the_stall_limit", [](const Text&) { return FaultySite::Stall(); }, 2},
};
INSTANTIATE_TEST_SUITE_P(Chapter, RecoverableFault, ::testing::ValuesIn(kRecoverable), FaultName);

// --- faults no retry mends: a marked gap, counted, and the export goes on -----

class LastingFault : public FaultsTest, public ::testing::WithParamInterface<ChapterFault> {};

TEST_P(LastingFault, LeavesAMarkedGapThatTheStatusCounts) {
  const ChapterFault& fault = GetParam();
  site_.Set(TestBook::ChapterPath(2), fault.reply(book_.ChapterPage(2)));
  PlantOldFile();  // replaced whole

  EXPECT_EQ(Export(), PartlyDone(1));
  EXPECT_TRUE(SameBytes(ReadWholeFile(BookFile()), book_.File({2})));
  EXPECT_EQ(Written(), std::vector<std::string>{"故障之书.txt"});
  if (fault.requests > 0) {
    EXPECT_EQ(site_.Hits(TestBook::ChapterPath(2)), fault.requests);
  }
  EXPECT_EQ(site_.Hits(TestBook::ChapterPath(3)), 1);
}

const ChapterFault kLasting[] = {
    // transient each time: three tries in all
    {"reset_in_the_body", [](const Text& page) { return FaultySite::ResetMidBody(page); }, 3},
    {"body_short_of_its_length", [](const Text& page) { return FaultySite::CutShort(page); }, 3},
    {"status_500", [](const Text&) { return FaultySite::Status(500); }, 3},
    {"status_503_retry_after_1",
     [](const Text&) { return FaultySite::Status(503, "Retry-After: 1\r\n"); }, 3},
    // a wait longer than we are willing to give is not waited for
    {"status_503_retry_after_a_day",
     [](const Text&) { return FaultySite::Status(503, "Retry-After: 86400\r\n"); }, 3},
    {"stall_until_the_stall_limit", [](const Text&) { return FaultySite::Stall(); }, 3},
    {"closed_without_reply", [](const Text&) { return FaultySite::Silent(); }, 0},
    // not worth a second try
    {"status_404", [](const Text&) { return FaultySite::Status(404); }, 1},
    {"body_over_the_cap",
     [](const Text& page) {
       Text big = page;
       big.insert(big.find("</div>"), std::string(300 << 10, 'x'));
       return FaultySite::Ok(big);
     },
     1},
    {"endless_body_without_length", [](const Text&) { return FaultySite::Endless(); }, 1},
    // the first request and three redirects
    {"redirect_loop", [](const Text&) { return FaultySite::Redirect(TestBook::ChapterPath(2)); }, 4},
    {"page_without_the_text_markers",
     [](const Text&) { return FaultySite::Ok("<html><body>nothing here</body></html>"); }, 1},
};
INSTANTIATE_TEST_SUITE_P(Chapter, LastingFault, ::testing::ValuesIn(kLasting), FaultName);

TEST_F(FaultsTest, SeveralFaultsInOneBookAreCountedTogether) {
  book_ = TestBook::Make(G("故障之书"), 6);
  book_.Publish(site_);
  site_.Set(TestBook::ChapterPath(2), FaultySite::Status(404));
  site_.Set(TestBook::ChapterPath(3), FaultySite::ResetMidBody(book_.ChapterPage(3)));
  site_.Set(TestBook::ChapterPath(4),
            FaultySite::Once(FaultySite::Status(500), FaultySite::Ok(book_.ChapterPage(4))));
  site_.Set(TestBook::ChapterPath(5), FaultySite::Redirect(TestBook::ChapterPath(5)));

  EXPECT_EQ(Export(), PartlyDone(3));
  EXPECT_TRUE(SameBytes(ReadWholeFile(BookFile()), book_.File({2, 3, 5})));
}

// A reply that keeps trickling in never trips the stall limit, so only the
// limit on the whole exchange ends it.
TEST_F(FaultsTest, AReplyThatTricklesForEverEnds) {
  settings_.limits.totalSeconds = 2;
  site_.Set(TestBook::ChapterPath(2), FaultySite::Drip());
  PlantOldFile();
  EXPECT_EQ(Export(), PartlyDone(1));
  EXPECT_TRUE(SameBytes(ReadWholeFile(BookFile()), book_.File({2})));
}

// --- the book page or the catalogue cannot be had: no file at all -------------

struct PageFault {
  const char* name;
  std::string path;
  Reply reply;
  const char* status;  // UTF-8
};

void PrintTo(const PageFault& fault, std::ostream* out) { *out << fault.name; }

class PageFaults : public FaultsTest, public ::testing::WithParamInterface<PageFault> {};

TEST_P(PageFaults, EndTheExportAndLeaveTheOldFileAlone) {
  const PageFault& fault = GetParam();
  site_.Set(fault.path, fault.reply);
  PlantOldFile();

  EXPECT_EQ(Export(), G(fault.status));
  EXPECT_EQ(ReadWholeFile(BookFile()), kOldContent);
  EXPECT_EQ(Written(), std::vector<std::string>{"故障之书.txt"});
  EXPECT_EQ(site_.Hits(TestBook::ChapterPath(1)), 0);
}

const PageFault kPageFaults[] = {
    {"book_page_404", TestBook::BookPath(), FaultySite::Status(404), "无法获取书籍页面,请稍后重试"},
    {"book_page_stalls", TestBook::BookPath(), FaultySite::Stall(), "无法获取书籍页面,请稍后重试"},
    {"book_page_reset", TestBook::BookPath(), FaultySite::ResetMidBody(std::string(4000, 'x')),
     "无法获取书籍页面,请稍后重试"},
    {"book_page_endless", TestBook::BookPath(), FaultySite::Endless(), "无法获取书籍页面,请稍后重试"},
    {"catalogue_503", TestBook::CataloguePath(), FaultySite::Status(503, "Retry-After: 1\r\n"),
     "无法获取章节目录,请稍后重试"},
    {"catalogue_endless", TestBook::CataloguePath(), FaultySite::Endless(),
     "无法获取章节目录,请稍后重试"},
    {"catalogue_redirect_loop", TestBook::CataloguePath(),
     FaultySite::Redirect(TestBook::CataloguePath()), "无法获取章节目录,请稍后重试"},
    {"catalogue_cut_short", TestBook::CataloguePath(),
     FaultySite::CutShort(std::string(4000, 'x')), "无法获取章节目录,请稍后重试"},
};
INSTANTIATE_TEST_SUITE_P(Book, PageFaults, ::testing::ValuesIn(kPageFaults),
                         [](const ::testing::TestParamInfo<PageFault>& info) {
                           return info.param.name;
                         });

// --- bytes that are no proper code page 936 ------------------------------------

TEST_F(FaultsTest, InvalidBytesInAChapterReachTheFileUnchanged) {
  // 0x80 and 0xFF lead no code page 936 character, 0x7F is never a second
  // byte; the page ends with a lone lead byte
  const Text odd = "ab\x80" "c\xff" "d\x81\x7f";
  site_.Set(TestBook::ChapterPath(2),
            FaultySite::Ok(TestBook::ChapterPageWith(odd + "&nbsp;e<br />f") + "\x81"));
  book_.cleaned[1] = odd + " e\r\nf";

  EXPECT_EQ(Export(), Done());
  EXPECT_TRUE(SameBytes(ReadWholeFile(BookFile()), book_.File()));
}

// A lead byte right before a marker must not swallow the marker's first byte.
// No second byte lies below 0x40, so such a byte is a broken character and
// comes out as '?', and the catalogue entry and the chapter text both survive.
TEST_F(FaultsTest, ALoneLeadByteBeforeAMarkerLosesNothing) {
  TestBook served = book_;
  served.texts[1] += "\x81";
  served.titles[1] += "\xb0";
  served.Publish(site_);
  book_.cleaned[1] += "?";
  book_.titles[1] += "?";

  EXPECT_EQ(Export(), Done());
  EXPECT_TRUE(SameBytes(ReadWholeFile(BookFile()), book_.File()));
}

// --- a long catalogue ---------------------------------------------------------

TEST_F(FaultsTest, ACatalogueOfTenThousandEntries) {
  book_ = TestBook::Make(G("故障之书"), 10000);
  settings_.limits.maxBodyBytes = 4 << 20;  // the catalogue alone is 600 KB
  book_.Publish(site_);
  site_.Set(TestBook::ChapterPath(5000), FaultySite::Status(404));

  EXPECT_EQ(Export(), PartlyDone(1));
  EXPECT_TRUE(SameBytes(ReadWholeFile(BookFile()), book_.File({5000})));
  EXPECT_EQ(Written(), std::vector<std::string>{"故障之书.txt"});
  EXPECT_FALSE(ui_->window().状态条1->progressBar()->isVisible());
}

}  // namespace
}  // namespace vellumara
