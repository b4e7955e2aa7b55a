#include "shell/event_pump.h"

#include <QCoreApplication>
#include <QThread>

#include "text/events.h"

namespace vellumara {

namespace {

bool IsWindowThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

}  // namespace

void InstallWindowEventPump() {
  InstallEventPump(EventPump{
      [] {
        if (IsWindowThread()) QCoreApplication::processEvents();
      },
      [] { return IsWindowThread(); },
  });
}

}  // namespace vellumara
