// Test program: the program's window with its commands against a test site,
// closed by Esc while an export is half done. The process must end at once with
// status 0 and leave nothing in the output directory.
//
//   export_close_probe <search endpoint> <site base> <output directory>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "http/request.h"
#include "scrape/commands.h"
#include "shell/event_pump.h"
#include "shell/main_window.h"
#include "text/codepage.h"
#include "text/files.h"

int main(int argc, char** argv) {
  using namespace vellumara;
  if (argc != 4) return 2;
  HttpGlobalInit();
  QApplication app(argc, argv);
  InstallWindowEventPump();

  SiteSettings settings;
  settings.searchEndpoint = argv[1];
  settings.siteBase = argv[2];
  settings.outputDirectory = argv[3];

  auto* window = new MainWindow;
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->SetClosedHook([] { ExitProcessNow(0); });
  window->show();
  window->activateWindow();
  AttachCommands(window->controls(), settings);

  // The first chapter's status comes from the worker, which waits in that call
  // while the window closes under it.
  const Text working = Utf8ToGbk("正在处理 《");
  window->状态条1->SetTextObserver([window, working](int part, const Text& text) {
    if (part == 1 && text.starts_with(working)) {
      std::printf("closing during the export\n");
      std::fflush(stdout);
      QTest::keyClick(window, Qt::Key_Escape);
    }
  });
  QTimer::singleShot(0, window, [window] {
    window->编辑框1->setText("x");
    window->按钮1->click();
    window->超级列表框1->topLevelItem(0)->setSelected(true);
    window->按钮2->click();
  });
  app.exec();
  // Only reached when closing did not end the program.
  std::_Exit(3);
}
