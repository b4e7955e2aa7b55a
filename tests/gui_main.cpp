// gtest main for tests that need a QApplication: the offscreen platform unless
// the caller chose another, so no display is needed, and PumpEvents wired to
// Qt's event loop as the program has it.
#include <QApplication>
#include <cstdlib>

#include <gtest/gtest.h>

#include "shell/event_pump.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  // Tests close windows all the time; that must not end later event loops.
  app.setQuitOnLastWindowClosed(false);
  vellumara::InstallWindowEventPump();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
