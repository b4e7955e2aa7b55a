// The main window as the user meets it: place, controls, list, status bar and
// keyboard.
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <vector>

#include "shell/window_fixture.h"

namespace vellumara {
namespace {

QString TextOf(const QWidget* widget) {
  if (auto* box = qobject_cast<const QGroupBox*>(widget)) return box->title();
  if (auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
  if (auto* button = qobject_cast<const QPushButton*>(widget)) return button->text();
  if (auto* edit = qobject_cast<const QLineEdit*>(widget)) return edit->text();
  return QString();
}

TEST_F(WindowTest, OpensCentredWithItsFixedOuterSize) {
  const QRect frame = window_->frameGeometry();
  EXPECT_EQ(frame.size(), QSize(491, 340));
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(frame.topLeft(), QPoint(screen.x() + (screen.width() - 491) / 2,
                                    screen.y() + (screen.height() - 340) / 2));
  // The client area is what is left inside the frame, and it cannot be resized.
  const QMargins margins = window_->windowHandle()->frameMargins();
  EXPECT_EQ(window_->size(), QSize(491 - margins.left() - margins.right(),
                                   340 - margins.top() - margins.bottom()));
  EXPECT_EQ(window_->minimumSize(), window_->maximumSize());

  EXPECT_EQ(window_->windowTitle(), QStringLiteral("Vellumara V1.0 - Orsolen"));
  const Qt::WindowFlags flags = window_->windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowStaysOnTopHint));
}

TEST_F(WindowTest, ControlsSitWhereTheFormPutsThem) {
  struct Case {
    const char* name;
    const char* parent;  // nullptr: the window itself
    QRect place;         // relative to the parent
    const char* shown;   // nullptr: not checked
    bool visible;
    bool tabStop;
  };
  const int clientWidth = window_->width();
  const int clientHeight = window_->height();
  const std::vector<Case> cases = {
      {"分组框1", nullptr, {8, 8, 472, 48}, "操作框", true, false},
      {"标签1", "分组框1", {8, 21, 40, 16}, "小说名:", true, false},
      {"编辑框1", "分组框1", {56, 19, 256, 20}, "", true, true},
      {"按钮1", "分组框1", {322, 17, 62, 24}, "搜  索", true, true},
      {"按钮2", "分组框1", {400, 16, 64, 24}, "生成TXT", true, true},
      {"分组框2", nullptr, {8, 64, 472, 224}, "搜索结果", true, false},
      {"超级列表框1", "分组框2", {8, 16, 456, 208}, nullptr, true, true},
      {"编辑框2", "分组框2", {368, 128, 80, 72}, nullptr, false, true},
      // docked at the bottom edge, full width
      {"状态条1", nullptr, {0, clientHeight - 20, clientWidth, 20}, nullptr, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto* widget = window_->findChild<QWidget*>(QString::fromUtf8(c.name));
    ASSERT_NE(widget, nullptr);
    const QWidget* parent = c.parent == nullptr
                                ? static_cast<QWidget*>(window_.data())
                                : window_->findChild<QWidget*>(QString::fromUtf8(c.parent));
    EXPECT_EQ(widget->parentWidget(), parent);
    EXPECT_EQ(widget->geometry(), c.place);
    if (c.shown != nullptr) {
      EXPECT_EQ(TextOf(widget), Shown(c.shown));
    }
    EXPECT_EQ(widget->isVisible(), c.visible);
    EXPECT_EQ((widget->focusPolicy() & Qt::TabFocus) != 0, c.tabStop);
    EXPECT_TRUE(widget->isEnabled());
  }
  // The members are those very controls.
  EXPECT_EQ(window_->findChild<QWidget*>(QStringLiteral("编辑框2")), window_->编辑框2);
  EXPECT_EQ(window_->findChild<QWidget*>(QStringLiteral("超级列表框1")), window_->超级列表框1);
  EXPECT_FALSE(window_->按钮1->isDefault() || window_->按钮1->autoDefault());
  EXPECT_FALSE(window_->按钮2->isDefault() || window_->按钮2->autoDefault());
}

TEST_F(WindowTest, ListHasFiveColumnsWithTheAddressOutOfSight) {
  QTreeWidget* list = window_->超级列表框1;
  const QHeaderView* header = list->header();
  const char* titles[] = {"地址", "小说名", "小说介绍", "作者", "状态"};
  const int widths[] = {0, 80, 230, 80, 50};
  ASSERT_EQ(list->columnCount(), 5);
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(list->headerItem()->text(i), Shown(titles[i]));
    EXPECT_EQ(header->sectionSize(i), widths[i]);
  }
  EXPECT_TRUE(header->isSectionHidden(0));
  EXPECT_TRUE(header->isVisible());
  EXPECT_FALSE(header->sectionsMovable());
  EXPECT_EQ(list->topLevelItemCount(), 0);
  EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST_F(WindowTest, HeaderClickLeavesTheRowOrder) {
  for (const char* name : {"b", "a", "c"}) {
    ListSetCell(c_.超级列表框1, ListAppendRow(c_.超级列表框1), 1, name);
  }
  QHeaderView* header = window_->超级列表框1->header();
  ASSERT_TRUE(header->sectionsClickable());
  const QPoint onSection1(header->sectionViewportPosition(1) + 5, header->height() / 2);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, onSection1);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, onSection1);
  EXPECT_EQ(ListCellText(c_.超级列表框1, 0, 1), "b");
  EXPECT_EQ(ListCellText(c_.超级列表框1, 1, 1), "a");
  EXPECT_EQ(ListCellText(c_.超级列表框1, 2, 1), "c");
}

TEST_F(WindowTest, ClickSelectsOneWholeRow) {
  for (int i = 0; i < 3; ++i) {
    int row = ListAppendRow(c_.超级列表框1);
    for (int column = 0; column < 5; ++column) ListSetCell(c_.超级列表框1, row, column, "x");
  }
  QTreeWidget* list = window_->超级列表框1;
  auto clickCell = [list](int row, int column) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->topLevelItem(row)).topLeft() +
                          QPoint(list->header()->sectionViewportPosition(column) + 3, 3));
  };
  clickCell(1, 3);  // on the author, not the name
  EXPECT_EQ(ListSelectedRow(c_.超级列表框1), 1);
  EXPECT_TRUE(list->selectionModel()->isRowSelected(1, QModelIndex()));
  clickCell(2, 1);
  EXPECT_EQ(ListSelectedRow(c_.超级列表框1), 2);
  EXPECT_EQ(list->selectedItems().size(), 1);
  // A double click opens no editor.
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                     list->visualItemRect(list->topLevelItem(2)).center());
  EXPECT_EQ(list->findChild<QLineEdit*>(), nullptr);
  EXPECT_EQ(ListCellText(c_.超级列表框1, 2, 1), "x");
}

TEST_F(WindowTest, StatusBarHasTwoPartsAndAHint) {
  StatusBar* bar = window_->状态条1;
  ASSERT_EQ(bar->PartCount(), 2);
  EXPECT_EQ(bar->PartFrame(0)->geometry(), QRect(0, 0, 50, 20));
  EXPECT_EQ(bar->PartFrame(1)->geometry(), QRect(50, 0, bar->width() - 50, 20));
  EXPECT_EQ(bar->PartLabel(0)->text(), Shown("提示:"));
  EXPECT_EQ(StatusPartText(c_.状态条1, 0), "\xcc\xe1\xca\xbe:");  // 提示:
  EXPECT_EQ(StatusPartText(c_.状态条1, 1), "");
  EXPECT_TRUE(bar->PartLabel(1)->text().isEmpty());

  SetStatus("\xd5\xfd\xd4\xda");  // 正在
  EXPECT_EQ(bar->PartLabel(1)->text(), Shown("正在"));
  // An empty text clears part 1 only.
  SetStatus("");
  EXPECT_TRUE(bar->PartLabel(1)->text().isEmpty());
  EXPECT_EQ(StatusPartText(c_.状态条1, 1), "");
  EXPECT_EQ(StatusPartText(c_.状态条1, 0), "\xcc\xe1\xca\xbe:");
  // Parts that do not exist change nothing.
  StatusSetText(c_.状态条1, -1, "x");
  StatusSetText(c_.状态条1, 2, "x");
  EXPECT_EQ(StatusPartText(c_.状态条1, 0), "\xcc\xe1\xca\xbe:");
  EXPECT_EQ(StatusPartText(c_.状态条1, 1), "");
  EXPECT_EQ(StatusPartText(c_.状态条1, 2), "");
  // Text that looks like markup is shown as it is.
  SetStatus("<b>bold</b>");
  EXPECT_EQ(bar->PartLabel(1)->text(), QStringLiteral("<b>bold</b>"));
}

TEST_F(WindowTest, ProgressBarSitsAtTheRightOfPartOne) {
  StatusBar* bar = window_->状态条1;
  QProgressBar* progress = bar->progressBar();
  ASSERT_NE(progress, nullptr);
  EXPECT_FALSE(progress->isVisible());
  ProgressShow(3, 10);
  EXPECT_TRUE(progress->isVisible());
  EXPECT_EQ(progress->value(), 3);
  EXPECT_EQ(progress->maximum(), 10);
  QWidget* part1 = bar->PartFrame(1);
  EXPECT_EQ(progress->parentWidget(), part1);
  EXPECT_TRUE(part1->rect().contains(progress->geometry()));
  EXPECT_GT(progress->geometry().left(), part1->width() / 2);
  // The status text keeps the rest of the part.
  EXPECT_LE(bar->PartLabel(1)->geometry().right(), progress->geometry().left());
  ProgressShow(0, 0);
  EXPECT_FALSE(progress->isVisible());
  ProgressShow(1, -5);
  EXPECT_FALSE(progress->isVisible());
}

// --- keyboard ---------------------------------------------------------------

class EscTest : public WindowTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(EscTest, ClosesAtOnce) {
  Activate();
  int closed = 0;
  window_->SetClosedHook([&closed] { ++closed; });
  auto* target = window_->findChild<QWidget*>(QString::fromUtf8(GetParam()));
  target->setFocus();
  ASSERT_TRUE(target->hasFocus());
  QTest::keyClick(target, Qt::Key_Escape);
  EXPECT_EQ(closed, 1);
  EXPECT_FALSE(window_->isVisible());
  // Closed means cut off: the controls no longer answer.
  EXPECT_EQ(ListAppendRow(c_.超级列表框1), -1);
  EXPECT_EQ(StatusPartText(c_.状态条1, 0), "");
}

std::string FocusName(const ::testing::TestParamInfo<const char*>& info) {
  static const char* const kNames[] = {"NameBox", "SearchButton", "List"};
  return kNames[info.index];
}

INSTANTIATE_TEST_SUITE_P(FocusOn, EscTest, ::testing::Values("编辑框1", "按钮1", "超级列表框1"),
                         FocusName);

TEST_F(WindowTest, EnterTriggersNothing) {
  Activate();
  int clicks = 0;
  OnClicked(c_.按钮1, [&clicks] { ++clicks; });
  OnClicked(c_.按钮2, [&clicks] { ++clicks; });
  window_->编辑框1->setFocus();
  QTest::keyClicks(window_->编辑框1, "abc");
  QTest::keyClick(window_->编辑框1, Qt::Key_Return);
  QTest::keyClick(window_->编辑框1, Qt::Key_Enter);
  EXPECT_EQ(clicks, 0);
  EXPECT_TRUE(window_->编辑框1->hasFocus());
  EXPECT_EQ(EditGetText(c_.编辑框1), "abc");
  // Not even on a focused button; Space is what presses it.
  window_->按钮1->setFocus();
  QTest::keyClick(window_->按钮1, Qt::Key_Return);
  EXPECT_EQ(clicks, 0);
  QTest::keyClick(window_->按钮1, Qt::Key_Space);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(window_->isVisible());
}

TEST_F(WindowTest, TabVisitsTheEnabledTabStops) {
  Activate();
  struct Case {
    const char* name;
    bool disableSearch;
    std::vector<QWidget*> order;  // from 编辑框1, Tab after Tab
  };
  const std::vector<Case> cases = {
      {"all enabled", false,
       {window_->按钮1, window_->按钮2, window_->超级列表框1, window_->编辑框1}},
      {"search disabled", true, {window_->按钮2, window_->超级列表框1, window_->编辑框1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetControlDisabled(c_.按钮1, c.disableSearch);
    window_->编辑框1->setFocus();
    for (QWidget* expected : c.order) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      EXPECT_EQ(QApplication::focusWidget(), expected)
          << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName().toStdString()
                                          : std::string("none"));
    }
  }
}

}  // namespace
}  // namespace vellumara
