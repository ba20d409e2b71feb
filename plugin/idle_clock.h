#pragma once
// A periodic call on the message thread: the clock of the idle tick.
//
// On Linux it is a timerfd in the message loop's own poll set. The loop that
// runs the plug-in's messages (the framework's message thread, or the host's
// run loop once it attaches) wakes for it and calls the tick directly: no
// timer thread wakes, and no message is posted and dispatched per tick.
// Elsewhere, or where no timerfd or message loop is to be had, it is the
// framework's timer.
#include <functional>
#include <memory>

namespace ombrix {

class IdleClock {
 public:
  IdleClock(int intervalMs, std::function<void()> tick);
  ~IdleClock();
  IdleClock(const IdleClock&) = delete;
  IdleClock& operator=(const IdleClock&) = delete;

  // Message thread (or the thread that made the first instance), like the
  // framework's timer.
  void Start();
  void Stop();
  bool Running() const;

  class Source;  // the platform's timer behind it

 private:
  std::unique_ptr<Source> source_;
};

}  // namespace ombrix
