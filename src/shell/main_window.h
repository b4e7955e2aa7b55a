// The program's one window: the name box, the two buttons, the result list,
// the hidden book buffer and the status bar, each where the form puts it.
//
//   auto* window = new MainWindow;
//   window->setAttribute(Qt::WA_DeleteOnClose);
//   window->SetClosedHook([] { ExitProcessNow(0); });
//   window->show();
//   AttachCommands(window->controls());
//
// Every member here belongs to the window's thread; other threads go through
// the window operations of window_ops.h.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMargins>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QString>
#include <QTreeWidget>
#include <QWidget>
#include <functional>
#include <string_view>
#include <vector>

#include "shell/window_ops.h"
#include "text/text.h"

namespace vellumara {

// The outer size of the window, frame included.
inline constexpr int kWindowOuterWidth = 491;
inline constexpr int kWindowOuterHeight = 340;
// The status bar's height; it spans the bottom edge of the client area.
inline constexpr int kStatusBarHeight = 20;
// The item data role under which every list cell keeps its own bytes.
inline constexpr int kCellBytesRole = Qt::UserRole + 1;

// DisplayText: how a byte text is shown in a one-line control: Unicode, line
// breaks and tabs as spaces, cut after 4096 bytes (at a character start) with
// an ellipsis, since no line can show more and laying out megabytes would
// stall the window. The bytes themselves are kept elsewhere.
[[nodiscard]] QString DisplayText(std::string_view text);

// The hidden multi-line box that collects a whole book. The bytes stay here and
// never reach the widget's document: appends cost the size of what is
// appended, and the bytes come back exactly as given.
class BookBuffer : public QPlainTextEdit {
 public:
  explicit BookBuffer(QWidget* parent);

  [[nodiscard]] const Text& bytes() const { return bytes_; }
  void Append(std::string_view text) { bytes_.append(text); }
  // Clear: empties the buffer and gives its memory back.
  void Clear() { Text().swap(bytes_); }

 private:
  Text bytes_;
};

// A status bar of parts side by side, each with its own text, and a progress
// bar at the right end of the last part, hidden until it is needed.
class StatusBar : public QWidget {
 public:
  // widths: each part's width in pixels, -1 for a part that reaches the right
  // end of the bar.
  StatusBar(QWidget* parent, const std::vector<int>& widths);

  [[nodiscard]] int PartCount() const { return static_cast<int>(parts_.size()); }
  // SetPartText: shows text in the part and keeps its bytes; a part out of
  // range changes nothing.
  void SetPartText(int part, std::string_view text);
  // PartText: the bytes last given to the part; empty out of range.
  [[nodiscard]] Text PartText(int part) const;
  // ShowProgress: done out of total in the progress bar; total < 1 hides it.
  // A burst of values is shown at most one per 50 ms, ending on the latest.
  void ShowProgress(int done, int total);

  // PartLabel: the label that shows the part's text; null out of range.
  [[nodiscard]] QLabel* PartLabel(int part) const;
  // PartFrame: the sunken frame that is the part itself; null out of range.
  [[nodiscard]] QWidget* PartFrame(int part) const;
  [[nodiscard]] QProgressBar* progressBar() const { return progress_; }
  // SetTextObserver: observer sees every text given to a part, in order; it
  // lets a caller follow messages that are replaced faster than they are read.
  void SetTextObserver(std::function<void(int part, const Text& text)> observer) {
    textObserver_ = std::move(observer);
  }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct Part {
    int width = -1;
    QWidget* frame = nullptr;
    QLabel* label = nullptr;
    Text bytes;
  };
  void ApplyProgress();

  // How often the progress bar may take a new value.
  static constexpr int kProgressInterval = 50;  // milliseconds
  std::vector<Part> parts_;
  QProgressBar* progress_ = nullptr;
  QTimer* progressTimer_ = nullptr;
  int pendingDone_ = 0;
  int pendingTotal_ = 0;
  std::function<void(int, const Text&)> textObserver_;
};

class MainWindow : public QWidget {
 public:
  // The newest window is the one SetStatus and ProgressShow write to. Closing
  // cuts the controls off from the window operations at once; whether the
  // closed window is also deleted is its owner's choice (WA_DeleteOnClose on a
  // window built with new), so a window on the stack may be closed safely.
  MainWindow();
  ~MainWindow() override;

  // controls: the handles the commands work with. They outlive the window and
  // do nothing once it is closed.
  [[nodiscard]] MainControls controls() const { return controls_; }
  // SetClosedHook: hook runs each time the window is closed (close box, system
  // menu, Esc), after its controls have been cut off from the window operations.
  void SetClosedHook(std::function<void()> hook) { closedHook_ = std::move(hook); }

  // The controls, as the form names them. Owned by their Qt parents.
  QGroupBox* 分组框1 = nullptr;
  QLabel* 标签1 = nullptr;
  QLineEdit* 编辑框1 = nullptr;
  QPushButton* 按钮1 = nullptr;
  QPushButton* 按钮2 = nullptr;
  QGroupBox* 分组框2 = nullptr;
  QTreeWidget* 超级列表框1 = nullptr;
  BookBuffer* 编辑框2 = nullptr;
  StatusBar* 状态条1 = nullptr;

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildControls();
  // FitFrame: makes the outer size 491 x 340 and centres the window whenever
  // the window system reports a frame different from the one last fitted; the
  // frame is only known after the window is shown, and may arrive late.
  void FitFrame();
  void PlaceStatusBar();
  void DetachControls();

  MainControls controls_;
  std::function<void()> closedHook_;
  bool fitted_ = false;
  QMargins fittedFrame_;
};

// RegisteredMainWindow: the window SetStatus and ProgressShow write to, null
// when it is closed. Window's thread only.
[[nodiscard]] MainWindow* RegisteredMainWindow();

}  // namespace vellumara
