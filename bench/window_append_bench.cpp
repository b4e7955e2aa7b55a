// Prints how long the window operations take under an export's load: 2 KB
// appends to the book buffer from a worker thread (10,000, 20,000 and 40,000 of
// them, to show the time grows with the count alone), and a 1 MB list cell.
//
//   QT_QPA_PLATFORM=offscreen ./vellumara_window_bench
#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>

#include "shell/main_window.h"
#include "shell/window_ops.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// OnWorker: runs work on a worker thread while this thread serves its calls.
void OnWorker(const std::function<void()>& work) {
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    work();
    finished = true;
    QMetaObject::invokeMethod(QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
  });
  while (!finished) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  worker.join();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vellumara;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  auto* window = new MainWindow;
  window->show();
  const MainControls c = window->controls();

  // A chapter-sized piece: GBK text with CR LF pairs.
  Text chunk;
  while (chunk.size() < 2046) chunk += "\xd5\xc2\xbd\xda\r\n";  // 章节
  chunk.resize(2046);
  chunk += "\r\n";

  for (int count : {10000, 20000, 40000}) {
    EditClear(c.编辑框2);
    double seconds = 0;
    OnWorker([&] {
      const auto start = Clock::now();
      for (int i = 0; i < count; ++i) EditAppendText(c.编辑框2, chunk);
      seconds = Seconds(start);
    });
    const std::size_t size = EditGetText(c.编辑框2).size();
    std::printf("%6d appends of 2 KB from a worker: %.3f s (%.1f us each), buffer %.1f MB%s\n",
                count, seconds, seconds * 1e6 / count, size / 1048576.0,
                size == chunk.size() * count ? "" : "  WRONG SIZE");
  }
  {
    const auto start = Clock::now();
    Text whole;
    OnWorker([&] { whole = EditGetText(c.编辑框2); });
    std::printf("EditGetText of the %.1f MB buffer from a worker: %.3f s\n",
                whole.size() / 1048576.0, Seconds(start));
  }

  const Text cell(1 << 20, 'x');
  const int row = ListAppendRow(c.超级列表框1);
  auto start = Clock::now();
  ListSetCell(c.超级列表框1, row, 2, cell);
  std::printf("ListSetCell of a 1 MB cell: %.4f s\n", Seconds(start));
  start = Clock::now();
  window->超级列表框1->viewport()->repaint();
  std::printf("repaint of the list holding it: %.4f s\n", Seconds(start));
  start = Clock::now();
  const Text back = ListCellText(c.超级列表框1, row, 2);
  std::printf("ListCellText of the 1 MB cell on the window's thread: %.4f s%s\n",
              Seconds(start), back == cell ? "" : "  WRONG TEXT");
  Text fromWorker;
  start = Clock::now();
  OnWorker([&] { fromWorker = ListCellText(c.超级列表框1, row, 2); });
  std::printf("ListCellText of the 1 MB cell from a worker: %.4f s%s\n", Seconds(start),
              fromWorker == cell ? "" : "  WRONG TEXT");

  delete window;
  return 0;
}
