#pragma once
// The plug-in's current target, shared between the editor, the learning code,
// the correction worker and (while the host renders offline) the audio thread.
// Every write replaces the whole record and every read copies it, both under
// one mutex, so no reader ever sees a mix of two targets. A revision number,
// read without the lock, tells readers that poll whether there is anything
// new to copy.
#include <atomic>
#include <cstdint>
#include <mutex>

#include "core/frequency_grid.h"
#include "library/target_curve.h"

namespace ombrix {

class CurrentTarget {
 public:
  // Starts as the built-in "Balanced" target.
  CurrentTarget() = default;
  CurrentTarget(const CurrentTarget&) = delete;
  CurrentTarget& operator=(const CurrentTarget&) = delete;

  // Replaces kind, name, source, curve and spread together, with the values
  // kept in range (KeepTargetValuesInRange) whatever their origin. The old
  // record is released after the lock is given up.
  void Set(TargetChoice choice);

  // A copy of the whole record.
  TargetChoice Get() const;

  // Copies only the 180 curve levels: no allocation, the lock held for the
  // copy alone. This is the one read the audio thread may make.
  void CopyCurve(dsp::GridCurve& levels) const;

  // Changes with every Set (lock-free, never waits). A reader that reads it
  // before copying and copies again once it differs never misses a change.
  std::uint64_t Revision() const { return revision_.load(std::memory_order_acquire); }

 private:
  mutable std::mutex mutex_;
  TargetChoice choice_;
  std::atomic<std::uint64_t> revision_{0};
};

}  // namespace ombrix
