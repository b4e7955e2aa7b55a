// The window operations: exact bytes in and out, the list's rows, the buffer,
// calls from another thread, and a closed window.
#include <QCoreApplication>
#include <QEventLoop>
#include <QInputMethodEvent>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "probe_run.h"
#include "shell/window_fixture.h"
#include "text/events.h"

namespace vellumara {
namespace {

// RunWorker: runs work on a thread of its own while this thread dispatches the
// calls it makes, and returns once the work is done.
void RunWorker(const std::function<void()>& work) {
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    work();
    finished = true;
    // Wake the wait below.
    QMetaObject::invokeMethod(QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
  });
  while (!finished) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  worker.join();
}

using WindowOpsTest = WindowTest;

// Byte texts that must come back exactly as given.
struct BytesCase {
  const char* name;
  Text bytes;
};

std::vector<BytesCase> BytesCases() {
  Text book;
  for (int i = 0; i < 50000; ++i) book += "\xd5\xc2";  // 章, 100 KB
  return {
      {"empty", ""},
      {"ascii", "http://book.example/12/index.html"},
      {"chinese", "\xd0\xa1\xcb\xb5\xc3\xfb"},                 // 小说名
      {"cut final lead byte", "ab\xd6\xd0\xce"},               // ab 中 + half of 文
      {"lone high bytes", "\x80\xff\xfe"},
      {"line breaks and tab", "a\r\nb\n\tc\r"},
      {"markup", "<b>&nbsp;</b>"},
      {"long", book},
  };
}

TEST_F(WindowOpsTest, CellsPartsAndBufferKeepTheirBytes) {
  const int row = ListAppendRow(c_.超级列表框1);
  ASSERT_EQ(row, 0);
  for (const BytesCase& c : BytesCases()) {
    SCOPED_TRACE(c.name);
    for (int column = 0; column < 5; ++column) {
      ListSetCell(c_.超级列表框1, row, column, c.bytes);
      EXPECT_EQ(ListCellText(c_.超级列表框1, row, column), c.bytes);
    }
    StatusSetText(c_.状态条1, 1, c.bytes);
    EXPECT_EQ(StatusPartText(c_.状态条1, 1), c.bytes);
    SetStatus(c.bytes);
    EXPECT_EQ(StatusPartText(c_.状态条1, 1), c.bytes);
    EditClear(c_.编辑框2);
    EditAppendText(c_.编辑框2, c.bytes);
    EXPECT_EQ(EditGetText(c_.编辑框2), c.bytes);
  }
}

TEST_F(WindowOpsTest, CellsShowTheirTextInUnicode) {
  const int row = ListAppendRow(c_.超级列表框1);
  ListSetCell(c_.超级列表框1, row, 1, "\xd0\xa1\xcb\xb5");  // 小说
  ListSetCell(c_.超级列表框1, row, 2, "a\r\nb");
  EXPECT_EQ(window_->超级列表框1->topLevelItem(row)->text(1), Shown("小说"));
  EXPECT_EQ(window_->超级列表框1->topLevelItem(row)->text(2), QStringLiteral("a  b"));
  // A megabyte cell is shown cut short but read back whole.
  const Text huge(1 << 20, 'x');
  ListSetCell(c_.超级列表框1, row, 3, huge);
  EXPECT_LT(window_->超级列表框1->topLevelItem(row)->text(3).size(), 10000);
  EXPECT_EQ(ListCellText(c_.超级列表框1, row, 3), huge);
}

TEST_F(WindowOpsTest, BufferAppendsTheBytesAsGiven) {
  EditAppendText(c_.编辑框2, "a");
  EditAppendText(c_.编辑框2, "\r\nb");
  EXPECT_EQ(EditGetText(c_.编辑框2), "a\r\nb");
  EditAppendText(c_.编辑框2, "");
  EXPECT_EQ(EditGetText(c_.编辑框2), "a\r\nb");
  // The bytes never reach the hidden widget's own document.
  EXPECT_TRUE(window_->编辑框2->toPlainText().isEmpty());
  EXPECT_FALSE(window_->编辑框2->isVisible());
}

TEST_F(WindowOpsTest, NameBoxGivesBackCodePage936) {
  // Typed through an input method, as Chinese is.
  QInputMethodEvent typed;
  typed.setCommitString(QString::fromUtf8("中文\xf0\x9f\x98\x80x"));  // 中文, an emoji, x
  QCoreApplication::sendEvent(window_->编辑框1, &typed);
  ASSERT_EQ(window_->编辑框1->text(), QString::fromUtf8("中文\xf0\x9f\x98\x80x"));
  EXPECT_EQ(EditGetText(c_.编辑框1), "\xd6\xd0\xce\xc4?x");

  // Appending goes after the last character and leaves the caret there.
  EditAppendText(c_.编辑框1, "\xd7\xf7");  // 作
  EXPECT_EQ(EditGetText(c_.编辑框1), "\xd6\xd0\xce\xc4?x\xd7\xf7");
  EXPECT_EQ(window_->编辑框1->cursorPosition(), window_->编辑框1->text().size());
  EditClear(c_.编辑框1);
  EXPECT_EQ(EditGetText(c_.编辑框1), "");
}

TEST_F(WindowOpsTest, NameBoxTakesLongText) {
  const Text longName(100000, 'n');
  EditAppendText(c_.编辑框1, longName);
  EXPECT_EQ(EditGetText(c_.编辑框1), longName);
}

TEST_F(WindowOpsTest, RowsCountFromZeroAndMissingOnesAreEmpty) {
  EXPECT_EQ(ListSelectedRow(c_.超级列表框1), -1);
  EXPECT_EQ(ListAppendRow(c_.超级列表框1), 0);
  EXPECT_EQ(ListAppendRow(c_.超级列表框1), 1);
  ListSetCell(c_.超级列表框1, 1, 0, "addr");
  // cells that do not exist: read empty, written nowhere
  const int missing[][2] = {{-1, 0}, {2, 0}, {0, 5}, {0, -1}, {1, 5}};
  for (const auto& cell : missing) {
    SCOPED_TRACE(testing::Message() << cell[0] << "," << cell[1]);
    ListSetCell(c_.超级列表框1, cell[0], cell[1], "stray");
    EXPECT_EQ(ListCellText(c_.超级列表框1, cell[0], cell[1]), "");
  }
  EXPECT_EQ(window_->超级列表框1->topLevelItemCount(), 2);
  EXPECT_EQ(ListCellText(c_.超级列表框1, 1, 0), "addr");
  EXPECT_EQ(ListCellText(c_.超级列表框1, 0, 0), "");

  window_->超级列表框1->setCurrentItem(window_->超级列表框1->topLevelItem(1));
  EXPECT_EQ(ListSelectedRow(c_.超级列表框1), 1);
  ListClear(c_.超级列表框1);
  EXPECT_EQ(ListSelectedRow(c_.超级列表框1), -1);
  EXPECT_EQ(ListCellText(c_.超级列表框1, ListSelectedRow(c_.超级列表框1), 0), "");
  EXPECT_EQ(ListAppendRow(c_.超级列表框1), 0);
}

TEST_F(WindowOpsTest, DisabledButtonTakesNoClick) {
  int clicks = 0;
  OnClicked(c_.按钮2, [&clicks] { ++clicks; });
  SetControlDisabled(c_.按钮2, true);
  EXPECT_TRUE(ControlDisabled(c_.按钮2));
  EXPECT_FALSE(window_->按钮2->isEnabled());
  QTest::mouseClick(window_->按钮2, Qt::LeftButton);
  EXPECT_EQ(clicks, 0);
  SetControlDisabled(c_.按钮2, false);
  EXPECT_FALSE(ControlDisabled(c_.按钮2));
  QTest::mouseClick(window_->按钮2, Qt::LeftButton);
  EXPECT_EQ(clicks, 1);
  // The other button is bound to nothing: clicking it does nothing.
  QTest::mouseClick(window_->按钮1, Qt::LeftButton);
  EXPECT_EQ(clicks, 1);
}

// --- from another thread ---------------------------------------------------

TEST_F(WindowOpsTest, WorkerCallsWaitAndKeepTheirOrder) {
  // These count on the window's thread what has been carried out so far.
  std::atomic<int> rowsAdded{0};
  std::atomic<int> nameChanges{0};
  QObject::connect(window_->超级列表框1->model(), &QAbstractItemModel::rowsInserted,
                   [&rowsAdded] { ++rowsAdded; });
  QObject::connect(window_->编辑框1, &QLineEdit::textChanged, [&nameChanges] { ++nameChanges; });

  constexpr int kRows = 200;
  int late = 0;         // a call that returned before it was carried out
  int wrongIndex = 0;
  int wrongStatus = 0;
  RunWorker([&] {
    for (int i = 0; i < kRows; ++i) {
      const Text number = std::to_string(i);
      const int row = ListAppendRow(c_.超级列表框1);
      if (row != i) ++wrongIndex;
      if (rowsAdded.load() != i + 1) ++late;
      ListSetCell(c_.超级列表框1, row, 1, number);
      EditAppendText(c_.编辑框1, "x");
      if (nameChanges.load() != i + 1) ++late;
      EditAppendText(c_.编辑框2, number + ",");
      SetStatus(number);
      if (StatusPartText(c_.状态条1, 1) != number) ++wrongStatus;
    }
    SetControlDisabled(c_.按钮1, true);
    if (!ControlDisabled(c_.按钮1)) ++late;
  });
  EXPECT_EQ(late, 0);
  EXPECT_EQ(wrongIndex, 0);
  EXPECT_EQ(wrongStatus, 0);

  Text expected;
  for (int i = 0; i < kRows; ++i) {
    EXPECT_EQ(ListCellText(c_.超级列表框1, i, 1), std::to_string(i));
    expected += std::to_string(i) + ",";
  }
  EXPECT_EQ(EditGetText(c_.编辑框2), expected);
  EXPECT_EQ(EditGetText(c_.编辑框1), Text(kRows, 'x'));
  EXPECT_FALSE(window_->按钮1->isEnabled());
}

TEST_F(WindowOpsTest, WorkerIsServedWhileAHandlerPumpsEvents) {
  // As while a search runs: the window's thread is inside a click handler and
  // only PumpEvents lets the worker's calls through.
  std::atomic<bool> done{false};
  std::thread worker;
  OnClicked(c_.按钮1, [&] {
    ASSERT_TRUE(OnEventThread());
    worker = std::thread([&] {
      EXPECT_FALSE(OnEventThread());
      PumpEvents();  // nothing to do here, and must return
      for (int i = 0; i < 20; ++i) ListSetCell(c_.超级列表框1, ListAppendRow(c_.超级列表框1), 1, "w");
      done = true;
    });
    // Generous bound so a broken pump fails instead of hanging.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done && std::chrono::steady_clock::now() < giveUp) PumpEvents();
  });
  QTest::mouseClick(window_->按钮1, Qt::LeftButton);
  worker.join();
  EXPECT_TRUE(done);
  EXPECT_EQ(window_->超级列表框1->topLevelItemCount(), 20);
}

// --- a closed window ---------------------------------------------------------

// Every operation on a closed window: nothing happens, reads are empty.
void ExpectAllOpsInert(const MainControls& c, int& inert) {
  int clicks = 0;
  SetStatus("s");
  StatusSetText(c.状态条1, 1, "s");
  SetControlDisabled(c.按钮1, true);
  ListClear(c.超级列表框1);
  ListSetCell(c.超级列表框1, 0, 1, "s");
  EditAppendText(c.编辑框2, "s");
  EditAppendText(c.编辑框1, "s");
  EditClear(c.编辑框2);
  ProgressShow(1, 2);
  OnClicked(c.按钮2, [&clicks] { ++clicks; });
  inert = 0;
  inert += StatusPartText(c.状态条1, 0).empty();
  inert += !ControlDisabled(c.按钮1);
  inert += ListAppendRow(c.超级列表框1) == -1;
  inert += ListSelectedRow(c.超级列表框1) == -1;
  inert += ListCellText(c.超级列表框1, 0, 1).empty();
  inert += EditGetText(c.编辑框2).empty();
  inert += EditGetText(c.编辑框1).empty();
}
constexpr int kInertReads = 7;

TEST_F(WindowOpsTest, ClosedWindowIgnoresEveryOperation) {
  ListSetCell(c_.超级列表框1, ListAppendRow(c_.超级列表框1), 1, "kept");
  EditAppendText(c_.编辑框2, "book");
  window_->close();
  int inert = 0;
  ExpectAllOpsInert(c_, inert);
  EXPECT_EQ(inert, kInertReads);
  // The widgets themselves were left alone.
  EXPECT_TRUE(window_->按钮1->isEnabled());
  EXPECT_EQ(window_->超级列表框1->topLevelItemCount(), 1);

  delete window_.data();
  RunWorker([&] { ExpectAllOpsInert(c_, inert); });
  EXPECT_EQ(inert, kInertReads);
}

TEST_F(WindowOpsTest, StatusGoesToTheNewestOpenWindow) {
  auto* second = new MainWindow;
  SetStatus("second");
  EXPECT_EQ(StatusPartText(second->controls().状态条1, 1), "second");
  EXPECT_EQ(StatusPartText(c_.状态条1, 1), "");
  second->close();
  delete second;
  SetStatus("nobody");
  EXPECT_EQ(StatusPartText(c_.状态条1, 1), "");
}

// --- closing while a worker waits, in a process of its own -----------------------

class CloseWhileBusyTest : public ::testing::TestWithParam<const char*> {};

TEST_P(CloseWhileBusyTest, EndsTheProgramWithStatusZero) {
  test::ProbeRun run =
      test::RunProbe(QStringLiteral(VELLUMARA_CLOSE_PROBE), {QString::fromLatin1(GetParam())});
  ASSERT_TRUE(run.finished) << "the program did not end after its window was closed";
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(run.output.contains("closing while the worker waits"));
}

INSTANTIATE_TEST_SUITE_P(Path, CloseWhileBusyTest, ::testing::Values("esc", "closebox"));

}  // namespace
}  // namespace vellumara
