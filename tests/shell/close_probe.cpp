// Test program: builds the main window as the program does, keeps a worker
// calling window operations, and closes the window at a moment the worker is
// known to be waiting in one. The process must end with status 0.
//
//   close_probe esc        close by the Esc key
//   close_probe closebox   close as the close box does
#include <QApplication>
#include <QCloseEvent>
#include <QTest>
#include <QWindow>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "shell/event_pump.h"
#include "shell/main_window.h"
#include "shell/window_ops.h"
#include "text/files.h"

namespace {

// Sees each worker call arrive on the window's thread before it is carried
// out, so the worker is certainly blocked in it, and closes the window then.
class CloseOnWorkerCall : public QObject {
 public:
  CloseOnWorkerCall(vellumara::MainWindow* window, bool byEsc, std::atomic<int>& calls)
      : window_(window), byEsc_(byEsc), calls_(calls) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MetaCall && watched == QCoreApplication::instance() &&
        calls_.load() >= 200 && !closing_) {
      closing_ = true;
      std::printf("closing while the worker waits\n");
      std::fflush(stdout);
      if (byEsc_) {
        QTest::keyClick(window_, Qt::Key_Escape);
      } else {
        QCloseEvent close;
        QCoreApplication::sendEvent(window_->windowHandle(), &close);
      }
    }
    return false;
  }

 private:
  vellumara::MainWindow* window_;
  bool byEsc_;
  std::atomic<int>& calls_;
  bool closing_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  using namespace vellumara;
  const bool byEsc = argc < 2 || std::strcmp(argv[1], "closebox") != 0;
  QApplication app(argc, argv);
  InstallWindowEventPump();

  auto* window = new MainWindow;
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->SetClosedHook([] { ExitProcessNow(0); });
  window->show();
  window->activateWindow();
  const MainControls c = window->controls();

  std::atomic<int> calls{0};
  CloseOnWorkerCall closer(window, byEsc, calls);
  app.installEventFilter(&closer);

  std::thread worker([c, &calls] {
    for (int i = 0;; ++i) {
      EditAppendText(c.编辑框2, "chapter text\r\n");
      SetStatus(std::to_string(i));
      ListSetCell(c.超级列表框1, ListAppendRow(c.超级列表框1), 1, "row");
      ++calls;
    }
  });
  worker.detach();
  app.exec();
  // Only reached when closing did not end the program.
  std::_Exit(3);
}
