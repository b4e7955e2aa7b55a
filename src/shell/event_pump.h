// Connects PumpEvents (text/events.h) to Qt's event loop.
//
//   QApplication app(argc, argv);
//   InstallWindowEventPump();
#pragma once

namespace vellumara {

// InstallWindowEventPump: makes PumpEvents dispatch everything pending on the
// window's thread (user input and the calls other threads are waiting on)
// and do nothing on any other thread. Call once, after the QApplication
// exists and before any other thread starts.
void InstallWindowEventPump();

}  // namespace vellumara
