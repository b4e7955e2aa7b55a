#include "text/events.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace vellumara {
namespace {

class EventPumpTest : public ::testing::Test {
 protected:
  void TearDown() override { InstallEventPump({}); }
};

TEST_F(EventPumpTest, WithoutAPumpNothingHappens) {
  InstallEventPump({});
  PumpEvents();
  EXPECT_FALSE(OnEventThread());
}

TEST_F(EventPumpTest, CallsTheInstalledPumpAndTheLatestOneWins) {
  int first = 0;
  int second = 0;
  InstallEventPump({.pump = [&] { ++first; }, .onEventThread = [] { return true; }});
  PumpEvents();
  PumpEvents();
  EXPECT_TRUE(OnEventThread());
  InstallEventPump({.pump = [&] { ++second; }, .onEventThread = [] { return false; }});
  PumpEvents();
  EXPECT_FALSE(OnEventThread());
  EXPECT_EQ(first, 2);
  EXPECT_EQ(second, 1);
}

TEST_F(EventPumpTest, HalfAPumpIsFine) {
  int pumps = 0;
  InstallEventPump({.pump = [&] { ++pumps; }, .onEventThread = {}});
  PumpEvents();
  EXPECT_FALSE(OnEventThread());
  InstallEventPump({.pump = {}, .onEventThread = [] { return true; }});
  PumpEvents();
  EXPECT_TRUE(OnEventThread());
  EXPECT_EQ(pumps, 1);
}

TEST_F(EventPumpTest, OnEventThreadAsksTheCallingThread) {
  const std::thread::id eventThread = std::this_thread::get_id();
  InstallEventPump({.pump = [] {},
                    .onEventThread = [eventThread] {
                      return std::this_thread::get_id() == eventThread;
                    }});
  std::atomic<bool> onWorker{true};
  std::thread worker([&] {
    PumpEvents();
    onWorker = OnEventThread();
  });
  worker.join();
  EXPECT_TRUE(OnEventThread());
  EXPECT_FALSE(onWorker);
}

}  // namespace
}  // namespace vellumara
