#include "shell/main_window.h"

#include <QCloseEvent>
#include <QFont>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QPalette>
#include <QPointer>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <deque>
#include <limits>
#include <memory>

#include "shell/control.h"
#include "text/codepage.h"

namespace vellumara {

namespace {

// The window's texts, code page 936.
constexpr char kCaption[] = "Vellumara V1.0 - Orsolen";
constexpr char kOperationBox[] = "\xb2\xd9\xd7\xf7\xbf\xf2";            // 操作框
constexpr char kNameLabel[] = "\xd0\xa1\xcb\xb5\xc3\xfb:";               // 小说名:
constexpr char kSearchButton[] = "\xcb\xd1  \xcb\xf7";                   // 搜  索
constexpr char kExportButton[] = "\xc9\xfa\xb3\xc9TXT";                  // 生成TXT
constexpr char kResultBox[] = "\xcb\xd1\xcb\xf7\xbd\xe1\xb9\xfb";        // 搜索结果
constexpr char kHint[] = "\xcc\xe1\xca\xbe:";                            // 提示:

struct Column {
  const char* title;
  int width;
};
// The book address sits in column 0 and is never shown.
constexpr Column kColumns[] = {
    {"\xb5\xd8\xd6\xb7", 0},                   // 地址
    {"\xd0\xa1\xcb\xb5\xc3\xfb", 80},          // 小说名
    {"\xd0\xa1\xcb\xb5\xbd\xe9\xc9\xdc", 230}, // 小说介绍
    {"\xd7\xf7\xd5\xdf", 80},                  // 作者
    {"\xd7\xb4\xcc\xac", 50},                  // 状态
};

constexpr std::size_t kMaxShownBytes = 4096;
// The form's font is the system's small dialog font; 12 pixels keeps the
// label's text inside its 40 pixels.
constexpr int kFontPixels = 12;
constexpr int kProgressWidth = 120;

QPointer<MainWindow>& Registered() {
  static QPointer<MainWindow> window;
  return window;
}

QFrame* SunkenFrame(QWidget* parent) {
  auto* frame = new QFrame(parent);
  frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  frame->setLineWidth(1);
  return frame;
}

}  // namespace

Control* Control::New(Kind kind, QWidget* widget) {
  static std::deque<std::unique_ptr<Control>> handles;
  handles.push_back(std::unique_ptr<Control>(new Control(kind, widget)));
  return handles.back().get();
}

QString DisplayText(std::string_view text) {
  bool cut = false;
  if (text.size() > kMaxShownBytes) {
    std::size_t end = 0;
    for (;;) {
      const std::size_t step = static_cast<unsigned char>(text[end]) >= 0x80 ? 2 : 1;
      if (end + step > kMaxShownBytes) break;
      end += step;
    }
    text = text.substr(0, end);
    cut = true;
  }
  QString shown = QString::fromUtf8(GbkToUtf8(text));
  for (QChar& c : shown) {
    if (c == u'\r' || c == u'\n' || c == u'\t') c = u' ';
  }
  if (cut) shown += QChar(0x2026);
  return shown;
}

BookBuffer::BookBuffer(QWidget* parent) : QPlainTextEdit(parent) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setUndoRedoEnabled(false);
}

StatusBar::StatusBar(QWidget* parent, const std::vector<int>& widths) : QWidget(parent) {
  for (int width : widths) {
    Part part;
    part.width = width;
    part.frame = SunkenFrame(this);
    auto* layout = new QHBoxLayout(part.frame);
    layout->setContentsMargins(3, 1, 1, 1);
    layout->setSpacing(2);
    part.label = new QLabel(part.frame);
    part.label->setTextFormat(Qt::PlainText);
    // A long text is cut at the part's edge instead of widening the part.
    part.label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(part.label, 1);
    parts_.push_back(part);
  }
  if (!parts_.empty()) {
    QWidget* last = parts_.back().frame;
    progress_ = new QProgressBar(last);
    progress_->setFixedWidth(kProgressWidth);
    progress_->setFormat(QStringLiteral("%v/%m"));
    progress_->setTextVisible(true);
    progress_->hide();
    last->layout()->addWidget(progress_);
    progressTimer_ = new QTimer(this);
    progressTimer_->setSingleShot(true);
    progressTimer_->setInterval(kProgressInterval);
    connect(progressTimer_, &QTimer::timeout, this, [this] { ApplyProgress(); });
  }
}

void StatusBar::SetPartText(int part, std::string_view text) {
  if (part < 0 || part >= PartCount()) return;
  parts_[part].bytes.assign(text);
  parts_[part].label->setText(DisplayText(text));
  if (textObserver_) textObserver_(part, parts_[part].bytes);
}

Text StatusBar::PartText(int part) const {
  if (part < 0 || part >= PartCount()) return {};
  return parts_[part].bytes;
}

void StatusBar::ShowProgress(int done, int total) {
  if (progress_ == nullptr) return;
  pendingDone_ = done;
  pendingTotal_ = total;
  if (total < 1) {
    progressTimer_->stop();
    progress_->hide();
    return;
  }
  // The bar repaints on every new value: during a fast export show the first
  // value at once and then at most one value per interval, always the latest.
  if (!progressTimer_->isActive()) {
    ApplyProgress();
    progressTimer_->start();
  }
}

void StatusBar::ApplyProgress() {
  if (pendingTotal_ < 1) return;
  progress_->setRange(0, pendingTotal_);
  progress_->setValue(std::clamp(pendingDone_, 0, pendingTotal_));
  progress_->show();
}

QLabel* StatusBar::PartLabel(int part) const {
  if (part < 0 || part >= PartCount()) return nullptr;
  return parts_[part].label;
}

QWidget* StatusBar::PartFrame(int part) const {
  if (part < 0 || part >= PartCount()) return nullptr;
  return parts_[part].frame;
}

void StatusBar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // Each part ends where the running sum of the widths says.
  int left = 0;
  for (Part& part : parts_) {
    int right = part.width < 0 ? width() : std::min(width(), left + part.width);
    right = std::max(right, left);
    part.frame->setGeometry(left, 0, right - left, height());
    left = right;
  }
}

MainWindow::MainWindow() {
  setWindowTitle(QString::fromLatin1(kCaption));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);

  QFont font = this->font();
  font.setPixelSize(kFontPixels);
  setFont(font);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::Button));
  setPalette(palette);
  setAutoFillBackground(true);

  BuildControls();

  // Until the window system tells the frame, assume there is none.
  FitFrame();

  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, this, [this] { close(); });

  Registered() = this;
}

MainWindow::~MainWindow() { DetachControls(); }

void MainWindow::BuildControls() {
  分组框1 = new QGroupBox(DisplayText(kOperationBox), this);
  分组框1->setObjectName(QStringLiteral("分组框1"));
  分组框1->setGeometry(8, 8, 472, 48);
  分组框1->setAlignment(Qt::AlignLeft);

  标签1 = new QLabel(DisplayText(kNameLabel), 分组框1);
  标签1->setObjectName(QStringLiteral("标签1"));
  标签1->setTextFormat(Qt::PlainText);
  标签1->setGeometry(8, 21, 40, 16);

  编辑框1 = new QLineEdit(分组框1);
  编辑框1->setObjectName(QStringLiteral("编辑框1"));
  编辑框1->setGeometry(56, 19, 256, 20);
  编辑框1->setMaxLength(std::numeric_limits<int>::max());

  按钮1 = new QPushButton(DisplayText(kSearchButton), 分组框1);
  按钮1->setObjectName(QStringLiteral("按钮1"));
  按钮1->setGeometry(322, 17, 62, 24);

  按钮2 = new QPushButton(DisplayText(kExportButton), 分组框1);
  按钮2->setObjectName(QStringLiteral("按钮2"));
  按钮2->setGeometry(400, 16, 64, 24);

  // Enter must never press a button.
  for (QPushButton* button : {按钮1, 按钮2}) {
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setFocusPolicy(Qt::StrongFocus);
  }

  分组框2 = new QGroupBox(DisplayText(kResultBox), this);
  分组框2->setObjectName(QStringLiteral("分组框2"));
  分组框2->setGeometry(8, 64, 472, 224);
  分组框2->setAlignment(Qt::AlignLeft);

  超级列表框1 = new QTreeWidget(分组框2);
  超级列表框1->setObjectName(QStringLiteral("超级列表框1"));
  超级列表框1->setGeometry(8, 16, 456, 208);
  超级列表框1->setRootIsDecorated(false);
  超级列表框1->setItemsExpandable(false);
  超级列表框1->setUniformRowHeights(true);
  超级列表框1->setSelectionMode(QAbstractItemView::SingleSelection);
  超级列表框1->setSelectionBehavior(QAbstractItemView::SelectRows);
  超级列表框1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  超级列表框1->setDragEnabled(false);
  超级列表框1->setSortingEnabled(false);
  超级列表框1->setAllColumnsShowFocus(true);
  超级列表框1->setTabKeyNavigation(false);
  超级列表框1->setFocusPolicy(Qt::StrongFocus);
  超级列表框1->setColumnCount(static_cast<int>(std::size(kColumns)));
  QStringList titles;
  for (const Column& column : kColumns) titles << DisplayText(column.title);
  超级列表框1->setHeaderLabels(titles);
  QHeaderView* header = 超级列表框1->header();
  header->setSectionsMovable(false);
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(false);
  header->setStretchLastSection(false);
  header->setSectionResizeMode(QHeaderView::Interactive);
  for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
    if (kColumns[i].width > 0) header->resizeSection(i, kColumns[i].width);
  }
  // Hidden rather than merely narrow, so no drag can open it.
  header->hideSection(0);
  // The selected row stays marked while the list has no focus.
  QPalette listPalette = 超级列表框1->palette();
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
    listPalette.setColor(QPalette::Inactive, role, listPalette.color(QPalette::Active, role));
  }
  超级列表框1->setPalette(listPalette);

  编辑框2 = new BookBuffer(分组框2);
  编辑框2->setObjectName(QStringLiteral("编辑框2"));
  编辑框2->setGeometry(368, 128, 80, 72);
  编辑框2->setFocusPolicy(Qt::StrongFocus);
  编辑框2->lower();
  编辑框2->hide();

  状态条1 = new StatusBar(this, {50, -1});
  状态条1->setObjectName(QStringLiteral("状态条1"));
  状态条1->SetPartText(0, kHint);

  controls_.编辑框1 = Control::New(Control::Kind::kNameBox, 编辑框1);
  controls_.按钮1 = Control::New(Control::Kind::kButton, 按钮1);
  controls_.按钮2 = Control::New(Control::Kind::kButton, 按钮2);
  controls_.超级列表框1 = Control::New(Control::Kind::kList, 超级列表框1);
  controls_.编辑框2 = Control::New(Control::Kind::kBookBuffer, 编辑框2);
  controls_.状态条1 = Control::New(Control::Kind::kStatusBar, 状态条1);
}

bool MainWindow::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  switch (event->type()) {
    case QEvent::Show:
    case QEvent::Move:
    case QEvent::Resize:
      FitFrame();
      break;
    default:
      break;
  }
  return handled;
}

void MainWindow::FitFrame() {
  const QWindow* handle = windowHandle();
  const QMargins frame = handle != nullptr ? handle->frameMargins() : QMargins();
  // Once fitted, only a new frame moves the window: never undo the user's move.
  if (fitted_ && frame == fittedFrame_) return;
  fitted_ = true;
  fittedFrame_ = frame;
  setFixedSize(kWindowOuterWidth - frame.left() - frame.right(),
               kWindowOuterHeight - frame.top() - frame.bottom());
  PlaceStatusBar();
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect area = screen != nullptr ? screen->geometry() : QRect();
  // move() places the frame's top-left corner.
  move(area.x() + (area.width() - kWindowOuterWidth) / 2,
       area.y() + (area.height() - kWindowOuterHeight) / 2);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PlaceStatusBar();
}

void MainWindow::PlaceStatusBar() {
  // Docked at the bottom edge, whatever the client size came to.
  if (状态条1 == nullptr) return;
  状态条1->setGeometry(0, height() - kStatusBarHeight, width(), kStatusBarHeight);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  DetachControls();
  // A closed window never shows the book again.
  编辑框2->Clear();
  if (closedHook_) closedHook_();
}

void MainWindow::DetachControls() {
  for (Control* control : {controls_.编辑框1, controls_.按钮1, controls_.按钮2,
                           controls_.超级列表框1, controls_.编辑框2, controls_.状态条1}) {
    if (control != nullptr) control->Detach();
  }
  if (Registered() == this) Registered().clear();
}

MainWindow* RegisteredMainWindow() { return Registered().data(); }

}  // namespace vellumara
