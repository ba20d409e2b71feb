#pragma once
// The correction gains as the correction worker (or the offline path on the
// audio thread) hands them to the rest of the plug-in. Every float is its own
// atomic value: a reader may see a set that mixes an old and a new write, and
// sees the whole new set on its next read. No ordering with other data is
// implied, so the accesses are relaxed. Never locks, never waits.
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstddef>

#include "core/eq_design.h"
#include "core/frequency_grid.h"

namespace ombrix::dsp {

class PublishedGains {
 public:
  // Applied gains (tilt, Low, Lo-Mid, Hi-Mid, High), read by the audio thread
  // every block and by the editor snapshot.
  void SetApplied(const CorrectionGains& gains) { Store(applied_, gains); }
  CorrectionGains Applied() const { return Load<kGainCount>(applied_); }

  // The copy the freeze capture reads.
  void SetAppliedCopy(const CorrectionGains& gains) { Store(appliedCopy_, gains); }
  CorrectionGains AppliedCopy() const { return Load<kGainCount>(appliedCopy_); }

  // Band slew weights (Low, Lo-Mid, Hi-Mid, High), read by the editor snapshot.
  void SetBandSlewWeights(const BandValues& weights) { Store(bandSlewWeights_, weights); }
  BandValues BandSlewWeights() const { return Load<kBandCount>(bandSlewWeights_); }

 private:
  static constexpr double kLargest = 1e30;  // well inside float range

  template <std::size_t N>
  using Floats = std::array<std::atomic<float>, N>;

  // A non-finite value is published as 0 (no correction), never as itself.
  template <std::size_t N>
  static void Store(Floats<N>& to, const std::array<double, N>& from) {
    for (std::size_t k = 0; k < N; ++k) {
      const double value = std::isfinite(from[k]) ? std::clamp(from[k], -kLargest, kLargest) : 0.0;
      to[k].store(static_cast<float>(value), std::memory_order_relaxed);
    }
  }
  template <std::size_t N>
  static std::array<double, N> Load(const Floats<N>& from) {
    std::array<double, N> out{};
    for (std::size_t k = 0; k < N; ++k) out[k] = from[k].load(std::memory_order_relaxed);
    return out;
  }

  Floats<kGainCount> applied_{};
  Floats<kGainCount> appliedCopy_{};
  Floats<kBandCount> bandSlewWeights_{1.0f, 1.0f, 1.0f, 1.0f};
};

}  // namespace ombrix::dsp
