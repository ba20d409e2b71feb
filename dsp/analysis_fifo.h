#pragma once
// Wait-free single-producer single-consumer ring of stereo float frames that
// carries audio from the audio thread to an analysis consumer.
//
// The producer (audio thread) calls Push only; the consumer calls Read,
// Discard and AvailableFrames only. A full ring drops the frames that do not
// fit (the newest ones of the block); nobody ever waits.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace ombrix::dsp {

// Told by the producer, on its own thread, after a push that leaves at least
// the listener's number of frames waiting. It must return at once: no lock,
// no allocation, no wait.
class FifoListener {
 public:
  virtual ~FifoListener() = default;
  virtual void FramesWaiting() = 0;
};

class AnalysisFifo {
 public:
  static constexpr std::size_t kCapacity = 65536;  // frames; a power of two

  struct Frame {
    float left;
    float right;
  };

  // Allocates the zeroed storage (512 KiB, 32-byte aligned) once.
  AnalysisFifo();
  ~AnalysisFifo();
  AnalysisFifo(const AnalysisFifo&) = delete;
  AnalysisFifo& operator=(const AnalysisFifo&) = delete;

  // Producer. Left comes from channel 0, right from channel 1 (channel 0
  // again when numChannels < 2); further channels are ignored. Stores the
  // first min(numFrames, free slots) frames and returns how many that was.
  // Does nothing (returns 0) for null channels, numChannels <= 0 or
  // numFrames <= 0. No allocation, no lock, bounded work.
  int Push(const double* const* channels, int numChannels, int numFrames);
  int Push(const float* const* channels, int numChannels, int numFrames);
  // Producer. The same as pushing numFrames frames of zeros, more cheaply.
  int PushSilence(int numFrames);

  // Consumer. Copies up to maxFrames of the oldest frames into left and
  // right and returns how many were copied.
  int Read(float* left, float* right, int maxFrames);
  // Consumer. The same, except that frames all pushed as silence are passed
  // over without copying: then `silent` is set and left and right are left
  // as they were.
  int Read(float* left, float* right, int maxFrames, bool& silent);

  // Consumer. Forgets every frame written so far.
  void Discard();

  // Consumer. Frames waiting to be read.
  std::size_t AvailableFrames() const;

  // Consumer. The listener (null: none) to tell whenever a push leaves at
  // least threshold frames waiting. Set it while nothing is pushed, or accept
  // that a push under way may still tell the previous one.
  void SetListener(FifoListener* listener, std::size_t threshold);
  // Consumer. For a consumer to which silence changes nothing once it has
  // seen `after` frames of it in a row (only counts move): from then on, a
  // push of silence tells the listener only when at least `threshold` frames
  // wait, so it is not woken for each hop of a long silence. A push of sound
  // tells it as before. Zero for `after` (the default) turns this off.
  void SetSettledSilence(std::size_t after, std::size_t threshold);

  // Totals since construction (for diagnostics and tests; either side may
  // read them, the values are snapshots).
  std::uint64_t FramesWritten() const { return write_.load(std::memory_order_acquire); }
  std::uint64_t FramesRead() const { return read_.load(std::memory_order_acquire); }

 private:
  template <typename Sample>
  int PushImpl(const Sample* const* channels, int numChannels, int numFrames);
  // Stores up to numFrames frames as store(slots, first frame, count) does,
  // in at most two runs, and tells the listener.
  template <typename Store>
  int Write(int numFrames, Store store, bool silence);
  void TellListener(std::uint64_t waiting, bool settledSilence) const;
  // Reads; passes silence over when `silent` is given.
  int ReadImpl(float* left, float* right, int maxFrames, bool* silent);

  struct AlignedDelete {
    void operator()(Frame* frames) const;
  };

  std::unique_ptr<Frame[], AlignedDelete> frames_;
  // Each counter on its own cache line so the two threads do not share one.
  alignas(64) std::atomic<std::uint64_t> write_{0};  // stored by the producer only
  alignas(64) std::atomic<std::uint64_t> read_{0};   // stored by the consumer only
  // Producer only: how many of the most recently stored frames are zeros (the
  // storage starts zeroed).
  std::uint64_t zeroedFrames_ = kCapacity;
  // Producer only: frames pushed as silence since the last push of sound.
  std::uint64_t silenceRun_ = 0;
  // Stored by the producer: the write position from which every frame was
  // pushed as silence, or kSound after a push of sound. Stored before the
  // frames it speaks of are published.
  static constexpr std::uint64_t kSound = ~std::uint64_t{0};
  std::atomic<std::uint64_t> silenceFrom_{0};
  std::atomic<FifoListener*> listener_{nullptr};
  std::atomic<std::size_t> listenerThreshold_{0};
  std::atomic<std::size_t> silenceSettlesAfter_{0};
  std::atomic<std::size_t> settledThreshold_{0};
};

}  // namespace ombrix::dsp
