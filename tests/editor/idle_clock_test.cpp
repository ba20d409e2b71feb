// The idle clock on a running message loop.
#include <gtest/gtest.h>

#include <juce_events/juce_events.h>

#include "plugin/idle_clock.h"

namespace ombrix {
namespace {

// The clock ticks from the message loop, on the message thread, until it is
// stopped; a tick may stop it.
TEST(IdleClock, TicksOnTheMessageThreadUntilStopped) {
  auto* messages = juce::MessageManager::getInstance();
  int ticks = 0;
  bool offThread = false;
  IdleClock clock(10, [&] {
    ++ticks;
    offThread = offThread || !messages->isThisTheMessageThread();
  });
  clock.Start();
  EXPECT_TRUE(clock.Running());
  for (int i = 0; i < 100 && ticks < 3; ++i) messages->runDispatchLoopUntil(10);
  EXPECT_GE(ticks, 3);
  EXPECT_FALSE(offThread);

  clock.Stop();
  EXPECT_FALSE(clock.Running());
  const int stoppedAt = ticks;
  messages->runDispatchLoopUntil(60);
  EXPECT_EQ(ticks, stoppedAt);

  IdleClock* self = nullptr;
  int selfStoppingTicks = 0;
  IdleClock selfStopping(5, [&] {
    ++selfStoppingTicks;
    self->Stop();
  });
  self = &selfStopping;
  selfStopping.Start();
  for (int i = 0; i < 100 && selfStoppingTicks == 0; ++i) messages->runDispatchLoopUntil(10);
  messages->runDispatchLoopUntil(40);
  EXPECT_EQ(selfStoppingTicks, 1);
  EXPECT_FALSE(selfStopping.Running());
}

}  // namespace
}  // namespace ombrix
