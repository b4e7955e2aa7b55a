// Event dispatch for long commands: PumpEvents lets the window repaint and take
// input while a command runs on the window's thread.
//
//   for (int i = 1; i <= TextListCount(blocks); ++i) {
//     PumpEvents();
//     ...
//   }
//
// The logic stays free of any window system: the shell installs the pump at
// start-up. Without an installed pump every routine here does nothing.
#pragma once

#include <functional>

namespace vellumara {

// PumpEvents: dispatches the events waiting for the calling thread (user input
// included) and returns when none is left. On a thread without an event loop,
// such as the export worker, it returns at once.
void PumpEvents();

// OnEventThread: true on the thread that runs the window's event loop.
[[nodiscard]] bool OnEventThread();

// What the shell provides. Both callbacks must be safe to call from any thread.
struct EventPump {
  std::function<void()> pump;            // dispatch pending events of the event thread
  std::function<bool()> onEventThread;   // is the caller the event thread?
};

// InstallEventPump: makes PumpEvents and OnEventThread use `pump`. Called once at
// start-up, before any other thread starts.
void InstallEventPump(EventPump pump);

}  // namespace vellumara
