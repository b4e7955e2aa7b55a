// Start-up: the window, its commands and the event loop.
#include <unistd.h>

#include <QApplication>

#include "http/request.h"
#include "scrape/commands.h"
#include "shell/event_pump.h"
#include "shell/main_window.h"
#include "text/files.h"

int main(int argc, char** argv) {
  using namespace vellumara;
  // The HTTP library is set up before anything can start a thread; the window
  // system starts one of its own.
  HttpGlobalInit();

  // The program takes no options: Qt sees the program name alone.
  int qtArgc = 1;
  char* qtArgv[] = {argc > 0 ? argv[0] : const_cast<char*>("vellumara"), nullptr};
  QApplication app(qtArgc, qtArgv);

  // Books are written next to the program; a failure here leaves the current
  // directory, and the written paths are absolute anyway.
  if (chdir(RunDirectory().c_str()) != 0) {
  }
  InstallWindowEventPump();

  auto* window = new MainWindow;
  window->setAttribute(Qt::WA_DeleteOnClose);
  // Closing ends the program at once, even with an export half done: its
  // worker may be waiting on the window and must not keep the process alive.
  window->SetClosedHook([] { ExitProcessNow(0); });
  window->show();
  AttachCommands(window->controls());
  return app.exec();
}
