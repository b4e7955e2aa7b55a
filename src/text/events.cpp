// The event pump the shell installs; the logic only ever calls through it.
#include "text/events.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace vellumara {

namespace {

// Every pump ever installed stays alive until the process ends, so a thread
// that has just read the old pointer never calls into a destroyed one.
struct Installed {
  std::mutex mutex;
  std::vector<std::unique_ptr<const EventPump>> pumps;
};

Installed& InstalledPumps() {
  static Installed* installed = new Installed;  // never destroyed: used until exit
  return *installed;
}

std::atomic<const EventPump*> current{nullptr};

}  // namespace

void PumpEvents() {
  const EventPump* pump = current.load(std::memory_order_acquire);
  if (pump && pump->pump) pump->pump();
}

bool OnEventThread() {
  const EventPump* pump = current.load(std::memory_order_acquire);
  return pump && pump->onEventThread && pump->onEventThread();
}

void InstallEventPump(EventPump pump) {
  auto owned = std::make_unique<const EventPump>(std::move(pump));
  const EventPump* raw = owned.get();
  Installed& installed = InstalledPumps();
  {
    std::lock_guard<std::mutex> lock(installed.mutex);
    installed.pumps.push_back(std::move(owned));
  }
  current.store(raw, std::memory_order_release);
}

}  // namespace vellumara
