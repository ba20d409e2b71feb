#include "dsp/analysis_fifo.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace ombrix::dsp {

namespace {
constexpr std::size_t kMask = AnalysisFifo::kCapacity - 1;
constexpr std::align_val_t kStorageAlignment{32};
static_assert((AnalysisFifo::kCapacity & kMask) == 0, "capacity must be a power of two");
static_assert(sizeof(AnalysisFifo::Frame) == 8, "frames are two packed floats");
}  // namespace

void AnalysisFifo::AlignedDelete::operator()(Frame* frames) const { ::operator delete[](frames, kStorageAlignment); }

AnalysisFifo::AnalysisFifo() {
  void* raw = ::operator new[](kCapacity * sizeof(Frame), kStorageAlignment);
  std::memset(raw, 0, kCapacity * sizeof(Frame));
  frames_.reset(static_cast<Frame*>(raw));
}

AnalysisFifo::~AnalysisFifo() = default;

template <typename Store>
int AnalysisFifo::Write(int numFrames, Store store, bool silence) {
  const std::uint64_t write = write_.load(std::memory_order_relaxed);  // our own counter
  const std::uint64_t read = read_.load(std::memory_order_acquire);
  const std::uint64_t free = kCapacity - (write - read);
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(numFrames), free));
  if (n == 0) {
    TellListener(kCapacity, false);
    return 0;
  }

  // At most two contiguous runs: up to the end of the storage, then from slot 0.
  const std::size_t start = static_cast<std::size_t>(write & kMask);
  const std::size_t first = std::min(n, kCapacity - start);
  store(frames_.get() + start, 0, first);
  store(frames_.get(), first, n - first);
  write_.store(write + n, std::memory_order_release);
  // Settled by the frames before this push: every frame up to where silence
  // settled was told at the usual threshold, so the consumer sees the end of
  // the sound without delay.
  const std::size_t settlesAfter = silenceSettlesAfter_.load(std::memory_order_relaxed);
  const bool settled = silence && settlesAfter > 0 && silenceRun_ >= settlesAfter;
  silenceRun_ = silence ? silenceRun_ + n : 0;
  TellListener(write + n - read, settled);
  return static_cast<int>(n);
}

template <typename Sample>
int AnalysisFifo::PushImpl(const Sample* const* channels, int numChannels, int numFrames) {
  if (channels == nullptr || numChannels <= 0 || numFrames <= 0) return 0;
  const Sample* left = channels[0];
  const Sample* right = numChannels >= 2 && channels[1] != nullptr ? channels[1] : left;
  if (left == nullptr) return 0;
  // Published with the frames by Write; stored only on a change, as the
  // consumer's counter shares its cache line.
  if (silenceFrom_.load(std::memory_order_relaxed) != kSound) silenceFrom_.store(kSound, std::memory_order_relaxed);
  const int stored = Write(
      numFrames,
      [left, right](Frame* out, std::size_t from, std::size_t count) {
        for (std::size_t j = 0; j < count; ++j) {
          out[j].left = static_cast<float>(left[from + j]);
          out[j].right = static_cast<float>(right[from + j]);
        }
      },
      false);
  if (stored > 0) zeroedFrames_ = 0;
  return stored;
}

int AnalysisFifo::PushSilence(int numFrames) {
  if (numFrames <= 0) return 0;
  if (silenceFrom_.load(std::memory_order_relaxed) == kSound)
    silenceFrom_.store(write_.load(std::memory_order_relaxed), std::memory_order_relaxed);
  // Once silence has filled the whole storage every slot holds zeros already.
  const bool zeroed = zeroedFrames_ >= kCapacity;
  const int stored = Write(
      numFrames,
      [zeroed](Frame* out, std::size_t, std::size_t count) {
        if (count > 0 && !zeroed) std::memset(static_cast<void*>(out), 0, count * sizeof(Frame));
      },
      true);
  zeroedFrames_ = std::min<std::uint64_t>(zeroedFrames_ + static_cast<std::uint64_t>(stored), kCapacity);
  return stored;
}

void AnalysisFifo::TellListener(std::uint64_t waiting, bool settledSilence) const {
  FifoListener* listener = listener_.load(std::memory_order_acquire);
  if (listener == nullptr) return;
  std::size_t threshold = listenerThreshold_.load(std::memory_order_relaxed);
  if (settledSilence) threshold = std::max(threshold, settledThreshold_.load(std::memory_order_relaxed));
  if (waiting >= threshold) listener->FramesWaiting();
}

void AnalysisFifo::SetListener(FifoListener* listener, std::size_t threshold) {
  listenerThreshold_.store(threshold, std::memory_order_relaxed);
  listener_.store(listener, std::memory_order_release);
}

void AnalysisFifo::SetSettledSilence(std::size_t after, std::size_t threshold) {
  settledThreshold_.store(std::min(threshold, kCapacity / 2), std::memory_order_relaxed);
  silenceSettlesAfter_.store(after, std::memory_order_relaxed);
}

int AnalysisFifo::Push(const double* const* channels, int numChannels, int numFrames) {
  return PushImpl(channels, numChannels, numFrames);
}

int AnalysisFifo::Push(const float* const* channels, int numChannels, int numFrames) {
  return PushImpl(channels, numChannels, numFrames);
}

int AnalysisFifo::Read(float* left, float* right, int maxFrames) { return ReadImpl(left, right, maxFrames, nullptr); }

int AnalysisFifo::Read(float* left, float* right, int maxFrames, bool& silent) {
  silent = false;
  return ReadImpl(left, right, maxFrames, &silent);
}

int AnalysisFifo::ReadImpl(float* left, float* right, int maxFrames, bool* silent) {
  if (left == nullptr || right == nullptr || maxFrames <= 0) return 0;
  const std::uint64_t read = read_.load(std::memory_order_relaxed);  // our own counter
  const std::uint64_t write = write_.load(std::memory_order_acquire);
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(maxFrames), write - read));
  if (n == 0) return 0;
  // Loaded after write_: a push of sound among the frames up to `write` stored
  // kSound before publishing them, so a start of silence seen here at or
  // before `read` means every frame from `read` to `write` is silence.
  if (silent != nullptr && silenceFrom_.load(std::memory_order_acquire) <= read) {
    *silent = true;
    read_.store(read + n, std::memory_order_release);
    return static_cast<int>(n);
  }

  const std::size_t start = static_cast<std::size_t>(read & kMask);
  const std::size_t first = std::min(n, kCapacity - start);
  const Frame* in = frames_.get();
  for (std::size_t j = 0; j < first; ++j) {
    left[j] = in[start + j].left;
    right[j] = in[start + j].right;
  }
  for (std::size_t j = first; j < n; ++j) {
    left[j] = in[j - first].left;
    right[j] = in[j - first].right;
  }
  read_.store(read + n, std::memory_order_release);
  return static_cast<int>(n);
}

void AnalysisFifo::Discard() { read_.store(write_.load(std::memory_order_acquire), std::memory_order_release); }

std::size_t AnalysisFifo::AvailableFrames() const {
  const std::uint64_t read = read_.load(std::memory_order_relaxed);
  const std::uint64_t write = write_.load(std::memory_order_acquire);
  return static_cast<std::size_t>(write - read);
}

}  // namespace ombrix::dsp
