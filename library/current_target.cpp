#include "library/current_target.h"

#include <utility>

namespace ombrix {

void CurrentTarget::Set(TargetChoice choice) {
  KeepTargetValuesInRange(choice.curve, choice.spread);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::swap(choice_, choice);
    revision_.fetch_add(1, std::memory_order_release);
  }
  // `choice` now holds the previous record and is freed outside the lock.
}

TargetChoice CurrentTarget::Get() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return choice_;
}

void CurrentTarget::CopyCurve(dsp::GridCurve& levels) const {
  std::lock_guard<std::mutex> lock(mutex_);
  levels = choice_.curve;
}

}  // namespace ombrix
