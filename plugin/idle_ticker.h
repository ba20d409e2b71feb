#pragma once
// One 20 ms clock for every instance in the process. Each instance ticking
// on a timer of its own wakes the message thread once per instance and tick,
// at scattered moments; one clock runs the idle steps of all instances
// together.
#include <cstddef>
#include <mutex>
#include <vector>

#include "plugin/idle_clock.h"

namespace ombrix {

class Ombrix;

class IdleTicker final {
 public:
  static constexpr int kIntervalMs = 20;

  IdleTicker() = default;
  IdleTicker(const IdleTicker&) = delete;
  IdleTicker& operator=(const IdleTicker&) = delete;

  // An instance joins when it is made and leaves before it is destroyed.
  void Join(Ombrix& instance);
  void Leave(Ombrix& instance);
  std::size_t Instances() const;
  // One idle step of every instance: what the clock runs (tests call it).
  void Tick();

 private:
  // Recursive: an idle step that makes or ends an instance on this thread
  // must not wait for itself.
  mutable std::recursive_mutex lock_;
  std::vector<Ombrix*> instances_;
  IdleClock clock_{kIntervalMs, [this] { Tick(); }};
};

}  // namespace ombrix
