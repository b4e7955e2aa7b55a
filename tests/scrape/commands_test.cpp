// The two commands end to end, through the real window (offscreen) and the
// fixture site on 127.0.0.1.
#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <csignal>
#include <sstream>

#include <gtest/gtest.h>

#include "scrape/commands.h"
#include "scrape/export.h"
#include "probe_run.h"
#include "scrape/fixture_site.h"
#include "shell/main_window.h"
#include "text/codepage.h"

namespace vellumara {
namespace {

namespace fs = std::filesystem;
using testing::FixtureSite;

Text G(std::string_view utf8) { return Utf8ToGbk(utf8); }

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

// The book the fixture site serves at /book/1.html, as the file must hold it.
Text ExpectedBookOne() {
  return G("测试之书\r\n\r\n"
           "\r\n\r\n第一章 启程\r\n\r\n"
           "    天亮了。\r\n他走出门，  看见远山。\r\n“走吧。”"
           "\r\n\r\n第二章 风雨\r\n\r\n"
           "风雨交加。\r\n\r\n雨停了。\r\n夜深了。"
           "\r\n\r\n第三章 它\r\n\r\n"
           "最后一章。");
}

class CommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    out_ = fs::temp_directory_path() /
           ("vellumara-commands-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(out_);
    fs::create_directories(out_);
    settings_.searchEndpoint = site_.Base() + "/cse/search?q=";
    settings_.siteBase = site_.Base();
    settings_.outputDirectory = out_.string();
    settings_.firstRetryPauseMs = 10;
    settings_.limits.connectTimeoutSeconds = 5;
    settings_.limits.lowSpeedSeconds = 5;
    window_.show();
    window_.状态条1->SetTextObserver([this](int part, const Text& text) {
      if (part == 1) statuses_.push_back(text);
    });
  }
  void TearDown() override { fs::remove_all(out_); }

  void Attach() { AttachCommands(window_.controls(), settings_); }

  // Search: types name into the name box and clicks "搜  索"; the search runs
  // inside the click.
  void Search(const QString& name) {
    window_.编辑框1->setText(name);
    window_.按钮1->click();
  }

  Text Cell(int row, int column) { return ListCellText(window_.controls().超级列表框1, row, column); }
  int Rows() { return window_.超级列表框1->topLevelItemCount(); }

  // Export: selects row (none for -1), clicks "生成TXT" and waits until the
  // worker has enabled both buttons again.
  void Export(int row) {
    window_.超级列表框1->clearSelection();
    if (row >= 0) window_.超级列表框1->topLevelItem(row)->setSelected(true);
    window_.按钮2->click();
    WaitUntilIdle();
  }
  void WaitUntilIdle() {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    do {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      QThread::msleep(2);
    } while (!(window_.按钮1->isEnabled() && window_.按钮2->isEnabled()) &&
             std::chrono::steady_clock::now() < deadline);
    ASSERT_TRUE(window_.按钮1->isEnabled() && window_.按钮2->isEnabled());
  }
  std::vector<fs::path> Files() {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(out_)) files.push_back(entry.path());
    return files;
  }
  int BookRequests() {
    int n = 0;
    for (const std::string& t : site_.Targets()) n += t.starts_with("/book/");
    return n;
  }

  FixtureSite site_;
  fs::path out_;
  SiteSettings settings_;
  MainWindow window_;
  std::vector<Text> statuses_;
};

TEST_F(CommandsTest, SearchListsEveryResult) {
  Attach();
  Search(QString::fromUtf8("测试 书"));

  ASSERT_FALSE(site_.Targets().empty());
  EXPECT_EQ(site_.Targets().back(),
            "/cse/search?q=%B2%E2%CA%D4%20%CA%E9&s=8108208238784316788&nsid=&entry=1");
  ASSERT_EQ(Rows(), 4);
  struct Row {
    Text address, name, intro, author;
  } expected[] = {
      {site_.Base() + "/book/1.html", G("测试之书"), G("一本用来测试的书，讲的是一个故事。"), G("张三")},
      {site_.Base() + "/book/2.html", G("无简介之书"), G("暂无简介"), G("李四")},
      {site_.Base() + "/book/3.html", G("无作者之书"), G("没有作者的书"), ""},
      // ASCII spaces go, full-width ones stay; an empty introduction counts as none
      {site_.Base() + "/book/4.html", G("空格　之书"), G("暂无简介"), G("王五")},
  };
  for (int row = 0; row < 4; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(Cell(row, 0), expected[row].address);
    EXPECT_EQ(Cell(row, 1), expected[row].name);
    EXPECT_EQ(Cell(row, 2), expected[row].intro);
    EXPECT_EQ(Cell(row, 3), expected[row].author);
    EXPECT_EQ(Cell(row, 4), "");
  }
  EXPECT_EQ(statuses_, (std::vector<Text>{G("正在搜索中."), G("搜索完成!")}));
  EXPECT_TRUE(window_.按钮1->isEnabled());

  // a second search shows only its own rows
  Search("x");
  EXPECT_EQ(Rows(), 4);
}

TEST_F(CommandsTest, SearchTellsWhenTheServiceCannotBeAsked) {
  settings_.searchEndpoint = site_.Base() + "/nowhere?q=";
  Attach();
  Search("x");
  EXPECT_EQ(Rows(), 0);
  EXPECT_EQ(statuses_.back(), G("搜索失败!搜索服务器返回错误 404"));

  settings_.searchEndpoint = "http://127.0.0.1:1/cse/search?q=";
  MainWindow other;
  other.状态条1->SetTextObserver([this](int part, const Text& t) {
    if (part == 1) statuses_.push_back(t);
  });
  AttachCommands(other.controls(), settings_);
  other.编辑框1->setText("x");
  other.按钮1->click();
  EXPECT_EQ(statuses_.back(), G("搜索失败!无法连接搜索服务器"));
  EXPECT_TRUE(other.按钮1->isEnabled());
}

TEST_F(CommandsTest, ExportWritesTheBookByteForByte) {
  Attach();
  Search(QString::fromUtf8("测试"));
  statuses_.clear();
  Export(0);

  fs::path file = out_ / "测试之书.txt";
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(ReadFile(file), ExpectedBookOne());
  EXPECT_EQ(Files().size(), 1u);  // no temporary file left behind
  EXPECT_EQ(statuses_, (std::vector<Text>{
                           G("已查找到测试之书的所有章节,请等待程序处理"),
                           G("程序正在解析测试之书的所有章节,请耐心等待"),
                           G("正在处理 《第一章 启程》"),
                           G("正在处理 《第二章 风雨》"),
                           G("正在处理 《第三章 它》"),
                           G("书籍:测试之书的所有章节已生成TXT文本在程序目录下"),
                       }));
  EXPECT_FALSE(window_.状态条1->progressBar()->isVisible());
}

TEST_F(CommandsTest, EachExportHoldsOnlyItsOwnBook) {
  Attach();
  Search("x");
  Export(0);
  Export(3);
  Export(0);
  EXPECT_EQ(ReadFile(out_ / "测试之书.txt"), ExpectedBookOne());
  std::string second = ReadFile(out_ / "空格　之书.txt");
  EXPECT_TRUE(second.starts_with(G("空格　之书\r\n\r\n")));
  EXPECT_EQ(second.find(G("测试之书")), std::string::npos);
}

TEST_F(CommandsTest, RefusedOrEmptyBooksWriteNothing) {
  Attach();
  Search("x");

  Export(1);  // "Warning" inside other text
  EXPECT_EQ(statuses_.back(), G("该书籍有错误!请更换书籍"));
  Export(2);  // only "warning", but the catalogue lists no chapter
  EXPECT_EQ(statuses_.back(), G("章节目录中没有无作者之书的任何章节,未生成TXT文本"));
  EXPECT_TRUE(Files().empty());

  int before = BookRequests();
  Export(-1);
  EXPECT_EQ(statuses_.back(), G("请先在搜索结果中选择一本书籍"));
  EXPECT_EQ(BookRequests(), before);
  EXPECT_TRUE(Files().empty());
}

TEST_F(CommandsTest, FailedChaptersLeaveAMarkedGapAndAreCounted) {
  Attach();
  Search("x");
  Export(3);
  EXPECT_EQ(ReadFile(out_ / "空格　之书.txt"),
            G("空格　之书\r\n\r\n"
              "\r\n\r\n第一章 正常\r\n\r\n第一章正文。"
              "\r\n\r\n第二章 不存在\r\n\r\n（本章获取失败）"
              "\r\n\r\n第三章 无标记\r\n\r\n（本章获取失败）"
              "\r\n\r\n第四章 重试\r\n\r\n重试后得到的正文。"));
  EXPECT_EQ(statuses_.back(), G("书籍:空格　之书已生成TXT文本在程序目录下,其中2章获取失败"));
  int missing = 0;
  for (const std::string& t : site_.Targets()) missing += t == "/book/4/missing.html";
  EXPECT_EQ(missing, 1);  // a 404 is not worth a second try
}

TEST_F(CommandsTest, ASiteThatStopsAnsweringIsNotAskedForTheRest) {
  settings_.maxFailuresInARow = 2;
  Attach();
  Search("x");
  Export(3);  // chapter 2 is missing, chapter 3 has no text: the rest is not asked for
  EXPECT_EQ(statuses_.back(), G("书籍:空格　之书已生成TXT文本在程序目录下,其中3章获取失败"));
  for (const std::string& t : site_.Targets()) EXPECT_NE(t, "/book/4/once500.html");
  EXPECT_TRUE(ReadFile(out_ / "空格　之书.txt").ends_with(G("第四章 重试\r\n\r\n（本章获取失败）")));
}

TEST_F(CommandsTest, ADoubleClickStartsOneExport) {
  Attach();
  Search("x");
  window_.超级列表框1->topLevelItem(0)->setSelected(true);
  window_.按钮2->click();
  window_.按钮2->click();  // already grey: no second worker
  EXPECT_FALSE(window_.按钮1->isEnabled());
  WaitUntilIdle();
  int bookPages = 0;
  for (const std::string& t : site_.Targets()) bookPages += t == "/book/1.html";
  EXPECT_EQ(bookPages, 1);
}

TEST_F(CommandsTest, AnExportEndingDuringASearchLeavesSearchGrey) {
  settings_.searchEndpoint = site_.Base() + "/slow/cse/search?q=";
  Attach();
  bool searchGreyAfterExport = false;
  bool exportEnabledAgain = false;
  // While the search waits for its reply, start an export (no row: it ends at
  // once) and look at the buttons once it is over.
  QTimer::singleShot(100, &window_, [this] { window_.按钮2->click(); });
  QTimer::singleShot(400, &window_, [&] {
    searchGreyAfterExport = !window_.按钮1->isEnabled();
    exportEnabledAgain = window_.按钮2->isEnabled();
  });
  Search("x");
  EXPECT_TRUE(searchGreyAfterExport);
  EXPECT_TRUE(exportEnabledAgain);
  EXPECT_EQ(Rows(), 4);
  WaitUntilIdle();
}

TEST_F(CommandsTest, AFailedWriteIsReportedAndKeepsTheOldFile) {
  Attach();
  Search("x");
  const fs::path file = out_ / "测试之书.txt";
  std::ofstream(file, std::ios::binary) << "old book";

  // The book is larger than the file size limit: the write fails half way.
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = 64;
  struct sigaction ignore {}, previous{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &previous);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  Export(0);
  setrlimit(RLIMIT_FSIZE, &old);
  sigaction(SIGXFSZ, &previous, nullptr);

  EXPECT_EQ(statuses_.back(), G("书籍:测试之书的TXT文本无法写入程序目录"));
  EXPECT_EQ(ReadFile(file), "old book");
  EXPECT_EQ(Files().size(), 1u);

  // a directory that is not there
  settings_.outputDirectory = (out_ / "missing").string();
  ExportReport report =
      ExportBook(site_.Base() + "/book/1.html", G("测试之书"), window_.controls().编辑框2, settings_);
  EXPECT_FALSE(report.written);
  EXPECT_EQ(statuses_.back(), G("书籍:测试之书的TXT文本无法写入程序目录"));
}

TEST_F(CommandsTest, HostileBookNamesStayInTheOutputDirectory) {
  struct Case {
    Text name;
    std::string file;
  } cases[] = {{"../../x", ".._.._x.txt"}, {"a/b", "a_b.txt"}, {G("名\\字"), "名_字.txt"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    ExportReport report = ExportBook(site_.Base() + "/book/1.html", c.name,
                                     window_.controls().编辑框2, settings_);
    EXPECT_TRUE(report.written);
    EXPECT_EQ(fs::path(report.path), out_ / c.file);
    EXPECT_TRUE(fs::exists(out_ / c.file));
  }
  EXPECT_EQ(Files().size(), 3u);
}

TEST_F(CommandsTest, ClosingDuringAnExportEndsAtOnceAndLeavesNoFile) {
  test::ProbeRun run = test::RunProbe(
      VELLUMARA_EXPORT_CLOSE_PROBE,
      {QString::fromStdString(settings_.searchEndpoint), QString::fromStdString(settings_.siteBase),
       QString::fromStdString(out_.string())});
  ASSERT_TRUE(run.finished) << "the program did not end when its window was closed";
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(run.output.contains("closing during the export"));
  EXPECT_TRUE(Files().empty());
}

}  // namespace
}  // namespace vellumara
